#include "Schedule.h"

#include <QFile>

#include <utility>

#include <sys/stat.h>

namespace Sched {

namespace {
// Exact fractions of a day; "past" is a strict comparison, so 02:00:00 and
// 07:00:00 themselves do not count.
constexpr double resetHour = 2.0 / 24.0;
constexpr double startHour = 7.0 / 24.0;
constexpr double msecsPerDay = 24.0 * 60 * 60 * 1000;
} // namespace

Command commandFor(const QString& ownPath, const QString& suffix) {
    const qsizetype underscore = ownPath.indexOf(QLatin1Char('_'));
    const QString prefix = underscore < 0 ? QString() : ownPath.left(underscore);
    Command command;
    command.program = prefix + suffix;
    command.arguments = {QStringLiteral("a")};
    command.text = QLatin1Char('"') + command.program + QLatin1String("\" a");
    return command;
}

qint64 dayNumber(const QDate& date) {
    return QDate(1899, 12, 30).daysTo(date);
}

double dayFraction(const QTime& time) {
    return time.msecsSinceStartOfDay() / msecsPerDay;
}

State initialState(const QDateTime& now) {
    return State{dayNumber(now.date()), false};
}

Decision decide(const State& state, const QDateTime& now) {
    const qint64 today = dayNumber(now.date());
    const double timeOfDay = dayFraction(now.time());
    Decision decision{state, false};
    if (decision.state.started && today > decision.state.referenceDay && timeOfDay > resetHour) {
        decision.state.referenceDay = today;
        decision.state.started = false;
    }
    if (!decision.state.started && timeOfDay > startHour) {
        // The cycle belongs to the day of the start.  Mostly that is the
        // reference day already; after a suspend from before 07:00 to a later
        // morning it is not, and keeping the old day would reset and start
        // again one pass later.
        decision.state.referenceDay = today;
        decision.state.started = true;
        decision.start = true;
    }
    return decision;
}

QString stateText(const State& state) {
    return QString::number(state.referenceDay) +
           (state.started ? QStringLiteral(":1") : QStringLiteral(":0"));
}

std::optional<State> stateFromText(const QString& text) {
    const QStringList parts = text.split(u':');
    bool ok = false;
    const qint64 day = parts.value(0).toLongLong(&ok);
    if (parts.size() != 2 || !ok || day <= 0 || (parts[1] != u'0' && parts[1] != u'1'))
        return std::nullopt;
    return State{day, parts[1] == u'1'};
}

FileIdentity identityOf(const QString& path) {
    struct stat info {};
    if (::stat(QFile::encodeName(path).constData(), &info) != 0)
        return {};
    return {true, quint64(info.st_dev), quint64(info.st_ino)};
}

FileIdentity runningIdentity() {
    return identityOf(QStringLiteral("/proc/self/exe"));
}

ProgramFate fateOf(const FileIdentity& started, const FileIdentity& now) {
    if (!now.exists)
        return ProgramFate::Removed;
    return now == started ? ProgramFate::Same : ProgramFate::Replaced;
}

Scheduler::Scheduler(Clock now, Sleep sleep, Start start, Check check)
    : m_now(std::move(now)), m_sleep(std::move(sleep)), m_start(std::move(start)), m_check(std::move(check)),
      m_state(initialState(m_now())) {}

void Scheduler::pass() {
    if (m_check)
        m_check(m_state);
    const State before = m_state;
    const Decision decision = decide(m_state, m_now());
    m_state = decision.state;
    if (decision.start) {
        // Give the desktop time to settle after logon; whether the start
        // worked is not asked: the day counts as done either way.
        m_sleep(startDelay);
        // A successor taking over now makes the start itself.
        if (m_check)
            m_check(before);
        m_start();
    }
    m_sleep(passInterval);
}

void Scheduler::run() {
    for (;;)
        pass();
}

} // namespace Sched
