#include "browse/folderbrowser.h"

#include "browse/folderqueries.h"
#include "browse/foldertags.h"
#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "settings/leadingnumber.h"

FolderBrowser::FolderBrowser(DmContext &dm, FolderTreeView &tree) : m_dm(dm), m_tree(tree) {}

TreeNode FolderBrowser::AddLibraryNodes(const QString &libraryName)
{
    const TreeNode library =
        m_tree.addNode(TreeNode::None, libraryName, LibraryTag(libraryName), LibraryImage, LibraryImage);
    for (const auto &[text, tag] : {std::pair(QStringLiteral("Public"), PublicTag()),
                                    std::pair(QStringLiteral("Shared/Personal"), SharedTag())}) {
        const TreeNode category = m_tree.addNode(library, text, tag, CategoryImage, CategoryOpenImage);
        m_tree.addNode(category, PlaceholderText(), QString(), CategoryImage, CategoryOpenImage);
    }
    return library;
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
    const QString status = window.statusText();
    const MousePointer pointer = window.mousePointer();
    QString rememberedLibrary;
    try {
        rememberedLibrary = s.currentLibrary->name();
        window.setMousePointer(MousePointer::Hourglass);
        window.setStatusText(QStringLiteral("Retrieving folders from library ") + libraryName);
        window.processEvents();
        if (ConnectLibrary(m_dm, libraryName)) {
            const QString statement = FolderLevelQuery(FolderNumber(tag), peopleId(), libraryName);
            // A refused level query shows the level empty, as one that found nothing.
            const SqlRows rows = QueryRows(m_dm, statement);
            for (qsizetype i = 0; i < rows.size(); ++i) {
                const qint32 docNumber = leadingInt32(rows.value(i, 1).toString());
                const QString name = rows.value(i, 2).toString();
                if (docNumber != 0 && !name.isEmpty()) {
                    const TreeNode folder =
                        m_tree.addNode(node, name, FolderTag(docNumber), FolderImage, FolderOpenImage);
                    m_tree.addNode(folder, PlaceholderText(), QString(), FolderImage, FolderOpenImage);
                }
            }
            if (!rows.isEmpty())
                m_tree.makeVisible(node);
        }
    } catch (const DmError &error) {
        log.WriteDashLine();
        log.WriteLog(QStringLiteral("GetFolders:"));
        log.ReportError(error.number(), error.source(), error.description());
    }

    // The browsed library was only borrowed for the query: every later statement expects the
    // library the user chose.
    if (!rememberedLibrary.isEmpty())
        ConnectLibrary(m_dm, rememberedLibrary);
    window.setStatusText(status);
    window.setMousePointer(pointer);
    return false;
}

qint32 FolderBrowser::peopleId()
{
    DmSession &s = m_dm.session;
    qint32 &id = m_peopleIds[s.currentLibrary->name().toUpper()];
    if (id == 0) {
        RunSQL(m_dm, PeopleIdQuery(s.currentLibrary->userId()));
        id = leadingInt32(SqlColumn(s, 1).toString());
        ReleaseResults(s);
    }
    return id;
}

void FolderBrowser::TVRootFolder_Expand(TreeNode node)
{
    if (m_tree.childCount(node) != 1)
        return;
    TreeNode top = node;
    while (m_tree.parentNode(top) != TreeNode::None)
        top = m_tree.parentNode(top);
    GetFolders(node, m_tree.text(top), m_tree.tag(node));
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
