#include "TestKit.h"
#include "WidgetUi.h"
#include "WindowKit.h"
#include "kit/Boom.h"
#include "kit/Browse.h"
#include "kit/ClrBtn.h"
#include "kit/Log.h"
#include "kit/Store.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QListWidget>
#include <QTest>
#include <QTimer>
#include <QToolButton>

#include <functional>
#include <memory>
#include <unistd.h>

namespace {
QListWidgetItem* fileItem(TBrowseForm& form, const QString& name) {
    const auto items = child<QListWidget>(&form, "FileListBox")->findItems(name, Qt::MatchExactly);
    return items.isEmpty() ? nullptr : items.constFirst();
}
} // namespace

class TestBrowse : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();

    void startPath_data();
    void startPath();
    void fileListAndCount();
    void okWithoutFileReturnsFolder();
    void okWithFileReturnsFile();
    void okOnEmptyListShowsNoteAndCloses();
    void doubleClickChooses();
    void cancelRestoresStartPath();
    void keyboardSelectionUpdatesFiles();
    void splitter_data();
    void splitter();
    void geometryPerMode();
    void driveChange();
    void newFolder();
    void newFolderThatExists();
    void unreadableFolderIsLogged();
    void vanishedMountIsLoggedAndUsable();
    void seamSingleFileMode_data();
    void seamSingleFileMode();
    void seamMultipleFiles();

private:
    // Runs the form modally with `action` once it is up; returns the modal result.
    int run(TBrowseForm& form, const QString& start, bool fileMode, std::function<void()> action,
            const QString& mask = QStringLiteral("*.dat"));
    QString root() const { return m_root; }

    std::unique_ptr<TempHome> m_home;
    QString m_root;
};

void TestBrowse::initTestCase() {
    m_home = std::make_unique<TempHome>();
    m_root = m_home->path() + QStringLiteral("/Schijf");
    WriteFileForTest(m_root + "/Data/brolt.dat", "2000-01-01;Anna;Geboorte;\r\n");
    WriteFileForTest(m_root + "/Data/Oud.DAT", "x");
    WriteFileForTest(m_root + "/Data/foto.jpg", "x");
    WriteFileForTest(m_root + "/Data/.verborgen.dat", "x");
    QVERIFY(QDir().mkpath(m_root + "/Data/Sub"));
    QVERIFY(QDir().mkpath(m_root + "/Leeg"));
    WriteFileForTest(m_root + "/Mijn Map é/a.dat", "x");
}

void TestBrowse::init() {
    QFile::remove(m_home->configFile());
}

int TestBrowse::run(TBrowseForm& form, const QString& start, bool fileMode, std::function<void()> action,
                    const QString& mask) {
    form.Boom()->SetMountPoints({QStringLiteral("/"), m_root + u'/'});
    form.BrowsePath = start;
    form.FileMode = fileMode;
    form.SetMask(fileMode ? mask : QString());
    form.Heading = QStringLiteral("Selecteer het pad voor de bestanden\r\nen klik op OK.");
    form.Initialised = false;
    QTimer::singleShot(0, &form, [&form, action] {
        if (action)
            action();
        if (form.isVisible())
            form.reject();
    });
    return form.exec();
}

void TestBrowse::startPath_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("shown");
    QTest::addColumn<QString>("cancelled");
    QTest::newRow("a data file shows its folder") << "/Data/brolt.dat"
                                                  << "/Data/"
                                                  << "/Data/";
    QTest::newRow("a folder without its slash opens the parent") << "/Data"
                                                                 << "/"
                                                                 << "/";
    QTest::newRow("folder names match without regard to case") << "/dATA/sub/"
                                                               << "/Data/Sub/"
                                                               << "/dATA/sub/";
    QTest::newRow("a missing folder opens as far as it exists") << "/Data/Weg/Dieper/"
                                                                << "/Data/"
                                                                << "/Data/Weg/Dieper/";
    QTest::newRow("spaces and accents") << "/Mijn Map é/a.dat"
                                        << "/Mijn Map é/"
                                        << "/Mijn Map é/";
}

void TestBrowse::startPath() {
    QFETCH(QString, start);
    QFETCH(QString, shown);
    QFETCH(QString, cancelled);
    FakeUi ui;
    TBrowseForm form;
    QString seen, panel;
    const int result = run(form, m_root + start, false, [&] {
        seen = form.BrowsePath;
        panel = child<QLabel>(&form, "PanelDirectory")->text();
    });
    QCOMPARE(seen, m_root + shown);
    QCOMPARE(panel, m_root + shown);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(form.BrowsePath, m_root + cancelled);
}

