#pragma once

#include <QString>
#include <QStringList>

#include <optional>

// The path rules of the folder and file browser, free of any window.  On Linux
// a "drive" is a mount point: the first element of every path is the root of
// the mount it lies on, and folder paths end in "/".

// Where the browser starts for `path`: an empty path becomes `fallback`; a
// path of more than 5 characters is cut after its last "/" (a file name, or a
// last folder name without a trailing "/", is dropped); shorter ones stay.
QString BrowseStartFolder(const QString& path, const QString& fallback);

// The mount point (ending in "/") that `path` lies on: the longest of
// `mountPoints` that is the path itself or a leading folder of it; "/" when
// none is.
QString MountPointOf(const QString& path, const QStringList& mountPoints);

// The folder names of `path` below `root`, in order ("/a/b/c/" below "/a/"
// gives "b", "c").  Empty when the path does not lie below the root.
QStringList FolderNamesBelow(const QString& path, const QString& root);

// The index in `names` of `wanted`: an exact match first, then one that
// ignores case; -1 when there is neither.
int FindFolderName(const QStringList& names, const QString& wanted);

// The search pattern of a tree node: the root (a mount point ending in "/")
// followed by the node's folder names, each with "/", then "*".  The root node
// itself gives root + "*".  Empty when there is no root.
QString NodePattern(const QString& root, const QStringList& names);
// The folder of a search pattern: everything up to and including its last "/".
QString PatternFolder(const QString& pattern);

// A drive list entry with its label.  An entry that is still its bare mount
// point gets " [" + the label in lower case + "]"; an entry that carries
// something after its mount point, or whose label could not be read (no
// value), stays as it is.  When the list drops down (`dropDown`), entries
// showing "[USB-STICK]" or "[usb-stick]" are left alone; when another drive is
// chosen, entries showing "[usb-stick]".
QString LabelDriveEntry(const QString& entry, const QString& mountPoint, const std::optional<QString>& label,
                        bool dropDown);

// The volume label of a mount point: the file system's label, or else the
// name of its device; no value when the mount cannot be read.
std::optional<QString> MountLabel(const QString& mountPoint);
// The mounted volumes worth offering: ready, real file systems, sorted, each ending in "/".
QStringList MountedVolumes();

// "Browse Splitter" as the tree panel width: at least 200.
int SplitterPosition(int stored);

// What "Ok" makes of the browser's state.
struct BrowseOkResult {
    bool noFilesNote = false; // file mode with an empty file list: the note, and nothing changes
    QString path;             // the new browse path
};
// `currentFile` is the name of the selected file, empty when none is.
BrowseOkResult BrowseOkPath(bool fileMode, int fileCount, const QString& selectedFolder,
                            const QString& browsePath, const QString& currentFile);

// The left edges of "Ok" and "Annuleren" spread over `clientWidth`: in file
// mode after the count label, in folder mode over the whole width.
struct ButtonPlaces {
    int okLeft;
    int cancelLeft;
};
ButtonPlaces BrowseButtonPlaces(bool fileMode, int clientWidth, int countWidth, int okWidth, int cancelWidth);
