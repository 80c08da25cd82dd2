#include "records/Dates.h"

#include "kit/Clock.h"

#include <QStringList>

#include <vector>

namespace {
QString shortDateFormat = QStringLiteral("yyyy-mm-dd");
const QDate dayZero(1899, 12, 30);

// The three parts of a date text: before the first "-", between the first and
// the second, after the second.  A part that is not there is empty, so a word
// without "-" gives three empty parts.
struct Parts {
    QStringView a, b, c;
};

Parts splitParts(QStringView text) {
    Parts p;
    const qsizetype first = text.indexOf(QChar(u'-'));
    if (first < 0)
        return p;
    p.a = text.left(first);
    const QStringView rest = text.mid(first + 1);
    const qsizetype second = rest.indexOf(QChar(u'-'));
    if (second < 0)
        return p;
    p.b = rest.left(second);
    p.c = rest.mid(second + 1);
    return p;
}

bool toNumber(QStringView part, int& value) {
    return ParseWholeNumber(part, value);
}

// Positions of year, month and day in a format such as "dd-mm-yyyy".
struct Order {
    int year, month, day;
};

Order orderOfFormat(const QString& format) {
    const QString f = format.toLower();
    const qsizetype y = f.indexOf(u'y'), m = f.indexOf(u'm'), d = f.indexOf(u'd');
    auto rank = [&](qsizetype pos) { return int((pos > y) + (pos > m) + (pos > d)); };
    return {rank(y), rank(m), rank(d)};
}

Order orderOfNotation(int notation) {
    switch (notation) {
    case MonthDayYear:
        return {2, 0, 1};
    case DayMonthYear:
        return {2, 1, 0};
    default:
        return {0, 1, 2};
    }
}

// Exactly three non-negative numbers separated by "-", spaces allowed around
// each; `digits` receives the number of digits of each part.  One pass, no
// allocation: this runs for every record on every refresh.
bool threeNumbers(QStringView text, int v[3], qsizetype digits[3]) {
    int part = 0;
    v[0] = v[1] = v[2] = 0;
    digits[0] = digits[1] = digits[2] = 0;
    bool spaceAfterDigits = false;
    for (const QChar ch : text) {
        const char16_t c = ch.unicode();
        if (c >= u'0' && c <= u'9') {
            if (spaceAfterDigits || digits[part] >= 9)
                return false;
            v[part] = v[part] * 10 + (c - u'0');
            ++digits[part];
        } else if (c == u'-') {
            if (part == 2 || digits[part] == 0)
                return false;
            ++part;
            spaceAfterDigits = false;
        } else if (c == u' ') {
            spaceAfterDigits = digits[part] > 0;
        } else {
            return false;
        }
    }
    return part == 2 && digits[2] > 0;
}

QDate parseOrdered(QStringView text, Order order) {
    int v[3];
    qsizetype digits[3];
    if (!threeNumbers(text, v, digits))
        return {};
    int year = v[order.year];
    // Two-digit years fall within fifty years of today, either way.
    if (digits[order.year] <= 2) {
        const int now = Clock::today().year();
        year += now - now % 100;
        if (year > now + 50)
            year -= 100;
        else if (year <= now - 50)
            year += 100;
    }
    if (year < 1 || year > 9999)
        return {};
    return QDate(year, v[order.month], v[order.day]);
}
} // namespace

// A whole number with optional surrounding spaces; no allocation, as dates are
// read by the ten thousand.
bool ParseWholeNumber(QStringView part, int& value) {
    qsizetype i = 0, n = part.size();
    while (i < n && part[i] == u' ')
        ++i;
    while (n > i && part[n - 1] == u' ')
        --n;
    bool negative = false;
    if (i < n && (part[i] == u'-' || part[i] == u'+'))
        negative = part[i++] == u'-';
    if (i == n || n - i > 9)
        return false;
    int v = 0;
    for (; i < n; ++i) {
        const char16_t c = part[i].unicode();
        if (c < u'0' || c > u'9')
            return false;
        v = v * 10 + (c - u'0');
    }
    value = negative ? -v : v;
    return true;
}

QString NotationFormat(int notation) {
    switch (notation) {
    case MonthDayYear:
        return QStringLiteral("mm-dd-yyyy");
    case DayMonthYear:
        return QStringLiteral("dd-mm-yyyy");
    default:
        return QStringLiteral("yyyy-mm-dd");
    }
}

QString NotationDisplayName(int notation) {
    switch (notation) {
    case MonthDayYear:
        return QStringLiteral("mm-dd-jjjj");
    case DayMonthYear:
        return QStringLiteral("dd-mm-jjjj");
    default:
        return QStringLiteral("jjjj-mm-dd");
    }
}

QString ShortDateFormat() {
    return shortDateFormat;
}

void SetShortDateFormat(const QString& format) {
    shortDateFormat = format;
}

int DayNumberOf(const QDate& date) {
    return int(dayZero.daysTo(date));
}

QDate DateOfDayNumber(int dayNumber) {
    return dayZero.addDays(dayNumber);
}

