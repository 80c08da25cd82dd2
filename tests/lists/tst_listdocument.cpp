#include "TestKit.h"
#include "kit/Rtf.h"
#include "lists/ListDocument.h"
#include "records/Dates.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>

#include <memory>

namespace {

RecordTable::Row record(const QString& name, const QString& date, const QString& kind = Kind::Geboorte) {
    RecordTable::Row row;
    row[Col::Name] = name;
    row[Col::Date] = date;
    row[Col::Kind] = kind;
    return row;
}

// Seven pixels a character: a font every machine has.
int sevenPixels(const QString& text) {
    return int(text.size()) * 7;
}

QString dutchMonth(int month) {
    return QLocale(QLocale::Dutch).monthName(month, QLocale::LongFormat);
}

const ListHeader header{QStringLiteral("Brolt - Brolt.dat"), QStringLiteral("2026-06-15")};

// The texts of the paragraphs after the title.
QStringList body(const ListDocument& doc) {
    QStringList lines = doc.plainText().split(u'\n');
    return lines.mid(3);
}

} // namespace

class TestListDocument : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void kindCode_data();
    void kindCode();
    void leaderDotsFillToTheLimit_data();
    void leaderDotsFillToTheLimit();
    void leaderDotsEndWithAMeasureThatNeverGrows();
    void ageText_data();
    void ageText();
    void yearCalendarHeadsEachMonthAndLeavesOutToDo();
    void yearCalendarListsAnUnreadableDateAsStored();
    void allNamesLinesCarryTheAge();
    void listsWithoutRecordsHoldOnlyTheHeader();
    void rtfEscapesText_data();
    void rtfEscapesText();
    void rtfCarriesSizesAlignmentAndTabStops();
    void saveListFileWritesTempTmpRtf();
    void saveListFileFailsWhereTempCannotBeMade();
    void saveQuestion_data();
    void saveQuestion();
    void saveThatFailsKeepsTheChangesMarked();
    void writerConvertsTheListToItsText();

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<FakeUi> m_ui;
};

void TestListDocument::initTestCase() {
    m_home = std::make_unique<TempHome>();
}

void TestListDocument::init() {
    m_ui.reset(); // the old one uninstalls itself
    m_ui = std::make_unique<FakeUi>();
    SetShortDateFormat(NotationFormat(YearMonthDay));
}

void TestListDocument::kindCode_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("code");
    QTest::newRow("Feest") << Kind::Feest << "f";
    QTest::newRow("Geboorte") << Kind::Geboorte << "g";
    QTest::newRow("Huwelijk") << Kind::Huwelijk << "h";
    QTest::newRow("Jubileum") << Kind::Jubileum << "j";
    QTest::newRow("Overlijden") << Kind::Overlijden << "o";
    QTest::newRow("empty") << QString() << QString();
}

void TestListDocument::kindCode() {
    QFETCH(QString, kind);
    QFETCH(QString, code);
    QCOMPARE(KindCode(kind), code);
}

void TestListDocument::leaderDotsFillToTheLimit_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("limit");
    QTest::addColumn<int>("dots");
    // 7 * (name + 2 + dots) must pass the limit: 7 * 52 = 364 > 360.
    QTest::newRow("short name, calendar") << "Al" << 360 << 48;
    QTest::newRow("longer name, calendar") << "Alexander" << 360 << 41;
    // 7 * 46 = 322 > 320.
    QTest::newRow("short name, all names") << "Al" << 320 << 42;
    QTest::newRow("reaching the limit is not passing it") << QString(48, u'x') << 357 << 2;
    QTest::newRow("wider than the limit still gets one") << QString(80, u'x') << 360 << 1;
}

void TestListDocument::leaderDotsFillToTheLimit() {
    QFETCH(QString, name);
    QFETCH(int, limit);
    QFETCH(int, dots);
    QCOMPARE(LeaderDots(name, limit, sevenPixels), QString(dots, u'.'));
}

void TestListDocument::leaderDotsEndWithAMeasureThatNeverGrows() {
    const QString dots = LeaderDots(QStringLiteral("Anna"), 360, [](const QString&) { return 0; });
    QCOMPARE(dots.size(), 360);
}

