// How the windows meet the desktop: screens, text size, language, keyboard and screen readers.
#include "TestKit.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Icons.h"
#include "kit/Store.h"

#include <QAccessible>
#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QLabel>
#include <QRadioButton>
#include <QScopeGuard>
#include <QScreen>
#include <QStyle>
#include <QTest>
#include <QTextEdit>
#include <QToolButton>

#include <memory>

class TestDesktop : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase() { m_home = std::make_unique<TempHome>(); }
    void cleanup() { QApplication::setFont(m_designFont); }

    void fitIntoArea_data();
    void fitIntoArea();
    void storedPlacementFitsTheScreen_data();
    void storedPlacementFitsTheScreen();
    void textGrowsWithTheDesktopFont_data();
    void textGrowsWithTheDesktopFont();
    void hintTitle_data();
    void hintTitle();
    void keyboardButton_data();
    void keyboardButton();
    void focusShowsOnAReadOnlyText_data();
    void focusShowsOnAReadOnlyText();
    void mnemonics_data();
    void mnemonics();
    void qtSpeaksDutch_data();
    void qtSpeaksDutch();
    void readerNamesAndRoles();
    void iconsSayWhatTheyDo_data();
    void iconsSayWhatTheyDo();

private:
    std::unique_ptr<TempHome> m_home;
    const QFont m_designFont = QApplication::font();
};

void TestDesktop::fitIntoArea_data() {
    QTest::addColumn<QRect>("wanted");
    QTest::addColumn<QRect>("area");
    QTest::addColumn<QSize>("minimum");
    QTest::addColumn<QRect>("fitted");
    const QRect screen(0, 0, 1600, 1000);
    QTest::newRow("inside stays") << QRect(100, 100, 965, 479) << screen << QSize()
                                  << QRect(100, 100, 965, 479);
    QTest::newRow("stored on a 4K screen")
        << QRect(100, 100, 3800, 2100) << screen << QSize() << QRect(0, 0, 1600, 1000);
    QTest::newRow("30000 high") << QRect(100, 100, 965, 30000) << screen << QSize()
                                << QRect(100, 0, 965, 1000);
    QTest::newRow("off to the right and below")
        << QRect(1500, 900, 800, 400) << screen << QSize() << QRect(800, 600, 800, 400);
    QTest::newRow("above and left of the screen: the title bar comes back")
        << QRect(-300, -50, 800, 400) << screen << QSize() << QRect(0, 0, 800, 400);
    QTest::newRow("taller than a 768 screen")
        << QRect(100, 100, 700, 800) << QRect(0, 0, 1366, 768) << QSize() << QRect(100, 0, 700, 768);
    QTest::newRow("second screen on the right")
        << QRect(3000, 200, 800, 600) << QRect(1920, 0, 1280, 1024) << QSize() << QRect(2400, 200, 800, 600);
    QTest::newRow("panel at the top")
        << QRect(10, 0, 800, 400) << QRect(0, 32, 1600, 968) << QSize() << QRect(10, 32, 800, 400);
    QTest::newRow("minimum wins over a tiny stored size")
        << QRect(10, 10, 20, 20) << screen << QSize(650, 400) << QRect(10, 10, 650, 400);
}

void TestDesktop::fitIntoArea() {
    QFETCH(QRect, wanted);
    QFETCH(QRect, area);
    QFETCH(QSize, minimum);
    QFETCH(QRect, fitted);
    QCOMPARE(FitIntoArea(wanted, area, minimum), fitted);
}

// A window given a stored place and size ends up wholly on the screen it
// opens on, and one that fits is left where it was.
void TestDesktop::storedPlacementFitsTheScreen_data() {
    QTest::addColumn<QPoint>("position");
    QTest::addColumn<QSize>("size");
    QTest::addColumn<bool>("untouched");
    QTest::newRow("fits") << QPoint(30, 40) << QSize(300, 200) << true;
    QTest::newRow("4K size") << QPoint(100, 100) << QSize(3800, 2100) << false;
    QTest::newRow("EditHeight=30000") << QPoint(100, 100) << QSize(965, 30000) << false;
    QTest::newRow("far away") << QPoint(5000, 4000) << QSize(300, 200) << false;
    QTest::newRow("negative") << QPoint(-500, -500) << QSize(300, 200) << false;
}

