#include "maintenance/GetVersions.h"

#include "Ui.h"
#include "kit/ClrBtn.h"
#include "kit/Support.h"
#include "settings/Terminate.h"

#include <QCoreApplication>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QMutexLocker>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QNetworkRequest>
#include <QProcess>
#include <QProgressBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextEdit>
#include <QTimer>
#include <QUrl>
#if QT_CONFIG(ssl)
#include <QSslConfiguration>
#include <QSslSocket>
#endif

namespace {
constexpr int readChunk = 2048;
// Far beyond any versions file; a server that sends more is not one of ours.
constexpr qsizetype largestText = 16 * 1024 * 1024;

int transferTimeoutMs = 20000;
int settlePauseMs = 1000;
QString pingProgram = QStringLiteral("ping");

const QString programName = QStringLiteral("Brolt");

// Waits `ms` milliseconds while the window keeps painting.
void pause(int ms) {
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

// Names of our own files that a download name must never make us delete.
bool isOwnProgram(const QString& name) {
    const QString suffix = ExecutableSuffix();
    const QStringList own{programName + suffix, programName + QStringLiteral("_Sched") + suffix,
                          QStringLiteral("brolt-windows") + suffix,
                          QFileInfo(QCoreApplication::applicationFilePath()).fileName()};
    return own.contains(name, Qt::CaseInsensitive);
}
} // namespace

// ------------------------------------------------------------------ the reply slot

void TReplySlot::set(const QString& reply) {
    QMutexLocker lock(&m_mutex);
    m_reply = reply;
}

QString TReplySlot::get() const {
    QMutexLocker lock(&m_mutex);
    return m_reply;
}

// ------------------------------------------------------------------ the worker

TThread1::TThread1(const QString& url, std::shared_ptr<TReplySlot> slot, QObject* parent)
    : QThread(parent), m_url(url), m_slot(std::move(slot)) {}

void TThread1::setTransferTimeout(int milliseconds) {
    transferTimeoutMs = milliseconds;
}

int TThread1::transferTimeout() {
    return transferTimeoutMs;
}

QNetworkRequest TThread1::FreshRequest(const QUrl& url) {
    QNetworkRequest request(url);
    request.setAttribute(QNetworkRequest::CacheLoadControlAttribute, QNetworkRequest::AlwaysNetwork);
    request.setAttribute(QNetworkRequest::CacheSaveControlAttribute, false);
    request.setRawHeader("Cache-Control", "no-cache");
    request.setRawHeader("Pragma", "no-cache");
    request.setHeader(QNetworkRequest::UserAgentHeader, QByteArrayLiteral("Brolt-Update"));
    request.setTransferTimeout(transferTimeoutMs);
    // The installer is only ever taken from the server we asked.
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::SameOriginRedirectPolicy);
#if QT_CONFIG(ssl)
    QSslConfiguration ssl = request.sslConfiguration();
    ssl.setPeerVerifyMode(QSslSocket::VerifyPeer);
    request.setSslConfiguration(ssl);
#endif
    return request;
}

QString TThread1::DownloadText(const QString& url) {
    QNetworkAccessManager network;
    QString text;
    // A second attempt only when the first gave nothing.
    for (int attempt = 0; attempt < 2 && text.isEmpty(); ++attempt) {
        QNetworkReply* reply = network.get(FreshRequest(QUrl(url)));
        QByteArray body;
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::readyRead, &loop, [&] {
            body += reply->readAll();
            if (body.size() > largestText)
                reply->abort();
        });
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        if (!reply->isFinished())
            loop.exec();
        if (reply->isOpen() && body.size() <= largestText)
            body += reply->read(largestText + 1 - body.size());
        delete reply;
        text = Versions::TextFromBody(body.left(largestText));
    }
    return Versions::ReplyFromText(text);
}

void TThread1::run() {
    const QString reply = DownloadText(m_url);
    m_slot->set(reply);
    Q_EMIT replied(reply);
}

