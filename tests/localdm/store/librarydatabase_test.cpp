#include "dmapi/dmerror.h"
#include "localdm/store/sqlitelibrary.h"

#include <QFile>
#include <QTemporaryDir>

#include <functional>
#include <optional>

#include <unistd.h>

#include <gtest/gtest.h>

namespace {

class LibraryDatabaseTest : public testing::Test {
protected:
    LibraryDatabaseTest()
    {
        config.name = "LIB1";
        config.databaseFile = dir.filePath("lib1.db");
        config.owner = "DOCSADM";
        config.databaseName = "DMLIB1";
        config.productVersion = "11.0.2100.60";
        config.compatibilityLevel = 110;
        config.quotedIdentifier = false;
        LibraryDatabase::create(config);
    }

    QTemporaryDir dir;
    LibraryConfig config;
};

} // namespace

TEST_F(LibraryDatabaseTest, TablesAnswerUnderTheOwnerAndUnqualified)
{
    SqliteLibrary db(config);
    db.exec("INSERT INTO DOCSADM.PROFILE (SYSTEM_ID, DOCNUMBER, DOCNAME) VALUES (?1, ?2, ?3)", {7, 100, "Réunions"});
    EXPECT_EQ(db.scalar("SELECT DOCNAME FROM PROFILE WHERE DOCNUMBER = 100").toString(), "Réunions");
    EXPECT_EQ(db.scalar("SELECT UPPER(DOCNAME) FROM DOCSADM.PROFILE").toString(), "RÉUNIONS");
    EXPECT_FALSE(db.scalar("SELECT UPPER(NULL)").isValid());
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM DOCSADM.DOCSTABLE WHERE TABLE_NAME = 'QENT_SETTINGS'").toInt(), 1);
}

TEST_F(LibraryDatabaseTest, ServerCatalogStandInsDescribeTheLibrary)
{
    SqliteLibrary db(config);
    EXPECT_EQ(db.scalar("select serverproperty('ProductVersion')").toString(), "11.0.2100.60");
    EXPECT_EQ(db.scalar("SELECT compatibility_level FROM sys.databases WHERE name = 'DMLIB1'").toInt(), 110);
    EXPECT_EQ(db.scalar("SELECT IS_QUOTED_IDENTIFIER_ON FROM SYS.DATABASES DB WHERE DB.NAME = 'DMLIB1'").toInt(), 0);
    EXPECT_EQ(db.scalar("select count(*) from sysobjects where id = object_id('DOCSADM.QENT_SETTINGS') "
                        "and sysstat & 0xf = 3 ")
                  .toInt(),
              1);
    EXPECT_EQ(db.scalar("select count(*) from sysobjects where id = object_id('DOCSADM.NEEDS_FOLDERING')").toInt(), 0);
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = 'QENT_SETTINGS'").toInt(), 1);
    EXPECT_EQ(db.scalar("SELECT OWNER FROM USER_TAB_PRIVS WHERE TABLE_NAME = 'REMOTE_LIBRARIES'").toString(),
              "DOCSADM");
    EXPECT_EQ(db.scalar("SELECT TO_DATE('05-MAR-26', 'DD-MON-RR')").toString(), "2026-03-05");
    EXPECT_THROW(db.scalar("SELECT TO_DATE('5 March', 'DD-MON-RR')"), DmError);
    EXPECT_EQ(db.query("SELECT x FROM (SELECT 'b' AS x UNION SELECT 'A' UNION SELECT 'É' UNION SELECT 'a2') "
                       "ORDER BY x COLLATE DMNOCASE")
                  .size(),
              4);
}

TEST_F(LibraryDatabaseTest, CountersNeverRepeatAndStartAboveExistingRows)
{
    SqliteLibrary db(config);
    db.exec("INSERT INTO PROFILE (SYSTEM_ID, DOCNUMBER) VALUES (1, 41)");
    EXPECT_EQ(db.nextNumber("PROFILE.DOCNUMBER"), 42);
    db.exec("DELETE FROM PROFILE");
    EXPECT_EQ(db.nextNumber("PROFILE.DOCNUMBER"), 43);
    EXPECT_EQ(db.nextNumber("PROFILE.SYSTEM_ID"), 1);
}

TEST_F(LibraryDatabaseTest, TransactionsRollBackUnlessCommitted)
{
    SqliteLibrary db(config);
    {
        LibraryDatabase::Transaction transaction(db);
        db.exec("INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (1, 1)");
    }
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM FOLDER").toInt(), 0);
    {
        LibraryDatabase::Transaction transaction(db);
        db.exec("INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (1, 1)");
        transaction.commit();
    }
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM FOLDER").toInt(), 1);
}

TEST_F(LibraryDatabaseTest, MissingOrForeignFilesAreRefusedByName)
{
    LibraryConfig missing = config;
    missing.databaseFile = dir.filePath("missing.db");
    try {
        SqliteLibrary db(missing);
        FAIL() << "opened a missing file";
    } catch (const DmError &error) {
        EXPECT_TRUE(error.description().contains(missing.databaseFile));
    }

    LibraryConfig foreign = config;
    foreign.databaseFile = dir.filePath("foreign.db");
    QFile file(foreign.databaseFile);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("this is not a database, only text long enough to be read as one...........");
    file.close();
    EXPECT_THROW(SqliteLibrary db(foreign), DmError);
    EXPECT_THROW(LibraryDatabase::create(config), DmError);

    // A second name would get a write-ahead log of its own: refused before SQLite makes one.
    ASSERT_EQ(::link(QFile::encodeName(config.databaseFile), QFile::encodeName(dir.filePath("copy.db"))), 0);
    for (const QString name : {"lib1.db", "copy.db"}) {
        LibraryConfig linked = config;
        linked.databaseFile = dir.filePath(name);
        EXPECT_THROW(SqliteLibrary db(linked), DmError);
        EXPECT_FALSE(QFile::exists(linked.databaseFile + "-wal"));
    }
}

