#include "TestKit.h"
#include "kit/Clock.h"
#include "records/DataFile.h"
#include "records/Dates.h"
#include "records/Reminders.h"
#include "settings/Working.h"

#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Today in these tests: Sunday 10 May 2026.
const QDate today(2026, 5, 10);

QStringList texts(const Reminders& r) {
    QStringList out;
    for (const ReminderLine& l : r.lines)
        out << l.text;
    return out;
}

WorkingSettings window(int back, int ahead) {
    WorkingSettings w;
    w.achteraf = back;
    w.vooraf = ahead;
    return w;
}
} // namespace

class TestReminders : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sentence_data();
    void sentence();
    void derivedColumns_data();
    void derivedColumns();
    void orderColoursAndPictures();
    void sameDayKeepsRowOrderBeyondTenThousandRecords();
    void alertRule_data();
    void alertRule();
    void melodyPlaysForTheLastMelodyRow();
    void unplayableMelodyIsReported();
    void invalidDateIsReportedOnceAndSkipped();
    void futureDateIsReported();
    void automaticModeClosesOnlyWhenNothingIsDue();
    void windowEdgesAndLongLines();
    void findDeathAndBirthCompareBaseNames();
    void listReadingGivesTheSameLines_data();
    void listReadingGivesTheSameLines();
};

