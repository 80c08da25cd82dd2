#include "exchange/VCard.h"

#include "records/Dates.h"

#include <QSet>
#include <QStringDecoder>

#include <algorithm>

#include <cstring>

namespace {
// The name and parameters of a line; a longer head is no property anyone writes.
constexpr qsizetype MaxHeadBytes = 4096;

// Windows-1252 for 0x80..0x9F; the unused codes keep their C1 control.
const char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

QString fromCp1252(QByteArrayView bytes) {
    QString text(bytes.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < bytes.size(); ++i) {
        const uchar b = uchar(bytes[i]);
        text[i] = QChar(b >= 0x80 && b < 0xA0 ? cp1252High[b - 0x80] : char16_t(b));
    }
    return text;
}

bool isValidUtf8(QByteArrayView bytes) {
    // Only valid UTF-8 comes back unchanged from a round trip.
    return QString::fromUtf8(bytes).toUtf8() == bytes;
}

// Text without a character set: UTF-8 when it is valid UTF-8 (the rule of
// 3.0 and 4.0), else the Windows code page older programs wrote.
QString decodeGuess(QByteArrayView bytes) {
    return isValidUtf8(bytes) ? QString::fromUtf8(bytes) : fromCp1252(bytes);
}

QString decodeCharset(QByteArrayView bytes, const QString& charset) {
    const QString cs = charset.toUpper();
    if (cs.isEmpty() || cs == QLatin1String("UTF-8") || cs == QLatin1String("UTF8"))
        return decodeGuess(bytes);
    if (cs == QLatin1String("WINDOWS-1252") || cs == QLatin1String("CP1252") ||
        cs == QLatin1String("ISO-8859-1") || cs == QLatin1String("LATIN1") ||
        cs == QLatin1String("US-ASCII") || cs == QLatin1String("ASCII"))
        return fromCp1252(bytes); // 1252 is what writers mean by Latin-1 in practice
    QStringDecoder decoder(cs.toLatin1().constData(), QStringDecoder::Flag::Stateless);
    if (decoder.isValid()) {
        QString text = decoder.decode(bytes);
        if (!decoder.hasError())
            return text;
    }
    return decodeGuess(bytes);
}

int hexValue(char c) {
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    return -1;
}

QByteArray decodeQuotedPrintable(QByteArrayView in) {
    QByteArray out;
    out.reserve(in.size());
    for (qsizetype i = 0; i < in.size(); ++i) {
        const char c = in[i];
        if (c == '=' && i + 2 < in.size() && hexValue(in[i + 1]) >= 0 && hexValue(in[i + 2]) >= 0) {
            out += char(hexValue(in[i + 1]) * 16 + hexValue(in[i + 2]));
            i += 2;
        } else if (c == '=' && i + 1 == in.size()) {
            // a soft break left at the very end
        } else {
            out += c;
        }
    }
    return out;
}

// Splits at `sep` outside double quotes.
QList<QByteArrayView> splitOutsideQuotes(QByteArrayView text, char sep) {
    QList<QByteArrayView> parts;
    bool quoted = false;
    qsizetype start = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] == '"')
            quoted = !quoted;
        else if (text[i] == sep && !quoted) {
            parts << text.sliced(start, i - start);
            start = i + 1;
        }
    }
    parts << text.sliced(start);
    return parts;
}

QString unquote(QByteArrayView v) {
    QByteArrayView t = v.trimmed();
    if (t.size() >= 2 && t.front() == '"' && t.back() == '"')
        t = t.sliced(1, t.size() - 2);
    return decodeGuess(t);
}

