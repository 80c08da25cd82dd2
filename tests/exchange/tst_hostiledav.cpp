#include "TestKit.h"
#include "exchange/Dav.h"
#include "exchange/HostileDav.h"

#include <QElapsedTimer>
#include <QJsonArray>
#include <QTest>

// The DAV client against a server that does what no honest server does:
// names resources elsewhere, redirects, sends ETags with line breaks, answers
// slowly, without end or with broken XML.  Each scenario runs its own server.
class TestHostileDav : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void staysInItsCalendar_data();
    void staysInItsCalendar();
    void endsInTime_data();
    void endsInTime();
    void refusesBrokenListings_data();
    void refusesBrokenListings();
    void findsItsCollectionsOnItsServer_data();
    void findsItsCollectionsOnItsServer();

private:
    // The scenario with %U (our event's UID), %D (its data), %C (its data as a
    // calendar program changed it) and %F (as another program stored it) filled in.
    QJsonObject scenario(QString text) const;
    CalendarEvent m_anna;
};

namespace {
QString json(const QByteArray& text) {
    const QByteArray array =
        QJsonDocument(QJsonArray{QString::fromUtf8(text)}).toJson(QJsonDocument::Compact);
    return QString::fromUtf8(array.mid(1, array.size() - 2));
}

const QString calendar = R"("collections": {"/anna/brolt/": "calendar", "/anna/other/": "calendar",
                                            "/bob/brolt/": "calendar"})";
// The UID and data of an event of ours that some other record made.
const QString other = "0123456789abcdef0123456789abcdef@brolt";
const QString otherData =
    "BEGIN:VCALENDAR\r\nPRODID:-//Brolt//Brolt 2.60//NL\r\nBEGIN:VEVENT\r\nUID:" + other +
    "\r\nSUMMARY:Bob\r\nEND:VEVENT\r\nEND:VCALENDAR\r\n";
} // namespace

void TestHostileDav::initTestCase() {
    if (!QFileInfo::exists(QStringLiteral("/usr/bin/python3")))
        QSKIP("python3 is not installed");
    m_anna = CalendarEvents(TableOf({"1960-05-12;Anna;Geboorte"}), 0, Noon(2026, 5, 10), 7).events.value(0);
    QVERIFY(IsBroltEventUid(m_anna.uid));
}

QJsonObject TestHostileDav::scenario(QString text) const {
    const QByteArray changed = QByteArray(m_anna.calendar).replace("verjaardag (1960)", "jarig");
    const QByteArray foreign = QByteArray(changed).replace("-//Brolt//Brolt 2.60//NL", "-//Ander//NL");
    text.replace("%U", m_anna.uid)
        .replace("%D", json(m_anna.calendar))
        .replace("%C", json(changed))
        .replace("%F", json(foreign))
        .replace("%O", json(otherData.toUtf8()))
        .replace("%H", other);
    QJsonParseError error;
    const QJsonObject object = QJsonDocument::fromJson(("{" + text + "}").toUtf8(), &error).object();
    if (error.error != QJsonParseError::NoError)
        qWarning() << "scenario:" << error.errorString() << text;
    return object;
}

