#pragma once

#include "dm/dmcontext.h"

#include <QList>
#include <QStringList>

#include <functional>

#include <optional>

// One named trustee of a folder: a user (PEOPLE.USER_ID) or a group (GROUPS.GROUP_ID) with its rights.
struct FolderTrustee {
    QString id;
    bool group = false;
    int rights = 0;
};

// Who may reach a folder, as its PROFILE.DEFAULT_RIGHTS and SECURITY rows say.
struct FolderAccess {
    int defaultRights = 0;
    QList<FolderTrustee> trustees;
    // Rights of the rows for everyone (PERSONORGROUP 0).
    QList<int> everyoneRows;
    // Rows that name neither a user nor a group of the library.
    int unnamedRows = 0;

    int rowCount() const { return int(trustees.size() + everyoneRows.size()) + unnamedRows; }
    // Open as a source folder: no trustees and DEFAULT_RIGHTS 0, the group "DOCS_USERS" alone with
    // rights 255, or the single (0, 255) row of an earlier open copy with DEFAULT_RIGHTS 0.
    bool isOpen() const;
    // Reaches users that no trustee names: DEFAULT_RIGHTS 0, a row for everyone, or a row for nobody known.
    bool reachesEveryone() const;
    // The restriction a failed copy leaves: DEFAULT_RIGHTS 1 and the user alone, with rights 255.
    bool isRestrictedTo(const QString &userId) const;
};

// Reads the access of a folder of the current library; empty when a query failed or the library has
// no profile of that number (the failure is logged).
std::optional<FolderAccess> ReadFolderAccess(DmContext &dm, int docNumber);

// True when the target gives someone other than the user running the move (moverId) rights that the
// source does not give them, or is open where the source is not.
bool AccessWider(const FolderAccess &target, const FolderAccess &source, const QString &moverId);

// How a folder's access falls short of the one a copy from its source gives, one phrase per difference
// ("gives wider access than " + source, and so on): wider access, an open source not open there, a trustee
// of the source that the target knows (known is asked only for the missing ones) absent or with other
// rights.
QStringList AccessDifferences(const FolderAccess &copy, const FolderAccess &source, const QString &moverId,
                              const QString &sourceText,
                              const std::function<bool(const FolderTrustee &)> &known);

// Whether the current library has the user or group that a trustee names, looked up by id as the copy
// inserts trustees; nullopt when the query was refused.
std::optional<bool> TrusteeKnown(DmContext &dm, const FolderTrustee &trustee);

enum class SecurityOutcome {
    Copied,           // the source's trustees, or open access for an open source; also: no source given
    RestrictedToUser, // the copy failed; only the user running the move has access
    Unsecured,        // the copy failed and so did the restriction: the folder keeps what it had
};

// Gives folder docNumber of TargetLib the access of folder SourceDocNumber of SourceLib: open access
// for an open source, else its trustees, each looked up by id in the target. Any failure (a library
// that cannot be connected, a refused statement, no trustee known in the target) restricts the folder
// to the user running the move and logs who lost access. Leaves the connection on TargetLib when it
// could be reached and the shared profile slot empty. A move hands the source's access as its plan read
// it (sourceAccess): the check before removal reads it again and keeps the source where it changed since.
SecurityOutcome CopyFolderSecurity(DmContext &dm, const QString &SourceLib, int SourceDocNumber,
                                   const QString &TargetLib, int docNumber,
                                   const std::optional<FolderAccess> &sourceAccess = std::nullopt);

// Restricts folder docNumber of the current library to the user running the move (DEFAULT_RIGHTS 1,
// that user alone with rights 255) and logs that lostAccess has no access to it. False when a
// statement failed.
bool RestrictToMover(DmContext &dm, int docNumber, const QString &lostAccess);

// The condition (" AND TYPIST = ... AND START_DATE = ...") on ACTIVITYLOG rows that the user running the
// move wrote today, in each engine's date form. Needs a current library object.
QString TodaysActivityOfMover(const DmSession &session);

// Removes the activity-log rows that creating, saving and linking folder docNumber wrote today for
// the user running the move. Runs only while the current library is TargetLib; false (with a
// "Warning:" line) when it did not run or the statement failed.
bool ClearCreationActivity(DmContext &dm, const QString &TargetLib, int docNumber);
