#include "TestKit.h"
#include "settings/Terminate.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTest>

#include <memory>

class TestTerminate : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void execArgument_data();
    void execArgument();
    void autostartEntryWrittenAndRemoved();
    void autostartEntryNamesItsProgramForTryExec_data();
    void autostartEntryNamesItsProgramForTryExec();
    void autostartEntryInUnwritableFolder();
    void repairStartUp_data();
    void repairStartUp();
    void windowProgramWritesTheEntryAtItsFirstStart();
    void findByPath_data();
    void findByPath();
    void terminateEndsOnlyCopiesOfThatPath_data();
    void terminateEndsOnlyCopiesOfThatPath();
    void terminateWithNothingRunning();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestTerminate::initTestCase() {
    m_home = std::make_unique<TempHome>();
}

void TestTerminate::execArgument_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<QString>("expected");
    QTest::newRow("plain") << "/opt/brolt/Brolt_Sched"
                           << "\"/opt/brolt/Brolt_Sched\"";
    QTest::newRow("spaces and accents") << "/home/anna/Mijn programma's é/Brolt_Sched"
                                        << "\"/home/anna/Mijn programma's é/Brolt_Sched\"";
    QTest::newRow("quote and dollar escaped, backslashes doubled") << "/x/\"q$/a`b"
                                                                   << "\"/x/\\\\\"q\\\\$/a\\\\`b\"";
    QTest::newRow("backslash") << "/x\\y"
                               << "\"/x\\\\\\\\y\"";
    QTest::newRow("percent is no field code") << "/x/100%/B"
                                              << "\"/x/100%%/B\"";
}

void TestTerminate::execArgument() {
    QFETCH(QString, program);
    QFETCH(QString, expected);
    QCOMPARE(DesktopExecArgument(program), expected);
    // And read back from an entry, as the start-up repair reads it.
    const QString entry = m_home->path() + "/roundtrip.desktop";
    WriteFileForTest(entry, AutostartEntryText(program));
    QCOMPARE(ReadAutostartEntry(entry).program, program);
}

namespace {
// desktop-file-validate's verdict on `path`: empty when valid or not installed.
QString invalidEntry(const QString& path) {
    if (QStandardPaths::findExecutable("desktop-file-validate").isEmpty())
        return {};
    QProcess p;
    p.start("desktop-file-validate", {path});
    if (!p.waitForFinished(10000))
        return "desktop-file-validate did not finish";
    const QString out = QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError());
    return p.exitCode() == 0 && out.isEmpty() ? QString()
                                              : out + "(exit " + QString::number(p.exitCode()) + ")";
}
} // namespace

void TestTerminate::autostartEntryNamesItsProgramForTryExec_data() {
    QTest::addColumn<QString>("program");
    QTest::addColumn<bool>("hidden");
    QTest::newRow("plain") << "/usr/lib/brolt/Brolt_Sched" << false;
    QTest::newRow("hidden") << "/usr/lib/brolt/Brolt_Sched" << true;
    QTest::newRow("spaces and accents") << "/home/anna/Mijn programma's é/Brolt_Sched" << false;
    QTest::newRow("quote, dollar, percent") << "/x/\"q$/100%/Brolt_Sched" << false;
    QTest::newRow("backslash") << "/x\\y/Brolt_Sched" << false;
    QTest::newRow("tab and line break") << "/x\ty\nz/Brolt_Sched" << true;
}

void TestTerminate::autostartEntryNamesItsProgramForTryExec() {
    QFETCH(QString, program);
    QFETCH(bool, hidden);
    const QString entry = m_home->path() + "/tryexec/Brolt_Sched.desktop";
    WriteFileForTest(entry, AutostartEntryText(program, hidden));
    // Exactly one line each, so that a desktop reads the file as written.
    const QStringList lines = QString::fromUtf8(ReadFileForTest(entry)).split(u'\n');
    QCOMPARE(lines.filter(QRegularExpression("^TryExec=")).size(), 1);
    QCOMPARE(lines.filter(QRegularExpression("^Exec=")).size(), 1);
    const AutostartEntry read = ReadAutostartEntry(entry);
    QCOMPARE(read.tryExec, program);
    QCOMPARE(read.program, program);
    QCOMPARE(read.active, !hidden);
}

