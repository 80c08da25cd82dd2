#include "Main.h"
#include "TestKit.h"
#include "exchange/Import.h"
#include "exchange/MemorySecrets.h"
#include "exchange/Morning.h"
#include "exchange/Radicale.h"
#include "kit/Clock.h"
#include "kit/Help.h"
#include "kit/Store.h"
#include "settings/Options.h"

#include <QAbstractButton>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QRegularExpression>
#include <QTcpServer>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>

#include <memory>

namespace {
// Kees was added to the address book yesterday; his birthday is on Wednesday.
const QByteArray kees =
    "BEGIN:VCARD\r\nVERSION:3.0\r\nUID:kees\r\nFN:Kees Jansen\r\nBDAY:1970-05-13\r\nEND:VCARD\r\n";
// Anna's, tomorrow, keeps the window of a morning start open; Opa's is far off.
const QByteArray annaDue = "1960-05-11;Anna;Geboorte;;;;;;;\r\n1940-01-01;Opa;Geboorte;;;;;;;\r\n";
const QByteArray noneDue = "1940-01-01;Opa;Geboorte;;;;;;;\r\n";
const QString anna = QStringLiteral("Anna wordt morgen (ma 11-05) 66 jaar");
const QString keesLine = QStringLiteral("Kees Jansen wordt over 3 dagen (wo 13-05) 56 jaar");

QStringList memoLines(TMainForm& form) {
    QStringList lines;
    const QTextDocument* document = form.findChild<QTextEdit*>(QStringLiteral("DagenMemo"))->document();
    for (QTextBlock b = document->begin(); b.isValid(); b = b.next())
        if (!b.text().isEmpty())
            lines << b.text();
    return lines;
}

// The log's entries without their time stamps and indentation.
QStringList logEntries(const QString& file) {
    QStringList entries;
    for (const QString& line : QString::fromUtf8(ReadFileForTest(file)).split(QStringLiteral("\r\n")))
        entries << line.mid(20).trimmed();
    return entries;
}

// Notes how busy the program looked when a password was asked.
class AskingUi : public FakeUi {
public:
    bool askPassword(QString& text, const QString& prompt, const QString& title,
                     const QRect& caller) override {
        busyWhenAsked << busyLevel;
        return FakeUi::askPassword(text, prompt, title, caller);
    }
    QList<int> busyWhenAsked;
};
} // namespace

// Every morning without a click: the address book in and the calendar out
// before the reminders, once a day, within its bound, never a modal error.
class TestMorning : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanup();
    void morningStart_data();
    void morningStart();
    void exchangeNow_data();
    void exchangeNow();
    void networkOnlyForTheExchange_data();
    void networkOnlyForTheExchange();

private:
    // A fresh data folder holding `records`, and the accounts on `server`.
    void prepare(const QByteArray& records, const QString& server);
    QString base(const QString& server) const;

    TempHome m_home;
    std::unique_ptr<Radicale> m_radicale;
    QTcpServer m_silent; // takes every request and never answers
    int m_asked = 0;
    int m_closedPort = 0;
    int m_folders = 0;
};

void TestMorning::initTestCase() {
    SetHelpMessageHandler([](const QString&) {});
    qputenv("BROLT_UPDATE_URL", "http://127.0.0.1:9/");
    // No desktop's secret store is ever asked here.
    qunsetenv("DBUS_SESSION_BUS_ADDRESS");
    QVERIFY(m_silent.listen(QHostAddress::LocalHost, 0));
    connect(&m_silent, &QTcpServer::newConnection, this, [this] {
        while (QTcpSocket* socket = m_silent.nextPendingConnection()) {
            ++m_asked;
            socket->setParent(&m_silent);
        }
    });
    QTcpServer closed;
    QVERIFY(closed.listen(QHostAddress::LocalHost, 0));
    m_closedPort = closed.serverPort();
    if (Radicale::program().isEmpty())
        return;
    m_radicale = std::make_unique<Radicale>();
    const QString why = m_radicale->start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QCOMPARE(m_radicale->makeAddressBook(QStringLiteral("/user/contacts/")), 201);
    QCOMPARE(m_radicale->request("PUT", "/user/contacts/kees.vcf", kees, "text/vcard"), 201);
    QCOMPARE(m_radicale->makeAddressBook(QStringLiteral("/user/veranderd/")), 201);
    QCOMPARE(m_radicale->request("PUT", "/user/veranderd/kees.vcf", kees, "text/vcard"), 201);
}

