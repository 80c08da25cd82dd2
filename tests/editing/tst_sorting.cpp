#include "TestKit.h"
#include "editing/Sorting.h"
#include "kit/Clock.h"
#include "records/Dates.h"

#include <QRandomGenerator>
#include <QTest>

#include <algorithm>

namespace {
RecordTable::Row record(const QString& name, const QString& date, const QString& kind = Kind::Geboorte) {
    RecordTable::Row row;
    row[Col::Name] = name;
    row[Col::Date] = date;
    row[Col::Kind] = kind;
    return row;
}

QStringList column(const RecordTable& table, int col) {
    QStringList out;
    for (int r = 1; r < table.rowCount(); ++r)
        out << table.cell(r, col);
    return out;
}
} // namespace

class TestSorting : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void compareCellText_data();
    void compareCellText();
    void sortByNameMovesWholeRows();
    void sortKeepsTheBlankRowLast();
    void sortAFilledLastRowKeepsItAndAddsABlankRow();
    void sortEmptyTable();
    void sortByAge();
    void largeTablesSortWithoutTrouble_data();
    void largeTablesSortWithoutTrouble();
    void dateSortKey_data();
    void dateSortKey();
    void sortByDateOrdersByDayOfYearAndDropsDateless();
    void sortByOptionChoosesTheColumn_data();
    void sortByOptionChoosesTheColumn();
    void rewriteDateText_data();
    void rewriteDateText();
    void validateDates_data();
    void validateDates();
    void kindTypeAhead_data();
    void kindTypeAhead();
    void cleanCellText_data();
    void cleanCellText();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestSorting::initTestCase() {
    m_home = std::make_unique<TempHome>();
    Clock::set(Noon(2025, 5, 12));
}

void TestSorting::compareCellText_data() {
    QTest::addColumn<QString>("a");
    QTest::addColumn<QString>("b");
    QTest::addColumn<int>("sign");
    QTest::newRow("letters without case") << "anna"
                                          << "ANNA" << 0;
    QTest::newRow("a before B") << "anna"
                                << "Bert" << -1;
    QTest::newRow("prefix first") << "Jan"
                                  << "Janssen" << -1;
    QTest::newRow("longer after") << "Janssen"
                                  << "Jan" << 1;
    QTest::newRow("empty first") << ""
                                 << "a" << -1;
    QTest::newRow("underscore after Z as upper case") << "_"
                                                      << "z" << 1;
    QTest::newRow("digit before letter") << "9"
                                         << "a" << -1;
    QTest::newRow("accented by code") << QString::fromUtf8("é") << "z" << 1;
    QTest::newRow("ages right-aligned") << "  9"
                                        << " 10" << -1;
}

void TestSorting::compareCellText() {
    QFETCH(QString, a);
    QFETCH(QString, b);
    QFETCH(int, sign);
    const int result = CompareCellText(a, b);
    QCOMPARE((result > 0) - (result < 0), sign);
}

void TestSorting::sortByNameMovesWholeRows() {
    RecordTable table;
    RecordTable::Row a = record("bert", "1960-01-01");
    a[Col::Mail] = "bert@example.org";
    a[Col::Country] = "NL";
    table.appendRecord(a);
    table.appendRecord(record("Anna", "1970-02-02", Kind::Huwelijk));
    table.appendRecord(record("Cees", "1980-03-03"));
    SortByColumn(table, Col::Name);
    QCOMPARE(column(table, Col::Name), QStringList({"Anna", "bert", "Cees", ""}));
    QCOMPARE(table.cell(1, Col::Kind), Kind::Huwelijk);
    QCOMPARE(table.cell(2, Col::Mail), QString("bert@example.org"));
    QCOMPARE(table.cell(2, Col::Country), QString("NL"));
    QCOMPARE(table.cell(0, Col::Name), QString("Naam"));
}

