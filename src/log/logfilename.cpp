#include "log/logfilename.h"

#include "log/libraryfiles.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

QString DatedLogFileName(const QString &configuredPath, const QDate &date)
{
    const QString stamp = date.toString(QStringLiteral("yyyyMMdd"));
    const qsizetype nameStart =
        std::max(configuredPath.lastIndexOf(u'\\'), configuredPath.lastIndexOf(u'/')) + 1;
    const qsizetype dot = configuredPath.lastIndexOf(u'.');
    if (dot < nameStart)
        return configuredPath + u'_' + stamp + QStringLiteral(".txt");
    return configuredPath.left(dot) + u'_' + stamp + u'.' + configuredPath.mid(dot + 1);
}

QStringList DatedLogFiles(const QString &configuredPath)
{
    // Any day's name, split around its date, gives what the names of all days share.
    const QFileInfo anyDay(DatedLogFileName(configuredPath, QDate(2000, 1, 1)));
    const QString stamp = QStringLiteral("20000101");
    const QString name = anyDay.fileName();
    const qsizetype at = name.lastIndexOf(stamp);
    const QString head = name.left(at);
    const QString tail = name.mid(at + stamp.size());
    const QDir folder = anyDay.absoluteDir();
    QStringList files;
    // Names sort as their dates do, so the newest comes first.
    for (const QString &entry : folder.entryList(QDir::Files, QDir::Name | QDir::Reversed)) {
        if (entry.size() != name.size() || !entry.startsWith(head) || !entry.endsWith(tail))
            continue;
        const QStringView date = QStringView(entry).sliced(head.size(), stamp.size());
        if (std::all_of(date.begin(), date.end(), [](QChar c) { return c.isDigit(); }))
            files << folder.filePath(entry);
    }
    return files;
}

QString LogPathRefusal(const QString &configuredPath, const QStringList &libraryDatabases, const QDate &date)
{
    const QString refusal = LibraryFileRefusal(configuredPath, libraryDatabases);
    return refusal.isEmpty() ? LibraryFileRefusal(DatedLogFileName(configuredPath, date), libraryDatabases)
                             : refusal;
}

QString TwelveHourTime(const QTime &time)
{
    const int hour12 = time.hour() % 12 == 0 ? 12 : time.hour() % 12;
    const QLocale locale;
    return QStringLiteral("%1:%2:%3 ")
               .arg(hour12, 2, 10, QLatin1Char('0'))
               .arg(time.minute(), 2, 10, QLatin1Char('0'))
               .arg(time.second(), 2, 10, QLatin1Char('0')) +
           (time.hour() < 12 ? locale.amText() : locale.pmText());
}

QString LogTimeStamp(const QDateTime &when)
{
    return when.date().toString(QStringLiteral("yyyy-MM-dd ")) + TwelveHourTime(when.time());
}

QString DefaultLogFolder()
{
    // A build directory or an installed program's folder is no place for a user's records, writable or not.
    const QString folder =
        QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) + QStringLiteral("/korvel");
    QDir().mkpath(folder);
    return folder;
}
