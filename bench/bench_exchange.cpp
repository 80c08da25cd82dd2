// Times the exchange with address books and calendars: importing 5 000 cards,
// 1 000 of them with a 640 x 480 photo, into a new data file (reading,
// pictures, saving, the card links), reading that file with its card links
// and importing the same cards into it again (nothing new, every card known
// by its UID), writing 9 999 records as a calendar file, and reading
// card files made to be slow: a value folded over 20 000 lines, and 10 MB of
// each shape that once made a reader take time or memory out of proportion.
#include "Median.h"
#include "exchange/ICalendar.h"
#include "exchange/Import.h"
#include "kit/Clock.h"
#include "lists/Resize.h"
#include "records/DataFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QSaveFile>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {
Bitmap24 photo(int width, int height, int seed) {
    Bitmap24 b(width, height);
    for (int y = 0; y < height; ++y) {
        std::uint8_t* p = b.row(y);
        for (int x = 0; x < width; ++x, p += 3) {
            p[0] = std::uint8_t(x * 255 / width + seed);
            p[1] = std::uint8_t(y * 255 / height);
            p[2] = std::uint8_t(((x / 7) ^ (y / 5)) * 3);
        }
    }
    return b;
}

// Cards as a phone's address book export writes them: 3.0, photos folded at 75.
QByteArray cards(int count, int withPhoto) {
    QList<QByteArray> photos;
    for (int i = 0; i < 8; ++i) {
        const QByteArray b64 = EncodeJpeg(photo(640, 480, i * 30), 85).toBase64();
        QByteArray folded;
        for (qsizetype p = 0; p < b64.size(); p += 74)
            folded += (p ? "\r\n " : "") + b64.mid(p, 74);
        photos << folded;
    }
    QByteArray out;
    for (int i = 0; i < count; ++i) {
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:" + QByteArray::number(i) + "-8f3e\r\nFN:Persoon " +
               QByteArray::number(i) + "\r\nN:Persoon;" + QByteArray::number(i) +
               ";;;\r\nBDAY:" + QByteArray::number(1930 + i % 90) + "-" + QByteArray::number(10 + i % 3) +
               "-" + QByteArray::number(10 + i % 19) + "\r\nEMAIL;TYPE=INTERNET:p" + QByteArray::number(i) +
               "@example.org\r\nTEL;TYPE=CELL:+31 6 1234 5678\r\nADR;TYPE=HOME:;;Dorpsstraat " +
               QByteArray::number(i) + ";Utrecht;;3511 AB;Nederland\r\n";
        if (i % (count / withPhoto) == 0)
            out += "PHOTO;ENCODING=b;TYPE=JPEG:" + photos[i % photos.size()] + "\r\n";
        out += "END:VCARD\r\n";
    }
    return out;
}

// A card whose one line goes on over `lines` folded lines of 100 bytes; each
// continuation ends in "=" and the line has no ":", the shape that once made
// every continuation copy the whole line so far.
QByteArray foldedCard(int lines) {
    QByteArray out = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Gevouwen\r\nBDAY:1960-05-12\r\nNOTE gevouwen";
    const QByteArray piece = "\r\n " + QByteArray(99, 'a') + "=";
    out.reserve(out.size() + lines * piece.size() + 16);
    for (int i = 0; i < lines; ++i)
        out += piece;
    return out + "\r\nEND:VCARD\r\n";
}

// `unit` repeated to 10 MB, between `head` and `tail`.
QByteArray tenMegabytes(const QByteArray& head, const QByteArray& unit, const QByteArray& tail) {
    QByteArray out = head;
    out.reserve(10 * 1024 * 1024 + head.size() + tail.size());
    while (out.size() < 10 * 1024 * 1024)
        out += unit;
    return out + tail;
}

