#include "installationbuilder.h"
#include "support/testbackend.h"

#include "dmapi/dmerror.h"
#include "localdm/localerror.h"
#include "localdm/locallibrary.h"
#include "localdm/tools/librarycheck.h"

#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// An item as another DM implementation might hand it over: only a number and a library.
struct ItemReference : DmProfileItem, DmFolderItem {
    ItemReference(int number, QString library) : m_number(number), m_library(std::move(library)) {}
    int documentNumber() const override { return m_number; }
    QString libraryName() const override { return m_library; }
    int m_number;
    QString m_library;
};

class LocalFolderTest : public testing::Test {
protected:
    LocalFolderTest()
    {
        for (const QString library : {"LIB_A", "LIB_B", "LIB_C"})
            builder.addUser(library, "JSMITH", "DOCS_USERS");
    }

    LocalLibrary library(const QString &name) { return LocalLibrary(dm, name); }
    int count(const QString &library, const QString &sql, const QVariantList &binds = {})
    {
        return builder.db(library).scalar(sql, binds).toInt();
    }
    // SYSTEM_ID, DOCNUMBER, LIBRARY, DISPLAYNAME, NODE_TYPE, ISFIRST and NEXT of a folder's rows.
    QList<QVariantList> itemRows(const QString &library, int folder)
    {
        return builder.db(library).query(
            "SELECT SYSTEM_ID, DOCNUMBER, LIBRARY, DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT "
            "FROM FOLDER_ITEM WHERE PARENT = ?1 ORDER BY SYSTEM_ID",
            {folder});
    }
    static QStringList names(const std::shared_ptr<DmItemCollection> &items)
    {
        QStringList result;
        for (int i = 1; i <= items->count(); ++i)
            result << items->item(i)->name() + u'@' + items->item(i)->libraryName();
        return result;
    }

    QTemporaryDir dir;
    InstallationBuilder builder{dir.path(), "JSMITH", InstallationBuilder::oneLibraryPerEngine()};
    std::shared_ptr<LocalDm> dm = builder.dm();
};

} // namespace

TEST_F(LocalFolderTest, AddedItemsAreAppendedToTheListWhenTheFolderIsSaved)
{
    const int remote = builder.addDocument("LIB_B", "Remote offer");
    const int projects = builder.addFolder("LIB_A", "Projects");
    ASSERT_EQ(remote, projects); // the same number in two libraries
    const qint64 existing =
        builder.link("LIB_A", projects, "LIB_A", builder.addDocument("LIB_A", "Existing"));
    const int archive = builder.addFolder("LIB_C", "Archive");

    const auto folder = library("LIB_A").openFolder(projects);
    ASSERT_TRUE(folder->addDocument(*library("LIB_B").openProfileItem(remote)));
    ASSERT_TRUE(folder->addSubfolder(*library("LIB_C").openFolderItem(archive)));
    EXPECT_EQ(itemRows("LIB_A", projects).size(), 1);
    ASSERT_TRUE(folder->save(3)) << folder->errorDescription().toStdString();

    const QList<QVariantList> rows = itemRows("LIB_A", projects);
    ASSERT_EQ(rows.size(), 3);
    EXPECT_EQ(rows[0][0].toLongLong(), existing);
    EXPECT_EQ(rows[0].mid(5), QVariantList({"Y", rows[1][0]}));
    EXPECT_EQ(rows[1].mid(1), QVariantList({remote, builder.remoteId("LIB_A", "LIB_B"), "Remote offer", "D",
                                            "N", rows[2][0]}));
    EXPECT_EQ(rows[2].mid(1),
              QVariantList({archive, builder.remoteId("LIB_A", "LIB_C"), "Archive", "F", "N", qint64(0)}));
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM FOLDER_ITEM WHERE PARENT_LIBRARY <> 0"), 0);
    // Only the folder's own save is logged here: the linked items belong to other libraries.
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM ACTIVITYLOG"), 1);

    EXPECT_EQ(names(folder->items()), QStringList({"Existing@LIB_A", "Remote offer@LIB_B", "Archive@LIB_C"}));
    EXPECT_EQ(names(folder->subdocuments()), QStringList({"Existing@LIB_A", "Remote offer@LIB_B"}));
    EXPECT_EQ(names(folder->subfolders()), QStringList({"Archive@LIB_C"}));
    EXPECT_EQ(folder->subfolders()->item(1)->documentNumber(), archive);

    // The first item of an empty folder starts its list.
    const auto fresh = library("LIB_B").newFolder();
    fresh->setNameA("Fresh");
    ASSERT_TRUE(fresh->addDocument(*library("LIB_B").openProfileItem(remote)));
    ASSERT_TRUE(fresh->save(3));
    EXPECT_EQ(itemRows("LIB_B", fresh->documentNumber()).first().mid(1),
              QVariantList({remote, qint64(0), "Remote offer", "D", "Y", qint64(0)}));
    EXPECT_EQ(count("LIB_B", "SELECT COUNT(*) FROM ACTIVITYLOG WHERE DOCNUMBER = ?1 AND ACTIVITYTYPE = 3",
                    {remote}),
              1);
}