bool parseLine(QByteArrayView line, VCardProperty& p) {
    // The value starts after the first ":" outside quotes.
    qsizetype colon = -1;
    bool quoted = false;
    for (qsizetype i = 0; i < line.size(); ++i) {
        if (line[i] == '"')
            quoted = !quoted;
        else if (line[i] == ':' && !quoted) {
            colon = i;
            break;
        }
    }
    if (colon <= 0 || colon > MaxHeadBytes)
        return false;
    const QList<QByteArrayView> head = splitOutsideQuotes(line.first(colon), ';');
    QByteArrayView name = head[0].trimmed();
    const qsizetype dot = name.lastIndexOf('.');
    if (dot >= 0) {
        p.group = QString::fromLatin1(name.first(dot));
        name = name.sliced(dot + 1);
    }
    if (name.isEmpty())
        return false;
    p.name = QString::fromLatin1(name).toUpper();
    for (qsizetype i = 1; i < head.size(); ++i) {
        const QByteArrayView param = head[i].trimmed();
        if (param.isEmpty())
            continue;
        const qsizetype eq = param.indexOf('=');
        if (eq < 0) {
            p.params.append({QStringLiteral("TYPE"), unquote(param)});
            continue;
        }
        const QString pname = QString::fromLatin1(param.first(eq)).trimmed().toUpper();
        for (QByteArrayView v : splitOutsideQuotes(param.sliced(eq + 1), ','))
            p.params.append({pname, unquote(v)});
    }

    QByteArray raw = line.sliced(colon + 1).toByteArray();
    const QString encoding = p.param(QStringLiteral("ENCODING")).toUpper();
    if (encoding == QLatin1String("QUOTED-PRINTABLE"))
        raw = decodeQuotedPrintable(raw);
    if (encoding == QLatin1String("B") || encoding == QLatin1String("BASE64")) {
        p.binary = QByteArray::fromBase64(raw); // skips the spaces and line ends some writers leave
        return true;
    }
    if (raw.startsWith("data:")) {
        const qsizetype comma = raw.indexOf(',');
        if (comma > 0) {
            const QByteArray data = raw.sliced(comma + 1);
            p.binary = raw.first(comma).contains(";base64") ? QByteArray::fromBase64(data)
                                                            : QByteArray::fromPercentEncoding(data);
            // "data:image/jpeg;base64,": the media type stands in for TYPE.
            const QByteArray media = raw.sliced(5, comma - 5).split(';').value(0);
            const qsizetype slash = media.indexOf('/');
            if (slash >= 0)
                p.params.append({QStringLiteral("MEDIATYPE"), QString::fromLatin1(media.sliced(slash + 1))});
            return true;
        }
    }
    p.value = decodeCharset(raw, p.param(QStringLiteral("CHARSET")));
    return true;
}

bool isLine(QByteArrayView line, const char* text) {
    const QByteArrayView t = line.trimmed();
    return t.size() == qsizetype(std::strlen(text)) && t.compare(text, Qt::CaseInsensitive) == 0;
}
bool isBegin(QByteArrayView line) {
    return isLine(line, "BEGIN:VCARD");
}
bool isEnd(QByteArrayView line) {
    return isLine(line, "END:VCARD");
}

VCardDate checkedDate(int year, int month, int day) {
    if (month < 1 || month > 12 || day < 1 || year < 1 || year > 9999)
        return {};
    // Any day that exists in some year; 29 February then follows the program's rule.
    if (day > QDate(2000, month, 1).daysInMonth())
        return {};
    if (month == 2 && day == 29 && !IsLeapYear(year))
        return {year, 3, 1};
    return {year, month, day};
}

bool digits(QStringView s, int& value) {
    if (s.isEmpty())
        return false;
    value = 0;
    for (QChar c : s) {
        if (c < u'0' || c > u'9')
            return false;
        value = value * 10 + (c.unicode() - u'0');
    }
    return true;
}

// "urn:uuid:...", "https://...", "mailto:...": a scheme, then ":".
bool isUri(QStringView value) {
    const qsizetype colon = value.indexOf(u':');
    if (colon < 1 || !value[0].isLetter() || value[0].unicode() > 0x7F)
        return false;
    for (QChar c : value.first(colon))
        if (c.unicode() > 0x7F || !(c.isLetterOrNumber() || c == u'+' || c == u'.' || c == u'-'))
            return false;
    return true;
}

