// The window program, started by `Brolt` (app/main.cpp) for everything that
// needs a window or the network.
#include "Main.h"
#include "SingleInstance.h"
#include "Start.h"
#include "WidgetUi.h"
#include "exchange/ExchangeMode.h"
#include "exchange/Morning.h"
#include "info/Bericht.h"
#include "kit/Desktop.h"
#include "records/Notify.h"
#include "settings/Terminate.h"
#include "settings/Working.h"

#include <QApplication>
#include <QCoreApplication>
#include <QFileInfo>

#include <optional>

namespace {
int RunWindows(int argc, char* argv[]) {
    QApplication app(argc, argv);

    // A second start hands over to the first and creates no window at all.
    SingleInstance instance;
    if (instance.ForwardToRunning())
        return 0;
    if (!instance.Listen() && instance.ForwardToRunning())
        return 0;

    app.setApplicationName(QStringLiteral("Brolt"));
    SetUpDesktopIdentity();
    // Qt's own menus and dialogs speak Dutch like the rest, whatever the system language.
    LoadDutchTranslations(&app);
    WidgetUi ui;
    Ui::install(&ui);

    // The morning start brings the address book in and the calendar out
    // before any window shows; with nothing due after that, it ends unseen.
    bool endUnseen = false;
    std::optional<MorningOutcome> morning;
    if (AutomaticModeRequested(QCoreApplication::arguments())) {
        const QString programFile = qEnvironmentVariable(
            "BROLT_PROGRAM_FILE", QFileInfo(QCoreApplication::applicationFilePath()).fileName());
        morning = RunMorningBeforeWindows(programFile, endUnseen);
    }
    if (endUnseen) {
        Ui::install(nullptr);
        return 0;
    }

    int result = 0;
    {
        // Every window is created once, here, and kept for the whole run.
        TMainForm mainForm(QCoreApplication::arguments());
        if (morning)
            mainForm.ShowExchangeOutcome(*morning);
        ui.setMainWindow(&mainForm);
        // The morning start needs Brolt_Sched at login.  An installed program
        // has the package's entry; a build started from its folder writes the
        // user's own, before any window can keep the user busy.
        RepairStartUp(Working().startUp);
        TBerichtForm bericht;
        mainForm.setBerichtForm(&bericht);
        // The melody window is made at its first use (TFormMusic::instance()):
        // its media player connects to the sound system, which takes longer
        // than all the rest of a start, and most starts never play a melody.

        QObject::connect(&instance, &SingleInstance::raiseRequested, &mainForm, &TMainForm::BringToFront);
        // The main window is the program: when it has closed, the program ends.
        QObject::connect(&mainForm, &TMainForm::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        mainForm.show();
        result = QApplication::exec();
        ui.setMainWindow(nullptr);
    }
    Ui::install(nullptr);
    return result;
}
} // namespace

int main(int argc, char* argv[]) {
    QStringList arguments;
    for (int i = 0; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    // Import and export run without a window, so also without a display.
    if (IsExchangeMode(arguments)) {
        QCoreApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("Brolt"));
        return RunExchangeMode(arguments);
    }
    // So does the morning start of a machine without a display.
    if (AutomaticModeRequested(arguments) && NoDisplay()) {
        QCoreApplication app(argc, argv);
        app.setApplicationName(QStringLiteral("Brolt"));
        return RunMorningWithoutDisplay(arguments);
    }
    return RunWindows(argc, argv);
}
