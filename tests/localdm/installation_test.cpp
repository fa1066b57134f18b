#include "dmapi/dmerror.h"
#include "localdm/faultplan.h"
#include "localdm/installation.h"
#include "localdm/store/serverconnection.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class InstallationTest : public testing::Test {
protected:
    QString write(const QByteArray &text)
    {
        QFile file(fileName);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(text);
        return fileName;
    }

    // The description of the DmError that loading raises; empty when it loads.
    QString loadError()
    {
        try {
            Installation::load(fileName);
        } catch (const DmError &error) {
            return error.description();
        }
        return {};
    }

    QTemporaryDir dir;
    QString fileName = dir.filePath(QStringLiteral("installation.ini"));
};

} // namespace

TEST_F(InstallationTest, RoundTripsLibrariesInOrderWithTheirServerFacts)
{
    Installation installation;
    installation.user = "JSMITH";
    installation.currentLibrary = "ZETA";
    installation.defaultLibrary = "ALPHA";
    installation.faults = "sql:3";
    LibraryConfig zeta{"ZETA", dir.filePath("zeta.db"), 2, "ZOWNER", "ORA01", "ZETADB", true};
    LibraryConfig alpha{"ALPHA", "/elsewhere/alpha.db", 10, "DOCSADM", "SQL01", "ALPHADB", false};
    alpha.productVersion = "10.50.1600.1";
    alpha.compatibilityLevel = 80;
    alpha.quotedIdentifier = false;
    installation.libraries = {zeta, alpha};
    installation.save(fileName);

    const Installation loaded = Installation::load(fileName);
    ASSERT_EQ(loaded.libraries.size(), 2);
    EXPECT_EQ(loaded.libraries[0].name, "ZETA");
    EXPECT_EQ(loaded.libraries[0].databaseFile, dir.filePath("zeta.db"));
    EXPECT_EQ(loaded.libraries[0].engine, 2);
    EXPECT_EQ(loaded.libraries[0].owner, "ZOWNER");
    EXPECT_TRUE(loaded.libraries[0].primary);
    EXPECT_EQ(loaded.libraries[1].databaseFile, "/elsewhere/alpha.db");
    EXPECT_EQ(loaded.libraries[1].productVersion, "10.50.1600.1");
    EXPECT_EQ(loaded.libraries[1].compatibilityLevel, 80);
    EXPECT_FALSE(loaded.libraries[1].quotedIdentifier);
    EXPECT_EQ(loaded.user, "JSMITH");
    EXPECT_EQ(loaded.currentLibrary, "ZETA");
    EXPECT_EQ(loaded.defaultLibrary, "ALPHA");
    EXPECT_EQ(loaded.faults, "sql:3");
    EXPECT_EQ(loaded.library("alpha"), &loaded.libraries[1]);
    EXPECT_EQ(loaded.library("BETA"), nullptr);
}

TEST_F(InstallationTest, ServerLibrariesKeepTheirConnectionStringExactly)
{
    // Spaces, '=', quotes, a backslash escape and a host list: what libpq reads, the file must give back.
    const QString connection = R"(host=db1,db2 port=5432 dbname='dm lib\'s' application_name="x;y")";
    Installation installation;
    installation.user = "U";
    installation.currentLibrary = installation.defaultLibrary = "SRV";
    LibraryConfig server;
    server.name = "SRV";
    server.engine = 6;
    server.connection = connection;
    LibraryConfig file;
    file.name = "FILE";
    file.databaseFile = dir.filePath("file.db");
    installation.libraries = {server, file};
    installation.save(fileName);

    const Installation loaded = Installation::load(fileName);
    EXPECT_EQ(loaded.libraries[0].connection, connection);
    EXPECT_TRUE(loaded.libraries[0].databaseFile.isEmpty());
    EXPECT_FALSE(loaded.libraries[1].onServer());
    EXPECT_EQ(loaded.databaseFiles(), QStringList{dir.filePath("file.db")});

    // The same written by hand: quoted with '\\' and '\"' escaped, or unquoted when it has no ',' ';' '"'
    // '\\'.
    write("[Installation]\nUser=U\nLibraries=A, B\n[A]\nConnection=\"dbname='dm lib\\\\'s' "
          "application_name=\\\"y\\\"\"\n"
          "[B]\nConnection=host=db1 dbname='dm lib'\n");
    const Installation handWritten = Installation::load(fileName);
    EXPECT_EQ(handWritten.libraries[0].connection, R"(dbname='dm lib\'s' application_name="y")");
    EXPECT_EQ(handWritten.libraries[1].connection, "host=db1 dbname='dm lib'");
}

