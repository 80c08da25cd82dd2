#include "records/DataFile.h"

#include "Ui.h"
#include "kit/Clock.h"
#include "kit/Log.h"
#include "kit/Support.h"
#include "records/CardLinks.h"
#include "records/Dates.h"
#include "records/Reminders.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSet>
#include <QStringDecoder>
#include <QThread>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Windows-1252 for 0x80..0x9F; the five unused codes map to the C1 controls
// of the same number so that every byte survives a round trip.
const char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QByteArray toCp1252(const QString& text) {
    QByteArray bytes(text.size(), Qt::Uninitialized);
    char* out = bytes.data();
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        char b = '?';
        if (c < 0x80 || (c >= 0xA0 && c < 0x100)) {
            b = char(c);
        } else {
            for (int k = 0; k < 32; ++k)
                if (cp1252High[k] == c) {
                    b = char(0x80 + k);
                    break;
                }
        }
        out[i] = b;
    }
    return bytes;
}

// A field may not hold the separator or a line end: it would split the record
// when the file is read again.
QString cleanField(const QString& field) {
    QString f = field;
    for (QChar& c : f) {
        if (c == u';')
            c = u',';
        else if (c == u'\r' || c == u'\n')
            c = u' ';
    }
    return f;
}

bool isAscii(QByteArrayView bytes) {
    // Eight bytes at a time: this looks at every byte of the file.
    const char* p = bytes.data();
    const qsizetype n = bytes.size();
    qsizetype i = 0;
    for (; i + 8 <= n; i += 8) {
        quint64 word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ULL)
            return false;
    }
    for (; i < n; ++i)
        if (uchar(p[i]) >= 0x80)
            return false;
    return true;
}

// The bytes of a data file, handed out in pieces for each look at them, so
// that a big file is never held whole.  Something that is no regular file
// (a pipe) is read once and kept.
class FileBytes {
public:
    // False when the file cannot be opened or read.
    bool open(const QString& path, qsizetype pieceBytes) {
        m_file.close();
        m_bytes.clear();
        m_file.setFileName(path);
        if (!m_file.open(QIODevice::ReadOnly))
            return false;
        m_streamed = !m_file.isSequential();
        if (!m_streamed) {
            m_bytes = m_file.readAll();
            return m_file.error() == QFileDevice::NoError;
        }
        m_bytes.resize(qMax<qsizetype>(pieceBytes, 1));
        return true;
    }
    qint64 size() const { return m_streamed ? m_file.size() : m_bytes.size(); }
    int handle() const { return m_file.handle(); }

    // Calls f(piece) with the bytes from `from` on, in pieces that end just
    // after a line ending (a CR LF is never split), and last with the bytes
    // after the last line ending, if any.  False when reading failed.
    template <typename F> bool forEachPiece(qint64 from, F&& f) {
        if (!m_streamed) {
            f(QByteArrayView(m_bytes).sliced(qMin<qint64>(from, m_bytes.size())));
            return true;
        }
        const int fd = m_file.handle();
        qint64 offset = from;
        qsizetype kept = 0; // the start of an unended line, carried to the next piece
        bool afterCr = false;
        for (;;) {
            if (kept == m_bytes.size())
                m_bytes.resize(m_bytes.size() * 2); // a line longer than a piece
            const ssize_t n = ::pread(fd, m_bytes.data() + kept, size_t(m_bytes.size() - kept), offset);
            if (n < 0 && errno == EINTR)
                continue;
            if (n < 0)
                return false;
            offset += n;
            QByteArrayView data(m_bytes.constData(), kept + n);
            // The LF of a CR LF that was split between two pieces.
            if (afterCr && kept == 0 && !data.isEmpty() && data[0] == '\n')
                data = data.sliced(1);
            afterCr = false;
            if (n == 0) {
                if (!data.isEmpty())
                    f(data);
                return true;
            }
            qsizetype end = data.size();
            while (end > 0 && data[end - 1] != '\n' && data[end - 1] != '\r')
                --end;
            if (end > 0) {
                f(data.first(end));
                afterCr = data[end - 1] == '\r';
            }
            kept = data.size() - end;
            std::memmove(m_bytes.data(), data.constData() + end, size_t(kept));
        }
    }

private:
    QFile m_file;
    QByteArray m_bytes; // the whole of a kept file, or the piece being looked at
    bool m_streamed = false;
};