// A library opened for reading only, as a preview opens it, answers queries and refuses every write; a
// path with blanks and a character that a file URI escapes opens too.
TEST_F(LibraryDatabaseTest, ReadOnlyLibraryRefusesWrites)
{
    {
        SqliteLibrary db(config);
        db.exec("INSERT INTO PROFILE (SYSTEM_ID, DOCNUMBER, DOCNAME) VALUES (7, 100, 'Plans')");
    }
    LibraryConfig readOnly = config;
    readOnly.databaseFile = dir.filePath("a library #1.db");
    ASSERT_TRUE(QFile::rename(config.databaseFile, readOnly.databaseFile));
    readOnly.readOnly = true;
    SqliteLibrary db(readOnly);
    EXPECT_EQ(db.scalar("SELECT DOCNAME FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100").toString(), "Plans");
    EXPECT_THROW(db.exec("UPDATE PROFILE SET DOCNAME = 'Other'"), DmError);
    EXPECT_THROW(db.nextNumber("PROFILE.DOCNUMBER"), DmError);
}

TEST_F(LibraryDatabaseTest, TextComparesAndChangesCaseAsQStringDoes)
{
    SqliteLibrary db(config);
    const QStringList texts = {"",  "a", "ab", "Ab", "abc",    "ABD",     "Z",     "_",     "`", "{",
                               "é", "É", "Éa", "ea", "straße", "STRASSE", "Ärger", "arger", "i", "İ"};
    for (const QString &a : texts) {
        EXPECT_EQ(db.scalar("SELECT UPPER(?1)", {a}).toString(), a.toUpper()) << qPrintable(a);
        EXPECT_EQ(db.scalar("SELECT LOWER(?1)", {a}).toString(), a.toLower()) << qPrintable(a);
        for (const QString &b : texts) {
            const int expected = a.compare(b, Qt::CaseInsensitive);
            EXPECT_EQ(db.scalar("SELECT CASE WHEN ?1 = ?2 COLLATE DMNOCASE THEN 0 "
                                "WHEN ?1 < ?2 COLLATE DMNOCASE THEN -1 ELSE 1 END",
                                {a, b})
                          .toInt(),
                      (expected > 0) - (expected < 0))
                << qPrintable(a) << " against " << qPrintable(b);
        }
    }
}

TEST_F(LibraryDatabaseTest, LookupsAnswerWhatTheTableHoldsAfterEveryKindOfChange)
{
    const QString person = "SELECT SYSTEM_ID FROM PEOPLE WHERE UPPER(USER_ID) = UPPER(?1)";
    SqliteLibrary db(config);
    SqliteLibrary other(config);
    const auto renumber = [](SqliteLibrary &on, int id) {
        on.exec("UPDATE PEOPLE SET SYSTEM_ID = ?1 WHERE USER_ID = 'JSMITH'", {id});
    };
    struct Case {
        const char *change;
        std::function<void()> run;
        std::optional<qint64> expected;
    };
    const QList<Case> cases = {
        {"another connection commits", [&] { renumber(other, 20); }, 20},
        {"this connection writes", [&] { renumber(db, 30); }, 30},
        {"a transaction of this connection rolls back",
         [&] {
             LibraryDatabase::Transaction transaction(db);
             renumber(db, 40);
             EXPECT_EQ(db.lookup(person, {"jsmith"}).toLongLong(), 40);
         },
         30},
        {"a call inside an open transaction is undone",
         [&] {
             LibraryDatabase::Transaction outer(db);
             {
                 LibraryDatabase::Transaction inner(db);
                 renumber(db, 50);
                 EXPECT_EQ(db.lookup(person, {"jsmith"}).toLongLong(), 50);
             }
             EXPECT_EQ(db.lookup(person, {"jsmith"}).toLongLong(), 30);
             outer.commit();
         },
         30},
        {"another connection writes while this one holds a transaction open",
         [&] {
             db.exec("BEGIN");
             EXPECT_EQ(db.lookup(person, {"jsmith"}).toLongLong(), 30);
             db.exec("COMMIT");
             renumber(other, 60);
         },
         60},
        {"the table is emptied", [&] { db.exec("DELETE FROM PEOPLE"); }, std::nullopt},
    };
    db.exec("INSERT INTO PEOPLE (SYSTEM_ID, USER_ID) VALUES (10, 'JSMITH')");
    ASSERT_EQ(db.lookup(person, {"jsmith"}).toLongLong(), 10);
    for (const Case &c : cases) {
        SCOPED_TRACE(c.change);
        c.run();
        const QVariant found = db.lookup(person, {"jsmith"});
        EXPECT_EQ(found.isValid() ? std::optional<qint64>(found.toLongLong()) : std::nullopt, c.expected);
    }
}
