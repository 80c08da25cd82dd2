#include "TestKit.h"
#include "editing/Datum.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "records/Dates.h"

#include <QApplication>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>

namespace {
// Runs `action` once the modal dialog is up.
void whenShown(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

QString panel(TCalendarDlg& dlg, const char* name) {
    QLabel* label = dlg.findChild<QLabel*>(QLatin1String(name));
    return label ? label->text() : QStringLiteral("<missing %1>").arg(QLatin1String(name));
}

void click(TCalendarDlg& dlg, const char* name) {
    TClrBtn* button = dlg.findChild<TClrBtn*>(QLatin1String(name));
    QVERIFY(button);
    QTest::mouseClick(button, Qt::LeftButton);
}

void clickSpin(TCalendarDlg& dlg, const char* spin, bool up) {
    TSpinButton* s = dlg.findChild<TSpinButton*>(QLatin1String(spin));
    QVERIFY(s);
    QTest::mouseClick(up ? s->upButton() : s->downButton(), Qt::LeftButton);
}
} // namespace

class TestCalendar : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void startsAtTodayAtNoon();
    void showsTheStartDate();
    void quarterOfTheMonth_data();
    void quarterOfTheMonth();
    void monthAndYearSteps_data();
    void monthAndYearSteps();
    void clickingADayPicksIt();
    void clickingAnEmptyCellPicksNothing();
    void buttonsSetTheOutcome_data();
    void buttonsSetTheOutcome();
    void vandaagPicksTodayAndTheTime();
    void titleAndFocusFollowPickDate();
    void keepsItsDateBetweenShowings();
    void typedTimeAboveTheMaximumIsTheMaximum();
    void keyboardTurnsPagesAndConfirms_data();
    void keyboardTurnsPagesAndConfirms();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestCalendar::initTestCase() {
    m_home = std::make_unique<TempHome>();
}

void TestCalendar::init() {
    Clock::set(QDateTime(QDate(2025, 5, 12), QTime(9, 41, 7)));
    SetShortDateFormat(QStringLiteral("dd-mm-yyyy"));
}

void TestCalendar::startsAtTodayAtNoon() {
    TCalendarDlg dlg;
    QCOMPARE(dlg.pickedDate(), QDate(2025, 5, 12));
    QCOMPARE(dlg.timeOfDay(), QTime(12, 0, 0));
    QCOMPARE(panel(dlg, "DatumPanel"), QString("12-05-2025"));
    QCOMPARE(dlg.PickedDateText(), QString("12-05-2025"));
}

void TestCalendar::showsTheStartDate() {
    TCalendarDlg dlg;
    dlg.SetStartDate(QDateTime(QDate(1960, 3, 15), QTime(0, 0)));
    QCOMPARE(panel(dlg, "JaarPanel"), QString("1960"));
    QCOMPARE(panel(dlg, "KwartaalPanel"), QString("1"));
    QCOMPARE(panel(dlg, "MaandPanel"), QLocale().monthName(3, QLocale::LongFormat));
    QCOMPARE(panel(dlg, "WeekPanel"), QString("11"));
    QCOMPARE(panel(dlg, "DatumPanel"), QString("15-03-1960"));
    QCOMPARE(dlg.timeOfDay(), QTime(0, 0, 0));
    QCOMPARE(panel(dlg, "MaandLabel"), QString("Maand"));
    QCOMPARE(panel(dlg, "JaarLabel"), QString("Jaar"));
    QCOMPARE(panel(dlg, "WeekLabel"), QString("Week"));
    QCOMPARE(panel(dlg, "KwartaalLabel"), QString("Kwartaal"));
    QCOMPARE(panel(dlg, "LabelTime"), QString("Tijd"));
}

void TestCalendar::quarterOfTheMonth_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("quarter");
    QTest::newRow("1 October") << QDate(2024, 10, 1) << "4";
    QTest::newRow("31 October") << QDate(2024, 10, 31) << "4";
    QTest::newRow("1 March") << QDate(2024, 3, 1) << "1";
    QTest::newRow("31 March") << QDate(2024, 3, 31) << "1";
    QTest::newRow("1 April") << QDate(2024, 4, 1) << "2";
}

void TestCalendar::quarterOfTheMonth() {
    QFETCH(QDate, date);
    QFETCH(QString, quarter);
    TCalendarDlg dlg;
    dlg.SetStartDate(QDateTime(date, QTime(0, 0)));
    QCOMPARE(panel(dlg, "KwartaalPanel"), quarter);
}

