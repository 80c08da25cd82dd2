// Opens every window of the program from the main window's buttons and menus
// under a real X server, photographs each one and closes it again through its
// own button.  Each window must be on screen, wholly inside the screen, and no
// caption of its buttons may be cut off.
#include "Main.h"
#include "TestKit.h"
#include "WidgetUi.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Help.h"
#include "kit/Store.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFontMetrics>
#include <QGuiApplication>
#include <QMenu>
#include <QPointer>
#include <QScreen>
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

QString screenshotFolder() {
    const QByteArray given = qgetenv("BROLT_SCREENSHOTS");
    return given.isEmpty() ? QStringLiteral(BROLT_SCREENSHOT_DIR) : QString::fromLocal8Bit(given);
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

// The caption as painted: a single '&' marks the mnemonic and takes no room.
QString paintedCaption(QString text) {
    text.replace(QLatin1String("&&"), QStringLiteral("\x01"));
    text.remove(u'&');
    text.replace(u'\x01', u'&');
    return text;
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
