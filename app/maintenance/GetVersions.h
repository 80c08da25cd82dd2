#pragma once

#include "maintenance/VersionsFile.h"

#include <QByteArray>
#include <QDialog>
#include <QMutex>
#include <QRect>
#include <QString>
#include <QStringList>
#include <QThread>

#include <functional>
#include <memory>

class QNetworkAccessManager;
class QNetworkRequest;
class QProgressBar;
class QTextEdit;
class QUrl;
class QWidget;
class TClrBtn;

// The worker's answer, handed from the worker thread to the window: whoever
// looks sees either nothing or the whole reply.
class TReplySlot {
public:
    void set(const QString& reply);
    QString get() const;
    void clear() { set(QString()); }

private:
    mutable QMutex m_mutex;
    QString m_reply;
};

// Fetches the versions file on a thread of its own, so the window stays
// responsive while the server takes its time.  The reply is "1" when nothing
// came, "2" when too little came, otherwise the whole file; it is never empty.
class TThread1 : public QThread {
    Q_OBJECT

public:
    TThread1(const QString& url, std::shared_ptr<TReplySlot> slot, QObject* parent = nullptr);

    // Two attempts at `url` with a network access manager of the calling
    // thread; the reply as described above.
    static QString DownloadText(const QString& url);
    // A GET that always goes to the server: no cache, the transfer time-out,
    // certificate checks as the system has them, redirects only within the same origin.
    static QNetworkRequest FreshRequest(const QUrl& url);
    // The time a transfer may stand still before it is given up (20 s); tests shorten it.
    static void setTransferTimeout(int milliseconds);
    static int transferTimeout();

Q_SIGNALS:
    // The reply once more, delivered on the window's thread.
    void replied(const QString& reply);

protected:
    void run() override;

private:
    QString m_url;
    std::shared_ptr<TReplySlot> m_slot;
};

// The update window: asks the maker's server which version is current,
// offers the newer installer, downloads it into the download folder and hands
// over to it.  Created once; every check rebuilds its lines and buttons.
class TVersionsForm : public QDialog {
    Q_OBJECT

public:
    static constexpr int ClientWidth = 428;
    static constexpr int ClientHeight = 253;

    // What the window asks of the rest of the program.
    struct Hooks {
        // A started installation ends the program.  Empty: this window closes
        // and the main window is asked to close (with its save question), or
        // the application quits when there is none.
        std::function<void()> endProgram;
    };

    // `mainWindow`: the window this one is centred on at its first showing.
    explicit TVersionsForm(QWidget* mainWindow = nullptr);
    ~TVersionsForm() override;

    Hooks hooks;

    // The automatic check: shows the window (modally) only when an update is advised.
    int AutoCheck();
    // The user's check: always shows the outcome, centred on the caller.
    int ManualCheck(int top, int left, int width, int height);
    int ManualCheck(const QRect& caller);

    // Reachability, fetch, comparison.  `programName` goes in as "Brolt" and
    // comes out as the download name when the entry was found.
    int CheckVersions(QString& programName, QString& latestVersion);
    // Reply time in ms (> 0); 0 when the time is unreadable or there is no ping
    // program (the check goes on); -1 when ping could not be started; -2 when no reply came.
    int PingServer();
    // Runs `program` without a window and waits at most `limitMs`; its exit
    // code, or -1 when it could not be started or had to be stopped.
    static int RunHidden(const QString& program, const QStringList& arguments, QByteArray* output = nullptr,
                         int limitMs = 15000, bool* started = nullptr);
    QString DownloadText(const QString& url) { return TThread1::DownloadText(url); }
    bool DownloadToFile(const QString& fileName, const QString& url);
    void InstallUpdate();

    // State, for the program's other windows and for tests.
    Versions::Result result() const { return m_result; }
    bool downloaded() const { return m_downloaded; }
    QString downloadName() const { return m_downloadName; }
    QString latestVersion() const { return m_latestVersion; }
    int installerSizeKb() const { return m_installerSizeKb; }
    QString versionLabel() const { return m_versionLabel; }
    QStringList memoLines() const { return m_lines; }

    // Seams.  The ping program ("ping" on the PATH).
    static void setPingProgram(const QString& program);
    // The scheduler program ended before installing (Brolt_Sched in the program folder).
    void setSchedulerPath(const QString& path) { m_schedulerPath = path; }
    // The pauses after a download and before ending the program (1000 ms).
    static void setSettlePause(int milliseconds);
    // The version label compared with the server's ("versie 2.60e").
    void setVersionLabel(const QString& label) { m_versionLabel = label; }

public Q_SLOTS:
    void BtnDownloadClick();
    void BtnExitClick();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormCreate();
    void FormShow();
    void clearMemo();
    void addLine(const QString& line);
    void showAdvice();
    void centreOnMainWindow();
    void settle();
    void endProgram();
    QNetworkAccessManager* network();

    QTextEdit* m_regMemo = nullptr;
    QWidget* m_panel1 = nullptr;
    QProgressBar* m_gauge1 = nullptr;
    TClrBtn* m_btnDownload = nullptr;
    TClrBtn* m_btnExit = nullptr;
    QNetworkAccessManager* m_network = nullptr;

    std::shared_ptr<TReplySlot> m_reply;
    QStringList m_lines;
    QString m_programName = QStringLiteral("Brolt");
    QString m_versionLabel;
    QString m_downloadName;
    QString m_latestVersion;
    QString m_schedulerPath;
    int m_installerSizeKb = 0;
    Versions::Result m_result = Versions::UpToDate;
    bool m_downloaded = false;
    bool m_checking = false;
    bool m_downloading = false;
    bool m_installing = false;
    bool m_placed = false;
};
