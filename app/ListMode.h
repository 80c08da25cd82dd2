#pragma once

#include "CommandLine.h"

// `Brolt --list [--date YYYY-MM-DD] [--file PATH]`: prints the reminder lines
// of the configured window of days, one per line, for a terminal.  Also what
// a start without a display does.
int RunListMode(const CommandLine& line);