void TestTerminate::autostartEntryWrittenAndRemoved() {
    const QString entry = m_home->path() + "/config/autostart/Brolt_Sched.desktop";
    QCOMPARE(AutostartEntryPath(), entry);
    QVERIFY(!QFileInfo::exists(entry));

    QVERIFY(RegisterStartUp(true));
    const QString text = QString::fromUtf8(ReadFileForTest(entry));
    const QString program = QCoreApplication::applicationDirPath() + "/Brolt_Sched";
    QCOMPARE(SchedulerProgramPath(), program);
    QVERIFY2(text.startsWith("[Desktop Entry]\n"), qPrintable(text));
    QVERIFY(text.contains("\nType=Application\n"));
    QVERIFY(text.contains("\nName=Brolt_Sched\n"));
    QVERIFY(text.contains("\nExec=" + DesktopExecArgument(program) + "\n"));
    QVERIFY(text.contains("\nTryExec=" + program + "\n"));
    QVERIFY(ReadAutostartEntry(entry).active);
    QCOMPARE(invalidEntry(entry), QString());

    // Writing again replaces the entry; turning it off hides it, so that an
    // entry of the system folders cannot start the scheduler either.
    QVERIFY(RegisterStartUp(true));
    QCOMPARE(QDir(m_home->path() + "/config/autostart").entryList(QDir::Files),
             QStringList{"Brolt_Sched.desktop"});
    QVERIFY(RegisterStartUp(false));
    QVERIFY(ReadFileForTest(entry).contains("\nHidden=true\n"));
    QVERIFY(!ReadAutostartEntry(entry).active);
    QCOMPARE(invalidEntry(entry), QString());
    QVERIFY(RegisterStartUp(false));
    QVERIFY(RegisterStartUp(true));
    QVERIFY(ReadAutostartEntry(entry).active);
    QFile::remove(entry);
}

void TestTerminate::repairStartUp_data() {
    // Entries as "active:PROGRAM" or "hidden:PROGRAM", empty for none; SCHED
    // stands for the scheduler beside this program, GONE for a moved one.
    QTest::addColumn<bool>("startUp");
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("system");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("userAfter");
    const int nothing = int(StartUpRepair::Nothing), written = int(StartUpRepair::Written);
    QTest::newRow("on, no entry anywhere") << true << ""
                                           << "" << written << "active:SCHED";
    QTest::newRow("on, the package's entry") << true << ""
                                             << "active:/bin/sh" << nothing << "";
    QTest::newRow("on, the package's entry hidden") << true << ""
                                                    << "hidden:/bin/sh" << written << "active:SCHED";
    QTest::newRow("on, package removed, its entry left") << true << ""
                                                         << "active:GONE" << written << "active:SCHED";
    QTest::newRow("on, the user's own entry") << true << "active:/bin/sh"
                                              << "" << nothing << "active:/bin/sh";
    QTest::newRow("on, the user's entry names a moved build")
        << true << "active:GONE"
        << "active:/bin/sh" << written << "active:SCHED";
    QTest::newRow("on, the user's entry hidden") << true << "hidden:/bin/sh"
                                                 << "active:/bin/sh" << written << "active:SCHED";
    QTest::newRow("off, no entry anywhere") << false << ""
                                            << "" << nothing << "";
    QTest::newRow("off, the package's entry") << false << ""
                                              << "active:/bin/sh" << written << "hidden:SCHED";
    QTest::newRow("off, already hidden") << false << "hidden:/bin/sh"
                                         << "active:/bin/sh" << nothing << "hidden:/bin/sh";
    QTest::newRow("off, the user's entry active") << false << "active:/bin/sh"
                                                  << "" << written << "hidden:SCHED";
    QTest::newRow("off, the user's entry names a moved build") << false << "active:GONE"
                                                               << "" << nothing << "active:GONE";
}

void TestTerminate::repairStartUp() {
    QFETCH(bool, startUp);
    QFETCH(QString, user);
    QFETCH(QString, system);
    QFETCH(int, result);
    QFETCH(QString, userAfter);
    const auto expand = [](QString text) {
        return text.replace("SCHED", SchedulerProgramPath()).replace("GONE", "/weg/Brolt_Sched");
    };
    const auto place = [&](const QString& what, const QString& path) {
        QFile::remove(path);
        if (!what.isEmpty())
            WriteFileForTest(path,
                             AutostartEntryText(expand(what).section(u':', 1), what.startsWith("hidden")));
    };
    // The entry that counts is searched through the list of system folders.
    const QString systemRoot = m_home->path() + "/xdg";
    qputenv("XDG_CONFIG_DIRS", (systemRoot + "1:" + systemRoot + "2").toUtf8());
    place(user, AutostartEntryPath());
    place(system, systemRoot + "2/autostart/Brolt_Sched.desktop");

    QCOMPARE(int(RepairStartUp(startUp)), result);
    const AutostartEntry after = ReadAutostartEntry(AutostartEntryPath());
    const QString seen = after.exists ? (after.active ? "active:" : "hidden:") + after.program : QString();
    QCOMPARE(seen, expand(userAfter));
    if (after.exists)
        QCOMPARE(invalidEntry(AutostartEntryPath()), QString());
    // Once repaired, a second start finds nothing to do.
    QCOMPARE(RepairStartUp(startUp), StartUpRepair::Nothing);
    QFile::remove(AutostartEntryPath());
    qunsetenv("XDG_CONFIG_DIRS");
}

