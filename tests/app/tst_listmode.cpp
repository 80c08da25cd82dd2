#include "TestKit.h"

#include <QProcess>
#include <QTest>

// Runs the real program the way a terminal user does.
class TestListMode : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_home = new TempHome; }
    void cleanupTestCase() { delete m_home; }
    void printsTheReminderLines_data();
    void printsTheReminderLines();
    void firstRunProvisionsTheSample();
    void readsFromAPipe();
    void commandLine_data();
    void commandLine();
    void helpAndVersion_data();
    void helpAndVersion();

private:
    static void startBrolt(QProcess& p, const QStringList& arguments, bool display);
    QString run(const QStringList& arguments, int* exitCode, QString* errors = nullptr);
    TempHome* m_home = nullptr;
};

void TestListMode::readsFromAPipe() {
    // `Brolt --list --file /dev/stdin < file`, or a file made on the fly.
    QProcess p;
    p.start(QString(BROLT_PROGRAM_DIR) + "/Brolt",
            {"--list", "--date", "2026-05-10", "--file", "/dev/stdin"});
    QVERIFY(p.waitForStarted(30000));
    p.write("1960-05-12;Anna;Geboorte;;;;;;;\r\n1990-05-08;Kees;Geboorte;;;;;;;\r\n");
    p.closeWriteChannel();
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(QString::fromUtf8(p.readAllStandardOutput()),
             QString("Kees werd eergisteren (vr 08-05) 36 jaar\nAnna wordt overmorgen (di 12-05) 66 jaar\n"));
}

QString TestListMode::run(const QStringList& arguments, int* exitCode, QString* errors) {
    QProcess p;
    p.start(QString(BROLT_PROGRAM_DIR) + "/Brolt", arguments);
    if (!p.waitForFinished(30000))
        return "timeout";
    *exitCode = p.exitCode();
    if (errors)
        *errors = QString::fromUtf8(p.readAllStandardError());
    return QString::fromUtf8(p.readAllStandardOutput());
}

void TestListMode::printsTheReminderLines_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("output");
    QTest::addColumn<int>("exitCode");
    QTest::newRow("Anna") << QByteArray("1960-05-12;Anna;Geboorte;;;;;;;\r\n") << "2026-05-10"
                          << "Anna wordt overmorgen (di 12-05) 66 jaar\n"
                          << 0;
    QTest::newRow("order and arrow")
        << QByteArray("1960-05-12;Anna;Geboorte;anna.jpg;;;;;;\r\n1990-05-08;Kees;Geboorte;;;;;;;\r\n"
                      "2000-05-10;Feest;Feest;;;;;;;\r\n")
        << "2026-05-10"
        << "Kees werd eergisteren (vr 08-05) 36 jaar\nVandaag vieren wij Feest\n"
           "Anna wordt overmorgen (di 12-05) 66 jaar\n"
        << 0;
    QTest::newRow("nothing due") << QByteArray("1960-08-12;Anna;Geboorte;;;;;;;\r\n") << "2026-05-10"
                                 << "  Geen verjaardagen binnen -10..30 dagen.\n"
                                 << 0;
    QTest::newRow("a date with letters hides nothing else")
        << QByteArray("1960-0x-12;Piet;Geboorte;;;;;;;\r\n1960-05-12;Anna;Geboorte;;;;;;;\r\n")
        << "2026-05-10"
        << "Anna wordt overmorgen (di 12-05) 66 jaar\n"
        << 0;
    QTest::newRow("a control character in a name never reaches the terminal")
        << QByteArray("1960-05-12;Anna\x1b[2J\x07;Geboorte;;;;;;;\r\n") << "2026-05-10"
        << "Anna\uFFFD[2J\uFFFD wordt overmorgen (di 12-05) 66 jaar\n"
        << 0;
    QTest::newRow("unreadable file") << QByteArray("kort") << "2026-05-10"
                                     << "" << 1;
}

void TestListMode::printsTheReminderLines() {
    QFETCH(QByteArray, file);
    QFETCH(QString, date);
    QFETCH(QString, output);
    QFETCH(int, exitCode);
    const QString path = m_home->path() + "/lijst.dat";
    WriteFileForTest(path, file);
    int code = -1;
    QCOMPARE(run({"--list", "--date", date, "--file", path}, &code), output);
    QCOMPARE(code, exitCode);
    QCOMPARE(ReadFileForTest(path), file); // only read
}

