#include "TestKit.h"
#include "kit/Mail.h"
#include "kit/Maker.h"

#include <QFile>
#include <QTest>
#include <QUrl>
#include <QUrlQuery>

#include <memory>

namespace {

// A desktop that refuses every request.
class RefusingUi : public FakeUi {
public:
    bool openUrl(const QString& url) override {
        urls << url;
        return false;
    }
};

QString decodedItem(const QString& request, const QString& key) {
    return QUrlQuery(QUrl(request)).queryItemValue(key, QUrl::FullyDecoded);
}

} // namespace

class TestMail : public QObject {
    Q_OBJECT

private:
    std::unique_ptr<TempHome> m_home;

private Q_SLOTS:
    void initTestCase() { m_home = std::make_unique<TempHome>(); }
    void cleanup() { Mail::SetMailHandlerQuery({}); }

    void body_data() {
        QTest::addColumn<QStringList>("lines");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two lines") << QStringList{"a", "b"} << "a%0D%0Ab";
        QTest::newRow("one line") << QStringList{"a"} << "a";
        QTest::newRow("no lines") << QStringList{} << "";
        QTest::newRow("empty lines keep their breaks") << QStringList{"a", "", "b"} << "a%0D%0A%0D%0Ab";
        QTest::newRow("characters that break a request")
            << QStringList{"a b&c#d?e%f=g+h"} << "a%20b%26c%23d%3Fe%25f%3Dg%2Bh";
        QTest::newRow("punctuation stays readable") << QStringList{"Hallo, Anna!"} << "Hallo,%20Anna!";
        QTest::newRow("accents as UTF-8") << QStringList{"Ren\u00e9e"} << "Ren%C3%A9e";
    }

    void body() {
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        QCOMPARE(Mail::Body(lines), expected);
    }

    void mailProgramRequest_data() {
        QTest::addColumn<QString>("addressee");
        QTest::addColumn<QString>("expected");
        const QString rest = "?Subject=Programma%20Brolt,%20Verjaardag,%20Huwelijk,%20..."
                             "&Body=Lieve%20Anna%0D%0AProficiat!";
        QTest::newRow("plain") << "anna@voorbeeld.nl"
                               << "mailto:anna@voorbeeld.nl" + rest;
        QTest::newRow("spaces in the address") << " anna @voorbeeld.nl "
                                               << "mailto:anna@voorbeeld.nl" + rest;
        QTest::newRow("no address") << ""
                                    << "mailto:" + rest;
        QTest::newRow("two addresses") << "a@x.nl,b@y.nl"
                                       << "mailto:a@x.nl,b@y.nl" + rest;
    }

    void mailProgramRequest() {
        QFETCH(QString, addressee);
        QFETCH(QString, expected);
        QCOMPARE(Mail::MailProgramRequest(addressee, "Brolt", "Verjaardag, Huwelijk, ...",
                                          {"Lieve Anna", "Proficiat!"}),
                 expected);
    }

    void requestArrivesIntactInTheMailProgram() {
        const QString request =
            Mail::MailProgramRequest("jan@x.nl", "Brolt", "a&b #1?", {"x & y", "100% #z?", "k=v+w"});
        const QUrl url(request);
        QVERIFY(url.isValid());
        QCOMPARE(url.scheme(), QString("mailto"));
        QCOMPARE(url.path(), QString("jan@x.nl"));
        QCOMPARE(url.fragment(), QString());
        QCOMPARE(decodedItem(request, "Subject"), QString("Programma Brolt, a&b #1?"));
        QCOMPARE(decodedItem(request, "Body"), QString("x & y\r\n100% #z?\r\nk=v+w"));
    }

    void webFormRequest() {
        QCOMPARE(Mail::WebFormRequest("Brolt", "versie 2.60e", {"a", "b"}),
                 "https://" + Maker::ServerHost() +
                     "/mailform_n_php.php?ProgNam=Brolt,%20versie%202.60e&Contents=a%0D%0Ab");
    }

    void logRequest() {
        const QString request = Mail::LogRequest("Brolt", {"12:00 A - begin", "x"});
        QCOMPARE(request, "mailto:" + Maker::SupportAddress() +
                              "?subject=Logbestand%20Brolt&body="
                              "12:00%20A%20-%20begin%0D%0A%20%20%20%20%20x%0D%0A%20%20%20%20%20");
        QCOMPARE(decodedItem(request, "body"), QString("12:00 A - begin\r\n     x\r\n     "));
    }

    void longRequestsAreCutWithoutBreakingACharacter_data() {
        QTest::addColumn<QString>("line");
        QTest::newRow("accents") << QString("h\u00e9 ").repeated(20);
        QTest::newRow("escapes") << QString("% & #").repeated(20);
        QTest::newRow("plain") << QString("abc ").repeated(20);
        QTest::newRow("outside the BMP") << QString::fromUtf8("\xF0\x9F\x8E\x82 ").repeated(20);
    }

