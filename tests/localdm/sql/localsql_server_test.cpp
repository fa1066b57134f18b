#include "localsqlfixture.h"
#include "support/testbackend.h"

namespace {

const QString FirstChange = "UPDATE DOCSADM.PROFILE SET ABSTRACT = 'one' WHERE DOCNUMBER = 100";
const QString SecondChange = "UPDATE DOCSADM.PROFILE SET ABSTRACT = 'two' WHERE DOCNUMBER = 101";
// Fails as it runs, not as it is prepared: PEOPLE 11 is there.
const QString DuplicateKey = "INSERT INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (11, 'TWIN')";

// A session of statements sent one by one, and what another connection sees of it.
struct TransactionCase {
    const char *library;
    const char *faults;
    QList<std::pair<QString, qint32>> statements; // statement and the status it returns
    const char *whileOpen;                        // ABSTRACT of 100 and 101 committed before the session ends
    const char *afterEnd;                         // and once the SQL object is bound elsewhere
};

const TransactionCase TransactionCases[] = {
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRANSACTION", 0}, {FirstChange, 0}, {SecondChange, 0}, {"COMMIT", 0}},
     "one|two",
     "one|two"},
    {"LIB_MSSQL",
     "",
     {{"begin tran", 0}, {FirstChange, 0}, {SecondChange, 0}, {"ROLLBACK TRANSACTION;", 0}},
     "|",
     "|"},
    {"LIB_MSSQL", "", {{"BEGIN TRANSACTION", 0}, {FirstChange, 0}}, "|", "|"},
    {"LIB_MSSQL", "", {{FirstChange, 0}}, "one|", "one|"},
    {"LIB_MSSQL", "", {{"COMMIT", 3902}, {"ROLLBACK", 3903}, {"COMMIT TRANSACTION", 3902}}, "|", "|"},
    // Only the outermost COMMIT commits; a ROLLBACK ends every level.
    {"LIB_MSSQL", "", {{"BEGIN TRAN", 0}, {"BEGIN TRAN", 0}, {FirstChange, 0}, {"COMMIT TRAN", 0}}, "|", "|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRAN", 0}, {"BEGIN TRAN", 0}, {FirstChange, 0}, {"COMMIT TRAN", 0}, {"COMMIT WORK", 0}},
     "one|",
     "one|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRAN", 0}, {"BEGIN TRAN", 0}, {FirstChange, 0}, {"ROLLBACK", 0}, {"COMMIT", 3902}},
     "|",
     "|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRAN sorting", 0},
      {FirstChange, 0},
      {"ROLLBACK TRAN other", 6401},
      {"ROLLBACK TRAN sorting", 0}},
     "|",
     "|"},
    // A failed statement, planted or refused, leaves the transaction open for the caller to end.
    {"LIB_MSSQL",
     "sql:3",
     {{"BEGIN TRANSACTION", 0}, {FirstChange, 0}, {SecondChange, 1103}, {"ROLLBACK", 0}},
     "|",
     "|"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRANSACTION", 0}, {FirstChange, 0}, {"UPDATE DOCSADM.NOPE SET X = 1", 208}, {"COMMIT", 0}},
     "one|",
     "one|"},
    // On the servers a failed statement is undone alone: the statements after it and the COMMIT take effect.
    {"LIB_MSSQL",
     "",
     {{"BEGIN TRAN", 0}, {FirstChange, 0}, {DuplicateKey, 2627}, {SecondChange, 0}, {"COMMIT", 0}},
     "one|two",
     "one|two"},
    {"LIB_ORACLE",
     "",
     {{FirstChange, 0}, {DuplicateKey, 1}, {SecondChange, 0}, {"COMMIT", 0}},
     "one|two",
     "one|two"},
    {"LIB_MSSQL",
     "",
     {{"BEGIN", 102},
      {"BEGIN DISTRIBUTED TRANSACTION", 102},
      {"END TRANSACTION", 102},
      {"SAVE TRANSACTION here", 1105},
      {"ROLLBACK TO here", 102},
      {"RELEASE here", 102},
      {"COMMIT 'x'", 102}},
     "|",
     "|"},
    {"LIB_SYBASE", "", {{"begin transaction", 0}, {FirstChange, 0}, {"commit tran", 0}}, "one|", "one|"},
    {"LIB_SYBASE",
     "sql:2",
     {{"BEGIN TRAN", 0}, {FirstChange, 1103}, {SecondChange, 0}, {"ROLLBACK WORK", 0}},
     "|",
     "|"},
    {"LIB_SYBASE", "", {{"COMMIT", 0}, {"ROLLBACK TRANSACTION", 0}, {FirstChange, 0}}, "one|", "one|"},
    // Oracle: the first change opens the transaction; ending the session commits it.
    {"LIB_ORACLE", "", {{FirstChange, 0}, {SecondChange, 0}, {"COMMIT", 0}}, "one|two", "one|two"},
    {"LIB_ORACLE", "", {{FirstChange, 0}, {SecondChange, 0}, {"ROLLBACK WORK;", 0}}, "|", "|"},
    {"LIB_ORACLE", "", {{FirstChange, 0}, {SecondChange, 0}}, "|", "one|two"},
    {"LIB_ORACLE", "sql:2", {{FirstChange, 0}, {SecondChange, 1103}, {"ROLLBACK", 0}}, "|", "|"},
    {"LIB_ORACLE",
     "",
     {{"COMMIT", 0},
      {"ROLLBACK", 0},
      {"BEGIN TRANSACTION", 900},
      {"COMMIT TRANSACTION", 933},
      {"SAVEPOINT here", 1105},
      {"ROLLBACK TO SAVEPOINT here", 1105},
      {"END", 900}},
     "|",
     "|"},
};

} // namespace