void TestListDocument::ageText_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("age");
    QTest::newRow("this year") << "2026-03-01"
                               << "wordt     0";
    QTest::newRow("nine") << "2017-12-31"
                          << "wordt     9";
    QTest::newRow("ten") << "2016-01-01"
                         << "wordt   10";
    QTest::newRow("ninety-nine") << "1927-05-05"
                                 << "wordt   99";
    QTest::newRow("hundred") << "1926-05-05"
                             << "wordt 100";
    QTest::newRow("two hundred") << "1826-05-05"
                                 << "wordt 200";
    QTest::newRow("above two hundred") << "1825-05-05"
                                       << "wordt ";
    QTest::newRow("next year") << "2027-01-01"
                               << "wordt ";
    QTest::newRow("year 3000") << "3000-04-04"
                               << "onbekend";
    QTest::newRow("29 February of year 3000") << "3000-02-29"
                                              << "onbekend";
    QTest::newRow("unreadable") << "12-xx-1990"
                                << "onbekend";
    QTest::newRow("empty") << ""
                           << "onbekend";
}

void TestListDocument::ageText() {
    QFETCH(QString, date);
    QFETCH(QString, age);
    QCOMPARE(AgeText(date, YearMonthDay, 2026), age);
}

void TestListDocument::yearCalendarHeadsEachMonthAndLeavesOutToDo() {
    RecordTable table;
    table.appendRecord(record(QStringLiteral("Bob"), QStringLiteral("2001-02-01")));
    table.appendRecord(record(QStringLiteral("Klus"), QStringLiteral("2026-02-10"), Kind::TeDoen));
    table.appendRecord(record(QStringLiteral("Anna"), QStringLiteral("1950-03-03"), Kind::Huwelijk));
    table.appendRecord(record(QStringLiteral("Cor"), QStringLiteral("1960-03-20"), Kind::Overlijden));
    const ListDocument doc = BuildYearCalendar(table, header, YearMonthDay, sevenPixels, dutchMonth);

    QCOMPARE(doc.paragraphs[0].plainText(), QStringLiteral("\tBrolt - Brolt.dat, 2026-06-15"));
    QCOMPARE(doc.paragraphs[0].align, ListAlign::Right);
    QCOMPARE(doc.paragraphs[2].plainText(), QStringLiteral("Jaarkalender"));
    QCOMPARE(doc.paragraphs[2].runs[0].points, 30);
    QVERIFY(doc.paragraphs[2].runs[0].bold);

    const auto line = [](const QString& day, const QString& name, const QString& code, const QString& date) {
        return u'\t' + day + u'\t' + name + QStringLiteral("  ") + LeaderDots(name, 360, sevenPixels) +
               u'\t' + code + u'\t' + date;
    };
    const QStringList expected{
        QString(),
        QStringLiteral("\tfebruari"),
        QString(),
        line(QStringLiteral("01"), QStringLiteral("Bob"), QStringLiteral("g"), QStringLiteral("2001-02-01")),
        QString(),
        QStringLiteral("\tmaart"),
        QString(),
        line(QStringLiteral("03"), QStringLiteral("Anna"), QStringLiteral("h"), QStringLiteral("1950-03-03")),
        line(QStringLiteral("20"), QStringLiteral("Cor"), QStringLiteral("o"), QStringLiteral("1960-03-20"))};
    QCOMPARE(body(doc), expected);
    const ListParagraph& heading = doc.paragraphs[4];
    QCOMPARE(heading.align, ListAlign::Center);
    QCOMPARE(heading.runs[0].points, 20);
    QVERIFY(heading.runs[0].bold);
    QCOMPARE(heading.tabStops, (QList<int>{20, 40, 320, 330}));
    QCOMPARE(doc.paragraphs[6].align, ListAlign::Left);
    QCOMPARE(doc.paragraphs[6].runs[0].points, 12);
}

void TestListDocument::yearCalendarListsAnUnreadableDateAsStored() {
    RecordTable table;
    table.appendRecord(record(QStringLiteral("Bob"), QStringLiteral("2001-12-01")));
    table.appendRecord(record(QStringLiteral("Raar"), QStringLiteral("2001-1x-01")));
    const ListDocument doc = BuildYearCalendar(table, header, YearMonthDay, sevenPixels, dutchMonth);
    const QStringList lines = body(doc);
    QCOMPARE(lines.size(), 5);
    QCOMPARE(lines[1], QStringLiteral("\tdecember"));
    QCOMPARE(lines[4], QStringLiteral("\t\tRaar  ") + LeaderDots(QStringLiteral("Raar"), 360, sevenPixels) +
                           QStringLiteral("\tg\t2001-1x-01"));
}

