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
    void closeTimedMessage() override {
        FakeUi::closeTimedMessage();
        shown.clear();
    }
    QString shown;
};
} // namespace

// The data file and its two copies are the user's records: every path that
// writes beside them — saving, closing, the command line's import and export,
// the edit window's export, a restore — leaves all three byte for byte as they
// were when it fails, and loses no generation when it succeeds.
class TestDataCopies : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void everyPathKeepsTheFileAndItsCopies_data();
    void everyPathKeepsTheFileAndItsCopies();

private:
    // "name=what" for every file of the folder, what named by its contents.
    QStringList folderState() const;
    bool chattr(const QString& flag, const QString& path);
    QStringList runBrolt(const QStringList& arguments, int& exitCode);

    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<NoteUi> m_ui;
    QString m_folder;
    QStringList m_immutable;
};

namespace {
const QByteArray v1 = "1950-01-01;Versie 1;Geboorte;;;;;;;\r\n";
const QByteArray v2 = "1950-01-01;Versie 2;Geboorte;;;;;;;\r\n";
const QByteArray v3 = "1960-05-12;Anna;Geboorte;;;;;;;\r\n1950-01-01;Versie 3;Geboorte;;;;;;;\r\n";
const QByteArray fromBackup = "1950-01-01;Uit de backup;Geboorte;;;;;;;\r\n";
const QByteArray notes = "Mijn eigen aantekeningen\n";

const QStringList untouched{"Brolt!!.dat=v1", "Brolt!.dat=v2", "Brolt.dat=v3", "Brolt.ics=notities"};

QString what(const QByteArray& bytes) {
    if (bytes == v1)
        return "v1";
    if (bytes == v2)
        return "v2";
    if (bytes == v3)
        return "v3";
    if (bytes == fromBackup)
        return "backup";
    if (bytes == notes)
        return "notities";
    if (bytes.startsWith("BEGIN:VCALENDAR") && bytes.contains("SUMMARY:Anna: verjaardag (1960)"))
        return "agenda";
    return "? " + QString::fromUtf8(bytes);
}
} // namespace

void TestDataCopies::initTestCase() {
    m_home = std::make_unique<TempHome>();
    SetHelpMessageHandler([](const QString&) {});
    qputenv("BROLT_UPDATE_URL", "http://127.0.0.1:9/");
}

void TestDataCopies::init() {
    m_ui = std::make_unique<NoteUi>();
    Clock::set(Noon(2024, 5, 14));
    Store::writeText(Keys::TimerAan.name, QStringLiteral("0"));
    Store::writeText(Keys::UpdatesCheck.name, QStringLiteral("0"));
    m_folder = m_home->path() + u'/' + QTest::currentDataTag() + u'/';
    WriteFileForTest(m_folder + "Brolt!!.dat", v1);
    WriteFileForTest(m_folder + "Brolt!.dat", v2);
    WriteFileForTest(m_folder + "Brolt.dat", v3);
    WriteFileForTest(m_folder + "Brolt.ics", notes);
    Store::writeText(Keys::NameOfFile.name, m_folder + "Brolt.dat");
}

void TestDataCopies::cleanup() {
    for (const QString& path : std::as_const(m_immutable))
        chattr("-i", path);
    m_immutable.clear();
    m_ui.reset();
    Clock::set({});
}

QStringList TestDataCopies::folderState() const {
    QStringList state;
    const QDir dir(m_folder);
    // The data files, their copies, what a save leaves behind and the calendars.
    for (const QString& name :
         dir.entryList({"*.dat", "*.tmp", "*.ics"}, QDir::Files | QDir::Hidden, QDir::Name))
        state << name + u'=' + what(ReadFileForTest(m_folder + name));
    return state;
}

