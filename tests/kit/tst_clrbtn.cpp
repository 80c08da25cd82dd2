#include "kit/ClrBtn.h"

#include <QEnterEvent>
#include <QImage>
#include <QTemporaryDir>
#include <QTest>

class TestClrBtn : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void convertsBgr_data();
    void convertsBgr();
    void resolvesSystemColours();
    void startsWithSystemColours();
    void hoverSwapsFace();
    void hoverRestoresSavedFaceOverCode();
    void strayLeaveKeepsFace();
    void paintsFaceInBackColor();
    void pressedCaptionMovesOnePixel();
    void disabledCaptionIgnoresForeColor();
    void defaultButtonHasDarkOutline_data();
    void defaultButtonHasDarkOutline();

private:
    QTemporaryDir m_home;
    static void enter(TClrBtn& button);
    static void leave(TClrBtn& button);
    static QRect boundsOf(const QImage& image, const QColor& colour);
};

void TestClrBtn::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toUtf8());
}

void TestClrBtn::enter(TClrBtn& button) {
    QEnterEvent event(QPointF(5, 5), QPointF(5, 5), QPointF(5, 5));
    QCoreApplication::sendEvent(&button, &event);
}

void TestClrBtn::leave(TClrBtn& button) {
    QEvent event(QEvent::Leave);
    QCoreApplication::sendEvent(&button, &event);
}

// Bounding box of the pixels that are clearly `colour` blended over white.
QRect TestClrBtn::boundsOf(const QImage& image, const QColor& colour) {
    QRect bounds;
    for (int y = 0; y < image.height(); ++y) {
        for (int x = 0; x < image.width(); ++x) {
            const QColor pixel = image.pixelColor(x, y);
            const bool close = qAbs(pixel.red() - colour.red()) < 40 &&
                               qAbs(pixel.green() - colour.green()) < 40 &&
                               qAbs(pixel.blue() - colour.blue()) < 40;
            if (close)
                bounds |= QRect(x, y, 1, 1);
        }
    }
    return bounds;
}

void TestClrBtn::convertsBgr_data() {
    QTest::addColumn<quint32>("bgr");
    QTest::addColumn<QColor>("colour");

    QTest::newRow("window pale yellow") << quint32(0xE3FFFF) << QColor(255, 255, 227);
    QTest::newRow("hover cyan") << quint32(0xFFFF00) << QColor(0, 255, 255);
    QTest::newRow("timed note") << quint32(0xE0FFFF) << QColor(255, 255, 224);
    QTest::newRow("pure red is the low byte") << quint32(0x0000FF) << QColor(255, 0, 0);
    QTest::newRow("pure blue is the high byte") << quint32(0xFF0000) << QColor(0, 0, 255);
    QTest::newRow("mixed") << quint32(0x123456) << QColor(0x56, 0x34, 0x12);
}

void TestClrBtn::convertsBgr() {
    QFETCH(quint32, bgr);
    QFETCH(QColor, colour);
    QCOMPARE(ColorFromBgr(bgr), colour);
    QCOMPARE(ResolveColor(bgr, QPalette()), colour);
}

void TestClrBtn::resolvesSystemColours() {
    QPalette palette;
    palette.setColor(QPalette::Button, QColor(1, 2, 3));
    palette.setColor(QPalette::ButtonText, QColor(4, 5, 6));
    palette.setColor(QPalette::HighlightedText, QColor(7, 8, 9));
    QCOMPARE(ResolveColor(SysColor::BtnFace, palette), QColor(1, 2, 3));
    QCOMPARE(ResolveColor(SysColor::BtnText, palette), QColor(4, 5, 6));
    QCOMPARE(ResolveColor(SysColor::HighlightText, palette), QColor(7, 8, 9));
}

void TestClrBtn::startsWithSystemColours() {
    TClrBtn button(QStringLiteral("OK"));
    QCOMPARE(button.backColor(), SysColor::BtnFace);
    QCOMPARE(button.foreColor(), SysColor::BtnText);
    QCOMPARE(button.hoverColor(), SysColor::BtnFace);
    QCOMPARE(button.property("BackColor").value<quint32>(), SysColor::BtnFace);
    QVERIFY(button.setProperty("HoverColor", quint32(0xFFFF00)));
    QCOMPARE(button.hoverColor(), quint32(0xFFFF00));
}

