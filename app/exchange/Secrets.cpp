#include "exchange/Secrets.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>

#include <qt6keychain/keychain.h>

#include <memory>

namespace {

const QString service = QStringLiteral("Brolt");
Secrets* installed = nullptr;

// The secret store is reached over the session bus.  Without one, asking
// would make the bus library start a bus of its own (dbus-launch), which
// outlives the program: then there is no store to ask.
bool haveSessionBus() {
    return !qEnvironmentVariableIsEmpty("DBUS_SESSION_BUS_ADDRESS");
}

} // namespace

Secrets::~Secrets() = default;

void Secrets::read(const QString& key, std::function<void(std::optional<QString>)> done) {
    if (!haveSessionBus()) {
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [done] { done(std::nullopt); }, Qt::QueuedConnection);
        return;
    }
    auto* job = new QKeychain::ReadPasswordJob(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    QObject::connect(job, &QKeychain::Job::finished, job, [done](QKeychain::Job* finished) {
        const auto* read = static_cast<QKeychain::ReadPasswordJob*>(finished);
        if (read->error() == QKeychain::NoError)
            done(read->textData());
        else
            done(std::nullopt);
    });
    job->start();
}

void Secrets::write(const QString& key, const QString& password) {
    if (!haveSessionBus())
        return;
    auto* job = new QKeychain::WritePasswordJob(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    job->setTextData(password);
    job->start();
}

void Secrets::forget(const QString& key) {
    if (!haveSessionBus())
        return;
    auto* job = new QKeychain::DeletePasswordJob(service);
    job->setAutoDelete(true);
    job->setInsecureFallback(false);
    job->setKey(key);
    job->start();
}

QString Secrets::keyFor(const QString& user, const QString& shownUrl) {
    return user + QLatin1Char('@') + shownUrl;
}

Secrets& Secrets::instance() {
    static Secrets desktop;
    return installed ? *installed : desktop;
}

void Secrets::install(Secrets* secrets) {
    installed = secrets;
}

std::optional<QString> WaitForStoredPassword(const QString& key, int timeoutMs) {
    struct Answer {
        bool done = false;
        std::optional<QString> password;
        QEventLoop loop;
    };
    auto answer = std::make_shared<Answer>();
    Secrets::instance().read(key, [answer](std::optional<QString> password) {
        answer->done = true;
        answer->password = std::move(password);
        answer->loop.quit();
    });
    if (!answer->done) {
        QTimer::singleShot(timeoutMs, &answer->loop, &QEventLoop::quit);
        answer->loop.exec();
    }
    return answer->password;
}
