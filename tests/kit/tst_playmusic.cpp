#include "Ui.h"
#include "kit/ClrBtn.h"
#include "kit/PlayMusic.h"
#include "kit/Support.h"

#include <QElapsedTimer>
#include <QFile>
#include <QLabel>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <memory>

namespace {

// Records the timed messages instead of showing them.
class RecordingUi : public Ui {
public:
    struct Message {
        int durationMs;
        QString firstLine;
        QString secondLine;
    };
    QList<Message> messages;

    void showTimedMessage(int durationMs, const QString& firstLine, const QString& secondLine,
                          const QRect&) override {
        messages.append({durationMs, firstLine, secondLine});
    }
};

quint32 LittleEndian32(const QByteArray& bytes, int at) {
    return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 |
           quint32(quint8(bytes[at + 2])) << 16 | quint32(quint8(bytes[at + 3])) << 24;
}

quint16 LittleEndian16(const QByteArray& bytes, int at) {
    return quint16(quint8(bytes[at])) | quint16(quint8(bytes[at + 1])) << 8;
}

} // namespace

class TestPlayMusic : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void initTestCase();
    void init();
    void cleanupTestCase();

    void missingMelodyDoesNothing_data();
    void missingMelodyDoesNothing();
    void fileThatIsNoMelodyIsReportedOnce_data();
    void fileThatIsNoMelodyIsReportedOnce();
    void shippedMelodyOpensWithoutComplaint();
    void melodyWindowShowsTheFile();
    void sluitVensterClosesTheWindow();
    void shippedChimeIsAShortWave();
    void toneWithoutSoundOutputBeepsAndReturnsAtOnce_data();
    void toneWithoutSoundOutputBeepsAndReturnsAtOnce();
    void toneAskedForByAWorkerSoundsFromTheUiThread();
    void systemSoundWithoutSoundOutputIsSilent();

private:
    QTemporaryDir m_home;
    RecordingUi m_ui;
    QString m_notAudio;
};

void TestPlayMusic::initTestCase() {
    QVERIFY(m_home.isValid());
    qputenv("HOME", m_home.path().toLocal8Bit());
    qputenv("XDG_CONFIG_HOME", (m_home.path() + "/config").toLocal8Bit());
    qputenv("XDG_DATA_HOME", (m_home.path() + "/data").toLocal8Bit());
    Ui::install(&m_ui);

    // A text file dressed up as a melody, as a user may pick by mistake.
    m_notAudio = m_home.path() + "/nep.mp3";
    QFile file(m_notAudio);
    QVERIFY(file.open(QIODevice::WriteOnly));
    for (int i = 0; i < 200; ++i)
        file.write("Dit is geen muziek maar een boodschappenlijst: brood, kaas, melk.\n");
}

void TestPlayMusic::init() {
    m_ui.messages.clear();
    // The test machine may or may not have a sound card; behave as if it has none.
    OverrideAudioOutputAvailable(false);
    SetBeepHandler({});
}

void TestPlayMusic::cleanupTestCase() {
    OverrideAudioOutputAvailable(std::nullopt);
    Ui::install(nullptr);
}

void TestPlayMusic::missingMelodyDoesNothing_data() {
    QTest::addColumn<QString>("file");
    QTest::addColumn<bool>("test");
    QTest::newRow("missing, play") << "/geen/map/Happy Birthday.mp3" << false;
    QTest::newRow("missing, test") << "/geen/map/Happy Birthday.mp3" << true;
    QTest::newRow("empty name") << "" << false;
    QTest::newRow("a folder") << "." << false;
}

void TestPlayMusic::missingMelodyDoesNothing() {
    QFETCH(QString, file);
    QFETCH(bool, test);
    TFormMusic window;
    QSignalSpy failed(&window, &TFormMusic::melodyFailed);

    QVERIFY(test ? window.TestMelody(file) : window.PlayMelody(file));
    QCOMPARE(window.Player()->source(), QUrl());
    QCOMPARE(window.Player()->playbackState(), QMediaPlayer::StoppedState);
    QCOMPARE(window.CurrentFile(), QString());
    QCOMPARE(window.findChild<QLabel*>("LabelNaam")->text(), QStringLiteral("Naam: "));
    QCoreApplication::processEvents();
    QCOMPARE(failed.count(), 0);
    QCOMPARE(m_ui.messages.size(), 0);
}

