#include "localdm/tools/librarybuilder.h"

namespace {

// SECURITY.PERSONORGROUP names a person or a group, so people and groups share one number sequence.
const QString PersonOrGroup = QStringLiteral("PEOPLE.SYSTEM_ID GROUPS.SYSTEM_ID");

// An empty text or a zero number is stored as NULL, as the DM leaves columns it was not given.
QVariant orNull(const QString &text)
{
    return text.isEmpty() ? QVariant() : QVariant(text);
}

QVariant orNull(qint64 number)
{
    return number == 0 ? QVariant() : QVariant(number);
}

} // namespace

LibraryBuilder::LibraryBuilder(LibraryDatabase &db, qint64 firstDocNumber)
    : m_db(db), m_firstDocNumber(firstDocNumber)
{
}

qint64 LibraryBuilder::next(const QString &counter)
{
    auto found = m_next.find(counter);
    if (found == m_next.end()) {
        qint64 inUse = 0;
        for (const QString &column : counter.split(u' ')) {
            const qsizetype dot = column.indexOf(u'.');
            inUse = std::max(inUse, m_db.scalar(QStringLiteral("SELECT COALESCE(MAX(%1), 0) FROM %2")
                                                    .arg(column.mid(dot + 1), column.left(dot)))
                                        .toLongLong());
            inUse =
                std::max(inUse, m_db.scalar(QStringLiteral("SELECT COALESCE(MAX(VALUE), 0) FROM DM_COUNTERS "
                                                           "WHERE NAME = ?1"),
                                            {column})
                                    .toLongLong());
        }
        qint64 first = inUse + 1;
        if (counter == QStringLiteral("PROFILE.DOCNUMBER"))
            first = std::max(first, m_firstDocNumber);
        found = m_next.insert(counter, first);
    }
    return (*found)++;
}

void LibraryBuilder::use(const QString &counter, qint64 number)
{
    const qint64 upcoming = next(counter);
    m_next[counter] = std::max(upcoming, number + 1);
}

void LibraryBuilder::addRemoteLibrary(qint64 systemId, const LibraryConfig &library)
{
    m_db.exec(QStringLiteral(
                  "INSERT INTO REMOTE_LIBRARIES (SYSTEM_ID, LIBRARY_NAME, DATABASE_NAME, DATABASE_ENGINE, "
                  "SERVER_LOCATION, OWNER, SQL_PASSWORD, LIB_LOGIN_UNAME) VALUES (?1, ?2, ?3, ?4, ?5, ?6, "
                  "NULL, NULL)"),
              {systemId, library.name, library.databaseName, library.engine, library.serverLocation,
               library.owner});
}

qint64 LibraryBuilder::addGroup(const QString &groupId, const QString &name, int universalAccess)
{
    const qint64 id = next(PersonOrGroup);
    m_db.exec(
        QStringLiteral(
            "INSERT INTO GROUPS (SYSTEM_ID, GROUP_ID, GROUP_NAME, UNIV_ACCESS) VALUES (?1, ?2, ?3, ?4)"),
        {id, groupId, name, universalAccess});
    return id;
}

qint64 LibraryBuilder::addPerson(const QString &userId, const QString &fullName, qint64 primaryGroup)
{
    const qint64 id = next(PersonOrGroup);
    m_db.exec(
        QStringLiteral(
            "INSERT INTO PEOPLE (SYSTEM_ID, USER_ID, FULL_NAME, PRIMARY_GROUP) VALUES (?1, ?2, ?3, ?4)"),
        {id, userId, fullName, orNull(primaryGroup)});
    return id;
}

void LibraryBuilder::addMember(qint64 person, qint64 group)
{
    m_db.exec(QStringLiteral("INSERT INTO PEOPLEGROUPS (PEOPLE_SYSTEM_ID, GROUPS_SYSTEM_ID) VALUES (?1, ?2)"),
              {person, group});
}

void LibraryBuilder::grantRight(qint64 group, const QString &rightName)
{
    m_db.exec(QStringLiteral("INSERT INTO DM_RIGHTS (GROUPS_SYSTEM_ID, RIGHT_NAME) VALUES (?1, ?2)"),
              {group, rightName});
}

void LibraryBuilder::setParameter(const QString &name, const QString &value)
{
    m_db.exec(QStringLiteral("INSERT INTO DM_PARAMETERS (NAME, VALUE) VALUES (?1, ?2) "
                             "ON CONFLICT (NAME) DO UPDATE SET VALUE = excluded.VALUE"),
              {name, value});
}

void LibraryBuilder::addSetting(const QString &subKey, const QVariant &charValue, const QVariant &intValue)
{
    m_db.exec(
        QStringLiteral("INSERT INTO QENT_SETTINGS (MASTER_KEY, SECTION_KEY, SUB_KEY, CHAR_VAL, INT_VAL) "
                       "VALUES ('KORVEL', 'SETTINGS', ?1, ?2, ?3)"),
        {subKey, charValue, intValue});
}

qint64 LibraryBuilder::addForm(const QString &name)
{
    const qint64 id = next(QStringLiteral("FORMS.SYSTEM_ID"));
    m_db.exec(QStringLiteral("INSERT INTO FORMS (SYSTEM_ID, FORM_NAME) VALUES (?1, ?2)"), {id, name});
    return id;
}

