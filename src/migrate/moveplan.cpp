#include "migrate/moveplan.h"

#include "dm/connectlibrary.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "migrate/createfolder.h"
#include "migrate/foldersteps.h"
#include "settings/leadingnumber.h"

namespace {

constexpr int FullRights = 255;

bool isError(const QString &text)
{
    return text.startsWith(QStringLiteral("Error:"));
}

} // namespace

TakeUpChoice ChooseTakeUp(const std::optional<FolderAccess> &standing,
                          const std::optional<FolderAccess> &source, const QString &moverId,
                          std::optional<bool> halfMade, bool madeByThisProgram)
{
    if (!standing || !source)
        return TakeUpChoice::CannotCompare;
    if (AccessWider(*standing, *source, moverId)) {
        // Found before its security was copied, it is made anew; anybody else's stays untouched.
        if (!halfMade)
            return TakeUpChoice::CannotCompare;
        return *halfMade ? TakeUpChoice::MakeAnew : TakeUpChoice::Wider;
    }
    if (standing->isRestrictedTo(moverId) && !source->isRestrictedTo(moverId) && madeByThisProgram)
        return TakeUpChoice::TakeUpAndCopy;
    return TakeUpChoice::TakeUp;
}

NameChange FolderNameChange(const QString &name)
{
    if (name.contains(u'\n') || name.contains(u'\r'))
        return NameChange::LineBreak;
    return name.trimmed() != name ? NameChange::Trimmed : NameChange::None;
}

QString ShownName(const QString &name)
{
    return Quoted(QString(name).replace(u'\n', QStringLiteral("\\n")).replace(u'\r', QStringLiteral("\\r")));
}

FolderAccess TrusteePlan::access(const FolderAccess &source, const QString &moverId) const
{
    if (open)
        return source;
    FolderAccess given;
    given.defaultRights = 1;
    given.trustees = restricted() ? QList<FolderTrustee>{{moverId, false, FullRights}} : copied;
    return given;
}

TrusteePlan PlanTrustees(const FolderAccess &source, const std::function<bool(const FolderTrustee &)> &known)
{
    TrusteePlan plan;
    plan.open = source.isOpen();
    if (plan.open)
        return plan;
    for (const FolderTrustee &trustee : source.trustees)
        (known(trustee) ? plan.copied : plan.unknown) << trustee;
    return plan;
}

std::optional<ReportAction> PlannedFolder::placing() const
{
    switch (decision) {
    case FolderDecision::Stands:
        return std::nullopt;
    case FolderDecision::Make:
    case FolderDecision::MakeAnew:
        return ReportAction::Created;
    case FolderDecision::TakeUp:
    case FolderDecision::JoinTwin:
        return ReportAction::Reused;
    case FolderDecision::Refuse:
        break;
    }
    return ReportAction::Skipped;
}

ReportAction PlannedChild::reported() const
{
    return action == ChildAction::AlreadyLinked ? ReportAction::AlreadyLinked : ReportAction::Linked;
}

// Every DM read the plan makes, each asked once; the plan decides from their answers.
class MovePlan::Reader {
public:
    Reader(DmContext &dm, MoveWalk &walk, PlanReading reading)
        : m_dm(dm), m_walk(walk), m_target(walk.target()), m_everything(reading == PlanReading::Everything)
    {
    }

    bool everything() const { return m_everything; }

    QString twinKey(const QString &name)
    {
        if (!m_targetLibrary)
            m_targetLibrary = FindLibrary(m_dm.session, m_target);
        if (!m_targetLibrary)
            throw DmError(0, QStringLiteral("MovePlan"),
                          QStringLiteral("Library ") + m_target + QStringLiteral(" is not in the session"));
        return TwinKey(*m_targetLibrary, name);
    }

    std::optional<FolderAccess> access(int number, const QString &library)
    {
        if (!ConnectLibrary(m_dm, library))
            return std::nullopt;
        return ReadFolderAccess(m_dm, number);
    }