void TestReminders::sentence_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("name");
    QTest::addColumn<int>("year");
    QTest::addColumn<QString>("relative"); // another record that decides the variant
    QTest::addColumn<int>("offset");
    QTest::addColumn<QString>("expected");
    QTest::addColumn<bool>("melody");

    const QString none;
    const QString jansDeath = "2010-03-01;Jan;Overlijden";
    const QString pietsBirth = "1930-01-15;Piet;Geboorte";
    struct Row {
        const char* tag;
        QString kind, name;
        int year;
        QString relative;
        int offset;
        QString expected;
        bool melody;
    };
    const Row rows[] = {
        {"birth today", "Geboorte", "Anna", 1960, none, 0, "Anna wordt vandaag 66 jaar", true},
        {"birth tomorrow", "Geboorte", "Anna", 1960, none, 1, "Anna wordt morgen (ma 11-05) 66 jaar", false},
        {"birth +2", "Geboorte", "Anna", 1960, none, 2, "Anna wordt overmorgen (di 12-05) 66 jaar", false},
        {"birth +5", "Geboorte", "Anna", 1960, none, 5, "Anna wordt over 5 dagen (vr 15-05) 66 jaar", false},
        {"birth +30", "Geboorte", "Anna", 1960, none, 30, "Anna wordt over 30 dagen (di 09-06) 66 jaar",
         false},
        {"birth -1", "Geboorte", "Anna", 1960, none, -1, "Anna werd gisteren (za 09-05) 66 jaar", false},
        {"birth -2", "Geboorte", "Anna", 1960, none, -2, "Anna werd eergisteren (vr 08-05) 66 jaar", false},
        {"birth -5", "Geboorte", "Anna", 1960, none, -5, "Anna werd 5 dagen geleden (di 05-05) 66 jaar",
         false},
        {"birth trailing spaces", "Geboorte", "Anna   ", 1960, none, 2,
         "Anna wordt overmorgen (di 12-05) 66 jaar", false},
        {"birth unknown year today", "Geboorte", "Anna", 3000, none, 0, "Anna is vandaag jarig", true},
        {"birth unknown year -5", "Geboorte", "Anna", 3000, none, -5,
         "Anna was 5 dagen geleden (di 05-05) jarig", false},
        {"birth over 999 years", "Geboorte", "Anna", 1000, none, 0, "", false},
        {"birth deceased today", "Geboorte", "Jan (opa)", 1960, jansDeath, 0,
         "Jan (opa) (49) zou vandaag 66 jaar worden", false},
        {"birth deceased -1", "Geboorte", "Jan (opa)", 1960, jansDeath, -1,
         "Jan (opa) (49) zou gisteren (za 09-05) 66 jaar worden", false},
        {"birth deceased unknown year", "Geboorte", "Jan (opa)", 3000, jansDeath, 5,
         "Jan (opa) zou over 5 dagen (vr 15-05) jarig zijn", false},
        {"wedding deceased unknown today", "Huwelijk", "Jan", 3000, jansDeath, 0,
         "Jan zouden vandaag hun trouwdag vieren vieren", true},
        {"wedding deceased unknown +1", "Huwelijk", "Jan", 3000, jansDeath, 1,
         "Jan zouden morgen (ma 11-05) hun trouwdag vieren", false},
        {"wedding deceased known", "Huwelijk", "Jan", 1960, jansDeath, 5,
         "Jan zouden over 5 dagen (vr 15-05) 66 jaar getrouwd zijn", false},
        {"wedding deceased known today", "Huwelijk", "Jan", 1960, jansDeath, 0,
         "Jan zouden vandaag 66 jaar getrouwd zijn", false},
        {"wedding unknown -1", "Huwelijk", "Kees en Anna", 3000, none, -1,
         "Kees en Anna vierden gisteren (za 09-05) hun trouwdag", false},
        {"wedding unknown today", "Huwelijk", "Kees en Anna", 3000, none, 0,
         "Kees en Anna vieren vandaag hun trouwdag", false},
        {"wedding today", "Huwelijk", "Kees en Anna", 1960, none, 0,
         "Kees en Anna zijn vandaag 66 jaar getrouwd", true},
        {"wedding -2", "Huwelijk", "Kees en Anna", 1960, none, -2,
         "Kees en Anna waren eergisteren (vr 08-05) 66 jaar getrouwd", false},
        {"death with birth today", "Overlijden", "Piet", 1960, pietsBirth, 0,
         "Piet (30) is vandaag 66 jaar overleden", true},
        {"death with birth -5", "Overlijden", "Piet", 1960, pietsBirth, -5,
         "Piet (30) was 5 dagen geleden (di 05-05) 66 jaar overleden", false},
        {"death with birth unknown year", "Overlijden", "Piet", 3000, pietsBirth, 1,
         "Piet's overlijden wordt morgen (ma 11-05) herdacht", false},
        {"death with birth unknown year today", "Overlijden", "Piet", 3000, pietsBirth, 0,
         "Piet's overlijden wordt vandaag herdacht", false},
        {"death without birth", "Overlijden", "Piet", 1960, none, 5,
         "Piet is over 5 dagen (vr 15-05) 66 jaar overleden", false},
        {"death without birth unknown year", "Overlijden", "Piet", 3000, none, -1,
         "Piet's overlijden werd gisteren (za 09-05) herdacht", false},
        {"death without birth unknown year today", "Overlijden", "Piet", 3000, none, 0,
         "Piet's overlijden wordt vandaag herdacht", true},
        {"death, birth with unknown year", "Overlijden", "Piet", 1960, "3000-01-15;Piet;Geboorte", 0,
         "Piet is vandaag 66 jaar overleden", true},
        {"jubilee unknown", "Jubileum", "Bakkerij", 3000, none, 0,
         "Bakkerij viert vandaag zijn/haar julbileum", true},
        {"jubilee -5", "Jubileum", "Bakkerij", 1960, none, -5,
         "Bakkerij vierde 5 dagen geleden (di 05-05) zijn/haar 66-jarig jubileum", false},
        {"party today", "Feest", "Oudejaar", 1960, none, 0, "Vandaag vieren wij Oudejaar", false},
        {"party +1", "Feest", "Oudejaar", 1960, none, 1, "Morgen vieren wij Oudejaar", false},
        {"party +2", "Feest", "Oudejaar", 1960, none, 2, "Overmorgen vieren wij Oudejaar", false},
        {"party +5", "Feest", "Oudejaar", 1960, none, 5, "Over 5 dagen (vr 15-05) vieren wij Oudejaar",
         false},
        {"party -1", "Feest", "Oudejaar", 1960, none, -1, "Gisteren (za 09-05) vierden wij Oudejaar", false},
        {"party -2", "Feest", "Oudejaar", 1960, none, -2, "Eergisteren (vr 08-05) vierden wij Oudejaar",
         false},
        {"party -5 weekday only", "Feest", "Oudejaar", 1960, none, -5,
         "5 dagen geleden (di) vierden wij Oudejaar", false},
        {"to-do today", "Te doen", "Aangifte", 2026, none, 0, "Vandaag:Aangifte", true},
        {"to-do +1", "Te doen", "Aangifte", 2026, none, 1, "Morgen (ma 11-05): Aangifte", false},
        {"to-do +2", "Te doen", "Aangifte", 2026, none, 2, "Overmorgen (di 12-05): Aangifte", false},
        {"to-do +5", "Te doen", "Aangifte", 2026, none, 5, "Over 5 dagen (vr 15-05): Aangifte", false},
        {"to-do -1", "Te doen", "Aangifte", 2026, none, -1, "Gisteren (za 09-05): Aangifte", false},
        {"to-do -2", "Te doen", "Aangifte", 2026, none, -2, "Eergisteren (vr 08-05): Aangifte", false},
        {"to-do -5", "Te doen", "Aangifte", 2026, none, -5, "5 dagen geleden (di 05-05) Aangifte", false},
        {"unknown kind", "Verhuizing", "Anna", 1960, none, 0, "", false},
        {"no kind yet is a birthday", "", "Anna", 1960, none, 2, "Anna wordt overmorgen (di 12-05) 66 jaar",
         false},
        {"lower-case kind", "feest", "Oudejaar", 1960, none, 0, "Vandaag vieren wij Oudejaar", false},
    };
    for (const Row& r : rows)
        QTest::newRow(r.tag) << r.kind << r.name << r.year << r.relative << r.offset << r.expected
                             << r.melody;
}

