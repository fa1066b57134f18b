#include "installationbuilder.h"

#include "app/previewdialog.h"
#include "app/program.h"
#include "localdm/localdmfactory.h"
#include "localdm/tools/librarycheck.h"
#include "migrate/movelock.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QMenu>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTextEdit>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

// Records the files it is asked to show; starts nothing.
class ListingViewer : public FileViewer {
public:
    explicit ListingViewer(QStringList &opened) : m_opened(opened) {}
    ViewerStart open(const QString &fileName) override
    {
        m_opened << fileName;
        return {true, {}};
    }

private:
    QStringList &m_opened;
};

// The program on a local DM of two libraries whose user holds the folder rights in both: LIB_A
// (current) with public folders the user may see, LIB_B the target. Questions are answered Yes; each
// message box is recorded with what the window looked like while it was up.
class MoveMenuWorld {
public:
    struct Shown {
        QString text;
        bool treeEnabled;
        bool exitEnabled;
        bool cancelEnabled;
        bool progressVisible;
    };

    MoveMenuWorld()
    {
        QDir().mkpath(dir.filePath("dm"));
        QDir().mkpath(dir.filePath("bin"));
        qputenv("XDG_DATA_HOME", dir.filePath("data").toUtf8());
        builder = std::make_unique<InstallationBuilder>(
            dir.filePath("dm"), "JSMITH",
            QList<LibraryConfig>{InstallationBuilder::library("LIB_A"),
                                 InstallationBuilder::library("LIB_B")});
        for (const QString name : {"LIB_A", "LIB_B"}) {
            builder->addUser(name, "JSMITH", "DOCS_USERS");
            builder->db(name).exec("UPDATE GROUPS SET UNIV_ACCESS = 255");
            for (const QString right :
                 {"User.CreateFolder", "User.ManageRootFolders", "User.SaveToRemoteLibrary"})
                builder->grant(name, "DOCS_USERS", right);
        }
    }

    int publicFolder(const QString &name)
    {
        const int folder = builder->addFolder("LIB_A", name, true);
        builder->link("LIB_A", folder, "LIB_A", builder->addDocument("LIB_A", name + " memo"));
        const qint64 user =
            builder->db("LIB_A").scalar("SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = 'JSMITH'").toLongLong();
        builder->addTrustee("LIB_A", folder, user, 255);
        return folder;
    }

    void start(const QString &faults = {})
    {
        program = std::make_unique<Program>(
            ProgramEnvironment{dir.filePath("bin/korvel"), QString(), dir.filePath("settings"),
                               dir.filePath("dm/installation.ini"), builder->installation().databaseFiles()},
            std::make_unique<LocalDmFactory>(builder->dm(faults)),
            [this](const QString &text, MessageIcon, MessageButtons buttons) {
                auto *progress = window().findChild<QProgressBar *>("ProgressMove");
                shown.push_back({text, tree()->isEnabled(), action("MNKorvelExit")->isEnabled(),
                                 window().findChild<QPushButton *>("Button_Cancel")->isEnabled(),
                                 progress->isVisible()});
                if (buttons == MessageButtons::Ok)
                    return MessageAnswer::Ok;
                if (buttons == MessageButtons::OkOpenReport)
                    return MessageAnswer::OpenReport;
                if (onQuestion)
                    onQuestion();
                return MessageAnswer::Yes;
            },
            std::make_unique<ListingViewer>(opened));
        program->Form_Load();
        ASSERT_FALSE(window().programHasEnded());
        window().findChild<QComboBox *>("ComboTargetLibrary")->setCurrentText("LIB_B");
        shown.clear();
    }

    DMMain &window() { return program->window(); }
    QTreeWidget *tree() { return window().findChild<QTreeWidget *>("TVRootFolder"); }
    QAction *action(const QString &name) { return window().findChild<QAction *>(name); }
    QTreeWidgetItem *publicNode() { return tree()->topLevelItem(0)->child(0); }
    QStringList children(QTreeWidgetItem *node)
    {
        QStringList texts;
        for (int i = 0; i < node->childCount(); ++i)
            texts << node->child(i)->text(0);
        return texts;
    }
    QStringList counters()
    {
        QStringList values;
        for (const QString name : {"LabelTotal", "LabelRead", "LabelAdded", "LabelErrors"})
            values << window().findChild<QLabel *>(name)->text();
        return values;
    }
    void choose(QTreeWidgetItem *node, const QString &entry)
    {
        tree()->setCurrentItem(node);
        action(entry)->trigger();
    }

    QTemporaryDir dir;
    std::unique_ptr<InstallationBuilder> builder;
    std::unique_ptr<Program> program;
    std::vector<Shown> shown;
    QStringList opened; // by the viewer
    // What the user does while the confirmation is up.
    std::function<void()> onQuestion;
};

} // namespace

