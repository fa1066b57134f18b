#include "migrate/createfolder.h"

#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dm/sessionguard.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "migrate/deletefolder.h"
#include "migrate/foldersteps.h"
#include "migrate/movereport.h"
#include "migrate/securitycopy.h"
#include "settings/leadingnumber.h"
#include "settings/product.h"

#include <cmath>
#include <optional>

namespace {

// Runs a DM call whose failure the procedure deliberately lets pass.
template <typename Call> void ignoringErrors(Call call)
{
    try {
        call();
    } catch (const DmError &) {
    }
}

// One call of CreateFolder after its entry checks. Each step returns false once the call is over: the
// result is then whatever m_result holds.
class FolderCreation {
public:
    FolderCreation(DmContext &dm, const QString &name, int parent, bool isRoot, const QString &targetLib,
                   int sourceDoc, const QString &sourceLib, ParentSort parentSort,
                   const PlannedCreation *planned)
        : m_dm(dm), m_s(dm.session), m_log(dm.log), m_entry(dm), m_name(name), m_quoted(Quoted(name)),
          m_parent(parent), m_isRoot(isRoot), m_target(targetLib), m_sourceDoc(sourceDoc),
          m_sourceLib(sourceLib), m_parentSort(parentSort), m_planned(planned)
    {
    }

    int run();

private:
    bool mayCreate();
    bool findInParent();
    bool findBySql();
    bool removeHalfMade(const QList<int> &folders);
    bool removeLeftovers();
    std::optional<FolderAccess> plannedSourceAccess() const
    {
        return m_planned ? m_planned->sourceAccess : std::nullopt;
    }
    bool reuse(int found);
    bool asPlanned(int found, std::optional<TakeUpChoice> choice);
    bool createObject();
    bool readSourceColumns();
    bool fillColumns();
    bool save();
    bool correctRows();
    bool inheritFromParent();
    bool copySecurity();
    bool link();
    void trapped(const DmError &error);
    void leave();

    bool fail(const QString &line);
    bool sqlStep(const QString &statement, qint64 *affected = nullptr);
    void noteDuration(const QDateTime &started);
    QString n() const { return NumberText(m_number); }

    DmContext &m_dm;
    DmSession &m_s;
    ActivityLog &m_log;
    // The library only: the status line and the pointer are the calling move's.
    SessionGuard m_entry;
    const QString m_name;
    const QString m_quoted;
    const int m_parent;
    const bool m_isRoot;
    QString m_target;
    const int m_sourceDoc;
    const QString m_sourceLib;
    const ParentSort m_parentSort;
    const PlannedCreation *m_planned;
    bool m_planHeld = false; // what the plan found in the folder's place was found again

    QList<std::pair<QString, QVariant>> m_sourceColumns;
    int m_number = 0;
    // False from the moment a new profile exists until its security has been settled.
    bool m_secured = true;
    // True once the new folder is filed where a later run looks for it.
    bool m_linked = false;
    int m_result = 0;
};

int FolderCreation::run()
{
    try {
        if (mayCreate() && findInParent() && findBySql() && removeLeftovers() && createObject() &&
            readSourceColumns() && fillColumns() && save() && correctRows() && inheritFromParent() &&
            copySecurity() && link()) {
            ClearCreationActivity(m_dm, m_target, m_number);
        }
    } catch (const DmError &error) {
        trapped(error);
    }
    leave();
    return m_result;
}

bool FolderCreation::fail(const QString &line)
{
    m_log.WriteLog(line);
    m_log.WriteDashLine();
    m_result = 0;
    return false;
}

// A statement that has to go through: a refused one ends the creation.
bool FolderCreation::sqlStep(const QString &statement, qint64 *affected)
{
    const SqlRows rows = QueryRows(m_dm, statement);
    if (affected)
        *affected = rows.rowsAffected;
    if (!rows.failed())
        return true;
    return fail(QStringLiteral("Error: Unable to update folder ") + m_quoted + QStringLiteral(" (#") + n() +
                QStringLiteral(") in library ") + m_target + QStringLiteral(": SQL error ") +
                rows.errorText());
}

void FolderCreation::noteDuration(const QDateTime &started)
{
    const double seconds = started.msecsTo(m_log.now()) / 1000.0;
    if (seconds > 1) {
        m_log.WriteLog(QStringLiteral("Note: Process took ") + QString::number(std::llround(seconds)) +
                       QStringLiteral(" second(s)."));
        m_log.WriteDashLine();
    }
}

bool FolderCreation::mayCreate()
{
    if (!MaySaveInto(m_dm, m_target))
        return false;
    if (m_target.isEmpty())
        m_target = m_s.currentLibrary->name();
    const std::shared_ptr<DmLibrary> target = FindLibrary(m_s, m_target);
    if (target && (!LibraryFlag(*target, QStringLiteral("User.CreateFolder")) ||
                   (m_isRoot && !LibraryFlag(*target, QStringLiteral("User.ManageRootFolders")))))
        return fail(NoFolderRightsLine(*target));
    return true;
}

} // namespace