void TestDesktop::storedPlacementFitsTheScreen() {
    QFETCH(QPoint, position);
    QFETCH(QSize, size);
    QFETCH(bool, untouched);
    QVERIFY(PositionsAreOurs()); // not Wayland
    const QRect area = QGuiApplication::primaryScreen()->availableGeometry();
    QDialog window;
    PlaceFitted(&window, position, size);
    QVERIFY2(area.contains(window.geometry()), qPrintable(QStringLiteral("%1,%2 %3x%4")
                                                              .arg(window.x())
                                                              .arg(window.y())
                                                              .arg(window.width())
                                                              .arg(window.height())));
    QCOMPARE(window.geometry() == QRect(position, size), untouched);
    // Only the size, as for a window that is centred by its caller.
    QDialog sized;
    ResizeFitted(&sized, size);
    QVERIFY(sized.width() <= area.width() && sized.height() <= area.height());
}

void TestDesktop::textGrowsWithTheDesktopFont_data() {
    QTest::addColumn<int>("points");
    QTest::addColumn<int>("verdana13");     // KitFont's pixels for the design's 13
    QTest::addColumn<QRect>("scaledChild"); // a control placed at (10, 20, 100, 30)
    QTest::addColumn<QSize>("storedSize");  // PropsWidth/PropsHeight stored as 732 x 572
    QTest::newRow("small desktop font: as designed") << 9 << 13 << QRect(10, 20, 100, 30) << QSize(732, 572);
    QTest::newRow("the design's own size") << 11 << 13 << QRect(10, 20, 100, 30) << QSize(732, 572);
    QTest::newRow("16 points") << 16 << 19 << QRect(15, 29, 145, 44) << QSize(1065, 832);
    QTest::newRow("20 points") << 20 << 24 << QRect(18, 36, 182, 55) << QSize(1331, 1040);
}

void TestDesktop::textGrowsWithTheDesktopFont() {
    QFETCH(int, points);
    QFETCH(int, verdana13);
    QFETCH(QRect, scaledChild);
    QFETCH(QSize, storedSize);
    QFont font = m_designFont;
    font.setPointSize(points);
    QApplication::setFont(font);
    QCOMPARE(KitFont(QStringLiteral("Verdana"), 13).pixelSize(), verdana13);

    QWidget window;
    window.resize(400, 300);
    auto* label = new QLabel(QStringLiteral("Aantal dagen Achteraf"), &window);
    label->setGeometry(10, 20, 100, 30);
    ScaleFixedLayout(&window);
    QCOMPARE(label->geometry(), scaledChild);
    // A caption that the larger font would cut off gets the room it needs.
    label->setFont(KitFont(QStringLiteral("Verdana"), 13));
    FitCaptions(&window);
    if (points > 11)
        QVERIFY(label->width() >= label->sizeHint().width());

    Store::writeInteger(QLatin1String(Keys::PropsWidth.name), 732);
    Store::writeInteger(QLatin1String(Keys::PropsHeight.name), 572);
    QCOMPARE(StoredSize(Keys::PropsWidth, Keys::PropsHeight), storedSize);
}

void TestDesktop::hintTitle_data() {
    QTest::addColumn<QString>("hint");
    QTest::addColumn<QString>("title");
    QTest::newRow("two lines") << "Bewaar de wijzigingen\nRechter muisknop voor Help"
                               << "Bewaar de wijzigingen";
    QTest::newRow("with its shortcut") << "Bewaar de wijzigingen (Ctrl+S)\nRechter muisknop voor Help"
                                       << "Bewaar de wijzigingen";
    QTest::newRow("one line") << "Importeer contacten..."
                              << "Importeer contacten...";
    QTest::newRow("parentheses inside") << "Toon/print (lijst) nu"
                                        << "Toon/print (lijst) nu";
    QTest::newRow("empty") << ""
                           << "";
}

void TestDesktop::hintTitle() {
    QFETCH(QString, hint);
    QFETCH(QString, title);
    QCOMPARE(HintTitle(hint), title);
}

// A tool button someone at the keyboard can use: Tab reaches it, Space and
// Return press it, its shortcut presses it from anywhere in the window.
void TestDesktop::keyboardButton_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<int>("modifiers");
    QTest::addColumn<bool>("onButton"); // the key goes to the focused button, else to the window
    QTest::addColumn<int>("clicks");
    QTest::newRow("Space") << int(Qt::Key_Space) << int(Qt::NoModifier) << true << 1;
    QTest::newRow("Return") << int(Qt::Key_Return) << int(Qt::NoModifier) << true << 1;
    QTest::newRow("Enter") << int(Qt::Key_Enter) << int(Qt::KeypadModifier) << true << 1;
    QTest::newRow("its shortcut") << int(Qt::Key_S) << int(Qt::ControlModifier) << false << 1;
    QTest::newRow("another key") << int(Qt::Key_X) << int(Qt::NoModifier) << true << 0;
}

