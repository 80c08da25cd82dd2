#include "exchange/Import.h"

#include "lists/Resize.h"
#include "records/CardLinks.h"
#include "records/DataFile.h"
#include "records/Dates.h"
#include "settings/Working.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QSet>
#include <QThread>

#include <algorithm>
#include <atomic>
#include <optional>
#include <thread>
#include <vector>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
QString key(const QString& kind, const QString& name) {
    return kind + QChar(0x1F) + name;
}

QString baseOf(QString name) {
    while (name.endsWith(u' '))
        name.chop(1);
    return name;
}

bool fitsCp1252(QChar c) {
    return c.unicode() < 0x80 || DataFile::encode(QString(c), false) != "?";
}

// The text as close as Windows-1252 can write it: accents it lacks are left
// off ("ř" becomes "r").  False when a character has no such stand-in.
bool closeToCp1252(const QString& text, QString& out) {
    out.clear();
    bool all = true;
    for (QChar c : text) {
        if (fitsCp1252(c)) {
            out += c;
            continue;
        }
        bool found = false;
        for (QChar d : QString(c).normalized(QString::NormalizationForm_KD)) {
            if (d.category() == QChar::Mark_NonSpacing)
                continue;
            if (fitsCp1252(d)) {
                out += d;
                found = true;
            }
        }
        if (!found) {
            out += u'?';
            all = false;
        }
    }
    return all;
}

bool isJpeg(const QByteArray& bytes) {
    return bytes.size() > 3 && uchar(bytes[0]) == 0xFF && uchar(bytes[1]) == 0xD8;
}

// The pictures the program shows itself: never a card's file name, whether or
// not the data folder holds them (yet).
const QStringList ownPictures = {QStringLiteral("blanc.jpg")};

// Picture file names for the cards: never a name that exists in the data
// folder (in any case: the folder may be shared with Windows) or was given
// out before in this import.
class PictureNames {
public:
    explicit PictureNames(const QString& folder) {
        const QStringList entries = QDir(folder).entryList(QDir::AllEntries | QDir::System | QDir::Hidden |
                                                           QDir::NoDotAndDotDot); // dangling links too
        for (const QString& entry : entries)
            m_taken.insert(entry.toLower());
        for (const QString& own : ownPictures)
            m_taken.insert(own);
    }
    QString take(const QString& name) {
        const QString first = PictureFileName(name, QStringLiteral("x.jpg"));
        QString candidate = first;
        for (int n = 2; m_taken.contains(candidate.toLower()); ++n)
            candidate = first.chopped(4) + u'-' + QString::number(n) + QStringLiteral(".jpg");
        m_taken.insert(candidate.toLower());
        return candidate;
    }

private:
    QSet<QString> m_taken;
};

struct PhotoJob {
    QByteArray jpeg;
    QString file; // the name in the data folder
    QList<int> rows;
    QString label;
    QString failure; // empty when the picture was written
};

