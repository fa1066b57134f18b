#pragma once

#include "browse/foldertreeview.h"
#include "dm/dmcontext.h"
#include "dm/sqlrows.h"

#include <QHash>

#include <optional>

// The entry of the tree's pop-up menu that fits a node, with its caption.
struct ConvertMenuChoice {
    enum Entry { Folder, AllFolders, Library };
    Entry entry;
    QString caption;
};

// The decision of the tree's right-click handler (TVRootFolder_MouseDown): the move entry that fits
// the node under the mouse; none for no node, or a node without text or tag (a placeholder).
std::optional<ConvertMenuChoice> ConvertMenuFor(const FolderTreeView &tree, TreeNode node);

// The folder tree of the main window: one top node per library, under each the categories Public and
// Shared/Personal, and under those the folders the user may move, loaded level by level by SQL from
// the library the node belongs to the first time the level is opened. A node whose only child is the
// placeholder "[]" has not been loaded yet.
//
// Borrows the DM context and the tree view, which must outlive it. Owns the user's people ids, looked
// up once per library: PEOPLE.SYSTEM_IDs are numbered per library, so one library's id would show
// another person's folders in the next.
class FolderBrowser {
public:
    FolderBrowser(DmContext &dm, FolderTreeView &tree);

    // The three-level start of a library's tree: the library node, its two category nodes and a
    // placeholder under each. Returns the library node.
    TreeNode AddLibraryNodes(const QString &libraryName);

    // Fills one not yet loaded level: the folders under node in libraryName, which tag names. Switches
    // to that library for the query and always switches back, restoring the status text and the mouse
    // pointer. A level that fails to load gets its placeholder back and is collapsed, so that it shows
    // as not loaded and opening it again retries. Always false (the callers ignore it).
    bool GetFolders(TreeNode node, const QString &libraryName, const QString &tag);

    // Loads the node's level on its first expansion. Errors are ignored.
    void TVRootFolder_Expand(TreeNode node);
    // A click on a library node other than the current library makes it the current library.
    void TVRootFolder_NodeClick(TreeNode node);
    // Switches the current library to the one named by the chosen library menu entry.
    void MNLibList_Click(const QString &caption);
    // Loads the node's level again (a placeholder's: its parent's) and shows it open, or on a library
    // node puts the library's tree back to its start, to load again level by level as it is opened.
    void MNRefresh_Click(TreeNode node);

private:
    // Adds the level's folders under node; false, reported, when a statement failed.
    bool loadLevel(TreeNode node, const QString &libraryName, const QString &tag);
    // An "Error:" line with the SQL error, and the same in a warning box while Display Errors is on.
    void reportLevelFailure(const QString &libraryName, const SqlRows &rows);
    void addPlaceholder(TreeNode node);
    void addCategories(TreeNode library);
    TreeNode libraryNodeOf(TreeNode node) const;
    // The user's PEOPLE.SYSTEM_ID in the current library (0 when the user is not listed, looked up
    // again next time); none, reported, when the lookup failed.
    std::optional<qint32> peopleId(const QString &libraryName);

    DmContext &m_dm;
    FolderTreeView &m_tree;
    QHash<QString, qint32> m_peopleIds; // by library name, upper case
};
