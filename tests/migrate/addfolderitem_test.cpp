#include "migratefixture.h"

#include "migrate/addfolderitem.h"

#include <functional>

namespace {

class AddFolderItemTest : public MigrateFixture {
protected:
    // The NODE_TYPE and LIBRARY of the row that links the item of itemLibrary into the folder.
    QVariantList link(const QString &library, int folder, const QString &itemLibrary, int item)
    {
        const QList<QVariantList> found =
            builder.db(library).query("SELECT NODE_TYPE, LIBRARY FROM FOLDER_ITEM WHERE PARENT = ?1 AND "
                                      "DOCNUMBER = ?2 AND LIBRARY = ?3",
                                      {folder, item, builder.remoteId(library, itemLibrary)});
        return found.size() == 1 ? found.first() : QVariantList();
    }
};

} // namespace

TEST_F(AddFolderItemTest, LinksEachKindOfItemWhereItLivesAndSortsTheFolder)
{
    builder.grant("LIB_SQL", "DOCS_USERS", "User.SaveToRemoteLibrary");
    struct Case {
        const char *name;
        QString itemLibrary;
        bool itemIsFolder;
        QString itemType;
        QString parentLibrary;
        ParentSort sort;
        QString nodeType;
        QStringList order;
    };
    const QStringList sorted = {"Apple", "Birch", "Cedar"};
    const Case cases[] = {
        {"document", "LIB_SQL", false, "D", "LIB_SQL", ParentSort::Sort, "D", sorted},
        {"document of another library", "LIB_ORA", false, "D", "LIB_SQL", ParentSort::Sort, "D", sorted},
        {"into another library", "LIB_SYB", false, "D", "LIB_ORA", ParentSort::Sort, "D", sorted},
        {"subfolder", "LIB_SQL", true, "F", "LIB_SQL", ParentSort::Sort, "F", sorted},
        {"subfolder of another library", "LIB_SYB", true, "F", "LIB_SQL", ParentSort::Sort, "F", sorted},
        {"folder typed f", "LIB_SQL", true, "f", "LIB_SQL", ParentSort::Sort, "D", sorted},
        {"sort deferred",
         "LIB_SQL",
         false,
         "D",
         "LIB_SQL",
         ParentSort::Defer,
         "D",
         {"Cedar", "Apple", "Birch"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int parent = folderWith(c.parentLibrary, {"Cedar", "Apple"});
        const int item = c.itemIsFolder ? builder.addFolder(c.itemLibrary, "Birch")
                                        : builder.addDocument(c.itemLibrary, "Birch");
        newLogLines();

        EXPECT_TRUE(AddFolderItem(*dm, item, parent, c.itemType, c.parentLibrary, c.itemLibrary, c.sort));
        EXPECT_EQ(link(c.parentLibrary, parent, c.itemLibrary, item).value(0).toString(), c.nodeType);
        EXPECT_EQ(order(c.parentLibrary, parent), c.order);
        const QStringList lines = newLogLines();
        EXPECT_TRUE(lines.contains("Folder Item #" + QString::number(item) +
                                   " successfully added to folder #" + QString::number(parent) + "."));
        EXPECT_EQ(startingWith(lines, "Error:"), QStringList());
        EXPECT_TRUE(slotsEmpty());
        EXPECT_EQ(current(), "LIB_SQL");
    }
    EXPECT_EQ(violations(), QStringList());
}

TEST_F(AddFolderItemTest, RefusalsAndFailuresLinkNothingNew)
{
    struct Call {
        int item;
        int parent;
        QString parentLibrary = "LIB_SQL";
        QString faults = {};
    };
    struct Case {
        const char *name;
        std::function<Call(int parent, int document)> call;
        bool result;
        bool linked;
        // Lines the log must hold; none at all when empty.
        std::function<QStringList(int parent, int document)> lines;
    };
    const auto n = [](int number) { return QString::number(number); };
    const Case cases[] = {
        {"item number 0",
         [](int p, int) {
             return Call{0, p};
         },
         false, false, [](int, int) { return QStringList(); }},
        {"parent number 0",
         [](int, int d) {
             return Call{d, 0};
         },
         false, false, [](int, int) { return QStringList(); }},
        {"remote parent without the right",
         [&](int, int d) {
             return Call{d, folderWith("LIB_ORA", {"Cedar", "Apple"}), "LIB_ORA"};
         },
         false, false,
         [](int, int) {
             return QStringList{
                 "Error: JSMITH does not have rights to save folders to the (remote) Library LIB_ORA "
                 "from library LIB_SQL"};
         }},
        {"no such item",
         [](int p, int) {
             return Call{9999, p};
         },
         false, false,
         [](int, int) {
             return QStringList{
                 "Error: Unable to open child Profile object #9999 for AddFolderItem in library LIB_SQL"};
         }},
        {"no such parent",
         [](int, int d) {
             return Call{d, 9999};
         },
         false, false,
         [](int, int) {
             return QStringList{
                 "Error: Unable to open parent folder object #9999 for AddFolderItem in library LIB_SQL"};
         }},
        {"add refused",
         [](int p, int d) {
             return Call{d, p, "LIB_SQL", "add:1"};
         },
         false, false,
         [&](int p, int d) {
             return QStringList{"Error: Unable to add document #" + n(d) + " to folder #" + n(p) +
                                " (Holder)"};
         }},
        {"save refused",
         [](int p, int d) {
             return Call{d, p, "LIB_SQL", "save:1"};
         },
         false, false,
         [](int, int) {
             return QStringList{"Warning: Attempt to save folder object did not return valid response"};
         }},
        {"already in the folder",
         [&](int p, int d) {
             builder.link("LIB_SQL", p, "LIB_SQL", d);
             return Call{d, p};
         },
         true, true,
         [&](int p, int d) {
             return QStringList{"Folder item " + n(d) + " already exists in folder #" + n(p) +
                                " in folder library LIB_SQL (Holder)"};
         }},
        {"held by the same-numbered folder of another library",
         [&](int p, int d) {
             // The libraries number apart; LIB_ORA catches up with a folder of the same number.
             int other = 0;
             while (other < p)
                 other = builder.addFolder("LIB_ORA", "Holder");
             EXPECT_EQ(other, p);
             builder.link("LIB_ORA", other, "LIB_SQL", d);
             return Call{d, p};
         },
         true, true,
         [&](int p, int d) {
             return QStringList{"Folder Item #" + n(d) + " successfully added to folder #" + n(p) + "."};
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        const int parent = folderWith("LIB_SQL", {"Cedar", "Apple"});
        const int document = builder.addDocument("LIB_SQL", "Birch");
        const Call call = c.call(parent, document);
        const QList<ListRow> before = rows(call.parentLibrary, call.parent);
        const qint64 activities =
            builder.db("LIB_SQL").scalar("SELECT COUNT(*) FROM ACTIVITYLOG").toLongLong();
        newLogLines();
        plant(call.faults);

        EXPECT_EQ(AddFolderItem(*dm, call.item, call.parent, "D", call.parentLibrary, "LIB_SQL"), c.result);
        plant({});
        const QStringList lines = newLogLines();
        const QStringList expected = c.lines(call.parent, call.item);
        if (expected.isEmpty()) {
            EXPECT_EQ(lines, QStringList());
        }
        for (const QString &line : expected)
            EXPECT_TRUE(lines.contains(logged(line))) << line.toStdString() << "\n"
                                                      << lines.join('\n').toStdString();
        EXPECT_EQ(holds(call.parentLibrary, call.parent, document), c.linked);
        if (!c.result || c.name == std::string("already in the folder")) {
            EXPECT_EQ(rows(call.parentLibrary, call.parent), before);
            EXPECT_EQ(builder.db("LIB_SQL").scalar("SELECT COUNT(*) FROM ACTIVITYLOG").toLongLong(),
                      activities);
            EXPECT_FALSE(window.statusHistory.contains("Preparing to sort folders in library LIB_SQL"));
        }
        EXPECT_TRUE(slotsEmpty());
        window.statusHistory.clear();
    }
    EXPECT_EQ(violations(), QStringList());
}