// Decodes, shrinks and writes the pictures side by side: that is most of an
// import's time when a thousand cards have photos.  False when the progress
// stopped it; the pictures not made then have a failure.
bool makePictures(QList<PhotoJob>& photos, const QString& folder, const ImportProgress& progress) {
    std::atomic<qsizetype> next{0};
    std::atomic<qsizetype> done{0};
    std::atomic<bool> stop{false};
    PhotoJob* const jobs = photos.data(); // detached once, before the threads share it
    // Only the calling thread tells the progress, between its own pictures.
    auto work = [&](bool telling) {
        for (qsizetype i; !stop && (i = next++) < photos.size();) {
            PhotoJob& job = jobs[i];
            constexpr int MaxWidth = 200;
            QByteArray jpeg;
            const CardPhoto made =
                isJpeg(job.jpeg) ? MakeCardPhoto(job.jpeg, MaxWidth, jpeg) : CardPhoto::NotJpeg;
            job.jpeg.clear();
            QString why;
            if (made == CardPhoto::NotJpeg)
                job.failure = QStringLiteral("de foto is geen geldig .jpg-bestand en wordt niet gebruikt");
            else if (made == CardPhoto::TooLarge)
                job.failure = QStringLiteral("de foto is te groot om te verkleinen en wordt niet gebruikt");
            else if (!WriteNewFile(folder + job.file, jpeg, why))
                job.failure = QStringLiteral("de foto kan niet worden opgeslagen als ") + job.file +
                              QStringLiteral(": ") + why;
            ++done;
            if (telling && progress && !progress({QStringLiteral("Foto's verkleind"), done, photos.size()}))
                stop = true;
        }
    };
    const qsizetype threads =
        std::min<qsizetype>(std::clamp(QThread::idealThreadCount(), 1, 4), photos.size());
    std::vector<std::thread> helpers(size_t(std::max<qsizetype>(threads - 1, 0)));
    for (std::thread& t : helpers)
        t = std::thread(work, false);
    work(true);
    for (std::thread& t : helpers)
        t.join();
    for (qsizetype i = std::min<qsizetype>(next, photos.size()); i < photos.size(); ++i)
        jobs[i].failure = QStringLiteral("niet gemaakt");
    return !stop;
}

// The cards in `bytes`, counted as fast as can be for a progress bar: the
// lines that begin one.
qint64 cardCount(const QByteArray& bytes) {
    qint64 n = 0;
    for (qsizetype at = 0; at >= 0 && at < bytes.size();) {
        if (bytes.size() - at >= 11 && qstrnicmp(bytes.constData() + at, "BEGIN:VCARD", 11) == 0)
            ++n;
        at = bytes.indexOf('\n', at);
        if (at >= 0)
            ++at;
    }
    return n;
}

// Why a card cannot be used because of a field's length, or empty.
QString overlongField(const VCardContact& c) {
    const std::pair<const QString*, const char*> fields[] = {
        {&c.spouse, "de naam van de partner"},
        {&c.mail, "het e-mailadres"},
        {&c.phone, "het telefoonnummer"},
        {&c.street, "de straat"},
        {&c.postcodeCity, "de postcode en plaats"},
        {&c.country, "het land"},
        {&c.birthText, "de geboortedatum"},
        {&c.anniversaryText, "de trouwdatum"},
        {&c.deathText, "de sterfdatum"},
    };
    for (const auto& [field, what] : fields)
        if (field->size() > MaxCardFieldLength)
            return QString::fromLatin1(what) + QStringLiteral(" is langer dan 1 000 tekens");
    return {};
}

// A picture of the data folder, read to be copied under a new name: never
// through a link, never something that is no picture file.
bool readPicture(const QString& path, QByteArray& bytes, QString& why) {
    why = QStringLiteral("de foto kan niet worden gelezen");
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_NOFOLLOW | O_CLOEXEC);
    struct stat info {};
    bool ok = fd >= 0 && ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode) && info.st_size <= MaxVCardBytes;
    if (ok) {
        bytes.resize(qsizetype(info.st_size));
        qsizetype done = 0;
        while (ok && done < bytes.size()) {
            const ssize_t n = ::read(fd, bytes.data() + done, size_t(bytes.size() - done));
            if (n > 0)
                done += n;
            else if (n == 0 || errno != EINTR)
                ok = false;
        }
    }
    if (fd >= 0)
        ::close(fd);
    return ok;
}

// Whether `picture` is a name the import gives the pictures of `person`:
// "Jan.jpg", or "Jan-2.jpg" when that was taken.
bool namedAfter(const QString& picture, const QString& person) {
    const QString first = PictureFileName(person, QStringLiteral("x.jpg"));
    if (picture.compare(first, Qt::CaseInsensitive) == 0)
        return true;
    const QString stem = first.chopped(4) + u'-';
    if (!picture.startsWith(stem, Qt::CaseInsensitive) || !picture.endsWith(QLatin1String(".jpg")))
        return false;
    bool number = false;
    picture.sliced(stem.size(), picture.size() - stem.size() - 4).toInt(&number);
    return number;
}

