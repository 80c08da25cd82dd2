#include "lists/ListDocument.h"

#include "Ui.h"
#include "kit/Support.h"
#include "records/Dates.h"

#include <QDir>

namespace {

const QString twoSpaces = QStringLiteral("  ");

ListParagraph paragraph(ListAlign align, const QList<int>& tabs, const QString& text, int points,
                        bool bold = false) {
    ListParagraph p;
    p.align = align;
    p.tabStops = tabs;
    p.points = points;
    p.bold = bold;
    if (!text.isEmpty())
        p.runs.append({text, points, bold});
    return p;
}

// The top of both lists: the caption line at the right, an empty line and
// the title in large bold letters.
void addHeader(ListDocument& doc, const QString& firstLine, const QString& title) {
    doc.paragraphs.append(paragraph(ListAlign::Right, {}, firstLine, 12));
    doc.paragraphs.append(paragraph(ListAlign::Right, {}, QString(), 12));
    doc.paragraphs.append(paragraph(ListAlign::Center, {}, title, 30, true));
}

// Bytes 0x80..0x9F of Windows-1252; the other bytes above 0x9F equal Latin-1.
constexpr char16_t cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178,
};

// The Windows-1252 byte of `c`, or -1 when the code page has none.
int cp1252Byte(char16_t c) {
    if (c < 0x80 || (c >= 0xA0 && c <= 0xFF))
        return c;
    for (int i = 0; i < 32; ++i)
        // The five undefined bytes hold C1 controls in the table: those are no text.
        if (cp1252High[i] == c && c > 0xFF)
            return 0x80 + i;
    return -1;
}

void appendEscaped(QByteArray& out, const QString& text) {
    static const char hex[] = "0123456789abcdef";
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        if (c == u'\\' || c == u'{' || c == u'}') {
            out += '\\';
            out += char(c);
        } else if (c == u'\t') {
            out += "\\tab ";
        } else if (c == u'\r' || c == u'\n') {
            out += ' ';
        } else if (c < 0x20 || c == 0x7F) {
            // Other control characters have no place in a list.
        } else if (c < 0x80) {
            out += char(c);
        } else if (const int b = cp1252Byte(c); b >= 0) {
            out += "\\'";
            out += hex[b >> 4];
            out += hex[b & 15];
        } else {
            // \u takes a signed 16-bit number; "?" is what readers without Unicode show.
            out += "\\u" + QByteArray::number(int(qint16(c))) + '?';
        }
    }
}

} // namespace

QString ListParagraph::plainText() const {
    QString text;
    for (const ListRun& run : runs)
        text += run.text;
    return text;
}

QString ListDocument::plainText() const {
    QStringList lines;
    lines.reserve(paragraphs.size());
    for (const ListParagraph& p : paragraphs)
        lines << p.plainText();
    return lines.join(u'\n');
}

QString KindCode(const QString& kind) {
    return kind.left(1).toLower();
}

QString LeaderDots(const QString& name, int limit, const MeasureText& measure) {
    // A measure that never grows (no font at all) must not keep us here: a
    // line never needs more dots than the limit has pixels.
    const int most = qMax(1, limit);
    QString dots;
    do {
        dots += u'.';
    } while (dots.size() < most && measure(name + twoSpaces + dots) <= limit);
    return dots;
}

bool ListDateParts(const QString& dateText, int notation, int& year, int& month, int& day) {
    QDate date;
    try {
        date = ParseDateText(dateText);
    } catch (const DateError&) {
        date = QDate();
    }
    if (date.isValid()) {
        year = date.year();
        month = date.month();
        day = date.day();
        return true;
    }
    // 29 February of the unknown year 3000 is no calendar date but a real record.
    return RecordDateParts(dateText, notation, year, month, day);
}

QString AgeText(const QString& dateText, int notation, int thisYear) {
    int year = 0, month = 0, day = 0;
    if (!ListDateParts(dateText, notation, year, month, day) || year == 3000)
        return QStringLiteral("onbekend");
    const int n = thisYear - year;
    if (n >= 0 && n <= 9)
        return QStringLiteral("wordt     ") + QString::number(n);
    if (n >= 10 && n <= 99)
        return QStringLiteral("wordt   ") + QString::number(n);
    if (n >= 100 && n <= 200)
        return QStringLiteral("wordt ") + QString::number(n);
    return QStringLiteral("wordt ");
}