void TestBrowse::fileListAndCount() {
    FakeUi ui;
    TBrowseForm form;
    QStringList names;
    QString count;
    run(form, m_root + "/Data/", true, [&] {
        auto* list = child<QListWidget>(&form, "FileListBox");
        for (int i = 0; i < list->count(); ++i)
            names << list->item(i)->text();
        count = child<QLabel>(&form, "LabelCount")->text();
    });
    // The mask ignores case and hidden files are listed.
    QCOMPARE(names, (QStringList{".verborgen.dat", "brolt.dat", "Oud.DAT"}));
    QCOMPARE(count, QStringLiteral("  3 bestanden"));
}

void TestBrowse::okWithoutFileReturnsFolder() {
    FakeUi ui;
    TBrowseForm form;
    const int result = run(form, m_root + "/Data/brolt.dat", true,
                           [&] { QTest::mouseClick(child<TClrBtn>(&form, "BtnOk"), Qt::LeftButton); });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(form.BrowsePath, m_root + "/Data/");
    QVERIFY(!form.DoubleClicked);
    QVERIFY(ui.notes.isEmpty());
}

void TestBrowse::okWithFileReturnsFile() {
    FakeUi ui;
    TBrowseForm form;
    QString panel;
    const int result = run(form, m_root + "/Data/", true, [&] {
        child<QListWidget>(&form, "FileListBox")->setCurrentItem(fileItem(form, "Oud.DAT"));
        panel = child<QLabel>(&form, "PanelDirectory")->text();
        QTest::mouseClick(child<TClrBtn>(&form, "BtnOk"), Qt::LeftButton);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(panel, m_root + "/Data/Oud.DAT");
    QCOMPARE(form.BrowsePath, m_root + "/Data/Oud.DAT");
    QCOMPARE(form.SelectedFiles(), QStringList{m_root + "/Data/Oud.DAT"});
}

void TestBrowse::okOnEmptyListShowsNoteAndCloses() {
    FakeUi ui;
    TBrowseForm form;
    const int result = run(form, m_root + "/Leeg/", true,
                           [&] { QTest::mouseClick(child<TClrBtn>(&form, "BtnOk"), Qt::LeftButton); });
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(form.BrowsePath, m_root + "/Leeg/");
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].durationMs, 10000);
    QCOMPARE(ui.notes[0].first, QStringLiteral("Er zijn geen bwestanden gevonden."));
    QCOMPARE(ui.notes[0].second, QString());
}

void TestBrowse::doubleClickChooses() {
    FakeUi ui;
    TBrowseForm form;
    const int result = run(form, m_root + "/Data/", true, [&] {
        auto* list = child<QListWidget>(&form, "FileListBox");
        QListWidgetItem* item = fileItem(form, "brolt.dat");
        const QPoint at = list->visualItemRect(item).center();
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, at);
        QTest::mouseDClick(list->viewport(), Qt::LeftButton, {}, at);
    });
    QCOMPARE(result, int(QDialog::Accepted));
    QVERIFY(form.DoubleClicked);
    QCOMPARE(form.BrowsePath, m_root + "/Data/brolt.dat");
}

void TestBrowse::cancelRestoresStartPath() {
    FakeUi ui;
    TBrowseForm form;
    QString moved;
    const int result = run(form, m_root + "/Data/Sub/", false, [&] {
        TBoom* boom = form.Boom();
        boom->setCurrentItem(boom->topLevelItem(0));
        moved = form.BrowsePath;
        QTest::mouseClick(child<TClrBtn>(&form, "BtnCancel"), Qt::LeftButton);
    });
    QCOMPARE(moved, m_root + "/");
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(form.BrowsePath, m_root + "/Data/Sub/");
}

void TestBrowse::keyboardSelectionUpdatesFiles() {
    // However the folder changes, the list shows its files: a file name of the
    // folder left behind must never be joined to the new one.
    FakeUi ui;
    TBrowseForm form;
    int countInLeeg = -1;
    const int result = run(form, m_root + "/Data/", true, [&] {
        TBoom* boom = form.Boom();
        QTreeWidgetItem* top = boom->topLevelItem(0);
        for (int i = 0; i < top->childCount(); ++i)
            if (top->child(i)->text(0) == QLatin1String("Leeg"))
                boom->setCurrentItem(top->child(i));
        countInLeeg = child<QListWidget>(&form, "FileListBox")->count();
        QTest::mouseClick(child<TClrBtn>(&form, "BtnOk"), Qt::LeftButton);
    });
    QCOMPARE(countInLeeg, 0);
    QCOMPARE(result, int(QDialog::Accepted));
    QCOMPARE(form.BrowsePath, m_root + "/Leeg/");
    QCOMPARE(child<QLabel>(&form, "LabelCount")->text(), QStringLiteral("  0 bestanden"));
}

void TestBrowse::splitter_data() {
    QTest::addColumn<int>("stored");
    QTest::addColumn<int>("width");
    QTest::newRow("150 gives 200") << 150 << 200;
    QTest::newRow("260 kept") << 260 << 260;
}

