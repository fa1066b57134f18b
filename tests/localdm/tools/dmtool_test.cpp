#include "demofixture.h"
#include "support/testbackend.h"

#include "localdm/installation.h"
#include "localdm/store/librarydatabase.h"
#include "localdm/tools/dmtool.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <csignal>
#include <functional>

#include <sys/resource.h>

namespace {

struct ToolRun {
    int code;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList &arguments)
{
    QString out;
    QString err;
    QTextStream outStream(&out);
    QTextStream errStream(&err);
    const int code = RunDmTool(arguments, outStream, errStream);
    outStream.flush();
    errStream.flush();
    return {code, out, err};
}

const QString TreeUsage = "usage: korvel-dm tree [--dm FILE] LIBRARY [DOCNUMBER]\n";

} // namespace

TEST(DmTool, BadArgumentsExitWithTwoAndTheUsage)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("installation.ini");
    const std::pair<QStringList, QString> cases[] = {
        {{},
         "usage: korvel-dm init-demo DIR [--size small|large|huge] [--user ID] [--postgresql CONNINFO]\n"
         "       korvel-dm tree [--dm FILE] LIBRARY [DOCNUMBER]\n"
         "       korvel-dm check [--dm FILE]\n"
         "       korvel-dm sql [--dm FILE] [--] LIBRARY STATEMENT\n"
         "       korvel-dm add-indexes [--dm FILE]\n"},
        {{"add-indexes", "CORPORATE"},
         "korvel-dm: too many arguments\nusage: korvel-dm add-indexes [--dm FILE]\n"},
        {{"frobnicate"}, "korvel-dm: unknown command frobnicate\n"},
        {{"tree"}, "korvel-dm: too few arguments\n" + TreeUsage},
        {{"tree", "--dm", ini, "CORPORATE", "1001", "1002"}, "korvel-dm: too many arguments\n" + TreeUsage},
        {{"tree", "CORPORATE", "--dm"}, "korvel-dm: --dm needs a value\n" + TreeUsage},
        {{"tree", "--dm", ini, "--dm=" + ini, "CORPORATE"}, "korvel-dm: --dm given twice\n" + TreeUsage},
        {{"tree", "--size", "large", "CORPORATE"}, "korvel-dm: unknown option --size\n" + TreeUsage},
        {{"tree", "--dm", ini, "CORPORATE", "12x"},
         "korvel-dm: DOCNUMBER must be a positive whole number, not \"12x\"\n" + TreeUsage},
        {{"check", "CORPORATE"}, "korvel-dm: too many arguments\nusage: korvel-dm check [--dm FILE]\n"},
        {{"init-demo"}, "korvel-dm: too few arguments\n"},
        {{"init-demo", dir.path(), "--size", "Huge"},
         "korvel-dm: --size must be small, large or huge, not \"Huge\"\n"},
        {{"init-demo", dir.path(), "--user= "}, "korvel-dm: --user needs a value\n"},
        {{"check", "--dm="}, "korvel-dm: --dm needs a value\n"},
    };
    for (const auto &[arguments, message] : cases) {
        SCOPED_TRACE(arguments.join(u' ').toStdString());
        const ToolRun run = runTool(arguments);
        EXPECT_EQ(run.code, 2);
        EXPECT_TRUE(run.err.startsWith(message)) << run.err.toStdString();
        EXPECT_TRUE(run.err.contains("usage: korvel-dm "));
        EXPECT_EQ(run.out, "");
    }
    // Nothing was created by the refused init-demo calls.
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST(DmTool, HelpAndVersionExitWithZero)
{
    const ToolRun version = runTool({"--version"});
    EXPECT_EQ(version.code, 0);
    EXPECT_TRUE(QRegularExpression("^korvel-dm \\d+\\.\\d+\\.\\d+\n$").match(version.out).hasMatch());
    const ToolRun help = runTool({"--help"});
    EXPECT_EQ(help.code, 0);
    // Each command has its usage line and a line saying what it does.
    for (const char *name : {"init-demo", "tree", "check", "sql", "add-indexes"})
        EXPECT_TRUE(help.out.contains(QStringLiteral("korvel-dm %1 ").arg(name)) &&
                    QRegularExpression(QStringLiteral("\n  %1 +\\w").arg(name)).match(help.out).hasMatch())
            << name << '\n'
            << help.out.toStdString();
}

