#include "app/dmmain.h"
#include "app/qentsplash.h"
#include "browse/foldertags.h"
#include "settings/product.h"
#include "support/testenvironment.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTest>
#include <QTreeWidget>

#include <gtest/gtest.h>

#include <functional>

namespace {

class DMMainTest : public testing::Test {
protected:
    template <typename T> T *child(const QString &name)
    {
        T *found = window.findChild<T *>(name);
        EXPECT_TRUE(found) << name.toStdString();
        return found;
    }
    QAction *action(const QString &name) { return child<QAction>(name); }

    // Object names, captions and shortcuts of a menu's entries, separators as "-".
    static QStringList entries(const QMenu *menu)
    {
        QStringList list;
        for (const QAction *a : menu->actions())
            list << a->objectName() + u'|' + (a->isSeparator() ? QStringLiteral("-") : a->text()) + u'|' +
                        a->shortcut().toString();
        return list;
    }

    // Right-presses the tree over an item (or a point), or presses keys, and returns the visible entries
    // of the pop-up.
    QStringList popUpAt(const QPoint &point)
    {
        return popUp([&] { QTest::mousePress(tree()->viewport(), Qt::RightButton, {}, point); });
    }
    QStringList popUp(const std::function<void()> &press)
    {
        press();
        QMenu *menu = child<QMenu>("MNConvertMain");
        QStringList visible;
        if (menu->isVisible())
            for (const QAction *a : menu->actions())
                if (a->isVisible())
                    visible << a->objectName() + u'|' + a->text();
        menu->hide();
        return visible;
    }
    QStringList popUpOver(TreeNode node)
    {
        return popUpAt(tree()->visualItemRect(reinterpret_cast<QTreeWidgetItem *>(node)).center());
    }
    QTreeWidget *tree() { return child<QTreeWidget>("TVRootFolder"); }

    std::vector<std::tuple<QString, MessageIcon, MessageButtons>> shown;
    DMMain window{[this](const QString &text, MessageIcon icon, MessageButtons buttons) {
        shown.emplace_back(text, icon, buttons);
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }};
};

} // namespace

TEST_F(DMMainTest, ControlsCarryTheirCaptionsAndToolTips)
{
    EXPECT_EQ(window.objectName(), "DMMain");
    EXPECT_EQ(window.windowTitle(), ApplicationTitle());
    EXPECT_EQ(child<QGroupBox>("FrameStatus")->title(), "Status");
    EXPECT_EQ(child<QGroupBox>("FrameDocOptions")->title(), "Options:");
    EXPECT_EQ(child<QGroupBox>("FrameProjects")->title(), " Move folders from library:");
    for (const QString untitled : {"FrameButtons", "FrameCounters", "FrameLibInfo"})
        EXPECT_EQ(child<QGroupBox>(untitled)->title(), "");
    EXPECT_TRUE(child<QLabel>("LabelStatus"));
    EXPECT_EQ(child<QPushButton>("Button_Cancel")->text(), "&Cancel");
    const std::pair<QString, QString> counters[] = {{"LabelTotal", "Total"},
                                                    {"LabelRead", "Processed"},
                                                    {"LabelAdded", "Added"},
                                                    {"LabelErrors", "Errors"}};
    for (const auto &[name, caption] : counters) {
        EXPECT_EQ(child<QLabel>(name + "Caption")->text(), caption);
        EXPECT_EQ(child<QLabel>(name)->text(), "") << "counters start empty";
    }
    const auto *displayErrors = child<QCheckBox>("CheckDisplayErrors");
    EXPECT_EQ(displayErrors->text(), "Display Errors");
    EXPECT_EQ(displayErrors->toolTip(), "Display errors (will require intervention to continue)");
    EXPECT_EQ(child<QCheckBox>("CheckLogMethod")->text(), "Verbose Logging");
    EXPECT_TRUE(child<QComboBox>("ComboTargetLibrary"));
    EXPECT_EQ(child<QLabel>("LabelRootFolder")->text(), "Target Library:");
    EXPECT_EQ(child<QPushButton>("ButtonLogDir")->text(), "..");
    EXPECT_EQ(child<QPushButton>("ButtonLogDir")->toolTip(), "Designate location for logfile");
    EXPECT_TRUE(tree());
    EXPECT_EQ(child<QLabel>("LabelLibraryName")->toolTip(), "Right-click here to change current library");
    EXPECT_EQ(child<QLabel>("LabelPrimaryGroup")->toolTip(), "Your primary group");
    EXPECT_EQ(child<QLabel>("LabelUserName")->toolTip(), "Your login ID");
}

