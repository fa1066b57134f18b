#include "installationbuilder.h"

#include "app/program.h"
#include "app/qentsplash.h"
#include "localdm/localdm.h"
#include "localdm/localdmfactory.h"
#include "settings/product.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

const QString Product = ProductName();

void writeFile(const QString &fileName, const QByteArray &contents)
{
    QDir().mkpath(QFileInfo(fileName).absolutePath());
    QFile file(fileName);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(contents);
}

// Start-up against a local DM of three libraries (LIB_A current and primary, LIB_B on Oracle, LIB_C
// on Sybase), the user JSMITH with universal access in each, DM client 9.0 patch 3 in the registry.
// Message boxes are answered by the test and recorded.
class StartupTest : public testing::Test {
protected:
    struct Message {
        QString text;
        MessageIcon icon;
    };

    StartupTest() : StartupTest({"LIB_A", "LIB_B", "LIB_C"}) {}
    // Libraries on SQL Server, Oracle and Sybase in turn.
    explicit StartupTest(const QStringList &libraries)
    {
        QList<LibraryConfig> configs;
        for (const QString &name : libraries)
            configs << InstallationBuilder::library(name, QList<int>{10, 2, 6}[configs.size() % 3]);
        QDir().mkpath(dir.filePath("dm"));
        builder = std::make_unique<InstallationBuilder>(dir.filePath("dm"), "JSMITH", configs);
        for (const QString &name : libraries) {
            builder->addUser(name, "JSMITH", "DOCS_USERS");
            builder->db(name).exec("UPDATE GROUPS SET UNIV_ACCESS = 255");
        }
        registry("9.0", "3");
        QDir().mkpath(programFolder());
        // Each test its own log and reports, which lie in the data directory.
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    }
    ~StartupTest() override { qunsetenv("KORVEL_REGISTRY"); }

    void registry(const QString &version, const QString &patch)
    {
        const QString fileName = dir.filePath("registry.ini");
        writeFile(fileName, "[HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\PowerDOCS]\r\nCurrentVersion=" +
                                version.toUtf8() + "\r\nPatchLevel=" + patch.toUtf8() + "\r\n");
        qputenv("KORVEL_REGISTRY", fileName.toUtf8());
    }

    QString programFolder() const { return dir.filePath("bin"); }
    SettingsStore store() const { return SettingsStore(dir.filePath("settings")); }
    QString setting(const QString &key) const { return store().get(Product, "General", key, "<absent>"); }
    void saveSetting(const QString &key, const QString &value)
    {
        store().save(Product, "General", key, value);
    }

    // Message boxes are answered by the test unless boxes are shown as the user sees them.
    void start(const QString &commandLine = {}, bool realBoxes = false, std::shared_ptr<LocalDm> dm = {})
    {
        ProgramEnvironment started = environment;
        started.commandLine = commandLine;
        DMMain::MessagePresenter presenter;
        if (!realBoxes)
            presenter = [this](const QString &text, MessageIcon icon, MessageButtons) {
                messages.push_back({text, icon});
                return MessageAnswer::Ok;
            };
        program = std::make_unique<Program>(
            started, std::make_unique<LocalDmFactory>(dm ? dm : builder->dm()), presenter);
        program->Form_Load();
    }

    DMMain &window() { return program->window(); }
    template <typename T> T *child(const QString &name) { return window().findChild<T *>(name); }
    QStringList logLines() const { return ReadLogLines(program->log().currentLogFileName()); }
    QStringList messageTexts() const
    {
        QStringList texts;
        for (const Message &m : messages)
            texts << m.text;
        return texts;
    }
    QStringList libraryMenu()
    {
        QStringList entries;
        for (const QAction *a : child<QMenu>("MNLibMain")->actions())
            entries << a->text() + (a->isChecked() ? "*" : "");
        return entries;
    }

