#pragma once

#include "dm/dmcontext.h"

#include <QHash>

// Whether AddFolderItem re-sorts the receiving folder after the link. A caller that links many items
// into one folder defers the sort and calls SortFolders once at the end.
enum class ParentSort { Sort, Defer };

// What AddFolderItem learns from the DM that holds for every item a caller links in one run of links:
// the library objects found by name in the libraries collection, whether the user may save into the
// receiving folder's library, and the receiving folder object itself once it has been saved. A caller
// that links many items keeps one memo for the run, so that each item costs the same DM calls whatever
// the folder's size; every log line of each link is still written. The memo holds DM objects: it must
// not outlive the session they came from.
class LinkMemo {
public:
    std::shared_ptr<DmLibrary> library(const DmSession &session, const QString &libraryName);
    // The answer of the current library's "User.SaveToRemoteLibrary" right, asked once per library.
    bool savesToRemoteLibrary(const std::shared_ptr<DmLibrary> &current);
    // The folder object last saved as folder number of library, or null.
    std::shared_ptr<DmFolder> savedFolder(int number, const QString &libraryName) const;
    void keepSavedFolder(const std::shared_ptr<DmFolder> &folder) { m_folder = folder; }
    void forgetFolder() { m_folder.reset(); }

private:
    QHash<QString, std::shared_ptr<DmLibrary>> m_libraries;
    QHash<QString, bool> m_remoteSaves;
    std::shared_ptr<DmFolder> m_folder;
};

// Whether folders may be saved into the library from the current library: always into the current
// library itself, into another one with the current library's "User.SaveToRemoteLibrary" right (its
// answer kept in the memo when one is given). False after an "Error:" line and a dash line.
bool MaySaveInto(DmContext &dm, const QString &library, LinkMemo *memo = nullptr);

// Puts an item (a document, or a folder when ItemType is exactly "F") of ItemLib into the folder
// ParentDocNumber of ParentLib, through the DM objects: the folder receives a reference to the item
// where it lives. Works in whatever library is current and reaches the others through the libraries
// collection; uses the session's shared folder and profile slots and leaves both empty (except when
// the session check fails or a number is 0). With a memo, what it holds is taken from there. True when the
// item is in the folder at the end, newly added or already there (alreadyThere, when given, tells which);
// a failed sort of the folder is logged and does not fail the link.
bool AddFolderItem(DmContext &dm, int ItemDocNumber, int ParentDocNumber, const QString &ItemType,
                   const QString &ParentLib, const QString &ItemLib, ParentSort sort = ParentSort::Sort,
                   LinkMemo *memo = nullptr, bool *alreadyThere = nullptr);
