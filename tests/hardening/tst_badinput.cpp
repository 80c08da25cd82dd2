#include "TestKit.h"
#include "kit/Clock.h"
#include "records/DataFile.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QDir>
#include <QFile>
#include <QTest>

// Every nasty data file is read, composed and saved without a crash, keeps
// every record it had, and a broken one says so.  Sorting and the two lists
// join this walk once they exist.
class TestBadInput : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void readComposeSave_data();
    void readComposeSave();
    void fiftyThousandLines();

private:
    QStringList names() const;
    TempHome* m_home = nullptr;
    RecordTable m_table;
};

void TestBadInput::initTestCase() {
    m_home = new TempHome;
    Clock::set(Noon(2026, 5, 10));
}

void TestBadInput::cleanupTestCase() {
    Clock::set({});
    delete m_home;
}

QStringList TestBadInput::names() const {
    QStringList out;
    for (int r = 1; r <= m_table.recordCount(); ++r)
        out << m_table.cell(r, Col::Name);
    return out;
}

void TestBadInput::readComposeSave_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<DataFile::ReadResult>("result");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QStringList>("notes"); // "first line|second line" of each note while composing
    QTest::addColumn<bool>("sameBytes");    // the save writes the file back byte for byte

    using R = DataFile::ReadResult;
    // Of the garbage, one line starts with a digit: a record with no name and no real date.
    QTest::newRow("binary") << "binary.dat" << R::Ok << QStringList{""}
                            << QStringList{"De naam \" heeft|geen geldige datum (7)…"} << false;
    QTest::newRow("20 bytes is too small")
        << "twenty-bytes.dat" << R::TooSmall << QStringList{} << QStringList{} << false;
    QTest::newRow("LF only; a last line without an ending is not read")
        << "no-cr.dat" << R::Ok << QStringList{"Anna", "Kees"} << QStringList{} << false;
    QTest::newRow("one line without an ending has no dates")
        << "one-line-no-ending.dat" << R::NotationFailed << QStringList{} << QStringList{} << false;
    QTest::newRow("13 fields keep the first nine")
        << "thirteen-fields.dat" << R::Ok << QStringList{"Anna", "Kees"} << QStringList{} << false;
    const QStringList accented{"José Müller", "Zoë Ågren", "Françoise €-teller", "Straße ñandú"};
    QTest::newRow("UTF-8 names") << "names-utf8.dat" << R::Ok << accented << QStringList{} << true;
    QTest::newRow("Windows-1252 names") << "names-cp1252.dat" << R::Ok << accented << QStringList{} << true;
    QTest::newRow("dates of every broken form")
        << "broken-dates.dat" << R::Ok << QStringList{"Anna geldig",      "Maand dertien",
                                                      "Dertig februari",  "Schrikkeldag zonder schrikkeljaar",
                                                      "Twee delen",       "Leeg deel",
                                                      "Vier delen",       "Schuine strepen",
                                                      "Nullen",           "Jaar te groot",
                                                      "Letter in de dag", "Spatie achter",
                                                      "Spaties ertussen", "Toekomst",
                                                      "Kees geldig",      "Morgen te doen"}
        << QStringList{"De datum (Toekomst - 3001-01-01) mag|niet in de toekomst liggen.",
                       "De naam \"Maand dertien heeft|geen geldige datum (1960-13-01)."}
        << true;
    QTest::newRow("a month that is no number is left out of the notation")
        << "unknown-notation.dat" << R::Ok << QStringList{"Anna", "Letter in de maand"}
        << QStringList{"De naam \"Letter in de maand heeft|geen geldige datum (1960-x5-12)."} << true;
    QTest::newRow("letters in day-first dates are reported once, the rest is read")
        << "letters-day-first.dat" << R::Ok
        << QStringList{"Anna", "Letters in de maand", "Maand in woorden", "Kees", "Feest"}
        << QStringList{"De naam \"Letters in de maand heeft|geen geldige datum (12-ab-1960)."} << true;
}

