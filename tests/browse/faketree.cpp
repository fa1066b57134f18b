#include "faketree.h"

#include <algorithm>

TreeNode FakeTree::addNode(TreeNode parent, const QString &text, const QString &tag, int image,
                           int expandedImage)
{
    m_nodes.push_back({text, tag, image, expandedImage, parent, {}, false});
    const auto node = static_cast<TreeNode>(m_nodes.size());
    (parent == TreeNode::None ? m_top : m_nodes.at(static_cast<size_t>(parent) - 1).children).push_back(node);
    return node;
}

void FakeTree::removeNode(TreeNode node)
{
    Node &removed = m_nodes.at(static_cast<size_t>(node) - 1);
    for (const TreeNode child : std::vector<TreeNode>(removed.children))
        removeNode(child);
    removed.removed = true;
    std::vector<TreeNode> &siblings = removed.parent == TreeNode::None
                                          ? m_top
                                          : m_nodes.at(static_cast<size_t>(removed.parent) - 1).children;
    siblings.erase(std::find(siblings.begin(), siblings.end(), node));
}

void FakeTree::clear()
{
    for (const TreeNode top : std::vector<TreeNode>(m_top))
        removeNode(top);
}

const std::vector<TreeNode> &FakeTree::children(TreeNode node) const
{
    return node == TreeNode::None ? m_top : at(node).children;
}

TreeNode FakeTree::find(const QString &path) const
{
    TreeNode node = TreeNode::None;
    for (const QString &text : path.split(QStringLiteral(" > "))) {
        const std::vector<TreeNode> &candidates = children(node);
        const auto found = std::find_if(candidates.begin(), candidates.end(),
                                        [&](TreeNode c) { return at(c).text == text; });
        if (found == candidates.end())
            return TreeNode::None;
        node = *found;
    }
    return node;
}

QStringList FakeTree::childTexts(TreeNode node) const
{
    QStringList texts;
    for (const TreeNode child : children(node))
        texts << at(child).text;
    return texts;
}
