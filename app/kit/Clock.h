#pragma once

#include <QDate>
#include <QDateTime>

// The program's one clock.  Nothing else asks the system for the date, so
// tests can put the whole program on any day.
namespace Clock {
QDateTime now();
QDate today();
// Freezes the clock at `moment`; an invalid QDateTime lets it run again.
void set(const QDateTime& moment);
} // namespace Clock
