#include "ListMode.h"

#include "Ui.h"
#include "kit/Clock.h"
#include "kit/Support.h"
#include "records/DataFile.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <cstdio>
#include <unistd.h>

namespace {
// Notes that a window would show go to the terminal's error stream.
class TerminalUi : public Ui {
public:
    void showTimedMessage(int, const QString& first, const QString& second, const QRect&) override {
        QString text = first;
        if (!second.isEmpty())
            text += u' ' + QString(second).replace(QStringLiteral("\r\n"), QStringLiteral(" "));
        std::fprintf(stderr, "%s\n", text.toUtf8().constData());
    }
};

// One line as printed, coloured with ANSI codes on a terminal.
void appendLine(QByteArray& out, const QString& text, quint32 colour, bool ansi) {
    if (ansi) {
        out += "\033[";
        out += colour == ReminderColour::Past ? "34" : colour == ReminderColour::Today ? "1;31" : "32";
        out += 'm';
    }
    // A hand-edited data file may hold control characters: an escape sequence
    // in a name must not steer the terminal.
    out += WithoutControls(text).toUtf8();
    out += ansi ? "\033[0m\n" : "\n";
}

} // namespace

int RunListMode(const CommandLine& line, const std::function<void(const QString& dataFile)>& beforeReading) {
    // Asked for by name, the list takes nothing else; as the plain start of a
    // machine without a display ("Brolt", "Brolt a") it ignores the rest.
    if (line.has(QStringLiteral("--list")) && !line.positional.isEmpty())
        return PrintUsage(QStringLiteral("Onbekend argument."));
    for (const char* other : {"--import", "--export-ics"})
        if (line.has(QLatin1String(other)))
            return PrintUsage(QLatin1String(other) + QStringLiteral(" gaat niet samen met --list."));
    const QString file = line.value(QStringLiteral("--file"));
    QDate date;
    if (line.has(QStringLiteral("--date"))) {
        date = QDate::fromString(line.value(QStringLiteral("--date")), Qt::ISODate);
        if (!date.isValid())
            return PrintUsage(QStringLiteral("Ongeldige datum bij --date."));
    }
    if (date.isValid())
        Clock::set(QDateTime(date, Clock::now().time()));

    TerminalUi ui;
    Ui::install(&ui);
    LoadWorkingSettings();

    // The process ends right after printing: the records are left for the
    // system to take back at exit instead of being freed one by one.
    static RecordTable* keptTable = nullptr;
    static Reminders* keptReminders = nullptr;
    delete keptTable;
    delete keptReminders;
    keptTable = new RecordTable;
    keptReminders = new Reminders;
    RecordTable& table = *keptTable;
    DataFile data(table);
    const QDate today = Clock::today();
    data.onlyForReminders = DataFile::ReminderWindow{today, Working().achteraf, Working().vooraf};
    DataFile::ReadResult result;
    if (file.isEmpty()) {
        data.setLocation(Working().nameOfFile);
        data.provision();
        if (beforeReading)
            beforeReading(data.defaultFilePath());
        result = data.read(data.dataFolder, QStringLiteral("Brolt"), data.extension);
    } else {
        const DataFile::PathParts parts = DataFile::splitPath(file);
        data.retryDelayMs = 0; // a file named on the command line is not expected to be busy
        if (beforeReading)
            beforeReading(file);
        result = data.read(parts.folder, parts.baseName, parts.extension);
    }
    if (result != DataFile::ReadResult::Ok) {
        std::fprintf(stderr, "Geen Brolt-bestand gelezen\n");
        Ui::install(nullptr);
        return 1;
    }

    ComputeDerivedColumns(table, data.dateNotation, today);
    const Reminders& reminders = *keptReminders =
        ComposeReminders(table, data.dateNotation, Working(), today);
    const bool ansi = ::isatty(STDOUT_FILENO);
    // Written in one piece: a thousand lines are one write, not a thousand.
    QByteArray out;
    out.reserve(qsizetype(reminders.lines.size()) * 64);
    for (const ReminderLine& line : reminders.lines)
        appendLine(out, line.text, line.colour, ansi);
    if (!reminders.emptyLine.isEmpty())
        out += reminders.emptyLine.toUtf8() + '\n';
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    std::fflush(stdout);
    Ui::install(nullptr);
    return 0;
}