TEST_F(LocalFolderTest, ASaveThatFailsAtTheLastLinkLeavesNoPartOfTheFolder)
{
    const int local = builder.addDocument("LIB_A", "Local");
    const int remote = builder.addDocument("LIB_B", "Remote");
    const auto folder = library("LIB_A").newFolder();
    folder->setNameA("New");
    folder->setPublic(true);
    ASSERT_TRUE(folder->addDocument(ItemReference(local, "LIB_A")));
    ASSERT_TRUE(folder->addDocument(ItemReference(remote, "LIB_B")));
    builder.db("LIB_A").exec("DELETE FROM REMOTE_LIBRARIES WHERE LIBRARY_NAME = 'LIB_B'");

    EXPECT_FALSE(folder->save(3));
    EXPECT_EQ(folder->errorNumber(), qint32(LocalError::NotRemoteLibrary));
    EXPECT_EQ(folder->documentNumber(), 0);
    for (const char *table : {"FOLDER", "FOLDER_ITEM", "SECURITY", "ROOT_OBJECT", "ACTIVITYLOG"})
        EXPECT_EQ(count("LIB_A", QString("SELECT COUNT(*) FROM %1").arg(table)), 0) << table;
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM PROFILE"), 1);

    // The links wait for a save that can write them all.
    builder.db("LIB_A").exec("INSERT INTO REMOTE_LIBRARIES (SYSTEM_ID, LIBRARY_NAME) VALUES (77, 'LIB_B')");
    ASSERT_TRUE(folder->save(3));
    EXPECT_EQ(names(folder->items()), QStringList({"Local@LIB_A", "Remote@LIB_B"}));
    EXPECT_EQ(itemRows("LIB_A", folder->documentNumber()).last()[2], QVariant(qint64(77)));
}

TEST_F(LocalFolderTest, AddsAreRefusedWithAReasonAndAddNothing)
{
    const int spare = builder.addFolder("LIB_C", "Spare");
    const int top = builder.addFolder("LIB_C", "Top");
    const int clients = builder.addFolder("LIB_B", "Clients");
    const int projects = builder.addFolder("LIB_A", "Projects");
    ASSERT_EQ(spare, projects);
    builder.link("LIB_C", top, "LIB_B", clients);
    builder.link("LIB_B", clients, "LIB_A", projects);
    const int linked = builder.addDocument("LIB_A", "Linked");
    builder.link("LIB_A", projects, "LIB_A", linked);
    const int letter = builder.addDocument("LIB_B", "Letter");
    const auto folder = library("LIB_A").openFolder(projects);

    const auto refused = [&](bool added, LocalError error, const QString &text) {
        EXPECT_FALSE(added);
        EXPECT_EQ(folder->errorNumber(), qint32(error));
        EXPECT_TRUE(folder->errorDescription().contains(text)) << folder->errorDescription().toStdString();
    };
    refused(folder->addSubfolder(ItemReference(projects, "lib_a")), LocalError::FolderCycle,
            "cannot be added");
    refused(folder->addSubfolder(ItemReference(top, "LIB_C")), LocalError::FolderCycle,
            QString("Folder #%1 of library LIB_C").arg(top));
    refused(folder->addDocument(ItemReference(9999, "LIB_B")), LocalError::NoSuchDocument,
            "Document #9999 does not exist in library LIB_B");
    refused(folder->addSubfolder(ItemReference(letter, "LIB_B")), LocalError::NoSuchDocument,
            "is not a folder");
    refused(folder->addDocument(ItemReference(letter, "LIB_X")), LocalError::NoSuchLibrary, "LIB_X");
    refused(folder->addDocument(ItemReference(linked, "LIB_A")), LocalError::AlreadyInFolder, "already in");

    ASSERT_TRUE(folder->addSubfolder(ItemReference(spare, "LIB_C")));
    EXPECT_EQ(folder->errorNumber(), 0);
    refused(folder->addSubfolder(ItemReference(spare, "LIB_C")), LocalError::AlreadyInFolder, "already in");
    builder.db("LIB_A").exec("DELETE FROM REMOTE_LIBRARIES WHERE LIBRARY_NAME = 'LIB_B'");
    refused(folder->addDocument(ItemReference(letter, "LIB_B")), LocalError::NotRemoteLibrary,
            "Library LIB_B is not listed in the REMOTE_LIBRARIES of library LIB_A");

    ASSERT_TRUE(folder->save(3));
    EXPECT_EQ(names(folder->items()), QStringList({"Linked@LIB_A", "Spare@LIB_C"}));
}

