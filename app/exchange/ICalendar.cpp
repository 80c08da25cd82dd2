#include "exchange/ICalendar.h"

#include "records/Dates.h"

#include <QCryptographicHash>
#include <QHash>

namespace {
// A stand-in year for events shown every year without a known start: a leap
// year, so that 29 February stays itself.
constexpr int AnyYear = 1972;

const QByteArray Crlf = QByteArrayLiteral("\r\n");
const QString UidDomain = QStringLiteral("@brolt");

QByteArray header() {
    return QByteArrayLiteral("BEGIN:VCALENDAR\r\n"
                             "VERSION:2.0\r\n"
                             "PRODID:-//Brolt//Brolt 2.60//NL\r\n"
                             "CALSCALE:GREGORIAN\r\n");
}

void appendLine(QByteArray& out, const QByteArray& line) {
    out += FoldContentLine(line);
    out += Crlf;
}

QByteArray dateValue(int year, int month, int day) {
    char buf[16];
    std::snprintf(buf, sizeof buf, "%04d%02d%02d", year, month, day);
    return QByteArray(buf);
}

bool isShownKind(const QString& kind) {
    return kind == Kind::Geboorte || kind == Kind::Feest || kind == Kind::Huwelijk ||
           kind == Kind::Jubileum || kind == Kind::Overlijden || kind == Kind::TeDoen;
}

struct Vevent {
    QString uid;
    QByteArray body; // BEGIN:VEVENT .. END:VEVENT with CRLF
};

// "Anna: geen geldige datum (1962-13-09)", with no control character for the terminal.
QString leftOutLine(const QString& name, const QString& why, const QString& value) {
    QString line = name + QStringLiteral(": ") + why + QStringLiteral(" (") + value + u')';
    for (QChar& c : line)
        if (c.category() == QChar::Other_Control)
            c = QChar::ReplacementCharacter;
    return line;
}

QList<Vevent> vevents(const RecordTable& table, int notation, const QDateTime& stamp, int& left,
                      QStringList* leftOut) {
    const QByteArray dtstamp = QByteArrayLiteral("DTSTAMP:") +
                               stamp.toUTC().toString(QStringLiteral("yyyyMMdd'T'HHmmss'Z'")).toLatin1();
    const int thisYear = stamp.date().year();
    QList<Vevent> out;
    out.reserve(table.recordCount());
    QHash<QString, int> seen; // names and kinds met so far: a second one gets its own UID
    left = 0;
    for (int r = 1; r <= table.recordCount(); ++r) {
        const RecordTable::Row& row = table.row(r);
        const QString& kind = row[Col::Kind];
        int year = 0, month = 0, day = 0;
        const bool shown = isShownKind(kind);
        if (!shown || !RecordDateParts(row[Col::Date].trimmed(), notation, year, month, day)) {
            ++left;
            if (leftOut)
                *leftOut << (shown ? leftOutLine(row[Col::Name], QStringLiteral("geen geldige datum"),
                                                 row[Col::Date])
                                   : leftOutLine(row[Col::Name], QStringLiteral("onbekende gebeurtenis"),
                                                 kind));
            continue;
        }
        QString name = row[Col::Name];
        while (name.endsWith(u' '))
            name.chop(1);

        const QByteArray key = (kind + QChar(0x1F) + name).toUtf8();
        QString uid =
            QString::fromLatin1(QCryptographicHash::hash(key, QCryptographicHash::Sha1).toHex().left(32));
        const int n = ++seen[uid];
        if (n > 1)
            uid += u'-' + QString::number(n);
        uid += UidDomain;

        // A year that is unknown, or lies ahead, is no start: the main window
        // shows the day every year all the same.
        const bool yearKnown = year != 3000 && year <= thisYear;
        const int startYear = yearKnown ? year : AnyYear;

        QByteArray e;
        e.reserve(300);
        e += QByteArrayLiteral("BEGIN:VEVENT\r\n");
        appendLine(e, QByteArrayLiteral("UID:") + uid.toUtf8());
        e += dtstamp + Crlf;
        e += QByteArrayLiteral("DTSTART;VALUE=DATE:") + dateValue(startYear, month, day) + Crlf;
        e += QByteArrayLiteral("DURATION:P1D\r\n");
        // Day 60 of the year is 29 February in a leap year and 1 March in any other.
        e += month == 2 && day == 29 ? QByteArrayLiteral("RRULE:FREQ=YEARLY;BYYEARDAY=60\r\n")
                                     : QByteArrayLiteral("RRULE:FREQ=YEARLY\r\n");
        appendLine(e, QByteArrayLiteral("SUMMARY:") +
                          EscapeText(EventSummary(name, kind, yearKnown ? year : 0)).toUtf8());
        e += QByteArrayLiteral("TRANSP:TRANSPARENT\r\n");
        e += QByteArrayLiteral("END:VEVENT\r\n");
        out.append({uid, e});
    }
    return out;
}
} // namespace

