#include "kit/Support.h"

#include "kit/Clock.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStandardPaths>
#include <QStorageInfo>

#include <cerrno>
#include <fcntl.h>
#include <optional>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {

std::function<QString(const QString&)> driveKindSeam;
std::optional<DaylightState> daylightForTest;

const QString driveRemovable = QStringLiteral("DRIVE_REMOVABLE");
const QString driveFixed = QStringLiteral("DRIVE_FIXED");
const QString driveRemote = QStringLiteral("DRIVE_REMOTE");
const QString driveCdrom = QStringLiteral("DRIVE_CDROM");
const QString driveRamdisk = QStringLiteral("DRIVE_RAMDISK");

QString withSlash(const QString& folder) {
    return folder.endsWith(u'/') ? folder : folder + u'/';
}

QString errorText(int error) {
    return QStringLiteral("Error ") + QString::number(error) + u' ' + qt_error_string(error);
}

// The copy routines also ask about targets that do not exist yet; such a path
// lies on the mount of its nearest existing folder.
bool onFixedDrive(const QString& path) {
    if (driveKindSeam)
        return driveKindSeam(path) == driveFixed;
    if (path.isEmpty())
        return false;
    QString existing = QFileInfo(path).absoluteFilePath();
    while (!QFileInfo::exists(existing)) {
        const QString parent = QFileInfo(existing).absolutePath();
        if (parent == existing)
            return false;
        existing = parent;
    }
    return DriveTypeName(existing) == driveFixed;
}

qint64 daylightShiftSeconds() {
    return qRound64(Daylight().shift * 86400.0);
}

// Copies through a temporary file beside the target that is renamed over it at
// the end, so a failed copy (disk full, stick pulled) never leaves a truncated
// target and an older target survives.  The target gets the source's
// modification time moved by `timeShift` seconds.  Returns 0 or an errno value.
int copyContents(const QString& source, const QString& target, bool failIfExists, qint64 timeShift) {
    const QByteArray from = QFile::encodeName(source);
    const QByteArray to = QFile::encodeName(target);
    const int in = ::open(from.constData(), O_RDONLY | O_CLOEXEC);
    if (in < 0)
        return errno;
    struct stat sourceStat {};
    if (::fstat(in, &sourceStat) != 0 || S_ISDIR(sourceStat.st_mode)) {
        const int error = S_ISDIR(sourceStat.st_mode) ? EISDIR : errno;
        ::close(in);
        return error;
    }
    struct stat targetStat {};
    if (failIfExists && ::lstat(to.constData(), &targetStat) == 0) {
        ::close(in);
        return EEXIST;
    }
    QByteArray temporary = to + ".XXXXXX";
    const int out = ::mkostemp(temporary.data(), O_CLOEXEC);
    if (out < 0) {
        const int error = errno;
        ::close(in);
        return error;
    }
    const auto fail = [&](int error, bool outOpen) {
        ::close(in);
        if (outOpen)
            ::close(out);
        ::unlink(temporary.constData());
        return error;
    };
    char buffer[64 * 1024];
    for (;;) {
        ssize_t got = ::read(in, buffer, sizeof buffer);
        if (got < 0) {
            if (errno == EINTR)
                continue;
            return fail(errno, true);
        }
        if (got == 0)
            break;
        const char* p = buffer;
        while (got > 0) {
            const ssize_t put = ::write(out, p, size_t(got));
            if (put < 0) {
                if (errno == EINTR)
                    continue;
                return fail(errno, true);
            }
            p += put;
            got -= put;
        }
    }
    // Some file systems (vfat) know no permissions; the copy is still good.
    (void)::fchmod(out, sourceStat.st_mode & 0777);
    if (::close(out) != 0)
        return fail(errno, false);
    // Network file systems may stamp the time at close, so the time is set afterwards.
    struct timespec times[2]{};
    times[0].tv_nsec = UTIME_OMIT;
    times[1] = sourceStat.st_mtim;
    times[1].tv_sec += timeShift;
    if (::utimensat(AT_FDCWD, temporary.constData(), times, 0) != 0)
        return fail(errno, false);
    ::close(in);
    if (::rename(temporary.constData(), to.constData()) != 0) {
        const int error = errno;
        ::unlink(temporary.constData());
        return error;
    }
    return 0;
}