    // Looked up by id as the security copy inserts them; one that cannot be looked up counts as unknown,
    // as the copy's insert would add nobody.
    bool known(const FolderTrustee &trustee)
    {
        const QString key = (trustee.group ? u'G' : u'U') + trustee.id;
        if (const auto found = m_known.constFind(key); found != m_known.cend())
            return *found;
        const bool isKnown = ConnectLibrary(m_dm, m_target) && TrusteeKnown(m_dm, trustee).value_or(false);
        m_known.insert(key, isKnown);
        return isKnown;
    }

    // The folder CreateFolder would take up in that place: first among the parent's subfolders, then by
    // SQL. 0 when there is none; a failed search is the hazard's text.
    int found(const QString &name, int parentNumber, bool isRoot, QString &failure)
    {
        const int inParent =
            parentNumber != 0 ? SubfolderNamed(m_dm, name, parentNumber, m_target).value_or(0) : 0;
        if (inParent != 0)
            return inParent;
        if (!onTarget(failure))
            return 0;
        const SqlRows rows = FoldersNamed(m_dm, name, parentNumber, isRoot, m_target);
        if (rows.failed())
            failure = QStringLiteral("Error: Library ") + m_target +
                      QStringLiteral(" cannot be searched for a folder of this name: SQL error ") +
                      rows.errorText();
        return leadingInt32(rows.value(0, 1).toString());
    }

    // The folders left half-made by an earlier run that the creation of a folder of this name in that
    // place removes, the first of them made anew; the target's half-made folders are read once for the
    // plan. The first creation of the name removes them all, so a later folder of the plan finds none.
    QList<int> leftovers(const QString &name, int parentNumber, QString &failure)
    {
        if (!m_halfMade) {
            if (!onTarget(failure))
                return {};
            QString error;
            m_halfMade = ReadHalfMadeFolders(m_dm, error);
            if (!m_halfMade) {
                failure = QStringLiteral("Error: Library ") + m_target +
                          QStringLiteral(" cannot be searched for a folder left half-made by an earlier run: "
                                         "SQL error ") +
                          error;
                return {};
            }
        }
        QList<int> removed;
        for (const int number : LeftoversAmong(*m_halfMade, name, parentNumber))
            if (!m_removed.contains(number)) {
                removed << number;
                m_removed.insert(number);
            }
        return removed;
    }

    struct Standing {
        std::optional<FolderAccess> access;
        std::optional<bool> halfMade;
        bool madeByThisProgram = false;
    };
    Standing standing(int found)
    {
        Standing read;
        if (!ConnectLibrary(m_dm, m_target))
            return read;
        read.access = ReadFolderAccess(m_dm, found);
        if (const SqlRows rows = HalfMadeFolders(m_dm, QStringLiteral("PR.DOCNUMBER = ") + NumberText(found));
            !rows.failed())
            read.halfMade = !rows.isEmpty();
        read.madeByThisProgram = MadeByThisProgram(m_dm, found);
        return read;
    }

    // Same-named folders standing in that place besides the one taken up.
    QList<int> sameNamed(const QString &name, int parentNumber)
    {
        QList<int> others;
        if (parentNumber != 0) {
            if (const std::optional<QList<FolderEntry>> entries = m_walk.contentsOf(parentNumber, m_target))
                for (const FolderEntry &entry : *entries)
                    if (entry.isFolder() && twinKey(entry.name) == twinKey(name))
                        others << entry.number;
        } else if (ConnectLibrary(m_dm, m_target)) {
            const SqlRows rows = QueryRows(
                m_dm, QStringLiteral("SELECT F.DOCNUMBER FROM [OWNER].FOLDER F, [OWNER].PROFILE P WHERE "
                                     "F.DOCNUMBER = P.DOCNUMBER AND UPPER(P.DOCNAME) = UPPER('") +
                          SqlSafe(name) +
                          QStringLiteral(
                              "') AND F.DOCNUMBER NOT IN (SELECT FI.DOCNUMBER FROM [OWNER].FOLDER_ITEM FI "
                              "WHERE FI.LIBRARY = 0) ORDER BY F.DOCNUMBER"));
            for (qsizetype r = 0; r < rows.size(); ++r)
                others << leadingInt32(rows.value(r, 1).toString());
        }
        return others;
    }