TEST_F(LocalFolderTest, CollectionsFollowTheListAndRelinkItOnRemoval)
{
    const int folder = builder.addFolder("LIB_A", "Folder");
    QList<qint64> row;
    for (const QString name : {"one", "two", "three", "four"})
        row << builder.link("LIB_A", folder, "LIB_A", builder.addDocument("LIB_A", name));
    LibraryDatabase &db = builder.db("LIB_A");
    // Display order three, one, four, two; and a row that the list does not reach.
    db.exec("UPDATE FOLDER_ITEM SET ISFIRST = CASE SYSTEM_ID WHEN ?3 THEN 'Y' ELSE 'N' END, NEXT = CASE "
            "SYSTEM_ID "
            "WHEN ?3 THEN ?1 WHEN ?1 THEN ?4 WHEN ?4 THEN ?2 ELSE 0 END WHERE PARENT = ?5",
            {row[0], row[1], row[2], row[3], folder});
    db.exec(
        "INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, DOCNUMBER, DISPLAYNAME, NODE_TYPE) VALUES (3, ?1, 1, "
        "'stray', 'D')",
        {folder});

    const auto items = library("LIB_A").openFolder(folder)->items();
    EXPECT_EQ(names(items),
              QStringList({"three@LIB_A", "one@LIB_A", "four@LIB_A", "two@LIB_A", "stray@LIB_A"}));
    EXPECT_THROW(items->item(0), DmError);
    EXPECT_THROW(items->remove(6), DmError);
    items->remove(1);
    items->remove(3);
    EXPECT_EQ(items->count(), 5);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM FOLDER_ITEM"), 5);
    items->finish();
    EXPECT_EQ(names(items), QStringList({"one@LIB_A", "two@LIB_A", "stray@LIB_A"}));
    const auto listed = [&] {
        QStringList result;
        for (const QVariantList &r : itemRows("LIB_A", folder))
            result << QString("%1 %2 %3").arg(r[3].toString(), r[5].toString()).arg(r[6].toLongLong());
        return result;
    };
    EXPECT_EQ(listed(), QStringList({"stray N 0", QString("one Y %1").arg(row[1]), "two N 0"}));

    items->remove(2);
    items->finish();
    EXPECT_EQ(listed(), QStringList({"stray N 0", "one Y 0"}));
    EXPECT_EQ(names(library("LIB_A").openFolder(folder)->items()), QStringList({"one@LIB_A", "stray@LIB_A"}));
}

