#include "exchange/ICalendar.h"

#include "kit/Store.h"
#include "kit/Support.h"
#include "records/Dates.h"

#include <QCryptographicHash>
#include <QHash>

#include <algorithm>
#include <cctype>
#include <optional>

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
    return WithoutControls(name + QStringLiteral(": ") + why + QStringLiteral(" (") + value + u')');
}

// An alarm at 09:00 `days` days before the start of an all-day event.
void appendAlarm(QByteArray& e, const QByteArray& description, int days) {
    e += QByteArrayLiteral("BEGIN:VALARM\r\nACTION:DISPLAY\r\n");
    appendLine(e, QByteArrayLiteral("DESCRIPTION:") + description);
    e += days == 0 ? QByteArrayLiteral("TRIGGER;RELATED=START:PT9H\r\n")
                   : QByteArrayLiteral("TRIGGER;RELATED=START:-P") + QByteArray::number(days - 1) +
                         QByteArrayLiteral("DT15H\r\n");
    e += QByteArrayLiteral("END:VALARM\r\n");
}

QList<Vevent> vevents(const RecordTable& table, int notation, const QDateTime& stamp, int alarmDays,
                      int& left, QStringList* leftOut) {
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
        e.reserve(640);
        e += QByteArrayLiteral("BEGIN:VEVENT\r\n");
        appendLine(e, QByteArrayLiteral("UID:") + uid.toUtf8());
        e += dtstamp + Crlf;
        e += QByteArrayLiteral("DTSTART;VALUE=DATE:") + dateValue(startYear, month, day) + Crlf;
        e += QByteArrayLiteral("DURATION:P1D\r\n");
        // Day 60 of the year is 29 February in a leap year and 1 March in any other.
        e += month == 2 && day == 29 ? QByteArrayLiteral("RRULE:FREQ=YEARLY;BYYEARDAY=60\r\n")
                                     : QByteArrayLiteral("RRULE:FREQ=YEARLY\r\n");
        const QByteArray summary = EscapeText(EventSummary(name, kind, yearKnown ? year : 0)).toUtf8();
        appendLine(e, QByteArrayLiteral("SUMMARY:") + summary);
        e += QByteArrayLiteral("TRANSP:TRANSPARENT\r\n");
        appendAlarm(e, summary, 0);
        if (alarmDays > 0)
            appendAlarm(e, summary, alarmDays);
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
        } else if (c.unicode() >= 0x20 && (c.unicode() < 0x7F || c.unicode() >= 0xA0)) {
            out += c; // a TEXT value may hold no control character
        }
    }
    return out;
}

bool IsBroltEventUid(const QString& uid) {
    return uid.endsWith(UidDomain);
}

namespace {
// The content lines of the first VEVENT of a calendar object, unfolded: those
// of the event itself, and those of each alarm directly inside it.
struct EventLines {
    QList<QByteArray> event;
    QList<QList<QByteArray>> alarms;
};

EventLines firstEvent(const QByteArray& calendar) {
    EventLines out;
    QByteArray line;
    int depth = 0;        // components open
    int eventAt = 0;      // the depth of the VEVENT we are in; 0: none
    bool inAlarm = false; // in a VALARM directly inside it
    bool done = false;    // the first VEVENT has ended
    auto take = [&](const QByteArray& l) {
        const QByteArray upper = l.trimmed().toUpper();
        if (upper.startsWith("BEGIN:")) {
            ++depth;
            if (!eventAt && !done && upper == "BEGIN:VEVENT")
                eventAt = depth;
            else if (eventAt && depth == eventAt + 1 && upper == "BEGIN:VALARM") {
                inAlarm = true;
                out.alarms.append(QList<QByteArray>());
            }
        } else if (upper.startsWith("END:")) {
            if (eventAt && depth == eventAt) {
                eventAt = 0;
                done = true;
            }
            if (eventAt && depth == eventAt + 1)
                inAlarm = false;
            depth = std::max(depth - 1, 0);
        } else if (eventAt && depth == eventAt) {
            out.event << l;
        } else if (inAlarm && depth == eventAt + 1) {
            out.alarms.last() << l;
        }
    };
    qsizetype start = 0;
    while (start < calendar.size() && !done) {
        qsizetype end = calendar.indexOf('\n', start);
        if (end < 0)
            end = calendar.size();
        QByteArrayView physical(calendar.constData() + start, end - start);
        if (physical.endsWith('\r'))
            physical.chop(1);
        start = end + 1;
        if (!physical.isEmpty() && (physical.front() == ' ' || physical.front() == '\t')) {
            line += physical.sliced(1);
            continue;
        }
        if (!line.isEmpty())
            take(line);
        line = physical.toByteArray();
    }
    if (!line.isEmpty() && !done)
        take(line);
    return out;
}

// "NAME;PARAMS:VALUE" -> its upper-case name, its parameters sorted, its value.
QByteArray normalisedLine(const QByteArray& line, QByteArray& name) {
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size() && colon < 0; ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted)
            colon = i;
    }
    if (colon < 0)
        return {};
    QList<QByteArray> head = line.first(colon).split(';');
    name = head.takeFirst().trimmed().toUpper();
    for (QByteArray& param : head) {
        const qsizetype eq = param.indexOf('=');
        param =
            param.first(eq < 0 ? param.size() : eq).toUpper() + (eq < 0 ? QByteArray() : param.sliced(eq));
    }
    std::sort(head.begin(), head.end());
    QByteArray value = line.sliced(colon + 1).trimmed();
    if (name == "RRULE") { // the parts of a rule may come in any order
        QList<QByteArray> parts = value.toUpper().split(';');
        std::sort(parts.begin(), parts.end());
        value = parts.join(';');
    }
    return name + ';' + head.join(';') + ':' + value;
}

