#include "kit/Help.h"
#include "kit/Support.h"

#include <QDialog>
#include <QFile>
#include <QSet>
#include <QTemporaryDir>
#include <QTextBrowser>
#include <QToolButton>
#include <QtTest>

class TestHelp : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();

    void contextNumberOpensItsPage_data();
    void contextNumberOpensItsPage();
    void unknownNumberOpensTheIndex_data();
    void unknownNumberOpensTheIndex();
    void everyMappedNumberIsAKnownTopic();
    void everyMappedPageAndPlaceExists_data();
    void everyMappedPageAndPlaceExists();
    void helpWindowShowsThePage_data();
    void helpWindowShowsThePage();
    void inhoudButtonGoesBackToTheIndex();
    void missingHelpFolderIsReportedOnce();
    void widgetWithoutNumberUsesItsParents();
    void helpFromAModalWindowBelongsToIt();
    void closeHelpHidesTheWindow();
    void keysOnTheHelpWindow_data();
    void keysOnTheHelpWindow();

private:
    // Every help number the windows use, with the page (and place) it belongs to.
    static QList<QPair<int, QString>> knownTopics();

    QTemporaryDir m_home;
    QStringList m_messages;
};

QList<QPair<int, QString>> TestHelp::knownTopics() {
    return {
        {1000, "hoofdvenster.html"},
        {32020, "openen.html"},
        {32030, "wijzigen.html"},
        {32040, "bewaren.html"},
        {32045, "backup.html"},
        {32050, "instellingen.html"},
        {32060, "updates.html"},
        {32070, "informatie.html"},
        {32080, "afsluiten.html"},
        {32051, "instellingen.html#datum"},
        {32058, "instellingen.html#sorteren"},
        {32054, "instellingen.html#timer"},
        {32055, "instellingen.html#duur"},
        {32059, "instellingen.html#tijdvenster"},
        {32056, "instellingen.html#achteraf"},
        {32157, "instellingen.html#vooraf"},
        {32150, "instellingen.html#updates"},
        {32160, "instellingen.html#adresboek"},
        {314, "instellingen.html#logbestand"},
        {40000, "invoer.html"},
        {20350, "invoer.html#kolommen"},
        {41300, "invoer.html#toevoegen"},
        {41400, "invoer.html#verwijderen"},
        {41500, "invoer.html#lijsten"},
        {41600, "lijsten.html"},
        {60000, "kalender.html"},
    };
}

void TestHelp::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toLocal8Bit());
    SetHelpMessageHandler([this](const QString& text) { m_messages.append(text); });
}

void TestHelp::init() {
    SetHelpFolder(QString());
    m_messages.clear();
}

void TestHelp::cleanup() {
    CloseHelp();
}

void TestHelp::contextNumberOpensItsPage_data() {
    QTest::addColumn<int>("context");
    QTest::addColumn<QString>("page");
    for (const auto& [context, page] : knownTopics())
        QTest::addRow("%d", context) << context << page;
}

void TestHelp::contextNumberOpensItsPage() {
    QFETCH(int, context);
    QFETCH(QString, page);
    QCOMPARE(HelpPageFor(context), page);
}

void TestHelp::unknownNumberOpensTheIndex_data() {
    QTest::addColumn<int>("context");
    QTest::newRow("zero") << 0;
    QTest::newRow("negative") << -1000;
    QTest::newRow("next to the main window") << 1001;
    QTest::newRow("between tool buttons") << 32021;
    QTest::newRow("large") << 999999;
}

void TestHelp::unknownNumberOpensTheIndex() {
    QFETCH(int, context);
    QCOMPARE(HelpPageFor(context), QStringLiteral("index.html"));
}

void TestHelp::everyMappedNumberIsAKnownTopic() {
    // A number in the table that no window uses, or a used one missing, shows up here.
    QList<int> expected;
    for (const auto& topic : knownTopics())
        expected.append(topic.first);
    std::sort(expected.begin(), expected.end());
    QCOMPARE(HelpContexts(), expected);
}

void TestHelp::everyMappedPageAndPlaceExists_data() {
    QTest::addColumn<int>("context");
    for (int context : HelpContexts())
        QTest::addRow("%d", context) << context;
}

void TestHelp::everyMappedPageAndPlaceExists() {
    QFETCH(int, context);
    const QString page = HelpPageFor(context);
    const QString file = HelpFolder() + page.section('#', 0, 0);
    QFile html(file);
    QVERIFY2(html.open(QIODevice::ReadOnly), qPrintable(file));
    const QString text = QString::fromUtf8(html.readAll());
    QVERIFY2(text.contains(QRegularExpression("<title>[^<]+</title>")), qPrintable(file));
    const QString place = page.section('#', 1);
    if (!place.isEmpty())
        QVERIFY2(text.contains(QStringLiteral("<a name=\"%1\">").arg(place)), qPrintable(page));
}

void TestHelp::helpWindowShowsThePage_data() {
    QTest::addColumn<int>("context");
    QTest::addColumn<QString>("file");
    QTest::addColumn<QString>("fragment");
    QTest::addColumn<QString>("title");
    QTest::newRow("main window") << 1000 << "hoofdvenster.html"
                                 << ""
                                 << "Het hoofdvenster";
    QTest::newRow("open button") << 32020 << "openen.html"
                                 << ""
                                 << "Een ander bestand lezen";
    QTest::newRow("days ahead") << 32157 << "instellingen.html"
                                << "vooraf"
                                << "Instellingen";
    QTest::newRow("grid header") << 20350 << "invoer.html"
                                 << "kolommen"
                                 << "Het invoervenster";
    QTest::newRow("unknown number") << 4242 << "index.html"
                                    << ""
                                    << "Inhoud";
}

