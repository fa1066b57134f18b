#include "batch/commandline.h"

#include "support/testenvironment.h"

#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

// Every form of the command line: what it asks for, or why it is a usage error.
TEST(CommandLineTest, ReadsEveryForm)
{
    QTemporaryDir dir;
    using Mode = CommandLine::Mode;
    using Command = CommandLine::Command;
    struct Case {
        QStringList arguments;
        Mode mode;
        QString error = {}; // for a usage error
        std::function<void(const CommandLine &)> more = {};
    };
    const QList<Case> cases = {
        {{}, Mode::Window},
        {{"/p", "--dm", "a.ini", "x/RVy"},
         Mode::Window,
         {},
         [](const CommandLine &c) {
             EXPECT_EQ(c.installation, "a.ini");
             EXPECT_EQ(c.freeForm, "/p x/RVy");
         }},
        {{"--dm=b.ini"}, Mode::Window, {}, [](const CommandLine &c) { EXPECT_EQ(c.installation, "b.ini"); }},
        {{"--dm", "a.ini", "--help", "--bogus"}, Mode::Help},
        {{"--version"}, Mode::Version},
        {{"--dm"}, Mode::UsageError, "--dm needs the installation file"},
        {{"--dm="}, Mode::UsageError, "--dm needs the installation file"},
        {{"--dm", "--batch"}, Mode::UsageError, "--dm needs the installation file"},
        {{"--dm", dir.path()}, Mode::UsageError, " is a directory"},
        {{"--bogus"}, Mode::UsageError, "unknown option --bogus"},
        {{"--yes"}, Mode::UsageError, "--yes is an option of --batch"},
        {{"--dry-run"}, Mode::UsageError, "--dry-run is an option of --batch"},
        {{"--batch", "move-library", "A", "B", "--dry-run"},
         Mode::Batch,
         {},
         [](const CommandLine &c) { EXPECT_TRUE(c.dryRun); }},
        {{"--batch"}, Mode::UsageError, "--batch needs a command"},
        {{"--batch", "move-all"}, Mode::UsageError, "unknown command move-all"},
        {{"--batch", "move-folder", "LIB", "12"},
         Mode::UsageError,
         "move-folder takes LIBRARY DOCNUMBER TARGET"},
        {{"--batch", "move-folder", "LIB", "12x", "T"}, Mode::UsageError, "DOCNUMBER must be"},
        {{"--batch", "move-folder", "LIB", "0", "T"}, Mode::UsageError, "DOCNUMBER must be"},
        {{"--batch", "move-folder", "LIB", "-5", "T"}, Mode::UsageError, "DOCNUMBER must be"},
        {{"--batch", "move-folder", "LIB", "+5", "T"}, Mode::UsageError, "DOCNUMBER must be"},
        {{"--batch", "move-folder", "LIB", "1e3", "T"}, Mode::UsageError, "DOCNUMBER must be"},
        {{"--batch", "move-folder", "LIB", "0x10", "T"}, Mode::UsageError, "DOCNUMBER must be"},
        {{"--batch", "move-folder", "LIB", "99999999999", "T"}, Mode::UsageError, "DOCNUMBER must be"},
        {{"--dm", "a.ini", "move-folder", "CORPORATE", "1001", "ARCHIVE"},
         Mode::UsageError,
         "move-folder runs only in batch mode: korvel --batch --dm a.ini move-folder CORPORATE 1001 ARCHIVE"},
        {{"move-library", "A", "B"}, Mode::UsageError, "move-library runs only in batch mode"},
        {{"--batch", "move-category", "LIB", "private", "T"}, Mode::UsageError, "public or shared"},
        {{"--batch", "move-library", "LIB"}, Mode::UsageError, "move-library takes LIBRARY TARGET"},
        {{"--report", "r.csv"}, Mode::UsageError, "--report is an option of --batch"},
        {{"--batch", "move-library", "A", "B", "--report"},
         Mode::UsageError,
         "--report needs the report file"},
        {{"--batch", "--report", "--yes", "move-library", "A", "B"}, Mode::UsageError, "--report needs the"},
        {{"--batch", "--report", "r.csv", "move-library", "A", "B"},
         Mode::Batch,
         {},
         [](const CommandLine &c) { EXPECT_EQ(c.reportFile, "r.csv"); }},
        {{"--batch", "--report=a,b.csv", "move-library", "A", "B"},
         Mode::Batch,
         {},
         [](const CommandLine &c) { EXPECT_EQ(c.reportFile, "a,b.csv"); }},
        {{"--batch", "--log-verbose", "--log-quiet", "move-library", "A", "B"},
         Mode::UsageError,
         "exclude each other"},
        {{"--batch", "--yes", "move-folder", "/RV", "Legal", "1500", "Archive", "--dm", "d.ini", "--verbose"},
         Mode::Batch,
         {},
         [](const CommandLine &c) {
             EXPECT_EQ(c.command, Command::MoveFolder);
             EXPECT_EQ(c.library, "Legal");
             EXPECT_EQ(c.docNumber, 1500);
             EXPECT_EQ(c.target, "Archive");
             EXPECT_EQ(c.installation, "d.ini");
             EXPECT_EQ(c.freeForm, "/RV");
             EXPECT_TRUE(c.yes);
             EXPECT_TRUE(c.verbose);
             EXPECT_EQ(c.logVerbose, std::nullopt);
         }},
        {{"--batch", "--log-quiet", "move-category", "LIB", "Shared", "T"},
         Mode::Batch,
         {},
         [](const CommandLine &c) {
             EXPECT_EQ(c.command, Command::MoveCategory);
             EXPECT_TRUE(c.sharedCategory);
             EXPECT_FALSE(c.yes);
             EXPECT_FALSE(c.dryRun);
             EXPECT_EQ(c.logVerbose, false);
         }},
        {{"--log-verbose", "--batch", "move-library", "LIB", "T"},
         Mode::Batch,
         {},
         [](const CommandLine &c) {
             EXPECT_EQ(c.command, Command::MoveLibrary);
             EXPECT_EQ(c.library, "LIB");
             EXPECT_EQ(c.target, "T");
             EXPECT_EQ(c.logVerbose, true);
         }},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        const CommandLine line = ParseCommandLine(c.arguments);
        EXPECT_EQ(line.mode, c.mode);
        EXPECT_EQ(line.error.isEmpty(), c.error.isEmpty());
        EXPECT_TRUE(line.error.contains(c.error)) << line.error.toStdString();
        if (c.more)
            c.more(line);
    }
}