LibraryBuilder::Profile LibraryBuilder::addDocument(const NewProfile &profile)
{
    Profile added;
    added.systemId = next(QStringLiteral("PROFILE.SYSTEM_ID"));
    if (profile.docNumber) {
        added.docNumber = profile.docNumber;
        use(QStringLiteral("PROFILE.DOCNUMBER"), profile.docNumber);
    } else {
        added.docNumber = next(QStringLiteral("PROFILE.DOCNUMBER"));
    }
    m_db.exec(QStringLiteral(
                  "INSERT INTO PROFILE (SYSTEM_ID, DOCNUMBER, DOCNAME, AUTHOR, TYPIST, APPLICATION, FORM, "
                  "ABSTRACT, CREATION_DATE, LAST_EDIT_DATE, DEFAULT_RIGHTS, STORAGETYPE, PATH, RETENTION) "
                  "VALUES (?1, ?2, ?3, ?4, ?4, ?5, ?6, ?7, ?8, ?8, ?9, ?10, ?11, ?12)"),
              {added.systemId, added.docNumber, profile.name, orNull(profile.author), profile.application,
               orNull(profile.form), orNull(profile.abstract), orNull(profile.creationDate),
               profile.defaultRights, orNull(profile.storageType), orNull(profile.path), profile.retention});
    return added;
}

LibraryBuilder::Profile LibraryBuilder::addFolder(NewProfile profile)
{
    profile.application = FolderApplication;
    const Profile added = addDocument(profile);
    m_db.exec(QStringLiteral("INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (?1, ?2)"),
              {next(QStringLiteral("FOLDER.SYSTEM_ID")), added.docNumber});
    // A folder made here has an empty list: its first item need not look for a last one.
    if (!m_lastItem.contains(added.docNumber))
        m_lastItem.insert(added.docNumber, 0);
    return added;
}

void LibraryBuilder::addRootObject(qint64 docNumber, const QString &displayName)
{
    m_db.exec(
        QStringLiteral("INSERT INTO ROOT_OBJECT (SYSTEM_ID, DOCNUMBER, DISPLAYNAME) VALUES (?1, ?2, ?3)"),
        {next(QStringLiteral("ROOT_OBJECT.SYSTEM_ID")), docNumber, displayName});
}

qint64 LibraryBuilder::fileItem(qint64 parentDocNumber, qint64 itemDocNumber, const QString &displayName,
                                QChar nodeType, qint64 itemLibrary)
{
    auto last = m_lastItem.find(parentDocNumber);
    if (last == m_lastItem.end()) {
        // The builder has not appended to this folder yet: its list may already have a last item.
        const QVariant existing =
            m_db.scalar(QStringLiteral("SELECT MAX(SYSTEM_ID) FROM FOLDER_ITEM "
                                       "WHERE PARENT = ?1 AND PARENT_LIBRARY = 0 AND NEXT = 0"),
                        {parentDocNumber});
        last = m_lastItem.insert(parentDocNumber, existing.isValid() ? existing.toLongLong() : 0);
    }
    const qint64 id = next(QStringLiteral("FOLDER_ITEM.SYSTEM_ID"));
    m_db.exec(
        QStringLiteral("INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, PARENT_LIBRARY, DOCNUMBER, LIBRARY, "
                       "DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT) VALUES (?1, ?2, 0, ?3, ?4, ?5, ?6, ?7, 0)"),
        {id, parentDocNumber, itemDocNumber, itemLibrary, displayName, QString(nodeType),
         *last ? u"N"_qs : u"Y"_qs});
    if (*last)
        m_db.exec(QStringLiteral("UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE SYSTEM_ID = ?2"), {id, *last});
    *last = id;
    return id;
}

void LibraryBuilder::addTrustee(const Profile &profile, qint64 personOrGroup, int rights)
{
    m_db.exec(QStringLiteral("INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) VALUES (?1, ?2, ?3)"),
              {profile.systemId, personOrGroup, rights});
}

void LibraryBuilder::addActivity(qint64 docNumber, qint64 typist, int type, const QString &date,
                                 const QString &description)
{
    m_db.exec(
        QStringLiteral("INSERT INTO ACTIVITYLOG (SYSTEM_ID, DOCNUMBER, TYPIST, ACTIVITYTYPE, START_DATE, "
                       "DESCRIPTION) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"),
        {next(QStringLiteral("ACTIVITYLOG.SYSTEM_ID")), docNumber, typist, type, date, description});
}

void LibraryBuilder::finish()
{
    for (auto counter = m_next.cbegin(); counter != m_next.cend(); ++counter)
        for (const QString &column : counter.key().split(u' '))
            m_db.exec(
                QStringLiteral(
                    "INSERT INTO DM_COUNTERS (NAME, VALUE) VALUES (?1, ?2) "
                    "ON CONFLICT (NAME) DO UPDATE SET VALUE = CASE WHEN excluded.VALUE > DM_COUNTERS.VALUE "
                    "THEN excluded.VALUE ELSE DM_COUNTERS.VALUE END"),
                {column, counter.value() - 1});
}