TEST(DmTool, ABadInstallationFileExitsWithOneAndTheDmError)
{
    QTemporaryDir dir;
    const QString ini = dir.filePath("bad.ini");
    QFile file(ini);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("[Installation]\nLibraries=A\n[A]\nDatabase=a.db\n");
    file.close();
    const ToolRun bad = runTool({"check", "--dm", ini});
    EXPECT_EQ(bad.code, 1);
    EXPECT_EQ(bad.err, "korvel-dm: DM installation " + ini + ": no User in section [Installation]\n");

    qputenv("KORVEL_DM", dir.filePath("missing.ini").toUtf8());
    const ToolRun missing = runTool({"tree", "CORPORATE"});
    qunsetenv("KORVEL_DM");
    EXPECT_EQ(missing.code, 1);
    EXPECT_EQ(missing.err,
              "korvel-dm: DM installation " + dir.filePath("missing.ini") + ": file not found\n");
}

// A demo on a server: a database per library named after the folder, the tools at work on them, and a
// second demo of the same folder name refused without a trace and without touching the first.
TEST(DmTool, InitDemoOnAServerAndTheToolsOnIt)
{
    if (!TestLibrariesOnServer())
        GTEST_SKIP() << "needs the test PostgreSQL server";
    QTemporaryDir dir;
    QTemporaryDir other;
    const QString name = UniqueTestDatabasePrefix();
    const QString server = TestServerConnection() + " dbname=postgres";
    const ToolRun init = runTool({"init-demo", dir.filePath(name), "--postgresql", server});
    ASSERT_EQ(init.code, 0) << init.err.toStdString();
    const QString ini = init.out.trimmed();
    for (const LibraryConfig &library : Installation::load(ini).libraries)
        EXPECT_TRUE(library.databaseFile.isEmpty() &&
                    library.connection.endsWith("dbname='" + name + "_" + library.name.toLower() + "'"))
            << library.connection.toStdString();

    const ToolRun again = runTool({"init-demo", other.filePath(name), "--postgresql", server});
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.err.contains(name + "_")) << again.err.toStdString();
    EXPECT_FALSE(QFileInfo::exists(other.filePath(name + "/installation.ini")));

    EXPECT_EQ(runTool({"check", "--dm", ini}).out, "3 libraries checked, no violations\n");
    EXPECT_EQ(runTool({"tree", "--dm", ini, "CORPORATE", "1001"}).code, 0);
    EXPECT_EQ(runTool({"sql", "--dm", ini, "LEGAL", "SELECT COUNT(*) FROM LEGALDM.PROFILE"}).code, 0);
    EXPECT_EQ(runTool({"add-indexes", "--dm", ini}).code, 0);
}

// An init-demo that fails leaves no folder it made behind, while a folder that was there stays; on a
// server, a demo whose databases exist already is refused before anything is made, with the commands
// that drop them.
TEST(DmTool, AnInitDemoThatFailsLeavesNoFolderItMadeAndSaysHowToGoOn)
{
    QTemporaryDir dir;
    QDir().mkpath(dir.filePath("there"));
    // The demo's folder, and whether the disk is full; on a server, a second demo of the first one's name.
    QList<std::pair<QString, bool>> cases = {{"new/demo", true}, {"there", true}};
    QString name, server;
    if (TestLibrariesOnServer()) {
        name = UniqueTestDatabasePrefix();
        server = TestServerConnection() + " dbname=postgres";
        ASSERT_EQ(runTool({"init-demo", dir.filePath("first/" + name), "--postgresql", server}).code, 0);
        cases.append({"second/" + name, false});
    }
    for (const auto &[folder, full] : cases) {
        SCOPED_TRACE(folder.toStdString());
        const auto handler = std::signal(SIGXFSZ, SIG_IGN);
        rlimit unlimited{};
        ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &unlimited), 0);
        const rlimit small = {full ? 16384 : unlimited.rlim_cur, unlimited.rlim_max};
        ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
        const ToolRun run = runTool(QStringList{"init-demo", dir.filePath(folder)} +
                                    (full ? QStringList() : QStringList{"--postgresql", server}));
        setrlimit(RLIMIT_FSIZE, &unlimited);
        std::signal(SIGXFSZ, handler);
        EXPECT_EQ(run.code, 1) << run.err.toStdString();
        EXPECT_EQ(QFileInfo::exists(dir.filePath(folder.section('/', 0, 0))), folder == "there");
        EXPECT_TRUE(folder != "there" || QDir(dir.filePath(folder)).isEmpty());
        for (const QString library : {"corporate", "archive", "legal"})
            EXPECT_EQ(run.err.contains(QRegularExpression("\\n  dropdb .* " + name + "_" + library + "\\n")),
                      !full)
                << run.err.toStdString();
    }
}

