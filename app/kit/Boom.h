#pragma once

#include <QString>
#include <QStringList>
#include <QTreeWidget>

// The browser's folder tree.  The top node stands for the root of a mount
// point (a "drive"); every folder node reads its subfolders only when it is
// opened for the first time: until then its only child is a placeholder "...".
class TBoom : public QTreeWidget {
    Q_OBJECT

public:
    explicit TBoom(QWidget* parent = nullptr);

    // Rebuilds the tree for the mount point `path` lies on and opens the
    // folders along the path, as far as they exist (names are matched exactly
    // first, then without regard to case).  False when a folder on the way
    // could not be read.
    bool SetFolder(const QString& path);
    // The folder of the selected node, ending in "/"; empty without a selection.
    QString SelectedFolder() const;
    // The search pattern of `node`: its folder + "*"; empty without a node.
    QString NodePath(const QTreeWidgetItem* node) const;
    // Adds the subfolders matched by `pattern` under `node`; without a node,
    // first empties the tree and makes a top node for the drive.  False when
    // the folder cannot be read.
    bool FillNode(const QString& pattern, QTreeWidgetItem* node);

    // The mount point of the tree, ending in "/".
    QString Drive() const { return m_drive; }
    // The mount points a path is matched against; the machine's by default.
    void SetMountPoints(const QStringList& mountPoints) { m_mountPoints = mountPoints; }
    QStringList MountPoints() const;

    static bool IsPlaceholder(const QTreeWidgetItem* item);

Q_SIGNALS:
    // The selected folder changed (by click, key or program).
    void folderChanged();

private:
    void NodeExpanded(QTreeWidgetItem* node);
    void addPlaceholder(QTreeWidgetItem* node);

    QString m_drive = QStringLiteral("/");
    QStringList m_mountPoints;
    bool m_filled = false;
    bool m_readFailed = false;
};
