#include "faketree.h"
#include "installationbuilder.h"

#include "browse/folderbrowser.h"
#include "browse/foldertags.h"
#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "localdm/localdm.h"
#include "localdm/localdmfactory.h"
#include "support/fakewindow.h"
#include "support/testenvironment.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

// A session on two libraries, LIB1 (SQL Server, current) and LIB2 (Oracle), for a user whose login
// needs escaping in SQL. LIB2 lists another person first, so the user's PEOPLE.SYSTEM_ID differs
// between the libraries and that person has, in LIB2, the user's LIB1 id.
class FolderBrowserTest : public testing::Test {
protected:
    static constexpr const char *User = "JO'SMITH";

    FolderBrowserTest()
    {
        lib1Person = builder.addUser("LIB1", User, "DOCS_USERS");
        other = builder.addUser("LIB2", "OTHER", "OTHERS");
        lib2Person = builder.addUser("LIB2", User, "STAFF");
        log.setConfiguredLogPath(dir.filePath("Korvel.LOG"));
    }

    void start()
    {
        ASSERT_TRUE(StartFusion(dm)) << window.statusText().toStdString();
        lib1 = browser.AddLibraryNodes("LIB1");
        lib2 = browser.AddLibraryNodes("LIB2");
        window.setStatusText("Waiting for user input");
    }

    // A folder the given person or group holds the rights on.
    int folder(const QString &library, const QString &name, bool isPublic, qint64 trustee, int rights = 255)
    {
        const int number = builder.addFolder(library, name, isPublic);
        builder.addTrustee(library, number, trustee, rights);
        return number;
    }

    void expand(const QString &path)
    {
        const TreeNode node = tree.find(path);
        ASSERT_NE(node, TreeNode::None) << path.toStdString();
        browser.TVRootFolder_Expand(node);
    }

    QStringList children(const QString &path) const { return tree.childTexts(tree.find(path)); }
    QString current() const { return session.currentLibrary ? session.currentLibrary->name() : QString(); }
    qsizetype retrievals(const QString &library) const
    {
        return window.statusHistory.count("Retrieving folders from library " + library);
    }

    QTemporaryDir dir;
    InstallationBuilder builder{
        dir.path(),
        User,
        {InstallationBuilder::library("LIB1"), InstallationBuilder::library("LIB2", 2, "ORAADM")}};
    qint64 lib1Person = 0, lib2Person = 0, other = 0;
    FakeWindow window;
    ActivityLog log{window};
    SettingsStore store{dir.filePath("settings")};
    SavedSettings settings{store};
    std::shared_ptr<LocalDm> localDm = builder.dm();
    LocalDmFactory factory{localDm};
    DmSession session;
    LibraryConnection connection;
    DmContext dm{factory, session, connection, log, window, settings};
    FakeTree tree;
    FolderBrowser browser{dm, tree};
    TreeNode lib1 = TreeNode::None, lib2 = TreeNode::None;
};

} // namespace

TEST_F(FolderBrowserTest, LibraryNodesStartWithTwoCategoriesThatShowAnExpandMark)
{
    start();
    EXPECT_EQ(tree.childTexts(TreeNode::None), QStringList({"LIB1", "LIB2"}));
    EXPECT_EQ(tree.at(lib2).tag, "LIB:LIB2");
    EXPECT_EQ(tree.at(lib2).image, LibraryImage);
    EXPECT_EQ(tree.at(lib2).expandedImage, LibraryImage);
    EXPECT_EQ(children("LIB2"), QStringList({"Public", "Shared/Personal"}));
    EXPECT_EQ(tree.at(tree.find("LIB2 > Public")).tag, "FL:0");
    EXPECT_EQ(tree.at(tree.find("LIB2 > Shared/Personal")).tag, "FL:-1");
    for (const QString category : {"LIB2 > Public", "LIB2 > Shared/Personal"}) {
        const FakeTree::Node &node = tree.at(tree.find(category));
        EXPECT_EQ(std::pair(node.image, node.expandedImage),
                  std::pair(int(CategoryImage), int(CategoryOpenImage)));
        ASSERT_EQ(children(category), QStringList({"[]"}));
        const FakeTree::Node &placeholder = tree.at(node.children.front());
        EXPECT_TRUE(placeholder.tag.isEmpty());
        EXPECT_EQ(std::pair(placeholder.image, placeholder.expandedImage),
                  std::pair(int(CategoryImage), int(CategoryOpenImage)));
    }
}

