#pragma once

#include "dm/dmcontext.h"
#include "dm/errornumbers.h"

// What the folder procedures share: their common log texts, the library lookup and the release of
// the session's shared slots.

// The entry checks of a folder procedure: CheckFusion with its name, then a current library object
// (without one it logs "Error: Library object not set - cannot continue" and a dash line). False
// means: do no DM work.
bool FolderStepMayStart(DmContext &dm, const QString &procedureName);

// A document number as the log texts write it ("#0").
QString NumberText(int number);

// A name between double quotes, as the log texts show folder names.
QString Quoted(const QString &name);

// An item of a move as the preview and a failure's cause name it: "Folder #12 "Name" of library L".
QString ItemText(const QString &kind, int number, const QString &name, const QString &library);

// Raises a move counter of the window by one (an empty counter counts as 0).
void RaiseCounter(WindowSeam &window, MoveCounter which);

// "Error: (number) - description", the line that carries a DM object's own error.
QString DmErrorLine(qint32 number, const QString &description);

// A right of the user in the library ("User.CreateFolder") or a flag parameter of the library
// ("DOCSParms.UniqueDocNames"), as its properties hold it: false when the library gives no properties.
// Raises DmError as the DM does, for a name the DM does not know too: the caller's error style decides
// what that means.
bool LibraryFlag(const DmLibrary &library, const QString &name);

// "Error: <user> does not have rights to manage folders in library <library>": the user running the move
// lacks a folder right there.
QString NoFolderRightsLine(const DmLibrary &library);

// The first library of the session's libraries collection whose name equals the given one ignoring
// case; null when there is none.
std::shared_ptr<DmLibrary> FindLibrary(const DmSession &session, const QString &libraryName);

// "<name> is not a library of this DM installation (its libraries: A, B, C)": a mistyped name is put right
// from the message alone.
QString UnknownLibraryText(const DmSession &session, const QString &libraryName);

// Sibling folders of the tree whose names are equal by this key become one folder in the target: the DM
// finds an existing folder by its name ignoring case as the target library's database does, and a blank at
// either end does not make another. Raises DmError when the target cannot be reached.
QString TwinKey(DmLibrary &target, const QString &name);

// A fixed message and, when there is one, the DM's description of its cause on a line of its own.
QString WithCause(const QString &message, const QString &cause);

// "Error: <what>: <cause>" - the one line a folder gets once a library it needs is lost; the cause is the
// DM's, which names the library.
QString LostLibraryLine(const QString &what, const QString &cause);

// Makes what the pass-through changed in the current library durable now. Oracle holds every change since
// the last COMMIT in an implicit transaction that would otherwise end only with the next library switch
// (or be lost with the session); the other engines commit each statement on its own. False, after an
// "Error:" line, when the COMMIT was refused.
bool CommitChanges(DmContext &dm);

// Closes the shared profile and empties both shared slots. Never throws: a profile that fails to
// close is let go all the same.
void ReleaseSharedSlots(DmSession &session);
