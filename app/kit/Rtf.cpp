#include "Rtf.h"

#include <QSet>

namespace {

// Bytes 0x80..0x9F of Windows-1252; the rest of the code page equals Latin-1.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

QChar fromCp1252(uchar byte) {
    if (byte >= 0x80 && byte <= 0x9F)
        return QChar(cp1252High[byte - 0x80]);
    return QChar(byte);
}

// Groups whose content is never shown.
const QSet<QByteArray>& skippedDestinations() {
    static const QSet<QByteArray> names = {
        "fonttbl",
        "colortbl",
        "stylesheet",
        "info",
        "pict",
        "header",
        "headerl",
        "headerr",
        "headerf",
        "footer",
        "footerl",
        "footerr",
        "footerf",
        "object",
        "listtable",
        "listoverridetable",
        "rsidtbl",
        "generator",
        "xmlnstbl",
        "themedata",
        "colorschememapping",
        "latentstyles",
        "datastore",
        "fldinst",
        "pntext",
        "pntxta",
        "pntxtb",
        "filetbl",
        "revtbl",
        "footnote",
        "annotation",
        "bkmkstart",
        "bkmkend",
        "template",
        "userprops",
        "docvar",
        "shp",
        "nonshppict",
        "operator",
        "author",
        "title",
        "subject",
        "keywords",
        "comment",
        "doccomm",
        "company",
        "mmathPr",
        "wgrffmtfilter",
        "pgdsctbl",
        "listtext",
        "atnid",
        "atnauthor",
        "ftnsep",
        "ftnsepc",
        "aftnsep",
        "aftnsepc",
    };
    return names;
}

struct State {
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24;
    RtfAlign align = RtfAlign::Left;
    int unicodeSkip = 1;
    bool skip = false;
};

class Reader {
public:
    explicit Reader(const QByteArray& data) : m_data(data) {}

    void run(RtfDocument& document) {
        QList<State> stack;
        while (m_pos < m_data.size()) {
            const char c = m_data.at(m_pos++);
            if (c == '{') {
                stack.append(m_state);
                m_pendingSkip = 0;
            } else if (c == '}') {
                m_pendingSkip = 0;
                if (stack.isEmpty())
                    break; // the document's own group ends here
                m_state = stack.takeLast();
            } else if (c == '\\') {
                controlWord();
            } else if (c == '\r' || c == '\n') {
                // Line ends in the file carry no meaning.
            } else {
                text(fromCp1252(uchar(c)));
            }
        }
        finishParagraph(false);
        document.paragraphs = m_paragraphs;
    }

private:
    void text(QChar ch) {
        if (m_pendingSkip > 0) {
            --m_pendingSkip;
            return;
        }
        if (m_state.skip)
            return;
        RtfRun run;
        run.bold = m_state.bold;
        run.italic = m_state.italic;
        run.underline = m_state.underline;
        run.halfPoints = m_state.halfPoints;
        if (!m_current.runs.isEmpty() && m_current.runs.last().sameFormat(run)) {
            m_current.runs.last().text.append(ch);
        } else {
            run.text = ch;
            m_current.runs.append(run);
        }
        m_hasContent = true;
    }

    void finishParagraph(bool mark) {
        if (!mark && !m_hasContent)
            return; // nothing after the last paragraph mark
        m_current.align = m_state.align;
        m_current.halfPoints = m_state.halfPoints;
        m_paragraphs.append(m_current);
        m_current = RtfParagraph();
        m_hasContent = false;
    }

    void controlWord() {
        if (m_pos >= m_data.size())
            return;
        const char c = m_data.at(m_pos);
        if (!isLetter(c)) {
            ++m_pos;
            controlSymbol(c);
            return;
        }
        QByteArray word;
        while (m_pos < m_data.size() && isLetter(m_data.at(m_pos)))
            word.append(m_data.at(m_pos++));
        bool hasParam = false;
        bool negative = false;
        int param = 0;
        if (m_pos < m_data.size() && m_data.at(m_pos) == '-') {
            negative = true;
            ++m_pos;
        }
        while (m_pos < m_data.size() && isDigit(m_data.at(m_pos))) {
            hasParam = true;
            if (param < 100000000)
                param = param * 10 + (m_data.at(m_pos) - '0');
            ++m_pos;
        }
        if (negative)
            param = -param;
        if (m_pos < m_data.size() && m_data.at(m_pos) == ' ')
            ++m_pos; // the delimiting space belongs to the control word
        apply(word, hasParam, param);
    }

