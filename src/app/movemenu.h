#pragma once

#include "browse/folderbrowser.h"
#include "migrate/movecommands.h"

#include <functional>

// The move entries of the tree's pop-up menu: adapts the selected node to the move commands, which
// take folder numbers and library names, and removes the nodes of moved folders by their handles
// (which stay valid while other nodes go). Borrows everything it is given, which must outlive it.
class MoveMenu {
public:
    using SelectedNode = std::function<TreeNode()>;

    MoveMenu(DmContext &dm, MoveFlags &flags, FolderBrowser &browser, FolderTreeView &tree,
             SelectedNode selected, const MoveInstallation &installation);

    // Nothing without a selected node; otherwise how the command ended.
    std::optional<MoveOutcome> MNConvertFolder_Click();
    // Loads the category's level first; a category left without folders leaves the tree.
    std::optional<MoveOutcome> MNConvertAllFolders_Click();
    // The tree keeps showing the library's folders until their level is loaded again.
    std::optional<MoveOutcome> MNConvertLibrary_Click();
    // What the move entry offered for the selected node would do, shown and logged; changes nothing.
    std::optional<MoveOutcome> MNPreviewMove_Click();

private:
    QString libraryOf(TreeNode node) const;
    std::optional<MoveOutcome> convertFolder(MoveCommand &command);
    std::optional<MoveOutcome> convertAllFolders(MoveCommand &command);
    std::optional<MoveOutcome> convertLibrary(MoveCommand &command);

    DmContext &m_dm;
    MoveFlags &m_flags;
    MoveInstallation m_installation;
    FolderBrowser &m_browser;
    FolderTreeView &m_tree;
    SelectedNode m_selected;
    MoveCommand m_command;
};
