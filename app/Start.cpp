#include "Start.h"

#include "Ui.h"
#include "kit/Clock.h"
#include "kit/Log.h"
#include "kit/Store.h"
#include "kit/Support.h"
#include "maintenance/Version.h"
#include "records/DataFile.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QFileInfo>

namespace {
// Notes whether anything would have reached the user.
class QuietUi : public Ui {
public:
    bool askYesNo(bool& cancel, bool defaultAnswer, const QString&, const QString&, const QString&,
                  const QString&, const QString&, const QRect&) override {
        spoke = true;
        cancel = false;
        return defaultAnswer;
    }
    bool askText(QString&, const QString&, const QString&, const QRect&) override {
        return spoke = true, false;
    }
    void showTimedMessage(int, const QString&, const QString&, const QRect&) override { spoke = true; }
    bool browse(const BrowseRequest&, QString&, QStringList*) override { return spoke = true, false; }
    void playSystemSound() override { spoke = true; }
    bool playMelody(const QString&) override { return spoke = true; }

    bool spoke = false;
};
} // namespace

bool AutomaticModeRequested(const QStringList& arguments) {
    for (int i = 1; i <= 3 && i < arguments.size(); ++i)
        if (arguments[i] == QLatin1String("a"))
            return true;
    return false;
}

bool ProgramNameIsOwn(const QString& fileName) {
    return fileName.toUpper() == (QStringLiteral("Brolt") + ExecutableSuffix()).toUpper();
}

bool NothingDueInAutomaticMode(const QString& programFile) {
    if (!ProgramNameIsOwn(programFile) || NewsDue(Store::readText(Keys::Versie)))
        return false;
    LoadWorkingSettings();
    Working().automaticMode = true;

    QuietUi ui;
    Ui::install(&ui);
    // The trace of this start, as the main window's first paint would begin it.
    LogOn = true;
    ResetLog(UserDataFolder());
    LogStep = 3;
    bool nothingDue = false;
    {
        LogScope log("MainForm", "AutomaticStart");
        RecordTable table;
        DataFile data(table);
        data.setLocation(Working().nameOfFile);
        data.withCardLinks = false;
        // A missing file needs the window (first start, or the folder browser).
        if (QFileInfo::exists(data.defaultFilePath()) &&
            data.read(data.dataFolder, QStringLiteral("Brolt"), data.extension) == DataFile::ReadResult::Ok) {
            const QDate today = Clock::today();
            ComputeDerivedColumns(table, data.dateNotation, today);
            const Reminders reminders = ComposeReminders(table, data.dateNotation, Working(), today);
            nothingDue = reminders.closeProgram && !ui.spoke;
        }
        if (nothingDue)
            log.setEndSuffix(QStringLiteral(", niets te melden"));
    }
    Ui::install(nullptr);
    return nothingDue;
}

bool MorningExchangeDue() {
    // With the box off, one look at the store is all a morning start spends on it.
    return Store::readBool(Keys::UitwisselenAan) &&
           Store::readText(Keys::UitgewisseldOp) != Clock::today().toString(Qt::ISODate);
}

bool NoDisplay() {
    return qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
           qEnvironmentVariable("QT_QPA_PLATFORM") != QLatin1String("offscreen");
}
