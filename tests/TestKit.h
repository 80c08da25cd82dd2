#pragma once

#include "Ui.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>
#include <QTemporaryDir>

// A Ui that records what the core asked and showed, and answers from a queue.
class FakeUi : public Ui {
public:
    struct Question {
        QString title, message, yes, no, cancelCaption;
        bool cancelShown = false;
    };
    struct Note {
        int durationMs;
        QString first, second;
    };

    FakeUi() { Ui::install(this); }
    ~FakeUi() override { Ui::install(nullptr); }

    // Answers for the next questions, in order; without one the default answer is given.
    void nextAnswer(bool yes, bool cancel = false) { m_answers.append({yes, cancel}); }
    void nextBrowse(const QString& path) { m_browse.append(path); }
    void nextMelodyResult(bool ok) { m_melodyOk = ok; }

    bool askYesNo(bool& cancel, bool defaultAnswer, const QString& yes, const QString& no,
                  const QString& cancelCaption, const QString& message, const QString& title,
                  const QRect&) override;
    bool askText(QString& text, const QString& prompt, const QString& title, const QRect&) override;
    // Answered from textAnswers too; the question's `yes` is "wachtwoord".
    bool askPassword(QString& text, const QString& prompt, const QString& title, const QRect&) override;
    // Messages that wait for "OK" take no answer from the queue.
    void showMessage(const QString& message, const QString&, const QRect&) override { messages << message; }
    void showTimedMessage(int durationMs, const QString& first, const QString& second, const QRect&) override;
    void closeTimedMessage() override { ++closedNotes; }
    bool browse(const BrowseRequest& request, QString& path, QStringList* files) override;
    void playSystemSound() override { sounds << QStringLiteral("system"); }
    bool playMelody(const QString& file) override {
        sounds << QStringLiteral("melody:") + file;
        return m_melodyOk;
    }
    void tone(int hertz, int ms) override { sounds << QStringLiteral("tone:%1:%2").arg(hertz).arg(ms); }
    bool openUrl(const QString& url) override {
        urls << url;
        return true;
    }
    void setBusy(bool busy) override { busyLevel += busy ? 1 : -1; }

    QList<Question> questions;
    QList<Note> notes;
    QStringList messages;
    QList<BrowseRequest> browses;
    QStringList sounds;
    QStringList urls;
    QStringList textAnswers; // answers for askText, in order
    int closedNotes = 0;
    int busyLevel = 0; // how many busy cursors are shown now

private:
    QList<QPair<bool, bool>> m_answers;
    QStringList m_browse;
    bool m_melodyOk = true;
};

// Points HOME and the XDG folders at a fresh temporary folder for the test's life.
class TempHome {
public:
    TempHome();
    QString path() const { return m_dir.path(); }
    QString dataFolder() const; // $XDG_DATA_HOME/Brolt/
    QString configFile() const; // $XDG_CONFIG_HOME/Brolt.conf

private:
    QTemporaryDir m_dir;
};

// Writes `bytes` to `path`, creating folders; fails the test on error.
void WriteFileForTest(const QString& path, const QByteArray& bytes);
QByteArray ReadFileForTest(const QString& path);
// A record table from lines "date;name;kind;picture".
class RecordTable;
RecordTable TableOf(const QStringList& lines);
// Those records composed for `today` as the main window composes them, silently.
struct Reminders;
Reminders ComposedFor(const QStringList& lines, const QDate& today);

// A moment on `date` at noon, for the clock.
QDateTime Noon(int year, int month, int day);