// The whole copy of one file with the daylight correction between fixed and
// other drives.  Returns 0 or an errno value.
int copyKeepTime(const QString& source, const QString& target, bool failIfExists) {
    if (!QFileInfo(source).isFile())
        return ENOENT;
    const QString folder = QFileInfo(target).absolutePath();
    QDir().mkpath(folder);
    qint64 shift = 0;
    if (Daylight().inEffect) {
        const bool sourceFixed = onFixedDrive(source);
        const bool targetFixed = onFixedDrive(target);
        if (sourceFixed && !targetFixed)
            shift = -daylightShiftSeconds();
        else if (!sourceFixed && targetFixed)
            shift = daylightShiftSeconds();
    }
    return copyContents(source, target, failIfExists, shift);
}

enum class NewerCopy { UpToDate, Copied, Failed };

// Copies `source` over `target` when the target is missing or its packed time
// plus 5 is still below the source's.  `error` receives the errno of a failed copy.
NewerCopy copyIfNewer(const QString& source, const QString& target, int& error) {
    error = 0;
    const QFileInfo targetInfo(target);
    if (targetInfo.isFile()) {
        QDateTime sourceTime = QFileInfo(source).lastModified();
        QDateTime targetTime = targetInfo.lastModified();
        if (Daylight().inEffect) {
            const bool sourceFixed = onFixedDrive(source);
            const bool targetFixed = onFixedDrive(target);
            if (sourceFixed && !targetFixed)
                sourceTime = sourceTime.addSecs(-daylightShiftSeconds());
            else if (targetFixed && !sourceFixed)
                targetTime = targetTime.addSecs(-daylightShiftSeconds());
        }
        // Unsigned, because times from 2044 on set the top bit of a packed time.
        const quint32 sourcePacked = quint32(PackDosTime(sourceTime));
        const quint32 targetPacked = quint32(PackDosTime(targetTime));
        if (!(targetPacked + 5 < sourcePacked))
            return NewerCopy::UpToDate;
    }
    error = copyKeepTime(source, target, false);
    return error == 0 ? NewerCopy::Copied : NewerCopy::Failed;
}

QFileInfoList filesByExt(const QString& folder, const QString& extension) {
    return QDir(folder).entryInfoList({QStringLiteral("*.") + extension}, QDir::Files | QDir::Hidden,
                                      QDir::Name);
}

} // namespace

// ---------------------------------------------------------------- folders

QString UserDataFolder(const QString& programName) {
    QString base = qEnvironmentVariable("XDG_DATA_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.local/share");
    const QString folder = withSlash(QDir::cleanPath(base + u'/' + programName));
    // Created without changing the current directory: that is process-wide and
    // the update check runs on another thread.
    QDir dir;
    if (!dir.mkpath(folder))
        dir.mkpath(folder);
    return folder;
}

QString ProgramFolder() {
    if (QCoreApplication::instance())
        return withSlash(QCoreApplication::applicationDirPath());
    const QString exe = QFileInfo(QStringLiteral("/proc/self/exe")).symLinkTarget();
    return withSlash(QFileInfo(exe).absolutePath());
}

QString DownloadsFolder() {
    QString folder = QStandardPaths::writableLocation(QStandardPaths::DownloadLocation);
    if (folder.isEmpty())
        folder = QDir::homePath() + QStringLiteral("/Downloads");
    return withSlash(folder);
}

QString ExecutableSuffix() {
#ifdef Q_OS_WIN
    return QStringLiteral(".exe");
#else
    return QString();
#endif
}

// ---------------------------------------------------------------- files

bool CopyFileKeepTime(const QString& source, const QString& target, bool failIfExists) {
    return copyKeepTime(source, target, failIfExists) == 0;
}

