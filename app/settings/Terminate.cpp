#include "settings/Terminate.h"

#include "Ui.h"
#include "kit/Support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QStandardPaths>

#include <cerrno>
#include <climits>
#include <csignal>
#include <poll.h>
#include <sys/syscall.h>
#include <time.h>
#include <unistd.h>

namespace {
QString configHome() {
    QString base = qEnvironmentVariable("XDG_CONFIG_HOME");
    if (base.isEmpty() || QDir::isRelativePath(base))
        base = QDir::homePath() + QStringLiteral("/.config");
    return base;
}

int pidfdOpen(pid_t pid) {
#ifdef SYS_pidfd_open
    return int(::syscall(SYS_pidfd_open, pid, 0));
#else
    Q_UNUSED(pid);
    errno = ENOSYS;
    return -1;
#endif
}

// The executable of process `pid`, or empty when it cannot be read.
QString executableOf(const QString& procRoot, const QString& pid) {
    const QByteArray link = QFile::encodeName(procRoot + u'/' + pid + QStringLiteral("/exe"));
    char buffer[PATH_MAX + 1];
    const ssize_t n = ::readlink(link.constData(), buffer, PATH_MAX);
    if (n <= 0)
        return {};
    return QFile::decodeName(QByteArray(buffer, int(n)));
}

bool samePath(const QString& a, const QString& b) {
    return a.trimmed().compare(b.trimmed(), Qt::CaseInsensitive) == 0;
}

qint64 nowMs() {
    timespec t{};
    ::clock_gettime(CLOCK_MONOTONIC, &t);
    return qint64(t.tv_sec) * 1000 + t.tv_nsec / 1000000;
}
} // namespace

QString SchedulerProgramPath() {
    return ProgramFolder() + QStringLiteral("Brolt_Sched") + ExecutableSuffix();
}

QString AutostartEntryPath() {
    return configHome() + QStringLiteral("/autostart/Brolt_Sched.desktop");
}

QString DesktopExecArgument(const QString& program) {
    // Inside double quotes a backslash, a quote, a backquote and a dollar are
    // escaped with a backslash; then, as in every string value of the file,
    // each backslash is written twice.  A percent sign is a field code: "%%".
    QString quoted;
    for (const QChar c : program) {
        if (c == u'"' || c == u'`' || c == u'$' || c == u'\\')
            quoted += u'\\';
        quoted += c;
    }
    quoted.replace(u'\\', QStringLiteral("\\\\"));
    // A line break would end the line: control characters take their string escapes.
    quoted.replace(u'\n', QStringLiteral("\\n"))
        .replace(u'\t', QStringLiteral("\\t"))
        .replace(u'\r', QStringLiteral("\\r"));
    quoted.replace(u'%', QStringLiteral("%%"));
    return u'"' + quoted + u'"';
}

QByteArray AutostartEntryText(const QString& program, bool hidden) {
    QString text;
    text += QStringLiteral("[Desktop Entry]\n");
    text += QStringLiteral("Type=Application\n");
    text += QStringLiteral("Name=Brolt_Sched\n");
    text += QStringLiteral("Comment=Start Brolt elke ochtend\n");
    // A desktop starts nothing when this file is gone: a removed program
    // leaves no failing start at every login behind.
    text += QStringLiteral("TryExec=");
    AppendEscaped(text, program);
    text += u'\n';
    text += QStringLiteral("Exec=") + DesktopExecArgument(program) + u'\n';
    text += QStringLiteral("Terminal=false\n");
    text += QStringLiteral("NoDisplay=true\n");
    if (hidden)
        text += QStringLiteral("Hidden=true\n");
    text += QStringLiteral("X-GNOME-Autostart-enabled=") +
            (hidden ? QStringLiteral("false\n") : QStringLiteral("true\n"));
    return text.toUtf8();
}

namespace {
// The first argument of an Exec line (already unescaped as a string).
QString firstExecWord(const QString& exec) {
    QString word;
    qsizetype i = 0;
    while (i < exec.size() && exec[i] == u' ')
        ++i;
    if (i < exec.size() && exec[i] == u'"') {
        for (++i; i < exec.size() && exec[i] != u'"'; ++i) {
            if (exec[i] == u'\\' && i + 1 < exec.size())
                ++i;
            word += exec[i];
        }
    } else {
        for (; i < exec.size() && exec[i] != u' '; ++i)
            word += exec[i];
    }
    return word.replace(QStringLiteral("%%"), QStringLiteral("%"));
}

bool programExists(const QString& program) {
    if (program.isEmpty())
        return false;
    if (!program.contains(u'/'))
        return !QStandardPaths::findExecutable(program).isEmpty();
    const QFileInfo info(program);
    return info.isFile() && info.isExecutable();
}

bool writeEntry(const QByteArray& text) {
    const QString entry = AutostartEntryPath();
    if (!QDir().mkpath(QFileInfo(entry).path()))
        return false;
    QSaveFile file(entry);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    file.write(text);
    return file.commit();
}
} // namespace

