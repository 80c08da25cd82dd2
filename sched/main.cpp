#include "Schedule.h"

#include <QCoreApplication>
#include <QFile>
#include <QProcess>

#include <cstdlib>
#include <thread>

#include <unistd.h>

// Runs for as long as the user is logged on and starts Brolt once every
// morning in automatic mode.  Between passes it only sleeps.  When its own
// program file is removed (the package was removed) it ends; when the file is
// replaced (an upgrade) the new program takes over, knowing whether today's
// start was made.
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    // The link to the running program; replaced in the moment between the
    // start and this line, it names the old file as deleted, at the same path.
    QString ownPath = QFile::symLinkTarget(QStringLiteral("/proc/self/exe"));
    if (ownPath.endsWith(QLatin1String(" (deleted)")))
        ownPath.chop(10);
    if (ownPath.isEmpty())
        ownPath = QCoreApplication::applicationFilePath();
    const Sched::Command command = Sched::commandFor(ownPath);
    const Sched::FileIdentity startedFrom = Sched::runningIdentity();
    // How long a second lasts, in milliseconds: tests shorten the waits.
    const int secondMs = qEnvironmentVariableIsSet("BROLT_SCHED_SECOND_MS")
                             ? std::max(1, qEnvironmentVariableIntValue("BROLT_SCHED_SECOND_MS"))
                             : 1000;

    Sched::Scheduler scheduler(
        [] { return QDateTime::currentDateTime(); },
        [secondMs](std::chrono::seconds duration) {
            std::this_thread::sleep_for(std::chrono::milliseconds(duration.count() * secondMs));
        },
        [&command] {
            // Detached: Brolt runs on its own and leaves no
            // zombie behind.  A failed start stays silent.
            QProcess::startDetached(command.program, command.arguments);
        },
        [&](const Sched::State& state) {
            switch (Sched::fateOf(startedFrom, Sched::identityOf(ownPath))) {
            case Sched::ProgramFate::Same:
                return;
            case Sched::ProgramFate::Removed:
                std::exit(0);
            case Sched::ProgramFate::Replaced: {
                const QByteArray path = QFile::encodeName(ownPath);
                ::setenv("BROLT_SCHED_STATE", Sched::stateText(state).toLatin1().constData(), 1);
                char* const arguments[] = {const_cast<char*>(path.constData()), nullptr};
                ::execv(path.constData(), arguments);
                // The new file cannot be run (yet): this one goes on and tries again next pass.
                ::unsetenv("BROLT_SCHED_STATE");
                return;
            }
            }
        });
    if (const auto carried = Sched::stateFromText(qEnvironmentVariable("BROLT_SCHED_STATE")))
        scheduler.resume(*carried);
    ::unsetenv("BROLT_SCHED_STATE");
    scheduler.run();
}
