#pragma once

#include <QString>

// The SQL that lists one level of the folder tree in the library being browsed, for the person whose
// PEOPLE.SYSTEM_ID is given: folders the person, one of the person's groups or everyone holds any
// right on, and those without trustees whose default rights are off. folderNumber 0 lists the public
// top folders by display name, -1 the folders that lie in no folder and are not public by document
// name, and any other number the subfolders of that folder (a negative number other than -1: the
// first items of every folder list) filed from libraryName. Document numbers are numbered per
// library, so "in no folder" looks only at the items that come from libraryName: an item of another
// library with the same number must not hide a folder. Owner placeholders are left for the SQL runner.
QString FolderLevelQuery(qint32 folderNumber, qint32 peopleId, const QString &libraryName);

// Looks up the PEOPLE.SYSTEM_ID of a login id.
QString PeopleIdQuery(const QString &userId);
