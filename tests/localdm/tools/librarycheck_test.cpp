#include "demofixture.h"

#include "dmapi/dmerror.h"
#include "localdm/tools/librarybuilder.h"
#include "localdm/tools/librarycheck.h"

#include <gtest/gtest.h>

#include <functional>

namespace {

qint64 number(LibraryDatabase &db, const QString &sql, const QVariantList &binds = {})
{
    return db.scalar(sql, binds).toLongLong();
}

qint64 docNumber(LibraryDatabase &db, const QString &name)
{
    return number(db, "SELECT DOCNUMBER FROM PROFILE WHERE DOCNAME = ?1", {name});
}

// The FOLDER_ITEM.SYSTEM_IDs of a folder of the demo, in display order (the demo appends in order).
QList<qint64> itemsOf(LibraryDatabase &db, qint64 folder)
{
    QList<qint64> items;
    for (const QVariantList &row :
         db.query("SELECT SYSTEM_ID FROM FOLDER_ITEM WHERE PARENT = ?1 ORDER BY SYSTEM_ID", {folder}))
        items << row[0].toLongLong();
    return items;
}

// One violation planted in a clean demo: plant() breaks the library and returns the lines the check
// must report; with exact, nothing else may be reported.
struct PlantedFault {
    const char *name;
    QString library;
    std::function<QStringList(LibraryDatabase &)> plant;
    bool exact = true;
};

QString s(qint64 n)
{
    return QString::number(n);
}

LibraryBuilder::NewProfile named(const QString &name, qint64 docNumber = 0)
{
    LibraryBuilder::NewProfile profile;
    profile.name = name;
    profile.docNumber = docNumber;
    return profile;
}

LibraryConfig library(const QTemporaryDir &dir, const QString &name, int engine, const QString &owner)
{
    LibraryConfig config;
    config.name = name;
    config.databaseFile = dir.filePath(name.toLower() + ".db");
    config.engine = engine;
    config.owner = owner;
    return config;
}

} // namespace

