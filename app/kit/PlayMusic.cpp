#include "PlayMusic.h"

#include "Ui.h"
#include "kit/ClrBtn.h"
#include "kit/Desktop.h"
#include "kit/Support.h"

#include <QApplication>
#include <QAudioDevice>
#include <QAudioFormat>
#include <QAudioOutput>
#include <QAudioSink>
#include <QBuffer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QMediaDevices>
#include <QPointer>
#include <QSoundEffect>
#include <QStyle>
#include <QThread>
#include <QTimer>
#include <QToolButton>
#include <QUrl>
#include <QVBoxLayout>

#include <cmath>
#include <numbers>

namespace {

QPointer<TFormMusic> programWindow;
std::optional<bool> audioOverride;
std::function<void()> beepHandler;

// Sound objects belong to the user-interface thread; a request from another
// thread (a log line written by a worker) is handed over to it.
bool HandedToUiThread(std::function<void()> request) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || QThread::currentThread() == app->thread())
        return false;
    QMetaObject::invokeMethod(app, std::move(request), Qt::QueuedConnection);
    return true;
}

void Beep() {
    if (beepHandler) {
        beepHandler();
        return;
    }
    // The platform beep needs the GUI side of the application.
    if (qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        QApplication::beep();
}

} // namespace

// ---------------------------------------------------------------------------
// The melody window

TFormMusic::TFormMusic(QWidget* parent) : QWidget(parent, Qt::Window) {
    setObjectName(QStringLiteral("FormMusic"));
    setWindowTitle(QStringLiteral("Brolt - Test melodie"));
    SetKitBackground(this, KitColor::Window);

    m_labelPad = new QLabel(QStringLiteral("Pad: "), this);
    m_labelPad->setObjectName(QStringLiteral("LabelPad"));
    m_labelNaam = new QLabel(QStringLiteral("Naam: "), this);
    m_labelNaam->setObjectName(QStringLiteral("LabelNaam"));
    auto* labelTest = new QLabel(QStringLiteral("Test:"), this);
    labelTest->setObjectName(QStringLiteral("LabelTest"));

    auto makeButton = [this](const char* name, QStyle::StandardPixmap icon, const QString& tip) {
        auto* button = new QToolButton(this);
        button->setObjectName(QString::fromLatin1(name));
        button->setIcon(style()->standardIcon(icon));
        button->setToolTip(tip);
        button->setAutoRaise(true);
        MakeKeyboardButton(button, {});
        return button;
    };
    m_btnPlay = makeButton("BtnPlay", QStyle::SP_MediaPlay, QStringLiteral("Speel"));
    m_btnPause = makeButton("BtnPause", QStyle::SP_MediaPause, QStringLiteral("Pauze"));
    m_btnStop = makeButton("BtnStop", QStyle::SP_MediaStop, QStringLiteral("Stop"));

    m_btnSluit = new TClrBtn(QStringLiteral("Sluit venster"), this);
    m_btnSluit->setObjectName(QStringLiteral("BtnSluit"));
    m_btnSluit->setBackColor(KitColor::Window);
    m_btnSluit->setHoverColor(0x00FFFF); // yellow, RGB(255,255,0)

    auto* playerRow = new QHBoxLayout;
    playerRow->addWidget(labelTest);
    playerRow->addWidget(m_btnPlay);
    playerRow->addWidget(m_btnPause);
    playerRow->addWidget(m_btnStop);
    playerRow->addStretch();
    auto* closeRow = new QHBoxLayout;
    closeRow->addStretch();
    closeRow->addWidget(m_btnSluit);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(m_labelPad);
    layout->addWidget(m_labelNaam);
    layout->addLayout(playerRow);
    layout->addStretch();
    layout->addLayout(closeRow);
    resize(420, 170);

    m_player = new QMediaPlayer(this);
    m_output = new QAudioOutput(this);
    m_output->setVolume(1.0f);

    connect(m_player, &QMediaPlayer::errorOccurred, this, &TFormMusic::PlayerError);
    connect(m_player, &QMediaPlayer::playbackStateChanged, this, &TFormMusic::PlayerStateChanged);
    connect(m_btnPlay, &QToolButton::clicked, this, &TFormMusic::BtnPlayClick);
    connect(m_btnPause, &QToolButton::clicked, this, &TFormMusic::BtnPauseClick);
    connect(m_btnStop, &QToolButton::clicked, this, &TFormMusic::BtnStopClick);
    connect(m_btnSluit, &TClrBtn::clicked, this, &TFormMusic::BtnSluitClick);
    PlayerStateChanged(QMediaPlayer::StoppedState);

    if (!programWindow)
        programWindow = this;
}

