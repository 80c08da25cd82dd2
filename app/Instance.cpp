#include "Instance.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
// A Unix socket path must fit in sockaddr_un.sun_path.
constexpr int longestSocketPath = 100;
} // namespace

QString InstanceServerName() {
    const QString name = QStringLiteral("Brolt-") + QString::number(::getuid());
    // The runtime folder belongs to the user alone and is emptied at log-out,
    // so a name there cannot be taken by someone else or outlive the session.
    const QString runtime = qEnvironmentVariable("XDG_RUNTIME_DIR");
    if (!runtime.isEmpty() && QDir::isAbsolutePath(runtime) && QFileInfo(runtime).isDir()) {
        const QString path = QDir::cleanPath(runtime) + u'/' + name;
        if (QFile::encodeName(path).size() < longestSocketPath)
            return path;
    }
    return name;
}

QString InstanceSocketPath(const QString& name) {
    if (name.startsWith(u'/'))
        return name;
    return QDir::cleanPath(QDir::tempPath()) + u'/' + name;
}

bool InstanceAnswers(const QString& name) {
    const QByteArray path = QFile::encodeName(InstanceSocketPath(name));
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    if (path.isEmpty() || size_t(path.size()) >= sizeof(address.sun_path))
        return false;
    std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
    const int fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_CLOEXEC | SOCK_NONBLOCK, 0);
    if (fd < 0)
        return false;
    int result;
    do
        result = ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof(address));
    while (result != 0 && errno == EINTR);
    // A full backlog (EAGAIN) still means someone is listening there.
    const bool answers = result == 0 || errno == EAGAIN;
    ::close(fd);
    return answers;
}
