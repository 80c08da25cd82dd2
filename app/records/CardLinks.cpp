#include "records/CardLinks.h"

#include "kit/Log.h"
#include "kit/Support.h"
#include "records/DataFile.h"

#include <QFile>
#include <QFileInfo>
#include <QMultiHash>
#include <QSet>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {
// The side file: this first line, then one line per linked record: its kind,
// name and date as saved (escaped), then its link as the row keeps it, all
// separated by tabs.  Read at every start of the windows and of the morning
// run, so it is read without a parser and attached without a string made
// per field.  Then one line per card the user deleted: the word below, its
// UID, its address book and, once an import said so, "genoemd".  Those
// lines have four fields where a record's have eleven, so that a program
// that knows only the records' lines passes them by.
const QByteArray header = "Brolt kaarten 1\n";
constexpr QStringView deletedWord = u"verwijderd";

// No link is longer: card texts stop at 1 000 characters, paths and
// addresses well before this.
constexpr qsizetype MaxLinkCell = 16 * 1024;

QString dateText(int year, int month, int day) {
    const char16_t text[10] = {char16_t(u'0' + year / 1000 % 10),
                               char16_t(u'0' + year / 100 % 10),
                               char16_t(u'0' + year / 10 % 10),
                               char16_t(u'0' + year % 10),
                               u'-',
                               char16_t(u'0' + month / 10 % 10),
                               char16_t(u'0' + month % 10),
                               u'-',
                               char16_t(u'0' + day / 10 % 10),
                               char16_t(u'0' + day % 10)};
    return QString(reinterpret_cast<const QChar*>(text), 10);
}

bool readDate(QStringView text, int& year, int& month, int& day) {
    if (text.size() != 10 || text[4] != u'-' || text[7] != u'-')
        return false;
    bool ok[3];
    year = text.first(4).toInt(&ok[0]);
    month = text.sliced(5, 2).toInt(&ok[1]);
    day = text.sliced(8).toInt(&ok[2]);
    return ok[0] && ok[1] && ok[2] && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// A picture a link names is only ever a plain file of the data folder.
bool isPlainPicture(const QString& name) {
    if (name.isEmpty() || name.startsWith(u'.') || !name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive))
        return false;
    for (QChar c : name)
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

// Only a regular file is read: a pipe or a device put in its place would
// hold the start of the program up, or never end.
QByteArray readSmallFile(const QString& path) {
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxCardLinksBytes)
        return {};
    return file.readAll();
}

// Puts `bytes` in place of `path` whole or not at all: a new file beside it,
// renamed over it.  A link at `path` is replaced, never written through (a
// link to /dev/zero or to a file elsewhere stays what it pointed at).
bool replaceFile(const QString& path, const QByteArray& bytes) {
    const QByteArray name = QFile::encodeName(path), temp = QFile::encodeName(path + QStringLiteral(".tmp"));
    ::unlink(temp.constData()); // left by a save that was cut off
    const int fd = ::open(temp.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0666);
    if (fd < 0)
        return false;
    bool ok = WriteAll(fd, bytes) == 0;
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temp.constData(), name.constData()) == 0)
        return true;
    ::unlink(temp.constData());
    return false;
}

size_t recordHash(QStringView kind, QStringView name) {
    return qHashMulti(0, kind, name);
}
} // namespace

QString CardLink::cell() const {
    if (uid.isEmpty())
        return {};
    QString out;
    out.reserve(uid.size() + book.size() + kind.size() + name.size() + picture.size() + 24);
    // The fields never hold the separator or a line end.
    auto add = [&out](QStringView field) {
        const qsizetype start = out.size();
        out += field;
        for (qsizetype i = start; i < out.size(); ++i)
            if (out[i] == u'\t' || out[i] == u'\n' || out[i] == u'\r')
                out[i] = u' ';
        out += u'\t';
    };
    add(uid);
    add(book);
    add(kind);
    add(name);
    add(dateText(year, month, day));
    add(picture);
    add(gone ? u"1" : u"");
    add(replaced.join(u'/'));
    out.chop(1);
    return out;
}

QStringView CardLink::field(QStringView cell, int n) {
    for (QStringView f : cell.tokenize(u'\t'))
        if (n-- == 0)
            return f;
    return {};
}