void TestReminders::sentence() {
    QFETCH(QString, kind);
    QFETCH(QString, name);
    QFETCH(int, year);
    QFETCH(QString, relative);
    QFETCH(int, offset);
    QFETCH(QString, expected);
    QFETCH(bool, melody);
    const QDate occurrence = today.addDays(offset);
    const QString date = QDate(year, occurrence.month(), occurrence.day()).toString("yyyy-MM-dd");
    QStringList lines{date + ";" + name + ";" + kind};
    if (!relative.isEmpty())
        lines << relative;
    const RecordTable table = TableOf(lines);
    bool isMelody = !melody;
    QCOMPARE(ReminderSentence(table, 1, YearMonthDay, today, offset, &isMelody), expected);
    QCOMPARE(isMelody, melody);
}

void TestReminders::derivedColumns_data() {
    QTest::addColumn<QDate>("today");
    QTest::addColumn<QString>("date");
    QTest::addColumn<int>("notation");
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("offset");
    QTest::addColumn<QString>("age");
    QTest::addColumn<QString>("dayNumber");

    QTest::newRow("plain") << today << "1960-05-12" << 0 << "Geboorte"
                           << "    2"
                           << " 65"
                           << "22048";
    QTest::newRow("day first notation") << today << "12-05-1960" << 2 << "Geboorte"
                                        << "    2"
                                        << " 65"
                                        << "22048";
    QTest::newRow("month first notation") << today << "05-12-1960" << 1 << "Geboorte"
                                          << "    2"
                                          << " 65"
                                          << "22048";
    QTest::newRow("new year's eve seen on 1 January") << QDate(2026, 1, 1) << "1980-12-31" << 0 << "Geboorte"
                                                      << "   -1"
                                                      << " 45"
                                                      << "29586";
    QTest::newRow("1 January seen on new year's eve")
        << QDate(2026, 12, 31) << "1980-01-01" << 0 << "Geboorte"
        << "    1"
        << " 46"
        << "29221";
    QTest::newRow("334 days ahead counts as last year")
        << QDate(2026, 1, 1) << "1980-12-01" << 0 << "Geboorte"
        << "  -31"
        << " 45"
        << "29556";
    QTest::newRow("29 February in a non-leap year") << QDate(2026, 2, 27) << "1988-02-29" << 0 << "Geboorte"
                                                    << "    2"
                                                    << " 37"
                                                    << "32202";
    QTest::newRow("29 February in a leap year") << QDate(2028, 2, 27) << "1988-02-29" << 0 << "Geboorte"
                                                << "    2"
                                                << " 39"
                                                << "32202";
    QTest::newRow("unknown year") << today << "3000-05-12" << 0 << "Geboorte"
                                  << "    2"
                                  << "  0"
                                  << "401900";
    QTest::newRow("to-do in the future") << today << "2027-05-12" << 0 << "Te doen"
                                         << "    2"
                                         << "  0"
                                         << "46519";
    QTest::newRow("month 13") << today << "1960-13-12" << 0 << "Geboorte"
                              << ""
                              << "  0"
                              << "";
    QTest::newRow("letters") << today << "abc" << 0 << "Geboorte"
                             << ""
                             << "  0"
                             << "";
}