    QTemporaryDir dir;
    std::unique_ptr<InstallationBuilder> builder;
    ProgramEnvironment environment{.programPath = programFolder() + "/korvel",
                                   .settingsDirectory = dir.filePath("settings"),
                                   .installationFile = dir.filePath("installation.ini")};
    std::vector<Message> messages;
    std::unique_ptr<Program> program;
};

class OneLibraryStartupTest : public StartupTest {
protected:
    OneLibraryStartupTest() : StartupTest({"LIB_A"}) {}
};

// Library names as administrators give them, in mixed case and with accents, on each engine.
class MixedCaseStartupTest : public StartupTest {
protected:
    MixedCaseStartupTest() : StartupTest({"Archive", "Société Générale", "Legal Dept"}) {}
};

// True when the lines hold the expected ones in this order (others may come between).
testing::AssertionResult InOrder(const QStringList &lines, const QStringList &expected)
{
    qsizetype at = 0;
    for (const QString &line : expected) {
        at = lines.indexOf(line, at);
        if (at < 0)
            return testing::AssertionFailure() << "missing or out of order: " << line.toStdString();
        ++at;
    }
    return testing::AssertionSuccess();
}

} // namespace

TEST_F(StartupTest, AFullStartLeavesTheMainWindowWaitingWithEveryLibrary)
{
    builder->db("LIB_A").exec("INSERT INTO QENT_SETTINGS (MASTER_KEY, SECTION_KEY, SUB_KEY, CHAR_VAL) VALUES "
                              "('KORVEL', 'SETTINGS', 'MASTER_LIBRARY', 'LIB_C')");
    const int budget = builder->addFolder("LIB_B", "Budget", true);
    builder->addTrustee("LIB_B", budget, builder->addGroup("LIB_B", "DOCS_USERS"), 255);
    start();

    EXPECT_TRUE(messages.empty()) << messageTexts().join('\n').toStdString();
    EXPECT_FALSE(window().programHasEnded());
    EXPECT_TRUE(window().isVisible());
    EXPECT_TRUE(window().isEnabled());
    EXPECT_EQ(window().windowTitle(), ApplicationTitle());
    EXPECT_EQ(window().statusText(), "Waiting for user input");
    EXPECT_EQ(window().mousePointer(), MousePointer::Default);
    EXPECT_FALSE(window().findChild<QentSplash *>());

    const QStringList log = logLines();
    ASSERT_FALSE(log.isEmpty());
    EXPECT_EQ(log.first(), "Getting Command Line Parameters");
    const QString startLine = Product + " Build " + QString::number(BuildNumber()) + " (" + BuildDate() +
                              ") initiating startup on ";
    const auto start =
        std::find_if(log.begin(), log.end(), [&](const QString &l) { return l.startsWith(startLine); });
    ASSERT_NE(start, log.end());
    EXPECT_TRUE(start->endsWith(" using DM 9.0 patch 3")) << start->toStdString();
    EXPECT_TRUE(InOrder(log, {"Getting Command Line Parameters", "Retrieving basic configuration settings",
                              "Connecting to OpenText eDOCS 9.0 patch 3", *start, QString(70, '='),
                              "Starting DM Browser Object", "Fusion started with connection to LIB_A",
                              "Gathering information for folder selections", "Verifying rights for JSMITH",
                              "Activating the main form"}));
    EXPECT_FALSE(log.contains("Waiting for user input"));

    // One tree top per library, in collection order, each not loaded yet.
    auto *tree = child<QTreeWidget>("TVRootFolder");
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        const QTreeWidgetItem *library = tree->topLevelItem(i);
        EXPECT_EQ(library->text(0), QStringList({"LIB_A", "LIB_B", "LIB_C"})[i]);
        ASSERT_EQ(library->childCount(), 2);
        EXPECT_EQ(library->child(0)->text(0), "Public");
        EXPECT_EQ(library->child(1)->text(0), "Shared/Personal");
        EXPECT_EQ(library->child(1)->child(0)->text(0), "[]");
    }
    EXPECT_TRUE(tree->isEnabled());
    EXPECT_EQ(libraryMenu(), QStringList({"LIB_A*", "LIB_B", "LIB_C"}));
    auto *targets = child<QComboBox>("ComboTargetLibrary");
    ASSERT_EQ(targets->count(), 3);
    EXPECT_EQ(targets->currentText(), "LIB_C");
    EXPECT_EQ(child<QLabel>("LabelLibraryName")->text(), "LIB_A");
    EXPECT_EQ(child<QLabel>("LabelUserName")->text(), "JSMITH");
    EXPECT_EQ(child<QLabel>("LabelUserName")->toolTip(), "JSMITH primary library is LIB_A");
    EXPECT_EQ(child<QLabel>("LabelPrimaryGroup")->text(), "DOCS_USERS");
    EXPECT_FALSE(window().findChild<QAction *>("MNHelpReadme")->isVisible());
    // The log lies in the user's data directory, never beside the program.
    const QString logPath =
        QDir::toNativeSeparators(qEnvironmentVariable("XDG_DATA_HOME") + "/korvel/" + Product + ".LOG");
    EXPECT_EQ(child<QPushButton>("ButtonLogDir")->toolTip(), logPath);
    EXPECT_EQ(program->log().configuredLogPath(), logPath);

    EXPECT_EQ(setting("Path"), QDir::toNativeSeparators(programFolder() + "/korvel"));
    EXPECT_EQ(store().get("QENT", "General", "RegisterAPI", "0"), "-1");
    EXPECT_EQ(store().get("QENT", "General", "RegisterQentClasses", "0"), "-1");

    // Expanding another library's Public queries that library and comes back.
    tree->expandItem(tree->topLevelItem(1));
    tree->expandItem(tree->topLevelItem(1)->child(0));
    ASSERT_EQ(tree->topLevelItem(1)->child(0)->childCount(), 1);
    EXPECT_EQ(tree->topLevelItem(1)->child(0)->child(0)->text(0), "Budget");
    EXPECT_EQ(child<QLabel>("LabelLibraryName")->text(), "LIB_A");
    EXPECT_EQ(window().statusText(), "Waiting for user input");

    // File/Exit ends the run, saving what the next run starts from.
    targets->setCurrentIndex(1);
    child<QCheckBox>("CheckDisplayErrors")->setChecked(false);
    window().findChild<QAction *>("MNKorvelExit")->trigger();
    EXPECT_TRUE(window().programHasEnded());
    EXPECT_FALSE(window().isVisible());
    EXPECT_EQ(setting("TargetLibrary"), "LIB_B");
    EXPECT_EQ(setting("DisplayErrors"), "0");
    EXPECT_EQ(setting("CheckLogMethod"), "1");
    EXPECT_EQ(setting("Screen.Left").toInt(), window().windowPositionTwips().x());
    EXPECT_EQ(setting("Screen.Top").toInt(), window().windowPositionTwips().y());
    const QStringList end = logLines().mid(logLines().size() - 2);
    EXPECT_TRUE(end.value(0).startsWith(Product + " Build ")) << end.value(0).toStdString();
    EXPECT_TRUE(end.value(0).contains(") Ended on "));
    EXPECT_EQ(end.value(1), QString(70, '='));
}