TEST_F(FolderBrowserTest, PublicOfAnotherLibraryIsQueriedThereForTheUserOfThatLibrary)
{
    ASSERT_NE(lib1Person, lib2Person);
    ASSERT_EQ(other, lib1Person);
    folder("LIB1", "Lib1 Only", true, lib1Person);
    const int zeta = folder("LIB2", "Zeta", true, lib2Person);
    const int alpha = folder("LIB2", "Alpha", true, builder.addGroup("LIB2", "STAFF"), 63);
    folder("LIB2", "Not Mine", true, other);
    folder("LIB2", "No Rights", true, lib2Person, 0);
    folder("LIB2", "Private", false, lib2Person);
    builder.db("LIB2").exec("UPDATE ROOT_OBJECT SET DISPLAYNAME = 'Beta' WHERE DOCNUMBER = ?1", {alpha});
    start();

    // LIB1 first: its people id must not be reused in LIB2, where it is another person's.
    expand("LIB1 > Public");
    EXPECT_EQ(children("LIB1 > Public"), QStringList({"Lib1 Only"}));
    window.setStatusText("Waiting for user input");
    expand("LIB2 > Public");

    // Display names, in display-name order.
    ASSERT_EQ(children("LIB2 > Public"), QStringList({"Beta", "Zeta"}));
    const FakeTree::Node &beta = tree.at(tree.find("LIB2 > Public > Beta"));
    EXPECT_EQ(beta.tag, FolderTag(alpha));
    EXPECT_EQ(tree.at(tree.find("LIB2 > Public > Zeta")).tag, "FL: " + QString::number(zeta));
    EXPECT_EQ(std::pair(beta.image, beta.expandedImage), std::pair(int(FolderImage), int(FolderOpenImage)));
    EXPECT_EQ(children("LIB2 > Public > Beta"), QStringList({"[]"}));
    EXPECT_EQ(tree.at(tree.find("LIB2 > Public > Beta > []")).image, FolderImage);
    EXPECT_EQ(tree.madeVisible.back(), tree.find("LIB2 > Public"));

    EXPECT_EQ(retrievals("LIB2"), 1);
    EXPECT_EQ(current(), "LIB1");
    EXPECT_EQ(session.sql.library(), "LIB1");
    EXPECT_EQ(connection.owner, "DOCSADM");
    EXPECT_EQ(window.libraryName, "LIB1");
    EXPECT_EQ(window.statusText(), "Waiting for user input");
    EXPECT_EQ(window.pointer, MousePointer::Default);
}

TEST_F(FolderBrowserTest, SharedPersonalListsFoldersInNoFolderAndSubfoldersComeFromTheirOwnLibrary)
{
    const int personal = folder("LIB1", "Personal", false, lib1Person);
    const int child = folder("LIB1", "Child", false, lib1Person);
    builder.link("LIB1", personal, "LIB1", child);
    builder.link("LIB1", personal, "LIB1", builder.addDocument("LIB1", "Letter"));
    // LIB2's folder has Personal's number: filed in Personal, it must hide neither Personal nor itself.
    const int foreign = folder("LIB2", "Foreign", false, lib2Person);
    ASSERT_EQ(foreign, personal);
    builder.link("LIB1", personal, "LIB2", foreign);
    folder("LIB1", "Another", false, lib1Person);
    start();

    expand("LIB1 > Shared/Personal");
    EXPECT_EQ(children("LIB1 > Shared/Personal"), QStringList({"Another", "Personal"}));
    expand("LIB1 > Shared/Personal > Personal");
    EXPECT_EQ(children("LIB1 > Shared/Personal > Personal"), QStringList({"Child"}));
    EXPECT_EQ(tree.at(tree.find("LIB1 > Shared/Personal > Personal > Child")).tag, FolderTag(child));
    expand("LIB1 > Shared/Personal > Personal > Child");
    EXPECT_EQ(tree.childCount(tree.find("LIB1 > Shared/Personal > Personal > Child")), 0);
    expand("LIB2 > Shared/Personal");
    EXPECT_EQ(children("LIB2 > Shared/Personal"), QStringList({"Foreign"}));
    EXPECT_EQ(current(), "LIB1");
}