void TestHostileDav::staysInItsCalendar_data() {
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("path");   // the calendar's address as given
    QTest::addColumn<int>("runs");       // publishes, one after the other
    QTest::addColumn<QString>("sent");   // every request of all runs; %U our UID
    QTest::addColumn<QString>("result"); // of each run; %P the port
    QTest::addColumn<int>("ignored");    // responses about resources elsewhere, in the last run
    const QString ours = QStringLiteral("PROPFIND /anna/brolt/|REPORT /anna/brolt/|");
    const QString put = QStringLiteral("PUT /anna/brolt/%U.ics [If-None-Match: *]");
    QTest::newRow("names elsewhere in a listing are never touched")
        << calendar + R"(, "objects": {"/bob/brolt/%H.ics": {"data": %O}, "/anna/other/%H.ics": {"data": %O}},
             "extra": [{"href": "/bob/brolt/%H.ics", "data": %O}, {"href": "../other/%H.ics", "data": %O},
                       {"href": "%2E%2E/other/%H.ics", "data": %O},
                       {"href": "http://elsewhere/x/%H.ics", "data": %O},
                       {"href": "//127.0.0.1:%P/bob/brolt/%H.ics", "data": %O},
                       {"href": "sub/%H.ics", "data": %O}])"
        << "/anna/brolt/" << 1 << ours + put << "1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd" << 6;
    QTest::newRow("no calendar in its own listing: nothing written")
        << calendar + R"(, "selfless": true)"
        << "/anna/brolt/" << 1 << "PROPFIND /anna/brolt/"
        << "http://127.0.0.1:%P/anna/brolt/ is geen agenda" << 0;
    QTest::newRow("a 301 on the same server: still a PROPFIND, then that calendar")
        << calendar + R"(, "redirect": {"/oud/": [301, "/anna/brolt/"]})"
        << "/oud/" << 1 << "PROPFIND /oud/|" + ours + put
        << "1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd" << 0;
    QTest::newRow("a 308 to a full address on the same server")
        << calendar + R"(, "redirect": {"/oud/": [308, "http://127.0.0.1:%P/anna/brolt/"]})"
        << "/oud/" << 1 << "PROPFIND /oud/|" + ours + put
        << "1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd" << 0;
    QTest::newRow("a redirect to another server is not followed")
        << calendar + R"(, "redirect": {"/oud/": [307, "http://localhost:%P/anna/brolt/"]})"
        << "/oud/" << 1 << "PROPFIND /oud/"
        << "http://127.0.0.1:%P/oud/ stuurt door naar een ander adres; dat volgt Brolt niet" << 0;
    QTest::newRow("redirects in a circle end")
        << calendar + R"(, "redirect": {"/a/": [307, "/b/"], "/b/": [307, "/a/"]})"
        << "/a/" << 1 << "PROPFIND /a/|PROPFIND /b/|PROPFIND /a/|PROPFIND /b/|PROPFIND /a/|PROPFIND /b/"
        << "http://127.0.0.1:%P/b/ stuurt door naar een ander adres; dat volgt Brolt niet" << 0;
    QTest::newRow("an ETag with a line break is no ETag, never a header")
        << calendar +
               R"(, "objects": {"/anna/brolt/%U.ics": {"data": %C, "etag": "\"x\"&#13;&#10;X-Injected: yes"}})"
        << "/anna/brolt/" << 1 << ours + "PUT /anna/brolt/%U.ics"
        << "0 nieuw, 1 gewijzigd, 0 ongewijzigd, 0 verwijderd" << 0;
    QTest::newRow("a weak ETag: sent once without If-Match, then nothing")
        << calendar + R"(, "objects": {"/anna/brolt/%U.ics": {"data": %C, "etag": "W/\"1\""}})"
        << "/anna/brolt/" << 2 << ours + "PUT /anna/brolt/%U.ics|" + ours.chopped(1)
        << "0 nieuw, 1 gewijzigd, 0 ongewijzigd, 0 verwijderd/0 nieuw, 0 gewijzigd, 1 ongewijzigd, 0 "
           "verwijderd"
        << 0;
    QTest::newRow("our event stored by another program under its own name is updated there")
        << calendar +
               R"(, "conflict": true, "objects": {"/anna/brolt/import-1.ics": {"data": %F, "etag": "\"i\""}})"
        << "/anna/brolt/" << 2 << ours + "PUT /anna/brolt/import-1.ics [If-Match: \"i\"]|" + ours.chopped(1)
        << "0 nieuw, 1 gewijzigd, 0 ongewijzigd, 0 verwijderd/0 nieuw, 0 gewijzigd, 1 ongewijzigd, 0 "
           "verwijderd"
        << 0;
}

