// Opens every window of the program from the main window's buttons and menus
// under a real X server, photographs each one and closes it again through its
// own button.  Each window must be on screen, wholly inside the screen, and no
// caption of its buttons may be cut off.  BROLT_WALK picks a pass:
//   (unset)  the desktop's own palette and font; Tab must reach every tool button;
//   dark     a dark palette: every text must have a contrast of 4.5:1 or more;
//   large    a 16-point desktop font: no caption, label or header may be cut off.
#include "Main.h"
#include "TestKit.h"
#include "TextContrast.h"
#include "WidgetUi.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Help.h"
#include "kit/Store.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGroupBox>
#include <QGuiApplication>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPointer>
#include <QRadioButton>
#include <QScreen>
#include <QStyleFactory>
#include <QTableView>
#include <QTest>
#include <QTimer>
#include <QToolButton>
#include <QWindow>

#include <memory>

namespace {
// Room a caption needs besides its text: the face's border and a little air.
constexpr int captionPadding = 6;
// How long a window is left on screen before it is photographed, so that it
// has painted itself.
constexpr int settleMs = 150;

// The caption as painted: a single '&' marks the mnemonic and takes no room.
QString paintedCaption(QString text) {
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
}

enum class Pass { Plain, Dark, Large };

Pass walkPass() {
    const QByteArray pass = qgetenv("BROLT_WALK");
    return pass == "dark" ? Pass::Dark : pass == "large" ? Pass::Large : Pass::Plain;
}

QString screenshotFolder() {
    const QByteArray given = qgetenv("BROLT_SCREENSHOTS");
    const QString folder =
        given.isEmpty() ? QStringLiteral(BROLT_SCREENSHOT_DIR) : QString::fromLocal8Bit(given);
    switch (walkPass()) {
    case Pass::Dark:
        return folder + QStringLiteral("/dark");
    case Pass::Large:
        return folder + QStringLiteral("/16pt");
    default:
        return folder;
    }
}

// A dark desktop palette as KDE's Breeze Dark and qt6ct's dark schemes give it.
QPalette darkPalette() {
    QPalette p;
    const QColor window(0x31, 0x36, 0x3b), text(0xef, 0xf0, 0xf1), base(0x23, 0x26, 0x29);
    for (const auto group : {QPalette::Active, QPalette::Inactive}) {
        p.setColor(group, QPalette::Window, window);
        p.setColor(group, QPalette::WindowText, text);
        p.setColor(group, QPalette::Base, base);
        p.setColor(group, QPalette::AlternateBase, window);
        p.setColor(group, QPalette::Text, text);
        p.setColor(group, QPalette::Button, window);
        p.setColor(group, QPalette::ButtonText, text);
        p.setColor(group, QPalette::BrightText, Qt::white);
        p.setColor(group, QPalette::Highlight, QColor(0x3d, 0xae, 0xe9));
        p.setColor(group, QPalette::HighlightedText, text);
        p.setColor(group, QPalette::ToolTipBase, window);
        p.setColor(group, QPalette::ToolTipText, text);
        p.setColor(group, QPalette::Light, QColor(0x46, 0x4b, 0x50));
        p.setColor(group, QPalette::Midlight, QColor(0x3b, 0x40, 0x45));
        p.setColor(group, QPalette::Mid, QColor(0x2a, 0x2e, 0x32));
        p.setColor(group, QPalette::Dark, QColor(0x1e, 0x21, 0x24));
        p.setColor(group, QPalette::Shadow, Qt::black);
        p.setColor(group, QPalette::Link, QColor(0x1d, 0x99, 0xf3));
        p.setColor(group, QPalette::PlaceholderText, QColor(0x9a, 0x9c, 0x9e));
    }
    p.setColor(QPalette::Disabled, QPalette::Window, window);
    p.setColor(QPalette::Disabled, QPalette::Base, base);
    p.setColor(QPalette::Disabled, QPalette::Button, window);
    for (const auto role : {QPalette::WindowText, QPalette::Text, QPalette::ButtonText})
        p.setColor(QPalette::Disabled, role, QColor(0x6e, 0x71, 0x75));
    return p;
}

// Texts of `window` below the readable contrast, under a dark palette.
// How many texts the dark pass measured, and the lowest contrast among them.
struct Measured {
    int count = 0;
    double lowest = 21;
    QString where;
};
Measured& measured() {
    static Measured m;
    return m;
}

QStringList contrastFaults(QWidget* window) {
    QStringList faults;
    for (const MeasuredText& text : MeasureTextContrast(window)) {
        ++measured().count;
        if (text.ratio < measured().lowest)
            measured() = {measured().count, text.ratio, text.where};
        if (text.ratio < ReadableContrast)
            faults << QStringLiteral("%1 has a contrast of %2:1").arg(text.where).arg(text.ratio, 0, 'f', 2);
    }
    return faults;
}

// Captions that a larger font cuts off: labels, check boxes, radio buttons,
// group titles and the edit grid's header, and controls that stick out of
// the panel that holds them.
QStringList clippedCaptions(QWidget* window) {
    QStringList faults;
    const QString name = QString::fromLatin1(window->metaObject()->className());
    auto fault = [&](const QWidget* w, const QString& text, int needed, int has) {
        faults << QStringLiteral("%1: \"%2\" of %3 needs %4 pixels, has %5")
                      .arg(name, text, w->objectName())
                      .arg(needed)
                      .arg(has);
    };
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (!w->isVisibleTo(window) || w->isWindow() || w->objectName().startsWith(QLatin1String("qt_")))
            continue;
        const QWidget* parent = w->parentWidget();
        const bool byHand = parent && !parent->layout() &&
                            !qobject_cast<const QAbstractScrollArea*>(parent) &&
                            !qobject_cast<const QAbstractSpinBox*>(parent);
        if (auto* label = qobject_cast<QLabel*>(w)) {
            // A label wider than its panel shows the part inside the panel.
            const int shown = byHand ? QRect(QPoint(), parent->size()).intersected(label->geometry()).width()
                                     : label->width();
            if (!label->wordWrap() && !label->text().trimmed().isEmpty() && label->sizeHint().width() > shown)
                fault(label, label->text(), label->sizeHint().width(), shown);
            continue;
        } else if (qobject_cast<QCheckBox*>(w) || qobject_cast<QRadioButton*>(w)) {
            auto* button = static_cast<QAbstractButton*>(w);
            if (button->sizeHint().width() > button->width())
                fault(button, paintedCaption(button->text()), button->sizeHint().width(), button->width());
        } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
            const int needed = QFontMetrics(box->font()).horizontalAdvance(box->title()) + 16;
            if (needed > box->width())
                fault(box, box->title(), needed, box->width());
        } else if (auto* table = qobject_cast<QTableView*>(w)) {
            const QHeaderView* header = table->horizontalHeader();
            const QFontMetrics metrics(header->font());
            for (int section = 0; section < 5 && section < header->count(); ++section) {
                const QString text = table->model()->headerData(section, Qt::Horizontal).toString();
                const int needed = metrics.horizontalAdvance(text) + 8;
                if (needed > header->sectionSize(section))
                    fault(header, text, needed, header->sectionSize(section));
            }
        }
        if (byHand &&
            (w->x() + w->width() > parent->width() + 1 || w->y() + w->height() > parent->height() + 1) &&
            (qobject_cast<QAbstractButton*>(w) || qobject_cast<QLabel*>(w)) &&
            !qobject_cast<const QAbstractButton*>(parent))
            faults << QStringLiteral("%1: %2 (%3,%4 %5x%6) sticks out of %7 (%8x%9)")
                          .arg(name, w->objectName())
                          .arg(w->x())
                          .arg(w->y())
                          .arg(w->width())
                          .arg(w->height())
                          .arg(parent->objectName())
                          .arg(parent->width())
                          .arg(parent->height());
    }
    return faults;
}

