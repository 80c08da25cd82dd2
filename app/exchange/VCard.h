#pragma once

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// Reading address cards as phones, web address books and mail programs write
// them (versions 2.1, 3.0 and 4.0).  The reader is forgiving: a card is what
// lies between BEGIN:VCARD and END:VCARD (or the next BEGIN:VCARD, or the end
// of the text, when a writer forgot the END), a line it cannot make sense of
// is passed over, and nothing on the card is ever fetched from the network.
// It reads card by card in one pass over the text, so its time and memory
// grow with the text, never faster.

// One line of a card after unfolding.
struct VCardProperty {
    QString group; // "item1" of "item1.EMAIL"; empty when none
    QString name;  // upper case: "FN", "BDAY", "EMAIL"
    // Parameters with upper-case names, in order; a bare 2.1 parameter such as
    // "HOME" or "PREF" is kept as ("TYPE", "HOME").  Values keep their case,
    // quotes removed; "TYPE=home,pref" is split into one entry per value.
    QList<QPair<QString, QString>> params;
    // The value as text: quoted-printable and the character set undone, the
    // backslash escapes still in place (they mean different things in
    // structured values).
    QString value;
    // The decoded bytes of a base64 value (ENCODING=b/BASE64, or a
    // "data:...;base64," address); empty otherwise.
    QByteArray binary;

    // The first value of parameter `name` (upper case), or empty.
    QString param(const QString& name) const;
    // Whether parameter `name` holds `value` (compared without case).
    bool hasParam(const QString& name, const QString& value) const;
    // The preference of this line: 1 is most wanted; 100 when none is given.
    // 2.1 bare PREF and 3.0 TYPE=pref count as 1, 4.0 PREF=n as n.
    int preference() const;
};

struct VCard {
    QString version; // "2.1", "3.0", "4.0" or empty
    QList<VCardProperty> properties;
    // Why the card cannot be used as a whole (Dutch), e.g. that it is larger
    // than any real card; its properties are then left out.
    QString problem;

    // The first line named `name`, or nullptr.
    const VCardProperty* first(const QString& name) const;
    // The most preferred line named `name` (the first of equals), or nullptr.
    const VCardProperty* preferred(const QString& name) const;
};

// No real card comes near these; a card beyond them is skipped with its reason.
inline constexpr qsizetype MaxVCardBytes = 16 * 1024 * 1024; // a phone photo is a few MB
inline constexpr int MaxVCardLines = 10000;

// The cards of `bytes`, one at a time.  Text without a character set is read
// as UTF-8 when it is valid UTF-8, else as Windows-1252.
class VCardReader {
public:
    explicit VCardReader(const QByteArray& bytes);
    // The next card; false after the last.
    bool next(VCard& card);

private:
    bool nextPhysical(QByteArrayView& line);
    bool nextLogical(QByteArray& line);
    void startLogical(QByteArrayView line);
    void appendLogical(QByteArrayView part);

    QByteArray m_bytes;
    qsizetype m_pos = 0;
    QByteArrayView m_rest;  // what followed "END:VCARD" on the same line
    QByteArray m_logical;   // the logical line being gathered
    bool m_have = false;    // m_logical holds a line
    qsizetype m_colon = -1; // the first ":" of m_logical, once seen
    bool m_quotedPrintable = false;
    bool m_base64 = false;
    bool m_oversize = false;     // m_logical grew past MaxVCardBytes; the rest was dropped
    bool m_pendingBegin = false; // a BEGIN:VCARD ended the card before
};

// Every card in `bytes`.
QList<VCard> ReadVCards(const QByteArray& bytes);
// Whether `bytes` hold at least one card.
bool ContainsVCard(const QByteArray& bytes);

// A one-line field as the records keep it: line breaks become ", ", ";"
// becomes "," (the data file's separator), tabs become spaces, and control
// characters (C0, DEL, C1) are removed; leading and trailing spaces go.
QString CleanCardText(const QString& text);

// A text value with its escapes undone: "\," "\;" "\:" "\\" and "\n"/"\N"
// (a line break).
QString VCardText(const QString& value);
// The parts of a structured value (N, ADR), split at unescaped ";" and unescaped.
QStringList VCardParts(const QString& value);

// A date of a card as the data file keeps it: year 3000 when the card gives
// no year; 29 February of a year that has none is 1 March.
struct VCardDate {
    int year = 0;
    int month = 0;
    int day = 0;
    bool isValid() const { return month > 0; }
};
// Reads "1960-05-12", "19600512", "--05-12", "--0512", with or without a time
// and zone; "X-APPLE-OMIT-YEAR=1604" with year 1604 means no year.  A text
// date ("circa 1800") or an empty one gives an invalid date.
VCardDate ParseVCardDate(const VCardProperty& property);

// What a card gives the records.
// Every text is cleaned with CleanCardText.
struct VCardContact {
    QString uid;  // UID: the card's own name for itself, kept through changes; may be empty
    QString name; // FN, else given and family name of N; ";" already ","
    // The husband, wife or partner the wedding day is shared with: 4.0
    // RELATED;TYPE=spouse (a name, not a link to another card), X-SPOUSE,
    // X-EVOLUTION-SPOUSE, X-KADDRESSBOOK-X-SpousesName, or Apple's
    // X-ABRELATEDNAMES labelled as spouse.  Empty when the card names none.
    QString spouse;
    VCardDate birth;       // BDAY
    VCardDate anniversary; // ANNIVERSARY, X-EVOLUTION-ANNIVERSARY
    VCardDate death;       // DEATHDATE
    // The date texts as written, for messages about dates that cannot be read.
    QString birthText, anniversaryText, deathText;
    QString mail, phone, street, postcodeCity, country;
    QByteArray photo;          // an embedded picture's bytes; empty when none
    QString photoType;         // "JPEG", "PNG", ... as the card says (upper case); may be empty
    bool photoIsLink = false;  // the card points to a picture on the web (never fetched)
    bool photoIsEmpty = false; // the card has a picture line without any picture in it
};
VCardContact ContactOfCard(const VCard& card);
