#include "TestKit.h"
#include "editing/Edit.h"
#include "exchange/Dav.h"
#include "exchange/ExchangeDialogs.h"
#include "exchange/MemorySecrets.h"
#include "exchange/Radicale.h"
#include "exchange/Secrets.h"
#include "kit/Clock.h"
#include "kit/Store.h"
#include "lists/Resize.h"
#include "records/Dates.h"

#include <QApplication>
#include <QDir>
#include <QImage>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QRegularExpression>
#include <QTest>
#include <QToolButton>

#include <memory>

namespace {

const QByteArray twoCards = "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Dirk Dekker\r\nBDAY:1970-01-02\r\nEND:VCARD\r\n"
                            "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Eva Ek\r\nBDAY:--03-04\r\nEND:VCARD\r\n";

// The edit window on Anna's record, shown, with its pictures in `folder`.
struct EditWindow {
    explicit EditWindow(const QString& folder)
        : table(TableOf({"12-05-1960;Anna;Geboorte;"})), data(table), form(table, prepared(data, folder)) {
        form.show();
    }
    static DataFile& prepared(DataFile& data, const QString& folder) {
        data.dataFolder = folder;
        data.dateNotation = DayMonthYear;
        return data;
    }
    RecordTable table;
    DataFile data;
    TEditForm form;
};

} // namespace

class TestExchangeDialogs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void buttons_data();
    void buttons();
    void annulerenLeavesEverythingAsItWas_data();
    void annulerenLeavesEverythingAsItWas();

private:
    TempHome m_home;
    std::unique_ptr<Radicale> m_server;
};

void TestExchangeDialogs::initTestCase() {
    WriteFileForTest(m_home.path() + "/kaarten.vcf", twoCards);
    // The window shows the empty picture beside the grid.
    QImage blank(40, 30, QImage::Format_RGB32);
    blank.fill(Qt::white);
    QDir().mkpath(m_home.dataFolder());
    QVERIFY(blank.save(m_home.dataFolder() + "Blanc.jpg", "JPEG"));
    if (Radicale::program().isEmpty())
        return;
    m_server = std::make_unique<Radicale>();
    const QString why = m_server->start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QCOMPARE(m_server->makeAddressBook(QStringLiteral("/user/contacts/")), 201);
    // One card per resource, as the server wants it.
    const int middle = twoCards.indexOf("BEGIN:VCARD", 1);
    int n = 0;
    for (const QByteArray& card : {twoCards.left(middle), twoCards.mid(middle)})
        QCOMPARE(
            m_server->request("PUT", QStringLiteral("/user/contacts/%1.vcf").arg(++n),
                              QByteArray(card).replace("VERSION:3.0\r\n", "VERSION:3.0\r\nUID:k" +
                                                                              QByteArray::number(n) + "\r\n"),
                              "text/vcard"),
            201);
}

void TestExchangeDialogs::buttons_data() {
    QTest::addColumn<bool>("importing");
    QTest::addColumn<bool>("toServer");
    QTest::addColumn<QString>("secret");      // the stored password; "-" no secret store runs
    QTest::addColumn<QStringList>("answers"); // address, user name, password as typed; %1 the port
    QTest::addColumn<QString>("note");        // the timed message's lines
    QTest::addColumn<int>("records");
    QTest::addColumn<QString>("kept"); // the stored password afterwards
    const QString book = QStringLiteral("http://127.0.0.1:%1/user/contacts/");
    const QString added = QStringLiteral("|2 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen");
    QTest::newRow("contacts from a file")
        << true << false << "" << QStringList() << "Contacten uit kaarten.vcf" + added << 3 << "";
    QTest::newRow("address book: password asked, then kept")
        << true << true << "" << QStringList{book, "user", "geheim"} << "Contacten uit " + book + added << 3
        << "geheim";
    QTest::newRow("address book: kept password") << true << true << "geheim" << QStringList{book, "user"}
                                                 << "Contacten uit " + book + added << 3 << "geheim";
    QTest::newRow("a refused kept password is forgotten")
        << true << true << "fout" << QStringList{book, "user"}
        << "Importeren mislukt|Gebruikersnaam of wachtwoord onjuist voor 127.0.0.1:%1" << 1 << "";
    QTest::newRow("no secret store: nothing kept")
        << true << true << "-" << QStringList{book, "user", "geheim"} << "Contacten uit " + book + added << 3
        << "";
    QTest::newRow("not a web address")
        << true << true << "" << QStringList{"ftp://x/", "user"} << "Geen geldig adres:|ftp://x/" << 1 << "";
    QTest::newRow("an address that cannot be read is shown without its password")
        << true << true << "" << QStringList{"webcal://user:p@ss@127.0.0.1:%1/x/"}
        << "Geen geldig adres:|webcal://127.0.0.1:%1/x/" << 1 << "";
    QTest::newRow("calendar to a file")
        << false << false << "" << QStringList() << "Agenda geschreven:|%2Brolt.ics" << 1 << "";
    QTest::newRow("calendar to the server")
        << false << true << "" << QStringList{"http://127.0.0.1:%1/user/venster/", "user", "geheim"}
        << "Agenda gepubliceerd:|1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd" << 1 << "geheim";
}