void TestSorting::sortKeepsTheBlankRowLast() {
    RecordTable table;
    table.appendRecord(record("Zoe", "1990-01-01"));
    table.appendRecord(record("", "1991-01-01")); // a record without a name sorts first
    SortByColumn(table, Col::Name);
    QCOMPARE(table.rowCount(), 4);
    QCOMPARE(column(table, Col::Name), QStringList({"", "Zoe", ""}));
    QCOMPARE(table.cell(1, Col::Date), QString("1991-01-01"));
    QVERIFY(RecordTable::isRowEmpty(table.row(3)));
}

void TestSorting::sortAFilledLastRowKeepsItAndAddsABlankRow() {
    RecordTable table;
    table.appendRecord(record("Zoe", "1990-01-01"));
    table.setCell(table.rowCount() - 1, Col::Name, "Anna"); // typed into the blank row
    SortByColumn(table, Col::Name);
    QCOMPARE(column(table, Col::Name), QStringList({"Anna", "Zoe", ""}));
    QVERIFY(RecordTable::isRowEmpty(table.row(table.rowCount() - 1)));
}

void TestSorting::sortEmptyTable() {
    RecordTable table;
    SortByColumn(table, Col::Name);
    QCOMPARE(table.rowCount(), 2);
    SortByDate(table, YearMonthDay);
    QCOMPARE(table.rowCount(), 2);
    QVERIFY(RecordTable::isRowEmpty(table.row(1)));
}

void TestSorting::sortByAge() {
    RecordTable table;
    const char* ages[] = {" 65", "  7", "102", " 30"};
    for (int i = 0; i < 4; ++i) {
        RecordTable::Row r = record(QString("P%1").arg(i), "1960-01-01");
        r[Col::Age] = QLatin1String(ages[i]);
        table.appendRecord(r);
    }
    SortByColumn(table, Col::Age);
    QCOMPARE(column(table, Col::Name), QStringList({"P1", "P3", "P0", "P2", ""}));
}

void TestSorting::largeTablesSortWithoutTrouble_data() {
    QTest::addColumn<QString>("shape");
    QTest::newRow("sorted") << "sorted";
    QTest::newRow("reversed") << "reversed";
    QTest::newRow("all equal") << "equal";
    QTest::newRow("organ pipe") << "pipe";
    QTest::newRow("random with duplicates") << "random";
    QTest::newRow("two values alternating") << "alternate";
}

void TestSorting::largeTablesSortWithoutTrouble() {
    QFETCH(QString, shape);
    const int n = 10000;
    RecordTable table;
    QRandomGenerator random(42);
    for (int i = 0; i < n; ++i) {
        int key = i;
        if (shape == "reversed")
            key = n - i;
        else if (shape == "equal")
            key = 7;
        else if (shape == "pipe")
            key = i < n / 2 ? i : n - i;
        else if (shape == "random")
            key = random.bounded(500);
        else if (shape == "alternate")
            key = i % 2;
        RecordTable::Row r = record(QString::number(key).rightJustified(6, u'0'), "2000-01-01");
        r[Col::Mail] = QString::number(i); // identifies the row
        table.appendRecord(r);
    }
    SortByColumn(table, Col::Name);
    QCOMPARE(table.recordCount(), n);
    QStringList ids;
    for (int r = 1; r <= n; ++r) {
        if (r > 1)
            QVERIFY(CompareCellText(table.cell(r - 1, Col::Name), table.cell(r, Col::Name)) <= 0);
        ids << table.cell(r, Col::Mail);
    }
    // Every row is still there once.
    std::sort(ids.begin(), ids.end());
    QCOMPARE(std::unique(ids.begin(), ids.end()) - ids.begin(), n);
}

