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
#include <thread>
#include <vector>

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

// The picture of a card as the picture import makes it: wider than 200 is
// shrunk to 200 at quality 75, a narrower one is kept as it is.
bool writePicture(const QByteArray& jpeg, const QString& path) {
    constexpr int MaxWidth = 200;
    Bitmap24 bitmap;
    // One pixel more than the width: only a picture that needs shrinking is
    // shrunk while decoding, and the narrower ones still show as such.
    if (!DecodeJpegForWidth(jpeg, MaxWidth + 1, bitmap))
        return false;
    if (bitmap.width() <= MaxWidth) {
        QFile file(path);
        return file.open(QIODevice::WriteOnly) && file.write(jpeg) == jpeg.size();
    }
    return SaveShrunkJpeg(bitmap, MaxWidth, path);
}

// A free file name for the picture of `name` in `folder`: an existing
// picture of someone else is never overwritten.
QString freePictureName(const QString& folder, const QString& name, const QSet<QString>& reserved) {
    const QString first = PictureFileName(name, QStringLiteral("x.jpg"));
    QString candidate = first;
    for (int n = 2; reserved.contains(candidate) || QFileInfo::exists(folder + candidate); ++n)
        candidate = first.chopped(4) + u'-' + QString::number(n) + QStringLiteral(".jpg");
    return candidate;
}
} // namespace

QString ImportSummary::line() const {
    return QString::number(added) + QStringLiteral(" toegevoegd, ") + QString::number(present) +
           QStringLiteral(" al aanwezig, ") + QString::number(skipped) + QStringLiteral(" overgeslagen");
}

ImportSummary ImportCards(const QList<VCard>& cards, const ImportTarget& target) {
    ImportSummary s;
    RecordTable& table = *target.table;
    QHash<QString, int> rows; // name and kind -> row of the record already there
    for (int r = 1; r <= table.recordCount(); ++r)
        rows.insert(key(table.cell(r, Col::Kind), baseOf(table.cell(r, Col::Name))), r);
    table.reserve(table.recordCount() + int(cards.size()));

    struct PhotoJob {
        QByteArray jpeg;
        QString path;
        QList<int> rows;
        QString label;
        bool ok = false;
    };
    QList<PhotoJob> photos;
    QSet<QString> reserved; // picture names given out in this import
    int number = 0;
    for (const VCard& card : cards) {
        ++number;
        VCardContact c = ContactOfCard(card);
        const QString label = QStringLiteral("Kaart ") + QString::number(number);
        if (c.name.isEmpty()) {
            ++s.skipped;
            s.reasons << label + QStringLiteral(": geen naam");
            continue;
        }
        if (!target.utf8) {
            QString fitted;
            if (!closeToCp1252(c.name, fitted)) {
                ++s.skipped;
                s.reasons << label + QStringLiteral(" (") + c.name +
                                 QStringLiteral(
                                     "): de naam kan niet in dit bestand (Windows-1252) worden geschreven");
                continue;
            }
            c.name = fitted;
            for (QString* f : {&c.mail, &c.phone, &c.street, &c.postcodeCity, &c.country})
                closeToCp1252(QString(*f), *f);
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
                ++s.present;
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
            ++s.added;
        }
        if (!any) {
            ++s.skipped;
            s.reasons << label + QStringLiteral(" (") + c.name + QStringLiteral("): ") +
                             (unreadable.isEmpty() ? QStringLiteral("geen datum")
                                                   : unreadable.join(QStringLiteral(", ")));
            continue;
        }
        for (const QString& u : unreadable)
            s.notes << label + QStringLiteral(" (") + c.name + QStringLiteral("): ") + u;

        if (newRows.isEmpty() || target.pictureFolder.isEmpty())
            continue;
        if (c.photoIsLink) {
            s.notes << label + QStringLiteral(" (") + c.name +
                           QStringLiteral("): de foto staat op het web en wordt niet opgehaald");
        } else if (!c.photo.isEmpty()) {
            const QString file = freePictureName(target.pictureFolder, c.name, reserved);
            reserved.insert(file);
            photos.append(
                {c.photo, target.pictureFolder + file, newRows, label + QStringLiteral(" (") + c.name});
            for (int r : newRows)
                table.setCell(r, Col::Picture, file);
        }
    }

    // The pictures are made side by side: decoding and shrinking a thousand
    // photos is most of an import's time.
    std::atomic<qsizetype> next{0};
    PhotoJob* const jobs = photos.data(); // detached once, before the threads share it
    auto work = [&] {
        for (qsizetype i; (i = next++) < photos.size();)
            jobs[i].ok = isJpeg(jobs[i].jpeg) && writePicture(jobs[i].jpeg, jobs[i].path);
    };
    const qsizetype threads =
        std::min<qsizetype>(std::clamp(QThread::idealThreadCount(), 1, 4), photos.size());
    std::vector<std::thread> helpers(size_t(std::max<qsizetype>(threads - 1, 0)));
    for (std::thread& t : helpers)
        t = std::thread(work);
    work();
    for (std::thread& t : helpers)
        t.join();
    for (const PhotoJob& p : photos) {
        if (p.ok) {
            s.writtenPictures << p.path;
            continue;
        }
        QFile::remove(p.path);
        for (int r : p.rows)
            table.row(r)[Col::Picture].clear();
        s.notes << p.label + QStringLiteral("): de foto is geen geldig .jpg-bestand en wordt niet gebruikt");
    }
    return s;
}

