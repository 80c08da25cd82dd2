#include "kit/Clock.h"
#include "records/Dates.h"

#include <QTest>

class TestDates : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { SetShortDateFormat("yyyy-mm-dd"); }
    void detectNotation_data();
    void detectNotation();
    void detectNotationFails_data();
    void detectNotationFails();
    void normaliseDate_data();
    void normaliseDate();
    void leapYears_data();
    void leapYears();
    void yearsBetween_data();
    void yearsBetween();
    void parseDate_data();
    void parseDate();
    void parseDateText_data();
    void parseDateText();
    void numberFormatting();
    void cellsRightAligned_data();
    void julianDaysWithoutACalendar();
    void textLines_data();
    void textLines();
    void cellsRightAligned();
    void dayNumbers();
};

void TestDates::detectNotation_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("notation");
    QTest::newRow("year first") << "1960-05-12;Anna;Geboorte;\r\n1982-11-03;Kees;;\r\n" << 0;
    QTest::newRow("day first meant, month first read") << "12-05-1960;Anna;\r\n03-11-1982;Kees;\r\n" << 1;
    QTest::newRow("day first") << "25-05-1960;Anna;\r\n03-11-1982;Kees;\r\n" << 2;
    QTest::newRow("equal averages read month first") << "05-05-1960;Anna;\r\n" << 1;
    QTest::newRow("title line pulls both averages down")
        << "Datum;Naam;Soort;\r\n1960-05-12;Anna;\r\n1990-01-01;Kees;\r\n"
        << 0;
    QTest::newRow("title line alone with a day-first date") << "Datum;Naam;\r\n25-05-1960;Anna;\r\n" << 2;
    QTest::newRow("equals signs count as separators") << "25=05=1960;Anna;\r\n" << 2;
    QTest::newRow("only the first two equals signs count") << "05=25=19=60;Anna;\r\n" << 1;
    QTest::newRow("an equals sign after a dash") << "25-05=1960;Anna;\r\n" << 2;
    QTest::newRow("space after a ten-character date") << "25-05-1960 Anna\r\n" << 2;
    QTest::newRow("lines without a separator are dropped") << "Brolt gegevens\r\n1960-05-12;Anna;\r\n" << 0;
    QTest::newRow("LF alone ends a line") << "25-05-1960;Anna;\n" << 2;
    QTest::newRow("last line without an ending is not counted")
        << "1960-05-12;Anna;\r\n25-05-1960;Kees;" << 0;
    QTest::newRow("only two parts: the second is empty") << "1960-05;Anna;\r\n" << 0;
    QTest::newRow("a date with letters is left out")
        << "1960-0x-12;Piet;\r\n3-mei-1950;Jan;\r\n25-05-1960;Anna;\r\n03-11-1982;Kees;\r\n"
        << 2;
}

void TestDates::detectNotation() {
    QFETCH(QString, text);
    QFETCH(int, notation);
    QCOMPARE(DetectDateNotation(text), notation);
}

void TestDates::detectNotationFails_data() {
    QTest::addColumn<QString>("text");
    QTest::newRow("empty") << "";
    QTest::newRow("no line ending") << "1960-05-12;Anna;";
    QTest::newRow("letters in the first part") << "ab-05-1960;Anna;\r\n";
    QTest::newRow("letters in the second part") << "12-mei-1960;Anna;\r\n";
    QTest::newRow("no first field anywhere") << ";Anna;\r\n\r\n";
    QTest::newRow("letters between equals signs") << "1=x=1960;Anna;\r\n";
}

void TestDates::detectNotationFails() {
    QFETCH(QString, text);
    QVERIFY_THROWS_EXCEPTION(DateError, DetectDateNotation(text));
}

