// The design's colours under a light and a dark desktop palette.
#include "kit/ClrBtn.h"
#include "kit/Shades.h"

#include <QApplication>
#include <QLabel>
#include <QTest>

namespace {
QPalette lightPalette() {
    QPalette p;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, QColor(0xef, 0xef, 0xef));
        p.setColor(group, QPalette::WindowText, Qt::black);
        p.setColor(group, QPalette::Base, Qt::white);
        p.setColor(group, QPalette::Text, Qt::black);
        p.setColor(group, QPalette::Button, QColor(0xef, 0xef, 0xef));
        p.setColor(group, QPalette::ButtonText, Qt::black);
        p.setColor(group, QPalette::Highlight, QColor(0x30, 0x8c, 0xc6));
        p.setColor(group, QPalette::HighlightedText, Qt::white);
    }
    return p;
}

// Breeze Dark's colours, whose selection (light text on a bright blue) is
// itself below 4.5:1.
QPalette darkPalette() {
    QPalette p;
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, QColor(0x31, 0x36, 0x3b));
        p.setColor(group, QPalette::WindowText, QColor(0xef, 0xf0, 0xf1));
        p.setColor(group, QPalette::Base, QColor(0x23, 0x26, 0x29));
        p.setColor(group, QPalette::Text, QColor(0xef, 0xf0, 0xf1));
        p.setColor(group, QPalette::Button, QColor(0x31, 0x36, 0x3b));
        p.setColor(group, QPalette::ButtonText, QColor(0xef, 0xf0, 0xf1));
        p.setColor(group, QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
        p.setColor(group, QPalette::HighlightedText, QColor(0xef, 0xf0, 0xf1));
        p.setColor(group, QPalette::Link, QColor(0x1d, 0x99, 0xf3));
    }
    return p;
}

int hundredths(double ratio) {
    return int(std::lround(ratio * 100));
}
} // namespace

class TestShades : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void cleanup() { QApplication::setPalette(lightPalette()); }

    void contrastRatio_data();
    void contrastRatio();
    void shadeFollowsThePalette_data();
    void shadeFollowsThePalette();
    void darkTextsAreReadable_data();
    void darkTextsAreReadable();
    void readableOn_data();
    void readableOn();
    void kitBackground_data();
    void kitBackground();
    void pageColours_data();
    void pageColours();
};

void TestShades::contrastRatio_data() {
    QTest::addColumn<QColor>("a");
    QTest::addColumn<QColor>("b");
    QTest::addColumn<int>("hundredths");
    QTest::newRow("black on white") << QColor(Qt::black) << QColor(Qt::white) << 2100;
    QTest::newRow("either order") << QColor(Qt::white) << QColor(Qt::black) << 2100;
    QTest::newRow("the same colour") << QColor(0x35, 0x33, 0x1f) << QColor(0x35, 0x33, 0x1f) << 100;
    QTest::newRow("the lightest grey readable on white")
        << QColor(0x76, 0x76, 0x76) << QColor(Qt::white) << 454;
    QTest::newRow("past blue on white") << QColor(0, 0, 255) << QColor(Qt::white) << 859;
    QTest::newRow("today's red on white") << QColor(255, 0, 0) << QColor(Qt::white) << 400;
    QTest::newRow("light text on the pale yellow: the fault")
        << QColor(0xef, 0xf0, 0xf1) << QColor(255, 255, 227) << 112;
}

void TestShades::contrastRatio() {
    QFETCH(QColor, a);
    QFETCH(QColor, b);
    QFETCH(int, hundredths);
    QCOMPARE(::hundredths(ContrastRatio(a, b)), hundredths);
}

