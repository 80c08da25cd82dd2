#include "TestKit.h"
#include "kit/Clock.h"
#include "kit/Log.h"
#include "kit/Mail.h"
#include "kit/Maker.h"
#include "maintenance/ToonLog.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTest>
#include <QTimer>

#include <memory>

class TestToonLog : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void showsTheLogFile();
    void missingLogFileGivesAnEmptyViewer();
    void showingIsLoggedAtOneDepth();
    void mailLogBody_data();
    void mailLogBody();
    void largeLogLoadsAndMailsWithinTheRequestLimit();
    void okClosesTheViewer();

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<FakeUi> m_ui;
    QString m_log;
};

void TestToonLog::initTestCase() {
    m_home = std::make_unique<TempHome>();
    Clock::set(Noon(2026, 5, 4));
}

void TestToonLog::init() {
    m_ui.reset();
    m_ui = std::make_unique<FakeUi>();
    m_log = m_home->path() + QStringLiteral("/") + QTest::currentTestFunction() + QStringLiteral("/Log.txt");
    LogFile = m_log;
    LogOn = false;
    LogDepth = 0;
    LogStep = 3;
}

void TestToonLog::cleanup() {
    LogOn = false;
}

void TestToonLog::showsTheLogFile() {
    WriteFileForTest(m_log, "2026-05-04 12:00:00 MainForm.FormPaint - begin\r\n"
                            "2026-05-04 12:00:00    Zo\xc3\xab - einde\r\n");
    TToonLogForm form;
    form.show();
    QCOMPARE(form.richEdit()->toPlainText(), QStringLiteral("2026-05-04 12:00:00 MainForm.FormPaint - begin\n"
                                                            "2026-05-04 12:00:00    Zo\u00eb - einde\n"));
    QCOMPARE(form.lines().size(), 2);
    QCOMPARE(form.richEdit()->pos(), QPoint((form.width() - form.richEdit()->width()) / 2, 15));
    QCOMPARE(form.windowTitle(), QStringLiteral("Toon Log"));
}

void TestToonLog::missingLogFileGivesAnEmptyViewer() {
    WriteFileForTest(m_home->path() + QStringLiteral("/other.txt"), "not this one");
    TToonLogForm form;
    form.richEdit()->setPlainText(QStringLiteral("left from before"));
    form.show();
    QCOMPARE(form.richEdit()->toPlainText(), QString());
    QVERIFY(form.lines().isEmpty());
}

void TestToonLog::showingIsLoggedAtOneDepth() {
    LogOn = true;
    ResetLog(m_home->path() + u'/' + QTest::currentTestFunction() + u'/');
    QDir().mkpath(m_home->path() + u'/' + QTest::currentTestFunction());
    TToonLogForm form;
    form.show();
    const QStringList lines = form.lines();
    // The viewer shows its own begin entry; the end entry follows in the file.
    QCOMPARE(lines.size(), 1);
    QVERIFY(lines[0].endsWith(QStringLiteral(" ToonLogForm.FormShow - begin")));
    const QString file = QString::fromUtf8(ReadFileForTest(m_log));
    QVERIFY(file.endsWith(QStringLiteral(" ToonLogForm.FormShow - einde\r\n")));
    QCOMPARE(LogDepth, quint8(0));
}

void TestToonLog::mailLogBody_data() {
    QTest::addColumn<QByteArray>("log");
    QTest::addColumn<QString>("url");
    const QString start = QStringLiteral("mailto:") + Maker::SupportAddress() +
                          QStringLiteral("?subject=Logbestand%20Brolt&body=");
    const QString next = QStringLiteral("%0D%0A%20%20%20%20%20");
    QTest::newRow("three lines") << QByteArray("een\r\ntwee\r\ndrie\r\n")
                                 << start + "een" + next + "twee" + next + "drie" + next;
    QTest::newRow("last line without line end")
        << QByteArray("een\r\ntwee") << start + "een" + next + "twee" + next;
    QTest::newRow("indented entry") << QByteArray("a - begin\r\n   b & c\r\n")
                                    << start + "a%20-%20begin" + next + "%20%20%20b%20%26%20c" + next;
}

void TestToonLog::mailLogBody() {
    QFETCH(QByteArray, log);
    QFETCH(QString, url);
    WriteFileForTest(m_log, log);
    TToonLogForm form;
    form.show();
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnMail")), Qt::LeftButton);
    QCOMPARE(m_ui->urls, QStringList{url});
    QVERIFY(form.isVisible());
}

void TestToonLog::largeLogLoadsAndMailsWithinTheRequestLimit() {
    QByteArray big;
    const QByteArray line =
        "2026-05-04 12:00:00          EditForm.BroltGridKeyUp - begin, a longer trace line\r\n";
    while (big.size() < 10 * 1024 * 1024)
        big += line;
    WriteFileForTest(m_log, big);
    TToonLogForm form;
    QElapsedTimer clock;
    clock.start();
    form.show();
    QCOMPARE(form.lines().size(), int(big.size() / line.size()));
    form.BtnMailClick();
    QVERIFY2(clock.elapsed() < 60000, "a large log must not hang the viewer");
    QCOMPARE(m_ui->urls.size(), 1);
    QVERIFY(m_ui->urls[0].size() <= Mail::MaxRequest - 1);
    QVERIFY(m_ui->urls[0].contains(QStringLiteral("EditForm.BroltGridKeyUp")));
}

void TestToonLog::okClosesTheViewer() {
    WriteFileForTest(m_log, "een\r\n");
    TToonLogForm form;
    int result = -1;
    QTimer::singleShot(0, &form, [&] {
        QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
    });
    result = form.exec();
    QCOMPARE(result, int(QDialog::Accepted));
}

QTEST_MAIN(TestToonLog)
#include "tst_toonlog.moc"
