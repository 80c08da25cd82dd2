#include "exchange/Progress.h"

#include <QRegularExpression>
#include <QTest>

#include <fcntl.h>
#include <poll.h>
#include <pty.h>
#include <sys/ioctl.h>
#include <unistd.h>

// The progress line of `Brolt --import` and `--export-ics`: what reaches a
// real terminal (a pseudo-terminal here) or a pipe, with the clock driven by
// the test.
class TestProgress : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void oneLineOnATerminalOnly_data();
    void oneLineOnATerminalOnly();
};

void TestProgress::oneLineOnATerminalOnly_data() {
    QTest::addColumn<bool>("terminal");
    QTest::addColumn<int>("columns");
    QTest::addColumn<QString>("steps"); // "ms:done/total" each; "b" before it: bytes
    QTest::addColumn<QByteArray>("shown");
    const QByteArray clear = "\033[K";
    QTest::newRow("work that takes a while: one line, rewritten, taken away at the end")
        << true << 80 << "0:1/100 1999:20/100 2000:40/100 2050:45/100 2100:50/100 2150:50/100"
        << "\rKaarten gelezen: 40 van 100" + clear + "\rKaarten gelezen: 50 van 100" + clear + "\r" + clear;
    QTest::newRow("work done within 2 s: nothing") << true << 80 << "0:1/100 1500:100/100" << QByteArray();
    QTest::newRow("the last step is shown at once")
        << true << 80 << "2000:99/100 2001:100/100"
        << "\rKaarten gelezen: 99 van 100" + clear + "\rKaarten gelezen: 100 van 100" + clear + "\r" + clear;
    QTest::newRow("a total not known yet") << true << 80 << "3000:12/0"
                                           << "\rKaarten gelezen: 12" + clear + "\r" + clear;
    QTest::newRow("megabytes") << true << 80 << "b3000:1572864/3145728"
                               << "\rKaarten gelezen: 1,5 van 3,0 MB" + clear + "\r" + clear;
    QTest::newRow("kilobytes") << true << 80 << "b3000:1000/30000"
                               << "\rKaarten gelezen: 1 van 30 kB" + clear + "\r" + clear;
    QTest::newRow("never wider than the terminal") << true << 12 << "3000:1234/5678"
                                                   << "\rKaarten gel" + clear + "\r" + clear;
    QTest::newRow("standard error is no terminal: nothing")
        << false << 80 << "0:1/100 2500:50/100 5000:100/100" << QByteArray();
}

void TestProgress::oneLineOnATerminalOnly() {
    QFETCH(bool, terminal);
    QFETCH(int, columns);
    QFETCH(QString, steps);
    QFETCH(QByteArray, shown);
    int reader = -1, writer = -1;
    if (terminal) {
        winsize size{};
        size.ws_col = ushort(columns);
        size.ws_row = 24;
        QVERIFY(::openpty(&reader, &writer, nullptr, nullptr, &size) == 0);
    } else {
        int pipe[2];
        QVERIFY(::pipe(pipe) == 0);
        reader = pipe[0];
        writer = pipe[1];
    }
    qint64 now = 0;
    {
        TerminalProgress line(writer, 2000, [&now] { return now; });
        for (const QString& step : steps.split(u' ')) {
            const bool bytes = step.startsWith(u'b');
            const QStringList parts = step.mid(bytes ? 1 : 0).split(QRegularExpression("[:/]"));
            now = parts[0].toLongLong();
            line.show(
                {QStringLiteral("Kaarten gelezen"), parts[1].toLongLong(), parts[2].toLongLong(), bytes});
        }
    } // the end takes the line away
    QByteArray got;
    ::fcntl(reader, F_SETFL, O_NONBLOCK);
    pollfd ready{reader, POLLIN, 0};
    while (::poll(&ready, 1, 100) > 0) {
        char buffer[4096];
        const ssize_t n = ::read(reader, buffer, sizeof buffer);
        if (n <= 0)
            break;
        got.append(buffer, n);
    }
    ::close(reader);
    ::close(writer);
    QCOMPARE(got, shown);
}

QTEST_GUILESS_MAIN(TestProgress)
#include "tst_progress.moc"