// Every control a person can point at says what it is for.
TEST_F(DMMainTest, EveryControlHasAToolTip)
{
    window.show();
    QList<QWidget *> controls = child<QGroupBox>("FrameCounters")->findChildren<QWidget *>();
    for (QWidget *widget : window.findChildren<QWidget *>())
        if (qobject_cast<QAbstractButton *>(widget) || qobject_cast<QComboBox *>(widget) ||
            qobject_cast<QTreeWidget *>(widget))
            controls << widget;
    ASSERT_GE(controls.size(), 13);
    for (const QWidget *control : std::as_const(controls))
        EXPECT_TRUE(!control->isVisible() || !control->toolTip().isEmpty())
            << qPrintable(control->objectName());
}

TEST_F(DMMainTest, MenusCarryTheirCaptionsAndShortcuts)
{
    QStringList bar;
    for (const QAction *top : window.menuBar()->actions())
        bar << top->menu()->objectName() + u'|' + top->text();
    EXPECT_EQ(bar, QStringList({"MNMenuMain|&File", "MNHelpMain|&Help"}));

    EXPECT_EQ(entries(child<QMenu>("MNMenuMain")),
              QStringList({"MNLogView|View Log|F2", "MNLogPurge|Purge Log|Shift+Del", "MNKorvelLine01|-|",
                           "MNKorvelExit|Exit|Ctrl+X"}));
    EXPECT_EQ(entries(child<QMenu>("MNHelpMain")),
              QStringList({"MNQentOptions|Display Current DM Settings|", "MNHelpLine01|-|",
                           "MNHelpReadme|View &Readme|", "MNKorvelHelp|About|F1"}));
    EXPECT_EQ(child<QMenu>("MNConvertMain")->title(), "Main");
    EXPECT_EQ(entries(child<QMenu>("MNConvertMain")),
              QStringList({"MNPreviewMove|Preview move…|", "MNConvertFolder|Move Folder|",
                           "MNConvertAllFolders|Move all folders for this User|",
                           "MNConvertLibrary|Move all folders from this library|", "MNConvertLine01|-|",
                           "MNRefresh|Refresh|F5"}));
    EXPECT_EQ(child<QMenu>("MNLibMain")->title(), "Libraries");
    EXPECT_EQ(entries(child<QMenu>("MNLibMain")), QStringList({"MNLibList|LibList|"}));

    // The log entries follow the log file's existence.
    EXPECT_FALSE(action("MNLogView")->isEnabled());
    EXPECT_FALSE(action("MNLogPurge")->isEnabled());
    window.setLogMenusEnabled(true);
    EXPECT_TRUE(action("MNLogView")->isEnabled());
    EXPECT_TRUE(action("MNLogPurge")->isEnabled());

    QSignalSpy exit(&window, &DMMain::exitChosen);
    QSignalSpy about(&window, &DMMain::aboutChosen);
    action("MNKorvelExit")->trigger();
    action("MNKorvelHelp")->trigger();
    EXPECT_EQ(exit.count(), 1);
    EXPECT_EQ(about.count(), 1);
}

