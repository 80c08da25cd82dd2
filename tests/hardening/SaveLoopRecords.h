#pragma once

#include "records/RecordTable.h"

#include <QString>

// The records the save loop writes: every field of every record carries the
// generation, so a file holding parts of two saves, or a record cut short,
// never matches one generation.
namespace SaveLoop {
inline constexpr int recordCount = 9999;

inline RecordTable::Row Record(int index, int generation) {
    const QString tag = u'g' + QString::number(generation) + u'r' + QString::number(index);
    RecordTable::Row row;
    row[Col::Date] = QStringLiteral("%1-%2-%3")
                         .arg(1900 + index % 120)
                         .arg(1 + index % 12, 2, 10, QChar(u'0'))
                         .arg(1 + index % 28, 2, 10, QChar(u'0'));
    row[Col::Name] = QStringLiteral("Zoë Persoon ") + tag;
    row[Col::Kind] = QStringLiteral("Geboorte");
    row[Col::Picture] = tag + QStringLiteral(".jpg");
    row[Col::Mail] = tag + QStringLiteral("@example.org");
    row[Col::Phone] = QStringLiteral("010-") + tag;
    row[Col::Street] = QStringLiteral("Dorpsstraat ") + tag;
    row[Col::PostcodeCity] = QStringLiteral("1234 AB ") + tag;
    row[Col::Country] = QStringLiteral("Nederland ") + tag;
    return row;
}

inline void Fill(RecordTable& table, int generation) {
    table.reset();
    table.reserve(recordCount);
    for (int i = 1; i <= recordCount; ++i)
        table.appendRecord(Record(i, generation));
}
} // namespace SaveLoop
