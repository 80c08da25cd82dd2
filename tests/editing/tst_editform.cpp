#include "TestKit.h"
#include "editing/Datum.h"
#include "editing/Edit.h"
#include "editing/Props.h"
#include "exchange/ExchangeDialogs.h"
#include "kit/Clock.h"
#include "kit/ClrBtn.h"
#include "kit/Store.h"
#include "lists/Resize.h"
#include "records/Dates.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QApplication>
#include <QHeaderView>
#include <QImage>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QMouseEvent>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>

namespace {
RecordTable::Row record(const QString& name, const QString& date, const QString& kind = Kind::Geboorte) {
    RecordTable::Row row;
    row[Col::Name] = name;
    row[Col::Date] = date;
    row[Col::Kind] = kind;
    return row;
}

// A mouse move without buttons, straight to the widget (the offscreen
// platform moves no real cursor).
void moveMouse(QWidget* widget, const QPoint& pos) {
    QMouseEvent move(QEvent::MouseMove, pos, widget->mapToGlobal(pos), Qt::NoButton, Qt::NoButton,
                     Qt::NoModifier);
    QApplication::sendEvent(widget, &move);
}

// Press, release, double-click, release: what a user's double-click delivers.
void doubleClick(QWidget* widget, const QPoint& pos) {
    QTest::mouseClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseDClick(widget, Qt::LeftButton, {}, pos);
    QTest::mouseRelease(widget, Qt::LeftButton, {}, pos);
}

void whenShown(std::function<void()> action) {
    QTimer::singleShot(0, qApp, std::move(action));
}

// Clicks a button of the modal calendar once it is up; "Escape" presses that
// key there (its release goes where the focus is then).
void answerCalendar(const QString& button) {
    whenShown([button] {
        auto* dlg = qobject_cast<TCalendarDlg*>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        if (button == QLatin1String("Escape"))
            QTest::keyPress(dlg, Qt::Key_Escape);
        else
            QTest::mouseClick(dlg->findChild<TClrBtn*>(button), Qt::LeftButton);
    });
}
} // namespace

class TestEditForm : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void showsTheRecordsWithTitles();
    void typingInTheLastRowAddsABlankRow();
    void clickingTheAgeMovesToTheKind();
    void kindShortcuts_data();
    void kindShortcuts();
    void kindMenuSetsTheKind();
    void insertWithoutEditingAddsARowAbove();
    void deleteAsksAndRemoves_data();
    void deleteAsksAndRemoves();
    void deletingTheBlankRowOnlyEmptiesIt();
    void answeringNeeStillMarksModifiedAfterOK();
    void cancelLeavesModifiedAlone();
    void headerClicksSort_data();
    void headerClicksSort();
    void dateSortDropsDatelessRows();
    void leavingADateCellRewritesIt_data();
    void leavingADateCellRewritesIt();
    void leavingAnUnreadableDateOpensTheCalendar();
    void okReportsDates_data();
    void okReportsDates();
    void escapeRestoresAClearedCell();
    void escapeWithoutAPriorKeyChangesNothing();
    void pictureKeepsItsPlace_data();
    void pictureKeepsItsPlace();
    void doubleClickDatePicksFromTheCalendar();
    void doubleClickWithoutANameAsksForOne();
    void doubleClickPictureImportsUnderTheName();
    void semicolonsAndLineBreaksDoNotEnterACell();
    void narrowColumnsGrowTo40();
    void statusTextFollowsTheMouse_data();
    void statusTextFollowsTheMouse();
    void sizesAreStoredAtClosing();
    void editRecordsTellsWhetherDataChanged();
    void savingSortsThroughTheGrid();
    void editWindowKeepsWhatWasTyped_data();
    void editWindowKeepsWhatWasTyped();
    void gridKeyboard_data();
    void gridKeyboard();

private:
    TEditForm& makeForm();
    QPoint cellCenter(int row, int column) const;
    void clickCell(int row, int column);
    void typeInCell(int row, int column, const QString& text);
    // Plays steps as a user would (see runSteps) and compares the records
    // (every cell, "|" between, trailing empty cells left off) and the notes.
    void runSteps(const QString& script);
    QStringList recordTexts() const;

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<FakeUi> m_ui;
    std::unique_ptr<RecordTable> m_table;
    std::unique_ptr<DataFile> m_data;
    std::unique_ptr<TEditForm> m_form;
};

void TestEditForm::initTestCase() {
    m_home = std::make_unique<TempHome>();
}