void TestListDocument::allNamesLinesCarryTheAge() {
    SetShortDateFormat(NotationFormat(DayMonthYear));
    RecordTable table;
    table.appendRecord(record(QStringLiteral("Anna"), QStringLiteral("03-03-1950")));
    table.appendRecord(record(QStringLiteral("Klus"), QStringLiteral("03-04-2026"), Kind::TeDoen));
    table.appendRecord(record(QStringLiteral("Bram"), QStringLiteral("01-02-3000"), Kind::Feest));
    table.appendRecord(record(QStringLiteral("Cas"), QStringLiteral("01-01-2026"), Kind::Jubileum));
    table.appendRecord(record(QStringLiteral("Dirk"), QStringLiteral("01-01-2027")));
    const ListDocument doc = BuildAllNames(table, header, DayMonthYear, 2026, sevenPixels);

    QCOMPARE(doc.paragraphs[0].plainText(), QStringLiteral("Brolt - Brolt.dat, 2026-06-15"));
    QCOMPARE(doc.paragraphs[2].plainText(), QStringLiteral("Lijst met alle namen"));
    const auto line = [](const QString& name, const QString& code, const QString& date, const QString& age) {
        return QStringLiteral("     \t") + name + QStringLiteral("  ") + LeaderDots(name, 320, sevenPixels) +
               u'\t' + code + u'\t' + date + u'\t' + age;
    };
    const QStringList expected{
        QStringLiteral(" "),
        line(QStringLiteral("Anna"), QStringLiteral("g"), QStringLiteral("03-03-1950"),
             QStringLiteral("wordt   76")),
        line(QStringLiteral("Bram"), QStringLiteral("f"), QStringLiteral("01-02-3000"),
             QStringLiteral("onbekend")),
        line(QStringLiteral("Cas"), QStringLiteral("j"), QStringLiteral("01-01-2026"),
             QStringLiteral("wordt     0")),
        line(QStringLiteral("Dirk"), QStringLiteral("g"), QStringLiteral("01-01-2027"),
             QStringLiteral("wordt ")),
    };
    QCOMPARE(body(doc), expected);
    QCOMPARE(doc.paragraphs[4].tabStops, (QList<int>{20, 270, 280, 342}));
    // A shorter name gets more dots, so that the kind codes line up.
    QVERIFY(LeaderDots(QStringLiteral("Cas"), 320, sevenPixels).size() >
            LeaderDots(QStringLiteral("Anna"), 320, sevenPixels).size());
}

void TestListDocument::listsWithoutRecordsHoldOnlyTheHeader() {
    RecordTable table;
    QCOMPARE(BuildYearCalendar(table, header, YearMonthDay, sevenPixels, dutchMonth).paragraphs.size(), 3);
    QCOMPARE(BuildAllNames(table, header, YearMonthDay, 2026, sevenPixels).paragraphs.size(), 4);
}

void TestListDocument::rtfEscapesText_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("escaped");
    QTest::newRow("braces and backslash") << "a{b}c\\d" << QByteArray("a\\{b\\}c\\\\d");
    QTest::newRow("Latin-1 letters") << "Andr\u00e9 Bro\u00ebr Stra\u00dfe"
                                     << QByteArray("Andr\\'e9 Bro\\'ebr Stra\\'dfe");
    QTest::newRow("Windows-1252 above Latin-1")
        << "\u20ac 5 \u2013 \u0152" << QByteArray("\\'80 5 \\'96 \\'8c");
    QTest::newRow("Chinese") << "\u5f20\u4f1f" << QByteArray("\\u24352?\\u20255?");
    QTest::newRow("above 32767 is negative") << "\uff21" << QByteArray("\\u-223?");
    QTest::newRow("tab") << "a\tb" << QByteArray("a\\tab b");
    QTest::newRow("control characters dropped") << QStringLiteral("a\x01"
                                                                  "b")
                                                << QByteArray("ab");
}