    void controlSymbol(char c) {
        switch (c) {
        case '\\':
        case '{':
        case '}':
            text(QChar::fromLatin1(c));
            break;
        case '\'': {
            if (m_pos + 2 > m_data.size())
                return;
            bool ok = false;
            const int byte = m_data.mid(m_pos, 2).toInt(&ok, 16);
            m_pos += 2;
            if (ok)
                text(fromCp1252(uchar(byte)));
            break;
        }
        case '~':
            text(QChar(0x00A0));
            break;
        case '_':
            text(QChar(0x2011));
            break;
        case '*':
            m_state.skip = true; // an ignorable destination we do not know
            break;
        case '\r':
        case '\n':
            if (!m_state.skip)
                finishParagraph(true);
            break;
        default:
            break; // \- (optional hyphen), \: and the like show nothing
        }
    }

    void apply(const QByteArray& word, bool hasParam, int param) {
        if (skippedDestinations().contains(word)) {
            m_state.skip = true;
            return;
        }
        if (word == "bin") {
            m_pos += qMax(0, param); // binary data is never text
            return;
        }
        if (word == "u") {
            const int code = param < 0 ? param + 65536 : param;
            text(QChar(char16_t(code)));
            m_pendingSkip = m_state.unicodeSkip;
            return;
        }
        if (word == "uc") {
            m_state.unicodeSkip = qMax(0, param);
            return;
        }
        if (m_state.skip)
            return;
        const bool on = !hasParam || param != 0;
        if (word == "par") {
            finishParagraph(true);
        } else if (word == "pard") {
            m_state.align = RtfAlign::Left;
        } else if (word == "plain") {
            m_state.bold = m_state.italic = m_state.underline = false;
            m_state.halfPoints = 24;
        } else if (word == "b") {
            m_state.bold = on;
        } else if (word == "i") {
            m_state.italic = on;
        } else if (word == "ul") {
            m_state.underline = on;
        } else if (word == "ulnone") {
            m_state.underline = false;
        } else if (word == "fs") {
            if (hasParam && param > 0)
                m_state.halfPoints = param;
        } else if (word == "ql") {
            m_state.align = RtfAlign::Left;
        } else if (word == "qc") {
            m_state.align = RtfAlign::Center;
        } else if (word == "qr") {
            m_state.align = RtfAlign::Right;
        } else if (word == "qj") {
            m_state.align = RtfAlign::Justify;
        } else if (word == "line") {
            text(QChar::LineSeparator);
        } else if (word == "tab") {
            text(QLatin1Char('\t'));
        } else if (word == "emdash") {
            text(QChar(0x2014));
        } else if (word == "endash") {
            text(QChar(0x2013));
        } else if (word == "bullet") {
            text(QChar(0x2022));
        } else if (word == "lquote") {
            text(QChar(0x2018));
        } else if (word == "rquote") {
            text(QChar(0x2019));
        } else if (word == "ldblquote") {
            text(QChar(0x201C));
        } else if (word == "rdblquote") {
            text(QChar(0x201D));
        } else if (word == "emspace" || word == "enspace" || word == "qmspace") {
            text(QLatin1Char(' '));
        }
        // Every other control word changes nothing we show.
    }

    static bool isLetter(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
    static bool isDigit(char c) { return c >= '0' && c <= '9'; }

    const QByteArray& m_data;
    qsizetype m_pos = 0;
    State m_state;
    int m_pendingSkip = 0;
    RtfParagraph m_current;
    bool m_hasContent = false;
    QList<RtfParagraph> m_paragraphs;
};

} // namespace

QString RtfParagraph::plainText() const {
    QString result;
    for (const RtfRun& run : runs)
        result += run.text;
    return result;
}

QString RtfDocument::plainText() const {
    QStringList lines;
    for (const RtfParagraph& paragraph : paragraphs)
        lines.append(paragraph.plainText());
    return lines.join(QLatin1Char('\n'));
}

bool ReadRtf(const QByteArray& data, RtfDocument& document) {
    document = RtfDocument();
    qsizetype start = 0;
    while (start < data.size() && (data.at(start) == ' ' || data.at(start) == '\r' ||
                                   data.at(start) == '\n' || data.at(start) == '\t'))
        ++start;
    if (!data.mid(start, 5).startsWith("{\\rtf"))
        return false;
    const QByteArray body = data.mid(start + 1); // the outer group's own brace
    Reader reader(body);
    reader.run(document);
    return true;
}