void TestMorning::init() {
    Clock::set(Noon(2026, 5, 10));
    for (const StoreKey& key : {Keys::TimerAan, Keys::UpdatesCheck, Keys::MeldingenAan})
        Store::writeText(key.name, QStringLiteral("0"));
    Store::writeText(Keys::Versie.name, QStringLiteral(BROLT_VERSION_LABEL));
    m_asked = 0;
}

void TestMorning::cleanup() {
    CloseHelp();
    Clock::set({});
    SetMorningBoundMs(20000);
    qunsetenv("BROLT_DAV_PASSWORD");
}

QString TestMorning::base(const QString& server) const {
    const int port = server.startsWith(QLatin1String("radicale")) ? m_radicale->port()
                     : server == QLatin1String("silent")          ? m_silent.serverPort()
                                                                  : m_closedPort;
    return QStringLiteral("http://127.0.0.1:%1/user/").arg(port);
}

void TestMorning::prepare(const QByteArray& records, const QString& server) {
    const QString folder = m_home.path() + QStringLiteral("/rij%1/").arg(++m_folders);
    WriteFileForTest(folder + "Brolt.dat", records);
    Store::writeText(Keys::NameOfFile.name, folder + "Brolt.dat");
    Store::writeText(Keys::AdresboekAdres.name,
                     base(server) + (server.endsWith(QLatin1String("renamed")) ? "veranderd/" : "contacts/"));
    Store::writeText(Keys::AgendaAdres.name, base(server) + QStringLiteral("ochtend%1/").arg(m_folders));
    Store::writeText(Keys::AdresboekGebruiker.name, QStringLiteral("user"));
    Store::writeText(Keys::AgendaGebruiker.name, QStringLiteral("user"));
}

