#include "TestKit.h"
#include "kit/Clock.h"
#include "kit/Support.h"
#include "records/DataFile.h"
#include "records/Dates.h"

#include <QDir>
#include <QFile>
#include <QTest>

#include <csignal>
#include <cstdio>
#include <sys/resource.h>
#include <unistd.h>

class TestDataFile : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase() { delete m_home; }
    void init();
    void cleanup();
    void readQuirks_data();
    void readQuirks();
    void readKeepsEveryField();
    void badFilesGiveAClearResult_data();
    void badFilesGiveAClearResult();
    void missingFileAsksForAFolder();
    void invalidDateGetsTodaysDayNumber();
    void saveWritesNineFieldsAndDropsDatelessRecords();
    void fieldsCannotBreakTheFormat();
    void recordsAreAddedBeforeTheBlankRow();
    void byteOrderMarkIsNotPartOfTheText();
    void notationIsFoundInTheFilesEncoding();
    void smallPiecesReadTheSame_data();
    void smallPiecesReadTheSame();
    void kindsAreComparedAsNormalised_data();
    void kindsAreComparedAsNormalised();
    void twoSavesRotateTheBackups();
    void saveKeepsTheBytesOfTheFile_data();
    void saveKeepsTheBytesOfTheFile();
    void saveOnlyAfterPaintAndWithChanges();
    void failedSaveLosesNothing();
    void otherFileWarnsBeforeOverwriting();
    void saveLosesNothingOnDisk_data();
    void saveLosesNothingOnDisk();
    void askSaveChanges_data();
    void askSaveChanges();
    void openOtherFile();
    void openOtherFileRetriesAFailingRead_data();
    void openOtherFileRetriesAFailingRead();
    void provisioning();
    void largeFile();

private:
    DataFile::ReadResult readText(const QByteArray& bytes);
    TempHome* m_home = nullptr;
    RecordTable m_table;
    DataFile* m_data = nullptr;
    QString m_folder;
};

void TestDataFile::initTestCase() {
    m_home = new TempHome;
}

void TestDataFile::init() {
    Clock::set(Noon(2026, 5, 10));
    m_folder = m_home->path() + "/" + QTest::currentTestFunction() + "/";
    QDir(m_folder).removeRecursively();
    QDir().mkpath(m_folder);
    m_table.reset();
    m_data = new DataFile(m_table);
    m_data->dataFolder = m_folder;
    m_data->retryDelayMs = 0;
    m_data->painted = true;
}

void TestDataFile::cleanup() {
    delete m_data;
    m_data = nullptr;
    Clock::set({});
}

DataFile::ReadResult TestDataFile::readText(const QByteArray& bytes) {
    WriteFileForTest(m_folder + "Brolt.dat", bytes);
    return m_data->read(m_folder, "Brolt", ".dat");
}

void TestDataFile::readQuirks_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("names");
    QTest::addColumn<QStringList>("kinds");

    QTest::newRow("21 bytes are enough")
        << QByteArray("1960-05-12;Anna;Te;\r\n") << QStringList{"Anna"} << QStringList{"Te"};
    QTest::newRow("final line without CR LF is lost")
        << QByteArray("1960-05-12;Anna;Geboorte;\r\n1970-01-01;Kees;Geboorte;") << QStringList{"Anna"}
        << QStringList{"Geboorte"};
    QTest::newRow("title and comment lines are skipped")
        << QByteArray("Datum;Naam;Soort;\r\n# lijst\r\n 1960-05-12;Spatie;\r\n1960-05-12;Anna;Geboorte;\r\n")
        << QStringList{"Anna"} << QStringList{"Geboorte"};
    QTest::newRow("a digit makes a record even with a bad date")
        << QByteArray("1960-05-12;Anna;Geboorte;\r\n1960-13-45;Fout;Feest;\r\n")
        << QStringList{"Anna", "Fout"} << QStringList{"Geboorte", "Feest"};
    QTest::newRow("kinds are normalised")
        << QByteArray("1960-05-12;A;Verjaardag;\r\n1960-05-12;B;;\r\n1960-05-12;C;feest;\r\n1960-05-12;D;Te "
                      "doen;\r\n"
                      "1960-05-12;E;huwelijk;\r\n1960-05-12;F;VERHUIZING;\r\n1960-05-12;G\r\n")
        << QStringList{"A", "B", "C", "D", "E", "F", "G"}
        << QStringList{"Geboorte", "Geboorte", "Feest", "Te doen", "Huwelijk", "VERHUIZING", "Geboorte"};
    QTest::newRow("a NUL kind is a birth")
        << QByteArray("1960-05-12;Anna;\0;\r\n", 21) << QStringList{"Anna"} << QStringList{"Geboorte"};
    QTest::newRow("LF line ends of a Linux editor")
        << QByteArray("1960-05-12;Anna;Geboorte;\n1970-01-01;Kees;Feest;\n") << QStringList{"Anna", "Kees"}
        << QStringList{"Geboorte", "Feest"};
    QTest::newRow("empty lines between records")
        << QByteArray("1960-05-12;Anna;Geboorte;\r\n\r\n\r\n1970-01-01;Kees;Feest;\r\n")
        << QStringList{"Anna", "Kees"} << QStringList{"Geboorte", "Feest"};
}

