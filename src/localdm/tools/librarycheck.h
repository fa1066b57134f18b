#pragma once

#include "localdm/localdm.h"

#include <QHash>
#include <QMap>
#include <QSet>
#include <QStringList>

#include <map>
#include <optional>

// Verifies that the libraries of a local DM installation keep the data conventions the program
// relies on, and shows folder trees as they are stored. It only reads, through the databases that
// the LocalDm it is given opens; what it learns about a library is kept for its own lifetime, so
// make a new one after the libraries change.
class LibraryCheck {
public:
    explicit LibraryCheck(LocalDm &dm);

    // One readable line per violation, each starting with the library and the table and naming the
    // rows by their ids; empty when all is well. Every library of the installation, in its order; one
    // that cannot be opened is reported with the reason and the others are checked all the same.
    // A folder that contains itself, directly or through other folders, is a violation. Each library's
    // store first checks its own database; a damaged one is reported with the first fault found, and
    // its rows are not read, as they cannot be trusted, nor are other libraries' items checked against it.
    QStringList violations();
    QStringList violations(const QString &library);

    // The folder tree of a library in display order (the ISFIRST/NEXT lists), one line per node:
    // two blanks per level, the node type, "#" and the document number, the item's library and its
    // name in double quotes. Items that the list does not reach follow their folder's list, marked;
    // a folder that contains itself is shown once more, marked, and not opened again.
    // With docNumber 0 the tree starts at the library's roots: "Public" with the folders of
    // ROOT_OBJECT, then "Shared/Personal" with the other folders that no folder of any library holds.
    // Otherwise it starts at that folder; throws DmError when the library has no such folder.
    QStringList folderTree(const QString &library, qint64 docNumber = 0);

    // Why each library that this check needed could not be opened, one line each; its items are shown
    // and checked as those of a library outside the installation.
    QStringList unopened() const { return m_unopened.values(); }
    // What the stores could not check of their databases in violations(), one line per library:
    // "LIBRARY: not checked: why".
    QStringList unchecked() const { return m_unchecked; }

private:
    struct Facts {
        QString name;                   // as the installation spells it
        QHash<qint64, QString> remotes; // REMOTE_LIBRARIES: SYSTEM_ID to LIBRARY_NAME
        QSet<qint64> profiles;          // PROFILE.DOCNUMBER
        QSet<qint64> folders;           // FOLDER.DOCNUMBER
    };

    // Null when the installation has no library of that name or it cannot be opened (then noted).
    const Facts *facts(const QString &library);
    // The facts of a library that must open; throws DmError saying why it does not.
    const Facts &openedFacts(const QString &library);
    // Lines for the folders of the library that contain themselves.
    QStringList folderCycles(const Facts &library);
    // The installation's library that an item's LIBRARY names in the given library; null when none.
    const Facts *itemLibrary(const Facts &in, qint64 remoteId);
    void appendChildren(QStringList &lines, const Facts &library, qint64 folder, int depth,
                        QSet<std::pair<QString, qint64>> &path);

    LocalDm &m_dm;
    std::map<QString, Facts> m_facts;  // by upper-case library name
    QMap<QString, QString> m_unopened; // the reason, by library name
    QSet<QString> m_damaged;           // upper-case names of libraries whose store found a fault
    QStringList m_unchecked;
    // Folders held by each folder: (library, folder) to (library, folder) of its 'F' items.
    std::optional<QHash<std::pair<QString, qint64>, QList<std::pair<QString, qint64>>>> m_subfolders;
};
