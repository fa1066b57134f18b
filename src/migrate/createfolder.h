#pragma once

#include "dm/dmcontext.h"
#include "dm/sqlrows.h"
#include "migrate/addfolderitem.h"
#include "migrate/moveplan.h"

#include <optional>

// Makes folder FolderName in TargetLib under the folder ParentDocNumber of that library (0: at the top
// level, public when IsRoot), with the profile columns and the security of the source folder
// SourceDocNumber of SourceLib (none when either is empty), and links it into its parent. Returns the
// document number of the folder that now stands there, or 0 on every failure.
//
// A folder of the same name already in that place is reused instead, as ChooseTakeUp says: unless its
// access is wider than the source's; a reused folder that this program made and whose security copy failed
// gets the copy again; where none is found, the folders of its name that an earlier run left half-made
// where nothing finds them (LeftoversAmong) are removed before it is made. The link defers the parent's sort
// when parentSort says so (the caller then sorts the parent). With a plan, what is found in the folder's
// place must be what the plan found there; otherwise the library changed since it was read, and the creation
// fails with an "Error:" line saying what changed.
//
// What a failure leaves behind: nothing, before the profile is saved; afterwards the new folder stays
// in the target library, restricted to the user running the move unless its security was copied. A
// failure before the security copy leaves it unlinked; one of the copy itself does not stop the link,
// so that a later run finds the folder and copies again. Uses the session's shared folder and profile
// slots and leaves both empty; reconnects to the library current on entry.
// What a move's plan found in a folder's place: the folder it takes up (0 when it makes one), and the choice.
struct PlannedCreation {
    int found = 0;
    TakeUpChoice choice = TakeUpChoice::TakeUp;
    // The folders left half-made by an earlier run that the creation removes, as the plan read them. They
    // are the mover's own, private and filed nowhere, so no other user can change them meanwhile, and
    // the lock keeps the mover's other runs away: the creation need not search for them again.
    std::optional<QList<int>> leftovers;
    // The source's access as the plan read it, for the security copy.
    std::optional<FolderAccess> sourceAccess;
};

int CreateFolder(DmContext &dm, const QString &FolderName, int ParentDocNumber, bool IsRoot,
                 const QString &TargetLib, int SourceDocNumber, const QString &SourceLib,
                 ParentSort parentSort = ParentSort::Sort, const PlannedCreation *planned = nullptr);

// Where CreateFolder looks for a folder to take up instead of making one; both read only.
//
// The first subfolder of TargetLib named FolderName (ignoring case) that the DM lists in folder
// ParentDocNumber of TargetLib; 0 when there is none, nullopt when the parent cannot be opened. Uses the
// session's shared folder slot and leaves it empty.
std::optional<int> SubfolderNamed(DmContext &dm, const QString &FolderName, int ParentDocNumber,
                                  const QString &TargetLib);
// True when folder docNumber of the current library carries this program's folder path: CreateFolder
// made it. A folder taken up that this program made and left restricted to the user running the move gets
// the security copy again.
bool MadeByThisProgram(DmContext &dm, int docNumber);
// The same search by SQL in the current library, which must be TargetLib: under a parent (not 0) its
// subfolder rows of that name; at the top level the folders of that name that no folder holds, with the
// root status IsRoot and, when private, made by this program. The first row is the one taken.
SqlRows FoldersNamed(DmContext &dm, const QString &FolderName, int ParentDocNumber, bool IsRoot,
                     const QString &TargetLib);
// The folders of the current library that a run ended abruptly left half-made, among those that match
// (a condition on PR, the PROFILE row): empty, typed by the user running the move, and with this
// program's folder path, or an unset one and creation rows of today still in the activity log. A folder
// the user made by hand on an earlier day is never among them. CreateFolder removes them.
SqlRows HalfMadeFolders(DmContext &dm, const QString &match);
// A folder of the current library that HalfMadeFolders finds, with what tells the leftovers apart.
struct HalfMadeFolder {
    int number = 0;
    QString name;
    bool filedAsFolder = false; // a folder of the current library holds it
    bool root = false;
    bool madeToday = false; // its creation's activity rows of today are still there
};
// Every half-made folder of the current library, read at once, so that a move of many folders searches
// the library once rather than once per folder; nullopt, with the SQL error in error, when the read fails.
std::optional<QList<HalfMadeFolder>> ReadHalfMadeFolders(DmContext &dm, QString &error);
// The numbers of the half-made folders named FolderName (ignoring case and trailing blanks) that no search
// for a folder to take up finds: private, filed in no folder of the current library, and not the folder
// ParentDocNumber that the new one goes into; at the top level (ParentDocNumber 0) also still holding
// today's activity rows of its creation, which a finished creation clears. CreateFolder removes them all
// before it makes the folder, wherever it makes it, so that a run that failed and could not remove what it
// left leaves no duplicate after a later run; a move's plan names the first of them as the folder made
// anew.
QList<int> LeftoversAmong(const QList<HalfMadeFolder> &folders, const QString &FolderName,
                          int ParentDocNumber);