void TestDataFile::readQuirks() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, names);
    QFETCH(QStringList, kinds);
    QCOMPARE(readText(bytes), DataFile::ReadResult::Ok);
    QCOMPARE(m_table.recordCount(), int(names.size()));
    QStringList readNames, readKinds;
    for (int r = 1; r <= m_table.recordCount(); ++r) {
        readNames << m_table.cell(r, Col::Name);
        readKinds << m_table.cell(r, Col::Kind);
    }
    QCOMPARE(readNames, names);
    QCOMPARE(readKinds, kinds);
    QVERIFY(RecordTable::isRowEmpty(m_table.row(m_table.rowCount() - 1)));
    QCOMPARE(m_table.cell(0, 0), QString("Naam"));
    QCOMPARE(m_data->countText, QString::number(names.size()) + " namen gelezen.");
    QCOMPARE(m_data->caption, QString("Brolt, versie 2.60e - Brolt.dat"));
}

void TestDataFile::readKeepsEveryField() {
    QCOMPARE(
        readText(
            "12-05-1960;Anna;Geboorte;anna.jpg;a@b.nl;06-1;Laan 4;1234 AB Utrecht;Nederland;extra;meer;\r\n"
            "25-12-1970;Kees\r\n"),
        DataFile::ReadResult::Ok);
    QCOMPARE(m_data->dateNotation, 2);
    QCOMPARE(ShortDateFormat(), QString("dd-mm-yyyy"));
    QCOMPARE(m_data->formatLabel, QString("Datumformaat: dd-mm-jjjj"));
    const RecordTable::Row& anna = m_table.row(1);
    QCOMPARE(anna[Col::Date], QString("12-05-1960"));
    QCOMPARE(anna[Col::Picture], QString("anna.jpg"));
    QCOMPARE(anna[Col::Mail], QString("a@b.nl"));
    QCOMPARE(anna[Col::Phone], QString("06-1"));
    QCOMPARE(anna[Col::Street], QString("Laan 4"));
    QCOMPARE(anna[Col::PostcodeCity], QString("1234 AB Utrecht"));
    QCOMPARE(anna[Col::Country], QString("Nederland"));
    QCOMPARE(anna[Col::DayNumber], QString::number(DayNumberOf(QDate(1960, 5, 12))));
    QCOMPARE(anna[Col::Age], QString());
    QCOMPARE(anna[Col::Work5], QString());
    QCOMPARE(m_table.cell(2, Col::Name), QString("Kees"));
    QCOMPARE(m_table.cell(2, Col::Kind), QString("Geboorte"));
    QCOMPARE(m_table.cell(2, Col::Country), QString());
}

void TestDataFile::badFilesGiveAClearResult_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("result");
    QTest::newRow("empty") << QByteArray() << int(DataFile::ReadResult::TooSmall);
    QTest::newRow("20 bytes") << QByteArray("1960-05-12;Anna;G;\r\n") << int(DataFile::ReadResult::TooSmall);
    QTest::newRow("binary garbage") << QByteArray("\x01\x02\xff\xfe;\x00\x00\r\n\x80\x81garbage\r\n", 21)
                                    << int(DataFile::ReadResult::Ok);
    QTest::newRow("no CR at all") << QByteArray("1960-05-12;Anna;Geboorte;1970-01-01;Kees;")
                                  << int(DataFile::ReadResult::NotationFailed);
    QTest::newRow("words only") << QByteArray("Dit is geen bestand van Brolt\r\n")
                                << int(DataFile::ReadResult::NotationFailed);
}

void TestDataFile::badFilesGiveAClearResult() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, result);
    FakeUi ui;
    // Whatever the bytes, the table ends up with no record and stays usable.
    QCOMPARE(int(readText(bytes)), result);
    QCOMPARE(m_table.recordCount(), 0);
    QCOMPARE(m_table.rowCount(), 2);
    QCOMPARE(m_data->readTries, result == int(DataFile::ReadResult::TooSmall) ? 6 : 1);
}

