#include "records/CardLinks.h"

#include "kit/Log.h"
#include "kit/Support.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <cerrno>
#include <cstdio>

#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr QChar separator(0x1F);

// No field of a link is longer: card texts stop at 1 000 characters, paths
// and addresses well before this.
constexpr qsizetype MaxLinkField = 4096;

QString dateText(int year, int month, int day) {
    return QString::asprintf("%04d-%02d-%02d", year, month, day);
}

bool readDate(const QString& text, int& year, int& month, int& day) {
    const QStringList parts = text.split(u'-');
    if (parts.size() != 3)
        return false;
    bool ok[3];
    year = parts[0].toInt(&ok[0]);
    month = parts[1].toInt(&ok[1]);
    day = parts[2].toInt(&ok[2]);
    return ok[0] && ok[1] && ok[2] && month >= 1 && month <= 12 && day >= 1 && day <= 31;
}

// A picture the side file names is only ever a plain file of the data folder.
bool isPlainPicture(const QString& name) {
    if (name.isEmpty() || name.startsWith(u'.') || !name.endsWith(QLatin1String(".jpg"), Qt::CaseInsensitive))
        return false;
    for (QChar c : name)
        if (c == u'/' || c == u'\\' || c.unicode() < 0x20 || c.unicode() == 0x7F)
            return false;
    return true;
}

QString recordKey(const QString& kind, const QString& name) {
    return kind + separator + name;
}

// Only a regular file is read: a pipe or a device put in its place would
// hold the start of the program up, or never end.
QByteArray readSmallFile(const QString& path) {
    if (!QFileInfo(path).isFile())
        return {};
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly) || file.size() > MaxCardLinksBytes)
        return {};
    return file.read(MaxCardLinksBytes);
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
    bool ok = true;
    for (qsizetype done = 0; ok && done < bytes.size();) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n > 0)
            done += n;
        else if (n == 0 || errno != EINTR)
            ok = false;
    }
    ok = ::fsync(fd) == 0 && ok;
    ok = ::close(fd) == 0 && ok;
    if (ok && std::rename(temp.constData(), name.constData()) == 0)
        return true;
    ::unlink(temp.constData());
    return false;
}
} // namespace

QString CardLink::cell() const {
    if (uid.isEmpty())
        return {};
    QStringList fields = {uid,
                          book,
                          kind,
                          name,
                          dateText(year, month, day),
                          picture,
                          gone ? QStringLiteral("1") : QString(),
                          replaced.join(u'/')};
    for (QString& f : fields)
        f.replace(separator, u' ');
    return fields.join(separator);
}

CardLink CardLink::of(const QString& cell) {
    CardLink link;
    const QStringList fields = cell.split(separator);
    if (fields.size() != 8 || !readDate(fields[4], link.year, link.month, link.day))
        return link;
    link.uid = fields[0];
    link.book = fields[1];
    link.kind = fields[2];
    link.name = fields[3];
    link.picture = fields[5];
    link.gone = !fields[6].isEmpty();
    link.replaced = fields[7].split(u'/', Qt::SkipEmptyParts);
    return link;
}

QString CardLinksFile(const QString& folder, const QString& baseName) {
    return folder + baseName + QStringLiteral("-kaarten.json");
}