void TestReminders::derivedColumns() {
    QFETCH(QDate, today);
    QFETCH(QString, date);
    QFETCH(int, notation);
    QFETCH(QString, kind);
    QFETCH(QString, offset);
    QFETCH(QString, age);
    QFETCH(QString, dayNumber);
    FakeUi ui;
    RecordTable table = TableOf({date + ";Anna;" + kind});
    ComputeDerivedColumns(table, notation, today);
    QCOMPARE(table.cell(1, Col::DayOffset), offset);
    QCOMPARE(table.cell(1, Col::Age), age);
    QCOMPARE(table.cell(1, Col::DayNumber), dayNumber);
    QCOMPARE(ui.notes.size(), 0);
}

void TestReminders::orderColoursAndPictures() {
    FakeUi ui;
    RecordTable table = TableOf({
        "1960-05-15;Vijf;Geboorte;vijf.jpg",       // +5
        "1960-05-08;Min twee;Geboorte;",           // -2
        "1960-05-10;Vandaag;Geboorte;vandaag.jpg", // 0
        "1960-05-01;Min negen;Geboorte;negen.jpg", // -9
        "1960-05-11;Morgen;Geboorte;morgen.jpg",   // +1
        "1960-04-20;Buiten;Geboorte;buiten.jpg",   // -20: outside
    });
    ComputeDerivedColumns(table, 0, today);
    const Reminders r = ComposeReminders(table, 0, window(10, 30), today);
    QCOMPARE(texts(r), (QStringList{
                           "Min negen werd 9 dagen geleden (vr 01-05) 66 jaar",
                           "Min twee werd eergisteren (vr 08-05) 66 jaar",
                           "Vandaag wordt vandaag 66 jaar =>",
                           "Morgen wordt morgen (ma 11-05) 66 jaar",
                           "Vijf wordt over 5 dagen (vr 15-05) 66 jaar",
                       }));
    QCOMPARE(r.lines[0].colour, ReminderColour::Past);
    QCOMPARE(r.lines[1].colour, ReminderColour::Past);
    QCOMPARE(r.lines[2].colour, ReminderColour::Today);
    QCOMPARE(r.lines[3].colour, ReminderColour::Future);
    QCOMPARE(r.lines[4].colour, ReminderColour::Future);
    QCOMPARE(r.pictureOfLine, (QStringList{"negen.jpg", "", "vandaag.jpg", "morgen.jpg", "vijf.jpg"}));
    // Only today's line and the first line after the past ones are candidates.
    QCOMPARE(r.currentPicture, QString("vandaag.jpg"));

    // With nothing today, the first line after the past ones shows its picture.
    RecordTable noToday =
        TableOf({"1960-05-08;Min twee;Geboorte;twee.jpg", "1960-05-11;Morgen;Geboorte;morgen.jpg",
                 "1960-05-12;Overmorgen;Geboorte;over.jpg"});
    ComputeDerivedColumns(noToday, 0, today);
    const Reminders n = ComposeReminders(noToday, 0, window(10, 30), today);
    QCOMPARE(texts(n), (QStringList{"Min twee werd eergisteren (vr 08-05) 66 jaar",
                                    "Morgen wordt morgen (ma 11-05) 66 jaar =>",
                                    "Overmorgen wordt overmorgen (di 12-05) 66 jaar"}));
    QCOMPARE(n.currentPicture, QString("morgen.jpg"));
    QCOMPARE(r.emptyLine, QString());

    // Without past lines the first future line is no candidate: no picture at all.
    RecordTable future = TableOf({"1960-05-11;Morgen;Geboorte;morgen.jpg"});
    ComputeDerivedColumns(future, 0, today);
    const Reminders f = ComposeReminders(future, 0, window(10, 30), today);
    QCOMPARE(texts(f), QStringList{"Morgen wordt morgen (ma 11-05) 66 jaar"});
    QCOMPARE(f.currentPicture, QString());

    // The last today line with a picture wins over an earlier one.
    RecordTable two = TableOf({"1960-05-10;Een;Geboorte;een.jpg", "1970-05-10;Twee;Geboorte;twee.jpg",
                               "1980-05-10;Drie;Geboorte;"});
    ComputeDerivedColumns(two, 0, today);
    const Reminders t = ComposeReminders(two, 0, window(10, 30), today);
    QCOMPARE(texts(t), (QStringList{"Een wordt vandaag 66 jaar =>", "Twee wordt vandaag 56 jaar =>",
                                    "Drie wordt vandaag 46 jaar"}));
    QCOMPARE(t.currentPicture, QString("twee.jpg"));
}

