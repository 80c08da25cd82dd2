#include "Schedule.h"

#include <QCoreApplication>
#include <QProcess>

#include <thread>

// Runs for as long as the user is logged on and starts Brolt once every
// morning in automatic mode.  Between passes it only sleeps.
int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const Sched::Command command = Sched::commandFor(QCoreApplication::applicationFilePath());

    Sched::Scheduler scheduler([] { return QDateTime::currentDateTime(); },
                               [](std::chrono::seconds duration) { std::this_thread::sleep_for(duration); },
                               [&command] {
                                   // Detached: Brolt runs on its own and leaves no
                                   // zombie behind.  A failed start stays silent.
                                   QProcess::startDetached(command.program, command.arguments);
                               });
    scheduler.run();
}
