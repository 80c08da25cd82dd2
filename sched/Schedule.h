#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <chrono>
#include <functional>
#include <optional>

namespace Sched {

// The main program is named after the scheduler: its own name up to the first
// "_" plus the platform's executable suffix.
#ifdef Q_OS_WIN
inline const QString executableSuffix = QStringLiteral(".exe");
#else
inline const QString executableSuffix;
#endif

// How the main program is started.  It is run directly, never through a shell,
// so blanks and quotes in the folder name need no care.
struct Command {
    QString program;
    QStringList arguments; // always "a": automatic mode
    QString text;          // for people: "<program>" a
};

// `ownPath` is the scheduler's full path; the prefix ends before its first "_"
// (which may lie in a folder name) and is empty when the path holds none.
Command commandFor(const QString& ownPath, const QString& suffix = executableSuffix);

// Whole days since 30 December 1899.
qint64 dayNumber(const QDate& date);
// Part of the day gone since midnight: 0 at 00:00, 0.5 at 12:00.
double dayFraction(const QTime& time);

struct State {
    qint64 referenceDay = 0; // the day the current cycle began
    bool started = false;    // Brolt has been started in the current cycle
    friend bool operator==(const State&, const State&) = default;
};

State initialState(const QDateTime& now);

struct Decision {
    State state;
    bool start = false;
};

// One pass of the loop at local time `now`.  A started cycle ends on a later
// day once it is past 02:00; a new one starts Brolt once it is past 07:00.
Decision decide(const State& state, const QDateTime& now);

// The state carried to the scheduler that takes over after an upgrade, so
// that the new one does not start Brolt a second time that day: "day:0|1".
QString stateText(const State& state);
// The state of such a text; none when it is not one.
std::optional<State> stateFromText(const QString& text);

// The scheduler's own program file.  An upgrade or a removal while it runs
// replaces or removes the file, never the program in memory, so the running
// scheduler compares the file at its path with the one it was started from.
struct FileIdentity {
    bool exists = false;
    quint64 device = 0;
    quint64 inode = 0;
    friend bool operator==(const FileIdentity&, const FileIdentity&) = default;
};
FileIdentity identityOf(const QString& path);
// The file the running process was started from, also after it was removed.
FileIdentity runningIdentity();
enum class ProgramFate { Same, Removed, Replaced };
ProgramFate fateOf(const FileIdentity& started, const FileIdentity& now);

// The loop itself, with the clock, the sleeping and the start handed in so a
// test can run it on simulated time.
class Scheduler {
public:
    using Clock = std::function<QDateTime()>;
    using Sleep = std::function<void(std::chrono::seconds)>;
    using Start = std::function<void()>;
    // Runs before every pass and before every start, with the state so far:
    // the place to leave when the program file is gone.
    using Check = std::function<void(const State&)>;

    static constexpr std::chrono::seconds passInterval{60};
    static constexpr std::chrono::seconds startDelay{30};

    Scheduler(Clock now, Sleep sleep, Start start, Check check = {});
    // Takes over the state of the scheduler this one replaced.
    void resume(const State& state) { m_state = state; }

    // Reads the clock once, starts Brolt when due, then sleeps until the next pass.
    void pass();
    [[noreturn]] void run();

    State state() const { return m_state; }

private:
    Clock m_now;
    Sleep m_sleep;
    Start m_start;
    Check m_check;
    State m_state;
};

} // namespace Sched
