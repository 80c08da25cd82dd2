#pragma once

#include <QStringList>

// `Brolt --import SOURCE [--file DATA]` and `Brolt --export-ics TARGET [--file DATA]`:
// address cards in, a calendar out, without any window.
inline bool IsExchangeMode(const QStringList& arguments) {
    return arguments.contains(QStringLiteral("--import")) ||
           arguments.contains(QStringLiteral("--export-ics"));
}
// Runs it with a QCoreApplication already made.  0 when done (also with nothing new).
int RunExchangeMode(const QStringList& arguments);