TEST(DmTool, InitDemoTreeAndCheckWorkOnAnInstallation)
{
    QTemporaryDir dir;
    const QString demoDir = dir.filePath("demo");
    const ToolRun init = runTool({"init-demo", demoDir, "--user", "jdoe"});
    ASSERT_EQ(init.code, 0) << init.err.toStdString();
    const QString ini = QDir(demoDir).absoluteFilePath("installation.ini");
    EXPECT_EQ(init.out, ini + "\n");
    EXPECT_EQ(Installation::load(ini).user, "jdoe");
    const ToolRun again = runTool({"init-demo", demoDir});
    EXPECT_EQ(again.code, 1);
    EXPECT_TRUE(again.err.contains("exists already"));

    const ToolRun clean = runTool({"check", "--dm", ini});
    EXPECT_EQ(clean.code, 0);
    EXPECT_EQ(clean.out, "3 libraries checked, no violations\n");

    const ToolRun tree = runTool({"tree", "--dm=" + ini, "corporate", "1001"});
    EXPECT_EQ(tree.code, 0);
    EXPECT_TRUE(tree.out.startsWith("F #1001 CORPORATE \"Projects\"\n  F #")) << tree.out.toStdString();
    const ToolRun roots = runTool({"tree", "LEGAL", "--dm", ini});
    EXPECT_EQ(roots.code, 0);
    EXPECT_TRUE(roots.out.startsWith("Public\n")) << roots.out.toStdString();
    EXPECT_TRUE(roots.out.contains("\nShared/Personal\n"));
    const ToolRun unknown = runTool({"tree", "--dm", ini, "GAMMA"});
    EXPECT_EQ(unknown.code, 1);
    EXPECT_TRUE(unknown.err.contains("Library GAMMA is not part of the DM installation"));
    const ToolRun document = runTool({"tree", "--dm", ini, "CORPORATE", "999999"});
    EXPECT_EQ(document.code, 1);
    EXPECT_EQ(document.err, "korvel-dm: Library CORPORATE has no folder #999999\n");

    {
        const std::unique_ptr<LibraryDatabase> dbOpened =
            LibraryDatabase::open(*Installation::load(ini).library("ARCHIVE"));
        LibraryDatabase &db = *dbOpened;
        db.exec("INSERT INTO FOLDER (SYSTEM_ID, DOCNUMBER) VALUES (999, 4242)");
    }
    const ToolRun broken = runTool({"check", "--dm", ini});
    EXPECT_EQ(broken.code, 1);
    EXPECT_EQ(broken.out, "ARCHIVE: FOLDER SYSTEM_ID 999: #4242 has no folder PROFILE\n");
}

TEST(DmTool, WithoutAnInstallationFileItWorksOnTheDemoCreatedOnFirstUse)
{
    qunsetenv("KORVEL_DM");
    QDir(QFileInfo(Installation::demoFileName()).absolutePath()).removeRecursively();
    const ToolRun run = runTool({"check"});
    EXPECT_EQ(run.code, 0) << run.err.toStdString();
    EXPECT_TRUE(QFileInfo::exists(Installation::demoFileName()));
}

TEST(DmTool, TheProgramPassesItsArgumentsAndExitCodeThrough)
{
    QTemporaryDir dir;
    QProcess tool;
    tool.start(KORVEL_DM_TOOL, {});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 2);
    EXPECT_TRUE(tool.readAllStandardError().startsWith("usage: korvel-dm init-demo"));

    tool.start(KORVEL_DM_TOOL, {"init-demo", dir.path(), "--user", "Zoë"});
    ASSERT_TRUE(tool.waitForFinished(60000));
    EXPECT_EQ(tool.exitCode(), 0) << tool.readAllStandardError().toStdString();
    EXPECT_EQ(QString::fromUtf8(tool.readAllStandardOutput()), dir.filePath("installation.ini") + "\n");
    EXPECT_EQ(Installation::load(dir.filePath("installation.ini")).user, "Zoë");
}

