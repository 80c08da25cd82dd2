#include "WindowKit.h"
#include "info/Bericht.h"
#include "kit/ClrBtn.h"
#include "kit/Store.h"

#include <QGuiApplication>
#include <QScreen>
#include <QTemporaryDir>
#include <QTest>
#include <QTextBlock>
#include <QTextEdit>
#include <QTimer>

class TestBericht : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();

    void newsShownWhenOlder();
    void newsNotShownWhenCurrent();
    void newsMissingFileStillShows();
    void newsShippedFileReads();
    void newsPlacement_data();
    void newsPlacement();

private:
    QTemporaryDir m_home;
    QString m_newsFile;
};

void TestBericht::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toUtf8());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toUtf8());
    TBerichtForm::setRetryPause(0);

    m_newsFile = m_home.path() + "/Bericht.rtf";
    QFile file(m_newsFile);
    QVERIFY(file.open(QIODevice::WriteOnly));
    file.write("{\\rtf1\\ansi{\\fonttbl{\\f0 Verdana;}}\\pard\\qc\\b Nieuw\\b0\\par\\pard Caf\\'e9\\par "
               "\\i Tot ziens\\i0\\par}");
}

// --- News window -----------------------------------------------------------

void TestBericht::newsShownWhenOlder() {
    Store::writeText("Versie", "versie 2.60d");
    TBerichtForm news;
    QCOMPARE(news.storedVersionLabel(), QStringLiteral("versie 2.60d"));
    QCOMPARE(Store::readText(Keys::Versie), QStringLiteral("versie 2.60e"));
    QVERIFY(news.newsDue());

    news.setFileName(m_newsFile);
    bool shownModal = false;
    whenShown([&] {
        shownModal = news.isVisible() && news.isModal();
        QTest::mouseClick(child<TClrBtn>(&news, "BtnOK"), Qt::LeftButton);
    });
    QVERIFY(news.ShowNewsIfDue(QRect(0, 0, 800, 600)));
    QVERIFY(shownModal);
    QVERIFY(!news.isVisible());
    QCOMPARE(news.windowTitle(), QStringLiteral("Bericht"));

    auto* rich = child<QTextEdit>(&news, "RichEdit");
    QTextDocument* document = rich->document();
    QCOMPARE(document->toPlainText(), QString::fromUtf8("Nieuw\nCafé\nTot ziens"));
    QCOMPARE(document->begin().blockFormat().alignment(), Qt::AlignHCenter);
    QCOMPARE(document->begin().next().blockFormat().alignment(), Qt::AlignLeft);
    QTextCursor cursor(document->begin());
    cursor.setPosition(2);
    QCOMPARE(cursor.charFormat().fontWeight(), int(QFont::Bold));
    cursor.setPosition(document->begin().next().next().position() + 2);
    QVERIFY(cursor.charFormat().fontItalic());
    QCOMPARE(news.loadAttempts(), 1);

    // Three lines of text: round(2 x 11 x 2.55) = 56 pixels.
    QCOMPARE(rich->geometry(), QRect(17, 26, 631, 56));
    QCOMPARE(news.size(), QSize(665, 2 * 26 + 56 + 2 * 35));
    QCOMPARE(child<TClrBtn>(&news, "BtnOK")->geometry(), QRect(282, 26 + 56 + 35, 100, 35));
}

void TestBericht::newsNotShownWhenCurrent() {
    Store::writeText("Versie", "versie 2.60e");
    TBerichtForm news;
    news.setFileName(m_newsFile);
    bool shown = false;
    whenShown([&] { shown = news.isVisible(); });
    QVERIFY(!news.ShowNewsIfDue(QRect(0, 0, 800, 600)));
    QCoreApplication::processEvents();
    QVERIFY(!shown);
    QCOMPARE(Store::readText(Keys::Versie), QStringLiteral("versie 2.60e"));
}

void TestBericht::newsMissingFileStillShows() {
    Store::remove("Versie");
    TBerichtForm news;
    QCOMPARE(news.storedVersionLabel(), QString());
    news.setFileName(m_home.path() + "/ontbreekt.rtf");
    news.closeNextShow();
    QVERIFY(news.ShowNewsIfDue(QRect(0, 0, 800, 600)));
    QCOMPARE(news.loadAttempts(), 101);
    QVERIFY(child<QTextEdit>(&news, "RichEdit")->document()->isEmpty());
}

void TestBericht::newsShippedFileReads() {
    Store::remove("Versie");
    TBerichtForm news;
    QCOMPARE(news.fileName(), QCoreApplication::applicationDirPath() + "/Bericht.rtf");
    news.closeNextShow();
    news.ShowNews(QRect(0, 0, 800, 600));
    const QString text = child<QTextEdit>(&news, "RichEdit")->toPlainText();
    QVERIFY2(text.startsWith(QStringLiteral("Welkom bij Brolt versie 2.60e\n")), qPrintable(text));
    QVERIFY(text.contains(QString::fromUtf8("één keer")));
}

void TestBericht::newsPlacement_data() {
    QTest::addColumn<QRect>("mainWindow");
    QTest::addColumn<QString>(
        "across"); // "centre", "margin" (10) or "edge" (pushed back from the screen edge)
    QTest::addColumn<QString>("down");

    QTest::newRow("centred") << QRect(0, 0, 800, 600) << "centre"
                             << "centre";
    QTest::newRow("off the top left") << QRect(-500, -400, 100, 100) << "margin"
                                      << "margin";
    QTest::newRow("off the bottom right") << QRect(700, 700, 100, 100) << "edge"
                                          << "edge";
}

void TestBericht::newsPlacement() {
    QFETCH(QRect, mainWindow);
    QFETCH(QString, across);
    QFETCH(QString, down);
    TBerichtForm news;
    news.setFileName(m_newsFile);
    news.closeNextShow();
    news.ShowNews(mainWindow);
    QCOMPARE(news.size(), QSize(665, 178));

    const QSize own = news.size();
    const QSize screen = QGuiApplication::primaryScreen()->geometry().size();
    const int left = across == "centre"   ? mainWindow.left() + mainWindow.width() / 2 - own.width() / 2
                     : across == "margin" ? 10
                                          : screen.width() - own.width() - 10;
    const int top = down == "centre"   ? mainWindow.top() + mainWindow.height() / 2 - own.height() / 2
                    : down == "margin" ? 10
                                       : screen.height() - own.height() - 40;
    QCOMPARE(news.pos(), QPoint(left, top));
}

QTEST_MAIN(TestBericht)
#include "tst_bericht.moc"