void TestEditForm::init() {
    Clock::set(Noon(2025, 5, 12));
    Working() = WorkingSettings();
    m_ui = std::make_unique<FakeUi>();
    m_table = std::make_unique<RecordTable>();
    m_data = std::make_unique<DataFile>(*m_table);
    m_data->dataFolder = m_home->dataFolder();
    m_data->dateNotation = DayMonthYear;
    m_data->formatLabel = "Datumformaat: dd-mm-jjjj";
    m_data->painted = true;
    SetShortDateFormat(NotationFormat(DayMonthYear));
    QImage blank(40, 30, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QDir().mkpath(m_home->dataFolder());
    QVERIFY(blank.save(m_home->dataFolder() + "Blanc.jpg", "PNG"));
    m_table->appendRecord(record("Anna", "12-05-1960"));
    m_table->appendRecord(record("Bert", "03-11-1982", Kind::Huwelijk));
    m_table->appendRecord(record("Cees", "25-12-2001"));
}

void TestEditForm::cleanup() {
    m_form.reset();
    m_data.reset();
    m_table.reset();
    m_ui.reset();
}

TEditForm& TestEditForm::makeForm() {
    m_form = std::make_unique<TEditForm>(*m_table, *m_data);
    m_form->show();
    if (!QTest::qWaitForWindowExposed(m_form.get()))
        qWarning("edit window not exposed");
    return *m_form;
}

QPoint TestEditForm::cellCenter(int row, int column) const {
    return m_form->grid()->visualRect(m_form->model()->index(row - 1, column)).center();
}

void TestEditForm::clickCell(int row, int column) {
    QTest::mouseClick(m_form->grid()->viewport(), Qt::LeftButton, {}, cellCenter(row, column));
}

// Types into a cell as a user does: the first key opens the editor, Enter ends it.
void TestEditForm::typeInCell(int row, int column, const QString& text) {
    clickCell(row, column);
    QTest::keyClick(m_form->grid(), text.at(0).toLatin1());
    QWidget* editor = m_form->grid()->cellEditor();
    QVERIFY(editor);
    QTest::keyClicks(editor, text.mid(1));
    QTest::keyClick(editor, Qt::Key_Return);
    QTRY_VERIFY(!m_form->grid()->editing()); // the delegate commits on the next turn of the loop
}

void TestEditForm::showsTheRecordsWithTitles() {
    TEditForm& f = makeForm();
    QCOMPARE(f.windowTitle(), QString("Brolt - Wijzigen"));
    QCOMPARE(f.model()->rowCount(), 4);
    QCOMPARE(f.model()->headerData(0, Qt::Horizontal).toString(), QString("Naam"));
    QCOMPARE(f.model()->headerData(3, Qt::Horizontal).toString(), QString("Leeftijd"));
    QCOMPARE(f.model()->headerData(5, Qt::Horizontal).toString(), QString());
    QCOMPARE(f.model()->index(1, 0).data().toString(), QString("Bert"));
    QCOMPARE(f.findChild<QLabel*>("LabelFormaat")->text(), QString("Datumformaat: dd-mm-jjjj"));
    QCOMPARE(f.Row(), 1);
    // The visible columns fill the grid exactly: 250+100+kind+70+150 + 5 each + 1,
    // the kind column as wide as its widest word needs ("Overlijden", not "Overlij...").
    const int kind = f.grid()->columnWidth(Col::Kind);
    QVERIFY(kind >= std::max(80, f.grid()->fontMetrics().horizontalAdvance("Overlijden")));
    QCOMPARE(f.grid()->width(), 250 + 100 + kind + 70 + 150 + 5 * 5 + 1);
    QCOMPARE(f.grid()->verticalHeader()->defaultSectionSize(), 22);
    // The model shows the table itself, not a copy.
    m_table->setCell(2, Col::Name, "Berta");
    QCOMPARE(f.model()->index(1, 0).data().toString(), QString("Berta"));
}

void TestEditForm::typingInTheLastRowAddsABlankRow() {
    TEditForm& f = makeForm();
    typeInCell(4, 0, "Dirk");
    QCOMPARE(m_table->cell(4, Col::Name), QString("Dirk"));
    clickCell(1, 1);
    QCOMPARE(m_table->rowCount(), 6);
    QCOMPARE(f.model()->rowCount(), 5);
    QCOMPARE(m_table->cell(4, Col::Name), QString("Dirk"));
    QVERIFY(RecordTable::isRowEmpty(m_table->row(5)));
    QVERIFY(f.gridChanged());
}

void TestEditForm::clickingTheAgeMovesToTheKind() {
    TEditForm& f = makeForm();
    clickCell(2, 3);
    QCOMPARE(f.Row(), 2);
    QCOMPARE(f.Column(), 2);
}

void TestEditForm::kindShortcuts_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<QString>("cell");
    QTest::newRow("G") << int(Qt::Key_G) << "Geboorte";
    QTest::newRow("F") << int(Qt::Key_F) << "Feest";
    QTest::newRow("H") << int(Qt::Key_H) << "Huwelijk";
    QTest::newRow("J") << int(Qt::Key_J) << "Jubileum";
    QTest::newRow("O") << int(Qt::Key_O) << "Overlijden";
    QTest::newRow("T is Te doen") << int(Qt::Key_T) << "Te doen";
}

void TestEditForm::kindShortcuts() {
    QFETCH(int, key);
    QFETCH(QString, cell);
    TEditForm& f = makeForm();
    clickCell(2, 2);
    QTest::keyClick(f.grid(), Qt::Key(key));
    QVERIFY(f.grid()->editing());
    QCOMPARE(f.statusText(), QString("Klik rechts voor keuzemenu"));
    QTest::keyClick(f.grid()->cellEditor(), Qt::Key_Return);
    QTRY_VERIFY(!f.grid()->editing());
    QCOMPARE(m_table->cell(2, Col::Kind), cell);
    QVERIFY(f.gridChanged());
}

void TestEditForm::kindMenuSetsTheKind() {
    TEditForm& f = makeForm();
    QTest::mouseClick(f.grid()->viewport(), Qt::RightButton, {}, cellCenter(3, 0));
    QCOMPARE(f.Row(), 3);
    QMenu* menu = f.findChild<QMenu*>("PopupMenu1");
    QVERIFY(menu && menu->isVisible());
    QStringList captions;
    for (QAction* a : menu->actions())
        captions << a->text();
    QCOMPARE(captions, QStringList({"Feest", "Geboorte", "Huwelijk", "Jubileum", "Overlijden", "Te doen"}));
    menu->findChild<QAction*>("Tedoen")->trigger();
    menu->close();
    QCOMPARE(m_table->cell(3, Col::Kind), QString("Te doen"));
    QVERIFY(f.gridChanged());
}

