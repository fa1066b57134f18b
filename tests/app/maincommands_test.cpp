#include "installationbuilder.h"

#include "app/program.h"
#include "localdm/localdm.h"
#include "localdm/localdmfactory.h"
#include "log/logfilename.h"
#include "settings/product.h"
#include "settingsview/qentoptions.h"
#include "support/testenvironment.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLabel>
#include <QMessageBox>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <deque>
#include <functional>

namespace {

// Records the files it is asked to show and the status line while it starts; starts nothing.
class RecordingViewer : public FileViewer {
public:
    explicit RecordingViewer(std::function<QString()> status) : m_status(std::move(status)) {}
    ViewerStart open(const QString &fileName) override
    {
        opened << fileName;
        statusWhileStarting = m_status();
        return {true, {}};
    }
    QStringList opened;
    QString statusWhileStarting;

private:
    std::function<QString()> m_status;
};

// Runs the action on the modal window of type T as soon as one is shown.
template <typename T> class WhenModal {
public:
    explicit WhenModal(std::function<void(T *)> action) : m_action(std::move(action))
    {
        m_timer.setInterval(5);
        QObject::connect(&m_timer, &QTimer::timeout, [this] {
            if (auto *window = qobject_cast<T *>(QApplication::activeModalWidget())) {
                m_timer.stop();
                m_action(window);
            }
        });
        m_timer.start();
    }

private:
    std::function<void(T *)> m_action;
    QTimer m_timer;
};

// The program started on a local DM of three libraries (LIB_A current, LIB_B on Oracle with the
// user in ORA_ADMINS, LIB_C on Sybase), verbose logging on, message boxes answered from a script.
class MainCommandsTest : public testing::Test {
protected:
    struct Message {
        QString text;
        MessageIcon icon;
    };

    MainCommandsTest()
    {
        QDir().mkpath(dir.filePath("dm"));
        builder = std::make_unique<InstallationBuilder>(
            dir.filePath("dm"), "JSMITH",
            QList<LibraryConfig>{InstallationBuilder::library("LIB_A"),
                                 InstallationBuilder::library("LIB_B", 2),
                                 InstallationBuilder::library("LIB_C", 6)});
        for (const QString name : {"LIB_A", "LIB_B", "LIB_C"}) {
            builder->addUser(name, "JSMITH", name == "LIB_B" ? "ORA_ADMINS" : "DOCS_USERS");
            builder->db(name).exec("UPDATE GROUPS SET UNIV_ACCESS = 255");
        }
        builder->setParameter("LIB_A", "DOCSParms.Region", "North");
        QDir().mkpath(programFolder());
        // Each test its own log and reports, which lie in the data directory.
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
    }

    void start()
    {
        auto viewer = std::make_unique<RecordingViewer>([this] { return program->window().statusText(); });
        shown = viewer.get();
        localDm = builder->dm();
        program = std::make_unique<Program>(
            ProgramEnvironment{.programPath = programFolder() + "/korvel",
                               .settingsDirectory = dir.filePath("settings"),
                               .installationFile = dir.filePath("installation.ini"),
                               .libraryDatabases = builder->installation().databaseFiles()},
            std::make_unique<LocalDmFactory>(localDm),
            [this](const QString &text, MessageIcon icon, MessageButtons buttons) {
                messages.push_back({text, icon});
                if (buttons == MessageButtons::Ok)
                    return MessageAnswer::Ok;
                EXPECT_FALSE(answers.empty()) << "unscripted question: " << text.toStdString();
                const MessageAnswer answer = answers.empty() ? MessageAnswer::No : answers.front();
                if (!answers.empty())
                    answers.pop_front();
                return answer;
            },
            std::move(viewer));
        program->Form_Load();
        ASSERT_FALSE(window().programHasEnded());
        ASSERT_TRUE(messages.empty()) << messages.front().text.toStdString();
    }

