#include "records/RecordTable.h"

RecordTable::RecordTable() {
    reset();
}

void RecordTable::reset() {
    m_rows.assign(2, Row{});
    m_cards = {};
    Row& titles = m_rows[0];
    titles[0] = QStringLiteral("Naam");
    titles[1] = QStringLiteral("Datum");
    titles[2] = QStringLiteral("Gebeurtenis");
    titles[3] = QStringLiteral("Leeftijd");
    titles[4] = QStringLiteral("Fotobestand");
}

int RecordTable::appendRecord(Row record) {
    m_rows.insert(m_rows.end() - 1, std::move(record));
    return rowCount() - 2;
}

RecordTable::Row& RecordTable::appendEmptyRecord() {
    if (!isRowEmpty(m_rows.back()))
        return *m_rows.insert(m_rows.end() - 1, Row{});
    // The usual case: the empty blank row becomes the new record and a fresh
    // blank row follows it, so nothing is moved.
    m_rows.emplace_back();
    return m_rows[m_rows.size() - 2];
}

void RecordTable::insertRow(int row) {
    if (row < 1)
        row = 1;
    if (row > rowCount() - 1)
        row = rowCount() - 1;
    m_rows.insert(m_rows.begin() + row, Row{});
}

void RecordTable::removeRow(int row) {
    if (row < 1 || row > recordCount())
        return;
    m_rows.erase(m_rows.begin() + row);
}

void RecordTable::reorder(const std::vector<int>& order) {
    std::vector<Row> rows;
    rows.reserve(m_rows.size());
    rows.push_back(std::move(m_rows[0]));
    for (int r : order)
        rows.push_back(std::move(m_rows[r]));
    rows.push_back(std::move(m_rows.back()));
    m_rows = std::move(rows);
}

bool RecordTable::isRowEmpty(const Row& row) {
    for (const QString& cell : row)
        if (!cell.isEmpty())
            return false;
    return true;
}

QString NormaliseKind(QStringView kind) {
    if (kind.isEmpty() || kind == QStringView(u"\0", 1) || kind == QLatin1String("Verjaardag"))
        return Kind::Geboorte;
    // The usual kinds share one string instead of a copy per record.
    for (const QString* known : Kind::All)
        if (kind == *known)
            return *known;
    if (kind[0].isLower())
        return kind[0].toUpper() + kind.mid(1).toString();
    return kind.toString();
}

bool KindIs(QStringView kind, const QString& known) {
    // Runs for every record of a file: lengths and first letters decide most cases.
    if (kind.size() <= 1 || kind.size() == 10) {
        if (kind.isEmpty() || kind == QStringView(u"\0", 1) || kind == QLatin1String("Verjaardag"))
            return known == Kind::Geboorte;
    }
    if (kind.size() != known.size())
        return false;
    const QChar first = kind[0];
    if (first != known[0] && !(first.isLower() && first.toUpper() == known[0]))
        return false;
    return kind.sliced(1) == QStringView(known).sliced(1);
}

bool IsKnownKind(QStringView kind) {
    for (const QString* known : Kind::All)
        if (KindIs(kind, *known))
            return true;
    return false;
}