TEST(LibraryCheck, ReportsEveryPlantedViolationByLibraryTableAndIds)
{
    // In CORPORATE, "Correspondence" holds a document of its own, one of ARCHIVE and one of LEGAL,
    // and "Rev A" holds two documents.
    auto correspondence = [](LibraryDatabase &db) { return docNumber(db, "Correspondence"); };
    auto revA = [](LibraryDatabase &db) { return docNumber(db, "Rev A"); };
    auto list = [](qint64 folder) {
        return QStringLiteral("CORPORATE: FOLDER_ITEM of folder #%1: ").arg(folder);
    };
    auto item = [](qint64 id) { return QStringLiteral("CORPORATE: FOLDER_ITEM SYSTEM_ID %1: ").arg(id); };

    const QList<PlantedFault> faults = {
        {"no first item", "CORPORATE",
         [&](LibraryDatabase &db) {
             db.exec("UPDATE FOLDER_ITEM SET ISFIRST = 'N' WHERE PARENT = ?1", {revA(db)});
             return QStringList{list(revA(db)) + "no first item (ISFIRST = 'Y') among 2 item(s)"};
         }},
        {"two first items", "CORPORATE",
         [&](LibraryDatabase &db) {
             const QList<qint64> items = itemsOf(db, revA(db));
             db.exec("UPDATE FOLDER_ITEM SET ISFIRST = 'Y' WHERE SYSTEM_ID = ?1", {items[1]});
             return QStringList{list(revA(db)) + "2 first items (SYSTEM_ID " + s(items[0]) + ", " +
                                s(items[1]) + ")"};
         }},
        {"cycle", "CORPORATE",
         [&](LibraryDatabase &db) {
             const QList<qint64> items = itemsOf(db, correspondence(db));
             db.exec("UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE SYSTEM_ID = ?2", {items[0], items[2]});
             return QStringList{list(correspondence(db)) + "SYSTEM_ID " + s(items[2]) + " has NEXT " +
                                s(items[0]) + ", which closes a cycle"};
         }},
        {"item not reached", "CORPORATE",
         [&](LibraryDatabase &db) {
             const QList<qint64> items = itemsOf(db, correspondence(db));
             db.exec("UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE SYSTEM_ID = ?2", {items[2], items[0]});
             return QStringList{list(correspondence(db)) + "SYSTEM_ID " + s(items[1]) +
                                " not reached from the first item"};
         }},
        {"NEXT at a missing row", "CORPORATE",
         [&](LibraryDatabase &db) {
             const QList<qint64> items = itemsOf(db, correspondence(db));
             db.exec("UPDATE FOLDER_ITEM SET NEXT = 99999 WHERE SYSTEM_ID = ?1", {items[2]});
             return QStringList{list(correspondence(db)) + "SYSTEM_ID " + s(items[2]) +
                                " has NEXT 99999, which is no FOLDER_ITEM row"};
         }},
        {"NEXT into another folder", "CORPORATE",
         [&](LibraryDatabase &db) {
             const QList<qint64> items = itemsOf(db, correspondence(db));
             const qint64 foreign = itemsOf(db, revA(db))[0];
             db.exec("UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE SYSTEM_ID = ?2", {foreign, items[0]});
             return QStringList{list(correspondence(db)) + "SYSTEM_ID " + s(items[0]) + " has NEXT " +
                                    s(foreign) + ", an item of folder #" + s(revA(db)),
                                list(correspondence(db)) + "SYSTEM_ID " + s(items[1]) + ", " + s(items[2]) +
                                    " not reached from the first item"};
         }},
        {"LIBRARY not in REMOTE_LIBRARIES", "CORPORATE",
         [&](LibraryDatabase &db) {
             const qint64 archived = itemsOf(db, correspondence(db))[1];
             db.exec("UPDATE FOLDER_ITEM SET LIBRARY = 9 WHERE SYSTEM_ID = ?1", {archived});
             return QStringList{item(archived) + "LIBRARY 9 is not in REMOTE_LIBRARIES"};
         }},
        {"PARENT_LIBRARY not in REMOTE_LIBRARIES", "CORPORATE",
         [&](LibraryDatabase &db) {
             const qint64 archived = itemsOf(db, correspondence(db))[1];
             db.exec("UPDATE FOLDER_ITEM SET PARENT_LIBRARY = 9 WHERE SYSTEM_ID = ?1", {archived});
             return QStringList{item(archived) + "PARENT_LIBRARY 9 is not in REMOTE_LIBRARIES"};
         }},
        {"PARENT_LIBRARY of another library", "CORPORATE",
         [&](LibraryDatabase &db) {
             const qint64 archived = itemsOf(db, correspondence(db))[1];
             db.exec("UPDATE FOLDER_ITEM SET PARENT_LIBRARY = 1 WHERE SYSTEM_ID = ?1", {archived});
             return QStringList{item(archived) + "PARENT_LIBRARY 1 names ARCHIVE, not the library itself"};
         }},
        {"DOCNUMBER of no profile of the named library", "CORPORATE",
         [&](LibraryDatabase &db) {
             // A number that CORPORATE has, LEGAL not: the mix-up of libraries the check must see.
             const qint64 legal = itemsOf(db, correspondence(db))[2];
             const qint64 own = docNumber(db, "Scanned Mail");
             db.exec("UPDATE FOLDER_ITEM SET DOCNUMBER = ?1 WHERE SYSTEM_ID = ?2", {own, legal});
             return QStringList{item(legal) + "DOCNUMBER " + s(own) + " is no PROFILE of library LEGAL"};
         }},
        {"folder node of no folder", "CORPORATE",
         [&](LibraryDatabase &db) {
             const qint64 letter = itemsOf(db, correspondence(db))[0];
             db.exec("UPDATE FOLDER_ITEM SET NODE_TYPE = 'F' WHERE SYSTEM_ID = ?1", {letter});
             return QStringList{item(letter) + "NODE_TYPE 'F', but #" +
                                s(docNumber(db, "Letter to council.docx")) +
                                " is no folder of library CORPORATE"};
         }},
        {"unknown node type", "CORPORATE",
         [&](LibraryDatabase &db) {
             const qint64 letter = itemsOf(db, correspondence(db))[0];
             db.exec("UPDATE FOLDER_ITEM SET NODE_TYPE = 'X' WHERE SYSTEM_ID = ?1", {letter});
             return QStringList{item(letter) + "NODE_TYPE 'X' is neither 'F' nor 'D'"};
         }},
        {"PARENT that is no folder", "CORPORATE",
         [&](LibraryDatabase &db) {
             // The only item of "Zürich Office" moves under a document.
             const qint64 lease = itemsOf(db, docNumber(db, "Zürich Office"))[0];
             const qint64 document = docNumber(db, "Letterhead.docx");
             db.exec("UPDATE FOLDER_ITEM SET PARENT = ?1 WHERE SYSTEM_ID = ?2", {document, lease});
             return QStringList{item(lease) + "PARENT #" + s(document) + " is no folder of this library"};
         }},
        {"folder profile without FOLDER row", "CORPORATE",
         [&](LibraryDatabase &db) {
             const qint64 notes = docNumber(db, "Personal Notes");
             db.exec("DELETE FROM FOLDER WHERE DOCNUMBER = ?1", {notes});
             return QStringList{"CORPORATE: PROFILE SYSTEM_ID " +
                                s(number(db, "SELECT SYSTEM_ID FROM PROFILE WHERE DOCNUMBER = ?1", {notes})) +
                                ": folder #" + s(notes) + " has no FOLDER row"};
         }},
        {"FOLDER row without profile", "CORPORATE",
         [&](LibraryDatabase &db) {
             db.exec("INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (999, 4242)");
             return QStringList{"CORPORATE: FOLDER SYSTEM_ID 999: #4242 has no folder PROFILE"};
         }},
        {"SECURITY by document number", "CORPORATE",
         [&](LibraryDatabase &db) {
             const qint64 scanned = docNumber(db, "Scanned Mail");
             db.exec("UPDATE SECURITY SET THING = ?1 WHERE THING = (SELECT SYSTEM_ID FROM PROFILE WHERE "
                     "DOCNUMBER = ?1)",
                     {scanned});
             return QStringList{"CORPORATE: SECURITY: THING " + s(scanned) +
                                " is no PROFILE SYSTEM_ID (1 row(s))"};
         }},
        {"trustee of nobody", "CORPORATE",
         [&](LibraryDatabase &db) {
             db.exec("INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) SELECT SYSTEM_ID, 777, 255 "
                     "FROM PROFILE "
                     "WHERE DOCNAME = 'Finance'");
             return QStringList{
                 "CORPORATE: SECURITY: PERSONORGROUP 777 is no PEOPLE or GROUPS SYSTEM_ID (1 row(s))"};
         }},
        {"person and group with one number", "LEGAL",
         [&](LibraryDatabase &db) {
             const qint64 group = number(db, "SELECT SYSTEM_ID FROM GROUPS WHERE GROUP_ID = 'RECORDS_MGMT'");
             db.exec("INSERT INTO PEOPLE (SYSTEM_ID, USER_ID) VALUES (?1, 'GHOST')", {group});
             return QStringList{"LEGAL: PEOPLE SYSTEM_ID " + s(group) +
                                ": GHOST shares the SYSTEM_ID with group "
                                "RECORDS_MGMT"};
         }},
        {"library missing from REMOTE_LIBRARIES", "CORPORATE",
         [&](LibraryDatabase &db) {
             db.exec("DELETE FROM REMOTE_LIBRARIES WHERE LIBRARY_NAME = 'LEGAL'");
             return QStringList{"CORPORATE: REMOTE_LIBRARIES: library LEGAL of the installation is missing",
                                item(itemsOf(db, correspondence(db))[2]) +
                                    "LIBRARY 2 is not in REMOTE_LIBRARIES"};
         }},
        {"library outside the installation", "CORPORATE",
         [&](LibraryDatabase &db) {
             db.exec("INSERT INTO REMOTE_LIBRARIES (SYSTEM_ID, LIBRARY_NAME) VALUES (9, 'OLDLIB')");
             return QStringList{
                 "CORPORATE: REMOTE_LIBRARIES SYSTEM_ID 9: library OLDLIB is not part of the installation"};
         }},
        {"SYSTEM_ID 0 naming another library", "LEGAL",
         [&](LibraryDatabase &db) {
             db.exec("UPDATE REMOTE_LIBRARIES SET LIBRARY_NAME = 'ARCHIVE' WHERE SYSTEM_ID = 0");
             return QStringList{"LEGAL: REMOTE_LIBRARIES: SYSTEM_ID 0 names ARCHIVE, not the library itself",
                                "LEGAL: REMOTE_LIBRARIES: library LEGAL of the installation is missing"};
         },
         false},
        {"no SYSTEM_ID 0", "ARCHIVE",
         [&](LibraryDatabase &db) {
             db.exec("DELETE FROM REMOTE_LIBRARIES WHERE SYSTEM_ID = 0");
             return QStringList{"ARCHIVE: REMOTE_LIBRARIES: no row with SYSTEM_ID 0 for the library itself"};
         },
         false},
        {"broken list in another library", "ARCHIVE",
         [&](LibraryDatabase &db) {
             const qint64 q4 = docNumber(db, "Q4");
             const QList<qint64> items = itemsOf(db, q4);
             db.exec("UPDATE FOLDER_ITEM SET NEXT = 4242 WHERE SYSTEM_ID = ?1", {items[0]});
             const QString prefix = QStringLiteral("ARCHIVE: FOLDER_ITEM of folder #%1: ").arg(q4);
             return QStringList{prefix + "SYSTEM_ID " + s(items[0]) +
                                    " has NEXT 4242, which is no FOLDER_ITEM row",
                                prefix + "SYSTEM_ID " + s(items[1]) + " not reached from the first item"};
         }},
    };

    for (const PlantedFault &fault : faults) {
        SCOPED_TRACE(fault.name);
        DemoFixture demo;
        const QStringList expected = fault.plant(demo.db(fault.library));
        const QStringList reported = LibraryCheck(demo.dm).violations();
        if (fault.exact) {
            EXPECT_EQ(reported, expected);
        } else {
            for (const QString &line : expected)
                EXPECT_TRUE(reported.contains(line)) << line.toStdString() << "\nin:\n"
                                                     << reported.join(u'\n').toStdString();
        }
    }
}