bool CopyFileMakePath(const QString& source, const QString& target) {
    QDir().mkpath(QFileInfo(target).absolutePath());
    return CopyFileKeepTime(source, target, false);
}

bool CopyAllByExt(const QString& sourceFolder, const QString& targetFolder, const QString& extension,
                  bool failIfExists) {
    QDir().mkpath(targetFolder);
    bool all = true;
    for (const QFileInfo& file : filesByExt(sourceFolder, extension)) {
        // The uninstaller's own record must never travel with the data.
        if (file.fileName().compare(QStringLiteral("unins000.dat"), Qt::CaseInsensitive) == 0)
            continue;
        if (!CopyFileKeepTime(withSlash(sourceFolder) + file.fileName(),
                              withSlash(targetFolder) + file.fileName(), failIfExists))
            all = false;
    }
    return all;
}

bool CopyNewerByExt(const QString& sourceFolder, const QString& targetFolder, const QString& extension) {
    bool outcome = true;
    for (const QFileInfo& file : filesByExt(sourceFolder, extension)) {
        int error = 0;
        outcome = copyIfNewer(withSlash(sourceFolder) + file.fileName(),
                              withSlash(targetFolder) + file.fileName(), error) != NewerCopy::Failed;
    }
    return outcome;
}

bool CopyNewerByExtReport(const QString& sourceFolder, const QString& targetFolder, const QString& extension,
                          QStringList& copied, QStringList& report) {
    bool outcome = true;
    for (const QFileInfo& file : filesByExt(sourceFolder, extension)) {
        const QString source = withSlash(sourceFolder) + file.fileName();
        int error = 0;
        const NewerCopy result = copyIfNewer(source, withSlash(targetFolder) + file.fileName(), error);
        outcome = result != NewerCopy::Failed;
        if (result == NewerCopy::Copied) {
            report << source;
            copied << source;
        } else if (result == NewerCopy::Failed) {
            report << source + QStringLiteral(" Not copied (error ") + QString::number(error) + u')';
        }
    }
    return outcome;
}

bool ReadWholeFile(const QString& path, QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    content = file.readAll();
    return file.error() == QFileDevice::NoError;
}

qint64 WriteWholeFile(const QString& path, const QByteArray& content) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return -1;
    const qint64 written = file.write(content);
    if (written < 0 || !file.flush())
        return -1;
    file.close();
    return file.error() == QFileDevice::NoError ? written : -1;
}

void DeleteFileAt(const QString& path) {
    QFile::remove(path);
}

qint64 FileSizeOf(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    if (!name.contains(u'*') && !name.contains(u'?'))
        return info.isFile() ? info.size() : 0;
    const QFileInfoList found =
        QDir(info.path()).entryInfoList({name}, QDir::Files | QDir::Hidden, QDir::Name);
    return found.isEmpty() ? 0 : found.first().size();
}

bool EnterFolder(const QString& folder) {
    if (folder.isEmpty())
        return false;
    QDir dir;
    if (!QFileInfo(folder).isDir() && !dir.mkpath(folder))
        dir.mkpath(folder);
    if (QFileInfo(folder).isDir() && !QDir::setCurrent(folder))
        QDir::setCurrent(folder);
    const QString current = withSlash(QDir::currentPath());
    if (current == folder)
        return true;
    // The current directory is always the resolved path; a folder reached
    // through a symbolic link is entered all the same.
    const QString resolved = QFileInfo(folder).canonicalFilePath();
    return !resolved.isEmpty() && withSlash(resolved) == current;
}

qint32 PackedFileTime(const QString& path) {
    const QFileInfo info(path);
    if (!info.isFile())
        return -1;
    return PackDosTime(info.lastModified());
}

