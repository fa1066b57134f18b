#include "sessionfixture.h"

#include "dm/runsql.h"
#include "settingsview/dmsettingsbrowser.h"

namespace {

// The viewer's DM work on the three-library session. In LIB_ORA the user's primary group is
// ORA_ADMINS, which may create folders; LIB_SQL alone has the parameter DOCSParms.Region.
class DmSettingsBrowserTest : public SessionFixture {
protected:
    void SetUp() override
    {
        const qint64 admins = builder.addGroup(QStringLiteral("LIB_ORA"), QStringLiteral("ORA_ADMINS"));
        builder.db(QStringLiteral("LIB_ORA"))
            .exec(QStringLiteral("UPDATE PEOPLE SET PRIMARY_GROUP = ?1 WHERE USER_ID = 'JSMITH'"), {admins});
        builder.addMember(QStringLiteral("LIB_ORA"), QStringLiteral("JSMITH"), QStringLiteral("ORA_ADMINS"));
        builder.grant(QStringLiteral("LIB_ORA"), QStringLiteral("ORA_ADMINS"),
                      QStringLiteral("User.CreateFolder"));
        builder.setParameter(QStringLiteral("LIB_SQL"), QStringLiteral("DOCSParms.Region"),
                             QStringLiteral("North"));
        start();
    }

    QString current() const { return session.currentLibrary ? session.currentLibrary->name() : QString(); }

    // The library whose own REMOTE_LIBRARIES row (SYSTEM_ID 0) answers: where statements really run.
    QString libraryOfStatements()
    {
        EXPECT_TRUE(RunSQL(*dm, "SELECT LIBRARY_NAME FROM [OWNER].REMOTE_LIBRARIES WHERE SYSTEM_ID = 0"));
        const QString name = SqlColumn(session, 1).toString();
        ReleaseResults(session);
        return name;
    }

    qsizetype connections(const QStringList &lines, const QString &library) const
    {
        return lines.count("Connecting to library " + library);
    }

    DmSettingsBrowser browser{*dm};
};

} // namespace

TEST_F(DmSettingsBrowserTest, LoadsTheLibrariesThePropertiesAndTheSessionPanels)
{
    ASSERT_TRUE(browser.load());
    EXPECT_EQ(browser.rememberedLibrary(), "LIB_SQL");
    EXPECT_EQ(browser.libraryNames(), QStringList({"LIB_SQL", "LIB_ORA", "LIB_SYB"}));
    const QStringList names = browser.propertyNames();
    ASSERT_GE(names.size(), 5);
    EXPECT_EQ(names.mid(0, 3),
              QStringList({"User.SaveToRemoteLibrary", "User.ManageRootFolders", "User.CreateFolder"}));
    EXPECT_TRUE(names.contains("DOCSParms.Region"));
    EXPECT_TRUE(names.contains("Library.Engine"));

    const SessionPanels panels = browser.panels();
    EXPECT_EQ(panels.library, "LIB_SQL");
    EXPECT_EQ(panels.userId, "JSMITH");
    EXPECT_EQ(panels.primaryGroup, "DOCS_USERS");

    EXPECT_EQ(browser.propertyText("DOCSParms.Region"), "North");
    EXPECT_EQ(browser.propertyText("docsparms.uniquedocnames"), "False");
    EXPECT_EQ(browser.propertyText("User.CreateFolder"), "False");
    EXPECT_EQ(browser.propertyText("Library.Database"), "LIB_SQL_DB");
}

TEST_F(DmSettingsBrowserTest, OpeningAndClosingAtOnceLeavesTheConnectionAsItWas)
{
    const std::shared_ptr<DmSql> sqlBefore = session.sql.object();
    ASSERT_TRUE(browser.load());
    EXPECT_FALSE(browser.switchLibrary("LIB_SQL"));
    browser.restoreLibrary();
    browser.restoreLibrary();
    EXPECT_TRUE(browser.rememberedLibrary().isEmpty());

    // The one reconnection on close finds the library connected and keeps its SQL pass-through.
    EXPECT_EQ(current(), "LIB_SQL");
    EXPECT_EQ(session.sql.object(), sqlBefore);
    EXPECT_EQ(connections(newLogLines(), "LIB_SQL"), 0);
    EXPECT_EQ(libraryOfStatements(), "LIB_SQL");
}

TEST_F(DmSettingsBrowserTest, ChoosingALibraryMakesItCurrentUntilTheViewerCloses)
{
    ASSERT_TRUE(browser.load());
    ASSERT_TRUE(browser.switchLibrary("LIB_ORA"));
    EXPECT_EQ(window.pointer, MousePointer::Default);
    EXPECT_EQ(current(), "LIB_ORA");
    EXPECT_EQ(browser.currentLibraryName(), "LIB_ORA");
    EXPECT_EQ(window.libraryName, "LIB_ORA");
    EXPECT_EQ(libraryOfStatements(), "LIB_ORA");

    const SessionPanels panels = browser.panels();
    EXPECT_EQ(panels.library, "LIB_SQL"); // the default library does not follow
    EXPECT_EQ(panels.userId, "JSMITH");
    EXPECT_EQ(panels.primaryGroup, "ORA_ADMINS");
    EXPECT_EQ(browser.propertyText("User.CreateFolder"), "True");
    EXPECT_EQ(browser.propertyText("DOCSParms.UniqueDocNames"), "True");
    EXPECT_EQ(browser.propertyText("Library.Owner"), "ORAADM");

    ASSERT_TRUE(browser.switchLibrary("LIB_SYB"));
    EXPECT_EQ(browser.panels().primaryGroup, "DOCS_USERS");
    newLogLines();

    browser.restoreLibrary();
    const QStringList lines = newLogLines();
    EXPECT_EQ(connections(lines, "LIB_SQL"), 1);
    EXPECT_EQ(current(), "LIB_SQL");
    EXPECT_EQ(window.libraryName, "LIB_SQL");
    EXPECT_EQ(connection.owner, "DOCSADM");
    EXPECT_EQ(libraryOfStatements(), "LIB_SQL");
}

TEST_F(DmSettingsBrowserTest, APropertyTheCurrentLibraryLacksReadsAsEmpty)
{
    ASSERT_TRUE(browser.load());
    ASSERT_TRUE(browser.switchLibrary("LIB_SYB"));
    EXPECT_TRUE(browser.propertyNames().contains("DOCSParms.Region"));
    EXPECT_EQ(browser.propertyText("DOCSParms.Region"), "");
    EXPECT_EQ(browser.propertyText("No.Such.Property"), "");
    EXPECT_EQ(browser.propertyText(""), "");
}

TEST_F(DmSettingsBrowserTest, WithoutACurrentLibraryTheUserIsToldAndNothingIsRestored)
{
    session.currentLibrary.reset();
    EXPECT_FALSE(browser.load());
    ASSERT_EQ(window.messages.size(), 1u);
    EXPECT_EQ(window.messages[0].text, "Library object not set - cannot continue");
    EXPECT_EQ(window.messages[0].icon, MessageIcon::Critical);
    EXPECT_TRUE(browser.libraryNames().isEmpty());
    EXPECT_TRUE(browser.propertyNames().isEmpty());

    const SessionPanels panels = browser.panels();
    EXPECT_EQ(panels.library, "LIB_SQL");
    EXPECT_TRUE(panels.userId.isEmpty());
    EXPECT_EQ(browser.propertyText("Library.Name"), "");

    browser.restoreLibrary();
    EXPECT_TRUE(newLogLines().isEmpty());
    EXPECT_EQ(current(), "");
}
