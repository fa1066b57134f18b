#include "installationbuilder.h"

#include "support/testbackend.h"

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

QList<LibraryConfig> InstallationBuilder::oneLibraryPerEngine()
{
    return {library(QStringLiteral("LIB_A")), library(QStringLiteral("LIB_B"), 2, QStringLiteral("ORAADM")),
            library(QStringLiteral("LIB_C"), 6, QStringLiteral("SYBADM"))};
}

InstallationBuilder::InstallationBuilder(const QString &folder, const QString &user,
                                         QList<LibraryConfig> libraries)
{
    m_installation.user = user;
    m_installation.fileName = QDir(folder).filePath(QStringLiteral("installation.ini"));
    for (LibraryConfig &config : libraries) {
        config.databaseFile = QDir(folder).filePath(config.name.toLower() + QStringLiteral(".db"));
        PlaceTestLibrary(config);
    }
    libraries.first().primary = true;
    m_installation.libraries = libraries;
    m_installation.currentLibrary = libraries.first().name;
    m_installation.defaultLibrary = libraries.first().name;

    for (qsizetype i = 0; i < libraries.size(); ++i) {
        LibraryDatabase::create(libraries[i]);
        LibraryDatabase &db = this->db(libraries[i].name);
        LibraryBuilder builder(db);
        for (qsizetype j = 0; j < libraries.size(); ++j)
            builder.addRemoteLibrary(i == j ? 0 : 10 * (i + 1) + j + 1, libraries[j]);
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

void InstallationBuilder::closeConnections()
{
    m_databases.clear();
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
        slot = LibraryDatabase::open(*m_installation.library(library));
    return *slot;
}

qint64 InstallationBuilder::remoteId(const QString &inLibrary, const QString &ofLibrary)
{
    return db(inLibrary)
        .scalar(QStringLiteral("SELECT SYSTEM_ID FROM REMOTE_LIBRARIES WHERE LIBRARY_NAME = ?1"), {ofLibrary})
        .toLongLong();
}

template <typename Step> auto InstallationBuilder::build(const QString &library, Step step)
{
    // A builder per step: it reads the numbers in use afresh, since the DM may have handed some out
    // since the last step, and leaves DM_COUNTERS above what it used.
    LibraryBuilder builder(db(library), FirstDocNumber);
    const auto result = step(builder);
    builder.finish();
    return result;
}

qint64 InstallationBuilder::addGroup(const QString &library, const QString &groupId)
{
    const QVariant existing =
        db(library).scalar(QStringLiteral("SELECT SYSTEM_ID FROM GROUPS WHERE GROUP_ID = ?1"), {groupId});
    if (existing.isValid())
        return existing.toLongLong();
    return build(library, [&](LibraryBuilder &builder) { return builder.addGroup(groupId, groupId); });
}

qint64 InstallationBuilder::addUser(const QString &library, const QString &userId,
                                    const QString &primaryGroup)
{
    const qint64 group = primaryGroup.isEmpty() ? 0 : addGroup(library, primaryGroup);
    const qint64 person =
        build(library, [&](LibraryBuilder &builder) { return builder.addPerson(userId, userId, group); });
    if (group)
        addMember(library, userId, primaryGroup);
    return person;
}

void InstallationBuilder::addMember(const QString &library, const QString &userId, const QString &groupId)
{
    const qint64 person =
        db(library)
            .scalar(QStringLiteral("SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = ?1"), {userId})
            .toLongLong();
    const qint64 group = addGroup(library, groupId);
    LibraryBuilder(db(library)).addMember(person, group);
}

void InstallationBuilder::grant(const QString &library, const QString &groupId, const QString &right)
{
    LibraryBuilder(db(library)).grantRight(addGroup(library, groupId), right);
}

void InstallationBuilder::setParameter(const QString &library, const QString &name, const QString &value)
{
    LibraryBuilder(db(library)).setParameter(name, value);
}

int InstallationBuilder::addDocument(const QString &library, const QString &name, const QString &application)
{
    LibraryBuilder::NewProfile profile;
    profile.name = name;
    profile.application =
        db(library)
            .scalar(QStringLiteral("SELECT SYSTEM_ID FROM APPS WHERE APPLICATION = ?1"), {application})
            .toLongLong();
    profile.creationDate = QStringLiteral("2024-01-15");
    return int(
        build(library, [&](LibraryBuilder &builder) { return builder.addDocument(profile).docNumber; }));
}

int InstallationBuilder::addFolder(const QString &library, const QString &name, bool isPublic)
{
    LibraryBuilder::NewProfile profile;
    profile.name = name;
    profile.creationDate = QStringLiteral("2024-01-15");
    return int(build(library, [&](LibraryBuilder &builder) {
        const qint64 docNumber = builder.addFolder(profile).docNumber;
        if (isPublic)
            builder.addRootObject(docNumber, name);
        return docNumber;
    }));
}

qint64 InstallationBuilder::link(const QString &library, int folder, const QString &itemLibrary, int item)
{
    LibraryDatabase &itemDb = db(itemLibrary);
    const QString name =
        itemDb.scalar(QStringLiteral("SELECT DOCNAME FROM PROFILE WHERE DOCNUMBER = ?1"), {item}).toString();
    const bool isFolder =
        itemDb.scalar(QStringLiteral("SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1"), {item}).toInt() > 0;
    const qint64 itemLibraryId = remoteId(library, itemLibrary);
    return build(library, [&](LibraryBuilder &builder) {
        return builder.fileItem(folder, item, name, isFolder ? u'F' : u'D', itemLibraryId);
    });
}

void InstallationBuilder::addTrustee(const QString &library, int docNumber, qint64 personOrGroup, int rights)
{
    LibraryBuilder(db(library))
        .addTrustee({profileSystemId(library, docNumber), docNumber}, personOrGroup, rights);
}

qint64 InstallationBuilder::profileSystemId(const QString &library, int docNumber)
{
    return db(library)
        .scalar(QStringLiteral("SELECT SYSTEM_ID FROM PROFILE WHERE DOCNUMBER = ?1"), {docNumber})
        .toLongLong();
}