TEST(LibraryCheck, PrintsAHandMadeTreeInDisplayOrderAcrossLibrariesAndGuardsAgainstCycles)
{
    QTemporaryDir dir;
    Installation installation;
    installation.fileName = dir.filePath("installation.ini");
    installation.user = "JDOE";
    installation.libraries = {library(dir, "ALPHA", 10, "DOCSADM"), library(dir, "BETA", 2, "BETAADM")};
    installation.currentLibrary = installation.defaultLibrary = "ALPHA";
    for (const LibraryConfig &config : installation.libraries)
        LibraryDatabase::create(config);
    LocalDm dm(installation);
    LibraryBuilder alpha(dm.database("ALPHA"), 100);
    LibraryBuilder beta(dm.database("BETA"), 100);
    alpha.addRemoteLibrary(0, installation.libraries[0]);
    alpha.addRemoteLibrary(1, installation.libraries[1]);
    beta.addRemoteLibrary(0, installation.libraries[1]);
    beta.addRemoteLibrary(4, installation.libraries[0]);

    // BETA's memo shares its number with ALPHA's shared folder "Loose", which must stay visible.
    const qint64 memo = beta.addDocument(named("Beta memo", 104)).docNumber;
    const LibraryBuilder::Profile top = alpha.addFolder(named("Top"));
    alpha.addRootObject(top.docNumber, "Top (public)");
    const qint64 zulu = alpha.addDocument(named("Zulu doc")).docNumber;
    const LibraryBuilder::Profile sub = alpha.addFolder(named("Sub"));
    const qint64 leaf = alpha.addDocument(named("Leaf")).docNumber;
    const LibraryBuilder::Profile loose = alpha.addFolder(named("Loose"));
    const LibraryBuilder::Profile held = alpha.addFolder(named("Held"));
    alpha.fileItem(top.docNumber, zulu, "Zulu doc", u'D');
    alpha.fileItem(top.docNumber, sub.docNumber, "Sub", u'F');
    alpha.fileItem(top.docNumber, memo, "Beta memo", u'D', 1);
    alpha.fileItem(sub.docNumber, top.docNumber, "Top again", u'F');
    alpha.fileItem(sub.docNumber, leaf, "Leaf", u'D');
    alpha.fileItem(loose.docNumber, leaf, "Leaf copy", u'D');
    alpha.fileItem(held.docNumber, leaf, "Leaf", u'D');
    dm.database("ALPHA").exec(
        "INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, DOCNUMBER, DISPLAYNAME, NODE_TYPE) "
        "VALUES (50, ?1, ?2, 'Stray', 'D')",
        {loose.docNumber, zulu});
    const LibraryBuilder::Profile box = beta.addFolder(named("Beta box"));
    beta.fileItem(box.docNumber, held.docNumber, "Held", u'F', 4);
    const LibraryBuilder::Profile self = beta.addFolder(named("Self"));
    beta.fileItem(self.docNumber, self.docNumber, "Self", u'F');
    ASSERT_EQ(std::make_tuple(top.docNumber, zulu, sub.docNumber, leaf, loose.docNumber, held.docNumber,
                              box.docNumber),
              std::make_tuple(100, 101, 102, 103, 104, 105, 105));

    LibraryCheck check(dm);
    EXPECT_EQ(check.folderTree("ALPHA"), QStringList({
                                             "Public",
                                             "  F #100 ALPHA \"Top (public)\"",
                                             "    D #101 ALPHA \"Zulu doc\"",
                                             "    F #102 ALPHA \"Sub\"",
                                             "      F #100 ALPHA \"Top again\" (cycle)",
                                             "      D #103 ALPHA \"Leaf\"",
                                             "    D #104 BETA \"Beta memo\"",
                                             "Shared/Personal",
                                             "  F #104 ALPHA \"Loose\"",
                                             "    D #103 ALPHA \"Leaf copy\"",
                                             "    D #101 ALPHA \"Stray\" (not in the list)",
                                         }));
    EXPECT_EQ(check.folderTree("alpha", 102), QStringList({
                                                  "F #102 ALPHA \"Sub\"",
                                                  "  F #100 ALPHA \"Top again\"",
                                                  "    D #101 ALPHA \"Zulu doc\"",
                                                  "    F #102 ALPHA \"Sub\" (cycle)",
                                                  "    D #104 BETA \"Beta memo\"",
                                                  "  D #103 ALPHA \"Leaf\"",
                                              }));
    EXPECT_EQ(check.folderTree("BETA"), QStringList({
                                            "Public",
                                            "Shared/Personal",
                                            "  F #105 BETA \"Beta box\"",
                                            "    F #105 ALPHA \"Held\"",
                                            "      D #103 ALPHA \"Leaf\"",
                                        }));
    // Top and Sub hold each other; Self holds itself; BETA's box holds ALPHA's #105, not its own.
    EXPECT_EQ(
        check.violations(),
        QStringList({"ALPHA: FOLDER_ITEM of folder #104: SYSTEM_ID 50 not reached from the "
                     "first item",
                     "ALPHA: FOLDER_ITEM: folder #100 contains itself, directly or through other folders",
                     "ALPHA: FOLDER_ITEM: folder #102 contains itself, directly or through other folders",
                     "BETA: FOLDER_ITEM: folder #106 contains itself, directly or through other folders"}));
    EXPECT_THROW(check.folderTree("ALPHA", leaf), DmError);
    EXPECT_THROW(check.folderTree("GAMMA"), DmError);
}