    // A name the target requires to be unique and holds already, or that this plan makes a second time.
    bool nameTaken(const QString &name)
    {
        if (!m_uniqueNames) {
            m_uniqueNames = false;
            try {
                const std::shared_ptr<DmLibrary> library = FindLibrary(m_dm.session, m_target);
                m_uniqueNames = library && LibraryFlag(*library, QStringLiteral("DOCSParms.UniqueDocNames"));
            } catch (const DmError &) {
                // A library that does not say is taken as allowing repeated names.
            }
        }
        const QString upper = name.toUpper();
        bool taken = m_namesMade.contains(upper);
        m_namesMade.insert(upper);
        if (!*m_uniqueNames)
            return false;
        if (!taken && ConnectLibrary(m_dm, m_target))
            taken = leadingInt32(QueryRows(m_dm, QStringLiteral("SELECT COUNT(*) FROM [OWNER].PROFILE WHERE "
                                                                "UPPER(DOCNAME) = '") +
                                                     SqlSafe(upper) + u'\'')
                                     .value(0, 1)
                                     .toString()) > 0;
        return taken;
    }

    // The items a folder standing in the target holds already.
    const QSet<ItemKey> &filedIn(int number)
    {
        auto found = m_filed.find(number);
        if (found != m_filed.end())
            return *found;
        QSet<ItemKey> items;
        if (const std::optional<QList<FolderEntry>> entries = m_walk.contentsOf(number, m_target))
            for (const FolderEntry &entry : *entries)
                items.insert(entry.key());
        return *m_filed.insert(number, items);
    }

    // The move opens each item it links through the DM; one that does not open is not linked.
    bool opens(const ChildRow &child)
    {
        try {
            const std::shared_ptr<DmLibrary> library = FindLibrary(m_dm.session, child.library);
            if (!library)
                return false;
            return child.isFolder() ? library->openFolderItem(child.number) != nullptr
                                    : library->openProfileItem(child.number) != nullptr;
        } catch (const DmError &) {
            return false;
        }
    }

private:
    // Connects the target for a search; false, with the hazard's text, when it cannot be.
    bool onTarget(QString &failure)
    {
        if (ConnectLibrary(m_dm, m_target))
            return true;
        failure = QStringLiteral("Error: Library ") + m_target + QStringLiteral(" cannot be connected");
        return false;
    }

    DmContext &m_dm;
    MoveWalk &m_walk;
    const QString m_target;
    const bool m_everything;
    std::shared_ptr<DmLibrary> m_targetLibrary;
    QHash<QString, bool> m_known;
    QHash<int, QSet<ItemKey>> m_filed;
    QSet<QString> m_namesMade;
    std::optional<bool> m_uniqueNames;
    QSet<int> m_removed; // leftovers that a folder of the plan removes
    std::optional<QList<HalfMadeFolder>> m_halfMade;
};

MovePlan::MovePlan(DmContext &dm, MoveWalk &walk, PlanReading reading)
    : m_walk(walk), m_mover(dm.session.currentLibrary ? dm.session.currentLibrary->userId() : QString())
{
    Reader reader(dm, walk, reading);
    planChain(reader);
    planTree(reader);
}

int MovePlan::sharedWith(int folder) const
{
    const PlannedFolder &planned = m_folders[folder];
    const bool twin = planned.decision == FolderDecision::JoinTwin ||
                      (planned.decision == FolderDecision::TakeUp && planned.found == 0);
    return twin ? sharedWith(planned.twin) : folder;
}

