#include "exchange/ExchangeMode.h"

#include "CommandLine.h"
#include "exchange/Dav.h"
#include "exchange/ICalendar.h"
#include "exchange/Import.h"
#include "kit/Clock.h"
#include "records/DataFile.h"

#include <QFile>
#include <QFileInfo>
#include <QSaveFile>

#include <cstdio>

namespace {
void printLine(FILE* stream, const QString& text) {
    std::fprintf(stream, "%s\n", text.toUtf8().constData());
}

bool isWebAddress(const QString& s) {
    return s.startsWith(QLatin1String("http://"), Qt::CaseInsensitive) ||
           s.startsWith(QLatin1String("https://"), Qt::CaseInsensitive);
}

int runImport(const QString& source, const QString& dataFile) {
    QByteArray bytes;
    QString error;
    QFile file(source);
    if (isWebAddress(source)) {
        if (!FetchAddressBook(QUrl(source), bytes, error)) {
            printLine(stderr, error);
            return 1;
        }
        // An empty address book was read all the same: nothing to add.
        if (bytes.isEmpty()) {
            printLine(stdout, ImportSummary().line());
            return 0;
        }
    } else if (file.open(QIODevice::ReadOnly)) {
        bytes = file.readAll();
    } else {
        printLine(stderr,
                  QStringLiteral("Het bestand ") + source + QStringLiteral(" kan niet worden gelezen."));
        return 1;
    }
    const QList<VCard> cards = ReadVCards(bytes);
    if (cards.isEmpty()) {
        printLine(stderr,
                  (isWebAddress(source) ? QStringLiteral("Het adresboek ") : QStringLiteral("Het bestand ")) +
                      DavClient::shownUrl(QUrl(source)) + QStringLiteral(" bevat geen contactkaarten."));
        return 1;
    }
    const ImportOutcome outcome = ImportIntoDataFile(cards, dataFile);
    for (const QString& reason : outcome.summary.reasons)
        printLine(stderr, reason);
    for (const QString& note : outcome.summary.notes)
        printLine(stderr, note);
    if (!outcome.ok) {
        printLine(stderr, outcome.error);
        return 1;
    }
    printLine(stdout, outcome.summary.line());
    return 0;
}

int runExport(const QString& target, const QString& dataFile) {
    RecordTable table;
    DataFile data(table);
    const DataFile::PathParts parts = DataFile::splitPath(dataFile);
    data.retryDelayMs = 0;
    if (!QFileInfo::exists(dataFile) ||
        data.read(parts.folder, parts.baseName, parts.extension) != DataFile::ReadResult::Ok) {
        printLine(stderr, QStringLiteral("Geen Brolt-bestand gelezen: ") + dataFile);
        return 1;
    }
    if (isWebAddress(target)) {
        const CalendarExport events = CalendarEvents(table, data.dateNotation, Clock::now());
        DavPublishCounts counts;
        QString error;
        if (!PublishCalendar(QUrl(target), events.events, counts, error)) {
            printLine(stderr, error);
            return 1;
        }
        for (const QString& line : events.leftOut)
            printLine(stderr, line);
        if (events.left > 0)
            printLine(stderr,
                      QString::number(events.left) + QStringLiteral(" zonder geldige datum overgeslagen"));
        printLine(stdout, QStringLiteral("Agenda bijgewerkt: ") + PublishLine(counts));
        return 0;
    }
    const QString refused =
        target == QLatin1String("-") ? QString() : DataFile::refusedExportTarget(target, dataFile);
    if (!refused.isEmpty()) {
        printLine(stderr, refused);
        return 1;
    }
    int written = 0, left = 0;
    QStringList leftOut;
    const QByteArray bytes = CalendarFile(table, data.dateNotation, Clock::now(), &written, &left, &leftOut);
    for (const QString& line : leftOut)
        printLine(stderr, line);
    const QString summary = QString::number(written) +
                            (written == 1 ? QStringLiteral(" afspraak") : QStringLiteral(" afspraken")) +
                            QStringLiteral(" geschreven, ") + QString::number(left) +
                            QStringLiteral(" overgeslagen");
    if (target == QLatin1String("-")) {
        std::fwrite(bytes.constData(), 1, size_t(bytes.size()), stdout);
        std::fflush(stdout);
        printLine(stderr, summary);
        return 0;
    }
    // Written whole or not at all: a calendar program never sees half a file.
    QSaveFile out(target);
    if (!out.open(QIODevice::WriteOnly) || out.write(bytes) != bytes.size() || !out.commit()) {
        printLine(stderr,
                  QStringLiteral("Het bestand ") + target + QStringLiteral(" kan niet worden geschreven."));
        return 1;
    }
    printLine(stdout, summary);
    return 0;
}
} // namespace

int RunExchangeMode(const QStringList& arguments) {
    const CommandLine line = ParseCommandLine(arguments);
    if (!line.ok)
        return PrintUsage(line.error);
    if (!line.positional.isEmpty())
        return PrintUsage(QStringLiteral("Onbekend argument: ") + line.positional.constFirst());
    for (const char* other : {"--list", "--date"})
        if (line.has(QLatin1String(other)))
            return PrintUsage(QLatin1String(other) +
                              QStringLiteral(" gaat niet samen met --import of --export-ics."));
    const QString import = line.value(QStringLiteral("--import"));
    const QString exportTarget = line.value(QStringLiteral("--export-ics"));
    if (line.has(QStringLiteral("--import")) == line.has(QStringLiteral("--export-ics")))
        return PrintUsage(QStringLiteral("Geef --import of --export-ics, niet allebei."));
    QString dataFile = line.value(QStringLiteral("--file"));
    if (dataFile.isEmpty())
        dataFile = ConfiguredDataFile();
    return line.has(QStringLiteral("--import")) ? runImport(import, dataFile)
                                                : runExport(exportTarget, dataFile);
}
