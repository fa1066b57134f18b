#include "moveworld.h"
#include "support/testbackend.h"

#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "localdm/tools/librarycheck.h"
#include "migrate/convertfolder.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

MoveWorld::MoveWorld()
{
    // Written and closed once, so that the copies start from the same bytes.
    builder.save();
}

int MoveWorld::folder(const QString &library, const QString &name, const Access &access,
                      const QList<std::pair<QString, int>> &items, bool isPublic)
{
    const int made = folderWith(library, name, access, isPublic);
    for (const auto &[itemLibrary, item] : items)
        builder.link(library, made, itemLibrary, item);
    return made;
}

std::pair<QString, int> MoveWorld::doc(const QString &library, const QString &name)
{
    return {library, builder.addDocument(library, name)};
}

// The tree is found through the rows the builder wrote, as the move will find it.
void MoveWorld::plantedTree(int moved)
{
    m_moved = moved;
    QList<std::pair<QString, int>> open{{"LIB_SQL", moved}};
    while (!open.isEmpty()) {
        const std::pair<QString, int> folder = open.takeFirst();
        if (m_sourceFolders.contains(folder))
            continue;
        m_sourceFolders << folder;
        for (const QVariantList &row :
             builder.db(folder.first)
                 .query("SELECT FI.DOCNUMBER, RL.LIBRARY_NAME, FI.NODE_TYPE FROM FOLDER_ITEM FI JOIN "
                        "REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY WHERE FI.PARENT = ?1",
                        {folder.second})) {
            const std::pair<QString, int> item{row[1].toString(), row[0].toInt()};
            if (row[2].toString() == "F" && item.first != Target)
                open << item;
            else if (row[2].toString() != "F" && !m_documents.contains(item))
                m_documents << item;
        }
    }
    for (const QString library : {"LIB_SQL", "LIB_ORA"})
        for (const QVariantList &row : builder.db(library).query(
                 "SELECT P.DOCNUMBER, P.DOCNAME FROM PROFILE P JOIN FOLDER F ON F.DOCNUMBER = P.DOCNUMBER"))
            m_sourceAccess.insert(row[1].toString(), accessOf(library, row[0].toInt()));
    for (const auto &folder : std::as_const(m_sourceFolders)) {
        bool filed = false;
        for (const QString &library : Libraries)
            filed = filed || builder.db(library)
                                     .scalar("SELECT COUNT(*) FROM FOLDER_ITEM WHERE DOCNUMBER = ?1 AND "
                                             "LIBRARY = ?2",
                                             {folder.second, builder.remoteId(library, folder.first)})
                                     .toInt() > 0;
        if (!filed)
            m_topLevel.insert(folder);
    }
    // Copies of the world are made from its databases; on a server none may be open then.
    builder.closeConnections();
}

namespace {

// Where the copies live: a file system in memory where there is one, since a run writes and syncs its
// databases often.
QString copyTemplate()
{
    const QString memory = QStringLiteral("/dev/shm");
    return QFileInfo(memory).isDir() && QFileInfo(memory).isWritable()
               ? memory + QStringLiteral("/korvel-move-XXXXXX")
               : QDir::temp().filePath(QStringLiteral("korvel-move-XXXXXX"));
}

} // namespace

WorldCopy::WorldCopy(const Installation &built) : m_dir(copyTemplate()), m_installation(built)
{
    // The write-ahead file holds what the builder wrote last; the shared-memory index is rebuilt from it.
    for (LibraryConfig &library : m_installation.libraries) {
        if (library.onServer()) {
            library = CopyTestLibrary(library);
            continue;
        }
        const QString copy = m_dir.filePath(QFileInfo(library.databaseFile).fileName());
        for (const QString suffix : {"", "-wal"})
            if (QFile::exists(library.databaseFile + suffix)) {
                EXPECT_TRUE(QFile::copy(library.databaseFile + suffix, copy + suffix)) << copy.toStdString();
            }
        library.databaseFile = copy;
    }
    m_installation.fileName = m_dir.filePath("installation.ini");
    m_installation.save(m_installation.fileName);
}

namespace {

Installation withFaults(Installation installation, const QString &faults)
{
    installation.faults = faults;
    return installation;
}

} // namespace

CopySession::CopySession(const Installation &installation, const QString &home)
    : store(home + "/settings"), localDm(std::make_shared<LocalDm>(installation)), factory(localDm)
{
    log.setConfiguredLogPath(home + "/Korvel.LOG");
    EXPECT_TRUE(StartFusion(dm)) << ReadLogLines(log.currentLogFileName()).join(u'\n').toStdString();
}

MoveRun::MoveRun(const WorldCopy &copy, const QString &faults)
    : m_home(QDir(copy.path()).filePath(QStringLiteral("run-XXXXXX"))),
      m_run(withFaults(copy.installation(), faults), m_home.path())
{
    for (const QString library : {"LIB_ORA", "LIB_SYB", "LIB_SQL"})
        EXPECT_TRUE(ConnectLibrary(m_run.dm, library));
}

bool MoveRun::move(int folder)
{
    return ConvertFolder(m_run.dm, folder, "LIB_SQL", Target);
}

void MoveRun::answerEveryQuestionNo()
{
    m_run.window.answerUnscripted(MessageAnswer::No);
}

QStringList MoveRun::logLines() const
{
    return ReadLogLines(m_run.log.currentLogFileName());
}

QStringList MoveRun::violations()
{
    return LibraryCheck(*m_run.localDm).violations();
}

