#include "Main.h"
#include "TestKit.h"
#include "WindowKit.h"
#include "kit/Clock.h"
#include "kit/Help.h"
#include "kit/Store.h"
#include "settings/Options.h"
#include "settings/Working.h"

#include <QAction>
#include <QButtonGroup>
#include <QCheckBox>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QRadioButton>
#include <QTableView>
#include <QTest>
#include <QToolButton>

#include <string_view>

namespace {
const QByteArray records = "1950-05-12;Kees;Geboorte;;;;;;;\r\n"
                           "1990-02-14;Sanne;Geboorte;;;;;;;\r\n"
                           "1958-09-19;Anna;Geboorte;;;;;;;\r\n";
const QByteArray carla = "2001-02-03;Carla;Geboorte;;;;;;;\r\n";
} // namespace

// The options and the lists change the records and the file only as the user
// asks: a header click is the options' sort choice, a new data folder gets no
// file nobody saved, "Annuleren" brings back what is stored, and a list that
// re-sorted the records counts as a change.
class TestAsAsked : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        m_home = std::make_unique<TempHome>();
        SetHelpMessageHandler([](const QString&) {});
        qputenv("BROLT_UPDATE_URL", "http://127.0.0.1:9/");
        Clock::set(Noon(2024, 5, 14));
    }
    void optionsAndListsChangeOnlyWhatIsAsked_data();
    void optionsAndListsChangeOnlyWhatIsAsked();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestAsAsked::optionsAndListsChangeOnlyWhatIsAsked_data() {
    // "changed" (an edit in hand), "waiting" (the new folder holds Carla's
    // Brolt.dat), then the steps in the edit window (closed with OK) and in
    // the options window.
    QTest::addColumn<QStringList>("steps");
    QTest::addColumn<QString>("after"); // what the user sees, and the new folder's Brolt.dat
    QTest::newRow("a header click is the options' choice: their OK saves nothing")
        << QStringList{"edit:header Datum", "options:BtnOK"}
        << "Sorteren op Datum | Save aan | 3 namen gelezen. | Uitgebreid uit | nieuw: -";
    QTest::newRow("the year calendar re-sorted the records: a change")
        << QStringList{"edit:Jaarkalender"}
        << "Sorteren op Naam | Save aan | 3 namen gelezen. | Uitgebreid uit | nieuw: -";
    QTest::newRow("the list of all names re-sorted the records: a change")
        << QStringList{"edit:Alle namen"}
        << "Sorteren op Naam | Save aan | 3 namen gelezen. | Uitgebreid uit | nieuw: -";
    QTest::newRow("a new folder without copying gets nothing nobody saved")
        << QStringList{"options:geen kopie", "options:nieuwe map", "options:BtnOK"}
        << "Sorteren op Naam | Save aan | 3 namen gelezen. | Uitgebreid uit | nieuw: -";
    QTest::newRow("a new folder with copying gets the file as it is")
        << QStringList{"changed", "options:nieuwe map", "options:BtnOK"}
        << "Sorteren op Naam | Save aan | 3 namen gelezen. | Uitgebreid uit | nieuw: 3 namen";
    QTest::newRow("a new folder's own file is read, and the window says so")
        << QStringList{"waiting", "options:geen kopie", "options:nieuwe map", "options:BtnOK"}
        << "Sorteren op Naam | Save uit | 1 namen gelezen. | Uitgebreid uit | nieuw: Carla";
    QTest::newRow("changes in hand are kept, not read over")
        << QStringList{"changed", "waiting", "options:geen kopie", "options:nieuwe map", "options:BtnOK"}
        << "Sorteren op Naam | Save aan | 3 namen gelezen. | Uitgebreid uit | nieuw: Carla";
    QTest::newRow("changes in hand are not saved over the new folder's own file unasked")
        << QStringList{"changed",       "waiting",           "options:geen kopie", "options:nieuwe map",
                       "options:BtnOK", "save, answered Nee"}
        << "Sorteren op Naam | Save uit | 3 namen gelezen. | Uitgebreid uit | nieuw: Carla";
    QTest::newRow("Annuleren brings back the stored Uitgebreid")
        << QStringList{"options:Uitgebreide Editor", "options:BtnCancel"}
        << "Sorteren op Naam | Save uit | 3 namen gelezen. | Uitgebreid uit | nieuw: -";
    QTest::newRow("OK stores Uitgebreid")
        << QStringList{"options:Uitgebreide Editor", "options:BtnOK"}
        << "Sorteren op Naam | Save uit | 3 namen gelezen. | Uitgebreid aan | nieuw: -";
}

