// The main window while a move runs: the progress bar, the confirmation, and everything that is
// disabled until the move ends.

#include "app/dmmain.h"
#include "app/foldertreewidget.h"
#include "app/previewdialog.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QGroupBox>
#include <QLabel>
#include <QLayout>
#include <QMenu>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QTreeWidget>

namespace {

constexpr int ProgressSteps = 1000;

void enable(QObject *object, bool enabled)
{
    if (auto *widget = qobject_cast<QWidget *>(object))
        widget->setEnabled(enabled);
    else if (auto *action = qobject_cast<QAction *>(object))
        action->setEnabled(enabled);
}

bool enabled(const QObject *object)
{
    if (const auto *widget = qobject_cast<const QWidget *>(object))
        return widget->isEnabled();
    return qobject_cast<const QAction *>(object)->isEnabled();
}

} // namespace

// The bar takes a row of its own under the status frame, so that showing it never widens the window,
// and shows only while a move runs.
void DMMain::buildMoveProgress()
{
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(QStringLiteral("ProgressMove"));
    m_progress->setToolTip(QStringLiteral("How far the running move has come."));
    m_progress->setRange(0, ProgressSteps);
    m_progress->setTextVisible(true);
    m_progress->hide();
    auto *rows = qobject_cast<QBoxLayout *>(centralWidget()->layout());
    rows->insertWidget(rows->indexOf(findChild<QGroupBox *>(QStringLiteral("FrameStatus"))) + 1, m_progress);
}

// No is the default, as in the console: an Enter meant for something else must not start a move.
MessageAnswer DMMain::confirmMove(const QString &question)
{
    return messageBox(question, MessageIcon::Question, MessageButtons::YesNo, true);
}

void DMMain::setMoveRunning(bool running)
{
    if (running == m_moveRunning)
        return;
    m_moveRunning = running;
    if (!running) {
        for (const auto &[object, wasEnabled] : std::as_const(m_disabledForMove))
            if (object)
                enable(object, wasEnabled);
        m_disabledForMove.clear();
        // A cancel's colour belongs to the move it stopped.
        m_labelStatus->setPalette(QPalette());
        setLogMenusEnabled(m_logMenusEnabled);
        showResult();
        return;
    }
    // Every entry of the menus (their shortcuts too), the tree with its pop-up, the library label
    // with its menu, the target list and the log path: each could switch or end the session.
    QList<QObject *> disabled{m_tree, m_comboTargetLibrary, m_buttonLogDir, m_labelLibraryName};
    QList<QMenu *> menus{m_convertMain, m_libMain};
    for (QAction *top : menuBar()->actions())
        if (top->menu())
            menus << top->menu();
    for (QMenu *menu : std::as_const(menus))
        for (QAction *action : menu->actions())
            disabled << action;
    for (QObject *object : std::as_const(disabled)) {
        // A hidden action is inert (no entry, no shortcut) and reports itself disabled whatever it was
        // set to: saving that and putting it back would leave it disabled once it shows again.
        if (const auto *action = qobject_cast<const QAction *>(object); action && !action->isVisible())
            continue;
        m_disabledForMove.append({QPointer<QObject>(object), enabled(object)});
        enable(object, false);
    }
}

// The bar fills by the share of the command's work that the core counts done, so that it stands short
// of full while a folder's check and removal still run; the text names the phase.
void DMMain::showProgress(const MoveProgress &progress)
{
    QString text = QStringLiteral("Folder %1 of %2").arg(progress.folder).arg(progress.folders);
    if (progress.items > 0 && progress.phase == MovePhase::Linking)
        text += QStringLiteral(", item %1 of %2").arg(progress.item).arg(progress.items);
    text += QStringLiteral(" - ") + MovePhaseText(progress.phase);
    if (progress.items > 0 && progress.phase != MovePhase::Linking)
        text += QStringLiteral(", folder %1 of %2").arg(progress.item).arg(progress.items);
    m_progress->setValue(int(progress.share * ProgressSteps));
    if (const QString left = TimeLeftText(progress.secondsLeft); !left.isEmpty())
        text += QStringLiteral(" - ") + left;
    m_progress->setFormat(text);
    m_progress->show();
}

void DMMain::hideProgress()
{
    m_progress->hide();
    m_progress->reset();
    m_progress->resetFormat();
}

// The result and the report are ready before the command hands the window back; they are shown once the
// window is live again and the bar is gone, so that the report's viewer can be used.
void DMMain::showMoveResult(const QString &text, MessageIcon icon)
{
    m_pendingResult = {text, icon};
    if (!m_moveRunning)
        showResult();
}

void DMMain::offerReport(const QString &fileName)
{
    m_pendingReport = fileName;
    if (!m_moveRunning)
        showResult();
}

void DMMain::showResult()
{
    const std::optional<PendingResult> result = std::exchange(m_pendingResult, std::nullopt);
    const QString report = std::exchange(m_pendingReport, QString());
    if (!result && report.isEmpty())
        return;
    QString text = result ? result->text : QString();
    // A result that names the report already (a failure's does) is not made longer by naming it again.
    const QString shownReport = QDir::toNativeSeparators(report);
    if (!report.isEmpty() && !text.contains(shownReport))
        text += (text.isEmpty() ? QString() : QStringLiteral("\n\n")) +
                QStringLiteral("The report of this move is saved as ") + shownReport + u'.';
    if (messageBox(text, result ? result->icon : MessageIcon::Information,
                   report.isEmpty() ? MessageButtons::Ok : MessageButtons::OkOpenReport,
                   false) == MessageAnswer::OpenReport)
        emit reportOpenChosen(report);
}

void DMMain::showPreview(const QString &text, bool movable)
{
    auto *dialog = new PreviewDialog(text, movable, this);
    const std::optional<ConvertMenuChoice> choice = ConvertMenuFor(*m_folderTree, selectedNode());
    if (!choice)
        dialog->setMovable(false);
    else
        connect(dialog, &PreviewDialog::moveNowChosen, this, [this, entry = choice->entry] {
            switch (entry) {
            case ConvertMenuChoice::Folder:
                emit convertFolderChosen();
                break;
            case ConvertMenuChoice::AllFolders:
                emit convertAllFoldersChosen();
                break;
            case ConvertMenuChoice::Library:
                emit convertLibraryChosen();
                break;
            }
        });
    dialog->open();
}

TreeNode DMMain::selectedNode() const
{
    return FolderTreeWidget::node(m_tree->currentItem());
}