namespace {

// The trustee query as the SQL runner sends it: owner resolved, the library's outer-join operator.
QString trusteeQuery(const QString &owner, const QString &outerJoin, int docNumber, bool ansi)
{
    const QString o = owner + u'.';
    if (ansi)
        return "SELECT DISTINCT P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS FROM " + o + "SECURITY S " +
               "LEFT OUTER JOIN " + o + "PEOPLE P ON P.SYSTEM_ID = S.PERSONORGROUP " + "LEFT OUTER JOIN " +
               o + "GROUPS G ON G.SYSTEM_ID = S.PERSONORGROUP " + "INNER JOIN " + o +
               "PROFILE R ON S.THING = R.SYSTEM_ID WHERE R.DOCNUMBER = " + QString::number(docNumber);
    return "SELECT DISTINCT P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS FROM " + o + "SECURITY S, " + o +
           "PEOPLE P, " + o + "GROUPS G, " + o + "PROFILE R " + "WHERE (P.SYSTEM_ID" + outerJoin +
           "S.PERSONORGROUP AND " + "G.SYSTEM_ID" + outerJoin +
           "S.PERSONORGROUP AND S.THING = R.SYSTEM_ID) AND R.DOCNUMBER = " + QString::number(docNumber);
}

} // namespace

TEST(DmTool, SqlRunsTheTrusteeQueryAsEachPersonalityAcceptsIt)
{
    DemoFixture demo;
    const QString ini = demo.installation.fileName;
    for (const LibraryConfig &library : demo.installation.libraries) {
        SCOPED_TRACE(library.name.toStdString());
        // The folder with the most trustees, and how many SECURITY rows it has.
        const QVariantList folder =
            demo.db(library.name)
                .query("SELECT R.DOCNUMBER, COUNT(*) FROM SECURITY S JOIN PROFILE R ON S.THING = R.SYSTEM_ID "
                       "JOIN FOLDER F ON F.DOCNUMBER = R.DOCNUMBER GROUP BY R.DOCNUMBER ORDER BY 2 DESC, 1 "
                       "LIMIT 1")
                .first();
        const int docNumber = folder[0].toInt();
        const int trustees = folder[1].toInt();
        ASSERT_GT(trustees, 1);

        const bool oracle = library.engine == 2 || library.engine == 5;
        const ToolRun old =
            runTool({"sql", "--dm", ini, library.name,
                     trusteeQuery(library.owner, oracle ? " (+) = " : " =* ", docNumber, false)});
        const ToolRun ansi =
            runTool({"sql", "--dm", ini, library.name, trusteeQuery(library.owner, {}, docNumber, true)});
        ASSERT_EQ(ansi.code, 0) << ansi.out.toStdString();
        EXPECT_TRUE(ansi.out.endsWith(QStringLiteral("rows affected: 0, rows returned: %1\n").arg(trustees)))
            << ansi.out.toStdString();
        if (library.engine == 10) {
            EXPECT_EQ(old.code, 1);
            EXPECT_TRUE(
                old.out.startsWith("SQL error 4147: [Microsoft][ODBC SQL Server Driver][SQL Server]The "
                                   "query uses non-ANSI outer join operators"))
                << old.out.toStdString();
        } else {
            EXPECT_EQ(old.code, 0) << old.out.toStdString();
            EXPECT_EQ(old.out, ansi.out);
        }
    }

    // After "--", a statement may start with a comment.
    const ToolRun commented =
        runTool({"sql", "--dm", ini, "--", "CORPORATE", "-- how many\nSELECT COUNT(*) FROM DOCSADM.APPS"});
    EXPECT_EQ(commented.code, 0) << commented.err.toStdString();
    EXPECT_EQ(commented.out, "3\nrows affected: 0, rows returned: 1\n");
    const ToolRun update =
        runTool({"sql", "--dm", ini, "CORPORATE", "UPDATE DOCSADM.PROFILE SET ABSTRACT = 'x'"});
    EXPECT_EQ(update.code, 0);
    EXPECT_TRUE(update.out.startsWith("rows affected: ")) << update.out.toStdString();
    EXPECT_FALSE(update.out.startsWith("rows affected: 0,"));
}

