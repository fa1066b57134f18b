#include "browse/folderqueries.h"

#include "dm/runsql.h"

namespace {

const QString Owner = QStringLiteral("[OWNER].");

// Profiles the person may see: a SECURITY row for the person, one of the person's groups or everyone
// (trustee 0), or no SECURITY row at all with default rights off, which leaves the folder open to all.
QString securityFilter(qint32 peopleId)
{
    const QString person = QString::number(peopleId);
    return QStringLiteral("(PR.SYSTEM_ID IN (SELECT THING FROM ") + Owner +
           QStringLiteral("SECURITY WHERE ACCESSRIGHTS BETWEEN 1 AND 255 AND ") +
           QStringLiteral("(PERSONORGROUP = ") + person + QStringLiteral(" OR PERSONORGROUP = 0 OR ") +
           QStringLiteral("PERSONORGROUP IN (SELECT GROUPS_SYSTEM_ID FROM ") + Owner +
           QStringLiteral("PEOPLEGROUPS WHERE PEOPLE_SYSTEM_ID = ") + person + QStringLiteral("))) OR ") +
           QStringLiteral("(PR.DEFAULT_RIGHTS = 0 AND NOT EXISTS (SELECT 1 FROM ") + Owner +
           QStringLiteral("SECURITY S WHERE S.THING = PR.SYSTEM_ID))) ");
}

} // namespace

QString FolderLevelQuery(qint32 folderNumber, qint32 peopleId, const QString &libraryName)
{
    const QString filter = securityFilter(peopleId);
    if (folderNumber == 0)
        return QStringLiteral("SELECT DISTINCT RO.DOCNUMBER, RO.DISPLAYNAME FROM ") + Owner +
               QStringLiteral("ROOT_OBJECT RO ") + QStringLiteral("LEFT OUTER JOIN ") + Owner +
               QStringLiteral("PROFILE PR ON PR.DOCNUMBER = RO.DOCNUMBER ") +
               QStringLiteral("WHERE ") + filter + QStringLiteral("ORDER BY RO.DISPLAYNAME");
    if (folderNumber == -1)
        return QStringLiteral("SELECT DISTINCT F.DOCNUMBER, PR.DOCNAME FROM ") + Owner +
               QStringLiteral("FOLDER F ") + QStringLiteral("LEFT OUTER JOIN ") + Owner +
               QStringLiteral("PROFILE PR ON PR.DOCNUMBER = F.DOCNUMBER ") +
               QStringLiteral("WHERE F.DOCNUMBER NOT IN ") + QStringLiteral("(SELECT FI.DOCNUMBER FROM ") +
               Owner + QStringLiteral("FOLDER_ITEM FI ") + QStringLiteral("LEFT OUTER JOIN ") + Owner +
               QStringLiteral("REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY ") +
               QStringLiteral("WHERE RL.LIBRARY_NAME = '") + SqlEscape(libraryName) +
               QStringLiteral("') AND ") +
               QStringLiteral("F.DOCNUMBER NOT IN (SELECT DOCNUMBER FROM ") + Owner +
               QStringLiteral("ROOT_OBJECT) AND ") + filter +
               QStringLiteral("ORDER BY PR.DOCNAME");
    return QStringLiteral("SELECT DISTINCT FI.DOCNUMBER, PR.DOCNAME FROM ") + Owner +
           QStringLiteral("FOLDER_ITEM FI ") + QStringLiteral("LEFT OUTER JOIN ") + Owner +
           QStringLiteral("PROFILE PR ON PR.DOCNUMBER = FI.DOCNUMBER ") + QStringLiteral("LEFT OUTER JOIN ") +
           Owner + QStringLiteral("REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY ") +
           QStringLiteral("WHERE ") + QStringLiteral("FI.NODE_TYPE = 'F' AND RL.LIBRARY_NAME = '") +
           SqlEscape(libraryName) + QStringLiteral("' AND ") + filter +
           (folderNumber > 0 ? QStringLiteral("AND FI.PARENT = ") + QString::number(folderNumber)
                             : QStringLiteral(" AND FI.ISFIRST = 'Y'")) +
           QStringLiteral(" ORDER BY PR.DOCNAME");
}

QString PeopleIdQuery(const QString &userId)
{
    return QStringLiteral("SELECT SYSTEM_ID FROM ") + Owner + QStringLiteral("PEOPLE WHERE USER_ID = '") +
           SqlEscape(userId) + QStringLiteral("'");
}
