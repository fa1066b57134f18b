#pragma once

#include "localdm/store/librarydatabase.h"

#include <QHash>

// Writes DM rows straight into one library database with SQL, keeping the local DM's data
// conventions: a folder is a FOLDER-application profile plus a FOLDER row, a folder's items are
// appended to its ISFIRST/NEXT list, SECURITY.THING is the profile's SYSTEM_ID. Used to build the
// demo installation and test fixtures quickly; it checks nothing the database does not check itself.
//
// Numbers are handed out from the builder's own counters, which start above every number in use
// (and above DM_COUNTERS); people and groups share one sequence, as SECURITY.PERSONORGROUP names either. Call
// finish() before committing, so that the DM never hands out a number the builder used. Work inside a
// LibraryDatabase::Transaction to build large libraries fast.
class LibraryBuilder {
public:
    // APPS.SYSTEM_ID of the applications the schema creates.
    static constexpr qint64 FolderApplication = 1;
    static constexpr qint64 WordApplication = 2;
    static constexpr qint64 AcrobatApplication = 3;

    struct NewProfile {
        QString name;
        qint64 docNumber = 0; // 0: the next free number of the library
        qint64 application = WordApplication;
        qint64 author = 0; // PEOPLE.SYSTEM_ID, also the typist
        qint64 form = 0;
        QString storageType;
        QString path;
        int retention = 0;
        int defaultRights = 0; // 0 open, 1 restricted
        QString creationDate;  // YYYY-MM-DD
        QString abstract;
    };

    struct Profile {
        qint64 systemId = 0;
        qint64 docNumber = 0;
    };

    // firstDocNumber is where document numbers start in a library that has no profile yet.
    explicit LibraryBuilder(LibraryDatabase &db, qint64 firstDocNumber = 1);

    LibraryDatabase &database() { return m_db; }

    void addRemoteLibrary(qint64 systemId, const LibraryConfig &library);
    qint64 addGroup(const QString &groupId, const QString &name, int universalAccess = 0);
    qint64 addPerson(const QString &userId, const QString &fullName, qint64 primaryGroup = 0);
    void addMember(qint64 person, qint64 group);
    void grantRight(qint64 group, const QString &rightName);
    void setParameter(const QString &name, const QString &value);
    void addSetting(const QString &subKey, const QVariant &charValue, const QVariant &intValue = {});
    qint64 addForm(const QString &name);

    // A profile of a document; a folder adds its FOLDER row.
    Profile addDocument(const NewProfile &profile);
    Profile addFolder(NewProfile profile);
    // Makes a folder public: a ROOT_OBJECT row.
    void addRootObject(qint64 docNumber, const QString &displayName);
    // Appends an item to a folder's list; itemLibrary is the item's REMOTE_LIBRARIES.SYSTEM_ID in this
    // library (0 for the library itself). Returns the FOLDER_ITEM.SYSTEM_ID.
    qint64 fileItem(qint64 parentDocNumber, qint64 itemDocNumber, const QString &displayName, QChar nodeType,
                    qint64 itemLibrary = 0);
    // personOrGroup is a PEOPLE or GROUPS SYSTEM_ID; 0 with 255 is open access.
    void addTrustee(const Profile &profile, qint64 personOrGroup, int rights);
    void addActivity(qint64 docNumber, qint64 typist, int type, const QString &date,
                     const QString &description);

    // Raises DM_COUNTERS to the highest number in use in every table the builder writes.
    void finish();

private:
    // counter names one "TABLE.COLUMN", or several separated by blanks that share one sequence.
    qint64 next(const QString &counter);
    void use(const QString &counter, qint64 number);

    LibraryDatabase &m_db;
    qint64 m_firstDocNumber;
    QHash<QString, qint64> m_next;
    // Last FOLDER_ITEM.SYSTEM_ID of each folder (by document number) that the builder appended to.
    QHash<qint64, qint64> m_lastItem;
};
