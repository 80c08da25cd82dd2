// The date routines on any text: the first byte picks the notation and the
// short date format, the rest is the date text (UTF-8).
#include "FuzzKit.h"
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
    static const QString formats[] = {
        QStringLiteral("yyyy-mm-dd"),  QStringLiteral("mm-dd-yyyy"),  QStringLiteral("dd-mm-yyyy"),
        QStringLiteral("dd-mmm-yyyy"), QStringLiteral("mmm-dd-yyyy"), QStringLiteral("yyyy-mmm-dd"),
    };
    const int notation = data[0] % 3;
    SetShortDateFormat(formats[(data[0] >> 2) % 6]);
    const QString text = QString::fromUtf8(FuzzKit::bytes(data + 1, size - 1));

    const QString normalised = NormaliseDate(text, notation);
    const QDate parsed = ParseDate(text, notation);
    const QDate record = RecordDate(text, notation);
    int y = 0, m = 0, d = 0;
    const bool parts = RecordDateParts(text, notation, y, m, d);
    if (parts != record.isValid() || (parts && record != QDate(y, m, d)))
        std::abort();
    // A record date keeps its day when its text is normalised.
    if (record.isValid() && RecordDate(normalised, notation) != record)
        std::abort();
    (void)parsed;
    try {
        const QDate date = ParseDateText(text);
        (void)date;
    } catch (const DateError&) {
    }
    try {
        DetectDateNotation(text);
    } catch (const DateError&) {
    }
    return 0;
}