    QString programFolder() const { return dir.filePath("bin"); }
    QString setting(const QString &key) const
    {
        return SettingsStore(dir.filePath("settings")).get(ProductName(), "General", key, "<absent>");
    }
    DMMain &window() { return program->window(); }
    template <typename T> T *child(QObject *parent, const QString &name)
    {
        T *found = parent->findChild<T *>(name);
        EXPECT_TRUE(found) << name.toStdString();
        return found;
    }
    QAction *action(const QString &name) { return child<QAction>(&window(), name); }
    QStringList logLines() const { return ReadLogLines(program->log().currentLogFileName()); }
    QString currentLibrary() { return window().findChild<QLabel *>("LabelLibraryName")->text(); }
    qsizetype connectionsTo(const QString &library) const
    {
        return logLines().count("Connecting to library " + library);
    }

    QTemporaryDir dir;
    std::unique_ptr<InstallationBuilder> builder;
    std::shared_ptr<LocalDm> localDm;
    std::vector<Message> messages;
    std::deque<MessageAnswer> answers;
    RecordingViewer *shown = nullptr;
    std::unique_ptr<Program> program;
};

} // namespace

// A real box: Enter answers with its default button, which for the move question must be No.
TEST(MoveQuestionTest, EnterOnTheMoveQuestionDeclines)
{
    DMMain window;
    WhenModal<QMessageBox> enter([](QMessageBox *box) { QTest::keyClick(box, Qt::Key_Return); });
    EXPECT_EQ(window.confirmMove("Are you ready to move folder \"Beta\" to library LIB_B?"),
              MessageAnswer::No);
}

TEST_F(MainCommandsTest, CancellingTheLogPathChooserIsReportedAndChangesNothing)
{
    start();
    const QString before = program->log().configuredLogPath();
    QString title, suffix;
    QStringList filters, selected;
    WhenModal<QFileDialog> cancel([&](QFileDialog *dialog) {
        title = dialog->windowTitle();
        suffix = dialog->defaultSuffix();
        filters = dialog->nameFilters();
        selected = dialog->selectedFiles();
        EXPECT_EQ(dialog->acceptMode(), QFileDialog::AcceptSave);
        dialog->reject();
    });
    child<QPushButton>(&window(), "ButtonLogDir")->click();

    EXPECT_EQ(title, "Select location for log file:");
    EXPECT_EQ(suffix, "LOG");
    EXPECT_EQ(filters, QStringList({"Log files (*.log)"}));
    EXPECT_EQ(selected, QStringList({QDir::fromNativeSeparators(before)}));
    EXPECT_EQ(program->log().configuredLogPath(), before);
    EXPECT_EQ(child<QPushButton>(&window(), "ButtonLogDir")->toolTip(), before);
    EXPECT_EQ(setting("LogFile"), "<absent>");
    const QStringList lines = logLines();
    const qsizetype report = lines.indexOf(QString("The log file dialog was cancelled"));
    ASSERT_GT(report, 0);
    EXPECT_TRUE(lines[report - 1].startsWith("Error: ("));
    EXPECT_TRUE(lines[report - 1].endsWith(" #32755 was generated by CommDlg"));
}

