#include "../../sched/Schedule.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <chrono>

#include <cstdio>
#include <unistd.h>

using namespace std::chrono_literals;

namespace {

// Wall-clock moments without a time zone, so the walks do not depend on the
// machine's daylight-saving rules.  "yyyy-MM-dd HH:mm:ss" with optional ".zzz".
QDateTime at(const QString& text) {
    const QDate date = QDate::fromString(text.left(10), QStringLiteral("yyyy-MM-dd"));
    const QString time = text.mid(11);
    return QDateTime(date,
                     QTime::fromString(time, time.size() > 8 ? QStringLiteral("HH:mm:ss.zzz")
                                                             : QStringLiteral("HH:mm:ss")),
                     Qt::UTC);
}

QString stamp(const QDateTime& moment) {
    return moment.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

// The real loop on simulated time: sleeping moves the clock on, starting only
// writes down when it happened.  A suspend makes one sleep end at `resumeAt`.
struct SimulatedMachine {
    QDateTime now;
    QDateTime suspendAt;
    QDateTime resumeAt;
    QStringList events;
    QList<std::chrono::seconds> sleeps;
    Sched::Scheduler scheduler;

    explicit SimulatedMachine(const QDateTime& begin)
        : now(begin), scheduler([this] { return now; }, [this](std::chrono::seconds d) { sleep(d); },
                                [this] { events << stamp(now) + QStringLiteral(" start"); }) {}

    void sleep(std::chrono::seconds duration) {
        sleeps << duration;
        now = now.addSecs(duration.count());
        if (suspendAt.isValid() && now >= suspendAt) {
            now = resumeAt;
            suspendAt = QDateTime();
        }
    }

    void runUntil(const QDateTime& end) {
        while (now < end) {
            const QDateTime passBegin = now;
            const qsizetype eventsBefore = events.size();
            const Sched::State before = scheduler.state();
            scheduler.pass();
            const Sched::State after = scheduler.state();
            if (before.started && (!after.started || after.referenceDay != before.referenceDay))
                events.insert(eventsBefore, stamp(passBegin) + QStringLiteral(" reset"));
        }
    }
};

} // namespace

class TestSchedule : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void commandLine_data();
    void commandLine();
    void decide_data();
    void decide();
    void dayWalk_data();
    void dayWalk();
    void oneStartEachMorning_data();
    void oneStartEachMorning();
    void startPassPausesBeforeStarting();
    void ownFileFate_data();
    void ownFileFate();
    void carriedState_data();
    void carriedState();
    void checkRunsBeforeEveryPassAndStart();
    void runningSchedulerLeavesWithItsFile_data();
    void runningSchedulerLeavesWithItsFile();

private:
    QTemporaryDir m_home;
};

void TestSchedule::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + QStringLiteral("/config")).toUtf8());
    qputenv("XDG_DATA_HOME", (m_home.path() + QStringLiteral("/data")).toUtf8());
}

void TestSchedule::commandLine_data() {
    QTest::addColumn<QString>("ownPath");
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("text");

    QTest::newRow("beside Brolt") << "/opt/Brolt/Brolt_Sched"
                                  << ""
                                  << "/opt/Brolt/Brolt"
                                  << "\"/opt/Brolt/Brolt\" a";
    QTest::newRow("folder name with an underscore") << "/home/jan/mijn_programmas/Brolt_Sched"
                                                    << ""
                                                    << "/home/jan/mijn"
                                                    << "\"/home/jan/mijn\" a";
    QTest::newRow("no underscore anywhere") << "/opt/Brolt/BroltSched"
                                            << ""
                                            << ""
                                            << "\"\" a";
    QTest::newRow("blanks and a quote in the folder") << "/home/jan/Jan's programma's/Brolt_Sched"
                                                      << ""
                                                      << "/home/jan/Jan's programma's/Brolt"
                                                      << "\"/home/jan/Jan's programma's/Brolt\" a";
    QTest::newRow("Windows suffix") << "C:/Program Files/Brolt/Brolt_Sched.exe"
                                    << ".exe"
                                    << "C:/Program Files/Brolt/Brolt.exe"
                                    << "\"C:/Program Files/Brolt/Brolt.exe\" a";
    QTest::newRow("Windows suffix, no underscore") << "C:/Program Files/Brolt/BroltSched.exe"
                                                   << ".exe"
                                                   << ".exe"
                                                   << "\".exe\" a";
}

