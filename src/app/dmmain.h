#pragma once

#include "browse/folderbrowser.h"
#include "dm/windowseam.h"

#include <QMainWindow>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class ElidedLabel;
class FolderTreeWidget;
class QAction;
class QCheckBox;
class QComboBox;
class QLabel;
class QMenu;
class QProgressBar;
class QPushButton;
class QTreeWidget;
class QTreeWidgetItem;

// The main window: the folder tree, the target library list, the options, the move counters, the
// status line and the session labels, with the File and Help menus and the two pop-up menus (the
// tree's move entries and the library list). Controls and menu entries are named after their roles
// (object names such as "TVRootFolder", "MNKorvelExit").
//
// It is the window seam through which the procedures reach the user. It runs no procedure itself:
// commands and tree events come out as signals, which the program connects to the procedures.
// Closing it asks for the program's unload once; endProgram() hides it and emits programEnded().
class DMMain : public QMainWindow, public WindowSeam {
    Q_OBJECT

public:
    // Shows a message box and returns the answer; the default shows a modal QMessageBox. Another
    // presenter answers for the user (an unattended run, a test).
    using MessagePresenter = std::function<MessageAnswer(const QString &text, MessageIcon, MessageButtons)>;

    explicit DMMain(MessagePresenter presenter = {});
    ~DMMain() override;

    // WindowSeam
    QString statusText() const override;
    void setStatusText(const QString &text) override;
    bool verboseLogging() const override;
    bool displayErrors() const override;
    void setLogMenusEnabled(bool enabled) override;
    MessageAnswer showMessage(const QString &text, MessageIcon icon,
                              MessageButtons buttons = MessageButtons::Ok) override;
    MousePointer mousePointer() const override { return m_pointer; }
    void setMousePointer(MousePointer pointer) override;
    void processEvents() override;
    void setUserName(const QString &text) override;
    void setUserNameToolTip(const QString &text) override;
    void setPrimaryGroup(const QString &text) override;
    void setLibraryName(const QString &text) override;
    void checkLibraryMenuEntry(const QString &libraryName) override;
    QString counter(MoveCounter which) const override;
    void setCounter(MoveCounter which, const QString &text) override;
    QString targetLibrary() const override;
    MessageAnswer confirmMove(const QString &question) override;
    void setMoveRunning(bool running) override;
    void showProgress(const MoveProgress &progress) override;
    void hideProgress() override;
    // The result and the report of a move come in one box, once the move has handed the window back;
    // its Open Report button comes out as reportOpenChosen.
    void showMoveResult(const QString &text, MessageIcon icon) override;
    void offerReport(const QString &fileName) override;
    // Window-modal and left open when the call returns. Its Move Now, offered when movable, runs the
    // move entry of the tree's pop-up menu for the node the preview was made for.
    void showPreview(const QString &text, bool movable) override;
    quintptr windowHandle() const override;
    QPoint windowPositionTwips() const override;
    void endProgram() override;

    bool programHasEnded() const { return m_programEnded; }
    bool moveRunning() const { return m_moveRunning; }

    FolderTreeView &folderTree();
    // The tree's selected node; None when there is none.
    TreeNode selectedNode() const;
    void setTreeEnabled(bool enabled);

    // Names the DM installation in the status area ("demo" for the demo installation).
    void setInstallation(const QString &fileName, bool demo);
    // The window that message boxes belong to and are kept above; null (the default) is this window.
    // Start-up sets the splash window while it shows, so that no box hides behind it.
    void setMessageParent(QWidget *parent);

    // What start-up sets.
    void setVerboseLogging(bool on);
    void setDisplayErrors(bool on);
    // The log path button says where the log goes.
    void setLogDirToolTip(const QString &text);
    // The colour of the status line's text; a cancelled move shows in blue.
    void setStatusColor(const QColor &color);
    void setReadmeEntryVisible(bool visible);
    // Library menu entry index (from 0): made when missing, captioned, checked or not.
    void setLibraryMenuEntry(int index, const QString &caption, bool checked);
    void addTargetLibrary(const QString &library);
    // Selects entry 0 of the target list, then the first entry whose text equals library exactly.
    void selectTargetLibrary(const QString &library);

    // The window's geometry in twips (1440 per inch at the screen's logical resolution).
    QSize screenSizeTwips() const;
    QSize sizeTwips() const;
    void moveToTwips(const QPoint &topLeft);
    void setHeightTwips(int height);

