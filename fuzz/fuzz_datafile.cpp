// The data-file reader as the program runs it: read a file (encoding and
// notation detection, line splitting, kinds, day numbers), then fill the
// derived columns and compose the reminders for one fixed day; then the same
// for one list only, read in small pieces, which must give the same lines.
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

    // Read for one list only, in small pieces: the same lines.
    RecordTable listTable;
    DataFile listFile(listTable);
    listFile.retryDelayMs = 0;
    listFile.readPieceBytes = 7;
    listFile.onlyForReminders = DataFile::ReminderWindow{today, settings.achteraf, settings.vooraf};
    if (listFile.read(folder, QStringLiteral("Brolt"), QStringLiteral(".dat")) != DataFile::ReadResult::Ok ||
        listFile.dateNotation != dataFile.dateNotation || listFile.utf8 != dataFile.utf8)
        std::abort();
    ComputeDerivedColumns(listTable, listFile.dateNotation, today);
    const Reminders list = ComposeReminders(listTable, listFile.dateNotation, settings, today);
    if (list.lines.size() != reminders.lines.size() || list.emptyLine != reminders.emptyLine ||
        list.alert != reminders.alert)
        std::abort();
    for (size_t i = 0; i < list.lines.size(); ++i)
        if (list.lines[i].text != reminders.lines[i].text ||
            list.lines[i].colour != reminders.lines[i].colour ||
            list.lines[i].picture != reminders.lines[i].picture ||
            list.lines[i].dayOffset != reminders.lines[i].dayOffset)
            std::abort();
    return 0;
}
