#include "SaveLoopRecords.h"
#include "TestKit.h"
#include "kit/Clock.h"
#include "records/DataFile.h"

#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QTest>
#include <QThread>

#include <csignal>
#include <sys/stat.h>

// Saving must survive the process being killed at any moment, a full disk and
// a folder that cannot be written: Brolt.dat always holds one whole save.
class TestKillSave : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase();
    void cleanupTestCase();
    void killedAtRandomMomentsLeavesAWholeFile();
    void failedSaveKeepsThePreviousFiles_data();
    void failedSaveKeepsThePreviousFiles();

private:
    QString freshFolder(const QString& name);
    QStringList runHelper(const QStringList& args);
    // Reads `base`.dat of `folder` with the real reader; empty when it is one
    // whole save, else what is wrong.  `generation` receives the save's number.
    QString checkFile(const QString& folder, const QString& base, int& generation);

    TempHome* m_home = nullptr;
    QHash<QByteArray, int> m_wholeFiles; // digests of files found whole, with their generation
};

void TestKillSave::initTestCase() {
    m_home = new TempHome;
    Clock::set(Noon(2026, 5, 10));
    QVERIFY2(QFileInfo(BROLT_SAVELOOP).isExecutable(), BROLT_SAVELOOP);
}

void TestKillSave::cleanupTestCase() {
    Clock::set({});
    delete m_home;
}

QString TestKillSave::freshFolder(const QString& name) {
    const QString folder = m_home->path() + u'/' + name + u'/';
    QDir(folder).removeRecursively();
    QDir().mkpath(folder);
    return folder;
}

QStringList TestKillSave::runHelper(const QStringList& args) {
    QProcess child;
    child.start(BROLT_SAVELOOP, args);
    if (!child.waitForFinished(60000))
        return {QStringLiteral("timeout")};
    QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n', Qt::SkipEmptyParts);
    lines << QStringLiteral("exit %1").arg(child.exitCode());
    return lines;
}

QString TestKillSave::checkFile(const QString& folder, const QString& base, int& generation) {
    // Brolt!.dat is mostly the Brolt.dat of the round before: checked once.
    const QByteArray digest =
        QCryptographicHash::hash(ReadFileForTest(folder + base + ".dat"), QCryptographicHash::Sha1);
    if (m_wholeFiles.contains(digest)) {
        generation = m_wholeFiles.value(digest);
        return {};
    }
    RecordTable table;
    DataFile data(table);
    data.retryDelayMs = 0;
    if (data.read(folder, base, ".dat") != DataFile::ReadResult::Ok)
        return base + ".dat is niet leesbaar";
    if (table.recordCount() != SaveLoop::recordCount)
        return QStringLiteral("%1.dat heeft %2 records").arg(base).arg(table.recordCount());
    const QString first = table.cell(1, Col::Name);
    const qsizetype g = first.lastIndexOf(u'g'), r = first.lastIndexOf(u'r');
    bool ok = false;
    generation = first.mid(g + 1, r - g - 1).toInt(&ok);
    if (g < 0 || r < g || !ok)
        return base + ".dat: onbekende naam " + first;
    static constexpr int stored[9] = {Col::Date,  Col::Name,   Col::Kind,         Col::Picture, Col::Mail,
                                      Col::Phone, Col::Street, Col::PostcodeCity, Col::Country};
    for (int i = 1; i <= SaveLoop::recordCount; ++i) {
        const RecordTable::Row expected = SaveLoop::Record(i, generation);
        for (int col : stored)
            if (table.cell(i, col) != expected[col])
                return QStringLiteral("%1.dat record %2 kolom %3: \"%4\" in plaats van \"%5\"")
                    .arg(base)
                    .arg(i)
                    .arg(col)
                    .arg(table.cell(i, col), expected[col]);
    }
    m_wholeFiles.insert(digest, generation);
    return {};
}

