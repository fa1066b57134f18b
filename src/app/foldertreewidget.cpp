#include "app/foldertreewidget.h"

#include "app/treeimages.h"
#include "browse/foldertags.h"

#include <QTreeWidget>

namespace {
constexpr int TagRole = Qt::UserRole;
constexpr int ImageRole = Qt::UserRole + 1;
constexpr int ExpandedImageRole = Qt::UserRole + 2;
// What a node stands for, for the command line, which takes folders by number and library; a library
// node says nothing its text does not, and a placeholder nothing at all.
QString toolTip(const QString &text, const QString &tag, const QString &library)
{
    if (tag.isEmpty() || tag == LibraryTag(library))
        return {};
    const qint32 number = FolderNumber(tag);
    if (number > 0)
        return QStringLiteral("Folder #%1 in library %2").arg(number).arg(library);
    return text + QStringLiteral(" folders of library ") + library;
}

} // namespace

FolderTreeWidget::FolderTreeWidget(QTreeWidget &tree) : m_tree(tree)
{
    QObject::connect(&tree, &QTreeWidget::itemExpanded, &tree,
                     [this](QTreeWidgetItem *item) { showExpanded(item, true); });
    QObject::connect(&tree, &QTreeWidget::itemCollapsed, &tree,
                     [this](QTreeWidgetItem *item) { showExpanded(item, false); });
}

TreeNode FolderTreeWidget::node(QTreeWidgetItem *item)
{
    return static_cast<TreeNode>(reinterpret_cast<quintptr>(item));
}

QTreeWidgetItem *FolderTreeWidget::item(TreeNode node)
{
    return reinterpret_cast<QTreeWidgetItem *>(static_cast<quintptr>(node));
}

const QIcon &FolderTreeWidget::icon(int index)
{
    auto found = m_icons.find(index);
    if (found == m_icons.end())
        found = m_icons.insert(index, TreeImageIcon(index));
    return *found;
}

void FolderTreeWidget::showExpanded(QTreeWidgetItem *item, bool expanded)
{
    item->setIcon(0, icon(item->data(0, expanded ? ExpandedImageRole : ImageRole).toInt()));
}

TreeNode FolderTreeWidget::addNode(TreeNode parent, const QString &text, const QString &tag, int image,
                                   int expandedImage)
{
    auto *created = new QTreeWidgetItem(QStringList(text));
    created->setData(0, TagRole, tag);
    created->setData(0, ImageRole, image);
    created->setData(0, ExpandedImageRole, expandedImage);
    created->setIcon(0, icon(image));
    QTreeWidgetItem *top = parent == TreeNode::None ? created : item(parent);
    while (top->parent())
        top = top->parent();
    created->setToolTip(0, toolTip(text, tag, top->text(0)));
    if (parent == TreeNode::None)
        m_tree.addTopLevelItem(created);
    else
        item(parent)->addChild(created);
    return node(created);
}

TreeNode FolderTreeWidget::parentNode(TreeNode node) const
{
    return FolderTreeWidget::node(item(node)->parent());
}

QString FolderTreeWidget::text(TreeNode node) const
{
    return item(node)->text(0);
}

QString FolderTreeWidget::tag(TreeNode node) const
{
    return item(node)->data(0, TagRole).toString();
}

int FolderTreeWidget::childCount(TreeNode node) const
{
    return node == TreeNode::None ? m_tree.topLevelItemCount() : item(node)->childCount();
}

TreeNode FolderTreeWidget::child(TreeNode node, int index) const
{
    return FolderTreeWidget::node(node == TreeNode::None ? m_tree.topLevelItem(index)
                                                         : item(node)->child(index));
}

void FolderTreeWidget::removeNode(TreeNode node)
{
    delete item(node);
}

void FolderTreeWidget::makeVisible(TreeNode node)
{
    m_tree.scrollToItem(item(node));
}

void FolderTreeWidget::collapse(TreeNode node)
{
    m_tree.collapseItem(item(node));
}

void FolderTreeWidget::clear()
{
    m_tree.clear();
}
