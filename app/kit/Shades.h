#pragma once

#include <QColor>
#include <QPalette>
#include <QString>

class QWidget;

// The design's meaningful colours follow the desktop: under a light palette
// they are exactly the design's, under a dark one each has a dark variant of
// its own (pale yellow panels become dark olive, the reminder colours light
// enough to read on a dark text area).  The table of pairs lives in one place,
// Shades.cpp; everything else asks by the design colour.

// A palette is dark when its text is lighter than its window.
bool PaletteIsDark(const QPalette& palette);
// The palette the program's windows follow: the application's.
bool DesktopIsDark();

// The colour to show for the design colour `design`: the design colour itself
// under a light palette, its dark variant under a dark one.  A colour the
// table does not know is shown as it is.
QColor Shade(const QColor& design, bool dark);
QColor Shade(const QColor& design);

// The contrast ratio of two colours as accessibility guidelines define it:
// 1 (none) to 21 (black on white), from their relative luminance.
double ContrastRatio(const QColor& a, const QColor& b);
// The least contrast every text must have against its background.
inline constexpr double ReadableContrast = 4.5;
// `text` itself when it reaches the readable contrast on `background`,
// otherwise the nearest colour of the same hue, towards white or black,
// that does.
QColor ReadableOn(const QColor& text, const QColor& background);

// Under a dark palette: the text roles of `palette` (window text, text,
// button text, in every group but the disabled one) made readable on
// `background`.  Under a light palette nothing changes.
void MakeTextReadable(QPalette& palette, const QColor& background);

// A widget's text area (its base) in a design colour, with its text readable on it.
void SetKitBase(QWidget* widget, const QColor& design);

// A page's or style sheet's own colours ("#rrggbb") under a dark palette:
// design colours become their dark variants, black text the desktop's light
// text.  Under a light palette the text comes back as it was.
QString ShadeColoursIn(const QString& text);

// The style of the edit grid's header sections: yellow with grey lines, the
// text readable on it.
QString KitHeaderStyle();
