#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QStringList>
#include <QUrl>

#include <csignal>
#include <sys/prctl.h>

// A DAV server that misbehaves as its scenario says (tests/exchange/hostile_dav.py),
// on 127.0.0.1 with a free port, for the test's life.  It reports every
// request it gets, so a test can say exactly what was sent.
class HostileDav {
public:
    // Empty on success, else why the server did not come up.
    QString start(const QJsonObject& scenario) {
        m_process.setChildProcessModifier([] { prctl(PR_SET_PDEATHSIG, SIGTERM); });
        m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        m_process.start(QStringLiteral("/usr/bin/python3"),
                        {QStringLiteral(BROLT_TEST_DATA "/../exchange/hostile_dav.py"),
                         QString::fromUtf8(QJsonDocument(scenario).toJson(QJsonDocument::Compact))});
        while (!m_process.canReadLine())
            if (!m_process.waitForReadyRead(10000))
                return QStringLiteral("the hostile server did not start");
        const QByteArray first = m_process.readLine().trimmed();
        if (!first.startsWith("PORT "))
            return QStringLiteral("the hostile server said ") + QString::fromUtf8(first);
        m_port = first.mid(5).toInt();
        return {};
    }
    ~HostileDav() {
        m_process.closeWriteChannel(); // it stops when its input ends
        if (!m_process.waitForFinished(5000))
            m_process.kill();
        m_process.waitForFinished();
    }

    int port() const { return m_port; }
    QUrl url(const QString& path) const {
        return QUrl(QStringLiteral("http://127.0.0.1:%1%2").arg(m_port).arg(path));
    }

    // The requests received so far: "METHOD path", with [the header] of each
    // conditional header and of any header the server itself made up.
    QStringList requests() {
        // Every line is written before its answer goes out, so it is in the pipe by now.
        while (m_process.waitForReadyRead(20)) {
        }
        while (m_process.canReadLine()) {
            const QJsonObject line = QJsonDocument::fromJson(m_process.readLine()).object();
            QString request =
                line[QStringLiteral("method")].toString() + u' ' + line[QStringLiteral("path")].toString();
            for (const QJsonValue header : line[QStringLiteral("headers")].toArray()) {
                const QString h = header.toString();
                if (h.startsWith(QLatin1String("If-")) || h.startsWith(QLatin1String("X-")))
                    request += QStringLiteral(" [") + h + u']';
            }
            m_requests << request;
        }
        return m_requests;
    }

private:
    QProcess m_process;
    QStringList m_requests;
    int m_port = 0;
};
