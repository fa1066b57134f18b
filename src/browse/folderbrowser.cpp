#include "browse/folderbrowser.h"

#include "browse/folderqueries.h"
#include "browse/foldertags.h"
#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "dm/sessionguard.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "settings/leadingnumber.h"

FolderBrowser::FolderBrowser(DmContext &dm, FolderTreeView &tree) : m_dm(dm), m_tree(tree) {}

TreeNode FolderBrowser::AddLibraryNodes(const QString &libraryName)
{
    const TreeNode library =
        m_tree.addNode(TreeNode::None, libraryName, LibraryTag(libraryName), LibraryImage, LibraryImage);
    addCategories(library);
    return library;
}

void FolderBrowser::addCategories(TreeNode library)
{
    for (const auto &[text, tag] : {std::pair(QStringLiteral("Public"), PublicTag()),
                                    std::pair(QStringLiteral("Shared/Personal"), SharedTag())})
        addPlaceholder(m_tree.addNode(library, text, tag, CategoryImage, CategoryOpenImage));
}

bool FolderBrowser::GetFolders(TreeNode node, const QString &libraryName, const QString &tag)
{
    DmSession &s = m_dm.session;
    ActivityLog &log = m_dm.log;
    WindowSeam &window = m_dm.window;

    if (!CheckFusion(m_dm, QStringLiteral("GetFolders")))
        return false;
    if (!s.currentLibrary) {
        log.WriteLog(QStringLiteral("Error: Library object not set - cannot continue"));
        log.WriteDashLine();
        return false;
    }
    if (m_tree.childCount(node) == 1) {
        const TreeNode only = m_tree.child(node, 0);
        if (m_tree.text(only) != PlaceholderText())
            return false;
        m_tree.removeNode(only);
    }

    window.processEvents();
    // The browsed library is only borrowed for the query: every later statement expects the library the
    // user chose.
    const SessionGuard entry(m_dm, SessionGuard::Window::Restore);
    bool loaded = false;
    try {
        window.setMousePointer(MousePointer::Hourglass);
        window.setStatusText(QStringLiteral("Retrieving folders from library ") + libraryName);
        window.processEvents();
        loaded = ConnectLibrary(m_dm, libraryName) && loadLevel(node, libraryName, tag);
    } catch (const DmError &error) {
        ReportTrapped(log, QStringLiteral("GetFolders"), error);
    }
    // A level that did not load shows as not loaded, so that opening it again tries again.
    if (!loaded) {
        addPlaceholder(node);
        m_tree.collapse(node);
    }
    return false;
}

bool FolderBrowser::loadLevel(TreeNode node, const QString &libraryName, const QString &tag)
{
    const std::optional<qint32> person = peopleId(libraryName);
    if (!person)
        return false;
    const SqlRows rows = QueryRows(m_dm, FolderLevelQuery(FolderNumber(tag), *person, libraryName));
    if (rows.failed()) {
        reportLevelFailure(libraryName, rows);
        return false;
    }
    for (qsizetype i = 0; i < rows.size(); ++i) {
        const qint32 docNumber = leadingInt32(rows.value(i, 1).toString());
        const QString name = rows.value(i, 2).toString();
        if (docNumber != 0 && !name.isEmpty())
            addPlaceholder(m_tree.addNode(node, name, FolderTag(docNumber), FolderImage, FolderOpenImage));
    }
    if (!rows.isEmpty())
        m_tree.makeVisible(node);
    return true;
}

void FolderBrowser::reportLevelFailure(const QString &libraryName, const SqlRows &rows)
{
    const QString message = QStringLiteral("Error: Unable to retrieve folders from library ") + libraryName +
                            QStringLiteral(": ") + rows.errorText();
    m_dm.log.WriteLog(message);
    if (m_dm.window.displayErrors())
        m_dm.window.showMessage(message, MessageIcon::Warning);
}

void FolderBrowser::addPlaceholder(TreeNode node)
{
    // The placeholder shows the pictures of the node it stands under: a category's or a folder's.
    const bool category = FolderNumber(m_tree.tag(node)) <= 0;
    m_tree.addNode(node, PlaceholderText(), QString(), category ? CategoryImage : FolderImage,
                   category ? CategoryOpenImage : FolderOpenImage);
}