TEST_F(LocalFolderTest, ContainingFoldersAreFoundInEveryLibraryUnderItsOwnIds)
{
    const int inA = builder.addFolder("LIB_A", "A folder");
    const int offer = builder.addDocument("LIB_B", "Offer");
    const int inB = builder.addFolder("LIB_B", "B folder");
    const int inC = builder.addFolder("LIB_C", "C folder");
    ASSERT_EQ(offer, inA);
    builder.link("LIB_A", inA, "LIB_B", offer);
    builder.link("LIB_B", inB, "LIB_B", offer);
    builder.link("LIB_C", inC, "LIB_B", offer);
    // Rows holding the same document number of other libraries.
    builder.link("LIB_C", inC, "LIB_A", inA);
    const int decoy = builder.addFolder("LIB_A", "Decoy");
    builder.link("LIB_A", decoy, "LIB_A", inA);

    const auto profile = library("LIB_B").openProfile(offer);
    const auto parents = profile->containingFolders();
    EXPECT_EQ(names(parents), QStringList({"A folder@LIB_A", "B folder@LIB_B", "C folder@LIB_C"}));
    EXPECT_EQ(parents->item(1)->documentNumber(), inA);
    EXPECT_EQ(parents->item(2)->documentNumber(), inB);

    for (int i = parents->count(); i >= 1; --i)
        parents->remove(i);
    parents->finish();
    EXPECT_EQ(parents->count(), 0);
    EXPECT_EQ(profile->containingFolders()->count(), 0);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM FOLDER_ITEM"), 1);
    EXPECT_EQ(count("LIB_B", "SELECT COUNT(*) FROM FOLDER_ITEM"), 0);
    EXPECT_EQ(itemRows("LIB_C", inC).size(), 1);
    EXPECT_EQ(itemRows("LIB_C", inC).first().mid(5), QVariantList({"Y", qint64(0)}));
    EXPECT_EQ(names(library("LIB_A").openProfile(inA)->containingFolders()),
              QStringList({"Decoy@LIB_A", "C folder@LIB_C"}));
}

TEST_F(LocalFolderTest, DeleteIsRefusedWhileTheFolderHoldsOrIsHeld)
{
    const int old = builder.addFolder("LIB_A", "Old", true);
    const int child = builder.addDocument("LIB_A", "Child");
    const int parent = builder.addFolder("LIB_C", "Parent");
    builder.link("LIB_A", old, "LIB_A", child);
    builder.link("LIB_C", parent, "LIB_A", old);
    const qint64 systemId = builder.profileSystemId("LIB_A", old);
    builder.addTrustee("LIB_A", old, builder.addGroup("LIB_A", "DOCS_USERS"), 255);

    const auto folder = library("LIB_A").openFolder(old);
    EXPECT_TRUE(folder->isPublic());
    EXPECT_FALSE(folder->deleteFolder(3));
    EXPECT_EQ(folder->errorNumber(), qint32(LocalError::FolderNotEmpty));
    EXPECT_EQ(folder->errorDescription(),
              QString("Folder #%1 in library LIB_A still holds 1 item(s)").arg(old));
    const auto documents = folder->subdocuments();
    documents->remove(1);
    documents->finish();

    EXPECT_FALSE(folder->deleteFolder(3));
    EXPECT_EQ(folder->errorNumber(), qint32(LocalError::FolderContained));
    EXPECT_TRUE(folder->errorDescription().contains(QString("folder #%1 in library LIB_C").arg(parent)));
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM PROFILE WHERE DOCNUMBER = ?1", {old}), 1);
    const auto parents = folder->asProfile()->containingFolders();
    parents->remove(1);
    parents->finish();

    ASSERT_TRUE(folder->deleteFolder(3)) << folder->errorDescription().toStdString();
    EXPECT_EQ(folder->errorNumber(), 0);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM PROFILE WHERE DOCNUMBER = ?1", {old}), 0);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1", {old}), 0);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM ROOT_OBJECT WHERE DOCNUMBER = ?1", {old}), 0);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM SECURITY WHERE THING = ?1", {systemId}), 0);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM ACTIVITYLOG WHERE DOCNUMBER = ?1", {old}), 1);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM PROFILE WHERE DOCNUMBER = ?1", {child}), 1);

    // The object outlives its rows: it can neither be deleted again nor saved back into being.
    EXPECT_FALSE(folder->deleteFolder(3));
    EXPECT_FALSE(folder->save(3));
    EXPECT_EQ(folder->errorNumber(), qint32(LocalError::NoSuchDocument));
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1", {old}), 0);
}

