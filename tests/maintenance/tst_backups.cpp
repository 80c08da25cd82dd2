#include "TestKit.h"
#include "kit/Clock.h"
#include "kit/Store.h"
#include "maintenance/Backups.h"
#include "maintenance/LeesBackup.h"
#include "maintenance/SchrijfBackup.h"
#include "records/Dates.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTest>

#include <memory>

namespace {

// The browser of a restore answers with a folder and the files chosen in it.
class RestoreUi : public FakeUi {
public:
    bool browse(const BrowseRequest& request, QString& path, QStringList* files) override {
        browses.append(request);
        if (!answer)
            return false;
        path = folder;
        if (files)
            *files = chosen;
        return true;
    }
    bool answer = true;
    QString folder;
    QStringList chosen;
};

void setTime(const QString& path, const QDateTime& time) {
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadWrite));
    QVERIFY(file.setFileTime(time, QFileDevice::FileModificationTime));
}

QDateTime timeOf(const QString& path) {
    return QFileInfo(path).lastModified();
}

QByteArray dataFileWith(const QString& name, const QString& date) {
    RecordTable::Row row;
    row[Col::Name] = name;
    row[Col::Date] = date;
    row[Col::Kind] = Kind::Geboorte;
    return DataFile::recordLine(row).toUtf8();
}

const QDateTime earlier = QDateTime(QDate(2026, 1, 10), QTime(9, 0));
const QDateTime later = QDateTime(QDate(2026, 1, 10), QTime(10, 0));

} // namespace

class TestBackups : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void browseStartFolder_data();
    void browseStartFolder();
    void targetFolder_data();
    void targetFolder();
    void sourceFolder_data();
    void sourceFolder();
    void copyStepTakesNewerDataPicturesAndLogs();
    void reportTexts();
    void listingFileHasOnePathALine();

    void backupTwiceOnOneDay();
    void cancelledBrowserCreatesNothing();
    void unwritableTargetReportsEveryFile();
    void cancelButtonSaysNoBackup();

    void restoreOverwritesNewerFilesAndRereads();
    void restoreWithNothingSelectedKeepsTheData();
    void restoreAsksOnlyForTheDataFile_data();
    void restoreAsksOnlyForTheDataFile();
    void restoreSkipsAFileThatVanished();
    void restoreCancelled();

private:
    QString m_root;
    std::unique_ptr<TempHome> m_home;
};

void TestBackups::initTestCase() {
    m_home = std::make_unique<TempHome>();
    Clock::set(Noon(2026, 12, 7));
}

void TestBackups::init() {
    m_root = m_home->path() + u'/' + QTest::currentTestFunction() + u'/';
    QDir().mkpath(m_root);
    Store::remove(QStringLiteral("Backup Path"));
    Store::remove(QStringLiteral("NameOfFile"));
}

void TestBackups::browseStartFolder_data() {
    QTest::addColumn<QString>("stored");
    QTest::addColumn<QString>("start");
    QTest::newRow("nothing stored: home") << "" << QDir::homePath() + "/";
    QTest::newRow("dated folder: its parent") << "/x/bak/Brolt/2026-12-07/"
                                              << "/x/bak/Brolt/";
    QTest::newRow("dated folder without slash") << "/x/bak/Brolt/2026-12-07"
                                                << "/x/bak/Brolt/";
    QTest::newRow("plain folder stays") << "/x/bak/"
                                        << "/x/bak/";
    QTest::newRow("a dash in any last name steps up") << "/x/my-bak"
                                                      << "/x/";
    QTest::newRow("root") << "/"
                          << "/";
    QTest::newRow("relative becomes full") << "rel" << QDir::currentPath() + "/rel/";
}

void TestBackups::browseStartFolder() {
    QFETCH(QString, stored);
    QFETCH(QString, start);
    QCOMPARE(Backups::BrowseStartFolder(stored), start);
}