TEST(DmTool, ABrokenLibraryIsReportedInOneLineAndTheOthersAreStillChecked)
{
    struct Case {
        const char *name;
        std::function<void(const QString &ini, const LibraryConfig &archive)> breakIt;
        QString expected; // %1 the installation file, %2 the library file
        // Every opening waits as long as the DM waits for a busy library, so a locked file is checked once.
        bool treesToo = true;
    };
    sqlite3 *locker = nullptr;
    const Case cases[] = {
        {"not a database",
         [](const QString &, const LibraryConfig &archive) {
             QFile file(archive.databaseFile);
             ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
             file.write(QByteArray(4096, 'x'));
         },
         "DM installation %1: Library ARCHIVE: cannot open database file %2: file is not a database"},
        {"missing file",
         [](const QString &, const LibraryConfig &archive) {
             ASSERT_TRUE(QFile::remove(archive.databaseFile));
         },
         "DM installation %1: Library ARCHIVE: cannot open database file %2: unable to open database file "
         "(No "
         "such file or directory)"},
        {"locked file",
         [&locker](const QString &, const LibraryConfig &archive) {
             ASSERT_EQ(sqlite3_open(archive.databaseFile.toUtf8().constData(), &locker), SQLITE_OK);
             ASSERT_EQ(sqlite3_exec(locker,
                                    "PRAGMA locking_mode = EXCLUSIVE; BEGIN EXCLUSIVE; DELETE FROM FORMS;",
                                    nullptr, nullptr, nullptr),
                       SQLITE_OK);
         },
         "DM installation %1: Library ARCHIVE: cannot open database file %2: database is locked", false},
    };
    for (const Case &test : cases) {
        SCOPED_TRACE(test.name);
        QTemporaryDir dir;
        const ToolRun init = runTool({"init-demo", dir.path()});
        ASSERT_EQ(init.code, 0);
        const QString ini = init.out.trimmed();
        const LibraryConfig archive = *Installation::load(ini).library("ARCHIVE");
        test.breakIt(ini, archive);
        const QString line = test.expected.arg(ini, archive.databaseFile);

        const ToolRun check = runTool({"check", "--dm", ini});
        EXPECT_EQ(check.code, 1);
        EXPECT_EQ(check.out, line + "\n");
        sqlite3_close(locker);
        locker = nullptr;
        if (!test.treesToo)
            continue;
        const ToolRun tree = runTool({"tree", "--dm", ini, "CORPORATE"});
        EXPECT_EQ(tree.code, 1);
        EXPECT_TRUE(tree.out.startsWith("Public\n  F #")) << tree.out.toStdString();
        EXPECT_TRUE(tree.out.endsWith("\n" + line + "\n")) << tree.out.toStdString();
        const ToolRun indexes = runTool({"add-indexes", "--dm", ini});
        EXPECT_EQ(indexes.code, 1);
        EXPECT_EQ(indexes.out, "CORPORATE: folder list indexes present\n" + line +
                                   "\nLEGAL: folder list indexes present\n")
            << indexes.out.toStdString();
        const ToolRun archiveTree = runTool({"tree", "--dm", ini, "ARCHIVE"});
        EXPECT_EQ(archiveTree.code, 1);
        EXPECT_EQ(archiveTree.err, "korvel-dm: " + line + "\n");
    }
}

TEST(DmTool, AnOwnerThatIsNoPlainNameIsRefusedWithTheInstallationFile)
{
    QTemporaryDir dir;
    const QString ini = runTool({"init-demo", dir.path()}).out.trimmed();
    for (const char *owner : {"DOCS ADM", "X AS Y; ATTACH 'evil.db'", "1DOCS", "main"}) {
        QSettings settings(ini, QSettings::IniFormat);
        settings.setValue("LEGAL/Owner", owner);
        settings.sync();
        const ToolRun check = runTool({"check", "--dm", ini});
        EXPECT_EQ(check.code, 1);
        EXPECT_EQ(check.err,
                  QString("korvel-dm: DM installation %1: library LEGAL has an unusable Owner \"%2\"\n")
                      .arg(ini, owner));
    }
    EXPECT_FALSE(QFileInfo::exists(dir.filePath("evil.db")));
}

