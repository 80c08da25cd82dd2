#pragma once

#include <QDate>
#include <QString>

#include <stdexcept>

// Date notations of the data file: the order of year, month and day, always
// separated by "-".
enum DateNotation { YearMonthDay = 0, MonthDayYear = 1, DayMonthYear = 2 };

// A date text that cannot be understood.
class DateError : public std::runtime_error {
public:
    explicit DateError(const QString& message)
        : std::runtime_error(message.toStdString()), m_message(message) {}
    QString message() const { return m_message; }

private:
    QString m_message;
};

// "yyyy-mm-dd", "mm-dd-yyyy", "dd-mm-yyyy" for notations 0, 1, 2.
QString NotationFormat(int notation);
// "jjjj-mm-dd", "mm-dd-jjjj", "dd-mm-jjjj": the names the user sees.
QString NotationDisplayName(int notation);

// The program's short date format, which every ordinary parse of a `Date`
// follows.  Set to the notation of the data file in use.
QString ShortDateFormat();
void SetShortDateFormat(const QString& format);

// Day numbers count whole days since 30 December 1899.
int DayNumberOf(const QDate& date);
QDate DateOfDayNumber(int dayNumber);

// The notation of a whole data file's text.  A first field whose first or
// second part is not a whole number is left out (a word without "-" counts as
// 0-0-0); throws DateError when no line has a usable first field.
int DetectDateNotation(const QString& text);

// The same, fed a line at a time.
class NotationDetector {
public:
    // Counts the line's first field; a field that is no date is left out.
    void add(QStringView line);
    // Throws DateError when no line had a usable first field.
    int notation() const;

private:
    long long m_sum1 = 0, m_sum2 = 0, m_count = 0;
};

// Calls `f` with each line of a data file's text (characters or bytes): a
// line ends at CR or LF (CR LF counts once); a last line without an ending is
// not part of the text.  The ends are found many characters at a time.
template <typename View, typename F> void ForEachTextLine(View all, F&& f) {
    qsizetype start = 0;
    // The next LF is looked for once per stretch, a CR only within the line before it.
    qsizetype nextLf = -1;
    while (start < all.size()) {
        if (nextLf < start) {
            nextLf = all.indexOf('\n', start);
            if (nextLf < 0)
                nextLf = all.size();
        }
        const qsizetype cr = all.sliced(start, nextLf - start).indexOf('\r');
        const qsizetype end = cr >= 0 ? start + cr : nextLf;
        if (end >= all.size())
            return;
        f(all.sliced(start, end - start));
        start = end + 1;
        if (all[end] == '\r' && start < all.size() && all[start] == '\n')
            ++start;
    }
}

// The Julian day of a valid date from the year 1 on, as QDate counts it,
// computed without a calendar object: it runs for every record.
qint64 JulianDayOfParts(int year, int month, int day);
// DayNumberOf for a valid date given by its parts.
int DayNumberOfParts(int year, int month, int day);

// Rewrites a date text of `notation` with two-digit month and day; 29 February
// of a non-leap year becomes 1 March.  A text whose parts are not whole numbers
// is returned unchanged.
QString NormaliseDate(const QString& dateText, int notation);

// Parses a date text written in `notation` (or in `format`, "dd-mm-yyyy" style).
// Returns an invalid QDate when the text is not a real date.
QDate ParseDate(QStringView dateText, int notation);
// The date of a record: like ParseDate, but 29 February of a non-leap year is 1 March.
QDate RecordDate(QStringView dateText, int notation);
// The same as numbers; false when the text is no real date.
bool RecordDateParts(QStringView dateText, int notation, int& year, int& month, int& day);
QDate ParseDateWithFormat(const QString& dateText, const QString& format);

bool IsLeapYear(int year);
// Whole years from `from` to `to`, negative when `to` lies a year or more before `from`.
int YearsBetween(const QDate& from, const QDate& to);
int YearsBetween(int fromDayNumber, int toDayNumber);
int YearsBetweenParts(int fromYear, int fromMonth, int fromDay, int toYear, int toMonth, int toDay);

// Parses a date text by the short date format, also with a month name when the
// format holds "mmm".  Throws DateError ("... heeft geen geldig datumformaat").
QDate ParseDateText(const QString& text);

// A whole number with optional spaces around it, without allocating.
bool ParseWholeNumber(QStringView text, int& value);

QString RightAligned(long long n, int width);
// RightAligned written into `cell`, reusing its buffer.
void SetRightAligned(QString& cell, long long n, int width);
QString TwoDigits(int n);
QString FourDigits(int n);
// A date written in `notation` with a four-digit year and two-digit month and day.
QString DateInNotation(int year, int month, int day, int notation);

// "zo", "ma", ... "za".
QString WeekdayAbbreviation(const QDate& date);
