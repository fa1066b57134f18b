#pragma once

#include "localdm/store/librarydatabase.h"

// One FOLDER_ITEM row of a folder, with the name of its item's library as the folder's library
// lists it in REMOTE_LIBRARIES (empty when the LIBRARY id is not listed there).
struct FolderItemRow {
    qint64 systemId = 0;
    int docNumber = 0;
    QString libraryName;
    QString displayName;
    QString nodeType;
    bool isFirst = false;
    qint64 next = 0;
};

// The display order of a folder's contents: the ISFIRST/NEXT linked list kept in the FOLDER_ITEM
// rows of the folder's own library. The list may be damaged (no first row, a NEXT that leads
// nowhere or in a circle); reading never hides a row and writing keeps whatever part is sound.
// Writes are meant to run inside the caller's LibraryDatabase::Transaction; failures raise DmError.
namespace FolderItemList {

// Every row under the folder: the list from its first row, then the rows it does not reach in
// SYSTEM_ID order.
QList<FolderItemRow> rows(LibraryDatabase &db, int parent);

// Adds a row at the end of the folder's list and returns its SYSTEM_ID.
qint64 append(LibraryDatabase &db, int parent, int docNumber, qint64 library, const QString &displayName,
              const QString &nodeType);

// Deletes rows one after the other in the order given, each closing its gap: its predecessor takes its
// NEXT, and when it was the first row its successor becomes the first. A row that is gone already is left
// alone.
void unlink(LibraryDatabase &db, const QList<qint64> &systemIds);

} // namespace FolderItemList
