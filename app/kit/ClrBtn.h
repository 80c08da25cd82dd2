#pragma once

#include <QColor>
#include <QFont>
#include <QPalette>
#include <QPushButton>
#include <QStyle>

class QToolButton;

// Colours as the windows state them: a literal 0x00BBGGRR value (blue in the
// high byte) or, with the high bit set, the index of a system colour that is
// looked up in the widget's palette when painting.
namespace SysColor {
inline constexpr quint32 Flag = 0x80000000u;
inline constexpr quint32 Window = Flag | 5;
inline constexpr quint32 WindowFrame = Flag | 6;
inline constexpr quint32 WindowText = Flag | 8;
inline constexpr quint32 Highlight = Flag | 13;
inline constexpr quint32 HighlightText = Flag | 14;
inline constexpr quint32 BtnFace = Flag | 15;
inline constexpr quint32 BtnShadow = Flag | 16;
inline constexpr quint32 GrayText = Flag | 17;
inline constexpr quint32 BtnText = Flag | 18;
inline constexpr quint32 BtnHighlight = Flag | 20;
} // namespace SysColor

// The kit's usual colours.
namespace KitColor {
inline constexpr quint32 Window = 0xE3FFFF;      // pale yellow
inline constexpr quint32 Note = 0xE0FFFF;        // the timed note
inline constexpr quint32 ButtonHover = 0xFFFF00; // cyan
} // namespace KitColor

// 0x00BBGGRR -> QColor (a system colour index gives the palette's colour).
QColor ColorFromBgr(quint32 bgr);
QColor ResolveColor(quint32 value, const QPalette& palette);

// A font by family and pixel height; a missing family falls back to a sans
// serif.  A desktop font larger than the design's scales the height with it.
QFont KitFont(const QString& family, int pixels);
// The size in points of a font given in pixels (at 96 dots per inch), rounded
// as the window definitions round it: 14 pixels are 11 points, 16 are 12.
int PointsOfPixels(int pixels);
// Paints `widget`'s background in `bgr`, or in its dark variant under a dark
// palette, with the texts on it made readable there.
void SetKitBackground(QWidget* widget, quint32 bgr);

// The program's push button.  It paints its own face so that the face colour,
// the caption colour and a colour shown while the mouse is over it can be
// chosen; otherwise it is a standard push button (default role, modal results
// through clicked(), focus, mnemonic in the caption).
class TClrBtn : public QPushButton {
    Q_OBJECT
    Q_PROPERTY(quint32 BackColor READ backColor WRITE setBackColor)
    Q_PROPERTY(quint32 ForeColor READ foreColor WRITE setForeColor)
    Q_PROPERTY(quint32 HoverColor READ hoverColor WRITE setHoverColor)

public:
    explicit TClrBtn(QWidget* parent = nullptr);
    TClrBtn(const QString& caption, QWidget* parent = nullptr);

    quint32 backColor() const { return m_backColor; }
    quint32 foreColor() const { return m_foreColor; }
    quint32 hoverColor() const { return m_hoverColor; }
    void setBackColor(quint32 value);
    void setForeColor(quint32 value);
    void setHoverColor(quint32 value);

    // The usual look of the kit's windows: pale yellow face, cyan hover.
    void useKitColors();

protected:
    void paintEvent(QPaintEvent* event) override;
    void enterEvent(QEnterEvent* event) override;
    void leaveEvent(QEvent* event) override;

private:
    quint32 m_backColor = SysColor::BtnFace;
    quint32 m_foreColor = SysColor::BtnText;
    quint32 m_hoverColor = SysColor::BtnFace;
    quint32 m_savedBackColor = SysColor::BtnFace;
    bool m_hovering = false;
};

// A flat tool button of a window's button row: its name, hint and 24-pixel
// icon, the desktop theme's icon `theme` where there is one, else the style's.
QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, const char* theme,
                            QStyle::StandardPixmap fallback);
// The same with the icon given.
QToolButton* MakeToolButton(QWidget* parent, const char* name, const QString& hint, const QIcon& icon);