// The program itself, without a display: help and version exit 0 on standard output, usage errors exit
// 2 with the usage lines, and an installation that cannot be loaded ends a batch run with 6.
TEST(CommandLineTest, TheProgramExitsWithItsCodes)
{
    QTemporaryDir dir;
    struct Case {
        QStringList arguments;
        int code;
        QString out;
        QString err;
    };
    const QList<Case> cases = {
        {{"--help"},
         0,
         "  6  start-up failed (installation, DM session, universal access, no display for the window)\n",
         {}},
        {{"--version"}, 0, "korvel ", {}},
        {{"--dm"}, 2, {}, "korvel: --dm needs the installation file\nusage: korvel [--dm FILE]"},
        {{"--frobnicate"}, 2, {}, "korvel: unknown option --frobnicate\nusage: "},
        {{"--dm", dir.path()}, 2, {}, " is a directory\nusage: "},
        {{"--batch", "move-library", "A"}, 2, {}, "korvel: move-library takes LIBRARY TARGET\n"},
        {{"--batch", "move"},
         2,
         {},
         "[--report FILE] COMMAND\n       korvel --help | --version\n"
         "COMMAND is move-folder LIBRARY DOCNUMBER TARGET\n"
         "        or move-category LIBRARY public|shared TARGET\n"
         "        or move-library LIBRARY TARGET\nTry korvel --help."},
        {{"--batch", "--dm", dir.filePath("missing.ini"), "move-library", "A", "B"}, 6, {}, "Error: "},
        {{"--dm", dir.filePath("d.ini"), "move-folder", "CORPORATE", "1001", "ARCHIVE"},
         2,
         {},
         "korvel: move-folder runs only in batch mode: korvel --batch --dm "},
        {{"--dm", dir.filePath("missing.ini")}, 6, {}, "korvel: no display to open the window on"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.arguments.join(' ').toStdString());
        QProcess program;
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        // No display is needed: a window would fail to start here.
        environment.remove("QT_QPA_PLATFORM");
        environment.remove("DISPLAY");
        environment.remove("WAYLAND_DISPLAY");
        program.setProcessEnvironment(environment);
        program.start(KORVEL_PROGRAM, c.arguments);
        ASSERT_TRUE(program.waitForFinished(60000));
        EXPECT_EQ(program.exitCode(), c.code);
        const QString out = QString::fromLocal8Bit(program.readAllStandardOutput());
        const QString err = QString::fromLocal8Bit(program.readAllStandardError());
        EXPECT_EQ(out.isEmpty(), c.out.isEmpty()) << out.toStdString();
        EXPECT_TRUE(out.contains(c.out)) << out.toStdString();
        EXPECT_TRUE(err.contains(c.err)) << err.toStdString();
    }
}

// The window needs a display server unless the platform chosen needs none.
TEST(CommandLineTest, TellsAMissingDisplay)
{
    struct Case {
        QStringList variables;
        bool missing;
    };
    const QList<Case> cases = {
        {{}, true},
        {{"DISPLAY=:0"}, false},
        {{"WAYLAND_DISPLAY=wayland-0"}, false},
        {{"DISPLAY="}, true},
        {{"QT_QPA_PLATFORM=offscreen"}, false},
        {{"QT_QPA_PLATFORM=minimal:enable_fonts"}, false},
        {{"QT_QPA_PLATFORM=xcb"}, true},
        {{"QT_QPA_PLATFORM=wayland;xcb"}, true},
        {{"QT_QPA_PLATFORM=wayland;offscreen"}, false},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.variables.join(' ').toStdString());
        QProcessEnvironment environment;
        for (const QString &variable : c.variables)
            environment.insert(variable.section('=', 0, 0), variable.section('=', 1));
        EXPECT_EQ(!MissingDisplay(environment).isEmpty(), c.missing);
    }
}