bool renameOver(const QString& from, const QString& to) {
    return std::rename(QFile::encodeName(from).constData(), QFile::encodeName(to).constData()) == 0;
}
} // namespace

DataFile::DataFile(RecordTable& t) : table(t) {}

namespace {
DataFile::FileStamp stampOf(const struct stat& st) {
    DataFile::FileStamp stamp;
    stamp.exists = true;
    stamp.size = st.st_size;
    stamp.modifiedNs = qint64(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
    stamp.changedNs = qint64(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
    stamp.inode = st.st_ino;
    stamp.device = st.st_dev;
    return stamp;
}
} // namespace

DataFile::FileStamp DataFile::FileStamp::of(const QString& path) {
    struct stat st;
    if (::stat(QFile::encodeName(path).constData(), &st) != 0)
        return {};
    return stampOf(st);
}

DataFile::FileStamp DataFile::FileStamp::ofHandle(int fd) {
    struct stat st;
    if (fd < 0 || ::fstat(fd, &st) != 0)
        return {};
    return stampOf(st);
}

void DataFile::remember(const QString& path, const FileStamp& stamp, bool failed) {
    m_knownPath = path;
    m_knownStamp = stamp;
    m_readFailed = failed;
}

void DataFile::setLocation(const QString& nameOfFile) {
    const QFileInfo info(nameOfFile);
    dataFolder = info.path() + u'/';
    const QString suffix = info.suffix();
    extension = suffix.isEmpty() ? QStringLiteral(".dat") : u'.' + suffix;
}

QByteArray DataFile::encode(const QString& text, bool isUtf8) {
    return isUtf8 ? text.toUtf8() : toCp1252(text);
}

QString DataFile::recordLine(const RecordTable::Row& row) {
    static constexpr int stored[9] = {Col::Date,  Col::Name,   Col::Kind,         Col::Picture, Col::Mail,
                                      Col::Phone, Col::Street, Col::PostcodeCity, Col::Country};
    QString line;
    for (int col : stored) {
        line += cleanField(row[col]);
        line += u';';
    }
    line += QStringLiteral("\r\n");
    return line;
}

QString DataFile::savedField(const QString& field, bool isUtf8) {
    QString saved = cleanField(field);
    if (!isUtf8) {
        const QByteArray bytes = toCp1252(saved); // one byte per character
        for (qsizetype i = 0; i < saved.size(); ++i)
            if (bytes[i] == '?')
                saved[i] = u'?';
    }
    return saved;
}

DataFile::ReadResult DataFile::read(const QString& folderIn, const QString& baseName, const QString& ext) {
    LogScope log("MainForm", "ReadDataFile");
    table.reset();
    QString folder = folderIn;
    QString path = folder + baseName + ext;

    if (!QFileInfo::exists(path) && browseForDataFolder && browseForDataFolder(folder))
        path = folder + baseName + ext;

    FileBytes file;
    readTries = 0;
    bool enough = false;
    while (readTries < 6) {
        if (readTries > 0)
            QThread::msleep(retryDelayMs);
        ++readTries;
        if (file.open(path, readPieceBytes) && file.size() > 20) {
            enough = true;
            break;
        }
    }
    log.setEndSuffix(QStringLiteral(", iCount = ") + QString::number(readTries));
    if (!enough) {
        // A file emptied by deleting every record: the cards of the deleted
        // records are still known.
        if (withCardLinks && !onlyForReminders && FileSizeOf(path) == 0 && QFileInfo::exists(path))
            ReadCardLinks(table, CardLinksFile(folder, baseName));
        remember(path, FileStamp::of(path), true);
        log.endWith(QStringLiteral("Bestand te klein"));
        return ReadResult::TooSmall;
    }
    // Taken before the bytes are read: a change while reading counts as a change.
    const FileStamp opened = FileStamp::ofHandle(file.handle());
    remember(path, opened, true);

    caption = QStringLiteral("Brolt, " BROLT_VERSION_LABEL " - ") + baseName + ext;

    // The encoding is decided for the whole file; then each line is decoded
    // on its own into one reused buffer, so the text is never held twice and
    // only the records kept become strings.
    // Line endings and pieces never split a UTF-8 sequence: the file is
    // valid UTF-8 exactly when every piece is.
    bool ascii = true, validUtf8 = true, byteOrderMark = false, first = true;
    const bool looked = file.forEachPiece(0, [&](QByteArrayView piece) {
        if (first)
            byteOrderMark = piece.startsWith("\xEF\xBB\xBF");
        first = false;
        if (ascii && isAscii(piece))
            return;
        ascii = false;
        validUtf8 = validUtf8 && piece.isValidUtf8();
    });
    enum class Encoding { Ascii, Utf8, Cp1252 };
    const Encoding encoding = ascii ? Encoding::Ascii : validUtf8 ? Encoding::Utf8 : Encoding::Cp1252;
    utf8 = encoding != Encoding::Cp1252;
    // A byte order mark is not part of the text.
    const qint64 textStart = encoding == Encoding::Utf8 && byteOrderMark ? 3 : 0;
    // Every line of the text, a piece at a time; false when reading failed.
    auto forEachLine = [&](auto&& f) {
        return file.forEachPiece(textStart, [&](QByteArrayView piece) { ForEachTextLine(piece, f); });
    };
    // A file that cannot be read to its end is not read at all.
    auto unreadable = [&] {
        table.reset();
        log.endWith(QStringLiteral("Bestand te klein"));
        return ReadResult::TooSmall;
    };
    if (!looked)
        return unreadable();
    QString buffer;
    // The line, or with `fields` > 0 only its first fields (each with the ";"
    // after it): most lines are only looked at, and only their start counts.
    auto decodeLine = [&](QByteArrayView line, int fields = 0) -> QStringView {
        if (encoding == Encoding::Utf8) {
            // A mark further on is a character like any other.
            QStringDecoder decoder(QStringDecoder::Utf8,
                                   QStringDecoder::Flag::Stateless | QStringDecoder::Flag::ConvertInitialBom);
            if (buffer.size() < decoder.requiredSpace(line.size()))
                buffer.resize(decoder.requiredSpace(line.size()));
            const QChar* end = decoder.appendToBuffer(buffer.data(), line);
            return QStringView(buffer.constData(), end - buffer.constData());
        }
        // One byte is one character here: widened up to the last ";" wanted.
        if (buffer.size() < line.size())
            buffer.resize(line.size());
        char16_t* out = reinterpret_cast<char16_t*>(buffer.data());
        const bool ascii = encoding == Encoding::Ascii;
        qsizetype i = 0;
        for (int separators = 0; i < line.size();) {
            const uchar b = uchar(line[i]);
            out[i++] = (!ascii && b >= 0x80 && b < 0xA0) ? cp1252High[b - 0x80] : char16_t(b);
            if (b == ';' && ++separators == fields)
                break;
        }
        return QStringView(out, i);
    };
    // A record line starts with a digit.
    auto isRecord = [](QByteArrayView line) { return !line.isEmpty() && line[0] >= '0' && line[0] <= '9'; };

    NotationDetector detector;
    qsizetype records = 0;
    try {
        const bool read = forEachLine([&](QByteArrayView line) {
            // The detector looks at the first field only (a line without ";" is whole).
            detector.add(decodeLine(line, 1));
            records += isRecord(line);
        });
        if (!read)
            return unreadable();
        dateNotation = detector.notation();
    } catch (const DateError&) {
        log.endWith(QStringLiteral("Notatie onbekend"));
        return ReadResult::NotationFailed;
    }
    if (notationDetected)
        notationDetected(dateNotation);

    // The first fields of a record line; those it lacks are empty.
    auto split = []<size_t count>(QStringView line, QStringView(&fields)[count]) {
        qsizetype from = 0;
        size_t f = 0;
        for (qsizetype i = 0; i <= line.size() && f < count; ++i)
            if (i == line.size() || line[i] == u';') {
                fields[f++] = line.sliced(from, i - from);
                from = i + 1;
            }
        for (; f < count; ++f)
            fields[f] = QStringView();
    };

    // Which records to make: all of them, or for one list only those it can
    // use.  A record is kept when it falls within the window of days or has a
    // date that is reported; a death record when a birthday or wedding in the
    // window has its name, a birth record when a death in the window has its.
    // (Names are compared by hash: a rare collision only keeps a record more.)
    std::vector<bool> keep;
    if (onlyForReminders) {
        const Occurrences occurrences(onlyForReminders->today);
        QSet<size_t> deathsNeeded, birthsNeeded;
        struct Relative {
            quint32 record;
            bool death;
            size_t name;
        };
        std::vector<Relative> relatives; // deaths and births outside the window
        keep.reserve(size_t(records));
        const bool read = forEachLine([&](QByteArrayView line) {
            if (!isRecord(line))
                return;
            // Only the date and the kind are decoded; names are compared as
            // bytes, which are equal exactly when the decoded names are.
            QByteArrayView fields[3];
            qsizetype from = 0;
            int f = 0;
            for (qsizetype i = 0; i <= line.size() && f < 3; ++i)
                if (i == line.size() || line[i] == ';') {
                    fields[f++] = line.sliced(from, i - from);
                    from = i + 1;
                }
            int y, m, d;
            bool needed =
                !RecordDateParts(decodeLine(fields[0]), dateNotation, y, m, d) || y > occurrences.year();
            if (!needed) {
                const int offset = occurrences.offset(m, d);
                needed = offset >= -onlyForReminders->back && offset <= onlyForReminders->ahead;
            }
            // The kind as stored; the reminders normalise it once more (so an
            // old "verjaardag" is a birthday there) and so does this.
            const QString kind = NormaliseKind(decodeLine(fields[2]));
            const bool death = KindIs(kind, Kind::Overlijden);
            const bool birth = !death && KindIs(kind, Kind::Geboorte);
            const bool wedding = needed && !death && !birth && KindIs(kind, Kind::Huwelijk);
            if (!death && !birth && !wedding) {
                // A kind that is none of the six is reported, as a bad date is.
                keep.push_back(needed || !IsKnownKind(kind));
                return;
            }
            const size_t name = qHash(BaseNameView(fields[1]));
            if (needed && (birth || wedding))
                deathsNeeded.insert(name);
            else if (needed)
                birthsNeeded.insert(name);
            else
                relatives.push_back({quint32(keep.size()), death, name});
            keep.push_back(needed);
        });
        if (!read)
            return unreadable();
        for (const Relative& r : relatives)
            if ((r.death ? deathsNeeded : birthsNeeded).contains(r.name))
                keep[r.record] = true;
        records = std::count(keep.begin(), keep.end(), true);
    }

    table.reserve(int(records));
    size_t recordLine = 0;
    const bool read = forEachLine([&](QByteArrayView line) {
        // (A file changed by another program between two looks may have more lines.)
        if (!isRecord(line) || (onlyForReminders && (recordLine >= keep.size() || !keep[recordLine++])))
            return;
        QStringView fields[9];
        split(decodeLine(line), fields);
        RecordTable::Row& row = table.appendEmptyRecord();
        row[Col::Date] = fields[0].toString();
        row[Col::Name] = fields[1].toString();
        row[Col::Kind] = NormaliseKind(fields[2]);
        row[Col::Picture] = fields[3].toString();
        row[Col::Mail] = fields[4].toString();
        row[Col::Phone] = fields[5].toString();
        row[Col::Street] = fields[6].toString();
        row[Col::PostcodeCity] = fields[7].toString();
        row[Col::Country] = fields[8].toString();
    });
    if (!read)
        return unreadable();
    remember(path, opened, false);

    SetShortDateFormat(NotationFormat(dateNotation));
    formatLabel = QStringLiteral("Datumformaat: ") + NotationDisplayName(dateNotation);

    const int today = DayNumberOf(Clock::today());
    for (int r = 1; r <= table.recordCount(); ++r) {
        int y, m, d;
        if (RecordDateParts(table.cell(r, Col::Date), dateNotation, y, m, d)) {
            SetRightAligned(table.row(r)[Col::DayNumber], DayNumberOfParts(y, m, d), 0);
        } else {
            WriteLog(QStringLiteral("MainForm.ReadDataFile - Line 1255"));
            table.setCell(r, Col::DayNumber, QString::number(today));
        }
    }

    saveEnabled = unsavedChanges;
    otherFileRead = false;
    Ui::instance().closeTimedMessage();
    countText = QString::number(table.recordCount()) + QStringLiteral(" namen gelezen.");
    if (withCardLinks && !onlyForReminders)
        ReadCardLinks(table, CardLinksFile(folder, baseName));
    return ReadResult::Ok;
}

QString DataFile::keepBeforeRestore() {
    const QString current = defaultFilePath();
    if (!QFileInfo::exists(current))
        return {};
    const QString stem = dataFolder + saveBaseName + QStringLiteral(" voor herstel ") +
                         Clock::today().toString(QStringLiteral("yyyy-MM-dd"));
    for (int n = 1; n < 1000; ++n) {
        const QString kept =
            stem + (n == 1 ? QString() : QStringLiteral(" (") + QString::number(n) + u')') + extension;
        if (QFileInfo::exists(kept))
            continue;
        return CopyFileKeepTime(current, kept, true) ? kept : QString();
    }
    return {};
}

int DataFile::writeFileSafely(const QByteArray& bytes, SaveStep& failed) {
    const QString target = defaultFilePath();
    const QString temp = target + QStringLiteral(".tmp");
    const QString previous = dataFolder + saveBaseName + QStringLiteral("!") + extension;
    const QString older = dataFolder + saveBaseName + QStringLiteral("!!") + extension;
    // The present Brolt.dat, held under a second name until the new file is in place.
    const QString held = previous + QStringLiteral(".tmp");
    const QByteArray tempName = QFile::encodeName(temp), heldName = QFile::encodeName(held);
    // Enters a step; true when a test refuses it.
    auto refused = [this, &failed](SaveStep step) {
        failed = step;
        return refuseSaveStep && refuseSaveStep(step);
    };
    auto fail = [&](int error) {
        ::unlink(tempName.constData());
        ::unlink(heldName.constData());
        return error ? error : EIO;
    };

    // The new contents go to a temporary file first and reach the disk before
    // anything else changes, so a crash leaves a complete Brolt.dat behind.
    if (refused(SaveStep::CreateTemp))
        return EACCES;
    const int fd = ::open(tempName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0666);
    if (fd < 0)
        return errno; // nothing was made, nothing to take back
    int error = refused(SaveStep::WriteTemp) ? ENOSPC : WriteAll(fd, bytes);
    if (!error && ::fsync(fd) != 0)
        error = errno;
    if (::close(fd) != 0 && !error)
        error = errno;
    if (error)
        return fail(error);

    // The copies change only once the new file is in place: a save that
    // fails leaves Brolt.dat, Brolt!.dat and Brolt!!.dat as they were.
    ::unlink(heldName.constData()); // left by a save that was cut off
    const bool hold = QFileInfo::exists(target);
    if (hold) {
        if (refused(SaveStep::HoldPrevious))
            return fail(EACCES);
        // A file that may not be linked (or a folder without links) is copied.
        if (::link(QFile::encodeName(target).constData(), heldName.constData()) != 0 &&
            !CopyFileKeepTime(target, held, true))
            return fail(errno);
    }
    if (refused(SaveStep::Replace))
        return fail(EACCES);
    if (!renameOver(temp, target))
        return fail(errno);

    // Saved; the copies move up a generation.
    if (hold) {
        renameOver(previous, older);
        renameOver(held, previous);
    }
    const int dir = ::open(QFile::encodeName(dataFolder).constData(), O_RDONLY | O_DIRECTORY);
    if (dir >= 0) {
        ::fsync(dir);
        ::close(dir);
    }
    return 0;
}

void DataFile::reportFailedSave(const QString& why, const QRect& caller) {
    m_saveFailed = true;
    Ui::instance().showMessage(QStringLiteral("De wijzigingen zijn NIET bewaard.\n") + why,
                               caption + QStringLiteral(" - Bewaren"), caller);
}

bool DataFile::save() {
    m_saveFailed = false;
    if (!painted || !unsavedChanges)
        return false;
    LogScope log("MainForm", "SpeedSaveClick");
    const QRect caller = callerRect ? callerRect() : QRect();

    if (otherFileRead && FileSizeOf(defaultFilePath()) > 0) {
        bool cancel = false;
        if (!Ui::instance().askYesNo(
                cancel, false, QStringLiteral("Ja"), QStringLiteral("Nee"), QStringLiteral("Annuleren"),
                QStringLiteral("Pas op ! U gaat het standaardbestand Brolt.dat overschrijven. "
                               "Wilt U toch de wijzigingen bewaren?"),
                caption + QStringLiteral(" - Bewaren?"), caller)) {
            saveEnabled = false;
            return false;
        }
    }
    if (!mayOverwrite(caller))
        return false;
    if (sortByOption)
        sortByOption();

    QString text;
    text.reserve(table.recordCount() * 48);
    for (int r = 1; r <= table.recordCount(); ++r) {
        RecordTable::Row& row = table.row(r);
        if (!row[Col::Picture].contains(QLatin1String("jpg")))
            row[Col::Picture].clear();
        if (RemoveSpaces(row[Col::Date]).isEmpty()) {
            Ui::instance().showTimedMessage(
                5000, QStringLiteral("Bij de naam \"") + row[Col::Name] + QStringLiteral(" is"),
                QStringLiteral("geen datum ingevuld.\r\nDe regel wordt niet bewaard."), caller);
            Ui::instance().processEvents();
            continue;
        }
        text += recordLine(row);
    }
    const QByteArray bytes = encode(text, utf8);

    // One try: a folder or file that refuses now refuses in a moment too, and
    // the user waits for nothing.
    QDir().mkpath(dataFolder);
    SaveStep step = SaveStep::CreateTemp;
    writeTries = 1;
    const int error = writeFileSafely(bytes, step);
    log.setEndSuffix(QStringLiteral(", iCount = ") + QString::number(writeTries));
    if (error != 0) {
        // Nothing is lost: the files are untouched and the changes stay in
        // the table, still marked as unsaved.
        WriteLog(QStringLiteral("MainForm.SpeedSaveClick - ") + QString::fromLocal8Bit(std::strerror(error)));
        reportFailedSave(step == SaveStep::Replace
                             ? defaultFilePath() + QStringLiteral(" kan niet worden vervangen.")
                             : QStringLiteral("Kan niet schrijven in ") + dataFolder,
                         caller);
        return false;
    }
    remember(defaultFilePath(), FileStamp::of(defaultFilePath()), false);
    WriteCardLinks(table, dataFolder, CardLinksFile(dataFolder, saveBaseName), utf8);
    Ui::instance().showTimedMessage(5000, QStringLiteral("De wijzigingen zijn bewaard."), QString(), caller);
    otherFileRead = false;
    unsavedChanges = false;
    saveEnabled = false;
    return true;
}

bool DataFile::mayOverwrite(const QRect& caller) {
    const QString target = defaultFilePath();
    const FileStamp now = FileStamp::of(target);
    if (!now.exists || now.size == 0)
        return true; // nothing there that could be lost
    if (m_readFailed) {
        // The table does not hold what the file holds: writing would lose it.
        reportFailedSave(target + QStringLiteral(" kon niet worden gelezen en blijft zoals het is."), caller);
        return false;
    }
    // After another file was read the question above has been asked already.
    if (otherFileRead || m_knownPath != target || now == m_knownStamp)
        return true;
    bool cancel = false;
    if (Ui::instance().askYesNo(
            cancel, true, QStringLiteral("Ja"), QStringLiteral("Nee"), QString(),
            QStringLiteral("Het bestand ") + target +
                QStringLiteral(" is veranderd sinds Brolt het gelezen heeft (door een ander programma of "
                               "op een andere computer). Wilt U het overschrijven met de gegevens van "
                               "Brolt? Het veranderde bestand blijft dan bewaard als ") +
                saveBaseName + u'!' + extension +
                QStringLiteral(". Kies Nee om het opnieuw te lezen; de wijzigingen in Brolt vervallen dan."),
            caption + QStringLiteral(" - Bewaren?"), caller))
        return true;
    reread();
    return false;
}

void DataFile::reread() {
    unsavedChanges = false;
    saveEnabled = false;
    auto change = [this] { read(dataFolder, saveBaseName, extension); };
    if (aroundTableChange)
        aroundTableChange(change);
    else
        change();
    if (refresh)
        refresh();
}

bool DataFile::askSaveChanges(bool showCancel) {
    if (!unsavedChanges || !saveEnabled)
        return false;
    bool cancel = showCancel;
    const bool yes = Ui::instance().askYesNo(
        cancel, true, QStringLiteral("Ja"), QStringLiteral("Nee"),
        showCancel ? QStringLiteral("Annuleren") : QString(),
        QStringLiteral("De gegevens zijn gewijzigd. Wilt U deze wijzigingen bewaren ?"),
        QStringLiteral("Brolt - Bewaren"), callerRect ? callerRect() : QRect());
    if (showCancel && cancel)
        return true;
    return yes && !save() && m_saveFailed;
}

void DataFile::openOtherFile() {
    LogScope log("MainForm", "SpeedOpenClick");
    if (stopCountdown)
        stopCountdown();
    // A save that failed keeps the changes in hand: nothing else is read over them.
    if (saveEnabled && askSaveChanges(false))
        return;
    unsavedChanges = false;
    saveEnabled = false;

    Ui::BrowseRequest request;
    request.startPath = dataFolder;
    request.caption = QStringLiteral("Brolt - Lees Brolt-bestand");
    request.heading = QStringLiteral("Selecteer het pad voor de bestanden\r\nen klik op OK.");
    request.mask = QStringLiteral("*.dat");
    QString chosen;
    if (!Ui::instance().browse(request, chosen) || chosen.isEmpty())
        return;

    const auto [folder, baseName, ext] = splitPath(chosen);

    const BusyCursor busy;
    // A file in a network folder may be in the middle of being written: a
    // read that fails is tried again after a pause, 101 tries in all.
    openTries = 0;
    ReadResult result = ReadResult::NotationFailed;
    while (openTries < 101 && result == ReadResult::NotationFailed) {
        if (openTries > 0)
            QThread::msleep(retryDelayMs);
        ++openTries;
        result = read(folder, baseName, ext);
    }
    otherFileRead = !(baseName.toUpper() == QLatin1String("BROLT") && folder == dataFolder);
    // The other file's pictures come along, without replacing pictures of the same name.
    if (folder.compare(dataFolder, Qt::CaseInsensitive) != 0)
        CopyAllByExt(folder, dataFolder, QStringLiteral("jpg"), true);
    if (refresh)
        refresh();
}

QString DataFile::refusedExportTarget(const QString& target, const QString& dataFile) {
    // A path with its folder's links resolved: two names of one file compare equal.
    auto resolved = [](const QString& path) {
        const QFileInfo info(path);
        const QString folder = QFileInfo(info.absolutePath()).canonicalFilePath();
        return (folder.isEmpty() ? info.absolutePath() : folder) + u'/' + info.fileName();
    };
    auto same = [&](const QString& a, const QString& b) {
        const FileStamp sa = FileStamp::of(a), sb = FileStamp::of(b);
        if (sa.exists && sb.exists)
            return sa.inode == sb.inode && sa.device == sb.device;
        return resolved(a) == resolved(b);
    };
    const PathParts parts = splitPath(dataFile);
    for (const char* mark : {"", "!", "!!"})
        if (same(target, parts.folder + parts.baseName + QLatin1String(mark) + parts.extension))
            return QStringLiteral("Het bestand ") + target +
                   QStringLiteral(" is het Brolt-bestand of een reservekopie daarvan; de agenda wordt daar "
                                  "niet geschreven.");
    // Only a regular file holds something to lose; an empty one holds nothing.
    const QFileInfo info(target);
    if (!info.isFile() || info.size() == 0)
        return {};
    QFile file(target);
    QByteArray start = file.open(QIODevice::ReadOnly) ? file.read(18) : QByteArray();
    if (start.startsWith("\xEF\xBB\xBF"))
        start.remove(0, 3);
    if (start.startsWith("BEGIN:VCALENDAR"))
        return {};
    return QStringLiteral("Het bestand ") + target +
           QStringLiteral(" bestaat al en is geen agenda (iCalendar); het wordt niet overschreven.");
}

bool DataFile::readNamed(const QString& path) {
    const PathParts parts = splitPath(path);
    retryDelayMs = 0;
    return QFileInfo::exists(path) && read(parts.folder, parts.baseName, parts.extension) == ReadResult::Ok;
}

DataFile::PathParts DataFile::splitPath(const QString& path) {
    const QFileInfo info(path);
    const QString name = info.fileName();
    const qsizetype dot = name.indexOf(u'.');
    return {info.absolutePath() + u'/', dot < 0 ? name : name.left(dot), dot < 0 ? QString() : name.mid(dot)};
}

void DataFile::provision() {
    const QString program = ProgramFolder();
    const QString target = defaultFilePath();
    if (!QFileInfo::exists(program + QStringLiteral("Brolt") + extension) && !QFileInfo::exists(target)) {
        CopyFileMakePath(program + QStringLiteral("Standaard.dat"), target);
        CopyAllByExt(program, dataFolder, QStringLiteral("jpg"), true);
    }
    if (!QFileInfo::exists(dataFolder + QStringLiteral("Blanc.jpg")))
        CopyFileMakePath(program + QStringLiteral("Blanc.jpg"), dataFolder + QStringLiteral("Blanc.jpg"));
}