TEST_F(StartupTest, TheSavedTargetLibraryIsChosenWhenItStillExists)
{
    saveSetting("TargetLibrary", "LIB_B");
    writeFile(programFolder() + "/Korvel_Skerrow_Readme.txt", "Read me");
    start();
    EXPECT_EQ(child<QComboBox>("ComboTargetLibrary")->currentText(), "LIB_B");
    EXPECT_TRUE(window().findChild<QAction *>("MNHelpReadme")->isVisible());
    program.reset();

    saveSetting("TargetLibrary", "GONE");
    start();
    EXPECT_EQ(child<QComboBox>("ComboTargetLibrary")->currentIndex(), 0);
    EXPECT_EQ(child<QComboBox>("ComboTargetLibrary")->currentText(), "LIB_A");
}

TEST_F(StartupTest, AUserWithoutUniversalAccessCannotStart)
{
    builder->db("LIB_A").exec("UPDATE GROUPS SET UNIV_ACCESS = 0");
    saveSetting("CheckLogMethod", "1");
    start();

    EXPECT_EQ(messageTexts(),
              QStringList({"Error: You are not a member of any groups with Universal Access = 255. "
                           "This is a requirement for running " +
                               Product,
                           Product + " stopped at point where the program was Verifying rights for "
                                     "JSMITH"}));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_EQ(messages[1].icon, MessageIcon::Critical);
    EXPECT_TRUE(window().programHasEnded());
    EXPECT_FALSE(window().isVisible());
    EXPECT_FALSE(window().findChild<QentSplash *>());
    const QStringList log = logLines();
    EXPECT_TRUE(InOrder(log, {"Verifying rights for JSMITH", QString(70, '-'), "Form_Load:"}));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString &l) {
        return l.startsWith("Error: (") && l.endsWith("An unknown error occurred during this task!");
    }));
    EXPECT_TRUE(log.last() == QString(70, '='));
    // The end of the run saved the settings as usual.
    EXPECT_NE(setting("Screen.Left"), "<absent>");
    EXPECT_EQ(setting("TargetLibrary"), "LIB_A");
    EXPECT_EQ(setting("DisplayErrors"), "1");
}

