#pragma once

#include "dm/dmcontext.h"

#include <QHash>

// Whether AddFolderItem re-sorts the receiving folder after the link. A caller that links many items
// into one folder defers the sort and calls SortFolders once at the end.
enum class ParentSort { Sort, Defer };

// What linking learns from the DM that holds for every item a LinkBatch links in one run of links:
// the library objects found by name in the libraries collection, whether the user may save into the
// receiving folder object itself, kept open while it holds nothing that a failed save left unwritten. A
// caller that links many items keeps one memo for the run, so that each item costs the same DM calls
// whatever the folder's size; every log line of each link is still written. The memo holds DM objects: it
// must not outlive the session they came from.
class LinkMemo {
public:
    std::shared_ptr<DmLibrary> library(const DmSession &session, const QString &libraryName);
    // The answer of the current library's "User.SaveToRemoteLibrary" right, asked once per library.
    bool savesToRemoteLibrary(const std::shared_ptr<DmLibrary> &current);
    // The folder object kept open as folder number of library, or null.
    std::shared_ptr<DmFolder> openFolder(int number, const QString &libraryName) const;
    void keepFolder(const std::shared_ptr<DmFolder> &folder) { m_folder = folder; }
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
// the session check fails or a number is 0). True when the item is in the folder at the end, newly added
// or already there; a failed sort of the folder is logged and does not fail the link.
bool AddFolderItem(DmContext &dm, int ItemDocNumber, int ParentDocNumber, const QString &ItemType,
                   const QString &ParentLib, const QString &ItemLib, ParentSort sort = ParentSort::Sort);

// Links many items into folders as AddFolderItem links each, with the same checks and log lines, but
// keeps the receiving folder open and saves it once for a batch of items: one DM save, and so one
// transaction, for hundreds of links instead of one each. An added item is pending until the save of
// its batch; only then is its success line logged, and when that save fails no item of the batch is
// linked. The folder is sorted by the caller, once, when all its items are in.
class LinkBatch {
public:
    enum class Outcome {
        Failed,         // not linked; the log says why
        AlreadyThere,   // the folder held the item before
        Pending,        // added to the open folder: linked once save() succeeds
        AlreadyPending, // an item this batch adds already: linked, or not, with it
    };

    LinkBatch(DmContext &dm, LinkMemo &memo) : m_dm(dm), m_memo(memo) {}
    LinkBatch(const LinkBatch &) = delete;
    LinkBatch &operator=(const LinkBatch &) = delete;

    // The steps of AddFolderItem up to the add. The caller saves first when the receiving folder is
    // another than that of the pending items.
    Outcome add(int item, int parent, const QString &itemType, const QString &parentLib,
                const QString &itemLib);
    // Saves the folder with its pending items and logs each item's success line; true when the save
    // went through or nothing was pending. Either way no item is pending afterwards.
    bool save();
    // The receiving folder of the pending items, 0 when none is pending.
    int folder() const { return m_pending.isEmpty() ? 0 : m_parent; }
    qsizetype pending() const { return m_pending.size(); }

private:
    DmContext &m_dm;
    LinkMemo &m_memo;
    int m_parent = 0;
    QString m_parentLib;
    QList<std::pair<int, QString>> m_pending; // the pending items by number and upper-case library
};