qint32 PackDosTime(const QDateTime& moment) {
    if (!moment.isValid())
        return -1;
    QDateTime local = moment.toLocalTime();
    // The packed form holds the years 1980 to 2107 only.
    if (local.date().year() < 1980)
        local = QDateTime(QDate(1980, 1, 1), QTime(0, 0));
    else if (local.date().year() > 2107)
        local = QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58));
    const QDate d = local.date();
    const QTime t = local.time();
    const quint32 date = quint32(d.year() - 1980) << 9 | quint32(d.month()) << 5 | quint32(d.day());
    const quint32 time = quint32(t.hour()) << 11 | quint32(t.minute()) << 5 | quint32(t.second() / 2);
    return qint32(date << 16 | time);
}

QDateTime UnpackDosTime(qint32 packed) {
    const quint32 p = quint32(packed);
    const QDate date(int(p >> 25) + 1980, int(p >> 21 & 0xF), int(p >> 16 & 0x1F));
    const QTime time(int(p >> 11 & 0x1F), int(p >> 5 & 0x3F), int(p & 0x1F) * 2);
    if (!date.isValid() || !time.isValid())
        return QDateTime();
    return QDateTime(date, time);
}

// ---------------------------------------------------------------- drives

QString DriveKindName(const QString& fsType, bool removable) {
    const QString type = fsType.toLower();
    if (type.isEmpty())
        return QString();
    static const QStringList remote{QStringLiteral("nfs"),   QStringLiteral("nfs4"),
                                    QStringLiteral("cifs"),  QStringLiteral("smb"),
                                    QStringLiteral("smb3"),  QStringLiteral("smbfs"),
                                    QStringLiteral("sshfs"), QStringLiteral("fuse.sshfs")};
    if (remote.contains(type))
        return driveRemote;
    if (type == u"iso9660" || type == u"udf")
        return driveCdrom;
    if (type == u"tmpfs" || type == u"ramfs")
        return driveRamdisk;
    return removable ? driveRemovable : driveFixed;
}

bool DeviceIsRemovable(const QString& device, const QString& sysRoot) {
    QString node = device;
    const QString resolved =
        QFileInfo(device).canonicalFilePath(); // /dev/disk/by-uuid/... and /dev/mapper/...
    if (!resolved.isEmpty())
        node = resolved;
    if (!node.startsWith(QStringLiteral("/dev/")))
        return false;
    const QString name = node.mid(5);
    if (name.isEmpty() || name.contains(u'/'))
        return false;
    QString block = QFileInfo(sysRoot + QStringLiteral("/class/block/") + name).canonicalFilePath();
    if (block.isEmpty())
        return false;
    // A partition carries no flag of its own; its disk is the folder above it.
    if (QFileInfo::exists(block + QStringLiteral("/partition")))
        block = QFileInfo(block).path();
    QFile flag(block + QStringLiteral("/removable"));
    if (!flag.open(QIODevice::ReadOnly))
        return false;
    return flag.readAll().trimmed() == "1";
}

QString DriveTypeName(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return QString();
    const QStorageInfo storage(path);
    if (!storage.isValid())
        return QString();
    return DriveKindName(QString::fromLatin1(storage.fileSystemType()),
                         DeviceIsRemovable(QString::fromLocal8Bit(storage.device())));
}

QString VolumeLabel(const QString& path) {
    if (path.isEmpty() || !QFileInfo::exists(path))
        return errorText(ENOENT);
    const QStorageInfo storage(path);
    if (!storage.isValid()) {
        struct statvfs info {};
        const int error = ::statvfs(QFile::encodeName(path).constData(), &info) == 0 ? EIO : errno;
        return errorText(error);
    }
    if (!storage.name().isEmpty())
        return storage.name();
    const QString device = QString::fromLocal8Bit(storage.device());
    return device.mid(device.lastIndexOf(u'/') + 1);
}

void SetDriveKindForTest(std::function<QString(const QString& path)> kind) {
    driveKindSeam = std::move(kind);
}

// ---------------------------------------------------------------- daylight saving

DaylightState DaylightStateAt(const QTimeZone& zone, const QDateTime& moment) {
    DaylightState state;
    if (!zone.isValid() || !moment.isValid() || !zone.isDaylightTime(moment))
        return state;
    state.inEffect = true;
    state.shift = zone.daylightTimeOffset(moment) / 86400.0;
    return state;
}