    // The right-button handlers of the tree and of the current-library label: they pop up the
    // menu that fits the point (in the widget's coordinates), or nothing.
    void TVRootFolder_MouseDown(Qt::MouseButton button, const QPoint &point);
    void LabelLibraryName_MouseDown(Qt::MouseButton button, const QPoint &point);
    // The Menu key or Shift+F10 in the tree: the right button's menu for the selected node, at the node.
    void TVRootFolder_MenuKey();

signals:
    // A tree node was expanded or clicked.
    void nodeExpanded(TreeNode node);
    void nodeClicked(TreeNode node);
    // A library menu entry was chosen; caption is the library's name.
    void libraryChosen(const QString &caption);
    // File/Exit, Help/About.
    void exitChosen();
    void aboutChosen();
    // File/View Log, File/Purge Log, Help/View Readme, Help/Display Current DM Settings.
    void logViewChosen();
    void logPurgeChosen();
    void readmeChosen();
    void settingsViewerChosen();
    // The user chose to open a move's report.
    void reportOpenChosen(const QString &fileName);
    // The move entries of the tree's pop-up menu, for the selected node.
    void convertFolderChosen();
    void convertAllFoldersChosen();
    void convertLibraryChosen();
    // "Preview move…" of the tree's pop-up menu, for the selected node.
    void previewMoveChosen();
    // Refresh of the tree's pop-up menu (F5): reload the node's level, or its library's whole tree.
    void refreshChosen(TreeNode node);
    // The ".." button beside the options and the Cancel button.
    void logDirClicked();
    void cancelClicked();
    // The window is being closed by the user or the window system: the program must unload.
    void unloadRequested();
    // endProgram() was called: the event loop should end.
    void programEnded();

protected:
    void closeEvent(QCloseEvent *event) override;
    bool eventFilter(QObject *watched, QEvent *event) override;

private:
    // Builders, each in its own file.
    void buildPanels();
    void buildMenus();
    void showConvertMenu(const ConvertMenuChoice &choice, const QPoint &globalPoint);
    // The menu that fits the item, at point (in the viewport's coordinates), or nothing.
    void popUpConvertMenu(QTreeWidgetItem *item, const QPoint &point);
    void buildMoveProgress();
    // The box of the move that has just ended, if it left a result or a report.
    void showResult();

    QLabel *counterLabel(MoveCounter which) const;
    // showMessage, with No as the default button of a Yes/No box when defaultNo is set.
    MessageAnswer messageBox(const QString &text, MessageIcon icon, MessageButtons buttons, bool defaultNo);

    MessagePresenter m_presenter;
    QPointer<QWidget> m_messageParent;
    MousePointer m_pointer = MousePointer::Default;
    bool m_programEnded = false;
    bool m_moveRunning = false;
    // Shown when the move that left them has handed the window back.
    struct PendingResult {
        QString text;
        MessageIcon icon;
    };
    std::optional<PendingResult> m_pendingResult;
    QString m_pendingReport;
    // What the log menus should show once the running move has ended.
    bool m_logMenusEnabled = false;
    // Everything a move disables, with the state each had before.
    QList<std::pair<QPointer<QObject>, bool>> m_disabledForMove;

    // Panels.
    QLabel *m_labelStatus = nullptr;
    QProgressBar *m_progress = nullptr;
    QPushButton *m_buttonCancel = nullptr;
    QLabel *m_labelTotal = nullptr;
    QLabel *m_labelRead = nullptr;
    QLabel *m_labelAdded = nullptr;
    QLabel *m_labelErrors = nullptr;
    QCheckBox *m_checkDisplayErrors = nullptr;
    QCheckBox *m_checkLogMethod = nullptr;
    QComboBox *m_comboTargetLibrary = nullptr;
    QPushButton *m_buttonLogDir = nullptr;
    QTreeWidget *m_tree = nullptr;
    std::unique_ptr<FolderTreeWidget> m_folderTree;
    QLabel *m_labelLibraryName = nullptr;
    QLabel *m_labelPrimaryGroup = nullptr;
    QLabel *m_labelUserName = nullptr;
    ElidedLabel *m_labelInstallation = nullptr;

    // Menus.
    QAction *m_logView = nullptr;
    QAction *m_logPurge = nullptr;
    QAction *m_helpReadme = nullptr;
    QMenu *m_convertMain = nullptr;
    QAction *m_previewMove = nullptr;
    QAction *m_convertFolder = nullptr;
    QAction *m_convertAllFolders = nullptr;
    QAction *m_convertLibrary = nullptr;
    QAction *m_refresh = nullptr;
    QMenu *m_libMain = nullptr;
    QList<QAction *> m_libList;
};