// Only a subfolder of the target library counts: a document of the same name, or a folder of another
// library filed in the parent, is not the folder.
std::optional<int> SubfolderNamed(DmContext &dm, const QString &FolderName, int ParentDocNumber,
                                  const QString &TargetLib)
{
    DmSession &s = dm.session;
    const int count = s.libraries ? s.libraries->count() : 0;
    for (int i = 1; i <= count; ++i) {
        const std::shared_ptr<DmLibrary> library = s.libraries->item(i);
        // Case-sensitive on purpose: the DM's own spelling of the library is the one looked in.
        if (library && library->name() == TargetLib) {
            s.sharedFolder = library->openFolder(ParentDocNumber);
            break;
        }
    }
    if (!s.sharedFolder)
        return std::nullopt;
    int found = 0;
    const std::shared_ptr<DmLibrary> target = FindLibrary(s, TargetLib);
    const QString key = target ? TwinKey(*target, FolderName) : QString();
    const std::shared_ptr<DmItemCollection> subfolders = s.sharedFolder->subfolders();
    const int items = subfolders->count();
    for (int i = 1; i <= items && found == 0; ++i) {
        const std::shared_ptr<DmItem> item = subfolders->item(i);
        if (item->libraryName().compare(TargetLib, Qt::CaseInsensitive) == 0 && target &&
            TwinKey(*target, item->name()) == key)
            found = item->documentNumber();
    }
    s.sharedFolder.reset();
    return found;
}

namespace {

bool FolderCreation::findInParent()
{
    if (m_parent == 0)
        return true;
    m_log.ShowStatus(QStringLiteral("Checking for existence of folder ") + m_quoted +
                     QStringLiteral(" in parent folder #") + NumberText(m_parent) +
                     QStringLiteral(" in library ") + m_target);
    m_log.WriteDashLine();
    const std::optional<int> inParent = SubfolderNamed(m_dm, m_name, m_parent, m_target);
    const int found = inParent.value_or(0);
    if (!inParent) {
        m_log.WriteLog(QStringLiteral("Note: Unable to open folder object for parent folder #") +
                       NumberText(m_parent));
        m_log.WriteDashLine();
    }
    if (found == 0) {
        m_log.WriteLog(QStringLiteral("Folder ") + m_quoted + QStringLiteral(" does not already exist") +
                       QStringLiteral(" in parent folder #") + NumberText(m_parent));
        m_log.WriteDashLine();
        return true;
    }
    m_log.WriteLog(QStringLiteral("Folder ") + m_quoted + QStringLiteral(" already exists as item #") +
                   NumberText(found) + QStringLiteral(" in parent folder #") + NumberText(m_parent));
    m_log.WriteDashLine();
    return reuse(found);
}

} // namespace

// Under a parent: a subfolder row of the target library in a folder of the target library. At the top
// level: a folder that no folder holds, whose root status is the one asked for and which, when private,
// this program made (another user's private folder of the same name is theirs).
SqlRows FoldersNamed(DmContext &dm, const QString &FolderName, int ParentDocNumber, bool IsRoot,
                     const QString &TargetLib)
{
    // UPPER on both sides: the library's own case mapping, which may differ from Qt's.
    const QString name = SqlSafe(FolderName);
    const QString target = SqlEscape(TargetLib);
    QString statement;
    if (ParentDocNumber != 0) {
        statement =
            QStringLiteral("SELECT FI.DOCNUMBER FROM [OWNER].FOLDER_ITEM FI "
                           "LEFT OUTER JOIN [OWNER].REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY "
                           "LEFT OUTER JOIN [OWNER].REMOTE_LIBRARIES PL ON PL.SYSTEM_ID = FI.PARENT_LIBRARY "
                           "WHERE FI.PARENT = ") +
            NumberText(ParentDocNumber) +
            QStringLiteral(" AND FI.NODE_TYPE = 'F' AND UPPER(FI.DISPLAYNAME) = UPPER('") + name +
            QStringLiteral("') AND RL.LIBRARY_NAME = '") + target +
            QStringLiteral("' AND PL.LIBRARY_NAME = '") + target + u'\'';
    } else {
        statement =
            QStringLiteral("SELECT PR.DOCNUMBER FROM [OWNER].PROFILE PR LEFT OUTER JOIN [OWNER].APPS A ON "
                           "A.SYSTEM_ID = PR.APPLICATION WHERE A.APPLICATION = 'FOLDER' AND "
                           "UPPER(PR.DOCNAME) = UPPER('") +
            name +
            QStringLiteral("') AND PR.DOCNUMBER NOT IN (SELECT FI.DOCNUMBER FROM [OWNER].FOLDER_ITEM FI "
                           "LEFT OUTER JOIN [OWNER].REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY "
                           "WHERE FI.NODE_TYPE = 'F' AND RL.LIBRARY_NAME = '") +
            SqlEscape(dm.session.currentLibrary->name()) + QStringLiteral("')");
        statement +=
            IsRoot
                ? QStringLiteral(" AND PR.DOCNUMBER IN (SELECT RO.DOCNUMBER FROM [OWNER].ROOT_OBJECT RO)")
                : QStringLiteral(" AND PR.DOCNUMBER NOT IN (SELECT RO.DOCNUMBER FROM [OWNER].ROOT_OBJECT RO) "
                                 "AND PR.DOCNUMBER IN (SELECT F.DOCNUMBER FROM [OWNER].FOLDER F "
                                 "WHERE F.PATH = '") +
                      SqlEscape(ProductName()) + QStringLiteral("')");
    }
    return QueryRows(dm, statement);
}