void TestHelp::helpWindowShowsThePage() {
    QFETCH(int, context);
    QFETCH(QString, file);
    QFETCH(QString, fragment);
    QFETCH(QString, title);

    ShowHelp(context);
    THelpForm* form = THelpForm::existing();
    QVERIFY(form);
    QVERIFY(form->isVisible());
    QCOMPARE(form->CurrentContext(), context);
    auto* browser = form->findChild<QTextBrowser*>("HelpBrowser");
    QVERIFY(browser);
    QCOMPARE(browser->source().fileName(), file);
    QCOMPARE(browser->source().fragment(), fragment);
    QCOMPARE(browser->documentTitle(), title);
    QCOMPARE(form->windowTitle(), QStringLiteral("Brolt - Help - ") + title);
    QVERIFY(m_messages.isEmpty());
}

void TestHelp::inhoudButtonGoesBackToTheIndex() {
    ShowHelp(32080);
    THelpForm* form = THelpForm::existing();
    QVERIFY(form);
    auto* inhoud = form->findChild<QToolButton*>("BtnInhoud");
    auto* vorige = form->findChild<QToolButton*>("BtnVorige");
    QVERIFY(inhoud && vorige);
    QTest::mouseClick(inhoud, Qt::LeftButton);
    QCOMPARE(form->Browser()->source().fileName(), QStringLiteral("index.html"));
    QVERIFY(vorige->isEnabled());
    QTest::mouseClick(vorige, Qt::LeftButton);
    QCOMPARE(form->Browser()->source().fileName(), QStringLiteral("afsluiten.html"));
}

void TestHelp::missingHelpFolderIsReportedOnce() {
    QTemporaryDir empty;
    const QString folder = empty.path() + "/help/";
    SetHelpFolder(folder);

    QVERIFY(!HelpAvailable());
    ShowHelp(1000);
    ShowHelp(32020);
    QVERIFY(!HelpAvailable());

    QCOMPARE(m_messages, QStringList{QStringLiteral("Help file not found\r") + folder + "index.html"});
    QVERIFY(!THelpForm::existing() || !THelpForm::existing()->isVisible());
}

void TestHelp::widgetWithoutNumberUsesItsParents() {
    QWidget window;
    auto* panel = new QWidget(&window);
    auto* grid = new QWidget(panel);
    auto* button = new QWidget(panel);
    SetHelpContext(&window, 40000);
    SetHelpContext(button, 41300);
    QWidget orphan;

    QCOMPARE(HelpContextFor(&window), 40000);
    QCOMPARE(HelpContextFor(grid), 40000);
    QCOMPARE(HelpContextFor(button), 41300);
    QCOMPARE(HelpContextFor(&orphan), 0);
    QCOMPARE(HelpContextFor(nullptr), 0);

    ShowHelpFor(grid);
    QCOMPARE(THelpForm::existing()->Browser()->source().fileName(), QStringLiteral("invoer.html"));
    ShowHelpFor(&orphan);
    QCOMPARE(THelpForm::existing()->Browser()->source().fileName(), QStringLiteral("index.html"));
}

void TestHelp::helpFromAModalWindowBelongsToIt() {
    // Otherwise the modal window blocks the help window and the user cannot read or close it.
    QDialog dialog;
    dialog.setModal(true);
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    QCOMPARE(QApplication::activeModalWidget(), &dialog);

    ShowHelp(60000);
    THelpForm* form = THelpForm::existing();
    QVERIFY(form);
    QCOMPARE(form->parentWidget(), &dialog);
    QVERIFY(form->isWindow());
    QVERIFY(form->isVisible());

    dialog.hide();
    ShowHelp(1000);
    form = THelpForm::existing();
    QVERIFY(form);
    QCOMPARE(form->parentWidget(), nullptr);
    QCOMPARE(form->Browser()->source().fileName(), QStringLiteral("hoofdvenster.html"));
}

void TestHelp::closeHelpHidesTheWindow() {
    ShowHelp(1000);
    QVERIFY(THelpForm::existing()->isVisible());
    CloseHelp();
    QVERIFY(!THelpForm::existing()->isVisible());
}

// Help closes with Escape, as the program's dialogs do; other keys leave it open.
void TestHelp::keysOnTheHelpWindow_data() {
    QTest::addColumn<int>("key");
    QTest::addColumn<bool>("open");
    QTest::newRow("Escape") << int(Qt::Key_Escape) << false;
    QTest::newRow("Page Down") << int(Qt::Key_PageDown) << true;
    QTest::newRow("a letter") << int(Qt::Key_Q) << true;
}

void TestHelp::keysOnTheHelpWindow() {
    QFETCH(int, key);
    QFETCH(bool, open);
    ShowHelp(1000);
    THelpForm* form = THelpForm::existing();
    QVERIFY(form && form->isVisible());
    QApplication::setActiveWindow(form);
    QVERIFY(QTest::qWaitForWindowActive(form));
    form->Browser()->setFocus();
    QTest::keyClick(form->windowHandle(), Qt::Key(key));
    QCOMPARE(form->isVisible(), open);
}

QTEST_MAIN(TestHelp)
#include "tst_help.moc"