TEST_F(FolderBrowserTest, RowsWithoutANumberOrANameAreSkipped)
{
    folder("LIB1", "Kept", true, lib1Person);
    const int unnamed = folder("LIB1", "Unnamed", true, lib1Person);
    builder.db("LIB1").exec("UPDATE ROOT_OBJECT SET DISPLAYNAME = '' WHERE DOCNUMBER = ?1", {unnamed});
    builder.db("LIB1").exec(
        "INSERT INTO PROFILE (SYSTEM_ID, DOCNUMBER, DOCNAME, APPLICATION) VALUES (9990, 0, "
        "'Zero', 1)");
    builder.db("LIB1").exec(
        "INSERT INTO ROOT_OBJECT (SYSTEM_ID, DOCNUMBER, DISPLAYNAME) VALUES (9990, 0, 'Zero')");
    builder.db("LIB1").exec(
        "INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) VALUES (9990, ?1, 255)", {lib1Person});
    start();

    expand("LIB1 > Public");
    EXPECT_EQ(children("LIB1 > Public"), QStringList({"Kept"}));
}

TEST_F(FolderBrowserTest, ALevelIsLoadedOnceAndAnEmptyOneLosesItsExpandMark)
{
    folder("LIB1", "Only", true, lib1Person);
    folder("LIB2", "Not Mine", true, other);
    start();

    expand("LIB2 > Public");
    EXPECT_EQ(tree.childCount(tree.find("LIB2 > Public")), 0);
    EXPECT_TRUE(tree.madeVisible.empty());
    expand("LIB2 > Public");
    EXPECT_EQ(retrievals("LIB2"), 1);

    expand("LIB1 > Public");
    expand("LIB1 > Public");
    EXPECT_TRUE(browser.GetFolders(tree.find("LIB1 > Public"), "LIB1", "FL:0") == false);
    EXPECT_EQ(children("LIB1 > Public"), QStringList({"Only"}));
    EXPECT_EQ(retrievals("LIB1"), 1);
}

TEST_F(FolderBrowserTest, ALibraryThatCannotBeConnectedLeavesTheLevelNotLoadedAndTheSessionWhereItWas)
{
    folder("LIB1", "Kept", true, lib1Person);
    start();
    browser.AddLibraryNodes("GONE");

    expand("GONE > Public");
    EXPECT_EQ(children("GONE > Public"), QStringList({"[]"}));
    EXPECT_EQ(tree.collapsed, std::vector<TreeNode>({tree.find("GONE > Public")}));
    EXPECT_EQ(current(), "LIB1");
    EXPECT_EQ(session.sql.library(), "LIB1");
    EXPECT_EQ(window.statusText(), "Waiting for user input");
    expand("LIB1 > Public");
    EXPECT_EQ(children("LIB1 > Public"), QStringList({"Kept"}));
}

TEST_F(FolderBrowserTest, WithoutASessionTheLevelKeepsItsPlaceholder)
{
    lib1 = browser.AddLibraryNodes("LIB1");
    window.scriptAnswers({MessageAnswer::No});

    expand("LIB1 > Public");
    EXPECT_EQ(children("LIB1 > Public"), QStringList({"[]"}));
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_TRUE(window.messages[0].text.startsWith("Error: CheckFusion failed on GetFolders"));
    EXPECT_EQ(window.endings, 0);
}

TEST_F(FolderBrowserTest, LibraryNodesAndTheLibraryMenuSwitchTheCurrentLibrary)
{
    start();
    const auto connecting = [&] { return window.statusHistory.count("Connecting to LIB2"); };

    browser.TVRootFolder_NodeClick(tree.find("LIB2 > Public"));
    EXPECT_EQ(current(), "LIB1");
    browser.TVRootFolder_NodeClick(lib1);
    EXPECT_EQ(connecting(), 0);

    browser.TVRootFolder_NodeClick(lib2);
    EXPECT_EQ(current(), "LIB2");
    EXPECT_EQ(session.sql.library(), "LIB2");
    EXPECT_EQ(window.libraryName, "LIB2");
    EXPECT_EQ(window.checkedLibrary, "LIB2");
    EXPECT_EQ(connecting(), 1);
    EXPECT_EQ(window.statusText(), "Waiting for user input");
    EXPECT_EQ(window.pointer, MousePointer::Default);
    browser.TVRootFolder_NodeClick(lib2);
    EXPECT_EQ(connecting(), 1);

    browser.MNLibList_Click("LIB1");
    EXPECT_EQ(current(), "LIB1");
    EXPECT_EQ(window.libraryName, "LIB1");
    EXPECT_EQ(window.pointer, MousePointer::Default);
}