void TestDataFile::missingFileAsksForAFolder() {
    const QString other = m_folder + "elders/";
    WriteFileForTest(other + "Brolt.dat", "1960-05-12;Anna;Geboorte;\r\n");
    QString asked;
    m_data->browseForDataFolder = [&](QString& folder) {
        asked = folder;
        folder = other;
        return true;
    };
    QCOMPARE(m_data->read(m_folder, "Brolt", ".dat"), DataFile::ReadResult::Ok);
    QCOMPARE(asked, m_folder);
    QCOMPARE(m_table.recordCount(), 1);

    m_data->browseForDataFolder = [](QString&) { return false; };
    QCOMPARE(m_data->read(m_folder, "Brolt", ".dat"), DataFile::ReadResult::TooSmall);
}

void TestDataFile::invalidDateGetsTodaysDayNumber() {
    QCOMPARE(readText("1960-05-12;Anna;Geboorte;\r\n1960-02-30;Fout;Geboorte;\r\n"),
             DataFile::ReadResult::Ok);
    QCOMPARE(m_table.cell(2, Col::DayNumber), QString::number(DayNumberOf(QDate(2026, 5, 10))));
}

void TestDataFile::saveWritesNineFieldsAndDropsDatelessRecords() {
    FakeUi ui;
    QCOMPARE(readText("1960-05-12;Anna;Geboorte;anna.jpg\r\n1970-01-01;Kees;Feest;KEES.JPG;;;;;;\r\n"
                      "1980-01-01;Els;Geboorte;els.png;\r\n"),
             DataFile::ReadResult::Ok);
    m_table.setCell(2, Col::Date, "   ");
    m_data->unsavedChanges = true;
    QVERIFY(m_data->save());
    QCOMPARE(ReadFileForTest(m_folder + "Brolt.dat"),
             QByteArray("1960-05-12;Anna;Geboorte;anna.jpg;;;;;;\r\n1980-01-01;Els;Geboorte;;;;;;;\r\n"));
    QCOMPARE(ui.notes.size(), 2);
    QCOMPARE(ui.notes[0].first, QString("Bij de naam \"Kees is"));
    QCOMPARE(ui.notes[0].second, QString("geen datum ingevuld.\r\nDe regel wordt niet bewaard."));
    QCOMPARE(ui.notes[1].first, QString("De wijzigingen zijn bewaard."));
    QVERIFY(!m_data->unsavedChanges);
    QVERIFY(!m_data->saveEnabled);
    QCOMPARE(m_data->writeTries, 1);
    QVERIFY(!QFile::exists(m_folder + "Brolt.dat.tmp"));
}

void TestDataFile::fieldsCannotBreakTheFormat() {
    FakeUi ui;
    RecordTable::Row row;
    row[Col::Date] = "1960-05-12";
    row[Col::Name] = "Anna; Kees";
    row[Col::Kind] = "Geboorte";
    row[Col::Street] = "Laan 4\r\nachterhuis";
    row[Col::Country] = "Neder\nland";
    m_table.appendRecord(row);
    m_data->unsavedChanges = true;
    QVERIFY(m_data->save());
    QCOMPARE(m_data->read(m_folder, "Brolt", ".dat"), DataFile::ReadResult::Ok);
    QCOMPARE(m_table.recordCount(), 1);
    QCOMPARE(m_table.cell(1, Col::Name), QString("Anna, Kees"));
    QCOMPARE(m_table.cell(1, Col::Street), QString("Laan 4  achterhuis"));
    QCOMPARE(m_table.cell(1, Col::Country), QString("Neder land"));
}

void TestDataFile::recordsAreAddedBeforeTheBlankRow() {
    RecordTable table;
    table.appendEmptyRecord()[Col::Name] = QStringLiteral("Anna");
    table.appendEmptyRecord()[Col::Name] = QStringLiteral("Kees");
    QCOMPARE(table.recordCount(), 2);
    QCOMPARE(table.cell(0, Col::Name), QStringLiteral("Naam"));
    QCOMPARE(table.cell(1, Col::Name), QStringLiteral("Anna"));
    QCOMPARE(table.cell(2, Col::Name), QStringLiteral("Kees"));
    QVERIFY(RecordTable::isRowEmpty(table.row(3)));
    // Text typed into the blank row stays in the last row.
    table.setCell(3, Col::Name, QStringLiteral("half getypt"));
    table.appendEmptyRecord()[Col::Name] = QStringLiteral("Wim");
    QCOMPARE(table.rowCount(), 5);
    QCOMPARE(table.cell(3, Col::Name), QStringLiteral("Wim"));
    QCOMPARE(table.cell(4, Col::Name), QStringLiteral("half getypt"));
}

