#include "demofixture.h"

#include "dmapi/dmerror.h"
#include "localdm/tools/librarycheck.h"

#include <QDir>
#include <QFile>
#include <QRegularExpression>
#include <QSet>

#include <gtest/gtest.h>

namespace {

const QStringList Libraries = {"CORPORATE", "ARCHIVE", "LEGAL"};

QSet<qint64> numbers(LibraryDatabase &db, const QString &sql)
{
    QSet<qint64> result;
    for (const QVariantList &row : db.query(sql))
        result.insert(row[0].toLongLong());
    return result;
}

qint64 peopleId(LibraryDatabase &db, const QString &user)
{
    return db.scalar("SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = ?1", {user}).toLongLong();
}

QSet<QString> rightsOf(LibraryDatabase &db, qint64 person)
{
    QSet<QString> rights;
    for (const QVariantList &row :
         db.query("SELECT R.RIGHT_NAME FROM DM_RIGHTS R JOIN PEOPLEGROUPS PG "
                  "ON PG.GROUPS_SYSTEM_ID = R.GROUPS_SYSTEM_ID WHERE PG.PEOPLE_SYSTEM_ID = ?1",
                  {person}))
        rights.insert(row[0].toString());
    return rights;
}

// The folder tree's security filter: folders with a SECURITY row of the person or one of its groups.
const QString VisibleFolders =
    "SELECT COUNT(*) FROM FOLDER F JOIN PROFILE PR ON PR.DOCNUMBER = F.DOCNUMBER WHERE PR.SYSTEM_ID IN "
    "(SELECT THING FROM SECURITY WHERE ACCESSRIGHTS BETWEEN 1 AND 255 AND (PERSONORGROUP = ?1 OR "
    "PERSONORGROUP IN (SELECT GROUPS_SYSTEM_ID FROM PEOPLEGROUPS WHERE PEOPLE_SYSTEM_ID = ?1)))";

} // namespace

TEST(DemoInstallation, BothSizesPassTheCheckAndTheLargeOneIsBigEnoughForBenchmarks)
{
    DemoFixture small;
    EXPECT_EQ(LibraryCheck(small.dm).violations(), QStringList());

    DemoFixture large(DemoSize::Large);
    EXPECT_EQ(LibraryCheck(large.dm).violations(), QStringList());
    qint64 documents = 0;
    qint64 folders = 0;
    qint64 biggestFolder = 0;
    for (const QString &library : Libraries) {
        LibraryDatabase &db = large.db(library);
        documents += db.scalar("SELECT COUNT(*) FROM PROFILE WHERE APPLICATION <> 1").toLongLong();
        folders += db.scalar("SELECT COUNT(*) FROM FOLDER").toLongLong();
        biggestFolder = std::max(
            biggestFolder,
            db.scalar("SELECT MAX(N) FROM (SELECT COUNT(*) AS N FROM FOLDER_ITEM GROUP BY PARENT) AS SIZES")
                .toLongLong());
    }
    EXPECT_GE(documents, 10000);
    EXPECT_GE(folders, 1000);
    EXPECT_GE(biggestFolder, 5000);
}

TEST(DemoInstallation, SizesAreKnownByTheirExactNamesOnly)
{
    const std::pair<QString, std::optional<DemoSize>> cases[] = {
        {"small", DemoSize::Small}, {"large", DemoSize::Large}, {"huge", DemoSize::Huge},
        {"Huge", std::nullopt},     {" huge", std::nullopt},    {"", std::nullopt},
        {"medium", std::nullopt},
    };
    for (const auto &[name, size] : cases)
        EXPECT_EQ(DemoSizeFromName(name), size) << name.toStdString();
}

