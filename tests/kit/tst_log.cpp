#include "TestKit.h"
#include "kit/Clock.h"
#include "kit/Log.h"
#include "records/Dates.h"

#include <QDir>
#include <QTest>

namespace {
QStringList logLines() {
    const QString text = QString::fromUtf8(ReadFileForTest(LogFile));
    QStringList lines = text.split("\r\n");
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

void inner() {
    LogScope log("OptionsForm", "PasToe");
    WriteLog("OptionsForm.PasToe - iets");
}
} // namespace

class TestLog : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { m_home = new TempHome; }
    void init() {
        Clock::set(QDateTime(QDate(2026, 5, 10), QTime(8, 30, 5)));
        LogOn = true;
        LogStep = 3;
        ResetLog(m_home->path() + "/");
    }
    void cleanup() {
        LogOn = false;
        SetShortDateFormat("yyyy-mm-dd");
        Clock::set({});
    }
    void cleanupTestCase() { delete m_home; }

    void nestedHandlersAreIndented();
    void stampIsYearFirstWhateverTheNotation();
    void resetStartsAfresh();
    void nothingIsWrittenWhileOff();
    void unwritableLogSoundsTheTone();
    void endWithAWordAndACount();

private:
    TempHome* m_home = nullptr;
};

void TestLog::nestedHandlersAreIndented() {
    {
        LogScope log("OptionsForm", "ReadOptions");
        inner();
    }
    const QStringList expected{
        "2026-05-10 08:30:05 OptionsForm.ReadOptions - begin",
        "2026-05-10 08:30:05    OptionsForm.PasToe - begin",
        "2026-05-10 08:30:05       OptionsForm.PasToe - iets",
        "2026-05-10 08:30:05    OptionsForm.PasToe - einde",
        "2026-05-10 08:30:05 OptionsForm.ReadOptions - einde",
    };
    QCOMPARE(logLines(), expected);
    QCOMPARE(LogDepth, quint8(0));
}

void TestLog::stampIsYearFirstWhateverTheNotation() {
    SetShortDateFormat("dd-mm-yyyy");
    WriteLog("MainForm.FormPaint - begin");
    QCOMPARE(logLines(), QStringList{"2026-05-10 08:30:05 MainForm.FormPaint - begin"});
    QCOMPARE(ShortDateFormat(), QString("dd-mm-yyyy"));
}

void TestLog::resetStartsAfresh() {
    WriteLog("oud");
    LogDepth = 6;
    ResetLog(m_home->path() + "/");
    QCOMPARE(LogDepth, quint8(0));
    QCOMPARE(LogFile, m_home->path() + "/Log.txt");
    WriteLog("nieuw");
    QCOMPARE(logLines(), QStringList{"2026-05-10 08:30:05 nieuw"});
}

void TestLog::nothingIsWrittenWhileOff() {
    LogOn = false;
    {
        LogScope log("MainForm", "FormResize");
        WriteLog("stil");
    }
    QCOMPARE(logLines(), QStringList{});
    QCOMPARE(LogDepth, quint8(0));
}

void TestLog::unwritableLogSoundsTheTone() {
    FakeUi ui;
    LogFile = m_home->path() + "/geen/map/Log.txt";
    WriteLog("verloren");
    QCOMPARE(ui.sounds, QStringList{"tone:440:300"});
}

void TestLog::endWithAWordAndACount() {
    {
        LogScope log("MainForm", "ReadDataFile");
        log.setEndSuffix(", iCount = 6");
        log.endWith("Bestand te klein");
    }
    {
        LogScope log("MainForm", "SpeedSaveClick");
        log.setEndSuffix(", iCount = 1");
    }
    QCOMPARE(logLines(), (QStringList{"2026-05-10 08:30:05 MainForm.ReadDataFile - begin",
                                      "2026-05-10 08:30:05 MainForm.ReadDataFile - Bestand te klein",
                                      "2026-05-10 08:30:05 MainForm.SpeedSaveClick - begin",
                                      "2026-05-10 08:30:05 MainForm.SpeedSaveClick - einde, iCount = 1"}));
}

QTEST_GUILESS_MAIN(TestLog)
#include "tst_log.moc"
