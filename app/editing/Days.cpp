#include "editing/Days.h"

#include "records/Dates.h"

#include <QStringList>

int WeekOfYear(const QDate& date) {
    const QDate first(date.year(), 1, 1);
    const int w = first.dayOfWeek(); // 1 Monday .. 7 Sunday
    const int n = int(first.daysTo(date));
    const int k = (n + w + 6) / 7;
    const int week = w <= 4 ? k : k - 1;
    if (week == 0)
        return WeekOfYear(date.addDays(-7)) + 1;
    return week;
}

int QuarterOf(int month) {
    return (month + 2) / 3;
}

QDate StepMonth(const QDate& date, int months) {
    // QDate::addMonths keeps the day when it exists and else takes the last one.
    return date.addMonths(months);
}

QDate StepYear(const QDate& date, int years) {
    QDate d = date;
    if (d.month() == 2 && d.day() == 29)
        d = QDate(d.year(), 2, 28);
    return QDate(d.year() + years, d.month(), d.day());
}

int ClampTimeField(int value, int maximum) {
    if (value > maximum)
        return maximum;
    if (value < 0)
        return 0;
    return value;
}

namespace {
// Column of the first of the month, Sunday being column 0.
int firstColumn(const QDate& anyDay) {
    return QDate(anyDay.year(), anyDay.month(), 1).dayOfWeek() % 7;
}
} // namespace

QDate DateOfGridCell(const QDate& anyDay, int row, int column) {
    if (!anyDay.isValid() || row < 1 || row > 6 || column < 0 || column > 6)
        return {};
    const int day = (row - 1) * 7 + column - firstColumn(anyDay) + 1;
    if (day < 1 || day > anyDay.daysInMonth())
        return {};
    return QDate(anyDay.year(), anyDay.month(), day);
}

void GridCellOfDate(const QDate& date, int& row, int& column) {
    const int index = firstColumn(date) + date.day() - 1;
    row = index / 7 + 1;
    column = index % 7;
}

QString FormatDateShort(const QDate& date, const QString& format) {
    const QStringList parts = format.toLower().split(u'-');
    QStringList out;
    for (const QString& part : parts) {
        if (part.startsWith(u'y'))
            out << FourDigits(date.year());
        else if (part.startsWith(u'm'))
            out << TwoDigits(date.month());
        else
            out << TwoDigits(date.day());
    }
    return out.join(u'-');
}