// One window on the way: the class expected on top, and the button (or
// action) of it that is pressed once it has been checked.
struct Step {
    QString windowClass;
    QString press;
};

// "TEditForm:YearCalendar,TShowListsForm:CloseBtn,TEditForm:BtnCancel"
QList<Step> parseSteps(const QString& text) {
    QList<Step> steps;
    for (const QString& part : text.split(u',', Qt::SkipEmptyParts)) {
        const QStringList pair = part.split(u':');
        steps.append({pair.value(0), pair.value(1)});
    }
    return steps;
}

// Everything wrong with `window` as it stands on screen.
QStringList windowFaults(QWidget* window) {
    QStringList faults;
    const QString name = QString::fromLatin1(window->metaObject()->className());
    if (!window->isVisible())
        faults << name + QStringLiteral(" is not visible");
    QScreen* screen = window->screen() ? window->screen() : QGuiApplication::primaryScreen();
    const QRect area = screen->geometry();
    const QRect frame = window->frameGeometry();
    if (!area.contains(frame))
        faults << QStringLiteral("%1 frame (%2,%3 %4x%5) not inside the screen (%6x%7)")
                      .arg(name)
                      .arg(frame.x())
                      .arg(frame.y())
                      .arg(frame.width())
                      .arg(frame.height())
                      .arg(area.width())
                      .arg(area.height());
    for (TClrBtn* button : window->findChildren<TClrBtn*>()) {
        if (!button->isVisibleTo(window))
            continue;
        const QString caption = paintedCaption(button->text());
        const int needed = QFontMetrics(button->font()).horizontalAdvance(caption);
        if (needed > button->width() - captionPadding)
            faults << QStringLiteral("%1: caption \"%2\" of %3 needs %4 pixels, the button is %5 wide")
                          .arg(name, caption, button->objectName())
                          .arg(needed)
                          .arg(button->width());
    }
    if (walkPass() == Pass::Dark)
        faults << contrastFaults(window);
    if (walkPass() == Pass::Large)
        faults << clippedCaptions(window);
    return faults;
}

