#include "TestKit.h"
#include "kit/ClrBtn.h"
#include "kit/Support.h"
#include "maintenance/GetVersions.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHostAddress>
#include <QMap>
#include <QProcess>
#include <QProgressBar>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTest>
#include <QTextEdit>
#include <QTimer>

#include <functional>
#include <memory>

namespace {
// A small HTTP server on 127.0.0.1 that answers each path as told.
class LocalServer : public QObject {
public:
    struct Answer {
        int status = 200;
        QByteArray body;
        QByteArray extraHeaders;
        qint64 announced = -1; // Content-Length when it is not the body's
        bool silent = false;   // reads the request and never answers
    };

    LocalServer() {
        connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket* socket = m_server.nextPendingConnection()) {
                ++connections;
                connect(socket, &QTcpSocket::readyRead, socket, [this, socket] { serve(socket); });
            }
        });
        QVERIFY(m_server.listen(QHostAddress(QStringLiteral("127.0.0.1")), 0));
    }
    quint16 port() const { return m_server.serverPort(); }
    QString url() const { return QStringLiteral("http://127.0.0.1:%1/").arg(port()); }
    void close() { m_server.close(); }

    QMap<QString, Answer> answers;
    QStringList requests; // "GET /versions.dat" with the no-cache header seen: "GET /versions.dat no-cache"
    int connections = 0;

private:
    void serve(QTcpSocket* socket) {
        QByteArray& buffer = m_buffers[socket];
        buffer += socket->readAll();
        const qsizetype end = buffer.indexOf("\r\n\r\n");
        if (end < 0)
            return;
        const QByteArray head = buffer.left(end);
        buffer.clear();
        const QList<QByteArray> words = head.split(' ');
        const QString path = words.size() > 1 ? QString::fromLatin1(words[1]) : QString();
        const bool noCache = head.toLower().contains("cache-control: no-cache");
        requests << QStringLiteral("GET ") + path + (noCache ? QStringLiteral(" no-cache") : QString());
        const Answer answer = answers.value(path, Answer{404, QByteArray(20, 'n'), {}, -1, false});
        if (answer.silent)
            return;
        QByteArray reply = "HTTP/1.1 " + QByteArray::number(answer.status) + " X\r\n";
        reply += "Content-Length: " +
                 QByteArray::number(answer.announced >= 0 ? answer.announced : answer.body.size()) + "\r\n";
        reply += answer.extraHeaders;
        reply += "Connection: close\r\n\r\n";
        reply += answer.body;
        socket->write(reply);
        socket->disconnectFromHost();
    }

    QTcpServer m_server;
    QMap<QTcpSocket*, QByteArray> m_buffers;
};

// A versions file of at least 50 characters with our entry among others.
QByteArray versionsFile(const QByteArray& entry) {
    return "Zendro,zendro130.exe,c,812,,,\r\n" + entry + "\r\nRemind,remind101.exe,b,1.020,,,\r\n";
}

// Runs `act` once the (modal) window is on screen with its answer: while the
// server is being asked it shows without buttons.
void whenShown(QWidget* window, std::function<void()> act) {
    auto* timer = new QTimer(window);
    timer->setInterval(10);
    QObject::connect(timer, &QTimer::timeout, window, [window, timer, act] {
        if (!window->isVisible() || !window->findChild<QWidget*>(QStringLiteral("BtnExit"))->isVisible())
            return;
        timer->stop();
        timer->deleteLater();
        act();
    });
    timer->start();
}

QString caption(const TVersionsForm& form, const char* name) {
    return form.findChild<TClrBtn*>(QString::fromLatin1(name))->text();
}
} // namespace

class TestGetVersions : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void advisedUpdateDownloadedAndInstalled();
    void manualCheckLines_data();
    void manualCheckLines();
    void manualCheckPlacedOnCaller();
    void manualCheckShowsWaitWhileServerIsSilent();
    void autoCheckSilentUnlessAdvised_data();
    void autoCheckSilentUnlessAdvised();
    void downloadSuccessRule_data();
    void downloadSuccessRule();
    void installerThatCannotStart();
    void startedInstallerClosesMainWindow();

