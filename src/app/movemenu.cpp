#include "app/movemenu.h"

#include "browse/foldertags.h"

MoveMenu::MoveMenu(DmContext &dm, MoveFlags &flags, FolderBrowser &browser, FolderTreeView &tree,
                   SelectedNode selected, const MoveInstallation &installation)
    : m_dm(dm), m_flags(flags), m_installation(installation), m_browser(browser), m_tree(tree),
      m_selected(std::move(selected)), m_command(dm, flags, installation)
{
}

QString MoveMenu::libraryOf(TreeNode node) const
{
    while (m_tree.parentNode(node) != TreeNode::None)
        node = m_tree.parentNode(node);
    return m_tree.text(node);
}

std::optional<MoveOutcome> MoveMenu::MNConvertFolder_Click()
{
    return convertFolder(m_command);
}

std::optional<MoveOutcome> MoveMenu::MNConvertAllFolders_Click()
{
    return convertAllFolders(m_command);
}

std::optional<MoveOutcome> MoveMenu::MNConvertLibrary_Click()
{
    return convertLibrary(m_command);
}

std::optional<MoveOutcome> MoveMenu::MNPreviewMove_Click()
{
    const std::optional<ConvertMenuChoice> choice = ConvertMenuFor(m_tree, m_selected());
    if (!choice)
        return std::nullopt;
    MovePreview preview(m_dm);
    MoveCommand command(m_dm, m_flags, m_installation, &preview);
    std::optional<MoveOutcome> outcome;
    switch (choice->entry) {
    case ConvertMenuChoice::Folder:
        outcome = convertFolder(command);
        break;
    case ConvertMenuChoice::AllFolders:
        outcome = convertAllFolders(command);
        break;
    case ConvertMenuChoice::Library:
        outcome = convertLibrary(command);
        break;
    }
    if (outcome)
        preview.publish();
    return outcome;
}

std::optional<MoveOutcome> MoveMenu::convertFolder(MoveCommand &command)
{
    const TreeNode node = m_selected();
    if (node == TreeNode::None)
        return std::nullopt;
    return command.moveFolder(libraryOf(node), FolderNumber(m_tree.tag(node)), m_tree.text(node),
                              [&](qsizetype) { m_tree.removeNode(node); });
}

std::optional<MoveOutcome> MoveMenu::convertAllFolders(MoveCommand &command)
{
    const TreeNode category = m_selected();
    if (category == TreeNode::None)
        return std::nullopt;
    m_browser.TVRootFolder_Expand(category);
    const int count = m_tree.childCount(category);
    if (count == 0)
        return std::nullopt;
    QList<MoveListRow> rows;
    QList<TreeNode> nodes;
    for (int i = 0; i < count; ++i) {
        const TreeNode child = m_tree.child(category, i);
        rows.append({m_tree.text(child), FolderNumber(m_tree.tag(child))});
        nodes.append(child);
    }
    const MoveOutcome outcome = command.moveFolders(libraryOf(category), m_tree.text(category), rows,
                                                    [&](qsizetype row) { m_tree.removeNode(nodes[row]); });
    if (m_tree.childCount(category) == 0)
        m_tree.removeNode(category);
    return outcome;
}

std::optional<MoveOutcome> MoveMenu::convertLibrary(MoveCommand &command)
{
    const TreeNode node = m_selected();
    if (node == TreeNode::None)
        return std::nullopt;
    return command.moveLibrary(m_tree.text(node));
}
