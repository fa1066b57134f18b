#include "dmapi/databasefile.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <sys/stat.h>

QString DatabaseFileIdentity(const QString &databaseFile)
{
    struct stat status {};
    if (::stat(QFile::encodeName(databaseFile).constData(), &status) == 0)
        return QStringLiteral("file %1:%2").arg(quint64(status.st_dev)).arg(quint64(status.st_ino));
    const QFileInfo file(databaseFile);
    const QString folder = file.absoluteDir().canonicalPath();
    return folder.isEmpty() ? file.absoluteFilePath() : folder + u'/' + file.fileName();
}

QString DatabaseFileRefusal(const QString &databaseFile)
{
    struct stat status {};
    // A directory has a name in its parent and one in itself; opening it fails for what it is.
    if (::stat(QFile::encodeName(databaseFile).constData(), &status) != 0 || !S_ISREG(status.st_mode) ||
        status.st_nlink <= 1)
        return {};
    return QStringLiteral("the database file %1 has %2 names (hard links): SQLite would keep a write-ahead "
                          "log beside each name, which corrupts the library, and a hard-linked copy is no "
                          "backup - remove the other names")
        .arg(QDir::toNativeSeparators(databaseFile))
        .arg(quint64(status.st_nlink));
}