void TestDataFile::twoSavesRotateTheBackups() {
    FakeUi ui;
    readText("1960-05-12;Versie 1;Geboorte;\r\n");
    const QByteArray v1 = ReadFileForTest(m_folder + "Brolt.dat");
    m_table.setCell(1, Col::Name, "Versie 2");
    m_data->unsavedChanges = true;
    QVERIFY(m_data->save());
    m_table.setCell(1, Col::Name, "Versie 3");
    m_data->unsavedChanges = true;
    QVERIFY(m_data->save());
    QCOMPARE(ReadFileForTest(m_folder + "Brolt.dat"), QByteArray("1960-05-12;Versie 3;Geboorte;;;;;;;\r\n"));
    QCOMPARE(ReadFileForTest(m_folder + "Brolt!.dat"), QByteArray("1960-05-12;Versie 2;Geboorte;;;;;;;\r\n"));
    QCOMPARE(ReadFileForTest(m_folder + "Brolt!!.dat"), v1);
}

void TestDataFile::saveKeepsTheBytesOfTheFile_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("name");
    QTest::newRow("UTF-8") << QByteArray("1960-05-12;Zo\xc3\xab \xe2\x82\xac;Geboorte;;;;;;;\r\n")
                           << QString::fromUtf8("Zo\xc3\xab \xe2\x82\xac");
    QTest::newRow("Windows-1252") << QByteArray("1960-05-12;Zo\xeb \x80\x93\x81;Geboorte;;;;;;;\r\n")
                                  << QString::fromUtf16(u"Zo\u00eb \u20ac\u201c\u0081");
    QTest::newRow("Windows-1252 that starts like a byte order mark")
        << QByteArray("1960-05-12;\xef\xbb\xbf\xeb;Geboorte;;;;;;;\r\n")
        << QString::fromUtf16(u"\u00ef\u00bb\u00bf\u00eb");
}

void TestDataFile::byteOrderMarkIsNotPartOfTheText() {
    FakeUi ui;
    QCOMPARE(readText("\xef\xbb\xbf"
                      "1960-05-12;Zo\xc3\xab;Geboorte;;;;;;;\r\n"
                      "1970-01-02;\xef\xbb\xbfKees;Feest;;;;;;;\r\n"),
             DataFile::ReadResult::Ok);
    QVERIFY(m_data->utf8);
    QCOMPARE(m_table.recordCount(), 2);
    QCOMPARE(m_table.cell(1, Col::Date), QStringLiteral("1960-05-12"));
    QCOMPARE(m_table.cell(1, Col::Name), QString::fromUtf16(u"Zo\u00eb"));
    // Further on it is a character of the name, as it was written.
    QCOMPARE(m_table.cell(2, Col::Name), QChar(0xFEFF) + QStringLiteral("Kees"));
}

void TestDataFile::notationIsFoundInTheFilesEncoding() {
    FakeUi ui;
    // In UTF-8 the "é" is one character, so the eleventh is the space and the
    // first field ends there (no parts: it counts as 0 and 0); read byte for
    // byte it would run on to the ";" and fail on the letter.
    QCOMPARE(readText("\xc3\xa9"
                      "234567890 -5-6;x;\r\n1960-05-12;Anna;Geboorte;;;;;;;\r\n"),
             DataFile::ReadResult::Ok);
    QVERIFY(m_data->utf8);
    QCOMPARE(m_data->dateNotation, int(DayMonthYear)); // averages 980 and 2.5
}