void TestMorning::morningStart_data() {
    // How the morning comes: "window" (Brolt a with a display), "date change" (a
    // window open since yesterday), "no display" (Brolt a as a process without one).
    QTest::addColumn<QString>("start");
    QTest::addColumn<QString>("server");   // "radicale", "silent", "closed"; "radicale renamed": Kees
                                           // taken in yesterday, renamed on the server since
    QTest::addColumn<QString>("password"); // "env" (BROLT_DAV_PASSWORD), "kept" (secret store), "none"
    QTest::addColumn<bool>("box");         // "Uitwisselen Aan"
    QTest::addColumn<QString>("done");     // the day of the last exchange that succeeded
    QTest::addColumn<bool>("due");         // Anna's birthday tomorrow is in the data file
    QTest::addColumn<int>("boundMs");
    QTest::addColumn<QStringList>("shows"); // the reminders; none: the morning ended unseen
    QTest::addColumn<QString>("note");      // in the status line or on standard error; %1 the port
    QTest::addColumn<QString>("logged");    // the log's entry of the exchange; empty: none ran
    QTest::addColumn<int>("asked");         // requests that reached the silent server
    QTest::addColumn<QString>("cardNote");  // an entry about one card, after the exchange's
    const QString yesterday = QStringLiteral("2026-05-09"), today = QStringLiteral("2026-05-10");
    const QString imported =
        QStringLiteral("Uitwisselen: Adresboek: 1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen; "
                       "Agenda: %1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd");
    const QString down = QStringLiteral("Adresboek niet bijgewerkt: Geen verbinding met 127.0.0.1:%1");
    const QString slow = QStringLiteral("Adresboek niet bijgewerkt: De server antwoordt te traag");
    const QString noPassword = QStringLiteral(
        "Adresboek niet bijgewerkt: geen wachtwoord van user in de sleutelbos of in BROLT_DAV_PASSWORD");
    QTest::newRow("a contact added yesterday is in this morning's sentences")
        << "window"
        << "radicale"
        << "env" << true << yesterday << true << 20000 << QStringList{anna, keesLine} << "" << imported.arg(3)
        << 0 << "";
    QTest::newRow("the password from the secret store")
        << "window"
        << "radicale"
        << "kept" << true << yesterday << true << 20000 << QStringList{anna, keesLine} << ""
        << imported.arg(3) << 0 << "";
    QTest::newRow("with nothing due before, the new contact keeps the window open")
        << "window"
        << "radicale"
        << "env" << true << "" << false << 20000 << QStringList{keesLine} << "" << imported.arg(2) << 0 << "";
    QTest::newRow("a second start the same day asks nothing")
        << "window"
        << "silent"
        << "env" << true << today << true << 300 << QStringList{anna} << ""
        << "" << 0 << "";
    QTest::newRow("the box off asks nothing")
        << "window"
        << "silent"
        << "env" << false << yesterday << true << 300 << QStringList{anna} << ""
        << "" << 0 << "";
    QTest::newRow("a server that is down: a note, a log line, tried again tomorrow")
        << "window"
        << "closed"
        << "env" << true << yesterday << true << 20000 << QStringList{anna} << down << "Uitwisselen: " + down
        << 0 << "";
    QTest::newRow("a silent server costs the bound and no more")
        << "window"
        << "silent"
        << "env" << true << yesterday << true << 300 << QStringList{anna} << slow << "Uitwisselen: " + slow
        << 1 << "";
    QTest::newRow("nothing due and a failure: ended unseen, the log says why")
        << "window"
        << "closed"
        << "env" << true << yesterday << false << 20000 << QStringList() << ""
        << "Uitwisselen: " + down << 0 << "";
    QTest::newRow("no password anywhere: nothing sent")
        << "window"
        << "silent"
        << "none" << true << yesterday << true << 300 << QStringList{anna} << noPassword
        << "Uitwisselen: " + noPassword << 0 << "";
    QTest::newRow("the date changes in a running window")
        << "date change"
        << "radicale"
        << "env" << true << yesterday << true << 20000 << QStringList{anna, keesLine} << "" << imported.arg(3)
        << 0 << "";
    QTest::newRow("a contact renamed on the server since yesterday: the record follows")
        << "date change"
        << "radicale renamed"
        << "env" << true << "" << true << 20000
        << QStringList{anna, QStringLiteral("Kees de Vries wordt over 3 dagen (wo 13-05) 56 jaar")} << ""
        << "Uitwisselen: Adresboek: 0 toegevoegd, 1 bijgewerkt, 0 al aanwezig, 0 overgeslagen; "
           "Agenda: 1 nieuw, 0 gewijzigd, 2 ongewijzigd, 1 verwijderd"
        << 0 << "Geboorte \"Kees Jansen\" heet nu \"Kees de Vries\"";
    QTest::newRow("the date changes, the server is silent")
        << "date change"
        << "silent"
        << "env" << true << yesterday << true << 300 << QStringList{anna} << slow << "Uitwisselen: " + slow
        << 1 << "";
    QTest::newRow("without a display: the sentence on the terminal")
        << "no display"
        << "radicale"
        << "env" << true << yesterday << true << 20000 << QStringList{anna, keesLine} << "" << imported.arg(3)
        << 0 << "";
    QTest::newRow("without a display, the server down: the note on standard error")
        << "no display"
        << "closed"
        << "env" << true << yesterday << true << 20000 << QStringList{anna} << down << "Uitwisselen: " + down
        << 0 << "";
    QTest::newRow("without a display, the second start of the day asks nothing")
        << "no display"
        << "silent"
        << "env" << true << today << true << 20000 << QStringList{anna} << ""
        << "" << 0 << "";
}

