// The program as started: `Brolt`.  It links the core only, so the things a
// terminal or the morning start need — `Brolt --list`, the reminders without a
// display, and "Brolt a" with nothing due — are done without loading any
// window library.  Everything else hands over to the window program beside it.
#include "CommandLine.h"
#include "Instance.h"
#include "ListMode.h"
#include "Start.h"
#include "kit/Support.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <unistd.h>

namespace {
int HandOverToWindows(char* argv[], const QString& programFile) {
    const QByteArray windows = QFile::encodeName(ProgramFolder() + QStringLiteral("brolt-windows"));
    ::setenv("BROLT_PROGRAM_FILE", QFile::encodeName(programFile).constData(), 1);
    argv[0] = const_cast<char*>(windows.constData());
    ::execv(windows.constData(), argv);
    std::fprintf(stderr, "Brolt: %s kan niet worden gestart: %s\n", windows.constData(),
                 std::strerror(errno));
    return 1;
}
} // namespace

int main(int argc, char* argv[]) {
    const bool windowless = NoDisplay();
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine line = ParseCommandLine(arguments);
    if (!line.ok)
        return PrintUsage(line.error);
    if (line.has(QStringLiteral("--help")) || line.has(QStringLiteral("-h")))
        return PrintHelp();
    if (line.has(QStringLiteral("--version")))
        return PrintVersion();
    const bool exchange = line.has(QStringLiteral("--import")) || line.has(QStringLiteral("--export-ics"));
    const bool automatic = AutomaticModeRequested(arguments);
    if (line.has(QStringLiteral("--list")) || (windowless && !exchange)) {
        QCoreApplication app(argc, argv);
        // The morning's address book and calendar need the network, which the
        // window program has: while today's exchange is due, it does that
        // first and then prints the reminders.
        if (automatic && !line.has(QStringLiteral("--list")) && MorningExchangeDue())
            return HandOverToWindows(argv, QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        return RunListMode(line);
    }
    // An import or export is done by the window program, which has the network,
    // also without a display.
    if (exchange)
        return HandOverToWindows(argv, QFileInfo(QString::fromLocal8Bit(argv[0])).fileName());

    QString programFile;
    {
        QCoreApplication app(argc, argv);
        programFile = QFileInfo(QCoreApplication::applicationFilePath()).fileName();
        // A running Brolt is brought forward by the window program, whatever
        // is due; so is the morning's exchange of address book and calendar.
        if (automatic && !MorningExchangeDue() && !InstanceAnswers(InstanceServerName()) &&
            NothingDueInAutomaticMode(programFile))
            return 0;
    }
    return HandOverToWindows(argv, programFile);
}
