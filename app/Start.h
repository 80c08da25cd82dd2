#pragma once

#include <QString>
#include <QStringList>

// Decisions about a start of the program that need no window.

// True when the first, second or third argument after the program is exactly "a".
bool AutomaticModeRequested(const QStringList& arguments);
// True when `fileName` (no folder) is the program's own name, "Brolt" plus the
// platform's executable suffix, compared without regard to case.
bool ProgramNameIsOwn(const QString& fileName);

// A morning start ("Brolt a") usually finds nothing due and closes at once.
// This does the same reading and composing as the main window's first paint,
// without any window, and tells whether the program may end right away: true
// only when nothing falls within the window of days and nothing would have
// been shown or played (no news, no message, no question, no sound).
bool NothingDueInAutomaticMode(const QString& programFile);

// The morning's exchange of address book and calendar is due: "Uitwisselen
// Aan" is on and no exchange has succeeded today.
bool MorningExchangeDue();

// No window can be shown: neither an X nor a Wayland display, nor Qt's
// offscreen platform.
bool NoDisplay();