void TestEditForm::insertWithoutEditingAddsARowAbove() {
    TEditForm& f = makeForm();
    clickCell(2, 0);
    QTest::keyClick(f.grid(), Qt::Key_Insert);
    QCOMPARE(m_table->recordCount(), 4);
    QVERIFY(RecordTable::isRowEmpty(m_table->row(2)));
    QCOMPARE(m_table->cell(3, Col::Name), QString("Bert"));
    QCOMPARE(f.Row(), 2);
    QVERIFY(f.gridChanged());
}

void TestEditForm::deleteAsksAndRemoves_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("Ja") << true << QStringList({"Anna", "Cees", ""});
    QTest::newRow("Nee") << false << QStringList({"Anna", "Bert", "Cees", ""});
}

void TestEditForm::deleteAsksAndRemoves() {
    QFETCH(bool, yes);
    QFETCH(QStringList, names);
    TEditForm& f = makeForm();
    clickCell(2, 1);
    m_ui->nextAnswer(yes);
    QTest::keyClick(f.grid(), Qt::Key_Delete);
    QCOMPARE(m_ui->questions.size(), 1);
    const FakeUi::Question& q = m_ui->questions.first();
    QCOMPARE(q.title, QString("Brolt - Wijzigen"));
    QCOMPARE(q.message, QString("Wil u inderdaad de gegevens van \"Bert\" verwijderen?"));
    QCOMPARE(q.yes, QString("Ja"));
    QCOMPARE(q.no, QString("Nee"));
    QCOMPARE(q.cancelShown, false);
    QStringList shown;
    for (int r = 1; r < m_table->rowCount(); ++r)
        shown << m_table->cell(r, Col::Name);
    QCOMPARE(shown, names);
    QVERIFY(f.gridChanged());
}

void TestEditForm::deletingTheBlankRowOnlyEmptiesIt() {
    TEditForm& f = makeForm();
    m_ui->nextAnswer(true);
    f.SelectCell(3, 0);
    f.SpeedDeleteClick(); // the last record
    QCOMPARE(m_table->recordCount(), 2);
    m_ui->nextAnswer(true);
    f.SelectCell(3, 0);
    f.SpeedDeleteClick(); // now the blank row
    QCOMPARE(m_table->rowCount(), 4);
    QVERIFY(RecordTable::isRowEmpty(m_table->row(3)));
}

void TestEditForm::answeringNeeStillMarksModifiedAfterOK() {
    TEditForm& f = makeForm();
    clickCell(1, 0);
    m_ui->nextAnswer(false);
    QTest::keyClick(f.grid(), Qt::Key_Delete);
    QVERIFY(!m_data->unsavedChanges);
    QTest::mouseClick(f.findChild<TClrBtn*>("BtnOK"), Qt::LeftButton);
    QVERIFY(m_data->unsavedChanges);
    QVERIFY(m_data->saveEnabled);
    QVERIFY(!f.gridChanged());
    QVERIFY(!f.isVisible());
}

void TestEditForm::cancelLeavesModifiedAlone() {
    TEditForm& f = makeForm();
    typeInCell(1, 0, "Annie");
    QVERIFY(f.gridChanged());
    QTest::mouseClick(f.findChild<TClrBtn*>("BtnCancel"), Qt::LeftButton);
    QVERIFY(!m_data->unsavedChanges);
    QVERIFY(!f.gridChanged());
    QCOMPARE(m_table->cell(1, Col::Name), QString("Anna")); // what was typed is forgotten
}

void TestEditForm::headerClicksSort_data() {
    QTest::addColumn<int>("column");
    QTest::addColumn<int>("order");
    QTest::addColumn<QStringList>("names");
    QTest::newRow("Naam") << 0 << 0 << QStringList({"Anna", "Bert", "Cees", "Dora"});
    QTest::newRow("Datum") << 1 << 1 << QStringList({"Dora", "Anna", "Bert", "Cees"});
    QTest::newRow("Leeftijd") << 3 << 2 << QStringList({"Cees", "Dora", "Bert", "Anna"});
    QTest::newRow("Gebeurtenis does nothing") << 2 << 9 << QStringList({"Dora", "Cees", "Anna", "Bert"});
    QTest::newRow("Fotobestand does nothing") << 4 << 9 << QStringList({"Dora", "Cees", "Anna", "Bert"});
}

void TestEditForm::headerClicksSort() {
    QFETCH(int, column);
    QFETCH(int, order);
    QFETCH(QStringList, names);
    m_table->reset();
    const char* rows[4][3] = {{"Dora", "01-02-1990", " 35"},
                              {"Cees", "25-12-2001", " 23"},
                              {"Anna", "12-05-1960", " 65"},
                              {"Bert", "03-11-1982", " 42"}};
    for (auto& r : rows) {
        RecordTable::Row row = record(r[0], r[1]);
        row[Col::Age] = r[2];
        m_table->appendRecord(row);
    }
    Working().sortOrder = 9;
    TEditForm& f = makeForm();
    QHeaderView* header = f.grid()->horizontalHeader();
    const QPoint at(header->sectionViewportPosition(column) + header->sectionSize(column) / 2,
                    header->height() / 2);
    QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    QCOMPARE(Working().sortOrder, order);
    QStringList shown;
    for (int r = 1; r <= m_table->recordCount(); ++r)
        shown << m_table->cell(r, Col::Name);
    QCOMPARE(shown, names);
    QCOMPARE(f.gridChanged(), order != 9);
    QCOMPARE(f.model()->index(0, 0).data().toString(), names.first());
}

