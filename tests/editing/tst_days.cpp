#include "TestKit.h"
#include "editing/Days.h"

#include <QTest>

class TestDays : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_home = std::make_unique<TempHome>(); }

    void weekOfYear_data();
    void weekOfYear();
    void weekOfYearDiffersFromIsoOnlyInLateDecember();
    void quarter_data();
    void quarter();
    void monthStep_data();
    void monthStep();
    void yearStep_data();
    void yearStep();
    void timeFieldsClamp_data();
    void timeFieldsClamp();
    void monthGridCells_data();
    void monthGridCells();
    void formatShort_data();
    void formatShort();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestDays::weekOfYear_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<int>("week");
    QTest::newRow("1 Jan 2021, a Friday") << QDate(2021, 1, 1) << 53;
    QTest::newRow("1 Jan 2022, a Saturday") << QDate(2022, 1, 1) << 52;
    QTest::newRow("1 Jan 2023, a Sunday") << QDate(2023, 1, 1) << 52;
    QTest::newRow("2 Jan 2023, the Monday after") << QDate(2023, 1, 2) << 1;
    QTest::newRow("1 Jan 2026, a Thursday") << QDate(2026, 1, 1) << 1;
    QTest::newRow("31 Dec 2020, a Thursday") << QDate(2020, 12, 31) << 53;
    QTest::newRow("31 Dec 2024, a Tuesday: not week 1") << QDate(2024, 12, 31) << 53;
    QTest::newRow("30 Dec 2024, a Monday: not week 1") << QDate(2024, 12, 30) << 53;
    QTest::newRow("29 Dec 2024, a Sunday") << QDate(2024, 12, 29) << 52;
    QTest::newRow("15 Mar 1960") << QDate(1960, 3, 15) << 11;
}

void TestDays::weekOfYear() {
    QFETCH(QDate, date);
    QFETCH(int, week);
    QCOMPARE(WeekOfYear(date), week);
}

void TestDays::weekOfYearDiffersFromIsoOnlyInLateDecember() {
    int differences = 0;
    for (QDate d(1900, 1, 1); d <= QDate(2100, 12, 31); d = d.addDays(1)) {
        const int iso = d.weekNumber();
        const int ours = WeekOfYear(d);
        if (ours == iso)
            continue;
        ++differences;
        // Only the days that ISO counts as week 1 of the next year.
        if (d.month() != 12 || iso != 1 || ours != 53)
            QFAIL(qPrintable(
                QStringLiteral("%1: ours %2, ISO %3").arg(d.toString(Qt::ISODate)).arg(ours).arg(iso)));
    }
    // Some Decembers end on a Monday to Wednesday; there must be such days.
    QVERIFY(differences > 100);
}

void TestDays::quarter_data() {
    QTest::addColumn<int>("month");
    QTest::addColumn<int>("quarter");
    const int quarters[12] = {1, 1, 1, 2, 2, 2, 3, 3, 3, 4, 4, 4};
    for (int m = 1; m <= 12; ++m)
        QTest::addRow("month %d", m) << m << quarters[m - 1];
}

void TestDays::quarter() {
    QFETCH(int, month);
    QFETCH(int, quarter);
    QCOMPARE(QuarterOf(month), quarter);
}

void TestDays::monthStep_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("step");
    QTest::addColumn<QDate>("to");
    QTest::newRow("31 Jan up in a leap year") << QDate(2024, 1, 31) << 1 << QDate(2024, 2, 29);
    QTest::newRow("31 Jan up in 2025") << QDate(2025, 1, 31) << 1 << QDate(2025, 2, 28);
    QTest::newRow("31 Mar down") << QDate(2025, 3, 31) << -1 << QDate(2025, 2, 28);
    QTest::newRow("31 May up") << QDate(2025, 5, 31) << 1 << QDate(2025, 6, 30);
    QTest::newRow("15 Dec up crosses the year") << QDate(2025, 12, 15) << 1 << QDate(2026, 1, 15);
    QTest::newRow("15 Jan down crosses the year") << QDate(2025, 1, 15) << -1 << QDate(2024, 12, 15);
}