void TestBackups::targetFolder_data() {
    QTest::addColumn<QString>("chosen");
    QTest::addColumn<QString>("target");
    QTest::newRow("adds the program level") << "/b/"
                                            << "/b/Brolt/2026-12-07/";
    QTest::newRow("no second program level") << "/b/Brolt/"
                                             << "/b/Brolt/2026-12-07/";
    QTest::newRow("letter case counts") << "/b/brolt/"
                                        << "/b/brolt/Brolt/2026-12-07/";
    QTest::newRow("without a final slash") << "/b"
                                           << "/b/Brolt/2026-12-07/";
    QTest::newRow("root") << "/"
                          << "/Brolt/2026-12-07/";
}

void TestBackups::targetFolder() {
    QFETCH(QString, chosen);
    QFETCH(QString, target);
    QCOMPARE(Backups::TargetFolder(chosen, QDate(2026, 12, 7)), target);
}

void TestBackups::sourceFolder_data() {
    QTest::addColumn<QString>("nameOfFile");
    QTest::addColumn<QString>("source");
    QTest::newRow("folder of the data file") << "/home/a/Gegevens/Familie.dat"
                                             << "/home/a/Gegevens/";
    QTest::newRow("nothing stored") << ""
                                    << "/data/";
}

void TestBackups::sourceFolder() {
    QFETCH(QString, nameOfFile);
    QFETCH(QString, source);
    QCOMPARE(Backups::SourceFolder(nameOfFile, QStringLiteral("/data/")), source);
}

void TestBackups::copyStepTakesNewerDataPicturesAndLogs() {
    const QString source = m_root + QStringLiteral("src/");
    const QString target = m_root + QStringLiteral("dst/");
    for (const char* name : {"Brolt.dat", "Anna.jpg", "Bob.jpg", "oud.log", "Log.txt"}) {
        WriteFileForTest(source + QLatin1String(name), QByteArray("new ") + name);
        setTime(source + QLatin1String(name), later);
    }
    // A copy of the same moment and one newer than the source stay; an older one is replaced.
    WriteFileForTest(target + QStringLiteral("Anna.jpg"), "same");
    setTime(target + QStringLiteral("Anna.jpg"), later);
    WriteFileForTest(target + QStringLiteral("Brolt.dat"), "old");
    setTime(target + QStringLiteral("Brolt.dat"), earlier);

    QStringList report, copied;
    Backups::CopyBackupFiles(source, target, report, copied);
    const QStringList expected{source + QStringLiteral("Brolt.dat"), source + QStringLiteral("Bob.jpg"),
                               source + QStringLiteral("oud.log")};
    QCOMPARE(report, expected);
    QCOMPARE(copied, expected);
    QCOMPARE(ReadFileForTest(target + QStringLiteral("Brolt.dat")), QByteArray("new Brolt.dat"));
    QCOMPARE(ReadFileForTest(target + QStringLiteral("Anna.jpg")), QByteArray("same"));
    QCOMPARE(timeOf(target + QStringLiteral("Bob.jpg")), later);
    QVERIFY(!QFile::exists(target + QStringLiteral("Log.txt")));
}

void TestBackups::reportTexts() {
    const Backups::Report some = Backups::BackupReport(
        {QStringLiteral("/d/Brolt.dat"), QStringLiteral("/d/A.jpg Not copied (error 13)")},
        QStringLiteral("/b/Brolt/2026-12-07/"));
    QCOMPARE(
        some.heading,
        QStringLiteral("Van de volgende bestanden zijn Backups gemaakt in de map /b/Brolt/2026-12-07/:\r\n"));
    QCOMPARE(some.body, QStringLiteral("- /d/Brolt.dat,\r\n- /d/A.jpg Not copied (error 13),\r\n"));
    const Backups::Report none = Backups::BackupReport({}, QStringLiteral("/b/Brolt/2026-12-07/"));
    QCOMPARE(none.heading, QStringLiteral("Er zijn geen nieuwere versie gevonden van de bestanden, die al in "
                                          "/b/Brolt/2026-12-07/ staan."));
    QCOMPARE(none.body, QString());
}

