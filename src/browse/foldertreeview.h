#pragma once

#include <QString>
#include <QtGlobal>

// A node of the folder tree as the view identifies it. Handles stay valid until the node is removed;
// None stands for "no node" and, as a parent, for the top level.
enum class TreeNode : quintptr { None = 0 };

// Indexes into the window's image list of tree pictures.
enum TreeImage : int {
    CategoryImage = 2,
    CategoryOpenImage = 3,
    LibraryImage = 5,
    FolderImage = 6,
    FolderOpenImage = 7,
};

// The tree view that the folder tree logic fills and reads. Nodes carry a text, a tag that tells what
// they are, and the pictures shown closed and expanded. The main window implements it over its tree
// widget; tests implement it in memory. Calls are made on the window thread only.
class FolderTreeView {
public:
    virtual ~FolderTreeView() = default;

    // Appends a node as the last child of parent (None: a new top node) and returns its handle.
    virtual TreeNode addNode(TreeNode parent, const QString &text, const QString &tag, int image,
                             int expandedImage) = 0;
    // None for a top node.
    virtual TreeNode parentNode(TreeNode node) const = 0;
    virtual QString text(TreeNode node) const = 0;
    virtual QString tag(TreeNode node) const = 0;
    virtual int childCount(TreeNode node) const = 0;
    // The child at index (from 0) in display order.
    virtual TreeNode child(TreeNode node, int index) const = 0;
    // Removes the node with everything below it; its handle and theirs are dead afterwards.
    virtual void removeNode(TreeNode node) = 0;
    // Scrolls the node into view, expanding its ancestors.
    virtual void makeVisible(TreeNode node) = 0;
    // Shows the node closed (its children hidden).
    virtual void collapse(TreeNode node) = 0;
    // Removes every node.
    virtual void clear() = 0;
};
