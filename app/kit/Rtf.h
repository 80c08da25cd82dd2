#pragma once

#include <QByteArray>
#include <QList>
#include <QString>

// A small reader for the rich text the program ships (the news file): it keeps
// paragraphs with their alignment and runs of text with bold, italic,
// underline and size, and drops everything else (font and colour tables,
// style sheets, document information, pictures, ignorable destinations).
// It needs no window, so the windows turn the result into a QTextDocument.

enum class RtfAlign { Left, Center, Right, Justify };

struct RtfRun {
    QString text;
    bool bold = false;
    bool italic = false;
    bool underline = false;
    int halfPoints = 24; // \fs value: the size in half points
    bool sameFormat(const RtfRun& other) const {
        return bold == other.bold && italic == other.italic && underline == other.underline &&
               halfPoints == other.halfPoints;
    }
};

struct RtfParagraph {
    RtfAlign align = RtfAlign::Left;
    QList<RtfRun> runs;
    int halfPoints = 24; // the size in effect at the paragraph mark, for empty lines
    QString plainText() const;
};

struct RtfDocument {
    QList<RtfParagraph> paragraphs;
    QString plainText() const; // paragraphs joined with "\n"
};

// Reads `data` as RTF.  False (and an empty document) when the data does not
// start with "{\rtf"; unbalanced braces at the end are forgiven.
bool ReadRtf(const QByteArray& data, RtfDocument& document);