void TestDataFile::smallPiecesReadTheSame_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("CR LF") << QByteArray(
        "1960-05-12;Anna;Geboorte;a.jpg;;;;;;\r\n1990-05-08;Kees;Feest;;;;;;;\r\n"
        "2000-05-10;Wim;Overlijden;;;;;;;\r\n");
    QTest::newRow("LF, CR and CR LF mixed, empty lines")
        << QByteArray("\r\n1960-05-12;Anna;;\n\n1990-05-08;Kees;\r1991-05-08;Piet;\r\n\r2000-05-10;Wim;\n");
    QTest::newRow("CR LF at every place a piece can end")
        << QByteArray("1960-05-12;A;\r\n1960-05-13;BB;\r\n1960-05-14;CCC;\r\n1960-05-15;DDDD;\r\n");
    QTest::newRow("a line longer than any piece")
        << QByteArray("1960-05-12;") + QByteArray(300, 'x') + ";Geboorte;;;;;;;\r\n1990-05-08;Kees;;\r\n";
    QTest::newRow("last line without an ending") << QByteArray("1960-05-12;Anna;;\r\n1990-05-08;Kees;;");
    QTest::newRow("ends in a lone CR") << QByteArray("1960-05-12;Anna;;\r\n1990-05-08;Kees;;\r");
    QTest::newRow("UTF-8 with a byte order mark")
        << QByteArray("\xef\xbb\xbf"
                      "1960-05-12;Zo\xc3\xab \xe2\x82\xac;;\r\n1990-05-08;\xe2\x82\xac\xe2\x82\xac;;\r\n");
    QTest::newRow("UTF-8 that breaks late: Windows-1252")
        << QByteArray("1960-05-12;Zo\xc3\xab;;\r\n1961-05-12;Anna;;\r\n1990-05-08;Zo\xeb;;\r\n");
    QTest::newRow("day first") << QByteArray("12-05-1960;Anna;;\r\n25-12-1990;Kees;;\r\n");
}

void TestDataFile::smallPiecesReadTheSame() {
    QFETCH(QByteArray, bytes);
    FakeUi ui;
    WriteFileForTest(m_folder + "Brolt.dat", bytes);
    auto readWith = [&](qsizetype pieceBytes, QStringList& cells, bool& utf8, int& notation) {
        RecordTable table;
        DataFile data(table);
        data.retryDelayMs = 0;
        data.readPieceBytes = pieceBytes;
        const DataFile::ReadResult result = data.read(m_folder, "Brolt", ".dat");
        for (int r = 0; r < table.rowCount(); ++r)
            for (const QString& cell : table.row(r))
                cells << cell;
        utf8 = data.utf8;
        notation = data.dateNotation;
        return result;
    };
    QStringList whole;
    bool wholeUtf8 = false;
    int wholeNotation = -1;
    QCOMPARE(readWith(1 << 20, whole, wholeUtf8, wholeNotation), DataFile::ReadResult::Ok);
    for (const qsizetype piece : {1, 2, 3, 4, 5, 7, 11, 16, 17, 31, 64}) {
        QStringList cells;
        bool pieceUtf8 = !wholeUtf8;
        int pieceNotation = -1;
        QCOMPARE(readWith(piece, cells, pieceUtf8, pieceNotation), DataFile::ReadResult::Ok);
        QCOMPARE(cells, whole);
        QCOMPARE(pieceUtf8, wholeUtf8);
        QCOMPARE(pieceNotation, wholeNotation);
    }
}

void TestDataFile::kindsAreComparedAsNormalised_data() {
    QTest::addColumn<QString>("kind");
    for (const char* kind :
         {"", "Geboorte", "geboorte", "Verjaardag", "verjaardag", "Overlijden", "overlijden", "OVERLIJDEN",
          "Huwelijk", "huwelijk", "Te doen", "te doen", "Feest", "x", "Geboorte "})
        QTest::newRow(*kind ? kind : "empty") << QString::fromLatin1(kind);
    QTest::newRow("a NUL") << QString(QChar(0));
}

void TestDataFile::kindsAreComparedAsNormalised() {
    QFETCH(QString, kind);
    for (const QString* known :
         {&Kind::Geboorte, &Kind::Feest, &Kind::Huwelijk, &Kind::Jubileum, &Kind::Overlijden, &Kind::TeDoen})
        QCOMPARE(KindIs(kind, *known), NormaliseKind(kind) == *known);
}

void TestDataFile::saveKeepsTheBytesOfTheFile() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, name);
    FakeUi ui;
    QCOMPARE(readText(bytes), DataFile::ReadResult::Ok);
    QCOMPARE(m_table.cell(1, Col::Name), name);
    m_data->unsavedChanges = true;
    QVERIFY(m_data->save());
    QCOMPARE(ReadFileForTest(m_folder + "Brolt.dat"), bytes);
}

void TestDataFile::saveOnlyAfterPaintAndWithChanges() {
    FakeUi ui;
    readText("1960-05-12;Anna;Geboorte;\r\n");
    QVERIFY(!m_data->save()); // nothing changed
    m_data->unsavedChanges = true;
    m_data->painted = false;
    QVERIFY(!m_data->save());
    QVERIFY(!QFile::exists(m_folder + "Brolt!.dat"));
    QCOMPARE(ui.notes.size(), 0);
}