void TestEditForm::dateSortDropsDatelessRows() {
    m_table->appendRecord(record("Zonder datum", ""));
    m_table->appendRecord(record("Oud", "31-12-1950"));
    m_table->appendRecord(record("Nieuw", "01-01-2000"));
    TEditForm& f = makeForm();
    Working().sortOrder = 1;
    f.SortByOption();
    QStringList shown;
    for (int r = 1; r <= m_table->recordCount(); ++r)
        shown << m_table->cell(r, Col::Name);
    QCOMPARE(shown, QStringList({"Nieuw", "Anna", "Bert", "Cees", "Oud"}));
    QCOMPARE(f.model()->rowCount(), 6);
}

void TestEditForm::leavingADateCellRewritesIt_data() {
    QTest::addColumn<QString>("typed");
    QTest::addColumn<QString>("kept");
    QTest::newRow("short parts") << "1-2-1960"
                                 << "01-02-1960";
    QTest::newRow("equals signs") << "1=2=1960"
                                  << "01-02-1960";
}

void TestEditForm::leavingADateCellRewritesIt() {
    QFETCH(QString, typed);
    QFETCH(QString, kept);
    makeForm();
    typeInCell(2, 1, typed);
    clickCell(3, 0);
    QCOMPARE(m_table->cell(2, Col::Date), kept);
    QVERIFY(!QApplication::activeModalWidget());
}

void TestEditForm::leavingAnUnreadableDateOpensTheCalendar() {
    TEditForm& f = makeForm();
    f.calendarDlg()->SetStartDate(QDateTime(QDate(1975, 7, 4), QTime(0, 0)));
    typeInCell(2, 1, "31-02-2000");
    answerCalendar("BtnCancel"); // the text from before the typing comes back
    clickCell(3, 0);
    QCOMPARE(m_table->cell(2, Col::Date), QString("03-11-1982"));
    typeInCell(2, 1, "abc");
    answerCalendar("BtnOK"); // the calendar's date goes in
    clickCell(3, 0);
    QCOMPARE(m_table->cell(2, Col::Date), QString("04-07-1975"));
}

void TestEditForm::okReportsDates_data() {
    QTest::addColumn<QString>("date");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("first");
    QTest::addColumn<QString>("second");
    QTest::newRow("tomorrow, a birth")
        << "13-05-2025" << Kind::Geboorte << "Bert heeft geen geldige datum (13-05-2025)."
        << "De datum mag niet in de toekomst liggen.";
    QTest::newRow("tomorrow, to do") << "13-05-2025" << Kind::TeDoen << ""
                                     << "";
    QTest::newRow("unknown year 3000") << "13-05-3000" << Kind::Geboorte << ""
                                       << "";
    QTest::newRow("unreadable") << "13-13-2000" << Kind::Geboorte << "Bert heeft"
                                << "geen geldige datum (13-13-2000).";
}

void TestEditForm::okReportsDates() {
    QFETCH(QString, date);
    QFETCH(QString, kind);
    QFETCH(QString, first);
    QFETCH(QString, second);
    m_table->setCell(2, Col::Date, date);
    m_table->setCell(2, Col::Kind, kind);
    TEditForm& f = makeForm();
    QTest::mouseClick(f.findChild<TClrBtn*>("BtnOK"), Qt::LeftButton);
    QVERIFY(!f.isVisible());
    if (first.isEmpty()) {
        QVERIFY(m_ui->notes.isEmpty());
        return;
    }
    QCOMPARE(m_ui->notes.size(), 1);
    QCOMPARE(m_ui->notes.first().durationMs, 5000);
    QCOMPARE(m_ui->notes.first().first, first);
    QCOMPARE(m_ui->notes.first().second, second);
}

void TestEditForm::escapeRestoresAClearedCell() {
    TEditForm& f = makeForm();
    // Twice, in two showings: what a key left in the memory in one showing
    // must not stand in for the cell of the next.
    for (int row : {2, 3}) {
        const QString before = m_table->cell(row, Col::Name);
        clickCell(row, 0);
        QTest::keyClick(f.grid(), Qt::Key_X);
        QWidget* editor = f.grid()->cellEditor();
        QVERIFY(editor);
        QTest::keyClick(editor, Qt::Key_Backspace);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_VERIFY(!f.grid()->editing());
        QCOMPARE(m_table->cell(row, Col::Name), QString());
        QTest::keyClick(f.grid(), Qt::Key_Escape);
        QVERIFY(f.isVisible()); // Escape on the grid does not close the window
        QCOMPARE(m_table->cell(row, Col::Name), before);

        clickCell(1, 0);
        QTest::keyClick(f.grid(), Qt::Key_Right); // fills the memory with row 1's name
        QTest::mouseClick(f.findChild<TClrBtn*>("BtnCancel"), Qt::LeftButton);
        QVERIFY(!f.gridChanged());
        f.show();
        QVERIFY(QTest::qWaitForWindowExposed(&f));
    }
}

void TestEditForm::pictureKeepsItsPlace_data() {
    QTest::addColumn<QSize>("picture");
    QTest::newRow("wide") << QSize(60, 40);
    QTest::newRow("tall") << QSize(40, 60);
}

