#include "app/dmmain.h"

#include "app/elidedlabel.h"
#include "app/foldertreewidget.h"
#include "settings/product.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QContextMenuEvent>
#include <QDir>
#include <QKeyEvent>
#include <QLabel>
#include <QMouseEvent>
#include <QPushButton>
#include <QTreeWidget>

DMMain::DMMain(MessagePresenter presenter) : m_presenter(std::move(presenter))
{
    setObjectName(QStringLiteral("DMMain"));
    setWindowTitle(ApplicationTitle());
    buildPanels();
    buildMenus();
    buildMoveProgress();
    resize(760, 560);
}

DMMain::~DMMain() = default;

FolderTreeView &DMMain::folderTree()
{
    return *m_folderTree;
}

void DMMain::setTreeEnabled(bool enabled)
{
    m_tree->setEnabled(enabled);
}

void DMMain::setInstallation(const QString &fileName, bool demo)
{
    m_labelInstallation->setFullText(
        (demo ? QStringLiteral("Demo installation: ") : QStringLiteral("Installation: ")) +
        QDir::toNativeSeparators(fileName));
}

void DMMain::setMessageParent(QWidget *parent)
{
    m_messageParent = parent;
}

void DMMain::setVerboseLogging(bool on)
{
    m_checkLogMethod->setChecked(on);
}

void DMMain::setDisplayErrors(bool on)
{
    m_checkDisplayErrors->setChecked(on);
}

void DMMain::setLogDirToolTip(const QString &text)
{
    m_buttonLogDir->setToolTip(text);
}

void DMMain::setStatusColor(const QColor &color)
{
    QPalette palette = m_labelStatus->palette();
    palette.setColor(QPalette::WindowText, color);
    m_labelStatus->setPalette(palette);
}

void DMMain::addTargetLibrary(const QString &library)
{
    m_comboTargetLibrary->addItem(library);
}

void DMMain::selectTargetLibrary(const QString &library)
{
    m_comboTargetLibrary->setCurrentIndex(0);
    const int found = m_comboTargetLibrary->findText(library, Qt::MatchExactly | Qt::MatchCaseSensitive);
    if (found >= 0)
        m_comboTargetLibrary->setCurrentIndex(found);
}

void DMMain::closeEvent(QCloseEvent *event)
{
    // Closing is the program's unload, whichever way it comes; it ends in endProgram().
    // A move runs to its end (or its cancel) first: ending the session under it would cut a folder in two.
    if (m_moveRunning) {
        event->ignore();
        return;
    }
    if (!m_programEnded)
        emit unloadRequested();
    event->accept();
}

bool DMMain::eventFilter(QObject *watched, QEvent *event)
{
    // The platform turns the Menu key into a keyboard context menu event; Shift+F10 comes as a key.
    if (watched == m_tree &&
        ((event->type() == QEvent::ContextMenu &&
          static_cast<QContextMenuEvent *>(event)->reason() == QContextMenuEvent::Keyboard) ||
         (event->type() == QEvent::KeyPress &&
          static_cast<QKeyEvent *>(event)->keyCombination() == QKeyCombination(Qt::SHIFT, Qt::Key_F10)))) {
        TVRootFolder_MenuKey();
        return true;
    }
    if (event->type() == QEvent::MouseButtonPress) {
        const auto *mouse = static_cast<QMouseEvent *>(event);
        if (watched == m_tree->viewport() && mouse->button() == Qt::RightButton) {
            TVRootFolder_MouseDown(mouse->button(), mouse->position().toPoint());
            return true;
        }
        if (watched == m_labelLibraryName) {
            LabelLibraryName_MouseDown(mouse->button(), mouse->position().toPoint());
            return mouse->button() == Qt::RightButton;
        }
    }
    return QMainWindow::eventFilter(watched, event);
}