void TestDays::monthStep() {
    QFETCH(QDate, from);
    QFETCH(int, step);
    QFETCH(QDate, to);
    QCOMPARE(StepMonth(from, step), to);
}

void TestDays::yearStep_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<int>("step");
    QTest::addColumn<QDate>("to");
    QTest::newRow("29 Feb 2024 up") << QDate(2024, 2, 29) << 1 << QDate(2025, 2, 28);
    QTest::newRow("29 Feb 2024 down") << QDate(2024, 2, 29) << -1 << QDate(2023, 2, 28);
    QTest::newRow("28 Feb 2023 up stays 28") << QDate(2023, 2, 28) << 1 << QDate(2024, 2, 28);
    QTest::newRow("15 Mar 1960 up") << QDate(1960, 3, 15) << 1 << QDate(1961, 3, 15);
}

void TestDays::yearStep() {
    QFETCH(QDate, from);
    QFETCH(int, step);
    QFETCH(QDate, to);
    QCOMPARE(StepYear(from, step), to);
}

void TestDays::timeFieldsClamp_data() {
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("maximum");
    QTest::addColumn<int>("result");
    QTest::newRow("hour 30") << 30 << 23 << 23;
    QTest::newRow("hour 23") << 23 << 23 << 23;
    QTest::newRow("minute 75") << 75 << 59 << 59;
    QTest::newRow("second 0") << 0 << 59 << 0;
    QTest::newRow("below 0") << -4 << 59 << 0;
}

void TestDays::timeFieldsClamp() {
    QFETCH(int, value);
    QFETCH(int, maximum);
    QFETCH(int, result);
    QCOMPARE(ClampTimeField(value, maximum), result);
}

void TestDays::monthGridCells_data() {
    QTest::addColumn<QDate>("month");
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<QDate>("date");
    // March 2025 starts on a Saturday: column 6 of row 1.
    QTest::newRow("before the first is empty") << QDate(2025, 3, 10) << 1 << 5 << QDate();
    QTest::newRow("first of March 2025") << QDate(2025, 3, 10) << 1 << 6 << QDate(2025, 3, 1);
    QTest::newRow("Sunday 2 March") << QDate(2025, 3, 10) << 2 << 0 << QDate(2025, 3, 2);
    QTest::newRow("31 March on row 6") << QDate(2025, 3, 10) << 6 << 1 << QDate(2025, 3, 31);
    QTest::newRow("after the last is empty") << QDate(2025, 3, 10) << 6 << 2 << QDate();
    QTest::newRow("day names row") << QDate(2025, 3, 10) << 0 << 3 << QDate();
    // June 2025 starts on a Sunday: column 0.
    QTest::newRow("first of June 2025") << QDate(2025, 6, 20) << 1 << 0 << QDate(2025, 6, 1);
}

void TestDays::monthGridCells() {
    QFETCH(QDate, month);
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(QDate, date);
    QCOMPARE(DateOfGridCell(month, row, column), date);
    if (date.isValid()) {
        int r = -1, c = -1;
        GridCellOfDate(date, r, c);
        QCOMPARE(r, row);
        QCOMPARE(c, column);
    }
}

void TestDays::formatShort_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::newRow("year first") << "yyyy-mm-dd"
                                << "1960-03-05";
    QTest::newRow("month first") << "mm-dd-yyyy"
                                 << "03-05-1960";
    QTest::newRow("day first") << "dd-mm-yyyy"
                               << "05-03-1960";
}

void TestDays::formatShort() {
    QFETCH(QString, format);
    QFETCH(QString, text);
    QCOMPARE(FormatDateShort(QDate(1960, 3, 5), format), text);
}

QTEST_GUILESS_MAIN(TestDays)
#include "tst_days.moc"