// The tree's move entries: the moved folders' nodes go, a category left empty goes too, the counters
// count, and the move ends in one box with its result and its report, shown with the window idle again.
TEST(MoveMenuTest, MovesFromTheTreeUpdateItAndLeaveOnlyCancelLive)
{
    struct Case {
        const char *name;
        QString faults;
        std::function<void(MoveMenuWorld &)> choose;
        QStringList publicLeft; // the Public node's children afterwards; "gone" when it is gone
        QStringList counters;
        QString summary;
    };
    const QList<Case> cases = {
        {"one folder",
         {},
         [](MoveMenuWorld &t) {
             t.publicNode()->setExpanded(true);
             t.choose(t.publicNode()->child(1), "MNConvertFolder");
         },
         {"Alpha"},
         {"1", "1", "1", "0"},
         "Folder \"Beta\" moved to library LIB_B"},
        {"a whole category, loaded first",
         {},
         [](MoveMenuWorld &t) { t.choose(t.publicNode(), "MNConvertAllFolders"); },
         {"gone"},
         {"2", "2", "2", "0"},
         "2 folder(s) migrated with 0 error(s)."},
        {"a category whose first folder fails",
         "save:1",
         [](MoveMenuWorld &t) { t.choose(t.publicNode(), "MNConvertAllFolders"); },
         {"Alpha"},
         {"2", "1", "1", "1"},
         "1 folder(s) migrated with 1 error(s).\n\nFirst reason: Unable to save profile object for folder "
         "\"Alpha\""},
        {"a category cancelled before its first folder",
         {},
         [](MoveMenuWorld &t) {
             t.onQuestion = [&t] { t.window().findChild<QPushButton *>("Button_Cancel")->click(); };
             t.choose(t.publicNode(), "MNConvertAllFolders");
         },
         {"Alpha", "Beta"},
         {"2", "0", "0", "0"},
         "0 folder(s) migrated with 0 error(s). Task Canceled - 2 folder(s) not moved."},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MoveMenuWorld w;
        w.publicFolder("Alpha");
        w.publicFolder("Beta");
        w.start(c.faults);
        auto *status = w.window().findChild<QLabel *>("LabelStatus");
        const std::pair idle(status->text(), status->palette().color(QPalette::WindowText));
        c.choose(w);
        // The question comes with only Cancel live; then one box with the result and the report's button.
        ASSERT_EQ(w.shown.size(), 2u);
        EXPECT_TRUE(!w.shown[0].treeEnabled && !w.shown[0].exitEnabled && w.shown[0].cancelEnabled);
        ASSERT_EQ(w.opened.size(), 1);
        EXPECT_TRUE(QFile::exists(w.opened[0]));
        const MoveMenuWorld::Shown &result = w.shown.back();
        EXPECT_TRUE(result.text.startsWith(c.summary)) << result.text.toStdString();
        EXPECT_EQ(result.text.count(w.opened[0]), 1) << result.text.toStdString();
        EXPECT_TRUE(result.treeEnabled && result.exitEnabled && !result.progressVisible);
        EXPECT_EQ(w.tree()->topLevelItem(0)->childCount() == 1 ? QStringList{"gone"}
                                                               : w.children(w.publicNode()),
                  c.publicLeft);
        EXPECT_EQ(w.counters(), c.counters);
        EXPECT_TRUE(w.tree()->isEnabled());
        EXPECT_TRUE(w.action("MNKorvelExit")->isEnabled());
        // Back to the idle look, a cancel's included: nothing of the move's progress stays shown.
        EXPECT_FALSE(w.window().findChild<QProgressBar *>("ProgressMove")->isVisible());
        EXPECT_EQ(w.window().findChild<QProgressBar *>("ProgressMove")->format(), "%p%");
        EXPECT_EQ(std::pair(status->text(), status->palette().color(QPalette::WindowText)), idle);
        // The locks' files stay, cleared of the move's details.
        for (const QString &database : w.builder->installation().databaseFiles()) {
            QFile lock(MoveLock::lockFileOf(database));
            ASSERT_TRUE(lock.open(QIODevice::ReadOnly));
            EXPECT_EQ(lock.readAll(), "");
        }
        EXPECT_EQ(LibraryCheck(*w.builder->dm()).violations(), QStringList{});
    }
}

