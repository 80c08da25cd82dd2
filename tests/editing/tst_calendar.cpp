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
