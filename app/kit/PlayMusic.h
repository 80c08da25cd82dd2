#pragma once

#include <QMediaPlayer>
#include <QString>
#include <QWidget>

#include <functional>
#include <optional>

class QAudioOutput;
class QLabel;
class TClrBtn;
class QToolButton;

// The melody window.  It plays the alert melody when a birthday falls on today
// (hidden) and lets the user try a newly chosen melody with play, pause and
// stop buttons (shown by the options window).
//
// The player works asynchronously: a file it refuses at once makes PlayMelody
// and TestMelody return false, so the caller can tell the user; a refusal the
// player reports later, once it has looked into the file, is announced by
// melodyFailed() and by the timed message "Het muziekbestand bestaat niet",
// because by then the caller has long returned.
class TFormMusic : public QWidget {
    Q_OBJECT
public:
    explicit TFormMusic(QWidget* parent = nullptr);
    ~TFormMusic() override;

    // Starts `file` at full volume.  A missing file does nothing and returns
    // true: nothing failed.  Without a sound output the file is still opened, so
    // that a file that is no melody is reported all the same, but nothing sounds.
    bool PlayMelody(const QString& file);
    // The same without starting to play; the user plays it with the buttons.
    bool TestMelody(const QString& file);
    // "Pad: " + folder and "Naam: " + file name.
    void SetFileLabels(const QString& file);
    // Stops playing and lets go of the file.
    void ClosePlayer();

    QMediaPlayer* Player() const { return m_player; }
    QString CurrentFile() const { return m_file; }

    // The program's melody window: the first one created, or one made on demand.
    static TFormMusic* instance();

Q_SIGNALS:
    // The player reported, after PlayMelody/TestMelody returned, that it cannot play `file`.
    void melodyFailed(const QString& file);

private:
    bool OpenMelody(const QString& file, bool play);
    void PlayerError(QMediaPlayer::Error error, const QString& text);
    void PlayerStateChanged(QMediaPlayer::PlaybackState state);
    void BtnPlayClick();
    void BtnPauseClick();
    void BtnStopClick();
    void BtnSluitClick();

    QMediaPlayer* m_player = nullptr;
    QAudioOutput* m_output = nullptr;
    QLabel* m_labelPad = nullptr;
    QLabel* m_labelNaam = nullptr;
    QToolButton* m_btnPlay = nullptr;
    QToolButton* m_btnPause = nullptr;
    QToolButton* m_btnStop = nullptr;
    TClrBtn* m_btnSluit = nullptr;
    QString m_file;
    bool m_opening = false;      // inside OpenMelody: errors are answered by its return value
    bool m_failedAtOnce = false; // the player refused the file while it was being opened
    bool m_reported = false;     // the failure of the current file was announced already
};

// The sounds the rest of the program asks for.  All of them return at once and
// stay silent, never fail, on a machine without a sound output.  PlaySystemSound
// and PlayTone may be asked for from any thread; they sound from the
// user-interface thread.

// Hides the melody window and plays `file` in it (see TFormMusic::PlayMelody).
bool PlayMelodyFile(const QString& file);
// The alert chime "chime.wav" from the program folder, played asynchronously;
// silent when the file is missing.
void PlaySystemSound();
QString SystemSoundFile();
// A sine tone of `hertz` for `ms` milliseconds, played asynchronously; the
// platform beep when the machine has no sound output.
void PlayTone(int hertz, int ms);

// Whether the machine has a sound output.  Tests may pretend either way;
// std::nullopt asks the machine again.
bool AudioOutputAvailable();
void OverrideAudioOutputAvailable(std::optional<bool> available);
// What PlayTone does instead of a tone; an empty function restores the platform beep.
void SetBeepHandler(std::function<void()> handler);
