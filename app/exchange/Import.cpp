#include "exchange/Import.h"

#include "lists/Resize.h"
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
} // namespace

ImportSummary& ImportSummary::operator+=(const ImportSummary& other) {
    added += other.added;
    present += other.present;
    skipped += other.skipped;
    reasons += other.reasons;
    notes += other.notes;
    writtenPictures += other.writtenPictures;
    cancelled |= other.cancelled;
    return *this;
}

QString ImportSummary::line() const {
    return QString::number(added) + QStringLiteral(" toegevoegd, ") + QString::number(present) +
           QStringLiteral(" al aanwezig, ") + QString::number(skipped) + QStringLiteral(" overgeslagen");
}

ImportSummary ImportCards(const QByteArray& source, const ImportTarget& target) {
    ImportSummary s;
    RecordTable& table = *target.table;
    QHash<QString, int> rows; // name and kind -> row of the record already there
    for (int r = 1; r <= table.recordCount(); ++r)
        rows.insert(key(table.cell(r, Col::Kind), baseOf(table.cell(r, Col::Name))), r);

    QList<PhotoJob> photos;
    std::optional<PictureNames> names; // looked up at the first photo
    VCardReader reader(source);
    VCard card;
    const QString reading = QStringLiteral("Kaarten gelezen");
    int number = 1;
    for (; reader.next(card); ++number) {
        if (target.progress && !target.progress({reading, number - 1})) {
            s.cancelled = true;
            return s;
        }
        const QString label = QStringLiteral("Kaart ") + QString::number(number);
        auto skip = [&](const QString& why) {
            ++s.skipped;
            s.reasons << label + why;
        };
        if (!card.problem.isEmpty()) {
            skip(QStringLiteral(": ") + card.problem);
            continue;
        }
        VCardContact c = ContactOfCard(card);
        if (c.name.isEmpty()) {
            skip(QStringLiteral(": geen naam"));
            continue;
        }
        if (c.name.size() > MaxCardFieldLength) {
            skip(QStringLiteral(": de naam is langer dan 1 000 tekens"));
            continue;
        }
        if (const QString why = overlongField(c); !why.isEmpty()) {
            skip(QStringLiteral(" (") + c.name + QStringLiteral("): ") + why);
            continue;
        }
        if (!target.utf8) {
            QString fitted;
            if (!closeToCp1252(c.name, fitted)) {
                skip(QStringLiteral(" (") + c.name +
                     QStringLiteral("): de naam kan niet in dit bestand (Windows-1252) worden geschreven"));
                continue;
            }
            // A character may fold into a separator ("；" into ";"): the
            // record, its picture and the next import's check must agree.
            c.name = CleanCardText(fitted).simplified();
            for (QString* f : {&c.mail, &c.phone, &c.street, &c.postcodeCity, &c.country}) {
                closeToCp1252(QString(*f), fitted);
                *f = CleanCardText(fitted);
            }
            if (c.name.isEmpty()) {
                skip(QStringLiteral(": geen naam"));
                continue;
            }
        }

        struct Event {
            QString kind;
            QString name;
            VCardDate date;
            QString text;
            const char* what;
        };
        const Event events[] = {
            {Kind::Geboorte, c.name, c.birth, c.birthText, "geboortedatum"},
            {Kind::Huwelijk, c.name, c.anniversary, c.anniversaryText, "trouwdatum"},
            // So that the death sentence finds the birth record by its base name.
            {Kind::Overlijden, c.name + QStringLiteral(" (overleden)"), c.death, c.deathText, "sterfdatum"},
        };
        QStringList unreadable;
        bool any = false;
        QList<int> newRows;
        for (const Event& e : events) {
            if (!e.date.isValid()) {
                if (!e.text.isEmpty())
                    unreadable << QString::fromLatin1(e.what) + QStringLiteral(" \"") + e.text +
                                      QStringLiteral("\" is geen datum");
                continue;
            }
            any = true;
            const QString k = key(e.kind, e.name);
            const QString text = DateInNotation(e.date.year, e.date.month, e.date.day, target.notation);
            if (const auto it = rows.constFind(k); it != rows.constEnd()) {
                int y = 0, m = 0, d = 0;
                const QString& old = table.cell(*it, Col::Date);
                if (!RecordDateParts(old.trimmed(), target.notation, y, m, d) || y != e.date.year ||
                    m != e.date.month || d != e.date.day)
                    s.reasons << label + QStringLiteral(" (") + e.name +
                                     QStringLiteral("): al aanwezig als ") + e.kind + QStringLiteral(" op ") +
                                     old + QStringLiteral(", de kaart zegt ") + text +
                                     QStringLiteral("; het bestaande blijft");
                continue;
            }
            RecordTable::Row& row = table.appendEmptyRecord();
            row[Col::Name] = e.name;
            row[Col::Date] = text;
            row[Col::Kind] = e.kind;
            row[Col::Mail] = c.mail;
            row[Col::Phone] = c.phone;
            row[Col::Street] = c.street;
            row[Col::PostcodeCity] = c.postcodeCity;
            row[Col::Country] = c.country;
            const int r = table.recordCount();
            rows.insert(k, r);
            newRows << r;
        }
        if (!any) {
            skip(QStringLiteral(" (") + c.name + QStringLiteral("): ") +
                 (unreadable.isEmpty() ? QStringLiteral("geen datum")
                                       : unreadable.join(QStringLiteral(", "))));
            continue;
        }
        ++(newRows.isEmpty() ? s.present : s.added);
        const QString named = label + QStringLiteral(" (") + c.name + QStringLiteral("): ");
        for (const QString& u : unreadable)
            s.notes << named + u;

        if (newRows.isEmpty() || target.pictureFolder.isEmpty())
            continue;
        if (c.photoIsLink) {
            s.notes << named + QStringLiteral("de foto staat op het web en wordt niet opgehaald");
        } else if (c.photoIsEmpty) {
            s.notes << named + QStringLiteral("de foto in de kaart is leeg");
        } else if (!c.photo.isEmpty()) {
            if (!names)
                names.emplace(target.pictureFolder);
            const QString file = names->take(c.name);
            photos.append({c.photo, file, newRows, named, {}});
            for (int r : newRows)
                table.setCell(r, Col::Picture, file);
        }
    }

    if (target.progress && !target.progress({reading, number - 1}))
        s.cancelled = true;
    else if (!makePictures(photos, target.pictureFolder, target.progress))
        s.cancelled = true;
    for (const PhotoJob& p : photos) {
        if (p.failure.isEmpty()) {
            s.writtenPictures << target.pictureFolder + p.file;
            continue;
        }
        for (int r : p.rows)
            table.row(r)[Col::Picture].clear();
        s.notes << p.label + p.failure;
    }
    return s;
}

ImportSummary ImportSources(const QList<CardSource>& sources, const ImportTarget& target) {
    ImportSummary all;
    qint64 total = 0, before = 0;
    if (target.progress)
        for (const CardSource& source : sources)
            total += cardCount(source.cards);
    for (const CardSource& source : sources) {
        ImportTarget one = target;
        one.book = source.book;
        // The cards of all sources are one count; the pictures are each source's own.
        if (target.progress)
            one.progress = [&](const ExchangeStep& step) {
                if (step.bytes || step.total > 0)
                    return target.progress(step);
                return target.progress({step.what, before + step.done, std::max(total, before + step.done)});
            };
        all += ImportCards(source.cards, one);
        if (all.cancelled)
            break;
        before += cardCount(source.cards);
    }
    return all;
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
        // A new file: year-month-day, UTF-8.
        m_data.dateNotation = YearMonthDay;
        m_data.utf8 = true;
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
    if (summary.added == 0)
        return true; // nothing new: the file stays as it was
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
    outcome.summary = ImportSources(sources, target);
    outcome.ok = file.save(outcome.summary, outcome.error);
    return outcome;
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
