#include "TestKit.h"
#include "exchange/ICalendar.h"
#include "kit/Store.h"
#include "records/Reminders.h"

#include <QProcess>
#include <QTest>

// The records as a calendar: checked line by line, and read back by an
// independent parser whose occurrences must be the days the reminders name.
class TestICalendar : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void foldsAndEscapes_data();
    void foldsAndEscapes();
    void uidFollowsNameAndKind_data();
    void uidFollowsNameAndKind();
    void fingerprintIsWhatTheRecordDetermines_data();
    void fingerprintIsWhatTheRecordDetermines();
    void anotherParserSeesTheReminderDays();
    void alarmsFollowAgendaVooraf_data();
    void alarmsFollowAgendaVooraf();

private:
    TempHome m_home;
};

void TestICalendar::foldsAndEscapes_data() {
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<QByteArray>("folded");
    const QByteArray a74(74, 'a');
    QTest::newRow("75 octets stay") << a74 + "b" << a74 + "b";
    QTest::newRow("76 octets fold") << a74 + "bc" << a74 + "b\r\n c";
    QTest::newRow("no cut inside a character") << a74 + "\xC3\xA9" << a74 + "\r\n \xC3\xA9";
    QTest::newRow("next lines hold 74")
        << QByteArray(75 + 74 + 1, 'x') << QByteArray(75, 'x') + "\r\n " + QByteArray(74, 'x') + "\r\n x";
}

void TestICalendar::foldsAndEscapes() {
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, folded);
    QCOMPARE(FoldContentLine(line), folded);
    QCOMPARE(EscapeText("a,b;c\\d\ne\r\nf"), QString("a\\,b\\;c\\\\d\\ne\\nf"));
}

void TestICalendar::uidFollowsNameAndKind_data() {
    QTest::addColumn<QString>("second");
    QTest::addColumn<int>("stampDays");
    QTest::addColumn<int>("alarmDays");
    QTest::addColumn<bool>("sameUid");
    QTest::addColumn<bool>("sameFingerprint");
    QTest::newRow("only the stamp differs") << "1960-05-12;Anna;Geboorte" << 3 << 7 << true << true;
    QTest::newRow("the date changed") << "1960-05-13;Anna;Geboorte" << 0 << 7 << true << false;
    QTest::newRow("another kind") << "1960-05-12;Anna;Huwelijk" << 0 << 7 << false << false;
    QTest::newRow("another name") << "1960-05-12;Anne;Geboorte" << 0 << 7 << false << false;
    QTest::newRow("another Agenda Vooraf") << "1960-05-12;Anna;Geboorte" << 0 << 6 << true << false;
    QTest::newRow("no second alarm") << "1960-05-12;Anna;Geboorte" << 0 << 0 << true << false;
}

void TestICalendar::uidFollowsNameAndKind() {
    QFETCH(QString, second);
    QFETCH(int, stampDays);
    QFETCH(int, alarmDays);
    QFETCH(bool, sameUid);
    QFETCH(bool, sameFingerprint);
    const QDateTime stamp = Noon(2026, 5, 10);
    const CalendarEvent a =
        CalendarEvents(TableOf({"1960-05-12;Anna;Geboorte"}), 0, stamp, 7).events.value(0);
    const CalendarEvent b =
        CalendarEvents(TableOf({second}), 0, stamp.addDays(stampDays), alarmDays).events.value(0);
    QCOMPARE(a.uid == b.uid, sameUid);
    QCOMPARE(a.fingerprint == b.fingerprint, sameFingerprint);
    QCOMPARE(CalendarFingerprint(b.calendar), b.fingerprint);
    QVERIFY(IsBroltEventUid(b.uid) && !IsBroltEventUid(b.uid + ".google.com"));
}