ImportOutcome ImportIntoDataFile(const QList<VCard>& cards, const QString& dataFile) {
    ImportOutcome outcome;
    const QFileInfo info(dataFile);
    const DataFile::PathParts parts = DataFile::splitPath(dataFile);
    const QString& folder = parts.folder;

    RecordTable table;
    DataFile data(table);
    data.dataFolder = folder;
    data.saveBaseName = parts.baseName;
    data.extension = parts.extension;
    data.retryDelayMs = 0;
    if (info.exists() && info.size() > 0) {
        // A file without a single record is no data file of ours (a card file
        // named by mistake, say): saving would throw its contents away.
        if (data.read(folder, data.saveBaseName, data.extension) != DataFile::ReadResult::Ok ||
            table.recordCount() == 0) {
            outcome.error =
                QStringLiteral("Het bestand ") + dataFile +
                QStringLiteral(" kan niet als Brolt-bestand worden gelezen; er is niets veranderd.");
            return outcome;
        }
    } else {
        // A new file: year-month-day, UTF-8.
        data.dateNotation = YearMonthDay;
        data.utf8 = true;
    }
    if (!QDir().mkpath(folder)) {
        outcome.error = QStringLiteral("De map ") + folder + QStringLiteral(" kan niet worden gemaakt.");
        return outcome;
    }

    outcome.summary = ImportCards(cards, {&table, data.dateNotation, data.utf8, folder});
    if (outcome.summary.added == 0) {
        outcome.ok = true; // nothing new: the file stays as it was
        return outcome;
    }
    data.painted = true;
    data.unsavedChanges = true;
    data.otherFileRead = false;
    if (!data.save()) {
        for (const QString& picture : outcome.summary.writtenPictures)
            QFile::remove(picture);
        outcome.summary.writtenPictures.clear();
        outcome.error = QStringLiteral("De gegevens kunnen niet worden bewaard in ") + dataFile +
                        QStringLiteral("; er is niets veranderd.");
        return outcome;
    }
    outcome.ok = true;
    return outcome;
}

QString ConfiguredDataFile() {
    LoadWorkingSettings();
    const QFileInfo info(Working().nameOfFile);
    const QString suffix = info.suffix();
    return info.path() + QStringLiteral("/Brolt") +
           (suffix.isEmpty() ? QStringLiteral(".dat") : u'.' + suffix);
}
