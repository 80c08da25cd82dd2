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

private:
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

QTEST_GUILESS_MAIN(TestListMode)
#include "tst_listmode.moc"