// The window the next step expects: the modal window on top when there is
// one, else any visible top-level window of the class.
QWidget* windowOfClass(const QString& windowClass) {
    if (QWidget* modal = QApplication::activeModalWidget())
        return modal->metaObject()->className() == windowClass ? modal : nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (top->isVisible() && top->metaObject()->className() == windowClass)
            return top;
    return nullptr;
}

// Walks the steps from the event loop, since most windows run their own
// (modal) loop while they are open.
class Walker : public QObject {
public:
    explicit Walker(QList<Step> steps) : m_steps(std::move(steps)) {
        connect(&m_timer, &QTimer::timeout, this, &Walker::tick);
        m_timer.start(30);
    }

    bool done() const { return m_next >= m_steps.size(); }
    int next() const { return m_next; }
    QStringList faults;
    QStringList screenshots;

private:
    void tick() {
        if (done())
            return;
        const Step& step = m_steps[m_next];
        QWidget* window = windowOfClass(step.windowClass);
        QWindow* handle = window ? window->windowHandle() : nullptr;
        if (!handle || !handle->isExposed() || window != m_seen) {
            m_seen = handle && handle->isExposed() ? window : nullptr;
            m_settle.start();
            return;
        }
        if (m_settle.elapsed() < settleMs)
            return;
        m_seen = nullptr;
        ++m_next;
        faults << windowFaults(window);
        photograph(step.windowClass);
        press(window, step.press);
    }