void TestEditForm::pictureKeepsItsPlace() {
    QFETCH(QSize, picture);
    QImage photo(picture, QImage::Format_RGB32);
    photo.fill(Qt::red);
    QVERIFY(photo.save(m_home->dataFolder() + "Foto.jpg", "JPG"));
    m_table->setCell(2, Col::Picture, "Foto.jpg");
    TEditForm& f = makeForm();
    auto* panel = f.findChild<QWidget*>("ImagePanel");
    for (int click = 0; click < 3; ++click) { // every click fits the picture again
        clickCell(2, 0);
        const EditPictureFit fit = FitEditPicture(picture, panel->size(), f.grid()->height());
        QCOMPARE(panel->geometry(), QRect(QPoint(f.grid()->width(), f.grid()->y()), fit.panel));
        QCOMPARE(f.findChild<QWidget*>("Image")->geometry(), fit.image);
        // The window holds grid and picture, as far as the screen allows.
        const int frame = f.frameGeometry().width() - f.width();
        QCOMPARE(f.width(), std::min(f.grid()->width() + panel->width(),
                                     f.screen()->availableGeometry().width() - frame));
    }
}

void TestEditForm::escapeWithoutAPriorKeyChangesNothing() {
    TEditForm& f = makeForm();
    clickCell(4, 0); // the blank row
    QTest::keyClick(f.grid(), Qt::Key_Escape);
    QTest::keyClick(f.grid(), Qt::Key_Escape);
    QCOMPARE(m_table->cell(4, Col::Name), QString());
    QCOMPARE(m_table->cell(2, Col::Name), QString("Bert"));
}

void TestEditForm::doubleClickDatePicksFromTheCalendar() {
    TEditForm& f = makeForm();
    QString shownDate;
    whenShown([&] {
        auto* dlg = qobject_cast<TCalendarDlg*>(QApplication::activeModalWidget());
        QVERIFY(dlg);
        shownDate = dlg->findChild<QLabel*>("DatumPanel")->text();
        QTest::mouseClick(dlg->findChild<TClrBtn*>("BtnVandaag"), Qt::LeftButton);
    });
    int doubles = 0;
    connect(f.grid(), &QAbstractItemView::doubleClicked, this, [&] { ++doubles; });
    doubleClick(f.grid()->viewport(), cellCenter(2, 1));
    QCOMPARE(doubles, 1);
    QCOMPARE(shownDate, QString("03-11-1982"));
    QCOMPARE(m_table->cell(2, Col::Date), QString("12-05-2025"));
    QVERIFY(f.gridChanged());
}

void TestEditForm::doubleClickWithoutANameAsksForOne() {
    m_table->setCell(2, Col::Name, "   ");
    TEditForm& f = makeForm();
    doubleClick(f.grid()->viewport(), cellCenter(2, 1));
    QCOMPARE(m_ui->notes.size(), 1);
    QCOMPARE(m_ui->notes.first().durationMs, 5000);
    QCOMPARE(m_ui->notes.first().first, QString("De naam is nog niet ingevuld."));
    QCOMPARE(m_ui->notes.first().second, QString("Vul een naam in aub."));
    QVERIFY(!QApplication::activeModalWidget());
}

void TestEditForm::doubleClickPictureImportsUnderTheName() {
    m_table->setCell(2, Col::Name, "Jan/../x");
    TEditForm& f = makeForm();
    QStringList imports;
    f.choosePictureFile = [] { return QStringLiteral("/tmp/camera/IMG_1.JPG"); };
    f.importPicture = [&](const QString& source, const QString& target, int maxWidth) {
        imports << source << target << QString::number(maxWidth);
    };
    doubleClick(f.grid()->viewport(), cellCenter(2, 4));
    // No folder and no ".." in the name: the picture stays in the data folder.
    QCOMPARE(m_table->cell(2, Col::Picture), QString("Jan____x.jpg"));
    QCOMPARE(imports, QStringList({"/tmp/camera/IMG_1.JPG", m_home->dataFolder() + "Jan____x.jpg", "200"}));
    QVERIFY(f.gridChanged());
}

void TestEditForm::semicolonsAndLineBreaksDoNotEnterACell() {
    TEditForm& f = makeForm();
    typeInCell(1, 0, "A;B");
    QCOMPARE(m_table->cell(1, Col::Name), QString("A,B"));
    f.model()->setData(f.model()->index(1, 0), QString("C\r\nD;"));
    QCOMPARE(m_table->cell(2, Col::Name), QString("CD,"));
}

void TestEditForm::narrowColumnsGrowTo40() {
    TEditForm& f = makeForm();
    f.grid()->setColumnWidth(2, 10);
    moveMouse(f.grid()->viewport(), cellCenter(1, 0));
    QCOMPARE(f.grid()->columnWidth(2), 40);
    QCOMPARE(f.grid()->width(), 250 + 100 + 40 + 70 + 150 + 25 + 1);
}

void TestEditForm::statusTextFollowsTheMouse_data() {
    QTest::addColumn<int>("row");
    QTest::addColumn<int>("column");
    QTest::addColumn<bool>("uitgebreid");
    QTest::addColumn<QString>("text");
    QTest::newRow("name") << 1 << 0 << false << "Geef de Naam";
    QTest::newRow("name, extended") << 1 << 0 << true << "Klik voor Invulformulier";
    QTest::newRow("date") << 1 << 1 << false << "Dubbelklik voor kalender";
    QTest::newRow("kind") << 1 << 2 << false << "Klik rechts voor keuzemenu";
    QTest::newRow("age") << 1 << 3 << false << "Huidige leeftijd (wordt berekend)";
    QTest::newRow("picture") << 1 << 4 << false << "Dubbelklik voor fotobestand";
    QTest::newRow("header name") << 0 << 0 << false << "Sorteer op Naam";
    QTest::newRow("header date") << 0 << 1 << false << "Sorteer op Datum";
    QTest::newRow("header kind") << 0 << 2 << false << "";
}