TEST_F(DMMainTest, TheTreePopUpOffersTheMoveEntryThatFitsTheNode)
{
    FolderTreeView &view = window.folderTree();
    const TreeNode library =
        view.addNode(TreeNode::None, "LIB", LibraryTag("LIB"), LibraryImage, LibraryImage);
    const TreeNode shared =
        view.addNode(library, "Shared/Personal", SharedTag(), CategoryImage, CategoryOpenImage);
    const TreeNode budget = view.addNode(shared, "Budget", FolderTag(1001), FolderImage, FolderOpenImage);
    const TreeNode placeholder = view.addNode(budget, "[]", QString(), FolderImage, FolderOpenImage);
    window.show();
    view.makeVisible(placeholder);

    const QString preview = "MNPreviewMove|Preview move…";
    const QStringList refresh = {"MNConvertLine01|", "MNRefresh|Refresh"};
    EXPECT_EQ(popUpOver(library),
              QStringList({preview, "MNConvertLibrary|Move all folders from library LIB"}) + refresh);
    EXPECT_EQ(popUpOver(shared),
              QStringList({preview, "MNConvertAllFolders|Move all Shared/Personal folders"}) + refresh);
    EXPECT_EQ(popUpOver(budget), QStringList({preview, "MNConvertFolder|Move folder Budget"}) + refresh);
    EXPECT_EQ(tree()->currentItem(), reinterpret_cast<QTreeWidgetItem *>(budget));

    // Refresh, from the pop-up or by F5, acts on the node the pop-up was shown for.
    QSignalSpy refreshed(&window, &DMMain::refreshChosen);
    action("MNRefresh")->trigger();
    QApplication::setActiveWindow(&window);
    QTest::keyClick(tree(), Qt::Key_F5);
    ASSERT_EQ(refreshed.count(), 2);
    EXPECT_EQ(refreshed.at(0).at(0).value<TreeNode>(), budget);
    EXPECT_EQ(refreshed.at(1).at(0).value<TreeNode>(), budget);
    // The Menu key (a keyboard context menu event) and Shift+F10 pop up the same menu at the selected node.
    QContextMenuEvent menuKey(QContextMenuEvent::Keyboard, {}, {});
    tree()->setCurrentItem(reinterpret_cast<QTreeWidgetItem *>(shared));
    EXPECT_EQ(popUp([&] { QApplication::sendEvent(tree(), &menuKey); }), popUpOver(shared));
    EXPECT_EQ(popUp([&] { QTest::keyClick(tree(), Qt::Key_F10, Qt::ShiftModifier); }), popUpOver(shared));
    const QRect row = tree()->visualItemRect(reinterpret_cast<QTreeWidgetItem *>(shared));
    EXPECT_TRUE(row.contains(tree()->viewport()->mapFromGlobal(child<QMenu>("MNConvertMain")->pos())));
    EXPECT_EQ(reinterpret_cast<QTreeWidgetItem *>(budget)->toolTip(0), "Folder #1001 in library LIB");
    EXPECT_EQ(reinterpret_cast<QTreeWidgetItem *>(shared)->toolTip(0),
              "Shared/Personal folders of library LIB");
    EXPECT_TRUE(popUpOver(placeholder).isEmpty());
    EXPECT_TRUE(popUpAt(QPoint(5, tree()->viewport()->height() - 5)).isEmpty());
    window.TVRootFolder_MouseDown(
        Qt::LeftButton, tree()->visualItemRect(reinterpret_cast<QTreeWidgetItem *>(budget)).center());
    EXPECT_FALSE(child<QMenu>("MNConvertMain")->isVisible());
    EXPECT_TRUE(shown.empty());
}

