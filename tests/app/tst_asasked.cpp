#include "Main.h"
#include "TestKit.h"
#include "WindowKit.h"
#include "editing/Edit.h"
#include "kit/Clock.h"
#include "kit/Help.h"
#include "kit/Store.h"
#include "settings/Options.h"
#include "settings/Working.h"

#include <QAction>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <memory>

// The options and the lists change the records and the file only as the user
// asks: a header click is the options' sort choice, a new data folder gets no
// file nobody saved, "Annuleren" brings back what is stored, and a list that
// re-sorted the records counts as a change.
class TestAsAsked : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void optionsAndListsChangeOnlyWhatIsAsked_data();
    void optionsAndListsChangeOnlyWhatIsAsked();

private:
    // Runs `actions` in the window that `button` of the main window opens.
    void inWindow(TMainForm& form, const char* button, const QStringList& actions);
    void act(QWidget* window, const QString& action);

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<FakeUi> m_ui;
    QString m_folder, m_newFolder;
};

namespace {
const QByteArray records = "1950-05-12;Kees;Geboorte;;;;;;;\r\n"
                           "1990-02-14;Sanne;Geboorte;;;;;;;\r\n"
                           "1958-09-19;Anna;Geboorte;;;;;;;\r\n";
const QByteArray carla = "2001-02-03;Carla;Geboorte;;;;;;;\r\n";
} // namespace

void TestAsAsked::initTestCase() {
    m_home = std::make_unique<TempHome>();
    SetHelpMessageHandler([](const QString&) {});
    qputenv("BROLT_UPDATE_URL", "http://127.0.0.1:9/");
}

void TestAsAsked::init() {
    m_ui = std::make_unique<FakeUi>();
    Clock::set(Noon(2024, 5, 14));
    Working() = WorkingSettings{};
    Store::writeText(Keys::SorteerOp.name, QStringLiteral("0"));
    Store::writeText(Keys::UitgebreidCheck.name, QStringLiteral("0"));
    Store::writeText(Keys::CopyFiles.name, QStringLiteral("1"));
    Store::writeText(Keys::TimerAan.name, QStringLiteral("0"));
    Store::writeText(Keys::UpdatesCheck.name, QStringLiteral("0"));
    m_folder = m_home->path() + u'/' + QTest::currentDataTag() + QStringLiteral("/oud/");
    m_newFolder = m_home->path() + u'/' + QTest::currentDataTag() + QStringLiteral("/nieuw/");
    WriteFileForTest(m_folder + "Brolt.dat", records);
    QDir().mkpath(m_newFolder);
    Store::writeText(Keys::NameOfFile.name, m_folder + "Brolt.dat");
}

void TestAsAsked::cleanup() {
    m_ui.reset();
    Clock::set({});
}

void TestAsAsked::act(QWidget* window, const QString& action) {
    if (action == "header Datum") {
        QHeaderView* header = child<QTableView>(window, "BroltGrid")->horizontalHeader();
        const QPoint at(header->sectionViewportPosition(Col::Date) + header->sectionSize(Col::Date) / 2,
                        header->height() / 2);
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, at);
    } else if (action == "Jaarkalender" || action == "Alle namen") {
        whenShown([] { QApplication::activeModalWidget()->close(); });
        window->findChild<QAction*>(action == "Jaarkalender" ? "YearCalendar" : "AllNames")->trigger();
    } else if (action == "geen kopie") {
        child<QCheckBox>(window, "CheckCopy")->setChecked(false);
    } else if (action == "nieuwe map") {
        auto* path = child<QLineEdit>(window, "PathEdit");
        path->setFocus();
        path->selectAll();
        QTest::keyClicks(path, m_newFolder);
    } else if (action == "Uitgebreide Editor") {
        auto* box = child<QCheckBox>(window, "CheckUitgebreid");
        QTest::mouseClick(box, Qt::LeftButton, {}, QPoint(10, box->height() / 2)); // on the box itself
    } else {
        QTest::mouseClick(window->findChild<QAbstractButton*>(action), Qt::LeftButton);
    }
}

void TestAsAsked::inWindow(TMainForm& form, const char* button, const QStringList& actions) {
    whenShown([this, actions] {
        QWidget* window = QApplication::activeModalWidget();
        for (const QString& action : actions)
            act(window, action);
    });
    QTest::mouseClick(form.findChild<QToolButton*>(button), Qt::LeftButton);
}