TEST(DemoInstallation, HasOneLibraryOfEachPersonalityListingAllOthersUnderItsOwnNumbers)
{
    DemoFixture demo;
    ASSERT_EQ(demo.installation.libraries.size(), 3);
    const LibraryConfig &mssql = *demo.installation.library("CORPORATE");
    EXPECT_EQ(mssql.engine, 10);
    EXPECT_EQ(mssql.compatibilityLevel, 150);
    EXPECT_TRUE(mssql.productVersion.startsWith("15."));
    EXPECT_TRUE(mssql.primary);
    EXPECT_EQ(demo.installation.library("ARCHIVE")->engine, 2);
    EXPECT_EQ(demo.installation.library("LEGAL")->engine, 6);
    EXPECT_EQ(demo.installation.currentLibrary, "CORPORATE");
    EXPECT_EQ(demo.installation.user, "JDOE");

    QSet<QString> owners;
    QSet<QSet<qint64>> numberings;
    for (const QString &library : Libraries) {
        LibraryDatabase &db = demo.db(library);
        owners.insert(db.config().owner);
        EXPECT_EQ(db.scalar("SELECT LIBRARY_NAME FROM REMOTE_LIBRARIES WHERE SYSTEM_ID = 0").toString(),
                  library);
        QSet<QString> listed;
        for (const QVariantList &row : db.query("SELECT LIBRARY_NAME FROM REMOTE_LIBRARIES"))
            listed.insert(row[0].toString());
        EXPECT_EQ(listed, QSet<QString>(Libraries.begin(), Libraries.end())) << library.toStdString();
        // The remote number of the same library must differ between libraries.
        numberings.insert(numbers(db, "SELECT SYSTEM_ID FROM REMOTE_LIBRARIES WHERE SYSTEM_ID <> 0"));
    }
    EXPECT_EQ(owners.size(), 3);
    EXPECT_EQ(numberings.size(), 3);
}

TEST(DemoInstallation, TheUserHasUniversalAccessEverywhereAndFolderRightsInTwoLibraries)
{
    // A login user who shares the name of a demo person replaces that person.
    for (const QString &user : {QStringLiteral("JDOE"), QStringLiteral("amartin")}) {
        SCOPED_TRACE(user.toStdString());
        DemoFixture demo(DemoSize::Small, user);
        EXPECT_EQ(LibraryCheck(demo.dm).violations(), QStringList());
        QSet<qint64> peopleIds;
        QStringList withRights;
        for (const QString &library : Libraries) {
            LibraryDatabase &db = demo.db(library);
            const qint64 person = peopleId(db, user);
            ASSERT_NE(person, 0) << library.toStdString();
            peopleIds.insert(person);
            const QString owner = db.config().owner;
            EXPECT_GT(
                db.scalar(QStringLiteral("SELECT COUNT(*) FROM %1.PEOPLEGROUPS PG WHERE PEOPLE_SYSTEM_ID = "
                                         "(SELECT SYSTEM_ID FROM %1.PEOPLE WHERE USER_ID = '%2') AND "
                                         "GROUPS_SYSTEM_ID IN (SELECT SYSTEM_ID FROM %1.GROUPS WHERE "
                                         "UNIV_ACCESS = 255)")
                              .arg(owner, user))
                    .toInt(),
                0);
            const QSet<QString> rights = rightsOf(db, person);
            if (!rights.isEmpty()) {
                EXPECT_EQ(rights, QSet<QString>({"User.SaveToRemoteLibrary", "User.ManageRootFolders",
                                                 "User.CreateFolder"}));
                withRights << library;
            }
            // Somebody holds the rights in every library, so the missing ones are the user's alone.
            EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM DM_RIGHTS").toInt(), 3);
            EXPECT_EQ(db.scalar("SELECT CHAR_VAL FROM QENT_SETTINGS WHERE MASTER_KEY = 'KORVEL' AND "
                                "SECTION_KEY = 'SETTINGS' AND SUB_KEY = 'MASTER_LIBRARY'")
                          .toString(),
                      "ARCHIVE");
        }
        EXPECT_EQ(peopleIds.size(), 3);
        EXPECT_EQ(withRights, QStringList({"CORPORATE", "ARCHIVE"}));
    }
}

TEST(DemoInstallation, CarriesTheSettingsRowsAndUniqueNamesInOneLibrary)
{
    DemoFixture demo;
    LibraryDatabase &archive = demo.db("ARCHIVE");
    const qint64 parentFolder =
        archive
            .scalar("SELECT INT_VAL FROM QENT_SETTINGS WHERE MASTER_KEY = 'KORVEL' AND "
                    "SECTION_KEY = 'SETTINGS' AND SUB_KEY = 'PARENT_FOLDER'")
            .toLongLong();
    EXPECT_EQ(archive.scalar("SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1", {parentFolder}).toInt(), 1);
    EXPECT_EQ(demo.db("CORPORATE")
                  .scalar("SELECT CHAR_VAL FROM QENT_SETTINGS WHERE SUB_KEY = 'PROFILE_EXCLUDE_COLUMN'")
                  .toString(),
              "ABSTRACT");

    QStringList unique;
    for (const QString &library : Libraries) {
        LibraryDatabase &db = demo.db(library);
        if (db.scalar("SELECT VALUE FROM DM_PARAMETERS WHERE NAME = 'DOCSParms.UniqueDocNames'").toString() ==
            "1") {
            unique << library;
            EXPECT_EQ(db.scalar("SELECT COUNT(*) - COUNT(DISTINCT UPPER(DOCNAME)) FROM PROFILE").toInt(), 0);
        }
    }
    EXPECT_EQ(unique.size(), 1);
}