TEST_F(LocalFolderTest, ThePublicFlagIsTheRootObjectRow)
{
    const int number = builder.addFolder("LIB_B", "Shared", true);
    const auto folder = library("LIB_B").openFolder(number);
    folder->setPublic(false);
    ASSERT_TRUE(folder->save(2));
    EXPECT_EQ(count("LIB_B", "SELECT COUNT(*) FROM ROOT_OBJECT"), 0);
    EXPECT_FALSE(library("LIB_B").openFolder(number)->isPublic());
    folder->setPublic(true);
    ASSERT_TRUE(folder->save(2));
    EXPECT_TRUE(library("LIB_B").openFolder(number)->isPublic());
}

TEST_F(LocalFolderTest, PlantedFaultsFailTheCallTheyAreSetOn)
{
    const int number = builder.addFolder("LIB_A", "Target");
    const int document = builder.addDocument("LIB_A", "Document");
    builder.link("LIB_A", number, "LIB_A", builder.addDocument("LIB_A", "Linked"));
    dm = builder.dm("open:2, save:1, add:1, remove:1, delete:1");

    EXPECT_TRUE(library("LIB_A").openFolder(number));
    EXPECT_FALSE(library("LIB_A").newFolder());
    EXPECT_TRUE(library("LIB_A").openProfile(document));

    const auto folder = library("LIB_A").openFolder(number);
    const auto item = library("LIB_A").openProfileItem(document);
    EXPECT_FALSE(folder->addDocument(*item));
    EXPECT_EQ(folder->errorNumber(), qint32(LocalError::PlantedFault));
    EXPECT_EQ(
        folder->errorDescription(),
        QString("Adding document #%1 of library LIB_A to folder #%2 in library LIB_A failed: a fault was "
                "planted at this call")
            .arg(document)
            .arg(number));
    ASSERT_TRUE(folder->addDocument(*item));
    EXPECT_FALSE(folder->save(3));
    EXPECT_EQ(folder->errorNumber(), qint32(LocalError::PlantedFault));
    EXPECT_EQ(itemRows("LIB_A", number).size(), 1);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM ACTIVITYLOG"), 0);
    ASSERT_TRUE(folder->save(3));
    EXPECT_EQ(itemRows("LIB_A", number).size(), 2);

    const auto items = folder->items();
    try {
        items->remove(1);
        FAIL() << "the planted remove did not fail";
    } catch (const DmError &error) {
        EXPECT_EQ(error.number(), qint32(LocalError::PlantedFault));
    }
    items->remove(1);
    items->remove(2);
    items->finish();

    EXPECT_FALSE(folder->deleteFolder(3));
    EXPECT_EQ(folder->errorNumber(), qint32(LocalError::PlantedFault));
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM PROFILE WHERE DOCNUMBER = ?1", {number}), 1);
    EXPECT_TRUE(folder->deleteFolder(3));
}

// Appending and removing at either end and in the middle, in a library made with the folder list
// indexes and in one made before them, which is worked on as it is and never given them.
TEST_F(LocalFolderTest, AppendingAndRemovingKeepTheListWholeWithOrWithoutItsIndexes)
{
    if (TestLibrariesOnServer())
        GTEST_SKIP() << "counts and drops the folder list indexes through SQLite's catalog";
    struct Case {
        const char *name;
        QStringList removed;
        QStringList expected; // the display order after the removals and one more item appended
    };
    const QStringList start = {"a", "b", "c", "d", "e"};
    const Case cases[] = {
        {"first", {"a"}, {"b", "c", "d", "e", "new"}},
        {"middle", {"c"}, {"a", "b", "d", "e", "new"}},
        {"last", {"e"}, {"a", "b", "c", "d", "new"}},
        {"first and last", {"a", "e"}, {"b", "c", "d", "new"}},
        {"all but the middle", {"a", "b", "d", "e"}, {"c", "new"}},
        {"all", start, {"new"}},
        {"none", {}, {"a", "b", "c", "d", "e", "new"}},
    };
    const auto indexes = [&] {
        return builder.db("LIB_A")
            .query("SELECT name FROM DOCSADM.sqlite_master WHERE name IN ('FOLDER_ITEM_NEXT', "
                   "'FOLDER_ITEM_FIRST')")
            .size();
    };
    ASSERT_EQ(indexes(), 2);
    for (const bool indexed : {true, false}) {
        if (!indexed) {
            builder.db("LIB_A").exec("DROP INDEX DOCSADM.FOLDER_ITEM_NEXT");
            builder.db("LIB_A").exec("DROP INDEX DOCSADM.FOLDER_ITEM_FIRST");
        }
        for (const Case &c : cases) {
            SCOPED_TRACE(std::string(c.name) + (indexed ? ", indexed" : ", without indexes"));
            const int folder = builder.addFolder("LIB_A", "Folder");
            for (const QString &name : start)
                builder.link("LIB_A", folder, "LIB_A", builder.addDocument("LIB_A", name));

            const auto items = library("LIB_A").openFolder(folder)->items();
            for (int i = items->count(); i >= 1; --i)
                if (c.removed.contains(items->item(i)->name()))
                    items->remove(i);
            items->finish();
            const auto opened = library("LIB_A").openFolder(folder);
            ASSERT_TRUE(
                opened->addDocument(*library("LIB_A").openProfileItem(builder.addDocument("LIB_A", "new"))));
            ASSERT_TRUE(opened->save(3)) << opened->errorDescription().toStdString();

            QStringList expected;
            for (const QString &name : c.expected)
                expected << name + "@LIB_A";
            EXPECT_EQ(names(library("LIB_A").openFolder(folder)->items()), expected);
            EXPECT_EQ(LibraryCheck(*dm).violations(), QStringList());
        }
        EXPECT_EQ(indexes(), indexed ? 2 : 0);
    }
}

