#pragma once

#include <QString>

// Version labels look like "versie 2.60e": a word, a space, the version
// number and an optional letter.

// The label of the running program ("versie 2.60e").
QString RunningVersionLabel();

// Compares two labels: -1 when `a` is older than `b`, 0 when equal, 1 otherwise.
// The version numbers are compared as text, then the letter.
int CompareVersionLabels(const QString& a, const QString& b);

// What the "Versie" setting held and what it must hold from now on.
struct VersieUpdate {
    QString storedLabel; // "versie 2.60d" from the previous run; empty at the very first start
    QString newValue;    // the running label, plus the stored third word when there was one
};
VersieUpdate NextVersieValue(const QString& storedValue, const QString& runningLabel);

// Reads "Versie", writes the running label back and returns the label the
// previous run left (empty at the very first start).
QString RegisterRunningVersion();

// The news is due when the previous run was an older version (or there was none).
bool NewsDue(const QString& storedLabel);