void TestPlayMusic::fileThatIsNoMelodyIsReportedOnce_data() {
    QTest::addColumn<bool>("test");
    QTest::newRow("PlayMelody") << false;
    QTest::newRow("TestMelody") << true;
}

void TestPlayMusic::fileThatIsNoMelodyIsReportedOnce() {
    QFETCH(bool, test);
    TFormMusic window;
    if (!window.Player()->isAvailable())
        QSKIP("This machine has no media back-end");
    QSignalSpy failed(&window, &TFormMusic::melodyFailed);

    const bool accepted = test ? window.TestMelody(m_notAudio) : window.PlayMelody(m_notAudio);
    if (!accepted) {
        // Refused at once: the caller tells the user, the window does not.
        QCOMPARE(failed.count(), 0);
        QCOMPARE(m_ui.messages.size(), 0);
        return;
    }
    // The player finds out while reading the file: the window tells the user.
    QTRY_COMPARE_WITH_TIMEOUT(failed.count(), 1, 10000);
    QCOMPARE(failed.at(0).at(0).toString(), m_notAudio);
    QCOMPARE(m_ui.messages.size(), 1);
    QCOMPARE(m_ui.messages[0].durationMs, 5000);
    QCOMPARE(m_ui.messages[0].firstLine, QStringLiteral("Het muziekbestand bestaat niet"));
    QCOMPARE(m_ui.messages[0].secondLine, QStringLiteral("Kies in Instellingen een ander muziekbestand"));
    // Any further complaint of the player about the same file is not repeated.
    QTest::qWait(200);
    QCOMPARE(failed.count(), 1);
    QCOMPARE(m_ui.messages.size(), 1);
}

void TestPlayMusic::shippedMelodyOpensWithoutComplaint() {
    const QString melody = ProgramFolder() + "Happy Birthday Klarvo Style.mp3";
    QFile file(melody);
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(melody));
    const QByteArray head = file.read(10);
    QVERIFY(head.startsWith("ID3"));
    // The tag's size (syncsafe) is followed by the first MPEG audio frame.
    const int tagSize =
        (head[6] & 0x7f) << 21 | (head[7] & 0x7f) << 14 | (head[8] & 0x7f) << 7 | (head[9] & 0x7f);
    QVERIFY(file.seek(10 + tagSize));
    const QByteArray frame = file.read(2);
    QCOMPARE(quint8(frame[0]), quint8(0xff));
    QCOMPARE(quint8(frame[1]) & 0xe0, 0xe0);

    TFormMusic window;
    if (!window.Player()->isAvailable())
        QSKIP("This machine has no media back-end");
    QSignalSpy failed(&window, &TFormMusic::melodyFailed);
    QVERIFY(window.PlayMelody(melody));
    QCOMPARE(window.CurrentFile(), melody);
    QCOMPARE(window.Player()->source(), QUrl::fromLocalFile(melody));
    // Opened and understood as a melody.
    QTRY_COMPARE_WITH_TIMEOUT(window.Player()->mediaStatus(), QMediaPlayer::LoadedMedia, 10000);
    QCOMPARE(failed.count(), 0);
    QCOMPARE(m_ui.messages.size(), 0);
    // No sound output: nothing is played.
    QCOMPARE(window.Player()->playbackState(), QMediaPlayer::StoppedState);
}

void TestPlayMusic::melodyWindowShowsTheFile() {
    TFormMusic window;
    QCOMPARE(window.windowTitle(), QStringLiteral("Brolt - Test melodie"));
    window.TestMelody(m_notAudio);
    QCOMPARE(window.findChild<QLabel*>("LabelPad")->text(), QStringLiteral("Pad: ") + m_home.path() + "/");
    QCOMPARE(window.findChild<QLabel*>("LabelNaam")->text(), QStringLiteral("Naam: nep.mp3"));
    QCOMPARE(window.findChild<QLabel*>("LabelTest")->text(), QStringLiteral("Test:"));
    QVERIFY(window.findChild<QWidget*>("BtnPlay"));
    QVERIFY(window.findChild<QWidget*>("BtnPause"));
    QVERIFY(window.findChild<QWidget*>("BtnStop"));
}