void TestExchangeDialogs::buttons() {
    QFETCH(bool, importing);
    QFETCH(bool, toServer);
    QFETCH(QString, secret);
    QFETCH(QStringList, answers);
    QFETCH(QString, note);
    QFETCH(int, records);
    QFETCH(QString, kept);
    if (toServer && !m_server)
        QSKIP("radicale is not installed");
    const QString port = m_server ? QString::number(m_server->port()) : QString();
    const QString folder = m_home.path() + QLatin1Char('/');
    for (QString& answer : answers)
        answer.replace(QStringLiteral("%1"), port);
    note.replace(QStringLiteral("%1"), port).replace(QStringLiteral("%2"), folder);

    Clock::set(Noon(2025, 5, 12));
    FakeUi ui;
    MemorySecrets secrets;
    secrets.running = secret != QLatin1String("-");
    const QString address = answers.value(0);
    const QString key = Secrets::keyFor(QStringLiteral("user"), address);
    if (secrets.running && !secret.isEmpty())
        secrets.kept.insert(key, secret);
    EditWindow window(m_home.dataFolder());
    auto& [table, data, form] = window;
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    QCOMPARE(ui.notes.size(), 0);

    ui.nextAnswer(!toServer);
    ui.nextBrowse(importing ? folder + "kaarten.vcf" : folder);
    ui.textAnswers = answers;
    TExchangeButtons* buttons = form.exchangeButtons();
    QTest::mouseClick(importing ? buttons->importButton() : buttons->exportButton(), Qt::LeftButton);
    // Network work and reading cards run on the event loop under a busy
    // cursor, and end without one.
    const bool running = (toServer && address.startsWith(QLatin1String("http"))) || (importing && !toServer);
    QCOMPARE(buttons->busy(), running);
    QCOMPARE(QApplication::overrideCursor() && QApplication::overrideCursor()->shape() == Qt::WaitCursor,
             running);
    QTRY_COMPARE_WITH_TIMEOUT(ui.notes.size(), 1, 10000);
    QVERIFY(!QApplication::overrideCursor());
    QCOMPARE(ui.notes[0].first + QLatin1Char('|') + ui.notes[0].second, note);
    QVERIFY(!buttons->busy() && buttons->importButton()->isEnabled());
    QCOMPARE(table.recordCount(), records);
    QCOMPARE(form.model()->rowCount(), records + 1);
    // The new rows show their ages at once (the server may hand the cards in any order).
    QStringList ages;
    for (int row = 2; row <= table.recordCount(); ++row)
        ages << table.row(row)[Col::Name] + table.row(row)[Col::Age];
    ages.sort();
    QCOMPARE(ages.join(QLatin1Char('|')),
             records > 1 ? QStringLiteral("Dirk Dekker 55|Eva Ek  0") : QString());
    QCOMPARE(secrets.kept.value(key), kept);
    // The address and user name are remembered, the password never.
    if (toServer && address.startsWith(QLatin1String("http")))
        QCOMPARE(Store::readText(importing ? Keys::AdresboekAdres : Keys::AgendaAdres), address);
    QVERIFY(!toServer || ReadFileForTest(m_home.configFile()).contains("user"));
    QVERIFY(!ReadFileForTest(m_home.configFile()).contains("geheim"));
    if (!importing && !toServer)
        QCOMPARE(ReadFileForTest(folder + "Brolt.ics").count("BEGIN:VEVENT"), 1);
    // Imported records are marked for saving at once; Annuleren forgets them
    // with everything else done in the window.
    QCOMPARE(data.unsavedChanges, records > 1);
    QTest::mouseClick(form.findChild<QWidget*>(QStringLiteral("BtnCancel")), Qt::LeftButton);
    QCOMPARE(data.unsavedChanges, false);
    QCOMPARE(table.recordCount(), 1);
}