namespace {

SqlRows halfMadeFolders(DmContext &dm, const QString &columns, const QString &match)
{
    const DmSession &s = dm.session;
    return QueryRows(
        dm,
        QStringLiteral("SELECT ") + columns +
            QStringLiteral(
                " FROM [OWNER].PROFILE PR LEFT OUTER JOIN [OWNER].APPS A ON "
                "A.SYSTEM_ID = PR.APPLICATION LEFT OUTER JOIN [OWNER].PEOPLE T ON T.SYSTEM_ID = PR.TYPIST "
                "WHERE A.APPLICATION = 'FOLDER' AND ") +
            match + QStringLiteral(" AND UPPER(T.USER_ID) = '") +
            SqlEscape(s.currentLibrary->userId().toUpper()) +
            QStringLiteral("' AND PR.DOCNUMBER NOT IN (SELECT FI.PARENT FROM [OWNER].FOLDER_ITEM FI) "
                           "AND PR.DOCNUMBER IN (SELECT F.DOCNUMBER FROM [OWNER].FOLDER F WHERE F.PATH = '") +
            SqlEscape(ProductName()) +
            QStringLiteral("' OR (F.PATH IS NULL AND F.DOCNUMBER IN (SELECT AL.DOCNUMBER FROM "
                           "[OWNER].ACTIVITYLOG AL WHERE AL.DOCNUMBER = F.DOCNUMBER") +
            TodaysActivityOfMover(s) + QStringLiteral(")))"));
}

} // namespace

SqlRows HalfMadeFolders(DmContext &dm, const QString &match)
{
    return halfMadeFolders(dm, QStringLiteral("PR.DOCNUMBER"), match);
}

std::optional<QList<HalfMadeFolder>> ReadHalfMadeFolders(DmContext &dm, QString &error)
{
    const SqlRows rows = halfMadeFolders(
        dm,
        QStringLiteral(
            "PR.DOCNUMBER, PR.DOCNAME, (SELECT COUNT(*) FROM [OWNER].FOLDER_ITEM FI LEFT OUTER JOIN "
            "[OWNER].REMOTE_LIBRARIES RL ON RL.SYSTEM_ID = FI.LIBRARY WHERE FI.DOCNUMBER = "
            "PR.DOCNUMBER AND FI.NODE_TYPE = 'F' AND RL.LIBRARY_NAME = '") +
            SqlEscape(dm.session.currentLibrary->name()) +
            QStringLiteral(
                "'), (SELECT COUNT(*) FROM [OWNER].ROOT_OBJECT RO WHERE RO.DOCNUMBER = PR.DOCNUMBER), "
                "(SELECT COUNT(*) FROM [OWNER].ACTIVITYLOG AL WHERE AL.DOCNUMBER = PR.DOCNUMBER") +
            TodaysActivityOfMover(dm.session) + u')',
        QStringLiteral("1 = 1"));
    if (rows.failed()) {
        error = rows.errorText();
        return std::nullopt;
    }
    QList<HalfMadeFolder> folders;
    for (qsizetype r = 0; r < rows.size(); ++r)
        folders << HalfMadeFolder{leadingInt32(rows.value(r, 1).toString()), rows.value(r, 2).toString(),
                                  leadingInt32(rows.value(r, 3).toString()) != 0,
                                  leadingInt32(rows.value(r, 4).toString()) != 0,
                                  leadingInt32(rows.value(r, 5).toString()) != 0};
    return folders;
}

QList<int> LeftoversAmong(const QList<HalfMadeFolder> &folders, const QString &FolderName,
                          int ParentDocNumber)
{
    // As the search by SQL compares: the name as its literal holds it, ignoring case and trailing blanks.
    const QString name = SqlSafe(FolderName).replace(QStringLiteral("''"), QStringLiteral("'"));
    QList<int> found;
    for (const HalfMadeFolder &folder : folders) {
        QString candidate = folder.name;
        while (candidate.endsWith(u' '))
            candidate.chop(1);
        if (candidate.compare(name, Qt::CaseInsensitive) == 0 && folder.number != ParentDocNumber &&
            !folder.filedAsFolder && !folder.root && (ParentDocNumber != 0 || folder.madeToday))
            found << folder.number;
    }
    return found;
}

