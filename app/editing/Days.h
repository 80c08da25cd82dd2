#pragma once

#include <QDate>
#include <QString>

// The calendar arithmetic of the date picker: week numbers, quarters, the
// month and year steps and the month grid.  No windows here.

// The week number shown beside a date.  Weeks start on Monday and week 1 holds
// the year's first Thursday, as in ISO 8601, except that the last days of
// December never count as week 1 of the next year: they are week 53.
int WeekOfYear(const QDate& date);

// 1..4: January to March is quarter 1.
int QuarterOf(int month);

// One month back or forward: the day stays when the new month has it, else it
// becomes that month's last day (31 March one month back is 28/29 February).
QDate StepMonth(const QDate& date, int months);
// One year back or forward; 29 February first becomes 28 February.
QDate StepYear(const QDate& date, int years);

// A typed time field: above `maximum` is `maximum`, below 0 is 0.
int ClampTimeField(int value, int maximum);

// The month grid has Sunday in column 0 and the day names in row 0; the days
// fill rows 1..6.  Returns the date of a cell of the month of `anyDay`, or an
// invalid date for an empty cell.
QDate DateOfGridCell(const QDate& anyDay, int row, int column);
// The row (1..6) and column (0..6) of `date` in its month's grid.
void GridCellOfDate(const QDate& date, int& row, int& column);

// A date in a short date format of the program ("dd-mm-yyyy" style): two-digit
// day and month, four-digit year, in the format's order, separated by "-".
QString FormatDateShort(const QDate& date, const QString& format);