void TestSchedule::commandLine() {
    QFETCH(QString, ownPath);
    QFETCH(QString, suffix);
    QFETCH(QString, program);
    QFETCH(QString, text);

    const Sched::Command command = Sched::commandFor(ownPath, suffix);
    QCOMPARE(command.program, program);
    QCOMPARE(command.arguments, QStringList{QStringLiteral("a")});
    QCOMPARE(command.text, text);
}

void TestSchedule::decide_data() {
    QTest::addColumn<QDate>("referenceDay");
    QTest::addColumn<bool>("started");
    QTest::addColumn<QDateTime>("now");
    QTest::addColumn<QDate>("newReferenceDay");
    QTest::addColumn<bool>("newStarted");
    QTest::addColumn<bool>("start");

    const QDate day(2024, 5, 6);
    const QDate next = day.addDays(1);
    QTest::newRow("waiting, 06:59:59") << day << false << at("2024-05-06 06:59:59") << day << false << false;
    QTest::newRow("waiting, exactly 07:00:00 is not past")
        << day << false << at("2024-05-06 07:00:00") << day << false << false;
    QTest::newRow("waiting, 07:00:00.001")
        << day << false << at("2024-05-06 07:00:00.001") << day << true << true;
    QTest::newRow("waiting, afternoon") << day << false << at("2024-05-06 15:00:00") << day << true << true;
    QTest::newRow("waiting, just before midnight")
        << day << false << at("2024-05-06 23:59:59") << day << true << true;
    QTest::newRow("started, same evening")
        << day << true << at("2024-05-06 23:59:59") << day << true << false;
    QTest::newRow("started, next day 01:30")
        << day << true << at("2024-05-07 01:30:00") << day << true << false;
    QTest::newRow("started, next day exactly 02:00:00 is not past")
        << day << true << at("2024-05-07 02:00:00") << day << true << false;
    QTest::newRow("started, next day 02:00:00.001 resets")
        << day << true << at("2024-05-07 02:00:00.001") << next << false << false;
    QTest::newRow("started, next day 07:00:01 resets and starts")
        << day << true << at("2024-05-07 07:00:01") << next << true << true;
    QTest::newRow("started, days later 03:00 resets")
        << day << true << at("2024-05-09 03:00:00") << QDate(2024, 5, 9) << false << false;
    QTest::newRow("waiting, reference day kept before 07:00")
        << day.addDays(-3) << false << at("2024-05-06 05:00:00") << day.addDays(-3) << false << false;
    QTest::newRow("waiting since an earlier day, the start takes today")
        << day.addDays(-1) << false << at("2024-05-06 08:00:00") << day << true << true;
}

void TestSchedule::decide() {
    QFETCH(QDate, referenceDay);
    QFETCH(bool, started);
    QFETCH(QDateTime, now);
    QFETCH(QDate, newReferenceDay);
    QFETCH(bool, newStarted);
    QFETCH(bool, start);

    const Sched::Decision decision = Sched::decide({Sched::dayNumber(referenceDay), started}, now);
    QCOMPARE(decision.state.referenceDay, Sched::dayNumber(newReferenceDay));
    QCOMPARE(decision.state.started, newStarted);
    QCOMPARE(decision.start, start);
}