// The bar names the phase, and stands short of full while the last folder is still checked or removed.
TEST_F(DMMainTest, TheProgressNamesThePhase)
{
    auto *bar = child<QProgressBar>("ProgressMove");
    window.showProgress({2, 5, 40, 120, MovePhase::Linking, 40, 0.3, 65});
    EXPECT_EQ(bar->text(), "Folder 2 of 5, item 40 of 120 - linking - about 1 min 5 s left");
    EXPECT_EQ(bar->value(), bar->maximum() * 3 / 10);
    for (const MovePhase phase : {MovePhase::Checking, MovePhase::Removing}) {
        window.showProgress({.folder = 1, .folders = 1, .item = 3, .items = 4, .phase = phase, .share = 0.9});
        EXPECT_EQ(bar->text(), "Folder 1 of 1 - " + MovePhaseText(phase) + ", folder 3 of 4");
    }
}

TEST_F(DMMainTest, TheTreeReportsExpansionsAndClicksAndShowsTheOpenPicture)
{
    FolderTreeView &view = window.folderTree();
    const TreeNode library =
        view.addNode(TreeNode::None, "LIB", LibraryTag("LIB"), LibraryImage, LibraryImage);
    const TreeNode category = view.addNode(library, "Public", PublicTag(), CategoryImage, CategoryOpenImage);
    view.addNode(category, "[]", QString(), CategoryImage, CategoryOpenImage);
    window.show();
    QSignalSpy expanded(&window, &DMMain::nodeExpanded);
    QSignalSpy clicked(&window, &DMMain::nodeClicked);

    auto *item = reinterpret_cast<QTreeWidgetItem *>(category);
    const qint64 closedPicture = item->icon(0).cacheKey();
    tree()->expandItem(reinterpret_cast<QTreeWidgetItem *>(library));
    tree()->expandItem(item);
    ASSERT_EQ(expanded.count(), 2);
    EXPECT_EQ(expanded.at(1).at(0).value<TreeNode>(), category);
    EXPECT_NE(item->icon(0).cacheKey(), closedPicture);
    tree()->collapseItem(item);
    EXPECT_EQ(item->icon(0).cacheKey(), closedPicture);

    QTest::mouseClick(tree()->viewport(), Qt::LeftButton, {}, tree()->visualItemRect(item).center());
    ASSERT_EQ(clicked.count(), 1);
    EXPECT_EQ(clicked.at(0).at(0).value<TreeNode>(), category);

    EXPECT_EQ(view.parentNode(category), library);
    EXPECT_EQ(view.tag(category), "FL:0");
    view.removeNode(view.child(category, 0));
    EXPECT_EQ(view.childCount(category), 0);
    view.clear();
    EXPECT_EQ(view.childCount(TreeNode::None), 0);
}

TEST_F(DMMainTest, TheLibraryLabelPopsUpTheLibraryList)
{
    window.setLibraryMenuEntry(0, "LIB1", true);
    window.setLibraryMenuEntry(1, "LIB2", false);
    window.show();
    auto *label = child<QLabel>("LabelLibraryName");
    auto *menu = child<QMenu>("MNLibMain");

    QTest::mousePress(label, Qt::LeftButton, {}, QPoint(2, 2));
    EXPECT_FALSE(menu->isVisible());
    QTest::mousePress(label, Qt::RightButton, {}, QPoint(2, 2));
    EXPECT_TRUE(menu->isVisible());
    EXPECT_EQ(entries(menu), QStringList({"MNLibList|LIB1|", "MNLibList|LIB2|"}));
    QSignalSpy chosen(&window, &DMMain::libraryChosen);
    menu->actions().at(1)->trigger();
    menu->hide();
    ASSERT_EQ(chosen.count(), 1);
    EXPECT_EQ(chosen.at(0).at(0).toString(), "LIB2");

    window.checkLibraryMenuEntry("lib2");
    EXPECT_FALSE(menu->actions().at(0)->isChecked());
    EXPECT_TRUE(menu->actions().at(1)->isChecked());
}