void TestCalendar::monthAndYearSteps_data() {
    QTest::addColumn<QDate>("start");
    QTest::addColumn<QString>("spin");
    QTest::addColumn<bool>("up");
    QTest::addColumn<QString>("shown");
    QTest::newRow("29 Feb 2024, year up") << QDate(2024, 2, 29) << "JaarSpin" << true << "28-02-2025";
    QTest::newRow("29 Feb 2024, year down") << QDate(2024, 2, 29) << "JaarSpin" << false << "28-02-2023";
    QTest::newRow("31 Jan 2024, month up") << QDate(2024, 1, 31) << "MaandSpin" << true << "29-02-2024";
    QTest::newRow("31 Jan 2025, month up") << QDate(2025, 1, 31) << "MaandSpin" << true << "28-02-2025";
    QTest::newRow("31 Mar 2024, month down") << QDate(2024, 3, 31) << "MaandSpin" << false << "29-02-2024";
    QTest::newRow("15 Jan, month down") << QDate(2025, 1, 15) << "MaandSpin" << false << "15-12-2024";
}

void TestCalendar::monthAndYearSteps() {
    QFETCH(QDate, start);
    QFETCH(QString, spin);
    QFETCH(bool, up);
    QFETCH(QString, shown);
    TCalendarDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.SetStartDate(QDateTime(start, QTime(0, 0)));
    clickSpin(dlg, qPrintable(spin), up);
    QCOMPARE(panel(dlg, "DatumPanel"), shown);
    QCOMPARE(panel(dlg, "JaarPanel"), shown.right(4));
}

void TestCalendar::clickingADayPicksIt() {
    TCalendarDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.SetStartDate(QDateTime(QDate(2025, 3, 10), QTime(0, 0)));
    // March 2025 starts on a Saturday; row 3, column 1 is Monday 10, row 6 column 1 is 31.
    TMonthGrid* grid = dlg.findChild<TMonthGrid*>("Calendar1");
    QVERIFY(grid);
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(6, 1).center());
    QCOMPARE(dlg.pickedDate(), QDate(2025, 3, 31));
    QCOMPARE(panel(dlg, "WeekPanel"), QString("14"));
    QCOMPARE(panel(dlg, "DatumPanel"), QString("31-03-2025"));
}

void TestCalendar::clickingAnEmptyCellPicksNothing() {
    TCalendarDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    dlg.SetStartDate(QDateTime(QDate(2025, 3, 10), QTime(0, 0)));
    TMonthGrid* grid = dlg.findChild<TMonthGrid*>("Calendar1");
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(1, 0).center()); // before the 1st
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(6, 3).center()); // after the 31st
    QTest::mouseClick(grid, Qt::LeftButton, {}, grid->cellRect(0, 2).center()); // a day name
    QCOMPARE(dlg.pickedDate(), QDate(2025, 3, 10));
}

void TestCalendar::buttonsSetTheOutcome_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<bool>("accepted");
    QTest::newRow("OK") << "BtnOK" << true;
    QTest::newRow("Annuleren") << "BtnCancel" << false;
    QTest::newRow("Escape") << "" << false;
}

void TestCalendar::buttonsSetTheOutcome() {
    QFETCH(QString, button);
    QFETCH(bool, accepted);
    TCalendarDlg dlg;
    dlg.SetStartDate(QDateTime(QDate(1960, 3, 15), QTime(0, 0)));
    whenShown([&] {
        QVERIFY(dlg.isVisible());
        if (button.isEmpty())
            QTest::keyClick(&dlg, Qt::Key_Escape);
        else
            click(dlg, qPrintable(button));
    });
    QCOMPARE(dlg.PickDate(true, "Brolt"), accepted);
    QCOMPARE(dlg.pickedToday(), false);
    QCOMPARE(dlg.PickedDateText(), QString("15-03-1960"));
}

// Someone at the keyboard: the page keys turn the month, with Ctrl the year,
// the arrows move the day and Return takes it, as OK does; the buttons have
// their Alt letters.
void TestCalendar::keyboardTurnsPagesAndConfirms_data() {
    QTest::addColumn<QString>("keys"); // "PgUp", "C-PgDn", "Left", "Return", "A-v", ...
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("picked");
    QTest::newRow("a month back, Return") << "PgUp Return" << true << "15-02-1960";
    QTest::newRow("a month on, Enter") << "PgDn Enter" << true << "15-04-1960";
    QTest::newRow("a year back") << "C-PgUp Return" << true << "15-03-1959";
    QTest::newRow("two years on, a month back") << "C-PgDn C-PgDn PgUp Return" << true << "15-02-1962";
    QTest::newRow("the day before, then Return") << "Left Return" << true << "14-03-1960";
    QTest::newRow("31 January a month on is 29 February")
        << "PgUp PgUp Down Down Right Right Right PgDn Return" << true << "29-02-1960";
    QTest::newRow("turned, then Escape") << "PgDn Escape" << false << "15-04-1960";
    QTest::newRow("Alt+O is OK") << "PgDn A-o" << true << "15-04-1960";
    QTest::newRow("Alt+A is Annuleren") << "PgDn A-a" << false << "15-04-1960";
}

