#pragma once

#include <QRect>
#include <QWidget>

class QTextDocument;
class QTextEdit;
class QTimer;

// Placement and measuring shared by the kit's dialogs.

// Top-left corner that centres a window of `own` size on `caller`, halves
// rounded toward zero.  `own` is the window without its frame: the frame is
// the window manager's and unknown before a window first shows, and a dialog
// must land on the same spot at its first showing as at later ones.
QPoint CentreOnCaller(const QRect& caller, const QSize& own);
// Lines of `document` as shown at `width` pixels, wrapped lines included.
int CountDisplayedLines(const QTextDocument* document, int width);

// A borderless note of one or two lines that closes itself: it never takes
// the keyboard away from the window the user is working in.
class TMessageForm : public QWidget {
    Q_OBJECT

public:
    explicit TMessageForm(QWidget* parent = nullptr);

    // Shows the note centred on `caller` for `durationMs`; either line may be
    // empty.  Returns at once.  A note already shown is replaced.
    void ShowTimedMessage(const QRect& caller, int durationMs, const QString& firstLine,
                          const QString& secondLine);
    // Closes the note now, if it is shown.
    void CloseMessage();

    QTimer* timer() const { return m_timer; }

protected:
    void showEvent(QShowEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;

private:
    void TimerTimer();

    QTextEdit* m_memo;
    QTimer* m_timer;
};