// The labels of Apple's grouped lines ("item1.X-ABLabel:_$!<Spouse>!$_") that hold `word`.
QSet<QString> labelledGroups(const VCard& card, QLatin1String word) {
    QSet<QString> groups;
    for (const VCardProperty& label : card.properties)
        if (label.name == QLatin1String("X-ABLABEL") && !label.group.isEmpty() &&
            label.value.contains(word, Qt::CaseInsensitive))
            groups.insert(label.group);
    return groups;
}

QString spouseOf(const VCard& card) {
    QSet<QString> apple; // looked up at the first X-ABRELATEDNAMES
    bool appleRead = false;
    for (const VCardProperty& p : card.properties) {
        bool spouse = p.name == QLatin1String("X-SPOUSE") || p.name == QLatin1String("X-EVOLUTION-SPOUSE") ||
                      p.name == QLatin1String("X-KADDRESSBOOK-X-SPOUSESNAME");
        if (p.name == QLatin1String("RELATED") &&
            p.hasParam(QStringLiteral("TYPE"), QStringLiteral("spouse"))) {
            // A link to another card (urn:uuid:..., a web address) is no name.
            spouse =
                p.hasParam(QStringLiteral("VALUE"), QStringLiteral("text")) ||
                (!p.hasParam(QStringLiteral("VALUE"), QStringLiteral("uri")) && !isUri(p.value.trimmed()));
        }
        if (p.name == QLatin1String("X-ABRELATEDNAMES")) {
            if (!appleRead)
                apple = labelledGroups(card, QLatin1String("Spouse"));
            appleRead = true;
            spouse = !p.group.isEmpty() && apple.contains(p.group);
        }
        if (!spouse)
            continue;
        const QString name = CleanCardText(VCardText(p.value)).simplified();
        if (!name.isEmpty())
            return name;
    }
    return {};
}

} // namespace

QString VCardProperty::param(const QString& pname) const {
    for (const auto& [n, v] : params)
        if (n == pname)
            return v;
    return {};
}

