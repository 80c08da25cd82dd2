#include "kit/BrowsePaths.h"

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>

#include <algorithm>

namespace {
QString withSlash(const QString& path) {
    return path.endsWith(u'/') ? path : path + u'/';
}
} // namespace

QString BrowseStartFolder(const QString& path, const QString& fallback) {
    if (path.isEmpty())
        return fallback;
    if (path.size() <= 5)
        return path;
    const qsizetype slash = path.lastIndexOf(u'/');
    return slash < 0 ? path : path.left(slash + 1);
}

QString MountPointOf(const QString& path, const QStringList& mountPoints) {
    QString best = QStringLiteral("/");
    for (const QString& mount : mountPoints) {
        const QString root = withSlash(mount);
        if ((path == mount || withSlash(path).startsWith(root)) && root.size() > best.size())
            best = root;
    }
    return best;
}

QStringList FolderNamesBelow(const QString& path, const QString& root) {
    const QString rootFolder = withSlash(root);
    const QString full = withSlash(path);
    if (!full.startsWith(rootFolder))
        return {};
    return full.mid(rootFolder.size()).split(u'/', Qt::SkipEmptyParts);
}

int FindFolderName(const QStringList& names, const QString& wanted) {
    const int exact = int(names.indexOf(wanted));
    if (exact >= 0)
        return exact;
    for (int i = 0; i < names.size(); ++i)
        if (names[i].compare(wanted, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

QString NodePattern(const QString& root, const QStringList& names) {
    if (root.isEmpty())
        return {};
    QString pattern = withSlash(root);
    for (const QString& name : names)
        pattern += name + u'/';
    return pattern + u'*';
}

QString PatternFolder(const QString& pattern) {
    const qsizetype slash = pattern.lastIndexOf(u'/');
    return slash < 0 ? QString() : pattern.left(slash + 1);
}

QString LabelDriveEntry(const QString& entry, const QString& mountPoint, const std::optional<QString>& label,
                        bool dropDown) {
    if (entry.contains(QLatin1String("[usb-stick]")))
        return entry;
    if (dropDown && entry.contains(QLatin1String("[USB-STICK]")))
        return entry;
    if (entry != mountPoint || !label)
        return entry;
    return entry + QStringLiteral(" [") + label->toLower() + u']';
}

std::optional<QString> MountLabel(const QString& mountPoint) {
    if (!QFileInfo::exists(mountPoint))
        return std::nullopt;
    const QStorageInfo storage(mountPoint);
    if (!storage.isValid() || !storage.isReady())
        return std::nullopt;
    if (!storage.name().isEmpty())
        return storage.name();
    const QString device = QString::fromLocal8Bit(storage.device());
    return device.mid(device.lastIndexOf(u'/') + 1);
}

QStringList MountedVolumes() {
    static const QStringList hidden = {QStringLiteral("/proc"), QStringLiteral("/sys"),
                                       QStringLiteral("/dev"), QStringLiteral("/run"),
                                       QStringLiteral("/snap")};
    QStringList mounts{QStringLiteral("/")};
    for (const QStorageInfo& storage : QStorageInfo::mountedVolumes()) {
        if (!storage.isValid() || !storage.isReady())
            continue;
        const QString root = withSlash(storage.rootPath());
        const bool pseudo = std::any_of(hidden.begin(), hidden.end(), [&](const QString& h) {
            return root.startsWith(h + u'/') && !root.startsWith(QLatin1String("/run/media/"));
        });
        if (!pseudo && !mounts.contains(root))
            mounts << root;
    }
    std::sort(mounts.begin(), mounts.end());
    return mounts;
}

int SplitterPosition(int stored) {
    return std::max(200, stored);
}

BrowseOkResult BrowseOkPath(bool fileMode, int fileCount, const QString& selectedFolder,
                            const QString& browsePath, const QString& currentFile) {
    BrowseOkResult result;
    result.path = browsePath;
    if (fileMode && fileCount == 0) {
        result.noFilesNote = true;
        return result;
    }
    if (currentFile.isEmpty()) {
        result.path = selectedFolder;
        return result;
    }
    // The selected folder already ends in "/": a second one would give "//".
    if (!result.path.endsWith(u'/'))
        result.path = withSlash(selectedFolder);
    if (fileMode)
        result.path += currentFile;
    return result;
}

ButtonPlaces BrowseButtonPlaces(bool fileMode, int clientWidth, int countWidth, int okWidth,
                                int cancelWidth) {
    ButtonPlaces places{};
    if (fileMode) {
        const int gap = (clientWidth - countWidth - okWidth - cancelWidth) / 3;
        places.okLeft = countWidth + gap;
        places.cancelLeft = places.okLeft + okWidth + gap;
    } else {
        const int gap = (clientWidth - okWidth - cancelWidth) / 3;
        places.okLeft = gap;
        places.cancelLeft = places.okLeft + okWidth + gap;
    }
    return places;
}
