#include "TestKit.h"
#include "exchange/Import.h"
#include "lists/Resize.h"
#include "records/CardLinks.h"
#include "records/DataFile.h"
#include "records/Dates.h"

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
    void everyCardIsAccountedFor_data();
    void everyCardIsAccountedFor();
    void picturesAreNewFiles_data();
    void picturesAreNewFiles();
    void followsCardsThatChange_data();
    void followsCardsThatChange();
    void weddingsAreOfTwo_data();
    void weddingsAreOfTwo();
};

namespace {
QByteArray card(const QByteArray& lines) {
    return "BEGIN:VCARD\r\nVERSION:3.0\r\n" + lines + "END:VCARD\r\n";
}
QByteArray jpegOf(int width, int height) {
    return EncodeJpeg(Bitmap24(width, height), 90);
}
// A progressive JPEG's header claiming `width` x `height`: only the header is
// read before such a picture is refused.
QByteArray progressiveHeaderOf(int width, int height) {
    QByteArray jpeg = jpegOf(16, 16);
    const qsizetype sof = jpeg.indexOf("\xFF\xC0");
    jpeg[sof + 1] = char(0xC2);
    jpeg[sof + 5] = char(height >> 8);
    jpeg[sof + 6] = char(height & 0xFF);
    jpeg[sof + 7] = char(width >> 8);
    jpeg[sof + 8] = char(width & 0xFF);
    return jpeg;
}
QString namesAndPictures(const RecordTable& table) {
    QStringList rows;
    for (int r = 1; r <= table.recordCount(); ++r)
        rows << table.cell(r, Col::Name) + u';' + table.cell(r, Col::Picture);
    return rows.join(u'|');
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
        << QByteArray("1960-05-12;Anna;Geboorte;Anna.jpg;;;;;;\r\n3000-06-12;Jan en "
                      "partner;Huwelijk;Jan.jpg;;;;;;\r\n"
                      "1999-01-02;Els;Geboorte;Els.jpg;;;;;;\r\n2001-02-03;Kees;Geboorte;;;;;;;\r\n")
        << "4 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 2 overgeslagen"
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
        << "2 toegevoegd, 0 bijgewerkt, 2 al aanwezig, 0 overgeslagen"
        << "Kaart 1 (Anna): verschilt van uw gegevens: Geboorte op 12-05-1960, de kaart zegt 13-05-1960; uw "
           "gegevens blijven"
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
        << "1 toegevoegd, 0 bijgewerkt, 1 al aanwezig, 1 overgeslagen"
        << "Kaart 2 (李小龍): de naam kan niet in dit bestand (Windows-1252) worden geschreven"
        << "";
    QTest::newRow("nothing new: nothing written")
        << dmy << card("FN:Anna\r\nBDAY:1960-05-12\r\n") << false << dmy
        << "0 toegevoegd, 0 bijgewerkt, 1 al aanwezig, 0 overgeslagen"
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

    const ImportOutcome outcome = ImportIntoDataFile({{QString(), cards}}, file);
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
        ImportIntoDataFile({{QString(), card("FN:Kees\r\nBDAY:19700403\r\n")}}, folder + "Brolt.dat");
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

// Each card of a source is added, already there or skipped with its reason,
// and nothing from a card reaches the records with a control character, a
// separator or a length no address book has.
void TestImport::everyCardIsAccountedFor_data() {
    QTest::addColumn<QByteArray>("cards");
    QTest::addColumn<bool>("utf8");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("messages"); // reasons, then notes
    QTest::addColumn<QString>("records");  // name;picture of each record
    QByteArray eleven;
    for (int i = 1; i <= 8; ++i)
        eleven +=
            card("FN:P" + QByteArray::number(i) + "\r\nBDAY:2000-01-0" + QByteArray::number(i) + "\r\n");
    eleven.chop(2); // the next file joined on without a line end
    eleven += "BEGIN:VCARD\r\nBDAY:2000-01-09\r\nFN;ENCODING=QUOTED-PRINTABLE:P=39=\r\nEND:VCARD\r\n"
              "BEGIN:VCARD\r\nFN:P10\r\nBDAY:2000-01-10\r\n"
              "BEGIN:VCARD\r\nFN:P11\r\nBDAY:2000-01-11\r\n";
    QTest::newRow("a soft break before END, a missing END, files joined without a line end")
        << eleven << true << "11 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << ""
        << "P1;|P2;|P3;|P4;|P5;|P6;|P7;|P8;|P9;|P10;|P11;";
    QTest::newRow("control characters are removed, also from messages")
        << card("FN:An" + QByteArray(1, '\0') +
                "na\x1B[31m\x7F\xC2\x9B\r\nBDAY:2000-01-01\r\n"
                "ANNIVERSARY:nooit\\nKaart 9: vals\r\n") +
               card("FN:\x07\x0C\x0B\r\nBDAY:2000-01-02\r\n") + card("FN:Piet\r\nBDAY:19x0\\n-01-01\r\n")
        << true << "1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 2 overgeslagen"
        << "Kaart 2: geen naam\nKaart 3 (Piet): geboortedatum \"19x0, -01-01\" is geen datum\n"
           "Kaart 1 (Anna[31m): trouwdatum \"nooit, Kaart 9: vals\" is geen datum"
        << "Anna[31m;";
    QTest::newRow("a name that folds into the separator is the same everywhere")
        << card("FN:A\xEF\xBC\x9B"
                "B\r\nBDAY:2000-01-01\r\nPHOTO;ENCODING=b:" +
                jpegOf(20, 20).toBase64() + "\r\n") +
               card("FN:A,B\r\nBDAY:2000-01-01\r\n")
        << false << "1 toegevoegd, 0 bijgewerkt, 1 al aanwezig, 0 overgeslagen"
        << ""
        << "A,B;A,B.jpg";
    QByteArray manyLines;
    for (int i = 0; i < 10001; ++i)
        manyLines += "NOTE:" + QByteArray::number(i) + "\r\n";
    QTest::newRow("beyond any real card: skipped with the reason")
        << card("FN:" + QByteArray(1001, 'x') + "\r\nBDAY:2000-01-01\r\n") +
               card("FN:Els\r\nEMAIL:" + QByteArray(1001, 'e') + "\r\nBDAY:2000-01-01\r\n") +
               card("FN:Jan\r\nBDAY:2000-01-01\r\n" + manyLines) +
               card("FN:Kees\r\nBDAY:2000-01-01\r\nNOTE:" + QByteArray(MaxVCardBytes, 'n') + "\r\n") +
               card("FN:" + QByteArray(1000, 'y') + "\r\nBDAY:2000-01-01\r\n")
        << true << "1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 4 overgeslagen"
        << "Kaart 1: de naam is langer dan 1 000 tekens\n"
           "Kaart 2 (Els): het e-mailadres is langer dan 1 000 tekens\n"
           "Kaart 3: de kaart heeft meer dan 10 000 regels\nKaart 4: de kaart is groter dan 16 MB"
        << QString(1000, u'y') + u';';
    QTest::newRow("what a photo note says")
        << card("FN:Leeg\r\nBDAY:2000-01-01\r\nPHOTO:data:image/jpeg;base64,\r\n") +
               card("FN:Web\r\nBDAY:2000-01-01\r\nPHOTO;VALUE=uri:https://x.nl/w.jpg\r\n") +
               card("FN:Png\r\nBDAY:2000-01-01\r\nPHOTO;ENCODING=b;TYPE=PNG:iVBORw0KGgo=\r\n") +
               card("FN:Groot\r\nBDAY:2000-01-01\r\nPHOTO;ENCODING=b:" +
                    progressiveHeaderOf(15800, 15800).toBase64() + "\r\n") +
               card("FN:Klein\r\nBDAY:2000-01-01\r\nPHOTO;ENCODING=b:" +
                    progressiveHeaderOf(300, 300).toBase64() + "\r\n")
        << true << "5 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << "Kaart 1 (Leeg): de foto in de kaart is leeg\n"
           "Kaart 2 (Web): de foto staat op het web en wordt niet opgehaald\n"
           "Kaart 3 (Png): de foto is geen geldig .jpg-bestand en wordt niet gebruikt\n"
           "Kaart 4 (Groot): de foto is te groot om te verkleinen en wordt niet gebruikt\n"
           "Kaart 5 (Klein): de foto is geen geldig .jpg-bestand en wordt niet gebruikt"
        << "Leeg;|Web;|Png;|Groot;|Klein;";
}

void TestImport::everyCardIsAccountedFor() {
    QFETCH(QByteArray, cards);
    QFETCH(bool, utf8);
    QFETCH(QString, summary);
    QFETCH(QString, messages);
    QFETCH(QString, records);
    QTemporaryDir dir;
    RecordTable table;
    const ImportSummary s = ImportCards(cards, {&table, YearMonthDay, utf8, dir.path() + u'/'});
    QCOMPARE(s.line(), summary);
    QCOMPARE((s.reasons + s.notes).join(u'\n'), messages);
    QCOMPARE(namesAndPictures(table), records);
    QCOMPARE(s.added + s.present + s.skipped, int(ReadVCards(cards).size()));
}

// A card's picture is a new file in the data folder, never one that is there
// in any form, never written through a link, never where it cannot be.
void TestImport::picturesAreNewFiles_data() {
    QTest::addColumn<QString>("there");  // what the data folder holds first: "link NAME", "file NAME"
    QTest::addColumn<QString>("folder"); // the picture folder under the test's folder
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("records");
    QTest::addColumn<QString>("notes");
    QTest::addColumn<QString>("files"); // the folder afterwards
    QTest::newRow("a dangling link is never written through") << "link Evil.jpg"
                                                              << "data"
                                                              << "Evil"
                                                              << "Evil;Evil-2.jpg"
                                                              << ""
                                                              << "Evil-2.jpg, Evil.jpg";
    QTest::newRow("the program's own picture is never a card's") << ""
                                                                 << "data"
                                                                 << "Blanc"
                                                                 << "Blanc;Blanc-2.jpg"
                                                                 << ""
                                                                 << "Blanc-2.jpg";
    QTest::newRow("a name taken in another case") << "file anna.jpg"
                                                  << "data"
                                                  << "Anna"
                                                  << "Anna;Anna-2.jpg"
                                                  << ""
                                                  << "Anna-2.jpg, anna.jpg";
    QTest::newRow("a folder that is not there")
        << ""
        << "nergens"
        << "Anna"
        << "Anna;"
        << "Kaart 1 (Anna): de foto kan niet worden opgeslagen als Anna.jpg: de map bestaat niet"
        << "";
    const QString longName(300, u'x');
    QTest::newRow("a name too long for the file system")
        << ""
        << "data" << longName << longName + u';'
        << "Kaart 1 (" + longName + "): de foto kan niet worden opgeslagen als " + longName +
               ".jpg: de naam is te lang"
        << "";
}

void TestImport::picturesAreNewFiles() {
    QFETCH(QString, there);
    QFETCH(QString, folder);
    QFETCH(QString, name);
    QFETCH(QString, records);
    QFETCH(QString, notes);
    QFETCH(QString, files);
    QTemporaryDir dir;
    const QString data = dir.filePath("data/");
    QVERIFY(QDir().mkpath(data));
    const QString thereName = there.section(u' ', 1);
    if (there.startsWith(u"link"))
        QVERIFY(QFile::link("../elsewhere.jpg", data + thereName));
    else if (there.startsWith(u"file"))
        WriteFileForTest(data + thereName, "mine");
    RecordTable table;
    const ImportSummary s =
        ImportCards(card("FN:" + name.toUtf8() +
                         "\r\nBDAY:2000-01-01\r\nPHOTO;ENCODING=b:" + jpegOf(40, 30).toBase64() + "\r\n"),
                    {&table, YearMonthDay, true, dir.filePath(folder) + u'/'});
    QCOMPARE(namesAndPictures(table), records);
    QCOMPARE(s.notes.join(u'\n'), notes);
    QCOMPARE(
        QDir(data).entryList(QDir::AllEntries | QDir::System | QDir::NoDotAndDotDot, QDir::Name).join(", "),
        files);
    // What was there stays as it was.
    QVERIFY(!QFileInfo::exists(dir.filePath("elsewhere.jpg")));
    if (there.startsWith(u"file"))
        QCOMPARE(ReadFileForTest(data + thereName), QByteArray("mine"));
}

// A card imported before comes again: its records follow its new name or
// date while they still hold what the card gave them, keep what the user
// made of them, and stay when the card has gone.  The records' cards are
// remembered beside the data file, through the user's changes and saves.
void TestImport::followsCardsThatChange_data() {
    QTest::addColumn<QByteArray>("before"); // the data file first; empty: none
    QTest::addColumn<QByteArray>("first");  // the first import, from a.vcf
    QTest::addColumn<QString>("change");    // what the user does in Brolt between the imports
    QTest::addColumn<QByteArray>("second"); // the second import
    QTest::addColumn<QString>("from");      // the second import's file
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("messages"); // of the second import: reasons, then notes
    QTest::addColumn<QByteArray>("after"); // the data file the second import went into
    QTest::addColumn<QString>("pictures"); // the pictures in the data folder afterwards
    const QByteArray photo = "PHOTO;ENCODING=b:" + jpegOf(20, 20).toBase64() + "\r\n";
    const QByteArray jan = card("UID:u1\r\nFN:Jan Visser\r\nBDAY:1960-05-12\r\n");
    const QByteArray johan = card("UID:u1\r\nFN:Johan Visser\r\nBDAY:1960-05-12\r\n");
    const QByteArray redated = card("UID:u1\r\nFN:Jan Visser\r\nBDAY:1960-05-13\r\n");
    const QByteArray piet = card("UID:u2\r\nFN:Piet\r\nBDAY:1970-01-01\r\n");
    const QString nothing = "0 toegevoegd, 0 bijgewerkt, 1 al aanwezig, 0 overgeslagen";
    const QString updated = "0 toegevoegd, 1 bijgewerkt, 0 al aanwezig, 0 overgeslagen";
    const QString renamed =
        "Kaart 1 (Johan Visser): bijgewerkt: Geboorte \"Jan Visser\" heet nu \"Johan Visser\"";
    const QString kept = "Kaart 1 (Johan Visser): verschilt van uw gegevens: Geboorte \"Oom Jan\", de kaart "
                         "zegt \"Johan Visser\"; uw gegevens blijven";
    QTest::newRow("a new name renames the record, its wedding, death and picture")
        << QByteArray()
        << card("UID:u1\r\nFN:Jan Visser\r\nBDAY:1960-05-12\r\nANNIVERSARY:1985-06-01\r\n"
                "DEATHDATE:2020-02-02\r\n" +
                photo)
        << ""
        << card("UID:u1\r\nFN:Johan Visser\r\nBDAY:1960-05-12\r\nANNIVERSARY:1985-06-01\r\n"
                "DEATHDATE:2020-02-02\r\n" +
                photo)
        << "a.vcf" << updated
        << "Kaart 1 (Johan Visser): bijgewerkt: Geboorte \"Jan Visser\" heet nu \"Johan Visser\"; "
           "Huwelijk \"Jan Visser en partner\" heet nu \"Johan Visser en partner\"; Overlijden \"Jan "
           "Visser (overleden)\" heet nu \"Johan Visser (overleden)\""
        << QByteArray("1960-05-12;Johan Visser;Geboorte;Johan Visser.jpg;;;;;;\r\n"
                      "1985-06-01;Johan Visser en partner;Huwelijk;Johan Visser.jpg;;;;;;\r\n"
                      "2020-02-02;Johan Visser (overleden);Overlijden;Johan Visser.jpg;;;;;;\r\n")
        << "Johan Visser.jpg";
    QTest::newRow("a new date re-dates the record, in the file's notation")
        << QByteArray("13-01-2000;Els;Geboorte;;;;;;;\r\n") << jan << "" << redated << "a.vcf" << updated
        << "Kaart 1 (Jan Visser): bijgewerkt: Geboorte op 13-05-1960 (was 12-05-1960)"
        << QByteArray("13-01-2000;Els;Geboorte;;;;;;;\r\n13-05-1960;Jan Visser;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("a name the user gave stays, and the card is named")
        << QByteArray() << jan << "name Jan Visser=Oom Jan" << johan << "a.vcf" << nothing << kept
        << QByteArray("1960-05-12;Oom Jan;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("a date the user gave stays, and the card is named")
        << QByteArray() << jan << "date Jan Visser=1960-06-12" << redated << "a.vcf" << nothing
        << "Kaart 1 (Jan Visser): verschilt van uw gegevens: Geboorte op 1960-06-12, de kaart zegt "
           "1960-05-13; uw gegevens blijven"
        << QByteArray("1960-06-12;Jan Visser;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("the user's name with the card as it was: nothing to say, nothing added")
        << QByteArray() << jan << "name Jan Visser=Oom Jan" << jan << "a.vcf" << nothing << ""
        << QByteArray("1960-05-12;Oom Jan;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("the same change on both sides")
        << QByteArray() << jan << "name Jan Visser=Johan Visser" << johan << "a.vcf" << nothing << ""
        << QByteArray("1960-05-12;Johan Visser;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("a card gone from its address book leaves its record")
        << QByteArray() << jan + piet << "" << piet << "a.vcf" << nothing
        << "Jan Visser: niet meer in het adresboek; uw gegevens blijven"
        << QByteArray("1960-05-12;Jan Visser;Geboorte;;;;;;;\r\n1970-01-01;Piet;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("another file is another address book, and knows the UID")
        << QByteArray() << jan + piet << "" << johan << "b.vcf" << updated << renamed
        << QByteArray("1960-05-12;Johan Visser;Geboorte;;;;;;;\r\n1970-01-01;Piet;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("without a UID a card is known by its name only")
        << QByteArray() << card("FN:Jan Visser\r\nBDAY:1960-05-12\r\n") << ""
        << card("FN:Johan Visser\r\nBDAY:1960-05-12\r\n") << "a.vcf"
        << "1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << ""
        << QByteArray("1960-05-12;Jan Visser;Geboorte;;;;;;;\r\n1960-05-12;Johan Visser;Geboorte;;;;;;;\r\n")
        << "";
    QTest::newRow("a record typed by the user follows a card with a UID from then on")
        << QByteArray("1960-05-12;Jan Visser;Geboorte;;;;;;;\r\n") << jan << "" << johan << "a.vcf" << updated
        << renamed << QByteArray("1960-05-12;Johan Visser;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("a picture is renamed beside a file of that name, never over it")
        << QByteArray() << card("UID:u1\r\nFN:Jan Visser\r\nBDAY:1960-05-12\r\n" + photo)
        << "file Johan Visser.jpg" << card("UID:u1\r\nFN:Johan Visser\r\nBDAY:1960-05-12\r\n" + photo)
        << "a.vcf" << updated << renamed
        << QByteArray("1960-05-12;Johan Visser;Geboorte;Johan Visser-2.jpg;;;;;;\r\n")
        << "Johan Visser-2.jpg, Johan Visser.jpg";
    QTest::newRow("the user's name saved in another folder stays")
        << QByteArray() << jan << "move name Jan Visser=Oom Jan" << johan << "a.vcf" << nothing << kept
        << QByteArray("1960-05-12;Oom Jan;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("a link in place of the side file is replaced, never written through")
        << QByteArray() << jan << "link" << johan << "a.vcf" << updated << renamed
        << QByteArray("1960-05-12;Johan Visser;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("a side file naming pictures outside the folder, and garbage, is not followed")
        << QByteArray() << jan << "outside" << johan << "a.vcf" << updated << renamed
        << QByteArray("1960-05-12;Johan Visser;Geboorte;../buiten.jpg;;;;;;\r\n") << "";
    const QString deleted = "Kaart 1 (Jan Visser): door u verwijderd; wordt niet opnieuw toegevoegd";
    QTest::newRow("a record the user deleted does not come back, and is named once")
        << QByteArray() << jan + piet << "delete Jan" << jan + piet << "a.vcf"
        << "0 toegevoegd, 0 bijgewerkt, 2 al aanwezig, 0 overgeslagen" << deleted
        << QByteArray("1970-01-01;Piet;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("every record deleted: the emptied file keeps them out too")
        << QByteArray() << jan << "delete Jan" << johan << "b.vcf" << nothing
        << "Kaart 1 (Johan Visser): door u verwijderd; wordt niet opnieuw toegevoegd" << QByteArray() << "";
    QTest::newRow("a deleted card stays out while a new card comes in")
        << QByteArray() << jan << "delete Jan" << jan + piet << "a.vcf"
        << "1 toegevoegd, 0 bijgewerkt, 1 al aanwezig, 0 overgeslagen" << deleted
        << QByteArray("1970-01-01;Piet;Geboorte;;;;;;;\r\n") << "";
    QTest::newRow("a save that failed changed nothing, the links included")
        << QByteArray() << jan << "fail name Jan Visser=Oom Jan" << johan << "a.vcf" << updated << renamed
        << QByteArray("1960-05-12;Johan Visser;Geboorte;;;;;;;\r\n") << "";
}

void TestImport::followsCardsThatChange() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, first);
    QFETCH(QString, change);
    QFETCH(QByteArray, second);
    QFETCH(QString, from);
    QFETCH(QString, summary);
    QFETCH(QString, messages);
    QFETCH(QByteArray, after);
    QFETCH(QString, pictures);
    QTemporaryDir dir;
    const QString folder = dir.filePath("data/");
    QString file = folder + "Mijn.dat";
    if (!before.isEmpty())
        WriteFileForTest(file, before);
    WriteFileForTest(dir.filePath("a.vcf"), first);
    QVERIFY(ImportIntoDataFile({{CardFileBook(dir.filePath("a.vcf")), first}}, file).ok);

    // The user's change, made and saved in Brolt: "[move |fail ]name|date OLD=NEW", or a file put
    // into the data folder.
    const bool move = change.startsWith("move "), fail = change.startsWith("fail ");
    const QString edit = move || fail ? change.mid(5) : change;
    const QString links = CardLinksFile(folder, "Mijn"), elsewhere = dir.filePath("elders.kaarten");
    QByteArray linked;
    if (edit == "link") {
        QVERIFY(QFile::rename(links, elsewhere));
        QVERIFY(QFile::link(elsewhere, links));
        linked = ReadFileForTest(elsewhere);
    } else if (edit == "outside") {
        // A record and a side file made by someone else: the picture and
        // what a rename replaced lie outside the data folder.
        WriteFileForTest(dir.filePath("buiten.jpg"), "mine");
        WriteFileForTest(file, "1960-05-12;Jan Visser;Geboorte;../buiten.jpg;;;;;;\r\n");
        WriteFileForTest(
            links,
            "Brolt kaarten 1\n\x01\x02\n\t\t\t\t\t\t\t\t\t\t\t\t\nGeboorte\tJan Visser\t1960-05-12\tu1\t" +
                QFile::encodeName(dir.filePath("a.vcf")) +
                "\tGeboorte\tJan Visser\t1960-05-12\t../buiten.jpg\t\t../buiten.jpg\n");
    } else if (edit.startsWith("file ")) {
        WriteFileForTest(folder + edit.mid(5), "mine");
    } else if (!edit.isEmpty()) {
        FakeUi ui;
        RecordTable table;
        DataFile data(table);
        data.painted = true;
        data.retryDelayMs = 0;
        data.dataFolder = folder;
        data.saveBaseName = "Mijn";
        QCOMPARE(data.read(folder, "Mijn", ".dat"), DataFile::ReadResult::Ok);
        const QString what = edit.section(u' ', 0, 0), target = edit.section(u' ', 1);
        for (int r = table.recordCount(); r >= 1; --r)
            if (what == "delete" && table.cell(r, Col::Name).startsWith(target))
                table.removeRow(r);
            else if (table.cell(r, Col::Name) == target.section(u'=', 0, 0))
                table.setCell(r, what == "name" ? Col::Name : Col::Date, target.section(u'=', 1));
        data.unsavedChanges = true;
        if (move) {
            data.dataFolder = dir.filePath("elders/");
            file = data.defaultFilePath();
        }
        if (fail)
            QVERIFY(QDir().mkpath(file + ".tmp"));
        QCOMPARE(data.save(), !fail);
        QDir(file + ".tmp").removeRecursively();
    }

    const ImportOutcome outcome = ImportIntoDataFile({{CardFileBook(dir.filePath(from)), second}}, file);
    QVERIFY(outcome.ok);
    QCOMPARE(outcome.summary.line(), summary);
    QCOMPARE((outcome.summary.reasons + outcome.summary.notes).join(u'\n'), messages);
    QCOMPARE(ReadFileForTest(file), after);
    QCOMPARE(QDir(folder).entryList({"*.jpg"}, QDir::Files, QDir::Name).join(", "), pictures);
    if (edit == "link") {
        QVERIFY(!QFileInfo(links).isSymLink());
        QCOMPARE(ReadFileForTest(elsewhere), linked);
    }
    if (edit == "outside")
        QCOMPARE(ReadFileForTest(dir.filePath("buiten.jpg")), QByteArray("mine"));
    // The next import of the same cards finds everything as the cards say.
    const ImportOutcome again = ImportIntoDataFile({{CardFileBook(dir.filePath(from)), second}}, file);
    QCOMPARE(again.summary.added + again.summary.updated, 0);
    QCOMPARE(again.summary.notes, QStringList());
}

// A wedding is of two: the spouse as each kind of card names it, "en partner"
// when it names none, and a wedding an earlier import made under the bare
// name is not made twice.
void TestImport::weddingsAreOfTwo_data() {
    QTest::addColumn<QByteArray>("before"); // the data file first; empty: none
    QTest::addColumn<QByteArray>("cards");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QString>("messages");
    QTest::addColumn<QByteArray>("after");
    auto wedding = [](const QByteArray& lines) {
        return "BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Jan Visser\r\nANNIVERSARY:19780612\r\n" + lines +
               "END:VCARD\r\n";
    };
    const QByteArray alone = "1978-06-12;Jan Visser en partner;Huwelijk;;;;;;;\r\n";
    QTest::newRow("vCard 4.0 RELATED;TYPE=spouse")
        << QByteArray()
        << wedding("RELATED;TYPE=friend;VALUE=text:Kees\r\nRELATED;TYPE=spouse;VALUE=text:Marie\r\n")
        << "1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << "" << QByteArray("1978-06-12;Jan Visser en Marie;Huwelijk;;;;;;;\r\n");
    QTest::newRow("a RELATED link to another card is no name")
        << QByteArray() << wedding("RELATED;TYPE=spouse:urn:uuid:03a0e51f-d1aa-4385-8a53-e29025acd8af\r\n")
        << "1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << "" << alone;
    QTest::newRow("X-SPOUSE, X-EVOLUTION-SPOUSE, KAddressBook, Apple's label")
        << QByteArray()
        << wedding("X-SPOUSE:Marie\r\n") +
               card("FN:Els\r\nX-EVOLUTION-ANNIVERSARY:1990-01-02\r\n"
                    "X-EVOLUTION-SPOUSE:Piet\r\n") +
               card("FN:Kees\r\nANNIVERSARY:1991-02-03\r\nX-KADDRESSBOOK-X-SpousesName:Ans\\, de Vries\r\n") +
               card("FN:Lies\r\nANNIVERSARY:1992-03-04\r\nitem1.X-ABRELATEDNAMES:Moeder\r\n"
                    "item1.X-ABLabel:_$!<Mother>!$_\r\nitem2.X-ABRELATEDNAMES;type=pref:Bram\r\n"
                    "item2.X-ABLabel:_$!<Spouse>!$_\r\n")
        << "4 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << ""
        << QByteArray(
               "1978-06-12;Jan Visser en Marie;Huwelijk;;;;;;;\r\n1990-01-02;Els en Piet;Huwelijk;;;;;;;\r\n"
               "1991-02-03;Kees en Ans, de Vries;Huwelijk;;;;;;;\r\n1992-03-04;Lies en "
               "Bram;Huwelijk;;;;;;;\r\n");
    QTest::newRow("no spouse: en partner")
        << QByteArray() << wedding("") << "1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << "" << alone;
    const QByteArray bare = "12-06-1978;Jan Visser;Huwelijk;;;;;;;\r\n";
    QTest::newRow("an earlier import's bare name is the wedding already there")
        << bare << wedding("X-SPOUSE:Marie\r\n")
        << "0 toegevoegd, 0 bijgewerkt, 1 al aanwezig, 0 overgeslagen"
        << "" << bare;
    QTest::newRow("with a UID it takes the name of two")
        << bare << wedding("UID:w1\r\nX-SPOUSE:Marie\r\n")
        << "0 toegevoegd, 1 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << "Kaart 1 (Jan Visser): bijgewerkt: Huwelijk \"Jan Visser\" heet nu \"Jan Visser en Marie\""
        << QByteArray("12-06-1978;Jan Visser en Marie;Huwelijk;;;;;;;\r\n");
    const QByteArray cp1252 = "12-06-1978;Zo\xEB;Geboorte;;;;;;;\r\n";
    QTest::newRow("a spouse Windows-1252 cannot write")
        << cp1252 << wedding("X-SPOUSE:李小龍\r\n")
        << "1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"
        << "Kaart 1 (Jan Visser): de naam van de partner kan niet in dit bestand (Windows-1252) worden "
           "geschreven"
        << cp1252 + "12-06-1978;Jan Visser en partner;Huwelijk;;;;;;;\r\n";
}

void TestImport::weddingsAreOfTwo() {
    QFETCH(QByteArray, before);
    QFETCH(QByteArray, cards);
    QFETCH(QString, summary);
    QFETCH(QString, messages);
    QFETCH(QByteArray, after);
    QTemporaryDir dir;
    const QString file = dir.filePath("Mijn.dat");
    if (!before.isEmpty())
        WriteFileForTest(file, before);
    const ImportOutcome outcome = ImportIntoDataFile(cards, file);
    QVERIFY(outcome.ok);
    QCOMPARE(outcome.summary.line(), summary);
    QCOMPARE((outcome.summary.reasons + outcome.summary.notes).join(u'\n'), messages);
    QCOMPARE(ReadFileForTest(file), after);
}

QTEST_GUILESS_MAIN(TestImport)
#include "tst_import.moc"