void TestAsAsked::optionsAndListsChangeOnlyWhatIsAsked_data() {
    QTest::addColumn<bool>("changed");        // a change in hand before the steps
    QTest::addColumn<QByteArray>("waiting");  // Brolt.dat already in the new folder; null: none
    QTest::addColumn<QStringList>("edit");    // steps in the edit window, then OK; empty: not opened
    QTest::addColumn<QStringList>("options"); // steps in the options window, ending with its button
    QTest::addColumn<int>("sortChoice");
    QTest::addColumn<bool>("saveEnabled");
    QTest::addColumn<QString>("count");          // the status line
    QTest::addColumn<QByteArray>("inNewFolder"); // null: no Brolt.dat there
    QTest::addColumn<bool>("uitgebreid");

    const QStringList none;
    const QByteArray noFile;
    QTest::newRow("a header click is the options' choice: their OK saves nothing")
        << false << noFile << QStringList{"header Datum"} << QStringList{"BtnOK"} << 1 << true
        << "3 namen gelezen." << noFile << false;
    QTest::newRow("the year calendar re-sorted the records: a change")
        << false << noFile << QStringList{"Jaarkalender"} << none << 0 << true << "3 namen gelezen." << noFile
        << false;
    QTest::newRow("the list of all names re-sorted the records: a change")
        << false << noFile << QStringList{"Alle namen"} << none << 0 << true << "3 namen gelezen." << noFile
        << false;
    QTest::newRow("a new folder without copying gets nothing nobody saved")
        << false << noFile << none << QStringList{"geen kopie", "nieuwe map", "BtnOK"} << 0 << true
        << "3 namen gelezen." << noFile << false;
    QTest::newRow("a new folder with copying gets the file as it is")
        << true << noFile << none << QStringList{"nieuwe map", "BtnOK"} << 0 << true << "3 namen gelezen."
        << records << false;
    QTest::newRow("a new folder's own file is read, and the window says so")
        << false << carla << none << QStringList{"geen kopie", "nieuwe map", "BtnOK"} << 0 << false
        << "1 namen gelezen." << carla << false;
    QTest::newRow("changes in hand are kept, not read over")
        << true << carla << none << QStringList{"geen kopie", "nieuwe map", "BtnOK"} << 0 << true
        << "3 namen gelezen." << carla << false;
    QTest::newRow("Annuleren brings back the stored Uitgebreid")
        << false << noFile << none << QStringList{"Uitgebreide Editor", "BtnCancel"} << 0 << false
        << "3 namen gelezen." << noFile << false;
    QTest::newRow("OK stores Uitgebreid")
        << false << noFile << none << QStringList{"Uitgebreide Editor", "BtnOK"} << 0 << false
        << "3 namen gelezen." << noFile << true;
}

void TestAsAsked::optionsAndListsChangeOnlyWhatIsAsked() {
    QFETCH(bool, changed);
    QFETCH(QByteArray, waiting);
    QFETCH(QStringList, edit);
    QFETCH(QStringList, options);
    QFETCH(int, sortChoice);
    QFETCH(bool, saveEnabled);
    QFETCH(QString, count);
    QFETCH(QByteArray, inNewFolder);
    QFETCH(bool, uitgebreid);
    if (!waiting.isNull())
        WriteFileForTest(m_newFolder + "Brolt.dat", waiting);

    auto form = std::make_unique<TMainForm>(QStringList{"Brolt"});
    form->setProgramFile("Brolt");
    form->show();
    form->FormPaint();
    if (changed) {
        form->records().setCell(1, Col::Phone, "010-1234567");
        form->dataFile().unsavedChanges = true;
        form->FormResize();
    }
    if (!edit.isEmpty())
        inWindow(*form, "SpeedEdit", edit + QStringList{"BtnOK"});
    if (!options.isEmpty())
        inWindow(*form, "SpeedOptions", options);

    QVERIFY(m_ui->questions.isEmpty());
    QVERIFY(m_ui->messages.isEmpty());
    QCOMPARE(ReadFileForTest(m_folder + "Brolt.dat"), records);
    QCOMPARE(ReadFileForTest(m_newFolder + "Brolt.dat"), inNewFolder);
    QVERIFY(child<QRadioButton>(form->optionsForm(), qPrintable(QString("RadioSorteer_%1").arg(sortChoice)))
                ->isChecked());
    QCOMPARE(Working().sortOrder, sortChoice);
    QCOMPARE(form->findChild<QToolButton*>("SpeedSave")->isEnabled(), saveEnabled);
    QCOMPARE(form->findChild<QLabel*>("AantalLabel")->text(), count);
    QCOMPARE(form->records().recordCount(), count.section(u' ', 0, 0).toInt());
    QCOMPARE(form->findChild<QWidget*>("ToolPanel")->findChild<QCheckBox*>("CheckUitgebreid")->isChecked(),
             uitgebreid);
    QCOMPARE(Store::readBool(Keys::UitgebreidCheck), uitgebreid);
    QCOMPARE(Working().uitgebreid, uitgebreid);
    form->dataFile().unsavedChanges = false;
}

QTEST_MAIN(TestAsAsked)
#include "tst_asasked.moc"