qint64 JulianDayOfParts(int year, int month, int day) {
    // Days from the civil calendar (H. Hinnant), shifted to the Julian day.
    const qint64 y = qint64(year) - (month <= 2 ? 1 : 0);
    const qint64 era = (y >= 0 ? y : y - 399) / 400;
    const qint64 yoe = y - era * 400;
    const qint64 doy = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + doe - 719468 + 2440588;
}

int DayNumberOfParts(int year, int month, int day) {
    return int(JulianDayOfParts(year, month, day) - JulianDayOfParts(1899, 12, 30));
}

int DetectDateNotation(const QString& text) {
    NotationDetector detector;
    ForEachTextLine(QStringView(text), [&](QStringView line) { detector.add(line); });
    return detector.notation();
}

void NotationDetector::add(QStringView line) {
    // The first field: up to the first ";", or ten characters followed by a space.
    qsizetype semicolon = -1;
    for (qsizetype i = 0; i < line.size(); ++i)
        if (line[i] == u';') {
            semicolon = i;
            break;
        }
    if (line.size() > 10 && line[10] == u' ' && (semicolon < 0 || semicolon > 10))
        semicolon = 10;
    if (semicolon <= 0)
        return;
    const QStringView raw = line.left(semicolon);
    // The parts between the first two separators: "-", or one of the first
    // two "=" (an older way of writing the same).  One pass; it runs for every line.
    qsizetype dash[2] = {-1, -1};
    int dashes = 0, equals = 0;
    for (qsizetype i = 0; i < raw.size() && dashes < 2; ++i) {
        const QChar c = raw[i];
        if (c == u'-' || (c == u'=' && equals++ < 2))
            dash[dashes++] = i;
    }
    QStringView a, b;
    if (dashes >= 1)
        a = raw.left(dash[0]);
    if (dashes == 2)
        b = raw.sliced(dash[0] + 1, dash[1] - dash[0] - 1);
    int x = 0, y = 0;
    // One mistyped date must not make the whole file unreadable: it is left
    // out of the averages, and the reminders report it.
    if ((!a.isEmpty() && !toNumber(a, x)) || (!b.isEmpty() && !toNumber(b, y)))
        return;
    m_sum1 += x;
    m_sum2 += y;
    ++m_count;
}

int NotationDetector::notation() const {
    if (m_count == 0)
        throw DateError(QStringLiteral("Geen datums gevonden"));
    const double avg1 = double(m_sum1) / m_count, avg2 = double(m_sum2) / m_count;
    if (avg1 > 1000)
        return YearMonthDay;
    if (avg1 > avg2)
        return DayMonthYear;
    return MonthDayYear;
}