void TestBrowse::splitter() {
    QFETCH(int, stored);
    QFETCH(int, width);
    Store::writeInteger(QStringLiteral("Browse Splitter"), stored);
    FakeUi ui;
    TBrowseForm form;
    int panel = -1;
    run(form, m_root + "/Data/", true, [&] { panel = child<QWidget>(&form, "PanelBoom")->width(); });
    QCOMPARE(panel, width);
    QCOMPARE(form.SplitterPos, width);
    // Closing writes the splitter back from the panel's width.
    QCOMPARE(Store::readInteger(QStringLiteral("Browse Splitter"), 0), width);
}

void TestBrowse::geometryPerMode() {
    Store::writeInteger(QStringLiteral("Browse Small Width"), 420);
    Store::writeInteger(QStringLiteral("Browse Small Height"), 480);
    Store::writeInteger(QStringLiteral("Browse Small Top"), -30);
    FakeUi ui;
    TBrowseForm form;
    QSize folderSize, fileSize;
    int folderTop = -1;
    bool listShown = true;
    run(form, m_root + "/Data/", false, [&] {
        folderSize = form.size();
        folderTop = form.y();
        listShown = child<QListWidget>(&form, "FileListBox")->isVisible();
    });
    QCOMPARE(folderSize, QSize(420, 480));
    QCOMPARE(folderTop, 0); // a negative top becomes 0
    QVERIFY(!listShown);
    run(form, m_root + "/Data/", true, [&] { fileSize = form.size(); });
    QCOMPARE(fileSize, QSize(550, 550));
    QCOMPARE(Store::readInteger(QStringLiteral("Browse Large Width"), 0), 550);
    QCOMPARE(Store::readInteger(QStringLiteral("Browse Small Width"), 0), 420);
}

void TestBrowse::driveChange() {
    FakeUi ui;
    TBrowseForm form;
    QString drive, path;
    run(form, m_root + "/Data/", false, [&] {
        auto* combo = child<QComboBox>(&form, "DriveComboBox");
        const int rootIndex = combo->findData(QStringLiteral("/"));
        combo->setCurrentIndex(rootIndex);
        form.DriveComboBoxChange(rootIndex);
        drive = form.CurrentDrive;
        path = form.BrowsePath;
    });
    QCOMPARE(drive, QStringLiteral("/"));
    QCOMPARE(path, QStringLiteral("/"));
}

void TestBrowse::newFolder() {
    FakeUi ui;
    ui.textAnswers << QStringLiteral("Nieuwe map ë");
    TBrowseForm form;
    QString selected;
    run(form, m_root + "/Data/", false, [&] {
        QTest::mouseClick(child<QToolButton>(&form, "SpeedNew"), Qt::LeftButton);
        selected = form.Boom()->SelectedFolder();
    });
    QCOMPARE(ui.questions.size(), 1);
    QCOMPARE(ui.questions[0].message, QStringLiteral("Geef de naam van de nieuwe map:"));
    QCOMPARE(ui.questions[0].title, QString());
    QVERIFY(QFileInfo(m_root + "/Data/Nieuwe map ë").isDir());
    QCOMPARE(selected, m_root + "/Data/Nieuwe map ë/");
}

void TestBrowse::newFolderThatExists() {
    FakeUi ui;
    ui.textAnswers << QStringLiteral("Sub");
    QStringList boxes;
    TBrowseForm::SetMessageBoxHandler(
        [&](const QString& text, const QString& caption) { boxes << caption + u'|' + text; });
    TBrowseForm form;
    QString selected;
    run(form, m_root + "/Data/", false, [&] {
        QTest::mouseClick(child<QToolButton>(&form, "SpeedNew"), Qt::LeftButton);
        selected = form.Boom()->SelectedFolder();
    });
    TBrowseForm::SetMessageBoxHandler({});
    QCOMPARE(boxes, QStringList{QStringLiteral("Open Error|Deze map bestaat reeds.")});
    QCOMPARE(selected, m_root + "/Data/");
}

