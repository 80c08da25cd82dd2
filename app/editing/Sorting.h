#pragma once

#include "records/RecordTable.h"

#include <QDate>
#include <QString>
#include <QStringView>

// The rules of the edit grid that need no window: sorting the record table,
// the date-cell rewrite, the date check on OK, the kind shortcuts and what a
// cell may hold.

// Compares two cell texts: a to z equal A to Z, every other character by its
// code, a prefix sorts first.  Negative, 0 or positive.
int CompareCellText(QStringView a, QStringView b);

// Sorts the records by the text of `column`.  Rows move whole; the trailing
// blank row stays last.  A last row that holds something is sorted with the
// records and a blank row is added after it.  Equal keys keep no particular order.
void SortByColumn(RecordTable& table, int column);

// The sort key of a date text in `notation`: the day number of the same month
// and day in the leap year 3004, right-aligned to 5 characters, so that the
// text order is the order by day of the year.  An unreadable date counts as
// 30 December.
QString DateSortKey(const QString& dateText, int notation);

// Removes the records without a name or without a date (only spaces counts as
// none), writes DateSortKey into column 6 and sorts on it.
void SortByDate(RecordTable& table, int notation);

// The sort order choice: 0 by name, 1 by date, 2 by age.
void SortByOption(RecordTable& table, int sortOrder, int notation);

// A date cell as the user left it: the first and second "=" become "-", and each
// of the three parts shorter than 2 characters gets a leading "0" (a missing
// part is "0").  A text without "-" thus becomes "0-0-0".
QString RewriteDateText(const QString& text);

// What the check on OK reports: nothing (ok), or the first problem found.
struct DateReport {
    bool ok = true;
    int row = 0;
    QString firstLine;
    QString secondLine;
};
// Checks rows 1, 2, ... until a row without name and date: every date must be
// readable in `notation` and, unless a to-do or of the unknown year 3000, not
// lie after `today`.
DateReport ValidateDates(const RecordTable& table, int notation, const QDate& today);

// The type-ahead of the kind cell.  `typed` holds the letters that counted
// since the cell was entered.  The first letter chooses the kind word it
// starts (F, G, H, J, O, T), later letters that continue that word are kept;
// the chosen word is returned.  A letter that does neither changes nothing and
// gives an empty text: nothing typed is ever added to a word.
QString KindTypeAhead(QString& typed, QChar letter);

// The text a cell may hold: ";" would split the record in the data file and
// line breaks would end it, so ";" becomes "," and line breaks are dropped.
QString CleanCellText(const QString& text);

// True when `text` holds a character other than a space.
bool HasNonSpace(const QString& text);
