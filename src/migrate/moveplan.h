#pragma once

#include "dm/dmcontext.h"
#include "migrate/movereport.h"
#include "migrate/movewalk.h"
#include "migrate/securitycopy.h"

#include <QList>
#include <QStringList>

#include <functional>

#include <optional>

// The rules a move follows for each folder, as plain functions of what was read, so that the plan, the
// creation of a folder and the security copy cannot come to different answers.

// What becomes of a same-named folder found standing where a folder of the move would be made.
enum class TakeUpChoice {
    TakeUp,        // it gives no wider access than the source: taken up, its trustees as they are
    TakeUpAndCopy, // this program made it and a failed copy left it restricted to the user running the
                   // move: taken up, and the source's access copied again
    MakeAnew,      // wider, and left half-made by an earlier run: removed, and the folder made anew
    Wider,         // wider, and somebody's: the move of the folder stops there
    CannotCompare, // either access could not be read: the move of the folder stops there
};

// halfMade: the folder is among HalfMadeFolders; nullopt when that could not be read.
TakeUpChoice ChooseTakeUp(const std::optional<FolderAccess> &standing,
                          const std::optional<FolderAccess> &source, const QString &moverId,
                          std::optional<bool> halfMade, bool madeByThisProgram);

// What saving a folder under this name does to it: the profile keeps no blanks at either end of a name and
// turns a line break into a blank. A name that would read otherwise is not saved; dropped blanks are
// warned of.
enum class NameChange { None, Trimmed, LineBreak };
NameChange FolderNameChange(const QString &name);
// The name as a log line shows it: a line break as "\n".
QString ShownName(const QString &name);

// The access a copy gives a folder from its source: open access for an open source; else the source's
// trustees that the target knows, or, when it knows none of them, the user running the move alone.
struct TrusteePlan {
    bool open = false;
    QList<FolderTrustee> copied;
    QList<FolderTrustee> unknown;

    bool restricted() const { return !open && copied.isEmpty(); }
    // What the folder gives once the copy is done.
    FolderAccess access(const FolderAccess &source, const QString &moverId) const;
};
TrusteePlan PlanTrustees(const FolderAccess &source, const std::function<bool(const FolderTrustee &)> &known);

// What the move does with one folder of its chain or tree in the target library.
enum class FolderDecision {
    Stands,   // a folder of the target library: used as it stands, never made, copied or removed
    Make,     // nothing of its name stands in its place: made there with its source's access
    TakeUp,   // a folder of its name stands there (TakeUpChoice says how it is taken up)
    MakeAnew, // a folder of its name that an earlier run left half-made is removed, and it is made
    JoinTwin, // a sibling placed before it bears its name but for letter case: one folder in the target
    Refuse,   // a folder of its name stands there and may not be taken up: the move stops there
};

// What becomes of the source folder once its tree is in the target.
enum class FolderFate {
    Removed,
    Kept,   // also filed outside the moved tree, or below such a folder: it stays in its library
    Stays,  // a parent of the moved folder: made in the target, and left where it is
    Stands, // a folder of the target library
};

struct PlanHazard {
    enum class About { Placing, Trustees, Fate };
    QString text;
    bool fails = false; // the move of the folder would keep its tree where it is
    bool stops = false; // and it would end at this step: nothing after it is done
    About about = About::Placing;
    bool cause = false; // it is why the failing hazards of its folder that follow it fail
};

// A folder of the chain or the tree as the move places it in the target.
struct PlannedFolder {
    int number = 0;
    QString library;
    QString name;
    bool isRoot = false;
    bool inChain = false;
    int parent = -1; // the plan's folder it goes into; -1 at the top level
    FolderDecision decision = FolderDecision::Make;
    TakeUpChoice choice = TakeUpChoice::TakeUp; // for a folder found standing where it would be made
    int found = 0; // the target's folder taken up, made anew, refused or standing for itself
    // The folders left half-made by an earlier run that its creation removes, when the plan looked.
    std::optional<QList<int>> leftovers;
    int twin = -1; // the plan's folder it becomes one with, or whose new folder it takes up (chain)
    FolderFate fate = FolderFate::Removed;
    std::optional<FolderAccess> sourceAccess;
    std::optional<TrusteePlan> trustees; // the copy it gets: made, made anew, or taken up and copied again
    std::optional<FolderAccess> access;  // what it gives once placed, as far as the plan can tell
    QList<PlanHazard> hazards;

    ItemKey key() const { return keyOf(number, library); }
    // The row its placing gets in the report; nullopt for a folder of the target library.
    std::optional<ReportAction> placing() const;
};

enum class ChildAction {
    Link,          // filed into the new folder where it lives
    AlreadyLinked, // a folder standing in the target holds it already
    LinkCopy,      // a subfolder filed twice in the tree: its copy, made once, is filed again
    Place,         // a subfolder of the tree: placed as a folder of the plan
};

// An item of the walk's tree, in the walk's order.
struct PlannedChild {
    ChildAction action = ChildAction::Link;
    int into = -1;   // the plan's folder that receives it
    int folder = -1; // Place: its own folder of the plan; LinkCopy: the folder whose copy is filed
    QList<PlanHazard> hazards;

    ReportAction reported() const;
};

// How much the plan reads besides what its decisions need: a preview also looks for what only warns
// (an item that cannot be opened, a name a unique-name library holds, same-named folders left aside).
enum class PlanReading { Decisions, Everything };

// What a move of one walked folder will do, decided once from what was read: the preview prints it and
// the move carries it out. Immutable once made; it refers to the walk, which must outlive it.
class MovePlan {
public:
    // Reads what the decisions need from the libraries (queries and opened objects only) and decides.
    // The current library is whichever the reads reached last.
    MovePlan(DmContext &dm, MoveWalk &walk, PlanReading reading);

    const MoveWalk &walk() const { return m_walk; }
    // The folders in the order the move places them: the chain topmost first, then the tree's subfolders.
    const QList<PlannedFolder> &folders() const { return m_folders; }
    // One per row of the walk's tree.
    const QList<PlannedChild> &children() const { return m_children; }
    // The moved folder among the folders.
    int selected() const { return m_selected; }
    // The plan's folder of a folder of the chain or the tree; -1 when it has none.
    int folderOf(const ItemKey &key) const { return m_byKey.value(key, -1); }
    // The target's number of a folder that stands there before the move: found, or standing for itself.
    int standingNumber(int folder) const;
    // The folder whose target folder this one shares: the first of its twins, or itself.
    int sharedWith(int folder) const;
    bool fails() const;
    // Why the move would fail, for a user who meets only its symptom: the first failing folder or item
    // named, with the hazard that causes its failure (or the failing hazard itself) without its kind;
    // empty when the plan foresees no failure.
    QString failureCause() const;
    // The first folder, in the order they are placed, at which the move would end; -1 when none.
    int stopsAt() const;

private:
    class Reader;
    void planChain(Reader &reader);
    void planTree(Reader &reader);
    int place(Reader &reader, PlannedFolder folder);

    const MoveWalk &m_walk;
    const QString m_mover;
    QList<PlannedFolder> m_folders;
    QList<PlannedChild> m_children;
    QHash<ItemKey, int> m_byKey;
    QHash<QString, int> m_byName; // the place and TwinKey of each folder placed there first
    int m_selected = -1;
};