ListDocument BuildYearCalendar(const RecordTable& table, const ListHeader& header, int notation,
                               const MeasureText& measure, const std::function<QString(int)>& monthName) {
    ListDocument doc;
    addHeader(doc, QStringLiteral("\t") + header.caption + QStringLiteral(", ") + header.todayText,
              QStringLiteral("Jaarkalender"));
    const QList<int> tabs{20, 40, 320, 330};
    int previousMonth = -1;
    for (int r = 1; r <= table.rowCount() - 2; ++r) {
        const QString& kind = table.cell(r, Col::Kind);
        if (kind == Kind::TeDoen)
            continue;
        const QString& name = table.cell(r, Col::Name);
        const QString& dateText = table.cell(r, Col::Date);
        const QString dots = LeaderDots(name, 360, measure);
        int year = 0, month = 0, day = 0;
        // A date that cannot be read is listed as stored, under the month before it.
        const bool known = ListDateParts(dateText, notation, year, month, day);
        if (known && month != previousMonth) {
            previousMonth = month;
            doc.paragraphs.append(paragraph(ListAlign::Center, tabs, QString(), 12));
            doc.paragraphs.append(
                paragraph(ListAlign::Center, tabs, QStringLiteral("\t") + monthName(month), 20, true));
            doc.paragraphs.append(paragraph(ListAlign::Center, tabs, QString(), 20, true));
        }
        const QString line = QStringLiteral("\t") + (known ? TwoDigits(day) : QString()) + u'\t' + name +
                             twoSpaces + dots + u'\t' + KindCode(kind) + u'\t' + dateText;
        doc.paragraphs.append(paragraph(ListAlign::Left, tabs, line, 12));
    }
    return doc;
}

ListDocument BuildAllNames(const RecordTable& table, const ListHeader& header, int notation, int thisYear,
                           const MeasureText& measure) {
    ListDocument doc;
    addHeader(doc, header.caption + QStringLiteral(", ") + header.todayText,
              QStringLiteral("Lijst met alle namen"));
    const QList<int> tabs{20, 270, 280, 342};
    doc.paragraphs.append(paragraph(ListAlign::Center, tabs, QStringLiteral(" "), 12));
    for (int r = 1; r <= table.rowCount() - 2; ++r) {
        const QString& kind = table.cell(r, Col::Kind);
        if (kind == Kind::TeDoen)
            continue;
        const QString& name = table.cell(r, Col::Name);
        const QString& dateText = table.cell(r, Col::Date);
        const QString line = QStringLiteral("     \t") + name + twoSpaces + LeaderDots(name, 320, measure) +
                             u'\t' + KindCode(kind) + u'\t' + dateText + u'\t' +
                             AgeText(dateText, notation, thisYear);
        doc.paragraphs.append(paragraph(ListAlign::Left, tabs, line, 12));
    }
    return doc;
}

void AskSaveBeforeList(DataFile& data, const QString& windowCaption, const QRect& caller) {
    if (!data.saveEnabled)
        return;
    bool cancel = false;
    // "Nee" keeps the changes marked: they are asked about again at closing.
    // A save that could not write keeps them marked as well.
    if (Ui::instance().askYesNo(
            cancel, true, QStringLiteral("Ja"), QStringLiteral("Nee"), QString(),
            QStringLiteral("De verjaardaggegevens zijn gewijzigd. De wijzigingen bewaren?"),
            windowCaption + QStringLiteral(" - Changes"), caller))
        data.save();
}

QByteArray WriteListRtf(const ListDocument& document) {
    QByteArray out;
    out += "{\\rtf1\\ansi\\ansicpg1252\\deff0\\uc1{\\fonttbl{\\f0\\fswiss\\fcharset0 ";
    appendEscaped(out, document.fontFamily);
    // The face a word processor takes where the first is missing: the one
    // with the same widths, so that the tab stops still hold.
    if (!document.alternativeFamily.isEmpty()) {
        out += "{\\*\\falt ";
        appendEscaped(out, document.alternativeFamily);
        out += '}';
    }
    out += ";}}\r\n\\viewkind4\\f0\\fs" + QByteArray::number(document.basePoints * 2) + "\r\n";
    for (const ListParagraph& p : document.paragraphs) {
        out += "\\pard";
        switch (p.align) {
        case ListAlign::Center:
            out += "\\qc";
            break;
        case ListAlign::Right:
            out += "\\qr";
            break;
        case ListAlign::Left:
            out += "\\ql";
            break;
        }
        for (const int stop : p.tabStops)
            out += "\\tx" + QByteArray::number(stop * 20); // twips
        out += "\\plain\\f0\\fs" + QByteArray::number(p.points * 2) + (p.bold ? "\\b" : "\\b0");
        for (const ListRun& run : p.runs) {
            const QByteArray open =
                "{\\fs" + QByteArray::number(run.points * 2) + (run.bold ? "\\b " : "\\b0 ");
            // Writer reads a run of spaces within one group with six-per-em
            // spaces added between them; wider, the five leading spaces of a
            // line pass the first tab stop and the line falls apart.  A space
            // that follows a space starts a group of its own.
            out += open;
            qsizetype from = 0;
            for (qsizetype i = 1; i < run.text.size(); ++i) {
                if (run.text[i] == u' ' && run.text[i - 1] == u' ') {
                    appendEscaped(out, run.text.mid(from, i - from));
                    out += '}' + open;
                    from = i;
                }
            }
            appendEscaped(out, run.text.mid(from));
            out += '}';
        }
        out += "\\par\r\n";
    }
    out += "}\r\n";
    return out;
}

QString SaveListFile(const ListDocument& document, const QString& dataFolder) {
    const QString folder = dataFolder + QStringLiteral("Temp/");
    QDir().mkpath(folder);
    const QString path = folder + QStringLiteral("Tmp.rtf");
    const QByteArray rtf = WriteListRtf(document);
    if (WriteWholeFile(path, rtf) != rtf.size())
        return {};
    return path;
}