TEST_F(DMMainTest, TheSeamShowsAndAsksThroughTheWindow)
{
    window.setStatusText("Working");
    EXPECT_EQ(child<QLabel>("LabelStatus")->text(), "Working");
    EXPECT_EQ(window.statusText(), "Working");
    window.setCounter(MoveCounter::Read, "12");
    window.setCounter(MoveCounter::Errors, "1");
    EXPECT_EQ(child<QLabel>("LabelRead")->text(), "12");
    EXPECT_EQ(window.counter(MoveCounter::Errors), "1");
    EXPECT_EQ(window.counter(MoveCounter::Total), "");

    window.setVerboseLogging(false);
    window.setDisplayErrors(false);
    EXPECT_FALSE(window.verboseLogging());
    EXPECT_FALSE(window.displayErrors());
    child<QCheckBox>("CheckDisplayErrors")->setChecked(true);
    EXPECT_TRUE(window.displayErrors());

    window.addTargetLibrary("LIB1");
    window.addTargetLibrary("LIB2");
    window.selectTargetLibrary("LIB2");
    EXPECT_EQ(window.targetLibrary(), "LIB2");
    window.selectTargetLibrary("lib2");
    EXPECT_EQ(window.targetLibrary(), "LIB1");

    window.setUserName("JSMITH");
    window.setUserNameToolTip("JSMITH primary library is LIB1");
    window.setPrimaryGroup("DOCS_USERS");
    window.setLibraryName("LIB1");
    EXPECT_EQ(child<QLabel>("LabelUserName")->text(), "JSMITH");
    EXPECT_EQ(child<QLabel>("LabelUserName")->toolTip(), "JSMITH primary library is LIB1");
    EXPECT_EQ(child<QLabel>("LabelPrimaryGroup")->text(), "DOCS_USERS");
    EXPECT_EQ(child<QLabel>("LabelLibraryName")->text(), "LIB1");

    window.setMousePointer(MousePointer::Hourglass);
    EXPECT_EQ(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
    window.setMousePointer(MousePointer::Hourglass);
    window.setMousePointer(MousePointer::Default);
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);

    EXPECT_EQ(window.showMessage("Sure?", MessageIcon::Question, MessageButtons::YesNo), MessageAnswer::Yes);
    ASSERT_EQ(shown.size(), 1u);
    EXPECT_EQ(std::get<0>(shown[0]), "Sure?");
    EXPECT_EQ(std::get<1>(shown[0]), MessageIcon::Question);
}

TEST_F(DMMainTest, PositionsAreKeptInTwipsOfTheScreensResolution)
{
    const int dpiX = window.logicalDpiX();
    const int dpiY = window.logicalDpiY();
    window.move(dpiX, dpiY / 2);
    EXPECT_EQ(window.windowPositionTwips(), QPoint(1440, 720));
    window.moveToTwips(QPoint(2880, 1440));
    EXPECT_EQ(window.pos(), QPoint(2 * dpiX, dpiY));
    window.setHeightTwips(8640);
    EXPECT_EQ(window.sizeTwips().height(), 8640);
    const QSize screen = window.screenSizeTwips();
    EXPECT_EQ(screen.width(), window.screen()->geometry().width() * 1440 / dpiX);
}

TEST_F(DMMainTest, ClosingAsksForTheUnloadOnceAndEndingHidesTheWindow)
{
    QSignalSpy unload(&window, &DMMain::unloadRequested);
    QSignalSpy ended(&window, &DMMain::programEnded);
    window.show();
    // The program's unload answers with endProgram(), as EndProgram does.
    QObject::connect(&window, &DMMain::unloadRequested, &window, [this] { window.endProgram(); });
    window.setMousePointer(MousePointer::Hourglass);
    window.close();
    EXPECT_EQ(unload.count(), 1);
    EXPECT_EQ(ended.count(), 1);
    EXPECT_TRUE(window.programHasEnded());
    EXPECT_FALSE(window.isVisible());
    EXPECT_EQ(QApplication::overrideCursor(), nullptr);
    window.show();
    window.close();
    EXPECT_EQ(unload.count(), 1);
}