TEST_F(StartupTest, ARefusedRightsQueryStopsTheStartWithTheSqlError)
{
    builder->db("LIB_A").exec("ALTER TABLE GROUPS RENAME COLUMN UNIV_ACCESS TO ACCESS_LEVEL");
    start();

    // Neither read as "no access" nor as access: the error path, with what the database said on a
    // second line of the message and in an "Error:" line of its own.
    ASSERT_EQ(messages.size(), 1u);
    const QStringList message = messages[0].text.split('\n');
    ASSERT_EQ(message.size(), 2);
    EXPECT_EQ(message[0], Product + " stopped at point where the program was Verifying rights for JSMITH");
    EXPECT_TRUE(message[1].startsWith("Unable to verify the rights of JSMITH: ")) << message[1].toStdString();
    EXPECT_TRUE(message[1].contains("UNIV_ACCESS"));
    EXPECT_TRUE(window().programHasEnded());
    EXPECT_EQ(program->exitCode(), ExitStartupFailed);
    const QStringList log = logLines();
    EXPECT_TRUE(InOrder(log, {"Verifying rights for JSMITH", QString(70, '-'), "Form_Load:"}));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [](const QString &l) {
        return l.startsWith("Error: (") && l.contains("was generated by RunSQL");
    }));
    EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString &l) {
        return l.startsWith("Error: (") && l.endsWith(message[1]);
    }));
}

TEST_F(StartupTest, ADmThatCannotStartEndsTheProgramAfterItsOwnMessage)
{
    builder->db("LIB_A").exec("DELETE FROM PEOPLE");
    start();

    ASSERT_EQ(messages.size(), 2u) << messageTexts().join('\n').toStdString();
    EXPECT_EQ(messages[0].text, "Error: Unable to set Fusion Security Token - cannot start " + Product);
    EXPECT_EQ(messages[1].text,
              "Error: Unable to start the DM 9.0 (patch 3) application (Logging in to the DM "
              "Server) - I will end the program now");
    EXPECT_EQ(messages[1].icon, MessageIcon::Critical);
    EXPECT_TRUE(window().programHasEnded());
    EXPECT_FALSE(logLines().contains("Form_Load:"));
}

TEST_F(OneLibraryStartupTest, OneLibraryStartsWithAWarningAndNoTree)
{
    start();
    EXPECT_EQ(messageTexts(),
              QStringList({"I'm letting you start " + Product +
                           ", but you can't do anything because you only have one library!"}));
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_FALSE(window().programHasEnded());
    EXPECT_TRUE(window().isVisible());
    EXPECT_FALSE(child<QTreeWidget>("TVRootFolder")->isEnabled());
    EXPECT_EQ(window().statusText(), "Waiting for user input");
}