int MovePlan::standingNumber(int folder) const
{
    const PlannedFolder &planned = m_folders[folder];
    switch (planned.decision) {
    case FolderDecision::Stands:
        return planned.number;
    case FolderDecision::TakeUp:
        return planned.found != 0 ? planned.found : standingNumber(planned.twin);
    case FolderDecision::JoinTwin:
        return standingNumber(planned.twin);
    default:
        return 0;
    }
}

bool MovePlan::fails() const
{
    const auto failing = [](const QList<PlanHazard> &hazards) {
        return std::any_of(hazards.cbegin(), hazards.cend(), [](const PlanHazard &h) { return h.fails; });
    };
    return std::any_of(m_folders.cbegin(), m_folders.cend(),
                       [&](const PlannedFolder &folder) { return failing(folder.hazards); }) ||
           std::any_of(m_children.cbegin(), m_children.cend(),
                       [&](const PlannedChild &child) { return failing(child.hazards); });
}

QString MovePlan::failureCause() const
{
    const auto cause = [](const QList<PlanHazard> &hazards) -> QString {
        const PlanHazard *explains = nullptr;
        for (const PlanHazard &hazard : hazards) {
            if (hazard.cause && !explains)
                explains = &hazard;
            if (hazard.fails)
                return (explains ? explains : &hazard)->text.section(QStringLiteral(": "), 1);
        }
        return {};
    };
    for (const PlannedFolder &folder : m_folders)
        if (const QString text = cause(folder.hazards); !text.isEmpty())
            return ItemText(QStringLiteral("Folder"), folder.number, folder.name, folder.library) +
                   QStringLiteral(": ") + text;
    for (qsizetype i = 0; i < m_children.size(); ++i)
        if (const QString text = cause(m_children[i].hazards); !text.isEmpty()) {
            const ChildRow &child = m_walk.children()[i];
            return ItemText(child.isFolder() ? QStringLiteral("Folder") : QStringLiteral("Document"),
                            child.number, child.name, child.library) +
                   QStringLiteral(": ") + text;
        }
    return {};
}

int MovePlan::stopsAt() const
{
    const auto stop = std::find_if(m_folders.cbegin(), m_folders.cend(), [](const PlannedFolder &folder) {
        return std::any_of(folder.hazards.cbegin(), folder.hazards.cend(),
                           [](const PlanHazard &hazard) { return hazard.stops; });
    });
    return stop == m_folders.cend() ? -1 : int(stop - m_folders.cbegin());
}

// Chain rows met twice (a folder reached through two parents) are placed once, as the move makes them
// once; the parents come first, so that each finds the folder it goes into placed.
void MovePlan::planChain(Reader &reader)
{
    const QList<ChainRow> &rows = m_walk.chain();
    QHash<qsizetype, int> parentsFound; // by the row they are parents of
    for (const ChainRow &row : rows)
        ++parentsFound[row.foundFrom];
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        const ChainRow &row = rows[i];
        if (m_byKey.contains(row.key()))
            continue;
        PlannedFolder folder;
        folder.number = row.number;
        folder.library = row.library;
        folder.name = row.name;
        folder.isRoot = row.isRoot;
        folder.inChain = true;
        folder.fate = i == 0 ? FolderFate::Removed : FolderFate::Stays;
        if (m_walk.standsForItself(row.library)) {
            folder.decision = FolderDecision::Stands;
            folder.fate = FolderFate::Stands;
            m_byKey.insert(row.key(), int(m_folders.size()));
            m_folders << folder;
            continue;
        }
        if (const int parents = parentsFound.value(i); parents > 1)
            folder.hazards << PlanHazard{QStringLiteral("Warning: It has ") + NumberText(parents) +
                                         QStringLiteral(" parent folders: only folder #") +
                                         NumberText(row.parent) + QStringLiteral(" holds it in library ") +
                                         m_walk.target() +
                                         QStringLiteral(", the others are made there without it")};
        folder.parent = row.parent == 0 ? -1 : m_byKey.value(row.parentKey(), -1);
        m_byKey.insert(row.key(), place(reader, folder));
    }
    m_selected = m_byKey.value(keyOf(m_walk.number(), m_walk.source()), -1);
}

