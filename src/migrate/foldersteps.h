#pragma once

#include "dm/dmcontext.h"

// What the folder procedures share: their common log texts, the library lookup and the release of
// the session's shared slots.

// The runtime error number of an object that is missing where a DM call needs it.
constexpr qint32 ObjectNotSetError = 91;

// The entry checks of a folder procedure: CheckFusion with its name, then a current library object
// (without one it logs "Error: Library object not set - cannot continue" and a dash line). False
// means: do no DM work.
bool FolderStepMayStart(DmContext &dm, const QString &procedureName);

// A document number as the log texts write it ("#0").
QString NumberText(int number);

// "Error: (number) - description", the line that carries a DM object's own error.
QString DmErrorLine(qint32 number, const QString &description);

// The first library of the session's libraries collection whose name equals the given one ignoring
// case; null when there is none.
std::shared_ptr<DmLibrary> FindLibrary(const DmSession &session, const QString &libraryName);

// Closes the shared profile and empties both shared slots. Never throws: a profile that fails to
// close is let go all the same.
void ReleaseSharedSlots(DmSession &session);