QString CardLink::key(QStringView uid, QStringView kind) {
    QString key;
    key.reserve(uid.size() + kind.size() + 1);
    key += uid;
    key += QChar(0x1F);
    key += kind;
    return key;
}

CardLink CardLink::of(const QString& cell) {
    CardLink link;
    const QStringList fields = cell.split(u'\t');
    if (fields.size() != 8 || fields[0].isEmpty() || !readDate(fields[4], link.year, link.month, link.day))
        return link;
    link.uid = fields[0];
    link.book = fields[1];
    link.kind = fields[2];
    link.name = fields[3];
    if (isPlainPicture(fields[5]))
        link.picture = fields[5];
    link.gone = !fields[6].isEmpty();
    for (const QString& old : fields[7].split(u'/', Qt::SkipEmptyParts))
        if (isPlainPicture(old))
            link.replaced << old;
    return link;
}

QString CardLinksFile(const QString& folder, const QString& baseName) {
    return folder + baseName + QStringLiteral(".kaarten");
}

void ReadCardLinks(RecordTable& table, const QString& file) {
    if (!QFileInfo::exists(file))
        return;
    const QByteArray bytes = readSmallFile(file);
    if (!bytes.startsWith(header)) {
        WriteLog(QStringLiteral("Kaartkoppelingen niet gelezen: ") + file);
        return;
    }
    const QString text = QString::fromUtf8(QByteArrayView(bytes).sliced(header.size()));
    CardMemory& memory = table.cardMemory();
    // The records by kind and name; a record takes one link, the first of
    // equals with the same date first.
    QMultiHash<size_t, int> records;
    records.reserve(table.recordCount());
    for (int r = 1; r <= table.recordCount(); ++r)
        records.insert(recordHash(table.cell(r, Col::Kind), table.cell(r, Col::Name)), r);
    for (QStringView line : QStringView(text).tokenize(u'\n', Qt::SkipEmptyParts)) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        if (line.size() <= MaxLinkCell && line.count(u'\t') == 3 && CardLink::field(line, 0) == deletedWord) {
            const QStringView uid = CardLink::field(line, 1);
            if (!uid.isEmpty())
                memory.deleted.insert(uid.toString(), {CardLink::field(line, 2).toString(),
                                                       !CardLink::field(line, 3).isEmpty()});
            continue;
        }
        QStringView fields[3];
        qsizetype at = 0;
        bool whole = true;
        for (QStringView& field : fields) {
            const qsizetype tab = line.indexOf(u'\t', at);
            whole = whole && tab >= 0;
            if (!whole)
                break;
            field = line.sliced(at, tab - at);
            at = tab + 1;
        }
        const QStringView cell = whole ? line.sliced(at) : QStringView();
        int y, m, d;
        if (cell.isEmpty() || cell.size() > MaxLinkCell || cell.count(u'\t') != 7 ||
            CardLink::field(cell, 0).isEmpty() || !readDate(CardLink::field(cell, 4), y, m, d))
            continue;
        QString kind, name, date;
        if (line.first(at).contains(u'\\')) {
            kind = Unescaped(fields[0]);
            name = Unescaped(fields[1]);
            date = Unescaped(fields[2]);
            fields[0] = kind;
            fields[1] = name;
            fields[2] = date;
        }
        int first = 0, dated = 0;
        const auto [from, to] = records.equal_range(recordHash(fields[0], fields[1]));
        for (auto it = from; it != to; ++it) {
            const int r = *it;
            if (!table.cell(r, Col::CardLink).isEmpty() || table.cell(r, Col::Kind) != fields[0] ||
                table.cell(r, Col::Name) != fields[1])
                continue;
            if (first == 0 || r < first)
                first = r;
            if (table.cell(r, Col::Date) == fields[2] && (dated == 0 || r < dated))
                dated = r;
        }
        const QString link = cell.toString();
        memory.saved.insert(CardLink::key(CardLink::field(link, 0), CardLink::field(link, 2)), link);
        const int found = dated > 0 ? dated : first;
        if (found > 0)
            table.setCell(found, Col::CardLink, link);
    }
}