    void longRequestsAreCutWithoutBreakingACharacter() {
        QFETCH(QString, line);
        const QStringList memo(30, line);
        const QString full = memo.join("\r\n");
        for (const QString& request : {Mail::MailProgramRequest("anna@x.nl", "Brolt", "Verjaardag", memo),
                                       Mail::WebFormRequest("Brolt", "Verjaardag", memo)}) {
            QVERIFY(request.size() <= 999);
            QVERIFY(request.size() >= 990 - 12); // no more cut than one character's escapes
            const QString body = decodedItem(request, request.startsWith("mailto") ? "Body" : "Contents");
            QVERIFY(!body.isEmpty());
            QVERIFY(!body.contains(QChar::ReplacementCharacter));
            QVERIFY2(full.startsWith(body), qPrintable(body.right(20)));
        }
    }

    void shortRequestsAreNotCut() {
        const QStringList memo(13, "Met vriendelijke groet");
        QCOMPARE(Mail::MailProgramRequest("a@x.nl", "Brolt", "d", memo),
                 "mailto:a@x.nl?Subject=Programma%20Brolt,%20d&Body=" + Mail::Body(memo));
    }

    void aHugeAddressStillFits() {
        const QString request = Mail::MailProgramRequest(QString(3000, 'a') + "@x.nl", "Brolt", "d", {"x"});
        QCOMPARE(request.size(), 999);
    }

    void route_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<bool>("webForm");
        QTest::newRow("none") << "" << true;
        QTest::newRow("only white space") << " \n" << true;
        QTest::newRow("a mail program") << "thunderbird.desktop\n" << false;
        QTest::newRow("another one") << "org.gnome.Evolution.desktop" << false;
        QTest::newRow("the system's placeholder")
            << "\"C:\\Windows\\System32\\rundll32.exe\" url.dll,MailToProtocolHandler %1" << true;
    }

    void route() {
        QFETCH(QString, handler);
        QFETCH(bool, webForm);
        QCOMPARE(Mail::RouteFor(handler) == Mail::Route::WebForm, webForm);
    }

    void handOffResults_data() {
        QTest::addColumn<QString>("handler");
        QTest::addColumn<bool>("desktopAccepts");
        QTest::addColumn<int>("expected");
        QTest::addColumn<QString>("opened");
        const QString mailto = "mailto:kees@x.nl?Subject=Programma%20Brolt,%20Verjaardag&Body=a%0D%0Ab";
        const QString web = "https://" + Maker::ServerHost() +
                            "/mailform_n_php.php?ProgNam=Brolt,%20Verjaardag&Contents=a%0D%0Ab";
        QTest::newRow("mail program") << "thunderbird.desktop" << true << 0 << mailto;
        QTest::newRow("mail program refused") << "thunderbird.desktop" << false << 1 << mailto;
        QTest::newRow("web form") << "" << true << 0 << web;
        QTest::newRow("web form refused") << "" << false << 2 << web;
    }

    void handOffResults() {
        QFETCH(QString, handler);
        QFETCH(bool, desktopAccepts);
        QFETCH(int, expected);
        QFETCH(QString, opened);
        std::unique_ptr<FakeUi> ui =
            desktopAccepts ? std::make_unique<FakeUi>() : std::make_unique<RefusingUi>();
        int queries = 0;
        Mail::SetMailHandlerQuery([&] {
            ++queries;
            return handler;
        });
        QCOMPARE(HandOffMail({"a", "b"}, "Brolt", "Verjaardag", "kees@x.nl"), expected);
        QCOMPARE(queries, 1);
        QCOMPARE(ui->urls, QStringList{opened});
    }

    void handlerQueryAsksXdgMime() {
        QTemporaryDir bin;
        const QString script = bin.path() + "/xdg-mime";
        WriteFileForTest(script, "#!/bin/sh\necho \"$@\" > \"" + bin.path().toUtf8() +
                                     "/args\"\necho fake.desktop\n");
        QFile::setPermissions(script, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        const QByteArray path = qgetenv("PATH");
        qputenv("PATH", bin.path().toUtf8());
        const QString answer = Mail::QueryMailHandler();
        QFile::remove(script);
        const QString missing = Mail::QueryMailHandler();
        qputenv("PATH", path);
        QCOMPARE(answer, QString("fake.desktop"));
        QCOMPARE(ReadFileForTest(bin.path() + "/args"),
                 QByteArray("query default x-scheme-handler/mailto\n"));
        QCOMPARE(missing, QString());
    }
};

QTEST_GUILESS_MAIN(TestMail)
#include "tst_mail.moc"