void TestBackups::listingFileHasOnePathALine() {
    WriteFileForTest(m_root + QStringLiteral("Brolt.lst"),
                     "an older listing of the same day, longer than the new");
    QVERIFY(Backups::WriteListing(m_root, {QStringLiteral("/d/Brolt.dat"), QStringLiteral("/d/Zoë.jpg")}));
    QCOMPARE(ReadFileForTest(m_root + QStringLiteral("Brolt.lst")),
             QByteArray("/d/Brolt.dat\r\n/d/Zo\xc3\xab.jpg\r\n"));
    QVERIFY(!Backups::WriteListing(m_root + QStringLiteral("missing/"), {QStringLiteral("/d/Brolt.dat")}));
}

void TestBackups::backupTwiceOnOneDay() {
    FakeUi ui;
    const QString data = m_root + QStringLiteral("data/");
    WriteFileForTest(data + QStringLiteral("Brolt.dat"), "records");
    WriteFileForTest(data + QStringLiteral("Anna.jpg"), "picture");
    Store::writeText(QStringLiteral("NameOfFile"), data + QStringLiteral("Brolt.dat"));
    RecordTable table;
    DataFile dataFile(table);
    dataFile.dataFolder = m_root + QStringLiteral("elsewhere/");
    TSchrijfBackupForm form(dataFile);
    form.mainRect = [] { return QRect(100, 100, 800, 400); };

    SetShortDateFormat(NotationFormat(DayMonthYear));
    const QString chosen = m_root + QStringLiteral("usb/");
    QDir().mkpath(chosen);
    ui.nextBrowse(chosen);
    QVERIFY(form.StartBackup());
    QCOMPARE(ShortDateFormat(), NotationFormat(DayMonthYear));
    const QString target = chosen + QStringLiteral("Brolt/2026-12-07/");
    QCOMPARE(form.target(), target);
    QVERIFY(QFileInfo(target).isDir());
    QVERIFY(form.isVisible());
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("LabelPath"))->text(), target);
    QCOMPARE(Store::readText(QStringLiteral("Backup Path"), QString()), target);
    QCOMPARE(ui.browses[0].caption, QStringLiteral("Brolt - Maak backup"));
    QVERIFY(ui.browses[0].mask.isEmpty());

    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].durationMs, 10000);
    QCOMPARE(ui.notes[0].first,
             QStringLiteral("Van de volgende bestanden zijn Backups gemaakt in de map ") + target + ":\r\n");
    QCOMPARE(ui.notes[0].second, QStringLiteral("- ") + data + QStringLiteral("Brolt.dat,\r\n- ") + data +
                                     QStringLiteral("Anna.jpg,\r\n"));
    const QByteArray listing = ReadFileForTest(target + QStringLiteral("Brolt.lst"));
    QCOMPARE(listing,
             (data + QStringLiteral("Brolt.dat\r\n") + data + QStringLiteral("Anna.jpg\r\n")).toUtf8());

    // The second time the browser starts above the dated folder, a folder
    // named like the program gets no second level, and nothing is newer.
    ui.nextBrowse(chosen + QStringLiteral("Brolt/"));
    QVERIFY(form.StartBackup());
    QCOMPARE(ui.browses[1].startPath, chosen + QStringLiteral("Brolt/"));
    QCOMPARE(form.target(), target);
    form.BtnOKClick();
    QCOMPARE(ui.notes[1].first,
             QStringLiteral("Er zijn geen nieuwere versie gevonden van de bestanden, die al in ") + target +
                 QStringLiteral(" staan."));
    QCOMPARE(form.messList()->count(), 0);
    QCOMPARE(ReadFileForTest(target + QStringLiteral("Brolt.lst")), listing);
}

