#pragma once

#include "CommandLine.h"

#include <functional>

// `Brolt --list [--date YYYY-MM-DD] [--file PATH]`: prints the reminder lines
// of the configured window of days, one per line, for a terminal.  Also what
// a start without a display does.  `beforeReading`, when given, runs once the
// clock and the settings are in place, with the data file about to be read.
int RunListMode(const CommandLine& line,
                const std::function<void(const QString& dataFile)>& beforeReading = {});