void TestDataFile::failedSaveLosesNothing() {
    FakeUi ui;
    readText("1960-05-12;Anna;Geboorte;\r\n");
    const QByteArray before = ReadFileForTest(m_folder + "Brolt.dat");
    m_table.setCell(1, Col::Name, "Nieuw");
    m_data->unsavedChanges = true;
    // A full disk: no file may grow beyond 10 bytes while saving (root ignores
    // folder permissions, but not this limit).
    ::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    ::getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 10;
    ::setrlimit(RLIMIT_FSIZE, &tiny);
    const bool saved = m_data->save();
    ::setrlimit(RLIMIT_FSIZE, &old);
    QVERIFY(!saved);
    QCOMPARE(m_data->writeTries, 1); // what refuses now refuses in a moment too
    QVERIFY(m_data->unsavedChanges);
    QVERIFY(m_data->saveFailed());
    QCOMPARE(ReadFileForTest(m_folder + "Brolt.dat"), before);
    QCOMPARE(ui.messages,
             QStringList{"De wijzigingen zijn NIET bewaard.\nKan niet schrijven in " + m_folder});
}

void TestDataFile::otherFileWarnsBeforeOverwriting() {
    FakeUi ui;
    readText("1960-05-12;Anna;Geboorte;\r\n");
    const QByteArray before = ReadFileForTest(m_folder + "Brolt.dat");
    m_data->otherFileRead = true;
    m_data->unsavedChanges = true;
    m_data->saveEnabled = true;
    ui.nextAnswer(false);
    QVERIFY(!m_data->save());
    QCOMPARE(ui.questions.size(), 1);
    QCOMPARE(ui.questions[0].title, QString("Brolt, versie 2.60e - Brolt.dat - Bewaren?"));
    QCOMPARE(ui.questions[0].message, QString("Pas op ! U gaat het standaardbestand Brolt.dat overschrijven. "
                                              "Wilt U toch de wijzigingen bewaren?"));
    QVERIFY(!ui.questions[0].cancelShown);
    QVERIFY(!m_data->saveEnabled);
    QCOMPARE(ReadFileForTest(m_folder + "Brolt.dat"), before);

    ui.nextAnswer(true);
    QVERIFY(m_data->save());
    QVERIFY(!m_data->otherFileRead);
}

void TestDataFile::saveLosesNothingOnDisk_data() {
    QTest::addColumn<QByteArray>("onDisk");    // when read; null: no file
    QTest::addColumn<QByteArray>("meanwhile"); // renamed over it by another program; null: nothing
    QTest::addColumn<int>("answer");           // to the changed-file question; -1: not asked
    QTest::addColumn<bool>("saved");
    QTest::addColumn<QStringList>("names"); // the table afterwards
    QTest::addColumn<QString>(
        "note"); // the message, or the last note "first|second line"; %1 is the data file
    const QByteArray anna("1960-05-12;Anna;Geboorte;;;;;;;\r\n"), anja("1960-05-12;Anja;Geboorte;;;;;;;\r\n");
    const QString refused = QStringLiteral("De wijzigingen zijn NIET bewaard.\n%1 kon niet worden gelezen en "
                                           "blijft zoals het is.");
    const QString done = QStringLiteral("De wijzigingen zijn bewaard.|");
    QTest::newRow("unchanged: saved")
        << anna << QByteArray() << -1 << true << QStringList{"Anna", "Piet"} << done;
    QTest::newRow("nothing there: saved")
        << QByteArray() << QByteArray() << -1 << true << QStringList{"Piet"} << done;
    QTest::newRow("too small to read: kept") << QByteArray("1960-05-12;Anna;\r\n") << QByteArray() << -1
                                             << false << QStringList{"Piet"} << refused;
    QTest::newRow("no notation: kept") << QByteArray("Dit is geen bestand van Brolt\r\n") << QByteArray()
                                       << -1 << false << QStringList{"Piet"} << refused;
    QTest::newRow("renamed over, same size, Ja: overwritten")
        << anna << anja << 1 << true << QStringList{"Anna", "Piet"} << done;
    QTest::newRow("renamed over, same size, Nee: read again")
        << anna << anja << 0 << false << QStringList{"Anja"} << QString();
}