TEST_F(MainCommandsTest, AChosenLogPathIsSavedShownAndTakesTheNextLine)
{
    start();
    ASSERT_TRUE(QDir().mkpath(dir.filePath("logs")));
    const QString oldFile = program->log().currentLogFileName();
    // Typed without an extension: the dialog adds LOG.
    WhenModal<QFileDialog> choose([&](QFileDialog *dialog) {
        dialog->selectFile(dir.filePath("logs/Run"));
        static_cast<QDialog *>(dialog)->accept(); // as the Save button does
    });
    program->ButtonLogDir_Click();

    const QString chosen = QDir::toNativeSeparators(dir.filePath("logs/Run.LOG"));
    EXPECT_EQ(program->log().configuredLogPath(), chosen);
    EXPECT_EQ(setting("LogFile"), chosen);
    EXPECT_EQ(child<QPushButton>(&window(), "ButtonLogDir")->toolTip(), chosen);
    // The log entries follow the new file at once: it has no line yet.
    EXPECT_EQ(program->log().currentLogFileName(), DatedLogFileName(chosen, QDate::currentDate()));
    EXPECT_FALSE(action("MNLogView")->isEnabled());
    EXPECT_FALSE(action("MNLogPurge")->isEnabled());

    program->log().WriteLog("Error: into the new file");
    EXPECT_EQ(logLines().size(), 1);
    EXPECT_TRUE(action("MNLogView")->isEnabled());
    EXPECT_TRUE(QFile::exists(oldFile));

    // The next chooser starts from the saved file.
    QStringList selected;
    WhenModal<QFileDialog> look([&](QFileDialog *dialog) {
        selected = dialog->selectedFiles();
        dialog->reject();
    });
    program->ButtonLogDir_Click();
    EXPECT_EQ(selected, QStringList({dir.filePath("logs/Run.LOG")}));
}

// SQLite takes a file of that name beside a library as its own: the log must never be written there.
TEST_F(MainCommandsTest, ALogPathOnALibrarysSideFileIsRefusedWithABoxAndTheOldPathStays)
{
    start();
    const QString before = program->log().configuredLogPath();
    const QString sideFile = builder->installation().library("LIB_B")->databaseFile + "-wal";
    WhenModal<QFileDialog> choose([&](QFileDialog *dialog) {
        dialog->selectFile(sideFile);
        static_cast<QDialog *>(dialog)->accept();
    });
    program->ButtonLogDir_Click();

    ASSERT_EQ(messages.size(), 1u);
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    EXPECT_TRUE(messages[0].text.contains("write-ahead log")) << messages[0].text.toStdString();
    EXPECT_TRUE(messages[0].text.endsWith("The log path stays " + before + "."));
    EXPECT_EQ(program->log().configuredLogPath(), before);
    EXPECT_EQ(setting("LogFile"), "<absent>");
}

TEST_F(MainCommandsTest, TheLogMenusViewAndPurgeTodaysLog)
{
    start();
    const QString logFile = program->log().currentLogFileName();
    ASSERT_TRUE(QFile::exists(logFile));
    ASSERT_TRUE(action("MNLogView")->isEnabled());

    action("MNLogView")->trigger();
    EXPECT_EQ(shown->opened, QStringList({logFile}));
    EXPECT_EQ(shown->statusWhileStarting, "Loading " + logFile);
    EXPECT_EQ(window().statusText(), "Waiting for user input");

    answers = {MessageAnswer::No, MessageAnswer::Yes};
    action("MNLogPurge")->trigger();
    EXPECT_TRUE(QFile::exists(logFile));
    action("MNLogPurge")->trigger();
    EXPECT_FALSE(QFile::exists(logFile));
    ASSERT_EQ(messages.size(), 2u);
    EXPECT_EQ(messages[1].text, "Are you sure you want to purge the file " + logFile + "?");
    EXPECT_EQ(messages[1].icon, MessageIcon::Question);

    // The entries follow the file at once: nothing to view or purge until the next line.
    EXPECT_FALSE(action("MNLogView")->isEnabled());
    EXPECT_FALSE(action("MNLogPurge")->isEnabled());
    program->log().WriteLog("after the purge");
    EXPECT_EQ(logLines(), QStringList({"after the purge"}));
    EXPECT_TRUE(action("MNLogView")->isEnabled());
    EXPECT_TRUE(action("MNLogPurge")->isEnabled());
}