void TestListMode::firstRunProvisionsTheSample() {
    int code = -1;
    QString errors;
    const QString out = run({"--list", "--date", "2026-05-10"}, &code, &errors);
    QCOMPARE(code, 0);
    QVERIFY2(out.contains("Anna de Vries wordt overmorgen (di 12-05) 66 jaar"), qPrintable(out));
    QVERIFY(QFile::exists(m_home->dataFolder() + "Brolt.dat"));
    QVERIFY(QFile::exists(m_home->dataFolder() + "Blanc.jpg"));

    int bad = -1;
    QString why;
    run({"--list", "--date", "10-05-2026"}, &bad, &why);
    QCOMPARE(bad, 2);
    QVERIFY(why.startsWith("Ongeldige datum bij --date."));
}

// Starts Brolt with a display (the offscreen one) or on a text console.
void TestListMode::startBrolt(QProcess& p, const QStringList& arguments, bool display) {
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        env.remove(name);
    if (display)
        env.insert("QT_QPA_PLATFORM", "offscreen");
    p.setProcessEnvironment(env);
    p.start(QString(BROLT_PROGRAM_DIR) + "/Brolt", arguments);
}

void TestListMode::commandLine_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("output"); // stdout, or the first line of stderr on exit 2
    const QString anna = "Anna wordt overmorgen (di 12-05) 66 jaar\n";
    const QStringList onAnna{"--date", "2026-05-10", "--file", "FILE"};
    QTest::newRow("morning start on a text console") << QStringList{"a"} + onAnna << false << 0 << anna;
    QTest::newRow("second argument a") << QStringList{"x", "a"} + onAnna << false << 0 << anna;
    QTest::newRow("unknown option with a display")
        << QStringList{"--bogus"} << true << 2 << "Onbekende optie: --bogus";
    QTest::newRow("unknown option without")
        << QStringList{"a", "--bogus"} << false << 2 << "Onbekende optie: --bogus";
    QTest::newRow("unknown option in the list")
        << QStringList{"--list", "-x"} << false << 2 << "Onbekende optie: -x";
    QTest::newRow("value missing") << QStringList{"--list", "--file"} << true << 2
                                   << "Bij --file hoort een waarde.";
    QTest::newRow("a value may start with -") << QStringList{"--list", "--file", "-"} << true << 1 << "";
    QTest::newRow("word after --list")
        << QStringList{"--list", "morgen"} << true << 2 << "Onbekend argument.";
    QTest::newRow("import is no list")
        << QStringList{"--list", "--import", "x"} << true << 2 << "--import gaat niet samen met --list.";
}

void TestListMode::commandLine() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(int, exitCode);
    QFETCH(QString, output);
    const QString path = m_home->path() + "/opdracht.dat";
    WriteFileForTest(path, "1960-05-12;Anna;Geboorte;;;;;;;\r\n");
    arguments.replaceInStrings("FILE", path);
    QProcess p;
    startBrolt(p, arguments, display);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), exitCode);
    const QString out =
        QString::fromUtf8(exitCode == 2 ? p.readAllStandardError() : p.readAllStandardOutput());
    QCOMPARE(exitCode == 2 ? out.section(u'\n', 0, 0) : out, output);
    if (exitCode == 2)
        QVERIFY(out.contains("Gebruik: Brolt [a]\n"));
}

void TestListMode::helpAndVersion_data() {
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("display");
    QTest::addColumn<QString>("firstLine");
    QTest::addColumn<QString>("lastLine");
    QTest::newRow("help with a display") << QStringList{"--help"} << true << "Gebruik: Brolt [a]"
                                         << "Zie ook brolt(1).";
    QTest::newRow("help on a text console") << QStringList{"--help"} << false << "Gebruik: Brolt [a]"
                                            << "Zie ook brolt(1).";
    QTest::newRow("short help") << QStringList{"-h"} << true << "Gebruik: Brolt [a]"
                                << "Zie ook brolt(1).";
    QTest::newRow("help before the rest") << QStringList{"--list", "--help"} << true << "Gebruik: Brolt [a]"
                                          << "Zie ook brolt(1).";
    QTest::newRow("version") << QStringList{"--version"} << true << "Brolt versie 2.60e"
                             << "Brolt versie 2.60e";
    QTest::newRow("version without a display") << QStringList{"--version"} << false << "Brolt versie 2.60e"
                                               << "Brolt versie 2.60e";
}

void TestListMode::helpAndVersion() {
    QFETCH(QStringList, arguments);
    QFETCH(bool, display);
    QFETCH(QString, firstLine);
    QFETCH(QString, lastLine);
    QProcess p;
    startBrolt(p, arguments, display);
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitStatus(), QProcess::NormalExit);
    QCOMPARE(p.exitCode(), 0);
    QCOMPARE(p.readAllStandardError(), QByteArray());
    const QStringList lines = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n');
    QCOMPARE(lines.first(), firstLine);
    QCOMPARE(lines.last(), QString()); // ends with a line break
    QCOMPARE(lines.value(lines.size() - 2), lastLine);
}

QTEST_GUILESS_MAIN(TestListMode)
#include "tst_listmode.moc"