TEST_F(StartupTest, SlashPDeletesTheConfiguredLogFileButNotTheDatedLogs)
{
    const QString configured = dir.filePath("logs/Run.log");
    const QString dated = dir.filePath("logs/Run_" + QDate::currentDate().toString("yyyyMMdd") + ".log");
    saveSetting("LogFile", configured);
    writeFile(configured, "kept unless /P\r\n");
    writeFile(dated, "earlier line\r\n");

    start("-X -Y");
    EXPECT_TRUE(QFile::exists(configured));
    program.reset();

    start("-x/pdq");
    EXPECT_FALSE(QFile::exists(configured));
    EXPECT_EQ(ReadLogLines(dated).value(0), "earlier line");
    EXPECT_EQ(program->log().currentLogFileName(), dated);
    EXPECT_EQ(child<QPushButton>("ButtonLogDir")->toolTip(), configured);
}

TEST_F(StartupTest, SavedPositionsOffTheScreenAreCentred)
{
    // Centred as the hidden window measured itself: without the frame the window system adds on showing.
    const auto centred = [this] {
        const QSize screen = window().screenSizeTwips();
        const QSize size = window().size() * 1440 / window().logicalDpiX();
        return QPoint(screen.width() / 2 - size.width() / 2, screen.height() / 2 - size.height() / 2);
    };
    // One pixel's worth of twips either way: positions are whole pixels.
    const auto near = [this](int a, int b) { return std::abs(a - b) <= 1440 / window().logicalDpiX() + 1; };

    saveSetting("Screen.Left", "2880");
    saveSetting("Screen.Top", "-100");
    start();
    EXPECT_TRUE(near(window().windowPositionTwips().x(), 2880));
    EXPECT_TRUE(near(window().windowPositionTwips().y(), centred().y()));
    EXPECT_GE(window().sizeTwips().height(), 5760);
    program.reset();

    saveSetting("Screen.Left", "99999999");
    saveSetting("Screen.Top", "1440");
    start();
    EXPECT_TRUE(near(window().windowPositionTwips().x(), centred().x()));
    EXPECT_TRUE(near(window().windowPositionTwips().y(), 1440));
}

TEST_F(StartupTest, AboutShowsTheDmVersionOnceEachTime)
{
    start();
    QStringList products, versions, statuses;
    // Reads the About box once it is shown modally, then presses a key.
    QTimer reader;
    reader.setInterval(5);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        auto *splash = qobject_cast<QentSplash *>(QApplication::activeModalWidget());
        if (!splash)
            return;
        reader.stop();
        products << splash->productCaption();
        versions << splash->versionCaption();
        statuses << splash->statusText();
        QTest::keyClick(splash, Qt::Key_Space);
    });
    const auto dismissAbout = [&] { reader.start(); };
    dismissAbout();
    program->HelpAbout();
    dismissAbout();
    window().findChild<QAction *>("MNKorvelHelp")->trigger();
    EXPECT_TRUE(window().isEnabled());
    program.reset();

    // Without a patch level the About box leaves the word out; the connecting status keeps it.
    registry("9.0", "");
    start();
    dismissAbout();
    program->HelpAbout();
    EXPECT_TRUE(logLines().contains("Connecting to OpenText eDOCS 9.0 patch"));

    const QString build = "Build " + QString::number(BuildNumber()) + " - " + BuildDate();
    const QString product = "Korvel for OpenText eDOCS Skerrow Module\r\n(DM 9.0";
    EXPECT_EQ(products, QStringList({product + " patch 3)", product + " patch 3)", product + ")"}));
    EXPECT_EQ(versions, QStringList({build, build, build}));
    EXPECT_EQ(statuses, QStringList(3, "Press any key to continue"));
    EXPECT_TRUE(window().isEnabled());
}

