#pragma once

#include "browse/foldertreeview.h"

#include <QHash>
#include <QIcon>

class QTreeWidget;
class QTreeWidgetItem;

// The folder tree view over the main window's tree widget. A node's handle is its item; the tag and
// both image indexes live in the item's data, and the item shows the expanded picture while it is
// expanded. Borrows the tree widget, which must outlive it.
class FolderTreeWidget : public FolderTreeView {
public:
    explicit FolderTreeWidget(QTreeWidget &tree);

    static TreeNode node(QTreeWidgetItem *item);
    static QTreeWidgetItem *item(TreeNode node);

    TreeNode addNode(TreeNode parent, const QString &text, const QString &tag, int image,
                     int expandedImage) override;
    TreeNode parentNode(TreeNode node) const override;
    QString text(TreeNode node) const override;
    QString tag(TreeNode node) const override;
    int childCount(TreeNode node) const override;
    TreeNode child(TreeNode node, int index) const override;
    void removeNode(TreeNode node) override;
    void makeVisible(TreeNode node) override;
    void collapse(TreeNode node) override;
    void clear() override;

private:
    const QIcon &icon(int index);
    void showExpanded(QTreeWidgetItem *item, bool expanded);

    QTreeWidget &m_tree;
    QHash<int, QIcon> m_icons;
};
