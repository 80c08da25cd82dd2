#pragma once

#include "exchange/VCard.h"
#include "records/RecordTable.h"

#include <QList>
#include <QString>
#include <QStringList>

class DataFile;

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

    // "12 toegevoegd, 3 al aanwezig, 1 overgeslagen"
    QString line() const;
};

struct ImportTarget {
    RecordTable* table = nullptr;
    int notation = 0;      // the data file's date notation
    bool utf8 = true;      // false: the data file is Windows-1252
    QString pictureFolder; // the data folder, ending in "/"; empty: pictures are not written
};

// A name or field of a card longer than this skips the card.
inline constexpr int MaxCardFieldLength = 1000;

// Appends the records of the cards in `source` (a vCard text) to the
// target's table (before its blank row), reading card by card.
ImportSummary ImportCards(const QByteArray& source, const ImportTarget& target);

// The whole import into one data file: reads `dataFile` (a missing or empty
// file starts a new one, year-month-day, UTF-8), adds the cards and saves
// the crash-safe way with the backups.  When the file cannot be read or
// saved, nothing is written (pictures included) and `error` says why in Dutch.
struct ImportOutcome {
    bool ok = false;
    QString error;
    ImportSummary summary;
};
ImportOutcome ImportIntoDataFile(const QByteArray& source, const QString& dataFile);

// A card file is read whole, up to this size (larger than any address book).
inline constexpr qint64 MaxCardSourceBytes = 256 * 1024 * 1024;
// Reads a card file: a regular file or a pipe of at most MaxCardSourceBytes.
// False with the Dutch reason in `error` for anything else (a device such as
// /dev/zero, a folder, an endless pipe).
bool ReadCardSource(const QString& path, QByteArray& bytes, QString& error);

// The data file used when none is named: the configured one.
QString ConfiguredDataFile();
