#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Dated backups of the data folder and restoring files from them, without a
// window: where the browser starts, the dated target folder, the copy step
// with its report and listing file, and the restore copy.  Folder paths end
// in "/".
namespace Backups {

inline const QString ProgramName = QStringLiteral("Brolt");

// The stored backup location as the user sees it: empty becomes the home
// folder (the counterpart of "C:\").
QString StoredLocation(const QString& stored);

// Where the folder browser starts for a new backup: the stored location as a
// full path; when its last folder name holds "-" (a dated backup folder) the
// folder above it.
QString BrowseStartFolder(const QString& stored);

// The dated target for the chosen folder `chosen`: chosen + "Brolt/" + date +
// "/", without the "Brolt/" level when the chosen folder is itself named
// "Brolt" (exact letter case).  The date is written yyyy-mm-dd.
QString TargetFolder(const QString& chosen, const QDate& date);
// Creates the target folder one level at a time (an existing level is fine)
// and returns it.
QString MakeTargetFolder(const QString& chosen, const QDate& date);

// The folder whose files are backed up: the folder of the stored data file
// name, or the data folder when that is empty.
QString SourceFolder(const QString& nameOfFile, const QString& dataFolder);

// The copy step: every "*.dat", "*.jpg" and "*.log" file of `source` that is
// missing in `target` or newer than the copy there.  `report` gets one entry
// per file tried (the source path, with " Not copied (error N)" on failure),
// `copied` the source paths actually copied.
void CopyBackupFiles(const QString& source, const QString& target, QStringList& report, QStringList& copied);

// The report of the copy step: a heading and a body, or one text when nothing
// newer was found.
struct Report {
    QString heading;
    QString body;
};
Report BackupReport(const QStringList& report, const QString& target);

// "Brolt.lst" in `target`: the copied source paths, one a line, CR LF.
// False when the file cannot be written.
bool WriteListing(const QString& target, const QStringList& copied);

// Copies each of `files` (full paths) into `dataFolder`, overwriting what is
// there and keeping the backup's time stamp.  Returns the report text, one
// "- " + target + "," + CR LF per copied file; a file that cannot be copied
// (gone, unreadable) is left out.
QString RestoreFiles(const QStringList& files, const QString& dataFolder, bool& restored);

} // namespace Backups
