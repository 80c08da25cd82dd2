#pragma once

#include <QString>
#include <QStringList>

struct Reminders;

// What a desktop notification says about a composition: the lines that fall
// on today or tomorrow, nothing else.  The rest of the window of days is the
// main window's business; a notification is for what needs doing now.
struct DesktopNote {
    QString summary;   // "Vandaag in Brolt", "Morgen in Brolt" or "Vandaag en morgen in Brolt"
    QStringList lines; // the sentences as plain text, in the composition's order
    QString picture;   // full path of the first due person's picture; empty when there is none
    bool isEmpty() const { return lines.isEmpty(); }
};

// The note for `reminders`; empty when nothing falls on today or tomorrow.
// Pictures are file names in `dataFolder` (ending in "/"); a missing file
// and the blank placeholder count as no picture.
DesktopNote DueNote(const Reminders& reminders, const QString& dataFolder);

// The notification body: one sentence a line.  With `markup` (a server that
// reads its body as markup) the markup characters in the names are escaped, so
// that "Kees & Anna" is shown as written instead of being dropped as bad markup.
QString NoteBody(const DesktopNote& note, bool markup);