void TestSchedule::dayWalk_data() {
    QTest::addColumn<QDateTime>("begin");
    QTest::addColumn<QDateTime>("end");
    QTest::addColumn<QDateTime>("suspendAt");
    QTest::addColumn<QDateTime>("resumeAt");
    QTest::addColumn<QStringList>("events");

    // Passes fall a minute apart, so after a start (30 s pause) they move to
    // the half minute; that is how exactly 07:00:00 and 02:00:00 are met.
    QTest::newRow("running from 06:00, the rest of that day")
        << at("2024-05-06 06:00:00") << at("2024-05-06 23:59:59") << QDateTime() << QDateTime()
        << QStringList{"2024-05-06 07:01:30 start"};
    QTest::newRow("running from 06:00 for three mornings")
        << at("2024-05-06 06:00:00") << at("2024-05-08 12:00:00") << QDateTime() << QDateTime()
        << QStringList{"2024-05-06 07:01:30 start", "2024-05-07 02:00:30 reset", "2024-05-07 07:01:00 start",
                       "2024-05-08 02:01:00 reset", "2024-05-08 07:01:30 start"};
    QTest::newRow("logon after 07:00 starts in the first pass")
        << at("2024-05-06 09:15:00") << at("2024-05-07 12:00:00") << QDateTime() << QDateTime()
        << QStringList{"2024-05-06 09:15:30 start", "2024-05-07 02:00:30 reset", "2024-05-07 07:01:00 start"};
    QTest::newRow("start at 20:00, no reset at 01:30")
        << at("2024-05-06 19:59:30") << at("2024-05-07 12:00:00") << QDateTime() << QDateTime()
        << QStringList{"2024-05-06 20:00:00 start", "2024-05-07 02:01:00 reset", "2024-05-07 07:01:30 start"};
    QTest::newRow("logon at 01:00 waits for the morning")
        << at("2024-05-06 01:00:00") << at("2024-05-06 12:00:00") << QDateTime() << QDateTime()
        << QStringList{"2024-05-06 07:01:30 start"};
    QTest::newRow("over new year") << at("2024-12-31 06:00:00") << at("2025-01-01 12:00:00") << QDateTime()
                                   << QDateTime()
                                   << QStringList{"2024-12-31 07:01:30 start", "2025-01-01 02:00:30 reset",
                                                  "2025-01-01 07:01:00 start"};
    QTest::newRow("suspended in the evening, woken next morning")
        << at("2024-05-06 06:00:00") << at("2024-05-07 12:00:00") << at("2024-05-06 22:00:00")
        << at("2024-05-07 08:00:00")
        << QStringList{"2024-05-06 07:01:30 start", "2024-05-07 08:00:00 reset", "2024-05-07 08:00:30 start"};
    QTest::newRow("suspended before 07:00, woken next morning: one start")
        << at("2024-05-06 06:30:00") << at("2024-05-08 12:00:00") << at("2024-05-06 06:50:00")
        << at("2024-05-07 08:00:00")
        << QStringList{"2024-05-07 08:00:30 start", "2024-05-08 02:00:30 reset", "2024-05-08 07:01:00 start"};
}

void TestSchedule::dayWalk() {
    QFETCH(QDateTime, begin);
    QFETCH(QDateTime, end);
    QFETCH(QDateTime, suspendAt);
    QFETCH(QDateTime, resumeAt);
    QFETCH(QStringList, events);

    SimulatedMachine machine(begin);
    machine.suspendAt = suspendAt;
    machine.resumeAt = resumeAt;
    machine.runUntil(end);
    QCOMPARE(machine.events, events);
}

void TestSchedule::oneStartEachMorning_data() {
    QTest::addColumn<QTime>("logon");

    for (const char* time :
         {"00:00:00", "02:00:00", "06:59:59", "07:00:00", "07:00:01", "13:37:12", "23:59:00"})
        QTest::newRow(time) << QTime::fromString(QString::fromLatin1(time), QStringLiteral("HH:mm:ss"));
}

// Whatever the logon time, a fortnight without pause gives one start a day, and
// from the first full day on it comes in the first pass after 07:00.
void TestSchedule::oneStartEachMorning() {
    QFETCH(QTime, logon);

    const QDate first(2024, 3, 25);
    SimulatedMachine machine(QDateTime(first, logon, Qt::UTC));
    machine.runUntil(QDateTime(first.addDays(14), QTime(0, 0), Qt::UTC));

    QMap<QDate, QList<QTime>> starts;
    for (const QString& event : std::as_const(machine.events)) {
        if (event.endsWith(QLatin1String(" start"))) {
            const QDateTime moment = at(event.left(19));
            starts[moment.date()] << moment.time();
        }
    }
    QVERIFY(starts.value(first).size() <= 1);
    for (QDate day = first.addDays(1); day < first.addDays(14); day = day.addDays(1)) {
        const QList<QTime> times = starts.value(day);
        QCOMPARE(times.size(), 1);
        QVERIFY2(times.first() > QTime(7, 0, 30) && times.first() <= QTime(7, 1, 30),
                 qPrintable(day.toString(Qt::ISODate) + QLatin1Char(' ') + times.first().toString()));
    }
    for (std::chrono::seconds sleep : std::as_const(machine.sleeps))
        QVERIFY(sleep == 60s || sleep == 30s);
}

