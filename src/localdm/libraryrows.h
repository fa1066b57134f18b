#pragma once

#include "localdm/store/librarydatabase.h"

#include <optional>

// Row-level facts and writes that several DM objects need from one library database. Every
// function raises DmError when the database fails; the writes are meant to run inside the caller's
// LibraryDatabase::Transaction.
namespace LibraryRows {

// ACTIVITYLOG.ACTIVITYTYPE values the local DM writes.
enum class Activity { Created = 1, Edited = 2, Linked = 3, Deleted = 4 };

// Today's date as the DM stores dates without time ("YYYY-MM-DD").
QString today();

// A library parameter or right flag as text: "1", "-1", "Y", "YES", "TRUE" and "ON" (any case) are on.
bool flagOn(const QString &text);

// PEOPLE.SYSTEM_ID of a user id (compared case-insensitively); empty when the library has no such user.
std::optional<qint64> personId(LibraryDatabase &db, const QString &userId);
// The same, raising LocalError::UnknownUser when the user is not a user of the library.
qint64 requirePerson(LibraryDatabase &db, const QString &userId);

// SYSTEM_ID under which this library's REMOTE_LIBRARIES lists a library (0 is the library itself).
std::optional<qint64> remoteLibraryId(LibraryDatabase &db, const QString &libraryName);
// The same, raising LocalError::NotRemoteLibrary when the library is not listed.
qint64 requireRemoteLibraryId(LibraryDatabase &db, const QString &libraryName);
// Raises LocalError::NotRemoteLibrary for a library that db's REMOTE_LIBRARIES does not list.
[[noreturn]] void refuseUnlisted(const LibraryDatabase &db, const QString &libraryName);

// True when a profile of that document number has a FOLDER row.
bool isFolder(LibraryDatabase &db, int docNumber);

// Writes one ACTIVITYLOG row dated today for the user whose PEOPLE.SYSTEM_ID is typist.
void logActivity(LibraryDatabase &db, int docNumber, qint64 typist, Activity activity,
                 const QString &description);

} // namespace LibraryRows