    void photograph(const QString& name) {
        const QString file = screenshotFolder() + u'/' + name + QStringLiteral(".png");
        if (screenshots.contains(file))
            return;
        const QPixmap shot = QGuiApplication::primaryScreen()->grabWindow(0);
        if (shot.isNull() || !shot.save(file))
            faults << QStringLiteral("no screenshot saved in ") + file;
        else
            screenshots << file;
    }

    // The press happens after this tick has returned: it may open a modal window.
    void press(QWidget* window, const QString& name) {
        if (name.isEmpty())
            return;
        if (auto* button = window->findChild<QAbstractButton*>(name)) {
            QPointer<QAbstractButton> target(button);
            QTimer::singleShot(0, this, [target] {
                if (target)
                    QTest::mouseClick(target, Qt::LeftButton);
            });
            return;
        }
        if (auto* action = window->findChild<QAction*>(name)) {
            QPointer<QAction> target(action);
            QTimer::singleShot(0, this, [target] {
                if (target)
                    target->trigger();
            });
            return;
        }
        faults << QStringLiteral("%1 has no button %2").arg(window->metaObject()->className(), name);
        window->close();
    }

    QList<Step> m_steps;
    int m_next = 0;
    QTimer m_timer;
    QElapsedTimer m_settle;
    QPointer<QWidget> m_seen;
};
} // namespace

class TestWalk : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<WidgetUi> m_ui;
    std::unique_ptr<TMainForm> m_form;

    // The classes of the visible windows other than the main window and its menus.
    QStringList otherWindowsOpen() const {
        QStringList open;
        for (QWidget* top : QApplication::topLevelWidgets())
            if (top->isVisible() && top != m_form.get() && !qobject_cast<QMenu*>(top))
                open << QString::fromLatin1(top->metaObject()->className());
        return open;
    }

    // Presses `name` on the main window: a tool button, the check box or a menu action.
    void pressOnMain(const QString& name) {
        if (auto* button = m_form->findChild<QAbstractButton*>(name)) {
            QTest::mouseClick(button, Qt::LeftButton);
            return;
        }
        auto* action = m_form->findChild<QAction*>(name);
        QVERIFY2(action, qPrintable(name));
        action->trigger();
    }