void TestBackups::cancelledBrowserCreatesNothing() {
    FakeUi ui;
    RecordTable table;
    DataFile dataFile(table);
    TSchrijfBackupForm form(dataFile);
    Store::writeText(QStringLiteral("BackUp Path"), m_root + QStringLiteral("old/Brolt/2026-01-02/"));
    SetShortDateFormat(NotationFormat(MonthDayYear));
    QVERIFY(!form.StartBackup());
    QCOMPARE(ui.browses.size(), 1);
    QCOMPARE(ui.browses[0].startPath, m_root + QStringLiteral("old/Brolt/"));
    QVERIFY(!form.isVisible());
    QCOMPARE(ShortDateFormat(), NotationFormat(MonthDayYear));
    QCOMPARE(QDir(m_root).entryList(QDir::Dirs | QDir::NoDotAndDotDot), QStringList());
}

void TestBackups::unwritableTargetReportsEveryFile() {
    FakeUi ui;
    const QString data = m_root + QStringLiteral("data/");
    WriteFileForTest(data + QStringLiteral("Brolt.dat"), "records");
    WriteFileForTest(data + QStringLiteral("Anna.jpg"), "picture");
    RecordTable table;
    DataFile dataFile(table);
    dataFile.dataFolder = data;
    TSchrijfBackupForm form(dataFile);
    // A file where a folder should be: no folder can be made under it, whoever runs the test.
    const QString blocker = m_root + QStringLiteral("blocker");
    WriteFileForTest(blocker, "x");
    ui.nextBrowse(blocker + u'/');
    QVERIFY(form.StartBackup());
    form.BtnOKClick();
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].second, QStringLiteral("- ") + data +
                                     QStringLiteral("Brolt.dat Not copied (error 20),\r\n- ") + data +
                                     QStringLiteral("Anna.jpg Not copied (error 20),\r\n"));
    QVERIFY(form.copiedFiles().isEmpty());
}

void TestBackups::cancelButtonSaysNoBackup() {
    FakeUi ui;
    RecordTable table;
    DataFile dataFile(table);
    TSchrijfBackupForm form(dataFile);
    ui.nextBrowse(m_root);
    QVERIFY(form.StartBackup());
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnCancel")), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].durationMs, 10000);
    QCOMPARE(ui.notes[0].first, QStringLiteral("Er is geen backup gemaakt."));
    QVERIFY(!QFile::exists(form.target() + QStringLiteral("Brolt.lst")));
}