std::optional<qint32> FolderBrowser::peopleId(const QString &libraryName)
{
    qint32 &id = m_peopleIds[m_dm.session.currentLibrary->name().toUpper()];
    if (id == 0) {
        const SqlRows rows = QueryRows(m_dm, PeopleIdQuery(m_dm.session.currentLibrary->userId()));
        // Without the user's id the level query would run for nobody and find nothing, silently.
        if (rows.failed()) {
            reportLevelFailure(libraryName, rows);
            return std::nullopt;
        }
        id = leadingInt32(rows.value(0, 1).toString());
    }
    return id;
}

TreeNode FolderBrowser::libraryNodeOf(TreeNode node) const
{
    while (m_tree.parentNode(node) != TreeNode::None)
        node = m_tree.parentNode(node);
    return node;
}

void FolderBrowser::MNRefresh_Click(TreeNode node)
{
    if (node == TreeNode::None)
        return;
    // A placeholder stands for its parent's level.
    if (m_tree.tag(node).isEmpty())
        node = m_tree.parentNode(node);
    if (node == TreeNode::None)
        return;
    while (m_tree.childCount(node) > 0)
        m_tree.removeNode(m_tree.child(node, 0));
    if (m_tree.parentNode(node) == TreeNode::None) {
        // The library's levels load again as they are opened.
        addCategories(node);
        return;
    }
    addPlaceholder(node);
    GetFolders(node, m_tree.text(libraryNodeOf(node)), m_tree.tag(node));
    // The reloaded level is shown open; a level that did not load stays closed.
    if (m_tree.childCount(node) > 0 && !m_tree.tag(m_tree.child(node, 0)).isEmpty())
        m_tree.makeVisible(m_tree.child(node, 0));
}

void FolderBrowser::TVRootFolder_Expand(TreeNode node)
{
    if (m_tree.childCount(node) != 1)
        return;
    GetFolders(node, m_tree.text(libraryNodeOf(node)), m_tree.tag(node));
}

void FolderBrowser::TVRootFolder_NodeClick(TreeNode node)
{
    if (node == TreeNode::None || m_tree.parentNode(node) != TreeNode::None)
        return;
    WindowSeam &window = m_dm.window;
    const QString library = m_tree.text(node);
    try {
        if (m_dm.session.currentLibrary && m_dm.session.currentLibrary->name() == library)
            return;
    } catch (const DmError &) {
        // A library object that cannot tell its name is replaced by the switch below.
    }
    const QString status = window.statusText();
    window.setStatusText(QStringLiteral("Connecting to ") + library);
    window.setMousePointer(MousePointer::Hourglass);
    window.processEvents();
    ConnectLibrary(m_dm, library);
    window.setStatusText(status);
    window.setMousePointer(MousePointer::Default);
}

std::optional<ConvertMenuChoice> ConvertMenuFor(const FolderTreeView &tree, TreeNode node)
{
    if (node == TreeNode::None)
        return std::nullopt;
    const QString text = tree.text(node);
    const QString tag = tree.tag(node);
    if (text.isEmpty() || tag.isEmpty())
        return std::nullopt;
    if (tree.parentNode(node) == TreeNode::None)
        return ConvertMenuChoice{ConvertMenuChoice::Library,
                                 QStringLiteral("Move all folders from library ") + text};
    if (FolderNumber(tag) > 0)
        return ConvertMenuChoice{ConvertMenuChoice::Folder, QStringLiteral("Move folder ") + text};
    return ConvertMenuChoice{ConvertMenuChoice::AllFolders,
                             QStringLiteral("Move all ") + text + QStringLiteral(" folders")};
}

void FolderBrowser::MNLibList_Click(const QString &caption)
{
    WindowSeam &window = m_dm.window;
    window.setMousePointer(MousePointer::Hourglass);
    window.processEvents();
    ConnectLibrary(m_dm, caption);
    window.setMousePointer(MousePointer::Default);
    window.processEvents();
}
