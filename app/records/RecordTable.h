#pragma once

#include <QHash>
#include <QMap>
#include <QString>

#include <array>
#include <vector>

// Columns of the record table.  Nine are stored in the data file; the rest are
// computed or free for the edit grid.
namespace Col {
enum : int {
    Name = 0,
    Date = 1,
    Kind = 2,
    Age = 3,
    Picture = 4,
    Work5 = 5,
    DayOfYearKey = 6,
    Work7 = 7,
    DayOffset = 8,
    DayNumber = 9,
    Mail = 10,
    Phone = 11,
    Street = 12,
    PostcodeCity = 13,
    Country = 14,
    Count = 15,
    // Beside the columns, never shown nor stored in the data file: which
    // address card an import made the record from (see records/CardLinks).
    CardLink = 15
};
}

// The event kinds as stored, compared case-sensitively.
namespace Kind {
inline const QString Geboorte = QStringLiteral("Geboorte");
inline const QString Feest = QStringLiteral("Feest");
inline const QString Huwelijk = QStringLiteral("Huwelijk");
inline const QString Jubileum = QStringLiteral("Jubileum");
inline const QString Overlijden = QStringLiteral("Overlijden");
inline const QString TeDoen = QStringLiteral("Te doen");
// The six kind words, the most common first.
inline const QString* const All[] = {&Geboorte, &Feest, &Huwelijk, &Jubileum, &Overlijden, &TeDoen};
} // namespace Kind

// What the side file of the card links (records/CardLinks) knows beyond the
// links of the records in the table.  It belongs to the rows: a copy of the
// table takes it along, so that Annuleren puts it back with them.
struct CardMemory {
    // The link of each record the side file held when it was last read or
    // written, by UID and kind (a link whose record was not found included).
    QHash<QString, QString> saved;
    // The cards whose records the user deleted, by UID: an import adds
    // nothing for them again.
    struct Deleted {
        QString book;       // the address book the records came from
        bool named = false; // an import has said so once
    };
    QMap<QString, Deleted> deleted;
};

// The one in-memory copy of the records: row 0 holds the titles, rows
// 1..recordCount() the records, and one blank row always follows the last
// record (new records are typed into it).
class RecordTable {
public:
    using Row = std::array<QString, Col::Count + 1>; // the columns and the card link

    RecordTable();

    int rowCount() const { return int(m_rows.size()); }
    int recordCount() const { return rowCount() - 2; }

    const QString& cell(int row, int col) const { return m_rows[row][col]; }
    void setCell(int row, int col, const QString& text) { m_rows[row][col] = text; }
    const Row& row(int r) const { return m_rows[r]; }
    Row& row(int r) { return m_rows[r]; }

    // Clears everything and leaves the title row and the blank row.
    void reset();
    // Adds a record before the blank row; returns its row number.
    int appendRecord(Row record);
    // Adds an empty record before the blank row, to be filled in place.
    Row& appendEmptyRecord();
    // Inserts an empty row at `row` (1..rowCount()-1).
    void insertRow(int row);
    // Removes record `row`; the title and the blank row stay.
    void removeRow(int row);
    void swapRows(int a, int b) { std::swap(m_rows[a], m_rows[b]); }
    // Gives the records a new order: `order` lists the current row numbers.
    void reorder(const std::vector<int>& order);
    void reserve(int records) { m_rows.reserve(records + 2); }

    static bool isRowEmpty(const Row& row);

    CardMemory& cardMemory() { return m_cards; }
    const CardMemory& cardMemory() const { return m_cards; }

private:
    std::vector<Row> m_rows;
    CardMemory m_cards;
};

// Normalises a kind as read from the file: empty, a single NUL or the older
// "Verjaardag" become "Geboorte"; anything else gets a capital first letter.
QString NormaliseKind(QStringView kind);
// Whether `kind` as read normalises to `known`, without making a string.
bool KindIs(QStringView kind, const QString& known);
// Whether `kind` as read is one of the six kind words.
bool IsKnownKind(QStringView kind);
