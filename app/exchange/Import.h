#pragma once

#include "exchange/Progress.h"
#include "exchange/VCard.h"
#include "records/DataFile.h"
#include "records/RecordTable.h"

#include <QList>
#include <QString>
#include <QStringList>
#include <QUrl>

#include <functional>

// Adding the people of address cards to the records: a birthday, a wedding
// day and a death day per card, written in the data file's own notation.  A
// record with the same name and kind is never added twice.
//
// A card with a UID is remembered with each record it made (records/CardLinks),
// whatever address book or file it came from.  When it comes again with
// another name or date, its records follow where they still hold what the
// card gave them before; a record the user changed keeps the user's value,
// and a card that is no longer in its address book leaves its records as
// they are.  A card whose records the user deleted adds nothing again.
// Cards without a UID are known by name and kind only.

// Counted per card: every card of the sources is one of the four.
struct ImportSummary {
    int added = 0;   // cards that added a record
    int updated = 0; // cards that gave a record they made before another name or date
    int present = 0; // cards whose records were all there already (also when they keep the user's
                     // values, or the user deleted them)
    int skipped = 0; // cards that gave no record
    // One line per skipped card, and per card that differs from what the
    // user made of its records ("verschilt van uw gegevens").
    QStringList reasons;
    // Notes that do not stop a card: what was changed, a picture that could
    // not be used, a card no longer in its address book, a card whose records
    // the user deleted (once).
    QStringList notes;
    // Picture files written into the data folder, to take back when the
    // records are not saved after all.
    QStringList writtenPictures;
    // A record's card link, or what the side file remembers of the cards,
    // was made or changed (the side file needs writing even when no record
    // changed).
    bool linksChanged = false;
    // Stopped by its progress: the table holds part of the import, which is
    // to be thrown away with the pictures written.
    bool cancelled = false;

    // "12 toegevoegd, 2 bijgewerkt, 3 al aanwezig, 1 overgeslagen"
    QString line() const;
};

// Told how far an import is, between cards and between pictures; false stops it.
using ImportProgress = std::function<bool(const ExchangeStep& step)>;

struct ImportTarget {
    RecordTable* table = nullptr;
    int notation = 0;      // the data file's date notation
    bool utf8 = true;      // false: the data file is Windows-1252
    QString pictureFolder; // the data folder, ending in "/"; empty: pictures are not written
    ImportProgress progress;
};

// A name or field of a card longer than this skips the card.
inline constexpr int MaxCardFieldLength = 1000;

// The cards of one address book: a vCard text and the book it was read
// from (CardFileBook, ServerBook); an empty book is known to nobody.
struct CardSource {
    QString book;
    QByteArray cards;
};
// How a card file is known as an address book: by its whole path.
QString CardFileBook(const QString& path);
// How a server's address book is known: its address without user
// information, ending in "/".
QString ServerBook(const QUrl& address);

// Adds the records of the cards in `sources` to the target's table (before
// its blank row), and gives the records made before the changes of their
// cards, reading card by card.
ImportSummary ImportCards(const QList<CardSource>& sources, const ImportTarget& target);
ImportSummary ImportCards(const QByteArray& source, const ImportTarget& target);

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
ImportOutcome ImportIntoDataFile(const QByteArray& source, const QString& dataFile);

// A card file is read whole, up to this size (larger than any address book).
inline constexpr qint64 MaxCardSourceBytes = 256 * 1024 * 1024;
// Reads a card file: a regular file or a pipe of at most MaxCardSourceBytes.
// False with the Dutch reason in `error` for anything else (a device such as
// /dev/zero, a folder, an endless pipe).
bool ReadCardSource(const QString& path, QByteArray& bytes, QString& error);

// The data file used when none is named: the configured one.
QString ConfiguredDataFile();