void TestSchedule::startPassPausesBeforeStarting() {
    SimulatedMachine machine(at("2024-05-06 06:59:10"));
    machine.scheduler.pass();
    QCOMPARE(machine.sleeps, QList<std::chrono::seconds>{60s});
    QVERIFY(machine.events.isEmpty());

    machine.scheduler.pass();
    QCOMPARE(machine.sleeps, (QList<std::chrono::seconds>{60s, 30s, 60s}));
    QCOMPARE(machine.events, QStringList{"2024-05-06 07:00:40 start"});
    QCOMPARE(machine.now, at("2024-05-06 07:01:40"));
}

void TestSchedule::ownFileFate_data() {
    QTest::addColumn<QString>("change");
    QTest::addColumn<int>("fate");
    QTest::newRow("untouched") << "none" << int(Sched::ProgramFate::Same);
    QTest::newRow("written in place") << "write" << int(Sched::ProgramFate::Same);
    QTest::newRow("removed") << "remove" << int(Sched::ProgramFate::Removed);
    QTest::newRow("upgraded: a new file renamed over it") << "rename" << int(Sched::ProgramFate::Replaced);
    QTest::newRow("removed, then installed again") << "reinstall" << int(Sched::ProgramFate::Replaced);
}

void TestSchedule::ownFileFate() {
    QFETCH(QString, change);
    QFETCH(int, fate);
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("Brolt_Sched"));
    auto write = [](const QString& file, const QByteArray& bytes) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(bytes);
    };
    write(path, "old");
    const Sched::FileIdentity started = Sched::identityOf(path);
    QVERIFY(started.exists);
    // Keeps the old file's inode taken, so a new file cannot get the same number.
    QCOMPARE(::link(QFile::encodeName(path).constData(), QFile::encodeName(dir.filePath("held")).constData()),
             0);
    if (change == QLatin1String("write")) {
        write(path, "patched");
    } else if (change == QLatin1String("remove")) {
        QVERIFY(QFile::remove(path));
    } else if (change == QLatin1String("rename")) {
        write(path + QStringLiteral(".dpkg-new"), "new");
        QVERIFY(::rename(QFile::encodeName(path + ".dpkg-new").constData(),
                         QFile::encodeName(path).constData()) == 0);
    } else if (change == QLatin1String("reinstall")) {
        QVERIFY(QFile::remove(path));
        write(path, "new");
    }
    QCOMPARE(int(Sched::fateOf(started, Sched::identityOf(path))), fate);
}

void TestSchedule::carriedState_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("valid");
    QTest::addColumn<qint64>("day");
    QTest::addColumn<bool>("started");
    QTest::newRow("started today") << "46518:1" << true << qint64(46518) << true;
    QTest::newRow("waiting") << "46518:0" << true << qint64(46518) << false;
    QTest::newRow("empty") << "" << false << qint64(0) << false;
    QTest::newRow("no flag") << "46518" << false << qint64(0) << false;
    QTest::newRow("flag not 0 or 1") << "46518:2" << false << qint64(0) << false;
    QTest::newRow("no day") << ":1" << false << qint64(0) << false;
    QTest::newRow("negative day") << "-3:1" << false << qint64(0) << false;
    QTest::newRow("words") << "gisteren:1" << false << qint64(0) << false;
    QTest::newRow("three parts") << "46518:1:1" << false << qint64(0) << false;
}

void TestSchedule::carriedState() {
    QFETCH(QString, text);
    QFETCH(bool, valid);
    QFETCH(qint64, day);
    QFETCH(bool, started);
    const std::optional<Sched::State> state = Sched::stateFromText(text);
    QCOMPARE(state.has_value(), valid);
    if (!valid)
        return;
    QCOMPARE(state->referenceDay, day);
    QCOMPARE(state->started, started);
    QCOMPARE(Sched::stateText(*state), text);
}

