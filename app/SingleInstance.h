#pragma once

#include <QObject>
#include <QString>

class QLocalServer;

// One Brolt per user: the first one listens on a local socket named after the
// user; a second start finds it there, asks it to come forward and ends.
class SingleInstance : public QObject {
    Q_OBJECT

public:
    explicit SingleInstance(const QString& serverName = DefaultServerName(), QObject* parent = nullptr);
    ~SingleInstance() override;

    // "Brolt-<user id>", inside $XDG_RUNTIME_DIR when that folder exists.
    static QString DefaultServerName();
    QString serverName() const { return m_name; }

    // Asks a running instance to restore and raise its main window.  True when
    // one was reached.
    bool ForwardToRunning(int timeoutMs = 2000);
    // True when a running instance answers on the name, without asking it anything.
    bool IsRunning() const;
    // Becomes the running instance.  A name left behind by a crashed instance
    // is removed, but only after nothing answered on it; false when another
    // instance holds the name or it cannot be taken.
    bool Listen();
    bool isListening() const;

Q_SIGNALS:
    // A second start asked this instance to come forward.
    void raiseRequested();

private:
    void NewConnection();

    QString m_name;
    QLocalServer* m_server = nullptr;
};
