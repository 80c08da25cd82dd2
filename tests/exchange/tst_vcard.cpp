#include "exchange/VCard.h"

#include <QTest>

// Address cards as phones, web address books and mail programs write them.
class TestVCard : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void readsTheDialects_data();
    void readsTheDialects();
    void findsEveryCard();
};

namespace {
QString dateOf(const VCardDate& d) {
    return d.isValid() ? QString::asprintf("%04d-%02d-%02d", d.year, d.month, d.day) : QString();
}
} // namespace

void TestVCard::readsTheDialects_data() {
    QTest::addColumn<QByteArray>("card");
    // name | birth | anniversary | death | mail | phone | street | postcode city | country
    QTest::addColumn<QString>("expected");
    QTest::newRow("3.0 Google: groups, TYPE=pref, ADR")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Anna de Vries\r\nN:de Vries;Anna;;;\r\n"
                      "BDAY:1960-05-12\r\nitem1.EMAIL;TYPE=INTERNET:a@x.nl\r\n"
                      "item2.EMAIL;TYPE=INTERNET;TYPE=pref:pref@x.nl\r\nTEL;TYPE=CELL:06 12\r\n"
                      "ADR;TYPE=HOME:;;Dorpsstraat 1;Utrecht;;3511 AB;Nederland\r\nEND:VCARD\r\n")
        << "Anna de Vries|1960-05-12|||pref@x.nl|06 12|Dorpsstraat 1|3511 AB Utrecht|Nederland";
    QTest::newRow("2.1 phone: N only, QP with soft break and CHARSET, bare PREF, 29 Feb")
        << QByteArray("BEGIN:VCARD\nVERSION:2.1\nN;CHARSET=ISO-8859-1;ENCODING=QUOTED-PRINTABLE:M=FCl=\n"
                      " ler;J=FC=\nrgen\nBDAY:19450229\nTEL;HOME:0301\nTEL;CELL;PREF:0612\nEND:VCARD\n")
        << "Jürgen Müller|1945-03-01||||0612|||";
    QTest::newRow("4.0: no year, PREF=1, text death date, tel: URI")
        << QByteArray("BEGIN:VCARD\r\nVERSION:4.0\r\nFN:Jan en Els\r\nANNIVERSARY:--0612\r\n"
                      "DEATHDATE;VALUE=text:circa 1800\r\nEMAIL;PREF=2:b@x.nl\r\nEMAIL;PREF=1:a@x.nl\r\n"
                      "TEL;VALUE=uri:tel:+31-6-1\r\nBDAY:--05-12\r\nEND:VCARD\r\n")
        << "Jan en Els|3000-05-12|3000-06-12||a@x.nl|+31-6-1|||";
    QTest::newRow("Apple: omitted year, labelled anniversary, 4.0 DEATHDATE with time")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Piet\r\nBDAY;X-APPLE-OMIT-YEAR=1604:1604-02-29\r\n"
                      "item1.X-ABDATE;type=pref:2004-06-12\r\nitem1.X-ABLabel:_$!<Anniversary>!$_\r\n"
                      "DEATHDATE:20200101T120000+0100\r\nEND:VCARD\r\n")
        << "Piet|3000-03-01|2004-06-12|2020-01-01|||||";
    QTest::newRow("Evolution: escapes, folding with tab and space, time and zone")
        << QByteArray("BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Jan\\, Piet\\; en\\\\ c\r\n\to\r\n"
                      "BDAY:1970-01-02T00:00:00Z\r\nX-EVOLUTION-ANNIVERSARY;VALUE=DATE:19950704\r\n"
                      "ADR:;;Laan 2\\nachter;Gent;;9000;Bel\r\n gië\r\nEND:VCARD\r\n")
        << "Jan, Piet, en\\ co|1970-01-02|1995-07-04||||Laan 2, achter|9000 Gent|België";
    QTest::newRow("Outlook 2.1: Windows-1252 QP, X-MS-ANNIVERSARY, lower-case names")
        << QByteArray(
               "begin:vcard\r\nversion:2.1\r\nfn;CHARSET=Windows-1252;ENCODING=QUOTED-PRINTABLE:Ren=E9e =\r\n"
               "=80uro\r\nx-ms-anniversary:19850615\r\nbday:\r\nend:vcard\r\n")
        << "Renée €uro||1985-06-15||||||";
    QTest::newRow("invalid dates give nothing")
        << QByteArray(
               "BEGIN:VCARD\r\nFN:X\r\nBDAY:1960-13-01\r\nANNIVERSARY:someday\r\nDEATHDATE:1961-02-30\r\n"
               "END:VCARD\r\n")
        << "X||||||||";
    const QString utf16 = "BEGIN:VCARD\r\nFN:Ŝaŭlo\r\nBDAY:2000-01-02\r\nEND:VCARD\r\n";
    QTest::newRow("UTF-16 with byte order mark")
        << "\xFF\xFE" + QByteArray(reinterpret_cast<const char*>(utf16.utf16()), utf16.size() * 2)
        << "Ŝaŭlo|2000-01-02|||||||";
    QTest::newRow("UTF-8 with byte order mark") << QByteArray("\xEF\xBB\xBF"
                                                              "BEGIN:VCARD\r\nFN:Ŝaŭlo\r\nEND:VCARD\r\n")
                                                << "Ŝaŭlo||||||||";
    QTest::newRow("Windows-1252 bytes without charset")
        << QByteArray("BEGIN:VCARD\r\nFN:Zo\xEB\r\nBDAY:19991231\r\nEND:VCARD\r\n")
        << "Zoë|1999-12-31|||||||";
}