private:
    void serveVersions(const QByteArray& entry);
    QString writeScript(const QString& name, const QByteArray& text);

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<LocalServer> m_server;
};

void TestGetVersions::initTestCase() {
    m_home = std::make_unique<TempHome>();
    TThread1::setTransferTimeout(400);
    TVersionsForm::setSettlePause(0);
    // No ping program: the fetch decides (the time-out case brings its own ping).
    TVersionsForm::setPingProgram(m_home->path() + QStringLiteral("/no-ping-here"));
}

void TestGetVersions::init() {
    m_server = std::make_unique<LocalServer>();
    qputenv("BROLT_UPDATE_URL", m_server->url().toUtf8());
}

void TestGetVersions::cleanup() {
    TVersionsForm::setPingProgram(m_home->path() + QStringLiteral("/no-ping-here"));
    m_server.reset();
}

void TestGetVersions::serveVersions(const QByteArray& entry) {
    m_server->answers[QStringLiteral("/versions.dat")].body = versionsFile(entry);
}

QString TestGetVersions::writeScript(const QString& name, const QByteArray& text) {
    const QString path = m_home->path() + u'/' + name;
    WriteFileForTest(path, text);
    QFile::setPermissions(path, QFile::permissions(path) | QFileDevice::ExeOwner);
    return path;
}