void TestEditForm::statusTextFollowsTheMouse() {
    QFETCH(int, row);
    QFETCH(int, column);
    QFETCH(bool, uitgebreid);
    QFETCH(QString, text);
    Working().uitgebreid = uitgebreid;
    TEditForm& f = makeForm();
    if (row == 0) {
        QHeaderView* header = f.grid()->horizontalHeader();
        moveMouse(header->viewport(), QPoint(header->sectionViewportPosition(column) + 20, 5));
    } else {
        moveMouse(f.grid()->viewport(), cellCenter(row, column));
    }
    QCOMPARE(f.statusText(), text);
    moveMouse(f.findChild<QWidget*>("SpeedPanel"), QPoint(300, 20));
    QCOMPARE(f.statusText(), QString());
}

void TestEditForm::sizesAreStoredAtClosing() {
    TEditForm& f = makeForm();
    f.resize(900, 300); // below the least height
    QCOMPARE(f.height(), 479);
    f.grid()->setColumnWidth(0, 222);
    f.resize(900, 520);
    QTest::mouseClick(f.findChild<TClrBtn*>("BtnCancel"), Qt::LeftButton);
    QCOMPARE(Store::readInteger("EditHeight", 0), 520);
    QCOMPARE(Store::readInteger("EditWidth", 0), f.width());
    QCOMPARE(Store::readInteger("ColWidths_0", 0), 222);
    QCOMPARE(Store::readInteger("ColWidths_4", 0), 150);
}

void TestEditForm::editRecordsTellsWhetherDataChanged() {
    m_form = std::make_unique<TEditForm>(*m_table, *m_data);
    TEditForm& f = *m_form;
    whenShown([&] { QTest::mouseClick(f.findChild<TClrBtn*>("BtnOK"), Qt::LeftButton); });
    QVERIFY(!f.EditRecords()); // nothing changed
    whenShown([&] {
        f.SelectCell(1, 0);
        f.SpeedAddClick();
        QTest::mouseClick(f.findChild<TClrBtn*>("BtnOK"), Qt::LeftButton);
    });
    QVERIFY(f.EditRecords());
    QVERIFY(m_data->unsavedChanges);
}

void TestEditForm::savingSortsThroughTheGrid() {
    TEditForm& f = makeForm();
    QVERIFY(m_data->sortByOption);
    m_table->setCell(1, Col::Name, "Zeno");
    Working().sortOrder = 0;
    m_data->sortByOption();
    QCOMPARE(m_table->cell(3, Col::Name), QString("Zeno"));
    QCOMPARE(f.model()->index(2, 0).data().toString(), QString("Zeno"));
    m_data->painted = false; // before the main window's first paint nothing sorts
    m_table->setCell(1, Col::Name, "Zz");
    m_data->sortByOption();
    QCOMPARE(m_table->cell(1, Col::Name), QString("Zz"));
}