bool IsLeapYear(int year) {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

QString NormaliseDate(const QString& dateText, int notation) {
    const Parts p = splitParts(dateText);
    int v[3];
    if (!toNumber(p.a, v[0]) || !toNumber(p.b, v[1]) || !toNumber(p.c, v[2]))
        return dateText;
    const Order o = orderOfNotation(notation);
    const int year = v[o.year];
    int month = v[o.month], day = v[o.day];
    if (month == 2 && day == 29 && !IsLeapYear(year)) {
        month = 3;
        day = 1;
    }
    QString out[3];
    out[o.year] = QString::number(year);
    out[o.month] = TwoDigits(month);
    out[o.day] = TwoDigits(day);
    return out[0] + u'-' + out[1] + u'-' + out[2];
}

QDate ParseDate(QStringView dateText, int notation) {
    return parseOrdered(dateText, orderOfNotation(notation));
}

bool RecordDateParts(QStringView dateText, int notation, int& year, int& month, int& day) {
    int v[3];
    qsizetype digits[3];
    if (!threeNumbers(dateText, v, digits))
        return false;
    const Order o = orderOfNotation(notation);
    year = v[o.year];
    month = v[o.month];
    day = v[o.day];
    if (month == 2 && day == 29 && !IsLeapYear(year)) {
        month = 3;
        day = 1;
    }
    return year >= 1 && year <= 9999 && QDate::isValid(year, month, day);
}

QDate RecordDate(QStringView dateText, int notation) {
    int y, m, d;
    return RecordDateParts(dateText, notation, y, m, d) ? QDate(y, m, d) : QDate();
}

int YearsBetweenParts(int fromYear, int fromMonth, int fromDay, int toYear, int toMonth, int toDay) {
    if (fromMonth == 2 && fromDay == 29 && !IsLeapYear(toYear)) {
        fromMonth = 3;
        fromDay = 1;
    }
    int years = toYear - fromYear;
    if (toMonth < fromMonth || (toMonth == fromMonth && toDay < fromDay))
        --years;
    return years;
}

QDate ParseDateWithFormat(const QString& dateText, const QString& format) {
    return parseOrdered(dateText, orderOfFormat(format));
}

int YearsBetween(const QDate& from, const QDate& to) {
    int fy, fm, fd, ty, tm, td;
    from.getDate(&fy, &fm, &fd);
    to.getDate(&ty, &tm, &td);
    return YearsBetweenParts(fy, fm, fd, ty, tm, td);
}

int YearsBetween(int fromDayNumber, int toDayNumber) {
    return YearsBetween(DateOfDayNumber(fromDayNumber), DateOfDayNumber(toDayNumber));
}

QDate ParseDateText(const QString& text) {
    const QString format = ShortDateFormat();
    const QString lower = format.toLower();
    const qsizetype mmm = lower.indexOf(QStringLiteral("mmm"));
    if (mmm < 0) {
        const QDate d = ParseDateWithFormat(text, format);
        if (!d.isValid())
            throw DateError(QStringLiteral("%1 heeft geen geldig datumformaat").arg(text));
        return d;
    }
    qsizetype letter = -1;
    for (qsizetype i = 0; i < text.size(); ++i)
        if ((text[i] >= u'a' && text[i] <= u'z') || (text[i] >= u'A' && text[i] <= u'Z')) {
            letter = i;
            break;
        }
    if (letter < 0)
        return {};
    static const char* const dutch[12] = {"jan", "feb", "mrt", "apr", "mei", "jun",
                                          "jul", "aug", "sep", "okt", "nov", "dec"};
    static const char* const english[12] = {"jan", "feb", "mar", "apr", "may", "jun",
                                            "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString name = text.mid(letter, 3).toLower();
    int month = 0;
    for (int m = 0; m < 12 && month == 0; ++m)
        if (name == QLatin1String(dutch[m]) || name == QLatin1String(english[m]))
            month = m + 1;
    if (month == 0)
        return {};
    QString numericFormat = format;
    numericFormat.replace(mmm, 3, QStringLiteral("mm"));
    QString numericText = text;
    numericText.replace(letter, 3, TwoDigits(month));
    const QDate d = ParseDateWithFormat(numericText, numericFormat);
    if (!d.isValid())
        throw DateError(QStringLiteral("%1 heeft geen geldig datumformaat").arg(text));
    return d;
}

QString RightAligned(long long n, int width) {
    QString text;
    SetRightAligned(text, n, width);
    return text;
}

namespace {
// Ages (width 3) and day offsets (width 5) take few values, and every record
// has both: one shared string per value instead of two allocations a record.
constexpr int sharedAges = 200;
constexpr int sharedOffsets = 400;

const QString* sharedRightAligned(long long n, int width) {
    if (width == 3 && n >= 0 && n < sharedAges) {
        static const std::vector<QString> ages = [] {
            std::vector<QString> v(sharedAges);
            for (int i = 0; i < sharedAges; ++i)
                v[i] = QString::number(i).rightJustified(3, u' ');
            return v;
        }();
        return &ages[size_t(n)];
    }
    if (width == 5 && n >= -sharedOffsets && n <= sharedOffsets) {
        static const std::vector<QString> offsets = [] {
            std::vector<QString> v(2 * sharedOffsets + 1);
            for (int i = -sharedOffsets; i <= sharedOffsets; ++i)
                v[i + sharedOffsets] = QString::number(i).rightJustified(5, u' ');
            return v;
        }();
        return &offsets[size_t(n + sharedOffsets)];
    }
    return nullptr;
}
} // namespace

void SetRightAligned(QString& cell, long long n, int width) {
    if (const QString* shared = sharedRightAligned(n, width)) {
        cell = *shared;
        return;
    }
    char16_t buffer[32];
    int len = 0;
    unsigned long long m = n < 0 ? 0ULL - (unsigned long long)n : (unsigned long long)n;
    do {
        buffer[31 - len++] = char16_t(u'0' + m % 10);
        m /= 10;
    } while (m);
    if (n < 0)
        buffer[31 - len++] = u'-';
    const int pad = width > len ? width - len : 0;
    // Resizing a cell that is not shared keeps its buffer: no allocation on a refresh.
    cell.resize(pad + len);
    QChar* out = cell.data();
    for (int i = 0; i < pad; ++i)
        out[i] = u' ';
    for (int i = 0; i < len; ++i)
        out[pad + i] = buffer[32 - len + i];
}

QString TwoDigits(int n) {
    const QString s = n < 10 ? QStringLiteral("0") + QString::number(n) : QString::number(n);
    return s.left(2);
}

QString FourDigits(int n) {
    return QString::number(n).rightJustified(4, u'0').left(4);
}

QString DateInNotation(int year, int month, int day, int notation) {
    const QString y = FourDigits(year), m = TwoDigits(month), d = TwoDigits(day);
    switch (notation) {
    case MonthDayYear:
        return m + u'-' + d + u'-' + y;
    case DayMonthYear:
        return d + u'-' + m + u'-' + y;
    default:
        return y + u'-' + m + u'-' + d;
    }
}

QString WeekdayAbbreviation(const QDate& date) {
    static const char* const names[7] = {"ma", "di", "wo", "do", "vr", "za", "zo"};
    return QLatin1String(names[date.dayOfWeek() - 1]);
}