void TestGetVersions::advisedUpdateDownloadedAndInstalled() {
    serveVersions("Brolt,brolt261.exe,a,5,,,");
    // The "installer": notes its arguments.  Padded to 5000 bytes: chunks of
    // 2048, 2048 and 904 bytes, 2 + 2 + 0 kilobytes.
    const QString marker = m_home->path() + QStringLiteral("/installer-ran");
    QByteArray installer = "#!/bin/sh\necho \"$@\" > '" + marker.toUtf8() + "'\n";
    installer += '#' + QByteArray(5000 - installer.size() - 2, 'x') + '\n';
    QCOMPARE(installer.size(), 5000);
    m_server->answers[QStringLiteral("/brolt261.exe")].body = installer;

    // A running scheduler program of the program folder, and one elsewhere.
    QDir().mkpath(m_home->path() + QStringLiteral("/prog"));
    QDir().mkpath(m_home->path() + QStringLiteral("/other"));
    const QString sched = m_home->path() + QStringLiteral("/prog/Brolt_Sched");
    const QString otherSched = m_home->path() + QStringLiteral("/other/Brolt_Sched");
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), sched));
    QVERIFY(QFile::copy(QStringLiteral("/bin/sleep"), otherSched));
    QProcess running, other;
    running.start(sched, {QStringLiteral("60")});
    other.start(otherSched, {QStringLiteral("60")});
    QVERIFY(running.waitForStarted());
    QVERIFY(other.waitForStarted());
    const auto stop = qScopeGuard([&] {
        for (QProcess* p : {&running, &other}) {
            p->kill();
            p->waitForFinished();
        }
    });

    TVersionsForm form;
    form.setSchedulerPath(sched);
    int ended = 0;
    form.hooks.endProgram = [&] {
        ++ended;
        form.accept();
    };
    auto* gauge = form.findChild<QProgressBar*>(QStringLiteral("Gauge1"));
    QVERIFY(gauge);
    QList<int> gaugeSteps;
    connect(gauge, &QProgressBar::valueChanged, this, [&](int value) { gaugeSteps << value; });

    QStringList shownLines, linesAfterTimedCheck, afterDownload, afterInstall;
    QString exitCaption, downloadCaption;
    bool gaugeHiddenAtFirst = false;
    whenShown(&form, [&] {
        shownLines = form.memoLines();
        downloadCaption = caption(form, "BtnDownload");
        exitCaption = caption(form, "BtnExit");
        gaugeHiddenAtFirst = !gauge->isVisible();
        // The timed check falling due now leaves the user's window alone.
        form.AutoCheck();
        linesAfterTimedCheck = form.memoLines();
        QTest::mouseClick(form.findChild<TClrBtn*>(QStringLiteral("BtnDownload")), Qt::LeftButton);
        afterDownload = form.memoLines();
        QTest::mouseClick(form.findChild<TClrBtn*>(QStringLiteral("BtnExit")), Qt::LeftButton);
        afterInstall = form.memoLines();
    });
    QCOMPARE(form.ManualCheck(0, 0, 800, 600), int(Versions::UpdateAdvised));

    QCOMPARE(shownLines,
             (QStringList{"", "Een Update wordt aanbevolen", "", "Uw huidige versie is versie 2.60e",
                          "De nieuwste versie is 2.61a", "De Downloadnaam is brolt261.exe"}));
    QCOMPARE(linesAfterTimedCheck, shownLines);
    QCOMPARE(downloadCaption, QStringLiteral("Start Downloaden"));
    QCOMPARE(exitCaption, QStringLiteral("Download later"));
    QVERIFY(gaugeHiddenAtFirst);
    QCOMPARE(form.windowTitle(), QStringLiteral("Brolt - Update"));

    // The gauge: maximum from the versions file, counter + 1 after each chunk.
    QCOMPARE(gauge->maximum(), 5);
    QCOMPARE(gaugeSteps, (QList<int>{0, 3, 5}));
    QCOMPARE(afterDownload, (QStringList{"", "brolt261.exe is met succes gedownload",
                                         "Klik \"Installeer\" om het progamma te installeren"}));
    const QString local = DownloadsFolder() + QStringLiteral("brolt261.exe");
    QCOMPARE(ReadFileForTest(local), installer);
    QVERIFY(form.downloaded());

    QCOMPARE(afterInstall, (afterDownload + QStringList{"", "De installatie van Brolt wordt gestart.",
                                                        "De installatie van Brolt is gestart."}));
    QTRY_COMPARE(ReadFileForTest(marker), QByteArray("/SP- /silent /noicons\n"));
    QCOMPARE(ended, 1);
    QTRY_COMPARE(running.state(), QProcess::NotRunning);
    QCOMPARE(other.state(), QProcess::Running);

    // Every request went to the server itself, never to a cache.
    QCOMPARE(m_server->requests, (QStringList{"GET /versions.dat no-cache", "GET /brolt261.exe no-cache"}));
}

