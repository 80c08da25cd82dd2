#include "Instance.h"
#include "SingleInstance.h"
#include "TestKit.h"
#include "kit/Store.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocalServer>
#include <QLocalSocket>
#include <QProcess>
#include <QSignalSpy>
#include <QTest>

#include <memory>
#include <unistd.h>

class TestSingleInstance : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> m_home;
    QString m_runtime;

    QProcessEnvironment programEnvironment() const {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        env.insert(QStringLiteral("XDG_RUNTIME_DIR"), m_runtime);
        return env;
    }

    static QString program() { return QStringLiteral(BROLT_PROGRAM_DIR "/Brolt"); }

private Q_SLOTS:
    void initTestCase() {
        m_home = std::make_unique<TempHome>();
        m_runtime = m_home->path() + QStringLiteral("/runtime");
        QVERIFY(QDir().mkpath(m_runtime));
        QFile::setPermissions(m_runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", m_runtime.toUtf8());
    }

    void nameIsPerUserInTheRuntimeFolder() {
        QCOMPARE(SingleInstance::DefaultServerName(),
                 m_runtime + QStringLiteral("/Brolt-") + QString::number(::getuid()));
    }

    void nameWithoutRuntimeFolder() {
        qputenv("XDG_RUNTIME_DIR", "");
        const QString name = SingleInstance::DefaultServerName();
        qputenv("XDG_RUNTIME_DIR", m_runtime.toUtf8());
        QCOMPARE(name, QStringLiteral("Brolt-") + QString::number(::getuid()));
    }

    void secondInstanceReachesTheFirst() {
        const QString name = m_runtime + QStringLiteral("/inproc");
        SingleInstance first(name);
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QVERIFY(!first.ForwardToRunning(200)); // nobody there yet
        QVERIFY(first.Listen());

        SingleInstance second(name);
        QVERIFY(second.ForwardToRunning());
        QTRY_COMPARE(raised.count(), 1);
        // The second may not take the name from a running first.
        QVERIFY(!second.Listen());
        QVERIFY(first.isListening());
        QVERIFY(second.ForwardToRunning());
        QTRY_COMPARE(raised.count(), 2);
    }

    void otherTrafficDoesNotRaise() {
        const QString name = m_runtime + QStringLiteral("/noise");
        SingleInstance first(name);
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QVERIFY(first.Listen());
        QLocalSocket socket;
        socket.connectToServer(name);
        QVERIFY(socket.waitForConnected(1000));
        socket.write("hello\n");
        socket.waitForBytesWritten(1000);
        socket.disconnectFromServer();
        QTest::qWait(100);
        QCOMPARE(raised.count(), 0);
    }

    void staleNameIsTakenOverAfterTheConnectFailed() {
        const QString name = m_runtime + QStringLiteral("/stale");
        // What a crashed instance leaves behind: the name exists, nobody answers.
        WriteFileForTest(name, QByteArray());
        SingleInstance instance(name);
        QVERIFY(!instance.ForwardToRunning(200));
        QVERIFY(instance.Listen());
        SingleInstance second(name);
        QSignalSpy raised(&instance, &SingleInstance::raiseRequested);
        QVERIFY(second.ForwardToRunning());
        QTRY_COMPARE(raised.count(), 1);
    }

    void answersWithoutTheNetworkLibrary_data() {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("leftBehind"); // "", "file" or "server"
        QTest::addColumn<bool>("answers");
        const QString bare = QStringLiteral("brolt-test-") + QString::number(::getpid());
        QTest::newRow("nothing there") << m_runtime + QStringLiteral("/none") << "" << false;
        QTest::newRow("file of a crashed instance")
            << m_runtime + QStringLiteral("/crashed") << "file" << false;
        QTest::newRow("listening, full path") << m_runtime + QStringLiteral("/full") << "server" << true;
        QTest::newRow("listening, bare name in the temporary folder") << bare << "server" << true;
        QTest::newRow("bare name, nobody") << bare + QStringLiteral("-none") << "" << false;
    }

    void answersWithoutTheNetworkLibrary() {
        QFETCH(QString, name);
        QFETCH(QString, leftBehind);
        QFETCH(bool, answers);
        QLocalServer server;
        if (leftBehind == QLatin1String("file"))
            WriteFileForTest(InstanceSocketPath(name), QByteArray());
        if (leftBehind == QLatin1String("server")) {
            QLocalServer::removeServer(name);
            QVERIFY(server.listen(name));
            QCOMPARE(InstanceSocketPath(name), server.fullServerName());
        }
        QCOMPARE(InstanceAnswers(name), answers);
        QCOMPARE(SingleInstance(name).IsRunning(), answers);
        if (leftBehind == QLatin1String("file"))
            QFile::remove(InstanceSocketPath(name));
    }

    void morningStartRaisesARunningBrolt() {
        QVERIFY2(QFileInfo::exists(program()), "build the Brolt target first");
        SingleInstance first;
        QVERIFY(first.Listen());
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        QProcess second;
        second.setProcessEnvironment(programEnvironment());
        second.start(program(), {QStringLiteral("a")});
        QVERIFY(second.waitForStarted(10000));
        QTRY_COMPARE_WITH_TIMEOUT(raised.count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitCode(), 0);
    }

    void secondBroltRaisesTheFirstAndEndsWithoutWindows() {
        QVERIFY2(QFileInfo::exists(program()), "build the Brolt target first");
        SingleInstance first; // the running Brolt, as far as the second can tell
        QVERIFY(first.Listen());
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);

        QProcess second;
        second.setProcessEnvironment(programEnvironment());
        second.start(program(), QStringList());
        QVERIFY(second.waitForStarted(10000));
        QTRY_COMPARE_WITH_TIMEOUT(raised.count(), 1, 20000);
        QTRY_COMPARE_WITH_TIMEOUT(second.state(), QProcess::NotRunning, 20000);
        QCOMPARE(second.exitStatus(), QProcess::NormalExit);
        QCOMPARE(second.exitCode(), 0);
        // No window was made: the main window's first paint would have started
        // the log and provided a data file, its creation would have read the store.
        QVERIFY(!QFileInfo::exists(m_home->dataFolder() + QStringLiteral("Log.txt")));
        QVERIFY(!QFileInfo::exists(m_home->dataFolder() + QStringLiteral("Brolt.dat")));
        QVERIFY(!Store::contains(QStringLiteral("Pad voor Melodie")));
    }

    void listModeNeverTakesPart() {
        QVERIFY2(QFileInfo::exists(program()), "build the Brolt target first");
        SingleInstance first;
        QVERIFY(first.Listen());
        QSignalSpy raised(&first, &SingleInstance::raiseRequested);
        WriteFileForTest(m_home->path() + QStringLiteral("/lijst/Brolt.dat"),
                         "1958-05-19;Anna;Geboorte;;;;;;;\r\n");

        QProcess list;
        list.setProcessEnvironment(programEnvironment());
        list.start(program(),
                   {QStringLiteral("--list"), QStringLiteral("--date"), QStringLiteral("2024-05-14"),
                    QStringLiteral("--file"), m_home->path() + QStringLiteral("/lijst/Brolt.dat")});
        QVERIFY(list.waitForFinished(20000));
        QCOMPARE(list.exitCode(), 0);
        QCOMPARE(QString::fromUtf8(list.readAllStandardOutput()),
                 QStringLiteral("Anna wordt over 5 dagen (zo 19-05) 66 jaar\n"));
        QTest::qWait(100);
        QCOMPARE(raised.count(), 0);
        QVERIFY(first.isListening());
    }
};

QTEST_MAIN(TestSingleInstance)
#include "tst_singleinstance.moc"
