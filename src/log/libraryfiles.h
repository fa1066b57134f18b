#pragma once

#include <QString>
#include <QStringList>

// Why a file Korvel writes (a report, the log) may not be fileName: it is one of the library databases
// or a file SQLite keeps beside one ("-wal", "-shm", "-journal"), as a sentence part ("it is the
// write-ahead log of the library database /dm/archive.db"); empty when it is none of them. Such a file
// need not exist yet: SQLite makes and deletes it as it goes, and finds a file of that name its own, so
// a report written there damages the library. The name is compared through the folder it lies in, so a
// symbolically linked folder or a bind mount does not hide it.
QString LibraryFileRefusal(const QString &fileName, const QStringList &databases);