bool VCardProperty::hasParam(const QString& pname, const QString& value) const {
    for (const auto& [n, v] : params)
        if (n == pname && v.compare(value, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

int VCardProperty::preference() const {
    const QString pref = param(QStringLiteral("PREF"));
    bool ok = false;
    const int n = pref.toInt(&ok);
    if (ok && n >= 1)
        return n;
    if (!pref.isEmpty() || hasParam(QStringLiteral("TYPE"), QStringLiteral("pref")))
        return 1;
    return 100;
}

const VCardProperty* VCard::first(const QString& name) const {
    for (const VCardProperty& p : properties)
        if (p.name == name)
            return &p;
    return nullptr;
}

const VCardProperty* VCard::preferred(const QString& name) const {
    const VCardProperty* best = nullptr;
    for (const VCardProperty& p : properties)
        if (p.name == name && (!best || p.preference() < best->preference()))
            best = &p;
    return best;
}

VCardReader::VCardReader(const QByteArray& input) : m_bytes(input) {
    // Windows programs may write UTF-16, or UTF-8 with a byte order mark.
    if (m_bytes.startsWith("\xFF\xFE") || m_bytes.startsWith("\xFE\xFF")) {
        QStringDecoder utf16(m_bytes.startsWith("\xFF\xFE") ? QStringDecoder::Utf16LE
                                                            : QStringDecoder::Utf16BE);
        m_bytes = QString(utf16.decode(QByteArrayView(m_bytes).sliced(2))).toUtf8();
    } else if (m_bytes.startsWith("\xEF\xBB\xBF")) {
        m_pos = 3;
    }
}

// One physical line, its CR (if any) dropped.
bool VCardReader::nextPhysical(QByteArrayView& line) {
    if (!m_rest.isEmpty()) {
        line = m_rest;
        m_rest = {};
    } else {
        if (m_pos >= m_bytes.size())
            return false;
        const QByteArrayView all(m_bytes);
        qsizetype end = all.indexOf('\n', m_pos);
        if (end < 0)
            end = all.size();
        line = all.sliced(m_pos, end - m_pos);
        m_pos = end + 1;
        if (line.endsWith('\r'))
            line.chop(1);
    }
    // Files joined without a final line end give "END:VCARDBEGIN:VCARD".
    constexpr qsizetype endSize = 9;
    if (line.size() > endSize && line.first(endSize).compare("END:VCARD", Qt::CaseInsensitive) == 0 &&
        !line.sliced(endSize).trimmed().isEmpty()) {
        m_rest = line.sliced(endSize);
        line = line.first(endSize);
    }
    return true;
}

void VCardReader::startLogical(QByteArrayView line) {
    m_logical.clear();
    m_have = true;
    m_colon = -1;
    m_quotedPrintable = m_base64 = m_oversize = false;
    appendLogical(line);
}

// Appends in place: a value folded over many lines costs no more than one
// line of that length.  Whatever goes past the size of any real card is
// dropped; the card is refused for its size anyway.
void VCardReader::appendLogical(QByteArrayView part) {
    const qsizetype room = MaxVCardBytes + 1 - m_logical.size();
    if (part.size() > room) {
        part = part.first(std::max<qsizetype>(room, 0));
        m_oversize = true;
    }
    const qsizetype before = m_logical.size();
    m_logical += part;
    if (m_colon >= 0)
        return;
    const qsizetype colon = part.indexOf(':');
    if (colon < 0)
        return;
    // How the value is written shows in the part before the first ":".
    m_colon = before + colon;
    if (m_colon > MaxHeadBytes)
        return;
    const QByteArray head = m_logical.first(m_colon).toUpper();
    m_quotedPrintable = head.contains("QUOTED-PRINTABLE");
    m_base64 = head.contains("ENCODING=BASE64");
}

bool VCardReader::nextLogical(QByteArray& out) {
    QByteArrayView line;
    if (!m_have) {
        if (!nextPhysical(line))
            return false;
        startLogical(line);
    }
    while (nextPhysical(line)) {
        const bool indented = line.startsWith(' ') || line.startsWith('\t');
        // A card's own boundaries never continue a value, whatever the line before ended in.
        const bool boundary = isBegin(line) || isEnd(line);
        // A quoted-printable value goes on after a line that ends in "=";
        // some writers indent that next line as well.
        if (!boundary && m_quotedPrintable && m_logical.endsWith('=')) {
            m_logical.chop(1);
            appendLogical(indented ? line.sliced(1) : line);
            continue;
        }
        if (indented) {
            appendLogical(line.sliced(1));
            continue;
        }
        // Old phones write a 2.1 base64 value on lines of its own, without
        // indent, up to an empty line; base64 never holds a ":".
        if (!boundary && m_base64 && !line.isEmpty() && !line.contains(':')) {
            appendLogical(line);
            continue;
        }
        out = std::move(m_logical);
        if (m_oversize)
            out.resize(MaxVCardBytes + 1);
        startLogical(line);
        return true;
    }
    out = std::move(m_logical);
    m_have = false;
    return true;
}

bool VCardReader::next(VCard& card) {
    card = VCard();
    int depth = 0;
    if (m_pendingBegin) {
        m_pendingBegin = false;
        depth = 1;
    }
    bool agent = false; // the line before was a 2.1 AGENT whose card follows
    qsizetype size = 0;
    QByteArray line;
    auto refuse = [&card](const QString& why) {
        card.problem = why;
        card.properties.clear();
        card.properties.squeeze();
    };
    while (nextLogical(line)) {
        if (isBegin(line)) {
            if (depth == 0) {
                depth = 1;
            } else if (agent || depth > 1) {
                ++depth;
            } else {
                // The card before never ended; this one begins all the same.
                m_pendingBegin = true;
                return true;
            }
            agent = false;
            continue;
        }
        if (isEnd(line)) {
            if (depth > 0 && --depth == 0)
                return true;
            continue;
        }
        agent = false;
        if (depth == 0)
            continue;
        size += line.size();
        if (depth != 1 || !card.problem.isEmpty())
            continue;
        if (size > MaxVCardBytes) {
            refuse(QStringLiteral("de kaart is groter dan 16 MB"));
            continue;
        }
        VCardProperty p;
        if (!parseLine(line, p))
            continue;
        if (p.name == QLatin1String("VERSION")) {
            card.version = p.value.trimmed();
            continue;
        }
        if (card.properties.size() >= MaxVCardLines) {
            refuse(QStringLiteral("de kaart heeft meer dan 10 000 regels"));
            continue;
        }
        agent = p.name == QLatin1String("AGENT") && p.value.trimmed().isEmpty() && p.binary.isEmpty();
        card.properties << p;
    }
    // The last card never ended: it counts all the same.
    return depth > 0;
}

QList<VCard> ReadVCards(const QByteArray& bytes) {
    QList<VCard> cards;
    VCardReader reader(bytes);
    VCard card;
    while (reader.next(card))
        cards << std::move(card);
    return cards;
}

bool ContainsVCard(const QByteArray& bytes) {
    VCard card;
    return VCardReader(bytes).next(card);
}

QString CleanCardText(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t c = text[i].unicode();
        if (c == u'\r' && i + 1 < text.size() && text[i + 1] == u'\n')
            continue;
        if (c == u'\n' || c == 0x2028 || c == 0x2029)
            out += QStringLiteral(", ");
        else if (c == u'\r' || c == u'\t')
            out += u' ';
        else if (c == u';')
            out += u',';
        else if (c >= 0x20 && (c < 0x7F || c >= 0xA0))
            out += QChar(c);
    }
    return out.trimmed();
}

QString VCardText(const QString& value) {
    QString out;
    out.reserve(value.size());
    for (qsizetype i = 0; i < value.size(); ++i) {
        const QChar c = value[i];
        if (c == u'\\' && i + 1 < value.size()) {
            const QChar n = value[++i];
            out += (n == u'n' || n == u'N') ? QChar(u'\n') : n;
        } else {
            out += c;
        }
    }
    return out;
}

QStringList VCardParts(const QString& value) {
    QStringList parts;
    qsizetype start = 0;
    for (qsizetype i = 0; i < value.size(); ++i) {
        if (value[i] == u'\\') {
            ++i;
        } else if (value[i] == u';') {
            parts << VCardText(value.mid(start, i - start));
            start = i + 1;
        }
    }
    parts << VCardText(value.mid(start));
    return parts;
}

VCardDate ParseVCardDate(const VCardProperty& property) {
    if (property.hasParam(QStringLiteral("VALUE"), QStringLiteral("text")))
        return {};
    QString text = VCardText(property.value).trimmed();
    const qsizetype t = text.indexOf(u'T');
    if (t >= 0)
        text.truncate(t); // the date part counts, whatever the time and zone
    int year = 0, month = 0, day = 0;
    QStringView s(text);
    bool noYear = false;
    if (s.startsWith(u"--")) {
        noYear = true;
        s = s.sliced(2);
        if (s.size() == 5 && s[2] == u'-') {
            if (!digits(s.first(2), month) || !digits(s.sliced(3), day))
                return {};
        } else if (s.size() != 4 || !digits(s.first(2), month) || !digits(s.sliced(2), day)) {
            return {};
        }
    } else if (s.size() == 10 && s[4] == u'-' && s[7] == u'-') {
        if (!digits(s.first(4), year) || !digits(s.sliced(5, 2), month) || !digits(s.sliced(8), day))
            return {};
    } else if (s.size() == 8) {
        if (!digits(s.first(4), year) || !digits(s.sliced(4, 2), month) || !digits(s.sliced(6), day))
            return {};
    } else {
        return {};
    }
    // Apple's way of saying "no year"; a year 0 means the same to the few that write it.
    const QString omit = property.param(QStringLiteral("X-APPLE-OMIT-YEAR"));
    if (noYear || year == 0 || (!omit.isEmpty() && omit.toInt() == year))
        year = 3000;
    return checkedDate(year, month, day);
}

VCardContact ContactOfCard(const VCard& card) {
    VCardContact c;
    if (const VCardProperty* fn = card.first(QStringLiteral("FN")))
        c.name = CleanCardText(VCardText(fn->value));
    if (c.name.isEmpty()) {
        if (const VCardProperty* n = card.first(QStringLiteral("N"))) {
            const QStringList parts = VCardParts(n->value);
            const QString given = parts.value(1).trimmed();
            const QString family = parts.value(0).trimmed();
            c.name = CleanCardText((given + u' ' + family).trimmed());
        }
    }
    c.name = c.name.simplified();
    if (const VCardProperty* uid = card.first(QStringLiteral("UID")))
        c.uid = CleanCardText(VCardText(uid->value));
    c.spouse = spouseOf(card);

    auto date = [&](std::initializer_list<const char*> names, VCardDate& d, QString& text) {
        for (const char* name : names)
            if (const VCardProperty* p = card.preferred(QString::fromLatin1(name))) {
                text = CleanCardText(VCardText(p->value));
                d = ParseVCardDate(*p);
                return;
            }
    };
    date({"BDAY"}, c.birth, c.birthText);
    date({"ANNIVERSARY", "X-EVOLUTION-ANNIVERSARY", "X-MS-ANNIVERSARY", "X-ANNIVERSARY"}, c.anniversary,
         c.anniversaryText);
    date({"DEATHDATE"}, c.death, c.deathText);
    if (c.anniversaryText.isEmpty()) {
        // Apple keeps the wedding day as a labelled date of its own.
        const QSet<QString> anniversaryGroups = labelledGroups(card, QLatin1String("Anniversary"));
        for (const VCardProperty& p : card.properties)
            if (p.name == QLatin1String("X-ABDATE") && anniversaryGroups.contains(p.group)) {
                c.anniversaryText = CleanCardText(VCardText(p.value));
                c.anniversary = ParseVCardDate(p);
                if (!c.anniversaryText.isEmpty())
                    break;
            }
    }

    if (const VCardProperty* mail = card.preferred(QStringLiteral("EMAIL")))
        c.mail = CleanCardText(VCardText(mail->value));
    if (const VCardProperty* tel = card.preferred(QStringLiteral("TEL"))) {
        c.phone = CleanCardText(VCardText(tel->value));
        if (c.phone.startsWith(QLatin1String("tel:"), Qt::CaseInsensitive))
            c.phone = c.phone.mid(4);
    }
    if (const VCardProperty* adr = card.preferred(QStringLiteral("ADR"))) {
        // post office box; extended; street; locality; region; postal code; country
        const QStringList parts = VCardParts(adr->value);
        QString street = parts.value(2).trimmed();
        const QString extended = parts.value(1).trimmed();
        if (!extended.isEmpty())
            street = street.isEmpty() ? extended : street + u' ' + extended;
        c.street = CleanCardText(street);
        c.postcodeCity =
            CleanCardText((parts.value(5).trimmed() + u' ' + parts.value(3).trimmed()).trimmed());
        c.country = CleanCardText(parts.value(6));
    }
    if (const VCardProperty* photo = card.preferred(QStringLiteral("PHOTO"))) {
        if (!photo->binary.isEmpty()) {
            c.photo = photo->binary;
            QString type = photo->param(QStringLiteral("MEDIATYPE"));
            if (type.isEmpty())
                type = photo->param(QStringLiteral("TYPE"));
            if (type.startsWith(QLatin1String("image/"), Qt::CaseInsensitive))
                type = type.mid(6);
            c.photoType = type.toUpper();
        } else {
            const QString value = photo->value.trimmed();
            const QString encoding = photo->param(QStringLiteral("ENCODING"));
            // A data address or base64 value that holds nothing is no link to the web.
            if (value.isEmpty() || value.startsWith(QLatin1String("data:"), Qt::CaseInsensitive) ||
                encoding.compare(QLatin1String("b"), Qt::CaseInsensitive) == 0 ||
                encoding.compare(QLatin1String("BASE64"), Qt::CaseInsensitive) == 0)
                c.photoIsEmpty = true;
            else
                c.photoIsLink = true;
        }
    }
    return c;
}