bool MoveRun::filedAnywhere(const std::pair<QString, int> &item)
{
    for (const QString &library : Libraries)
        if (db(library)
                .scalar("SELECT COUNT(*) FROM FOLDER_ITEM FI JOIN REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = "
                        "FI.LIBRARY WHERE FI.DOCNUMBER = ?1 AND RL.LIBRARY_NAME = ?2",
                        {item.second, item.first})
                .toInt() > 0)
            return true;
    return false;
}

QStringList MoveRun::brokenInvariants(MoveWorld &world)
{
    QStringList broken;
    for (const auto &document : world.documents())
        if (!filedAnywhere(document))
            broken << QString("document #%1 of %2 is filed in no folder")
                          .arg(document.second)
                          .arg(document.first);
    for (const auto &folder : world.sourceFolders())
        if (!world.topLevel().contains(folder) &&
            db(folder.first)
                    .scalar("SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1", {folder.second})
                    .toInt() > 0 &&
            !filedAnywhere(folder))
            broken << QString("folder #%1 of %2 is left with no parent").arg(folder.second).arg(folder.first);
    for (const QVariantList &row : db(Target).query(
             "SELECT P.DOCNUMBER, P.DOCNAME FROM PROFILE P JOIN FOLDER F ON F.DOCNUMBER = P.DOCNUMBER"))
        if (const auto source = world.sourceAccess().constFind(row[1].toString());
            source != world.sourceAccess().cend() &&
            CreateFixture::wider(CreateFixture::accessIn(db(Target), row[0].toInt()), *source))
            broken << QString("folder #%1 \"%2\" of %3 is more open than its source")
                          .arg(row[0].toInt())
                          .arg(row[1].toString(), Target);
    for (const QString &line : violations())
        broken << line;
    return broken;
}

namespace {

using Node = std::pair<QString, int>; // (library, document number)

// The folders of every library with the rows that lead to them, and the paths of names built on them.
class Paths {
public:
    void addFolder(const Node &folder, const QString &name) { m_names.insert(folder, name); }
    void addParent(const Node &item, const Node &parent) { m_parents[item] << parent; }
    bool isFolder(const Node &node) const { return m_names.contains(node); }

    // Every path of names from a folder with no parent down to this one, sorted, in one text.
    QString of(const Node &folder, int depth = 0)
    {
        if (const auto known = m_paths.constFind(folder); known != m_paths.cend())
            return *known;
        const QString name = folder.first + u':' + m_names.value(folder);
        QStringList paths;
        for (const Node &parent : m_parents.value(folder))
            paths << (depth > 32 ? QStringLiteral("...") : of(parent, depth + 1)) + u'/' + name;
        paths.sort();
        const QString path = paths.isEmpty() ? name : paths.join(QStringLiteral(" & "));
        m_paths.insert(folder, path);
        return path;
    }

private:
    QHash<Node, QString> m_names;
    QHash<Node, QList<Node>> m_parents;
    QHash<Node, QString> m_paths;
};

} // namespace

QStringList MoveRun::state()
{
    Paths paths;
    QList<std::pair<Node, Node>> items; // (folder, item)
    QStringList facts;
    for (const QString &library : Libraries)
        for (const QVariantList &row : db(library).query(
                 "SELECT P.DOCNUMBER, P.DOCNAME FROM PROFILE P JOIN FOLDER F ON F.DOCNUMBER = P.DOCNUMBER"))
            paths.addFolder({library, row[0].toInt()}, row[1].toString());
    for (const QString &library : Libraries)
        for (const QVariantList &row : db(library).query(
                 "SELECT FI.PARENT, RL.LIBRARY_NAME, FI.DOCNUMBER FROM FOLDER_ITEM FI LEFT JOIN "
                 "REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY")) {
            const Node item{row[1].toString(), row[2].toInt()};
            items.append({{library, row[0].toInt()}, item});
            paths.addParent(item, {library, row[0].toInt()});
        }
    for (const auto &[folder, item] : std::as_const(items))
        facts << folder.first + QStringLiteral(" item of ") + paths.of(folder) + QStringLiteral(": ") +
                     (paths.isFolder(item) ? paths.of(item)
                                           : QString("%1 #%2").arg(item.first).arg(item.second));
    for (const QString &library : Libraries) {
        // Each folder's trustees as "person=rights" in order, joined in code: both stores run this.
        QHash<int, QStringList> trustees;
        for (const QVariantList &row : db(library).query(
                 "SELECT P.DOCNUMBER, S.PERSONORGROUP, S.ACCESSRIGHTS FROM PROFILE P JOIN SECURITY S "
                 "ON S.THING = P.SYSTEM_ID ORDER BY S.PERSONORGROUP, S.ACCESSRIGHTS"))
            trustees[row[0].toInt()] << row[1].toString() + u'=' + row[2].toString();
        for (const QVariantList &row :
             db(library).query("SELECT P.DOCNUMBER, P.DEFAULT_RIGHTS, (SELECT COUNT(*) FROM ROOT_OBJECT R "
                               "WHERE R.DOCNUMBER = P.DOCNUMBER) FROM PROFILE P "
                               "JOIN FOLDER F ON F.DOCNUMBER = P.DOCNUMBER"))
            facts << library + QStringLiteral(" folder ") + paths.of({library, row[0].toInt()}) +
                         QString(": rights %1, root rows %2, trustees %3")
                             .arg(row[1].toInt())
                             .arg(row[2].toInt())
                             .arg(trustees.value(row[0].toInt()).join(u' '));
    }
    facts.sort();
    return facts;
}