void TestHostileDav::staysInItsCalendar() {
    QFETCH(QString, scenario);
    QFETCH(QString, path);
    QFETCH(int, runs);
    QFETCH(QString, sent);
    QFETCH(QString, result);
    QFETCH(int, ignored);
    HostileDav server;
    const QString why = server.start(this->scenario(scenario));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QTemporaryDir dir;
    QStringList results;
    DavClient client;
    for (int run = 0; run < runs; ++run) {
        client.publish(server.url(path), {m_anna}, {dir.filePath("state.json")});
        results << (client.waitForFinished() ? PublishLine(client.counts()) : client.errorText());
    }
    QCOMPARE(server.requests().join(u'|'), sent.replace("%U", m_anna.uid));
    QCOMPARE(results.join(u'/'), result.replace("%P", QString::number(server.port())));
    QCOMPARE(client.ignored(), ignored);
}

void TestHostileDav::endsInTime_data() {
    QTest::addColumn<bool>("publishing");
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<int>("requestMs");
    QTest::addColumn<int>("jobMs");
    QTest::addColumn<QString>("error"); // %P the port
    const QString book = R"("collections": {"/anna/boek/": "addressbook"})";
    QTest::newRow("one byte at a time: the request's deadline")
        << false << book + R"(, "dribble": 0.02)" << 300 << 60000 << "De server antwoordt te traag";
    QTest::newRow("one byte at a time: the job's deadline")
        << true << calendar + R"(, "dribble": 0.02)" << 60000 << 300 << "De server antwoordt te traag";
    QTest::newRow("an answer larger than 64 MB")
        << true << calendar + R"(, "pad": 67200000)" << 60000 << 90000
        << "Het antwoord van 127.0.0.1:%P is groter dan 64 MB; dat leest Brolt niet";
}

void TestHostileDav::endsInTime() {
    QFETCH(bool, publishing);
    QFETCH(QString, scenario);
    QFETCH(int, requestMs);
    QFETCH(int, jobMs);
    QFETCH(QString, error);
    HostileDav server;
    const QString why = server.start(this->scenario(scenario));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QTemporaryDir dir;
    DavClient::Limits limits;
    limits.requestMs = requestMs;
    limits.jobMs = jobMs;
    DavClient::setLimits(limits);
    DavClient client;
    QElapsedTimer clock;
    clock.start();
    if (publishing)
        client.publish(server.url("/anna/brolt/"), {m_anna}, {dir.filePath("state.json")});
    else
        client.fetchCards(server.url("/anna/boek/"));
    const bool ok = client.waitForFinished();
    const qint64 took = clock.elapsed();
    DavClient::setLimits({});
    QVERIFY(!ok);
    QCOMPARE(client.errorText(), error.replace("%P", QString::number(server.port())));
    // Ended by the deadline (whichever comes first), not by the server.
    QVERIFY2(took < std::min(requestMs, jobMs) + 2000, qPrintable(QString::number(took)));
    QVERIFY(!QFile::exists(dir.filePath("state.json")));
    for (const QString& request : server.requests())
        QVERIFY2(request.startsWith("PROPFIND"), qPrintable(request));
}

void TestHostileDav::refusesBrokenListings_data() {
    QTest::addColumn<QString>("method"); // whose answer is broken
    QTest::addColumn<QString>("body");
    const QString response = R"(<D:response><D:href>/anna/brolt/a.ics</D:href><D:propstat><D:prop>)"
                             R"(<D:getetag>"1"</D:getetag></D:prop><D:status>HTTP/1.1 200 OK</D:status>)"
                             R"(</D:propstat></D:response>)";
    const QString whole =
        R"(<?xml version="1.0"?><D:multistatus xmlns:D="DAV:">)" + response + "</D:multistatus>";
    for (const char* method : {"PROPFIND", "REPORT"}) {
        const QString m = QString::fromLatin1(method);
        QTest::addRow("%s: garbage after the list", method) << m << whole + "<garbage";
        QTest::addRow("%s: cut off", method) << m << whole.left(whole.size() - 30);
        QTest::addRow("%s: a DTD cut off", method)
            << m << R"(<?xml version="1.0"?><!DOCTYPE D:multistatus [<!ENTITY)";
        QTest::addRow("%s: entities", method)
            << m
            << R"(<?xml version="1.0"?><!DOCTYPE m [<!ENTITY a "aaaaaaaaaa"><!ENTITY b "&a;&a;&a;&a;&a;">]>)"
               R"(<D:multistatus xmlns:D="DAV:"><D:response><D:href>&b;</D:href></D:response></D:multistatus>)";
        QTest::addRow("%s: a web page", method) << m << "<html><body>Inloggen</body></html>";
        QTest::addRow("%s: nothing", method) << m << "";
    }
}

