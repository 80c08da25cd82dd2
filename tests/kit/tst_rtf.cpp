#include "kit/Rtf.h"

#include <QTest>

class TestRtf : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void readsText_data();
    void readsText();
    void formatsRuns_data();
    void formatsRuns();
    void alignsParagraphs_data();
    void alignsParagraphs();
    void refusesWhatIsNotRtf();
};

// The text each paragraph shows, joined with "|".
static QString paragraphsOf(const RtfDocument& document) {
    QStringList texts;
    for (const RtfParagraph& paragraph : document.paragraphs)
        texts << paragraph.plainText();
    return texts.join(QLatin1Char('|'));
}

void TestRtf::readsText_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("expected");

    QTest::newRow("paragraphs") << QByteArray("{\\rtf1 Eerste\\par Tweede\\par}") << "Eerste|Tweede";
    QTest::newRow("text after the last mark is a paragraph")
        << QByteArray("{\\rtf1 Een\\par Twee}") << "Een|Twee";
    QTest::newRow("empty paragraph kept") << QByteArray("{\\rtf1 A\\par\\par B\\par}") << "A||B";
    QTest::newRow("line ends in the file are not text") << QByteArray("{\\rtf1 Hal\r\nlo\\par}") << "Hallo";
    QTest::newRow("font table, colour table, style sheet and info dropped")
        << QByteArray("{\\rtf1\\ansi{\\fonttbl{\\f0\\fswiss Verdana;}{\\f1 Arial;}}"
                      "{\\colortbl;\\red255\\green0\\blue0;}{\\stylesheet{\\s0 Normal;}}"
                      "{\\info{\\title Nieuws}{\\author Iemand}}\\f0 Tekst\\par}")
        << "Tekst";
    QTest::newRow("unknown ignorable destination dropped")
        << QByteArray("{\\rtf1{\\*\\generator Msftedit 5.41;}{\\*\\onbekend {genest} x}Ja\\par}") << "Ja";
    QTest::newRow("hex escape in Windows-1252")
        << QByteArray("{\\rtf1\\ansi\\ansicpg1252 Caf\\'e9 \\'80 5 \\'93ok\\'94\\par}")
        << QString::fromUtf8("Café € 5 “ok”");
    QTest::newRow("unicode escape skips its fallback")
        << QByteArray("{\\rtf1 \\u8364?\\u233 e\\par}") << QString::fromUtf8("€é");
    QTest::newRow("unicode escape with two fallback characters")
        << QByteArray("{\\rtf1\\uc2 a\\u233xyb\\par}") << QString::fromUtf8("aéb");
    QTest::newRow("fallback given as hex escape")
        << QByteArray("{\\rtf1 \\u252\\'fc!\\par}") << QString::fromUtf8("ü!");
    QTest::newRow("negative unicode value")
        << QByteArray("{\\rtf1 \\u-4064?\\par}") << QString(QChar(0xF020));
    QTest::newRow("escaped braces and backslash") << QByteArray("{\\rtf1 \\{a\\}\\\\b\\par}") << "{a}\\b";
    QTest::newRow("groups restore nothing visible") << QByteArray("{\\rtf1 a{b}c{{d}}e\\par}") << "abcde";
    QTest::newRow("tab, line and special characters")
        << QByteArray("{\\rtf1 a\\tab b\\line c\\~d\\emdash e\\par}")
        << QString::fromUtf8("a\tb\u2028c\u00A0d—e");
    QTest::newRow("unknown control word ignored")
        << QByteArray("{\\rtf1\\viewkind4\\lang1043 tekst\\par}") << "tekst";
    QTest::newRow("text after the document's group is not read")
        << QByteArray("{\\rtf1 binnen\\par}buiten") << "binnen";
}

void TestRtf::readsText() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, expected);
    RtfDocument document;
    QVERIFY(ReadRtf(rtf, document));
    QCOMPARE(paragraphsOf(document), expected);
}

void TestRtf::formatsRuns_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QString>("runs"); // text:flags:halfPoints per run, ";" between runs

    QTest::newRow("bold on and off") << QByteArray("{\\rtf1 a\\b b\\b0 c\\par}") << "a::24;b:B:24;c::24";
    QTest::newRow("italic in a group ends with the group")
        << QByteArray("{\\rtf1 a{\\i b}c\\par}") << "a::24;b:I:24;c::24";
    QTest::newRow("underline and ulnone") << QByteArray("{\\rtf1\\ul a\\ulnone b\\par}") << "a:U:24;b::24";
    QTest::newRow("font size in half points")
        << QByteArray("{\\rtf1\\fs20 klein\\fs32 groot\\par}") << "klein::20;groot::32";
    QTest::newRow("plain resets the character format")
        << QByteArray("{\\rtf1\\b\\i\\fs40 x\\plain y\\par}") << "x:BI:40;y::24";
    QTest::newRow("bold and italic together") << QByteArray("{\\rtf1\\b\\i xy\\par}") << "xy:BI:24";
}

void TestRtf::formatsRuns() {
    QFETCH(QByteArray, rtf);
    QFETCH(QString, runs);
    RtfDocument document;
    QVERIFY(ReadRtf(rtf, document));
    QCOMPARE(document.paragraphs.size(), 1);
    QStringList described;
    for (const RtfRun& run : document.paragraphs.first().runs) {
        QString flags;
        if (run.bold)
            flags += u'B';
        if (run.italic)
            flags += u'I';
        if (run.underline)
            flags += u'U';
        described << QStringLiteral("%1:%2:%3").arg(run.text, flags).arg(run.halfPoints);
    }
    QCOMPARE(described.join(u';'), runs);
}

void TestRtf::alignsParagraphs_data() {
    QTest::addColumn<QByteArray>("rtf");
    QTest::addColumn<QList<int>>("aligns");

    const int left = int(RtfAlign::Left);
    const int centre = int(RtfAlign::Center);
    const int right = int(RtfAlign::Right);
    const int justify = int(RtfAlign::Justify);
    QTest::newRow("alignment carries on until pard")
        << QByteArray("{\\rtf1\\qc a\\par b\\par\\pard c\\par}") << QList<int>{centre, centre, left};
    QTest::newRow("each alignment") << QByteArray("{\\rtf1\\ql a\\par\\qr b\\par\\qj c\\par\\qc d\\par}")
                                    << QList<int>{left, right, justify, centre};
    QTest::newRow("alignment at the paragraph mark counts")
        << QByteArray("{\\rtf1 a\\qr\\par}") << QList<int>{right};
}

void TestRtf::alignsParagraphs() {
    QFETCH(QByteArray, rtf);
    QFETCH(QList<int>, aligns);
    RtfDocument document;
    QVERIFY(ReadRtf(rtf, document));
    QList<int> found;
    for (const RtfParagraph& paragraph : document.paragraphs)
        found << int(paragraph.align);
    QCOMPARE(found, aligns);
}

void TestRtf::refusesWhatIsNotRtf() {
    RtfDocument document;
    QVERIFY(!ReadRtf("gewone tekst", document));
    QVERIFY(document.paragraphs.isEmpty());
    QVERIFY(!ReadRtf(QByteArray(), document));
    QVERIFY(ReadRtf("\r\n  {\\rtf1 x}", document));
    QCOMPARE(document.plainText(), QStringLiteral("x"));
}

QTEST_GUILESS_MAIN(TestRtf)
#include "tst_rtf.moc"