void TestBadInput::readComposeSave() {
    QFETCH(QString, file);
    QFETCH(DataFile::ReadResult, result);
    QFETCH(QStringList, records);
    QFETCH(QStringList, notes);
    QFETCH(bool, sameBytes);

    const QString folder = m_home->path() + u'/' + QTest::currentDataTag() + u'/';
    QDir(folder).removeRecursively();
    const QByteArray original = ReadFileForTest(QStringLiteral(BROLT_TEST_DATA "/bad/") + file);
    QVERIFY(!original.isEmpty());
    WriteFileForTest(folder + "Brolt.dat", original);

    FakeUi ui;
    DataFile data(m_table);
    data.dataFolder = folder;
    data.retryDelayMs = 0;
    QCOMPARE(data.read(folder, "Brolt", ".dat"), result);
    QCOMPARE(names(), records);
    if (result != DataFile::ReadResult::Ok)
        return;

    const QDate today = Clock::today();
    ComputeDerivedColumns(m_table, data.dateNotation, today);
    const Reminders reminders = ComposeReminders(m_table, data.dateNotation, WorkingSettings(), today);
    QStringList shown;
    for (const FakeUi::Note& note : ui.notes)
        shown << note.first + u'|' + note.second;
    // A note ending in "…" names a text too unwieldy to write out: its start is compared.
    for (int i = 0; i < qMin(shown.size(), notes.size()); ++i)
        if (notes[i].endsWith(u'…') && shown[i].startsWith(notes[i].chopped(1)))
            shown[i] = notes[i];
    QCOMPARE(shown, notes);
    for (const ReminderLine& line : reminders.lines)
        QVERIFY(line.row >= 1 && line.row <= m_table.recordCount());

    // The lines are those of the same records without the ones whose date is no date.
    RecordTable readable = m_table;
    for (int r = readable.recordCount(); r >= 1; --r)
        if (readable.cell(r, Col::DayOffset).isEmpty())
            readable.removeRow(r);
    ComputeDerivedColumns(readable, data.dateNotation, today);
    const Reminders without = ComposeReminders(readable, data.dateNotation, WorkingSettings(), today);
    QStringList texts, textsWithout;
    for (const ReminderLine& line : reminders.lines)
        texts << line.text;
    for (const ReminderLine& line : without.lines)
        textsWithout << line.text;
    QCOMPARE(texts, textsWithout);

    // Saved and read again, nothing is lost; the file read is kept as Brolt!.dat.
    data.painted = true;
    data.unsavedChanges = true;
    QVERIFY(data.save());
    if (sameBytes)
        QCOMPARE(ReadFileForTest(folder + "Brolt.dat"), original);
    QCOMPARE(ReadFileForTest(folder + "Brolt!.dat"), original);
    QCOMPARE(data.read(folder, "Brolt", ".dat"), DataFile::ReadResult::Ok);
    QCOMPARE(names(), records);
    for (int r = 1; r <= m_table.recordCount(); ++r)
        QCOMPARE(DataFile::recordLine(m_table.row(r)).count(u';'), 9);
}

void TestBadInput::fiftyThousandLines() {
    const int count = 50000;
    QByteArray bytes;
    bytes.reserve(count * 48);
    for (int i = 1; i <= count; ++i)
        bytes += QStringLiteral("%1-%2-%3;Persoon %4;Geboorte;;;;;;;\r\n")
                     .arg(1900 + i % 120)
                     .arg(1 + i % 12, 2, 10, QChar(u'0'))
                     .arg(1 + i % 28, 2, 10, QChar(u'0'))
                     .arg(i)
                     .toLatin1();
    const QString folder = m_home->path() + "/large/";
    WriteFileForTest(folder + "Brolt.dat", bytes);

    FakeUi ui;
    DataFile data(m_table);
    data.dataFolder = folder;
    data.retryDelayMs = 0;
    QCOMPARE(data.read(folder, "Brolt", ".dat"), DataFile::ReadResult::Ok);
    QCOMPARE(m_table.recordCount(), count);
    QCOMPARE(data.countText, QString("50000 namen gelezen."));
    ComputeDerivedColumns(m_table, data.dateNotation, Clock::today());
    const Reminders reminders =
        ComposeReminders(m_table, data.dateNotation, WorkingSettings(), Clock::today());
    QVERIFY(!reminders.lines.empty());
    QVERIFY(ui.notes.isEmpty());
    data.painted = true;
    data.unsavedChanges = true;
    QVERIFY(data.save());
    QCOMPARE(ReadFileForTest(folder + "Brolt.dat"), bytes);
    QCOMPARE(data.read(folder, "Brolt", ".dat"), DataFile::ReadResult::Ok);
    QCOMPARE(m_table.recordCount(), count);
    QCOMPARE(m_table.cell(count, Col::Name), QString("Persoon 50000"));
}

QTEST_GUILESS_MAIN(TestBadInput)
#include "tst_badinput.moc"
