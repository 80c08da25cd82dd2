#include "TestKit.h"

#include <QProcess>
#include <QTest>

// `Brolt --import` and `Brolt --export-ics` run as a terminal user runs them, without a display.
class TestExchangeMode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void runsFromTheCommandLine_data();
    void runsFromTheCommandLine();
};

namespace {
// A record the calendar cannot use is still a record of the file.
const QString data = "1960-05-12;Anna;Geboorte;;;;;;;\r\n1970-13-01;Kapot;Geboorte;;;;;;;\r\n";
} // namespace

void TestExchangeMode::runsFromTheCommandLine_data() {
    QTest::addColumn<QString>("arguments"); // %D is the test's folder
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // standard output holds this
    QTest::addColumn<QString>("errors");
    QTest::addColumn<QString>("file");     // a file afterwards ...
    QTest::addColumn<QString>("contains"); // ... holds this; empty: it does not exist
    QTest::newRow("import into a named file") << "--import %D/a.vcf --file %D/Mijn.dat" << 0
                                              << "1 toegevoegd, 0 bijgewerkt, 1 al aanwezig, 1 overgeslagen\n"
                                              << "Kaart 3: geen naam\n"
                                              << "Mijn.dat" << data + "1970-04-03;Kees;Geboorte;;;;;;;\r\n";
    QTest::newRow("import into the configured file, made new")
        << "--import %D/a.vcf" << 0 << "2 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 1 overgeslagen\n"
        << "Kaart 3: geen naam\n"
        << "share/Brolt/Brolt.dat"
        << "1960-05-12;Anna;Geboorte;;;;;;;\r\n1970-04-03;Kees;Geboorte;;;;;;;\r\n";
    QTest::newRow("a missing source changes nothing") << "--import %D/nee.vcf --file %D/Mijn.dat" << 1 << ""
                                                      << "Het bestand %D/nee.vcf kan niet worden gelezen.\n"
                                                      << "Mijn.dat" << data;
    QTest::newRow("a device is no card file")
        << "--import /dev/zero --file %D/Mijn.dat" << 1 << ""
        << "Het bestand /dev/zero is geen gewoon bestand en wordt niet gelezen.\n"
        << "Mijn.dat" << data;
    QTest::newRow("nor is a folder") << "--import %D --file %D/Mijn.dat" << 1 << ""
                                     << "Het bestand %D is geen gewoon bestand en wordt niet gelezen.\n"
                                     << "Mijn.dat" << data;
    QTest::newRow("a file without cards changes nothing")
        << "--import %D/Mijn.dat --file %D/Mijn.dat" << 1 << ""
        << "Het bestand %D/Mijn.dat bevat geen contactkaarten.\n"
        << "Mijn!.dat"
        << "";
    QTest::newRow("export to a file")
        << "--export-ics %D/out.ics --file %D/Mijn.dat" << 0 << "1 afspraak geschreven, 1 overgeslagen\n"
        << "Kapot: geen geldige datum (1970-13-01)\n"
        << "out.ics"
        << "RRULE:FREQ=YEARLY\r\nSUMMARY:Anna: verjaardag (1960)\r\n";
    QTest::newRow("export to standard output")
        << "--export-ics - --file %D/Mijn.dat" << 0 << "SUMMARY:Anna: verjaardag (1960)\r\nTRANSP"
        << "Kapot: geen geldige datum (1970-13-01)\n1 afspraak geschreven, 1 overgeslagen\n"
        << "Mijn!.dat"
        << "";
    QTest::newRow("export names each record it leaves out")
        << "--export-ics %D/out.ics --file %D/Raar.dat" << 0 << "1 afspraak geschreven, 2 overgeslagen\n"
        << "Kapot: geen geldige datum (1970-13-01)\nBel\uFFFD: onbekende gebeurtenis (Verhuizing)\n"
        << "out.ics"
        << "SUMMARY:Anna: verjaardag (1960)";
    QTest::newRow("export without a data file") << "--export-ics %D/out.ics --file %D/nee.dat" << 1 << ""
                                                << "Geen Brolt-bestand gelezen: %D/nee.dat\n"
                                                << "out.ics"
                                                << "";
    QTest::newRow("unknown argument")
        << "--import %D/a.vcf --wat" << 2 << ""
        << "Onbekende optie: --wat\nGebruik: Brolt [a]\n         Brolt --list [--date JJJJ-MM-DD] [--file "
           "PAD]\n"
           "         Brolt --import BRON [--file PAD]\n         Brolt --export-ics DOEL [--file PAD]\n"
           "         --user NAAM bij een serveradres als BRON of DOEL\n"
        << "share/Brolt/Brolt.dat"
        << "";
}

void TestExchangeMode::runsFromTheCommandLine() {
    QFETCH(QString, arguments);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, errors);
    QFETCH(QString, file);
    QFETCH(QString, contains);
    QTemporaryDir dir;
    const QString d = dir.path();
    WriteFileForTest(d + "/Mijn.dat", data.toUtf8());
    WriteFileForTest(d + "/Raar.dat", data.toUtf8() + "1970-01-01;Bel\a;Verhuizing;;;;;;;\r\n");
    WriteFileForTest(d + "/a.vcf", "BEGIN:VCARD\r\nFN:Anna\r\nBDAY:1960-05-12\r\nEND:VCARD\r\n"
                                   "BEGIN:VCARD\r\nFN:Kees\r\nBDAY:19700403\r\nEND:VCARD\r\n"
                                   "BEGIN:VCARD\r\nBDAY:19700403\r\nEND:VCARD\r\n");
    QDir().mkpath(d + "/run");
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("HOME", d);
    env.insert("XDG_CONFIG_HOME", d + "/config");
    env.insert("XDG_DATA_HOME", d + "/share");
    env.insert("XDG_RUNTIME_DIR", d + "/run");
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(QString(BROLT_PROGRAM_DIR) + "/Brolt", QString(arguments).replace("%D", d).split(u' '));
    QVERIFY(p.waitForFinished(30000));
    const QString stdOut = QString::fromUtf8(p.readAllStandardOutput());
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()), QString(errors).replace("%D", d));
    QCOMPARE(p.exitCode(), exitCode);
    QVERIFY2(out.isEmpty() ? stdOut.isEmpty() : stdOut.contains(out), qPrintable(stdOut));
    QCOMPARE(QFileInfo::exists(d + u'/' + file), !contains.isEmpty());
    if (!contains.isEmpty())
        QVERIFY(QString::fromUtf8(ReadFileForTest(d + u'/' + file)).contains(contains));
}

QTEST_GUILESS_MAIN(TestExchangeMode)
#include "tst_exchangemode.moc"