void TestReminders::sameDayKeepsRowOrderBeyondTenThousandRecords() {
    FakeUi ui;
    QStringList lines;
    for (int i = 0; i < 10005; ++i)
        lines << QString("1960-01-01;Persoon %1;Geboorte").arg(i);
    // Row 12 and row 10003 fall on the same day as row 3; row 10004 a day earlier.
    lines[2] = "1960-05-12;Drie;Geboorte";
    lines[11] = "1960-05-12;Twaalf;Geboorte";
    lines[10002] = "1960-05-12;Tienduizend drie;Geboorte";
    lines[10003] = "1960-05-11;Tienduizend vier;Geboorte";
    RecordTable table = TableOf(lines);
    ComputeDerivedColumns(table, 0, today);
    const Reminders r = ComposeReminders(table, 0, window(10, 30), today);
    QCOMPARE(texts(r), (QStringList{"Tienduizend vier wordt morgen (ma 11-05) 66 jaar",
                                    "Drie wordt overmorgen (di 12-05) 66 jaar",
                                    "Twaalf wordt overmorgen (di 12-05) 66 jaar",
                                    "Tienduizend drie wordt overmorgen (di 12-05) 66 jaar"}));
}

void TestReminders::alertRule_data() {
    QTest::addColumn<QString>("record");
    QTest::addColumn<bool>("alert");
    QTest::newRow("birthday today") << "1960-05-10;Anna;Geboorte" << true;
    QTest::newRow("party today") << "1960-05-10;Feest;Feest" << true;
    QTest::newRow("to-do today") << "2026-05-10;Klus;Te doen" << true;
    QTest::newRow("death today") << "1960-05-10;Piet;Overlijden" << false;
    QTest::newRow("unknown year today") << "3000-05-10;Anna;Geboorte" << false;
    QTest::newRow("birthday tomorrow") << "1960-05-11;Anna;Geboorte" << false;
    QTest::newRow("to-do next year today") << "2027-05-10;Klus;Te doen" << false;
}

void TestReminders::alertRule() {
    QFETCH(QString, record);
    QFETCH(bool, alert);
    FakeUi ui;
    RecordTable table = TableOf({record});
    ComputeDerivedColumns(table, 0, today);
    WorkingSettings w = window(10, 30);
    const Reminders r = ComposeReminders(table, 0, w, today);
    QCOMPARE(r.alert, alert);
    QCOMPARE(ui.sounds, alert ? QStringList{"system"} : QStringList{});

    // Sound off: the flag still tells, nothing plays.
    FakeUi quiet;
    w.geluidAan = false;
    QCOMPARE(ComposeReminders(table, 0, w, today).alert, alert);
    QCOMPARE(quiet.sounds, QStringList{});
}

void TestReminders::melodyPlaysForTheLastMelodyRow() {
    FakeUi ui;
    RecordTable table = TableOf({"1960-05-10;Anna;Geboorte", "1950-05-10;Feest;Feest"});
    ComputeDerivedColumns(table, 0, today);
    WorkingSettings w = window(10, 30);
    w.systeemGeluid = false;
    w.melodyFile = "/muziek/lied.mp3";
    const Reminders r = ComposeReminders(table, 0, w, today);
    QCOMPARE(r.melodyRow, 1);
    QCOMPARE(ui.sounds, QStringList{"melody:/muziek/lied.mp3"});

    // A party alone raises the alert but has no melody row: nothing plays.
    FakeUi party;
    RecordTable onlyParty = TableOf({"1950-05-10;Feest;Feest"});
    ComputeDerivedColumns(onlyParty, 0, today);
    const Reminders p = ComposeReminders(onlyParty, 0, w, today);
    QVERIFY(p.alert);
    QCOMPARE(p.melodyRow, -1);
    QCOMPARE(party.sounds, QStringList{});
}