// ------------------------------------------------------------------ the window

void TVersionsForm::setPingProgram(const QString& program) {
    pingProgram = program;
}

void TVersionsForm::setSettlePause(int milliseconds) {
    settlePauseMs = milliseconds;
}

TVersionsForm::TVersionsForm(QWidget* mainWindow)
    : QDialog(mainWindow, Qt::Dialog | Qt::CustomizeWindowHint | Qt::WindowTitleHint |
                              Qt::WindowSystemMenuHint | Qt::WindowCloseButtonHint),
      m_reply(std::make_shared<TReplySlot>()) {
    setObjectName(QStringLiteral("VersionsForm"));
    setModal(true);
    setFont(KitFont(QStringLiteral("Verdana"), 14));
    setFixedSize(ClientWidth, ClientHeight);
    m_versionLabel = QStringLiteral(BROLT_VERSION_LABEL);
    m_schedulerPath = SchedulerProgramPath();

    m_regMemo = new QTextEdit(this);
    m_regMemo->setObjectName(QStringLiteral("RegMemo"));
    m_regMemo->setReadOnly(true);
    m_regMemo->setGeometry(0, 0, ClientWidth, 177);

    m_panel1 = new QWidget(this);
    m_panel1->setObjectName(QStringLiteral("Panel1"));
    m_panel1->setGeometry(0, ClientHeight - 80, ClientWidth, 80);
    m_panel1->setAutoFillBackground(true);

    m_gauge1 = new QProgressBar(m_panel1);
    m_gauge1->setObjectName(QStringLiteral("Gauge1"));
    m_gauge1->setGeometry((ClientWidth - 400) / 2, 6, 400, 18);
    m_gauge1->setTextVisible(false);
    m_gauge1->hide();

    const QFont buttonFont = KitFont(QStringLiteral("Verdana"), 16);
    m_btnDownload = new TClrBtn(QStringLiteral("Download nu"), m_panel1);
    m_btnDownload->setObjectName(QStringLiteral("BtnDownload"));
    m_btnDownload->setGeometry(30, 34, 170, 35);
    m_btnDownload->setFont(buttonFont);
    m_btnExit = new TClrBtn(QStringLiteral("Download later"), m_panel1);
    m_btnExit->setObjectName(QStringLiteral("BtnExit"));
    m_btnExit->setGeometry(ClientWidth - 30 - 170, 34, 170, 35);
    m_btnExit->setFont(buttonFont);
    connect(m_btnDownload, &TClrBtn::clicked, this, &TVersionsForm::BtnDownloadClick);
    connect(m_btnExit, &TClrBtn::clicked, this, &TVersionsForm::BtnExitClick);

    FormCreate();
}

TVersionsForm::~TVersionsForm() = default;

void TVersionsForm::FormCreate() {
    SetKitBackground(this, KitColor::Window);
    SetKitBackground(m_panel1, KitColor::Window);
    for (TClrBtn* button : {m_btnDownload, m_btnExit}) {
        button->setBackColor(KitColor::Window);
        button->setHoverColor(KitColor::ButtonHover);
    }
}

void TVersionsForm::showEvent(QShowEvent* event) {
    FormShow();
    QDialog::showEvent(event);
}

void TVersionsForm::FormShow() {
    setWindowTitle(programName + QStringLiteral(" - Update"));
    if (!m_placed)
        centreOnMainWindow();
}

void TVersionsForm::centreOnMainWindow() {
    m_placed = true;
    const QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    if (!main)
        return;
    const QRect frame = main->frameGeometry();
    move(frame.left() + (frame.width() - width()) / 2, frame.top() + (frame.height() - height()) / 2);
}

// ------------------------------------------------------------------ the memo

void TVersionsForm::clearMemo() {
    m_lines.clear();
    m_regMemo->clear();
}