void TestSorting::dateSortKey_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("notation");
    QTest::addColumn<QDate>("dayOfKey");
    QTest::newRow("1 January") << "01-01-2000" << int(DayMonthYear) << QDate(3004, 1, 1);
    QTest::newRow("31 December") << "31-12-1950" << int(DayMonthYear) << QDate(3004, 12, 31);
    QTest::newRow("29 Feb of a leap year") << "1960-02-29" << int(YearMonthDay) << QDate(3004, 2, 29);
    QTest::newRow("29 Feb of another year is 1 March")
        << "1961-02-29" << int(YearMonthDay) << QDate(3004, 3, 1);
    QTest::newRow("month first") << "03-15-1960" << int(MonthDayYear) << QDate(3004, 3, 15);
    QTest::newRow("unreadable is 30 December") << "abc" << int(YearMonthDay) << QDate(3004, 12, 30);
}

void TestSorting::dateSortKey() {
    QFETCH(QString, date);
    QFETCH(int, notation);
    QFETCH(QDate, dayOfKey);
    const QString key = DateSortKey(date, notation);
    QCOMPARE(key, QString::number(DayNumberOf(dayOfKey)));
    QCOMPARE(key.size(), 6);
}

void TestSorting::sortByDateOrdersByDayOfYearAndDropsDateless() {
    RecordTable table;
    table.appendRecord(record("December", "31-12-1950"));
    table.appendRecord(record("Zonder datum", "   "));
    table.appendRecord(record("January", "01-01-2000"));
    table.appendRecord(record("  ", "05-05-1980")); // no name
    table.appendRecord(record("June", "15-06-1930"));
    SortByDate(table, DayMonthYear);
    QCOMPARE(column(table, Col::Name), QStringList({"January", "June", "December", ""}));
    QCOMPARE(table.cell(3, Col::DayOfYearKey), QString::number(DayNumberOf(QDate(3004, 12, 31))));
}

void TestSorting::sortByOptionChoosesTheColumn_data() {
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("by name") << 0 << QStringList({"Anna", "Bert", "Cees", ""});
    QTest::newRow("by date") << 1 << QStringList({"Cees", "Anna", "Bert", ""});
    QTest::newRow("by age") << 2 << QStringList({"Bert", "Cees", "Anna", ""});
}

void TestSorting::sortByOptionChoosesTheColumn() {
    QFETCH(int, order);
    QFETCH(QStringList, names);
    RecordTable table;
    RecordTable::Row a = record("Anna", "1960-05-01"), b = record("Bert", "2000-07-01"),
                     c = record("Cees", "1990-02-01");
    a[Col::Age] = " 65";
    b[Col::Age] = " 24";
    c[Col::Age] = " 35";
    table.appendRecord(b);
    table.appendRecord(a);
    table.appendRecord(c);
    SortByOption(table, order, YearMonthDay);
    QCOMPARE(column(table, Col::Name), names);
}

void TestSorting::rewriteDateText_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("rewritten");
    QTest::newRow("short parts") << "1-2-1960"
                                 << "01-02-1960";
    QTest::newRow("equals signs") << "1=2=1960"
                                  << "01-02-1960";
    QTest::newRow("mixed") << "1960=5-3"
                           << "1960-05-03";
    QTest::newRow("a third = stays") << "1=2=19=60"
                                     << "01-02-19=60";
    QTest::newRow("already long") << "31-02-2000"
                                  << "31-02-2000";
    QTest::newRow("long year kept") << "99999-1-1"
                                    << "99999-01-01";
    QTest::newRow("a word") << "abc"
                            << "0-0-0";
    QTest::newRow("two parts only") << "12-5"
                                    << "12-0-0";
    QTest::newRow("empty parts") << "--"
                                 << "0-0-0";
}

void TestSorting::rewriteDateText() {
    QFETCH(QString, typed);
    QFETCH(QString, rewritten);
    QCOMPARE(RewriteDateText(typed), rewritten);
}

