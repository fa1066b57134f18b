#pragma once

#include <QString>

// Facts about a library's database file that the DM and the move lock both go by.

// The file a database path reaches, the same text for every path that reaches one file (a symbolic
// link, a bind mount, a hard link): its device and inode. For a file that does not exist, the path with
// its folder's symbolic links resolved.
QString DatabaseFileIdentity(const QString &databaseFile);

// Why a library database file may not be opened, nor a move run over it, as a sentence naming the file
// and the cause; empty when it may, or when it is no regular file (opening it says why). A file with more
// than one name (hard link) is refused: SQLite keeps a write-ahead log beside each name it is opened by,
// so two of them corrupt the library, and a hard-linked "copy" is no backup, as every write changes both.
QString DatabaseFileRefusal(const QString &databaseFile);