// One date of a card and the record it makes.
struct Event {
    QString kind;
    QString name;
    VCardDate date;
    QString text;
    const char* what;
};

// One import: the cards of every source against one table.
class Importer {
public:
    // `total`: the cards of all sources, for the progress (0: not counted).
    Importer(const ImportTarget& target, ImportSummary& summary, qint64 total)
        : m_target(target), m_table(*target.table), s(summary), m_total(total),
          m_deleted(DeletedCards(m_table)) {
        for (int r = 1; r <= m_table.recordCount(); ++r) {
            m_rows.insert(key(m_table.cell(r, Col::Kind), baseOf(m_table.cell(r, Col::Name))), r);
            const QString& link = m_table.cell(r, Col::CardLink);
            if (!link.isEmpty())
                m_linked.insert(CardLink::key(CardLink::field(link, 0), CardLink::field(link, 2)), r);
        }
    }

    // False when the progress stopped the import.
    bool read(const CardSource& source) {
        m_book = source.book;
        if (!m_book.isEmpty())
            m_books.insert(m_book);
        VCardReader reader(source.cards);
        VCard card;
        while (reader.next(card)) {
            if (!told())
                return false;
            take(card);
        }
        return told();
    }

    // After the last card: the pictures, and the cards that left their address book.
    void finish();

private:
    void take(const VCard& card);
    // The record `r` of a known card: follows the card's changes where the
    // record still holds what the card gave it before.  True when it changed.
    bool follow(int r, const Event& e, QStringList& changes, QStringList& differs);
    // Says how a record found by name and kind differs from the card's date.
    void compareDate(int r, const Event& e, QStringList& differs) const;
    void setLink(int r, const CardLink& link) {
        const QString cell = link.cell();
        if (m_table.cell(r, Col::CardLink) != cell) {
            m_table.setCell(r, Col::CardLink, cell);
            s.linksChanged = true;
        }
    }
    QString takePictureName(const QString& name) {
        if (!m_names)
            m_names.emplace(m_target.pictureFolder);
        return m_names->take(name);
    }
    void renamePicture(const QString& old, const QString& person, const QString& named);

    // Tells the progress how many cards were read; false (and the import
    // cancelled) when it says stop.
    bool told() {
        if (m_target.progress && !m_target.progress({QStringLiteral("Kaarten gelezen"), m_number,
                                                     std::max<qint64>(m_total, m_number)}))
            s.cancelled = true;
        return !s.cancelled;
    }

    const ImportTarget& m_target;
    RecordTable& m_table;
    ImportSummary& s;
    qint64 m_total;
    QHash<QString, int> m_rows;                   // name and kind -> row of the record already there
    QHash<QString, int> m_linked;                 // UID and kind -> row of the record a card made
    QMap<QString, CardMemory::Deleted> m_deleted; // UID -> a card whose records the user deleted
    QSet<QString> m_uids;                         // of every card read
    QSet<QString> m_books;                        // the address books read whole
    QString m_book;                               // the one being read
    int m_number = 0;
    QList<PhotoJob> m_photos;
    std::optional<PictureNames> m_names; // looked up at the first photo
};

