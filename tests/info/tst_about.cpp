#include "TestKit.h"
#include "info/About.h"
#include "info/Uitleg.h"
#include "kit/ClrBtn.h"
#include "kit/Mail.h"
#include "kit/Maker.h"
#include "maintenance/VersionsFile.h"

#include <QFrame>
#include <QGuiApplication>
#include <QLabel>
#include <QPlainTextEdit>
#include <QScreen>
#include <QScrollBar>
#include <QTest>
#include <QTextBlock>
#include <QTextDocument>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#include <QWheelEvent>

#include <memory>

namespace {
// A desktop that opens nothing.
class RefusingUi : public FakeUi {
public:
    bool openUrl(const QString& url) override {
        urls << url;
        return false;
    }
};

const QStringList mailTemplate{"Hallo Darvo",
                               "",
                               "Ik vond op je Home Page het programma Brolt.",
                               "Ik wil hierover het volgende kwijt:",
                               "",
                               "",
                               "",
                               "",
                               "",
                               "Met vriendelijke groet,",
                               " "};
} // namespace

class TestAbout : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void cleanup();

    void informationTexts_data();
    void informationTexts();
    void informationLayout();
    void captionFollowsMainWindow();
    void mailToMaker_data();
    void mailToMaker();
    void homePage_data();
    void homePage();
    void makersAddressesAreTheConfiguredOnes_data();
    void makersAddressesAreTheConfiguredOnes();
    void explanationLines();
    void explanationLayout();
    void explanationReadFromTheTop();
    void explanationCloses();

private:
    std::unique_ptr<TempHome> m_home;
};

void TestAbout::initTestCase() {
    m_home = std::make_unique<TempHome>();
}

void TestAbout::cleanup() {
    Mail::SetMailHandlerQuery({});
}

void TestAbout::informationTexts_data() {
    QTest::addColumn<QString>("control");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("hint");
    QTest::newRow("program name") << "LabelProgNam"
                                  << "Brolt"
                                  << "";
    QTest::newRow("version under it") << "LabelVersion"
                                      << "versie 2.60e"
                                      << "";
    QTest::newRow("summary 1") << "Label1"
                               << "Brolt herinnert u op tijd aan verjaardagen."
                               << "";
    QTest::newRow("summary 2") << "Label2"
                               << "Vul als jaar 3000 in als de leeftijd onbekend is."
                               << "";
    QTest::newRow("mail") << "BtnMail"
                          << "Mail"
                          << "Stuur uw opmerkingen naar de auteur van Brolt";
    QTest::newRow("home") << "BtnHome"
                          << "Home"
                          << "Bezoek de site van Brolt";
    QTest::newRow("ok") << "BtnOK"
                        << "OK"
                        << "Sluit dit venster";
}

void TestAbout::informationTexts() {
    QFETCH(QString, control);
    QFETCH(QString, text);
    QFETCH(QString, hint);
    TAboutForm form;
    QWidget* widget = form.findChild<QWidget*>(control);
    QVERIFY2(widget, qPrintable(control));
    if (auto* label = qobject_cast<QLabel*>(widget)) {
        QCOMPARE(label->text(), text);
        QCOMPARE(label->alignment(), Qt::AlignCenter);
    } else {
        auto* button = qobject_cast<TClrBtn*>(widget);
        QVERIFY(button);
        QCOMPARE(button->text(), text);
        QCOMPARE(button->size(), QSize(85, 35));
        QCOMPARE(button->backColor(), KitColor::Window);
        QCOMPARE(button->hoverColor(), KitColor::ButtonHover);
    }
    QCOMPARE(widget->toolTip(), hint);
}