void TestReminders::unplayableMelodyIsReported() {
    FakeUi ui;
    ui.nextMelodyResult(false);
    RecordTable table = TableOf({"1960-05-10;Anna;Geboorte"});
    ComputeDerivedColumns(table, 0, today);
    WorkingSettings w = window(10, 30);
    w.systeemGeluid = false;
    ComposeReminders(table, 0, w, today);
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].first, QString("Het muziekbestand bestaat niet"));
    QCOMPARE(ui.notes[0].second, QString("Kies in Instellingen een ander muziekbestand"));
    QCOMPARE(ui.notes[0].durationMs, 5000);
}

void TestReminders::invalidDateIsReportedOnceAndSkipped() {
    FakeUi ui;
    RecordTable table = TableOf({"1960-13-12;Fout;Geboorte", "1960-05-11;Anna;Geboorte",
                                 "1960-02-30;Ook fout;Geboorte", "1-2-60;Kort;Geboorte"});
    ComputeDerivedColumns(table, 0, today);
    const Reminders r = ComposeReminders(table, 0, window(10, 30), today);
    QCOMPARE(texts(r), QStringList{"Anna wordt morgen (ma 11-05) 66 jaar"});
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].first, QString("De naam \"Fout heeft"));
    QCOMPARE(ui.notes[0].second, QString("geen geldige datum (1960-13-12)."));
}

void TestReminders::futureDateIsReported() {
    FakeUi ui;
    RecordTable table = TableOf({"2030-05-11;Toekomst;Geboorte", "3000-05-11;Onbekend;Geboorte"});
    ComputeDerivedColumns(table, 0, today);
    QCOMPARE(ui.notes.size(), 1);
    QCOMPARE(ui.notes[0].first, QString("De datum (Toekomst - 2030-05-11) mag"));
    QCOMPARE(ui.notes[0].second, QString("niet in de toekomst liggen."));
    QCOMPARE(table.cell(1, Col::Age), QString("  0"));
}

void TestReminders::automaticModeClosesOnlyWhenNothingIsDue() {
    FakeUi ui;
    RecordTable none = TableOf({"1960-08-01;Later;Geboorte"});
    ComputeDerivedColumns(none, 0, today);
    WorkingSettings w = window(10, 30);
    w.automaticMode = true;
    QVERIFY(ComposeReminders(none, 0, w, today).closeProgram);
    w.automaticMode = false;
    const Reminders manual = ComposeReminders(none, 0, w, today);
    QVERIFY(!manual.closeProgram);
    QCOMPARE(manual.emptyLine, QString("  Geen verjaardagen binnen -10..30 dagen."));

    RecordTable some = TableOf({"1960-05-20;Binnenkort;Geboorte"});
    ComputeDerivedColumns(some, 0, today);
    w.automaticMode = true;
    QVERIFY(!ComposeReminders(some, 0, w, today).closeProgram);
}

void TestReminders::windowEdgesAndLongLines() {
    FakeUi ui;
    RecordTable table = TableOf({"1960-05-07;Drie terug;Geboorte", "1960-05-06;Vier terug;Geboorte",
                                 "1960-05-15;Vijf vooruit;Geboorte", "1960-05-16;Zes vooruit;Geboorte",
                                 "1960-05-11;" + QString(300, u'x') + ";Geboorte"});
    ComputeDerivedColumns(table, 0, today);
    const Reminders r = ComposeReminders(table, 0, window(3, 5), today);
    QCOMPARE(r.lines.size(), size_t(3));
    QCOMPARE(r.lines[0].text, QString("Drie terug werd 3 dagen geleden (do 07-05) 66 jaar"));
    QCOMPARE(r.lines[1].text.size(), 255);
    QCOMPARE(r.lines[2].text, QString("Vijf vooruit wordt over 5 dagen (vr 15-05) 66 jaar"));
}