void TestSchedule::checkRunsBeforeEveryPassAndStart() {
    // What a successor would be told if it took over at each check.
    QDateTime now = at("2024-05-06 06:59:10");
    QStringList seen;
    Sched::Scheduler scheduler([&] { return now; },
                               [&](std::chrono::seconds d) { now = now.addSecs(d.count()); },
                               [&] { seen << QStringLiteral("start"); },
                               [&](const Sched::State& state) { seen << Sched::stateText(state); });
    scheduler.pass(); // before 07:00: nothing to start
    scheduler.pass(); // starts, checking first before the pause and again before the start
    scheduler.pass();
    const QString day = QString::number(Sched::dayNumber(QDate(2024, 5, 6)));
    // Before the start the successor is told that it is still due, so that it makes it.
    QCOMPARE(seen, (QStringList{day + ":0", day + ":0", day + ":0", "start", day + ":1"}));
}

void TestSchedule::runningSchedulerLeavesWithItsFile_data() {
    QTest::addColumn<bool>("upgrade");
    QTest::newRow("removed: it ends") << false;
    QTest::newRow("upgraded: the new one takes over") << true;
}

void TestSchedule::runningSchedulerLeavesWithItsFile() {
    QFETCH(bool, upgrade);
    // A folder without "_", and no Brolt in it: the morning start finds nothing to start.
    QTemporaryDir dir(QDir::tempPath() + QStringLiteral("/schedtest-XXXXXX"));
    const QString path = dir.filePath(QStringLiteral("Brolt_Sched"));
    QVERIFY(QFile::copy(QStringLiteral(BROLT_PROGRAM_DIR "/Brolt_Sched"), path));
    QProcess sched;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("BROLT_SCHED_SECOND_MS"), QStringLiteral("2")); // a pass every 120 ms
    sched.setProcessEnvironment(env);
    sched.start(path, {});
    QVERIFY(sched.waitForStarted());
    const QString exe = QStringLiteral("/proc/%1/exe").arg(sched.processId());
    QTRY_COMPARE(QFile::symLinkTarget(exe), path);

    if (!upgrade) {
        QVERIFY(QFile::remove(path));
        QVERIFY(sched.waitForFinished(5000));
        QCOMPARE(sched.exitStatus(), QProcess::NormalExit);
        QCOMPARE(sched.exitCode(), 0);
        return;
    }
    QVERIFY(QFile::copy(QStringLiteral(BROLT_PROGRAM_DIR "/Brolt_Sched"), path + QStringLiteral(".new")));
    QVERIFY(::rename(QFile::encodeName(path + ".new").constData(), QFile::encodeName(path).constData()) == 0);
    // The same process now runs the new file: its old one is no longer "(deleted)".
    const Sched::FileIdentity installed = Sched::identityOf(path);
    QTRY_VERIFY2_WITH_TIMEOUT(Sched::identityOf(exe) == installed,
                              qPrintable(QStringLiteral("state %1, exit %2 %3: %4")
                                             .arg(sched.state())
                                             .arg(sched.exitStatus())
                                             .arg(sched.exitCode())
                                             .arg(QString::fromLocal8Bit(sched.readAllStandardError()))),
                              5000);
    QCOMPARE(sched.state(), QProcess::Running);
    // It was told whether today's start was made.
    QFile environ(QStringLiteral("/proc/%1/environ").arg(sched.processId()));
    QVERIFY(environ.open(QIODevice::ReadOnly));
    const QList<QByteArray> variables = environ.readAll().split('\0');
    const QByteArray today = QByteArray::number(Sched::dayNumber(QDate::currentDate()));
    QVERIFY(variables.contains("BROLT_SCHED_STATE=" + today + ":1") ||
            variables.contains("BROLT_SCHED_STATE=" + today + ":0"));
    sched.kill();
    sched.waitForFinished();
}

QTEST_GUILESS_MAIN(TestSchedule)
#include "tst_schedule.moc"
