#include "TestKit.h"
#include "exchange/Import.h"
#include "lists/Resize.h"
#include "records/DataFile.h"

#include <QDir>
#include <QTest>

// Cards into a data file: notation and encoding kept, nothing twice, pictures
// made as the picture import makes them, and nothing written when it fails.
class TestImport : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void importsIntoTheDataFile_data();
    void importsIntoTheDataFile();
    void anOpenWindowAsksBeforeWritingOverAnImport_data();
    void anOpenWindowAsksBeforeWritingOverAnImport();
};

namespace {
QByteArray card(const QByteArray& lines) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + lines + "END:VCARD\r\n";
}
QByteArray jpegOf(int width, int height) {
    return EncodeJpeg(Bitmap24(width, height), 90);
}
} // namespace

void TestImport::importsIntoTheDataFile_data() {
    QTest::addColumn<QByteArray>("before"); // empty: no data file yet
    QTest::addColumn<QByteArray>("cards");
    QTest::addColumn<bool>("blockSave");
    QTest::addColumn<QByteArray>("after");
    QTest::addColumn<QString>("summary"); // empty: the import fails
    QTest::addColumn<QString>("reasons");
    QTest::addColumn<QString>("pictures");
    const QByteArray photos =
        card("FN:Anna\r\nBDAY:1960-05-12\r\nPHOTO:data:image/jpeg;base64," + jpegOf(640, 480).toBase64() +
             "\r\n") +
        card("FN:Jan\r\nANNIVERSARY:--0612\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + jpegOf(100, 80).toBase64() +
             "\r\n") +
        card("FN:Els\r\nBDAY:1999-01-02\r\nPHOTO;ENCODING=b:" + jpegOf(400, 300).toBase64() + "\r\n") +
        card("N:;;;;\r\nBDAY:1999-01-01\r\n") + card("FN:Piet\r\nBDAY:circa 1800\r\n") +
        card("FN:Kees\r\nBDAY:2001-02-03\r\nPHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgo=\r\n");
    QTest::newRow("new file: year-month-day, pictures shrunk or copied")
        << QByteArray() << photos << false
        << QByteArray("1960-05-12;Anna;Geboorte;Anna.jpg;;;;;;\r\n3000-06-12;Jan;Huwelijk;Jan.jpg;;;;;;\r\n"
                      "1999-01-02;Els;Geboorte;Els.jpg;;;;;;\r\n2001-02-03;Kees;Geboorte;;;;;;;\r\n")
        << "4 toegevoegd, 0 al aanwezig, 2 overgeslagen"
        << "Kaart 4: geen naam\nKaart 5 (Piet): geboortedatum \"circa 1800\" is geen datum"
        << "Anna.jpg 200x150, Els.jpg 200x150, Jan.jpg 100x80";
    const QByteArray dmy("12-05-1960;Anna;Geboorte;;;;;;;\r\n01-01-2000;Piet;Geboorte;;;;;;;\r\n");
    QTest::newRow("day-month-year kept, a differing date reported, the death beside the birth")
        << dmy
        << card("FN:Anna\r\nBDAY:19600513\r\n") +
               card("FN:Piet\r\nBDAY:2000-01-01\r\nDEATHDATE:2020-02-02\r\n") +
               card("FN:Kees\r\nBDAY:1970-04-03\r\nEMAIL:k@x.nl\r\nADR:;;Weg 1;Ede;;6711;NL\r\n") +
               card("FN:Kees\r\nBDAY:1970-04-03\r\n")
        << false
        << dmy + "02-02-2020;Piet (overleden);Overlijden;;;;;;;\r\n03-04-1970;Kees;Geboorte;;k@x.nl;;Weg "
                 "1;6711 Ede;NL;\r\n"
        << "2 toegevoegd, 3 al aanwezig, 0 overgeslagen"
        << "Kaart 1 (Anna): al aanwezig als Geboorte op 12-05-1960, de kaart zegt 13-05-1960; het bestaande "
           "blijft"
        << "";
    const QByteArray cp1252("1960-05-12;Zo\xEB;Geboorte;;;;;;;\r\n");
    QTest::newRow("Windows-1252 stays Windows-1252")
        << cp1252
        << card("FN:Dvořák\r\nBDAY:1941-09-08\r\nADR:;;Straße 1;Łódź;;;\r\n") +
               card("FN:李小龍\r\nBDAY:1940-11-27\r\n") + card("FN:Zoë\r\nBDAY:1960-05-12\r\n")
        << false
        << cp1252 + "1941-09-08;Dvor\xE1k;Geboorte;;;;Stra\xDF"
                    "e 1;?\xF3"
                    "dz;;\r\n"
        << "1 toegevoegd, 1 al aanwezig, 1 overgeslagen"
        << "Kaart 2 (李小龍): de naam kan niet in dit bestand (Windows-1252) worden geschreven"
        << "";
    QTest::newRow("nothing new: nothing written") << dmy << card("FN:Anna\r\nBDAY:1960-05-12\r\n") << false
                                                  << dmy << "0 toegevoegd, 1 al aanwezig, 0 overgeslagen"
                                                  << ""
                                                  << "";
    QTest::newRow("an unreadable data file is left alone")
        << QByteArray("Naam;Datum;Gebeurtenis;;;;;;\r\nabc;def\r\n") << photos << false
        << QByteArray("Naam;Datum;Gebeurtenis;;;;;;\r\nabc;def\r\n") << ""
        << ""
        << "";
    QTest::newRow("a failed save leaves no picture behind") << dmy << photos << true << dmy << ""
                                                            << ""
                                                            << "";
}