// Reads and imports `cards` into an empty table (no pictures); the median of `runs`.
double importMs(const QByteArray& cards, int runs) {
    return MedianMs(runs, [&] {
        RecordTable table;
        ImportCards(cards, {&table, 0, true, QString()});
    });
}
} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString vcf = dir.filePath("contacten.vcf");
    {
        QFile f(vcf);
        if (!f.open(QIODevice::WriteOnly) || f.write(cards(5000, 1000)) <= 0)
            return 1;
    }
    int run = 0;
    QString dataFile;
    const double import = MedianMs(
        5,
        [&] {
            QFile f(vcf);
            f.open(QIODevice::ReadOnly);
            const ImportOutcome o = ImportIntoDataFile({{QString(), f.readAll()}}, dataFile);
            if (!o.ok || o.summary.added != 5000 || o.summary.writtenPictures.size() != 1000)
                std::abort();
        },
        [&] { dataFile = dir.filePath(QString("run%1/Brolt.dat").arg(++run)); });
    std::printf("import 5 000 cards, 1 000 photos 640x480:  %7.1f ms\n", import);

    RecordTable table;
    DataFile data(table);
    data.retryDelayMs = 0;
    const QFileInfo info(dataFile);
    // With and without the side file in turn, so that the load of the machine weighs on both alike.
    const QString links = info.path() + "/Brolt.kaarten";
    std::vector<double> with, without;
    for (int i = 0; i < 41; ++i) {
        with.push_back(MedianMs(1, [&] { data.read(info.path() + '/', "Brolt", ".dat"); }));
        QFile::rename(links, links + ".weg");
        without.push_back(MedianMs(1, [&] { data.read(info.path() + '/', "Brolt", ".dat"); }));
        QFile::rename(links + ".weg", links);
    }
    std::sort(with.begin(), with.end());
    std::sort(without.begin(), without.end());
    std::printf("read the 5 000 records with their card links: %7.1f ms (%.1f ms without)\n", with[20],
                without[20]);
    const double again = MedianMs(5, [&] {
        QFile f(vcf);
        f.open(QIODevice::ReadOnly);
        const ImportOutcome o = ImportIntoDataFile(f.readAll(), dataFile);
        if (!o.ok || o.summary.present != 5000)
            std::abort();
    });
    std::printf("import the same 5 000 cards again:        %7.1f ms\n", again);
    data.read(info.path() + '/', "Brolt", ".dat");
    for (int i = 0; table.recordCount() < 9999; ++i) {
        RecordTable::Row row = table.row(1 + i % 5000);
        row[Col::Name] += " " + QString::number(i);
        table.appendRecord(row);
    }
    const QString ics = dir.filePath("brolt.ics");
    const double exportMs = MedianMs(51, [&] {
        QSaveFile out(ics);
        out.open(QIODevice::WriteOnly);
        out.write(CalendarFile(table, data.dateNotation, Clock::now(), 7));
        if (!out.commit())
            std::abort();
    });
    std::printf("export 9 999 records to a calendar file:  %7.1f ms\n", exportMs);

    std::printf("read a card folded over 20 000 lines (2 MB): %7.1f ms\n", importMs(foldedCard(20000), 11));
    std::printf("read a card folded over 100 000 lines (10 MB): %7.1f ms\n", importMs(foldedCard(100000), 5));
    const QByteArray begin = "BEGIN:VCARD\r\nFN:A\r\nBDAY:1960-05-12\r\n";
    const QByteArray end = "\r\nEND:VCARD\r\n";
    const struct {
        const char* what;
        QByteArray bytes;
    } shapes[] = {
        {"blank lines", tenMegabytes(begin, "\r\n", end)},
        {"one line", tenMegabytes(begin + "FN:", "x", end)},
        {"short cards", tenMegabytes({}, "BEGIN:VCARD\r\nFN:B\r\nBDAY:--0512\r\nEND:VCARD\r\n", {})},
        {"empty cards", tenMegabytes({}, "BEGIN:VCARD\r\nEND:VCARD\r\n", {})},
        {"parameters", tenMegabytes(begin + "X", ";P=a,b", ":x" + end)},
        {"quotes", tenMegabytes(begin + "NOTE:", "\"", end)},
        {"soft breaks", tenMegabytes(begin + "NOTE;ENCODING=QUOTED-PRINTABLE:", "=41=\r\n", end)},
        {"escapes", tenMegabytes(begin + "N:", "\\;", end)},
        {"labelled dates",
         tenMegabytes(begin, "item1.X-ABDATE:2000-01-01\r\nitem1.X-ABLabel:Anniversary\r\n", end)},
        {"nested cards", tenMegabytes(begin, "AGENT:\r\nBEGIN:VCARD\r\n", end)},
        {"lines without END", tenMegabytes({}, "BEGIN:VCARD\r\nFN:C\r\n", {})},
    };
    double slowest = 0;
    for (const auto& shape : shapes) {
        const double ms = importMs(shape.bytes, 3);
        slowest = std::max(slowest, ms);
        std::printf("read 10 MB of %-18s %7.1f ms\n", (QByteArray(shape.what) + ":").constData(), ms);
    }
    std::printf("slowest 10 MB card file:                  %7.1f ms\n", slowest);
    return 0;
}