void TestBrowse::unreadableFolderIsLogged() {
    if (::geteuid() == 0)
        QSKIP("root reads every folder");
    const QString locked = m_root + "/Dicht";
    QVERIFY(QDir().mkpath(locked + "/Binnen"));
    QVERIFY(QFile::setPermissions(locked, QFileDevice::WriteOwner));
    const QString logFolder = m_home->path() + "/log/";
    QDir().mkpath(logFolder);
    LogOn = true;
    ResetLog(logFolder);
    FakeUi ui;
    TBrowseForm form;
    QString path;
    const int result = run(form, locked + "/Binnen/", false, [&] { path = form.BrowsePath; });
    LogOn = false;
    QFile::setPermissions(locked, QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QCOMPARE(result, int(QDialog::Rejected));
    QCOMPARE(path, locked + "/"); // the tree stops at the folder it cannot read
    const QString log = QString::fromUtf8(ReadFileForTest(logFolder + "Log.txt"));
    QVERIFY2(log.contains("BrowseForm.FormPaint - VulBoom exception"), qPrintable(log));
    QVERIFY(log.contains("BrowseForm.FormPaint - einde"));
}

void TestBrowse::vanishedMountIsLoggedAndUsable() {
    const QString gone = m_root + "/Verdwenen/";
    const QString logFolder = m_home->path() + "/log2/";
    QDir().mkpath(logFolder);
    LogOn = true;
    ResetLog(logFolder);
    FakeUi ui;
    TBrowseForm form;
    form.Boom()->SetMountPoints({QStringLiteral("/"), m_root + u'/', gone});
    form.BrowsePath = gone + "map/";
    form.FileMode = true;
    form.SetMask(QStringLiteral("*.dat"));
    form.Initialised = false;
    QString stranded, rescued;
    QTimer::singleShot(0, &form, [&] {
        stranded = form.BrowsePath;
        auto* combo = child<QComboBox>(&form, "DriveComboBox");
        const int index = combo->findData(m_root + u'/');
        combo->setCurrentIndex(index);
        form.DriveComboBoxChange(index);
        rescued = form.BrowsePath;
        form.reject();
    });
    form.exec();
    LogOn = false;
    QCOMPARE(stranded, gone);
    QCOMPARE(rescued, m_root + u'/');
    const QString log = QString::fromUtf8(ReadFileForTest(logFolder + "Log.txt"));
    QVERIFY2(log.contains("BrowseForm.FormPaint - VulBoom exception"), qPrintable(log));
}

void TestBrowse::seamSingleFileMode_data() {
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("accepted");
    QTest::addColumn<QString>("path");
    QTest::newRow("a chosen file") << "/Data/"
                                   << "brolt.dat" << true << "/Data/brolt.dat";
    QTest::newRow("no file in the list is no choice") << "/Leeg/"
                                                      << "" << false << "/Leeg/";
}

void TestBrowse::seamSingleFileMode() {
    QFETCH(QString, start);
    QFETCH(QString, file);
    QFETCH(bool, accepted);
    QFETCH(QString, path);
    WidgetUi widgets;
    FakeUi notes; // the note of an empty list goes to the installed seam
    TBrowseForm* form = widgets.browseForm();
    form->Boom()->SetMountPoints({QStringLiteral("/"), m_root + u'/'});
    QTimer::singleShot(0, form, [&] {
        if (!file.isEmpty())
            child<QListWidget>(form, "FileListBox")->setCurrentItem(fileItem(*form, file));
        QTest::mouseClick(child<TClrBtn>(form, "BtnOk"), Qt::LeftButton);
    });
    Ui::BrowseRequest request;
    request.startPath = m_root + start;
    request.caption = QStringLiteral("Brolt - Lees Brolt-bestand");
    request.heading = QStringLiteral("Selecteer het pad voor de bestanden\r\nen klik op OK.");
    request.mask = QStringLiteral("*.dat");
    QString chosen;
    QCOMPARE(widgets.browse(request, chosen), accepted);
    QCOMPARE(chosen, m_root + path);
    QCOMPARE(form->windowTitle(), QStringLiteral("Brolt - Lees Brolt-bestand"));
    QCOMPARE(child<QLabel>(form, "LabelHeading")->text(), request.heading);
}

void TestBrowse::seamMultipleFiles() {
    WidgetUi widgets;
    FakeUi notes;
    TBrowseForm* form = widgets.browseForm();
    form->Boom()->SetMountPoints({QStringLiteral("/"), m_root + u'/'});
    QTimer::singleShot(0, form, [&] {
        auto* list = child<QListWidget>(form, "FileListBox");
        fileItem(*form, "brolt.dat")->setSelected(true);
        fileItem(*form, "foto.jpg")->setSelected(true);
        list->setCurrentItem(fileItem(*form, "foto.jpg"), QItemSelectionModel::Current);
        QTest::mouseClick(child<TClrBtn>(form, "BtnOk"), Qt::LeftButton);
    });
    Ui::BrowseRequest request;
    request.startPath = m_root + "/Data/";
    request.mask = QStringLiteral("*.*");
    request.multiple = true;
    QString chosen;
    QStringList files;
    QVERIFY(widgets.browse(request, chosen, &files));
    QCOMPARE(chosen, m_root + "/Data/foto.jpg");
    QCOMPARE(files, (QStringList{m_root + "/Data/brolt.dat", m_root + "/Data/foto.jpg"}));
}

QTEST_MAIN(TestBrowse)
#include "tst_browse.moc"