void TestAbout::informationLayout() {
    TAboutForm form;
    QCOMPARE(form.size(), QSize(425, 285));
    auto* bevel = form.findChild<QFrame*>(QStringLiteral("Bevel2"));
    QVERIFY(bevel);
    QCOMPARE(bevel->geometry(), QRect(20, 169, 384, 48));
    // The summary sits inside its frame.
    for (const char* name : {"Label1", "Label2"})
        QVERIFY(bevel->geometry().contains(form.findChild<QLabel*>(QString::fromLatin1(name))->geometry()));
    // The button row ends 15 pixels above the bottom.
    QCOMPARE(form.findChild<TClrBtn*>(QStringLiteral("BtnOK"))->geometry().bottom() + 1 + 15, 285);
    auto* memo = form.findChild<QPlainTextEdit*>(QStringLiteral("MemoMail"));
    QVERIFY(memo);
    QVERIFY(memo->isHidden());
    QCOMPARE(form.mailLines(), mailTemplate);
    const QFont name = form.findChild<QLabel*>(QStringLiteral("LabelProgNam"))->font();
    QVERIFY(name.bold());
    QVERIFY(name.italic());
    QCOMPARE(name.pixelSize(), 55);
}

void TestAbout::captionFollowsMainWindow() {
    QWidget main;
    main.setWindowTitle(QStringLiteral("Brolt, versie 2.60e"));
    TAboutForm form(&main);
    QCOMPARE(form.windowTitle(), QStringLiteral("Brolt, versie 2.60e - Informatie"));
    QString shownCaption;
    bool okFocused = false;
    QTimer::singleShot(0, &form, [&] {
        shownCaption = form.windowTitle();
        okFocused = form.findChild<TClrBtn*>(QStringLiteral("BtnOK"))->hasFocus() ||
                    form.focusWidget() == form.findChild<TClrBtn*>(QStringLiteral("BtnOK"));
        main.setWindowTitle(QStringLiteral("Brolt, versie 2.60e - Vrienden.dat"));
        QTest::mouseClick(form.findChild<TClrBtn*>(QStringLiteral("BtnOK")), Qt::LeftButton);
    });
    form.AboutClick();
    QCOMPARE(shownCaption, QStringLiteral("Brolt - Informatie"));
    QVERIFY(okFocused);
    QCOMPARE(form.result(), int(QDialog::Accepted));
    QCOMPARE(form.windowTitle(), QStringLiteral("Brolt, versie 2.60e - Vrienden.dat - Informatie"));
}

void TestAbout::mailToMaker_data() {
    QTest::addColumn<QString>("handler");
    QTest::addColumn<bool>("desktopOpens");
    QTest::addColumn<QString>("request");
    QTest::addColumn<QStringList>("note");
    const QString program =
        Mail::MailProgramRequest(Maker::SupportAddress(), "Brolt", "versie 2.60e", mailTemplate);
    const QString web = Mail::WebFormRequest("Brolt", "versie 2.60e", mailTemplate);
    QTest::newRow("mail program") << "thunderbird.desktop" << true << program << QStringList{};
    QTest::newRow("mail program refuses")
        << "thunderbird.desktop" << false << program
        << QStringList{"5000", "Het verzenden van de mail is niet gelukt (Fout 1).",
                       "Verstuur de mail op een andere manier s.v.p."};
    QTest::newRow("web form refuses")
        << "" << false << web
        << QStringList{"5000", "Het verzenden van de mail is niet gelukt (Fout 2).",
                       "Verstuur de mail op een andere manier s.v.p."};
}

void TestAbout::mailToMaker() {
    QFETCH(QString, handler);
    QFETCH(bool, desktopOpens);
    QFETCH(QString, request);
    QFETCH(QStringList, note);
    std::unique_ptr<FakeUi> ui(desktopOpens ? new FakeUi : new RefusingUi);
    Mail::SetMailHandlerQuery([handler] { return handler; });
    TAboutForm form;
    form.BtnMailClick();
    QCOMPARE(ui->urls, QStringList{request});
    QVERIFY(request.contains(QStringLiteral("Hallo")));
    QStringList shown;
    for (const FakeUi::Note& n : ui->notes)
        shown << QString::number(n.durationMs) << n.first << n.second;
    QCOMPARE(shown, note);
}

