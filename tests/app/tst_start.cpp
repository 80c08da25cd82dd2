#include "Start.h"
#include "TestKit.h"
#include "kit/Clock.h"
#include "kit/Log.h"
#include "kit/Store.h"

#include <QTest>

// The morning start may end without a window only when nothing at all would
// have been shown.
class TestStart : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_home = new TempHome; }
    void cleanupTestCase() { delete m_home; }
    void cleanup() {
        Clock::set({});
        LogOn = false;
    }
    void nothingDue_data();
    void nothingDue();

private:
    TempHome* m_home = nullptr;
};

void TestStart::nothingDue_data() {
    QTest::addColumn<QByteArray>("file"); // empty: no data file
    QTest::addColumn<QString>("versie");
    QTest::addColumn<QString>("programFile");
    QTest::addColumn<bool>("nothingDue");
    const QByteArray later("1950-08-20;Opa;Geboorte;;;;;;;\r\n");
    const QString current(BROLT_VERSION_LABEL);
    QTest::newRow("nothing due") << later << current << "Brolt" << true;
    QTest::newRow("a birthday in five days")
        << QByteArray("1950-05-15;Opa;Geboorte;;;;;;;\r\n") << current << "Brolt" << false;
    QTest::newRow("something nine days ago")
        << QByteArray("1950-05-01;Opa;Geboorte;;;;;;;\r\n") << current << "Brolt" << false;
    QTest::newRow("news of a new version") << later << "versie 2.50a"
                                           << "Brolt" << false;
    QTest::newRow("very first start") << later << ""
                                      << "Brolt" << false;
    QTest::newRow("renamed program") << later << current << "Brolt2" << false;
    QTest::newRow("no data file") << QByteArray() << current << "Brolt" << false;
    QTest::newRow("a date in the future is reported")
        << QByteArray("2030-08-20;Later;Geboorte;;;;;;;\r\n1950-08-20;Opa;Geboorte;;;;;;;\r\n") << current
        << "Brolt" << false;
    QTest::newRow("an invalid date is reported")
        << QByteArray("1950-13-20;Fout;Geboorte;;;;;;;\r\n1950-08-20;Opa;Geboorte;;;;;;;\r\n") << current
        << "Brolt" << false;
}

void TestStart::nothingDue() {
    QFETCH(QByteArray, file);
    QFETCH(QString, versie);
    QFETCH(QString, programFile);
    QFETCH(bool, nothingDue);
    Clock::set(Noon(2026, 5, 10));
    QFile::remove(m_home->dataFolder() + "Brolt.dat");
    if (!file.isEmpty())
        WriteFileForTest(m_home->dataFolder() + "Brolt.dat", file);
    Store::writeText(Keys::Versie.name, versie);
    QCOMPARE(NothingDueInAutomaticMode(programFile), nothingDue);
}

QTEST_GUILESS_MAIN(TestStart)
#include "tst_start.moc"