// An item appended to a damaged list comes last in the display order, every earlier item is still listed
// in its place, and the library check finds no damage it did not find before (numbers aside).
TEST_F(LocalFolderTest, AppendingToADamagedListKeepsEveryItemAndAddsNoDamage)
{
    const struct {
        const char *name;
        const char *damage; // ?1: the folder
    } cases[] = {
        {"no first row, a last one", "UPDATE FOLDER_ITEM SET ISFIRST = 'N' WHERE PARENT = ?1"},
        {"a first row, no last one: a NEXT to no row",
         "UPDATE FOLDER_ITEM SET NEXT = 999999 WHERE PARENT = ?1 AND NEXT = 0"},
        {"a first row, no last one: a cycle",
         "UPDATE FOLDER_ITEM SET NEXT = (SELECT SYSTEM_ID FROM FOLDER_ITEM WHERE PARENT = ?1 AND ISFIRST = "
         "'Y') WHERE PARENT = ?1 AND NEXT = 0"},
        {"two first rows", "UPDATE FOLDER_ITEM SET ISFIRST = 'Y' WHERE PARENT = ?1 AND DISPLAYNAME = 'b'"},
        {"no first row and no last one",
         "UPDATE FOLDER_ITEM SET ISFIRST = 'N', NEXT = CASE NEXT WHEN 0 THEN (SELECT MIN(SYSTEM_ID) FROM "
         "FOLDER_ITEM WHERE PARENT = ?1) ELSE NEXT END WHERE PARENT = ?1"},
    };
    const auto masked = [&] {
        QStringList lines = LibraryCheck(*dm).violations();
        for (QString &line : lines)
            line.replace(QRegularExpression("\\d+"), "N");
        return QSet<QString>(lines.cbegin(), lines.cend());
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.name);
        const int folder = builder.addFolder("LIB_A", c.name);
        for (const QString name : {"a", "b", "c"})
            builder.link("LIB_A", folder, "LIB_A", builder.addDocument("LIB_A", name));
        builder.db("LIB_A").exec(c.damage, {folder});
        const QStringList before = names(library("LIB_A").openFolder(folder)->items());
        const QSet<QString> damage = masked();
        ASSERT_FALSE(damage.isEmpty());

        const auto opened = library("LIB_A").openFolder(folder);
        ASSERT_TRUE(
            opened->addDocument(*library("LIB_A").openProfileItem(builder.addDocument("LIB_A", "new"))));
        ASSERT_TRUE(opened->save(3)) << opened->errorDescription().toStdString();

        EXPECT_EQ(names(library("LIB_A").openFolder(folder)->items()), before + QStringList{"new@LIB_A"});
        EXPECT_TRUE(damage.contains(masked())) << masked().values().join('\n').toStdString();
        builder.db("LIB_A").exec("DELETE FROM FOLDER_ITEM WHERE PARENT = ?1", {folder});
    }
}
