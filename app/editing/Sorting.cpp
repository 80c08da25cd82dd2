#include "editing/Sorting.h"

#include "records/Dates.h"

#include <QtGlobal>

#include <algorithm>
#include <numeric>
#include <utility>
#include <vector>

int CompareCellText(QStringView a, QStringView b) {
    const qsizetype n = std::min(a.size(), b.size());
    for (qsizetype i = 0; i < n; ++i) {
        char16_t ca = a[i].unicode(), cb = b[i].unicode();
        if (ca >= u'a' && ca <= u'z')
            ca -= 32;
        if (cb >= u'a' && cb <= u'z')
            cb -= 32;
        if (ca != cb)
            return ca < cb ? -1 : 1;
    }
    if (a.size() == b.size())
        return 0;
    return a.size() < b.size() ? -1 : 1;
}

namespace {
// The partition sort on a list of row numbers: middle pivot, i and j walk
// towards each other and swap until they cross.  The smaller side is sorted
// first and the larger one in the same loop, so the pending list stays short;
// past a depth where the pivots keep choosing badly the rest goes to
// std::sort, so no input can make it quadratic.
void partitionSort(std::vector<int>& rows, const RecordTable& table, int column) {
    auto less = [&](int a, int b) {
        return CompareCellText(table.cell(a, column), table.cell(b, column)) < 0;
    };
    struct Range {
        int lo, hi, depth;
    };
    int limit = 2;
    for (size_t n = rows.size(); n > 1; n >>= 1)
        limit += 2;
    std::vector<Range> pending;
    if (rows.size() > 1)
        pending.push_back({0, int(rows.size()) - 1, 0});
    while (!pending.empty()) {
        Range r = pending.back();
        pending.pop_back();
        while (r.lo < r.hi) {
            if (r.depth > limit) {
                std::sort(rows.begin() + r.lo, rows.begin() + r.hi + 1, less);
                break;
            }
            const int pivot = rows[(r.lo + r.hi) / 2];
            int i = r.lo, j = r.hi;
            do {
                while (less(rows[i], pivot))
                    ++i;
                while (less(pivot, rows[j]))
                    --j;
                if (i <= j) {
                    std::swap(rows[i], rows[j]);
                    ++i;
                    --j;
                }
            } while (i <= j);
            Range left{r.lo, j, r.depth + 1}, right{i, r.hi, r.depth + 1};
            if (left.hi - left.lo > right.hi - right.lo)
                std::swap(left, right);
            pending.push_back(right);
            r = left;
        }
    }
}

// Makes the last row the blank one, so that only records are sorted.
void keepBlankRowLast(RecordTable& table) {
    const int last = table.rowCount() - 1;
    if (RecordTable::isRowEmpty(table.row(last)))
        return;
    table.insertRow(last);          // a blank row before the last one ...
    table.swapRows(last, last + 1); // ... which then changes places with it
}
} // namespace

void SortByColumn(RecordTable& table, int column) {
    keepBlankRowLast(table);
    std::vector<int> rows(table.recordCount());
    std::iota(rows.begin(), rows.end(), 1);
    partitionSort(rows, table, column);
    table.reorder(rows);
}

QString DateSortKey(const QString& dateText, int notation) {
    QDate date = ParseDate(NormaliseDate(dateText, notation), notation);
    if (!date.isValid())
        date = DateOfDayNumber(0);
    QDate key(3004, date.month(), date.day());
    return RightAligned(key.isValid() ? DayNumberOf(key) : 0, 5);
}

void SortByDate(RecordTable& table, int notation) {
    keepBlankRowLast(table);
    // Dropped in one pass: removing rows one by one would move the rest each time.
    std::vector<int> kept;
    kept.reserve(table.recordCount());
    for (int r = 1; r <= table.recordCount(); ++r)
        if (HasNonSpace(table.cell(r, Col::Name)) && HasNonSpace(table.cell(r, Col::Date)))
            kept.push_back(r);
    if (int(kept.size()) != table.recordCount())
        table.reorder(kept);
    for (int r = 1; r <= table.recordCount(); ++r)
        table.setCell(r, Col::DayOfYearKey, DateSortKey(table.cell(r, Col::Date), notation));
    SortByColumn(table, Col::DayOfYearKey);
}

void SortByOption(RecordTable& table, int sortOrder, int notation) {
    switch (sortOrder) {
    case 1:
        SortByDate(table, notation);
        break;
    case 2:
        SortByColumn(table, Col::Age);
        break;
    default:
        SortByColumn(table, Col::Name);
        break;
    }
}

QString RewriteDateText(const QString& text) {
    QString t = text;
    for (int k = 0; k < 2; ++k) {
        const qsizetype eq = t.indexOf(u'=');
        if (eq >= 0)
            t[eq] = u'-';
    }
    // The parts as the notation detection takes them: a text without a
    // second "-" has only its first part.
    QString parts[3];
    const qsizetype first = t.indexOf(u'-');
    if (first >= 0) {
        parts[0] = t.left(first);
        const qsizetype second = t.indexOf(u'-', first + 1);
        if (second >= 0) {
            parts[1] = t.mid(first + 1, second - first - 1);
            parts[2] = t.mid(second + 1);
        }
    }
    for (QString& p : parts)
        if (p.size() < 2)
            p.prepend(u'0');
    return parts[0] + u'-' + parts[1] + u'-' + parts[2];
}

DateReport ValidateDates(const RecordTable& table, int notation, const QDate& today) {
    DateReport report;
    for (int r = 1; r < table.rowCount(); ++r) {
        const QString& name = table.cell(r, Col::Name);
        const QString& dateText = table.cell(r, Col::Date);
        if (name.isEmpty() && dateText.isEmpty())
            break;
        const QDate date = ParseDate(dateText, notation);
        if (!date.isValid()) {
            report = {false, r, name + QStringLiteral(" heeft"),
                      QStringLiteral("geen geldige datum (") + dateText + QStringLiteral(").")};
            return report;
        }
        if (date > today && table.cell(r, Col::Kind) != Kind::TeDoen && date.year() != 3000) {
            report = {false, r,
                      name + QStringLiteral(" heeft ") + QStringLiteral("geen geldige datum (") + dateText +
                          QStringLiteral(")."),
                      QStringLiteral("De datum mag niet in de toekomst liggen.")};
            return report;
        }
    }
    return report;
}

QString KindTypeAhead(QString& typed, QChar letter) {
    // The six words start with six different letters, so a candidate can only
    // continue the word its first letter chose.
    const QString candidate = typed + letter;
    for (const QString* word : Kind::All) {
        if (word->startsWith(candidate, Qt::CaseInsensitive)) {
            typed = candidate;
            return *word;
        }
    }
    return {};
}

QString CleanCellText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c == u';')
            out += u',';
        else if (c != u'\r' && c != u'\n')
            out += c;
    }
    return out;
}

bool HasNonSpace(const QString& text) {
    for (const QChar c : text)
        if (c != u' ')
            return true;
    return false;
}