namespace {

bool FolderCreation::findBySql()
{
    if (!ConnectLibrary(m_dm, m_target))
        return fail(QStringLiteral("Error: Unable to connect to library ") + m_target);
    const SqlRows rows = FoldersNamed(m_dm, m_name, m_parent, m_isRoot, m_target);
    if (rows.failed())
        return fail(QStringLiteral("Error: Unable to check whether folder ") + m_quoted +
                    QStringLiteral(" exists in library ") + m_target + QStringLiteral(": SQL error ") +
                    rows.errorText());
    if (m_parent == 0 && rows.size() > 1) {
        m_log.WriteLog(QStringLiteral("Warning: There are ") + QString::number(rows.size()) +
                       QStringLiteral(" folders that have the name ") + m_quoted +
                       QStringLiteral(" - I will select the first one"));
        m_log.WriteDashLine();
    }
    const int found = rows.isEmpty() ? 0 : leadingInt32(rows.value(0, 1).toString());
    if (found == 0)
        return true;
    m_log.WriteLog(
        QStringLiteral("Folder ") + m_quoted + QStringLiteral(" already exists as item #") +
        NumberText(found) +
        (m_parent != 0 ? QStringLiteral(" in parent folder #") + NumberText(m_parent) : QString()));
    m_log.WriteDashLine();
    return reuse(found);
}

bool FolderCreation::removeHalfMade(const QList<int> &folders)
{
    for (const int leftover : folders) {
        m_log.WriteLog(QStringLiteral("Removing folder #") + NumberText(leftover) + u' ' + m_quoted +
                       QStringLiteral(" left half-made in library ") + m_target +
                       QStringLiteral(" by an earlier run"));
        if (!DeleteFolder(m_dm, leftover, m_target) || !ConnectLibrary(m_dm, m_target))
            return fail(QStringLiteral("Error: Unable to remove folder #") + NumberText(leftover) + u' ' +
                        m_quoted + QStringLiteral(" left half-made in library ") + m_target);
    }
    return true;
}

// Nothing stands in the folder's place to be taken up. A folder saved but never filed or made public when
// its run ended is where nothing finds it: it goes before its successor is made.
bool FolderCreation::removeLeftovers()
{
    QList<int> found;
    if (m_planned && m_planned->leftovers) {
        found = *m_planned->leftovers;
    } else {
        QString error;
        const std::optional<QList<HalfMadeFolder>> halfMade = ReadHalfMadeFolders(m_dm, error);
        if (!halfMade)
            return fail(QStringLiteral("Error: Unable to look for a folder ") + m_quoted +
                        QStringLiteral(" left half-made by an earlier run in library ") + m_target +
                        QStringLiteral(": SQL error ") + error);
        found = LeftoversAmong(*halfMade, m_name, m_parent);
    }
    return asPlanned(found.value(0),
                     found.isEmpty() ? std::nullopt : std::optional<TakeUpChoice>(TakeUpChoice::MakeAnew)) &&
           removeHalfMade(found);
}

// Ends the call with the found folder, unless it would give access its source does not.
bool FolderCreation::reuse(int found)
{
    m_result = found;
    if (m_sourceLib.isEmpty() || m_sourceDoc == 0)
        return false;
    const auto refuse = [&](const QString &why) {
        return fail(QStringLiteral("Error: Folder ") + m_quoted + QStringLiteral(" (#") + NumberText(found) +
                    QStringLiteral(" in library ") + m_target + QStringLiteral(") is not reused: ") + why);
    };
    if (!ConnectLibrary(m_dm, m_sourceLib))
        return refuse(QStringLiteral("library ") + m_sourceLib + QStringLiteral(" cannot be connected"));
    const std::optional<FolderAccess> source = ReadFolderAccess(m_dm, m_sourceDoc);
    if (!ConnectLibrary(m_dm, m_target))
        return refuse(QStringLiteral("library ") + m_target + QStringLiteral(" cannot be connected"));
    const std::optional<FolderAccess> existing = ReadFolderAccess(m_dm, found);
    const SqlRows halfMade = HalfMadeFolders(m_dm, QStringLiteral("PR.DOCNUMBER = ") + NumberText(found));
    const TakeUpChoice choice =
        ChooseTakeUp(existing, source, m_s.currentLibrary->userId(),
                     halfMade.failed() ? std::nullopt : std::optional<bool>(!halfMade.isEmpty()),
                     MadeByThisProgram(m_dm, found));
    if (!asPlanned(found, choice))
        return false;
    switch (choice) {
    case TakeUpChoice::CannotCompare:
        if (source && existing)
            return fail(QStringLiteral("Error: Unable to look for a folder ") + m_quoted +
                        QStringLiteral(" left half-made by an earlier run in library ") + m_target +
                        QStringLiteral(": SQL error ") + halfMade.errorText());
        return refuse(QStringLiteral("its access cannot be compared with that of folder #") +
                      NumberText(m_sourceDoc) + QStringLiteral(" in library ") + m_sourceLib);
    case TakeUpChoice::Wider:
        return refuse(QStringLiteral("it gives wider access than folder #") + NumberText(m_sourceDoc) +
                      QStringLiteral(" in library ") + m_sourceLib);
    case TakeUpChoice::MakeAnew:
        // Found before its security was copied: made anew in its place.
        m_result = 0;
        return removeHalfMade({found});
    case TakeUpChoice::TakeUpAndCopy:
        if (CopyFolderSecurity(m_dm, m_sourceLib, m_sourceDoc, m_target, found, plannedSourceAccess()) !=
            SecurityOutcome::Copied)
            m_result = 0;
        return false;
    case TakeUpChoice::TakeUp:
        break;
    }
    return false;
}

// Another user may have made, removed or changed a folder in this place since the move's plan was read.
bool FolderCreation::asPlanned(int found, std::optional<TakeUpChoice> choice)
{
    if (!m_planned || m_planHeld)
        return true;
    const QString expected = NumberText(m_planned->found);
    QString change;
    if (found != m_planned->found)
        change = m_planned->found == 0 ? QStringLiteral("folder #") + NumberText(found) +
                                             QStringLiteral(" of its name stands there now")
                 : found == 0
                     ? QStringLiteral("folder #") + expected +
                           QStringLiteral(" of its name, which the move was to take up, is gone")
                     : QStringLiteral("folder #") + NumberText(found) +
                           QStringLiteral(" of its name stands there instead of folder #") + expected;
    else if (choice && *choice != m_planned->choice)
        change =
            QStringLiteral("the access of folder #") + expected + QStringLiteral(" or of its source changed");
    if (change.isEmpty()) {
        m_planHeld = true;
        return true;
    }
    m_result = 0;
    return fail(QStringLiteral("Error: The place of folder ") + m_quoted + QStringLiteral(" in library ") +
                m_target + QStringLiteral(" is not as the move found it: ") + change +
                QStringLiteral(" - another user changed the library while the move ran"));
}

bool FolderCreation::createObject()
{
    const QString library = m_s.currentLibrary->name();
    m_log.ShowStatus(QStringLiteral("Creating folder object ") + m_quoted + QStringLiteral(" in library ") +
                     library);
    ignoringErrors([&] { m_s.sharedFolder = m_s.currentLibrary->newFolder(); });
    m_log.WriteEqualsLine();
    const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
    if (!folder)
        return fail(QStringLiteral("Error: Unable to open new folder ") + m_quoted + QStringLiteral(" in ") +
                    library);
    m_log.WriteLog(QStringLiteral("Setting Folder Name to ") + m_quoted);
    m_log.WriteDashLine();
    folder->setNameB(m_name);
    folder->setNameA(m_name);
    ignoringErrors([&] {
        m_log.WriteLog(QStringLiteral("Opening Profile Object for folder \"") + folder->nameA() +
                       QStringLiteral("\" in library ") + folder->libraryName());
        m_s.sharedProfile = folder->asProfile();
        m_log.WriteDashLine();
    });
    if (m_s.sharedProfile)
        return true;
    m_log.WriteLog(QStringLiteral("Error: Unable to open folder profile object in library ") +
                   folder->libraryName());
    return fail(QStringLiteral("Warning: The profile object is no longer set - cannot continue"));
}

// Nothing is saved yet, so a source that cannot be opened ends the call with nothing left behind.
bool FolderCreation::readSourceColumns()
{
    if (m_sourceLib.isEmpty() || m_sourceDoc == 0)
        return true;
    const QDateTime started = m_log.now();
    std::shared_ptr<DmProfile> sync;
    if (const std::shared_ptr<DmLibrary> library = FindLibrary(m_s, m_sourceLib)) {
        m_log.WriteLog(QStringLiteral("Opening SyncProfile object #") + NumberText(m_sourceDoc) +
                       QStringLiteral(" in library ") + m_sourceLib);
        sync = library->openProfile(m_sourceDoc);
        m_log.WriteDashLine();
    }
    if (!sync)
        return fail(QStringLiteral("Error: Unable to open SyncProfile object #") + NumberText(m_sourceDoc) +
                    QStringLiteral(" in library ") + m_sourceLib);
    m_log.WriteLog(QStringLiteral("SyncProfile object #") + NumberText(sync->documentNumber()) +
                   QStringLiteral(" opened in library ") + sync->libraryName());
    m_log.WriteDashLine();
    m_log.WriteLog(QStringLiteral("Retrieving profile columns from document #") +
                   NumberText(sync->documentNumber()) + QStringLiteral(" in library ") + sync->libraryName());
    const std::shared_ptr<DmColumns> columns = sync->columns();
    const int count = columns->count();
    for (int i = 1; i <= count; ++i) {
        const std::shared_ptr<DmColumn> column = columns->item(i);
        if (!column->excluded())
            m_sourceColumns.append({column->name(), column->value()});
    }
    sync->close();
    m_log.WriteDashLine();
    noteDuration(started);
    return true;
}

bool FolderCreation::fillColumns()
{
    const std::shared_ptr<DmProfile> profile = m_s.sharedProfile;
    if (!profile)
        return fail(QStringLiteral("Warning: The profile object is no longer set - cannot continue"));
    const std::shared_ptr<DmColumns> columns = profile->columns();
    const int count = columns ? columns->count() : 0;
    if (count == 0)
        return fail(QStringLiteral("Warning: The profile object contains no columns - cannot continue"));
    const QDateTime started = m_log.now();
    bool announced = false;
    for (int i = 1; i <= count; ++i) {
        const std::shared_ptr<DmColumn> column = columns->item(i);
        const QString name = column->name();
        const QString upper = name.toUpper();
        const bool empty = column->value().toString().isEmpty();
        QString value;
        if (upper == u"DOCNAME")
            value = m_name;
        else if (upper == u"AUTHOR_ID" || upper == u"TYPIST_ID")
            value = empty ? m_s.currentLibrary->userId() : QString();
        else if (upper == u"APP_ID")
            value = QStringLiteral("FOLDER");
        else if (empty)
            for (const auto &[sourceName, sourceValue] : std::as_const(m_sourceColumns))
                if (sourceName.compare(name, Qt::CaseInsensitive) == 0) {
                    value = sourceValue.toString();
                    break;
                }
        if (value.isEmpty())
            continue;
        if (!announced) {
            m_log.WriteLog(QStringLiteral("Setting Standard profile columns for folder ") + m_quoted);
            m_log.WriteDashLine();
            announced = true;
        }
        m_log.WriteLog(QStringLiteral("Setting column ") + name + QStringLiteral(" to ") + value);
        ignoringErrors([&] { column->setValue(value); });
    }
    m_log.WriteDashLine();
    ignoringErrors([&] {
        m_log.WriteLog(QStringLiteral("Form for this folder is: ") + profile->formName());
        m_log.WriteDashLine();
        m_log.WriteLog(QStringLiteral("Library for this folder is: ") + profile->libraryName());
    });
    m_log.WriteDashLine();
    noteDuration(started);
    return true;
}

bool FolderCreation::save()
{
    const std::shared_ptr<DmProfile> profile = m_s.sharedProfile;
    m_log.WriteLog(QStringLiteral("Saving profile object for folder ") + m_quoted +
                   QStringLiteral(" in library ") + profile->libraryName());
    const bool profileSaved = profile->save(m_s.saveOption);
    m_log.WriteDashLine();
    ignoringErrors([&] { m_number = profile->documentNumber(); });
    // The DM's description carries the server's own words: a read-only database, a missing right.
    if (m_number == 0)
        return fail(WithCause(QStringLiteral("Error: Unable to save profile object for folder ") + m_quoted,
                              profileSaved ? QString() : profile->errorDescription()));
    m_secured = false;
    m_log.WriteLog(QStringLiteral("Document #") + n() +
                   QStringLiteral(" assigned to this folder in library ") + profile->libraryName());
    m_log.WriteDashLine();
    if (!profileSaved && profile->errorNumber() != 0)
        return fail(DmErrorLine(profile->errorNumber(), profile->errorDescription()));
    m_log.WriteLog(QStringLiteral("Profile object saved to #") + n() + QStringLiteral(" in library ") +
                   profile->libraryName());
    m_log.WriteDashLine();

    const std::shared_ptr<DmFolder> folder = m_s.sharedFolder;
    if (!folder)
        return fail(QStringLiteral("Warning: The folder object is no longer set - cannot continue"));
    if (folder->nameB().isEmpty())
        folder->setNameB(m_name);
    if (folder->nameA().isEmpty())
        folder->setNameA(m_name);
    const bool isPublic = m_isRoot && m_parent == 0;
    m_log.WriteLog(QStringLiteral("Setting profile object #") + NumberText(folder->documentNumber()) +
                   QStringLiteral(" for folder \"") + folder->nameB() +
                   (isPublic ? QStringLiteral("\" as Public in library ")
                             : QStringLiteral("\" as Private in library ")) +
                   folder->libraryName());
    folder->setPublic(isPublic);
    m_log.WriteDashLine();
    m_log.WriteLog(QStringLiteral("Saving profile object for folder ") + m_quoted +
                   QStringLiteral(" in library ") + folder->libraryName());
    const bool folderSaved = folder->save(m_s.saveOption);
    m_log.WriteDashLine();
    if (!folderSaved && folder->errorNumber() != 0)
        return fail(DmErrorLine(folder->errorNumber(), folder->errorDescription()));
    m_log.WriteLog(QStringLiteral("Folder object saved to #") + NumberText(folder->documentNumber()) +
                   QStringLiteral(" in library ") + folder->libraryName());
    m_log.WriteDashLine();
    if (!m_s.sharedFolder)
        return fail(QStringLiteral("Error: Folder object not set after save to library ") + m_target);
    m_log.WriteLog(QStringLiteral("Identifying Folder information in library ") + folder->libraryName());
    m_number = folder->documentNumber();
    m_log.WriteDashLine();
    ReleaseSharedSlots(m_s);
    if (m_number == 0)
        return fail(QStringLiteral("Error: Document # is not set for folder ") + m_quoted +
                    QStringLiteral(" - cannot continue"));
    m_log.WriteLog(QStringLiteral("Document #") + n() + QStringLiteral(" assigned to folder ") + m_quoted +
                   QStringLiteral(" in library ") + m_target);
    m_log.WriteDashLine();
    return true;
}

bool FolderCreation::correctRows()
{
    if (FolderNameChange(m_name) == NameChange::Trimmed) {
        m_log.WriteLog(QStringLiteral("Warning: Folder ") + m_quoted + QStringLiteral(" is saved as ") +
                       Quoted(m_name.trimmed()) + QStringLiteral(" in library ") + m_target +
                       QStringLiteral(": a name keeps no blanks at either end"));
        m_log.WriteDashLine();
    }
    if (!sqlStep(QStringLiteral("UPDATE [OWNER].FOLDER SET PATH = '") + SqlEscape(ProductName()) +
                 QStringLiteral("' WHERE DOCNUMBER = ") + n()) ||
        !sqlStep(QStringLiteral("UPDATE [OWNER].PROFILE SET DOCNAME = '") + SqlSafe(m_name) +
                 QStringLiteral("' WHERE DOCNUMBER = ") + n()))
        return false;
    if (m_isRoot) {
        m_log.WriteLog(
            QStringLiteral(
                "Verifying Root_Object Display Name and Profile Document Name for Public Folder #") +
            n());
        m_log.WriteDashLine();
        return sqlStep(QStringLiteral("UPDATE [OWNER].ROOT_OBJECT SET DISPLAYNAME = '") + SqlSafe(m_name) +
                       QStringLiteral("' WHERE DOCNUMBER = ") + n());
    }
    m_log.WriteLog(QStringLiteral("Removing Root_Object Information (if it exists) for Folder #") + n());
    m_log.WriteDashLine();
    return sqlStep(QStringLiteral("DELETE FROM [OWNER].ROOT_OBJECT WHERE DOCNUMBER = ") + n());
}

// A parent whose profile cannot be read leaves form, storage and retention as the DM gave them: writing
// empty values would corrupt the new folder.
bool FolderCreation::inheritFromParent()
{
    if (m_parent == 0)
        return true;
    const QString p = NumberText(m_parent);
    m_log.WriteLog(QStringLiteral("Retrieving profile information from parent #") + p);
    m_log.WriteDashLine();
    const SqlRows parent = QueryRows(
        m_dm,
        QStringLiteral("SELECT STORAGETYPE, PATH, RETENTION, FORM FROM [OWNER].PROFILE WHERE DOCNUMBER = ") +
            p);
    const bool known = !parent.failed() && !parent.isEmpty();
    if (!known)
        m_log.WriteLog(QStringLiteral("Warning: Unable to retrieve profile information from parent #") + p);
    m_log.WriteLog(QStringLiteral("Setting Additional profile columns for folder ") + m_quoted +
                   QStringLiteral(" from parent #") + p);
    m_log.WriteDashLine();
    QString columns = QStringLiteral("DOCNAME = '") + SqlSafe(m_name) + QStringLiteral("', ");
    if (known)
        columns += QStringLiteral("FORM = ") + NumberText(leadingInt32(parent.value(0, 4).toString())) +
                   QStringLiteral(", FULLTEXT = 'Y', STORAGETYPE = '") +
                   SqlEscape(parent.value(0, 1).toString().trimmed()) + QStringLiteral("', PATH = '") +
                   SqlEscape(parent.value(0, 2).toString().trimmed()) + QStringLiteral("', RETENTION = ") +
                   NumberText(leadingInt32(parent.value(0, 3).toString())) + QStringLiteral(", ");
    else
        columns += QStringLiteral("FULLTEXT = 'Y', ");
    qint64 affected = 0;
    if (!sqlStep(QStringLiteral("UPDATE [OWNER].PROFILE SET ") + columns +
                     QStringLiteral("EMAIL_SENT = NULL, EMAIL_RECEIVED = NULL WHERE DOCNUMBER = ") + n(),
                 &affected))
        return false;
    if (affected == 0)
        return fail(QStringLiteral("Error: Unable to post profile information for folder ") + m_quoted);
    return true;
}

// A folder whose copy failed is still linked, so that a later run finds it and copies again; the call
// fails all the same, so that its source is kept.
bool FolderCreation::copySecurity()
{
    const SecurityOutcome outcome =
        CopyFolderSecurity(m_dm, m_sourceLib, m_sourceDoc, m_target, m_number, plannedSourceAccess());
    m_secured = outcome != SecurityOutcome::Unsecured;
    if (outcome == SecurityOutcome::Copied)
        return true;
    if (m_secured && link())
        ClearCreationActivity(m_dm, m_target, m_number);
    return fail(QStringLiteral("Error: Folder ") + m_quoted + QStringLiteral(" (#") + n() +
                QStringLiteral(") in library ") + m_target +
                QStringLiteral(" lacks the security of folder #") + NumberText(m_sourceDoc) +
                QStringLiteral(" in library ") + m_sourceLib);
}

bool FolderCreation::link()
{
    m_log.WriteDashLine();
    ConnectLibrary(m_dm, m_target);
    if (m_parent != 0) {
        const QString p = NumberText(m_parent);
        m_log.ShowStatus(QStringLiteral("Processing AddFolderItem for folder #") + n() +
                         QStringLiteral(" as subfolder under folder #") + p);
        m_log.WriteDashLine();
        if (!AddFolderItem(m_dm, m_number, m_parent, QStringLiteral("F"), m_target, m_target, m_parentSort))
            return fail(QStringLiteral("Error: Unable to add folder item #") + n() +
                        QStringLiteral(" in library ") + m_target + QStringLiteral(" to folder #") + p +
                        QStringLiteral(" in library ") + m_target);
    }
    m_linked = true;
    m_result = m_number;
    return true;
}

void FolderCreation::trapped(const DmError &error)
{
    ReportTrapped(m_log, QStringLiteral("CreateFolder"), error);
    m_log.WriteLog(QStringLiteral("Error: Unable to create folder ") + m_quoted);
    m_result = 0;
}

// The common exit. A folder left half-made where no later run would find it is deleted: that run would
// make another, and this one would stay behind in no folder. One that cannot be deleted, or is left
// half-made where it is found, is restricted to the user running the move, so that no failure leaves it
// open to people its source kept out.
void FolderCreation::leave()
{
    ReleaseSharedSlots(m_s);
    if (m_result == 0 && m_number != 0 && !m_linked) {
        m_log.WriteLog(QStringLiteral("Removing the half-made folder #") + n() +
                       QStringLiteral(" from library ") + m_target);
        ignoringErrors([&] { m_secured = DeleteFolder(m_dm, m_number, m_target) || m_secured; });
    }
    if (m_result == 0 && m_number != 0 && !m_secured) {
        ignoringErrors([&] {
            const bool onTarget = (m_s.currentLibrary &&
                                   m_s.currentLibrary->name().compare(m_target, Qt::CaseInsensitive) == 0) ||
                                  ConnectLibrary(m_dm, m_target);
            if (onTarget)
                RestrictToMover(m_dm, m_number, QStringLiteral("anyone else until the folder is made again"));
        });
    }
    m_entry.restoreLibrary();
    m_log.WriteDashLine();
}

} // namespace

