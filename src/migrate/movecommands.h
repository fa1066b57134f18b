#pragma once

#include "dm/dmcontext.h"
#include "dm/exitcode.h"
#include "dm/moveflags.h"
#include "migrate/movelock.h"
#include "migrate/movepreview.h"

#include <functional>
#include <optional>

// How a move command ended, as the program's exit code.
enum class MoveOutcome {
    Done = ExitDone,
    Failed = ExitFailed,
    Refused = ExitRefused, // rights, target, folder, library, another move
    Declined = ExitDeclined,
    Cancelled = ExitCancelled, // with no folder failed
};

// A folder of a list command, as the list gives it.
struct MoveListRow {
    QString name;
    int docNumber = 0;
};

// The three move commands behind the tree's pop-up menu, on folder numbers and library names: the
// window adapts its tree nodes to them, the console front end its command line. The target is always
// the window's target library.
//
// Every command runs in one frame: the current library and the status text are put back, the wait
// pointer cleared, the progress hidden and the lock released on every path. Before any question a
// command takes the move locks of the installation's libraries (shared for a preview), names a move
// they show was interrupted, and refuses (with a warning, an "Error:" line and nothing changed) a lock
// another command holds or a lock file it cannot open as one, a target that is empty, unknown or the source
// library itself, an unknown source library, missing rights, and a number that is not a folder of the source
// library; from then on libraries carry the DM's own spelling of their names. It then connects every library
// of the session once, so that what a first connection tells (Unique Document Names) comes before the
// question. While the command runs the move-running flag is set and the window keeps only Cancel live, its
// events running at least every tenth of a second; a cancel takes effect at the running folder's next safe
// point, which keeps that folder's source whole.
//
// Every command that gets past its question starts its counters from 0 and writes a "Move: started"
// and a "Move: ended" line to the log whatever Verbose Logging says; a refusal writes "Move: refused".
//
// Given a preview, a command asks nothing and moves nothing: a refusal of its checks goes into the
// preview (missing rights do not stop it) and each folder of its list is previewed instead of moved.
//
// Borrows the DM context, the move flags and the preview, which must outlive it.
class MoveCommand {
public:
    // Told the position, in the list given, of each folder that moved.
    using RowMoved = std::function<void(qsizetype row)>;

    MoveCommand(DmContext &dm, MoveFlags &flags, MoveInstallation installation,
                MovePreview *preview = nullptr);

    // Where the report of a command that gets past its question goes; empty (the default): a new file
    // beside the log.
    void setReportFile(const QString &fileName) { m_reportFile = fileName; }

    // One folder, named as the tree shows it (empty: by its name in the DM).
    MoveOutcome moveFolder(const QString &sourceLib, int docNumber, const QString &name,
                           const RowMoved &moved = {});
    // The folders of a category ("Public", "Shared/Personal") in list order.
    MoveOutcome moveFolders(const QString &sourceLib, const QString &category, const QList<MoveListRow> &rows,
                            const RowMoved &moved = {});
    // Every top-level folder of the library on whose profile the user holds the rights 255 directly,
    // read in that library, moved in the reverse order of the list.
    MoveOutcome moveLibrary(const QString &sourceLib);

private:
    class Frame;
    class Pace;
    // LockLost: failed where the move lock was found lost; nothing more may be moved under it.
    enum class Converted { Moved, Failed, LockLost, Cancelled };
    // What the report has heard and counted, to tell what one stretch of the command did.
    struct Tally {
        qsizetype failures = 0;
        int made = 0;
        int removed = 0;
    };

    void startCommand(const QString &verb, const QString &source, const QString &operand);
    QString commandText() const;
    void started(int folders);
    MoveOutcome ended(MoveOutcome outcome, int moved, int errors, int notMoved);
    QString reportPath() const;
    Tally tally() const;
    QString leftDetails(int failed, int notMoved) const;

    bool begin(Frame &frame, QString &sourceLib);
    bool mayMove(const QString &target);
    bool connectLibraries(Frame &frame);
    // The folder's name when the number is a folder of the library.
    std::optional<QString> folderName(int docNumber, const QString &library);
    std::optional<QList<MoveListRow>> libraryList(const QString &library);
    MoveOutcome moveList(Frame &frame, const QString &sourceLib, const QList<MoveListRow> &rows,
                         bool lastFirst, const RowMoved &moved);
    Converted convert(Frame &frame, Pace &pace, int position, int docNumber, const QString &sourceLib);
    QString lostCause(const QString &sourceLib) const;
    MoveOutcome refuse(const QString &text);
    MoveOutcome preview(const QString &sourceLib, const QList<MoveListRow> &rows, bool lastFirst);

    DmContext &m_dm;
    MoveFlags &m_flags;
    MoveInstallation m_installation;
    QString m_verb; // the command, its source library and its operand as the command line names them
    QString m_source;
    QString m_operand;
    QString m_target;
    QString m_reportFile;
    MovePreview *m_preview;
    // What the folders that failed or were cancelled left behind, for the closing message.
    struct {
        QString firstReason;
        int made = 0;
        int removed = 0;
    } m_left;
};

// The closing summary of the list commands.
QString MoveSummary(int moved, int errors, int notMoved);
