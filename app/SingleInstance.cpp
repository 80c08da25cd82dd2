#include "SingleInstance.h"

#include "Instance.h"

#include <QLocalServer>
#include <QLocalSocket>

namespace {
const QByteArray raiseRequest = QByteArrayLiteral("raise\n");
} // namespace

SingleInstance::SingleInstance(const QString& serverName, QObject* parent)
    : QObject(parent), m_name(serverName) {}

SingleInstance::~SingleInstance() {
    if (m_server)
        m_server->close();
}

QString SingleInstance::DefaultServerName() {
    return InstanceServerName();
}

bool SingleInstance::IsRunning() const {
    return InstanceAnswers(m_name);
}

bool SingleInstance::ForwardToRunning(int timeoutMs) {
    QLocalSocket socket;
    socket.connectToServer(m_name);
    if (!socket.waitForConnected(timeoutMs))
        return false;
    socket.write(raiseRequest);
    socket.waitForBytesWritten(timeoutMs);
    socket.disconnectFromServer();
    if (socket.state() != QLocalSocket::UnconnectedState)
        socket.waitForDisconnected(timeoutMs);
    return true;
}

bool SingleInstance::isListening() const {
    return m_server && m_server->isListening();
}

bool SingleInstance::Listen() {
    if (isListening())
        return true;
    if (!m_server) {
        m_server = new QLocalServer(this);
        connect(m_server, &QLocalServer::newConnection, this, &SingleInstance::NewConnection);
    }
    if (m_server->listen(m_name))
        return true;
    if (m_server->serverError() != QAbstractSocket::AddressInUseError)
        return false;
    // Someone may have started in the meantime: only a name nobody answers on
    // is stale and may be taken over.
    QLocalSocket probe;
    probe.connectToServer(m_name);
    if (probe.waitForConnected(500)) {
        probe.disconnectFromServer();
        return false;
    }
    QLocalServer::removeServer(m_name);
    return m_server->listen(m_name);
}

void SingleInstance::NewConnection() {
    while (QLocalSocket* socket = m_server->nextPendingConnection()) {
        connect(socket, &QLocalSocket::disconnected, socket, &QObject::deleteLater);
        auto handle = [this, socket] {
            while (socket->canReadLine()) {
                if (socket->readLine() == raiseRequest)
                    Q_EMIT raiseRequested();
            }
        };
        connect(socket, &QLocalSocket::readyRead, this, handle);
        // The request may have arrived together with the connection.
        handle();
    }
}