void TestDates::normaliseDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("notation");
    QTest::addColumn<QString>("expected");
    QTest::newRow("29 Feb 1961 day first") << "29-02-1961" << 2 << "01-03-1961";
    QTest::newRow("29 Feb 2000 stays") << "29-02-2000" << 2 << "29-02-2000";
    QTest::newRow("29 Feb 1900 moves") << "29-02-1900" << 2 << "01-03-1900";
    QTest::newRow("29 Feb month first") << "02-29-1961" << 1 << "03-01-1961";
    QTest::newRow("29 Feb year first") << "1961-02-29" << 0 << "1961-03-01";
    QTest::newRow("two digits added") << "1960-5-7" << 0 << "1960-05-07";
    QTest::newRow("short day-first") << "1-2-60" << 2 << "01-02-60";
    QTest::newRow("leading zeros of the year go") << "0960-05-07" << 0 << "960-05-07";
    QTest::newRow("letters unchanged") << "abc" << 0 << "abc";
}

void TestDates::normaliseDate() {
    QFETCH(QString, text);
    QFETCH(int, notation);
    QFETCH(QString, expected);
    QCOMPARE(NormaliseDate(text, notation), expected);
}

void TestDates::leapYears_data() {
    QTest::addColumn<int>("year");
    QTest::addColumn<bool>("leap");
    QTest::newRow("1900") << 1900 << false;
    QTest::newRow("2000") << 2000 << true;
    QTest::newRow("2024") << 2024 << true;
    QTest::newRow("2026") << 2026 << false;
    QTest::newRow("3000") << 3000 << false;
}

void TestDates::leapYears() {
    QFETCH(int, year);
    QFETCH(bool, leap);
    QCOMPARE(IsLeapYear(year), leap);
}

void TestDates::yearsBetween_data() {
    QTest::addColumn<QDate>("from");
    QTest::addColumn<QDate>("to");
    QTest::addColumn<int>("years");
    const QDate leapDay(1960, 2, 29);
    QTest::newRow("to 28 Feb 2025") << leapDay << QDate(2025, 2, 28) << 64;
    QTest::newRow("to 1 Mar 2025") << leapDay << QDate(2025, 3, 1) << 65;
    QTest::newRow("to 29 Feb 2024") << leapDay << QDate(2024, 2, 29) << 64;
    QTest::newRow("to 28 Feb 2024") << leapDay << QDate(2024, 2, 28) << 63;
    QTest::newRow("day before birthday") << QDate(1960, 5, 12) << QDate(2026, 5, 11) << 65;
    QTest::newRow("on the birthday") << QDate(1960, 5, 12) << QDate(2026, 5, 12) << 66;
    QTest::newRow("same day") << QDate(2026, 5, 12) << QDate(2026, 5, 12) << 0;
    QTest::newRow("less than a year back") << QDate(2026, 5, 12) << QDate(2026, 1, 1) << -1;
    QTest::newRow("a year back") << QDate(2027, 5, 12) << QDate(2026, 5, 12) << -1;
    QTest::newRow("unknown year") << QDate(3000, 5, 12) << QDate(2026, 5, 12) << -974;
}

void TestDates::yearsBetween() {
    QFETCH(QDate, from);
    QFETCH(QDate, to);
    QFETCH(int, years);
    QCOMPARE(YearsBetween(from, to), years);
    QCOMPARE(YearsBetween(DayNumberOf(from), DayNumberOf(to)), years);
}

void TestDates::parseDate_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("notation");
    QTest::addColumn<QDate>("expected");
    QTest::newRow("year first") << "1960-05-12" << 0 << QDate(1960, 5, 12);
    QTest::newRow("month first") << "05-12-1960" << 1 << QDate(1960, 5, 12);
    QTest::newRow("day first") << "12-05-1960" << 2 << QDate(1960, 5, 12);
    QTest::newRow("short parts") << "1-2-1960" << 2 << QDate(1960, 2, 1);
    // Two-digit years fall within fifty years of today (8 December 2026).
    QTest::newRow("two-digit year 60") << "1-2-60" << 2 << QDate(2060, 2, 1);
    QTest::newRow("two-digit year 77") << "1-2-77" << 2 << QDate(1977, 2, 1);
    QTest::newRow("two-digit year 76") << "1-2-76" << 2 << QDate(2076, 2, 1);
    QTest::newRow("30 February") << "2024-02-30" << 0 << QDate();
    QTest::newRow("29 February of a non-leap year") << "2023-02-29" << 0 << QDate();
    QTest::newRow("month 13") << "1960-13-01" << 0 << QDate();
    QTest::newRow("letters") << "abc" << 0 << QDate();
    QTest::newRow("year 0") << "0000-05-12" << 0 << QDate();
    QTest::newRow("year 9999") << "9999-12-31" << 0 << QDate(9999, 12, 31);
    QTest::newRow("unknown year") << "3000-01-01" << 0 << QDate(3000, 1, 1);
    QTest::newRow("empty part") << "1960--12" << 0 << QDate();
    QTest::newRow("four parts") << "1960-05-12-1" << 0 << QDate();
}