TEST_F(MixedCaseStartupTest, StartTreeAndLibrarySwitchWorkOnEveryEngine)
{
    const QStringList libraries = {"Archive", "Société Générale", "Legal Dept"};
    for (const QString &library : libraries) {
        const int folder = builder->addFolder(library, "Minutes of " + library, true);
        builder->addTrustee(library, folder, builder->addGroup(library, "DOCS_USERS"), 255);
    }
    start();
    EXPECT_TRUE(messages.empty()) << messageTexts().join('\n').toStdString();
    EXPECT_EQ(libraryMenu(), QStringList({"Archive*", "Société Générale", "Legal Dept"}));

    auto *tree = child<QTreeWidget>("TVRootFolder");
    ASSERT_EQ(tree->topLevelItemCount(), 3);
    for (int i = 0; i < 3; ++i) {
        QTreeWidgetItem *top = tree->topLevelItem(i);
        EXPECT_EQ(top->text(0), libraries[i]);
        tree->expandItem(top);
        tree->expandItem(top->child(0));
        ASSERT_EQ(top->child(0)->childCount(), 1) << libraries[i].toStdString();
        EXPECT_EQ(top->child(0)->child(0)->text(0), "Minutes of " + libraries[i]);
    }
    for (int i : {1, 2, 0}) {
        child<QMenu>("MNLibMain")->actions()[i]->trigger();
        EXPECT_EQ(child<QLabel>("LabelLibraryName")->text(), libraries[i]);
    }
    EXPECT_TRUE(messages.empty()) << messageTexts().join('\n').toStdString();
    for (const QString &line : logLines())
        EXPECT_FALSE(line.startsWith("Error:") || line.contains("not properly configured"))
            << line.toStdString();
}

TEST_F(StartupTest, ALibraryDatabaseThatCannotBeOpenedStopsTheStartWithItsCause)
{
    struct Case {
        const char *name;
        std::function<void(const QString &)> spoil;
        const char *cause;
    };
    const Case cases[] = {
        {"missing", [](const QString &) {}, "No such file or directory"},
        {"not a database", [](const QString &file) { writeFile(file, "not a database at all"); },
         "file is not a database"},
    };
    // LIB_A's database as another file, which each case spoils.
    Installation spoiled = builder->installation();
    const QString database = dir.filePath("spoiled.db");
    for (LibraryConfig &library : spoiled.libraries)
        if (library.name == "LIB_A")
            library.databaseFile = database;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        messages.clear();
        saveSetting("TargetLibrary", "LIB_B");
        saveSetting("CheckLogMethod", "0");
        c.spoil(database);
        start({}, false, std::make_shared<LocalDm>(spoiled));

        // One box: what the program was doing, then the DM's own words.
        ASSERT_EQ(messages.size(), 1u) << messageTexts().join('\n').toStdString();
        const QStringList lines = messages[0].text.split('\n');
        ASSERT_EQ(lines.size(), 2);
        EXPECT_EQ(lines[0], "Error: Unable to start the DM 9.0 (patch 3) application (Logging in to the DM "
                            "Server) - I will end the program now");
        EXPECT_TRUE(lines[1].contains("LIB_A") && lines[1].contains(database) && lines[1].contains(c.cause))
            << lines[1].toStdString();
        EXPECT_EQ(messages[0].icon, MessageIcon::Critical);
        EXPECT_TRUE(window().programHasEnded());
        EXPECT_EQ(program->exitCode(), ExitStartupFailed);
        // The cause is an "Error:" line of its own, with verbose logging off.
        const QStringList log = logLines();
        EXPECT_TRUE(log.contains(lines[1])) << "the error report's description";
        EXPECT_TRUE(std::any_of(log.begin(), log.end(), [&](const QString &l) {
            return l.startsWith("Error: (") && l.endsWith(' ' + lines[1]);
        })) << log.join('\n').toStdString();
        // The target list was never filled: what was saved stays.
        EXPECT_EQ(setting("TargetLibrary"), "LIB_B");
        EXPECT_EQ(setting("CheckLogMethod"), "0");

        program.reset();
    }
    messages.clear();
    start();
    EXPECT_EQ(program->exitCode(), ExitDone) << messageTexts().join('\n').toStdString();
    EXPECT_EQ(child<QComboBox>("ComboTargetLibrary")->currentText(), "LIB_B");
}