TEST_F(LocalSqlTest, TransactionsAreAllOrNothingAsOnTheServer)
{
    const auto committed = [this](const char *library) {
        const std::unique_ptr<LibraryDatabase> readerOpened =
            LibraryDatabase::open(*dm->installation().library(library));
        LibraryDatabase &reader = *readerOpened;
        return QStringList{reader.scalar("SELECT ABSTRACT FROM PROFILE WHERE DOCNUMBER = 100").toString(),
                           reader.scalar("SELECT ABSTRACT FROM PROFILE WHERE DOCNUMBER = 101").toString()}
            .join(u'|')
            .toStdString();
    };
    for (const TransactionCase &test : TransactionCases) {
        const QString statements = [&] {
            QStringList texts;
            for (const auto &statement : test.statements)
                texts << statement.first;
            return texts.join(" / ");
        }();
        SCOPED_TRACE(QString("%1 [%2]: %3").arg(test.library, test.faults, statements).toStdString());
        dm->database(test.library).exec("UPDATE PROFILE SET ABSTRACT = NULL");
        Installation installation = dm->installation();
        installation.faults = test.faults;
        const auto session = std::make_shared<LocalDm>(installation);
        LocalSql pass(session);
        pass.setSecurityToken("TOKEN");
        pass.setLibrary(test.library);
        for (const auto &[statement, status] : test.statements)
            EXPECT_EQ(pass.execute(statement), status)
                << statement.toStdString() << ": " << pass.errorDescription().toStdString();
        EXPECT_EQ(committed(test.library), test.whileOpen);
        pass.setLibrary("LIB_MSSQL2008");
        EXPECT_EQ(committed(test.library), test.afterEnd);
    }
}