void TestDataFile::saveLosesNothingOnDisk() {
    QFETCH(QByteArray, onDisk);
    QFETCH(QByteArray, meanwhile);
    QFETCH(int, answer);
    QFETCH(bool, saved);
    QFETCH(QStringList, names);
    QFETCH(QString, note);
    FakeUi ui;
    const QString path = m_folder + "Brolt.dat";
    if (!onDisk.isNull())
        WriteFileForTest(path, onDisk);
    m_data->read(m_folder, "Brolt", ".dat");
    const int piet = m_table.appendRecord({});
    m_table.setCell(piet, Col::Name, "Piet");
    m_table.setCell(piet, Col::Date, "1970-01-01");
    m_data->unsavedChanges = m_data->saveEnabled = true;
    if (!meanwhile.isNull()) {
        WriteFileForTest(m_folder + "elders.tmp", meanwhile);
        QCOMPARE(std::rename(QFile::encodeName(m_folder + "elders.tmp"), QFile::encodeName(path)), 0);
    }
    if (answer >= 0)
        ui.nextAnswer(answer == 1);

    QCOMPARE(m_data->save(), saved);
    QCOMPARE(ui.questions.size(), answer >= 0 ? 1 : 0);
    QStringList tableNames;
    for (int r = 1; r <= m_table.recordCount(); ++r)
        tableNames << m_table.cell(r, Col::Name);
    QCOMPARE(tableNames, names);
    // What was on disk is either untouched or kept as the previous version.
    const QByteArray last = meanwhile.isNull() ? onDisk : meanwhile;
    QCOMPARE(ReadFileForTest(path) == last, !saved);
    QCOMPARE(ReadFileForTest(m_folder + "Brolt!.dat"), saved ? last : QByteArray());
    QCOMPARE(m_data->unsavedChanges, !saved && answer != 0);
    if (!ui.messages.isEmpty())
        QCOMPARE(ui.messages, QStringList{note.arg(path)});
    else if (!note.isEmpty())
        QCOMPARE(ui.notes.constLast().first + u'|' + ui.notes.constLast().second, note.arg(path));
}

void TestDataFile::askSaveChanges_data() {
    QTest::addColumn<bool>("showCancel");
    QTest::addColumn<bool>("yes");
    QTest::addColumn<bool>("cancel");
    QTest::addColumn<bool>("cancelled");
    QTest::addColumn<bool>("saved");
    QTest::newRow("yes") << true << true << false << false << true;
    QTest::newRow("no") << true << false << false << false << false;
    QTest::newRow("cancel") << true << false << true << true << false;
    QTest::newRow("no cancel button") << false << false << true << false << false;
}

void TestDataFile::askSaveChanges() {
    QFETCH(bool, showCancel);
    QFETCH(bool, yes);
    QFETCH(bool, cancel);
    QFETCH(bool, cancelled);
    QFETCH(bool, saved);
    FakeUi ui;
    readText("1960-05-12;Anna;Geboorte;\r\n");
    QVERIFY(!m_data->askSaveChanges(showCancel)); // nothing to ask
    QCOMPARE(ui.questions.size(), 0);
    m_table.setCell(1, Col::Name, "Nieuw");
    m_data->unsavedChanges = true;
    m_data->saveEnabled = true;
    ui.nextAnswer(yes, cancel);
    QCOMPARE(m_data->askSaveChanges(showCancel), cancelled);
    QCOMPARE(ui.questions.size(), 1);
    QCOMPARE(ui.questions[0].title, QString("Brolt - Bewaren"));
    QCOMPARE(ui.questions[0].message,
             QString("De gegevens zijn gewijzigd. Wilt U deze wijzigingen bewaren ?"));
    QCOMPARE(ui.questions[0].cancelShown, showCancel);
    QCOMPARE(ReadFileForTest(m_folder + "Brolt.dat").contains("Nieuw"), saved);
}

void TestDataFile::openOtherFile() {
    FakeUi ui;
    readText("1960-05-12;Anna;Geboorte;\r\n");
    const QString other = m_folder + "ander/";
    WriteFileForTest(other + "Familie.dat", "1970-01-01;Kees;Feest;kees.jpg;\r\n");
    WriteFileForTest(other + "kees.jpg", "jpeg");
    WriteFileForTest(m_folder + "kees.jpg", "eigen");
    bool stopped = false, refreshed = false;
    m_data->stopCountdown = [&] { stopped = true; };
    m_data->refresh = [&] { refreshed = true; };

    m_data->openOtherFile(); // cancelled browser
    QCOMPARE(ui.browses.size(), 1);
    QCOMPARE(ui.browses[0].caption, QString("Brolt - Lees Brolt-bestand"));
    QCOMPARE(ui.browses[0].heading, QString("Selecteer het pad voor de bestanden\r\nen klik op OK."));
    QCOMPARE(ui.browses[0].mask, QString("*.dat"));
    QCOMPARE(ui.browses[0].startPath, m_folder);
    QCOMPARE(m_table.cell(1, Col::Name), QString("Anna"));
    QVERIFY(stopped);
    QVERIFY(!refreshed);

    ui.nextBrowse(other + "Familie.dat");
    m_data->openOtherFile();
    QCOMPARE(m_table.cell(1, Col::Name), QString("Kees"));
    QCOMPARE(m_data->caption, QString("Brolt, versie 2.60e - Familie.dat"));
    QVERIFY(m_data->otherFileRead);
    QVERIFY(refreshed);
    QCOMPARE(ReadFileForTest(m_folder + "kees.jpg"), QByteArray("eigen")); // not replaced

    ui.nextBrowse(m_folder + "Brolt.dat");
    m_data->openOtherFile();
    QVERIFY(!m_data->otherFileRead);
}

