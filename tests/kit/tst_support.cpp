#include "kit/Support.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>
#include <QTest>

#include <cerrno>

namespace {

const QString removable = QStringLiteral("DRIVE_REMOVABLE");
const QString fixed = QStringLiteral("DRIVE_FIXED");
const QString remote = QStringLiteral("DRIVE_REMOTE");

// Writes a file with the given content and modification time.
void makeFile(const QString& path, const QByteArray& content, const QDateTime& modified = QDateTime()) {
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    QCOMPARE(file.write(content), content.size());
    file.close();
    if (modified.isValid()) {
        QVERIFY(file.open(QIODevice::Append));
        QVERIFY(file.setFileTime(modified, QFileDevice::FileModificationTime));
        file.close();
    }
}

QByteArray contentOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

QDateTime modifiedOf(const QString& path) {
    return QFileInfo(path).lastModified();
}

// Drive kinds by folder name, so one temporary tree can play several drives.
QString kindByFolder(const QString& path) {
    if (path.contains(QStringLiteral("/removable/")))
        return removable;
    if (path.contains(QStringLiteral("/remote/")))
        return remote;
    return fixed;
}

} // namespace

class TestSupport : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_home;
    QString m_work; // a fresh folder per test function

private Q_SLOTS:
    void initTestCase() {
        QVERIFY(m_home.isValid());
        qputenv("HOME", m_home.path().toUtf8());
        qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toUtf8());
        qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toUtf8());
        SetDaylightForTest(DaylightState{});
    }

    void init() {
        static int round = 0;
        m_work = m_home.path() + "/work" + QString::number(++round) + "/";
        QVERIFY(QDir().mkpath(m_work));
        SetDaylightForTest(DaylightState{});
        SetDriveKindForTest({});
    }

    void textRoutines_data() {
        QTest::addColumn<QString>("routine");
        QTest::addColumn<QString>("argument");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("expected");

        QTest::newRow("after last slash") << "TextAfterLast"
                                          << "/"
                                          << "/a/b"
                                          << "b";
        QTest::newRow("before last slash") << "TextBeforeLast"
                                           << "/"
                                           << "/a/b"
                                           << "/a";
        QTest::newRow("after last backslash") << "TextAfterLast"
                                              << "\\"
                                              << "C:\\a\\b"
                                              << "b";
        QTest::newRow("before last backslash") << "TextBeforeLast"
                                               << "\\"
                                               << "C:\\a\\b"
                                               << "C:\\a";
        QTest::newRow("after last, absent") << "TextAfterLast"
                                            << "/"
                                            << "ab"
                                            << "";
        QTest::newRow("before last, absent") << "TextBeforeLast"
                                             << "/"
                                             << "ab"
                                             << "";
        QTest::newRow("before first") << "TextBeforeFirst"
                                      << "-"
                                      << "12-05-2024"
                                      << "12";
        QTest::newRow("after first") << "TextAfterFirst"
                                     << "-"
                                     << "12-05-2024"
                                     << "05-2024";
        QTest::newRow("before first, absent") << "TextBeforeFirst"
                                              << "-"
                                              << "12052024"
                                              << "";
        QTest::newRow("after first, absent") << "TextAfterFirst"
                                             << "-"
                                             << "12052024"
                                             << "";
        QTest::newRow("after first, at the end") << "TextAfterFirst"
                                                 << "-"
                                                 << "12-"
                                                 << "";
        QTest::newRow("after sub") << "TextAfterSub"
                                   << "wordt"
                                   << "Anna wordt 66 jaar"
                                   << " 66 jaar";
        QTest::newRow("after sub, first of two") << "TextAfterSub"
                                                 << "ab"
                                                 << "xabyabz"
                                                 << "yabz";
        QTest::newRow("after sub, absent") << "TextAfterSub"
                                           << "wordt"
                                           << "Anna is jarig"
                                           << "";
        QTest::newRow("after sub, empty sub") << "TextAfterSub"
                                              << ""
                                              << "Anna"
                                              << "";
        QTest::newRow("before sub") << "TextBeforeSub"
                                    << "wordt"
                                    << "Anna wordt 66 jaar"
                                    << "Anna ";
        QTest::newRow("before sub, text starts with it") << "TextBeforeSub"
                                                         << "wordt"
                                                         << "wordt 66"
                                                         << "";
        QTest::newRow("before sub, absent") << "TextBeforeSub"
                                            << "wordt"
                                            << "Anna is jarig"
                                            << "";
        QTest::newRow("remove spaces") << "RemoveSpaces"
                                       << ""
                                       << " 1 2  3 a "
                                       << "123a";
        QTest::newRow("trim right") << "TrimRight"
                                    << ""
                                    << " Anna  "
                                    << " Anna";
        QTest::newRow("trim right, all spaces unchanged") << "TrimRight"
                                                          << ""
                                                          << "   "
                                                          << "   ";
        QTest::newRow("trim right, empty") << "TrimRight"
                                           << ""
                                           << ""
                                           << "";
        QTest::newRow("trim right, nothing to trim") << "TrimRight"
                                                     << ""
                                                     << "a b"
                                                     << "a b";
        QTest::newRow("remove digits") << "RemoveDigits"
                                       << ""
                                       << "a1b22c3 4"
                                       << "abc ";
        QTest::newRow("keep number chars") << "KeepNumberChars"
                                           << ""
                                           << "EUR 1.234,50 -/+x9"
                                           << "1.234,509";
    }

    void textRoutines() {
        QFETCH(QString, routine);
        QFETCH(QString, argument);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        const QChar c = argument.isEmpty() ? QChar() : argument.at(0);
        QString result;
        if (routine == "TextBeforeFirst")
            result = TextBeforeFirst(c, text);
        else if (routine == "TextAfterFirst")
            result = TextAfterFirst(c, text);
        else if (routine == "TextBeforeLast")
            result = TextBeforeLast(c, text);
        else if (routine == "TextAfterLast")
            result = TextAfterLast(c, text);
        else if (routine == "TextAfterSub")
            result = TextAfterSub(argument, text);
        else if (routine == "TextBeforeSub")
            result = TextBeforeSub(argument, text);
        else if (routine == "RemoveSpaces")
            result = RemoveSpaces(text);
        else if (routine == "TrimRight")
            result = TrimRight(text);
        else if (routine == "RemoveDigits")
            result = RemoveDigits(text);
        else if (routine == "KeepNumberChars")
            result = KeepNumberChars(text);
        else
            QFAIL("unknown routine");
        QCOMPARE(result, expected);
    }

    void dosTimeRoundTrip_data() {
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<QDateTime>("expected");
        auto at = [](int y, int mo, int d, int h, int mi, int s) {
            return QDateTime(QDate(y, mo, d), QTime(h, mi, s));
        };
        QTest::newRow("first packable moment") << at(1980, 1, 1, 0, 0, 0) << at(1980, 1, 1, 0, 0, 0);
        QTest::newRow("leap day, last even second")
            << at(2024, 2, 29, 23, 59, 58) << at(2024, 2, 29, 23, 59, 58);
        QTest::newRow("odd second drops to even") << at(2024, 1, 15, 12, 0, 31) << at(2024, 1, 15, 12, 0, 30);
        QTest::newRow("top bit set from 2044 on") << at(2050, 7, 1, 8, 30, 10) << at(2050, 7, 1, 8, 30, 10);
        QTest::newRow("last packable moment") << at(2107, 12, 31, 23, 59, 58) << at(2107, 12, 31, 23, 59, 58);
        QTest::newRow("before 1980 clamps") << at(1975, 6, 1, 10, 0, 0) << at(1980, 1, 1, 0, 0, 0);
    }

    void dosTimeRoundTrip() {
        QFETCH(QDateTime, moment);
        QFETCH(QDateTime, expected);
        QCOMPARE(UnpackDosTime(PackDosTime(moment)), expected);
    }

    void dosTimeLayout() {
        // Date in the high half (years since 1980, month, day), time in the low
        // half (hour, minute, seconds / 2).
        const qint32 packed = PackDosTime(QDateTime(QDate(2024, 1, 15), QTime(12, 0, 30)));
        QCOMPARE(quint32(packed), 0x582F600Fu);
        QCOMPARE(PackDosTime(QDateTime()), -1);
        QVERIFY(!UnpackDosTime(0).isValid()); // month 0 does not exist
    }

    void packedFileTime() {
        const QDateTime moment(QDate(2023, 3, 4), QTime(5, 6, 8));
        makeFile(m_work + "a.dat", "x", moment);
        QCOMPARE(PackedFileTime(m_work + "a.dat"), PackDosTime(moment));
        QCOMPARE(PackedFileTime(m_work + "missing.dat"), -1);
        QCOMPARE(PackedFileTime(m_work), -1); // a folder is no file
    }

    void copyFileKeepTime_data() {
        QTest::addColumn<bool>("targetExists");
        QTest::addColumn<bool>("failIfExists");
        QTest::addColumn<bool>("expectedResult");
        QTest::addColumn<QByteArray>("expectedContent");
        QTest::newRow("new target") << false << true << true << QByteArray("source");
        QTest::newRow("existing target refused") << true << true << false << QByteArray("old target");
        QTest::newRow("existing target replaced") << true << false << true << QByteArray("source");
    }

    void copyFileKeepTime() {
        QFETCH(bool, targetExists);
        QFETCH(bool, failIfExists);
        QFETCH(bool, expectedResult);
        QFETCH(QByteArray, expectedContent);
        const QDateTime sourceTime(QDate(2023, 6, 1), QTime(10, 20, 31, 250));
        const QDateTime oldTime(QDate(2020, 1, 1), QTime(9, 0));
        const QString source = m_work + "src/Brolt.dat";
        const QString target = m_work + "deep/er/Brolt.dat"; // folders created by the copy
        makeFile(source, "source", sourceTime);
        if (targetExists)
            makeFile(target, "old target", oldTime);

        QCOMPARE(CopyFileKeepTime(source, target, failIfExists), expectedResult);
        QCOMPARE(contentOf(target), expectedContent);
        QCOMPARE(modifiedOf(target), expectedResult ? sourceTime : oldTime);
        QCOMPARE(QDir(QFileInfo(target).path()).entryList(QDir::Files),
                 QStringList{"Brolt.dat"}); // no leftovers
    }

    void copyFileKeepTimeMissingSource() {
        QVERIFY(!CopyFileKeepTime(m_work + "missing.dat", m_work + "out/copy.dat", false));
        QVERIFY(!QFileInfo::exists(m_work + "out/copy.dat"));
        QVERIFY(!CopyFileKeepTime(m_work, m_work + "out/copy.dat", false)); // a folder is no source
    }

    void copyFileMakePath() {
        const QDateTime sourceTime(QDate(2022, 2, 2), QTime(2, 2, 2));
        makeFile(m_work + "a.jpg", "picture", sourceTime);
        makeFile(m_work + "x/y/z/a.jpg", "older picture");
        QVERIFY(CopyFileMakePath(m_work + "a.jpg", m_work + "x/y/z/a.jpg"));
        QCOMPARE(contentOf(m_work + "x/y/z/a.jpg"), QByteArray("picture"));
        QVERIFY(CopyFileMakePath(m_work + "a.jpg", m_work + "p/q/b.jpg"));
        QCOMPARE(modifiedOf(m_work + "p/q/b.jpg"), sourceTime);
    }

    void copyAllByExt() {
        const QString from = m_work + "from/";
        const QString to = m_work + "to/new/";
        makeFile(from + "Brolt.dat", "data");
        makeFile(from + "Extra.DAT", "extra");
        makeFile(from + "unins000.dat", "uninstaller");
        makeFile(from + "Anna.jpg", "picture");
        makeFile(from + "notes.dat.txt", "notes");

        QVERIFY(CopyAllByExt(from, to, "dat", true));
        QCOMPARE(QDir(to).entryList(QDir::Files, QDir::Name), (QStringList{"Brolt.dat", "Extra.DAT"}));

        // A second run with fail-if-exists keeps what is there and says so.
        makeFile(to + "Brolt.dat", "changed in target");
        QVERIFY(!CopyAllByExt(from, to, "dat", true));
        QCOMPARE(contentOf(to + "Brolt.dat"), QByteArray("changed in target"));
        QVERIFY(CopyAllByExt(from, to, "dat", false));
        QCOMPARE(contentOf(to + "Brolt.dat"), QByteArray("data"));
        QVERIFY(!QFileInfo::exists(to + "unins000.dat"));
    }

    void newerCopyRule_data() {
        QTest::addColumn<int>("targetOlderBy"); // seconds; a large negative value: no target
        QTest::addColumn<bool>("expectCopy");
        QTest::newRow("target 2 s older is kept") << 2 << false;
        QTest::newRow("target 20 s older is replaced") << 20 << true;
        QTest::newRow("target of the same time is kept") << 0 << false;
        QTest::newRow("newer target is kept") << -60 << false;
        QTest::newRow("target a day older is replaced") << 86400 << true;
        QTest::newRow("missing target is copied") << -1000000 << true;
    }

    void newerCopyRule() {
        QFETCH(int, targetOlderBy);
        QFETCH(bool, expectCopy);
        const QDateTime sourceTime(QDate(2024, 1, 15), QTime(12, 0, 30));
        const QString from = m_work + "from/";
        const QString to = m_work + "to/";
        makeFile(from + "Brolt.dat", "new data", sourceTime);
        makeFile(from + "Log.txt", "not a dat file", sourceTime);
        if (targetOlderBy > -1000000)
            makeFile(to + "Brolt.dat", "old data", sourceTime.addSecs(-targetOlderBy));
        else
            QDir().mkpath(to);

        QStringList copied, report;
        QVERIFY(CopyNewerByExtReport(from, to, "dat", copied, report));
        const QStringList expected = expectCopy ? QStringList{from + "Brolt.dat"} : QStringList{};
        QCOMPARE(copied, expected);
        QCOMPARE(report, expected);
        QCOMPARE(contentOf(to + "Brolt.dat"), expectCopy ? QByteArray("new data") : QByteArray("old data"));
        if (expectCopy)
            QCOMPARE(modifiedOf(to + "Brolt.dat"), sourceTime);
        QVERIFY(!QFileInfo::exists(to + "Log.txt"));

        // The report-less form follows the same rule.
        if (targetOlderBy > -1000000)
            makeFile(to + "Brolt.dat", "old data", sourceTime.addSecs(-targetOlderBy));
        else
            QFile::remove(to + "Brolt.dat");
        QVERIFY(CopyNewerByExt(from, to, "dat"));
        QCOMPARE(contentOf(to + "Brolt.dat"), expectCopy ? QByteArray("new data") : QByteArray("old data"));
    }

    void newerCopyReportsFailures() {
        const QString from = m_work + "from/";
        makeFile(from + "a.dat", "a");
        makeFile(from + "b.dat", "b");
        makeFile(m_work + "blocked", "a file where the target folder should be");
        QStringList copied, report;
        QVERIFY(!CopyNewerByExtReport(from, m_work + "blocked/", "dat", copied, report));
        const QString error = " Not copied (error " + QString::number(ENOTDIR) + ")";
        QCOMPARE(report, (QStringList{from + "a.dat" + error, from + "b.dat" + error}));
        QCOMPARE(copied, QStringList{});
        QVERIFY(!CopyNewerByExt(from, m_work + "blocked/", "dat"));
    }

    void daylightCorrection_data() {
        QTest::addColumn<bool>("inEffect");
        QTest::addColumn<QString>("sourceDrive");
        QTest::addColumn<QString>("targetDrive");
        QTest::addColumn<int>("expectedShift"); // seconds added to the source's time
        QTest::newRow("summer, fixed to removable: one hour earlier") << true << "fixed"
                                                                      << "removable" << -3600;
        QTest::newRow("summer, removable to fixed: one hour later") << true << "removable"
                                                                    << "fixed" << 3600;
        QTest::newRow("summer, fixed to network: one hour earlier") << true << "fixed"
                                                                    << "remote" << -3600;
        QTest::newRow("summer, fixed to fixed") << true << "fixed"
                                                << "fixed" << 0;
        QTest::newRow("summer, removable to removable") << true << "removable"
                                                        << "removable" << 0;
        QTest::newRow("winter, fixed to removable") << false << "fixed"
                                                    << "removable" << 0;
    }

    void daylightCorrection() {
        QFETCH(bool, inEffect);
        QFETCH(QString, sourceDrive);
        QFETCH(QString, targetDrive);
        QFETCH(int, expectedShift);
        SetDaylightForTest(inEffect ? DaylightState{true, 1.0 / 24} : DaylightState{});
        SetDriveKindForTest(kindByFolder);
        const QDateTime sourceTime(QDate(2024, 7, 1), QTime(14, 0, 0));
        const QString source = m_work + sourceDrive + "/src/Brolt.dat";
        const QString target = m_work + targetDrive + "/dst/Brolt.dat";
        makeFile(source, "data", sourceTime);

        QVERIFY(CopyFileKeepTime(source, target, true));
        QCOMPARE(modifiedOf(target), sourceTime.addSecs(expectedShift));

        // The corrected copy counts as up to date for the newer-copy rule.
        QStringList copied, report;
        QVERIFY(
            CopyNewerByExtReport(QFileInfo(source).path(), QFileInfo(target).path(), "dat", copied, report));
        QCOMPARE(copied, QStringList{});
    }

    void newerCopyAcrossDrives_data() {
        QTest::addColumn<bool>("inEffect");
        QTest::addColumn<QString>("sourceDrive");
        QTest::addColumn<QString>("targetDrive");
        QTest::addColumn<int>("targetOffset"); // target time minus source time, seconds
        QTest::addColumn<bool>("expectCopy");
        QTest::newRow("summer, removable to fixed, same time: target counts an hour older")
            << true << "removable"
            << "fixed" << 0 << true;
        QTest::newRow("summer, removable to fixed, an hour later: up to date") << true << "removable"
                                                                               << "fixed" << 3600 << false;
        QTest::newRow("summer, fixed to removable, an hour earlier: up to date")
            << true << "fixed"
            << "removable" << -3600 << false;
        QTest::newRow("summer, fixed to removable, 20 s older than that") << true << "fixed"
                                                                          << "removable" << -3620 << true;
        QTest::newRow("summer, fixed to fixed, 20 s older") << true << "fixed"
                                                            << "fixed" << -20 << true;
        QTest::newRow("winter, removable to fixed, same time") << false << "removable"
                                                               << "fixed" << 0 << false;
        QTest::newRow("winter, fixed to removable, an hour earlier") << false << "fixed"
                                                                     << "removable" << -3600 << true;
    }

    void newerCopyAcrossDrives() {
        QFETCH(bool, inEffect);
        QFETCH(QString, sourceDrive);
        QFETCH(QString, targetDrive);
        QFETCH(int, targetOffset);
        QFETCH(bool, expectCopy);
        SetDaylightForTest(inEffect ? DaylightState{true, 1.0 / 24} : DaylightState{});
        SetDriveKindForTest(kindByFolder);
        const QDateTime sourceTime(QDate(2024, 7, 1), QTime(14, 0, 0));
        const QString from = m_work + sourceDrive + "/src/";
        const QString to = m_work + targetDrive + "/dst/";
        makeFile(from + "a.jpg", "new", sourceTime);
        makeFile(to + "a.jpg", "old", sourceTime.addSecs(targetOffset));
        QVERIFY(CopyNewerByExt(from, to, "jpg"));
        QCOMPARE(contentOf(to + "a.jpg"), expectCopy ? QByteArray("new") : QByteArray("old"));
    }

    void nthWeekdayKnownDays_data() {
        QTest::addColumn<int>("year");
        QTest::addColumn<int>("month");
        QTest::addColumn<int>("weekday");
        QTest::addColumn<int>("n");
        QTest::addColumn<QDate>("expected");
        QTest::newRow("EU summer time starts: last Sunday of March 2024")
            << 2024 << 3 << 7 << 5 << QDate(2024, 3, 31);
        QTest::newRow("EU summer time ends: last Sunday of October 2024")
            << 2024 << 10 << 7 << 5 << QDate(2024, 10, 27);
        QTest::newRow("US: second Sunday of March 2024") << 2024 << 3 << 7 << 2 << QDate(2024, 3, 10);
        QTest::newRow("US: first Sunday of November 2024") << 2024 << 11 << 7 << 1 << QDate(2024, 11, 3);
        QTest::newRow("leap February with five Thursdays") << 2024 << 2 << 4 << 5 << QDate(2024, 2, 29);
        QTest::newRow("leap February, fourth Thursday") << 2024 << 2 << 4 << 4 << QDate(2024, 2, 22);
        QTest::newRow("leap February, last Friday") << 2024 << 2 << 5 << 5 << QDate(2024, 2, 23);
        QTest::newRow("February 2021 starts on Monday, last Monday")
            << 2021 << 2 << 1 << 5 << QDate(2021, 2, 22);
        QTest::newRow("February 2021, fourth Sunday is its last day")
            << 2021 << 2 << 7 << 4 << QDate(2021, 2, 28);
        QTest::newRow("February 2023, last Tuesday") << 2023 << 2 << 2 << 5 << QDate(2023, 2, 28);
        QTest::newRow("first day is the weekday asked") << 2024 << 5 << 3 << 1 << QDate(2024, 5, 1);
        QTest::newRow("first Tuesday the day before the 1st's weekday")
            << 2024 << 5 << 2 << 1 << QDate(2024, 5, 7);
        QTest::newRow("December 2024, last Tuesday on the 31st")
            << 2024 << 12 << 2 << 5 << QDate(2024, 12, 31);
        QTest::newRow("n out of range") << 2024 << 5 << 2 << 6 << QDate();
        QTest::newRow("weekday out of range") << 2024 << 5 << 0 << 1 << QDate();
    }

    void nthWeekdayKnownDays() {
        QFETCH(int, year);
        QFETCH(int, month);
        QFETCH(int, weekday);
        QFETCH(int, n);
        QFETCH(QDate, expected);
        QCOMPARE(NthWeekdayOfMonth(year, month, weekday, n), expected);
    }

    void nthWeekdayEveryMonth_data() {
        QTest::addColumn<int>("year");
        for (int year : {2000, 2021, 2023, 2024, 2100})
            QTest::addRow("%d", year) << year;
    }

    void nthWeekdayEveryMonth() {
        QFETCH(int, year);
        for (int month = 1; month <= 12; ++month) {
            const int days = QDate(year, month, 1).daysInMonth();
            for (int weekday = 1; weekday <= 7; ++weekday) {
                for (int n = 1; n <= 5; ++n) {
                    const QDate found = NthWeekdayOfMonth(year, month, weekday, n);
                    const QByteArray where =
                        QString("%1-%2 weekday %3 n %4").arg(year).arg(month).arg(weekday).arg(n).toLatin1();
                    QVERIFY2(found.isValid() && found.year() == year && found.month() == month, where);
                    QVERIFY2(found.dayOfWeek() == weekday, where);
                    if (n < 5)
                        QVERIFY2(found.day() > 7 * (n - 1) && found.day() <= 7 * n, where);
                    else
                        QVERIFY2(found.day() + 7 > days, where); // the last one
                }
            }
        }
    }

    void daylightOfZone_data() {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<QDateTime>("moment");
        QTest::addColumn<bool>("inEffect");
        QTest::addColumn<double>("shift");
        const QTimeZone utc = QTimeZone::utc();
        QTest::newRow("Amsterdam in summer")
            << QByteArray("Europe/Amsterdam") << QDateTime(QDate(2024, 7, 1), QTime(12, 0), utc) << true
            << 1.0 / 24;
        QTest::newRow("Amsterdam in winter")
            << QByteArray("Europe/Amsterdam") << QDateTime(QDate(2024, 1, 15), QTime(12, 0), utc) << false
            << 0.0;
        QTest::newRow("Amsterdam an hour after the change")
            << QByteArray("Europe/Amsterdam") << QDateTime(QDate(2024, 3, 31), QTime(2, 0), utc) << true
            << 1.0 / 24;
        QTest::newRow("Amsterdam just before the change")
            << QByteArray("Europe/Amsterdam") << QDateTime(QDate(2024, 3, 31), QTime(0, 59), utc) << false
            << 0.0;
        QTest::newRow("New York in summer")
            << QByteArray("America/New_York") << QDateTime(QDate(2024, 7, 1), QTime(12, 0), utc) << true
            << 1.0 / 24;
        QTest::newRow("UTC never") << QByteArray("UTC") << QDateTime(QDate(2024, 7, 1), QTime(12, 0), utc)
                                   << false << 0.0;
    }

    void daylightOfZone() {
        QFETCH(QByteArray, zone);
        QFETCH(QDateTime, moment);
        QFETCH(bool, inEffect);
        QFETCH(double, shift);
        const QTimeZone timeZone(zone);
        if (!timeZone.isValid())
            QSKIP("time zone data not installed");
        const DaylightState state = DaylightStateAt(timeZone, moment);
        QCOMPARE(state.inEffect, inEffect);
        QCOMPARE(state.shift, shift);
    }

    void driveKindName_data() {
        QTest::addColumn<QString>("fsType");
        QTest::addColumn<bool>("removableDisk");
        QTest::addColumn<QString>("expected");
        QTest::newRow("ext4") << "ext4" << false << "DRIVE_FIXED";
        QTest::newRow("vfat stick") << "vfat" << true << "DRIVE_REMOVABLE";
        QTest::newRow("exfat on a fixed disk") << "exfat" << false << "DRIVE_FIXED";
        QTest::newRow("nfs") << "nfs" << false << "DRIVE_REMOTE";
        QTest::newRow("nfs4") << "nfs4" << false << "DRIVE_REMOTE";
        QTest::newRow("cifs") << "cifs" << false << "DRIVE_REMOTE";
        QTest::newRow("smb") << "smb" << false << "DRIVE_REMOTE";
        QTest::newRow("sshfs") << "fuse.sshfs" << false << "DRIVE_REMOTE";
        QTest::newRow("CD on a removable drive") << "iso9660" << true << "DRIVE_CDROM";
        QTest::newRow("DVD") << "udf" << true << "DRIVE_CDROM";
        QTest::newRow("tmpfs") << "tmpfs" << false << "DRIVE_RAMDISK";
        QTest::newRow("ramfs") << "ramfs" << false << "DRIVE_RAMDISK";
        QTest::newRow("no file system") << "" << false << "";
    }

    void driveKindName() {
        QFETCH(QString, fsType);
        QFETCH(bool, removableDisk);
        QFETCH(QString, expected);
        QCOMPARE(DriveKindName(fsType, removableDisk), expected);
    }

    void deviceIsRemovable_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<bool>("expected");
        QTest::newRow("partition of a stick") << "/dev/sdz1" << true;
        QTest::newRow("whole stick") << "/dev/sdz" << true;
        QTest::newRow("partition of a fixed disk") << "/dev/vdq2" << false;
        QTest::newRow("unknown device") << "/dev/sdy1" << false;
        QTest::newRow("no device node") << "tmpfs" << false;
    }

    void deviceIsRemovable() {
        QFETCH(QString, device);
        QFETCH(bool, expected);
        // A small sysfs: class/block/<name> links into the device tree, a
        // partition sits in its disk's folder and has a "partition" file.
        const QString sys = m_work + "sys";
        const auto disk = [&](const QString& name, const QByteArray& flag, const QString& part) {
            const QString folder = sys + "/devices/x/block/" + name;
            makeFile(folder + "/removable", flag);
            makeFile(folder + "/" + part + "/partition", "1\n");
            QDir().mkpath(sys + "/class/block");
            QVERIFY(QFile::link("../../devices/x/block/" + name, sys + "/class/block/" + name));
            QVERIFY(QFile::link("../../devices/x/block/" + name + "/" + part, sys + "/class/block/" + part));
        };
        disk("sdz", "1\n", "sdz1");
        disk("vdq", "0\n", "vdq2");
        QCOMPARE(DeviceIsRemovable(device, sys), expected);
    }

    void driveOfRealPaths() {
        QCOMPARE(DriveTypeName(m_work + "no/such/folder"), QString());
        const QStringList kinds{"DRIVE_REMOVABLE", "DRIVE_FIXED", "DRIVE_REMOTE", "DRIVE_CDROM",
                                "DRIVE_RAMDISK"};
        QVERIFY2(kinds.contains(DriveTypeName(m_work)), qPrintable(DriveTypeName(m_work)));
        QVERIFY(VolumeLabel(m_work + "no/such/folder").startsWith("Error " + QString::number(ENOENT) + " "));
        QVERIFY(!VolumeLabel(m_work).startsWith("Error "));
    }

    void wholeFiles() {
        const QByteArray content("Anna\r\n\xe9\x00z", 9);
        QCOMPARE(WriteWholeFile(m_work + "f.dat", content), qint64(9));
        QByteArray read;
        QVERIFY(ReadWholeFile(m_work + "f.dat", read));
        QCOMPARE(read, content);
        QCOMPARE(WriteWholeFile(m_work + "f.dat", "ab"), qint64(2)); // emptied first
        QVERIFY(ReadWholeFile(m_work + "f.dat", read));
        QCOMPARE(read, QByteArray("ab"));
        QCOMPARE(WriteWholeFile(m_work + "no/folder/f.dat", "ab"), qint64(-1));
        QVERIFY(!ReadWholeFile(m_work + "missing.dat", read));
        DeleteFileAt(m_work + "f.dat");
        QVERIFY(!QFileInfo::exists(m_work + "f.dat"));
        DeleteFileAt(m_work + "f.dat"); // a second time: nothing happens
    }

    void fileSizeOf_data() {
        QTest::addColumn<QString>("pattern");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("plain name") << "b.dat" << qint64(22);
        QTest::newRow("wildcard, first by name") << "*.dat" << qint64(1);
        QTest::newRow("question mark") << "?.jpg" << qint64(333);
        QTest::newRow("no match") << "*.log" << qint64(0);
        QTest::newRow("missing file") << "c.dat" << qint64(0);
        QTest::newRow("a folder") << "sub" << qint64(0);
    }

    void fileSizeOf() {
        QFETCH(QString, pattern);
        QFETCH(qint64, expected);
        makeFile(m_work + "a.dat", "1");
        makeFile(m_work + "b.dat", QByteArray(22, 'b'));
        makeFile(m_work + "c.jpg", QByteArray(333, 'c'));
        QDir().mkpath(m_work + "sub");
        QCOMPARE(FileSizeOf(m_work + pattern), expected);
    }

    void enterFolder() {
        const QString before = QDir::currentPath();
        const QString folder = m_work + "one/two/three/";
        QVERIFY(EnterFolder(folder));
        QCOMPARE(QDir::currentPath() + "/", folder);
        QVERIFY(QDir::setCurrent(before));
        makeFile(m_work + "file", "x");
        QVERIFY(!EnterFolder(m_work + "file/sub/")); // cannot be created
        QCOMPARE(QDir::currentPath(), before);
    }

    void userDataFolder_data() {
        QTest::addColumn<QString>("dataHome"); // relative to the temporary home; "" = unset
        QTest::addColumn<QString>("expected");
        QTest::newRow("missing levels created") << "xdg/a/b"
                                                << "xdg/a/b/Brolt/";
        QTest::newRow("trailing slash") << "xdg2/"
                                        << "xdg2/Brolt/";
        QTest::newRow("unset: under .local/share") << ""
                                                   << ".local/share/Brolt/";
    }

    void userDataFolder() {
        QFETCH(QString, dataHome);
        QFETCH(QString, expected);
        const QByteArray saved = qgetenv("XDG_DATA_HOME");
        if (dataHome.isEmpty())
            qunsetenv("XDG_DATA_HOME");
        else
            qputenv("XDG_DATA_HOME", (m_home.path() + "/" + dataHome).toUtf8());
        const QString before = QDir::currentPath();
        const QString folder = UserDataFolder("Brolt");
        qputenv("XDG_DATA_HOME", saved);
        QCOMPARE(folder, m_home.path() + "/" + expected);
        QVERIFY(QFileInfo(folder).isDir());
        QCOMPARE(QDir::currentPath(), before);
    }

    void programFolders() {
        QCOMPARE(ExecutableSuffix(), QString());
#ifdef BROLT_PROGRAM_DIR
        QCOMPARE(ProgramFolder(), QFileInfo(BROLT_PROGRAM_DIR).canonicalFilePath() + "/");
#endif
        QVERIFY(DownloadsFolder().startsWith(m_home.path() + "/"));
        QVERIFY(DownloadsFolder().endsWith("/"));
    }
};

QTEST_GUILESS_MAIN(TestSupport)
#include "tst_support.moc"