void TestAsAsked::optionsAndListsChangeOnlyWhatIsAsked() {
    QFETCH(QStringList, steps);
    QFETCH(QString, after);
    FakeUi ui;
    Working() = WorkingSettings{};
    for (const StoreKey& key : {Keys::UitgebreidCheck, Keys::TimerAan, Keys::UpdatesCheck})
        Store::writeText(key.name, "0");
    Store::writeText(Keys::CopyFiles.name, "1");
    const QString folder = m_home->path() + u'/' + QTest::currentDataTag() + "/oud/";
    const QString newFolder = m_home->path() + u'/' + QTest::currentDataTag() + "/nieuw/";
    WriteFileForTest(folder + "Brolt.dat", records);
    QDir().mkpath(newFolder);
    if (steps.contains("waiting"))
        WriteFileForTest(newFolder + "Brolt.dat", carla);
    Store::writeText(Keys::NameOfFile.name, folder + "Brolt.dat");

    TMainForm form({"Brolt"});
    form.setProgramFile("Brolt");
    form.show();
    form.FormPaint();
    if (steps.contains("changed")) {
        form.records().setCell(1, Col::Phone, "010-1234567");
        form.dataFile().unsavedChanges = true;
        form.FormResize();
    }
    for (const char* window : {"edit", "options"}) {
        QStringList actions =
            steps.filter(QString(window) + u':').replaceInStrings(QString(window) + u':', "");
        if (actions.isEmpty())
            continue;
        if (window == std::string_view("edit"))
            actions << "BtnOK";
        whenShown([&] {
            QWidget* w = QApplication::activeModalWidget();
            for (const QString& action : actions) {
                if (action == "header Datum") {
                    QHeaderView* header = child<QTableView>(w, "BroltGrid")->horizontalHeader();
                    QTest::mouseClick(
                        header->viewport(), Qt::LeftButton, {},
                        {header->sectionViewportPosition(Col::Date) + 20, header->height() / 2});
                } else if (action == "Jaarkalender" || action == "Alle namen") {
                    whenShown([] { QApplication::activeModalWidget()->close(); });
                    w->findChild<QAction*>(action == "Jaarkalender" ? "YearCalendar" : "AllNames")->trigger();
                } else if (action == "geen kopie") {
                    child<QCheckBox>(w, "CheckCopy")->setChecked(false);
                } else if (action == "nieuwe map") {
                    child<QLineEdit>(w, "PathEdit")->selectAll();
                    QTest::keyClicks(child<QLineEdit>(w, "PathEdit"), newFolder);
                } else if (action == "Uitgebreide Editor") {
                    QTest::mouseClick(child<QCheckBox>(w, "CheckUitgebreid"), Qt::LeftButton, {}, {10, 10});
                } else {
                    QTest::mouseClick(w->findChild<QAbstractButton*>(action), Qt::LeftButton);
                }
            }
        });
        QTest::mouseClick(
            form.findChild<QToolButton*>(window == std::string_view("edit") ? "SpeedEdit" : "SpeedOptions"),
            Qt::LeftButton);
    }

    QStringList asked;
    if (steps.contains("save, answered Nee")) {
        ui.nextAnswer(false);
        QTest::mouseClick(form.findChild<QToolButton*>("SpeedSave"), Qt::LeftButton);
        for (const auto& question : std::as_const(ui.questions))
            asked << question.message;
        ui.questions.clear();
        QCOMPARE(asked,
                 QStringList{"Pas op ! U gaat het standaardbestand Brolt.dat overschrijven. Wilt U toch "
                             "de wijzigingen bewaren?"});
    }
    QVERIFY(ui.questions.isEmpty() && ui.messages.isEmpty());
    QCOMPARE(ReadFileForTest(folder + "Brolt.dat"), records);
    const auto* sortChoice = qobject_cast<QRadioButton*>(
        form.optionsForm()->findChild<QWidget*>("RadioSorteer")->findChild<QButtonGroup*>()->checkedButton());
    QCOMPARE(Working().sortOrder, sortChoice->objectName().right(1).toInt());
    const bool uitgebreid =
        form.findChild<QWidget*>("ToolPanel")->findChild<QCheckBox*>("CheckUitgebreid")->isChecked();
    QCOMPARE(Working().uitgebreid, uitgebreid);
    QCOMPARE(Store::readBool(Keys::UitgebreidCheck), uitgebreid);
    const QByteArray inNewFolder = ReadFileForTest(newFolder + "Brolt.dat");
    const QString state = QString(sortChoice->text()).remove(u'&') + " | Save " +
                          (form.findChild<QToolButton*>("SpeedSave")->isEnabled() ? "aan" : "uit") + " | " +
                          form.findChild<QLabel*>("AantalLabel")->text() + " | Uitgebreid " +
                          (uitgebreid ? "aan" : "uit") + " | nieuw: " +
                          (inNewFolder.isEmpty()  ? "-"
                           : inNewFolder == carla ? "Carla"
                                                  : QString::number(inNewFolder.count('\n')) + " namen");
    QCOMPARE(state, after);
    QCOMPARE(form.records().recordCount(), after.section(" | ", 2, 2).section(u' ', 0, 0).toInt());
    form.dataFile().unsavedChanges = false;
}

QTEST_MAIN(TestAsAsked)
#include "tst_asasked.moc"
