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
// The desktop entry that starts `program` at login.
QByteArray AutostartEntryText(const QString& program);
// Quotes `program` as one argument of a desktop entry's Exec line.
QString DesktopExecArgument(const QString& program);

// The registration step: writes the autostart entry for the scheduler program
// when `startUp` is on, removes it when off.  False when that failed.
bool RegisterStartUp(bool startUp);

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