void Importer::take(const VCard& card) {
    const QString label = QStringLiteral("Kaart ") + QString::number(++m_number);
    auto skip = [&](const QString& why) {
        ++s.skipped;
        s.reasons << label + why;
    };
    if (!card.problem.isEmpty()) {
        skip(QStringLiteral(": ") + card.problem);
        return;
    }
    VCardContact c = ContactOfCard(card);
    // The UID is known whatever the card holds; a second card with the same
    // UID in one import is known by its name only.
    QString uid = c.uid.size() <= MaxCardFieldLength ? c.uid : QString();
    if (m_uids.contains(uid))
        uid.clear();
    else if (!uid.isEmpty())
        m_uids.insert(uid);
    if (c.name.isEmpty()) {
        skip(QStringLiteral(": geen naam"));
        return;
    }
    if (c.name.size() > MaxCardFieldLength) {
        skip(QStringLiteral(": de naam is langer dan 1 000 tekens"));
        return;
    }
    if (const QString why = overlongField(c); !why.isEmpty()) {
        skip(QStringLiteral(" (") + c.name + QStringLiteral("): ") + why);
        return;
    }
    QStringList notes;
    if (!m_target.utf8) {
        QString fitted;
        if (!closeToCp1252(c.name, fitted)) {
            skip(QStringLiteral(" (") + c.name +
                 QStringLiteral("): de naam kan niet in dit bestand (Windows-1252) worden geschreven"));
            return;
        }
        // A character may fold into a separator ("；" into ";"): the
        // record, its picture and the next import's check must agree.
        c.name = CleanCardText(fitted).simplified();
        if (!closeToCp1252(c.spouse, fitted)) {
            notes << QStringLiteral("de naam van de partner kan niet in dit bestand (Windows-1252) worden "
                                    "geschreven");
            fitted.clear();
        }
        c.spouse = CleanCardText(fitted).simplified();
        for (QString* f : {&c.mail, &c.phone, &c.street, &c.postcodeCity, &c.country}) {
            closeToCp1252(QString(*f), fitted);
            *f = CleanCardText(fitted);
        }
        if (c.name.isEmpty()) {
            skip(QStringLiteral(": geen naam"));
            return;
        }
    }

    const Event events[] = {
        {Kind::Geboorte, c.name, c.birth, c.birthText, "geboortedatum"},
        // A wedding is of two: "Jan Visser en partner zijn over 5 dagen 47 jaar getrouwd".
        {Kind::Huwelijk,
         c.name + QStringLiteral(" en ") + (c.spouse.isEmpty() ? QStringLiteral("partner") : c.spouse),
         c.anniversary, c.anniversaryText, "trouwdatum"},
        // So that the death sentence finds the birth record by its base name.
        {Kind::Overlijden, c.name + QStringLiteral(" (overleden)"), c.death, c.deathText, "sterfdatum"},
    };
    const QString named = label + QStringLiteral(" (") + c.name + QStringLiteral("): ");
    QStringList unreadable, changes, differs;
    bool any = false, changed = false, withheld = false;
    QList<int> newRows, renamed;
    for (const Event& e : events) {
        if (!e.date.isValid()) {
            if (!e.text.isEmpty())
                unreadable << QString::fromLatin1(e.what) + QStringLiteral(" \"") + e.text +
                                  QStringLiteral("\" is geen datum");
            continue;
        }
        any = true;
        int r = uid.isEmpty() ? 0 : m_linked.value(CardLink::key(uid, e.kind));
        // The user deleted what the card made: nothing comes back, and a
        // record of that name typed since is the user's own.
        if (r == 0 && !uid.isEmpty() && m_deleted.contains(uid)) {
            withheld = true;
            continue;
        }
        if (r == 0) {
            r = m_rows.value(key(e.kind, e.name));
            // A wedding an earlier import made under the bare name.
            if (r == 0 && e.kind == Kind::Huwelijk)
                r = m_rows.value(key(e.kind, c.name));
            if (r > 0) {
                compareDate(r, e, differs);
                // A record of another card, or a card without UID: known by name only.
                if (uid.isEmpty() || CardLink::of(m_table.cell(r, Col::CardLink)).isValid())
                    continue;
                // From now on the record follows this card; what it holds now is the user's.
                CardLink link{uid,         m_book,       e.kind,    baseOf(m_table.cell(r, Col::Name)),
                              e.date.year, e.date.month, e.date.day};
                setLink(r, link);
                m_linked.insert(CardLink::key(uid, e.kind), r);
            }
        }
        if (r > 0) {
            const QString before = m_table.cell(r, Col::Name);
            if (follow(r, e, changes, differs)) {
                changed = true;
                if (m_table.cell(r, Col::Name) != before)
                    renamed << r;
            }
            continue;
        }
        const QString text = DateInNotation(e.date.year, e.date.month, e.date.day, m_target.notation);
        RecordTable::Row& row = m_table.appendEmptyRecord();
        row[Col::Name] = e.name;
        row[Col::Date] = text;
        row[Col::Kind] = e.kind;
        row[Col::Mail] = c.mail;
        row[Col::Phone] = c.phone;
        row[Col::Street] = c.street;
        row[Col::PostcodeCity] = c.postcodeCity;
        row[Col::Country] = c.country;
        const int added = m_table.recordCount();
        if (!uid.isEmpty()) {
            setLink(added, {uid, m_book, e.kind, e.name, e.date.year, e.date.month, e.date.day});
            m_linked.insert(CardLink::key(uid, e.kind), added);
        }
        m_rows.insert(key(e.kind, e.name), added);
        newRows << added;
    }
    if (!any) {
        skip(QStringLiteral(" (") + c.name + QStringLiteral("): ") +
             (unreadable.isEmpty() ? QStringLiteral("geen datum") : unreadable.join(QStringLiteral(", "))));
        return;
    }
    ++(!newRows.isEmpty() ? s.added : changed ? s.updated : s.present);
    if (!differs.isEmpty())
        s.reasons << named + QStringLiteral("verschilt van uw gegevens: ") +
                         differs.join(QStringLiteral("; ")) + QStringLiteral("; uw gegevens blijven");
    if (!changes.isEmpty())
        s.notes << named + QStringLiteral("bijgewerkt: ") + changes.join(QStringLiteral("; "));
    if (withheld && !m_deleted[uid].named) {
        // Said once; the side file remembers that it was.
        m_deleted[uid].named = true;
        m_table.cardMemory().deleted.insert(uid, m_deleted[uid]);
        s.linksChanged = true;
        s.notes << named + QStringLiteral("door u verwijderd; wordt niet opnieuw toegevoegd");
    }
    for (const QString& u : unreadable + notes)
        s.notes << named + u;

    // A picture the import made goes along with the rename of its record,
    // unless it already bears the name (only the partner changed, say).
    QSet<QString> pictures;
    for (int r : std::as_const(renamed)) {
        const QString picture = CardLink::of(m_table.cell(r, Col::CardLink)).picture;
        if (!picture.isEmpty() && m_table.cell(r, Col::Picture) == picture && !namedAfter(picture, c.name))
            pictures.insert(picture);
    }
    if (!m_target.pictureFolder.isEmpty())
        for (const QString& picture : std::as_const(pictures))
            renamePicture(picture, c.name, named);

    if (newRows.isEmpty() || m_target.pictureFolder.isEmpty())
        return;
    if (c.photoIsLink) {
        s.notes << named + QStringLiteral("de foto staat op het web en wordt niet opgehaald");
    } else if (c.photoIsEmpty) {
        s.notes << named + QStringLiteral("de foto in de kaart is leeg");
    } else if (!c.photo.isEmpty()) {
        const QString file = takePictureName(c.name);
        m_photos.append({c.photo, file, newRows, named, {}});
        for (int r : newRows) {
            m_table.setCell(r, Col::Picture, file);
            CardLink link = CardLink::of(m_table.cell(r, Col::CardLink));
            if (link.isValid()) {
                link.picture = file;
                setLink(r, link);
            }
        }
    }
}

