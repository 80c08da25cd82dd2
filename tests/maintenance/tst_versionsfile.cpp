#include "TestKit.h"
#include "kit/Maker.h"
#include "maintenance/VersionsFile.h"

#include <QTest>

#include <memory>

using namespace Versions;

class TestVersionsFile : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void currentVersion_data();
    void currentVersion();
    void splitFields_data();
    void splitFields();
    void evaluate_data();
    void evaluate();
    void entryAfterTenThousandLines();
    void replyFromText_data();
    void replyFromText();
    void textFromBody_data();
    void textFromBody();
    void pingOutput_data();
    void pingOutput();
    void displayName_data();
    void displayName();
    void plainFileName_data();
    void plainFileName();
    void baseUrl_data();
    void baseUrl();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestVersionsFile::initTestCase() {
    m_home = std::make_unique<TempHome>();
}

void TestVersionsFile::currentVersion_data() {
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("digits");
    QTest::addColumn<int>("letter");
    QTest::newRow("running label") << "versie 2.60e"
                                   << "260" << int('e');
    QTest::newRow("no letter") << "versie 2.60"
                               << "260" << 0;
    QTest::newRow("capital is no letter") << "versie 2.60E"
                                          << "260" << 0;
    QTest::newRow("no dot gives no digits") << "versie 260e"
                                            << "" << int('e');
    QTest::newRow("only the first dot goes") << "versie 2.6.0b"
                                             << "26.0" << int('b');
    QTest::newRow("empty") << ""
                           << "" << 0;
}

void TestVersionsFile::currentVersion() {
    QFETCH(QString, label);
    QFETCH(QString, digits);
    QFETCH(int, letter);
    QCOMPARE(CurrentDigits(label), digits);
    QCOMPARE(int(CurrentLetter(label)), letter);
}

void TestVersionsFile::splitFields_data() {
    QTest::addColumn<QString>("line");
    QTest::addColumn<QStringList>("fields");
    QTest::newRow("plain") << "Brolt,b.exe,a,12" << QStringList{"Brolt", "b.exe", "a", "12"};
    QTest::newRow("empty field between commas stays")
        << "Brolt,b.exe,,12" << QStringList{"Brolt", "b.exe", "", "12"};
    QTest::newRow("trailing comma adds none") << "Brolt,b.exe," << QStringList{"Brolt", "b.exe"};
    QTest::newRow("leading comma") << ",x" << QStringList{"", "x"};
    QTest::newRow("two commas at the end") << "a,b,," << QStringList{"a", "b", ""};
    QTest::newRow("nothing") << "" << QStringList{};
}

void TestVersionsFile::splitFields() {
    QFETCH(QString, line);
    QFETCH(QStringList, fields);
    QCOMPARE(SplitFields(line), fields);
}

namespace {
// A versions file as the server keeps it: other programs around ours, CR LF.
QString file(const QString& entry, bool finalCrLf = true) {
    return QStringLiteral("Zendro,zendro130.exe,c,812,,,\r\n") + entry + (finalCrLf ? "\r\n" : "") +
           (finalCrLf ? QStringLiteral("Remind,remind101.exe,b,1.020,,,\r\n") : QString());
}
} // namespace

