// The data-file reader as the program runs it: read a file (encoding and
// notation detection, line splitting, kinds, day numbers), then fill the
// derived columns and compose the reminders for one fixed day.
#include "FuzzKit.h"
#include "kit/Clock.h"
#include "records/DataFile.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QFile>

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzKit::setUp(argc, argv);
    Clock::set(QDateTime(QDate(2026, 5, 10), QTime(12, 0)));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    const QString folder = FuzzKit::scratch().path() + QStringLiteral("/dat/");
    QDir().mkpath(folder);
    QFile file(folder + QStringLiteral("Brolt.dat"));
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        std::abort();
    file.write(FuzzKit::bytes(data, size));
    file.close();

    RecordTable table;
    DataFile dataFile(table);
    dataFile.retryDelayMs = 0;
    if (dataFile.read(folder, QStringLiteral("Brolt"), QStringLiteral(".dat")) != DataFile::ReadResult::Ok)
        return 0;
    const QDate today = Clock::today();
    ComputeDerivedColumns(table, dataFile.dateNotation, today);
    WorkingSettings settings;
    const Reminders reminders = ComposeReminders(table, dataFile.dateNotation, settings, today);
    // Every line points at a record that exists.
    for (const ReminderLine& line : reminders.lines)
        if (line.row < 1 || line.row > table.recordCount())
            std::abort();
    // What is read can be written: every record becomes exactly one line.
    for (int r = 1; r <= table.recordCount(); ++r)
        if (DataFile::recordLine(table.row(r)).count(QStringLiteral("\r\n")) != 1)
            std::abort();
    return 0;
}