bool TestDataCopies::chattr(const QString& flag, const QString& path) {
    QProcess p;
    p.start("chattr", {flag, path});
    const bool ok = p.waitForFinished(10000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
    if (ok && flag == "+i")
        m_immutable << path;
    return ok;
}

QStringList TestDataCopies::runBrolt(const QStringList& arguments, int& exitCode) {
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove("DISPLAY");
    env.remove("WAYLAND_DISPLAY");
    env.remove("QT_QPA_PLATFORM");
    p.setProcessEnvironment(env);
    p.start(QString(BROLT_PROGRAM_DIR) + "/Brolt", arguments);
    if (!p.waitForFinished(30000))
        return {"timeout"};
    exitCode = p.exitCode();
    return QString::fromUtf8(p.readAllStandardError()).split(u'\n', Qt::SkipEmptyParts);
}

void TestDataCopies::everyPathKeepsTheFileAndItsCopies_data() {
    QTest::addColumn<QString>("action");
    // A save step a test refuses, "chattr file" or "chattr folder" (made
    // immutable, which root cannot write either), or the export's target.
    QTest::addColumn<QString>("failure");
    QTest::addColumn<QStringList>("said"); // the messages, or standard error; %D is the folder
    QTest::addColumn<QStringList>("after");

    const QString notSaved = "De wijzigingen zijn NIET bewaard.\n%1";
    const QString folderRefused = notSaved.arg("Kan niet schrijven in %D");
    const QString fileRefused = notSaved.arg("%DBrolt.dat kan niet worden vervangen.");
    QTest::newRow("Bewaren, the new file cannot be made")
        << "Bewaren"
        << "CreateTemp" << QStringList{folderRefused} << untouched;
    QTest::newRow("Bewaren, the disk is full") << "Bewaren"
                                               << "WriteTemp" << QStringList{folderRefused} << untouched;
    QTest::newRow("Bewaren, the file cannot be kept")
        << "Bewaren"
        << "HoldPrevious" << QStringList{folderRefused} << untouched;
    QTest::newRow("Bewaren, the rename is refused") << "Bewaren"
                                                    << "Replace" << QStringList{fileRefused} << untouched;
    QTest::newRow("Bewaren, Brolt.dat immutable") << "Bewaren"
                                                  << "chattr file" << QStringList{fileRefused} << untouched;
    QTest::newRow("Bewaren, folder immutable") << "Bewaren"
                                               << "chattr folder" << QStringList{folderRefused} << untouched;
    QTest::newRow("closing, Ja, the rename is refused") << "sluiten"
                                                        << "Replace" << QStringList{fileRefused} << untouched;
    QTest::newRow("closing, Ja, Brolt.dat immutable")
        << "sluiten"
        << "chattr file" << QStringList{fileRefused} << untouched;
    QTest::newRow("--import, Brolt.dat immutable")
        << "--import"
        << "chattr file"
        << QStringList{"De gegevens kunnen niet worden bewaard in %DBrolt.dat; er is niets veranderd."}
        << untouched;

    const QString isData = "Het bestand %D%1 is het Brolt-bestand of een reservekopie daarvan; de agenda "
                           "wordt daar niet geschreven.";
    QTest::newRow("--export-ics onto Brolt.dat")
        << "--export-ics"
        << "Brolt.dat" << QStringList{isData.arg("Brolt.dat")} << untouched;
    QTest::newRow("--export-ics onto Brolt!!.dat")
        << "--export-ics"
        << "Brolt!!.dat" << QStringList{isData.arg("Brolt!!.dat")} << untouched;
    QTest::newRow("--export-ics onto Brolt.dat through a link to the folder")
        << "--export-ics"
        << "link/Brolt.dat" << QStringList{isData.arg("link/Brolt.dat")} << untouched;
    QTest::newRow("--export-ics onto notes")
        << "--export-ics"
        << "Brolt.ics"
        << QStringList{"Het bestand %DBrolt.ics bestaat al en is geen agenda (iCalendar); het wordt niet "
                       "overschreven."}
        << untouched;
    QTest::newRow("--export-ics to a new calendar")
        << "--export-ics"
        << "nieuw.ics" << QStringList{} << untouched + QStringList{"nieuw.ics=agenda"};
    QTest::newRow("Exporteer agenda... onto notes")
        << "Exporteer agenda..."
        << "Brolt.ics"
        << QStringList{"Exporteer agenda|Het bestand %DBrolt.ics bestaat al en is geen agenda (iCalendar); "
                       "het "
                       "wordt niet overschreven."}
        << untouched;

    QTest::newRow("Lees Backup of Brolt.dat")
        << "Lees Backup" << QString()
        << QStringList{"De volgende bestanden zijn hersteld:\r\n- %DBrolt.dat,\r\nHet vervangen bestand is "
                       "bewaard "
                       "als:\r\n- %DBrolt voor herstel 2024-05-14.dat|"}
        << QStringList{"Brolt voor herstel 2024-05-14.dat=v3", "Brolt!!.dat=v1", "Brolt!.dat=v2",
                       "Brolt.dat=backup", "Brolt.ics=notities"};
    QTest::newRow("Lees Backup twice on one day")
        << "Lees Backup"
        << "twice"
        << QStringList{"De volgende bestanden zijn hersteld:\r\n- %DBrolt.dat,\r\nHet vervangen bestand is "
                       "bewaard "
                       "als:\r\n- %DBrolt voor herstel 2024-05-14 (2).dat|"}
        << QStringList{"Brolt voor herstel 2024-05-14 (2).dat=backup",
                       "Brolt voor herstel 2024-05-14.dat=v3",
                       "Brolt!!.dat=v1",
                       "Brolt!.dat=v2",
                       "Brolt.dat=backup",
                       "Brolt.ics=notities"};
}

void TestDataCopies::everyPathKeepsTheFileAndItsCopies() {
    QFETCH(QString, action);
    QFETCH(QString, failure);
    QFETCH(QStringList, said);
    QFETCH(QStringList, after);
    said.replaceInStrings("%D", m_folder);

    if (failure.startsWith("chattr")) {
        const QString path = failure == "chattr file" ? m_folder + "Brolt.dat" : m_folder;
        if (!chattr("+i", path))
            QSKIP("chattr +i is not possible here (not root, or a file system without it)");
    }
    const QMap<QString, DataFile::SaveStep> steps{{"CreateTemp", DataFile::SaveStep::CreateTemp},
                                                  {"WriteTemp", DataFile::SaveStep::WriteTemp},
                                                  {"HoldPrevious", DataFile::SaveStep::HoldPrevious},
                                                  {"Replace", DataFile::SaveStep::Replace}};

    QStringList heard;
    if (action.startsWith("--")) {
        QStringList arguments{action};
        if (action == "--import") {
            WriteFileForTest(m_home->path() + "/kaarten.vcf",
                             "BEGIN:VCARD\r\nFN:Kees\r\nBDAY:19700403\r\nEND:VCARD\r\n");
            arguments << m_home->path() + "/kaarten.vcf";
        } else {
            QVERIFY(QFile::link(m_folder, m_folder + "link") || QFileInfo(m_folder + "link").isSymLink());
            arguments << m_folder + failure;
        }
        arguments << "--file" << m_folder + "Brolt.dat";
        int exitCode = -1;
        heard = runBrolt(arguments, exitCode);
        QCOMPARE(exitCode, said.isEmpty() ? 0 : 1);
        QFile::remove(m_folder + "link");
    } else {
        auto form = std::make_unique<TMainForm>(QStringList{"Brolt"});
        form->setProgramFile("Brolt");
        form->show();
        form->FormPaint();
        DataFile& data = form->dataFile();
        if (steps.contains(failure))
            data.refuseSaveStep = [step = steps[failure]](DataFile::SaveStep s) { return s == step; };
        if (action == "Bewaren" || action == "sluiten") {
            form->records().setCell(1, Col::Phone, "010-1234567");
            data.unsavedChanges = true;
            form->FormResize();
            if (action == "Bewaren") {
                QTest::mouseClick(form->findChild<QToolButton*>("SpeedSave"), Qt::LeftButton);
            } else {
                m_ui->nextAnswer(true);
                QVERIFY(!form->close()); // the window stays, with the changes
                QVERIFY(form->isVisible());
            }
            QVERIFY(data.unsavedChanges);
            QVERIFY(form->findChild<QToolButton*>("SpeedSave")->isEnabled());
            QCOMPARE(form->records().cell(1, Col::Phone), QString("010-1234567"));
            heard = m_ui->messages;
            data.unsavedChanges = false;
        } else if (action == "Exporteer agenda...") {
            m_ui->nextAnswer(true); // "Bestand"
            m_ui->nextBrowse(m_folder);
            form->editForm()->exchangeButtons()->ExportCalendarClick();
            heard << m_ui->shown;
        } else {
            const QString backup = m_home->path() + "/usb/Brolt/2024-05-01/";
            WriteFileForTest(backup + "Brolt.dat", fromBackup);
            for (int n = failure == "twice" ? 2 : 1; n > 0; --n) {
                m_ui->nextBrowse(backup + "Brolt.dat");
                form->findChild<QAction*>("LeesBackup1")->trigger();
                form->findChild<TLeesBackupForm*>()->BtnOKClick();
            }
            QCOMPARE(form->records().cell(1, Col::Name), QString("Uit de backup"));
            heard << m_ui->shown; // the report, still to be read
        }
    }
    QCOMPARE(heard, said);
    for (const QString& path : std::as_const(m_immutable))
        chattr("-i", path);
    m_immutable.clear();
    QCOMPARE(folderState(), after);
}

QTEST_MAIN(TestDataCopies)
#include "tst_datacopies.moc"
