#include "TestKit.h"
#include "exchange/Exchange.h"
#include "exchange/Radicale.h"
#include "lists/Resize.h"

#include <QDir>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTest>

#include <memory>

// One run of the exchange on a data file, stopped on the way: what was done
// stays done and whole, nothing is half-written, and the next run goes on
// from there.
class TestExchangeRun : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void stopsCleanly_data();
    void stopsCleanly();

private:
    TempHome m_home;
    std::unique_ptr<Radicale> m_server;
};

namespace {
const QByteArray opa = "1950-01-01;Opa;Geboorte;;;;;;;\r\n";

// `count` cards, one in three with a photo.
QByteArray cards(int count) {
    const QByteArray photo = EncodeJpeg(Bitmap24(640, 480), 90).toBase64();
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += "BEGIN:VCARD\r\nVERSION:3.0\r\nFN:Kaart " + QByteArray::number(i) + "\r\nBDAY:1970-01-" +
               QByteArray::number(10 + i % 18) + "\r\n" +
               (i % 3 == 0 ? "PHOTO;ENCODING=b;TYPE=JPEG:" + photo + "\r\n" : QByteArray()) + "END:VCARD\r\n";
    return out;
}

// `count` records, for a calendar of as many events.
QByteArray records(int count) {
    QByteArray out;
    for (int i = 1; i <= count; ++i)
        out += "1960-05-" + QByteArray::number(10 + i % 18) + ";Persoon " + QByteArray::number(i) +
               ";Geboorte;;;;;;;\r\n";
    return out;
}
} // namespace

void TestExchangeRun::initTestCase() {
    if (Radicale::program().isEmpty())
        return;
    m_server = std::make_unique<Radicale>();
    const QString why = m_server->start();
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QCOMPARE(m_server->makeAddressBook(QStringLiteral("/user/thuis/"), "Thuis"), 201);
    const QByteArray all = cards(60);
    for (qsizetype at = 0, n = 0; (at = all.indexOf("BEGIN:VCARD", at)) >= 0; ++n) {
        const qsizetype end = all.indexOf("END:VCARD\r\n", at) + 11;
        QCOMPARE(
            m_server->request(
                "PUT", QStringLiteral("/user/thuis/%1.vcf").arg(n),
                all.mid(at, end - at).replace("VERSION:3.0", "VERSION:3.0\r\nUID:" + QByteArray::number(n)),
                "text/vcard"),
            201);
        at = end;
    }
}

void TestExchangeRun::stopsCleanly_data() {
    QTest::addColumn<QString>("job");    // cards from a file, from the address book, or publishing
    QTest::addColumn<QString>("stopAt"); // Annuleren at the first step whose text starts so; empty: at once
    QTest::addColumn<QString>("error");
    QTest::addColumn<QString>("next"); // what the next run then does; %1 %2 the events not sent and sent
    QTest::newRow("import: stopped while the address book is read")
        << "book"
        << "Adresboek \"Thuis\""
        << "Geannuleerd"
        << "60 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen";
    QTest::newRow("import: stopped while reading the cards")
        << "file"
        << "Kaarten gelezen"
        << "Importeren geannuleerd; er is niets veranderd."
        << "300 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen";
    QTest::newRow("import: stopped while making the pictures")
        << "file"
        << "Foto's verkleind"
        << "Importeren geannuleerd; er is niets veranderd."
        << "300 toegevoegd, 0 bijgewerkt, 0 al aanwezig, 0 overgeslagen";
    QTest::newRow("publish: stopped while the calendar is looked for")
        << "publish"
        << ""
        << "Geannuleerd"
        << "40 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd";
    QTest::newRow("publish: stopped after 10 events sent")
        << "publish"
        << "Afspraken verstuurd: 10 "
        << "Geannuleerd"
        << "%1 nieuw, 0 gewijzigd, %2 ongewijzigd, 0 verwijderd";
}

void TestExchangeRun::stopsCleanly() {
    QFETCH(QString, job);
    QFETCH(QString, stopAt);
    QFETCH(QString, error);
    QFETCH(QString, next);
    const bool publishing = job == "publish";
    if (job != "file" && !m_server)
        QSKIP("radicale is not installed");
    QTemporaryDir dir;
    const QString dataFile = dir.filePath("Brolt.dat");
    const QByteArray before = publishing ? records(40) : opa;
    WriteFileForTest(dataFile, before);
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    // A calendar of its own per row.
    const QString calendar = QStringLiteral("/user/%1/").arg(qHash(QString(QTest::currentDataTag())));
    ExchangeJob exchange;
    if (publishing) {
        exchange.calendar = m_server->url(calendar);
        exchange.calendarLogin = {QStringLiteral("user"), QStringLiteral("geheim")};
    } else if (job == "book") {
        exchange.addressBook = m_server->url(QStringLiteral("/user/thuis/"));
        exchange.bookLogin = {QStringLiteral("user"), QStringLiteral("geheim")};
    } else {
        exchange.cards = {{dir.filePath("kaarten.vcf"), cards(300)}};
    }
    exchange.dataFile = dataFile;

    ExchangeRun run;
    QStringList steps;
    connect(&run, &ExchangeRun::progress, &run, [&](const ExchangeStep& step) {
        steps << step.text();
        if (!stopAt.isEmpty() && step.text().startsWith(stopAt) && !run.outcome().cancelled)
            run.cancel();
    });
    run.start(exchange);
    if (stopAt.isEmpty())
        run.cancel();
    QTRY_VERIFY_WITH_TIMEOUT(!run.busy(), 30000);
    QVERIFY2(run.outcome().cancelled, qPrintable(steps.join(u'|')));
    QCOMPARE(run.outcome().error, error);

    // Nothing half-written: the data file as it was, no picture left behind.
    QCOMPARE(ReadFileForTest(dataFile), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);

    // What was sent is remembered exactly, and the next run goes on from
    // there; the one after that has nothing left to do.
    const int sent = run.outcome().counts.created;
    if (publishing) {
        QFile file(PublishStateFile());
        const QJsonObject state =
            file.open(QIODevice::ReadOnly) ? QJsonDocument::fromJson(file.readAll()).object() : QJsonObject();
        QCOMPARE(state.value(m_server->url(calendar).toString()).toObject().size(), sent);
        QCOMPARE(sent >= 10, !stopAt.isEmpty());
    }
    const ExchangeOutcome again = RunExchange(exchange);
    QVERIFY2(again.ok, qPrintable(again.error));
    if (next.contains(QStringLiteral("%1")))
        next = next.arg(40 - sent).arg(sent);
    QCOMPARE(publishing ? PublishLine(again.counts) : again.import.line(), next);
    if (publishing)
        QCOMPARE(PublishLine(RunExchange(exchange).counts),
                 QStringLiteral("0 nieuw, 0 gewijzigd, 40 ongewijzigd, 0 verwijderd"));
}

QTEST_GUILESS_MAIN(TestExchangeRun)
#include "tst_exchangerun.moc"