void TestHostileDav::refusesBrokenListings() {
    QFETCH(QString, method);
    QFETCH(QString, body);
    const QString expected =
        "Het antwoord van 127.0.0.1:%1 is geen leesbare WebDAV-lijst; er is niets veranderd";
    QJsonObject raw{{method, body}};
    for (const bool publishing : {true, false}) {
        QJsonObject broken =
            scenario(publishing ? calendar : R"("collections": {"/anna/boek/": "addressbook"})");
        broken.insert("raw", raw);
        HostileDav server;
        const QString why = server.start(broken);
        QVERIFY2(why.isEmpty(), qPrintable(why));
        QTemporaryDir dir;
        DavClient client;
        if (publishing)
            client.publish(server.url("/anna/brolt/"), {m_anna}, {dir.filePath("state.json")});
        else
            client.fetchCards(server.url("/anna/boek/"));
        QVERIFY(!client.waitForFinished());
        QCOMPARE(client.errorText(), expected.arg(server.port()));
        QVERIFY(client.cards().isEmpty());
        // Only looked: nothing made, written or deleted.
        for (const QString& request : server.requests())
            QVERIFY2(request.startsWith("PROPFIND") || request.startsWith("REPORT"), qPrintable(request));
    }
}

// Given a server's root or a user's folder, the client looks for the address
// books or the calendar as RFC 6764 says, asking that server only.
void TestHostileDav::findsItsCollectionsOnItsServer_data() {
    QTest::addColumn<bool>("publishing");
    QTest::addColumn<QString>("scenario");
    QTest::addColumn<QString>("path");   // the address as given
    QTest::addColumn<QString>("sent");   // every request; %U our UID
    QTest::addColumn<QString>("result"); // %P the port
    QTest::addColumn<int>("ignored");
    QTest::newRow("the root: .well-known, the principal, its home, the calendar called Brolt")
        << true << R"("collections": {"/dav/": "folder", "/dav/p/anna/": "folder", "/dav/cal/anna/": "folder",
                             "/dav/cal/anna/werk/": "calendar", "/dav/cal/anna/b1/": "calendar"},
             "props": {"/dav/": {"principal": "/dav/p/anna/"}, "/dav/p/anna/": {"calendar-home": "/dav/cal/anna/"},
                       "/dav/cal/anna/werk/": {"displayname": "Werk"}, "/dav/cal/anna/b1/": {"displayname": "Brolt"}},
             "redirect": {"/.well-known/caldav": [301, "/dav/"]})"
        << "/"
        << "PROPFIND /.well-known/caldav|PROPFIND /dav/|PROPFIND /dav/|PROPFIND /dav/p/anna/|"
           "PROPFIND /dav/cal/anna/|REPORT /dav/cal/anna/b1/|PUT /dav/cal/anna/b1/%U.ics [If-None-Match: *]"
        << "1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd in /dav/cal/anna/b1/" << 0;
    QTest::newRow("no Brolt calendar yet: made in the home under a name still free")
        << true << R"("collections": {"/": "folder", "/anna/": "folder", "/anna/brolt/": "addressbook",
                             "/anna/x/": "calendar"},
             "props": {"/": {"principal": "/anna/"}, "/anna/": {"calendar-home": "/anna/"},
                       "/anna/x/": {"displayname": "Werk"}})"
        << "/"
        << "PROPFIND /.well-known/caldav|PROPFIND /|PROPFIND /|PROPFIND /anna/|PROPFIND /anna/|"
           "MKCALENDAR /anna/brolt-2/|PUT /anna/brolt-2/%U.ics [If-None-Match: *]"
        << "1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd in /anna/brolt-2/" << 0;
    QTest::newRow("a folder of calendars without a word about homes: Brolt found in it, whatever its case")
        << true << R"("collections": {"/cal/anna/": "folder", "/cal/anna/x/": "calendar"},
             "props": {"/cal/anna/x/": {"displayname": " brolt "}})"
        << "/cal/anna/"
        << "PROPFIND /cal/anna/|PROPFIND /cal/anna/|REPORT /cal/anna/x/|PUT /cal/anna/x/%U.ics "
           "[If-None-Match: *]"
        << "1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd in /cal/anna/x/" << 0;
    QTest::newRow("a Brolt calendar named outside the home is not used")
        << true << R"("collections": {"/anna/": "folder"}, "props": {"/anna/": {"calendar-home": "/anna/"}},
             "extra": [{"href": "/bob/brolt/", "type": "calendar", "displayname": "Brolt"},
                       {"href": "http://localhost:%P/anna/b/", "type": "calendar", "displayname": "Brolt"}])"
        << "/anna/"
        << "PROPFIND /anna/|PROPFIND /anna/|MKCALENDAR /anna/brolt/|PUT /anna/brolt/%U.ics [If-None-Match: *]"
        << "1 nieuw, 0 gewijzigd, 0 ongewijzigd, 0 verwijderd in /anna/brolt/" << 2;
    QTest::newRow(".well-known leading to another server is not followed")
        << true << R"("redirect": {"/.well-known/caldav": [301, "http://localhost:%P/dav/"]})"
        << "/"
        << "PROPFIND /.well-known/caldav"
        << "http://127.0.0.1:%P/.well-known/caldav stuurt door naar een ander adres; dat volgt Brolt niet"
        << 0;
    QTest::newRow("a principal on another server is not asked")
        << true
        << R"("collections": {"/": "folder"}, "props": {"/": {"principal": "http://localhost:%P/anna/"}})"
        << "/"
        << "PROPFIND /.well-known/caldav|PROPFIND /|PROPFIND /"
        << "http://127.0.0.1:%P/ wijst naar een andere server; dat volgt Brolt niet" << 0;
    QTest::newRow("a home on another server is not asked")
        << false << R"("collections": {"/": "folder", "/anna/": "folder"},
             "props": {"/": {"principal": "/anna/"}, "/anna/": {"addressbook-home": "//localhost:%P/anna/"}})"
        << "/"
        << "PROPFIND /.well-known/carddav|PROPFIND /|PROPFIND /|PROPFIND /anna/"
        << "http://127.0.0.1:%P/ wijst naar een andere server; dat volgt Brolt niet" << 0;
    QTest::newRow("every address book in the home, none named outside it")
        << false << R"("collections": {"/": "folder", "/anna/": "folder", "/anna/a/": "addressbook",
                             "/anna/b/": "addressbook", "/anna/c/": "calendar", "/bob/x/": "addressbook"},
             "props": {"/": {"principal": "/anna/"}, "/anna/": {"addressbook-home": "/anna/"},
                       "/anna/a/": {"displayname": "Thuis\nen werk"}},
             "objects": {"/anna/a/1.vcf": %K, "/anna/a/2.vcf": %K, "/anna/b/3.vcf": %K, "/bob/x/4.vcf": %K},
             "extra": [{"href": "/bob/x/", "type": "addressbook"}, {"href": "../bob/x/", "type": "addressbook"},
                       {"href": "http://localhost:%P/bob/x/", "type": "addressbook"}])"
        << "/"
        << "PROPFIND /.well-known/carddav|PROPFIND /|PROPFIND /|PROPFIND /anna/|PROPFIND /anna/|"
           "REPORT /anna/a/|REPORT /anna/b/"
        << "gevonden: Adresboek \"Thuis en werk\": 2 kaarten/Adresboek \"b\": 1 kaart" << 6;
    QTest::newRow("an address book given is read alone")
        << false
        << R"("collections": {"/anna/": "folder", "/anna/boek/": "addressbook", "/anna/ander/": "addressbook"},
             "props": {"/anna/boek/": {"displayname": "Boek", "principal": "/anna/"},
                       "/anna/": {"addressbook-home": "/anna/"}},
             "objects": {"/anna/boek/1.vcf": %K, "/anna/ander/2.vcf": %K})"
        << "/anna/boek/"
        << "PROPFIND /anna/boek/|REPORT /anna/boek/"
        << "gegeven: Adresboek \"Boek\": 1 kaart" << 0;
    QTest::newRow("a calendar given for cards is a mistake, not a place to look")
        << false << R"("collections": {"/anna/agenda/": "calendar"},
                       "props": {"/anna/agenda/": {"principal": "/anna/"}})"
        << "/anna/agenda/"
        << "PROPFIND /anna/agenda/"
        << "http://127.0.0.1:%P/anna/agenda/ is geen adresboek" << 0;
    QTest::newRow("a principal that names itself ends")
        << false << R"("collections": {"/p/": "folder"}, "props": {"/p/": {"principal": "/p/"}})"
        << "/p/"
        << "PROPFIND /p/|PROPFIND /p/"
        << "Op http://127.0.0.1:%P/p/ is geen adresboek te vinden" << 0;
    QTest::newRow("a principal that is not there")
        << true << R"("collections": {"/x/": "folder"}, "props": {"/x/": {"principal": "/p/anna/"}})"
        << "/x/"
        << "PROPFIND /x/|PROPFIND /x/|PROPFIND /p/anna/"
        << "Op http://127.0.0.1:%P/x/ is geen agenda te vinden" << 0;
    QTest::newRow("a server without any DAV at its root")
        << false << R"("collections": {})"
        << "/"
        << "PROPFIND /.well-known/carddav|PROPFIND /"
        << "Op http://127.0.0.1:%P/ is geen adresboek te vinden" << 0;
}

