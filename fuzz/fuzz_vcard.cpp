// The card reader and the import on any bytes: the first byte picks the data
// file's notation and encoding, the rest is the card file.  Every record made
// must have a readable date and fields the data file can hold, and the
// calendar made of them must keep its line rules.
#include "FuzzKit.h"
#include "exchange/ICalendar.h"
#include "exchange/Import.h"
#include "kit/Clock.h"
#include "records/Dates.h"

extern "C" int LLVMFuzzerInitialize(int* argc, char*** argv) {
    FuzzKit::setUp(argc, argv);
    Clock::set(QDateTime(QDate(2026, 5, 10), QTime(12, 0)));
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1)
        return 0;
    const int notation = data[0] % 3;
    const bool utf8 = (data[0] & 4) == 0;
    const QByteArray source = FuzzKit::bytes(data + 1, size - 1);
    const qsizetype cards = ReadVCards(source).size();
    RecordTable table;
    const ImportSummary s = ImportCards(source, {&table, notation, utf8, QString()});
    // Every card is counted once; a card adds one to three records.
    if (s.added + s.present + s.skipped != cards || table.recordCount() < s.added ||
        table.recordCount() > 3 * s.added)
        std::abort();
    for (int r = 1; r <= table.recordCount(); ++r) {
        int y, m, d;
        if (!RecordDateParts(table.cell(r, Col::Date), notation, y, m, d))
            std::abort();
        for (int c : {Col::Name, Col::Mail, Col::Phone, Col::Street, Col::PostcodeCity, Col::Country})
            for (QChar ch : table.cell(r, c))
                if (ch == u';' || ch.category() == QChar::Other_Control || table.cell(r, c).size() > 1100)
                    std::abort();
    }
    const QByteArray ics = CalendarFile(table, notation, Clock::now(), notation * 20);
    if (!ics.endsWith("END:VCALENDAR\r\n") || QString::fromUtf8(ics).toUtf8() != ics)
        std::abort();
    for (const QByteArray& line : ics.split('\n'))
        if (line.size() > 76 || (!line.isEmpty() && !line.endsWith('\r')))
            std::abort();
    return 0;
}