void TestReminders::findDeathAndBirthCompareBaseNames() {
    const RecordTable table =
        TableOf({"1930-01-15;Jan;Geboorte", "2010-03-01;Jan (opa) ;Overlijden", "2012-03-01;Jan;Overlijden",
                 "3000-01-01;Els;Geboorte", "1950-01-01;Els;Geboorte", "2000-01-01;jan;Overlijden"});
    int day = -1;
    QVERIFY(FindDeath(table, "Jan (vader)", 0, &day));
    QCOMPARE(day, DayNumberOf(QDate(2010, 3, 1)));
    QVERIFY(FindBirth(table, "Jan (opa)", 0, &day));
    QCOMPARE(day, DayNumberOf(QDate(1930, 1, 15)));
    QVERIFY(!FindBirth(table, "Els", 0, &day)); // the first birth has an unknown year
    QVERIFY(!FindDeath(table, "Els", 0, &day));
    QVERIFY(!FindDeath(table, "JAN", 0, &day));
    QCOMPARE(BaseName("Jan (opa) (2)"), QString("Jan"));
    QCOMPARE(BaseName("Kees  "), QString("Kees"));
}

namespace {
// A family file with everything that can make a line need another record:
// shared base names, births and deaths of one person, kinds in every
// spelling, unknown years, 29 February, invalid and future dates.
QByteArray mixedFile(quint32 seed, int notation, int records, const char* eighthName) {
    QRandomGenerator rng(seed);
    const char* const names[] = {"Anna",      "Kees", "Opa Jan", "Oma Lies",
                                 "Tante Ria", "Wim",  "Sanne",   eighthName};
    const char* const suffixes[] = {"", "", " (55)", " (oud)", "  "};
    const char* const kinds[] = {"Geboorte",   "geboorte",   "",           "Verjaardag",
                                 "verjaardag", "Overlijden", "overlijden", "Huwelijk",
                                 "Jubileum",   "Feest",      "Te doen",    "Onbekend"};
    QByteArray out;
    for (int i = 0; i < records; ++i) {
        int y = 1900 + int(rng.bounded(127)), m = 1 + int(rng.bounded(12)), d = 1 + int(rng.bounded(28));
        switch (rng.bounded(12)) {
        case 0:
            y = 3000;
            break;
        case 1:
            m = 2;
            d = 29;
            y = 1904 + 4 * int(rng.bounded(30)) + int(rng.bounded(2));
            break;
        case 2:
            y = 2027 + int(rng.bounded(3));
            break; // in the future
        case 3:
            d = 30 + int(rng.bounded(3));
            m = 2;
            break; // no such day
        default:
            break;
        }
        QByteArray date;
        if (notation == YearMonthDay)
            date = QByteArray::number(y) + '-' + QByteArray::number(m).rightJustified(2, '0') + '-' +
                   QByteArray::number(d).rightJustified(2, '0');
        else
            date = QByteArray::number(d).rightJustified(2, '0') + '-' +
                   QByteArray::number(m).rightJustified(2, '0') + '-' + QByteArray::number(y);
        out += date + ';' + names[rng.bounded(8)] + suffixes[rng.bounded(5)] + ';' + kinds[rng.bounded(12)] +
               ";p" + QByteArray::number(i) + ".jpg;;;;;;\r\n";
    }
    return out;
}

struct Composed {
    QStringList lines; // text, colour, picture and offset of each line
    QStringList notes; // what was reported through the seam
    QStringList sounds;
    QString melody, emptyLine, currentPicture;
    QStringList pictureOfLine;
    bool alert = false, closeProgram = false;
};

Composed composeFromFile(const QString& folder, const QDate& day, const WorkingSettings& settings,
                         bool forList) {
    FakeUi ui;
    RecordTable table;
    DataFile data(table);
    data.retryDelayMs = 0;
    if (forList) {
        data.onlyForReminders = DataFile::ReminderWindow{day, settings.achteraf, settings.vooraf};
        data.readPieceBytes = 37; // and the file read in small pieces, lines split anywhere
    }
    if (data.read(folder, QStringLiteral("Brolt"), QStringLiteral(".dat")) != DataFile::ReadResult::Ok)
        return {};
    ComputeDerivedColumns(table, data.dateNotation, day);
    const Reminders r = ComposeReminders(table, data.dateNotation, settings, day);
    Composed out;
    for (const ReminderLine& l : r.lines)
        out.lines << QStringLiteral("%1|%2|%3|%4").arg(l.text).arg(l.colour).arg(l.picture).arg(l.dayOffset);
    for (const FakeUi::Note& n : ui.notes)
        out.notes << n.first + u'|' + n.second;
    out.sounds = ui.sounds;
    if (r.melodyRow > 0)
        out.melody = table.cell(r.melodyRow, Col::Name) + u'|' + table.cell(r.melodyRow, Col::Date);
    out.emptyLine = r.emptyLine;
    out.currentPicture = r.currentPicture;
    out.pictureOfLine = r.pictureOfLine;
    out.alert = r.alert;
    out.closeProgram = r.closeProgram;
    return out;
}
} // namespace