void TestKillSave::killedAtRandomMomentsLeavesAWholeFile() {
    const QString folder = freshFolder("kill");
    const int rounds = 50;

    // Two whole saves first, which also tell how long one save takes.
    QElapsedTimer timer;
    timer.start();
    const QStringList first = runHelper({"loop", folder, "1", "2"});
    QVERIFY2(first.contains("saved 2") && first.contains("exit 0"), qPrintable(first.join(u'\n')));
    const qint64 perSaveUs = qMax<qint64>(timer.nsecsElapsed() / 2000, 5000);
    // Kills land anywhere in the first save of the round or just after it.
    // On a busy machine a save takes longer; the cap keeps the test short.
    const qint64 maxDelayUs = qMin<qint64>(perSaveUs * 5 / 4, 150000);

    quint32 seed = QRandomGenerator::global()->generate();
    if (qEnvironmentVariableIsSet("BROLT_KILL_SEED"))
        seed = quint32(qEnvironmentVariableIntValue("BROLT_KILL_SEED"));
    QRandomGenerator random(seed);

    int onDisk = 2, survived = 0, duringWrite = 0;
    for (int round = 1; round <= rounds; ++round) {
        QProcess child;
        child.start(BROLT_SAVELOOP, {"loop", folder, QString::number(onDisk + 1)});
        QVERIFY(child.waitForStarted());
        while (!child.canReadLine())
            QVERIFY(child.waitForReadyRead(10000));
        QCOMPARE(child.readLine(), QByteArray("ready\n"));
        while (!child.canReadLine())
            QVERIFY(child.waitForReadyRead(10000));
        QVERIFY(child.readLine().startsWith("saving "));
        if (round % 2) {
            QThread::usleep(random.bounded(maxDelayUs));
        } else {
            // Every other round aims at the few milliseconds in which the new
            // file is written, flushed and moved into place.
            QElapsedTimer wait;
            wait.start();
            while (!QFileInfo::exists(folder + "Brolt.dat.tmp") && wait.nsecsElapsed() < maxDelayUs * 1000)
                QThread::usleep(100);
            QThread::usleep(random.bounded(3000));
        }
        ::kill(pid_t(child.processId()), SIGKILL);
        QVERIFY(child.waitForFinished(10000));
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        int reported = onDisk;
        const QStringList lines = QString::fromUtf8(child.readAllStandardOutput()).split(u'\n');
        for (const QString& line : lines)
            if (line.startsWith("saved "))
                reported = line.mid(6).toInt();
        if (QFileInfo::exists(folder + "Brolt.dat.tmp"))
            ++duringWrite;

        // Brolt.dat is whole and holds the last reported save or the one that
        // finished just before the kill; Brolt!.dat, when there, is whole and older.
        int current = 0;
        const QString problem = checkFile(folder, "Brolt", current);
        QVERIFY2(problem.isEmpty(),
                 qPrintable(QStringLiteral("ronde %1 (seed %2): %3").arg(round).arg(seed).arg(problem)));
        QVERIFY2(
            current == reported || current == reported + 1,
            qPrintable(
                QStringLiteral("ronde %1: generatie %2, gemeld %3").arg(round).arg(current).arg(reported)));
        if (QFileInfo::exists(folder + "Brolt!.dat")) {
            int previous = 0;
            const QString backupProblem = checkFile(folder, "Brolt!", previous);
            QVERIFY2(backupProblem.isEmpty(), qPrintable(backupProblem));
            QVERIFY(previous <= current);
        }
        onDisk = current;
        ++survived;
    }
    QCOMPARE(survived, rounds);
    qInfo("%d of %d kill rounds survived (%d killed while the new file was being written, seed %u, kills up "
          "to %lld us into a save)",
          survived, rounds, duringWrite, seed, maxDelayUs);
}

void TestKillSave::failedSaveKeepsThePreviousFiles_data() {
    QTest::addColumn<QStringList>("args");
    // 64 KiB is far below the size of a 9 999-record file.
    QTest::newRow("full disk") << QStringList{"fulldisk", "65536"};
    QTest::newRow("read-only folder") << QStringList{"readonly"};
}

void TestKillSave::failedSaveKeepsThePreviousFiles() {
    QFETCH(QStringList, args);
    const QString folder = freshFolder(QTest::currentDataTag());
    const QStringList first = runHelper({"loop", folder, "1", "2"});
    QVERIFY2(first.contains("exit 0"), qPrintable(first.join(u'\n')));
    const QByteArray before = ReadFileForTest(folder + "Brolt.dat");
    const QByteArray backupBefore = ReadFileForTest(folder + "Brolt!.dat");

    // For a user other than root the folder's mode is enough; the helper
    // mounts it read-only or gives up root's right to ignore the mode.
    if (args.first() == "readonly")
        QVERIFY(::chmod(QFile::encodeName(folder).constData(), 0555) == 0);
    QStringList helperArgs{args.first(), folder, "3"};
    helperArgs += args.mid(1);
    const QStringList out = runHelper(helperArgs);
    ::chmod(QFile::encodeName(folder).constData(), 0755);

    QVERIFY2(out.contains("exit 0"), qPrintable(out.join(u'\n')));
    QVERIFY2(out.contains("saved 0"), qPrintable(out.join(u'\n')));
    QVERIFY(out.contains("unsaved 1"));
    QVERIFY(out.contains("tries 1"));
    QVERIFY(out.contains("note De wijzigingen zijn NIET bewaard.|Kan niet schrijven in " + folder));
    qInfo("%s", qPrintable(out.filter("how ").join(u' ')));

    QCOMPARE(ReadFileForTest(folder + "Brolt.dat"), before);
    QCOMPARE(ReadFileForTest(folder + "Brolt!.dat"), backupBefore);
    QVERIFY(!QFileInfo::exists(folder + "Brolt.dat.tmp"));
    int generation = 0;
    QCOMPARE(checkFile(folder, "Brolt", generation), QString());
    QCOMPARE(generation, 2);
    QCOMPARE(checkFile(folder, "Brolt!", generation), QString());
    QCOMPARE(generation, 1);
}

QTEST_GUILESS_MAIN(TestKillSave)
#include "tst_killsave.moc"