void TestTerminate::windowProgramWritesTheEntryAtItsFirstStart() {
    // A fresh account: the news window waits for OK, the entry is there anyway.
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("XDG_CONFIG_DIRS", m_home->path() + "/xdg");
    // Its own instance name, away from any other Brolt running on this machine.
    QDir().mkpath(m_home->path() + "/run");
    env.insert("XDG_RUNTIME_DIR", m_home->path() + "/run");
    const QString entry = AutostartEntryPath();
    QVERIFY(!QFileInfo::exists(entry));
    QProcess brolt;
    brolt.setProcessEnvironment(env);
    brolt.start(QString(BROLT_PROGRAM_DIR) + "/brolt-windows", QStringList{});
    QVERIFY(brolt.waitForStarted(10000));
    QTRY_VERIFY_WITH_TIMEOUT(QFileInfo::exists(entry), 20000);
    QCOMPARE(brolt.state(), QProcess::Running);
    brolt.kill();
    brolt.waitForFinished(5000);
    const AutostartEntry written = ReadAutostartEntry(entry);
    QVERIFY(written.active);
    QCOMPARE(written.program, QString(BROLT_PROGRAM_DIR) + "/Brolt_Sched");
    QCOMPARE(invalidEntry(entry), QString());
}

void TestTerminate::autostartEntryInUnwritableFolder() {
    // The configuration folder is a file: nothing can be written below it.
    const QString blocked = m_home->path() + "/blocked";
    WriteFileForTest(blocked, "x");
    const QByteArray saved = qgetenv("XDG_CONFIG_HOME");
    qputenv("XDG_CONFIG_HOME", blocked.toUtf8());
    const bool written = RegisterStartUp(true);
    qputenv("XDG_CONFIG_HOME", saved);
    QVERIFY(!written);
}

void TestTerminate::findByPath_data() {
    QTest::addColumn<QString>("wanted");
    QTest::addColumn<int>("pid");
    QTest::newRow("exact") << "/opt/b/Brolt_Sched" << 120;
    QTest::newRow("other letter case and blanks") << "  /OPT/B/brolt_sched \t" << 120;
    QTest::newRow("same name elsewhere") << "/srv/b/Brolt_Sched" << 300;
    QTest::newRow("a leading part of a path is another program") << "/opt/b/Brolt" << 0;
    QTest::newRow("nothing") << "/opt/b/Geen" << 0;
    QTest::newRow("empty") << "" << 0;
}

void TestTerminate::findByPath() {
    QFETCH(QString, wanted);
    QFETCH(int, pid);
    // A stand-in for /proc: numbered folders with an "exe" link; a folder
    // without one (another user's process) and a non-number are skipped.
    const QString proc = m_home->path() + "/proc";
    QDir().mkpath(proc + "/7");
    QDir().mkpath(proc + "/self");
    for (const auto& [number, exe] :
         {std::pair{120, "/opt/b/Brolt_Sched"}, std::pair{300, "/srv/b/Brolt_Sched"},
          std::pair{450, "/opt/b/Brolt_Sched2"}}) {
        const QString folder = proc + u'/' + QString::number(number);
        QDir().mkpath(folder);
        QFile::link(QString::fromLatin1(exe), folder + "/exe");
    }
    QFile::link("/opt/b/Brolt_Sched", proc + "/self/exe");
    const ProcessHandle found = FindProcessByPath(wanted, proc);
    QCOMPARE(int(found.pid()), pid);
    QCOMPARE(found.isValid(), pid != 0);
}

void TestTerminate::terminateEndsOnlyCopiesOfThatPath_data() {
    QTest::addColumn<bool>("upperCase");
    QTest::newRow("the path as it is") << false;
    QTest::newRow("the path in other letter case") << true;
}

void TestTerminate::terminateEndsOnlyCopiesOfThatPath() {
    QFETCH(bool, upperCase);
    const QString sleeper = QStandardPaths::findExecutable("sleep");
    if (sleeper.isEmpty())
        QSKIP("no sleep program to copy");
    const QString tag = upperCase ? "b" : "a";
    const QString own = m_home->path() + "/programma " + tag + "/Brolt_Sched";
    const QString other = m_home->path() + "/elders " + tag + "/Brolt_Sched";
    for (const QString& copy : {own, other}) {
        QDir().mkpath(QFileInfo(copy).path());
        QVERIFY(QFile::copy(sleeper, copy));
        QVERIFY(QFile::setPermissions(copy, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner));
    }
    QProcess first, second, elsewhere;
    for (QProcess* p : {&first, &second})
        p->start(own, {"600"});
    elsewhere.start(other, {"600"});
    for (QProcess* p : {&first, &second, &elsewhere})
        QVERIFY(p->waitForStarted(5000));

    QCOMPARE(TerminateByPath(upperCase ? own.toUpper() : own), 2);
    QVERIFY(first.waitForFinished(5000));
    QVERIFY(second.waitForFinished(5000));
    QCOMPARE(elsewhere.state(), QProcess::Running);
    QVERIFY(!FindProcessByPath(own).isValid());
    const ProcessHandle left = FindProcessByPath(other);
    QCOMPARE(left.pid(), pid_t(elsewhere.processId()));

    elsewhere.kill();
    QVERIFY(elsewhere.waitForFinished(5000));
}

void TestTerminate::terminateWithNothingRunning() {
    QCOMPARE(TerminateByPath(m_home->path() + "/nergens/Brolt_Sched"), 0);
}

QTEST_GUILESS_MAIN(TestTerminate)
#include "tst_terminate.moc"
