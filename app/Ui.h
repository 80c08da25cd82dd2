#pragma once

#include <QRect>
#include <QString>
#include <QStringList>

// The only way the GUI-free core asks or tells the user anything.  The windows
// install an implementation at start-up; tests install a recording fake.
// Without any implementation every question gets its default answer and
// nothing is shown, which is what a terminal run (Brolt --list) wants.
class Ui {
public:
    virtual ~Ui();

    // A question with "Ja"/"Nee" and, when `cancel` is true on entry, a third
    // button.  Returns true for yes; `cancel` is true afterwards when the third
    // button was pressed.  `caller` is the rectangle to centre on (empty: the
    // main window).
    virtual bool askYesNo(bool& cancel, bool defaultAnswer, const QString& yesCaption,
                          const QString& noCaption, const QString& cancelCaption, const QString& message,
                          const QString& title, const QRect& caller = {});

    // A one-line text question; `text` holds the field on return either way.
    virtual bool askText(QString& text, const QString& prompt, const QString& title,
                         const QRect& caller = {});

    // The same for a password: the field shows dots.
    virtual bool askPassword(QString& text, const QString& prompt, const QString& title,
                             const QRect& caller = {});

    // A message that stays until the user presses "OK": for what must not be
    // missed, such as changes that were not saved.  By default the question
    // dialog with "OK" alone (an empty "no" caption hides that button).
    virtual void showMessage(const QString& message, const QString& title, const QRect& caller = {});

    // A note that closes itself after `durationMs`.
    virtual void showTimedMessage(int durationMs, const QString& firstLine, const QString& secondLine,
                                  const QRect& caller = {});
    // Closes the shown note, if any.
    virtual void closeTimedMessage();

    // The program's folder and file browser.  Returns false when cancelled;
    // otherwise `path` is the chosen folder (ending in "/") or file.
    struct BrowseRequest {
        QString startPath;
        QString heading;
        QString caption;
        QString mask; // file mode when not empty, e.g. "*.dat"
        bool multiple = false;
    };
    virtual bool browse(const BrowseRequest& request, QString& path, QStringList* files = nullptr);

    // Sounds.  playMelody returns false when the player reports an error.
    virtual void playSystemSound();
    virtual bool playMelody(const QString& file);
    virtual void tone(int hertz, int milliseconds);

    // Hands a URL (mailto:, http:, file:) to the desktop.
    virtual bool openUrl(const QString& url);

    // Lets pending user-interface events run during long loops.
    virtual void processEvents();

    // The busy cursor on (true) or off again (false); calls nest.  Use BusyCursor.
    virtual void setBusy(bool busy);

    static Ui& instance();
    // Installs `ui` (not owned) as the program's; nullptr restores the silent default.
    static void install(Ui* ui);
};

// Shows the busy cursor for as long as it lives: while a file is read, a
// backup made or restored, a picture imported.  Questions asked meanwhile
// show the normal cursor.
class BusyCursor {
public:
    BusyCursor() : m_ui(Ui::instance()) { m_ui.setBusy(true); }
    ~BusyCursor() { m_ui.setBusy(false); }
    BusyCursor(const BusyCursor&) = delete;
    BusyCursor& operator=(const BusyCursor&) = delete;

private:
    Ui& m_ui;
};