TEST(ServerConnection, ADatabaseReplacesTheOneNamedAndKeepsTheRest)
{
    const std::pair<const char *, const char *> cases[] = {
        {"host=db1 dbname=postgres user=dm", "user='dm' host='db1' dbname='demo_legal'"},
        {"dbname = 'x y' port=5433", "port='5433' dbname='demo_legal'"},
        {"", "dbname='demo_legal'"},
        {"postgresql://dm@db1:5433/postgres", "user='dm' host='db1' port='5433' dbname='demo_legal'"},
        {R"(host=/tmp/a\ b application_name='it\'s')",
         R"(host='/tmp/a b' application_name='it\'s' dbname='demo_legal')"},
    };
    for (const auto &[connection, expected] : cases)
        EXPECT_EQ(ConnectionWithDatabase(connection, "demo_legal").toStdString(), expected);
}

// A server that cannot be reached is named by library, host and database, with libpq's cause folded into
// one line and what to check, never by its connection string.
TEST(ServerConnection, TheServersOwnCauseIsOneLineThatSaysWhatToCheck)
{
    LibraryConfig config;
    config.name = "CORPORATE";
    config.connection = "host=/none port=1 dbname=dm_corp user=in_the_file";
    try {
        ConnectToServer(config);
        ADD_FAILURE() << "connected";
    } catch (const DmError &error) {
        EXPECT_EQ(
            error.description(),
            "Library CORPORATE (host /none, database dm_corp): cannot connect to the server: connection to "
            "server on socket \"/none/.s.PGSQL.1\" failed: No such file or directory - Is the server running "
            "locally and accepting connections on that socket? - check that the server is running and that "
            "the installation file's Connection= of library CORPORATE leads to it");
    }
}

TEST_F(InstallationTest, CurrentLibraryDefaultsToThePrimaryOne)
{
    write("[Installation]\nUser=U\nLibraries=A, B\n[A]\nDatabase=a.db\n[B]\nDatabase=b.db\nPrimary=true\n");
    const Installation loaded = Installation::load(fileName);
    EXPECT_EQ(loaded.currentLibrary, "B");
    EXPECT_EQ(loaded.defaultLibrary, "B");
    EXPECT_EQ(loaded.libraries[0].owner, "DOCSADM");
    EXPECT_EQ(loaded.libraries[0].engine, 10);
}

TEST_F(InstallationTest, BadFilesAreRefusedNamingTheFileAndTheFault)
{
    const std::pair<const char *, const char *> cases[] = {
        {"[Installation]\nLibraries=A\n[A]\nDatabase=a.db\n", "no User"},
        {"[Installation]\nUser=U\n", "no Libraries"},
        {"[Installation]\nUser=U\nLibraries=A\n", "no section [A]"},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nEngine=10\n", "no Database or Connection for library A"},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nDatabase=a.db\nConnection=dbname=a\n",
         "library A has both"},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nConnection=\"host=h hunter2\"\n",
         "Connection of library A is not a connection string libpq can read: missing \"=\" after \"...\""},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nConnection=\"postgresql://u:hunter2@[::1\"\n",
         "matching \"]\" in IPv6 host address in URI: \"...\""},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nConnection=\"host=h sslpassword=hunter2\"\n",
         "Connection of library A names a password (sslpassword)"},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nConnection=\"dbname='a\"\n",
         "unterminated quoted string"},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nConnection=\"dbname=a password=s3cret\"\n",
         "Connection of library A names a password"},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nConnection=host=h, port=5\n",
         "',' outside double quotes"},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nDatabase=a.db\nEngine=ten\n",
         "Engine is not a whole number"},
        {"[Installation]\nUser=U\nLibraries=A, a\n[A]\nDatabase=a.db\n", "listed twice"},
        {"[Installation]\nUser=U\nLibraries=A, B\n[A]\nDatabase=a.db\n[B]\nDatabase=x/../a.db\n",
         "libraries A and B name one database"},
        {"[Installation]\nUser=U\nLibraries=A, B\n[A]\nConnection=\"host=h dbname=d\"\n[B]\n"
         "Connection=\"dbname=d host=h\"\n",
         "libraries A and B name one database (postgresql://h:"},
        {"[Installation]\nUser=U\nLibraries=A\nCurrentLibrary=B\n[A]\nDatabase=a.db\n", "CurrentLibrary B"},
        {"[Installation]\nUser=U\nLibraries=A\n[A]\nDatabase=a.db\nOwner=main\n", "unusable Owner"},
        {"[A]\nDatabase=a\"b.db\n[Installation]\nUser=U\nLibraries=A\n",
         "Database in section [A] runs on past its line"},
    };
    for (const auto &[text, fault] : cases) {
        write(text);
        const QString error = loadError();
        EXPECT_TRUE(error.contains(fileName)) << error.toStdString();
        EXPECT_TRUE(error.contains(QString::fromUtf8(fault))) << error.toStdString();
        EXPECT_FALSE(error.contains("hunter2")) << error.toStdString();
    }
    QFile::remove(fileName);
    EXPECT_TRUE(loadError().contains("file not found"));
}