bool MadeByThisProgram(DmContext &dm, int docNumber)
{
    const SqlRows path = QueryRows(dm, QStringLiteral("SELECT PATH FROM [OWNER].FOLDER WHERE DOCNUMBER = ") +
                                           NumberText(docNumber));
    return !path.failed() && path.value(0, 1).toString().trimmed() == ProductName();
}

int CreateFolder(DmContext &dm, const QString &FolderName, int ParentDocNumber, bool IsRoot,
                 const QString &TargetLib, int SourceDocNumber, const QString &SourceLib,
                 ParentSort parentSort, const PlannedCreation *planned)
{
    if (!FolderStepMayStart(dm, QStringLiteral("CreateFolder")))
        return 0;
    if (FolderName.trimmed().isEmpty()) {
        dm.log.WriteLog(QStringLiteral("Folder Name is not specified"));
        dm.log.WriteDashLine();
        return 0;
    }
    if (FolderNameChange(FolderName) == NameChange::LineBreak) {
        dm.log.WriteLog(QStringLiteral("Error: Folder name ") + ShownName(FolderName) +
                        QStringLiteral(" holds a line break, which a folder name cannot keep - the folder is "
                                       "not made in library ") +
                        TargetLib);
        dm.log.WriteDashLine();
        return 0;
    }
    return FolderCreation(dm, FolderName, ParentDocNumber, IsRoot, TargetLib, SourceDocNumber, SourceLib,
                          parentSort, planned)
        .run();
}
