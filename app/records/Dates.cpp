#include "records/Dates.h"

#include "kit/Clock.h"

#include <QStringList>

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
    const qsizetype first = text.indexOf(u'-');
    if (first < 0)
        return p;
    p.a = text.left(first);
    const QStringView rest = text.mid(first + 1);
    const qsizetype second = rest.indexOf(u'-');
    if (second < 0)
        return p;
    p.b = rest.left(second);
    p.c = rest.mid(second + 1);
    return p;
}

bool toNumber(QStringView part, int& value) {
    bool ok = false;
    value = part.trimmed().toInt(&ok);
    return ok;
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

QDate parseOrdered(const QString& text, Order order) {
    const QStringList parts = text.trimmed().split(u'-');
    if (parts.size() != 3)
        return {};
    int v[3];
    for (int i = 0; i < 3; ++i)
        if (parts[i].isEmpty() || !toNumber(parts[i], v[i]) || v[i] < 0)
            return {};
    int year = v[order.year];
    // Two-digit years fall within fifty years of today, either way.
    if (parts[order.year].trimmed().size() <= 2) {
        const int now = Clock::today().year();
        const int century = now - now % 100;
        year += century;
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

int DetectDateNotation(const QString& text) {
    long long sum1 = 0, sum2 = 0, count = 0;
    const QStringView all(text);
    qsizetype start = 0;
    while (start < all.size()) {
        qsizetype end = start;
        while (end < all.size() && all[end] != u'\r' && all[end] != u'\n')
            ++end;
        if (end >= all.size())
            break; // a last line without an ending is not read
        QStringView line = all.mid(start, end - start);
        start = end + 1;
        if (all[end] == u'\r' && start < all.size() && all[start] == u'\n')
            ++start;

        // A ten-character date followed by a space instead of ";".
        qsizetype semicolon = line.indexOf(u';');
        if (line.size() > 10 && line[10] == u' ' && (semicolon < 0 || semicolon > 10))
            semicolon = 10;
        if (semicolon <= 0)
            continue;
        QString field = line.left(semicolon).toString();
        for (int i = 0; i < 2; ++i) {
            const qsizetype eq = field.indexOf(u'=');
            if (eq >= 0)
                field[eq] = u'-';
        }
        const Parts p = splitParts(field);
        int a = 0, b = 0;
        if ((!p.a.isEmpty() && !toNumber(p.a, a)) || (!p.b.isEmpty() && !toNumber(p.b, b)))
            throw DateError(QStringLiteral("\"%1\" is geen geldige datum").arg(field));
        sum1 += a;
        sum2 += b;
        ++count;
    }
    if (count == 0)
        throw DateError(QStringLiteral("Geen datums gevonden"));
    const double avg1 = double(sum1) / count, avg2 = double(sum2) / count;
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

QDate ParseDate(const QString& dateText, int notation) {
    return parseOrdered(dateText, orderOfNotation(notation));
}

QDate ParseDateWithFormat(const QString& dateText, const QString& format) {
    return parseOrdered(dateText, orderOfFormat(format));
}

int YearsBetween(const QDate& from, const QDate& to) {
    int fromMonth = from.month(), fromDay = from.day();
    if (fromMonth == 2 && fromDay == 29 && !IsLeapYear(to.year())) {
        fromMonth = 3;
        fromDay = 1;
    }
    int years = to.year() - from.year();
    if (to.month() < fromMonth || (to.month() == fromMonth && to.day() < fromDay))
        --years;
    return years;
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
    return QString::number(n).rightJustified(width, u' ');
}

QString TwoDigits(int n) {
    const QString s = n < 10 ? QStringLiteral("0") + QString::number(n) : QString::number(n);
    return s.left(2);
}

QString FourDigits(int n) {
    return QString::number(n).rightJustified(4, u'0').left(4);
}

QString WeekdayAbbreviation(const QDate& date) {
    static const char* const names[7] = {"ma", "di", "wo", "do", "vr", "za", "zo"};
    return QLatin1String(names[date.dayOfWeek() - 1]);
}