bool Importer::follow(int r, const Event& e, QStringList& changes, QStringList& differs) {
    RecordTable::Row& row = m_table.row(r);
    CardLink link = CardLink::of(row[Col::CardLink]);
    bool changed = false;
    if (e.name != link.name) {
        const QString name = baseOf(row[Col::Name]);
        const int other = m_rows.value(key(row[Col::Kind], e.name));
        if (name == link.name && other > 0 && other != r) {
            differs << row[Col::Kind] + QStringLiteral(" \"") + row[Col::Name] +
                           QStringLiteral("\", de kaart zegt \"") + e.name +
                           QStringLiteral("\" (die naam is er al)");
        } else if (name == link.name) {
            changes << row[Col::Kind] + QStringLiteral(" \"") + row[Col::Name] +
                           QStringLiteral("\" heet nu \"") + e.name + u'"';
            m_rows.remove(key(row[Col::Kind], name));
            row[Col::Name] = e.name;
            m_rows.insert(key(row[Col::Kind], e.name), r);
            changed = true;
        } else if (name != e.name) {
            differs << row[Col::Kind] + QStringLiteral(" \"") + row[Col::Name] +
                           QStringLiteral("\", de kaart zegt \"") + e.name + u'"';
        }
        link.name = e.name;
    }
    if (!link.hasDate(e.date.year, e.date.month, e.date.day)) {
        int y = 0, m = 0, d = 0;
        const bool readable = RecordDateParts(row[Col::Date].trimmed(), m_target.notation, y, m, d);
        const QString text = DateInNotation(e.date.year, e.date.month, e.date.day, m_target.notation);
        if (readable && link.hasDate(y, m, d)) {
            changes << row[Col::Kind] + QStringLiteral(" op ") + text + QStringLiteral(" (was ") +
                           row[Col::Date] + u')';
            row[Col::Date] = text;
            changed = true;
        } else if (!readable || y != e.date.year || m != e.date.month || d != e.date.day) {
            differs << row[Col::Kind] + QStringLiteral(" op ") + row[Col::Date] +
                           QStringLiteral(", de kaart zegt ") + text;
        }
        link.year = e.date.year;
        link.month = e.date.month;
        link.day = e.date.day;
    }
    link.book = m_book;
    link.gone = false;
    setLink(r, link);
    return changed;
}

