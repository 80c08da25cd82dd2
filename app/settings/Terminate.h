#pragma once

#include <QString>

#include <sys/types.h>

// Starting with the computer, and ending running copies of a program by the
// full path of their executable.  No windows: the options window and the
// update installer call these.

// Brolt_Sched in the program folder.
QString SchedulerProgramPath();
// "$XDG_CONFIG_HOME/autostart/Brolt_Sched.desktop" (~/.config when unset).
QString AutostartEntryPath();
// The desktop entry that starts `program` at login; a hidden one stops any
// entry of the same name in the system folders from starting it.
QByteArray AutostartEntryText(const QString& program, bool hidden = false);
// Quotes `program` as one argument of a desktop entry's Exec line.
QString DesktopExecArgument(const QString& program);

// What an autostart entry says about starting the scheduler.
struct AutostartEntry {
    bool exists = false;
    bool active = false; // neither Hidden=true nor switched off for GNOME
    QString program;     // the first word of Exec, unquoted
    QString tryExec;     // the file whose absence makes the desktop skip the entry
};
AutostartEntry ReadAutostartEntry(const QString& path);
// The entries of the same name in $XDG_CONFIG_DIRS (/etc/xdg when unset),
// the one that counts first.  The package installs one in /etc/xdg.
QStringList SystemAutostartEntryPaths();

// The registration step: writes the autostart entry for the scheduler program,
// active when `startUp` is on, hidden when off.  False when that failed.
bool RegisterStartUp(bool startUp);

// At every start of the window program: makes what happens at the next login
// agree with the start-up setting.  With `startUp` on, writes the user's entry
// when the entry that counts would start no scheduler (there is none, it is
// hidden, or the program it names is gone: a build folder that was moved);
// with it off, writes a hidden one when the entry that counts would start it.
enum class StartUpRepair { Nothing, Written, Failed };
StartUpRepair RepairStartUp(bool startUp);

// A running process found by its executable, held open so that the number it
// stands for cannot be given to another process meanwhile.  Closed on destruction.
class ProcessHandle {
public:
    ProcessHandle() = default;
    ProcessHandle(pid_t pid, int fd) : m_pid(pid), m_fd(fd) {}
    ~ProcessHandle();
    ProcessHandle(ProcessHandle&& other) noexcept;
    ProcessHandle& operator=(ProcessHandle&& other) noexcept;
    ProcessHandle(const ProcessHandle&) = delete;
    ProcessHandle& operator=(const ProcessHandle&) = delete;

    bool isValid() const { return m_pid > 0; }
    pid_t pid() const { return m_pid; }
    // Sends `signal`; false when it could not be sent.
    bool signal(int signal) const;
    // Waits at most `ms` milliseconds for the process to end; true when it has.
    bool waitForEnd(int ms) const;

private:
    void close();
    pid_t m_pid = 0;
    int m_fd = -1; // a pidfd, or -1 where the system has none
};

// The first running process whose executable is `path`: both trimmed and
// compared without regard to case.  Processes whose executable cannot be read
// (other users') are skipped.  `procRoot` is the proc file system.
ProcessHandle FindProcessByPath(const QString& path, const QString& procRoot = QStringLiteral("/proc"));

// Ends every running process whose executable is `path`, one after the
// other; a process that will not end stops the search.  Returns the number ended.
int TerminateByPath(const QString& path);
