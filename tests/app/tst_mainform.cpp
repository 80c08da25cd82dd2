#include "Main.h"
#include "TestKit.h"
#include "kit/Clock.h"
#include "kit/Help.h"
#include "kit/Store.h"
#include "lists/ShowPicture.h"
#include "maintenance/LeesBackup.h"
#include "records/Dates.h"
#include "settings/Working.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QLocale>
#include <QMenu>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QScreen>
#include <QSignalSpy>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>
#include <QToolButton>

#include <memory>

namespace {
// Tuesday 14 May 2024.
const QByteArray threeDue = "1950-05-12;Kees;Geboorte;;;;;;;\r\n"
                            "1990-05-14;Sanne;Geboorte;sanne.jpg;;;;;;\r\n"
                            "1958-05-19;Anna;Geboorte;anna.jpg;;;;;;\r\n"
                            "1940-01-01;Opa;Geboorte;opa.jpg;;;;;;\r\n";
const QByteArray noneDue = "1940-01-01;Opa;Geboorte;opa.jpg;;;;;;\r\n"
                           "1941-02-02;Oma;Geboorte;;;;;;;\r\n";

QStringList memoLines(TMainForm& form) {
    auto* memo = form.findChild<QTextEdit*>(QStringLiteral("DagenMemo"));
    QStringList lines;
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next())
        lines << b.text();
    if (lines.size() == 1 && lines.first().isEmpty())
        lines.clear();
    return lines;
}

QList<QColor> memoColours(TMainForm& form) {
    auto* memo = form.findChild<QTextEdit*>(QStringLiteral("DagenMemo"));
    QList<QColor> colours;
    for (QTextBlock b = memo->document()->begin(); b.isValid(); b = b.next())
        if (!b.text().isEmpty())
            colours << b.begin().fragment().charFormat().foreground().color();
    return colours;
}

QString labelText(TMainForm& form, const char* name) {
    return form.findChild<QLabel*>(QLatin1String(name))->text();
}

QPoint lineCentre(TMainForm& form, int line) {
    auto* memo = form.findChild<QTextEdit*>(QStringLiteral("DagenMemo"));
    QTextCursor cursor(memo->document()->findBlockByNumber(line));
    return memo->cursorRect(cursor).center() + QPoint(20, 0);
}

// Closes whatever modal window opens while it lives, so that a click that
// opens one returns.
class ModalCloser {
public:
    ModalCloser() {
        QObject::connect(&m_timer, &QTimer::timeout, [] {
            if (QWidget* modal = QApplication::activeModalWidget())
                modal->close();
        });
        m_timer.start(20);
    }

private:
    QTimer m_timer;
};

QColor shownColour(TMainForm& form) {
    const QPixmap pixmap = form.findChild<TPictureImage*>(QStringLiteral("Image"))->pixmap();
    const QImage image = pixmap.toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}
} // namespace

class TestMainForm : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> m_home;
    std::unique_ptr<FakeUi> m_ui;
    int m_folderCount = 0;
    QString m_folder;

    // A fresh data folder holding `content` as Brolt.dat and two pictures.
    void useDataFile(const QByteArray& content) {
        m_folder = m_home->path() + QStringLiteral("/data%1/").arg(++m_folderCount);
        WriteFileForTest(m_folder + "Brolt.dat", content);
        QDir().mkpath(m_folder);
        QImage blue(60, 60, QImage::Format_RGB32);
        blue.fill(QColor(0, 0, 255));
        QVERIFY(blue.save(m_folder + "sanne.jpg", "JPG"));
        QImage green(40, 80, QImage::Format_RGB32);
        green.fill(QColor(0, 200, 0));
        QVERIFY(green.save(m_folder + "anna.jpg", "JPG"));
        Store::writeText(Keys::NameOfFile.name, m_folder + "Brolt.dat");
    }

    std::unique_ptr<TMainForm> paintedForm(const QStringList& arguments = {QStringLiteral("Brolt")}) {
        auto form = std::make_unique<TMainForm>(arguments);
        form->setProgramFile(QStringLiteral("Brolt"));
        form->dataFile().retryDelayMs = 0;
        form->show();
        form->FormPaint();
        return form;
    }