void TestAbout::homePage_data() {
    QTest::addColumn<bool>("desktopOpens");
    QTest::addColumn<QStringList>("note");
    QTest::newRow("opened") << true << QStringList{};
    QTest::newRow("no browser") << false << QStringList{"3000", "Browser niet geopend.", ""};
}

void TestAbout::homePage() {
    QFETCH(bool, desktopOpens);
    QFETCH(QStringList, note);
    std::unique_ptr<FakeUi> ui(desktopOpens ? new FakeUi : new RefusingUi);
    TAboutForm form;
    form.BtnHomeClick();
    QCOMPARE(ui->urls, QStringList{"https://" + Maker::ServerHost() + "/index_n.php"});
    QStringList shown;
    for (const FakeUi::Note& n : ui->notes)
        shown << QString::number(n.durationMs) << n.first << n.second;
    QCOMPARE(shown, note);
}

void TestAbout::explanationLines() {
    TFormUitleg form;
    const QTextDocument* document = form.findChild<QTextEdit*>(QStringLiteral("RichEdit"))->document();
    QCOMPARE(document->blockCount(), 27);
    QStringList lines;
    for (QTextBlock block = document->begin(); block.isValid(); block = block.next()) {
        lines << block.text();
        QCOMPARE(block.charFormat().font().pointSize(), 15);
        QCOMPARE(block.blockFormat().alignment(),
                 block.blockNumber() == 1 ? Qt::AlignHCenter : Qt::AlignLeft);
    }
    QCOMPARE(lines.first(), QString());
    QCOMPARE(lines[1], QStringLiteral("Wat staat er allemaal in het hoofdscherm"));
    QCOMPARE(lines[6], QStringLiteral("Voorbeeld: \"Jan Jansen wordt over 14 dagen (do 21-01) 80 jaar\""));
    QCOMPARE(
        lines[16],
        QStringLiteral("maar hier staat na de naam, tussen haakjes, de leeftijd bij overlijden (alleen "));
    QCOMPARE(lines[25],
             QStringLiteral("Nota bene: Alleen hier kan een datum in de toekomst worden ingevuld."));
    QCOMPARE(lines.last(), QString());
    QCOMPARE(lines, TFormUitleg::ExplanationLines());
    // Empty lines where the text has its pauses.
    QList<int> empty;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].isEmpty())
            empty << i;
    QCOMPARE(empty, (QList<int>{0, 2, 4, 12, 18, 26}));
}

void TestAbout::explanationLayout() {
    TFormUitleg form;
    QCOMPARE(form.windowTitle(), QStringLiteral("Brolt - Uitleg"));
    auto* rich = form.findChild<QTextEdit*>(QStringLiteral("RichEdit"));
    auto* close = form.findChild<TClrBtn*>(QStringLiteral("BtnClose"));
    QVERIFY(rich && close);
    QVERIFY(rich->isReadOnly());
    QCOMPARE(rich->textInteractionFlags(), Qt::NoTextInteraction);
    QCOMPARE(rich->geometry(), QRect(20, 0, form.width() - 20, 485));
    QCOMPARE(form.height(), 485 + 55);
    QCOMPARE(close->text(), QStringLiteral("Sluiten"));
    QCOMPARE(close->size(), QSize(125, 35));
    QCOMPARE(close->mapTo(&form, QPoint(0, 0)).x(), (form.width() - 125) / 2);
    // Wide enough for the longest line without wrapping.
    QFont font(QStringLiteral("Verdana"));
    font.setPointSize(15);
    const QFontMetrics metrics(font);
    const int screenWidth = QGuiApplication::primaryScreen()->availableGeometry().width();
    QVERIFY(rich->viewport()->width() >= metrics.horizontalAdvance(TFormUitleg::ExplanationLines()[15]) ||
            form.width() == screenWidth - 20);
    QVERIFY(form.width() <= screenWidth - 20);

    // Resizing keeps the button centred and the text above the panel.
    form.show();
    QVERIFY(QTest::qWaitForWindowExposed(&form));
    form.resize(900, 700);
    QTRY_COMPARE(form.size(), QSize(900, 700));
    QCOMPARE(rich->geometry(), QRect(20, 0, 880, 645));
    QCOMPARE(close->mapTo(&form, QPoint(0, 0)).x(), (900 - 125) / 2);
}