void TestGetVersions::manualCheckLines_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<QString>("how");
    QTest::addColumn<int>("result");
    QTest::addColumn<QStringList>("lines");
    QTest::addColumn<int>("versionRequests");

    const QStringList upToDate{"", "Een Update is niet nodig,", "u heeft de nieuwste versie.",
                               "Uw huidige versie is versie 2.60e."};
    const QStringList noReply{"", "De server reageert niet"};
    const QStringList tooSmall{"", "Het bestand is te klein"};
    const QStringList notFound{"", "Programma-naam niet gevonden"};

    QTest::newRow("same version") << versionsFile("Brolt,brolt260.exe,e,1.234,,,") << 200 << "" << 0
                                  << upToDate << 1;
    QTest::newRow("49 characters") << QByteArray(49, 'B') << 200 << "" << 2 << tooSmall << 1;
    QTest::newRow("Default.htm") << QByteArray("Default.htm") << 200 << "" << 2 << tooSmall << 1;
    QTest::newRow("no entry") << versionsFile("Zoeker,zoeker1.exe,a,1") << 200 << "" << 3 << notFound << 1;
    QTest::newRow("entry without fields")
        << QByteArray(60, 'x') + "\r\nBrolt," << 200 << "" << 3 << notFound << 1;
    QTest::newRow("entry with three fields")
        << versionsFile("Brolt,brolt261.exe,a") << 200 << "" << 2 << tooSmall << 1;
    QTest::newRow("binary bytes") << QByteArray("\x01\xff\xfe\x00zz", 6) + QByteArray(3000, '\x80') << 200
                                  << "" << 3 << notFound << 1;
    QTest::newRow("zero byte cuts the file short")
        << QByteArray("Brolt,\0", 7) + versionsFile("Brolt,brolt261.exe,a,1") << 200 << "" << 2 << tooSmall
        << 1;
    QTest::newRow("404 page longer than 50")
        << QByteArray("<html><body>404 Not Found: nothing here</body></html>") << 404 << "" << 3 << notFound
        << 1;
    QTest::newRow("empty body, tried twice") << QByteArray() << 200 << "" << 1 << noReply << 2;
    QTest::newRow("server down") << QByteArray() << 200 << "down" << 1 << noReply << 0;
    QTest::newRow("server never answers") << QByteArray() << 200 << "silent" << 1 << noReply << 2;
    QTest::newRow("redirect to another server") << QByteArray() << 302 << "redirect" << 1 << noReply << 2;
    QTest::newRow("ping time-out") << QByteArray() << 200 << "ping" << 5
                                   << QStringList{"", "Ping naar 127.0.0.1 geeft Time-out"} << 0;
}

void TestGetVersions::manualCheckLines() {
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(QString, how);
    QFETCH(int, result);
    QFETCH(QStringList, lines);
    QFETCH(int, versionRequests);

    LocalServer elsewhere;
    LocalServer::Answer& answer = m_server->answers[QStringLiteral("/versions.dat")];
    answer.body = body;
    answer.status = status;
    answer.silent = how == QLatin1String("silent");
    if (how == QLatin1String("redirect"))
        answer.extraHeaders = "Location: " + elsewhere.url().toUtf8() + "versions.dat\r\n";
    if (how == QLatin1String("down"))
        m_server->close();
    if (how == QLatin1String("ping"))
        TVersionsForm::setPingProgram(writeScript(
            QStringLiteral("ping"), "#!/bin/sh\n"
                                    "echo 'PING 127.0.0.1 (127.0.0.1) 56(84) bytes of data.'\necho\n"
                                    "echo '--- 127.0.0.1 ping statistics ---'\n"
                                    "echo '1 packets transmitted, 0 received, 100% packet loss, time 0ms'\n"
                                    "exit 1\n"));

    TVersionsForm form;
    QStringList shown;
    bool downloadVisible = true, exitVisible = false;
    QString exitCaption;
    whenShown(&form, [&] {
        shown = form.memoLines();
        downloadVisible = form.findChild<TClrBtn*>(QStringLiteral("BtnDownload"))->isVisible();
        exitVisible = form.findChild<TClrBtn*>(QStringLiteral("BtnExit"))->isVisible();
        exitCaption = caption(form, "BtnExit");
        QTest::mouseClick(form.findChild<TClrBtn*>(QStringLiteral("BtnExit")), Qt::LeftButton);
    });
    QCOMPARE(form.ManualCheck(0, 0, 800, 600), result);
    QCOMPARE(shown, lines);
    QVERIFY(!downloadVisible);
    QVERIFY(exitVisible);
    QCOMPARE(exitCaption, QStringLiteral("Sluit Venster"));
    QVERIFY(!form.isVisible());
    QCOMPARE(m_server->requests.size(), versionRequests);
    QCOMPARE(elsewhere.connections, 0);
}

void TestGetVersions::manualCheckPlacedOnCaller() {
    serveVersions("Brolt,brolt260.exe,e,1");
    TVersionsForm form;
    QPoint placed;
    whenShown(&form, [&] {
        placed = form.pos();
        form.reject();
    });
    // Top 100, left 200, 801 x 600: halves rounded toward zero.
    form.ManualCheck(100, 200, 801, 600);
    QCOMPARE(placed, QPoint(200 + (801 - TVersionsForm::ClientWidth) / 2,
                            100 + (600 - TVersionsForm::ClientHeight) / 2));
    QCOMPARE(placed, QPoint(386, 273));
}