void MovePlan::planTree(Reader &reader)
{
    const QString target = m_walk.target();
    for (const ChildRow &child : m_walk.children()) {
        PlannedChild planned;
        planned.into = m_byKey.value(child.parentKey(), -1);
        const bool thirdLibrary =
            !sameLibrary(child.library, m_walk.source()) && !m_walk.standsForItself(child.library);
        const QString kind = child.isFolder() ? QStringLiteral("Folder") : QStringLiteral("Document");
        const auto third = [&](const QString &fate) {
            return PlanHazard{QStringLiteral("Warning: ") + kind + QStringLiteral(" #") +
                              NumberText(child.number) + QStringLiteral(" lives in a third library, ") +
                              child.library + QStringLiteral(": ") + fate};
        };
        if (!child.isFolder() || m_walk.standsForItself(child.library)) {
            const int standing = planned.into < 0 ? 0 : standingNumber(planned.into);
            planned.action = standing != 0 && reader.filedIn(standing).contains(child.key())
                                 ? ChildAction::AlreadyLinked
                                 : ChildAction::Link;
            if (thirdLibrary)
                planned.hazards << third(QStringLiteral("it stays there and is linked from library ") +
                                         target);
            if (reader.everything() && !reader.opens(child))
                planned.hazards << PlanHazard{
                    QStringLiteral("Warning: It cannot be opened: it would not be linked, and the folders of "
                                   "the tree would stay in library ") +
                        m_walk.source(),
                    true};
        } else if (child.repeat) {
            planned.action = ChildAction::LinkCopy;
            planned.folder = m_byKey.value(child.key(), -1);
            planned.hazards << PlanHazard{
                QStringLiteral("Warning: It is filed twice in the moved tree: made once in library ") +
                target + QStringLiteral(" and linked in both places")};
        } else {
            planned.action = ChildAction::Place;
            PlannedFolder folder;
            folder.number = child.number;
            folder.library = child.library;
            folder.name = child.name;
            folder.parent = planned.into;
            if (thirdLibrary)
                folder.hazards << third(QStringLiteral("it is made in library ") + target +
                                        QStringLiteral(" and removed from ") + child.library);
            const bool kept = m_walk.kept().contains(child.key());
            folder.fate = kept ? FolderFate::Kept : FolderFate::Removed;
            if (kept && !m_walk.kept().contains(child.parentKey()))
                folder.hazards << PlanHazard{
                    QStringLiteral("Warning: It is also filed outside the moved tree: it stays in library ") +
                        child.library + QStringLiteral(" as well"),
                    false, false, PlanHazard::About::Fate};
            planned.folder = place(reader, folder);
            m_byKey.insert(child.key(), planned.folder);
        }
        m_children << planned;
    }
}

