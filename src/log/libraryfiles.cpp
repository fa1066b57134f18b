#include "log/libraryfiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <optional>

#include <sys/stat.h>

namespace {

struct SideFile {
    const char *suffix;
    const char *what;
};

constexpr SideFile SideFiles[] = {
    {"", "the library database"},
    {"-wal", "the write-ahead log of the library database"},
    {"-shm", "the shared-memory index of the library database"},
    {"-journal", "the rollback journal of the library database"},
};

std::optional<struct stat> statOf(const QString &path)
{
    struct stat status {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return std::nullopt;
    return status;
}

bool sameFile(const std::optional<struct stat> &a, const std::optional<struct stat> &b)
{
    return a && b && a->st_dev == b->st_dev && a->st_ino == b->st_ino;
}

// Whether the two paths name one file, which need not exist: the same name in the same folder, however
// the folder is reached, or one existing file under two names.
bool sameName(const QFileInfo &a, const QFileInfo &b)
{
    if (a.fileName() == b.fileName() && (a.absolutePath() == b.absolutePath() ||
                                         sameFile(statOf(a.absolutePath()), statOf(b.absolutePath()))))
        return true;
    return sameFile(statOf(a.absoluteFilePath()), statOf(b.absoluteFilePath()));
}

} // namespace

QString LibraryFileRefusal(const QString &fileName, const QStringList &databases)
{
    if (fileName.isEmpty())
        return {};
    const QFileInfo written(fileName);
    for (const QString &database : databases) {
        // SQLite names its side files after the database's real path when the file is a symbolic link.
        QStringList names{QFileInfo(database).absoluteFilePath()};
        if (const QString real = QFileInfo(database).canonicalFilePath(); !real.isEmpty() && real != names[0])
            names << real;
        for (const QString &name : std::as_const(names))
            for (const SideFile &side : SideFiles)
                if (sameName(written, QFileInfo(name + QLatin1String(side.suffix))))
                    return QStringLiteral("it is ") + QLatin1String(side.what) + u' ' +
                           QDir::toNativeSeparators(database);
    }
    return {};
}