void TestShades::shadeFollowsThePalette_data() {
    QTest::addColumn<QColor>("design");
    QTest::addColumn<QColor>("dark");
    QTest::newRow("windows") << QColor(255, 255, 227) << QColor(53, 51, 31);
    QTest::newRow("timed note") << QColor(255, 255, 224) << QColor(56, 54, 32);
    QTest::newRow("lists") << QColor(255, 255, 200) << QColor(60, 57, 30);
    QTest::newRow("path line") << QColor(255, 255, 160) << QColor(70, 66, 28);
    QTest::newRow("grid header") << QColor(255, 255, 0) << QColor(88, 82, 0);
    QTest::newRow("hover") << QColor(0, 255, 255) << QColor(0, 88, 96);
    QTest::newRow("picture panel") << QColor(255, 255, 255) << QColor(30, 30, 30);
    QTest::newRow("past") << QColor(0, 0, 255) << QColor(138, 180, 255);
    QTest::newRow("today") << QColor(255, 0, 0) << QColor(255, 128, 118);
    QTest::newRow("coming") << QColor(0, 128, 0) << QColor(112, 214, 112);
    QTest::newRow("nothing due") << QColor(128, 128, 128) << QColor(176, 176, 176);
    QTest::newRow("a colour of no meaning stays") << QColor(12, 34, 56) << QColor(12, 34, 56);
}

void TestShades::shadeFollowsThePalette() {
    QFETCH(QColor, design);
    QFETCH(QColor, dark);
    QApplication::setPalette(lightPalette());
    QVERIFY(!DesktopIsDark());
    QCOMPARE(Shade(design), design); // exactly the design's under a light palette
    QApplication::setPalette(darkPalette());
    QVERIFY(DesktopIsDark());
    QCOMPARE(Shade(design), dark);
}

// Every text colour of the design on every background it is shown on, under
// a dark palette.
void TestShades::darkTextsAreReadable_data() {
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    const QList<std::pair<const char*, QColor>> textAreas = {
        {"Breeze Dark", QColor(0x23, 0x26, 0x29)},
        {"Adwaita-dark", QColor(0x2d, 0x2d, 0x2d)},
        {"black", QColor(Qt::black)},
        {"window panel", Shade(QColor(255, 255, 227), true)}};
    const QList<std::pair<const char*, QColor>> reminders = {{"past", QColor(0, 0, 255)},
                                                             {"today", QColor(255, 0, 0)},
                                                             {"coming", QColor(0, 128, 0)},
                                                             {"nothing due", QColor(128, 128, 128)}};
    for (const auto& [area, background] : textAreas)
        for (const auto& [reminder, colour] : reminders)
            QTest::addRow("%s on %s", reminder, area) << Shade(colour, true) << background;
    QTest::newRow("help heading on the page")
        << Shade(QColor(0, 0, 128), true) << Shade(QColor(255, 255, 227), true);
    QTest::newRow("light text on the lists panel")
        << QColor(0xef, 0xf0, 0xf1) << Shade(QColor(255, 255, 200), true);
    QTest::newRow("light text on the grid header")
        << QColor(0xef, 0xf0, 0xf1) << Shade(QColor(255, 255, 0), true);
    QTest::newRow("light text on the hover colour")
        << QColor(0xef, 0xf0, 0xf1) << Shade(QColor(0, 255, 255), true);
    QTest::newRow("light text on the path line")
        << QColor(0xef, 0xf0, 0xf1) << Shade(QColor(255, 255, 160), true);
}

void TestShades::darkTextsAreReadable() {
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QVERIFY2(ContrastRatio(text, background) >= ReadableContrast,
             qPrintable(QString::number(ContrastRatio(text, background))));
}

void TestShades::readableOn_data() {
    QTest::addColumn<QColor>("text");
    QTest::addColumn<QColor>("background");
    QTest::addColumn<bool>("kept");
    QTest::newRow("black on the pale yellow") << QColor(Qt::black) << QColor(255, 255, 227) << true;
    QTest::newRow("light on the pale yellow") << QColor(0xef, 0xf0, 0xf1) << QColor(255, 255, 227) << false;
    QTest::newRow("blue link on the dark panel") << QColor(0x1d, 0x99, 0xf3) << QColor(53, 51, 31) << false;
    QTest::newRow("grey on grey") << QColor(128, 128, 128) << QColor(120, 120, 120) << false;
    QTest::newRow("red on white") << QColor(255, 0, 0) << QColor(Qt::white) << false;
    QTest::newRow("light on Breeze Dark") << QColor(0xef, 0xf0, 0xf1) << QColor(0x23, 0x26, 0x29) << true;
}