TEST(DemoInstallation, NumbersCollideAcrossLibrariesAndHideATopLevelFolderFromCarelessSql)
{
    DemoFixture demo;
    for (const QString &a : Libraries)
        for (const QString &b : Libraries)
            if (a < b) {
                const QString profiles = "SELECT DOCNUMBER FROM PROFILE";
                EXPECT_TRUE(numbers(demo.db(a), profiles).intersects(numbers(demo.db(b), profiles)));
                const QString ids = "SELECT SYSTEM_ID FROM PROFILE";
                EXPECT_TRUE(numbers(demo.db(a), ids).intersects(numbers(demo.db(b), ids)));
            }

    // A top-level folder whose number is also that of a document of another library filed in a
    // folder of the folder's own library.
    int found = 0;
    for (const QString &library : Libraries) {
        LibraryDatabase &db = demo.db(library);
        const QList<QVariantList> rows = db.query(
            "SELECT F.DOCNUMBER, RL.LIBRARY_NAME FROM FOLDER F JOIN FOLDER_ITEM FI ON FI.DOCNUMBER = "
            "F.DOCNUMBER "
            "JOIN REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY WHERE FI.LIBRARY <> 0 AND NOT EXISTS "
            "(SELECT 1 FROM FOLDER_ITEM H WHERE H.DOCNUMBER = F.DOCNUMBER AND H.LIBRARY = 0)");
        for (const QVariantList &row : rows) {
            LibraryDatabase &other = demo.db(row[1].toString());
            if (other
                    .scalar("SELECT COUNT(*) FROM PROFILE WHERE DOCNUMBER = ?1 AND APPLICATION <> 1",
                            {row[0]})
                    .toInt())
                ++found;
        }
    }
    EXPECT_GE(found, 1);
}

TEST(DemoInstallation, TreesHoldTheCasesAMoveMustHandle)
{
    DemoFixture demo;
    LibraryCheck check(demo.dm);
    int crossLibraryItems = 0;
    int foldersWithTwoParents = 0;
    int caseTwins = 0;
    bool apostrophe = false;
    bool accents = false;
    for (const QString &library : Libraries) {
        LibraryDatabase &db = demo.db(library);
        crossLibraryItems += db.scalar("SELECT COUNT(*) FROM FOLDER_ITEM WHERE LIBRARY <> 0").toInt();
        foldersWithTwoParents += db.scalar("SELECT COUNT(*) FROM (SELECT DOCNUMBER FROM FOLDER_ITEM WHERE "
                                           "NODE_TYPE = 'F' AND LIBRARY = 0 "
                                           "GROUP BY DOCNUMBER HAVING COUNT(DISTINCT PARENT) > 1) AS SHARED")
                                     .toInt();
        caseTwins +=
            db.scalar("SELECT COUNT(*) FROM PROFILE A JOIN PROFILE B ON UPPER(A.DOCNAME) = UPPER(B.DOCNAME) "
                      "AND A.DOCNAME || '' < B.DOCNAME || '' WHERE A.APPLICATION = 1 AND B.APPLICATION = 1")
                .toInt();
        apostrophe |=
            db.scalar("SELECT COUNT(*) FROM PROFILE WHERE APPLICATION = 1 AND DOCNAME LIKE '%''%'").toInt() >
            0;
        for (const QVariantList &row : db.query("SELECT DOCNAME FROM PROFILE WHERE APPLICATION = 1")) {
            const QString name = row[0].toString();
            accents |= std::any_of(name.cbegin(), name.cend(), [](QChar c) { return c.unicode() > 127; });
        }

        // Public and shared trees go three or four folders deep, with documents at the bottom.
        const QStringList tree = check.folderTree(library);
        const qsizetype shared = tree.indexOf("Shared/Personal");
        auto deepest = [&](qsizetype from, qsizetype to) {
            int depth = 0;
            for (qsizetype i = from; i < to; ++i)
                if (tree[i].trimmed().startsWith("F #"))
                    depth = std::max(depth, int(tree[i].indexOf(u'F') / 2));
            return depth;
        };
        EXPECT_GE(deepest(0, shared), 3) << library.toStdString();
        if (library != "LEGAL") {
            EXPECT_GE(deepest(shared, tree.size()), 3) << library.toStdString();
        }
    }
    EXPECT_GE(crossLibraryItems, 3);
    EXPECT_GE(foldersWithTwoParents, 1);
    EXPECT_GE(caseTwins, 1);
    EXPECT_TRUE(apostrophe);
    EXPECT_TRUE(accents);
}

