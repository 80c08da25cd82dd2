#pragma once

#include "records/RecordTable.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

// The records as a calendar others can subscribe to: one all-day event per
// record, every year, in the iCalendar format (CRLF line ends, lines folded
// at 75 octets, text escaped).  Each event reminds at 09:00 on its day and,
// unless `alarmDays` is 0, at 09:00 that many days before.

struct CalendarEvent {
    QString uid;            // stable for the same name and kind, so a new publish updates the event
    QByteArray calendar;    // a whole VCALENDAR holding this one event
    QByteArray fingerprint; // CalendarFingerprint(calendar): equal when the record did not change
};

struct CalendarExport {
    QList<CalendarEvent> events;
    int left = 0; // records left out: no readable date or an unknown kind
    // One line per record left out, naming it and why.
    QStringList leftOut;
};

// The most days ahead the second alarm may go off ("Agenda Vooraf").
inline constexpr int MaxAlarmDays = 60;
// "Agenda Vooraf" as stored, kept within 0..MaxAlarmDays.
int StoredAlarmDays();

// The event of every record with a readable date; `stamp` becomes DTSTAMP.
CalendarExport CalendarEvents(const RecordTable& table, int notation, const QDateTime& stamp, int alarmDays);
// All records in one VCALENDAR; the counts of events written and records left
// out, and a line per record left out, when asked.
QByteArray CalendarFile(const RecordTable& table, int notation, const QDateTime& stamp, int alarmDays,
                        int* written = nullptr, int* left = nullptr, QStringList* leftOut = nullptr);

// Whether `uid` is one of the UIDs CalendarEvents makes: events of other
// programs in the same calendar are left alone.
bool IsBroltEventUid(const QString& uid);

// The fingerprint of any calendar object's bytes, computed as CalendarEvent's,
// over what the records and "Agenda Vooraf" determine of its first event:
// UID, start, end or length, repetition, summary and the alarms at 09:00 on
// or before its day.  The stamp, the PRODID and whatever a calendar program
// adds (an alarm at another time, a description) do not count; neither do
// the order of lines, of parameters or of a rule's parts, nor how a trigger's
// length is written.
QByteArray CalendarFingerprint(const QByteArray& calendar);
// The UID of the first event of a calendar object; empty when it has none.
QString CalendarObjectUid(const QByteArray& calendar);

// "Anna: verjaardag (1960)" — the summary of a record's event.
QString EventSummary(const QString& name, const QString& kind, int year);

// Folds one content line (without its CRLF) at 75 octets, never inside a UTF-8 sequence.
QByteArray FoldContentLine(const QByteArray& line);
// Escapes a TEXT value: backslash, ";", "," and line breaks; other control
// characters are left out.
QString EscapeText(const QString& text);