// A DURATION value ("-P6DT15H", "PT9H", "P1W") in seconds; nothing when it is none.
std::optional<qint64> durationSeconds(QByteArrayView text) {
    qsizetype i = 0;
    const bool negative = text.startsWith('-');
    if (text.startsWith('-') || text.startsWith('+'))
        ++i;
    if (i >= text.size() || (text[i] != 'P' && text[i] != 'p'))
        return std::nullopt;
    ++i;
    qint64 seconds = 0;
    bool inTime = false;
    bool any = false;
    while (i < text.size()) {
        if (text[i] == 'T' || text[i] == 't') {
            inTime = true;
            ++i;
            continue;
        }
        qint64 n = 0;
        int digits = 0;
        for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i, ++digits)
            n = n * 10 + (text[i] - '0');
        if (digits == 0 || digits > 9 || i >= text.size())
            return std::nullopt;
        const char unit = char(std::toupper(uchar(text[i++])));
        if (!inTime && unit == 'W')
            seconds += n * 7 * 86400;
        else if (!inTime && unit == 'D')
            seconds += n * 86400;
        else if (inTime && unit == 'H')
            seconds += n * 3600;
        else if (inTime && unit == 'M')
            seconds += n * 60;
        else if (inTime && unit == 'S')
            seconds += n;
        else
            return std::nullopt;
        any = true;
    }
    if (!any)
        return std::nullopt;
    return negative ? -seconds : seconds;
}

// The trigger of an alarm as this writer makes them — shown, relative to the
// start, at 09:00 on the day or a number of days before — as "ALARM:<seconds>";
// empty for any other alarm.
QByteArray ownAlarm(const QList<QByteArray>& lines) {
    bool display = false;
    std::optional<qint64> offset;
    for (const QByteArray& line : lines) {
        QByteArray name;
        const QByteArray normal = normalisedLine(line, name);
        const qsizetype colon = normal.indexOf(':');
        if (name == "ACTION")
            display = normal.sliced(colon + 1).toUpper() == "DISPLAY";
        else if (name == "TRIGGER" && !normal.first(colon).toUpper().contains("VALUE=DATE-TIME") &&
                 !normal.first(colon).toUpper().contains("RELATED=END"))
            offset = durationSeconds(QByteArrayView(normal).sliced(colon + 1));
    }
    constexpr qint64 nine = 9 * 3600;
    if (!display || !offset || *offset > nine || (nine - *offset) % 86400 != 0)
        return {};
    return "ALARM:" + QByteArray::number(*offset);
}
} // namespace

QByteArray CalendarFingerprint(const QByteArray& calendar) {
    static const QByteArrayList determined = {"UID", "DTSTART", "DTEND", "DURATION", "RRULE", "SUMMARY"};
    const EventLines event = firstEvent(calendar);
    QList<QByteArray> kept;
    for (const QByteArray& line : event.event) {
        QByteArray name;
        const QByteArray normal = normalisedLine(line, name);
        if (determined.contains(name))
            kept << normal;
    }
    for (const QList<QByteArray>& alarm : event.alarms)
        if (const QByteArray own = ownAlarm(alarm); !own.isEmpty())
            kept << own;
    std::sort(kept.begin(), kept.end());
    return QCryptographicHash::hash(kept.join('\n'), QCryptographicHash::Sha1).toHex();
}

QString CalendarObjectUid(const QByteArray& calendar) {
    for (const QByteArray& line : firstEvent(calendar).event) {
        QByteArray name;
        const QByteArray normal = normalisedLine(line, name);
        if (name == "UID")
            return QString::fromUtf8(normal.sliced(normal.indexOf(':') + 1));
    }
    return {};
}

int StoredAlarmDays() {
    return std::clamp(Store::readInteger(Keys::AgendaVooraf), 0, MaxAlarmDays);
}

CalendarExport CalendarEvents(const RecordTable& table, int notation, const QDateTime& stamp, int alarmDays) {
    CalendarExport result;
    const QList<Vevent> list = vevents(table, notation, stamp, alarmDays, result.left, &result.leftOut);
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

QByteArray CalendarFile(const RecordTable& table, int notation, const QDateTime& stamp, int alarmDays,
                        int* written, int* left, QStringList* leftOut) {
    int leftCount = 0;
    const QList<Vevent> list = vevents(table, notation, stamp, alarmDays, leftCount, leftOut);
    if (written)
        *written = int(list.size());
    if (left)
        *left = leftCount;
    QByteArray out = header();
    out += QByteArrayLiteral("X-WR-CALNAME:Brolt\r\n");
    out.reserve(out.size() + list.size() * 600 + 16);
    for (const Vevent& v : list)
        out += v.body;
    out += QByteArrayLiteral("END:VCALENDAR\r\n");
    return out;
}