// Decides where a folder goes: joined with a sibling of its name placed before it, taken up or made anew
// over a folder of its name standing there, refused, or made. Returns its index among the folders.
int MovePlan::place(Reader &reader, PlannedFolder folder)
{
    const QString target = m_walk.target();
    folder.sourceAccess = reader.access(folder.number, folder.library);
    // A hazard that stops the move at this folder: its creation fails.
    const auto hazard = [&](const QString &text, bool stops = false,
                            PlanHazard::About about = PlanHazard::About::Placing) {
        folder.hazards << PlanHazard{text, stops || isError(text), stops, about};
    };
    const auto compare = [&](const QString &what, const std::optional<FolderAccess> &access) {
        if (!access || !folder.sourceAccess)
            return;
        const QString sourceText = QStringLiteral("folder #") + NumberText(folder.number) +
                                   QStringLiteral(" of library ") + folder.library;
        for (const QString &difference :
             AccessDifferences(*access, *folder.sourceAccess, m_mover, sourceText,
                               [&](const FolderTrustee &trustee) { return reader.known(trustee); }))
            hazard(QStringLiteral("Error: ") + what.front().toUpper() + what.mid(1) + u' ' + difference +
                   QStringLiteral(" - the check before removal keeps the whole tree where it is"));
    };
    const auto copy = [&] {
        if (!folder.sourceAccess) {
            hazard(QStringLiteral("Warning: The trustees of its source cannot be read: the folder would be "
                                  "restricted to ") +
                       m_mover + QStringLiteral(" and the move of this folder stops there"),
                   true, PlanHazard::About::Trustees);
            folder.access = TrusteePlan{}.access({}, m_mover);
            return;
        }
        folder.trustees =
            PlanTrustees(*folder.sourceAccess, [&](const FolderTrustee &t) { return reader.known(t); });
        folder.access = folder.trustees->access(*folder.sourceAccess, m_mover);
        for (const FolderTrustee &trustee : std::as_const(folder.trustees->unknown))
            hazard(QStringLiteral("Warning: ") +
                       (trustee.group ? QStringLiteral("Group ") : QStringLiteral("User ")) + trustee.id +
                       QStringLiteral(" is not known in library ") + target +
                       QStringLiteral(" and would have no access to ") + Quoted(folder.name) +
                       QStringLiteral(" there"),
                   false, PlanHazard::About::Trustees);
        if (folder.trustees->restricted())
            hazard(QStringLiteral("Warning: No trustee of its source is known in library ") + target +
                       QStringLiteral(": the folder would be restricted to ") + m_mover +
                       QStringLiteral(" and the move of this folder stops there"),
                   true, PlanHazard::About::Trustees);
    };

    // Twins are sought in the target folder they would share, whichever folder of the plan leads there.
    const int parentNumber = folder.parent < 0 ? 0 : standingNumber(folder.parent);
    const QString place =
        (folder.parent < 0   ? QStringLiteral("top")
         : parentNumber != 0 ? QStringLiteral("#") + NumberText(parentNumber)
                             : QStringLiteral("@") + NumberText(sharedWith(folder.parent))) +
        u'/' + reader.twinKey(folder.name);
    const auto twin = m_byName.constFind(place);
    const bool twinPlaced = twin != m_byName.cend();
    const NameChange nameChange = FolderNameChange(folder.name);
    if (nameChange == NameChange::LineBreak) {
        folder.decision = FolderDecision::Refuse;
        hazard(QStringLiteral("Error: Its name ") + ShownName(folder.name) +
                   QStringLiteral(" holds a line break, which library ") + target +
                   QStringLiteral(" cannot keep in a name - the move of this folder stops there"),
               true);
        m_folders << folder;
        return int(m_folders.size()) - 1;
    }
    if (twinPlaced) {
        folder.twin = *twin;
        const PlannedFolder &first = m_folders[*twin];
        if (first.name != folder.name) {
            hazard(QStringLiteral("Warning: Its name and that of ") + Quoted(first.name) +
                   QStringLiteral(" differ only in letter case: they become one folder in library ") +
                   target);
            // The access check of the joined folder fails on it, as the two may give different access.
            folder.hazards.last().cause = true;
        }
    }
    const bool parentStands = folder.parent < 0 || parentNumber != 0;
    if (twinPlaced && (!folder.inChain || standingNumber(folder.twin) == 0)) {
        // The tree's twins are joined; a chain folder is handed to the creation, which takes up the new
        // folder it finds there.
        folder.decision = folder.inChain ? FolderDecision::TakeUp : FolderDecision::JoinTwin;
        folder.access = m_folders[folder.twin].access;
        const int standing = standingNumber(folder.twin);
        compare(standing != 0 ? QStringLiteral("folder #") + NumberText(standing) + u' ' +
                                    Quoted(m_folders[folder.twin].name)
                              : QStringLiteral("the new folder ") + Quoted(m_folders[folder.twin].name),
                folder.access);
    } else {
        QString failure;
        folder.found = twinPlaced     ? standingNumber(folder.twin)
                       : parentStands ? reader.found(folder.name, parentNumber, folder.isRoot, failure)
                                      : 0;
        if (folder.found == 0 && failure.isEmpty())
            folder.leftovers = reader.leftovers(folder.name, parentNumber, failure);
        if (!failure.isEmpty())
            hazard(failure, true);
        if (folder.leftovers && !folder.leftovers->isEmpty()) {
            folder.found = folder.leftovers->first();
            folder.decision = FolderDecision::MakeAnew;
            folder.choice = TakeUpChoice::MakeAnew;
        } else if (folder.found == 0) {
            folder.decision = FolderDecision::Make;
        } else {
            const Reader::Standing standing = reader.standing(folder.found);
            folder.choice = ChooseTakeUp(standing.access, folder.sourceAccess, m_mover, standing.halfMade,
                                         standing.madeByThisProgram);
            const QString found =
                QStringLiteral("folder #") + NumberText(folder.found) + u' ' + Quoted(folder.name);
            switch (folder.choice) {
            case TakeUpChoice::TakeUp:
                folder.decision = FolderDecision::TakeUp;
                folder.access = standing.access;
                compare(found, folder.access);
                break;
            case TakeUpChoice::TakeUpAndCopy:
                folder.decision = FolderDecision::TakeUp;
                break;
            case TakeUpChoice::MakeAnew:
                folder.decision = FolderDecision::MakeAnew;
                break;
            case TakeUpChoice::Wider:
                folder.decision = FolderDecision::Refuse;
                hazard(
                    QStringLiteral("Error: A ") + found + QStringLiteral(" stands in library ") + target +
                        QStringLiteral(" and gives wider access than its source, so it is not taken up - the "
                                       "move of this folder stops there"),
                    true);
                break;
            case TakeUpChoice::CannotCompare:
                folder.decision = FolderDecision::Refuse;
                hazard(QStringLiteral("Error: The access of ") + found + QStringLiteral(" of library ") +
                           target +
                           QStringLiteral(
                               " cannot be compared with its source's - the move of this folder stops "
                               "there"),
                       true);
                break;
            }
        }
        if (parentStands && reader.everything() && !twinPlaced)
            for (const int other : reader.sameNamed(folder.name, parentNumber))
                if (other != folder.found && other != 0)
                    hazard(QStringLiteral("Warning: Folder #") + NumberText(other) +
                           QStringLiteral(" of the same name stands there in library ") + target +
                           QStringLiteral(" and is not taken up"));
        if (folder.decision == FolderDecision::Make && reader.everything() && reader.nameTaken(folder.name))
            hazard(
                QStringLiteral("Warning: Library ") + target +
                    QStringLiteral(" requires unique document names and holds this name already: the folder "
                                   "cannot be saved there"),
                true);
        const bool made =
            folder.decision == FolderDecision::Make || folder.decision == FolderDecision::MakeAnew;
        if (made && nameChange == NameChange::Trimmed)
            hazard(QStringLiteral("Warning: It is saved as ") + Quoted(folder.name.trimmed()) +
                   QStringLiteral(" in library ") + target +
                   QStringLiteral(": a name keeps no blanks at either end"));
        if (made || folder.choice == TakeUpChoice::TakeUpAndCopy)
            copy();
    }
    const int index = int(m_folders.size());
    if (!twinPlaced)
        m_byName.insert(place, index);
    m_folders << folder;
    return index;
}
