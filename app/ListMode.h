#pragma once

#include <QStringList>

// `Brolt --list [--date YYYY-MM-DD] [--file PATH]`: prints the reminder lines
// of the configured window of days, one per line, for a terminal.
bool IsListMode(const QStringList& arguments);
int RunListMode(const QStringList& arguments);
