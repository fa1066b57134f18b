#pragma once

#include "browse/foldertreeview.h"

#include <QStringList>

#include <vector>

// The folder tree in memory: nodes are numbered from 1 in creation order and never reused, so a
// removed node's handle stays recognisably dead.
class FakeTree : public FolderTreeView {
public:
    struct Node {
        QString text;
        QString tag;
        int image = 0;
        int expandedImage = 0;
        TreeNode parent = TreeNode::None;
        std::vector<TreeNode> children;
        bool removed = false;
    };

    TreeNode addNode(TreeNode parent, const QString &text, const QString &tag, int image,
                     int expandedImage) override;
    TreeNode parentNode(TreeNode node) const override { return at(node).parent; }
    QString text(TreeNode node) const override { return at(node).text; }
    QString tag(TreeNode node) const override { return at(node).tag; }
    int childCount(TreeNode node) const override { return int(children(node).size()); }
    TreeNode child(TreeNode node, int index) const override { return children(node).at(size_t(index)); }
    void removeNode(TreeNode node) override;
    void makeVisible(TreeNode node) override { madeVisible.push_back(node); }
    void collapse(TreeNode node) override { collapsed.push_back(node); }
    void clear() override;

    const Node &at(TreeNode node) const { return m_nodes.at(static_cast<size_t>(node) - 1); }
    // The node at a path of texts separated by " > " ("LIB2 > Public > Alpha"); None when there is none.
    TreeNode find(const QString &path) const;
    QStringList childTexts(TreeNode node) const;

    std::vector<TreeNode> madeVisible;
    std::vector<TreeNode> collapsed;

private:
    const std::vector<TreeNode> &children(TreeNode node) const;

    std::vector<Node> m_nodes;
    std::vector<TreeNode> m_top;
};