// Steps, separated by ", ": "set R C TEXT" (a cell, before the window shows),
// "click R C", "type TEXT" (key by key to the focused control), "key
// SEQUENCE", "release KEY", "calendar BUTTON" (the button to click, or
// Escape to press, in the calendar that opens next), "answer yes|no", "extended", "props NAME" (the
// properties window that opens next renames the record it shows first), "import" (a card file with Eva Ek),
// "ok", "cancel", "closebox", "escape" (Escape on OK), "show", "save", "compose" (the reminders of a copy of
// the table), and the checks "cell R C TEXT", "at R C" (the current cell), "focus NAME" (the control with the
// focus) and "left" (the focus is outside the grid).
void TestEditForm::runSteps(const QString& script) {
    const QStringList steps = script.split(QStringLiteral(", "));
    TPropertiesForm props(*m_table, *m_data);
    auto target = [this]() -> QWidget* {
        QWidget* focus = m_form->focusWidget();
        return focus ? focus : m_form->grid();
    };
    for (const QString& step : steps) {
        const QStringList parts = step.split(u' ');
        const QString verb = parts.first();
        const QString rest = step.section(u' ', 1);
        if (verb == "set") {
            m_table->setCell(parts[1].toInt(), parts[2].toInt(), step.section(u' ', 3));
            continue;
        }
        if (!m_form) {
            makeForm();
            props.setEditForm(m_form.get());
            m_form->openProperties = [&props] { props.OpenProperties(); };
            m_form->propsChanged = [&props] { return props.propsChanged(); };
        }
        if (verb == "click") {
            clickCell(parts[1].toInt(), parts[2].toInt());
        } else if (verb == "type") {
            for (const QChar c : rest)
                QTest::keyClick(target(), c.toLatin1());
        } else if (verb == "key") {
            const QKeyCombination key = QKeySequence::fromString(rest)[0];
            QTest::keyClick(target(), key.key(), key.keyboardModifiers());
            if (key.key() == Qt::Key_Return)
                QTRY_VERIFY(!m_form->grid()->editing()); // the delegate commits on the next turn of the loop
        } else if (verb == "release") {
            QTest::keyRelease(target(), QKeySequence::fromString(rest)[0].key());
        } else if (verb == "calendar") {
            answerCalendar(rest);
        } else if (verb == "answer") {
            m_ui->nextAnswer(rest == "yes");
        } else if (verb == "extended") {
            Working().uitgebreid = true;
        } else if (verb == "props") {
            whenShown([rest] {
                auto* window = qobject_cast<TPropertiesForm*>(QApplication::activeModalWidget());
                QVERIFY(window);
                QVERIFY(QTest::qWaitForWindowActive(window)); // so that leaving a field is a focus change
                auto* name = window->findChild<QLineEdit*>("EditNaam");
                name->setFocus();
                name->selectAll();
                QTest::keyClicks(name, rest);
                QTest::keyClick(name, Qt::Key_Tab);
                QTest::mouseClick(window->findChild<TClrBtn*>("BtnOK"), Qt::LeftButton);
            });
        } else if (verb == "import") {
            const QString cards = m_home->path() + "/kaarten.vcf";
            WriteFileForTest(cards, "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Eva Ek\r\nBDAY:1970-01-01\r\n"
                                    "END:VCARD\r\n");
            m_ui->nextAnswer(true); // from a file
            m_ui->nextBrowse(cards);
            QTest::mouseClick(m_form->exchangeButtons()->importButton(), Qt::LeftButton);
        } else if (verb == "ok" || verb == "cancel") {
            QTest::mouseClick(m_form->findChild<TClrBtn*>(verb == "ok" ? "BtnOK" : "BtnCancel"),
                              Qt::LeftButton);
        } else if (verb == "closebox") {
            m_form->close();
        } else if (verb == "escape") {
            auto* ok = m_form->findChild<TClrBtn*>("BtnOK");
            ok->setFocus();
            QTest::keyClick(ok, Qt::Key_Escape);
        } else if (verb == "show") {
            m_form->show();
            QVERIFY(QTest::qWaitForWindowExposed(m_form.get()));
        } else if (verb == "save") {
            m_data->save();
        } else if (verb == "compose") {
            RecordTable copy = *m_table;
            ComputeDerivedColumns(copy, m_data->dateNotation, Clock::today());
            ComposeReminders(copy, m_data->dateNotation, Working(), Clock::today());
        } else if (verb == "cell") {
            QCOMPARE(m_table->cell(parts[1].toInt(), parts[2].toInt()), step.section(u' ', 3));
        } else if (verb == "at") {
            QCOMPARE(QString("%1 %2").arg(m_form->Row()).arg(m_form->Column()), rest);
        } else if (verb == "left") {
            QWidget* focus = m_form->focusWidget();
            QVERIFY(focus && focus != m_form->grid() && !m_form->grid()->isAncestorOf(focus));
        } else if (verb == "focus") {
            QVERIFY(m_form->focusWidget());
            QCOMPARE(m_form->focusWidget()->objectName(), rest);
        } else {
            QFAIL(qPrintable("unknown step " + step));
        }
        QTRY_VERIFY(!QApplication::activeModalWidget() || QApplication::activeModalWidget() == m_form.get() ||
                    !m_form->isVisible());
    }
}

QStringList TestEditForm::recordTexts() const {
    QStringList records;
    for (int r = 1; r <= m_table->recordCount(); ++r) {
        QString text = QStringList(m_table->row(r).begin(), m_table->row(r).end()).join(u'|');
        while (text.endsWith(u'|'))
            text.chop(1);
        records << text;
    }
    return records;
}