void TestBackups::restoreOverwritesNewerFilesAndRereads() {
    RestoreUi ui;
    const QString data = m_root + QStringLiteral("data/");
    const QString backup = m_root + QStringLiteral("usb/Brolt/2026-12-01/");
    WriteFileForTest(backup + QStringLiteral("Brolt.dat"),
                     dataFileWith(QStringLiteral("Oude Anna"), "1950-03-03"));
    WriteFileForTest(backup + QStringLiteral("Anna.jpg"), "old picture");
    setTime(backup + QStringLiteral("Brolt.dat"), earlier);
    WriteFileForTest(data + QStringLiteral("Brolt.dat"),
                     dataFileWith(QStringLiteral("Nieuwe Bob"), "2001-02-01"));
    WriteFileForTest(data + QStringLiteral("Anna.jpg"), "new picture");
    setTime(data + QStringLiteral("Brolt.dat"), later);
    Store::writeText(QStringLiteral("BackUp Path"), backup);

    RecordTable table;
    DataFile dataFile(table);
    dataFile.dataFolder = data;
    QCOMPARE(dataFile.read(data, QStringLiteral("Brolt"), QStringLiteral(".dat")), DataFile::ReadResult::Ok);
    dataFile.unsavedChanges = true;
    dataFile.saveEnabled = true;
    TLeesBackupForm form(dataFile);
    int after = 0;
    form.afterRestore = [&] { ++after; };

    ui.folder = backup;
    ui.chosen = {backup + QStringLiteral("Brolt.dat"), backup + QStringLiteral("Anna.jpg")};
    QVERIFY(form.StartRestore());
    QCOMPARE(ui.browses[0].startPath, backup);
    QCOMPARE(ui.browses[0].caption, QStringLiteral("Brolt - Lees backup"));
    QCOMPARE(ui.browses[0].heading, QStringLiteral("Selecteer de juiste bestanden en klik op OK."));
    QCOMPARE(ui.browses[0].mask, QStringLiteral("*.*"));
    QVERIFY(ui.browses[0].multiple);
    QCOMPARE(form.findChild<QLabel*>(QStringLiteral("LabelPath"))->text(), backup);
    QVERIFY(form.isVisible());

    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnOK")), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QVERIFY(form.restored());
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].durationMs, 10000);
    QCOMPARE(ui.notes[0].first,
             QStringLiteral("De volgende bestanden zijn hersteld:\r\n- ") + data +
                 QStringLiteral("Brolt.dat,\r\n- ") + data +
                 QStringLiteral("Anna.jpg,\r\nHet vervangen bestand is bewaard als:\r\n- ") + data +
                 QStringLiteral("Brolt voor herstel 2026-12-07.dat"));
    QCOMPARE(ReadFileForTest(data + QStringLiteral("Anna.jpg")), QByteArray("old picture"));
    QCOMPARE(timeOf(data + QStringLiteral("Brolt.dat")), earlier);
    QCOMPARE(after, 1);
    QCOMPARE(table.recordCount(), 1);
    QCOMPARE(table.cell(1, Col::Name), QStringLiteral("Oude Anna"));
    QVERIFY(!dataFile.unsavedChanges);
    QVERIFY(!dataFile.saveEnabled);
}

void TestBackups::restoreAsksOnlyForTheDataFile_data() {
    QTest::addColumn<QStringList>("chosen");
    QTest::addColumn<int>("answer"); // to the save question: -1 not asked, 0 Nee, 2 Annuleren
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("unsaved");
    QTest::newRow("a picture only: the edits stay") << QStringList{"Anna.jpg"} << -1 << "Bewerkt" << true;
    QTest::newRow("the data file, Nee: read from the backup")
        << QStringList{"Anna.jpg", "Brolt.dat"} << 0 << "Oude Anna" << false;
    QTest::newRow("the data file, Annuleren: nothing restored")
        << QStringList{"Anna.jpg", "Brolt.dat"} << 2 << "Bewerkt" << true;
    QTest::newRow("the data file, Ja: saved, and kept under a name of its own")
        << QStringList{"Brolt.dat"} << 1 << "Oude Anna" << false;
}

void TestBackups::restoreAsksOnlyForTheDataFile() {
    QFETCH(QStringList, chosen);
    QFETCH(int, answer);
    QFETCH(QString, name);
    QFETCH(bool, unsaved);
    RestoreUi ui;
    const QString data = m_root + QStringLiteral("edits/") + QTest::currentDataTag() + u'/';
    ui.folder = m_root + QStringLiteral("usb/Brolt/2026-12-02/");
    WriteFileForTest(ui.folder + "Brolt.dat", dataFileWith(QStringLiteral("Oude Anna"), "1950-03-03"));
    WriteFileForTest(ui.folder + "Anna.jpg", "old picture");
    WriteFileForTest(data + QStringLiteral("Brolt.dat"), dataFileWith(QStringLiteral("Bob"), "2001-02-01"));
    for (const QString& file : chosen)
        ui.chosen << ui.folder + file;
    RecordTable table;
    DataFile dataFile(table);
    dataFile.dataFolder = data;
    QCOMPARE(dataFile.read(data, QStringLiteral("Brolt"), QStringLiteral(".dat")), DataFile::ReadResult::Ok);
    table.setCell(1, Col::Name, QStringLiteral("Bewerkt"));
    dataFile.painted = dataFile.unsavedChanges = dataFile.saveEnabled = true;
    if (answer >= 0)
        ui.nextAnswer(answer == 1, answer == 2);
    TLeesBackupForm form(dataFile);
    QVERIFY(form.StartRestore());
    form.BtnOKClick();
    QCOMPARE(ui.questions.size(), answer >= 0 ? 1 : 0);
    QCOMPARE(table.cell(1, Col::Name), name);
    QCOMPARE(dataFile.unsavedChanges, unsaved);
    QCOMPARE(QFile::exists(data + QStringLiteral("Anna.jpg")), chosen.contains("Anna.jpg") && answer != 2);
    // What the data file held before it was replaced is kept under a name of
    // its own; the copies are those of the saves alone.
    const QByteArray replaced = dataFileWith(answer == 1 ? "Bewerkt" : "Bob", "2001-02-01");
    QCOMPARE(ReadFileForTest(data + QStringLiteral("Brolt voor herstel 2026-12-07.dat")),
             answer == 0 || answer == 1 ? replaced : QByteArray());
    QCOMPARE(ReadFileForTest(data + QStringLiteral("Brolt!.dat")),
             answer == 1 ? dataFileWith("Bob", "2001-02-01") : QByteArray());
}