private Q_SLOTS:
    void initTestCase() {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("needs a real X server (run under xvfb-run with QT_QPA_PLATFORM=xcb)");
        // The update check asks a port on this machine where nobody listens.
        qputenv("BROLT_UPDATE_URL", "http://127.0.0.1:9/");
        m_home = std::make_unique<TempHome>();
        QVERIFY(QDir().mkpath(screenshotFolder()));
        SetHelpMessageHandler([](const QString&) {});
        Clock::set(Noon(2024, 5, 14));
        Store::writeText(Keys::TimerAan.name, QStringLiteral("0"));
        Store::writeText(Keys::UpdatesCheck.name, QStringLiteral("0"));
        Store::writeText(Keys::Top.name, QStringLiteral("100"));
        Store::writeText(Keys::Left.name, QStringLiteral("100"));
        Store::writeText(Keys::Height.name, QStringLiteral("430"));
        Store::writeText(Keys::Width.name, QStringLiteral("1000"));
        if (walkPass() == Pass::Dark) {
            QApplication::setStyle(QStyleFactory::create(QStringLiteral("Fusion")));
            QApplication::setPalette(darkPalette());
            // A past, a today's and a coming reminder: every reminder colour is measured.
            WriteFileForTest(m_home->dataFolder() + QStringLiteral("Brolt.dat"),
                             "1960-05-12;Anna de Vries;Geboorte;anna.jpg;;;;;;\r\n"
                             "1995-05-14;Mark en Ilse;Huwelijk;;;;;;;\r\n"
                             "1972-05-30;Mark Visser;Geboorte;;;;;;;\r\n");
        } else if (walkPass() == Pass::Large) {
            QApplication::setFont(QFont(QStringLiteral("DejaVu Sans"), 16));
        }

        m_ui = std::make_unique<WidgetUi>();
        Ui::install(m_ui.get());
        // The sample data comes from the program folder, as on a first start.
        m_form = std::make_unique<TMainForm>(QStringList{QStringLiteral("Brolt")});
        m_form->setProgramFile(QStringLiteral("Brolt"));
        m_ui->setMainWindow(m_form.get());
        m_form->show();
        QTRY_VERIFY(m_form->painted());
        QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        QVERIFY2(m_form->records().rowCount() > 1, "the sample data was not read");

        Walker walker({{QStringLiteral("TMainForm"), QString()}});
        QTRY_VERIFY(walker.done());
        QVERIFY2(walker.faults.isEmpty(), qPrintable(walker.faults.join(u'\n')));
    }

    void cleanupTestCase() {
        if (walkPass() == Pass::Dark)
            qInfo("%d texts measured, the lowest contrast %.2f:1 (%s)", measured().count, measured().lowest,
                  qPrintable(measured().where));
        if (m_form) {
            m_form->dataFile().unsavedChanges = false;
            m_ui->setMainWindow(nullptr);
            m_form.reset();
        }
        CloseHelp();
        Ui::install(nullptr);
        m_ui.reset();
        Clock::set(QDateTime());
    }

    void cleanup() {
        for (QMenu* menu : m_form->findChildren<QMenu*>())
            menu->close();
    }

    // Tab from the window's first control: every enabled tool button of its
    // tool bar takes the focus on the way.
    void tabReachesEveryToolButton_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<QString>("windowClass");
        QTest::addColumn<QStringList>("buttons");
        QTest::newRow("main window") << QString() << "TMainForm"
                                     << QStringList{"SpeedOpen",   "SpeedEdit", "SpeedOptions", "SpeedBackup",
                                                    "SpeedUpdate", "SpeedInfo", "SpeedEinde"};
        QTest::newRow("edit window") << "SpeedEdit"
                                     << "TEditForm"
                                     << QStringList{"SpeedAdd",    "SpeedDelete", "SpeedLists", "SpeedImport",
                                                    "SpeedExport", "BtnOK",       "BtnCancel"};
    }
    void tabReachesEveryToolButton() {
        QFETCH(QString, trigger);
        QFETCH(QString, windowClass);
        QFETCH(QStringList, buttons);
        auto* check = m_form->findChild<QCheckBox*>(QStringLiteral("CheckUitgebreid"));
        if (check->isChecked())
            QTest::mouseClick(check, Qt::LeftButton);
        QStringList reached;
        bool done = false;
        // Inside a modal window the walk runs from that window's own loop.
        auto walk = [&] {
            QWidget* window = windowOfClass(windowClass);
            if (!window)
                return false;
            QApplication::setActiveWindow(window);
            QWidget* first = window;
            do
                first = first->nextInFocusChain();
            while (first != window && !(first->isVisibleTo(window) && first->isEnabled() &&
                                        (first->focusPolicy() & Qt::TabFocus)));
            first->setFocus(Qt::TabFocusReason);
            for (int i = 0; i < 40; ++i) {
                QWidget* focus = QApplication::focusWidget();
                if (!focus)
                    break;
                reached << focus->objectName();
                QTest::keyClick(focus, Qt::Key_Tab);
            }
            if (windowClass != QLatin1String("TMainForm"))
                window->findChild<QAbstractButton*>(QStringLiteral("BtnCancel"))->click();
            done = true;
            return true;
        };
        if (trigger.isEmpty()) {
            QVERIFY(walk());
        } else {
            QTimer poll;
            connect(&poll, &QTimer::timeout, this, [&] {
                if (!done && walk())
                    poll.stop();
            });
            poll.start(50);
            pressOnMain(trigger);
            QTRY_VERIFY(done);
        }
        for (const QString& button : buttons)
            QVERIFY2(reached.contains(button),
                     qPrintable(button + QStringLiteral(" not reached: ") + reached.join(u' ')));
        QTRY_VERIFY(!QApplication::activeModalWidget());
    }

    void everyWindow_data() {
        QTest::addColumn<QString>("trigger");
        QTest::addColumn<bool>("extended");
        QTest::addColumn<QString>("steps");
        QTest::newRow("edit, year calendar")
            << "SpeedEdit" << false << "TEditForm:YearCalendar,TShowListsForm:CloseBtn,TEditForm:BtnCancel";
        QTest::newRow("properties, calendar")
            << "SpeedEdit" << true
            << "TPropertiesForm:BtnKalender,TCalendarDlg:BtnCancel,TPropertiesForm:BtnCancel";
        QTest::newRow("open other file") << "SpeedOpen" << false << "TBrowseForm:BtnCancel";
        QTest::newRow("options") << "SpeedOptions" << false << "TOptionsForm:BtnCancel";
        QTest::newRow("update check") << "SpeedUpdate" << false << "TVersionsForm:BtnExit";
        QTest::newRow("explanation") << "BtnUitleg" << false << "TFormUitleg:BtnClose";
        QTest::newRow("about") << "OverBrolt1" << false << "TAboutForm:BtnOK";
        QTest::newRow("log") << "ToonLog1" << false << "TToonLogForm:BtnOK";
        // Cancelling a backup says so in a timed note.
        QTest::newRow("make backup") << "MaakBackup1" << false
                                     << "TBrowseForm:BtnOk,TSchrijfBackupForm:BtnCancel,TMessageForm:";
        QTest::newRow("read backup") << "LeesBackup1" << false
                                     << "TBrowseForm:BtnOk,TLeesBackupForm:BtnCancel,TMessageForm:";
        // Help has no button of its own to close it, only the window's close box.
        QTest::newRow("help") << "Hulp1" << false << "THelpForm:";
        // Leaving with unsaved changes asks first; Annuleren keeps the program.
        QTest::newRow("quit question") << "SpeedEinde" << false << "TYesNoDlg:BtnCancel";
    }
    void everyWindow() {
        QFETCH(QString, trigger);
        QFETCH(bool, extended);
        QFETCH(QString, steps);
        auto* check = m_form->findChild<QCheckBox*>(QStringLiteral("CheckUitgebreid"));
        if (check->isChecked() != extended)
            QTest::mouseClick(check, Qt::LeftButton);
        QCOMPARE(check->isChecked(), extended);
        const bool quitting = trigger == QLatin1String("SpeedEinde");
        if (quitting) {
            m_form->dataFile().unsavedChanges = true;
            m_form->FormResize();
        }

        const QList<Step> walk = parseSteps(steps);
        Walker walker(walk);
        pressOnMain(trigger);
        QTRY_VERIFY2_WITH_TIMEOUT(
            walker.done(),
            qPrintable(QStringLiteral("stuck before %1").arg(walk.value(walker.next()).windowClass)), 10000);
        // A window without a button of its own: the timed note closes itself
        // (after ten seconds, too long to wait for), help has only its close box.
        if (walk.last().press.isEmpty()) {
            if (walk.last().windowClass == QLatin1String("TMessageForm"))
                m_ui->closeTimedMessage();
            else
                windowOfClass(walk.last().windowClass)->close();
        }
        QVERIFY2(walker.faults.isEmpty(), qPrintable(walker.faults.join(u'\n')));
        // Every window is closed again and the main window is back on top.
        QTRY_VERIFY(!QApplication::activeModalWidget());
        QTRY_VERIFY2(otherWindowsOpen().isEmpty(), qPrintable(otherWindowsOpen().join(u' ')));
        QVERIFY(m_form->isVisible());
        if (quitting) {
            QVERIFY(m_form->dataFile().unsavedChanges);
            m_form->dataFile().unsavedChanges = false;
        }
    }
};

QTEST_MAIN(TestWalk)
#include "walk_windows.moc"
