// Times the edit grid with 9 999 records: opening the window, sorting by name
// and by date from the header, and saving (which sorts again through the
// grid).  Prints the median of several runs in milliseconds.
#include "Median.h"
#include "editing/Edit.h"
#include "kit/Clock.h"
#include "records/DataFile.h"
#include "records/Dates.h"
#include "settings/Working.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QImage>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <functional>
#include <vector>

namespace {
const char* const kinds[] = {"Geboorte", "Huwelijk", "Jubileum", "Overlijden", "Feest", "Te doen"};

void fill(RecordTable& table, int records) {
    table.reset();
    table.reserve(records);
    for (int i = 0; i < records; ++i) {
        RecordTable::Row row;
        // Names in a scrambled order so that sorting has work to do.
        row[Col::Name] = QStringLiteral("Persoon %1").arg((i * 7919) % records, 5, 10, QLatin1Char('0'));
        row[Col::Date] =
            QDate(1920 + i % 100, 1, 1).addDays((i * 37) % 365).toString(QStringLiteral("dd-MM-yyyy"));
        row[Col::Kind] = QLatin1String(kinds[i % 6]);
        row[Col::Age] = QStringLiteral("%1").arg(i % 100, 3);
        table.appendRecord(row);
    }
}

double timeIt(int runs, const std::function<void()>& prepare, const std::function<void()>& work) {
    return MedianMs(runs, work, prepare);
}
} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home;
    qputenv("HOME", home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (home.path() + "/data").toUtf8());
    QApplication app(argc, argv);
    Clock::set(QDateTime(QDate(2025, 5, 12), QTime(12, 0)));

    const int records = 9999;
    const int runs = 9;
    RecordTable table;
    DataFile data(table);
    data.dataFolder = home.path() + "/data/Brolt/";
    QDir().mkpath(data.dataFolder);
    QImage blank(40, 30, QImage::Format_RGB32);
    blank.fill(Qt::white);
    blank.save(data.dataFolder + "Blanc.jpg", "JPG");
    data.dateNotation = DayMonthYear;
    data.painted = true;
    SetShortDateFormat(NotationFormat(DayMonthYear));
    fill(table, records);

    TEditForm form(table, data);
    const double open = timeIt(
        runs, [&] { form.hide(); },
        [&] {
            form.show();
            QApplication::processEvents();
        });
    const double byName = timeIt(
        runs, [&] { fill(table, records); },
        [&] {
            Working().sortOrder = 0;
            form.SortByOption();
            QApplication::processEvents();
        });
    const double byDate = timeIt(
        runs, [&] { fill(table, records); },
        [&] {
            Working().sortOrder = 1;
            form.SortByOption();
            QApplication::processEvents();
        });
    const double save = timeIt(
        runs,
        [&] {
            fill(table, records);
            data.unsavedChanges = true;
            Working().sortOrder = 0;
        },
        [&] {
            if (!data.save())
                std::fprintf(stderr, "save failed\n");
        });

    std::printf("edit grid, %d records, median of %d runs:\n", records, runs);
    std::printf("  open the grid   %8.2f ms\n", open);
    std::printf("  sort by name    %8.2f ms\n", byName);
    std::printf("  sort by date    %8.2f ms\n", byDate);
    std::printf("  save (sorts)    %8.2f ms\n", save);
    return 0;
}
