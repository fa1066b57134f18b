#pragma once

#include "localdm/installation.h"
#include "localdm/localdm.h"
#include "localdm/store/librarydatabase.h"
#include "localdm/tools/librarybuilder.h"

#include <map>
#include <memory>

// Builds a small local DM installation in a folder from a few lines of test code:
//
//   InstallationBuilder dm(dir.path(), "JSMITH", {InstallationBuilder::library("LIB_A"),
//                                                 InstallationBuilder::library("LIB_B", 2, "ORAADM")});
//   dm.addUser("LIB_A", "JSMITH", "DOCS_USERS");
//   const int folder = dm.addFolder("LIB_A", "Contracts", true);
//   dm.link("LIB_A", folder, "LIB_B", dm.addDocument("LIB_B", "Offer"));
//
// Every library gets its own database, listing every library of the installation in
// REMOTE_LIBRARIES under ids that differ from library to library (SYSTEM_ID 0 is the library
// itself); under the PostgreSQL test back end each library is a database of the test server
// (PlaceTestLibrary). Document numbers start at the same value in every library, so the same numbers exist in
// several libraries on purpose, while each library's PROFILE.SYSTEM_IDs run in a range of their
// own, apart from the document numbers. The first library is the current, default and primary one
// unless the test changes installation().
class InstallationBuilder {
public:
    static constexpr int FirstDocNumber = 1001;

    // A library to build: the database file is chosen by the builder.
    static LibraryConfig library(const QString &name, int engine = 10,
                                 const QString &owner = QStringLiteral("DOCSADM"));

    // LIB_A (SQL Server, DOCSADM), LIB_B (Oracle, ORAADM) and LIB_C (Sybase, SYBADM).
    static QList<LibraryConfig> oneLibraryPerEngine();

    InstallationBuilder(const QString &folder, const QString &user, QList<LibraryConfig> libraries);

    Installation &installation() { return m_installation; }
    // Writes the installation file into the folder and returns its path.
    QString save();
    // A local DM over the installation, with failures planted ("save:2, open:1").
    std::shared_ptr<LocalDm> dm(const QString &faults = {}) const;

    // Closes the builder's own connections; the next call that needs one opens it again. A database on a
    // server serves as the template of a copy only while nobody is connected to it.
    void closeConnections();
    // The builder's own connection to a library, also for checking rows in tests.
    LibraryDatabase &db(const QString &library);
    // SYSTEM_ID under which inLibrary's REMOTE_LIBRARIES lists ofLibrary.
    qint64 remoteId(const QString &inLibrary, const QString &ofLibrary);

    // A group (made once; the same id again returns it).
    qint64 addGroup(const QString &library, const QString &groupId);
    // A user, member of its primary group when one is given.
    qint64 addUser(const QString &library, const QString &userId, const QString &primaryGroup = {});
    void addMember(const QString &library, const QString &userId, const QString &groupId);
    void grant(const QString &library, const QString &groupId, const QString &right);
    void setParameter(const QString &library, const QString &name, const QString &value);

    int addDocument(const QString &library, const QString &name,
                    const QString &application = QStringLiteral("MS WORD"));
    // A folder; a public one has a ROOT_OBJECT row.
    int addFolder(const QString &library, const QString &name, bool isPublic = false);
    // Appends an item of itemLibrary to the end of a folder's display list; returns the row's SYSTEM_ID.
    qint64 link(const QString &library, int folder, const QString &itemLibrary, int item);
    void addTrustee(const QString &library, int docNumber, qint64 personOrGroup, int rights);
    qint64 profileSystemId(const QString &library, int docNumber);

private:
    // Runs one building step on a fresh LibraryBuilder of the library and returns its result.
    template <typename Step> auto build(const QString &library, Step step);

    Installation m_installation;
    std::map<QString, std::unique_ptr<LibraryDatabase>> m_databases;
};