void TestShades::readableOn() {
    QFETCH(QColor, text);
    QFETCH(QColor, background);
    QFETCH(bool, kept);
    const QColor readable = ReadableOn(text, background);
    QCOMPARE(readable == text, kept);
    QVERIFY(ContrastRatio(readable, background) >= ReadableContrast);
    // Made to measure with room to spare; a coloured text keeps its hue.
    if (!kept) {
        QVERIFY(ContrastRatio(readable, background) >= ReadableContrast + 0.5 ||
                readable == QColor(Qt::white) || readable == QColor(Qt::black));
        if (text.hsvHue() >= 0 && readable != QColor(Qt::white) && readable != QColor(Qt::black))
            QVERIFY(std::abs(readable.hsvHue() - text.hsvHue()) <= 2);
    }
}

// A window's panel and its button: the design under a light palette, readable under a dark one.
void TestShades::kitBackground_data() {
    QTest::addColumn<bool>("dark");
    QTest::newRow("light") << false;
    QTest::newRow("dark") << true;
}

void TestShades::kitBackground() {
    QFETCH(bool, dark);
    QApplication::setPalette(dark ? darkPalette() : lightPalette());
    QWidget window;
    SetKitBackground(&window, KitColor::Window);
    auto* label = new QLabel(QStringLiteral("Aantal dagen Vooraf"), &window);
    auto* button = new TClrBtn(QStringLiteral("Annuleren"), &window);
    button->useKitColors();
    button->setGeometry(0, 40, 110, 30);
    const QColor panel = window.palette().color(QPalette::Window);
    QCOMPARE(panel, dark ? QColor(53, 51, 31) : QColor(255, 255, 227));
    const QColor text = label->palette().color(QPalette::WindowText);
    if (dark)
        QVERIFY(ContrastRatio(text, panel) >= ReadableContrast);
    else
        QCOMPARE(text, QColor(Qt::black)); // as the palette has it
    // The button's face in the middle, beside the caption.
    const QImage face = button->grab().toImage();
    QCOMPARE(QColor(face.pixel(6, 15)), panel);
    // Selected items under the dark palette's bright selection colour.
    const QPalette p = window.palette();
    QVERIFY(ContrastRatio(p.color(QPalette::HighlightedText), p.color(QPalette::Highlight)) >=
                ReadableContrast ||
            !dark);
}

void TestShades::pageColours_data() {
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("dark");
    QTest::newRow("page") << "body { background-color: #ffffe3; }"
                          << "body { background-color: #35331f; }";
    QTest::newRow("heading, upper case") << "h1 { color: #000080; }"
                                         << "h1 { color: #96aaff; }";
    QTest::newRow("reminder colours")
        << "<font color=\"#0000FF\">blauw</font><font color=\"#ff0000\">rood</font>"
        << "<font color=\"#8ab4ff\">blauw</font><font color=\"#ff8076\">rood</font>";
    QTest::newRow("black text: the desktop's") << "p { color: #000000; }"
                                               << "p { color: #eff0f1; }";
    QTest::newRow("other colours stay") << "td { color: #123456; } x#abcdefg"
                                        << "td { color: #123456; } x#abcdefg";
}

void TestShades::pageColours() {
    QFETCH(QString, text);
    QFETCH(QString, dark);
    QApplication::setPalette(lightPalette());
    QCOMPARE(ShadeColoursIn(text), text);
    QApplication::setPalette(darkPalette());
    QCOMPARE(ShadeColoursIn(text), dark);
}

QTEST_MAIN(TestShades)
#include "tst_shades.moc"
