#include "localdm/libraryrows.h"

#include "localdm/localerror.h"

#include <QDateTime>

namespace LibraryRows {

QString today()
{
    // Asking for the local date reads the time zone each time; the text changes only when the clock
    // leaves the day it was made for.
    thread_local QString text;
    thread_local qint64 dayStart = 0;
    thread_local qint64 nextDayStart = 0;
    const qint64 now = QDateTime::currentMSecsSinceEpoch();
    if (now < dayStart || now >= nextDayStart) {
        const QDate date = QDate::currentDate();
        text = date.toString(Qt::ISODate);
        dayStart = QDateTime(date, QTime(0, 0)).toMSecsSinceEpoch();
        nextDayStart = QDateTime(date.addDays(1), QTime(0, 0)).toMSecsSinceEpoch();
    }
    return text;
}

bool flagOn(const QString &text)
{
    static const QStringList On = {QStringLiteral("1"),   QStringLiteral("-1"),   QStringLiteral("Y"),
                                   QStringLiteral("YES"), QStringLiteral("TRUE"), QStringLiteral("ON")};
    return On.contains(text.trimmed().toUpper());
}

std::optional<qint64> personId(LibraryDatabase &db, const QString &userId)
{
    const QVariant id =
        db.lookup(QStringLiteral("SELECT SYSTEM_ID FROM PEOPLE WHERE UPPER(USER_ID) = UPPER(?1)"), {userId});
    return id.isValid() ? std::optional<qint64>(id.toLongLong()) : std::nullopt;
}

qint64 requirePerson(LibraryDatabase &db, const QString &userId)
{
    if (const auto id = personId(db, userId))
        return *id;
    throw LocalDmError(LocalError::UnknownUser,
                       QStringLiteral("%1 is not a user of library %2").arg(userId, db.config().name));
}

std::optional<qint64> remoteLibraryId(LibraryDatabase &db, const QString &libraryName)
{
    const QVariant id = db.lookup(
        QStringLiteral("SELECT MIN(SYSTEM_ID) FROM REMOTE_LIBRARIES WHERE UPPER(LIBRARY_NAME) = UPPER(?1)"),
        {libraryName});
    return id.isValid() ? std::optional<qint64>(id.toLongLong()) : std::nullopt;
}

qint64 requireRemoteLibraryId(LibraryDatabase &db, const QString &libraryName)
{
    if (const auto id = remoteLibraryId(db, libraryName))
        return *id;
    refuseUnlisted(db, libraryName);
}

void refuseUnlisted(const LibraryDatabase &db, const QString &libraryName)
{
    throw LocalDmError(LocalError::NotRemoteLibrary,
                       QStringLiteral("Library %1 is not listed in the REMOTE_LIBRARIES of library %2")
                           .arg(libraryName, db.config().name));
}

bool isFolder(LibraryDatabase &db, int docNumber)
{
    return db.scalar(QStringLiteral("SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1"), {docNumber})
               .toInt() > 0;
}

void logActivity(LibraryDatabase &db, int docNumber, qint64 typist, Activity activity,
                 const QString &description)
{
    db.exec(QStringLiteral("INSERT INTO ACTIVITYLOG (SYSTEM_ID, DOCNUMBER, TYPIST, ACTIVITYTYPE, START_DATE, "
                           "DESCRIPTION) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"),
            {db.nextNumber(QStringLiteral("ACTIVITYLOG.SYSTEM_ID")), docNumber, typist, int(activity),
             today(), description});
}

} // namespace LibraryRows