QString EventSummary(const QString& name, const QString& kind, int year) {
    QString what;
    bool withYear = true;
    if (kind == Kind::Geboorte)
        what = QStringLiteral("verjaardag");
    else if (kind == Kind::Huwelijk)
        what = QStringLiteral("trouwdag");
    else if (kind == Kind::Jubileum)
        what = QStringLiteral("jubileum");
    else if (kind == Kind::Overlijden)
        what = QStringLiteral("sterfdag");
    else if (kind == Kind::Feest)
        what = QStringLiteral("feest"), withYear = false;
    else if (kind == Kind::TeDoen)
        what = QStringLiteral("te doen"), withYear = false;
    else
        what = kind.toLower(), withYear = false;
    QString s = name + QStringLiteral(": ") + what;
    if (withYear && year > 0)
        s += QStringLiteral(" (") + QString::number(year) + u')';
    return s;
}

QByteArray FoldContentLine(const QByteArray& line) {
    if (line.size() <= 75)
        return line;
    QByteArray out;
    out.reserve(line.size() + line.size() / 37);
    qsizetype pos = 0;
    int room = 75; // the first line holds 75 octets, every following one a space and 74
    while (line.size() - pos > room) {
        qsizetype cut = pos + room;
        // Never between the bytes of one character.
        while (cut > pos && (uchar(line[cut]) & 0xC0) == 0x80)
            --cut;
        out += line.mid(pos, cut - pos);
        out += "\r\n ";
        pos = cut;
        room = 74;
    }
    out += line.mid(pos);
    return out;
}

QString EscapeText(const QString& text) {
    QString out;
    out.reserve(text.size() + 8);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == u'\\' || c == u';' || c == u',') {
            out += u'\\';
            out += c;
        } else if (c == u'\n') {
            out += QStringLiteral("\\n");
        } else if (c == u'\r') {
            if (i + 1 >= text.size() || text[i + 1] != u'\n')
                out += QStringLiteral("\\n");
        } else {
            out += c;
        }
    }
    return out;
}

bool IsBroltEventUid(const QString& uid) {
    return uid.endsWith(UidDomain);
}

QByteArray CalendarFingerprint(const QByteArray& calendar) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    qsizetype start = 0;
    while (start < calendar.size()) {
        qsizetype end = calendar.indexOf('\n', start);
        end = end < 0 ? calendar.size() : end + 1;
        const QByteArrayView line(calendar.constData() + start, end - start);
        if (!line.startsWith("DTSTAMP"))
            hash.addData(line);
        start = end;
    }
    return hash.result().toHex();
}

CalendarExport CalendarEvents(const RecordTable& table, int notation, const QDateTime& stamp) {
    CalendarExport result;
    const QList<Vevent> list = vevents(table, notation, stamp, result.left, &result.leftOut);
    result.events.reserve(list.size());
    for (const Vevent& v : list) {
        CalendarEvent e;
        e.uid = v.uid;
        e.calendar = header() + v.body + QByteArrayLiteral("END:VCALENDAR\r\n");
        e.fingerprint = CalendarFingerprint(e.calendar);
        result.events << e;
    }
    return result;
}

QByteArray CalendarFile(const RecordTable& table, int notation, const QDateTime& stamp, int* written,
                        int* left, QStringList* leftOut) {
    int leftCount = 0;
    const QList<Vevent> list = vevents(table, notation, stamp, leftCount, leftOut);
    if (written)
        *written = int(list.size());
    if (left)
        *left = leftCount;
    QByteArray out = header();
    out += QByteArrayLiteral("X-WR-CALNAME:Brolt\r\n");
    out.reserve(out.size() + list.size() * 260 + 16);
    for (const Vevent& v : list)
        out += v.body;
    out += QByteArrayLiteral("END:VCALENDAR\r\n");
    return out;
}
