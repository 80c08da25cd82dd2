#include "TestKit.h"
#include "kit/Store.h"
#include "settings/Working.h"

#include <QFile>
#include <QSettings>
#include <QTest>

class TestStore : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_home = new TempHome; }
    void init() { QFile::remove(m_home->configFile()); }
    void cleanupTestCase() { delete m_home; }
    void valuesAreStoredAsText();
    void integerReads_data();
    void integerReads();
    void namesIgnoreCase();
    void removeAndMissing();
    void corruptFileGivesDefaults();
    void firstStartDefaults();
    void storedPreferencesAreClamped();
    void snapshotReadsAsSingleReads();

private:
    TempHome* m_home = nullptr;
};

void TestStore::valuesAreStoredAsText() {
    Store::writeInteger("Top", -8);
    Store::writeBool("Log Aan", true);
    Store::writeBool("Timer Aan", false);
    Store::writeText("e-mail", "anna@example.nl");
    QSettings raw(m_home->configFile(), QSettings::IniFormat);
    raw.beginGroup("Defaults");
    QCOMPARE(raw.value("Top").toString(), QString("-8"));
    QCOMPARE(raw.value("Log Aan").toString(), QString("1"));
    QCOMPARE(raw.value("Timer Aan").toString(), QString("0"));
    QCOMPARE(Store::readInteger(Keys::Top), -8);
    QVERIFY(Store::readBool(Keys::LogAan));
    QVERIFY(!Store::readBool(Keys::TimerAan));
    QCOMPARE(Store::readText(Keys::EMail), QString("anna@example.nl"));
}

void TestStore::integerReads_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<int>("value");
    QTest::addColumn<bool>("boolean");
    QTest::newRow("number") << "250" << 250 << true;
    QTest::newRow("negative") << "-8" << -8 << true;
    QTest::newRow("zero") << "0" << 0 << false;
    QTest::newRow("letters give the default") << "abc" << 100 << true;
    QTest::newRow("empty gives the default") << "" << 100 << true;
    QTest::newRow("half a number gives the default") << "12px" << 100 << true;
}

void TestStore::integerReads() {
    QFETCH(QString, stored);
    QFETCH(int, value);
    QFETCH(bool, boolean);
    Store::writeText("Top", stored);
    QCOMPARE(Store::readInteger(Keys::Top), value);
    QCOMPARE(Store::readBool("Top", true), boolean);
}

void TestStore::namesIgnoreCase() {
    Store::writeBool(Keys::StartUpCheckWrite.name, false);
    QVERIFY(!Store::readBool(Keys::StartUpCheckRead));
    Store::writeText(Keys::BackupPathWrite.name, "/media/stick/");
    QCOMPARE(Store::readText(Keys::BackupPathRead), QString("/media/stick/"));
    // Writing under the other spelling replaces the value instead of adding one.
    Store::writeBool(Keys::StartUpCheckRead.name, true);
    QVERIFY(Store::readBool(Keys::StartUpCheckWrite));
    QSettings raw(m_home->configFile(), QSettings::IniFormat);
    raw.beginGroup("Defaults");
    QCOMPARE(raw.childKeys().filter("startupcheck", Qt::CaseInsensitive).size(), 1);
}

void TestStore::removeAndMissing() {
    QCOMPARE(Store::readText("Pad voor Melodie", "standaard"), QString("standaard"));
    QVERIFY(!QFile::exists(m_home->configFile())); // reads never write
    Store::writeBool("StandbyCheck Aan", true);
    QVERIFY(Store::contains("standbycheck aan"));
    Store::remove("STANDBYCHECK AAN");
    QVERIFY(!Store::contains("StandbyCheck Aan"));
    Store::remove("Bestaat niet");
}

void TestStore::corruptFileGivesDefaults() {
    WriteFileForTest(m_home->configFile(), QByteArray("\x00\xff[[[Defaults\nTop=\x01\x02\n==\n", 24));
    QCOMPARE(Store::readInteger(Keys::Top), 100);
    QCOMPARE(Store::readInteger(Keys::Width), 1000);
    QCOMPARE(Store::readText(Keys::Duur), QString("60"));
}

void TestStore::snapshotReadsAsSingleReads() {
    // Written by hand, as another program or an older version may have left it:
    // two spellings of one name, a list, numbers with spaces, text in a number.
    WriteFileForTest(m_home->configFile(), "[Defaults]\n"
                                           "StartupCheck%20Aan=0\n"
                                           "StartUpCheck%20Aan=1\n"
                                           "Top=\" 250 \"\n"
                                           "Width=12px\n"
                                           "Duur=a, b\n"
                                           "e-mail=anna@example.nl\n"
                                           "Log%20Aan=1\n");
    const StoreSnapshot snapshot;
    for (const char* name : {"StartUpCheck Aan", "startupcheck aan", "Top", "TOP", "Width", "Duur", "e-mail",
                             "E-Mail", "Log Aan", "Geluid Aan", "Bestaat niet"}) {
        QCOMPARE(snapshot.readText(name, "standaard"), Store::readText(name, "standaard"));
        QCOMPARE(snapshot.readInteger(name, 77), Store::readInteger(name, 77));
        QCOMPARE(snapshot.readBool(name, true), Store::readBool(name, true));
        QCOMPARE(snapshot.readBool(name, false), Store::readBool(name, false));
    }
    QCOMPARE(snapshot.readInteger(Keys::Top), 250);
    QCOMPARE(snapshot.readInteger(Keys::Width), 1000);
    QCOMPARE(snapshot.readText(Keys::Duur), QString("60")); // a list is no value
    QCOMPARE(snapshot.readText(Keys::EMail), QString("anna@example.nl"));
}

void TestStore::firstStartDefaults() {
    LoadWorkingSettings();
    const WorkingSettings& w = Working();
    QCOMPARE(w.nameOfFile, m_home->dataFolder() + "Brolt.dat");
    QVERIFY(!w.timerAan);
    QCOMPARE(w.duur, 60);
    QVERIFY(w.geluidAan);
    QVERIFY(w.systeemGeluid);
    QVERIFY(w.melodyFile.endsWith("/Happy Birthday Klarvo Style.mp3"));
    QCOMPARE(Store::readText(Keys::PadVoorMelodie), QString("Happy Birthday Klarvo Style.mp3"));
    QVERIFY(w.updatesCheck);
    QCOMPARE(w.achteraf, 10);
    QCOMPARE(w.vooraf, 30);
    QVERIFY(!w.logAan);
    QVERIFY(!w.uitgebreid);
    QVERIFY(w.startUp);
    QVERIFY(w.copyFiles);
    QCOMPARE(Store::readInteger(Keys::OptionsTop), 100);
    QCOMPARE(Store::readInteger(Keys::Height), 430);
}

void TestStore::storedPreferencesAreClamped() {
    Store::writeText("Vooraf", "99");
    Store::writeText("Achteraf", "0");
    Store::writeText("Duur", "abc");
    Store::writeBool("Systeem Aan", true);
    Store::writeBool("Melodie Aan", true);
    Store::writeText("Pad voor Melodie", "/muziek/lied.mp3");
    LoadWorkingSettings();
    QCOMPARE(Working().vooraf, 30);
    QCOMPARE(Working().achteraf, 1);
    QCOMPARE(Working().duur, 60);
    QVERIFY(!Working().systeemGeluid); // the melody wins
    QCOMPARE(Working().melodyFile, QString("/muziek/lied.mp3"));
}

QTEST_GUILESS_MAIN(TestStore)
#include "tst_store.moc"