void TestSorting::validateDates_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    // Today is 12 May 2025.
    QTest::newRow("a good date") << "1960-05-12" << Kind::Geboorte << ""
                                 << "";
    QTest::newRow("today") << "2025-05-12" << Kind::Geboorte << ""
                           << "";
    QTest::newRow("tomorrow") << "2025-05-13" << Kind::Geboorte
                              << "Piet heeft geen geldige datum (2025-05-13)."
                              << "De datum mag niet in de toekomst liggen.";
    QTest::newRow("tomorrow, to do") << "2025-05-13" << Kind::TeDoen << ""
                                     << "";
    QTest::newRow("unknown year 3000") << "3000-05-13" << Kind::Geboorte << ""
                                       << "";
    QTest::newRow("unreadable") << "31-02" << Kind::Geboorte << "Piet heeft"
                                << "geen geldige datum (31-02).";
    QTest::newRow("no real day") << "2000-02-31" << Kind::Feest << "Piet heeft"
                                 << "geen geldige datum (2000-02-31).";
    QTest::newRow("empty") << "" << Kind::Feest << "Piet heeft"
                           << "geen geldige datum ().";
}

void TestSorting::validateDates() {
    QFETCH(QString, date);
    QFETCH(QString, kind);
    QFETCH(QString, first);
    QFETCH(QString, second);
    RecordTable table;
    table.appendRecord(record("Anna", "1960-01-01"));
    table.appendRecord(record("Piet", date, kind));
    table.appendRecord(record("Later", "9999-99-99")); // never reached after a report
    const DateReport report = ValidateDates(table, YearMonthDay, Clock::today());
    if (first.isEmpty()) {
        QVERIFY(!report.ok);
        QCOMPARE(report.row, 3);
        QCOMPARE(report.firstLine, QString("Later heeft"));
    } else {
        QVERIFY(!report.ok);
        QCOMPARE(report.row, 2);
        QCOMPARE(report.firstLine, first);
        QCOMPARE(report.secondLine, second);
    }
}

void TestSorting::kindTypeAhead_data() {
    QTest::addColumn<QString>("keys");
    QTest::addColumn<QString>("word"); // the word after the last key that changed it
    QTest::addColumn<QString>("counted");
    // Row name, keys, word, letters that counted.
    const char* const rows[][4] = {
        {"F", "F", "Feest", "F"},
        {"g, lower case", "g", "Geboorte", "g"},
        {"H", "H", "Huwelijk", "H"},
        {"J", "J", "Jubileum", "J"},
        {"O", "O", "Overlijden", "O"},
        {"T is Te doen", "T", "Te doen", "T"},
        {"the whole word", "Geboorte", "Geboorte", "Geboorte"},
        {"the whole word with its space", "te doen", "Te doen", "te doen"},
        {"the start of a word", "Over", "Overlijden", "Over"},
        {"no letter is added", "Geboortex", "Geboorte", "Geboorte"},
        {"a later first letter chooses nothing", "Go", "Geboorte", "G"},
        {"a letter that starts no word", "x", "", ""},
        {"then one that does", "xH", "Huwelijk", "H"},
        {"a digit", "1", "", ""},
    };
    for (const auto& row : rows)
        QTest::newRow(row[0]) << QString(row[1]) << QString(row[2]) << QString(row[3]);
}

void TestSorting::kindTypeAhead() {
    QFETCH(QString, keys);
    QFETCH(QString, word);
    QFETCH(QString, counted);
    QString typed, chosen;
    for (const QChar key : keys) {
        const QString next = KindTypeAhead(typed, key);
        if (!next.isEmpty())
            chosen = next;
    }
    QCOMPARE(chosen, word);
    QCOMPARE(typed, counted);
}

void TestSorting::cleanCellText_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("semicolon") << "Jan;Piet"
                               << "Jan,Piet";
    QTest::newRow("line breaks") << "Jan\r\nPiet\n"
                                 << "JanPiet";
    QTest::newRow("plain") << "Anna (oma)"
                           << "Anna (oma)";
}

void TestSorting::cleanCellText() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    QCOMPARE(CleanCellText(typed), kept);
}

QTEST_GUILESS_MAIN(TestSorting)
#include "tst_sorting.moc"