TEST_F(StartupTest, TheFailedStartBoxStandsOverTheSplash)
{
    QFile::remove(builder->installation().library("LIB_A")->databaseFile);
    QString parent, text;
    QTimer reader;
    reader.setInterval(5);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box)
            return;
        reader.stop();
        parent = box->parentWidget() ? box->parentWidget()->objectName() : QString();
        text = box->text();
        box->accept();
    });
    reader.start();
    start({}, true);
    EXPECT_EQ(parent, "QentSplash");
    EXPECT_TRUE(text.startsWith("Error: Unable to start the DM 9.0 (patch 3) application"))
        << text.toStdString();
    EXPECT_EQ(text.count('\n'), 1);
    EXPECT_TRUE(window().programHasEnded());
    EXPECT_FALSE(window().findChild<QentSplash *>());
}

TEST_F(StartupTest, TheStatusAreaAndTheLogNameTheInstallation)
{
    struct Case {
        const char *name;
        bool demo;
        bool created;
        QString label;
        QStringList lines;
    };
    const QString file = QDir::toNativeSeparators(builder->installation().fileName);
    const QString folder = QDir::toNativeSeparators(QFileInfo(file).absolutePath());
    const Case cases[] = {
        {"an installation", false, false, "Installation: " + file, {"DM installation " + file}},
        {"the demo", true, false, "Demo installation: " + file, {"DM installation " + file + " (demo)"}},
        {"the demo created now",
         true,
         true,
         "Demo installation: " + file,
         {"DM installation " + file + " (demo)", "Demo installation created in " + folder}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        environment.installationFile = file;
        environment.demoInstallation = c.demo;
        environment.demoCreated = c.created;
        start();
        auto *label = child<QLabel>("LabelInstallation");
        EXPECT_EQ(label->toolTip(), c.label);
        window().resize(1200, window().height());
        QApplication::processEvents();
        EXPECT_EQ(label->text(), c.label);
        const QStringList log = logLines();
        const auto startLine = std::find_if(
            log.begin(), log.end(), [](const QString &l) { return l.contains("initiating startup on"); });
        ASSERT_NE(startLine, log.end());
        EXPECT_TRUE(
            InOrder(log.mid(startLine - log.begin()), c.lines + QStringList{"Starting DM Browser Object"}));
        EXPECT_EQ(log.filter("Demo installation created").size(), c.created ? 1 : 0);
        EXPECT_EQ(window().statusText(), "Waiting for user input");
        program.reset();
    }
}

TEST_F(StartupTest, WithoutADmClientTheDmInUseNamesItsVersion)
{
    qputenv("KORVEL_REGISTRY", dir.filePath("no-registry.ini").toUtf8());
    environment.dmClient = {"local 2026.12", "7"};
    start();
    EXPECT_TRUE(logLines().contains("Connecting to OpenText eDOCS local 2026.12 patch 7"));
    const QStringList log = logLines();
    EXPECT_TRUE(std::any_of(log.begin(), log.end(),
                            [](const QString &l) { return l.endsWith(" using DM local 2026.12 patch 7"); }));
    QString product;
    QTimer reader;
    reader.setInterval(5);
    QObject::connect(&reader, &QTimer::timeout, [&] {
        if (auto *splash = qobject_cast<QentSplash *>(QApplication::activeModalWidget())) {
            reader.stop();
            product = splash->productCaption();
            QTest::keyClick(splash, Qt::Key_Space);
        }
    });
    reader.start();
    program->HelpAbout();
    EXPECT_TRUE(product.endsWith("\r\n(DM local 2026.12 patch 7)")) << product.toStdString();
}
