// Times the core on a generated data file of 9 999 records: reading (with the
// notation detection and the day numbers) plus the derived columns, composing
// the reminder text, and saving.  Prints the median of many runs.
#include "Median.h"
#include "Ui.h"
#include "kit/Clock.h"
#include "records/DataFile.h"
#include "records/Dates.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QCoreApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
const char* const kinds[] = {"Geboorte", "Geboorte",   "Geboorte", "Huwelijk",
                             "Jubileum", "Overlijden", "Feest",    "Te doen"};

// Like a real family file: every record has a date, a name and a kind; one in
// five has a picture and one in ten an e-mail address, telephone and address.
QByteArray generate(int records) {
    QByteArray bytes;
    for (int i = 0; i < records; ++i) {
        const QDate d = QDate(1920 + i % 100, 1, 1).addDays((i * 37) % 365);
        QString line = QString("%1;Persoon %2;%3;").arg(d.toString("yyyy-MM-dd")).arg(i).arg(kinds[i % 8]);
        line += i % 5 == 0 ? QString("p%1.jpg;").arg(i) : QString(";");
        line += i % 10 == 0 ? QString("p%1@example.nl;06-%1;Straat %1;1234 AB Stad;Nederland;\r\n").arg(i)
                            : QString(";;;;;\r\n");
        bytes += line.toLatin1();
    }
    return bytes;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    const int records = argc > 1 ? atoi(argv[1]) : 9999;
    const int runs =
        qEnvironmentVariableIntValue("BENCH_RUNS") > 0 ? qEnvironmentVariableIntValue("BENCH_RUNS") : 51;
    QTemporaryDir dir;
    const QString folder = dir.path() + "/";
    QFile f(folder + "Brolt.dat");
    f.open(QIODevice::WriteOnly);
    f.write(generate(records));
    f.close();
    if (argc > 2) { // keep a copy for the whole-process benchmark
        QFile::remove(argv[2]);
        QFile::copy(folder + "Brolt.dat", argv[2]);
    }

    Clock::set(QDateTime(QDate(2026, 5, 10), QTime(12, 0)));
    RecordTable table;
    DataFile data(table);
    data.dataFolder = folder;
    data.painted = true;
    WorkingSettings settings;
    const QDate today = Clock::today();

    const double read = MedianMs(runs, [&] {
        data.read(folder, "Brolt", ".dat");
        ComputeDerivedColumns(table, data.dateNotation, today);
    });
    size_t lines = 0;
    const double compose = MedianMs(
        runs, [&] { lines = ComposeReminders(table, data.dateNotation, settings, today).lines.size(); });
    const double save = MedianMs(runs, [&] {
        data.unsavedChanges = true;
        data.save();
    });
    // What Brolt --list does: only the records the list can use are loaded.
    RecordTable listTable;
    DataFile listData(listTable);
    listData.onlyForReminders = DataFile::ReminderWindow{today, settings.achteraf, settings.vooraf};
    double listRead = 0, listCompose = 0;
    size_t listLines = 0;
    listRead = MedianMs(runs, [&] {
        listData.read(folder, "Brolt", ".dat");
        ComputeDerivedColumns(listTable, listData.dateNotation, today);
    });
    listCompose = MedianMs(runs, [&] {
        listLines = ComposeReminders(listTable, listData.dateNotation, settings, today).lines.size();
    });
    if (listLines != lines)
        std::fprintf(stderr, "the list differs from the whole composition: %zu lines against %zu\n",
                     listLines, lines);

    std::printf("records                        %d\n", table.recordCount());
    std::printf("reminder lines                 %zu\n", lines);
    std::printf("read + detect + derive (ms)    %.2f\n", read);
    std::printf("compose (ms)                   %.2f\n", compose);
    std::printf("read + compose (ms)            %.2f\n", read + compose);
    std::printf("save (ms)                      %.2f\n", save);
    std::printf("for one list: records kept     %d\n", listTable.recordCount());
    std::printf("for one list: read (ms)        %.2f\n", listRead);
    std::printf("for one list: compose (ms)     %.2f\n", listCompose);
    return 0;
}