AutostartEntry ReadAutostartEntry(const QString& path) {
    AutostartEntry entry;
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return entry;
    entry.exists = true;
    entry.active = true;
    bool inMainGroup = false;
    for (const QByteArray& raw : file.readAll().split('\n')) {
        const QString line = QString::fromUtf8(raw).trimmed();
        if (line.startsWith(u'[')) {
            inMainGroup = line == QLatin1String("[Desktop Entry]");
            continue;
        }
        const qsizetype equals = line.indexOf(u'=');
        if (!inMainGroup || equals < 0)
            continue;
        const QString key = line.left(equals).trimmed();
        const QString value = Unescaped(line.mid(equals + 1).trimmed());
        if (key == QLatin1String("Hidden") && value == QLatin1String("true"))
            entry.active = false;
        else if (key == QLatin1String("X-GNOME-Autostart-enabled") && value == QLatin1String("false"))
            entry.active = false;
        else if (key == QLatin1String("Exec"))
            entry.program = firstExecWord(value);
        else if (key == QLatin1String("TryExec"))
            entry.tryExec = value;
    }
    return entry;
}

QStringList SystemAutostartEntryPaths() {
    QString dirs = qEnvironmentVariable("XDG_CONFIG_DIRS");
    if (dirs.isEmpty())
        dirs = QStringLiteral("/etc/xdg");
    QStringList paths;
    for (const QString& dir : dirs.split(u':', Qt::SkipEmptyParts))
        if (!QDir::isRelativePath(dir))
            paths << dir + QStringLiteral("/autostart/Brolt_Sched.desktop");
    return paths;
}

bool RegisterStartUp(bool startUp) {
    return writeEntry(AutostartEntryText(SchedulerProgramPath(), !startUp));
}

StartUpRepair RepairStartUp(bool startUp) {
    // The entry that counts at login: the user's, else the first system one.
    AutostartEntry counting = ReadAutostartEntry(AutostartEntryPath());
    for (const QString& path : SystemAutostartEntryPaths()) {
        if (counting.exists)
            break;
        counting = ReadAutostartEntry(path);
    }
    const bool startsScheduler = counting.active && programExists(counting.program);
    if (startUp == startsScheduler)
        return StartUpRepair::Nothing;
    return RegisterStartUp(startUp) ? StartUpRepair::Written : StartUpRepair::Failed;
}

// ------------------------------------------------------------------ processes

ProcessHandle::~ProcessHandle() {
    close();
}

ProcessHandle::ProcessHandle(ProcessHandle&& other) noexcept : m_pid(other.m_pid), m_fd(other.m_fd) {
    other.m_pid = 0;
    other.m_fd = -1;
}

ProcessHandle& ProcessHandle::operator=(ProcessHandle&& other) noexcept {
    if (this != &other) {
        close();
        m_pid = other.m_pid;
        m_fd = other.m_fd;
        other.m_pid = 0;
        other.m_fd = -1;
    }
    return *this;
}

void ProcessHandle::close() {
    if (m_fd >= 0)
        ::close(m_fd);
    m_fd = -1;
    m_pid = 0;
}

bool ProcessHandle::signal(int sig) const {
    if (!isValid())
        return false;
#ifdef SYS_pidfd_send_signal
    if (m_fd >= 0)
        return ::syscall(SYS_pidfd_send_signal, m_fd, sig, nullptr, 0) == 0;
#endif
    return ::kill(m_pid, sig) == 0;
}

bool ProcessHandle::waitForEnd(int ms) const {
    if (!isValid())
        return true;
    if (m_fd >= 0) {
        // A pidfd becomes readable when its process has ended.
        pollfd p{m_fd, POLLIN, 0};
        int r;
        do
            r = ::poll(&p, 1, ms);
        while (r < 0 && errno == EINTR);
        return r > 0;
    }
    // Without a pidfd: an ended process that is not yet reaped shows as a zombie.
    const qint64 until = nowMs() + ms;
    for (;;) {
        if (::kill(m_pid, 0) != 0 && errno == ESRCH)
            return true;
        QFile stat(QStringLiteral("/proc/%1/stat").arg(m_pid));
        if (stat.open(QIODevice::ReadOnly)) {
            const QByteArray line = stat.readAll();
            const qsizetype close = line.lastIndexOf(')');
            if (close > 0 && close + 2 < line.size() && (line[close + 2] == 'Z' || line[close + 2] == 'X'))
                return true;
        }
        if (nowMs() >= until)
            return false;
        ::usleep(10000);
    }
}

ProcessHandle FindProcessByPath(const QString& path, const QString& procRoot) {
    const QString target = path.trimmed();
    if (target.isEmpty())
        return {};
    const QStringList entries = QDir(procRoot).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString& entry : entries) {
        bool number = false;
        const pid_t pid = pid_t(entry.toLongLong(&number));
        if (!number || pid <= 0 || pid == ::getpid())
            continue;
        if (!samePath(executableOf(procRoot, entry), target))
            continue;
        // Hold the process first, then look again: the number may have been
        // given to another process between the two looks.
        const int fd = procRoot == QLatin1String("/proc") ? pidfdOpen(pid) : -1;
        if (fd >= 0 && !samePath(executableOf(procRoot, entry), target)) {
            ::close(fd);
            continue;
        }
        return ProcessHandle(pid, fd);
    }
    return {};
}

int TerminateByPath(const QString& path) {
    const QString target = path.left(4096);
    int ended = 0;
    // Bounded: a process that will not end, or one that keeps coming back, does not hold us for ever.
    for (int attempt = 0; attempt < 64; ++attempt) {
        ProcessHandle process = FindProcessByPath(target);
        if (!process.isValid())
            break;
        bool gone = process.signal(SIGTERM) && process.waitForEnd(2000);
        if (!gone)
            gone = process.signal(SIGKILL) && process.waitForEnd(2000);
        if (!gone)
            break;
        ++ended;
        Ui::instance().processEvents();
    }
    return ended;
}