TEST(DemoInstallation, SecurityShowsTheUserMostFoldersButNotAll)
{
    DemoFixture demo;
    for (const QString &library : Libraries) {
        SCOPED_TRACE(library.toStdString());
        LibraryDatabase &db = demo.db(library);
        const int folders = db.scalar("SELECT COUNT(*) FROM FOLDER").toInt();
        const int visible = db.scalar(VisibleFolders, {peopleId(db, "JDOE")}).toInt();
        EXPECT_GT(2 * visible, folders);
        EXPECT_LT(visible, folders);
        // DEFAULT_RIGHTS is 1 exactly where the trustees restrict access.
        EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM PROFILE P WHERE P.APPLICATION = 1 AND P.DEFAULT_RIGHTS <> "
                            "(SELECT CASE WHEN COUNT(*) > 0 THEN 1 ELSE 0 END FROM SECURITY S LEFT JOIN "
                            "GROUPS G ON G.SYSTEM_ID = S.PERSONORGROUP "
                            "WHERE S.THING = P.SYSTEM_ID AND S.PERSONORGROUP <> 0 AND "
                            "COALESCE(G.GROUP_ID, '') <> 'DOCS_USERS')")
                      .toInt(),
                  0);
    }

    // Every kind of folder security appears.
    LibraryDatabase &db = demo.db("CORPORATE");
    const QString trustees = "SELECT COUNT(*) FROM PROFILE P WHERE P.APPLICATION = 1 AND %1";
    EXPECT_GT(
        db.scalar(trustees.arg("NOT EXISTS (SELECT 1 FROM SECURITY S WHERE S.THING = P.SYSTEM_ID)")).toInt(),
        0);
    EXPECT_GT(db.scalar(trustees.arg("EXISTS (SELECT 1 FROM SECURITY S WHERE S.THING = P.SYSTEM_ID AND "
                                     "S.PERSONORGROUP = 0 AND S.ACCESSRIGHTS = 255)"))
                  .toInt(),
              0);
    EXPECT_GT(
        db
            .scalar(trustees.arg(
                "(SELECT CASE WHEN COUNT(*) = 1 THEN MIN(G.GROUP_ID) END FROM SECURITY S JOIN GROUPS G ON "
                "G.SYSTEM_ID = S.PERSONORGROUP WHERE S.THING = P.SYSTEM_ID) = 'DOCS_USERS'"))
            .toInt(),
        0);
    EXPECT_GT(
        db.scalar(trustees.arg("(SELECT COUNT(*) FROM SECURITY S WHERE S.THING = P.SYSTEM_ID) >= 3")).toInt(),
        0);
    EXPECT_GT(
        db
            .scalar(trustees.arg(
                "(SELECT CASE WHEN COUNT(*) = 1 THEN MIN(PE.USER_ID) END FROM SECURITY S JOIN PEOPLE PE ON "
                "PE.SYSTEM_ID = S.PERSONORGROUP WHERE S.THING = P.SYSTEM_ID) = 'JDOE'"))
            .toInt(),
        0);
}

TEST(DemoInstallation, SubfoldersInheritFormStorageAndRetentionExceptWhereTheyHaveTheirOwn)
{
    DemoFixture demo;
    LibraryDatabase &db = demo.db("CORPORATE");
    const QString pairs =
        "SELECT COUNT(*) FROM FOLDER_ITEM FI JOIN PROFILE P ON P.DOCNUMBER = FI.PARENT "
        "JOIN PROFILE C ON C.DOCNUMBER = FI.DOCNUMBER WHERE FI.NODE_TYPE = 'F' AND FI.LIBRARY = 0 "
        "AND P.FORM IS NOT NULL AND %1 (C.FORM = P.FORM AND C.STORAGETYPE = P.STORAGETYPE AND "
        "C.PATH = P.PATH AND C.RETENTION = P.RETENTION)";
    EXPECT_GE(db.scalar(pairs.arg("")).toInt(), 3);
    EXPECT_GE(db.scalar(pairs.arg("NOT")).toInt(), 1);
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM PROFILE WHERE FORM IS NOT NULL AND FORM NOT IN "
                        "(SELECT SYSTEM_ID FROM FORMS)")
                  .toInt(),
              0);

    const QRegularExpression isoDate("^\\d{4}-\\d\\d-\\d\\d$");
    const QList<QVariantList> activity = db.query(
        "SELECT A.START_DATE, PE.USER_ID FROM ACTIVITYLOG A LEFT JOIN PEOPLE PE ON PE.SYSTEM_ID = A.TYPIST");
    ASSERT_FALSE(activity.isEmpty());
    for (const QVariantList &row : activity) {
        EXPECT_TRUE(isoDate.match(row[0].toString()).hasMatch()) << row[0].toString().toStdString();
        EXPECT_FALSE(row[1].toString().isEmpty());
    }
}