void TestDesktop::keyboardButton() {
    QFETCH(int, key);
    QFETCH(int, modifiers);
    QFETCH(bool, onButton);
    QFETCH(int, clicks);
    QWidget window;
    auto* field = new QLabel(QStringLiteral("tekst"), &window);
    field->setFocusPolicy(Qt::StrongFocus);
    auto* button = new QToolButton(&window);
    button->setObjectName(QStringLiteral("SpeedSave"));
    button->setToolTip(QStringLiteral("Bewaar de wijzigingen\nRechter muisknop voor Help"));
    button->move(0, 40);
    button->setAutoRaise(true); // flat, as in the program's tool bars
    MakeKeyboardButton(button, QKeySequence::Save);
    int clicked = 0;
    connect(button, &QToolButton::clicked, this, [&] { ++clicked; });
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    field->setFocus();
    QVERIFY(button->autoRaise());
    QTest::keyClick(field, Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), button);
    QVERIFY(!button->autoRaise()); // its raised face shows where the focus is
    if (!onButton)
        field->setFocus();
    // Through the window, as the keyboard's keys come, so that shortcuts are seen.
    QTest::keyClick(window.windowHandle(), Qt::Key(key), Qt::KeyboardModifiers(modifiers));
    // A shortcut presses the button visibly, which takes a moment.
    QTRY_COMPARE(clicked, clicks);
    QCOMPARE(button->toolTip(), QStringLiteral("Bewaar de wijzigingen (Ctrl+S)\nRechter muisknop voor Help"));
    QCOMPARE(button->accessibleName(), QStringLiteral("Bewaar de wijzigingen"));
}

// The reminder text is read-only: no caret shows where the focus is, so its frame does.
void TestDesktop::focusShowsOnAReadOnlyText_data() {
    QTest::addColumn<bool>("focused");
    QTest::addColumn<int>("lineWidth");
    QTest::newRow("focused") << true << 2;
    QTest::newRow("focus gone again") << false << 1;
}

void TestDesktop::focusShowsOnAReadOnlyText() {
    QFETCH(bool, focused);
    QFETCH(int, lineWidth);
    QWidget window;
    auto* before = new QLabel(QStringLiteral("Uitleg"), &window);
    before->setFocusPolicy(Qt::StrongFocus);
    auto* text = new QTextEdit(&window);
    text->setReadOnly(true);
    text->move(0, 40);
    const QFrame::Shape shape = text->frameShape();
    ShowFocusFrame(text);
    window.show();
    QApplication::setActiveWindow(&window);
    QVERIFY(QTest::qWaitForWindowActive(&window));
    before->setFocus();
    QTest::keyClick(window.windowHandle(), Qt::Key_Tab);
    QCOMPARE(QApplication::focusWidget(), text);
    if (!focused)
        QTest::keyClick(window.windowHandle(), Qt::Key_Backtab);
    QCOMPARE(text->lineWidth(), lineWidth);
    QCOMPARE(text->frameShape(), focused ? QFrame::Box : shape);
}

void TestDesktop::mnemonics_data() {
    QTest::addColumn<QStringList>("captions"); // a check box first, then push buttons
    QTest::addColumn<QStringList>("marked");
    QTest::newRow("first letters") << QStringList{"Log Aan", "OK", "Annuleren"}
                                   << QStringList{"&Log Aan", "&OK", "&Annuleren"};
    QTest::newRow("buttons choose first")
        << QStringList{"Aan", "OK", "Annuleren"} << QStringList{"Aa&n", "&OK", "&Annuleren"};
    QTest::newRow("next word, then any letter") << QStringList{"Bladeren", "Bestanden", "Bladeren"}
                                                << QStringList{"Bl&aderen", "&Bestanden", "B&laderen"};
    QTest::newRow("a mark of its own is kept")
        << QStringList{"&Toon", "Timer", "Tijd"} << QStringList{"&Toon", "T&imer", "Ti&jd"};
    QTest::newRow("no letter left") << QStringList{"ab", "a", "b"} << QStringList{"ab", "&a", "&b"};
}

void TestDesktop::mnemonics() {
    QFETCH(QStringList, captions);
    QFETCH(QStringList, marked);
    QDialog dialog;
    auto* check = new QCheckBox(captions[0], &dialog);
    auto* first = new TClrBtn(captions[1], &dialog);
    auto* second = new TClrBtn(captions[2], &dialog);
    AddMnemonics(&dialog);
    QCOMPARE((QStringList{check->text(), first->text(), second->text()}), marked);
}