void ReadCardLinks(RecordTable& table, const QString& file) {
    if (!QFileInfo::exists(file))
        return;
    QJsonParseError error{};
    const QJsonDocument document = QJsonDocument::fromJson(readSmallFile(file), &error);
    if (error.error != QJsonParseError::NoError) {
        WriteLog(QStringLiteral("Kaartkoppelingen niet gelezen: ") + file);
        return;
    }
    // The records without a link, by kind and name; the first of equals with
    // the same date is taken.
    QHash<QString, QList<int>> records;
    for (int r = 1; r <= table.recordCount(); ++r)
        records[recordKey(table.cell(r, Col::Kind), table.cell(r, Col::Name))] << r;
    QSet<QString> seen; // UID and kind: one record each
    const QJsonArray links = document.object().value(QLatin1String("kaarten")).toArray();
    for (const QJsonValue& value : links) {
        const QJsonObject o = value.toObject();
        const QJsonObject record = o.value(QLatin1String("record")).toObject();
        CardLink link;
        link.uid = o.value(QLatin1String("uid")).toString();
        link.book = o.value(QLatin1String("book")).toString();
        link.kind = o.value(QLatin1String("kind")).toString();
        link.name = o.value(QLatin1String("name")).toString();
        link.picture = o.value(QLatin1String("picture")).toString();
        link.gone = o.value(QLatin1String("gone")).toBool();
        const QString kind = record.value(QLatin1String("kind")).toString();
        const QString name = record.value(QLatin1String("name")).toString();
        const QString date = record.value(QLatin1String("date")).toString();
        bool fits = true;
        const QString* fields[] = {&link.uid,     &link.book, &link.kind, &link.name,
                                   &link.picture, &kind,      &name,      &date};
        for (const QString* f : fields)
            fits = fits && f->size() <= MaxLinkField;
        if (!fits || link.uid.isEmpty() ||
            !readDate(o.value(QLatin1String("date")).toString(), link.year, link.month, link.day))
            continue;
        if (!isPlainPicture(link.picture))
            link.picture.clear();
        if (seen.contains(recordKey(link.kind, link.uid)))
            continue;
        const auto found = records.find(recordKey(kind, name));
        if (found == records.end() || found->isEmpty())
            continue;
        qsizetype pick = 0;
        for (qsizetype i = 0; i < found->size(); ++i)
            if (table.cell(found->at(i), Col::Date) == date) {
                pick = i;
                break;
            }
        table.setCell(found->takeAt(pick), Col::CardLink, link.cell());
        seen.insert(recordKey(link.kind, link.uid));
    }
}

bool WriteCardLinks(RecordTable& table, const QString& folder, const QString& file) {
    QJsonArray links;
    QSet<QString> pictures; // in use, in lower case: the folder may be shared with Windows
    for (int r = 1; r <= table.recordCount(); ++r) {
        pictures.insert(table.cell(r, Col::Picture).toLower());
        const CardLink link = CardLink::of(table.cell(r, Col::CardLink));
        // A record without a date was not saved.
        if (!link.isValid() || RemoveSpaces(table.cell(r, Col::Date)).isEmpty())
            continue;
        QJsonObject o{
            {QLatin1String("uid"), link.uid},
            {QLatin1String("book"), link.book},
            {QLatin1String("kind"), link.kind},
            {QLatin1String("name"), link.name},
            {QLatin1String("date"), dateText(link.year, link.month, link.day)},
            {QLatin1String("record"), QJsonObject{{QLatin1String("kind"), table.cell(r, Col::Kind)},
                                                  {QLatin1String("name"), table.cell(r, Col::Name)},
                                                  {QLatin1String("date"), table.cell(r, Col::Date)}}}};
        if (!link.picture.isEmpty())
            o.insert(QLatin1String("picture"), link.picture);
        if (link.gone)
            o.insert(QLatin1String("gone"), true);
        links.append(o);
    }

    // A picture that a rename replaced goes once the saved records no longer
    // use it, and only while its copy under the new name is the same picture.
    for (int r = 1; r <= table.recordCount(); ++r) {
        CardLink link = CardLink::of(table.cell(r, Col::CardLink));
        if (link.replaced.isEmpty())
            continue;
        const QByteArray kept = link.picture.isEmpty() ? QByteArray() : readSmallFile(folder + link.picture);
        for (const QString& old : std::as_const(link.replaced))
            if (!kept.isEmpty() && isPlainPicture(old) && !pictures.contains(old.toLower()) &&
                readSmallFile(folder + old) == kept)
                QFile::remove(folder + old);
        link.replaced.clear();
        table.setCell(r, Col::CardLink, link.cell());
    }

    if (links.isEmpty() && !QFileInfo::exists(file) && !QFileInfo(file).isSymLink())
        return true;
    const QByteArray bytes =
        QJsonDocument(QJsonObject{{QLatin1String("versie"), 1}, {QLatin1String("kaarten"), links}})
            .toJson(QJsonDocument::Indented);
    if (replaceFile(file, bytes))
        return true;
    WriteLog(QStringLiteral("Kaartkoppelingen niet bewaard: ") + file);
    return false;
}
