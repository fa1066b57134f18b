#include "migratefixture.h"

#include "dm/connectlibrary.h"
#include "migrate/sortfolders.h"

namespace {

class SortFoldersTest : public MigrateFixture {
protected:
    // Puts the stored rows of a folder back as they were.
    void restore(const QString &library, const QList<ListRow> &saved)
    {
        for (const ListRow &row : saved)
            builder.db(library).exec("UPDATE FOLDER_ITEM SET ISFIRST = ?1, NEXT = ?2 WHERE SYSTEM_ID = ?3",
                                     {row.isFirst, row.next, row.systemId});
    }
};

const QStringList Unsorted = {"Cedar", "Apple", "Birch"};
const QStringList Sorted = {"Apple", "Birch", "Cedar"};

} // namespace

TEST_F(SortFoldersTest, ThreeItemsAreRelinkedByDisplayNameInTheirOwnLibraryOnly)
{
    const QStringList libraries = {"LIB_SQL", "LIB_ORA", "LIB_SYB"};
    QList<int> folders;
    for (const QString &library : libraries)
        folders << folderWith(library, Unsorted);
    // The same folder number in every library: sorting one must leave the others alone.
    ASSERT_EQ(folders[0], folders[1]);
    ASSERT_EQ(folders[1], folders[2]);

    for (qsizetype i = 0; i < libraries.size(); ++i) {
        const QString library = libraries[i];
        SCOPED_TRACE(library.toStdString());
        const QList<ListRow> before = rows(library, folders[i]);
        ASSERT_EQ(before.size(), 3);
        const qint64 cedar = before[0].systemId, apple = before[1].systemId, birch = before[2].systemId;

        EXPECT_TRUE(SortFolders(*dm, folders[i], library));
        EXPECT_EQ(rows(library, folders[i]), QList<ListRow>({{cedar, "Cedar", "N", 0},
                                                             {apple, "Apple", "Y", birch},
                                                             {birch, "Birch", "N", cedar}}));
        for (qsizetype j = i + 1; j < libraries.size(); ++j)
            EXPECT_EQ(order(libraries[j], folders[j]), Unsorted) << libraries[j].toStdString();
        EXPECT_TRUE(newLogLines().contains("Folder needed sorting"));
        EXPECT_EQ(current(), "LIB_SQL");
    }
    EXPECT_EQ(violations(), QStringList());
}

TEST_F(SortFoldersTest, NumberZeroSortsEveryFolderWithAFirstItem)
{
    const int first = folderWith("LIB_ORA", {"Cedar", "Apple"});
    const int second = folderWith("LIB_ORA", {"Pine", "Oak", "Elm"});
    EXPECT_TRUE(SortFolders(*dm, 0, "LIB_ORA"));
    EXPECT_EQ(order("LIB_ORA", first), QStringList({"Apple", "Cedar"}));
    EXPECT_EQ(order("LIB_ORA", second), QStringList({"Elm", "Oak", "Pine"}));
    EXPECT_TRUE(newLogLines().contains("2 folder(s) will be sorted"));
    EXPECT_EQ(violations(), QStringList());
}

TEST_F(SortFoldersTest, FoldersWithNothingToRelinkAreLeftAsTheyAre)
{
    struct Case {
        const char *name;
        QStringList items;
        bool noFirstRow;
        const char *library;
        bool result;
        QString line;
    };
    QStringList planted;
    const Case cases[] = {
        {"one item", {"Apple"}, false, "LIB_ORA", true, "Folder was already sorted"},
        {"no items", {}, false, "LIB_SQL", false, "Nothing to sort"},
        {"no first row", {"Cedar", "Apple"}, true, "LIB_SYB", false, "Nothing to sort"},
        {"unknown library",
         {"Cedar", "Apple"},
         false,
         "NO_SUCH",
         false,
         "Error: Unable to connect to library NO_SUCH for user JSMITH"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const QString home = c.library == QString("NO_SUCH") ? "LIB_SQL" : c.library;
        const int folder = folderWith(home, c.items);
        if (c.noFirstRow) {
            builder.db(home).exec("UPDATE FOLDER_ITEM SET ISFIRST = 'N' WHERE PARENT = ?1", {folder});
            planted << home + ": FOLDER_ITEM of folder #" + QString::number(folder) +
                           ": no first item (ISFIRST = 'Y') among 2 item(s)";
        }
        const QList<ListRow> before = rows(home, folder);
        newLogLines();

        EXPECT_EQ(SortFolders(*dm, folder, c.library), c.result);
        const QStringList lines = newLogLines();
        EXPECT_TRUE(lines.contains(logged(c.line))) << lines.join('\n').toStdString();
        EXPECT_EQ(startingWith(lines, "UPDATE "), QStringList());
        EXPECT_EQ(rows(home, folder), before);
        EXPECT_EQ(current(), "LIB_SQL");
    }
    EXPECT_EQ(violations(), planted);
}

// Every statement of a sort, planted to fail in turn: the sort either completes or leaves the list
// exactly as it was, and says so.
TEST_F(SortFoldersTest, AFailureAtAnyStatementLeavesTheListAsItWas)
{
    for (const QString library : {"LIB_SQL", "LIB_ORA"}) {
        SCOPED_TRACE(library.toStdString());
        const int folder = folderWith(library, Unsorted);
        const QList<ListRow> before = rows(library, folder);
        // The first connection to a library learns its facts; count the statements of a later one.
        ASSERT_TRUE(SortFolders(*dm, folder, library));
        restore(library, before);
        newLogLines();
        ASSERT_TRUE(SortFolders(*dm, folder, library));
        const qsizetype statements = startingWith(newLogLines(), "Executing ").size();
        restore(library, before);

        int failures = 0;
        for (qsizetype at = 1; at <= statements + 1; ++at) {
            SCOPED_TRACE(at);
            plant("sql:" + QString::number(at));
            const bool sorted = SortFolders(*dm, folder, library);
            plant({});
            const QStringList lines = newLogLines();
            if (sorted) {
                EXPECT_EQ(order(library, folder), Sorted);
                restore(library, before);
            } else {
                ++failures;
                EXPECT_EQ(rows(library, folder), before);
                EXPECT_NE(startingWith(lines, "Error: "), QStringList()) << lines.join('\n').toStdString();
            }
            ASSERT_TRUE(ConnectLibrary(*dm, "LIB_SQL"));
        }
        // The select, the three updates and the commit at least.
        EXPECT_GE(failures, 5);
        EXPECT_EQ(violations(), QStringList());
    }
}