void TestListDocument::rtfEscapesText() {
    QFETCH(QString, text);
    QFETCH(QByteArray, escaped);
    ListDocument doc;
    ListParagraph p;
    p.runs.append({text, 12, false});
    doc.paragraphs.append(p);
    const QByteArray rtf = WriteListRtf(doc);
    QVERIFY2(rtf.contains("{\\fs24\\b0 " + escaped + "}\\par"), rtf.constData());
    // Our own reader gives back the text, control characters aside.
    RtfDocument back;
    QVERIFY(ReadRtf(rtf, back));
    QString expected = text;
    expected.remove(QChar(1));
    QCOMPARE(back.paragraphs.size(), 1);
    QCOMPARE(back.paragraphs[0].plainText(), expected);
}

void TestListDocument::rtfCarriesSizesAlignmentAndTabStops() {
    RecordTable table;
    table.appendRecord(record(QStringLiteral("Bob"), QStringLiteral("2001-02-01")));
    const ListDocument doc = BuildYearCalendar(table, header, YearMonthDay, sevenPixels, dutchMonth);
    const QByteArray rtf = WriteListRtf(doc);
    QVERIFY(rtf.startsWith("{\\rtf1\\ansi\\ansicpg1252"));
    QVERIFY(rtf.contains("{\\fonttbl{\\f0\\fswiss\\fcharset0 Calibri{\\*\\falt Carlito};}}"));
    QVERIFY(rtf.contains("\\pard\\qc\\plain\\f0\\fs60\\b{\\fs60\\b Jaarkalender}\\par"));
    QVERIFY(rtf.contains(
        "\\pard\\qc\\tx400\\tx800\\tx6400\\tx6600\\plain\\f0\\fs40\\b{\\fs40\\b \\tab februari}\\par"));
    QVERIFY(rtf.contains(
        "\\pard\\ql\\tx400\\tx800\\tx6400\\tx6600\\plain\\f0\\fs24\\b0{\\fs24\\b0 \\tab 01\\tab Bob"));

    RtfDocument back;
    QVERIFY(ReadRtf(rtf, back));
    QCOMPARE(back.plainText(), doc.plainText());
    QCOMPARE(back.paragraphs[2].align, RtfAlign::Center);
    QCOMPARE(back.paragraphs[2].runs[0].halfPoints, 60);
    QVERIFY(back.paragraphs[2].runs[0].bold);
    QCOMPARE(back.paragraphs[0].align, RtfAlign::Right);
}

void TestListDocument::saveListFileWritesTempTmpRtf() {
    const QString folder = m_home->path() + QStringLiteral("/daten/");
    QDir().mkpath(folder);
    ListDocument doc;
    ListParagraph p;
    p.runs.append({QStringLiteral("Z\u00fcrich {1}"), 12, false});
    doc.paragraphs.append(p);
    QCOMPARE(SaveListFile(doc, folder), folder + QStringLiteral("Temp/Tmp.rtf"));
    QCOMPARE(ReadFileForTest(folder + QStringLiteral("Temp/Tmp.rtf")), WriteListRtf(doc));
    // Overwritten each time.
    doc.paragraphs[0].runs[0].text = QStringLiteral("kort");
    QCOMPARE(SaveListFile(doc, folder), folder + QStringLiteral("Temp/Tmp.rtf"));
    QCOMPARE(ReadFileForTest(folder + QStringLiteral("Temp/Tmp.rtf")), WriteListRtf(doc));
}

void TestListDocument::saveListFileFailsWhereTempCannotBeMade() {
    // A file where the data folder should be: no "Temp" can be made in it,
    // whoever runs the test.
    const QString blocker = m_home->path() + QStringLiteral("/blocker");
    WriteFileForTest(blocker, "x");
    QCOMPARE(SaveListFile(ListDocument(), blocker + u'/'), QString());
}

void TestListDocument::saveQuestion_data() {
    QTest::addColumn<bool>("saveEnabled");
    QTest::addColumn<bool>("answer");
    QTest::addColumn<bool>("asked");
    QTest::addColumn<bool>("saved");
    QTest::addColumn<bool>("markedAfter"); // the changes are still to be saved or dropped
    QTest::newRow("changes, yes") << true << true << true << true << false;
    QTest::newRow("changes, no") << true << false << true << false << true;
    QTest::newRow("no changes") << false << true << false << false << true;
}

