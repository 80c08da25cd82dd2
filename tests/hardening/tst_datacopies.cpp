#include "Main.h"
#include "TestKit.h"
#include "editing/Edit.h"
#include "exchange/ExchangeDialogs.h"
#include "kit/Clock.h"
#include "kit/Help.h"
#include "kit/Store.h"
#include "maintenance/LeesBackup.h"

#include <QAction>
#include <QDir>
#include <QProcess>
#include <QScopeGuard>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {
// Knows which note is still on the screen: reading a file closes the note shown.
class NoteUi : public FakeUi {
public:
    void showTimedMessage(int ms, const QString& first, const QString& second, const QRect& caller) override {
        FakeUi::showTimedMessage(ms, first, second, caller);
        shown = first + u'|' + second;
    }
    void closeTimedMessage() override { shown.clear(); }
    QString shown;
};

// The folder's files before each case, by what they hold.
const QMap<QString, QByteArray> contents{
    {"v1", "1950-01-01;Versie 1;Geboorte;;;;;;;\r\n"},
    {"v2", "1950-01-01;Versie 2;Geboorte;;;;;;;\r\n"},
    {"v3", "1960-05-12;Anna;Geboorte;;;;;;;\r\n1950-01-01;Nu;Feest;;;;;;;\r\n"},
    {"backup", "1950-01-01;Uit de backup;Geboorte;;;;;;;\r\n"},
    {"notities", "Mijn eigen aantekeningen\n"}};
const QMap<QString, QString> before{
    {"Brolt!!.dat", "v1"}, {"Brolt!.dat", "v2"}, {"Brolt.dat", "v3"}, {"Brolt.ics", "notities"}};

bool chattr(const QString& flag, const QString& path) {
    return QProcess::execute("chattr", {flag, path}) == 0;
}
} // namespace

// The data file and its two copies are the user's records: every path that
// writes beside them — saving, closing, the command line's import and export,
// the edit window's export, a restore — leaves all three byte for byte as they
// were when it fails, and loses no generation when it succeeds.
class TestDataCopies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() {
        m_home = std::make_unique<TempHome>();
        SetHelpMessageHandler([](const QString&) {});
        qputenv("BROLT_UPDATE_URL", "http://127.0.0.1:9/");
        Store::writeText(Keys::UpdatesCheck.name, "0");
        Clock::set(Noon(2024, 5, 14));
    }
    void everyPathKeepsTheFileAndItsCopies_data();
    void everyPathKeepsTheFileAndItsCopies();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestDataCopies::everyPathKeepsTheFileAndItsCopies_data() {
    QTest::addColumn<QString>("action");
    // A save step a test refuses, "chattr file" or "chattr folder" (made
    // immutable, which root cannot write either), or the export's target.
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QString>("said");    // the message, note or standard error; %D is the folder
    QTest::addColumn<QString>("changed"); // "file=what;..." that differ from before; none after a failure

    const QString folderRefused = "De wijzigingen zijn NIET bewaard.\nKan niet schrijven in %D";
    const QString fileRefused = "De wijzigingen zijn NIET bewaard.\n%DBrolt.dat kan niet worden vervangen.";
    QTest::newRow("Bewaren, no new file") << "Bewaren"
                                          << "CreateTemp" << folderRefused << "";
    QTest::newRow("Bewaren, disk full") << "Bewaren"
                                        << "WriteTemp" << folderRefused << "";
    QTest::newRow("Bewaren, no hold") << "Bewaren"
                                      << "HoldPrevious" << folderRefused << "";
    QTest::newRow("Bewaren, no rename") << "Bewaren"
                                        << "Replace" << fileRefused << "";
    QTest::newRow("Bewaren, immutable file") << "Bewaren"
                                             << "chattr file" << fileRefused << "";
    QTest::newRow("Bewaren, immutable folder") << "Bewaren"
                                               << "chattr folder" << folderRefused << "";
    QTest::newRow("closing, Ja, no rename") << "sluiten"
                                            << "Replace" << fileRefused << "";
    QTest::newRow("closing, Ja, immutable file") << "sluiten"
                                                 << "chattr file" << fileRefused << "";
    QTest::newRow("--import, immutable file")
        << "--import"
        << "chattr file"
        << "De gegevens kunnen niet worden bewaard in %DBrolt.dat; er is niets veranderd."
        << "";

    const QString isData = "Het bestand %D%1 is het Brolt-bestand of een reservekopie daarvan; de agenda "
                           "wordt daar niet geschreven.";
    const QString notACalendar =
        "Het bestand %DBrolt.ics bestaat al en is geen agenda (iCalendar); het wordt niet overschreven.";
    QTest::newRow("--export-ics onto Brolt.dat") << "--export-ics"
                                                 << "Brolt.dat" << isData.arg("Brolt.dat") << "";
    QTest::newRow("--export-ics onto Brolt!!.dat") << "--export-ics"
                                                   << "Brolt!!.dat" << isData.arg("Brolt!!.dat") << "";
    QTest::newRow("--export-ics onto Brolt.dat, linked folder")
        << "--export-ics"
        << "link/Brolt.dat" << isData.arg("link/Brolt.dat") << "";
    QTest::newRow("--export-ics onto notes") << "--export-ics"
                                             << "Brolt.ics" << notACalendar << "";
    QTest::newRow("--export-ics, a new calendar") << "--export-ics"
                                                  << "nieuw.ics"
                                                  << ""
                                                  << "nieuw.ics=agenda";
    QTest::newRow("Exporteer agenda..., onto notes") << "Exporteer agenda..."
                                                     << ""
                                                     << "Exporteer agenda|" + notACalendar << "";

    const QString restored =
        "De volgende bestanden zijn hersteld:\r\n- %DBrolt.dat,\r\nHet vervangen bestand is "
        "bewaard als:\r\n- %DBrolt voor herstel 2024-05-14%1.dat|";
    QTest::newRow("Lees Backup") << "Lees Backup"
                                 << "" << restored.arg("")
                                 << "Brolt.dat=backup;Brolt voor herstel 2024-05-14.dat=v3";
    QTest::newRow("Lees Backup twice a day") << "Lees Backup"
                                             << "twice" << restored.arg(" (2)")
                                             << "Brolt.dat=backup;Brolt voor herstel 2024-05-14.dat=v3;Brolt "
                                                "voor herstel 2024-05-14 (2).dat=backup";
}

