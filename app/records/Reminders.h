#pragma once

#include "records/RecordTable.h"

#include <QDate>
#include <QString>
#include <QStringList>

#include <vector>

struct WorkingSettings;

// Line colours, 0xRRGGBB.
namespace ReminderColour {
inline constexpr quint32 Past = 0x0000FF;   // blue
inline constexpr quint32 Today = 0xFF0000;  // red
inline constexpr quint32 Future = 0x008000; // green
} // namespace ReminderColour

struct ReminderLine {
    QString text; // as shown, " =>" included
    quint32 colour = 0;
    QString picture;
    int row = 0;
    int dayOffset = 0;
};

struct Reminders {
    std::vector<ReminderLine> lines;
    QStringList pictureOfLine;
    QString currentPicture;
    bool alert = false;        // something falls on today
    int melodyRow = -1;        // the record whose melody plays, -1 for none
    bool closeProgram = false; // automatic mode with nothing due
    // "  Geen verjaardagen binnen -10..30 dagen." when nothing is due.
    QString emptyLine;
};

// Fills Age, DayOffset and DayNumber of every record for `today`.  A date that
// cannot be understood leaves DayOffset empty; a future date (other than a
// to-do or an unknown year) is reported through the Ui seam.
void ComputeDerivedColumns(RecordTable& table, int notation, const QDate& today);

// Builds the sorted, coloured sentences for the window of days of `settings`,
// picks the picture and sounds the alert through the Ui seam.
Reminders ComposeReminders(const RecordTable& table, int notation, const WorkingSettings& settings,
                           const QDate& today);

// The sentence of one record at `dayOffset` (empty for a kind without one);
// `melody` tells whether the record's line is a melody row.
QString ReminderSentence(const RecordTable& table, int row, int notation, const QDate& today, int dayOffset,
                         bool* melody = nullptr);

// The days from one day to the yearly occurrences of dates, for many records.
class Occurrences {
public:
    explicit Occurrences(const QDate& today);
    // The days to the occurrence of `month`-`day` nearest to today (between
    // 333 days back and 333 ahead); a 29 February falls on 1 March in other years.
    int offset(int month, int day) const;
    int year() const { return m_year; }

private:
    int m_year;
    qint64 m_julian;
};

// The base name of a person: the part before the first "(", trailing spaces removed.
QString BaseName(const QString& name);
// The same of a name as the bytes of a data file ("(" and the space are
// single bytes in each of its encodings).
QByteArrayView BaseNameView(QByteArrayView name);
// The first "Overlijden" / "Geboorte" record of a base name and its day number.
bool FindDeath(const RecordTable& table, const QString& name, int notation, int* dayNumber);
bool FindBirth(const RecordTable& table, const QString& name, int notation, int* dayNumber);