TEST(DemoInstallation, TheDmNeverHandsOutANumberTheDemoUsed)
{
    DemoFixture demo;
    LibraryDatabase &db = demo.db("CORPORATE");
    const qint64 highest = db.scalar("SELECT MAX(DOCNUMBER) FROM PROFILE").toLongLong();
    db.exec("DELETE FROM PROFILE WHERE DOCNUMBER = ?1", {highest});
    EXPECT_EQ(db.nextNumber("PROFILE.DOCNUMBER"), highest + 1);
    const qint64 lastItem = db.scalar("SELECT MAX(SYSTEM_ID) FROM FOLDER_ITEM").toLongLong();
    db.exec("DELETE FROM FOLDER_ITEM WHERE SYSTEM_ID = ?1", {lastItem});
    EXPECT_EQ(db.nextNumber("FOLDER_ITEM.SYSTEM_ID"), lastItem + 1);
}

TEST(DemoInstallation, IsNotWrittenOverAnExistingOneAndLeavesNoHalfInstallationBehind)
{
    QTemporaryDir dir;
    CreateDemoInstallation(dir.path(), DemoSize::Small, "JDOE");
    EXPECT_THROW(CreateDemoInstallation(dir.path(), DemoSize::Small, "JDOE"), DmError);
    EXPECT_THROW(CreateDemoInstallation(dir.filePath("other"), DemoSize::Small, " "), DmError);

    // A library file in the way: the libraries written before it are removed again, it stays.
    QTemporaryDir second;
    QFile blocker(second.filePath("corporate.db"));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    EXPECT_THROW(CreateDemoInstallation(second.path(), DemoSize::Small, "JDOE"), DmError);
    EXPECT_EQ(QDir(second.path()).entryList(QDir::Files), QStringList({"corporate.db"}));
}

TEST(DemoInstallation, LocateInstallationCreatesTheDemoOnceAndOnlyWhereTheDemoBelongs)
{
    qunsetenv("KORVEL_DM");
    const QString demoFile = Installation::demoFileName();
    QDir(QFileInfo(demoFile).absolutePath()).removeRecursively();
    // Remains of an interrupted creation are replaced.
    QDir().mkpath(QFileInfo(demoFile).absolutePath());
    QFile stale(QFileInfo(demoFile).absoluteDir().filePath("archive.db"));
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.close();

    const LocatedInstallation created = FindInstallation({});
    ASSERT_EQ(created.fileName, demoFile);
    EXPECT_TRUE(created.demo && created.created);
    const Installation installation = Installation::load(demoFile);
    EXPECT_EQ(installation.user, DemoUserName());
    {
        const std::unique_ptr<LibraryDatabase> dbOpened =
            LibraryDatabase::open(*installation.library("ARCHIVE"));
        LibraryDatabase &db = *dbOpened;
        db.exec("INSERT INTO DM_PARAMETERS (NAME, VALUE) VALUES ('Marker', 'kept')");
    }
    const LocatedInstallation found = FindInstallation({});
    EXPECT_EQ(found.fileName, demoFile);
    EXPECT_TRUE(found.demo && !found.created);
    EXPECT_EQ(LocateInstallation({}), demoFile);
    const std::unique_ptr<LibraryDatabase> dbOpened = LibraryDatabase::open(*installation.library("ARCHIVE"));
    LibraryDatabase &db = *dbOpened;
    EXPECT_EQ(db.scalar("SELECT VALUE FROM DM_PARAMETERS WHERE NAME = 'Marker'").toString(), "kept");

    QTemporaryDir elsewhere;
    const QString missing = elsewhere.filePath("missing.ini");
    EXPECT_EQ(LocateInstallation(missing), missing);
    EXPECT_FALSE(FindInstallation(missing).demo || FindInstallation(missing).created);
    EXPECT_FALSE(QFileInfo::exists(missing));
}