void TestImport::importsIntoTheDataFile() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, cards);
    QFETCH(bool, blockSave);
    QFETCH(QByteArray, after);
    QFETCH(QString, summary);
    QFETCH(QString, reasons);
    QFETCH(QString, pictures);
    QTemporaryDir dir;
    const QString file = dir.filePath("data/Mijn.dat");
    if (!before.isEmpty())
        WriteFileForTest(file, before);
    if (blockSave) // the temporary file of the save cannot be made
        QVERIFY(QDir().mkpath(file + ".tmp"));

    const ImportOutcome outcome = ImportIntoDataFile(ReadVCards(cards), file);
    QCOMPARE(outcome.ok, !summary.isEmpty());
    QCOMPARE(outcome.error.isEmpty(), outcome.ok);
    if (outcome.ok) {
        QCOMPARE(outcome.summary.line(), summary);
        QCOMPARE(outcome.summary.reasons.join(u'\n'), reasons);
    }
    QCOMPARE(before.isEmpty() && !outcome.ok ? QByteArray() : ReadFileForTest(file), after);
    // The file as it was is the first backup, when something was added.
    const bool saved = outcome.ok && outcome.summary.added > 0 && !before.isEmpty();
    QCOMPARE(QFileInfo::exists(dir.filePath("data/Mijn!.dat")), saved);
    if (saved)
        QCOMPARE(ReadFileForTest(dir.filePath("data/Mijn!.dat")), before);

    QStringList made;
    for (const QString& name : QDir(dir.filePath("data")).entryList({"*.jpg"}, QDir::Files, QDir::Name)) {
        Bitmap24 b;
        QVERIFY(LoadJpeg(dir.filePath("data/" + name), b));
        made << name + QString(" %1x%2").arg(b.width()).arg(b.height());
    }
    QCOMPARE(made.join(", "), pictures);
}

// An import from the command line while a window holds the same file: the
// window's next save asks, and either keeps the import as the previous version
// or reads the file again with the import in it.
void TestImport::anOpenWindowAsksBeforeWritingOverAnImport_data() {
    QTest::addColumn<bool>("overwrite");
    QTest::addColumn<QStringList>("names");   // the window's table afterwards
    QTest::addColumn<QByteArray>("previous"); // Brolt!.dat afterwards
    const QByteArray imported = "1960-05-12;Anna;Geboorte;;;;;;;\r\n1970-04-03;Kees;Geboorte;;;;;;;\r\n";
    QTest::newRow("Ja: the window's table, the import kept as Brolt!.dat")
        << true << QStringList{"Anna", "Piet"} << imported;
    QTest::newRow("Nee: the import read again") << false << QStringList{"Anna", "Kees"} << QByteArray();
}

void TestImport::anOpenWindowAsksBeforeWritingOverAnImport() {
    QFETCH(bool, overwrite);
    QFETCH(QStringList, names);
    QFETCH(QByteArray, previous);
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    WriteFileForTest(folder + "Brolt.dat", "1960-05-12;Anna;Geboorte;;;;;;;\r\n");
    FakeUi ui;
    RecordTable table;
    DataFile window(table);
    window.painted = true;
    window.dataFolder = folder;
    QCOMPARE(window.read(folder, "Brolt", ".dat"), DataFile::ReadResult::Ok);
    const int piet = table.appendRecord({});
    table.setCell(piet, Col::Name, "Piet");
    table.setCell(piet, Col::Date, "1970-01-01");
    window.unsavedChanges = window.saveEnabled = true;

    const ImportOutcome outcome =
        ImportIntoDataFile(ReadVCards(card("FN:Kees\r\nBDAY:19700403\r\n")), folder + "Brolt.dat");
    QVERIFY(outcome.ok);
    ui.nextAnswer(overwrite);
    QCOMPARE(window.save(), overwrite);
    QCOMPARE(ui.questions.size(), 1);
    QStringList tableNames;
    for (int r = 1; r <= table.recordCount(); ++r)
        tableNames << table.cell(r, Col::Name);
    QCOMPARE(tableNames, names);
    if (overwrite)
        QCOMPARE(ReadFileForTest(folder + "Brolt!.dat"), previous);
}

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