namespace {
// The links of the records in `table`, by UID and kind.
QHash<QString, QString> linksOf(const RecordTable& table) {
    QHash<QString, QString> links;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const QString& cell = table.cell(r, Col::CardLink);
        if (!cell.isEmpty())
            links.insert(CardLink::key(CardLink::field(cell, 0), CardLink::field(cell, 2)), cell);
    }
    return links;
}

// The cards of the links the side file held that `kept` lacks, added to
// those remembered.
QMap<QString, CardMemory::Deleted> deletedBeside(const CardMemory& memory,
                                                 const QHash<QString, QString>& kept) {
    QMap<QString, CardMemory::Deleted> deleted = memory.deleted;
    for (auto it = memory.saved.cbegin(); it != memory.saved.cend(); ++it) {
        if (kept.contains(it.key()))
            continue;
        const QString uid = CardLink::field(it.value(), 0).toString();
        if (!deleted.contains(uid))
            deleted.insert(uid, {CardLink::field(it.value(), 1).toString(), false});
    }
    return deleted;
}
} // namespace

void ForgetCardLinksNotFound(RecordTable& table, const QString& folder, const QString& file, bool utf8) {
    table.cardMemory().saved = linksOf(table);
    WriteCardLinks(table, folder, file, utf8);
}

QMap<QString, CardMemory::Deleted> DeletedCards(const RecordTable& table) {
    return deletedBeside(table.cardMemory(), linksOf(table));
}

bool WriteCardLinks(RecordTable& table, const QString& folder, const QString& file, bool utf8) {
    QSet<QString> pictures; // in use, in lower case: the folder may be shared with Windows
    for (int r = 1; r <= table.recordCount(); ++r)
        pictures.insert(table.cell(r, Col::Picture).toLower());

    // A picture that a rename replaced goes once the saved records no longer
    // use it, and only while its copy under the new name is the same picture.
    for (int r = 1; r <= table.recordCount(); ++r) {
        CardLink link = CardLink::of(table.cell(r, Col::CardLink));
        if (link.replaced.isEmpty())
            continue;
        const QByteArray kept = link.picture.isEmpty() ? QByteArray() : readSmallFile(folder + link.picture);
        for (const QString& old : std::as_const(link.replaced))
            if (!kept.isEmpty() && !pictures.contains(old.toLower()) && readSmallFile(folder + old) == kept)
                QFile::remove(folder + old);
        link.replaced.clear();
        table.setCell(r, Col::CardLink, link.cell());
    }

    QString text;
    QHash<QString, QString> saved;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const QString& cell = table.cell(r, Col::CardLink);
        // A record without a date was not saved.
        if (cell.isEmpty() || RemoveSpaces(table.cell(r, Col::Date)).isEmpty() ||
            !CardLink::of(cell).isValid())
            continue;
        // As the data file gives them back, so that the link finds its record.
        AppendEscaped(text, NormaliseKind(DataFile::savedField(table.cell(r, Col::Kind), utf8)));
        text += u'\t';
        AppendEscaped(text, DataFile::savedField(table.cell(r, Col::Name), utf8));
        text += u'\t';
        AppendEscaped(text, DataFile::savedField(table.cell(r, Col::Date), utf8));
        text += u'\t';
        text += cell;
        text += u'\n';
        saved.insert(CardLink::key(CardLink::field(cell, 0), CardLink::field(cell, 2)), cell);
    }
    const QMap<QString, CardMemory::Deleted> deleted = deletedBeside(table.cardMemory(), saved);
    for (auto it = deleted.cbegin(); it != deleted.cend(); ++it) {
        text += deletedWord;
        text += u'\t';
        text += it.key();
        text += u'\t';
        text += it->book;
        text += it->named ? QStringView(u"\tgenoemd\n") : QStringView(u"\t\n");
    }
    const bool written = (text.isEmpty() && !QFileInfo::exists(file) && !QFileInfo(file).isSymLink()) ||
                         replaceFile(file, header + text.toUtf8());
    if (!written) {
        WriteLog(QStringLiteral("Kaartkoppelingen niet bewaard: ") + file);
        return false;
    }
    table.cardMemory() = {saved, deleted};
    return true;
}
