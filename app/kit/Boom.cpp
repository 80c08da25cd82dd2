#include "kit/Boom.h"

#include "kit/BrowsePaths.h"
#include "kit/Log.h"

#include <QDir>
#include <QFileIconProvider>
#include <QHeaderView>

namespace {
constexpr int PlaceholderRole = Qt::UserRole + 1;
} // namespace

TBoom::TBoom(QWidget* parent) : QTreeWidget(parent) {
    setObjectName(QStringLiteral("Boom"));
    setColumnCount(1);
    header()->hide();
    setIndentation(19);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QTreeWidget::itemExpanded, this, &TBoom::NodeExpanded);
    connect(this, &QTreeWidget::currentItemChanged, this, [this] { Q_EMIT folderChanged(); });
}

QStringList TBoom::MountPoints() const {
    return m_mountPoints.isEmpty() ? MountedVolumes() : m_mountPoints;
}

bool TBoom::IsPlaceholder(const QTreeWidgetItem* item) {
    return item && item->data(0, PlaceholderRole).toBool();
}

void TBoom::addPlaceholder(QTreeWidgetItem* node) {
    auto* placeholder = new QTreeWidgetItem(node, QStringList{QStringLiteral("...")});
    placeholder->setData(0, PlaceholderRole, true);
}

QString TBoom::NodePath(const QTreeWidgetItem* node) const {
    if (!node)
        return {};
    QStringList names;
    for (const QTreeWidgetItem* n = node; n->parent(); n = n->parent())
        names.prepend(n->text(0));
    return NodePattern(m_drive, names);
}

QString TBoom::SelectedFolder() const {
    return PatternFolder(NodePath(currentItem()));
}

bool TBoom::FillNode(const QString& pattern, QTreeWidgetItem* node) {
    if (!node) {
        clear();
        node = new QTreeWidgetItem(this, QStringList{m_drive});
        node->setIcon(0, QFileIconProvider().icon(QFileIconProvider::Drive));
    }
    const QString folder = PatternFolder(pattern);
    const QString mask = pattern.mid(folder.size());
    QDir dir(folder);
    if (folder.isEmpty() || !dir.exists() || !dir.isReadable()) {
        m_readFailed = true;
        return false;
    }
    // Hidden folders are listed too; names sort as people read them.
    const QStringList names = dir.entryList(mask.isEmpty() ? QStringList() : QStringList{mask},
                                            QDir::Dirs | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                                            QDir::Name | QDir::IgnoreCase | QDir::LocaleAware);
    const QIcon icon = QFileIconProvider().icon(QFileIconProvider::Folder);
    for (const QString& name : names) {
        if (node->childCount() > 0 && IsPlaceholder(node->child(0)))
            delete node->takeChild(0);
        auto* child = new QTreeWidgetItem(node, QStringList{name});
        child->setIcon(0, icon);
        addPlaceholder(child);
    }
    m_filled = true;
    return true;
}

void TBoom::NodeExpanded(QTreeWidgetItem* node) {
    if (node->childCount() == 0 || !IsPlaceholder(node->child(0)))
        return;
    FillNode(NodePath(node), node);
    if (node->childCount() > 0 && IsPlaceholder(node->child(0)))
        delete node->takeChild(0);
    setCurrentItem(node);
}

bool TBoom::SetFolder(const QString& folderPath) {
    // A copy: selecting nodes below tells the window, which may change the string we were given.
    const QString path = folderPath;
    m_filled = false;
    m_readFailed = false;
    m_drive = MountPointOf(path, MountPoints());
    FillNode(NodePattern(m_drive, {}), nullptr);
    QTreeWidgetItem* node = topLevelItem(0);
    setCurrentItem(node);
    node->setExpanded(true);

    // Open the path as far as its folders exist.
    for (const QString& name : FolderNamesBelow(path, m_drive)) {
        QStringList names;
        for (int i = 0; i < node->childCount(); ++i)
            names << (IsPlaceholder(node->child(i)) ? QString() : node->child(i)->text(0));
        const int found = names.isEmpty() ? -1 : FindFolderName(names, name);
        if (found < 0)
            break;
        node = node->child(found);
        setCurrentItem(node);
        node->setExpanded(true);
    }
    scrollToItem(currentItem());
    return !m_readFailed;
}