TEST(QentSplashTest, AnyKeyOrAMouseReleaseDismissesItAndEnablesTheMainWindow)
{
    QWidget main;
    main.setEnabled(false);
    QentSplash splash(&main);
    EXPECT_EQ(splash.productCaption(), "Korvel for OpenText eDOCS Skerrow Module");
    EXPECT_EQ(splash.versionCaption(), "Build Date");
    EXPECT_TRUE(splash.findChild<QLabel *>("QentLogo"));
    EXPECT_TRUE(splash.findChild<QLabel *>("LabelStatus"));
    splash.setStatusText("One moment...");
    EXPECT_EQ(splash.findChild<QLabel *>("LabelStatus")->text(), "One moment...");

    splash.show();
    QTest::keyClick(&splash, Qt::Key_A);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_TRUE(main.isEnabled());
    EXPECT_EQ(splash.result(), QDialog::Accepted);

    main.setEnabled(false);
    splash.show();
    QTest::mouseRelease(splash.findChild<QLabel *>("ProductName"), Qt::RightButton);
    EXPECT_FALSE(splash.isVisible());
    EXPECT_TRUE(main.isEnabled());
}

TEST_F(DMMainTest, AtItsSmallestTheFieldsNeitherOverlapNorCrush)
{
    // Texts as long as a session shows them.
    window.setLibraryName("CORPORATE_LIBRARY");
    window.setPrimaryGroup("DOCS_SUPERVISORS");
    window.setUserName("ADMINISTRATOR");
    window.addTargetLibrary("CORPORATE_LIBRARY");
    window.setStatusText("Retrieving folders from library CORPORATE_LIBRARY");
    window.setInstallation("/home/pat/.local/share/korvel/demo/installation.ini", true);
    for (const MoveCounter counter :
         {MoveCounter::Total, MoveCounter::Read, MoveCounter::Added, MoveCounter::Errors})
        window.setCounter(counter, "99999");
    window.show();

    const QStringList fields = {
        "LabelRootFolder",   "ComboTargetLibrary", "CheckLogMethod",    "ButtonLogDir",  "CheckDisplayErrors",
        "LabelTotalCaption", "LabelTotal",         "LabelReadCaption",  "LabelRead",     "LabelAddedCaption",
        "LabelAdded",        "LabelErrorsCaption", "LabelErrors",       "Button_Cancel", "LabelStatus",
        "LabelInstallation", "LabelLibraryName",   "LabelPrimaryGroup", "LabelUserName", "TVRootFolder"};
    for (const QSize asked : {QSize(500, 350), QSize(1, 1)}) {
        SCOPED_TRACE(asked.width());
        window.resize(asked);
        QApplication::processEvents();
        EXPECT_GE(window.width(), window.minimumWidth());
        EXPECT_GE(window.height(), window.minimumHeight());
        QList<QPair<QString, QRect>> placed;
        for (const QString &name : fields) {
            auto *field = child<QWidget>(name);
            const QRect rect(field->mapTo(&window, QPoint(0, 0)), field->size());
            EXPECT_TRUE(window.rect().contains(rect)) << name.toStdString();
            // Crushed: smaller than the field needs to show what it holds (its own minimum, where it
            // has one, as the layouts count it).
            const QSize needed =
                field->minimumSize().isNull() ? field->minimumSizeHint() : field->minimumSize();
            EXPECT_GE(field->width(), needed.width()) << name.toStdString();
            EXPECT_GE(field->height(), needed.height()) << name.toStdString();
            for (const auto &[other, otherRect] : std::as_const(placed))
                EXPECT_FALSE(rect.intersects(otherRect))
                    << name.toStdString() << " overlaps " << other.toStdString();
            placed.append({name, rect});
        }
        // The session labels show their whole texts.
        for (const QString name : {"LabelLibraryName", "LabelPrimaryGroup", "LabelUserName"}) {
            auto *label = child<QLabel>(name);
            EXPECT_GE(label->contentsRect().width(), label->fontMetrics().horizontalAdvance(label->text()))
                << name.toStdString();
        }
    }
}