void TestDataCopies::everyPathKeepsTheFileAndItsCopies() {
    QFETCH(QString, action);
    QFETCH(QString, failure);
    QFETCH(QString, said);
    QFETCH(QString, changed);
    NoteUi ui;
    const QString folder = m_home->path() + u'/' + QTest::currentDataTag() + u'/';
    for (auto file = before.begin(); file != before.end(); ++file)
        WriteFileForTest(folder + file.key(), contents[file.value()]);
    Store::writeText(Keys::NameOfFile.name, folder + "Brolt.dat");
    const QString immutable = failure == "chattr file"     ? folder + "Brolt.dat"
                              : failure == "chattr folder" ? folder
                                                           : "";
    if (!immutable.isEmpty() && !chattr("+i", immutable))
        QSKIP("chattr +i is not possible here (not root, or a file system without it)");
    const auto undo = qScopeGuard([&] {
        if (!immutable.isEmpty())
            chattr("-i", immutable);
    });

    QString heard;
    if (action.startsWith("--")) {
        WriteFileForTest(m_home->path() + "/kaarten.vcf",
                         "BEGIN:VCARD\r\nFN:Kees\r\nBDAY:19700403\r\nEND:VCARD\r\n");
        QFile::link(folder, folder + "link");
        QProcess brolt;
        brolt.start(BROLT_PROGRAM_DIR "/Brolt",
                    {action, action == "--import" ? m_home->path() + "/kaarten.vcf" : folder + failure,
                     "--file", folder + "Brolt.dat"});
        QVERIFY(brolt.waitForFinished(30000));
        QCOMPARE(brolt.exitCode(), said.isEmpty() ? 0 : 1);
        heard = QString::fromUtf8(brolt.readAllStandardError()).trimmed();
        QFile::remove(folder + "link");
    } else {
        TMainForm form({"Brolt"});
        form.setProgramFile("Brolt");
        form.show();
        form.FormPaint();
        const int step = QStringList{"CreateTemp", "WriteTemp", "HoldPrevious", "Replace"}.indexOf(failure);
        if (step >= 0)
            form.dataFile().refuseSaveStep = [step](DataFile::SaveStep s) { return int(s) == step; };
        if (action == "Bewaren" || action == "sluiten") {
            form.records().setCell(1, Col::Phone, "010-1234567");
            form.dataFile().unsavedChanges = true;
            form.FormResize();
            if (action == "Bewaren")
                QTest::mouseClick(form.findChild<QToolButton*>("SpeedSave"), Qt::LeftButton);
            else
                QVERIFY(!form.close()); // the window stays, with the changes
            QVERIFY(form.isVisible() && form.findChild<QToolButton*>("SpeedSave")->isEnabled());
            QCOMPARE(form.records().cell(1, Col::Phone), QString("010-1234567"));
            heard = ui.messages.join(u'\n');
            form.dataFile().unsavedChanges = false;
        } else if (action == "Exporteer agenda...") {
            ui.nextAnswer(true); // "Bestand"
            ui.nextBrowse(folder);
            form.editForm()->exchangeButtons()->ExportCalendarClick();
            heard = ui.shown;
        } else {
            WriteFileForTest(m_home->path() + "/usb/Brolt.dat", contents["backup"]);
            for (int n = failure == "twice" ? 2 : 1; n > 0; --n) {
                ui.nextBrowse(m_home->path() + "/usb/Brolt.dat");
                form.findChild<QAction*>("LeesBackup1")->trigger();
                form.findChild<TLeesBackupForm*>()->BtnOKClick();
            }
            QCOMPARE(form.records().cell(1, Col::Name), QString("Uit de backup"));
            heard = ui.shown; // the report, still to be read
        }
    }
    QCOMPARE(heard, said.replace("%D", folder));

    // Every data file, copy, leftover of a save and calendar of the folder.
    QMap<QString, QString> expected = before;
    for (const QString& file : changed.split(u';', Qt::SkipEmptyParts))
        expected[file.section(u'=', 0, 0)] = file.section(u'=', 1);
    QMap<QString, QString> found;
    for (const QString& name : QDir(folder).entryList({"*.dat", "*.tmp", "*.ics"}, QDir::Files)) {
        const QByteArray bytes = ReadFileForTest(folder + name);
        found[name] =
            bytes.startsWith("BEGIN:VCALENDAR") ? "agenda" : contents.key(bytes, QString::fromUtf8(bytes));
    }
    QCOMPARE(found, expected);
}

QTEST_MAIN(TestDataCopies)
#include "tst_datacopies.moc"