void TestEditForm::editWindowKeepsWhatWasTyped_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<bool>("unsaved");      // the data marked as changed afterwards
    QTest::addColumn<QStringList>("notes"); // the timed messages, "first|second"
    QTest::addColumn<QByteArray>("saved");  // Brolt.dat after "save"
    const QString anna = "Anna|12-05-1960|Geboorte", bert = "Bert|03-11-1982|Huwelijk",
                  cees = "Cees|25-12-2001|Geboorte";
    const QStringList asShown{anna, bert, cees};
    auto row = [](const char* name, const char* steps) -> QTestData& {
        return QTest::newRow(name) << QString(steps);
    };

    // The kind cell holds only a kind: a type-ahead over the six words.
    row("the whole kind word typed", "click 2 2, type Geboorte, key Tab, at 2 4")
        << QStringList{anna, "Bert|03-11-1982|Geboorte", cees} << false << QStringList() << QByteArray();
    row("the start of a kind word", "click 3 2, type Over, key Return")
        << QStringList{anna, bert, "Cees|25-12-2001|Overlijden"} << false << QStringList() << QByteArray();
    row("T is Te doen, its space included", "click 1 2, type te d, key Return")
        << QStringList{"Anna|12-05-1960|Te doen", bert, cees} << false << QStringList() << QByteArray();
    row("letters that start no kind change nothing", "click 2 2, type xyz, key Return, ok")
        << asShown << true << QStringList() << QByteArray();
    row("an unknown kind is kept, and reported once",
        "set 2 2 Verhuisd, set 3 2 Zomaar, click 2 2, key F2, key Return, ok, compose")
        << QStringList{anna, "Bert|03-11-1982|Verhuisd", "Cees|25-12-2001|Zomaar"} << true
        << QStringList{"De naam \"Bert\" heeft|geen geldige gebeurtenis (Verhuisd)."} << QByteArray();

    // Annuleren in the calendar puts back the cell's text.
    row("calendar cancelled: the date typed over comes back",
        "click 2 1, type 03-13-1982, calendar BtnCancel, key Tab, at 2 2")
        << asShown << false << QStringList() << QByteArray();
    row("calendar cancelled in a new row: empty again",
        "click 4 0, type Dirk, key Tab, type 99-99-1999, calendar BtnCancel, key Tab")
        << QStringList{anna, bert, cees, "Dirk"} << false << QStringList() << QByteArray();
    row("calendar closed with Escape: its release does not bring the typing back",
        "click 4 0, type Dirk, key Tab, type 99-99-1999, key Return, calendar Escape, key Up, release Escape")
        << QStringList{anna, bert, cees, "Dirk"} << false << QStringList() << QByteArray();
    row("calendar OK: its date", "click 2 1, type 31-02-2000, calendar BtnOK, key Tab")
        << QStringList{anna, "Bert|12-05-2025|Huwelijk", cees} << false << QStringList() << QByteArray();

    // Annuleren, the close box and Escape outside a cell forget everything.
    row("Annuleren forgets typing", "click 1 0, type Annie, key Return, cell 1 0 Annie, cancel")
        << asShown << false << QStringList() << QByteArray();
    row("Annuleren forgets an inserted row",
        "click 2 0, key Insert, type Karel, key Tab, type 25-12-1990, key Tab, cell 2 0 Karel, cancel")
        << asShown << false << QStringList() << QByteArray();
    row("the close box brings back a deleted row",
        "click 2 0, answer yes, key Delete, cell 2 0 Cees, closebox")
        << asShown << false << QStringList() << QByteArray();
    row("Escape outside a cell forgets typing", "click 3 0, type Kees, key Return, cell 3 0 Kees, escape")
        << asShown << false << QStringList() << QByteArray();
    row("Annuleren forgets imported records", "import, cell 4 0 Eva Ek, cancel")
        << asShown << false
        << QStringList{"Contacten uit kaarten.vcf|1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen"}
        << QByteArray();
    row("Annuleren forgets the properties window's changes",
        "extended, props Annie, click 1 0, cell 1 0 Annie, cancel")
        << asShown << false << QStringList() << QByteArray();
    row("OK keeps an inserted row",
        "click 2 0, key Insert, type Karel, key Tab, type 25-12-1990, key Tab, ok")
        << QStringList{anna, "Karel|25-12-1990", bert, cees} << true << QStringList() << QByteArray();
    row("the next save writes what was kept, not what was cancelled",
        "click 2 0, key Insert, type Karel, key Tab, type 25-12-1990, key Tab, cancel, "
        "show, click 3 0, type Cora, key Return, ok, save")
        << QStringList{anna, bert, "Cora|25-12-2001|Geboorte"} << false
        << QStringList{"De wijzigingen zijn bewaard.|"}
        << QByteArray("12-05-1960;Anna;Geboorte;;;;;;;\r\n03-11-1982;Bert;Huwelijk;;;;;;;\r\n"
                      "25-12-2001;Cora;Geboorte;;;;;;;\r\n");

    // Typing after Insert goes into the new row's name.
    row("Insert at the end, then typing", "key Ctrl+End, key Insert, at 4 0, type Karel Ok, key Return")
        << QStringList{anna, bert, cees, "Karel Ok"} << false << QStringList() << QByteArray();
}

void TestEditForm::editWindowKeepsWhatWasTyped() {
    QFETCH(QString, steps);
    QFETCH(QStringList, records);
    QFETCH(bool, unsaved);
    QFETCH(QStringList, notes);
    QFETCH(QByteArray, saved);
    runSteps(steps);
    if (QTest::currentTestFailed())
        return;
    QCOMPARE(recordTexts(), records);
    QCOMPARE(m_data->unsavedChanges, unsaved);
    QCOMPARE(m_data->saveEnabled, unsaved);
    QStringList shown;
    for (const FakeUi::Note& n : m_ui->notes)
        shown << n.first + u'|' + n.second;
    QCOMPARE(shown, notes);
    if (!saved.isEmpty())
        QCOMPARE(ReadFileForTest(m_data->defaultFilePath()), saved);
}

void TestEditForm::gridKeyboard_data() {
    QTest::addColumn<QString>("steps");
    QTest::addColumn<QString>("name"); // of record 1 afterwards
    QTest::newRow("Tab from the last column goes to the next row")
        << QString("click 1 4, key Tab, at 2 0, focus BroltGrid") << "Anna";
    QTest::newRow("Shift+Tab from the first column goes to the row above")
        << QString("click 2 0, key Backtab, at 1 4") << "Anna";
    QTest::newRow("Tab and Shift+Tab pass the computed age")
        << QString("click 1 2, key Tab, at 1 4, key Backtab, at 1 2, key Right, at 1 4") << "Anna";
    QTest::newRow("End stops at the last column shown")
        << QString("click 1 0, key End, at 1 4, key Right, at 1 4") << "Anna";
    QTest::newRow("Ctrl+Tab leaves the grid") << QString("click 1 0, key Ctrl+Tab, left") << "Anna";
    QTest::newRow("Ctrl+Shift+Tab leaves the grid")
        << QString("click 1 0, key Ctrl+Shift+Tab, left") << "Anna";
    QTest::newRow("Ctrl+Tab keeps the cell being typed")
        << QString("click 1 0, type Annie, key Ctrl+Tab, left") << "Annie";
    QTest::newRow("Escape in the grid keeps the window open")
        << QString("click 1 0, key Escape, focus BroltGrid") << "Anna";
}

void TestEditForm::gridKeyboard() {
    QFETCH(QString, steps);
    QFETCH(QString, name);
    runSteps(steps);
    QVERIFY(m_form->isVisible());
    QCOMPARE(m_table->cell(1, Col::Name), name);
}

QTEST_MAIN(TestEditForm)
#include "tst_editform.moc"