void Importer::compareDate(int r, const Event& e, QStringList& differs) const {
    int y = 0, m = 0, d = 0;
    const QString& old = m_table.cell(r, Col::Date);
    if (!RecordDateParts(old.trimmed(), m_target.notation, y, m, d) || y != e.date.year ||
        m != e.date.month || d != e.date.day)
        differs << e.kind + QStringLiteral(" op ") + old + QStringLiteral(", de kaart zegt ") +
                       DateInNotation(e.date.year, e.date.month, e.date.day, m_target.notation);
}

void Importer::renamePicture(const QString& old, const QString& person, const QString& named) {
    const QString folder = m_target.pictureFolder;
    const QString fresh = takePictureName(person);
    QByteArray bytes;
    QString why;
    if (!readPicture(folder + old, bytes, why) || !WriteNewFile(folder + fresh, bytes, why)) {
        s.notes << named + QStringLiteral("de foto kan niet worden hernoemd naar ") + fresh +
                       QStringLiteral(": ") + why;
        return;
    }
    s.writtenPictures << folder + fresh;
    // Every record that shows the picture shows it under its new name; the
    // old file goes once the records are saved.
    for (int r = 1; r <= m_table.recordCount(); ++r) {
        RecordTable::Row& row = m_table.row(r);
        if (row[Col::Picture] == old)
            row[Col::Picture] = fresh;
        CardLink link = CardLink::of(row[Col::CardLink]);
        if (link.isValid() && link.picture == old) {
            link.picture = fresh;
            link.replaced << old;
            setLink(r, link);
        }
    }
}