void TVersionsForm::addLine(const QString& line) {
    m_lines << line;
    m_regMemo->setPlainText(m_lines.join(u'\n'));
    QTextCursor cursor(m_regMemo->document());
    cursor.select(QTextCursor::Document);
    QTextBlockFormat centred;
    centred.setAlignment(Qt::AlignHCenter);
    cursor.mergeBlockFormat(centred);
}

void TVersionsForm::showAdvice() {
    addLine(QStringLiteral("Een Update wordt aanbevolen"));
    addLine(QString());
    addLine(QStringLiteral("Uw huidige versie is ") + m_versionLabel);
    addLine(QStringLiteral("De nieuwste versie is ") + m_latestVersion);
    addLine(QStringLiteral("De Downloadnaam is ") + m_downloadName);
}

// ------------------------------------------------------------------ the checks

int TVersionsForm::AutoCheck() {
    // The window on screen is the user's own check, download or installation:
    // a timed check must not rewrite it under their eyes.
    if (m_checking || m_downloading || m_installing || isVisible())
        return m_result;
    QString name = programName;
    QString latest;
    const int result = CheckVersions(name, latest);
    clearMemo();
    addLine(QString());
    if (result != Versions::UpdateAdvised)
        return result;
    showAdvice();
    m_btnDownload->setText(QStringLiteral("Start Downloaden"));
    m_btnExit->setText(QStringLiteral("Download Later"));
    if (!isVisible()) {
        exec();
        m_btnDownload->show();
        m_btnExit->show();
    }
    return result;
}

int TVersionsForm::ManualCheck(const QRect& caller) {
    return ManualCheck(caller.top(), caller.left(), caller.width(), caller.height());
}

int TVersionsForm::ManualCheck(int top, int left, int width, int height) {
    if (m_checking || m_downloading)
        return m_result;
    m_reply->clear();
    m_placed = true;
    move(left + (width - this->width()) / 2, top + (height - this->height()) / 2);

    // A slow or silent server can take up to a minute to give up: the user
    // sees at once that the question is on its way.
    clearMemo();
    addLine(QString());
    addLine(QStringLiteral("Bezig met zoeken naar een nieuwe versie..."));
    m_btnDownload->hide();
    m_btnExit->hide();
    m_gauge1->hide();
    const bool wasVisible = isVisible();
    if (!wasVisible)
        show();

    QString name = programName;
    QString latest;
    const int result = CheckVersions(name, latest);
    // Closed while waiting: the user no longer wants the answer.
    if (!wasVisible && !isVisible())
        return result;

    clearMemo();
    addLine(QString());
    switch (result) {
    case Versions::UpToDate:
        addLine(QStringLiteral("Een Update is niet nodig,"));
        addLine(QStringLiteral("u heeft de nieuwste versie."));
        addLine(QStringLiteral("Uw huidige versie is ") + m_versionLabel + u'.');
        break;
    case Versions::NoReply:
        addLine(QStringLiteral("De server reageert niet"));
        break;
    case Versions::FileTooSmall:
        addLine(QStringLiteral("Het bestand is te klein"));
        break;
    case Versions::NameNotFound:
        addLine(QStringLiteral("Programma-naam niet gevonden"));
        break;
    case Versions::UpdateAdvised:
        showAdvice();
        break;
    case Versions::PingTimeout:
    default:
        addLine(QStringLiteral("Ping naar ") + Versions::ServerHost() + QStringLiteral(" geeft Time-out"));
        break;
    }

    if (result == Versions::UpdateAdvised) {
        m_btnDownload->setText(QStringLiteral("Start Downloaden"));
        m_btnDownload->show();
        m_btnExit->setText(QStringLiteral("Download later"));
        m_btnExit->show();
        if (isVisible())
            m_btnDownload->setFocus();
    } else {
        m_btnExit->setText(QStringLiteral("Sluit Venster"));
        m_btnDownload->hide();
        m_btnExit->show();
        if (isVisible())
            m_btnExit->setFocus();
    }
    if (wasVisible)
        raise();
    else
        exec();
    return result;
}