void TestDataFile::openOtherFileRetriesAFailingRead_data() {
    QTest::addColumn<QByteArray>("file");
    QTest::addColumn<int>("tries");
    QTest::addColumn<QString>("firstName");
    QTest::newRow("read at once") << QByteArray("1970-01-01;Kees;Feest;;\r\n") << 1 << "Kees";
    // The notation cannot be told: tried again, 101 times in all.
    QTest::newRow("no notation") << QByteArray("1970-xx-01;Kees;Feest;;\r\n") << 101 << "";
    // Too small is no error: the read itself has tried six times already.
    QTest::newRow("too small") << QByteArray("1970-01-01;K;\r\n") << 1 << "";
}

void TestDataFile::openOtherFileRetriesAFailingRead() {
    QFETCH(QByteArray, file);
    QFETCH(int, tries);
    QFETCH(QString, firstName);
    FakeUi ui;
    WriteFileForTest(m_folder + "ander/Familie.dat", file);
    int busyWhileRefreshing = 0;
    m_data->refresh = [&] { busyWhileRefreshing = ui.busyLevel; };
    ui.nextBrowse(m_folder + "ander/Familie.dat");
    m_data->openOtherFile();
    QCOMPARE(m_data->openTries, tries);
    QCOMPARE(m_table.recordCount() > 0 ? m_table.cell(1, Col::Name) : QString(), firstName);
    QCOMPARE(busyWhileRefreshing, 1);
    QCOMPARE(ui.busyLevel, 0);
}

void TestDataFile::provisioning() {
    const QString program = ProgramFolder();
    QVERIFY2(QFile::exists(program + "Standaard.dat"), qPrintable(program));
    m_data->dataFolder = m_folder + "nieuw/diep/";
    m_data->provision();
    QCOMPARE(ReadFileForTest(m_data->defaultFilePath()), ReadFileForTest(program + "Standaard.dat"));
    QVERIFY(QFile::exists(m_data->dataFolder + "Blanc.jpg"));
    QVERIFY(QFile::exists(m_data->dataFolder + "anna.jpg"));

    // An existing data file is never replaced; a missing Blanc.jpg comes back.
    WriteFileForTest(m_data->defaultFilePath(), "1960-05-12;Eigen;Geboorte;\r\n");
    QFile::remove(m_data->dataFolder + "Blanc.jpg");
    m_data->provision();
    QCOMPARE(ReadFileForTest(m_data->defaultFilePath()), QByteArray("1960-05-12;Eigen;Geboorte;\r\n"));
    QVERIFY(QFile::exists(m_data->dataFolder + "Blanc.jpg"));

    // The shipped sample reads, with a record of every kind.
    QCOMPARE(m_data->read(m_folder + "nieuw/diep/", "Brolt", ".dat"), DataFile::ReadResult::Ok);
}

void TestDataFile::largeFile() {
    FakeUi ui;
    QByteArray bytes;
    for (int i = 0; i < 50000; ++i)
        bytes += QString("%1-%2-%3;Persoon %4;Geboorte;;;;;;;\r\n")
                     .arg(1900 + i % 120)
                     .arg(TwoDigits(1 + i % 12))
                     .arg(TwoDigits(1 + i % 28))
                     .arg(i)
                     .toLatin1();
    QCOMPARE(readText(bytes), DataFile::ReadResult::Ok);
    QCOMPARE(m_table.recordCount(), 50000);
    m_data->unsavedChanges = true;
    QVERIFY(m_data->save());
    QCOMPARE(ReadFileForTest(m_folder + "Brolt.dat"), bytes);
}

QTEST_GUILESS_MAIN(TestDataFile)
#include "tst_datafile.moc"