TEST_F(FolderBrowserTest, AStatementThatFailsWhileALevelOpensIsShownAndTheLevelOpensAgain)
{
    folder("LIB2", "Budget", true, lib2Person);
    start();
    // Each opening with a browser of its own, so that the user's id is looked up every time; the
    // first one also learns LIB2's facts, so the second counts the statements of every later one.
    const auto open = [&](const QString &faults) {
        FakeTree fresh;
        FolderBrowser opener(dm, fresh);
        const TreeNode library = opener.AddLibraryNodes("LIB2");
        const TreeNode publicNode = fresh.child(library, 0);
        localDm->faults() = FaultPlan::parse(faults);
        opener.TVRootFolder_Expand(publicNode);
        const qint64 statements = localDm->faults().calls(FaultKind::Sql);
        localDm->faults() = FaultPlan::parse({});
        const bool collapsed = !fresh.collapsed.empty();
        const QStringList level = fresh.childTexts(publicNode);
        opener.TVRootFolder_Expand(publicNode);
        return std::tuple(statements, level, collapsed, fresh.childTexts(publicNode));
    };
    open({});
    const auto [statements, clean, cleanCollapsed, cleanAgain] = open({});
    ASSERT_EQ(clean, QStringList({"Budget"}));
    ASSERT_FALSE(cleanCollapsed);

    int shown = 0;
    for (qint64 at = 1; at <= statements; ++at) {
        SCOPED_TRACE(at);
        window.messages.clear();
        const qsizetype linesBefore = ReadLogLines(log.currentLogFileName()).size();
        const auto [_, level, collapsed, again] = open("sql:" + QString::number(at));
        const QStringList lines = ReadLogLines(log.currentLogFileName()).mid(linesBefore);
        if (level != clean) {
            // Not loaded: the placeholder is back, the node closed, the failure logged.
            EXPECT_EQ(level, QStringList({"[]"}));
            EXPECT_TRUE(collapsed);
            EXPECT_TRUE(std::any_of(lines.begin(), lines.end(), [](const QString &l) {
                return l.startsWith("Error: (");
            })) << lines.join('\n').toStdString();
        }
        for (const FakeWindow::Message &message : window.messages) {
            if (!message.text.startsWith("Error: Unable to retrieve folders from library LIB2: #"))
                continue;
            ++shown;
            EXPECT_EQ(message.icon, MessageIcon::Warning);
            EXPECT_EQ(level, QStringList({"[]"}));
        }
        // Opening it again loads it.
        EXPECT_EQ(again, clean);
        // A failure in the switch back leaves the session in LIB2, as any failed switch does.
        ASSERT_TRUE(ConnectLibrary(dm, "LIB1"));
    }
    // The user's id and the level itself.
    EXPECT_EQ(shown, 2);

    // With Display Errors off failures are only logged.
    window.showErrors = false;
    window.messages.clear();
    for (qint64 at = 1; at <= statements; ++at)
        open("sql:" + QString::number(at));
    EXPECT_TRUE(window.messages.empty());
}

TEST_F(FolderBrowserTest, RefreshLoadsALevelAgainAndPutsALibraryBackToItsStart)
{
    folder("LIB1", "Alpha", true, lib1Person);
    start();
    expand("LIB1 > Public");
    ASSERT_EQ(children("LIB1 > Public"), QStringList({"Alpha"}));
    folder("LIB1", "Beta", true, lib1Person);

    browser.MNRefresh_Click(tree.find("LIB1 > Public"));
    EXPECT_EQ(children("LIB1 > Public"), QStringList({"Alpha", "Beta"}));
    EXPECT_EQ(tree.madeVisible.back(), tree.find("LIB1 > Public > Alpha"));
    // A placeholder stands for its parent: Alpha's level is loaded, and has no folders.
    browser.MNRefresh_Click(tree.find("LIB1 > Public > Alpha > []"));
    EXPECT_EQ(children("LIB1 > Public > Alpha"), QStringList());
    EXPECT_EQ(current(), "LIB1");

    browser.MNRefresh_Click(lib1);
    EXPECT_EQ(children("LIB1"), QStringList({"Public", "Shared/Personal"}));
    EXPECT_EQ(children("LIB1 > Public"), QStringList({"[]"}));
    EXPECT_EQ(children("LIB1 > Shared/Personal"), QStringList({"[]"}));
    browser.MNRefresh_Click(TreeNode::None);
    EXPECT_EQ(retrievals("LIB1"), 3);
}