// A stored copy compares equal to what the record gives whoever stored it:
// another installation (its own stamp), a calendar program (its PRODID, an
// alarm, its own order of lines and parameters, folded lines).
void TestICalendar::fingerprintIsWhatTheRecordDetermines_data() {
    QTest::addColumn<QByteArray>("from"); // replaced in the record's event ...
    QTest::addColumn<QByteArray>("to");   // ... by this
    QTest::addColumn<bool>("same");
    QTest::newRow("another stamp") << QByteArray("DTSTAMP:2026") << QByteArray("DTSTAMP:2031") << true;
    QTest::newRow("another program") << QByteArray("PRODID:-//Brolt//Brolt 2.60//NL")
                                     << QByteArray("PRODID:-//Agenda//NL") << true;
    QTest::newRow("an alarm added") << QByteArray("END:VEVENT")
                                    << QByteArray(
                                           "BEGIN:VALARM\r\nTRIGGER:-PT15M\r\nSUMMARY:x\r\nEND:VALARM\r\n"
                                           "END:VEVENT")
                                    << true;
    QTest::newRow("a description added")
        << QByteArray("TRANSP:TRANSPARENT") << QByteArray("TRANSP:OPAQUE\r\nDESCRIPTION:verjaardag") << true;
    QTest::newRow("lines in another order, a parameter in lower case, folded")
        << QByteArray("DTSTART;VALUE=DATE:19600512\r\nDURATION:P1D\r\nRRULE:FREQ=YEARLY\r\n")
        << QByteArray("RRULE:freq=YEARLY\r\nDURATION:P1D\r\nDTSTART;value=DATE:1960\r\n 0512\r\n") << true;
    QTest::newRow("an alarm at another time added")
        << QByteArray("END:VEVENT")
        << QByteArray("BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:-PT15M\r\nEND:VALARM\r\nEND:VEVENT") << true;
    QTest::newRow("our alarm written another way")
        << QByteArray("TRIGGER;RELATED=START:-P6DT15H") << QByteArray("trigger:-PT159H") << true;
    QTest::newRow("our alarm days ahead changed") << QByteArray("TRIGGER;RELATED=START:-P6DT15H")
                                                  << QByteArray("TRIGGER;RELATED=START:-P2DT15H") << false;
    QTest::newRow("an alarm on the day at 09:00 added by hand")
        << QByteArray("END:VEVENT")
        << QByteArray("BEGIN:VALARM\r\nACTION:DISPLAY\r\nTRIGGER:PT9H\r\nEND:VALARM\r\nEND:VEVENT") << false;
    QTest::newRow("our alarm made a sound instead")
        << QByteArray("ACTION:DISPLAY\r\nDESCRIPTION:Anna: verjaardag (1960)\r\nTRIGGER;RELATED=START:-P6")
        << QByteArray("ACTION:AUDIO\r\nTRIGGER;RELATED=START:-P6") << false;
    QTest::newRow("our alarm tied to the end")
        << QByteArray("TRIGGER;RELATED=START:PT9H") << QByteArray("TRIGGER;RELATED=END:PT9H") << false;
    QTest::newRow("another summary") << QByteArray("SUMMARY:Anna") << QByteArray("SUMMARY:Anne") << false;
    QTest::newRow("another day") << QByteArray("19600512") << QByteArray("19600513") << false;
    QTest::newRow("another UID") << QByteArray("@brolt") << QByteArray("@elders") << false;
}

void TestICalendar::fingerprintIsWhatTheRecordDetermines() {
    QFETCH(QByteArray, from);
    QFETCH(QByteArray, to);
    QFETCH(bool, same);
    const CalendarEvent e =
        CalendarEvents(TableOf({"1960-05-12;Anna;Geboorte"}), 0, Noon(2026, 5, 10), 7).events.value(0);
    QVERIFY(e.calendar.contains(from));
    const QByteArray stored = QByteArray(e.calendar).replace(from, to);
    QCOMPARE(CalendarFingerprint(stored) == e.fingerprint, same);
    QCOMPARE(CalendarObjectUid(stored) == e.uid, !from.contains("@brolt"));
    // A record's own control characters never reach the calendar.
    QCOMPARE(EscapeText(QString("A\x1B[2Jn\x07"
                                "a\u0085") +
                        QChar(0x7F)),
             QString("A[2Jna"));
}

