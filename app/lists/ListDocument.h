#pragma once

#include "records/DataFile.h"
#include "records/RecordTable.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QRect>
#include <QString>

#include <functional>

// The two printable lists (the year calendar and the list of all names) as a
// small document of our own: paragraphs with an alignment and tab stops, made
// of runs of text with a size and a weight.  The lists window turns it into a
// QTextDocument to show and print; WriteListRtf turns it into the rich text
// file that goes to a word processor or the mail program.  No window needed.

enum class ListAlign { Left, Center, Right };

struct ListRun {
    QString text;
    int points = 12;
    bool bold = false;
};

struct ListParagraph {
    ListAlign align = ListAlign::Left;
    QList<int> tabStops; // in points from the left margin
    QList<ListRun> runs;
    // The size and weight in effect at the paragraph mark (what an empty line takes).
    int points = 12;
    bool bold = false;
    QString plainText() const;
};

struct ListDocument {
    QString fontFamily = QStringLiteral("Calibri");
    QString alternativeFamily = QStringLiteral("Carlito"); // same widths, free
    int basePoints = 12;                                   // the font of the lists window: 16 pixels
    QList<ListParagraph> paragraphs;
    QString plainText() const; // paragraphs joined with "\n"
};

// Width of a text in the measuring font, in pixels.
using MeasureText = std::function<int(const QString&)>;

// "f", "g", "h", "j", "o": the first letter of the event kind in lower case.
QString KindCode(const QString& kind);

// Dots added one at a time until name + two spaces + dots is wider than
// `limit` pixels; there is always at least one dot.
QString LeaderDots(const QString& name, int limit, const MeasureText& measure);

// The year, month and day of a listed record's date text; false when the
// text is no date in the program's short date format (nor in `notation`).
bool ListDateParts(const QString& dateText, int notation, int& year, int& month, int& day);

// The age reached in `thisYear` as the list of all names writes it:
// "wordt " + the number right-aligned, "wordt " alone outside 0..200, and
// "onbekend" for the unknown year 3000 or a date that cannot be read.
QString AgeText(const QString& dateText, int notation, int thisYear);

// What the lists put at the top.
struct ListHeader {
    QString caption;   // the main window's caption
    QString todayText; // today in the current notation
};

// The records of `table` (rows 1 .. rowCount - 2, "Te doen" left out) in the
// table's order.  The year calendar expects the table sorted by date, the
// list of all names by name.  `monthName` gives the long name of a month
// (1..12).
ListDocument BuildYearCalendar(const RecordTable& table, const ListHeader& header, int notation,
                               const MeasureText& measure, const std::function<QString(int)>& monthName);
ListDocument BuildAllNames(const RecordTable& table, const ListHeader& header, int notation, int thisYear,
                           const MeasureText& measure);

// The common start of both lists: with unsaved changes the save question;
// "Ja" saves, "Nee" keeps the changes marked for a later save or the question
// at closing.  `windowCaption` is the lists window's caption.
void AskSaveBeforeList(DataFile& data, const QString& windowCaption, const QRect& caller);

// Rich text of the document: Windows-1252 with \'xx escapes, \uN for every
// other character, one font, sizes, bold, alignment, tab stops, paragraphs.
QByteArray WriteListRtf(const ListDocument& document);

// Writes the document as "Temp/Tmp.rtf" in `dataFolder` (ending in "/"),
// creating "Temp" when missing.  Returns the file's path, or an empty text
// when it could not be written.
QString SaveListFile(const ListDocument& document, const QString& dataFolder);