void TestVCard::readsTheDialects() {
    QFETCH(QByteArray, card);
    QFETCH(QString, expected);
    const QList<VCard> cards = ReadVCards(card);
    QCOMPARE(cards.size(), 1);
    const VCardContact c = ContactOfCard(cards[0]);
    const QStringList got = {c.name,  dateOf(c.birth), dateOf(c.anniversary), dateOf(c.death), c.mail,
                             c.phone, c.street,        c.postcodeCity,        c.country};
    QCOMPARE(got.join(u'|'), expected);
}

void TestVCard::findsEveryCard() {
    // Photos both ways, a nested 2.1 AGENT card, text around the cards, no END
    // at the very end (that card counts all the same).
    const QByteArray jpeg("\xFF\xD8\xFF\xE0jpeg");
    const QByteArray bytes =
        "junk\r\nBEGIN:VCARD\r\nFN:A\r\nPHOTO;ENCODING=b;TYPE=JPEG:" + jpeg.toBase64().insert(4, "\r\n ") +
        "\r\nAGENT:\r\nBEGIN:VCARD\r\nFN:Agent\r\nEND:VCARD\r\nEND:VCARD\r\n"
        "BEGIN:VCARD\r\nFN:B\r\nPHOTO:data:image/png;base64," +
        jpeg.toBase64() +
        "\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:C\r\nPHOTO;VALUE=uri:https://x.nl/c.jpg\r\n"
        "END:VCARD\r\nBEGIN:VCARD\r\nVERSION:2.1\r\nFN:E\r\nPHOTO;ENCODING=BASE64;TYPE=JPEG:" +
        jpeg.toBase64().insert(4, "\r\n") + "\r\n\r\nEND:VCARD\r\nBEGIN:VCARD\r\nFN:D\r\n";
    const QList<VCard> cards = ReadVCards(bytes);
    QCOMPARE(cards.size(), 5);
    QStringList got;
    for (const VCard& card : cards) {
        const VCardContact c = ContactOfCard(card);
        got << c.name + u' ' + QString::number(c.photo == jpeg) + c.photoType + (c.photoIsLink ? "link" : "");
    }
    QCOMPARE(got, QStringList({"A 1JPEG", "B 1PNG", "C 0link", "E 1JPEG", "D 0"}));
}

QTEST_GUILESS_MAIN(TestVCard)
#include "tst_vcard.moc"
