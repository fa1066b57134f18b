#include "migratefixture.h"

#include "migrate/deletefolder.h"

namespace {

// A folder "Old" of a library with three documents and a subfolder, filed in a folder of its own
// library and in one of LIB_ORA.
class DeleteFolderTest : public MigrateFixture {
protected:
    struct Tree {
        QString library;
        int folder;
        QList<int> documents;
        int subfolder;
        int parent;
        int remoteParent;
    };

    void SetUp() override
    {
        MigrateFixture::SetUp();
        // Filing a folder back into a LIB_ORA folder is a save into another library.
        for (const QString library : {"LIB_SQL", "LIB_ORA"})
            builder.grant(library, "DOCS_USERS", "User.SaveToRemoteLibrary");
    }

    Tree tree(const QString &library)
    {
        Tree t{library, builder.addFolder(library, "Old"), {}, 0, 0, 0};
        for (const QString name : {"Doc1", "Doc2", "Doc3"}) {
            t.documents << builder.addDocument(library, name);
            builder.link(library, t.folder, library, t.documents.last());
        }
        t.subfolder = builder.addFolder(library, "Sub");
        builder.link(library, t.folder, library, t.subfolder);
        t.parent = builder.addFolder(library, "Parent");
        builder.link(library, t.parent, library, t.folder);
        t.remoteParent = builder.addFolder("LIB_ORA", "Remote parent");
        builder.link("LIB_ORA", t.remoteParent, library, t.folder);
        newLogLines();
        return t;
    }

    bool exists(const QString &library, int number)
    {
        return builder.db(library)
                   .scalar("SELECT COUNT(*) FROM PROFILE WHERE DOCNUMBER = ?1", {number})
                   .toInt() > 0;
    }

    bool filed(const Tree &t)
    {
        return holds(t.library, t.parent, t.folder) && holds("LIB_ORA", t.remoteParent, t.folder, t.library);
    }
};

QString n(int number)
{
    return QString::number(number);
}

} // namespace

TEST_F(DeleteFolderTest, CutsEveryLinkDeletesTheFolderAndKeepsItsItems)
{
    struct Case {
        const char *library;
        const char *spelled;
    };
    for (const Case c :
         {Case{"LIB_SQL", "LIB_SQL"}, Case{"LIB_ORA", "lib_ora"}, Case{"LIB_SYB", "Lib_Syb"}}) {
        SCOPED_TRACE(c.library);
        const Tree t = tree(c.library);

        EXPECT_TRUE(DeleteFolder(*dm, t.folder, c.spelled));
        const QStringList lines = newLogLines();
        const QString from = " from folder #" + n(t.folder) + " \"Old\" in library " + c.library;
        EXPECT_EQ(
            startingWith(lines, "Clearing subdocument #"),
            QStringList(
                {"Clearing subdocument #" + n(t.documents[2]) + " \"Doc3\" in library " + c.library + from,
                 "Clearing subdocument #" + n(t.documents[1]) + " \"Doc2\" in library " + c.library + from,
                 "Clearing subdocument #" + n(t.documents[0]) + " \"Doc1\" in library " + c.library + from}));
        EXPECT_EQ(startingWith(lines, "Clearing subproject #"),
                  QStringList({"Clearing subproject #" + n(t.subfolder) + " \"Sub\" in library " + c.library +
                               from}));
        EXPECT_EQ(startingWith(lines, "Clearing parent folder #").size(), 2);
        EXPECT_EQ(startingWith(lines, "Error:"), QStringList());
        EXPECT_FALSE(exists(c.library, t.folder));
        EXPECT_FALSE(holds(c.library, t.parent, t.folder));
        EXPECT_FALSE(holds("LIB_ORA", t.remoteParent, t.folder, c.library));
        for (const int document : t.documents)
            EXPECT_TRUE(exists(c.library, document));
        EXPECT_TRUE(exists(c.library, t.subfolder));
        EXPECT_TRUE(slotsEmpty());
    }

    // An empty folder that nothing holds goes without a clearing line.
    const int lone = builder.addFolder("LIB_SQL", "Lone");
    newLogLines();
    EXPECT_TRUE(DeleteFolder(*dm, lone, "LIB_SQL"));
    EXPECT_EQ(startingWith(newLogLines(), "Clearing "), QStringList());
    EXPECT_FALSE(exists("LIB_SQL", lone));
    EXPECT_EQ(violations(), QStringList());
}

TEST_F(DeleteFolderTest, WhatCannotBeOpenedIsLeftAlone)
{
    const Tree t = tree("LIB_SQL");
    struct Case {
        int number;
        QString library;
        QStringList lines;
    };
    const Case cases[] = {
        {t.folder,
         "NO_SUCH",
         {logged("Error: Unable to open folder object #" + n(t.folder) + " in library NO_SUCH")}},
        {9999, "LIB_SQL", {logged("Error: Unable to open folder object #9999 in library LIB_SQL")}},
        {t.documents[0],
         "LIB_SQL",
         {logged("Error: Unable to open folder object #" + n(t.documents[0]) + " in library LIB_SQL")}},
        {0, "LIB_SQL", {}},
        {t.folder, "", {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.number);
        // The folder itself left in the slot by an earlier call is not the one asked for.
        session.sharedFolder = session.currentLibrary->openFolder(t.folder);
        EXPECT_FALSE(DeleteFolder(*dm, c.number, c.library));
        const QStringList lines = newLogLines();
        if (c.lines.isEmpty()) {
            EXPECT_EQ(lines, QStringList());
        }
        EXPECT_EQ(startingWith(lines, "Error:"), c.lines);
        EXPECT_TRUE(filed(t));
        EXPECT_TRUE(c.lines.isEmpty() || slotsEmpty());
        session.sharedFolder.reset();
    }
    EXPECT_EQ(violations(), QStringList());
}

// Every DM call of a removal that can fail, planted to fail in turn: the removal reports the failure
// and the folder is still there, filed where it was; only a failed profile save once its parents are cut
// goes on to the delete, which removes it.
TEST_F(DeleteFolderTest, AFailedStepLeavesTheFolderFiledWhereItWas)
{
    // One open; six removals (three documents, the subfolder, two parents); two saves; one delete.
    const std::pair<const char *, int> calls[] = {{"open", 1}, {"remove", 6}, {"save", 2}, {"delete", 1}};
    for (const auto &[kind, count] : calls) {
        for (int at = 1; at <= count; ++at) {
            const QString fault = QString(kind) + ':' + n(at);
            SCOPED_TRACE(fault.toStdString());
            const Tree t = tree("LIB_SQL");
            plant(fault);
            const bool deleted = fault == "save:2";
            EXPECT_EQ(DeleteFolder(*dm, t.folder, "LIB_SQL"), deleted);
            plant({});
            const QStringList lines = newLogLines();
            // A failed open has no DM error to show; every other failure shows the DM's number.
            EXPECT_NE(startingWith(lines, logged(fault == "open:1" ? "Error: Unable" : "Error: (")),
                      QStringList())
                << lines.join('\n').toStdString();
            if (fault == "delete:1") {
                EXPECT_TRUE(lines.contains(
                    logged("Error: Unable to delete folder #" + n(t.folder) + " from library LIB_SQL")));
            }
            EXPECT_EQ(exists("LIB_SQL", t.folder), !deleted);
            EXPECT_EQ(filed(t), !deleted);
            EXPECT_TRUE(slotsEmpty());
            EXPECT_EQ(violations(), QStringList());
        }
    }
}