void TestGetVersions::manualCheckShowsWaitWhileServerIsSilent() {
    m_server->answers[QStringLiteral("/versions.dat")].silent = true;
    TVersionsForm form;
    QStringList waiting;
    bool buttonsHidden = false;
    int checks = 0;
    auto* timer = new QTimer(&form);
    timer->setInterval(10);
    connect(timer, &QTimer::timeout, &form, [&] {
        if (!form.isVisible() || !m_server->requests.size())
            return;
        timer->stop();
        waiting = form.memoLines();
        buttonsHidden = !form.findChild<TClrBtn*>(QStringLiteral("BtnExit"))->isVisible() &&
                        !form.findChild<TClrBtn*>(QStringLiteral("BtnDownload"))->isVisible();
        // A second click on the update button while the first check waits.
        checks = form.ManualCheck(0, 0, 800, 600);
        form.reject();
    });
    timer->start();
    // Closed while the server is silent: the check ends without showing the window again.
    QCOMPARE(form.ManualCheck(0, 0, 800, 600), int(Versions::NoReply));
    QCOMPARE(waiting, (QStringList{"", "Bezig met zoeken naar een nieuwe versie..."}));
    QVERIFY(buttonsHidden);
    QCOMPARE(checks, int(Versions::UpToDate));
    QVERIFY(!form.isVisible());
}

void TestGetVersions::autoCheckSilentUnlessAdvised_data() {
    QTest::addColumn<QByteArray>("entry");
    QTest::addColumn<bool>("shown");
    QTest::newRow("advised") << QByteArray("Brolt,vxbrolt261.exe,a,1.234,,,") << true;
    QTest::newRow("up to date") << QByteArray("Brolt,brolt260.exe,e,1.234,,,") << false;
    QTest::newRow("no entry") << QByteArray("Zoeker,zoeker1.exe,a,1") << false;
}

void TestGetVersions::autoCheckSilentUnlessAdvised() {
    QFETCH(QByteArray, entry);
    QFETCH(bool, shown);
    serveVersions(entry);
    TVersionsForm form;
    bool wasShown = false;
    QStringList lines;
    QString exitCaption;
    whenShown(&form, [&] {
        wasShown = true;
        lines = form.memoLines();
        exitCaption = caption(form, "BtnExit");
        form.findChild<TClrBtn*>(QStringLiteral("BtnDownload"))->hide();
        QTest::mouseClick(form.findChild<TClrBtn*>(QStringLiteral("BtnExit")), Qt::LeftButton);
    });
    form.AutoCheck();
    QCOMPARE(wasShown, shown);
    if (shown) {
        QCOMPARE(lines,
                 (QStringList{"", "Een Update wordt aanbevolen", "", "Uw huidige versie is versie 2.60e",
                              "De nieuwste versie is 2.61a", "De Downloadnaam is vxbrolt261.exe"}));
        QCOMPARE(exitCaption, QStringLiteral("Download Later"));
        // Closed: both buttons are back for the next time.
        QVERIFY(!form.findChild<TClrBtn*>(QStringLiteral("BtnDownload"))->isHidden());
        QCOMPARE(form.installerSizeKb(), 1234);
    } else {
        QCOMPARE(form.memoLines(), QStringList{""});
    }
}

