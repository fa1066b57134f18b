#include "localsqlfixture.h"

#include "localdm/sql/statementshape.h"

namespace {

// Status, error, rows affected and rows.
using Outcome = std::tuple<qint32, QString, qint64, QList<QVariantList>>;

// The statement translated as written and run on a connection of its own, as every statement once was.
Outcome asWritten(LibraryDatabase &db, const QString &statement)
{
    const SqlTranslator translator(db.config());
    const SqlTranslation translation = translator.translate(statement);
    if (translation.action != SqlTranslation::Action::Run)
        return {translation.error.number, translation.error.description, 0, {}};
    QString rest;
    StorageFailure failure;
    const std::unique_ptr<StoredStatement> prepared = db.prepare(translation.sql, rest, failure);
    StatementRows rows;
    if (!prepared || !db.run(*prepared, {}, rows, failure)) {
        const SqlError error = translator.storageError(failure);
        return {error.number, error.description, 0, {}};
    }
    QList<QVariantList> table;
    for (qsizetype i = 0; i < rows.values.size(); ++i)
        (i % rows.columns ? table.last() : table.emplaceBack()) << rows.values[i];
    return {0, QString(), rows.rowsAffected, table};
}

// Each statement with its literals, run in order on every personality. The first two literals make
// statements of one shape (that may have to give different answers), or of two shapes.
enum Expect { Same, Differ, Apart };
const struct {
    Expect expect;
    const char *statement;
    QStringList literals;
} Corpus[] = {
    {Differ, "SELECT DOCNAME FROM DOCSADM.PROFILE WHERE DOCNUMBER = %1", {"100", "101", "9"}},
    {Differ,
     "SELECT DOCNUMBER FROM DOCSADM.PROFILE WHERE DOCNAME = %1",
     {"'apple'", "'Banana'", "''", "'x'"}},
    {Differ,
     "SELECT DOCNUMBER, DOCNAME FROM DOCSADM.PROFILE WHERE DOCNAME LIKE %1 ORDER BY 2",
     {"'b%'", "'%e%'"}},
    {Apart, "SELECT DOCNUMBER, DOCNAME FROM DOCSADM.PROFILE ORDER BY %1", {"2", "1"}},
    {Apart, "SELECT APPLICATION, COUNT(*) FROM DOCSADM.PROFILE GROUP BY %1", {"1", "2"}},
    {Apart, "SELECT TOP %1 DOCNAME FROM DOCSADM.PROFILE ORDER BY DOCNAME", {"2", "5"}},
    {Differ, "SELECT %1 + 1 FROM DOCSADM.FOLDER", {"'12'", "'xy'", "2"}},
    {Same, "SELECT DOCNAME + %1 FROM DOCSADM.PROFILE", {"'ab'", "'cd'"}},
    {Apart, "SELECT 'a' || %1 || 'b' FROM DOCSADM.FOLDER", {"''", "'xy'"}},
    {Same, "SELECT TO_DATE(%1, 'DD-MON-RR') FROM DOCSADM.FOLDER", {"'01-JAN-20'", "'01-JAN-99'", "'bad'"}},
    {Same,
     "SELECT COUNT(*) FROM sysobjects WHERE id = object_id(%1)",
     {"'DOCSADM.PROFILE'", "'dbo.PROFILE'"}},
    {Differ,
     "UPDATE DOCSADM.PROFILE SET DOCNAME = %1 WHERE DOCNUMBER = 102",
     {"'pear'", "'" + QString(300, u'p') + "'"}},
    {Same, "UPDATE DOCSADM.PROFILE SET %1 = 'x' WHERE DOCNUMBER = 102", {"'DOCNAME'", "'PATH'"}},
    {Differ, "INSERT INTO DOCSADM.PEOPLE (SYSTEM_ID, USER_ID) VALUES (%1, 'KLEE')", {"31", "11"}},
    {Same, "SELECT DOCNAME AS %1, CAST(DOCNAME AS VARCHAR(12)) FROM DOCSADM.PROFILE", {"'ab'", "'cd'"}},
    {Apart, "SELECT %1 FROM DOCSADM.FOLDER", {"N'ab'", "x'4142'", "12e", "'it''s'", "'abc"}},
    {Apart, "SELECT DOCNUMBER FROM DOCSADM.FOLDER_ITEM WHERE ISFIRST = %1 AND PARENT = 100", {"'Y'", "'N'"}},
    {Same, "set dateformat %1", {"'mdy'", "'xyz'"}},
    {Same, "SELECT :x, %1, ? FROM DOCSADM.FOLDER", {"5", "6"}},
};

} // namespace

TEST_F(LocalSqlTest, StatementsOfOneShapeAnswerAsEachTranslatedAsWritten)
{
    struct Twin : LocalSqlTest {
        void TestBody() override {}
        LibraryDatabase &database(const QString &library) { return dm->database(library); }
    } written;
    for (const QString library : {"LIB_MSSQL", "LIB_ORACLE", "LIB_SYBASE", "LIB_MSSQL80"}) {
        for (const auto &row : Corpus) {
            QList<Outcome> outcomes;
            for (const QString &literal : row.literals) {
                const QString statement = sent(library, QString(row.statement).arg(literal));
                LocalSql &pass = sql(library);
                const qint32 status = pass.execute(statement);
                Outcome &outcome = outcomes.emplaceBack(status, pass.errorDescription(), pass.rowsAffected(),
                                                        QList<QVariantList>());
                for (bool more = pass.hasResult(); more; more = pass.nextRow())
                    for (int column = 1; column <= pass.columnCount(); ++column)
                        (column > 1 ? std::get<3>(outcome).last() : std::get<3>(outcome).emplaceBack())
                            << pass.columnValue(column);
                EXPECT_EQ(outcome, asWritten(written.database(library), statement)) << qPrintable(statement);
            }
            const auto key = [&](int i) {
                return StatementShape(QString(row.statement).arg(row.literals[i])).key();
            };
            EXPECT_EQ(key(0) == key(1), row.expect != Apart) << row.statement;
            EXPECT_TRUE(row.expect != Differ || outcomes[0] != outcomes[1])
                << qPrintable(library) << row.statement;
        }
    }
}