void TestReminders::listReadingGivesTheSameLines_data() {
    QTest::addColumn<int>("notation");
    QTest::addColumn<QDate>("day");
    QTest::addColumn<int>("back");
    QTest::addColumn<int>("ahead");
    QTest::addColumn<bool>("automatic");
    QTest::addColumn<QByteArray>("name"); // one of the names, in the file's encoding
    QTest::newRow("usual window") << int(YearMonthDay) << QDate(2026, 5, 10) << 10 << 30 << false
                                  << QByteArray("Piet");
    QTest::newRow("day-month-year") << int(DayMonthYear) << QDate(2026, 5, 10) << 10 << 30 << false
                                    << QByteArray("Piet");
    QTest::newRow("today only, automatic")
        << int(YearMonthDay) << QDate(2026, 3, 1) << 0 << 0 << true << QByteArray("Piet");
    QTest::newRow("around 29 February")
        << int(YearMonthDay) << QDate(2025, 2, 28) << 3 << 3 << false << QByteArray("Piet");
    QTest::newRow("in a leap year") << int(YearMonthDay) << QDate(2024, 2, 29) << 10 << 30 << false
                                    << QByteArray("Piet");
    QTest::newRow("across new year") << int(DayMonthYear) << QDate(2026, 12, 28) << 10 << 30 << false
                                     << QByteArray("Piet");
    QTest::newRow("just after new year")
        << int(YearMonthDay) << QDate(2027, 1, 2) << 10 << 30 << false << QByteArray("Piet");
    QTest::newRow("widest window") << int(YearMonthDay) << QDate(2026, 7, 1) << 333 << 333 << false
                                   << QByteArray("Piet");
    QTest::newRow("UTF-8 names") << int(YearMonthDay) << QDate(2026, 5, 10) << 30 << 30 << false
                                 << QByteArray("Zo\xc3\xab (\xc3\xa9\xc3\xa9n)");
    QTest::newRow("Windows-1252 names")
        << int(YearMonthDay) << QDate(2026, 5, 10) << 30 << 30 << false << QByteArray("Zo\xeb  (\x80)");
}

void TestReminders::listReadingGivesTheSameLines() {
    QFETCH(int, notation);
    QFETCH(QDate, day);
    QFETCH(int, back);
    QFETCH(int, ahead);
    QFETCH(bool, automatic);
    QFETCH(QByteArray, name);
    QTemporaryDir dir;
    const QString folder = dir.path() + u'/';
    WorkingSettings settings = window(back, ahead);
    settings.automaticMode = automatic;
    for (quint32 seed = 1; seed <= 12; ++seed) {
        WriteFileForTest(folder + QStringLiteral("Brolt.dat"),
                         mixedFile(seed, notation, 400, name.constData()));
        const Composed whole = composeFromFile(folder, day, settings, false);
        const Composed list = composeFromFile(folder, day, settings, true);
        QVERIFY(!whole.lines.isEmpty() || !whole.emptyLine.isEmpty() || whole.closeProgram);
        QCOMPARE(list.lines, whole.lines);
        QCOMPARE(list.notes, whole.notes);
        QCOMPARE(list.sounds, whole.sounds);
        QCOMPARE(list.melody, whole.melody);
        QCOMPARE(list.emptyLine, whole.emptyLine);
        QCOMPARE(list.currentPicture, whole.currentPicture);
        QCOMPARE(list.pictureOfLine, whole.pictureOfLine);
        QCOMPARE(list.alert, whole.alert);
        QCOMPARE(list.closeProgram, whole.closeProgram);
    }
}

QTEST_GUILESS_MAIN(TestReminders)
#include "tst_reminders.moc"
