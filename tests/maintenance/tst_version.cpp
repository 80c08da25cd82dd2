#include "kit/Store.h"
#include "maintenance/Version.h"

#include <QTemporaryDir>
#include <QTest>

class TestVersion : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void compares_data();
    void compares();
    void nextValue_data();
    void nextValue();
    void registerRewritesVersie_data();
    void registerRewritesVersie();

private:
    QTemporaryDir m_home;
};

void TestVersion::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toUtf8());
}

void TestVersion::compares_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("result");

    QTest::newRow("older letter") << "versie 2.60d"
                                  << "versie 2.60e" << -1;
    QTest::newRow("newer letter") << "versie 2.60e"
                                  << "versie 2.60d" << 1;
    QTest::newRow("equal") << "versie 2.60e"
                           << "versie 2.60e" << 0;
    QTest::newRow("empty stored label is older") << ""
                                                 << "versie 2.60e" << -1;
    QTest::newRow("running label against empty") << "versie 2.60e"
                                                 << "" << 1;
    QTest::newRow("higher number wins over letter") << "versie 2.60e"
                                                    << "versie 2.61a" << -1;
    QTest::newRow("lower number") << "versie 2.61a"
                                  << "versie 2.60e" << 1;
    QTest::newRow("no letter is older than a letter") << "versie 2.60"
                                                      << "versie 2.60a" << -1;
    QTest::newRow("numbers compare as text") << "versie 2.9a"
                                             << "versie 2.10a" << 1;
    QTest::newRow("first word does not matter") << "version 2.60e"
                                                << "versie 2.60e" << 0;
    QTest::newRow("comma kept as a digit") << "versie 2,60e"
                                           << "versie 2.60e" << -1;
    QTest::newRow("letter only from five characters") << "versie 2.600e"
                                                      << "versie 2.600f" << 0;
}

void TestVersion::compares() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, result);
    QCOMPARE(CompareVersionLabels(a, b), result);
}

void TestVersion::nextValue_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("label");
    QTest::addColumn<QString>("newValue");

    QTest::newRow("first start") << ""
                                 << ""
                                 << "versie 2.60e";
    QTest::newRow("only spaces") << "   "
                                 << ""
                                 << "versie 2.60e";
    QTest::newRow("previous version") << "versie 2.60d"
                                      << "versie 2.60d"
                                      << "versie 2.60e";
    QTest::newRow("same version") << "versie 2.60e"
                                  << "versie 2.60e"
                                  << "versie 2.60e";
    QTest::newRow("third word kept") << "versie 2.59a beta"
                                     << "versie 2.59a"
                                     << "versie 2.60e beta";
    QTest::newRow("trailing space is no third word") << "versie 2.59a "
                                                     << "versie 2.59a"
                                                     << "versie 2.60e";
    QTest::newRow("one word") << "versie"
                              << "versie "
                              << "versie 2.60e";
}

void TestVersion::nextValue() {
    QFETCH(QString, stored);
    QFETCH(QString, label);
    QFETCH(QString, newValue);
    const VersieUpdate update = NextVersieValue(stored, QStringLiteral("versie 2.60e"));
    QCOMPARE(update.storedLabel, label);
    QCOMPARE(update.newValue, newValue);
}

void TestVersion::registerRewritesVersie_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<bool>("newsDue");

    QTest::newRow("first start shows the news") << QString() << true;
    QTest::newRow("update shows the news") << "versie 2.60d" << true;
    QTest::newRow("same version shows nothing") << "versie 2.60e" << false;
    QTest::newRow("newer stored version shows nothing") << "versie 2.61a" << false;
}

void TestVersion::registerRewritesVersie() {
    QFETCH(QString, stored);
    QFETCH(bool, newsDue);
    Store::remove(QStringLiteral("Versie"));
    if (!stored.isNull())
        Store::writeText(QStringLiteral("Versie"), stored);
    const QString label = RegisterRunningVersion();
    QCOMPARE(label, stored.isNull() ? QString() : stored);
    QCOMPARE(NewsDue(label), newsDue);
    QCOMPARE(Store::readText(Keys::Versie), QStringLiteral("versie 2.60e"));
    QCOMPARE(RunningVersionLabel(), QStringLiteral("versie 2.60e"));
}

QTEST_GUILESS_MAIN(TestVersion)
#include "tst_version.moc"