// "Preview move…" stands above the move entries: it asks nothing and moves nothing, and shows what the
// move of the node would do in a dialog that keeps the list as text.
TEST(MoveMenuTest, PreviewShowsWhatTheMoveWouldDoAndChangesNothing)
{
    struct Case {
        const char *name;
        std::function<QTreeWidgetItem *(MoveMenuWorld &)> node;
        QString listed;
    };
    const QList<Case> cases = {
        {"one folder",
         [](MoveMenuWorld &t) {
             t.publicNode()->setExpanded(true);
             return t.publicNode()->child(1);
         },
         "\"Beta\" of library LIB_A to library LIB_B\n"},
        {"a category", [](MoveMenuWorld &t) { return t.publicNode(); },
         "previewed with 0 hazard(s); nothing was changed. Verdict: the move would go through"},
        {"a library", [](MoveMenuWorld &t) { return t.tree()->topLevelItem(0); }, "2 folder(s) and "},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MoveMenuWorld w;
        w.publicFolder("Alpha");
        w.publicFolder("Beta");
        w.start();
        w.choose(c.node(w), "MNPreviewMove");
        EXPECT_TRUE(w.shown.empty());
        auto *dialog = w.window().findChild<PreviewDialog *>("PreviewDialog");
        ASSERT_NE(dialog, nullptr);
        // The verdict stands above the list.
        auto *edit = dialog->findChild<QTextEdit *>("TextPreview");
        auto *verdict = dialog->findChild<QLabel *>("LabelVerdict");
        EXPECT_LT(verdict->geometry().bottom(), edit->geometry().top());
        EXPECT_TRUE(verdict->text().contains("; nothing was changed. Verdict: "));
        const QString list = edit->toPlainText() + "\n" + verdict->text();
        EXPECT_TRUE(list.contains(c.listed)) << list.toStdString();
        w.publicNode()->setExpanded(true);
        EXPECT_EQ(w.children(w.publicNode()), QStringList({"Alpha", "Beta"}));
        EXPECT_EQ(w.counters(), QStringList({"", "", "", ""}));
        EXPECT_TRUE(w.tree()->isEnabled());

        const QString saved = w.dir.filePath("preview.txt");
        ASSERT_TRUE(dialog->saveTo(saved));
        QFile file(saved);
        ASSERT_TRUE(file.open(QIODevice::ReadOnly | QIODevice::Text));
        EXPECT_EQ(QString::fromUtf8(file.readAll()), list + "\n");
        EXPECT_FALSE(dialog->saveTo(w.dir.filePath("no such folder/preview.txt")));
    }
}

// Move Now moves what was previewed as the menu's entry does, a first connection's box (Unique Document
// Names) and the question first; a preview whose move would be refused does not offer it.
TEST(MoveMenuTest, MoveNowInThePreviewMovesThroughTheQuestion)
{
    for (const QString target : {"LIB_B", "LIB_A"}) {
        MoveMenuWorld w;
        w.publicFolder("Alpha");
        w.publicFolder("Beta");
        w.builder->setParameter("LIB_B", "DOCSParms.UniqueDocNames", "1");
        w.start();
        w.window().findChild<QComboBox *>("ComboTargetLibrary")->setCurrentText(target);
        w.publicNode()->setExpanded(true);
        w.choose(w.publicNode()->child(1), "MNPreviewMove");
        auto *moveNow = w.window().findChild<QPushButton *>("ButtonMoveNow");
        ASSERT_NE(moveNow, nullptr);
        EXPECT_EQ(moveNow->isEnabled(), target == "LIB_B");
        if (!moveNow->isEnabled())
            continue;
        moveNow->click();
        ASSERT_GE(w.shown.size(), 2u);
        EXPECT_TRUE(w.shown[0].text.startsWith("Warning: The library setting Unique Document Names"));
        EXPECT_EQ(w.shown[1].text, "Are you ready to move folder \"Beta\" to library LIB_B?");
        EXPECT_EQ(w.children(w.publicNode()), QStringList{"Alpha"});
    }
}

// Whatever a command did with the pop-up's entries while it ran, the pop-up offers them as before.
TEST(MoveMenuTest, ThePopUpIsAsBeforeAfterEveryKindOfCommand)
{
    // The command's node (the library, Public or folder Beta), its entry and the target; a failure
    // planted in the category's first folder leaves Alpha to offer its entry.
    const QList<std::tuple<int, QString, QString, QString>> cases = {
        {2, "MNPreviewMove", "LIB_B", {}},
        {2, "MNConvertFolder", "LIB_B", {}},
        {1, "MNConvertAllFolders", "LIB_B", "save:1"},
        {0, "MNConvertLibrary", "LIB_B", {}},
        {2, "MNConvertFolder", "LIB_A", {}}}; // refused: the folder's own library
    for (const auto &[node, entry, target, faults] : cases) {
        SCOPED_TRACE(entry.toStdString() + " to " + target.toStdString());
        MoveMenuWorld w;
        w.publicFolder("Alpha");
        w.publicFolder("Beta");
        w.start(faults);
        w.window().show();
        w.publicNode()->setExpanded(true);
        QTreeWidgetItem *nodes[] = {w.tree()->topLevelItem(0), w.publicNode(), w.publicNode()->child(1)};
        const auto popUp = [&w](QTreeWidgetItem *item) {
            w.window().TVRootFolder_MouseDown(Qt::RightButton, w.tree()->visualItemRect(item).center());
            QStringList seen;
            for (const QAction *a : w.window().findChild<QMenu *>("MNConvertMain")->actions())
                if (a->isVisible())
                    seen << a->text() + (a->isEnabled() ? "" : " disabled");
            return seen;
        };
        const QStringList before = popUp(nodes[0]) + popUp(nodes[1]) + popUp(w.publicNode()->child(0));
        w.window().findChild<QComboBox *>("ComboTargetLibrary")->setCurrentText(target);
        popUp(nodes[node]);
        w.action(entry)->trigger();
        EXPECT_EQ(popUp(nodes[0]) + popUp(nodes[1]) + popUp(w.publicNode()->child(0)), before);
    }
}