void TestBackups::restoreWithNothingSelectedKeepsTheData() {
    RestoreUi ui;
    RecordTable table;
    table.appendRecord(RecordTable::Row{});
    table.setCell(1, Col::Name, QStringLiteral("Blijft"));
    DataFile dataFile(table);
    dataFile.dataFolder = m_root;
    TLeesBackupForm form(dataFile);
    int after = 0;
    form.afterRestore = [&] { ++after; };
    ui.folder = m_root;
    QVERIFY(form.StartRestore());
    QCOMPARE(ui.browses[0].startPath, QDir::homePath() + u'/');
    form.BtnOKClick();
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].first, QStringLiteral("Er zijn geen bestanden hersteld"));
    QVERIFY(!form.restored());
    QCOMPARE(after, 0);
    QCOMPARE(table.cell(1, Col::Name), QStringLiteral("Blijft"));
}

void TestBackups::restoreSkipsAFileThatVanished() {
    RestoreUi ui;
    const QString backup = m_root + QStringLiteral("bak/");
    const QString data = m_root + QStringLiteral("data/");
    WriteFileForTest(backup + QStringLiteral("Weg.jpg"), "gone soon");
    WriteFileForTest(backup + QStringLiteral("Bob.jpg"), "bob");
    RecordTable table;
    DataFile dataFile(table);
    dataFile.dataFolder = data;
    TLeesBackupForm form(dataFile);
    ui.folder = backup;
    ui.chosen = {backup + QStringLiteral("Weg.jpg"), backup + QStringLiteral("Bob.jpg")};
    QVERIFY(form.StartRestore());
    QFile::remove(backup + QStringLiteral("Weg.jpg"));
    form.BtnOKClick();
    QCOMPARE(ui.notes[0].first, QStringLiteral("De volgende bestanden zijn hersteld:\r\n- ") + data +
                                    QStringLiteral("Bob.jpg,\r\n"));
    QVERIFY(!QFile::exists(data + QStringLiteral("Weg.jpg")));
}

void TestBackups::restoreCancelled() {
    RestoreUi ui;
    RecordTable table;
    DataFile dataFile(table);
    TLeesBackupForm form(dataFile);
    ui.answer = false;
    QVERIFY(!form.StartRestore());
    QVERIFY(!form.isVisible());
    ui.answer = true;
    ui.folder = m_root;
    QVERIFY(form.StartRestore());
    QTest::mouseClick(form.findChild<QPushButton*>(QStringLiteral("BtnCancel")), Qt::LeftButton);
    QVERIFY(!form.isVisible());
    QVERIFY(!form.restored());
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].durationMs, 10000);
    QCOMPARE(ui.notes[0].first, QStringLiteral("Er zijn geen bestanden hersteld"));
}

QTEST_MAIN(TestBackups)
#include "tst_backups.moc"
