#include "maintenance/Backups.h"

#include "kit/Support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace Backups {

namespace {

QString withSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString lastFolderName(const QString& folder) {
    QString path = folder;
    while (path.size() > 1 && path.endsWith(u'/'))
        path.chop(1);
    return path.mid(path.lastIndexOf(u'/') + 1);
}

} // namespace

QString StoredLocation(const QString& stored) {
    return stored.trimmed().isEmpty() ? withSlash(QDir::homePath()) : stored;
}

QString BrowseStartFolder(const QString& stored) {
    if (stored.trimmed().isEmpty())
        return StoredLocation(stored); // no earlier backup: no dated folder to leave either
    QString start = QDir::cleanPath(QFileInfo(StoredLocation(stored)).absoluteFilePath());
    if (start == QStringLiteral("/"))
        return start;
    if (lastFolderName(start).contains(u'-')) {
        const qsizetype slash = start.lastIndexOf(u'/');
        start = slash <= 0 ? QStringLiteral("/") : start.left(slash);
    }
    return withSlash(start);
}

QString TargetFolder(const QString& chosen, const QDate& date) {
    QString target = withSlash(chosen);
    if (lastFolderName(target) != ProgramName)
        target += ProgramName + u'/';
    return target + date.toString(QStringLiteral("yyyy-MM-dd")) + u'/';
}

QString MakeTargetFolder(const QString& chosen, const QDate& date) {
    const QString target = TargetFolder(chosen, date);
    // One level at a time; a failure shows up later as files not copied.
    const QString parent = QFileInfo(QDir::cleanPath(target)).path();
    QDir().mkdir(parent);
    QDir().mkdir(target);
    return target;
}

QString SourceFolder(const QString& nameOfFile, const QString& dataFolder) {
    const qsizetype slash = nameOfFile.lastIndexOf(u'/');
    if (slash < 0)
        return dataFolder;
    return nameOfFile.left(slash + 1);
}

void CopyBackupFiles(const QString& source, const QString& target, QStringList& report, QStringList& copied) {
    for (const QString& extension : {QStringLiteral("dat"), QStringLiteral("jpg"), QStringLiteral("log")})
        CopyNewerByExtReport(source, target, extension, copied, report);
}

Report BackupReport(const QStringList& report, const QString& target) {
    if (report.isEmpty())
        return {QStringLiteral("Er zijn geen nieuwere versie gevonden van de bestanden, die al in ") +
                    target + QStringLiteral(" staan."),
                QString()};
    Report r;
    r.heading = QStringLiteral("Van de volgende bestanden zijn Backups gemaakt in de map ") + target +
                QStringLiteral(":\r\n");
    for (const QString& entry : report)
        r.body += QStringLiteral("- ") + entry + QStringLiteral(",\r\n");
    return r;
}

bool WriteListing(const QString& target, const QStringList& copied) {
    QByteArray content;
    for (const QString& path : copied)
        content += path.toUtf8() + "\r\n";
    return WriteWholeFile(withSlash(target) + ProgramName + QStringLiteral(".lst"), content) ==
           content.size();
}

QString RestoreFiles(const QStringList& files, const QString& dataFolder, bool& restored) {
    restored = false;
    QString text;
    for (const QString& source : files) {
        const QFileInfo info(source);
        if (!info.isFile())
            continue; // gone since it was chosen, or a folder
        const QString target = withSlash(dataFolder) + info.fileName();
        if (!CopyFileMakePath(source, target))
            continue;
        restored = true;
        text += QStringLiteral("- ") + target + QStringLiteral(",\r\n");
    }
    return text;
}

} // namespace Backups