void TestHostileDav::findsItsCollectionsOnItsServer() {
    QFETCH(bool, publishing);
    QFETCH(QString, scenario);
    QFETCH(QString, path);
    QFETCH(QString, sent);
    QFETCH(QString, result);
    QFETCH(int, ignored);
    HostileDav server;
    const QString why = server.start(this->scenario(
        scenario.replace("%K", R"({"data": "BEGIN:VCARD\r\nFN:Anna\r\nBDAY:1960-05-12\r\nEND:VCARD\r\n"})")));
    QVERIFY2(why.isEmpty(), qPrintable(why));
    QTemporaryDir dir;
    DavClient client;
    if (publishing)
        client.publish(server.url(path), {m_anna}, {dir.filePath("state.json")});
    else
        client.fetchCards(server.url(path));
    const bool ok = client.waitForFinished();
    QString got = client.errorText();
    if (ok && publishing) {
        got = PublishLine(client.counts()) + " in " + client.collection().path();
    } else if (ok) {
        QStringList books;
        for (const DavBook& book : client.books())
            books << BookLine(book);
        got = (client.discovered() ? "gevonden: " : "gegeven: ") + books.join(u'/');
    }
    QCOMPARE(server.requests().join(u'|'), sent.replace("%U", m_anna.uid));
    QCOMPARE(got, result.replace("%P", QString::number(server.port())));
    QCOMPARE(client.ignored(), ignored);
}

QTEST_GUILESS_MAIN(TestHostileDav)
#include "tst_hostiledav.moc"