void TestListDocument::saveQuestion() {
    QFETCH(bool, saveEnabled);
    QFETCH(bool, answer);
    QFETCH(bool, asked);
    QFETCH(bool, saved);
    QFETCH(bool, markedAfter);
    const QString folder = m_home->path() + QStringLiteral("/save/") + QTest::currentDataTag() + u'/';
    QDir().mkpath(folder);
    RecordTable table;
    table.appendRecord(record(QStringLiteral("Anna"), QStringLiteral("1950-03-03")));
    DataFile data(table);
    data.dataFolder = folder;
    data.painted = true;
    data.unsavedChanges = true;
    data.saveEnabled = saveEnabled;
    m_ui->nextAnswer(answer);

    AskSaveBeforeList(data, QStringLiteral("Brolt - Toon/Mail/Print Lijsten"), {});

    QCOMPARE(m_ui->questions.size(), asked ? 1 : 0);
    if (asked) {
        const FakeUi::Question& q = m_ui->questions[0];
        QCOMPARE(q.title, QStringLiteral("Brolt - Toon/Mail/Print Lijsten - Changes"));
        QCOMPARE(q.message, QStringLiteral("De verjaardaggegevens zijn gewijzigd. De wijzigingen bewaren?"));
        QCOMPARE(q.yes, QStringLiteral("Ja"));
        QCOMPARE(q.no, QStringLiteral("Nee"));
        QVERIFY(!q.cancelShown);
    }
    QCOMPARE(QFile::exists(folder + QStringLiteral("Brolt.dat")), saved);
    QCOMPARE(data.unsavedChanges, markedAfter);
    QCOMPARE(data.saveEnabled, markedAfter && saveEnabled);
}

void TestListDocument::saveThatFailsKeepsTheChangesMarked() {
    const QString blocker = m_home->path() + QStringLiteral("/notafolder");
    WriteFileForTest(blocker, "x");
    RecordTable table;
    table.appendRecord(record(QStringLiteral("Anna"), QStringLiteral("1950-03-03")));
    DataFile data(table);
    data.dataFolder = blocker + QStringLiteral("/");
    data.retryDelayMs = 0;
    data.painted = true;
    data.unsavedChanges = true;
    data.saveEnabled = true;
    m_ui->nextAnswer(true);
    AskSaveBeforeList(data, QStringLiteral("Brolt - Toon/Mail/Print Lijsten"), {});
    QVERIFY(data.unsavedChanges);
    QVERIFY(data.saveEnabled);
    QVERIFY(m_ui->messages.constLast().startsWith(QStringLiteral("De wijzigingen zijn NIET bewaard.\n")));
}

void TestListDocument::writerConvertsTheListToItsText() {
    const QString soffice = QStandardPaths::findExecutable(QStringLiteral("soffice"));
    if (soffice.isEmpty())
        QSKIP("LibreOffice is not installed");
    RecordTable table;
    table.appendRecord(record(QStringLiteral("Andr\u00e9 {de} Vries"), QStringLiteral("2001-02-01")));
    table.appendRecord(record(QStringLiteral("\u5f20\u4f1f"), QStringLiteral("1990-02-02")));
    const ListDocument doc = BuildYearCalendar(table, header, YearMonthDay, sevenPixels, dutchMonth);
    const QString folder = m_home->path() + QStringLiteral("/writer/");
    QDir().mkpath(folder);
    const QString file = SaveListFile(doc, folder);
    QProcess process;
    process.start(soffice,
                  {QStringLiteral("-env:UserInstallation=file://") + m_home->path() + QStringLiteral("/lo"),
                   QStringLiteral("--headless"), QStringLiteral("--convert-to"),
                   QStringLiteral("txt:Text (encoded):UTF8"), QStringLiteral("--outdir"), folder, file});
    QVERIFY(process.waitForFinished(120000));
    QString text = QString::fromUtf8(ReadFileForTest(folder + QStringLiteral("Tmp.txt")));
    text.remove(QChar(0xFEFF));
    text.replace(QStringLiteral("\r\n"), QStringLiteral("\n"));
    QCOMPARE(text.trimmed(), doc.plainText().trimmed());
}

QTEST_GUILESS_MAIN(TestListDocument)
#include "tst_listdocument.moc"