// A long import or publish shows its progress with "Annuleren"; Annuleren
// (or Escape) stops it and the window's records stay exactly as they were.
void TestExchangeDialogs::annulerenLeavesEverythingAsItWas_data() {
    QTest::addColumn<bool>("importing");
    QTest::addColumn<bool>("toServer");
    QTest::addColumn<bool>("keyboard"); // Escape instead of a click
    QTest::newRow("thousands of cards from a file, Annuleren") << true << false << false;
    QTest::newRow("thousands of cards from a file, Escape") << true << false << true;
    QTest::newRow("the address book on the server, Annuleren") << true << true << false;
    QTest::newRow("the calendar on the server, Escape") << false << true << true;
}

void TestExchangeDialogs::annulerenLeavesEverythingAsItWas() {
    QFETCH(bool, importing);
    QFETCH(bool, toServer);
    QFETCH(bool, keyboard);
    if (toServer && !m_server)
        QSKIP("radicale is not installed");
    const QString many = m_home.path() + "/veel.vcf";
    if (!QFileInfo::exists(many)) {
        const QByteArray photo = EncodeJpeg(Bitmap24(640, 480), 90).toBase64();
        QByteArray cards;
        for (int i = 1; i <= 3000; ++i)
            cards += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Kaart " + QByteArray::number(i) +
                     "\r\nBDAY:1970-01-15\r\n" +
                     (i % 3 ? QByteArray() : "PHOTO;ENCODING=b;TYPE=JPEG:" + photo + "\r\n") +
                     "END:VCARD\r\n";
        WriteFileForTest(many, cards);
    }
    Clock::set(Noon(2025, 5, 12));
    FakeUi ui;
    MemorySecrets secrets;
    secrets.running = false;
    const QStringList pictures = QDir(m_home.dataFolder()).entryList(QDir::Files);
    const QByteArray state = ReadFileForTest(PublishStateFile());
    EditWindow window(m_home.dataFolder());
    auto& [table, data, form] = window;
    QVERIFY(QTest::qWaitForWindowExposed(&form));

    ui.nextAnswer(!toServer);
    ui.nextBrowse(many);
    if (toServer)
        ui.textAnswers = {QStringLiteral("http://127.0.0.1:%1/user/%2/")
                              .arg(m_server->port())
                              .arg(importing ? "contacts" : "geannuleerd"),
                          "user", "geheim"};
    TExchangeButtons* buttons = form.exchangeButtons();
    QTest::mouseClick(importing ? buttons->importButton() : buttons->exportButton(), Qt::LeftButton);
    TExchangeProgress* progress = buttons->progressWindow();
    QVERIFY(progress && progress->isVisible() && progress->isModal());
    auto* cancel = progress->findChild<QPushButton*>(QStringLiteral("ProgressCancel"));
    QCOMPARE(cancel->text(), QStringLiteral("Annuleren"));
    QVERIFY(progress->findChild<QProgressBar*>(QStringLiteral("ProgressBar")));
    // The cards are counted as they are read, of all there are.
    auto* label = progress->findChild<QLabel*>(QStringLiteral("ProgressText"));
    if (!toServer)
        QTRY_VERIFY2(QRegularExpression("^(Kaarten gelezen: \\d+ van 3000|Foto's verkleind: \\d+ van 1000)$")
                         .match(label->text())
                         .hasMatch(),
                     qPrintable(label->text()));
    if (keyboard)
        QTest::keyClick(progress, Qt::Key_Escape);
    else
        QTest::mouseClick(cancel, Qt::LeftButton);
    QTRY_VERIFY_WITH_TIMEOUT(!buttons->busy(), 20000);
    QTRY_VERIFY(!buttons->progressWindow());
    QVERIFY(!QApplication::overrideCursor());

    // Stopped, not failed: no message, and nothing changed anywhere.
    QCOMPARE(ui.notes.size(), 0);
    QCOMPARE(table.recordCount(), 1);
    QCOMPARE(form.model()->rowCount(), 2);
    QCOMPARE(data.unsavedChanges, false);
    QCOMPARE(QDir(m_home.dataFolder()).entryList(QDir::Files), pictures);
    QCOMPARE(ReadFileForTest(PublishStateFile()), state);
    QVERIFY(buttons->importButton()->isEnabled());
}

QTEST_MAIN(TestExchangeDialogs)
#include "tst_exchangedialogs.moc"
