#include "installationbuilder.h"
#include "support/testbackend.h"

#include "dmapi/dmerror.h"
#include "localdm/localapplication.h"
#include "localdm/localbrowser.h"
#include "localdm/localdmfactory.h"
#include "localdm/localerror.h"
#include "localdm/locallibrary.h"
#include "localdm/sql/localsql.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class LocalSessionTest : public testing::Test {
protected:
    QTemporaryDir dir;
    InstallationBuilder builder{dir.path(), "JSMITH", InstallationBuilder::oneLibraryPerEngine()};
};

} // namespace

TEST_F(LocalSessionTest, LoginNeedsTheUserAmongThePeopleOfTheCurrentLibrary)
{
    builder.addUser("LIB_A", "jsmith", "DOCS_USERS");
    LocalApplication app(builder.dm());
    const QString token = app.securityToken();
    EXPECT_FALSE(token.isEmpty());
    EXPECT_EQ(app.securityToken(), token);

    builder.db("LIB_A").exec("DELETE FROM PEOPLE");
    EXPECT_TRUE(app.securityToken().isEmpty());

    builder.installation().currentLibrary = "lib_b";
    LocalApplication elsewhere(builder.dm());
    ASSERT_TRUE(elsewhere.currentLibrary());
    EXPECT_EQ(elsewhere.currentLibrary()->name(), "LIB_B");
    EXPECT_TRUE(elsewhere.securityToken().isEmpty());
}

TEST_F(LocalSessionTest, LibrariesComeInInstallationOrderWithTheUserOfEach)
{
    builder.installation().defaultLibrary = "LIB_C";
    builder.addUser("LIB_A", "JSMITH", "DOCS_USERS");
    builder.addUser("LIB_B", "JSMITH", "ORA_STAFF");
    builder.addUser("LIB_C", "JSMITH");
    LocalApplication app(builder.dm());
    const auto libraries = app.libraries();
    ASSERT_EQ(libraries->count(), 3);
    EXPECT_FALSE(libraries->item(0));
    EXPECT_FALSE(libraries->item(4));
    QStringList names, groups;
    for (int i = 1; i <= 3; ++i) {
        names << libraries->item(i)->name();
        groups << libraries->item(i)->userPrimaryGroup();
        EXPECT_EQ(libraries->item(i)->userId(), "JSMITH");
        EXPECT_EQ(libraries->item(i)->isPrimary(), i == 1);
    }
    EXPECT_EQ(names, QStringList({"LIB_A", "LIB_B", "LIB_C"}));
    EXPECT_EQ(groups, QStringList({"DOCS_USERS", "ORA_STAFF", ""}));
    EXPECT_EQ(app.currentLibrary(), libraries->item(1));
    EXPECT_EQ(app.defaultLibrary(), libraries->item(3));
    app.setWindowHandle(0x5a5a);
    EXPECT_EQ(app.windowHandle(), 0x5a5au);
}

TEST_F(LocalSessionTest, AnUnreachableLibraryRefusesActivationAndOpensNothing)
{
    if (TestLibrariesOnServer())
        GTEST_SKIP() << "makes a library unreachable by deleting its file";
    const int folder = builder.addFolder("LIB_C", "Archive");
    ASSERT_TRUE(QFile::remove(builder.installation().library("LIB_C")->databaseFile));
    const auto dm = builder.dm();
    LocalLibrary unreachable(dm, "LIB_C");
    try {
        unreachable.activate();
        FAIL() << "activated a library without a database";
    } catch (const DmError &error) {
        EXPECT_TRUE(error.description().contains("LIB_C")) << error.description().toStdString();
    }
    EXPECT_FALSE(unreachable.openFolder(folder));
    EXPECT_FALSE(unreachable.openProfile(folder));
    EXPECT_THROW(unreachable.properties(), DmError);
    EXPECT_NO_THROW(LocalLibrary(dm, "LIB_A").activate());

    builder.installation().currentLibrary = "LIB_C";
    EXPECT_THROW(LocalApplication(builder.dm()).securityToken(), DmError);
}

