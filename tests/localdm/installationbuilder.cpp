#include "installationbuilder.h"

#include <QDir>

LibraryConfig InstallationBuilder::library(const QString &name, int engine, const QString &owner)
{
    LibraryConfig config;
    config.name = name;
    config.engine = engine;
    config.owner = owner;
    config.serverLocation = QStringLiteral("SRV_") + name;
    config.databaseName = name + QStringLiteral("_DB");
    return config;
}

InstallationBuilder::InstallationBuilder(const QString &folder, const QString &user,
                                         QList<LibraryConfig> libraries)
{
    m_installation.user = user;
    m_installation.fileName = QDir(folder).filePath(QStringLiteral("installation.ini"));
    for (LibraryConfig &config : libraries)
        config.databaseFile = QDir(folder).filePath(config.name.toLower() + QStringLiteral(".db"));
    libraries.first().primary = true;
    m_installation.libraries = libraries;
    m_installation.currentLibrary = libraries.first().name;
    m_installation.defaultLibrary = libraries.first().name;

    for (qsizetype i = 0; i < libraries.size(); ++i) {
        LibraryDatabase::create(libraries[i]);
        LibraryDatabase &db = this->db(libraries[i].name);
        for (qsizetype j = 0; j < libraries.size(); ++j) {
            const LibraryConfig &listed = libraries[j];
            db.exec(
                QStringLiteral("INSERT INTO REMOTE_LIBRARIES (SYSTEM_ID, LIBRARY_NAME, DATABASE_NAME, "
                               "DATABASE_ENGINE, SERVER_LOCATION, OWNER) VALUES (?1, ?2, ?3, ?4, ?5, ?6)"),
                {qint64(i == j ? 0 : 10 * (i + 1) + j + 1), listed.name, listed.databaseName, listed.engine,
                 listed.serverLocation, listed.owner});
        }
        db.exec(QStringLiteral("INSERT INTO DM_COUNTERS (NAME, VALUE) VALUES ('PROFILE.DOCNUMBER', ?1), "
                               "('PROFILE.SYSTEM_ID', ?2), ('FOLDER_ITEM.SYSTEM_ID', ?3)"),
                {FirstDocNumber - 1, qint64(100 * (i + 1)), qint64(500 * (i + 1))});
    }
}

QString InstallationBuilder::save()
{
    m_installation.save(m_installation.fileName);
    return m_installation.fileName;
}

std::shared_ptr<LocalDm> InstallationBuilder::dm(const QString &faults) const
{
    Installation installation = m_installation;
    installation.faults = faults;
    return std::make_shared<LocalDm>(installation);
}

LibraryDatabase &InstallationBuilder::db(const QString &library)
{
    auto &slot = m_databases[library];
    if (!slot)
        slot = std::make_unique<LibraryDatabase>(*m_installation.library(library));
    return *slot;
}

qint64 InstallationBuilder::remoteId(const QString &inLibrary, const QString &ofLibrary)
{
    return db(inLibrary)
        .scalar(QStringLiteral("SELECT SYSTEM_ID FROM REMOTE_LIBRARIES WHERE LIBRARY_NAME = ?1"), {ofLibrary})
        .toLongLong();
}

qint64 InstallationBuilder::addGroup(const QString &library, const QString &groupId)
{
    LibraryDatabase &db = this->db(library);
    const QVariant existing =
        db.scalar(QStringLiteral("SELECT SYSTEM_ID FROM GROUPS WHERE GROUP_ID = ?1"), {groupId});
    if (existing.isValid())
        return existing.toLongLong();
    const qint64 id = db.nextNumber(QStringLiteral("GROUPS.SYSTEM_ID")) + 300;
    db.exec(QStringLiteral("INSERT INTO GROUPS (SYSTEM_ID, GROUP_ID, GROUP_NAME) VALUES (?1, ?2, ?2)"),
            {id, groupId});
    return id;
}

qint64 InstallationBuilder::addUser(const QString &library, const QString &userId,
                                    const QString &primaryGroup)
{
    LibraryDatabase &db = this->db(library);
    const QVariant group = primaryGroup.isEmpty() ? QVariant() : QVariant(addGroup(library, primaryGroup));
    const qint64 id = db.nextNumber(QStringLiteral("PEOPLE.SYSTEM_ID")) + 700;
    db.exec(QStringLiteral(
                "INSERT INTO PEOPLE (SYSTEM_ID, USER_ID, FULL_NAME, PRIMARY_GROUP) VALUES (?1, ?2, ?2, ?3)"),
            {id, userId, group});
    if (!primaryGroup.isEmpty())
        addMember(library, userId, primaryGroup);
    return id;
}