TFormMusic::~TFormMusic() {
    // Stop before the player goes, so no error arrives in a half-destroyed window.
    disconnect(m_player, nullptr, this, nullptr);
    m_player->stop();
}

TFormMusic* TFormMusic::instance() {
    if (!programWindow) {
        auto* window = new TFormMusic;
        window->setAttribute(Qt::WA_DeleteOnClose, false);
        QObject::connect(qApp, &QCoreApplication::aboutToQuit, window, &QObject::deleteLater);
        programWindow = window;
    }
    return programWindow;
}

bool TFormMusic::PlayMelody(const QString& file) {
    return OpenMelody(file, true);
}

bool TFormMusic::TestMelody(const QString& file) {
    return OpenMelody(file, false);
}

void TFormMusic::SetFileLabels(const QString& file) {
    const QFileInfo info(file);
    QString folder = info.absolutePath();
    if (!folder.endsWith(QLatin1Char('/')))
        folder += QLatin1Char('/');
    m_labelPad->setText(QStringLiteral("Pad: ") + folder);
    m_labelNaam->setText(QStringLiteral("Naam: ") + info.fileName());
}

void TFormMusic::ClosePlayer() {
    m_player->stop();
    m_player->setSource(QUrl());
    m_file.clear();
}

bool TFormMusic::OpenMelody(const QString& file, bool play) {
    // A directory is no melody either; treat it like a missing file.
    if (file.isEmpty() || !QFileInfo(file).isFile())
        return true;
    SetFileLabels(file);
    // Without a media back-end nothing can sound; that is silence, not a bad file.
    if (!m_player->isAvailable())
        return true;

    m_opening = true;
    m_failedAtOnce = false;
    m_reported = false;
    ClosePlayer();
    m_file = QFileInfo(file).absoluteFilePath();
    // Without a sound output the player only opens the file: that still tells a
    // melody from anything else, and it cannot fail for want of a device.
    const bool sound = AudioOutputAvailable();
    if (sound) {
        m_output->setDevice(QMediaDevices::defaultAudioOutput());
        m_output->setVolume(1.0f);
        m_player->setAudioOutput(m_output);
    } else {
        m_player->setAudioOutput(nullptr);
    }
    m_player->setSource(QUrl::fromLocalFile(m_file));
    if (play && sound && !m_failedAtOnce)
        m_player->play();
    m_opening = false;

    if (m_failedAtOnce || m_player->error() != QMediaPlayer::NoError) {
        m_reported = true; // the caller tells the user
        return false;
    }
    return true;
}

void TFormMusic::PlayerError(QMediaPlayer::Error error, const QString& text) {
    if (error == QMediaPlayer::NoError)
        return;
    if (m_opening) {
        m_failedAtOnce = true;
        return;
    }
    if (m_reported || m_file.isEmpty())
        return;
    m_reported = true;
    qWarning("Melody %s cannot be played: %s", qPrintable(m_file), qPrintable(text));
    const QString file = m_file;
    // Let go of the file once the player has finished reporting.
    QTimer::singleShot(0, this, [this, file] {
        if (m_file == file)
            m_player->stop();
    });
    Q_EMIT melodyFailed(file);
    Ui::instance().showTimedMessage(5000, QStringLiteral("Het muziekbestand bestaat niet"),
                                    QStringLiteral("Kies in Instellingen een ander muziekbestand"));
}

void TFormMusic::PlayerStateChanged(QMediaPlayer::PlaybackState state) {
    m_btnPlay->setEnabled(state != QMediaPlayer::PlayingState);
    m_btnPause->setEnabled(state == QMediaPlayer::PlayingState);
    m_btnStop->setEnabled(state != QMediaPlayer::StoppedState);
}

void TFormMusic::BtnPlayClick() {
    if (m_file.isEmpty() || !AudioOutputAvailable())
        return;
    m_player->setAudioOutput(m_output);
    m_player->play();
}

void TFormMusic::BtnPauseClick() {
    m_player->pause();
}

void TFormMusic::BtnStopClick() {
    m_player->stop();
}

void TFormMusic::BtnSluitClick() {
    m_player->stop();
    close();
}

// ---------------------------------------------------------------------------
// Sounds for the rest of the program

bool PlayMelodyFile(const QString& file) {
    TFormMusic* window = TFormMusic::instance();
    window->hide();
    return window->PlayMelody(file);
}

QString SystemSoundFile() {
    return ProgramFolder() + QStringLiteral("chime.wav");
}