const DaylightState& Daylight() {
    // Found once; a run that crosses a change of the clocks keeps the state found at start.
    static const DaylightState found = DaylightStateAt(QTimeZone::systemTimeZone(), Clock::now());
    if (daylightForTest)
        return *daylightForTest;
    return found;
}

void SetDaylightForTest(DaylightState state) {
    daylightForTest = state;
}

QDate NthWeekdayOfMonth(int year, int month, int weekday, int n) {
    const QDate first(year, month, 1);
    if (!first.isValid() || weekday < 1 || weekday > 7 || n < 1 || n > 5)
        return QDate();
    const int days = first.daysInMonth();
    if (n == 5) {
        const QDate last(year, month, days);
        return last.addDays(-((last.dayOfWeek() - weekday + 7) % 7));
    }
    const int day = 1 + (weekday - first.dayOfWeek() + 7) % 7 + 7 * (n - 1);
    return QDate(year, month, day);
}

// ---------------------------------------------------------------- text routines

QString TextBeforeFirst(QChar c, const QString& text) {
    const qsizetype at = text.indexOf(c);
    return at < 0 ? QString() : text.left(at);
}

QString TextAfterFirst(QChar c, const QString& text) {
    const qsizetype at = text.indexOf(c);
    return at < 0 ? QString() : text.mid(at + 1);
}

QString TextBeforeLast(QChar c, const QString& text) {
    const qsizetype at = text.lastIndexOf(c);
    return at < 0 ? QString() : text.left(at);
}

QString TextAfterLast(QChar c, const QString& text) {
    const qsizetype at = text.lastIndexOf(c);
    return at < 0 ? QString() : text.mid(at + 1);
}

QString TextAfterSub(const QString& sub, const QString& text) {
    const qsizetype at = sub.isEmpty() ? -1 : text.indexOf(sub);
    return at < 0 ? QString() : text.mid(at + sub.size());
}

QString TextBeforeSub(const QString& sub, const QString& text) {
    const qsizetype at = sub.isEmpty() ? -1 : text.indexOf(sub);
    return at <= 0 ? QString() : text.left(at);
}

QString RemoveSpaces(const QString& text) {
    QString result = text;
    result.remove(u' ');
    return result;
}

QString TrimRight(const QString& text) {
    qsizetype end = text.size();
    while (end > 0 && text.at(end - 1) == u' ')
        --end;
    return end == 0 ? text : text.left(end);
}

QString RemoveDigits(const QString& text) {
    QString result;
    for (const QChar c : text)
        if (c < u'0' || c > u'9')
            result += c;
    return result;
}

QString KeepNumberChars(const QString& text) {
    QString result;
    for (const QChar c : text)
        if ((c >= u'0' && c <= u'9') || c == u',' || c == u'.')
            result += c;
    return result;
}

int WriteAll(int fd, QByteArrayView bytes) {
    for (qsizetype done = 0; done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.data() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0)
            return ENOSPC;
        else if (errno != EINTR)
            return errno;
    }
    return 0;
}

QString WithoutControls(QString text, QChar with) {
    for (QChar& c : text)
        if (c.category() == QChar::Other_Control)
            c = with;
    return text;
}

void AppendEscaped(QString& out, QStringView text) {
    for (const QChar c : text) {
        if (c == u'\\')
            out += QLatin1String("\\\\");
        else if (c == u'\t')
            out += QLatin1String("\\t");
        else if (c == u'\n')
            out += QLatin1String("\\n");
        else if (c == u'\r')
            out += QLatin1String("\\r");
        else
            out += c;
    }
}

QString Unescaped(QStringView text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != u'\\' || i + 1 == text.size()) {
            out += text[i];
            continue;
        }
        const QChar next = text[++i];
        out += next == u's'   ? QChar(u' ')
               : next == u'n' ? QChar(u'\n')
               : next == u't' ? QChar(u'\t')
               : next == u'r' ? QChar(u'\r')
                              : next;
    }
    return out;
}
