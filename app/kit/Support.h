#pragma once

#include <QByteArray>
#include <QDate>
#include <QDateTime>
#include <QString>
#include <QStringList>
#include <QTimeZone>

#include <functional>

// System routines every unit uses: folders, file copies that keep their time
// stamps, whole-file reading and writing, drive descriptions and small text
// routines.  Folder paths always end in "/".

// Folders.
QString UserDataFolder(const QString& programName = QStringLiteral("Brolt")); // created when missing
QString ProgramFolder();    // folder of the running executable
QString DownloadsFolder();  // the user's download folder
QString ExecutableSuffix(); // "" on Linux, ".exe" on Windows

// Files.
bool CopyFileKeepTime(const QString& source, const QString& target, bool failIfExists);
bool CopyFileMakePath(const QString& source, const QString& target);
// True when every matching file was copied.
bool CopyAllByExt(const QString& sourceFolder, const QString& targetFolder, const QString& extension,
                  bool failIfExists);
// Copies each matching file that is missing in the target folder or older there.  The outcome of the
// last file: false only when its copy was tried and failed.
bool CopyNewerByExt(const QString& sourceFolder, const QString& targetFolder, const QString& extension);
bool CopyNewerByExtReport(const QString& sourceFolder, const QString& targetFolder, const QString& extension,
                          QStringList& copied, QStringList& report);
// Whole-file reading; false when the file cannot be opened or read.
bool ReadWholeFile(const QString& path, QByteArray& content);
// Creates or empties the file and writes `content`; the number of bytes written, -1 on failure.
qint64 WriteWholeFile(const QString& path, const QByteArray& content);
// Writes all of `bytes` to the open file `fd`, going on after an interrupted
// write: 0, or the errno value (ENOSPC when the disk takes nothing more).
int WriteAll(int fd, QByteArrayView bytes);
void DeleteFileAt(const QString& path);
qint64 FileSizeOf(const QString& path);
bool EnterFolder(const QString& folder);

// Packed MS-DOS file times (2-second resolution), -1 for a missing file.
qint32 PackedFileTime(const QString& path);
qint32 PackDosTime(const QDateTime& local);
QDateTime UnpackDosTime(qint32 packed);

// Drives (mount points on Linux).
QString DriveTypeName(const QString& path);
QString VolumeLabel(const QString& path);
// The drive kind of a mount from its file system type and the removable flag of its disk.
QString DriveKindName(const QString& fsType, bool removable);
// Whether the disk holding `device` (e.g. "/dev/sdb1") is removable, read from sysfs under `sysRoot`.
bool DeviceIsRemovable(const QString& device, const QString& sysRoot = QStringLiteral("/sys"));
// Test seam: replaces the drive kind the copy routines see for a path; an empty function restores it.
void SetDriveKindForTest(std::function<QString(const QString& path)> kind);

// Daylight saving, found once per run.
struct DaylightState {
    bool inEffect = false;
    double shift = 0.0; // fraction of a day
};
const DaylightState& Daylight();
// The daylight state of `zone` at `moment`.
DaylightState DaylightStateAt(const QTimeZone& zone, const QDateTime& moment);
// Test seam: fixes the state Daylight() gives for the rest of the run.
void SetDaylightForTest(DaylightState state);
// The n-th (1..5, 5 = last) `weekday` (1 = Monday .. 7 = Sunday) of a month.
QDate NthWeekdayOfMonth(int year, int month, int weekday, int n);

// Text routines.
QString TextBeforeFirst(QChar c, const QString& text);
QString TextAfterFirst(QChar c, const QString& text);
QString TextBeforeLast(QChar c, const QString& text);
QString TextAfterLast(QChar c, const QString& text);
QString TextAfterSub(const QString& sub, const QString& text);
QString TextBeforeSub(const QString& sub, const QString& text);
QString RemoveSpaces(const QString& text);
QString TrimRight(const QString& text);
QString RemoveDigits(const QString& text);
QString KeepNumberChars(const QString& text);
// `text` with every control character (line ends, escapes) replaced by
// `with`: a text from outside shown on one line, never steering a terminal.
QString WithoutControls(QString text, QChar with = QChar::ReplacementCharacter);
// Backslash, tab, line feed and carriage return as "\\", "\t", "\n" and "\r"
// (the escapes of a desktop entry's string value), appended to `out`; the
// text then holds no tab or line end.
void AppendEscaped(QString& out, QStringView text);
// Those escapes undone, and "\s" as a space; any other escaped character
// stands for itself.
QString Unescaped(QStringView text);