void TestVersionsFile::evaluate_data() {
    QTest::addColumn<QString>("reply");
    QTest::addColumn<QString>("label");
    QTest::addColumn<int>("result");
    QTest::addColumn<QString>("downloadName");
    QTest::addColumn<QString>("latest");
    QTest::addColumn<int>("sizeKb");

    const QString label = "versie 2.60e";
    QTest::newRow("same digits, later letter")
        << file("Brolt,brolt260.exe,f,1.234,,,") << label << int(UpdateAdvised) << "brolt260.exe"
        << "2.60f" << 1234;
    QTest::newRow("same digits, same letter")
        << file("Brolt,brolt260.exe,e,1.234,,,") << label << int(UpToDate) << "brolt260.exe"
        << "2.60e" << 1234;
    QTest::newRow("same digits, earlier letter")
        << file("Brolt,brolt260.exe,d,1.234,,,") << label << int(UpToDate) << "brolt260.exe"
        << "2.60d" << 1234;
    QTest::newRow("newer digits, earlier letter")
        << file("Brolt,brolt261.exe,a,1.234,,,") << label << int(UpdateAdvised) << "brolt261.exe"
        << "2.61a" << 1234;
    QTest::newRow("older digits, later letter")
        << file("Brolt,brolt259.exe,z,1.234,,,") << label << int(UpToDate) << "brolt259.exe"
        << "2.59z" << 1234;
    QTest::newRow("only the first letter counts")
        << file("Brolt,brolt260.exe,fz,900") << label << int(UpdateAdvised) << "brolt260.exe"
        << "2.60f" << 900;
    QTest::newRow("label without letter, entry with one")
        << file("Brolt,brolt260.exe,a,900") << "versie 2.60" << int(UpdateAdvised) << "brolt260.exe"
        << "2.60a" << 900;
    QTest::newRow("digits compared as text: 99 after 100")
        << file("Brolt,brolt99.exe,a,900") << "versie 1.00a" << int(UpdateAdvised) << "brolt99.exe"
        << "9.9a" << 900;
    QTest::newRow("empty letter field stays a field")
        << file("Brolt,brolt261.exe,,1.234,,,") << label << int(UpdateAdvised) << "brolt261.exe"
        << "2.61" << 1234;
    QTest::newRow("size without separator")
        << file("Brolt,brolt261.exe,a,2048") << label << int(UpdateAdvised) << "brolt261.exe"
        << "2.61a" << 2048;
    QTest::newRow("last line without CR read whole")
        << file("Brolt,brolt261.exe,a,2.048", false) << label << int(UpdateAdvised) << "brolt261.exe"
        << "2.61a" << 2048;
    QTest::newRow("no reply") << "1" << label << int(NoReply) << ""
                              << "" << 0;
    QTest::newRow("too short") << "2" << label << int(FileTooSmall) << ""
                               << "" << 0;
    QTest::newRow("no entry") << file("Zoeker,zoeker1.exe,a,1") << label << int(NameNotFound) << ""
                              << "" << 0;
    QTest::newRow("entry key at the very end")
        << QString(60, u'x') + "\r\nBrolt," << label << int(NameNotFound) << ""
        << "" << 0;
    QTest::newRow("entry is case-sensitive")
        << file("brolt,brolt261.exe,a,1") << label << int(NameNotFound) << ""
        << "" << 0;
    QTest::newRow("three fields only") << file("Brolt,brolt261.exe,a") << label << int(FileTooSmall) << ""
                                       << "" << 0;
    QTest::newRow("size is no number")
        << file("Brolt,brolt261.exe,a,groot") << label << int(FileTooSmall) << ""
        << "" << 0;
    QTest::newRow("negative size") << file("Brolt,brolt261.exe,a,-5") << label << int(FileTooSmall) << ""
                                   << "" << 0;
    QTest::newRow("download name with folders")
        << file("Brolt,../../.bashrc261,a,10") << label << int(FileTooSmall) << ""
        << "" << 0;
    QTest::newRow("empty download name") << file("Brolt,,a,10") << label << int(FileTooSmall) << ""
                                         << "" << 0;
}

void TestVersionsFile::evaluate() {
    QFETCH(QString, reply);
    QFETCH(QString, label);
    QFETCH(int, result);
    QFETCH(QString, downloadName);
    QFETCH(QString, latest);
    QFETCH(int, sizeKb);
    const Outcome outcome = Evaluate(reply, QStringLiteral("Brolt"), label);
    QCOMPARE(int(outcome.result), result);
    QCOMPARE(outcome.downloadName, downloadName);
    QCOMPARE(outcome.latestVersion, latest);
    QCOMPARE(outcome.sizeKb, sizeKb);
}

void TestVersionsFile::entryAfterTenThousandLines() {
    QString reply;
    for (int i = 0; i < 10000; ++i)
        reply += QStringLiteral("Prog%1,prog%1.exe,a,1,,,\r\n").arg(i);
    reply += QStringLiteral("Brolt,brolt270.exe,b,3.000,,,");
    const Outcome outcome = Evaluate(reply, QStringLiteral("Brolt"), QStringLiteral("versie 2.60e"));
    QCOMPARE(int(outcome.result), int(UpdateAdvised));
    QCOMPARE(outcome.latestVersion, QStringLiteral("2.70b"));
    QCOMPARE(outcome.sizeKb, 3000);
}

void TestVersionsFile::replyFromText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("reply");
    QTest::newRow("nothing") << ""
                             << "1";
    QTest::newRow("Default.htm") << "Default.htm"
                                 << "2";
    QTest::newRow("49 characters") << QString(49, u'a') << "2";
    QTest::newRow("50 characters") << QString(50, u'a') << QString(50, u'a');
}

void TestVersionsFile::replyFromText() {
    QFETCH(QString, text);
    QFETCH(QString, reply);
    QCOMPARE(ReplyFromText(text), reply);
}

void TestVersionsFile::textFromBody_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("text");
    QTest::newRow("plain") << QByteArray("Brolt,a") << "Brolt,a";
    QTest::newRow("zero byte ends its chunk only")
        << QByteArray("ab\0cd", 5) + QByteArray(2043, 'x') + QByteArray("ef") << "abef";
    QTest::newRow("bytes above 127 kept one by one")
        << QByteArray("\xE9\xFF") << QString(QChar(0xE9)) + QChar(0xFF);
    QTest::newRow("zero at the start") << QByteArray("\0abc", 4) << "";
}

void TestVersionsFile::textFromBody() {
    QFETCH(QByteArray, body);
    QFETCH(QString, text);
    QCOMPARE(TextFromBody(body), text);
}