void TestGetVersions::downloadSuccessRule_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("status");
    QTest::addColumn<qint64>("announced");
    QTest::addColumn<bool>("success");
    QTest::addColumn<int>("gauge");
    QTest::newRow("1500 bytes: one kilobyte is not enough")
        << QByteArray(1500, 'a') << 200 << qint64(-1) << false << 2;
    QTest::newRow("2048 bytes: one full chunk is two")
        << QByteArray(2048, 'a') << 200 << qint64(-1) << true << 3;
    QTest::newRow("4095 bytes") << QByteArray(4095, 'a') << 200 << qint64(-1) << true << 4;
    QTest::newRow("server closes halfway") << QByteArray(6000, 'a') << 200 << qint64(12000) << false << 6;
    QTest::newRow("error page is no installer") << QByteArray(6000, 'a') << 404 << qint64(-1) << false << 6;
}

void TestGetVersions::downloadSuccessRule() {
    QFETCH(QByteArray, body);
    QFETCH(int, status);
    QFETCH(qint64, announced);
    QFETCH(bool, success);
    QFETCH(int, gauge);
    serveVersions("Brolt,brolt261.exe,a,20,,,");
    LocalServer::Answer& answer = m_server->answers[QStringLiteral("/brolt261.exe")];
    answer.body = body;
    answer.status = status;
    answer.announced = announced;

    TVersionsForm form;
    QString name = QStringLiteral("Brolt");
    QString latest;
    QCOMPARE(form.CheckVersions(name, latest), int(Versions::UpdateAdvised));
    QCOMPARE(name, QStringLiteral("brolt261.exe"));
    QCOMPARE(latest, QStringLiteral("2.61a"));
    // A file of that name already in the download folder is replaced, and gone after a failure.
    const QString local = DownloadsFolder() + name;
    WriteFileForTest(local, "old");

    form.BtnDownloadClick();
    QCOMPARE(form.downloaded(), success);
    QCOMPARE(form.findChild<QProgressBar*>(QStringLiteral("Gauge1"))->value(), gauge);
    QCOMPARE(caption(form, "BtnExit"),
             success ? QStringLiteral("Installeer") : QStringLiteral("Download later"));
    QCOMPARE(QFileInfo::exists(local), success);
    if (success)
        QCOMPARE(ReadFileForTest(local), body);
    else
        QVERIFY(form.memoLines().isEmpty());
}

void TestGetVersions::installerThatCannotStart() {
    serveVersions("Brolt,brolt261.exe,a,20,,,");
    m_server->answers[QStringLiteral("/brolt261.exe")].body = QByteArray(4096, 'x');
    TVersionsForm form;
    int ended = 0;
    form.hooks.endProgram = [&] { ++ended; };
    QString name = QStringLiteral("Brolt"), latest;
    form.CheckVersions(name, latest);
    form.BtnDownloadClick();
    QVERIFY(form.downloaded());
    // Not a program at all: the system refuses to start it.
    const QStringList before = form.memoLines();
    form.BtnExitClick();
    QCOMPARE(form.memoLines(), (before + QStringList{"", "De installatie van Brolt wordt gestart.",
                                                     "Installatie is mislukt."}));
    QCOMPARE(ended, 0);
}

void TestGetVersions::startedInstallerClosesMainWindow() {
    serveVersions("Brolt,brolt261.exe,a,20,,,");
    m_server->answers[QStringLiteral("/brolt261.exe")].body = "#!/bin/sh\n#" + QByteArray(4096, 'x') + "\n";
    QWidget main;
    main.show();
    QVERIFY(QTest::qWaitForWindowExposed(&main));
    TVersionsForm form(&main);
    form.setSchedulerPath(m_home->path() + QStringLiteral("/nowhere/Brolt_Sched"));
    QString name = QStringLiteral("Brolt"), latest;
    form.CheckVersions(name, latest);
    form.BtnDownloadClick();
    QVERIFY(form.downloaded());
    form.BtnExitClick();
    QCOMPARE(form.memoLines().last(), QStringLiteral("De installatie van Brolt is gestart."));
    QTRY_VERIFY(!main.isVisible());
}

QTEST_MAIN(TestGetVersions)
#include "tst_getversions.moc"
