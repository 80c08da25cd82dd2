#pragma once

#include "records/RecordTable.h"

#include <QString>
#include <QStringList>
#include <QStringView>

// Which address card an import made a record from, so that a later import
// knows the card again when its name or date changed, and can tell the
// user's own changes from the card's.  The link travels with its row in the
// record table (Col::CardLink) through sorting, editing and Annuleren; the
// data file never holds it.  The links of the saved records are kept in a
// small side file beside the data file, written after every save and read
// with the data file, where each finds its record again by kind, name and
// date as saved.  A link the side file held whose record is gone (deleted in
// the edit window, or from the data file by hand) makes its card one the
// user deleted: the side file remembers it, and no import adds it again.
struct CardLink {
    QString uid;  // the card's UID
    QString book; // the address book it came from: a server address or a card file's path
    QString kind; // which date of the card: Geboorte, Huwelijk or Overlijden
    // The name and date the card last gave the record: the record still has
    // them unless the user changed it.  The date as year, month and day
    // (year 3000: no year).
    QString name;
    int year = 0, month = 0, day = 0;
    QString picture;      // the picture file the import made for the card; empty when none
    bool gone = false;    // the card was missing from its address book at the last import
    QStringList replaced; // picture files a rename replaced, removed once the records are saved

    bool isValid() const { return !uid.isEmpty(); }
    bool hasDate(int y, int m, int d) const { return year == y && month == m && day == d; }
    // The link as its row keeps it; empty for no link.
    QString cell() const;
    static CardLink of(const QString& cell);
    // Field `n` of a row's link as it is kept (0 the UID, 1 the book, 2 the
    // kind, 6 gone), without making the whole link.
    static QStringView field(QStringView cell, int n);
    // How a record of a card is known among the links: its card's UID and its kind.
    static QString key(QStringView uid, QStringView kind);
};

// The side file of the data file `baseName` in `folder`: "Brolt.kaarten".
QString CardLinksFile(const QString& folder, const QString& baseName);

// No real side file comes near this; a larger one is not read.
inline constexpr qint64 MaxCardLinksBytes = 64 * 1024 * 1024;

// Gives the records of `table`, just read from a data file, the links the
// side file `file` keeps for them, and the table's card memory what the side
// file knows besides.  A link whose record is not found (deleted or renamed
// by hand, or the data file was changed elsewhere) is attached to no record;
// its card counts as one the user deleted.
void ReadCardLinks(RecordTable& table, const QString& file);

// After a backup was restored in place of the data file beside `file`, and
// read: the records it lacks were not deleted by the user.  The side file
// forgets their links, so that an import may add them again.
void ForgetCardLinksNotFound(RecordTable& table, const QString& folder, const QString& file, bool utf8);

// The cards whose records the user deleted, by UID: those the side file
// remembers, and those with a link it held whose record the table no longer
// has.
QMap<QString, CardMemory::Deleted> DeletedCards(const RecordTable& table);

// After the records were saved into the data file beside `file`: the side
// file holds the links of the records saved (a record without a date is not
// saved) and the cards the user deleted, and the pictures that renames
// replaced are removed from `folder` when no record uses them any more.  A
// side file is only made when there is something to keep.  `utf8`: the
// encoding of the data file.  False when the side file could not be written;
// the card memory then stays as it was.
bool WriteCardLinks(RecordTable& table, const QString& folder, const QString& file, bool utf8);
