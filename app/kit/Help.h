#pragma once

#include <QList>
#include <QString>
#include <QWidget>

#include <functional>

class QTextBrowser;
class QToolButton;

// Help: HTML pages in the folder "help/" beside the program, shown in our own
// help window.  Every window and tool button has a context number; the table
// in Help.cpp says which page (and place on it) belongs to each number.

// The help folder, ending in "/": "<program folder>help/" unless set otherwise.
QString HelpFolder();
// Points help at another folder (tests, a second installation); "" restores
// the default.  The "Help file not found" message may then be shown again.
void SetHelpFolder(const QString& folder);
// The page of the index, which also stands for every number we do not know.
QString HelpIndexPage();
// "page.html" or "page.html#place" for `context`; the index for an unknown number.
QString HelpPageFor(int context);
// Every context number the table knows, in ascending order.
QList<int> HelpContexts();

// True when the help pages are there.  When they are not, the message
// "Help file not found\r" + the path of the index page is shown, once; the
// program simply goes on without help.
bool HelpAvailable();
// Where that message goes; an empty function restores the message box.
void SetHelpMessageHandler(std::function<void(const QString&)> handler);

// Context numbers on widgets, as the F1 key wants them: a widget without its
// own number uses the nearest parent's; 0 when none has one.
void SetHelpContext(QWidget* widget, int context);
int HelpContextFor(const QWidget* widget);

// Opens the help window at the page of `context`.
void ShowHelp(int context);
// Opens help for the widget (the focused control on F1); the index when it has no number.
void ShowHelpFor(const QWidget* widget);
// Closes the help window, if it is open (the main window does so when it closes).
void CloseHelp();

// The help window: a browser with buttons for the index, back and forward.
class THelpForm : public QWidget {
    Q_OBJECT
public:
    explicit THelpForm(QWidget* parent = nullptr);

    // Shows the page of `context` and brings the window forward; false when
    // there are no help pages.
    bool ShowContext(int context);
    QTextBrowser* Browser() const { return m_browser; }
    int CurrentContext() const { return m_context; }

    // The program's help window, made on first use.
    static THelpForm* instance();
    static THelpForm* existing(); // nullptr when none was made

private:
    void BtnInhoudClick();

    QTextBrowser* m_browser = nullptr;
    QToolButton* m_btnInhoud = nullptr;
    QToolButton* m_btnVorige = nullptr;
    QToolButton* m_btnVolgende = nullptr;
    int m_context = 0;
};