// A library file made before the folder list indexes works without them and is never given them by
// being opened, only by add-indexes, which adds each that is missing once.
TEST(DmTool, AddIndexesGivesOlderLibraryFilesTheFolderListIndexes)
{
    QTemporaryDir dir;
    const ToolRun init = runTool({"init-demo", dir.path()});
    ASSERT_EQ(init.code, 0);
    const QString ini = init.out.trimmed();
    const Installation installation = Installation::load(ini);
    const auto indexes = [&](const LibraryConfig &library) {
        sqlite3 *db = nullptr;
        EXPECT_EQ(sqlite3_open(library.databaseFile.toUtf8().constData(), &db), SQLITE_OK);
        sqlite3_stmt *query = nullptr;
        sqlite3_prepare_v2(
            db,
            "SELECT name FROM sqlite_master WHERE name IN ('FOLDER_ITEM_NEXT', 'FOLDER_ITEM_FIRST') "
            "ORDER BY name",
            -1, &query, nullptr);
        QStringList names;
        while (sqlite3_step(query) == SQLITE_ROW)
            names << QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(query, 0)));
        sqlite3_finalize(query);
        sqlite3_close(db);
        return names;
    };
    const QStringList both = {"FOLDER_ITEM_FIRST", "FOLDER_ITEM_NEXT"};
    for (const LibraryConfig &library : installation.libraries) {
        ASSERT_EQ(indexes(library), both);
        sqlite3 *db = nullptr;
        ASSERT_EQ(sqlite3_open(library.databaseFile.toUtf8().constData(), &db), SQLITE_OK);
        ASSERT_EQ(sqlite3_exec(db, "DROP INDEX FOLDER_ITEM_NEXT; DROP INDEX FOLDER_ITEM_FIRST", nullptr,
                               nullptr, nullptr),
                  SQLITE_OK);
        sqlite3_close(db);
    }

    EXPECT_EQ(runTool({"check", "--dm", ini}).code, 0);
    EXPECT_EQ(runTool({"tree", "--dm", ini, "CORPORATE"}).code, 0);
    for (const LibraryConfig &library : installation.libraries)
        EXPECT_EQ(indexes(library), QStringList()) << library.name.toStdString();

    const ToolRun added = runTool({"add-indexes", "--dm", ini});
    EXPECT_EQ(added.code, 0);
    EXPECT_EQ(added.out, "CORPORATE: added FOLDER_ITEM_NEXT, FOLDER_ITEM_FIRST\n"
                         "ARCHIVE: added FOLDER_ITEM_NEXT, FOLDER_ITEM_FIRST\n"
                         "LEGAL: added FOLDER_ITEM_NEXT, FOLDER_ITEM_FIRST\n");
    for (const LibraryConfig &library : installation.libraries)
        EXPECT_EQ(indexes(library), both) << library.name.toStdString();
    EXPECT_EQ(runTool({"check", "--dm", ini}).code, 0);
    const ToolRun again = runTool({"add-indexes", "--dm", ini});
    EXPECT_EQ(again.code, 0);
    EXPECT_EQ(again.out, "CORPORATE: folder list indexes present\nARCHIVE: folder list indexes present\n"
                         "LEGAL: folder list indexes present\n");
}

// A library whose database is damaged where its rows still read is found by the store's own check: on
// SQLite an index page overwritten, on a server an expression index whose function now gives other keys.
TEST(DmTool, CheckFindsADamagedIndexAndNamesTheLibrary)
{
    QTemporaryDir dir;
    const QString ini = CreateTestDemo(dir.path(), DemoSize::Small, "jdoe");
    const LibraryConfig archive = *Installation::load(ini).library("ARCHIVE");
    std::unique_ptr<LibraryDatabase> db = LibraryDatabase::open(archive);
    const bool server = TestLibrariesOnServer();
    if (server) {
        const QString function = "CREATE OR REPLACE FUNCTION dm_test_key(v text) RETURNS text IMMUTABLE "
                                 "LANGUAGE sql AS 'SELECT %1(v)'";
        db->exec(function.arg("lower"));
        db->exec("CREATE INDEX profile_test_key ON PROFILE (dm_test_key(DOCNAME))");
        db->exec(function.arg("upper"));
    } else {
        const qint64 page = db->scalar("SELECT rootpage FROM " + archive.owner +
                                       ".sqlite_master WHERE type = 'index' AND tbl_name = 'PROFILE'")
                                .toLongLong();
        db.reset(); // the last connection's close moves the log into the file
        QFile file(archive.databaseFile);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite) && file.seek((page - 1) * 4096));
        file.write(QByteArray(4096, 'Z'));
    }
    const ToolRun check = runTool({"check", "--dm", ini});
    EXPECT_EQ(check.code, 1);
    EXPECT_TRUE(check.out.startsWith("ARCHIVE: database: damaged: ") && check.out.count('\n') == 1 &&
                check.out.contains(server ? "profile_test_key" : "Page "))
        << check.out.toStdString();
}
