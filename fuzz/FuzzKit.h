#pragma once

#include <QByteArray>
#include <QCoreApplication>
#include <QDir>
#include <QTemporaryDir>

#include <cstdint>
#include <cstdlib>

// What every target shares: an application object, and HOME and the XDG
// folders in a private temporary folder so a run never touches the user's
// own settings or data.
namespace FuzzKit {
inline QTemporaryDir& scratch() {
    static QTemporaryDir dir;
    return dir;
}

inline void setUp(int* argc, char*** argv) {
    const QString root = scratch().path();
    qputenv("HOME", root.toUtf8());
    qputenv("XDG_CONFIG_HOME", (root + "/config").toUtf8());
    qputenv("XDG_DATA_HOME", (root + "/data").toUtf8());
    QDir().mkpath(root + "/config");
    QDir().mkpath(root + "/data");
    static QCoreApplication app(*argc, *argv);
}

inline QByteArray bytes(const uint8_t* data, size_t size) {
    return QByteArray(reinterpret_cast<const char*>(data), qsizetype(size));
}
} // namespace FuzzKit