void TestClrBtn::hoverSwapsFace() {
    TClrBtn button(QStringLiteral("OK"));
    button.useKitColors();
    QCOMPARE(button.backColor(), quint32(0xE3FFFF));
    enter(button);
    QCOMPARE(button.backColor(), quint32(0xFFFF00));
    leave(button);
    QCOMPARE(button.backColor(), quint32(0xE3FFFF));
}

void TestClrBtn::hoverRestoresSavedFaceOverCode() {
    TClrBtn button(QStringLiteral("OK"));
    button.useKitColors();
    enter(button);
    button.setBackColor(0x0000FF);
    leave(button);
    QCOMPARE(button.backColor(), quint32(0xE3FFFF));
}

void TestClrBtn::strayLeaveKeepsFace() {
    TClrBtn button(QStringLiteral("OK"));
    button.setBackColor(0x00FF00);
    leave(button);
    QCOMPARE(button.backColor(), quint32(0x00FF00));
}

void TestClrBtn::paintsFaceInBackColor() {
    TClrBtn button;
    button.resize(60, 30);
    button.useKitColors();
    QCOMPARE(button.grab().toImage().pixelColor(30, 15), QColor(255, 255, 227));
    enter(button);
    QCOMPARE(button.grab().toImage().pixelColor(30, 15), QColor(0, 255, 255));
    // A hover colour equal to the face shows nothing different.
    leave(button);
    button.setHoverColor(button.backColor());
    enter(button);
    QCOMPARE(button.grab().toImage().pixelColor(30, 15), QColor(255, 255, 227));
}

void TestClrBtn::pressedCaptionMovesOnePixel() {
    TClrBtn button(QStringLiteral("Ja"));
    button.resize(111, 30);
    button.setBackColor(0xFFFFFF);
    button.setForeColor(0x0000FF);
    const QRect resting = boundsOf(button.grab().toImage(), Qt::red);
    QVERIFY(!resting.isEmpty());
    button.setDown(true);
    const QRect pressed = boundsOf(button.grab().toImage(), Qt::red);
    QCOMPARE(pressed, resting.translated(1, 1));
}

void TestClrBtn::disabledCaptionIgnoresForeColor() {
    TClrBtn button(QStringLiteral("Nee"));
    button.resize(110, 30);
    button.setBackColor(0xFFFFFF);
    button.setForeColor(0x0000FF);
    QVERIFY(!boundsOf(button.grab().toImage(), Qt::red).isEmpty());
    button.setEnabled(false);
    const QImage image = button.grab().toImage();
    QVERIFY(boundsOf(image, Qt::red).isEmpty());
    // The caption is still drawn, in the disabled text colour.
    QPalette disabled = button.palette();
    disabled.setCurrentColorGroup(QPalette::Disabled);
    QVERIFY(!boundsOf(image, disabled.color(QPalette::ButtonText)).isEmpty());
}

void TestClrBtn::defaultButtonHasDarkOutline_data() {
    QTest::addColumn<bool>("isDefault");
    QTest::addColumn<bool>("outlined");
    QTest::newRow("default") << true << true;
    QTest::newRow("not default") << false << false;
}

void TestClrBtn::defaultButtonHasDarkOutline() {
    QFETCH(bool, isDefault);
    QFETCH(bool, outlined);
    TClrBtn button(QStringLiteral("OK"));
    button.resize(104, 28);
    button.setDefault(isDefault);
    const QPalette palette = button.palette();
    const QRgb frame = ResolveColor(SysColor::WindowFrame, palette).rgb();
    const QImage image = button.grab().toImage();
    QCOMPARE(image.pixel(0, 0) == frame, outlined);
    QCOMPARE(image.pixel(50, 0) == frame, outlined);
    // Not focused: no focus rectangle four pixels in, whatever the default state.
    QCOMPARE(image.pixel(50, 4), ResolveColor(SysColor::BtnFace, palette).rgb());
}

QTEST_MAIN(TestClrBtn)
#include "tst_clrbtn.moc"