void PlaySystemSound() {
    if (HandedToUiThread([] { PlaySystemSound(); }))
        return;
    const QString file = SystemSoundFile();
    if (!QFileInfo(file).isFile() || !AudioOutputAvailable())
        return;
    // One effect for the whole run: loading the WAV again for every alert would be wasted work.
    static QPointer<QSoundEffect> effect;
    if (!effect) {
        effect = new QSoundEffect(QCoreApplication::instance());
        effect->setVolume(1.0f);
    }
    const QUrl url = QUrl::fromLocalFile(file);
    if (effect->source() != url)
        effect->setSource(url);
    effect->setAudioDevice(QMediaDevices::defaultAudioOutput());
    effect->play(); // plays once loaded when it is still loading
}

namespace {

// One tone on its way through the sound output; deletes itself when done.
class TonePlayer : public QObject {
public:
    TonePlayer(const QAudioDevice& device, int hertz, int ms) {
        QAudioFormat format;
        format.setSampleRate(44100);
        format.setChannelCount(1);
        format.setSampleFormat(QAudioFormat::Int16);
        if (!device.isFormatSupported(format))
            format = device.preferredFormat();
        m_data = Samples(format, hertz, ms);
        m_buffer.setData(m_data);
        m_buffer.open(QIODevice::ReadOnly);
        m_sink = new QAudioSink(device, format, this);
        connect(m_sink, &QAudioSink::stateChanged, this, [this](QAudio::State state) {
            if (state == QAudio::IdleState || state == QAudio::StoppedState)
                Finish();
        });
        // However the output behaves, the tone is gone a little after its time.
        QTimer::singleShot(ms + 2000, this, [this] { Finish(); });
    }

    bool Start() {
        m_sink->start(&m_buffer);
        return m_sink->error() == QAudio::NoError && m_sink->state() != QAudio::StoppedState;
    }

private:
    void Finish() {
        if (m_finished)
            return;
        m_finished = true;
        m_sink->disconnect(this);
        m_sink->stop();
        deleteLater();
    }

    static QByteArray Samples(const QAudioFormat& format, int hertz, int ms) {
        const int rate = format.sampleRate() > 0 ? format.sampleRate() : 44100;
        const int channels = std::max(1, format.channelCount());
        const int frames = static_cast<int>(qint64(rate) * ms / 1000);
        const int fade = std::min(frames / 2, rate / 200); // 5 ms, no clicks at the ends
        QByteArray data(qsizetype(frames) * channels * format.bytesPerSample(), '\0');
        char* out = data.data();
        for (int i = 0; i < frames; ++i) {
            double value = 0.5 * std::sin(2.0 * std::numbers::pi * hertz * i / rate);
            if (fade > 0 && i < fade)
                value *= double(i) / fade;
            if (fade > 0 && frames - i < fade)
                value *= double(frames - i) / fade;
            for (int c = 0; c < channels; ++c) {
                switch (format.sampleFormat()) {
                case QAudioFormat::UInt8:
                    *reinterpret_cast<quint8*>(out) = quint8(128 + value * 127);
                    break;
                case QAudioFormat::Int16:
                    *reinterpret_cast<qint16*>(out) = qint16(value * 32767);
                    break;
                case QAudioFormat::Int32:
                    *reinterpret_cast<qint32*>(out) = qint32(value * 2147483647.0);
                    break;
                case QAudioFormat::Float:
                    *reinterpret_cast<float*>(out) = float(value);
                    break;
                default:
                    break;
                }
                out += format.bytesPerSample();
            }
        }
        return data;
    }

    QByteArray m_data;
    QBuffer m_buffer;
    QAudioSink* m_sink = nullptr;
    bool m_finished = false;
};

} // namespace

void PlayTone(int hertz, int ms) {
    if (hertz <= 0 || ms <= 0)
        return;
    if (HandedToUiThread([hertz, ms] { PlayTone(hertz, ms); }))
        return;
    const QAudioDevice device = QMediaDevices::defaultAudioOutput();
    if (!AudioOutputAvailable() || device.isNull()) {
        Beep();
        return;
    }
    auto* tone = new TonePlayer(device, hertz, ms);
    if (!tone->Start()) {
        delete tone;
        Beep();
    }
}

bool AudioOutputAvailable() {
    if (audioOverride)
        return *audioOverride;
    return !QMediaDevices::audioOutputs().isEmpty();
}

void OverrideAudioOutputAvailable(std::optional<bool> available) {
    audioOverride = available;
}

void SetBeepHandler(std::function<void()> handler) {
    beepHandler = std::move(handler);
}