TEST_F(LocalSqlTest, DmCallsInsideAnOpenTransactionShareItsOutcome)
{
    LibraryDatabase &db = dm->database("LIB_MSSQL");
    LocalSql &pass = sql("LIB_MSSQL");
    const auto abstracts = [&db] {
        return db.query("SELECT ABSTRACT FROM PROFILE WHERE DOCNUMBER IN (100, 101) ORDER BY DOCNUMBER");
    };
    ASSERT_EQ(pass.execute("BEGIN TRANSACTION"), 0);
    ASSERT_EQ(pass.execute(FirstChange), 0);
    {
        LibraryDatabase::Transaction kept(db);
        db.exec("UPDATE PROFILE SET ABSTRACT = 'kept' WHERE DOCNUMBER = 101");
        kept.commit();
    }
    {
        LibraryDatabase::Transaction undone(db);
        db.exec("UPDATE PROFILE SET ABSTRACT = 'undone' WHERE DOCNUMBER = 100");
    }
    EXPECT_EQ(abstracts(), QList<QVariantList>({{"one"}, {"kept"}}));
    ASSERT_EQ(pass.execute("ROLLBACK"), 0);
    EXPECT_EQ(abstracts(), QList<QVariantList>({{QVariant()}, {QVariant()}}));
}

// A row written under a savepoint carries the savepoint's own transaction id as xmin. A DM call is undone
// whole, so a savepoint for each of its statements would only cost round trips.
TEST_F(LocalSqlTest, OnAServerOnlyPassThroughStatementsRunUnderASavepointOfTheirOwn)
{
    if (!TestLibrariesOnServer())
        GTEST_SKIP() << "savepoints of a server library";
    LibraryDatabase &db = dm->database("LIB_MSSQL");
    LocalSql &pass = sql("LIB_MSSQL");
    const auto writers = [&db] {
        return db.scalar("SELECT COUNT(DISTINCT xmin::text) FROM PROFILE WHERE DOCNUMBER IN (100, 101)")
            .toInt();
    };
    {
        LibraryDatabase::Transaction call(db);
        db.exec("UPDATE PROFILE SET ABSTRACT = 'dm' WHERE DOCNUMBER = 100");
        db.exec("UPDATE PROFILE SET ABSTRACT = 'dm' WHERE DOCNUMBER = 101");
        call.commit();
    }
    EXPECT_EQ(writers(), 1);
    for (const QString &statement :
         {QString("BEGIN TRANSACTION"), FirstChange, SecondChange, QString("COMMIT")})
        ASSERT_EQ(pass.execute(statement), 0);
    EXPECT_EQ(writers(), 2);
}

namespace {

// A query and its answer on SQL Server, Sybase and Oracle.
struct ServerAnswer {
    const char *statement;
    int sqlServer;
    int sybase;
    int oracle;
};

// PEOPLE holds JSMITH and ADOE; PROFILE apple, Banana, cherry, Hidden, sub one, Loose and réunion.
const ServerAnswer TextComparisons[] = {
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE USER_ID = 'jsmith'", 1, 1, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE USER_ID <> 'jsmith'", 1, 1, 2},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE USER_ID IN ('jsmith', 'Adoe')", 2, 2, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE P JOIN DOCSADM.PEOPLE Q ON LOWER(P.USER_ID) = Q.USER_ID", 2, 2, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME > 'b'", 6, 6, 3},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE 'b%'", 1, 1, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE 'RÉ%'", 1, 1, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE '[ab]%'", 2, 2, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE '[^a-c]%'", 4, 4, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE 'sub_one'", 1, 1, 1},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME LIKE '%!%' ESCAPE '!'", 0, 0, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME NOT LIKE '%E%'", 2, 2, 7},
    {"SELECT COUNT(DISTINCT UPPER(USER_ID)) FROM DOCSADM.PEOPLE WHERE USER_ID LIKE '%'", 2, 2, 2},
    // Oracle's empty string is NULL.
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME != ''", 7, 7, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE DOCNAME <> ' '", 7, 7, 7},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE '' IS NULL", 0, 0, 2},
    {"SELECT COUNT(*) FROM DOCSADM.PEOPLE WHERE 'it''s' IS NULL", 0, 0, 0},
    {"UPDATE DOCSADM.PROFILE SET ABSTRACT = '' WHERE DOCNUMBER = 100", 0, 0, 0},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE ABSTRACT IS NULL", 6, 6, 7},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE ABSTRACT = ''", 1, 1, 0},
};

} // namespace