void TestICalendar::anotherParserSeesTheReminderDays() {
    if (QProcess::execute("/usr/bin/python3", {"-c", "import icalendar, dateutil"}) != 0)
        QSKIP("python3-icalendar is not installed");
    const QStringList lines = {"1960-05-12;Anna, de Vries;Geboorte",
                               "1964-02-29;Schrikkel;Geboorte",
                               "3000-02-29;Onbekend;Geboorte",
                               "3000-06-12;Jan en Els;Huwelijk",
                               "2027-09-01;Later;Te doen",
                               "2001-12-31;Feestje;Feest",
                               "1990-01-01;" + QString(30, QChar(u'É')) + " en " + QString(30, QChar(u'Ö')) +
                                   ";Jubileum",
                               "2010-10-10;Opa (overleden);Overlijden",
                               "2011-10-10;Opa (overleden);Overlijden",
                               "1970-13-01;Kapot;Geboorte",
                               "1970-01-01;Raar;Onzin"};
    RecordTable table = TableOf(lines);
    QCOMPARE(CalendarEvents(table, 0, Noon(2026, 5, 10), 7).left, 2);
    QTemporaryDir dir;
    const QString file = dir.filePath("brolt.ics");
    WriteFileForTest(file, CalendarFile(table, 0, Noon(2026, 5, 10), 7));

    // Every line CRLF-ended and at most 75 octets; each event with its stamp and a unique UID.
    const char* script = R"(
import sys, datetime
from icalendar import Calendar
from dateutil.rrule import rrulestr
raw = open(sys.argv[1], 'rb').read()
for line in raw.split(b'\r\n')[:-1]:
    if len(line) > 75 or b'\n' in line: print('BAD LINE', line)
cal = Calendar.from_ical(raw)
if not cal.get('PRODID'): print('BAD PRODID')
uids = set()
for ev in cal.walk('VEVENT'):
    if not ev.get('DTSTAMP') or ev['UID'] in uids: print('BAD EVENT', ev['UID'])
    uids.add(ev['UID'])
    start = datetime.datetime.combine(ev['DTSTART'].dt, datetime.time())
    rule = rrulestr(ev['RRULE'].to_ical().decode(), dtstart=start)
    for d in rule.between(datetime.datetime(2023, 1, 1), datetime.datetime(2029, 12, 31), inc=True):
        print(str(ev['SUMMARY']) + '|' + d.date().isoformat())
)";
    QProcess p;
    p.start("/usr/bin/python3", {"-c", script, file});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()), QString());
    QStringList seen = QString::fromUtf8(p.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);

    // The reminders' own day of each record in each year: the offset from mid-year.
    QStringList expected;
    for (int year = 2023; year <= 2029; ++year) {
        const QDate today(year, 7, 1);
        ComputeDerivedColumns(table, 0, today);
        for (int r = 1; r <= 9; ++r) {
            const QString summary =
                EventSummary(table.cell(r, Col::Name), table.cell(r, Col::Kind),
                             r == 3 || r == 4 || r == 5 ? 0 : lines[r - 1].left(4).toInt());
            expected << summary + u'|' +
                            today.addDays(table.cell(r, Col::DayOffset).toInt()).toString(Qt::ISODate);
        }
    }
    seen.sort();
    expected.sort();
    QCOMPARE(seen, expected);
    QVERIFY(expected.contains("Schrikkel: verjaardag (1964)|2028-02-29"));
    QVERIFY(expected.contains("Schrikkel: verjaardag (1964)|2027-03-01"));
}

// "Agenda Vooraf" as stored gives the alarms of every event, as another
// parser reads them: when each goes off, what it shows.
void TestICalendar::alarmsFollowAgendaVooraf_data() {
    QTest::addColumn<QString>("stored"); // "-": not stored
    QTest::addColumn<QString>("trigger");
    QTest::addColumn<QString>("alarms"); // when each alarm of both events goes off
    const QString onTheDay = "DISPLAY|Anna: verjaardag (1960)|2026-05-12 09:00|"
                             "DISPLAY|Schrikkel: verjaardag (1964)|2027-03-01 09:00";
    QTest::newRow("not stored: a week ahead")
        << "-"
        << "-P6DT15H"
        << onTheDay + "|DISPLAY|Anna: verjaardag (1960)|2026-05-05 09:00|"
                      "DISPLAY|Schrikkel: verjaardag (1964)|2027-02-22 09:00";
    QTest::newRow("one day ahead") << "1"
                                   << "-P0DT15H"
                                   << onTheDay + "|DISPLAY|Anna: verjaardag (1960)|2026-05-11 09:00|"
                                                 "DISPLAY|Schrikkel: verjaardag (1964)|2027-02-28 09:00";
    QTest::newRow("0: on the day only") << "0"
                                        << "" << onTheDay;
    QTest::newRow("60, the most") << "60"
                                  << "-P59DT15H"
                                  << onTheDay + "|DISPLAY|Anna: verjaardag (1960)|2026-03-13 09:00|"
                                                "DISPLAY|Schrikkel: verjaardag (1964)|2026-12-31 09:00";
    QTest::newRow("beyond 60: 60") << "365"
                                   << "-P59DT15H"
                                   << onTheDay + "|DISPLAY|Anna: verjaardag (1960)|2026-03-13 09:00|"
                                                 "DISPLAY|Schrikkel: verjaardag (1964)|2026-12-31 09:00";
    QTest::newRow("below 0: none") << "-3"
                                   << "" << onTheDay;
    QTest::newRow("no number: a week") << "veel"
                                       << "-P6DT15H"
                                       << onTheDay + "|DISPLAY|Anna: verjaardag (1960)|2026-05-05 09:00|"
                                                     "DISPLAY|Schrikkel: verjaardag (1964)|2027-02-22 09:00";
}