void TestDates::parseDate() {
    QFETCH(QString, text);
    QFETCH(int, notation);
    QFETCH(QDate, expected);
    Clock::set(QDateTime(QDate(2026, 12, 8), QTime(9, 0)));
    QCOMPARE(ParseDate(text, notation), expected);
    Clock::set({});
}

void TestDates::parseDateText_data() {
    QTest::addColumn<QString>("format");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QDate>("expected"); // invalid: throws
    QTest::newRow("numeric") << "dd-mm-yyyy"
                             << "12-05-1960" << QDate(1960, 5, 12);
    QTest::newRow("English month") << "dd-mmm-yyyy"
                                   << "12-may-1960" << QDate(1960, 5, 12);
    QTest::newRow("Dutch month") << "dd-mmm-yyyy"
                                 << "12-mei-1960" << QDate(1960, 5, 12);
    QTest::newRow("capital month") << "dd-mmm-yyyy"
                                   << "03-OKT-1982" << QDate(1982, 10, 3);
    QTest::newRow("Dutch March") << "dd-mmm-yyyy"
                                 << "01-mrt-2000" << QDate(2000, 3, 1);
    QTest::newRow("numeric bad") << "dd-mm-yyyy"
                                 << "32-05-1960" << QDate();
    QTest::newRow("month name bad day") << "dd-mmm-yyyy"
                                        << "32-mei-1960" << QDate();
}

void TestDates::parseDateText() {
    QFETCH(QString, format);
    QFETCH(QString, text);
    QFETCH(QDate, expected);
    SetShortDateFormat(format);
    if (expected.isValid()) {
        QCOMPARE(ParseDateText(text), expected);
    } else {
        try {
            ParseDateText(text);
            QFAIL("no error");
        } catch (const DateError& e) {
            QCOMPARE(e.message(), text + " heeft geen geldig datumformaat");
        }
    }
    QCOMPARE(ShortDateFormat(), format);
}

void TestDates::cellsRightAligned_data() {
    QTest::addColumn<qlonglong>("n");
    QTest::addColumn<int>("width");
    QTest::addColumn<QString>("text");
    // Ages and day offsets share their strings inside a range; the edges of
    // those ranges and the values beyond them must read the same.
    QTest::newRow("age 0") << 0LL << 3 << "  0";
    QTest::newRow("age 199") << 199LL << 3 << "199";
    QTest::newRow("age 200") << 200LL << 3 << "200";
    QTest::newRow("age 1000") << 1000LL << 3 << "1000";
    QTest::newRow("age -1") << -1LL << 3 << " -1";
    QTest::newRow("offset -400") << -400LL << 5 << " -400";
    QTest::newRow("offset -401") << -401LL << 5 << " -401";
    QTest::newRow("offset 400") << 400LL << 5 << "  400";
    QTest::newRow("offset 401") << 401LL << 5 << "  401";
    QTest::newRow("offset 0") << 0LL << 5 << "    0";
    QTest::newRow("day number") << 46152LL << 0 << "46152";
    QTest::newRow("width 4 is not shared") << 7LL << 4 << "   7";
}

void TestDates::cellsRightAligned() {
    QFETCH(qlonglong, n);
    QFETCH(int, width);
    QFETCH(QString, text);
    QString first = QStringLiteral("old text");
    QString second;
    SetRightAligned(first, n, width);
    SetRightAligned(second, n, width);
    QCOMPARE(first, text);
    QCOMPARE(second, text);
    // Changing one cell never changes another that holds the same number.
    first[0] = u'x';
    first.append(u'!');
    QCOMPARE(second, text);
    SetRightAligned(first, n, width);
    QCOMPARE(first, text);
    QCOMPARE(RightAligned(n, width), text);
}

