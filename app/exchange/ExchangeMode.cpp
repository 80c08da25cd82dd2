#include "exchange/ExchangeMode.h"

#include "Instance.h"
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

int usage(const QString& why) {
    printLine(stderr, why);
    printLine(stderr, QStringLiteral("Gebruik: Brolt --import BRON [--file BESTAND]\n"
                                     "        Brolt --export-ics DOEL [--file BESTAND]"));
    return 2;
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
    // A running Brolt would write its own table over the file at its next
    // save: the cards go in through its edit window instead.
    if (QFileInfo(dataFile).absoluteFilePath() == QFileInfo(ConfiguredDataFile()).absoluteFilePath() &&
        InstanceAnswers(InstanceServerName())) {
        printLine(stderr,
                  QStringLiteral("Brolt is geopend: sluit Brolt eerst, of gebruik \"Importeer contacten...\" "
                                 "in het bewerkvenster. Er is niets ge\u00EFmporteerd."));
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
    const QFileInfo info(dataFile);
    const QString name = info.fileName();
    const qsizetype dot = name.indexOf(u'.');
    data.retryDelayMs = 0;
    if (!info.exists() || data.read(info.absolutePath() + u'/', dot < 0 ? name : name.left(dot),
                                    dot < 0 ? QString() : name.mid(dot)) != DataFile::ReadResult::Ok) {
        printLine(stderr, QStringLiteral("Geen Brolt-bestand gelezen: ") + dataFile);
        return 1;
    }
    const CalendarExport events = CalendarEvents(table, data.dateNotation, Clock::now());
    const QByteArray bytes = CalendarFile(table, data.dateNotation, Clock::now());
    if (isWebAddress(target)) {
        DavPublishCounts counts;
        QString error;
        if (!PublishCalendar(QUrl(target), events.events, counts, error)) {
            printLine(stderr, error);
            return 1;
        }
        if (events.left > 0)
            printLine(stderr,
                      QString::number(events.left) + QStringLiteral(" zonder geldige datum overgeslagen"));
        printLine(stdout, QStringLiteral("Agenda bijgewerkt: ") + PublishLine(counts));
        return 0;
    }
    const QString summary =
        QString::number(events.events.size()) +
        (events.events.size() == 1 ? QStringLiteral(" afspraak") : QStringLiteral(" afspraken")) +
        QStringLiteral(" geschreven, ") + QString::number(events.left) + QStringLiteral(" overgeslagen");
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
    QString import, exportTarget, dataFile;
    for (int i = 1; i < arguments.size(); ++i) {
        const QString& a = arguments[i];
        QString* value = a == QLatin1String("--import")       ? &import
                         : a == QLatin1String("--export-ics") ? &exportTarget
                         : a == QLatin1String("--file")       ? &dataFile
                                                              : nullptr;
        if (!value)
            return usage(QStringLiteral("Onbekend argument: ") + a);
        if (i + 1 >= arguments.size())
            return usage(QStringLiteral("Na ") + a + QStringLiteral(" ontbreekt een waarde."));
        *value = arguments[++i];
    }
    if (import.isEmpty() == exportTarget.isEmpty())
        return usage(QStringLiteral("Geef --import of --export-ics, niet allebei."));
    if (dataFile.isEmpty())
        dataFile = ConfiguredDataFile();
    return import.isEmpty() ? runExport(exportTarget, dataFile) : runImport(import, dataFile);
}
