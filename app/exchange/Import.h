#pragma once

#include "exchange/Progress.h"
#include "exchange/VCard.h"
#include "records/DataFile.h"
#include "records/RecordTable.h"

#include <QList>
#include <QString>
#include <QStringList>

#include <functional>

// Adding the people of address cards to the records: a birthday, a wedding
// day and a death day per card, written in the data file's own notation.  A
// record with the same name and kind is never added twice.

// Counted per card: every card of the source is one of the three.
struct ImportSummary {
    int added = 0;   // cards that added a record
    int present = 0; // cards whose records were all there already (same name and kind)
    int skipped = 0; // cards that gave no record
    // One line per skipped card, and per card whose date differs from the
    // record already there.
    QStringList reasons;
    // Notes that do not stop a card: a picture that could not be used.
    QStringList notes;
    // Picture files written into the data folder, to take back when the
    // records are not saved after all.
    QStringList writtenPictures;
    // Stopped by its progress: the table holds part of the import, which is
    // to be thrown away with the pictures written.
    bool cancelled = false;

    // "12 toegevoegd, 3 al aanwezig, 1 overgeslagen"
    QString line() const;
    ImportSummary& operator+=(const ImportSummary& other);
};

// Told how far an import is, between cards and between pictures; false stops it.
using ImportProgress = std::function<bool(const ExchangeStep& step)>;

struct ImportTarget {
    RecordTable* table = nullptr;
    int notation = 0;      // the data file's date notation
    bool utf8 = true;      // false: the data file is Windows-1252
    QString pictureFolder; // the data folder, ending in "/"; empty: pictures are not written
    QString book;          // the address book the cards come from: its address, or a file's path
    ImportProgress progress;
};

// Cards and the address book they come from: its address, or a file's path.
struct CardSource {
    QString book;
    QByteArray cards;
};

// A name or field of a card longer than this skips the card.
inline constexpr int MaxCardFieldLength = 1000;

// Appends the records of the cards in `source` (a vCard text) to the
// target's table (before its blank row), reading card by card.
ImportSummary ImportCards(const QByteArray& source, const ImportTarget& target);

// The cards of every source into the target, one source after the other;
// the progress counts the cards of all sources as one.
ImportSummary ImportSources(const QList<CardSource>& sources, const ImportTarget& target);
// Removes the pictures an import wrote, when its records are not kept after all.
void TakeBackPictures(ImportSummary& summary);

// An import into a data file in three steps, so that the middle one (the
// cards: the slow part, which asks nobody anything) may run on a thread of
// its own: open() reads the file (a missing or empty one starts a new one,
// year-month-day, UTF-8), the cards go into target(), save() keeps them the
// crash-safe way with the backups.  When the file cannot be read or saved, or
// the import was cancelled, nothing is written (pictures taken back) and
// `error` says why in Dutch.
class DataFileImport {
public:
    explicit DataFileImport(const QString& dataFile);
    ~DataFileImport();
    DataFileImport(const DataFileImport&) = delete;
    DataFileImport& operator=(const DataFileImport&) = delete;
    bool open(QString& error);
    ImportTarget target();
    bool save(ImportSummary& summary, QString& error);

private:
    QString m_path;
    RecordTable m_table;
    DataFile m_data;
};

// The whole import into one data file, in one go.
struct ImportOutcome {
    bool ok = false;
    QString error;
    ImportSummary summary;
};
ImportOutcome ImportIntoDataFile(const QList<CardSource>& sources, const QString& dataFile,
                                 const ImportProgress& progress = {});

// A card file is read whole, up to this size (larger than any address book).
inline constexpr qint64 MaxCardSourceBytes = 256 * 1024 * 1024;
// Reads a card file: a regular file or a pipe of at most MaxCardSourceBytes.
// False with the Dutch reason in `error` for anything else (a device such as
// /dev/zero, a folder, an endless pipe).
bool ReadCardSource(const QString& path, QByteArray& bytes, QString& error);

// The data file used when none is named: the configured one.
QString ConfiguredDataFile();
