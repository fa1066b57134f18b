#include "installationbuilder.h"
#include "support/testbackend.h"

#include "dmapi/dmerror.h"
#include "localdm/folderitemlist.h"
#include "localdm/store/serverconnection.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <thread>

// What only a library on a server meets: other connections writing the same folder's item list at the
// same moment.
class ServerStoreTest : public testing::Test {
protected:
    void SetUp() override
    {
        if (!TestLibrariesOnServer())
            GTEST_SKIP() << "one SQLite file lets one writer in at a time";
        folder = builder.addFolder("LIB_A", "Inbox");
    }

    const LibraryConfig &library() { return *builder.installation().library("LIB_A"); }
    // Appends count items to the folder on a connection of its own, one transaction each.
    void append(int first, int count)
    {
        const std::unique_ptr<LibraryDatabase> db = LibraryDatabase::open(library());
        for (int number = first; number < first + count; ++number) {
            LibraryDatabase::Transaction transaction(*db);
            FolderItemList::append(*db, folder, number, 0, QString("Item %1").arg(number), "D");
            transaction.commit();
        }
    }

    QTemporaryDir dir;
    InstallationBuilder builder{dir.path(), "JSMITH", {InstallationBuilder::library("LIB_A")}};
    int folder = 0;
};

TEST_F(ServerStoreTest, WritersOfOneFolderListTakeTurnsAndLeaveItWhole)
{
    std::vector<std::thread> writers;
    for (int w = 0; w < 4; ++w)
        writers.emplace_back([this, w] { append(100000 * (w + 1), 60); });
    // One more connection takes items out of the list while the others add to it.
    std::thread remover([this] {
        const std::unique_ptr<LibraryDatabase> db = LibraryDatabase::open(library());
        for (int i = 0; i < 20; ++i) {
            const QList<FolderItemRow> rows = FolderItemList::rows(*db, folder);
            if (rows.size() < 2)
                continue;
            LibraryDatabase::Transaction transaction(*db);
            FolderItemList::unlink(*db, {rows[rows.size() / 2].systemId});
            transaction.commit();
        }
    });
    for (std::thread &writer : writers)
        writer.join();
    remover.join();
    // One first row, and the list from it reaches every row once: no loop, no second list, no lost row.
    const QList<FolderItemRow> rows = FolderItemList::rows(builder.db("LIB_A"), folder);
    EXPECT_GE(rows.size(), 240 - 20);
    EXPECT_EQ(std::count_if(rows.cbegin(), rows.cend(), [](const FolderItemRow &row) { return row.isFirst; }),
              1);
    QHash<qint64, qint64> next;
    for (const FolderItemRow &row : rows)
        next.insert(row.systemId, row.next);
    qsizetype reached = 0;
    for (qint64 at = rows.first().systemId; at != 0 && reached <= rows.size(); at = next.value(at))
        ++reached;
    EXPECT_EQ(reached, rows.size());
}

TEST_F(ServerStoreTest, AListLockedElsewhereFailsTheChangeWithinTheBoundAndNamesTheFolder)
{
    qputenv("KORVEL_DM_LOCK_TIMEOUT", "1");
    const std::unique_ptr<LibraryDatabase> holder = LibraryDatabase::open(library());
    const std::unique_ptr<LibraryDatabase> waiter = LibraryDatabase::open(library());
    qunsetenv("KORVEL_DM_LOCK_TIMEOUT");
    {
        LibraryDatabase::Transaction held(*holder);
        holder->lockFolderList(folder);
        LibraryDatabase::Transaction transaction(*waiter);
        try {
            FolderItemList::append(*waiter, folder, 7, 0, "Late", "D");
            ADD_FAILURE() << "the append did not wait for the lock";
        } catch (const DmError &error) {
            EXPECT_TRUE(error.description().contains(QString("item list of folder %1").arg(folder)))
                << error.description().toStdString();
        }
    }
    // Once the holder is done the same change goes through.
    LibraryDatabase::Transaction transaction(*waiter);
    FolderItemList::append(*waiter, folder, 7, 0, "Late", "D");
    transaction.commit();
    EXPECT_EQ(FolderItemList::rows(*waiter, folder).size(), 1);
}

// Whatever a database administrator or the connection string sets, Korvel's sessions never end idle, read
// a backslash in quoted text as itself, and take the installation file's values as values.
TEST_F(ServerStoreTest, ServerSettingsNeitherEndNorBendKorvelsSessions)
{
    const QString database = ServerDatabaseOf(library().connection);
    LibraryConfig config = library();
    config.databaseName = "x\\'; CREATE TABLE public.pwned(a int); --";
    for (const QString set :
         {"SET idle_session_timeout = '1s'", "SET idle_in_transaction_session_timeout = '1s'",
          "SET standard_conforming_strings = off", "RESET ALL"}) {
        SCOPED_TRACE(set.toStdString());
        builder.db("LIB_A").exec(QString("ALTER DATABASE \"%1\" %2").arg(database, set));
        if (set == "RESET ALL")
            config.connection += " options='-c standard_conforming_strings=off -c idle_session_timeout=1s'";
        const std::unique_ptr<LibraryDatabase> db = LibraryDatabase::open(config);
        EXPECT_EQ(db->scalar("SELECT concat_ws(' ', current_setting('idle_session_timeout'), "
                             "current_setting('idle_in_transaction_session_timeout'), "
                             "current_setting('standard_conforming_strings'), 'a\\b', "
                             "to_regclass('public.pwned'), (SELECT name FROM sys.databases))")
                      .toString(),
                  "0 0 on a\\b " + config.databaseName);
    }
}
