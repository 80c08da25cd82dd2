#pragma once

#include <QKeySequence>
#include <QPoint>
#include <QRect>
#include <QSize>
#include <QString>

#include <initializer_list>

struct StoreKey;
class QCoreApplication;
class QFrame;
class QTableView;
class QToolButton;
class QWidget;

// How the windows meet the desktop they run on: its screens, its font size,
// its language, keyboard-only use and screen readers.

// ---- screens

// False under Wayland, where the compositor places windows: positions are
// then neither applied nor stored.
bool PositionsAreOurs();
// `wanted` fitted into `area`: never larger than the area (but never smaller
// than `minimum` either), and moved the least so that it lies wholly inside.
QRect FitIntoArea(const QRect& wanted, const QRect& area, const QSize& minimum = {});
// The available area of the screen a window at `position` opens on: the screen
// that holds the point, else the screen of `window` (or its parent), else the
// primary one.
QRect AvailableAreaAt(const QPoint& position, const QWidget* window);
// Gives `window` a stored size and, where positions are ours, a stored
// position, both fitted into the available area of the screen it opens on.
void PlaceFitted(QWidget* window, const QPoint& position, const QSize& size);
// A window's stored size, but at least its default size grown with the desktop font.
QSize StoredSize(const StoreKey& width, const StoreKey& height);
// Only a stored size, fitted to the screen the window is on.
void ResizeFitted(QWidget* window, const QSize& size);
// A window whose controls stand at fixed places, given its designed size:
// where the screen holds it, that size; where it does not, the controls go
// into a scroll area filling a window that fits, so that every one of them,
// OK and Annuleren included, stays within reach.  The tab order is kept.
void FitFixedWindow(QWidget* window, const QSize& design);

// ---- text size

// The desktop font's size against the design's (11 points): 1 when the
// desktop font is that size or smaller, else how much larger it is.
double FontScale();
// `pixels` of the design at the desktop's text size.
int ScaledPixels(int pixels);
// A window laid out by fixed rectangles grows with the desktop font: every
// child placed by hand is moved and sized by FontScale(), and the window too.
void ScaleFixedLayout(QWidget* window);
// Buttons, check boxes, radio buttons and labels placed by hand under `root`
// are widened (and heightened) where their caption would be cut off.
void FitCaptions(QWidget* root);
// At a larger desktop font the first columns of `view` are widened to their
// design width (`designed`, one key per column) grown with the font, and to
// what their header text needs.
void FitHeaderSections(QTableView* view, const StoreKey* designed, int columns);

// ---- language

// Qt's own texts (context menus, the print and file dialogs) in Dutch,
// whatever the system language.  False when Qt's Dutch translations are not
// installed (Debian: qt6-translations-l10n).
bool LoadDutchTranslations(QCoreApplication* application);

// ---- keyboard and screen readers

// A tool button a keyboard user can reach and press: it takes focus with Tab,
// Space and Return press it, `key` presses it from anywhere in its window and
// is named in its hint, and a screen reader reads the hint's first line.
void MakeKeyboardButton(QToolButton* button, const QKeySequence& key);
// A caption as it shows: its mnemonic marks ("&Opslaan") left out, "&&" as "&".
QString WithoutMnemonic(const QString& caption);
// The first line of a hint, with a shortcut named in parentheses left off.
QString HintTitle(const QString& hint);
// Gives every button, check box and radio button under `window` that has none
// a mnemonic (Alt+letter) on the first letter of its caption that no other
// control of the window uses yet.
void AddMnemonics(QWidget* window);
// A plain, thicker frame around `frame` while it has the focus, for a
// read-only text whose own border and caret give no sign of it.
void ShowFocusFrame(QFrame* frame);
// Whether the last key or mouse button pressed in the program was a key: a
// window that moves the focus after a mouse action leaves it alone for someone
// at the keyboard.  The first call starts watching.
bool LastInputWasKeyboard();
// The accessible name of a control: its own text, or the label it is the buddy of.
void NameControl(QWidget* control, const QString& name);
// A screen reader calls a top-level window that is a plain widget a client
// area; this makes it a window.
void GiveWindowRole(QWidget* window);

// What a keyboard user and a screen reader get of one control of a window,
// found by its object name: its accessible name (none: keep what it has) and,
// for a tool button, its shortcut (made a keyboard button even without one).
struct ControlLook {
    const char* object;
    const char* name = nullptr;
    QKeySequence key = {};
};
void DescribeControls(QWidget* window, std::initializer_list<ControlLook> looks);
// Tab visits the named controls of `window` in this order.
void SetTabOrder(QWidget* window, std::initializer_list<const char*> objects);