private Q_SLOTS:
    void initTestCase() {
        m_home = std::make_unique<TempHome>();
        SetHelpMessageHandler([](const QString&) {});
        // An update check asks a port on this machine where nobody listens.
        qputenv("BROLT_UPDATE_URL", "http://127.0.0.1:9/");
    }

    void init() {
        m_ui = std::make_unique<FakeUi>();
        Clock::set(Noon(2024, 5, 14));
        Store::writeText(Keys::TimerAan.name, QStringLiteral("0"));
        Store::writeText(Keys::Duur.name, QStringLiteral("60"));
        Store::writeText(Keys::UpdatesCheck.name, QStringLiteral("0"));
        Store::writeText(Keys::Vooraf.name, QStringLiteral("30"));
        Store::writeText(Keys::Achteraf.name, QStringLiteral("10"));
        Store::writeText(Keys::Top.name, QStringLiteral("100"));
        Store::writeText(Keys::Left.name, QStringLiteral("100"));
        Store::writeText(Keys::Height.name, QStringLiteral("430"));
        Store::writeText(Keys::Width.name, QStringLiteral("1000"));
    }

    void cleanup() {
        CloseHelp();
        m_ui.reset();
        Clock::set(QDateTime());
    }

    void automaticModeArguments_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<bool>("automatic");
        QTest::newRow("a") << QStringList{"Brolt", "a"} << true;
        QTest::newRow("A is not automatic") << QStringList{"Brolt", "A"} << false;
        QTest::newRow("x a") << QStringList{"Brolt", "x", "a"} << true;
        QTest::newRow("x y a") << QStringList{"Brolt", "x", "y", "a"} << true;
        QTest::newRow("fourth argument") << QStringList{"Brolt", "x", "y", "z", "a"} << false;
        QTest::newRow("aa") << QStringList{"Brolt", "aa"} << false;
        QTest::newRow("program called a") << QStringList{"a"} << false;
        QTest::newRow("none") << QStringList{"Brolt"} << false;
    }
    void automaticModeArguments() {
        QFETCH(QStringList, arguments);
        QFETCH(bool, automatic);
        QCOMPARE(AutomaticModeRequested(arguments), automatic);
    }

    void programName_data() {
        QTest::addColumn<QString>("fileName");
        QTest::addColumn<bool>("own");
        QTest::newRow("Brolt") << "Brolt" << true;
        QTest::newRow("upper case") << "BROLT" << true;
        QTest::newRow("renamed") << "Brolt2" << false;
        QTest::newRow("Windows name") << "Brolt.exe" << false;
    }
    void placementSavedOnALargerScreenComesBack() {
        Store::writeText(Keys::Top.name, QStringLiteral("1500"));
        Store::writeText(Keys::Left.name, QStringLiteral("2000"));
        Store::writeText(Keys::Height.name, QStringLiteral("430"));
        Store::writeText(Keys::Width.name, QStringLiteral("1000"));
        TMainForm form({"Brolt"});
        const QRect screen = QGuiApplication::primaryScreen()->availableGeometry();
        QCOMPARE(form.size(), QSize(qMin(1000, screen.width()), 430));
        QCOMPARE(form.pos(),
                 QPoint(screen.x() + screen.width() - form.width(), screen.y() + screen.height() - 430));
    }
    void restoredBackupIsShownAtOnce() {
        useDataFile(threeDue);
        auto form = paintedForm();
        const QString backup = m_home->path() + "/backup/Brolt/2024-05-01/";
        WriteFileForTest(backup + "Brolt.dat", "1950-05-13;Hersteld;Geboorte;;;;;;;\r\n");
        m_ui->nextBrowse(backup + "Brolt.dat");
        form->findChild<QAction*>("LeesBackup1")->trigger();
        auto* restore = form->findChild<TLeesBackupForm*>();
        QVERIFY(restore && restore->isVisible());
        restore->BtnOKClick();
        QCOMPARE(memoLines(*form), QStringList{"Hersteld werd gisteren (ma 13-05) 74 jaar"});
        QCOMPARE(labelText(*form, "AantalLabel"), QStringLiteral("1 namen gelezen."));
        QVERIFY(!form->findChild<QToolButton*>("SpeedSave")->isEnabled());
    }
    void programName() {
        QFETCH(QString, fileName);
        QFETCH(bool, own);
        QCOMPARE(ProgramNameIsOwn(fileName), own);
    }

    void creationReadsPlacementAndShowsHints() {
        // The offscreen screen is 800 x 600.
        Store::writeText(Keys::Top.name, QStringLiteral("20"));
        Store::writeText(Keys::Left.name, QStringLiteral("30"));
        Store::writeText(Keys::Height.name, QStringLiteral("500"));
        Store::writeText(Keys::Width.name, QStringLiteral("700"));
        TMainForm form({"Brolt"});
        QCOMPARE(form.windowTitle(), QStringLiteral("Brolt, versie 2.60e"));
        QCOMPARE(form.pos(), QPoint(30, 20));
        QCOMPARE(form.size(), QSize(700, 500));
        QCOMPARE(form.findChild<QToolButton*>("SpeedOpen")->toolTip(),
                 QStringLiteral("Lees een ander bestand met gegevens (Ctrl+O)\nRechter muisknop voor Help"));
        QCOMPARE(form.findChild<QToolButton*>("SpeedEinde")->toolTip(),
                 QStringLiteral("Verlaat Brolt (Ctrl+Q)\nRechter muisknop voor Help"));
        QVERIFY(!form.findChild<QToolButton*>("SpeedEdit")->isEnabled());
        QVERIFY(!form.findChild<QToolButton*>("SpeedSave")->isEnabled());
        QCOMPARE(form.findChild<QTimer*>("Timer")->interval(), 100);
        QCOMPARE(form.findChild<QTimer*>("UpdateTimer")->interval(), 10000);
        QCOMPARE(form.findChild<QTimer*>("TimerDatum")->interval(), 60000);
        QVERIFY(form.findChild<QTimer*>("TimerDatum")->isActive());
        QVERIFY(!form.findChild<QTimer*>("UpdateTimer")->isActive());
        QVERIFY(!form.painted());
        const QList<QAction*> about = form.findChild<QMenu*>("AboutPopUp")->actions();
        QCOMPARE(about.size(), 4);
        QCOMPARE(about[0]->text(), QStringLiteral("Hulp"));
        QCOMPARE(about[0]->shortcut(), QKeySequence(Qt::Key_F1));
        QCOMPARE(about[1]->text(), QStringLiteral("Toon Log"));
        QVERIFY(about[2]->isSeparator());
        QCOMPARE(about[3]->text(), QStringLiteral("Over Brolt..."));
        const QList<QAction*> backup = form.findChild<QMenu*>("BackUpPopup")->actions();
        QCOMPARE(backup.size(), 2);
        QCOMPARE(backup[0]->text(), QStringLiteral("&Maak Backup"));
        QCOMPARE(backup[1]->text(), QStringLiteral("&Lees Backup"));
    }

    void firstPaintShowsColouredLinesAndPicture() {
        useDataFile(threeDue);
        auto form = paintedForm();
        QVERIFY(form->painted());
        QCOMPARE(memoLines(*form),
                 (QStringList{"Kees werd eergisteren (zo 12-05) 74 jaar", "Sanne wordt vandaag 34 jaar =>",
                              "Anna wordt over 5 dagen (zo 19-05) 66 jaar"}));
        QCOMPARE(memoColours(*form),
                 (QList<QColor>{QColor(0, 0, 255), QColor(255, 0, 0), QColor(0, 128, 0)}));
        QCOMPARE(form->pictureOfLine(), (QStringList{"", "sanne.jpg", "anna.jpg"}));
        QCOMPARE(form->currentPicture(), QStringLiteral("sanne.jpg"));
        QCOMPARE(form->shownPictureFile(), m_folder + "sanne.jpg");
        QVERIFY(!form->findChild<QWidget*>("ImagePanel")->isHidden());
        // The picture panel is a square as high as the text.
        const QWidget* panel = form->findChild<QWidget*>("ImagePanel");
        const QWidget* memo = form->findChild<QWidget*>("DagenMemo");
        QCOMPARE(panel->width(), memo->height());
        QCOMPARE(panel->height(), memo->height());
        QCOMPARE(panel->x(), memo->width());
        const QColor shown = shownColour(*form);
        QVERIFY2(shown.blue() > 200 && shown.green() < 60, qPrintable(shown.name()));
        QCOMPARE(labelText(*form, "AantalLabel"), QStringLiteral("4 namen gelezen."));
        QCOMPARE(form->windowTitle(), QStringLiteral("Brolt, versie 2.60e - Brolt.dat"));
        QVERIFY(form->findChild<QToolButton*>("SpeedEdit")->isEnabled());
        QVERIFY(!form->findChild<QToolButton*>("SpeedSave")->isEnabled());
        QCOMPARE(labelText(*form, "LabelDatum"),
                 "di " + QLocale().toString(QTime(12, 0), QLocale::ShortFormat));
        // Sanne's birthday today sounds the alert.
        QCOMPARE(m_ui->sounds, QStringList{"system"});
        // The first paint starts a fresh log.
        const QByteArray log = ReadFileForTest(m_home->dataFolder() + "Log.txt");
        QVERIFY2(log.contains("MainForm.FormPaint - begin"), log.constData());
    }

    void firstPaintWithoutDataFile() {
        useDataFile("1-1");
        auto form = paintedForm();
        QCOMPARE(labelText(*form, "AantalLabel"), QStringLiteral("Geen Brolt-bestand gelezen"));
        QVERIFY(memoLines(*form).isEmpty());
        QVERIFY(!form->findChild<QToolButton*>("SpeedEdit")->isEnabled());
        QVERIFY(form->isVisible());
        QVERIFY(form->findChild<QWidget*>("ImagePanel")->isHidden());
    }

    void nothingDueInNormalStartSaysSoInGrey() {
        useDataFile(noneDue);
        auto form = paintedForm();
        QCOMPARE(memoLines(*form), QStringList{"  Geen verjaardagen binnen -10..30 dagen."});
        QCOMPARE(memoColours(*form), QList<QColor>{QColor(128, 128, 128)});
        QCOMPARE(labelText(*form, "AantalLabel"), QStringLiteral("2 namen gelezen."));
        QVERIFY(form->findChild<QWidget*>("ImagePanel")->isHidden());
    }

    void automaticMode_data() {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("closes");
        QTest::newRow("a, nothing due") << QStringList{"Brolt", "a"} << noneDue << true;
        QTest::newRow("x a, nothing due") << QStringList{"Brolt", "x", "a"} << noneDue << true;
        QTest::newRow("A, nothing due") << QStringList{"Brolt", "A"} << noneDue << false;
        QTest::newRow("a, something due") << QStringList{"Brolt", "a"} << threeDue << false;
    }
    void automaticMode() {
        QFETCH(QStringList, arguments);
        QFETCH(QByteArray, content);
        QFETCH(bool, closes);
        useDataFile(content);
        auto form = std::make_unique<TMainForm>(arguments);
        form->setProgramFile(QStringLiteral("Brolt"));
        QSignalSpy closed(form.get(), &TMainForm::closed);
        form->show();
        QTRY_VERIFY(form->painted());
        QCOMPARE(closed.count(), closes ? 1 : 0);
        QCOMPARE(form->isVisible(), !closes);
        if (closes)
            QVERIFY(memoLines(*form).isEmpty());
        else
            QVERIFY(!memoLines(*form).isEmpty());
    }

    void renamedProgramEndsAfterFiveSeconds() {
        useDataFile(threeDue);
        TMainForm form({"Brolt"});
        form.setProgramFile(QStringLiteral("Brolt2"));
        QSignalSpy closed(&form, &TMainForm::closed);
        form.show();
        form.FormPaint();
        QCOMPARE(m_ui->notes.size(), 1);
        QCOMPARE(
            m_ui->notes[0].first,
            QStringLiteral("De bestandsnaam is gewijzigd. Brolt zal over vijf seconden worden beëindigd."));
        QCOMPARE(m_ui->notes[0].durationMs, 5000);
        QVERIFY(memoLines(form).isEmpty());
        QVERIFY(form.endTimer()->isActive());
        QCOMPARE(form.endTimer()->interval(), 5000);
        QCOMPARE(closed.count(), 0);
        form.endTimer()->start(0);
        QTRY_COMPARE(closed.count(), 1);
        QVERIFY(!form.isVisible());
    }

    void countdownClosesAfterDurationTimesTenPlusOneTicks() {
        useDataFile(threeDue);
        Store::writeText(Keys::TimerAan.name, QStringLiteral("1"));
        Store::writeText(Keys::Duur.name, QStringLiteral("15"));
        auto form = paintedForm();
        QSignalSpy closed(form.get(), &TMainForm::closed);
        auto* gauge = form->findChild<QProgressBar*>("Gauge");
        QVERIFY(form->findChild<QTimer*>("Timer")->isActive());
        QVERIFY(!form->findChild<QWidget*>("GaugePanel")->isHidden());
        QCOMPARE(gauge->maximum(), 150);
        QCOMPARE(form->findChild<QPushButton*>("BtnPauze")->text(), QStringLiteral("Pauze"));
        for (int i = 0; i < 150; ++i)
            form->TimerTimer();
        QCOMPARE(gauge->value(), 150);
        QCOMPARE(closed.count(), 0);
        QVERIFY(form->isVisible());
        form->TimerTimer();
        QCOMPARE(form->countdownTicks(), 151);
        QCOMPARE(closed.count(), 1);
        QVERIFY(!form->isVisible());
        QVERIFY(!form->findChild<QTimer*>("Timer")->isActive());
    }

    void countdownOffHidesGauge() {
        useDataFile(threeDue);
        auto form = paintedForm();
        QVERIFY(!form->findChild<QTimer*>("Timer")->isActive());
        QVERIFY(form->findChild<QWidget*>("GaugePanel")->isHidden());
    }

    void pauseAndContinue() {
        useDataFile(threeDue);
        Store::writeText(Keys::TimerAan.name, QStringLiteral("1"));
        auto form = paintedForm();
        auto* pauze = form->findChild<QPushButton*>("BtnPauze");
        auto* timer = form->findChild<QTimer*>("Timer");
        QTest::mouseClick(pauze, Qt::LeftButton);
        QCOMPARE(pauze->text(), QStringLiteral("Ga door"));
        QVERIFY(!timer->isActive());
        QTest::mouseClick(pauze, Qt::LeftButton);
        QCOMPARE(pauze->text(), QStringLiteral("Pauze"));
        QVERIFY(timer->isActive());
    }

    void windowsPauseTheCountdown_data() {
        QTest::addColumn<QString>("control");
        for (const char* name :
             {"SpeedEdit", "SpeedOptions", "SpeedBackup", "SpeedUpdate", "SpeedInfo", "BtnUitleg"})
            QTest::newRow(name) << QString::fromLatin1(name);
    }
    void windowsPauseTheCountdown() {
        QFETCH(QString, control);
        useDataFile(threeDue);
        Store::writeText(Keys::TimerAan.name, QStringLiteral("1"));
        auto form = paintedForm();
        auto* button = form->findChild<QAbstractButton*>(control);
        QVERIFY(button);
        QVERIFY(form->findChild<QTimer*>("Timer")->isActive());
        ModalCloser closer;
        QTest::mouseClick(button, Qt::LeftButton);
        QVERIFY(!form->findChild<QTimer*>("Timer")->isActive());
        QCOMPARE(form->findChild<QPushButton*>("BtnPauze")->text(), QStringLiteral("Ga door"));
        for (QMenu* menu : form->findChildren<QMenu*>())
            menu->close();
    }

    void f1PausesTheCountdownAndOpensHelp() {
        useDataFile(threeDue);
        Store::writeText(Keys::TimerAan.name, QStringLiteral("1"));
        auto form = paintedForm();
        auto* memo = form->findChild<QTextEdit*>("DagenMemo");
        QTest::keyRelease(memo, Qt::Key_F1);
        QVERIFY(!form->findChild<QTimer*>("Timer")->isActive());
        QVERIFY(THelpForm::existing());
        QCOMPARE(THelpForm::existing()->CurrentContext(), 1000);
    }

    void rightClickOpensHelpOfTheButton_data() {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("context");
        QTest::newRow("SpeedOpen") << "SpeedOpen" << 32020;
        QTest::newRow("SpeedEdit") << "SpeedEdit" << 32030;
        QTest::newRow("SpeedSave") << "SpeedSave" << 32040;
        QTest::newRow("SpeedBackup") << "SpeedBackup" << 32045;
        QTest::newRow("SpeedOptions") << "SpeedOptions" << 32050;
        QTest::newRow("SpeedUpdate") << "SpeedUpdate" << 32060;
        QTest::newRow("SpeedInfo") << "SpeedInfo" << 32070;
        QTest::newRow("SpeedEinde") << "SpeedEinde" << 32080;
    }
    void rightClickOpensHelpOfTheButton() {
        QFETCH(QString, button);
        QFETCH(int, context);
        useDataFile(threeDue);
        Store::writeText(Keys::TimerAan.name, QStringLiteral("1"));
        auto form = paintedForm();
        QSignalSpy closed(form.get(), &TMainForm::closed);
        auto* b = form->findChild<QToolButton*>(button);
        // Enables the save button the way an edit does.
        form->dataFile().unsavedChanges = true;
        form->FormResize();
        QVERIFY(b->isEnabled());
        QTest::mousePress(b, Qt::RightButton);
        QTest::mouseRelease(b, Qt::RightButton);
        QVERIFY(THelpForm::existing());
        QCOMPARE(THelpForm::existing()->CurrentContext(), context);
        QVERIFY(!form->findChild<QTimer*>("Timer")->isActive());
        QCOMPARE(closed.count(), 0); // the right button never runs the button's own action
    }

    void hulpOpensMainHelpAndKeepsTheCountdown() {
        useDataFile(threeDue);
        Store::writeText(Keys::TimerAan.name, QStringLiteral("1"));
        auto form = paintedForm();
        form->findChild<QMenu*>("AboutPopUp")->actions().first()->trigger();
        QCOMPARE(THelpForm::existing()->CurrentContext(), 1000);
        QVERIFY(form->findChild<QTimer*>("Timer")->isActive());
    }

    void minimumSize() {
        useDataFile(threeDue);
        auto form = paintedForm();
        form->resize(300, 200);
        QCOMPARE(form->size(), QSize(650, 400));
    }

    void layoutRules_data() {
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("countdown");
        QTest::newRow("650 x 400 with countdown") << QSize(650, 400) << true;
        QTest::newRow("1000 x 430 without countdown") << QSize(1000, 430) << false;
        QTest::newRow("1234 x 777 with countdown") << QSize(1234, 777) << true;
    }
    void layoutRules() {
        QFETCH(QSize, size);
        QFETCH(bool, countdown);
        useDataFile(threeDue);
        Store::writeText(Keys::TimerAan.name, countdown ? QStringLiteral("1") : QStringLiteral("0"));
        auto form = paintedForm();
        form->resize(size);
        const int w = form->width();
        auto geometry = [&](const char* name) {
            QWidget* widget = form->findChild<QWidget*>(QLatin1String(name));
            return QRect(widget->mapTo(form.get(), QPoint(0, 0)), widget->size());
        };
        QCOMPARE(geometry("CheckUitgebreid").left(), geometry("SpeedInfo").right() + 1 + 10);
        QCOMPARE(geometry("BtnUitleg").left(), geometry("CheckUitgebreid").right() + 1 + 10);
        QCOMPARE(geometry("SpeedEinde").right() + 1, w - 10);
        QCOMPARE(geometry("LabelDatum").right() + 1, geometry("SpeedEinde").left() - 10);
        const QRect status = geometry("StatusPanel");
        QCOMPARE(status.height(),
                 qRound(1.5 * QFontMetrics(form->findChild<QWidget*>("StatusPanel")->font()).height()));
        QCOMPARE(status.bottom() + 1, form->height());
        const QRect memo = geometry("DagenMemo");
        QVERIFY(memo.width() >= 400);
        QCOMPARE(geometry("ImagePanel").left(), memo.right() + 1);
        QCOMPARE(geometry("ImagePanel").right() + 1, w);
        if (countdown) {
            const QRect panel = geometry("GaugePanel");
            QCOMPARE(panel.top(), memo.bottom() + 1 + 1);
            QCOMPARE(panel.width(), w);
            QCOMPARE(panel.bottom() + 1, status.top());
            const QRect gauge = geometry("Gauge");
            const QRect pauze = geometry("BtnPauze");
            QCOMPARE(gauge.left(), w / 8);
            QCOMPARE(gauge.width(), w - pauze.width() - w / 4);
            QCOMPARE(pauze.left(), gauge.right() + 1 + w / 16);
        } else {
            QCOMPARE(memo.bottom() + 1, status.top());
        }
    }

    void clickOnLineShowsItsPictureAndItStays() {
        useDataFile(threeDue);
        auto form = paintedForm();
        auto* viewport = form->findChild<QTextEdit*>("DagenMemo")->viewport();
        // Kees has no picture: nothing changes.
        QTest::mouseClick(viewport, Qt::LeftButton, {}, lineCentre(*form, 0));
        QCOMPARE(form->currentPicture(), QStringLiteral("sanne.jpg"));
        QTest::mouseClick(viewport, Qt::LeftButton, {}, lineCentre(*form, 2));
        QCOMPARE(form->currentPicture(), QStringLiteral("anna.jpg"));
        QCOMPARE(form->shownPictureFile(), m_folder + "anna.jpg");
        const QColor shown = shownColour(*form);
        QVERIFY2(shown.green() > 150 && shown.blue() < 60, qPrintable(shown.name()));
        // A click does not recompose: the alert did not sound again.
        QCOMPARE(m_ui->sounds.size(), 1);
        // Later refreshes keep the clicked picture.
        form->FormResize();
        form->resize(800, 500);
        QCOMPARE(form->currentPicture(), QStringLiteral("anna.jpg"));
        QCOMPARE(form->shownPictureFile(), m_folder + "anna.jpg");
        QVERIFY(m_ui->sounds.size() >= 2);
    }

    void missingPictureShowsBlanc() {
        useDataFile("1990-05-14;Sanne;Geboorte;weg.jpg;;;;;;\r\n");
        auto form = paintedForm();
        QCOMPARE(form->currentPicture(), QStringLiteral("weg.jpg"));
        QCOMPARE(form->shownPictureFile(), m_folder + "Blanc.jpg");
        QVERIFY(m_ui->notes.isEmpty());
    }

    void dateRolloverAtMidnight() {
        useDataFile(threeDue);
        Clock::set(QDateTime(QDate(2024, 5, 14), QTime(23, 59, 30)));
        auto form = paintedForm();
        QCOMPARE(labelText(*form, "LabelDatum"),
                 "di " + QLocale().toString(QTime(23, 59, 30), QLocale::ShortFormat));
        form->TimerDatumTimer(); // same day: nothing changes
        QCOMPARE(labelText(*form, "LabelDatum"),
                 "di " + QLocale().toString(QTime(23, 59, 30), QLocale::ShortFormat));
        Clock::set(QDateTime(QDate(2024, 5, 15), QTime(0, 0, 30)));
        form->TimerDatumTimer();
        QCOMPARE(labelText(*form, "LabelDatum"),
                 "wo " + QLocale().toString(QTime(0, 0), QLocale::ShortFormat));
        QCOMPARE(memoLines(*form), (QStringList{"Kees werd 3 dagen geleden (zo 12-05) 74 jaar",
                                                "Sanne werd gisteren (di 14-05) 34 jaar",
                                                "Anna wordt over 4 dagen (zo 19-05) 66 jaar =>"}));
        QCOMPARE(memoColours(*form),
                 (QList<QColor>{QColor(0, 0, 255), QColor(0, 0, 255), QColor(0, 128, 0)}));
        // The picture shown yesterday stays.
        QCOMPARE(form->currentPicture(), QStringLiteral("sanne.jpg"));
    }

    void readingAFileShowsTheClock_data() {
        QTest::addColumn<QString>("reading");
        QTest::addColumn<QTime>("shown");
        QTest::newRow("another file opened") << "open" << QTime(15, 47);
        QTest::newRow("a backup restored") << "restore" << QTime(15, 47);
        QTest::newRow("the file read again") << "reread" << QTime(15, 47);
        QTest::newRow("opening cancelled: nothing read") << "cancel" << QTime(12, 0);
    }

    void readingAFileShowsTheClock() {
        QFETCH(QString, reading);
        QFETCH(QTime, shown);
        useDataFile(threeDue);
        auto form = paintedForm();
        QCOMPARE(labelText(*form, "LabelDatum"),
                 "di " + QLocale().toString(QTime(12, 0), QLocale::ShortFormat));
        Clock::set(QDateTime(QDate(2024, 5, 14), QTime(15, 47)));
        const QString other = m_home->path() + "/elders/Familie.dat";
        WriteFileForTest(other, "19-05-1958;Anna;Geboorte;;;;;;;\r\n");
        if (reading == "open" || reading == "cancel") {
            if (reading == "open")
                m_ui->nextBrowse(other);
            QTest::mouseClick(form->findChild<QToolButton*>("SpeedOpen"), Qt::LeftButton);
        } else if (reading == "restore") {
            const QString backup = m_home->path() + "/backup/Brolt/2024-05-01/Brolt.dat";
            WriteFileForTest(backup, "1950-05-13;Hersteld;Geboorte;;;;;;;\r\n");
            m_ui->nextBrowse(backup);
            form->findChild<QAction*>("LeesBackup1")->trigger();
            form->findChild<TLeesBackupForm*>()->BtnOKClick();
        } else {
            form->dataFile().reread();
        }
        QCOMPARE(labelText(*form, "LabelDatum"), "di " + QLocale().toString(shown, QLocale::ShortFormat));
    }

    void saveQuestionAtClose() {
        useDataFile(threeDue);
        auto form = paintedForm();
        QSignalSpy closed(form.get(), &TMainForm::closed);
        form->records().setCell(3, Col::Name, QStringLiteral("Anna Maria"));
        form->dataFile().unsavedChanges = true;
        form->FormResize();
        QVERIFY(form->findChild<QToolButton*>("SpeedSave")->isEnabled());

        m_ui->nextAnswer(false, true); // Annuleren
        QVERIFY(!form->close());
        QVERIFY(form->isVisible());
        QCOMPARE(closed.count(), 0);
        QCOMPARE(m_ui->questions.size(), 1);
        QCOMPARE(m_ui->questions[0].title, QStringLiteral("Brolt - Bewaren"));
        QCOMPARE(m_ui->questions[0].message,
                 QStringLiteral("De gegevens zijn gewijzigd. Wilt U deze wijzigingen bewaren ?"));
        QVERIFY(m_ui->questions[0].cancelShown);

        m_ui->nextAnswer(true); // Ja
        QVERIFY(form->close());
        QCOMPARE(closed.count(), 1);
        QVERIFY(ReadFileForTest(m_folder + "Brolt.dat").contains("1958-05-19;Anna Maria;Geboorte;anna.jpg;"));
    }

    void uitgebreidIsOneSettingWithTheOptions_data() {
        QTest::addColumn<QString>("exit"); // the options window's button; empty: its close box
        QTest::newRow("OK") << "BtnOK";
        QTest::newRow("Annuleren") << "BtnCancel";
        QTest::newRow("close box") << QString();
    }
    void uitgebreidIsOneSettingWithTheOptions() {
        QFETCH(QString, exit);
        useDataFile(threeDue);
        auto form = paintedForm();
        auto* mainCheck = form->findChild<QWidget*>("ToolPanel")->findChild<QCheckBox*>("CheckUitgebreid");
        const bool on = !mainCheck->isChecked();
        QTest::mouseClick(mainCheck, Qt::LeftButton);
        bool optionsShowed = false;
        QTimer::singleShot(0, [&] {
            QWidget* options = QApplication::activeModalWidget();
            optionsShowed = options->findChild<QCheckBox*>("CheckUitgebreid")->isChecked() == on;
            if (exit.isEmpty())
                options->close();
            else
                QTest::mouseClick(options->findChild<QAbstractButton*>(exit), Qt::LeftButton);
        });
        QTest::mouseClick(form->findChild<QToolButton*>("SpeedOptions"), Qt::LeftButton);
        QVERIFY(optionsShowed);
        QCOMPARE(mainCheck->isChecked(), on);
        QCOMPARE(Working().uitgebreid, on);
        Store::writeBool(Keys::UitgebreidCheck.name, false);
    }

    void noQuestionWithoutChanges() {
        useDataFile(threeDue);
        auto form = paintedForm();
        QVERIFY(form->close());
        QVERIFY(m_ui->questions.isEmpty());
    }

    void placementWrittenAtCloseAndDestruction() {
        useDataFile(threeDue);
        auto form = paintedForm();
        form->resize(820, 555);
        form->move(140, 150);
        form->findChild<QCheckBox*>("CheckUitgebreid")->click();
        QVERIFY(form->close());
        QCOMPARE(Store::readInteger(Keys::Top), form->y());
        QCOMPARE(Store::readInteger(Keys::Left), form->x());
        QCOMPARE(Store::readInteger(Keys::Height), 555);
        QCOMPARE(Store::readInteger(Keys::Width), 820);
        QCOMPARE(Store::readBool(Keys::UitgebreidCheck), true);

        form->move(-40, -30);
        form.reset();
        QCOMPARE(Store::readInteger(Keys::Top), 100);
        QCOMPARE(Store::readInteger(Keys::Left), 100);
        Store::writeBool(Keys::UitgebreidCheck.name, false);
    }

    void openOtherFile() {
        useDataFile(threeDue);
        const QString other = m_home->path() + "/elders/Familie.dat";
        WriteFileForTest(other, "19-05-1958;Anna;Geboorte;;;;;;;\r\n");
        auto form = paintedForm();
        m_ui->nextBrowse(other);
        QTest::mouseClick(form->findChild<QToolButton*>("SpeedOpen"), Qt::LeftButton);
        QCOMPARE(m_ui->browses.size(), 1);
        QCOMPARE(m_ui->browses[0].mask, QStringLiteral("*.dat"));
        QCOMPARE(labelText(*form, "AantalLabel"), QStringLiteral("1 namen gelezen."));
        QCOMPARE(form->windowTitle(), QStringLiteral("Brolt, versie 2.60e - Familie.dat"));
        QCOMPARE(memoLines(*form), QStringList{"Anna wordt over 5 dagen (zo 19-05) 66 jaar"});
        QVERIFY(form->dataFile().otherFileRead);

        // Cancelled: nothing changes.
        QTest::mouseClick(form->findChild<QToolButton*>("SpeedOpen"), Qt::LeftButton);
        QCOMPARE(labelText(*form, "AantalLabel"), QStringLiteral("1 namen gelezen."));
    }

    void bringToFrontRestoresMinimisedWindow() {
        useDataFile(threeDue);
        auto form = paintedForm();
        form->showMinimized();
        QTRY_VERIFY(form->isMinimized());
        form->BringToFront();
        QTRY_VERIFY(!form->isMinimized());
        QVERIFY(form->isVisible());
    }

    void updateTimerArmedByTheSettingAndDisarmsItself() {
        useDataFile(threeDue);
        Store::writeText(Keys::UpdatesCheck.name, QStringLiteral("1"));
        auto form = paintedForm();
        auto* timer = form->findChild<QTimer*>("UpdateTimer");
        QVERIFY(timer->isActive());
        QSignalSpy due(form.get(), &TMainForm::updateCheckDue);
        form->UpdateTimerTimer();
        QVERIFY(!timer->isActive());
        QCOMPARE(due.count(), 1);
    }

    void realProgramInAutomaticModeEndsWithStatusZero() {
        const QString program = QStringLiteral(BROLT_PROGRAM_DIR "/Brolt");
        QVERIFY2(QFileInfo::exists(program), "build the Brolt target first");
        // The program runs on the machine's own clock: a date 100 days away is never due.
        const QDate away = QDate::currentDate().addDays(100);
        useDataFile(QStringLiteral("1950-%1-%2;Opa;Geboorte;;;;;;;\r\n")
                        .arg(away.month(), 2, 10, QLatin1Char('0'))
                        .arg(away.day(), 2, 10, QLatin1Char('0'))
                        .toLatin1());
        Store::writeText(Keys::Versie.name, QStringLiteral(BROLT_VERSION_LABEL));
        QProcess process;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert("QT_QPA_PLATFORM", "offscreen");
        const QString runtime = m_home->path() + "/runtime";
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        env.insert("XDG_RUNTIME_DIR", runtime);
        process.setProcessEnvironment(env);
        process.start(program, {"a"});
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitStatus(), QProcess::NormalExit);
        QCOMPARE(process.exitCode(), 0);
        // Nothing due: the program ended before any window was made.
        QVERIFY(ReadFileForTest(m_home->dataFolder() + "Log.txt")
                    .contains("MainForm.AutomaticStart - einde, niets te melden"));
    }
};

QTEST_MAIN(TestMainForm)
#include "tst_mainform.moc"