TEST_F(LocalSessionTest, PropertiesHoldRightsThroughGroupsParametersAndLibraryFacts)
{
    builder.addUser("LIB_B", "JSMITH", "DOCS_USERS");
    builder.addMember("LIB_B", "JSMITH", "ADMINS");
    builder.addUser("LIB_B", "MJONES", "ROOT_ADMINS");
    builder.grant("LIB_B", "ADMINS", "User.CreateFolder");
    builder.grant("LIB_B", "DOCS_USERS", "user.saveToRemoteLibrary");
    builder.grant("LIB_B", "ROOT_ADMINS", "User.ManageRootFolders");
    builder.setParameter("LIB_B", "DOCSParms.UniqueDocNames", "Y");
    builder.setParameter("LIB_B", "DOCSParms.Language", "EN");
    const auto dm = builder.dm();

    const auto properties = LocalLibrary(dm, "LIB_B").properties();
    EXPECT_EQ(properties->item("User.CreateFolder")->value(), QVariant(true));
    EXPECT_EQ(properties->item("USER.SAVETOREMOTELIBRARY")->value(), QVariant(true));
    EXPECT_EQ(properties->item("User.ManageRootFolders")->value(), QVariant(false));
    EXPECT_EQ(properties->item("docsparms.uniquedocnames")->value(), QVariant(true));
    EXPECT_EQ(properties->item("DOCSParms.Language")->value(), QVariant("EN"));
    EXPECT_EQ(properties->item("Library.Name")->value(), QVariant("LIB_B"));
    EXPECT_EQ(properties->item("Library.Engine")->value(), QVariant(2));
    EXPECT_EQ(properties->item("Library.Owner")->value(), QVariant("ORAADM"));
    EXPECT_EQ(properties->item("Library.Database")->value(), QVariant("LIB_B_DB"));
    EXPECT_EQ(properties->item("Library.ServerLocation")->value(), QVariant("SRV_LIB_B"));
    try {
        properties->item("User.FlyToTheMoon");
        FAIL() << "a missing property was found";
    } catch (const DmError &error) {
        EXPECT_EQ(error.number(), qint32(LocalError::NoSuchProperty));
        EXPECT_EQ(error.description(), "Library LIB_B has no property User.FlyToTheMoon");
    }
    QStringList names;
    for (int i = 1; i <= properties->count(); ++i)
        names << properties->item(i)->name();
    EXPECT_EQ(names.mid(0, 3),
              QStringList({"User.SaveToRemoteLibrary", "User.ManageRootFolders", "User.CreateFolder"}));
    EXPECT_THROW(properties->item(0), DmError);

    // A user who is not in the library holds no right; the parameter's text decides the flag.
    builder.setParameter("LIB_C", "DOCSParms.UniqueDocNames", "true");
    const auto other = LocalLibrary(dm, "LIB_C").properties();
    EXPECT_EQ(other->item("User.CreateFolder")->value(), QVariant(false));
    EXPECT_EQ(other->item("DOCSParms.UniqueDocNames")->value(), QVariant(true));
    EXPECT_EQ(LocalLibrary(dm, "LIB_A").properties()->item("DOCSParms.UniqueDocNames")->value(),
              QVariant(false));
}

TEST_F(LocalSessionTest, FactoryMakesTheClientObjects)
{
    int sqlObjects = 0;
    LocalDmFactory factory(builder.dm(), [&] {
        ++sqlObjects;
        return std::shared_ptr<DmSql>();
    });
    EXPECT_NE(factory.createApplication(), factory.createApplication());
    factory.createSql();
    EXPECT_EQ(sqlObjects, 1);
    EXPECT_TRUE(std::dynamic_pointer_cast<LocalSql>(LocalDmFactory(builder.dm()).createSql()));

    const auto browser = factory.createBrowser();
    const auto companion = factory.createBrowserCompanion();
    EXPECT_THROW(browser->initialize(nullptr), DmError);
    EXPECT_NO_THROW(browser->initialize(companion));
    companion->close();
    EXPECT_TRUE(std::dynamic_pointer_cast<LocalBrowserCompanion>(companion)->isClosed());

    const auto command = factory.createCommand();
    EXPECT_NO_THROW(command->execute("DOCSOPEN.RefreshAllViews"));
    EXPECT_THROW(command->execute("DOCSOPEN.DeleteEverything"), DmError);
}

TEST_F(LocalSessionTest, ActivatingALibraryMakesItTheCurrentOneUnlessItCannotBeOpened)
{
    if (TestLibrariesOnServer())
        GTEST_SKIP() << "makes a library unreachable by deleting its file";
    builder.addUser("LIB_A", "JSMITH", "DOCS_USERS");
    ASSERT_TRUE(QFile::remove(builder.installation().library("LIB_C")->databaseFile));
    LocalApplication app(builder.dm());
    const QString token = app.securityToken();
    app.libraries()->item(2)->activate();
    EXPECT_EQ(app.currentLibrary(), app.libraries()->item(2));
    EXPECT_THROW(app.libraries()->item(3)->activate(), DmError);
    EXPECT_EQ(app.currentLibrary(), app.libraries()->item(2));
    // The login stays the one made in the installation's current library.
    EXPECT_EQ(app.securityToken(), token);
}