void Importer::finish() {
    // A cancelled import is thrown away whole: no pictures to make, and those
    // made before the stop are taken back with it.
    if (s.cancelled)
        return;
    if (!makePictures(m_photos, m_target.pictureFolder, m_target.progress))
        s.cancelled = true;
    for (const PhotoJob& p : std::as_const(m_photos)) {
        if (p.failure.isEmpty()) {
            s.writtenPictures << m_target.pictureFolder + p.file;
            continue;
        }
        for (int r : p.rows) {
            m_table.row(r)[Col::Picture].clear();
            CardLink link = CardLink::of(m_table.cell(r, Col::CardLink));
            if (link.isValid()) {
                link.picture.clear();
                setLink(r, link);
            }
        }
        s.notes << p.label + p.failure;
    }
    // A card that left an address book read whole leaves its records as
    // they are; it is named once.
    QSet<QString> named;
    for (int r = 1; r <= m_table.recordCount() && !m_books.isEmpty(); ++r) {
        const QString& cell = m_table.cell(r, Col::CardLink);
        if (cell.isEmpty() || !CardLink::field(cell, 6).isEmpty() ||
            !m_books.contains(CardLink::field(cell, 1).toString()) ||
            m_uids.contains(CardLink::field(cell, 0).toString()))
            continue;
        CardLink link = CardLink::of(cell);
        link.gone = true;
        setLink(r, link);
        if (!named.contains(link.uid)) {
            named.insert(link.uid);
            s.notes << m_table.cell(r, Col::Name) +
                           QStringLiteral(": niet meer in het adresboek; uw gegevens blijven");
        }
    }
}
} // namespace

QString ImportSummary::line() const {
    return QStringLiteral("%1 toegevoegd, %2 bijgewerkt, %3 al aanwezig, %4 overgeslagen")
        .arg(added)
        .arg(updated)
        .arg(present)
        .arg(skipped);
}

QString CardFileBook(const QString& path) {
    return QFileInfo(path).absoluteFilePath();
}

QString ServerBook(const QUrl& address) {
    QString book = address.toDisplayString(QUrl::RemoveUserInfo);
    if (!book.endsWith(u'/'))
        book += u'/';
    return book;
}

ImportSummary ImportCards(const QList<CardSource>& sources, const ImportTarget& target) {
    ImportSummary s;
    qint64 total = 0;
    if (target.progress)
        for (const CardSource& source : sources)
            total += cardCount(source.cards);
    Importer importer(target, s, total);
    for (const CardSource& source : sources)
        if (!importer.read(source))
            break;
    importer.finish();
    return s;
}

ImportSummary ImportCards(const QByteArray& source, const ImportTarget& target) {
    return ImportCards(QList<CardSource>{{QString(), source}}, target);
}

void TakeBackPictures(ImportSummary& summary) {
    for (const QString& picture : std::as_const(summary.writtenPictures))
        QFile::remove(picture);
    summary.writtenPictures.clear();
}

DataFileImport::DataFileImport(const QString& dataFile) : m_path(dataFile), m_data(m_table) {}

DataFileImport::~DataFileImport() = default;

bool DataFileImport::open(QString& error) {
    const QFileInfo info(m_path);
    const DataFile::PathParts parts = DataFile::splitPath(m_path);
    m_data.dataFolder = parts.folder;
    m_data.saveBaseName = parts.baseName;
    m_data.extension = parts.extension;
    m_data.retryDelayMs = 0;
    if (info.exists() && info.size() > 0) {
        // A file without a single record is no data file of ours (a card file
        // named by mistake, say): saving would throw its contents away.
        if (m_data.read(parts.folder, parts.baseName, parts.extension) != DataFile::ReadResult::Ok ||
            m_table.recordCount() == 0) {
            error = QStringLiteral("Het bestand ") + m_path +
                    QStringLiteral(" kan niet als Brolt-bestand worden gelezen; er is niets veranderd.");
            return false;
        }
    } else {
        // A new file: year-month-day, UTF-8.  One emptied by deleting every
        // record keeps the cards of those records out.
        m_data.dateNotation = YearMonthDay;
        m_data.utf8 = true;
        if (info.exists())
            ReadCardLinks(m_table, CardLinksFile(parts.folder, parts.baseName));
    }
    if (!QDir().mkpath(parts.folder)) {
        error = QStringLiteral("De map ") + parts.folder + QStringLiteral(" kan niet worden gemaakt.");
        return false;
    }
    return true;
}