void TestPlayMusic::sluitVensterClosesTheWindow() {
    TFormMusic window;
    window.show();
    QVERIFY(QTest::qWaitForWindowExposed(&window));
    auto* sluit = window.findChild<TClrBtn*>("BtnSluit");
    QVERIFY(sluit);
    QCOMPARE(sluit->text(), QStringLiteral("Sluit venster"));
    QCOMPARE(sluit->backColor(), quint32(0xE3FFFF));
    QCOMPARE(sluit->hoverColor(), quint32(0x00FFFF));
    QTest::mouseClick(sluit, Qt::LeftButton);
    QVERIFY(!window.isVisible());
}

void TestPlayMusic::shippedChimeIsAShortWave() {
    QCOMPARE(SystemSoundFile(), ProgramFolder() + "chime.wav");
    QFile file(SystemSoundFile());
    QVERIFY2(file.open(QIODevice::ReadOnly), qPrintable(SystemSoundFile()));
    const QByteArray wav = file.readAll();
    QVERIFY(wav.size() > 44);
    QCOMPARE(wav.left(4), QByteArray("RIFF"));
    QCOMPARE(wav.mid(8, 8), QByteArray("WAVEfmt "));
    QCOMPARE(LittleEndian16(wav, 20), quint16(1)); // plain PCM, which every sound output takes
    const quint32 byteRate = LittleEndian32(wav, 28);
    QVERIFY(byteRate > 0);
    QCOMPARE(wav.mid(36, 4), QByteArray("data"));
    const double seconds = double(LittleEndian32(wav, 40)) / byteRate;
    QVERIFY2(seconds >= 0.3 && seconds <= 3.0, qPrintable(QString::number(seconds)));
}

void TestPlayMusic::toneWithoutSoundOutputBeepsAndReturnsAtOnce_data() {
    QTest::addColumn<int>("hertz");
    QTest::addColumn<int>("ms");
    QTest::addColumn<int>("beeps");
    QTest::newRow("failure tone") << 440 << 300 << 1;
    QTest::newRow("long tone") << 440 << 60000 << 1;
    QTest::newRow("no length") << 440 << 0 << 0;
    QTest::newRow("no pitch") << 0 << 300 << 0;
}

void TestPlayMusic::toneWithoutSoundOutputBeepsAndReturnsAtOnce() {
    QFETCH(int, hertz);
    QFETCH(int, ms);
    QFETCH(int, beeps);
    int beeped = 0;
    SetBeepHandler([&beeped] { ++beeped; });

    QElapsedTimer clock;
    clock.start();
    PlayTone(hertz, ms);
    QVERIFY2(clock.elapsed() < 250, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(beeped, beeps);
}

void TestPlayMusic::toneAskedForByAWorkerSoundsFromTheUiThread() {
    QList<QThread*> beepedOn;
    SetBeepHandler([&beepedOn] { beepedOn.append(QThread::currentThread()); });
    std::unique_ptr<QThread> worker(QThread::create([] { PlayTone(440, 300); }));
    worker->start();
    QVERIFY(worker->wait(5000));
    QTRY_COMPARE(beepedOn.size(), 1);
    QCOMPARE(beepedOn[0], QThread::currentThread());
}

void TestPlayMusic::systemSoundWithoutSoundOutputIsSilent() {
    int beeped = 0;
    SetBeepHandler([&beeped] { ++beeped; });
    QElapsedTimer clock;
    clock.start();
    PlaySystemSound();
    QVERIFY(clock.elapsed() < 250);
    QCOMPARE(beeped, 0);
    QCOMPARE(m_ui.messages.size(), 0);
}

QTEST_MAIN(TestPlayMusic)
#include "tst_playmusic.moc"
