#pragma once

#include <QByteArray>
#include <QEventLoop>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QProcess>
#include <QStandardPaths>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>

#include <csignal>
#include <sys/prctl.h>

// A real CalDAV/CardDAV server for the test's life: Radicale on 127.0.0.1 with a
// free port, plain htpasswd users "user:geheim", each user owning their own
// collections, storage in a temporary folder.  Stopped by the destructor, and
// by the kernel should the test process die first.
class Radicale {
public:
    static QString program() { return QStandardPaths::findExecutable(QStringLiteral("radicale")); }

    // Empty on success, else why the server did not come up.
    QString start() {
        QTcpServer probe;
        if (!probe.listen(QHostAddress::LocalHost, 0))
            return QStringLiteral("no free port");
        m_port = probe.serverPort();
        probe.close();
        QFile users(m_dir.filePath(QStringLiteral("users")));
        if (!users.open(QIODevice::WriteOnly) || users.write("user:geheim\nander:anders\n") < 0)
            return QStringLiteral("cannot write the users file");
        users.close();
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.start(program(),
                        {QStringLiteral("--config"), QString(), QStringLiteral("--server-hosts"),
                         QStringLiteral("127.0.0.1:%1").arg(m_port), QStringLiteral("--auth-type"),
                         QStringLiteral("htpasswd"), QStringLiteral("--auth-htpasswd-filename"),
                         users.fileName(), QStringLiteral("--auth-htpasswd-encryption"),
                         QStringLiteral("plain"), QStringLiteral("--auth-delay"), QStringLiteral("0"),
                         QStringLiteral("--rights-type"), QStringLiteral("owner_only"),
                         QStringLiteral("--storage-filesystem-folder"), storage(),
                         QStringLiteral("--logging-level"), QStringLiteral("error")});
        if (!m_process.waitForStarted())
            return QStringLiteral("radicale did not start");
        for (int i = 0; i < 200; ++i) {
            QTcpSocket socket;
            socket.connectToHost(QHostAddress::LocalHost, m_port);
            if (socket.waitForConnected(100))
                return {};
            if (m_process.state() != QProcess::Running)
                return QStringLiteral("radicale stopped: ") + QString::fromUtf8(m_process.readAll());
            QTest::qWait(50);
        }
        return QStringLiteral("radicale does not listen");
    }
    ~Radicale() {
        m_process.terminate();
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }

    int port() const { return m_port; }
    QString storage() const { return m_dir.filePath(QStringLiteral("storage")); }
    QUrl url(const QString& path, const QString& user = {}, const QString& password = {}) const {
        QUrl url(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
        url.setUserName(user);
        url.setPassword(password);
        return url;
    }

    // One request as "user" (or `login`); the status, and the body in `body`.
    int request(const QByteArray& method, const QString& path, const QByteArray& send = {},
                const QByteArray& type = {}, QByteArray* body = nullptr, const QByteArray& depth = {},
                const QByteArray& login = "user:geheim") {
        QNetworkRequest request(url(path));
        request.setRawHeader("Authorization", "Basic " + login.toBase64());
        if (!type.isEmpty())
            request.setHeader(QNetworkRequest::ContentTypeHeader, type);
        if (!depth.isEmpty())
            request.setRawHeader("Depth", depth);
        QNetworkReply* reply = m_network.sendCustomRequest(request, method, send);
        QEventLoop loop;
        QObject::connect(reply, &QNetworkReply::finished, &loop, &QEventLoop::quit);
        loop.exec();
        reply->deleteLater();
        if (body)
            *body = reply->readAll();
        return reply->attribute(QNetworkRequest::HttpStatusCodeAttribute).toInt();
    }
    int makeAddressBook(const QString& path, const QByteArray& displayName = {},
                        const QByteArray& login = "user:geheim") {
        return request("MKCOL", path,
                       "<?xml version=\"1.0\"?><D:mkcol xmlns:D=\"DAV:\" "
                       "xmlns:C=\"urn:ietf:params:xml:ns:carddav\"><D:set><D:prop><D:resourcetype>"
                       "<D:collection/><C:addressbook/></D:resourcetype>" +
                           (displayName.isEmpty() ? QByteArray()
                                                  : "<D:displayname>" + displayName + "</D:displayname>") +
                           "</D:prop></D:set></D:mkcol>",
                       "application/xml", nullptr, {}, login);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QNetworkAccessManager m_network;
    int m_port = 0;
};