TEST_F(LocalSqlTest, TextComparesAsTheServerDoes)
{
    for (const ServerAnswer &test : TextComparisons) {
        EXPECT_EQ(scalar("LIB_MSSQL", test.statement).toInt(), test.sqlServer) << test.statement;
        EXPECT_EQ(scalar("LIB_SYBASE", test.statement).toInt(), test.sybase) << test.statement;
        EXPECT_EQ(scalar("LIB_ORACLE", test.statement).toInt(), test.oracle) << test.statement;
    }
    // What the DM itself writes or looks up follows the same rule.
    EXPECT_EQ(dm->database("LIB_ORACLE").scalar("SELECT CAST(?1 AS TEXT) IS NULL", {QString("")}).toInt(), 1);
    EXPECT_EQ(dm->database("LIB_MSSQL").scalar("SELECT CAST(?1 AS TEXT) IS NULL", {QString("")}).toInt(), 0);
    // Names unique on the server are unique whatever their letter case.
    failure("LIB_MSSQL", "INSERT INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (13, 'jsmith')", 2627);
    ASSERT_EQ(
        sql("LIB_ORACLE").execute("INSERT INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (13, 'jsmith')"),
        0);
}

TEST_F(LocalSqlTest, TooLongTextIsRefusedAndNeverStored)
{
    for (const QString &library : personalities) {
        LibraryDatabase &db = dm->database(library);
        db.exec("INSERT INTO FORMS (SYSTEM_ID, FORM_NAME) VALUES (1, 'F')");
        db.exec("INSERT INTO ACTIVITYLOG (SYSTEM_ID, DOCNUMBER) VALUES (1, 100)");
        db.exec("INSERT INTO QENT_SETTINGS (MASTER_KEY) VALUES ('K')");
        for (const TextColumn &column : LibraryTextColumns()) {
            SCOPED_TRACE((library + ": " + column.constraintName()).toStdString());
            const QString set = "UPDATE DOCSADM.%1 SET %2 = '%3' WHERE %2 IS NULL OR %2 <> 'x'";
            const QString description =
                failure(library, set.arg(column.table, column.column, QString(column.length + 1, u'é')),
                        isOracle(library) ? 12899 : 8152);
            if (isOracle(library))
                EXPECT_EQ(description, QString("[Oracle][ODBC][Ora]ORA-12899: value too large for column "
                                               "\"DOCSADM\".\"%1\".\"%2\" (maximum: %3)")
                                           .arg(column.table, column.column)
                                           .arg(column.length));
            else
                EXPECT_TRUE(description.endsWith("]String or binary data would be truncated."));
            EXPECT_EQ(db.scalar(QString("SELECT COUNT(*) FROM %1 WHERE length(%2) > %3")
                                    .arg(column.table, column.column)
                                    .arg(column.length))
                          .toInt(),
                      0);
            // One row, found by where each store keeps it.
            const QString fits = QString("UPDATE %1 SET %2 = ?1 WHERE %3 = (SELECT MIN(%3) FROM %1)")
                                     .arg(column.table, column.column,
                                          TestLibrariesOnServer() ? QString("ctid") : QString("rowid"));
            EXPECT_NO_THROW(db.exec(fits, {QString(column.length, u'é')}));
        }
    }
}