void InstallationBuilder::addMember(const QString &library, const QString &userId, const QString &groupId)
{
    db(library).exec(QStringLiteral("INSERT INTO PEOPLEGROUPS (PEOPLE_SYSTEM_ID, GROUPS_SYSTEM_ID) "
                                    "SELECT SYSTEM_ID, ?2 FROM PEOPLE WHERE USER_ID = ?1"),
                     {userId, addGroup(library, groupId)});
}

void InstallationBuilder::grant(const QString &library, const QString &groupId, const QString &right)
{
    db(library).exec(QStringLiteral("INSERT INTO DM_RIGHTS (GROUPS_SYSTEM_ID, RIGHT_NAME) VALUES (?1, ?2)"),
                     {addGroup(library, groupId), right});
}

void InstallationBuilder::setParameter(const QString &library, const QString &name, const QString &value)
{
    db(library).exec(QStringLiteral("INSERT INTO DM_PARAMETERS (NAME, VALUE) VALUES (?1, ?2) "
                                    "ON CONFLICT (NAME) DO UPDATE SET VALUE = excluded.VALUE"),
                     {name, value});
}

int InstallationBuilder::addProfile(const QString &library, const QString &name, const QString &application)
{
    LibraryDatabase &db = this->db(library);
    const int docNumber = int(db.nextNumber(QStringLiteral("PROFILE.DOCNUMBER")));
    db.exec(QStringLiteral("INSERT INTO PROFILE (SYSTEM_ID, DOCNUMBER, DOCNAME, APPLICATION, CREATION_DATE) "
                           "SELECT ?1, ?2, ?3, SYSTEM_ID, '2024-01-15' FROM APPS WHERE APPLICATION = ?4"),
            {db.nextNumber(QStringLiteral("PROFILE.SYSTEM_ID")), docNumber, name, application});
    return docNumber;
}

int InstallationBuilder::addDocument(const QString &library, const QString &name, const QString &application)
{
    return addProfile(library, name, application);
}

int InstallationBuilder::addFolder(const QString &library, const QString &name, bool isPublic)
{
    const int docNumber = addProfile(library, name, QStringLiteral("FOLDER"));
    LibraryDatabase &db = this->db(library);
    db.exec(QStringLiteral("INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (?1, ?2)"),
            {db.nextNumber(QStringLiteral("FOLDER.SYSTEM_ID")), docNumber});
    if (isPublic)
        db.exec(
            QStringLiteral("INSERT INTO ROOT_OBJECT (SYSTEM_ID, DOCNUMBER, DISPLAYNAME) VALUES (?1, ?2, ?3)"),
            {db.nextNumber(QStringLiteral("ROOT_OBJECT.SYSTEM_ID")), docNumber, name});
    return docNumber;
}

qint64 InstallationBuilder::link(const QString &library, int folder, const QString &itemLibrary, int item)
{
    LibraryDatabase &itemDb = db(itemLibrary);
    const QString name =
        itemDb.scalar(QStringLiteral("SELECT DOCNAME FROM PROFILE WHERE DOCNUMBER = ?1"), {item}).toString();
    const bool isFolder =
        itemDb.scalar(QStringLiteral("SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1"), {item}).toInt() > 0;
    LibraryDatabase &db = this->db(library);
    const QVariant last = db.scalar(
        QStringLiteral("SELECT MAX(SYSTEM_ID) FROM FOLDER_ITEM WHERE PARENT = ?1 AND NEXT = 0"), {folder});
    const qint64 id = db.nextNumber(QStringLiteral("FOLDER_ITEM.SYSTEM_ID"));
    db.exec(
        QStringLiteral("INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, PARENT_LIBRARY, DOCNUMBER, LIBRARY, "
                       "DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT) VALUES (?1, ?2, 0, ?3, ?4, ?5, ?6, ?7, 0)"),
        {id, folder, item, remoteId(library, itemLibrary), name,
         isFolder ? QStringLiteral("F") : QStringLiteral("D"),
         last.isValid() ? QStringLiteral("N") : QStringLiteral("Y")});
    if (last.isValid())
        db.exec(QStringLiteral("UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE SYSTEM_ID = ?2"), {id, last});
    return id;
}

void InstallationBuilder::addTrustee(const QString &library, int docNumber, qint64 personOrGroup, int rights)
{
    db(library).exec(
        QStringLiteral("INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) VALUES (?1, ?2, ?3)"),
        {profileSystemId(library, docNumber), personOrGroup, rights});
}

qint64 InstallationBuilder::profileSystemId(const QString &library, int docNumber)
{
    return db(library)
        .scalar(QStringLiteral("SELECT SYSTEM_ID FROM PROFILE WHERE DOCNUMBER = ?1"), {docNumber})
        .toLongLong();
}