void TestCalendar::keyboardTurnsPagesAndConfirms() {
    QFETCH(QString, keys);
    QFETCH(bool, accepted);
    QFETCH(QString, picked);
    TCalendarDlg dlg;
    dlg.SetStartDate(QDateTime(QDate(1960, 3, 15), QTime(0, 0)));
    whenShown([&] {
        QVERIFY(dlg.isVisible());
        dlg.grid()->setFocus();
        for (const QString& key : keys.split(u' ')) {
            Qt::KeyboardModifiers modifiers;
            QString name = key;
            if (name.startsWith(QLatin1String("C-")))
                modifiers = Qt::ControlModifier;
            else if (name.startsWith(QLatin1String("A-")))
                modifiers = Qt::AltModifier;
            if (modifiers != Qt::NoModifier)
                name = name.mid(2);
            const Qt::Key code = name == QLatin1String("PgUp")     ? Qt::Key_PageUp
                                 : name == QLatin1String("PgDn")   ? Qt::Key_PageDown
                                 : name == QLatin1String("Left")   ? Qt::Key_Left
                                 : name == QLatin1String("Right")  ? Qt::Key_Right
                                 : name == QLatin1String("Down")   ? Qt::Key_Down
                                 : name == QLatin1String("Return") ? Qt::Key_Return
                                 : name == QLatin1String("Enter")  ? Qt::Key_Enter
                                 : name == QLatin1String("Escape") ? Qt::Key_Escape
                                                                   : Qt::Key(name.at(0).toUpper().unicode());
            if (!dlg.isVisible())
                return;
            // Through the window, as a keyboard's keys come, so that Alt letters are seen.
            QTest::keyClick(dlg.windowHandle(), code, modifiers);
        }
    });
    QCOMPARE(dlg.PickDate(false, "Brolt"), accepted);
    QCOMPARE(dlg.PickedDateText(), picked);
}

void TestCalendar::vandaagPicksTodayAndTheTime() {
    TCalendarDlg dlg;
    dlg.SetStartDate(QDateTime(QDate(1960, 3, 15), QTime(0, 0)));
    whenShown([&] { click(dlg, "BtnVandaag"); });
    QVERIFY(dlg.PickDate(false, "Brolt"));
    QVERIFY(dlg.pickedToday());
    QCOMPARE(dlg.pickedDate(), QDate(2025, 5, 12));
    QCOMPARE(dlg.timeOfDay(), QTime(9, 41, 7));
    QCOMPARE(dlg.PickedDateText(), QString("12-05-2025"));
}

void TestCalendar::titleAndFocusFollowPickDate() {
    TCalendarDlg dlg;
    QString title;
    QString focused;
    whenShown([&] {
        title = dlg.windowTitle();
        focused = dlg.focusWidget() ? dlg.focusWidget()->objectName() : QString();
        click(dlg, "BtnCancel");
    });
    dlg.PickDate(true, "Brolt");
    QCOMPARE(title, QString("Brolt - Kalender"));
    QCOMPARE(focused, QString("BtnOK"));
    whenShown([&] {
        focused = dlg.focusWidget() ? dlg.focusWidget()->objectName() : QString();
        click(dlg, "BtnCancel");
    });
    dlg.PickDate(false, "Brolt");
    QCOMPARE(focused, QString("BtnCancel"));
}

void TestCalendar::keepsItsDateBetweenShowings() {
    TCalendarDlg dlg;
    dlg.SetStartDate(QDateTime(QDate(1999, 8, 20), QTime(0, 0)));
    whenShown([&] { click(dlg, "BtnOK"); });
    dlg.PickDate(true, "Brolt");
    whenShown([&] { click(dlg, "BtnOK"); });
    QVERIFY(dlg.PickDate(true, "Brolt"));
    QCOMPARE(dlg.pickedDate(), QDate(1999, 8, 20));
}

void TestCalendar::typedTimeAboveTheMaximumIsTheMaximum() {
    TCalendarDlg dlg;
    dlg.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dlg));
    QSpinBox* hour = dlg.findChild<QSpinBox*>("SpinUur");
    QSpinBox* minute = dlg.findChild<QSpinBox*>("SpinMinuut");
    QVERIFY(hour && minute);
    hour->setFocus();
    hour->selectAll();
    QTest::keyClicks(hour, "99");
    QTest::keyClick(hour, Qt::Key_Enter);
    minute->setValue(7);
    QCOMPARE(dlg.timeOfDay().hour(), 23);
    QCOMPARE(dlg.timeOfDay().minute(), 7);
}

QTEST_MAIN(TestCalendar)
#include "tst_calendar.moc"