void TestDates::julianDaysWithoutACalendar() {
    // Every day of the years around the calendar's turns and today, and the
    // first and last day of every year a record can hold.
    for (const int year :
         {1, 2, 99, 100, 400, 1582, 1600, 1700, 1899, 1900, 2000, 2024, 2025, 2100, 3000, 9999}) {
        for (QDate d(year, 1, 1); d.isValid() && d.year() == year; d = d.addDays(1))
            QCOMPARE(JulianDayOfParts(d.year(), d.month(), d.day()), d.toJulianDay());
    }
    for (int year = 1; year <= 9999; ++year) {
        QCOMPARE(JulianDayOfParts(year, 1, 1), QDate(year, 1, 1).toJulianDay());
        QCOMPARE(JulianDayOfParts(year, 12, 31), QDate(year, 12, 31).toJulianDay());
    }
    QCOMPARE(DayNumberOfParts(1899, 12, 30), 0);
    QCOMPARE(DayNumberOfParts(2026, 5, 12), DayNumberOf(QDate(2026, 5, 12)));
}

void TestDates::textLines_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("lines");
    QTest::newRow("CR LF") << "a\r\nbb\r\n" << QStringList{"a", "bb"};
    QTest::newRow("LF only") << "a\nbb\n" << QStringList{"a", "bb"};
    QTest::newRow("CR only") << "a\rbb\r" << QStringList{"a", "bb"};
    QTest::newRow("mixed") << "a\rb\nc\r\nd\n\re\r" << QStringList{"a", "b", "c", "d", "", "e"};
    QTest::newRow("LF CR is two endings") << "a\n\rb\n" << QStringList{"a", "", "b"};
    QTest::newRow("empty lines") << "\r\n\r\nx\r\n" << QStringList{"", "", "x"};
    QTest::newRow("last line without an ending") << "a\r\nno end" << QStringList{"a"};
    QTest::newRow("no ending at all") << "only" << QStringList{};
    QTest::newRow("empty") << "" << QStringList{};
    QTest::newRow("lone CR before a far LF") << "a\rb\rc\rd\n" << QStringList{"a", "b", "c", "d"};
}

void TestDates::textLines() {
    QFETCH(QString, text);
    QFETCH(QStringList, lines);
    QStringList got;
    ForEachTextLine(QStringView(text), [&](QStringView line) { got << line.toString(); });
    QCOMPARE(got, lines);
}

void TestDates::numberFormatting() {
    QCOMPARE(RightAligned(7, 3), QString("  7"));
    QCOMPARE(RightAligned(-12, 5), QString("  -12"));
    QCOMPARE(RightAligned(12345, 3), QString("12345"));
    QCOMPARE(TwoDigits(5), QString("05"));
    QCOMPARE(TwoDigits(12), QString("12"));
    QCOMPARE(TwoDigits(123), QString("12"));
    QCOMPARE(FourDigits(7), QString("0007"));
    QCOMPARE(FourDigits(12345), QString("1234"));
    QCOMPARE(WeekdayAbbreviation(QDate(2026, 5, 10)), QString("zo"));
    QCOMPARE(WeekdayAbbreviation(QDate(2026, 5, 12)), QString("di"));
    QCOMPARE(WeekdayAbbreviation(QDate(2026, 5, 16)), QString("za"));
    QCOMPARE(NotationDisplayName(1), QString("mm-dd-jjjj"));
    QCOMPARE(NotationFormat(2), QString("dd-mm-yyyy"));
}

void TestDates::dayNumbers() {
    QCOMPARE(DayNumberOf(QDate(1899, 12, 30)), 0);
    QCOMPARE(DayNumberOf(QDate(1900, 1, 1)), 2);
    QCOMPARE(DayNumberOf(QDate(2026, 5, 10)), 46152);
    QCOMPARE(DateOfDayNumber(46152), QDate(2026, 5, 10));
}

QTEST_GUILESS_MAIN(TestDates)
#include "tst_dates.moc"