void TestDesktop::qtSpeaksDutch_data() {
    QTest::addColumn<QString>("context");
    QTest::addColumn<QString>("english");
    QTest::addColumn<QString>("dutch");
    QTest::newRow("text menu: copy") << "QWidgetTextControl"
                                     << "&Copy"
                                     << "&Kopiëren";
    QTest::newRow("text menu: select all") << "QWidgetTextControl"
                                           << "Select All"
                                           << "Alles selecteren";
    QTest::newRow("grid cell: undo") << "QLineEdit"
                                     << "&Undo"
                                     << "&Ongedaan maken";
    QTest::newRow("print dialog") << "QPrintDialog"
                                  << "Print"
                                  << "Afdrukken";
    QTest::newRow("file dialog") << "QFileDialog"
                                 << "Look in:"
                                 << "Zoeken in:";
    QTest::newRow("dialog buttons") << "QPlatformTheme"
                                    << "Cancel"
                                    << "Annuleren";
}

void TestDesktop::qtSpeaksDutch() {
    QFETCH(QString, context);
    QFETCH(QString, english);
    QFETCH(QString, dutch);
    static const bool loaded = LoadDutchTranslations(QCoreApplication::instance());
    QVERIFY2(loaded, "Qt's Dutch translations are missing (qt6-translations-l10n)");
    QCOMPARE(QCoreApplication::translate(context.toLatin1().constData(), english.toUtf8().constData()),
             dutch);
}

void TestDesktop::readerNamesAndRoles() {
    QWidget window;
    GiveWindowRole(&window);
    auto* field = new QLabel(&window);
    NameControl(field, QStringLiteral("Aantal dagen &Vooraf"));
    QCOMPARE(field->accessibleName(), QStringLiteral("Aantal dagen Vooraf"));
    QAccessibleInterface* reader = QAccessible::queryAccessibleInterface(&window);
    QVERIFY(reader);
    QCOMPARE(reader->role(), QAccessible::Window);
    QWidget plain;
    QCOMPARE(QAccessible::queryAccessibleInterface(&plain)->role(), QAccessible::Client);
}

// The address book and the calendar of the edit window: the desktop theme's
// icons where it has them, else drawn ones, never the folder or the floppy.
void TestDesktop::iconsSayWhatTheyDo_data() {
    QTest::addColumn<QString>("theme");
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("drawn");
    QTest::addColumn<int>("lookalike"); // the standard icon it must not be
    QTest::newRow("address book, bare desktop")
        << "geen-thema"
        << "x-office-address-book" << true << int(QStyle::SP_DialogOpenButton);
    QTest::newRow("calendar, bare desktop")
        << "geen-thema"
        << "x-office-calendar" << true << int(QStyle::SP_DialogSaveButton);
    QTest::newRow("address book, Adwaita")
        << "Adwaita"
        << "x-office-address-book" << false << int(QStyle::SP_DialogOpenButton);
    QTest::newRow("calendar, Adwaita") << "Adwaita"
                                       << "x-office-calendar" << false << int(QStyle::SP_DialogSaveButton);
}

void TestDesktop::iconsSayWhatTheyDo() {
    QFETCH(QString, theme);
    QFETCH(QString, name);
    QFETCH(bool, drawn);
    QFETCH(int, lookalike);
    const QString before = QIcon::themeName();
    const QStringList paths = QIcon::themeSearchPaths();
    // Where a desktop's platform theme looks; the offscreen one looks nowhere.
    QIcon::setThemeSearchPaths(paths + QStringList{QStringLiteral("/usr/share/icons")});
    QIcon::setThemeName(theme);
    const auto restore = qScopeGuard([&] {
        QIcon::setThemeName(before);
        QIcon::setThemeSearchPaths(paths);
    });
    if (!drawn && !QIcon::hasThemeIcon(name))
        QSKIP("the Adwaita icon theme is not installed");
    const QIcon fallback = name.contains(QLatin1String("address")) ? AddressBookIcon() : CalendarIcon();
    const QIcon icon = ThemeIcon(name.toLatin1().constData(), fallback);
    const QImage shown = icon.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32);
    QCOMPARE(shown == fallback.pixmap(24, 24).toImage().convertToFormat(QImage::Format_ARGB32), drawn);
    const QImage standard = QApplication::style()
                                ->standardIcon(QStyle::StandardPixmap(lookalike))
                                .pixmap(24, 24)
                                .toImage()
                                .convertToFormat(QImage::Format_ARGB32);
    QVERIFY(shown != standard);
    // Something is drawn: at least a third of the square.
    int covered = 0;
    for (int y = 0; y < shown.height(); ++y)
        for (int x = 0; x < shown.width(); ++x)
            covered += qAlpha(shown.pixel(x, y)) > 128;
    QVERIFY2(covered * 3 >= shown.width() * shown.height(), qPrintable(QString::number(covered)));
}

QTEST_MAIN(TestDesktop)
#include "tst_desktop.moc"