int TVersionsForm::CheckVersions(QString& programNameInOut, QString& latestVersion) {
    m_result = Versions::UpToDate;
    // A server we cannot reach is not asked; a ping whose time we cannot read
    // (or no ping program at all) tells us nothing, so the fetch decides.
    if (PingServer() < 0) {
        m_result = Versions::PingTimeout;
        return m_result;
    }

    m_checking = true;
    m_reply->clear();
    auto worker = std::make_unique<TThread1>(Versions::BaseUrl() + QStringLiteral("versions.dat"), m_reply);
    const std::shared_ptr<TReplySlot> slot = m_reply;
    connect(worker.get(), &TThread1::replied, this, [slot](const QString& reply) { slot->set(reply); });
    worker->start();
    QString reply;
    while ((reply = m_reply->get()).isEmpty()) {
        QThread::msleep(10);
        QCoreApplication::processEvents(QEventLoop::AllEvents);
    }
    worker->wait();
    worker.reset();
    m_checking = false;

    const Versions::Outcome outcome = Versions::Evaluate(reply, programNameInOut, m_versionLabel);
    m_result = outcome.result;
    if (outcome.result == Versions::NameNotFound)
        m_downloaded = false;
    if (!outcome.downloadName.isEmpty()) {
        programNameInOut = outcome.downloadName;
        m_downloadName = outcome.downloadName;
        m_installerSizeKb = outcome.sizeKb;
        m_latestVersion = outcome.latestVersion;
        latestVersion = outcome.latestVersion;
    }
    return m_result;
}

int TVersionsForm::RunHidden(const QString& program, const QStringList& arguments, QByteArray* output,
                             int limitMs, bool* started) {
    QProcess process;
    process.setProcessChannelMode(QProcess::MergedChannels);
    process.setStandardInputFile(QProcess::nullDevice());
    process.start(program, arguments, QIODevice::ReadOnly);
    const bool running = process.waitForStarted();
    if (started)
        *started = running;
    if (!running)
        return -1;
    const bool finished = process.waitForFinished(limitMs);
    if (!finished) {
        process.kill();
        process.waitForFinished(1000);
    }
    if (output)
        *output = process.readAll();
    if (!finished || process.exitStatus() != QProcess::NormalExit)
        return -1;
    return process.exitCode();
}

int TVersionsForm::PingServer() {
    QByteArray output;
    bool started = false;
    RunHidden(pingProgram,
              {QStringLiteral("-c"), QStringLiteral("1"), QStringLiteral("-W"), QStringLiteral("10"),
               Versions::ServerHost()},
              &output, 15000, &started);
    if (!started) {
        // No ping on this system (or not allowed): not a reason to stop.
        return 0;
    }
    return Versions::ParsePingOutput(QString::fromLocal8Bit(output));
}

// ------------------------------------------------------------------ download and install

QNetworkAccessManager* TVersionsForm::network() {
    if (!m_network)
        m_network = new QNetworkAccessManager(this);
    return m_network;
}

void TVersionsForm::settle() {
    Ui::instance().processEvents();
    pause(settlePauseMs);
}