void TestMorning::morningStart() {
    QFETCH(QString, start);
    QFETCH(QString, server);
    QFETCH(QString, password);
    QFETCH(bool, box);
    QFETCH(QString, done);
    QFETCH(bool, due);
    QFETCH(int, boundMs);
    QFETCH(QStringList, shows);
    QFETCH(QString, note);
    QFETCH(QString, logged);
    QFETCH(QString, cardNote);
    QFETCH(int, asked);
    if (server.startsWith(QLatin1String("radicale")) && !m_radicale)
        QSKIP("radicale is not installed");
    const QString port = QString::number(server == QLatin1String("closed") ? m_closedPort : 0);
    note.replace(QLatin1String("%1"), port);
    logged.replace(QLatin1String("%1"), port);
    FakeUi ui;
    MemorySecrets secrets;
    prepare(due ? annaDue : noneDue, server);
    Store::writeBool(Keys::UitwisselenAan.name, box);
    Store::writeText(Keys::UitgewisseldOp.name, done);
    if (password == QLatin1String("env"))
        qputenv("BROLT_DAV_PASSWORD", "geheim");
    else if (password == QLatin1String("kept"))
        secrets.kept.insert("user@" + base(server) + "contacts/", "geheim");
    SetMorningBoundMs(boundMs);
    if (server.endsWith(QLatin1String("renamed"))) {
        Clock::set(Noon(2026, 5, 9));
        QVERIFY(RunMorningExchange({ConfiguredDataFile()}).ok);
        const int renamed =
            m_radicale->request("PUT", "/user/veranderd/kees.vcf",
                                QByteArray(kees).replace("Kees Jansen", "Kees de Vries"), "text/vcard");
        QVERIFY2(renamed == 201 || renamed == 204, qPrintable(QString::number(renamed)));
        Clock::set(Noon(2026, 5, 10));
    }
    const QString log = m_home.dataFolder() + "Log.txt";
    QFile::remove(log);

    QStringList lines;
    QString shownNote;
    QElapsedTimer took;
    took.start();
    if (start == QLatin1String("no display")) {
        QProcess brolt;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
            env.remove(QLatin1String(name));
        if (env.contains("LSAN_OPTIONS"))
            env.insert("LSAN_OPTIONS", env.value("LSAN_OPTIONS") + ":print_suppressions=0");
        brolt.setProcessEnvironment(env);
        brolt.start(QStringLiteral(BROLT_PROGRAM_DIR "/Brolt"), {"a", "--date", "2026-05-10"});
        // The test's own silent server answers connections meanwhile.
        QTRY_COMPARE_WITH_TIMEOUT(brolt.state(), QProcess::NotRunning, 60000);
        QCOMPARE(brolt.exitCode(), 0);
        lines = QString::fromUtf8(brolt.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
        shownNote = QString::fromUtf8(brolt.readAllStandardError()).trimmed();
    } else {
        std::optional<MorningOutcome> morning;
        bool endUnseen = false;
        if (start == QLatin1String("window"))
            morning = RunMorningBeforeWindows(QStringLiteral("Brolt"), endUnseen);
        else
            Clock::set(Noon(2026, 5, 9)); // the window was opened yesterday
        if (!endUnseen) {
            TMainForm form(start == QLatin1String("window") ? QStringList{"Brolt", "a"}
                                                            : QStringList{"Brolt"});
            form.setProgramFile(QStringLiteral("Brolt"));
            if (morning)
                form.ShowExchangeOutcome(*morning);
            form.show();
            form.FormPaint();
            if (start == QLatin1String("date change")) {
                took.restart();
                Clock::set(Noon(2026, 5, 10));
                form.TimerDatumTimer();
            }
            lines = memoLines(form);
            shownNote = form.findChild<QLabel*>(QStringLiteral("AantalLabel"))
                            ->text()
                            .section(QStringLiteral("   "), 1);
        }
    }
    QCOMPARE(lines, shows);
    QCOMPARE(shownNote, note);
    const QStringList entries = logEntries(log);
    if (logged.isEmpty())
        QVERIFY2(entries.filter(QStringLiteral("Uitwisselen:")).isEmpty(), qPrintable(entries.join(u'\n')));
    else
        QVERIFY2(entries.contains(logged), qPrintable(entries.join(u'\n')));
    if (!cardNote.isEmpty())
        QVERIFY2(
            entries.mid(entries.indexOf(logged))
                    .filter(QRegularExpression("^Uitwisselen: .*" + QRegularExpression::escape(cardNote)))
                    .size() == 1,
            qPrintable(entries.join(u'\n')));
    // Only an exchange that succeeded counts for the day.
    QCOMPARE(Store::readText(Keys::UitgewisseldOp), logged.contains(QStringLiteral("niet bijgewerkt")) ? done
                                                    : logged.isEmpty()                                 ? done
                                                                       : QStringLiteral("2026-05-10"));
    QCOMPARE(m_asked, asked);
    QVERIFY2(took.elapsed() < boundMs + 5000, qPrintable(QString::number(took.elapsed())));
}

// "Nu bijwerken" in the options: the same exchange at once, the password
// asked when nobody keeps it, the result in a message.
void TestMorning::exchangeNow_data() {
    QTest::addColumn<QString>("kept");   // the password the secret store keeps for both
    QTest::addColumn<QString>("typed");  // at the question; empty: Annuleren
    QTest::addColumn<QString>("scheme"); // of the address typed; "in hand": http, with changes not saved
    QTest::addColumn<QString>("message");
    QTest::addColumn<int>("asked");         // password questions
    QTest::addColumn<QString>("keptAfter"); // for the address book, then the calendar; "-": none
    const QString done =
        QStringLiteral("Adresboek: 1 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen\n"
                       "Agenda: 3 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd");
    QTest::newRow("asked once for both, kept for the mornings") << ""
                                                                << "geheim"
                                                                << "http" << done << 1 << "geheim,geheim";
    QTest::newRow("a kept password asks nothing") << "geheim"
                                                  << ""
                                                  << "http" << done << 0 << "geheim,geheim";
    QTest::newRow("a kept password the server refuses is forgotten")
        << "fout"
        << ""
        << "http"
        << "Adresboek niet bijgewerkt: Gebruikersnaam of wachtwoord onjuist voor 127.0.0.1:%1" << 0
        << "-,fout";
    QTest::newRow("no password given: nothing sent")
        << ""
        << ""
        << "http"
        << "Adresboek niet bijgewerkt: geen wachtwoord van user in de sleutelbos of in BROLT_DAV_PASSWORD"
        << 1 << "-,-";
    QTest::newRow("no address Brolt reads: nothing sent, and no password kept from it")
        << ""
        << ""
        << "ftp"
        << "Adresboek niet bijgewerkt: Het adres ftp://127.0.0.1:%1/user/contacts/ wordt niet begrepen; "
           "Brolt "
           "leest http://, https://, webcal://, webcals://, caldav://, carddav://, dav:// en davs://."
        << 0 << "-,-";
    QTest::newRow("an address without its scheme: its password is never kept nor shown")
        << ""
        << ""
        << "bare"
        << "Adresboek niet bijgewerkt: Het adres 127.0.0.1:%1/user/contacts/ wordt niet begrepen; Brolt "
           "leest http://, https://, webcal://, webcals://, caldav://, carddav://, dav:// en davs://."
        << 0 << "-,-";
    QTest::newRow("changes in hand: nothing runs")
        << "geheim"
        << ""
        << "in hand"
        << "Bewaar eerst de wijzigingen: Brolt werkt het adresboek en de agenda bij in het bewaarde bestand."
        << 0 << "geheim,geheim";
}

void TestMorning::exchangeNow() {
    QFETCH(QString, kept);
    QFETCH(QString, typed);
    QFETCH(QString, scheme);
    QFETCH(QString, message);
    QFETCH(int, asked);
    QFETCH(QString, keptAfter);
    if (!m_radicale)
        QSKIP("radicale is not installed");
    AskingUi ui;
    if (!typed.isEmpty())
        ui.textAnswers << typed;
    MemorySecrets secrets;
    prepare(annaDue, QStringLiteral("radicale"));
    const QString book = Store::readText(Keys::AdresboekAdres), calendar = Store::readText(Keys::AgendaAdres);
    const QStringList keys{"user@" + book, "user@" + calendar};
    for (const QString& key : keys)
        if (!kept.isEmpty())
            secrets.kept.insert(key, kept);
    Store::writeText(Keys::AdresboekAdres.name, QString());
    Store::writeText(Keys::UitgewisseldOp.name, QStringLiteral("2026-05-09"));
    TMainForm form({"Brolt"});
    form.setProgramFile(QStringLiteral("Brolt"));
    form.show();
    form.FormPaint();
    if (scheme == QLatin1String("in hand")) {
        form.dataFile().unsavedChanges = true;
        form.FormResize();
    }
    const QString typedBook = scheme == QLatin1String("ftp")    ? QString(book).replace("http:", "ftp:")
                              : scheme == QLatin1String("bare") ? QString(book).remove("http://")
                                                                : book;
    // Typed into the group, a password in the address included: it is never kept there.
    TOptionsForm* options = form.optionsForm();
    options->show();
    auto* address = options->findChild<QLineEdit*>(QStringLiteral("AdresboekEdit"));
    address->setText(scheme == QLatin1String("bare") ? "user:geheim@" + typedBook
                                                     : QString(typedBook).replace("://", "://user:geheim@"));
    QTest::mouseClick(options->findChild<QAbstractButton*>(QStringLiteral("BtnUitwisselen")), Qt::LeftButton);
    QCOMPARE(ui.messages,
             QStringList{QString(message).replace(QLatin1String("%1"), QString::number(m_radicale->port()))});
    // The progress window with Annuleren tells the run is on, not a busy cursor.
    QCOMPARE(ui.busyWhenAsked, QList<int>(asked, 0));
    QCOMPARE(ui.busyLevel, 0);
    QCOMPARE(Store::readText(Keys::AdresboekAdres), typedBook);
    QCOMPARE(address->text(), typedBook);
    QCOMPARE(secrets.kept.value(keys[0], "-") + u',' + secrets.kept.value(keys[1], "-"), keptAfter);
    const bool ran = message.startsWith(QLatin1String("Adresboek:"));
    const QStringList shown = ran ? QStringList{anna, keesLine} : QStringList{anna};
    QCOMPARE(memoLines(form), shown);
    QCOMPARE(Store::readText(Keys::UitgewisseldOp),
             ran ? QStringLiteral("2026-05-10") : QStringLiteral("2026-05-09"));
    options->reject();
    form.dataFile().unsavedChanges = false;
}

// With the box off, and once today's exchange is done, the morning start
// with a display loads no network library: only the exchange needs one.
void TestMorning::networkOnlyForTheExchange_data() {
    QTest::addColumn<bool>("box");
    QTest::addColumn<QString>("done");
    QTest::addColumn<bool>("network");
    QTest::addColumn<bool>("display");
    const QString today = QDate::currentDate().toString(Qt::ISODate);
    for (const bool display : {true, false}) {
        const char* start = display ? "" : ", without a display";
        QTest::addRow("the box off%s", start) << false << "2026-05-09" << false << display;
        QTest::addRow("today's exchange done%s", start) << true << today << false << display;
        QTest::addRow("today's exchange due%s", start) << true << "2026-05-09" << true << display;
    }
}

void TestMorning::networkOnlyForTheExchange() {
    QFETCH(bool, box);
    QFETCH(QString, done);
    QFETCH(bool, network);
    QFETCH(bool, display);
    // This start reads the computer's own clock: a birthday half a year from it.
    const QString later = QDate::currentDate().addDays(180).toString(u"MM-dd");
    prepare("1940-" + later.toLatin1() + ";Opa;Geboorte;;;;;;;\r\n", QStringLiteral("closed"));
    Store::writeBool(Keys::UitwisselenAan.name, box);
    Store::writeText(Keys::UitgewisseldOp.name, done);
    QProcess brolt;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (display) {
        env.insert("QT_QPA_PLATFORM", "offscreen");
    } else {
        for (const char* name : {"QT_QPA_PLATFORM", "DISPLAY", "WAYLAND_DISPLAY"})
            env.remove(QString::fromLatin1(name));
    }
    env.insert("LD_DEBUG", "libs");
    env.insert("BROLT_DAV_PASSWORD", "geheim");
    brolt.setProcessEnvironment(env);
    brolt.start(QStringLiteral(BROLT_PROGRAM_DIR "/Brolt"), {"a"});
    QVERIFY(brolt.waitForFinished(60000));
    QCOMPARE(brolt.exitCode(), 0);
    const QByteArray loaded = brolt.readAllStandardError();
    QVERIFY(loaded.contains("calling init: ")); // the loader told what it loaded
    QCOMPARE(loaded.contains("libQt6Network"), network);
}

QTEST_MAIN(TestMorning)
#include "tst_morning.moc"