TEST_F(MainCommandsTest, TheReadmeIsShownFromBesideTheProgram)
{
    start();
    const QString readme = program->readmePath();
    // Hidden at start-up without a readme; asked for anyway, nothing happens.
    EXPECT_FALSE(action("MNHelpReadme")->isVisible());
    program->MNHelpReadme_Click();
    EXPECT_TRUE(shown->opened.isEmpty());

    QFile file(readme);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.close();
    action("MNHelpReadme")->trigger();
    EXPECT_EQ(shown->opened, QStringList({readme}));
    EXPECT_EQ(shown->statusWhileStarting, "Viewing File " + readme + " using Notepad");
    EXPECT_EQ(window().statusText(), "Waiting for user input");
    EXPECT_EQ(window().mousePointer(), MousePointer::Default);
}

TEST_F(MainCommandsTest, TheSettingsViewerOpenedAndClosedAtOnceLeavesTheLibrary)
{
    start();
    const qsizetype connectionsBefore = connectionsTo("LIB_A");
    QString caption, panel, value;
    WhenModal<QentOptions> close([&](QentOptions *viewer) {
        caption = viewer->windowTitle();
        panel = child<QLabel>(viewer, "StatusBarInfoPanel3")->text();
        value = child<QLabel>(viewer, "LabelPropertyResult")->text();
        child<QPushButton>(viewer, "ButtonExit")->click();
    });
    action("MNQentOptions")->trigger();

    EXPECT_EQ(caption, "eDOCS Local Settings");
    EXPECT_EQ(panel, "DOCS_USERS");
    EXPECT_EQ(value, "False"); // User.SaveToRemoteLibrary, the first property
    EXPECT_EQ(currentLibrary(), "LIB_A");
    EXPECT_EQ(connectionsTo("LIB_A"), connectionsBefore);
    EXPECT_EQ(window().mousePointer(), MousePointer::Default);
    EXPECT_TRUE(messages.empty());
}

TEST_F(MainCommandsTest, AnotherLibraryInTheSettingsViewerIsCurrentUntilItCloses)
{
    start();
    QStringList libraries, panels, values, engines;
    QString libraryWhileOpen;
    WhenModal<QentOptions> browse([&](QentOptions *viewer) {
        auto *libList = child<QComboBox>(viewer, "ComboLibList");
        auto *properties = child<QComboBox>(viewer, "ComboPropertyItem");
        auto *result = child<QLabel>(viewer, "LabelPropertyResult");
        auto *engine = child<QLabel>(viewer, "LabelEngineResult");
        for (int i = 0; i < libList->count(); ++i)
            libraries << libList->itemText(i);
        properties->setCurrentIndex(properties->findText("DOCSParms.Region"));
        values << result->text();
        engines << engine->text();
        libList->setCurrentIndex(libList->findText("LIB_C"));
        engines << engine->text();
        libList->setCurrentIndex(libList->findText("LIB_B"));
        engines << engine->text();
        libraryWhileOpen = currentLibrary();
        for (int panel = 1; panel <= 3; ++panel)
            panels << child<QLabel>(viewer, QString("StatusBarInfoPanel%1").arg(panel))->text();
        values << result->text(); // LIB_B has no such parameter
        properties->setCurrentIndex(properties->findText("Library.Engine"));
        values << result->text();
        viewer->close();
    });
    program->MNQentOptions_Click();

    EXPECT_EQ(libraries, QStringList({"LIB_A", "LIB_B", "LIB_C"}));
    EXPECT_EQ(libraryWhileOpen, "LIB_B");
    EXPECT_EQ(panels, QStringList({"LIB_A", "JSMITH", "ORA_ADMINS"}));
    EXPECT_EQ(values, QStringList({"North", "", "2"}));
    EXPECT_EQ(engines, QStringList({"10 (Microsoft SQL Server)", "6 (Sybase)", "2 (Oracle)"}));
    EXPECT_EQ(currentLibrary(), "LIB_A");
    EXPECT_EQ(logLines().last(2).first(), "Connected to MSSQL Library Object LIB_A.");
}