void TestAbout::explanationReadFromTheTop() {
    QWidget main;
    main.setGeometry(100, 100, 1200, 900);
    TFormUitleg form(&main);
    QScrollBar* bar = form.findChild<QTextEdit*>(QStringLiteral("RichEdit"))->verticalScrollBar();
    QTextEdit* rich = form.findChild<QTextEdit*>(QStringLiteral("RichEdit"));
    int atShow = -1, maximum = 0, afterWheel = -1;
    QTimer::singleShot(0, &form, [&] {
        atShow = bar->value();
        maximum = bar->maximum();
        // The 27 lines are taller than the box: the wheel reaches the rest.
        QWheelEvent wheel(QPointF(50, 50), rich->viewport()->mapToGlobal(QPointF(50, 50)), QPoint(),
                          QPoint(0, -120), Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(rich->viewport(), &wheel);
        afterWheel = bar->value();
        form.accept();
    });
    form.ShowUitleg();
    QCOMPARE(atShow, 0);
    QVERIFY(maximum > 0);
    QVERIFY(afterWheel > 0);
}

void TestAbout::explanationCloses() {
    QWidget main;
    main.setGeometry(100, 100, 1200, 900);
    TFormUitleg form(&main);
    QTimer::singleShot(0, &form, [&] {
        QVERIFY(form.isVisible());
        QTest::mouseClick(form.findChild<TClrBtn*>(QStringLiteral("BtnClose")), Qt::LeftButton);
    });
    form.ShowUitleg();
    QVERIFY(!form.isVisible());
    QCOMPARE(form.result(), int(QDialog::Accepted));
}

void TestAbout::makersAddressesAreTheConfiguredOnes_data() {
    QTest::addColumn<QString>("source");
    QTest::addColumn<QString>("path"); // on the web server; empty for a mail address
    QTest::newRow("versions file") << "versions"
                                   << "/versions.dat";
    QTest::newRow("home page") << "home"
                               << "/index_n.php";
    QTest::newRow("web mail form") << "mail, no mail program"
                                   << "/mailform_n_php.php";
    QTest::newRow("mail to the maker") << "mail"
                                       << "";
    QTest::newRow("Mail Log") << "log"
                              << "";
}

void TestAbout::makersAddressesAreTheConfiguredOnes() {
    QFETCH(QString, source);
    QFETCH(QString, path);
    FakeUi ui;
    Mail::SetMailHandlerQuery([source] { return source == "mail" ? "thunderbird.desktop" : ""; });
    qunsetenv("BROLT_UPDATE_URL");
    TAboutForm form;
    QString request;
    if (source == "versions")
        request = Versions::BaseUrl() + "versions.dat";
    else if (source == "log")
        request = Mail::LogRequest("Brolt", {"regel"});
    else if (source == "home")
        form.BtnHomeClick();
    else
        form.BtnMailClick();
    if (request.isEmpty())
        request = ui.urls.value(0);
    // One web server and one mailbox, both as the build configured them.
    const QUrl url(request);
    if (path.isEmpty()) {
        QCOMPARE(url.scheme(), QString("mailto"));
        QCOMPARE(url.path(), Maker::SupportAddress());
    } else {
        QCOMPARE(url.scheme(), QString("https"));
        QCOMPARE(url.host(), Maker::ServerHost());
        QCOMPARE(url.path(), path);
    }
}

QTEST_MAIN(TestAbout)
#include "tst_about.moc"
