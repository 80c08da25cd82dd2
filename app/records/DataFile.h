#pragma once

#include "records/RecordTable.h"

#include <QByteArray>
#include <QDate>
#include <QRect>
#include <QString>

#include <functional>
#include <optional>

// The data file: reading it into the record table, saving the table with two
// rotating backups, the save question, opening another file and providing a
// first file from the shipped sample.  It also keeps the flags that go with
// the table.
class DataFile {
public:
    explicit DataFile(RecordTable& table);

    enum class ReadResult { Ok, TooSmall, NotationFailed };

    // Fills the table from folder + baseName + extension.
    // Reads the data file at `path` as a command or a run names it, without
    // waiting for a busy file: false when it is missing or cannot be read.
    bool readNamed(const QString& path);
    ReadResult read(const QString& folder, const QString& baseName, const QString& extension);
    // A data file's whole path in the three parts `read` takes: the folder
    // (ending in "/"), the name up to its first dot, and the rest.
    struct PathParts {
        QString folder, baseName, extension;
    };
    static PathParts splitPath(const QString& path);
    // Why a calendar export may not write `target`: it is the data file
    // `dataFile` or one of its copies, or an existing file that is not a
    // calendar (an iCalendar file starts with "BEGIN:VCALENDAR").  Records
    // are never written over.  Empty when it may.
    static QString refusedExportTarget(const QString& target, const QString& dataFile);
    // Writes the table to the default data file; false when nothing was saved.
    bool save();
    // The last save was wanted but did not happen (the file could not be
    // written, or was not read): the changes in hand are the only copy.
    bool saveFailed() const { return m_saveFailed; }
    // Asks whether to keep unsaved changes and saves on "Ja"; true when
    // cancelled, and when the save failed: what asked must not go on.
    bool askSaveChanges(bool showCancel);
    // Lets the user choose another data file and reads it.
    void openOtherFile();
    // At a first start: the sample data file and its pictures.
    void provision();
    // Sets the data folder and extension from the "NameOfFile" setting.
    void setLocation(const QString& nameOfFile);

    QString defaultFilePath() const { return dataFolder + saveBaseName + extension; }

    // Turns text into the bytes of a data file, in the file's own encoding.
    static QByteArray encode(const QString& text, bool utf8);
    // One record line as written: nine fields, each followed by ";", then CR LF.
    static QString recordLine(const RecordTable::Row& row);
    // A field as it is read back after a save: no separator nor line end, and
    // in a Windows-1252 file "?" for what that cannot hold.
    static QString savedField(const QString& field, bool utf8);

    RecordTable& table;

    // Flags kept with the table.
    bool unsavedChanges = false;
    bool otherFileRead = false;
    int dateNotation = 0;
    bool painted = false;     // the main window has been painted once
    bool saveEnabled = false; // the main window's save button
    bool utf8 = true;         // encoding of the file last read (and written back)

    QString dataFolder; // ends in "/"
    // The name the file is saved under, and its backups ("Brolt!", "Brolt!!").
    // Only a file named on the command line has another.
    QString saveBaseName = QStringLiteral("Brolt");
    QString extension = QStringLiteral(".dat");

    // What the windows show after a read.
    QString caption = QStringLiteral("Brolt");
    QString countText;
    QString formatLabel;
    int readTries = 0;
    int writeTries = 0;
    int openTries = 0; // reads of the last file opened with openOtherFile

    // Pause between tries of a busy file; tests shorten it.
    int retryDelayMs = 100;
    // A file is read this many bytes at a time (more for a longer line); tests make it small.
    qsizetype readPieceBytes = 64 * 1024;

    // Reading for one list of reminders only (`Brolt --list`): a record is
    // loaded when its next occurrence lies within [-back, ahead] days of
    // `today`, or when the list may need it — a death record, the birth
    // record of a name that has one, a date that is invalid or lies in the
    // future, a kind that is none of the six (all are reported).  The lines
    // come out the same as from the whole file; a big file is read in a
    // fraction of the time and memory.
    struct ReminderWindow {
        QDate today;
        int back = 0;
        int ahead = 0;
    };
    std::optional<ReminderWindow> onlyForReminders;
    // Whether a read also attaches the cards the records came from (the side
    // file beside the data file); a look that only composes reminders needs
    // none of them.
    bool withCardLinks = true;

    // What the data file on disk was like when it was last read or written:
    // enough to see that another program (a sync folder, a second computer,
    // `Brolt --import`) wrote it since, also by renaming a file of the same
    // size over it.
    struct FileStamp {
        bool exists = false;
        qint64 size = 0;
        qint64 modifiedNs = 0;
        qint64 changedNs = 0;
        quint64 inode = 0;
        quint64 device = 0;
        bool operator==(const FileStamp&) const = default;
        static FileStamp of(const QString& path);
        static FileStamp ofHandle(int fd);
    };
    // The last read failed, so the table does not hold what the file holds.
    bool readFailed() const { return m_readFailed; }
    // Reads the default data file again; the changes in hand are dropped.
    void reread();
    // Before a restore replaces Brolt.dat: a copy of it under a name of its
    // own, "Brolt voor herstel 2026-12-08.dat" (" (2)" and on for a second
    // one that day); the backups stay as they are.  The copy's path, or
    // empty when there is no Brolt.dat or it could not be copied.
    QString keepBeforeRestore();

    // The steps of a save that can fail; tests make one of them fail.
    enum class SaveStep { CreateTemp, WriteTemp, HoldPrevious, Replace };
    std::function<bool(SaveStep)> refuseSaveStep;

    // Hooks the windows fill in.
    std::function<bool(QString& folder)> browseForDataFolder; // the data file is missing
    std::function<void(int notation)> notationDetected;
    std::function<void()> sortByOption;
    std::function<void()> stopCountdown;
    std::function<void()> refresh;
    std::function<QRect()> callerRect;
    // Runs a change that replaces the whole table (a view on it resets around it).
    std::function<void(const std::function<void()>& change)> aroundTableChange;

private:
    // 0, or the errno of the step that failed; `failed` names that step.
    int writeFileSafely(const QByteArray& bytes, SaveStep& failed);
    // Tells that the save did not happen, until the user presses OK.
    void reportFailedSave(const QString& why, const QRect& caller);
    // Whether the default data file may be written over now; asks when it
    // changed on disk, and reads it again when the user says so.
    bool mayOverwrite(const QRect& caller);
    void remember(const QString& path, const FileStamp& stamp, bool failed);

    QString m_knownPath;
    FileStamp m_knownStamp;
    bool m_readFailed = false;
    bool m_saveFailed = false;
};
