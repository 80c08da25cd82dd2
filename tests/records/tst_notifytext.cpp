#include "TestKit.h"
#include "records/NotifyText.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QTest>

namespace {
// Today in these tests: Sunday 10 May 2026.
const QDate today(2026, 5, 10);

// Records "date;name;kind;picture", composed as the main window composes them.
Reminders composed(const QStringList& lines) {
    return ComposedFor(lines, today);
}
} // namespace

class TestNotifyText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void onlyTodayAndTomorrowAreNoted_data();
    void onlyTodayAndTomorrowAreNoted();
    void pictureOfTheFirstDuePerson_data();
    void pictureOfTheFirstDuePerson();
    void bodyEscapesMarkupOnlyForMarkupServers_data();
    void bodyEscapesMarkupOnlyForMarkupServers();

private:
    TempHome m_home; // before anything reads HOME or the XDG folders
    QString m_folder;
};

void TestNotifyText::initTestCase() {
    m_folder = m_home.path() + QStringLiteral("/pics/");
    WriteFileForTest(m_folder + "anna.jpg", "jpeg");
    WriteFileForTest(m_folder + "kees.jpg", "jpeg");
    WriteFileForTest(m_folder + "Blanc.jpg", "jpeg");
}

void TestNotifyText::onlyTodayAndTomorrowAreNoted_data() {
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("summary");
    QTest::addColumn<QStringList>("lines");

    QTest::newRow("today and tomorrow, in the composition's order, marker dropped")
        << QStringList{"1960-05-11;Kees;Geboorte;kees.jpg", "1960-05-09;Piet;Geboorte;",
                       "1960-05-10;Anna;Geboorte;anna.jpg", "1960-05-12;Els;Geboorte;"}
        << "Vandaag en morgen in Brolt"
        << QStringList{"Anna wordt vandaag 66 jaar", "Kees wordt morgen (ma 11-05) 66 jaar"};
    QTest::newRow("today only") << QStringList{"1960-05-10;Anna;Geboorte;", "2000-05-13;Feest bij Els;Feest;"}
                                << "Vandaag in Brolt" << QStringList{"Anna wordt vandaag 66 jaar"};
    QTest::newRow("tomorrow only, a to-do")
        << QStringList{"2026-05-11;Tandarts;Te doen;", "1960-05-09;Piet;Geboorte;"} << "Morgen in Brolt"
        << QStringList{"Morgen (ma 11-05): Tandarts"};
    QTest::newRow("yesterday and the day after tomorrow are no notification")
        << QStringList{"1960-05-09;Piet;Geboorte;", "1960-05-12;Anna;Geboorte;anna.jpg"} << QString()
        << QStringList{};
    QTest::newRow("nothing in the window at all")
        << QStringList{"1960-08-01;Piet;Geboorte;"} << QString() << QStringList{};
}

void TestNotifyText::onlyTodayAndTomorrowAreNoted() {
    QFETCH(QStringList, records);
    QFETCH(QString, summary);
    QFETCH(QStringList, lines);
    const DesktopNote note = DueNote(composed(records), m_folder);
    QCOMPARE(note.summary, summary);
    QCOMPARE(note.lines, lines);
    QCOMPARE(note.isEmpty(), lines.isEmpty());
}

void TestNotifyText::pictureOfTheFirstDuePerson_data() {
    QTest::addColumn<QStringList>("records");
    QTest::addColumn<QString>("picture"); // file name in the folder, empty for none

    QTest::newRow("today's picture before tomorrow's")
        << QStringList{"1960-05-11;Kees;Geboorte;kees.jpg", "1960-05-10;Anna;Geboorte;anna.jpg"}
        << "anna.jpg";
    QTest::newRow("a missing file is skipped for the next")
        << QStringList{"1960-05-10;Anna;Geboorte;weg.jpg", "1960-05-11;Kees;Geboorte;kees.jpg"} << "kees.jpg";
    QTest::newRow("the blank placeholder is no picture")
        << QStringList{"1960-05-10;Anna;Geboorte;Blanc.jpg"} << QString();
    QTest::newRow("a picture outside today and tomorrow does not count")
        << QStringList{"1960-05-10;Anna;Geboorte;", "1960-05-12;Kees;Geboorte;kees.jpg"} << QString();
}

void TestNotifyText::pictureOfTheFirstDuePerson() {
    QFETCH(QStringList, records);
    QFETCH(QString, picture);
    const DesktopNote note = DueNote(composed(records), m_folder);
    QCOMPARE(note.picture, picture.isEmpty() ? QString() : m_folder + picture);
}

void TestNotifyText::bodyEscapesMarkupOnlyForMarkupServers_data() {
    QTest::addColumn<bool>("markup");
    QTest::addColumn<QString>("body");
    QTest::newRow("markup")
        << true << "Kees &amp; Anna zijn vandaag 41 jaar getrouwd\nMorgen (ma 11-05): &lt;b&gt;bellen";
    QTest::newRow("plain") << false
                           << "Kees & Anna zijn vandaag 41 jaar getrouwd\nMorgen (ma 11-05): <b>bellen";
}

void TestNotifyText::bodyEscapesMarkupOnlyForMarkupServers() {
    QFETCH(bool, markup);
    QFETCH(QString, body);
    const DesktopNote note =
        DueNote(composed({"1985-05-10;Kees & Anna;Huwelijk;", "2026-05-11;<b>bellen;Te doen;"}), m_folder);
    QCOMPARE(NoteBody(note, markup), body);
}

QTEST_GUILESS_MAIN(TestNotifyText)
#include "tst_notifytext.moc"
