#pragma once

#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class ExchangeRun;

// Every morning without a click: the contacts of the address book in, then the
// records out to the calendar, with the addresses and users the options and the
// exchange dialogs share ("Adresboek Adres", "Agenda Adres", ...).  A run works
// on the data file on disk; whoever holds its records reads them again after.

// The morning never waits longer than this for the address book and the
// calendar: 20 s; tests shorten it.
int MorningBoundMs();
void SetMorningBoundMs(int ms);

struct MorningRun {
    QString dataFile;
    // The whole run ends within this many milliseconds; 0: the client's own limits.
    int boundMs = MorningBoundMs();
    // Asks the password of `user` when neither BROLT_DAV_PASSWORD nor the secret
    // store has it: "Nu bijwerken", with the user at the screen.  The morning
    // asks nobody.  A password that worked is kept in the secret store.
    std::function<bool(const QString& user, QString& password)> askPassword;
    // Sees each half of the run before it starts: a progress window with
    // Annuleren follows it there.
    std::function<void(ExchangeRun&)> follow;
};

struct MorningOutcome {
    bool ok = false;
    bool changed = false; // records were added to the data file or changed in it
    QString importLine;   // "1 toegevoegd, 2 al aanwezig, 0 overgeslagen", when an address book is set
    QString publishLine;  // "1 nieuw, 0 gewijzigd, 2 ongewijzigd, 0 verwijderd", when a calendar is set
    // Why it failed, for the status line: "Adresboek niet bijgewerkt: ..." or "Agenda niet bijgewerkt: ...".
    QString failure;
    // The import's lines about single cards: skipped, changed, differing from
    // the user's records, gone from the address book.
    QStringList cardNotes;
    // Every address book found at a server's address, with its cards:
    // "Adresboek "Contacten": 12 kaarten".
    QStringList books;

    // The one line for the log.
    QString logLine() const;
    // Writes that line to the log, and a line for each card note.
    void log() const;
    // The result as a message shows it.
    QString message() const;
};

// Imports the address book into `run.dataFile` and then publishes that file to
// the calendar.  A run that succeeded is today's: MorningExchangeDue() (Start.h)
// is false for the rest of the day.  A failed one does not count.
MorningOutcome RunMorningExchange(const MorningRun& run);

// `Brolt a` without a display, with "Uitwisselen Aan" on: today's exchange when
// it is still due (its failure on standard error), then the reminders as a
// plain start without a display prints them.
int RunMorningWithoutDisplay(const QStringList& arguments);

// `Brolt a` with a display, before any window: today's exchange when it is
// due.  Its outcome, for the main window to show, or nothing when none ran.
// `endUnseen` is set when nothing is due after it: the program may end
// without a window (the outcome is in the log then).
std::optional<MorningOutcome> RunMorningBeforeWindows(const QString& programFile, bool& endUnseen);