namespace {

// A statement and what each server answers: the value of the first column, or "#" and the error number.
struct PassThroughCase {
    const char *statement;
    const char *sqlServer;
    const char *sybase;
    const char *oracle;
};

const PassThroughCase PassThroughCases[] = {
    // Refused: no DM library database runs these for this program.
    {"ATTACH DATABASE 'attached.db' AS X", "#2812", "#2812", "#900"},
    {"DETACH DATABASE DOCSADM", "#2812", "#2812", "#900"},
    {"PRAGMA writable_schema = 1", "#2812", "#2812", "#900"},
    {"VACUUM", "#2812", "#2812", "#900"},
    {"REPLACE INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (11, 'X')", "#2812", "#2812", "#900"},
    {"EXPLAIN SELECT DOCNAME FROM DOCSADM.PROFILE", "#2812", "#2812", "#900"},
    {"CREATE TABLE DOCSADM.EXTRA (A INT)", "#262", "#262", "#1031"},
    {"CREATE VIEW DOCSADM.EXTRA AS SELECT DOCNAME FROM DOCSADM.PROFILE", "#262", "#262", "#1031"},
    {"CREATE TRIGGER T AFTER DELETE ON PROFILE BEGIN DELETE FROM FOLDER; END", "#262", "#262", "#1031"},
    {"DROP TABLE DOCSADM.FOLDER", "#262", "#262", "#1031"},
    {"DROP VIEW ALL_TABLES", "#262", "#262", "#1031"},
    {"WITH X AS (SELECT USER_ID FROM DOCSADM.PEOPLE) SELECT COUNT(*) FROM X", "2", "#156", "2"},
    {"SELECT sqlite_version() FROM DOCSADM.PEOPLE", "#195", "#195", "#904"},
    {"SELECT COUNT(*) FROM sqlite_master", "#208", "#208", "#942"},
    {"SELECT COUNT(*) FROM pragma_table_info('PROFILE')", "#195", "#195", "#904"},
    {"SELECT typeof(DOCNAME) FROM DOCSADM.PROFILE", "#195", "#195", "#904"},
    {"SELECT IFNULL(ABSTRACT, 'x') FROM DOCSADM.PROFILE", "#195", "#195", "#904"},
    {"SELECT DOCNAME FROM DOCSADM.PROFILE ORDER BY DOCNAME LIMIT 1", "#102", "#102", "#933"},
    {"SELECT DOCNAME FROM DOCSADM.PROFILE WHERE DOCNAME GLOB 'a*'", "#102", "#102", "#933"},
    {"SELECT COUNT(*) FROM DOCSADM.PROFILE WHERE ABSTRACT NOTNULL", "#102", "#102", "#933"},
    {"INSERT OR REPLACE INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (11, 'X')", "#102", "#102", "#933"},
    {"DELETE FROM DOCSADM.PEOPLE WHERE USER_ID = 'ADOE' RETURNING SYSTEM_ID", "#102", "#102", "#933"},
    {"SELECT DOCNAME || '!' FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "#102", "#102", "apple!"},
    // Translated: the server's answer, never SQLite's.
    {"SELECT TOP 1 DOCNAME FROM DOCSADM.PROFILE ORDER BY DOCNAME", "apple", "apple", "#923"},
    {"SELECT DISTINCT TOP (2) DOCNUMBER FROM DOCSADM.PROFILE ORDER BY DOCNUMBER DESC", "106", "106", "#923"},
    {"SELECT COUNT(*) FROM (SELECT TOP 3 DOCNUMBER FROM DOCSADM.PROFILE) X", "3", "3", "#923"},
    {"SELECT TOP 10 PERCENT DOCNAME FROM DOCSADM.PROFILE", "#1105", "#1105", "#923"},
    {"SELECT ISNULL(ABSTRACT, 'none') FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "none", "none", "#904"},
    {"SELECT NVL(ABSTRACT, 'none') FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "#195", "#195", "none"},
    {"SELECT LEN(DOCNAME + '  ') FROM DOCSADM.PROFILE WHERE DOCNUMBER = 104", "7", "7", "#904"},
    {"SELECT LENGTH(DOCNAME) FROM DOCSADM.PROFILE WHERE DOCNUMBER = 104", "#195", "#195", "7"},
    {"SELECT SUBSTRING(DOCNAME, 2, 3) FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "ppl", "ppl", "#904"},
    {"SELECT DOCNAME + ' (copy)' FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "apple (copy)", "apple (copy)",
     "#1722"},
    {"SELECT UPPER(P.DOCNAME) + '!' FROM DOCSADM.PROFILE P WHERE DOCNUMBER = 100", "APPLE!", "APPLE!",
     "#1722"},
    {"SELECT 'n' + DOCNAME FROM DOCSADM.PROFILE WHERE DOCNUMBER = 101", "nBanana", "nBanana", "#1722"},
    {"SELECT DOCNUMBER + 1 FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "101", "101", "101"},
    {"SELECT DOCNUMBER + '1' FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "101", "101", "101"},
    {"SELECT DOCNAME + '-' + DOCNAME FROM DOCSADM.PROFILE WHERE DOCNUMBER = 102", "cherry-cherry",
     "cherry-cherry", "#1722"},
    {"SELECT 'x' + CHAR(65) FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "xA", "xA", "#1722"},
    {"SELECT CHAR(65) + 'b' + P.DOCNAME FROM DOCSADM.PROFILE P WHERE DOCNUMBER = 100", "Abapple", "Abapple",
     "#904"},
    {"SELECT 'n' + UPPER(P.DOCNAME) FROM DOCSADM.PROFILE P WHERE DOCNUMBER = 101", "nBANANA", "nBANANA",
     "#1722"},
    {"SELECT CAST(DOCNUMBER AS VARCHAR(10)) + '-' FROM DOCSADM.PROFILE WHERE DOCNUMBER = 100", "100-", "100-",
     "#1722"},
};

} // namespace

TEST_F(LocalSqlTest, PassThroughRunsOnlyWhatTheServerWouldAndAnswersAsItDoes)
{
    const std::map<QString, const char *(PassThroughCase::*)> answers = {
        {"LIB_MSSQL", &PassThroughCase::sqlServer},
        {"LIB_SYBASE", &PassThroughCase::sybase},
        {"LIB_ORACLE", &PassThroughCase::oracle}};
    const std::map<QString, QString> prefixes = {
        {"LIB_MSSQL", "[Microsoft]"}, {"LIB_SYBASE", "[Sybase]"}, {"LIB_ORACLE", "[Oracle]"}};
    const auto state = [this] {
        QStringList files = QDir(dir.path()).entryList(QDir::Files | QDir::NoDotAndDotDot);
        for (const QString &library : personalities) {
            LibraryDatabase &db = dm->database(library);
            const bool server = TestLibrariesOnServer();
            files << library + ": " +
                         db.scalar(server ? "SELECT string_agg(table_name, ',' ORDER BY table_name) FROM "
                                            "information_schema.tables WHERE table_schema = current_schema()"
                                          : "SELECT group_concat(name) FROM DOCSADM.sqlite_master")
                             .toString() +
                         " " +
                         db.scalar(server ? "SELECT string_agg(USER_ID, ',' ORDER BY USER_ID) FROM PEOPLE"
                                          : "SELECT group_concat(USER_ID) FROM PEOPLE")
                             .toString() +
                         " " + db.scalar("SELECT COUNT(*) FROM FOLDER").toString();
        }
        return files.join('\n').toStdString();
    };
    const std::string before = state();
    for (const PassThroughCase &test : PassThroughCases) {
        for (const auto &[library, answer] : answers) {
            const QString expected = QString::fromUtf8(test.*answer);
            SCOPED_TRACE((library + ": " + test.statement).toStdString());
            if (expected.startsWith('#')) {
                const QString description = failure(library, test.statement, expected.mid(1).toInt());
                EXPECT_TRUE(description.startsWith(expected == "#1105" ? "[Korvel]" : prefixes.at(library)))
                    << description.toStdString();
            } else {
                EXPECT_EQ(scalar(library, test.statement).toString(), expected);
            }
        }
    }
    EXPECT_EQ(state(), before);
}