TEST_F(MainCommandsTest, ALibraryTheSettingsViewerCannotReachLeavesTheListOnTheCurrentOne)
{
    start();
    ASSERT_TRUE(QFile::remove(builder->installation().library("LIB_C")->databaseFile));
    QString listed, group;
    WhenModal<QentOptions> browse([&](QentOptions *viewer) {
        auto *libList = child<QComboBox>(viewer, "ComboLibList");
        libList->setCurrentIndex(libList->findText("LIB_C"));
        listed = libList->currentText();
        group = child<QLabel>(viewer, "StatusBarInfoPanel3")->text();
        viewer->close();
    });
    program->MNQentOptions_Click();

    EXPECT_EQ(listed, "LIB_A");
    EXPECT_EQ(group, "DOCS_USERS");
    EXPECT_EQ(currentLibrary(), "LIB_A");
    EXPECT_TRUE(logLines().contains("ConnectLibrary:"));
}

TEST_F(MainCommandsTest, ATreeLevelThatFailsIsShownNotLoadedAndRefreshLoadsIt)
{
    builder->addTrustee("LIB_A", builder->addFolder("LIB_A", "Budget", true),
                        builder->addGroup("LIB_A", "DOCS_USERS"), 255);
    start();
    auto *tree = child<QTreeWidget>(&window(), "TVRootFolder");
    QTreeWidgetItem *publicItem = tree->topLevelItem(0)->child(0);
    tree->expandItem(tree->topLevelItem(0));

    // The next statement, the user's id, fails.
    localDm->faults() = FaultPlan::parse("sql:1");
    tree->expandItem(publicItem);
    ASSERT_EQ(messages.size(), 1u);
    EXPECT_TRUE(messages[0].text.startsWith("Error: Unable to retrieve folders from library LIB_A: #"))
        << messages[0].text.toStdString();
    EXPECT_EQ(messages[0].icon, MessageIcon::Warning);
    ASSERT_EQ(publicItem->childCount(), 1);
    EXPECT_EQ(publicItem->child(0)->text(0), "[]");
    EXPECT_FALSE(publicItem->isExpanded());
    EXPECT_EQ(window().statusText(), "Waiting for user input");

    // F5 on the selected node loads it.
    tree->setCurrentItem(publicItem);
    QApplication::setActiveWindow(&window());
    QTest::keyClick(tree, Qt::Key_F5);
    ASSERT_EQ(publicItem->childCount(), 1);
    EXPECT_EQ(publicItem->child(0)->text(0), "Budget");
    EXPECT_TRUE(publicItem->isExpanded());
    EXPECT_EQ(messages.size(), 1u);
}

TEST_F(MainCommandsTest, CancelActsOnceAndOnlyWhileAMoveRuns)
{
    start();
    auto *cancel = child<QPushButton>(&window(), "Button_Cancel");
    auto *status = child<QLabel>(&window(), "LabelStatus");
    const QColor before = status->palette().color(QPalette::WindowText);
    const QString idle = window().statusText();
    cancel->click();
    EXPECT_EQ(window().statusText(), idle);
    EXPECT_FALSE(program->moveFlags().cancelRequested);

    // Said in the status line and the log, never asked: the move does not wait for the user.
    const QString said =
        "Task Canceled - the current folder stops at its next safe point and keeps its source; "
        "run the move again to finish it.";
    program->moveFlags().moveRunning = true;
    cancel->click();
    cancel->click();
    EXPECT_TRUE(messages.empty());
    EXPECT_EQ(window().statusText(), said);
    EXPECT_EQ(logLines().count(said), 1);
    EXPECT_FALSE(program->moveFlags().moveRunning);
    EXPECT_TRUE(program->moveFlags().cancelRequested);
    EXPECT_NE(before, QColor("#0000c0"));
    EXPECT_EQ(status->palette().color(QPalette::WindowText), QColor("#0000c0"));
}