TEST(Installation, LocatePrefersTheArgumentThenTheEnvironmentThenTheDemo)
{
    qputenv("KORVEL_DM", "/from/env.ini");
    EXPECT_EQ(Installation::locate("/from/arg.ini"), "/from/arg.ini");
    EXPECT_EQ(Installation::locate({}), "/from/env.ini");
    qunsetenv("KORVEL_DM");
    EXPECT_EQ(Installation::locate({}), Installation::demoFileName());
    EXPECT_TRUE(Installation::demoFileName().endsWith("/korvel/demo/installation.ini"));
}

TEST(FaultPlan, FailsExactlyThePlantedCallsOfEachKind)
{
    FaultPlan plan = FaultPlan::parse(" sql:2, SAVE:1,sql:4 ");
    EXPECT_FALSE(plan.failsNow(FaultKind::Sql));
    EXPECT_TRUE(plan.failsNow(FaultKind::Sql));
    EXPECT_FALSE(plan.failsNow(FaultKind::Sql));
    EXPECT_TRUE(plan.failsNow(FaultKind::Sql));
    EXPECT_TRUE(plan.failsNow(FaultKind::Save));
    EXPECT_FALSE(plan.failsNow(FaultKind::Save));
    EXPECT_FALSE(plan.failsNow(FaultKind::Delete));
    for (const char *empty : {"", " ", ", ,", " ,\t, "})
        EXPECT_TRUE(FaultPlan::parse(QString::fromUtf8(empty)).empty()) << empty;
    FaultPlan gaps = FaultPlan::parse(", ,sql:1");
    EXPECT_TRUE(gaps.failsNow(FaultKind::Sql));
    // A failure that persists fails its call and every later one; the earliest of two counts.
    FaultPlan persisting = FaultPlan::parse("save:3+, save:1, save: 2 +");
    for (int call = 1; call <= 4; ++call)
        EXPECT_TRUE(persisting.failsNow(FaultKind::Save)) << call;
    for (const char *bad : {"sql", "sql:0", "sql:x", "drop:1", "sql:1:2", ", :1", "sql:1, :", "sql:+",
                            "sql:0+", "sql:1++", "sql+:1"})
        EXPECT_THROW(FaultPlan::parse(QString::fromUtf8(bad)), DmError) << bad;
}

TEST(FaultPlan, CountsEveryCallAlsoWithNothingPlanted)
{
    for (const char *faults : {"", "save:9"}) {
        FaultPlan plan = FaultPlan::parse(QString::fromUtf8(faults));
        for (int i = 0; i < 3; ++i)
            EXPECT_FALSE(plan.failsNow(FaultKind::Sql)) << faults;
        EXPECT_FALSE(plan.failsNow(FaultKind::Open)) << faults;
        EXPECT_EQ(plan.calls(FaultKind::Sql), 3) << faults;
        EXPECT_EQ(plan.calls(FaultKind::Open), 1) << faults;
        EXPECT_EQ(plan.calls(FaultKind::Save), 0) << faults;
    }
}
