#pragma once

#include <QString>
#include <QStringList>

// The program's command line, read against one table of known options.
// Anything that starts with "-" and is not in the table is refused in every
// mode: a typing error must not open the window as if nothing was asked.
struct CommandLine {
    bool ok = true;
    QString error;          // why it was refused (Dutch), for the usage text
    QStringList options;    // the known options given, in order ("--list", ...)
    QStringList values;     // the value of each option, empty for one without
    QStringList positional; // everything else, e.g. "a"

    bool has(const QString& option) const { return options.contains(option); }
    // The value of the last `option` given, empty when absent.
    QString value(const QString& option) const;
};

// `arguments` as QCoreApplication::arguments(): the program comes first.
CommandLine ParseCommandLine(const QStringList& arguments);

// Prints `why` and the usage to the error stream; returns the exit code 2.
int PrintUsage(const QString& why);
// Prints the usage with a short explanation of every option to the output
// stream (--help); returns the exit code 0.
int PrintHelp();
// Prints "Brolt versie ..." to the output stream (--version); returns 0.
int PrintVersion();