bool TVersionsForm::DownloadToFile(const QString& fileName, const QString& url) {
    QFile file(fileName);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        return false;

    QNetworkReply* reply = network()->get(TThread1::FreshRequest(QUrl(url)));
    QByteArray pending;
    qint64 received = 0;
    int kilobytes = 0;
    bool writeFailed = false;
    // Whole chunks of 2048 bytes, as the server's data comes in, and the
    // last, shorter one at the end: the count does not depend on how the
    // network happened to cut the stream.
    auto takeChunks = [&](bool atEnd) {
        qsizetype at = 0;
        while (pending.size() - at >= readChunk || (atEnd && at < pending.size())) {
            const qsizetype size = qMin<qsizetype>(readChunk, pending.size() - at);
            kilobytes += int(size / 1024);
            received += size;
            if (file.write(pending.constData() + at, size) != size)
                writeFailed = true;
            m_gauge1->setValue(kilobytes + 1);
            at += size;
        }
        pending.remove(0, at);
    };
    QEventLoop loop;
    connect(reply, &QNetworkReply::readyRead, &loop, [&] {
        pending += reply->readAll();
        takeChunks(false);
    });
    connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
    if (!reply->isFinished())
        loop.exec();
    if (reply->isOpen())
        pending += reply->readAll();
    takeChunks(true);

    // A cut-off or refused transfer must never be taken for the installer.
    const QVariant announced = reply->header(QNetworkRequest::ContentLengthHeader);
    const bool complete = reply->error() == QNetworkReply::NoError &&
                          (!announced.isValid() || announced.toLongLong() == received);
    reply->deleteLater();
    const bool flushed = file.flush();
    file.close();

    settle();
    const bool success = kilobytes > 1 && complete && !writeFailed && flushed;
    if (!success)
        file.remove();
    return success;
}

void TVersionsForm::BtnDownloadClick() {
    if (m_downloading || m_checking || !Versions::IsPlainFileName(m_downloadName))
        return;
    m_downloading = true;
    m_btnDownload->setEnabled(false);
    const QString url = Versions::BaseUrl() + m_downloadName;
    const QString folder = DownloadsFolder();
    const QString local = folder + m_downloadName;

    m_gauge1->show();
    m_gauge1->setRange(0, m_installerSizeKb);
    m_gauge1->setValue(0);

    // An installer left in the program folder by older versions goes too.
    const QString old = ProgramFolder() + m_downloadName;
    if (!isOwnProgram(m_downloadName) && QFileInfo(old).isFile())
        QFile::remove(old);
    if (QFileInfo::exists(local))
        QFile::remove(local);
    QDir().mkpath(folder);

    const bool ok = DownloadToFile(local, url);
    m_btnDownload->setEnabled(true);
    m_downloading = false;
    if (!ok)
        return;
    clearMemo();
    addLine(QString());
    addLine(m_downloadName + QStringLiteral(" is met succes gedownload"));
    addLine(QStringLiteral("Klik \"Installeer\" om het progamma te installeren"));
    m_btnExit->setText(QStringLiteral("Installeer"));
    m_btnDownload->hide();
    m_btnExit->show();
    m_btnExit->setFocus();
    m_downloaded = true;
}

void TVersionsForm::BtnExitClick() {
    if (m_downloaded)
        InstallUpdate();
    else
        reject();
}

void TVersionsForm::InstallUpdate() {
    if (m_installing)
        return;
    m_installing = true;
    const QString display = Versions::DisplayName(m_downloadName);
    addLine(QString());
    addLine(QStringLiteral("De installatie van ") + display + QStringLiteral(" wordt gestart."));

    const QString local = DownloadsFolder() + m_downloadName;
    bool started = false;
    if (Versions::IsPlainFileName(m_downloadName) && QFileInfo(local).isFile()) {
        // The download arrives without the execute bit.
        QFile::setPermissions(local,
                              QFile::permissions(local) | QFileDevice::ExeOwner | QFileDevice::ExeUser);
        started = QProcess::startDetached(
            local, {QStringLiteral("/SP-"), QStringLiteral("/silent"), QStringLiteral("/noicons")});
    }
    if (!started) {
        addLine(QStringLiteral("Installatie is mislukt."));
        m_installing = false;
        return;
    }
    addLine(QStringLiteral("De installatie van ") + display + QStringLiteral(" is gestart."));
    settle();
    TerminateByPath(m_schedulerPath);
    endProgram();
}

void TVersionsForm::endProgram() {
    if (hooks.endProgram) {
        hooks.endProgram();
        return;
    }
    QWidget* main = parentWidget() ? parentWidget()->window() : nullptr;
    if (isVisible())
        accept();
    if (main)
        QTimer::singleShot(0, main, &QWidget::close);
    else
        QTimer::singleShot(0, qApp, &QCoreApplication::quit);
}