void TestICalendar::alarmsFollowAgendaVooraf() {
    QFETCH(QString, stored);
    QFETCH(QString, trigger);
    QFETCH(QString, alarms);
    if (QProcess::execute("/usr/bin/python3", {"-c", "import icalendar"}) != 0)
        QSKIP("python3-icalendar is not installed");
    if (stored == "-")
        Store::remove(Keys::AgendaVooraf.name);
    else
        Store::writeText(Keys::AgendaVooraf.name, stored);
    const RecordTable table = TableOf({"1960-05-12;Anna;Geboorte", "1964-02-29;Schrikkel;Geboorte"});
    const QByteArray file = CalendarFile(table, 0, Noon(2026, 5, 10), StoredAlarmDays());
    // Exactly as written: the day's own alarm first, then the one ahead.
    QCOMPARE(file.count("TRIGGER;RELATED=START:PT9H\r\n"), 2);
    QCOMPARE(file.count("TRIGGER;RELATED=START:" + trigger.toLatin1() + "\r\n"), trigger.isEmpty() ? 0 : 2);
    QCOMPARE(file.count("BEGIN:VALARM"), trigger.isEmpty() ? 2 : 4);
    QTemporaryDir dir;
    WriteFileForTest(dir.filePath("a.ics"), file);
    // Each alarm's moment: the event's next day after the stamp at midnight
    // (1 March 2027 for a 29 February outside leap years), plus the trigger.
    const char* script = R"(
import sys, datetime
from icalendar import Calendar
from dateutil.rrule import rrulestr
cal = Calendar.from_ical(open(sys.argv[1], 'rb').read())
out = []
for ev in cal.walk('VEVENT'):
    start = datetime.datetime.combine(ev['DTSTART'].dt, datetime.time())
    day = rrulestr(ev['RRULE'].to_ical().decode(), dtstart=start).after(datetime.datetime(2026, 5, 10))
    for alarm in ev.walk('VALARM'):
        if alarm['DESCRIPTION'] != ev['SUMMARY'] or alarm['TRIGGER'].params.get('RELATED') != 'START':
            print('BAD ALARM', alarm.to_ical())
        out.append((str(alarm['ACTION']), str(alarm['DESCRIPTION']),
                    (day + alarm['TRIGGER'].dt).strftime('%Y-%m-%d %H:%M')))
print('|'.join('|'.join(a) for a in out))
)";
    QProcess p;
    p.start("/usr/bin/python3", {"-c", script, dir.filePath("a.ics")});
    QVERIFY(p.waitForFinished(60000));
    QCOMPARE(QString::fromUtf8(p.readAllStandardError()), QString());
    QStringList seen = QString::fromUtf8(p.readAllStandardOutput()).trimmed().split(u'|');
    // Grouped per alarm, sorted: the order of events in the file is no matter.
    QStringList got, want;
    const QStringList expected = alarms.split(u'|');
    for (qsizetype i = 0; i + 2 < seen.size(); i += 3)
        got << seen.mid(i, 3).join(u'|');
    for (qsizetype i = 0; i + 2 < expected.size(); i += 3)
        want << expected.mid(i, 3).join(u'|');
    got.sort();
    want.sort();
    QCOMPARE(got, want);
}

QTEST_GUILESS_MAIN(TestICalendar)
#include "tst_icalendar.moc"