void TestVersionsFile::pingOutput_data() {
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("time");
    QTest::newRow("linux reply under a millisecond")
        << "PING 127.0.0.1 (127.0.0.1) 56(84) bytes of data.\n"
           "64 bytes from 127.0.0.1: icmp_seq=1 ttl=64 time=0.045 ms\n"
           "\n"
           "--- 127.0.0.1 ping statistics ---\n"
           "1 packets transmitted, 1 received, 0% packet loss, time 0ms\n"
           "rtt min/avg/max/mdev = 0.045/0.045/0.045/0.000 ms\n"
        << 1;
    QTest::newRow("linux reply rounded up")
        << "PING updates.brolt.example (93.184.216.34) 56(84) bytes of data.\n"
           "64 bytes from 93.184.216.34 (93.184.216.34): icmp_seq=1 ttl=57 time=15.3 ms\n"
        << 16;
    QTest::newRow("linux time-out") << "PING 10.255.255.1 (10.255.255.1) 56(84) bytes of data.\n"
                                       "\n"
                                       "--- 10.255.255.1 ping statistics ---\n"
                                       "1 packets transmitted, 0 received, 100% packet loss, time 0ms\n"
                                    << -2;
    QTest::newRow("unknown host") << "ping: updates.brolt.example: Name or service not known\n" << -2;
    QTest::newRow("windows reply") << "\r\nPinging x [1.2.3.4] with 32 bytes of data:\r\n"
                                      "Reply from 1.2.3.4: bytes=32 time=15ms TTL=57\r\n"
                                   << 15;
    QTest::newRow("windows time-out") << "\r\nPinging x with 32 bytes of data:\r\nTime-out bij verzoek.\r\n"
                                      << -2;
    QTest::newRow("reply without readable time") << "64 bytes from 127.0.0.1: icmp_seq=1 time=snel ms\n" << 0;
    QTest::newRow("reply without ms") << "64 bytes from 127.0.0.1: icmp_seq=1 time=12\n" << 0;
    QTest::newRow("nothing") << "" << -2;
}

void TestVersionsFile::pingOutput() {
    QFETCH(QString, output);
    QFETCH(int, time);
    QCOMPARE(ParsePingOutput(output), time);
}

void TestVersionsFile::displayName_data() {
    QTest::addColumn<QString>("downloadName");
    QTest::addColumn<QString>("display");
    QTest::newRow("vx keeps its case") << "vxbrolt261.exe"
                                       << "vxBrolt";
    QTest::newRow("first letter up") << "brolt261.exe"
                                     << "Brolt";
    QTest::newRow("digits anywhere go") << "br0lt2.exe"
                                        << "Brlt";
    QTest::newRow("no extension") << "brolt261"
                                  << "Brolt";
    QTest::newRow("only vx") << "vx2.exe"
                             << "vx";
    QTest::newRow("only digits") << "261.exe"
                                 << "";
}

void TestVersionsFile::displayName() {
    QFETCH(QString, downloadName);
    QFETCH(QString, display);
    QCOMPARE(DisplayName(downloadName), display);
}

void TestVersionsFile::plainFileName_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("plain");
    QTest::newRow("installer") << "brolt261.exe" << true;
    QTest::newRow("folder part") << "x/brolt261.exe" << false;
    QTest::newRow("backslash") << "..\\brolt261.exe" << false;
    QTest::newRow("hidden or dot-dot") << ".." << false;
    QTest::newRow("space") << "brolt 261.exe" << false;
    QTest::newRow("query in a url") << "brolt261.exe?x=1" << false;
    QTest::newRow("control character") << "brolt\n261.exe" << false;
    QTest::newRow("too long") << QString(256, u'a') << false;
}

void TestVersionsFile::plainFileName() {
    QFETCH(QString, name);
    QFETCH(bool, plain);
    QCOMPARE(IsPlainFileName(name), plain);
}

void TestVersionsFile::baseUrl_data() {
    QTest::addColumn<QByteArray>("environment");
    QTest::addColumn<QString>("url");
    QTest::addColumn<QString>("host");
    QTest::newRow("configured server")
        << QByteArray() << "https://" + Maker::ServerHost() + "/" << Maker::ServerHost();
    QTest::newRow("local server gets its slash")
        << QByteArray("http://127.0.0.1:8123") << "http://127.0.0.1:8123/"
        << "127.0.0.1";
    QTest::newRow("folder on a server")
        << QByteArray(" http://127.0.0.1:8123/brolt/ ") << "http://127.0.0.1:8123/brolt/"
        << "127.0.0.1";
}

void TestVersionsFile::baseUrl() {
    QFETCH(QByteArray, environment);
    QFETCH(QString, url);
    QFETCH(QString, host);
    if (environment.isEmpty())
        qunsetenv("BROLT_UPDATE_URL");
    else
        qputenv("BROLT_UPDATE_URL", environment);
    QCOMPARE(BaseUrl(), url);
    QCOMPARE(ServerHost(), host);
    qunsetenv("BROLT_UPDATE_URL");
}

QTEST_GUILESS_MAIN(TestVersionsFile)
#include "tst_versionsfile.moc"
