// The menus of the main window: File and Help in the menu bar, and the two pop-up menus.

#include "app/dmmain.h"
#include "app/foldertreewidget.h"

#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QTreeWidget>

namespace {

QAction *entry(QMenu *menu, const QString &name, const QString &caption, const QKeySequence &shortcut = {})
{
    QAction *action = menu->addAction(caption);
    action->setObjectName(name);
    action->setShortcut(shortcut);
    return action;
}

void separator(QMenu *menu, const QString &name)
{
    menu->addSeparator()->setObjectName(name);
}

} // namespace

void DMMain::buildMenus()
{
    QMenu *file = menuBar()->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("MNMenuMain"));
    m_logView =
        entry(file, QStringLiteral("MNLogView"), QStringLiteral("View Log"), QKeySequence(Qt::Key_F2));
    m_logPurge = entry(file, QStringLiteral("MNLogPurge"), QStringLiteral("Purge Log"),
                       QKeySequence(Qt::SHIFT | Qt::Key_Delete));
    // Enabled only while today's log file exists.
    m_logView->setEnabled(false);
    m_logPurge->setEnabled(false);
    connect(m_logView, &QAction::triggered, this, &DMMain::logViewChosen);
    connect(m_logPurge, &QAction::triggered, this, &DMMain::logPurgeChosen);
    separator(file, QStringLiteral("MNKorvelLine01"));
    QAction *exit = entry(file, QStringLiteral("MNKorvelExit"), QStringLiteral("Exit"),
                          QKeySequence(Qt::CTRL | Qt::Key_X));
    connect(exit, &QAction::triggered, this, &DMMain::exitChosen);

    // The tree's pop-up menu: one of the move entries is shown, the one that fits the node.
    m_convertMain = new QMenu(QStringLiteral("Main"), this);
    m_convertMain->setObjectName(QStringLiteral("MNConvertMain"));
    m_previewMove = entry(m_convertMain, QStringLiteral("MNPreviewMove"), QStringLiteral("Preview move…"));
    connect(m_previewMove, &QAction::triggered, this, &DMMain::previewMoveChosen);
    m_convertFolder = entry(m_convertMain, QStringLiteral("MNConvertFolder"), QStringLiteral("Move Folder"));
    m_convertAllFolders = entry(m_convertMain, QStringLiteral("MNConvertAllFolders"),
                                QStringLiteral("Move all folders for this User"));
    m_convertLibrary = entry(m_convertMain, QStringLiteral("MNConvertLibrary"),
                             QStringLiteral("Move all folders from this library"));
    connect(m_convertFolder, &QAction::triggered, this, &DMMain::convertFolderChosen);
    connect(m_convertAllFolders, &QAction::triggered, this, &DMMain::convertAllFoldersChosen);
    connect(m_convertLibrary, &QAction::triggered, this, &DMMain::convertLibraryChosen);
    separator(m_convertMain, QStringLiteral("MNConvertLine01"));
    m_refresh = entry(m_convertMain, QStringLiteral("MNRefresh"), QStringLiteral("Refresh"),
                      QKeySequence(Qt::Key_F5));
    // Also a window shortcut, so that F5 acts on the selected node without the pop-up.
    addAction(m_refresh);
    connect(m_refresh, &QAction::triggered, this,
            [this] { emit refreshChosen(FolderTreeWidget::node(m_tree->currentItem())); });

    // The libraries pop-up menu of the current-library label; start-up makes one entry per library.
    m_libMain = new QMenu(QStringLiteral("Libraries"), this);
    m_libMain->setObjectName(QStringLiteral("MNLibMain"));
    setLibraryMenuEntry(0, QStringLiteral("LibList"), false);

    QMenu *help = menuBar()->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("MNHelpMain"));
    QAction *settingsViewer =
        entry(help, QStringLiteral("MNQentOptions"), QStringLiteral("Display Current DM Settings"));
    connect(settingsViewer, &QAction::triggered, this, &DMMain::settingsViewerChosen);
    separator(help, QStringLiteral("MNHelpLine01"));
    m_helpReadme = entry(help, QStringLiteral("MNHelpReadme"), QStringLiteral("View &Readme"));
    connect(m_helpReadme, &QAction::triggered, this, &DMMain::readmeChosen);
    QAction *about =
        entry(help, QStringLiteral("MNKorvelHelp"), QStringLiteral("About"), QKeySequence(Qt::Key_F1));
    connect(about, &QAction::triggered, this, &DMMain::aboutChosen);
}

void DMMain::setLogMenusEnabled(bool enabled)
{
    m_logMenusEnabled = enabled;
    if (m_moveRunning)
        return;
    m_logView->setEnabled(enabled);
    m_logPurge->setEnabled(enabled);
}

void DMMain::setReadmeEntryVisible(bool visible)
{
    m_helpReadme->setVisible(visible);
}

void DMMain::setLibraryMenuEntry(int index, const QString &caption, bool checked)
{
    while (m_libList.size() <= index) {
        QAction *action = m_libMain->addAction(QString());
        action->setObjectName(QStringLiteral("MNLibList"));
        action->setCheckable(true);
        connect(action, &QAction::triggered, this, [this, action] { emit libraryChosen(action->text()); });
        m_libList << action;
    }
    m_libList[index]->setText(caption);
    m_libList[index]->setChecked(checked);
}

void DMMain::checkLibraryMenuEntry(const QString &libraryName)
{
    const QString upper = libraryName.toUpper();
    for (QAction *action : std::as_const(m_libList))
        action->setChecked(action->text().toUpper() == upper);
}

void DMMain::showConvertMenu(const ConvertMenuChoice &choice, const QPoint &globalPoint)
{
    const std::pair<QAction *, ConvertMenuChoice::Entry> entries[] = {
        {m_convertFolder, ConvertMenuChoice::Folder},
        {m_convertAllFolders, ConvertMenuChoice::AllFolders},
        {m_convertLibrary, ConvertMenuChoice::Library}};
    for (const auto &[action, kind] : entries) {
        action->setVisible(kind == choice.entry);
        if (kind == choice.entry)
            action->setText(choice.caption);
    }
    m_convertMain->popup(globalPoint);
}

void DMMain::popUpConvertMenu(QTreeWidgetItem *item, const QPoint &point)
{
    const std::optional<ConvertMenuChoice> choice =
        ConvertMenuFor(*m_folderTree, FolderTreeWidget::node(item));
    if (!choice)
        return;
    m_tree->setCurrentItem(item);
    showConvertMenu(*choice, m_tree->viewport()->mapToGlobal(point));
}

void DMMain::TVRootFolder_MouseDown(Qt::MouseButton button, const QPoint &point)
{
    if (button == Qt::RightButton)
        popUpConvertMenu(m_tree->itemAt(point), point);
}

void DMMain::TVRootFolder_MenuKey()
{
    QTreeWidgetItem *item = m_tree->currentItem();
    if (!item)
        return;
    m_tree->scrollToItem(item);
    const QRect row = m_tree->visualItemRect(item);
    popUpConvertMenu(item, QPoint(row.left() + m_tree->iconSize().width(), row.center().y()));
}

void DMMain::LabelLibraryName_MouseDown(Qt::MouseButton button, const QPoint &point)
{
    if (button == Qt::RightButton)
        m_libMain->popup(m_labelLibraryName->mapToGlobal(point));
}