ImportTarget DataFileImport::target() {
    return {&m_table, m_data.dateNotation, m_data.utf8, m_data.dataFolder};
}

bool DataFileImport::save(ImportSummary& summary, QString& error) {
    if (summary.cancelled) {
        TakeBackPictures(summary);
        error = QStringLiteral("Importeren geannuleerd; er is niets veranderd.");
        return false;
    }
    if (summary.added == 0 && summary.updated == 0) {
        // Nothing new: the file stays as it was; what the import learnt about
        // the cards of its records is kept beside it.
        if (summary.linksChanged)
            WriteCardLinks(m_table, m_data.dataFolder, CardLinksFile(m_data.dataFolder, m_data.saveBaseName),
                           m_data.utf8);
        return true;
    }
    m_data.painted = true;
    m_data.unsavedChanges = true;
    m_data.otherFileRead = false;
    if (!m_data.save()) {
        TakeBackPictures(summary);
        error = QStringLiteral("De gegevens kunnen niet worden bewaard in ") + m_path +
                QStringLiteral("; er is niets veranderd.");
        return false;
    }
    return true;
}

ImportOutcome ImportIntoDataFile(const QList<CardSource>& sources, const QString& dataFile,
                                 const ImportProgress& progress) {
    ImportOutcome outcome;
    DataFileImport file(dataFile);
    if (!file.open(outcome.error))
        return outcome;
    ImportTarget target = file.target();
    target.progress = progress;
    outcome.summary = ImportCards(sources, target);
    outcome.ok = file.save(outcome.summary, outcome.error);
    return outcome;
}

ImportOutcome ImportIntoDataFile(const QByteArray& source, const QString& dataFile) {
    return ImportIntoDataFile(QList<CardSource>{{QString(), source}}, dataFile);
}

QString ConfiguredDataFile() {
    LoadWorkingSettings();
    const QFileInfo info(Working().nameOfFile);
    const QString suffix = info.suffix();
    return info.path() + QStringLiteral("/Brolt") +
           (suffix.isEmpty() ? QStringLiteral(".dat") : u'.' + suffix);
}

bool ReadCardSource(const QString& path, QByteArray& bytes, QString& error) {
    bytes.clear();
    const QString shown = QStringLiteral("Het bestand ") + path;
    const int fd = ::open(QFile::encodeName(path).constData(), O_RDONLY | O_CLOEXEC);
    struct stat info {};
    if (fd < 0 || ::fstat(fd, &info) != 0) {
        if (fd >= 0)
            ::close(fd);
        error = shown + QStringLiteral(" kan niet worden gelezen.");
        return false;
    }
    // A device (/dev/zero, a terminal) or a folder is no card file; a pipe may be.
    if (!S_ISREG(info.st_mode) && !S_ISFIFO(info.st_mode)) {
        ::close(fd);
        error = shown + QStringLiteral(" is geen gewoon bestand en wordt niet gelezen.");
        return false;
    }
    const QString tooLarge = shown + QStringLiteral(" is groter dan 256 MB; zo groot is geen adresboek.");
    if (S_ISREG(info.st_mode) && info.st_size > MaxCardSourceBytes) {
        ::close(fd);
        error = tooLarge;
        return false;
    }
    bool ok = true;
    constexpr qsizetype chunk = 1 << 20;
    for (;;) {
        if (bytes.size() > MaxCardSourceBytes) {
            error = tooLarge;
            ok = false;
            break;
        }
        const qsizetype had = bytes.size();
        bytes.resize(had + chunk);
        const ssize_t n = ::read(fd, bytes.data() + had, size_t(chunk));
        bytes.resize(had + std::max<ssize_t>(n, 0));
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0) {
            error = shown + QStringLiteral(" kan niet worden gelezen.");
            ok = false;
            break;
        }
        if (n == 0)
            break;
    }
    ::close(fd);
    if (!ok)
        bytes.clear();
    return ok;
}
