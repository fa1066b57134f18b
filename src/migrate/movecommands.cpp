#include "migrate/movecommands.h"

#include "dm/connectlibrary.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "dmapi/shellword.h"
#include "log/loggedmoves.h"
#include "migrate/convertfolder.h"
#include "migrate/foldersteps.h"
#include "migrate/movereport.h"
#include "settings/leadingnumber.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>

namespace {

// How often a running move shows its progress and lets the window's events run, in milliseconds:
// often enough that Cancel answers at once, seldom enough to cost nothing beside the move.
constexpr qint64 EventInterval = 50;

// The first reason of a failure: the cause the plan foresaw, then the symptom the move met when it says
// more than the cause.
QString Reason(const QString &cause, const QString &symptom)
{
    if (cause.isEmpty() || cause.endsWith(symptom))
        return cause.isEmpty() ? symptom : cause;
    return cause + QStringLiteral("\nWhat failed: ") + symptom;
}

// What to do about a folder number that is not a folder of the library: the command that lists the
// library's folders, and whether the log shows the folder moved away, as a sentence.
QString NotAFolderHint(const QString &installationFile, const QString &configuredLogPath,
                       const QString &library, int number)
{
    const std::optional<LoggedMove> moved = LastLoggedMove(configuredLogPath, library, number);
    const QString folder = QStringLiteral("folder #") + NumberText(number);
    return QStringLiteral("korvel-dm tree --dm ") + ShellWord(installationFile) + u' ' + ShellWord(library) +
           QStringLiteral(" lists the folders of the library; ") +
           (moved ? QStringLiteral("the log shows ") + folder + QStringLiteral(" moved to library ") +
                        moved->target + QStringLiteral(" on ") + moved->date.toString(Qt::ISODate)
                  : QStringLiteral("the log shows no move of ") + folder + QStringLiteral(" from library ") +
                        library) +
           u'.';
}

// A right the DM cannot tell, one it does not know included, is not held: the command refuses, and the
// DM's description of why it could not tell is kept in cause.
bool holds(const DmLibrary &library, const QString &right, QString &cause)
{
    try {
        return LibraryFlag(library, right);
    } catch (const DmError &error) {
        cause = error.description();
        return false;
    }
}

} // namespace

// The common frame of the commands: what it saves at the start it puts back on every path out.
class MoveCommand::Frame {
public:
    Frame(DmContext &dm, MoveFlags &flags, const MoveInstallation &installation)
        : m_dm(dm), m_keeping(dm.session), m_flags(flags),
          m_lock(installation.databases, installation.serverLocks), m_status(dm.window.statusText())
    {
        try {
            if (m_dm.session.currentLibrary)
                m_library = m_dm.session.currentLibrary->name();
        } catch (const DmError &) {
            // A library object that cannot tell its name is not switched back to.
        }
        m_dm.window.setMousePointer(MousePointer::Hourglass);
        m_dm.window.processEvents();
    }

    // The window is handed back last, with everything else as it was before the command: what it shows
    // then (the move's result) may wait on the user, and must not hold the locks meanwhile.
    ~Frame()
    {
        if (m_running) {
            m_flags.moveRunning = false;
            m_dm.window.hideProgress();
        }
        m_lock.release();
        // After the user chose to end a lost session there is nothing to reconnect (a reconnection
        // would open a new session).
        if (!m_library.isEmpty() && m_dm.session.application)
            ConnectLibrary(m_dm, m_library);
        m_dm.window.setStatusText(m_status);
        m_dm.window.setMousePointer(MousePointer::Default);
        if (m_running)
            m_dm.window.setMoveRunning(false);
    }

    MoveLock &lock() { return m_lock; }

    // The moves run from the library current at the start, whose rights were checked, whichever
    // library a check read since.
    bool backToStart() { return !m_library.isEmpty() && ConnectLibrary(m_dm, m_library); }

    void startRunning()
    {
        m_running = true;
        m_flags.moveRunning = true;
        m_flags.cancelRequested = false;
        m_dm.window.setMoveRunning(true);
    }

private:
    DmContext &m_dm;
    // A move switches between its libraries for every folder; the pass-throughs of the command end with
    // it, after the switch back to the library it started in.
    PassThroughKeeping m_keeping;
    MoveFlags &m_flags;
    MoveLock m_lock;
    QString m_status;
    QString m_library;
    bool m_running = false;
};

// The pace of a command, by the log's clock, for its progress and the time left. Of a folder's work the
// linking takes three quarters (by the share the folder's move reports, which weighs what each item
// costs), the check and the removal an eighth each (both read or unlink every item once more), so that the
// bar and the time left do not stand at their end while the check and the removal still run. The time a
// folder's walk takes is known only once it has been walked, so the folder's own pace is taken from the
// moment its linking begins.
class MoveCommand::Pace {
public:
    Pace(ActivityLog &log, int folders) : m_log(log), m_folders(folders), m_start(log.now()) {}

    // A folder has begun: earlier ones are done, whatever they ended as.
    void beginFolder(int position)
    {
        m_position = position;
        m_folderStart = m_log.now();
        m_linkStart = {};
        m_items = 0;
        m_share = 0;
        m_progress = {.folder = position, .folders = m_folders, .itemsDone = m_itemsBefore};
    }
    void endFolder() { m_itemsBefore += m_items; }

    // Where the folder stands after a report of its move.
    const MoveProgress &at(const FolderStep &step)
    {
        if (step.phase == MovePhase::Linking) {
            if (!m_linkStart.isValid())
                m_linkStart = m_log.now();
            m_items = step.total;
            m_progress.itemsDone = m_itemsBefore + step.done;
            m_share = 0.75 * step.share;
        } else if (step.phase == MovePhase::Checking) {
            m_progress.itemsDone = m_itemsBefore + m_items;
            m_share = 0.75 + 0.125 * step.share;
        } else if (step.phase == MovePhase::Removing) {
            m_share = 0.875 + 0.125 * step.share;
        }
        m_progress.phase = step.phase;
        m_progress.item = step.done;
        m_progress.items = step.total;
        m_progress.share = (m_position - 1 + m_share) / m_folders;
        m_progress.secondsLeft = secondsLeft();
        return m_progress;
    }
    const MoveProgress &progress() const { return m_progress; }

private:
    // The rest of this folder at its pace since its linking began, and each later folder as long as the
    // folders before took on average (or as this one will, while it is the first).
    qint64 secondsLeft() const
    {
        const QDateTime now = m_log.now();
        if (!m_linkStart.isValid() || m_share <= 0)
            return -1;
        const double linking = double(m_linkStart.msecsTo(now)) / 1000;
        if (linking < 1)
            return -1;
        const double thisLeft = linking * (1 - m_share) / m_share;
        const int done = m_position - 1;
        const double perFolder = done > 0 ? double(m_start.msecsTo(m_folderStart)) / 1000 / done
                                          : double(m_folderStart.msecsTo(now)) / 1000 + thisLeft;
        return qint64(thisLeft + perFolder * (m_folders - m_position) + 0.5);
    }

    ActivityLog &m_log;
    const int m_folders;
    const QDateTime m_start;
    QDateTime m_folderStart;
    QDateTime m_linkStart;
    int m_position = 0;
    int m_items = 0;          // the items of the folder's tree
    qint64 m_itemsBefore = 0; // the items of the folders before it
    double m_share = 0;       // of the folder's own work
    MoveProgress m_progress;
};

MoveCommand::MoveCommand(DmContext &dm, MoveFlags &flags, MoveInstallation installation, MovePreview *preview)
    : m_dm(dm), m_flags(flags), m_installation(std::move(installation)), m_preview(preview)
{
}

// The command as the command line spells it, with the libraries as the DM spells them once they are known.
QString MoveCommand::commandText() const
{
    QStringList words{m_verb, m_source};
    if (!m_operand.isEmpty())
        words << m_operand;
    words << (m_target.isEmpty() ? m_dm.window.targetLibrary().trimmed() : m_target);
    words.removeAll(QString());
    return words.join(u' ');
}

void MoveCommand::startCommand(const QString &verb, const QString &source, const QString &operand)
{
    m_verb = verb;
    m_source = source;
    m_operand = operand;
    m_target.clear();
}

MoveOutcome MoveCommand::refuse(const QString &text)
{
    m_dm.log.WriteLog(text);
    m_dm.log.WriteDashLine();
    if (m_preview) {
        m_preview->refused(text);
        return MoveOutcome::Refused;
    }
    QString reason = text;
    if (reason.startsWith(QStringLiteral("Error: ")))
        reason.remove(0, 7);
    reason.replace(u'\n', QStringLiteral(" - "));
    m_dm.log.WriteLog(QStringLiteral("Move: refused ") + commandText() + QStringLiteral(": ") + reason);
    m_dm.window.showMessage(text, MessageIcon::Warning);
    return MoveOutcome::Refused;
}

// Past its question a command starts from zero on every counter and leaves its mark in the log.
void MoveCommand::started(int folders)
{
    m_left = {};
    for (const MoveCounter counter :
         {MoveCounter::Total, MoveCounter::Read, MoveCounter::Added, MoveCounter::Errors})
        m_dm.window.setCounter(counter, NumberText(0));
    m_dm.window.setCounter(MoveCounter::Total, NumberText(folders));
    const QString user = m_dm.session.currentLibrary ? m_dm.session.currentLibrary->userId() : QString();
    m_dm.log.WriteLog(QStringLiteral("Move: started ") + commandText() + QStringLiteral(" by ") + user +
                      QStringLiteral(", installation ") +
                      QDir::toNativeSeparators(QFileInfo(m_installation.file).absoluteFilePath()) +
                      QStringLiteral(", ") + NumberText(folders) + QStringLiteral(" folder(s)"));
}

MoveOutcome MoveCommand::ended(MoveOutcome outcome, int moved, int errors, int notMoved)
{
    QString line = QStringLiteral("Move: ended ") + commandText() + QStringLiteral(": ") +
                   (outcome == MoveOutcome::Done     ? QStringLiteral("done")
                    : outcome == MoveOutcome::Failed ? QStringLiteral("failed")
                                                     : QStringLiteral("cancelled")) +
                   QStringLiteral(" - ") + NumberText(moved) + QStringLiteral(" moved, ") +
                   NumberText(errors) + QStringLiteral(" error(s)");
    if (notMoved > 0)
        line += QStringLiteral(", ") + NumberText(notMoved) + QStringLiteral(" not moved");
    m_dm.log.WriteLog(line + QStringLiteral("; report ") + reportPath());
    return outcome;
}

QString MoveCommand::reportPath() const
{
    if (!m_dm.report || !m_dm.report->isWritten())
        return QStringLiteral("none");
    return QDir::toNativeSeparators(QFileInfo(m_dm.report->fileName()).absoluteFilePath());
}

// What a user needs to hear of a failure or a cancel beside the fact: the first cause of a failure, what
// is left where, and how to finish the move.
QString MoveCommand::leftDetails(int failed, int notMoved) const
{
    QString text;
    if (failed > 0 && !m_left.firstReason.isEmpty())
        text += QStringLiteral("\n\nFirst reason: ") + m_left.firstReason;
    const QString subject = failed == 0    ? (notMoved == 1 ? QStringLiteral("The folder not moved")
                                                            : QStringLiteral("Each folder not moved"))
                            : notMoved > 0 ? QStringLiteral("Each folder that failed or was not moved")
                            : failed == 1  ? QStringLiteral("The folder that failed")
                                           : QStringLiteral("Each folder that failed");
    text += QStringLiteral("\n\n") + subject +
            (m_left.removed > 0
                 ? QStringLiteral(" keeps in library ") + m_source +
                       QStringLiteral(" whatever was not yet removed (") + NumberText(m_left.removed) +
                       QStringLiteral(" old folder(s) were removed after their items were in the new tree)")
                 : QStringLiteral(" is kept whole in library ") + m_source) +
            QStringLiteral(". Library ") + m_target +
            (m_left.made > 0 ? QStringLiteral(" now holds ") + NumberText(m_left.made) +
                                   QStringLiteral(" folder(s) of its new tree, made or taken up by this move")
                             : QStringLiteral(" holds nothing new of it")) +
            QStringLiteral(". Running the same move again finishes it") +
            (failed > 0 ? QStringLiteral(" once the cause is mended.") : QStringLiteral("."));
    if (const QString report = reportPath(); report != u"none")
        text += u'\n' + ReportSentence(report);
    return text;
}

MoveCommand::Tally MoveCommand::tally() const
{
    if (!m_dm.report)
        return {};
    return {m_dm.report->mark(), m_dm.report->placed(), m_dm.report->succeeded(ReportAction::Removed)};
}

// The list a move would take, in its order; refused when a check refused.
MoveOutcome MoveCommand::preview(const QString &sourceLib, const QList<MoveListRow> &rows, bool lastFirst)
{
    for (qsizetype i = 0; i < rows.size(); ++i) {
        m_dm.window.processEvents();
        if (m_flags.cancelRequested) {
            m_preview->cancelled(int(rows.size() - i));
            return MoveOutcome::Cancelled;
        }
        const MoveListRow &row = rows[lastFirst ? rows.size() - 1 - i : i];
        if (row.docNumber != 0 && !row.name.isEmpty())
            m_preview->folder(row.docNumber, sourceLib, m_target);
    }
    return m_preview->wasRefused() ? MoveOutcome::Refused : MoveOutcome::Done;
}

// The checks every command makes before its question: the lock, the target, the source library and
// the rights. On true the move counts as running and sourceLib carries the DM's spelling.
bool MoveCommand::begin(Frame &frame, QString &sourceLib)
{
    // A preview only reads: it shares the locks with other previews, and a lock file it cannot create
    // leaves it unlocked rather than stopped.
    switch (
        frame.lock().acquire(m_preview ? MoveLock::Mode::Shared : MoveLock::Mode::Exclusive, commandText())) {
    case MoveLock::Outcome::Taken: {
        // On standard error too, as the log's warnings go there; a preview lists them among its hazards.
        const auto warn = [this](const QString &text) {
            m_dm.log.WriteLog(text);
            if (m_dm.previewWarnings)
                m_dm.previewWarnings->append(text);
        };
        for (const QString &move : frame.lock().interrupted())
            warn(QStringLiteral("Warning: The move ") + move +
                 QStringLiteral(", was interrupted - running it again finishes it"));
        for (const QString &warning : frame.lock().warnings())
            warn(QStringLiteral("Warning: The preview goes on without a lock: ") + warning);
        break;
    }
    case MoveLock::Outcome::Held:
        refuse(QStringLiteral("Error: Another move is running on this DM installation (") +
               frame.lock().holder() + QStringLiteral(") - try again when it has ended"));
        return false;
    case MoveLock::Outcome::Failed:
        refuse(QStringLiteral("Error: Unable to take the move lock of this DM installation: ") +
               frame.lock().holder());
        return false;
    }
    frame.startRunning();

    const QString target = m_dm.window.targetLibrary().trimmed();
    if (target.isEmpty()) {
        refuse(QStringLiteral("Error: No target library is chosen - nothing is moved"));
        return false;
    }
    const std::shared_ptr<DmLibrary> targetLibrary = FindLibrary(m_dm.session, target);
    if (!targetLibrary) {
        refuse(QStringLiteral("Error: The target library ") + UnknownLibraryText(m_dm.session, target) +
               QStringLiteral(" - nothing is moved"));
        return false;
    }
    const std::shared_ptr<DmLibrary> sourceLibrary = FindLibrary(m_dm.session, sourceLib);
    if (!sourceLibrary) {
        refuse(QStringLiteral("Error: The library ") + UnknownLibraryText(m_dm.session, sourceLib) +
               QStringLiteral(" - nothing is moved"));
        return false;
    }
    m_target = targetLibrary->name();
    sourceLib = sourceLibrary->name();
    m_source = sourceLib;
    if (sourceLib.compare(m_target, Qt::CaseInsensitive) == 0) {
        refuse(QStringLiteral("Error: The target library ") + m_target +
               QStringLiteral(" is the library the folders are in - choose another target library"));
        return false;
    }
    // Asked first: a library that does not open would seem to deny every right and hold no folder.
    for (DmLibrary *library : {targetLibrary.get(), sourceLibrary.get()}) {
        try {
            library->open();
        } catch (const DmError &error) {
            refuse(WithCause(QStringLiteral("Error: Unable to open library ") + library->name() +
                                 QStringLiteral(" - nothing is moved"),
                             error.description()));
            return false;
        }
    }
    // A preview goes on to show what a move with the rights would do.
    return mayMove(m_target) || m_preview;
}

bool MoveCommand::mayMove(const QString &target)
{
    const std::shared_ptr<DmLibrary> library = FindLibrary(m_dm.session, target);
    QString cause;
    for (const QString &right :
         {QStringLiteral("User.ManageRootFolders"), QStringLiteral("User.CreateFolder")})
        if (!holds(*library, right, cause)) {
            refuse(WithCause(NoFolderRightsLine(*library), cause));
            return false;
        }
    const std::shared_ptr<DmLibrary> current = m_dm.session.currentLibrary;
    if (!current || !holds(*current, QStringLiteral("User.SaveToRemoteLibrary"), cause)) {
        refuse(WithCause(QStringLiteral("Error: ") + (current ? current->userId() : QString()) +
                             QStringLiteral(" does not have rights to save folders to Remote ") +
                             QStringLiteral("libraries"),
                         cause));
        return false;
    }
    return true;
}

// A move's walk reaches every library of the session (a folder's parents may be kept in any of them), and
// a library's first connection may have something to say (Unique Document Names): it is said now, before
// the question, not half-way through the move. A library that does not connect is left to the walk,
// which refuses the folder that needs it. False when the command's own library cannot be made current again.
bool MoveCommand::connectLibraries(Frame &frame)
{
    const std::shared_ptr<DmLibraries> libraries = m_dm.session.libraries;
    const int count = libraries ? libraries->count() : 0;
    for (int i = 1; i <= count; ++i)
        if (const std::shared_ptr<DmLibrary> library = libraries->item(i))
            ConnectLibrary(m_dm, library->name());
    return frame.backToStart();
}

std::optional<QString> MoveCommand::folderName(int docNumber, const QString &library)
{
    if (!ConnectLibrary(m_dm, library))
        return std::nullopt;
    const SqlRows rows =
        QueryRows(m_dm, QStringLiteral("SELECT PR.DOCNAME FROM [OWNER].PROFILE PR, [OWNER].FOLDER F WHERE "
                                       "PR.DOCNUMBER = F.DOCNUMBER AND F.DOCNUMBER = ") +
                            NumberText(docNumber));
    if (rows.failed()) {
        // Said here, since the refusal that follows can only say "not a folder".
        m_dm.log.WriteLog(QStringLiteral("Error: Unable to read folder #") + NumberText(docNumber) +
                          QStringLiteral(" in library ") + library + QStringLiteral(": SQL error ") +
                          rows.errorText());
        return std::nullopt;
    }
    if (rows.isEmpty())
        return std::nullopt;
    return rows.value(0, 1).toString();
}

MoveCommand::Converted MoveCommand::convert(Frame &frame, Pace &pace, int position, int docNumber,
                                            const QString &sourceLib)
{
    pace.beginFolder(position);
    const Tally before = tally();
    QElapsedTimer shown; // since the window last showed the progress and ran its events
    const auto show = [&](const MoveProgress &progress, bool now) {
        if (!now && shown.isValid() && shown.elapsed() < EventInterval)
            return;
        m_dm.window.showProgress(progress);
        m_dm.window.processEvents();
        shown.start();
    };
    std::optional<MovePhase> phase; // each new phase is shown at once
    FolderWatch watch;
    watch.progress = [&](const FolderStep &step) {
        show(pace.at(step), std::exchange(phase, step.phase) != step.phase);
    };
    // Only a folder that stopped at a safe point counts as cancelled: one that failed before the next safe
    // point failed, whenever Cancel was pressed.
    bool stopped = false;
    watch.stop = [&] {
        show(pace.progress(), false);
        stopped = m_flags.cancelRequested;
        return stopped;
    };
    bool lockLost = false;
    watch.lockLost = [&]() -> QString {
        const QString lost = frame.lock().verify();
        if (lost.isEmpty())
            return {};
        lockLost = true;
        return QStringLiteral("Error: ") + lost +
               QStringLiteral(" - another move could now run beside this one, so this move stops here with "
                              "its source kept; running it again finishes it");
    };
    const QString lost = lostCause(sourceLib);
    if (!lost.isEmpty()) {
        m_dm.log.WriteLog(LostLibraryLine(QStringLiteral("Folder #") + NumberText(docNumber) +
                                              QStringLiteral(" of library ") + sourceLib +
                                              QStringLiteral(" is not moved"),
                                          lost));
        if (m_dm.report)
            m_dm.report->write({sourceLib, docNumber, QString(), ReportKind::Folder, m_target, 0},
                               ReportAction::Skipped, lost);
    }
    QString foreseen;
    watch.foreseen = [&](const QString &cause) { foreseen = cause; };
    const bool moved = lost.isEmpty() && ConvertFolder(m_dm, docNumber, sourceLib, m_target, watch);
    pace.endFolder();
    if (moved)
        return Converted::Moved;
    if (m_dm.report) {
        const Tally after = tally();
        m_left.made += after.made - before.made;
        m_left.removed += after.removed - before.removed;
        if (!stopped && m_left.firstReason.isEmpty())
            m_left.firstReason = Reason(foreseen, m_dm.report->failureSince(before.failures, false));
    }
    if (stopped)
        return Converted::Cancelled;
    RaiseCounter(m_dm.window, MoveCounter::Errors);
    return lockLost ? Converted::LockLost : Converted::Failed;
}

// Once the source or the target is lost, every later folder of the command would fail on it anyway: each
// fails with one line instead, and nothing is sent to either library.
QString MoveCommand::lostCause(const QString &sourceLib) const
{
    for (const QString &library : {sourceLib, m_target})
        if (const std::shared_ptr<DmLibrary> found = FindLibrary(m_dm.session, library))
            if (const QString cause = found->lostCause(); !cause.isEmpty())
                return cause;
    return {};
}

MoveOutcome MoveCommand::moveFolder(const QString &sourceLib, int docNumber, const QString &name,
                                    const RowMoved &moved)
{
    startCommand(QStringLiteral("move-folder"), sourceLib, NumberText(docNumber));
    Frame frame(m_dm, m_flags, m_installation);
    if (docNumber == 0)
        return refuse(QStringLiteral("Error: Folder Document # not identified for ") + name);
    QString source = sourceLib;
    if (!begin(frame, source))
        return MoveOutcome::Refused;
    const std::optional<QString> found = folderName(docNumber, source);
    if (!found)
        return refuse(QStringLiteral("Error: Document #") + NumberText(docNumber) +
                      QStringLiteral(" is not a folder of library ") + source +
                      QStringLiteral(" - nothing is moved\n") +
                      NotAFolderHint(QFileInfo(m_installation.file).absoluteFilePath(),
                                     m_dm.log.configuredLogPath(), source, docNumber));
    const QString shown = name.isEmpty() ? *found : name;
    if (!connectLibraries(frame))
        return MoveOutcome::Refused;
    if (m_preview)
        return preview(source, {{shown, docNumber}}, false);
    if (m_dm.window.confirmMove(QStringLiteral("Are you ready to move folder ") + Quoted(shown) +
                                QStringLiteral(" to library ") + m_target + QStringLiteral("?")) !=
        MessageAnswer::Yes)
        return MoveOutcome::Declined;
    const ReportedMove report(m_dm, m_reportFile, m_installation.databases);
    started(1);
    Pace pace(m_dm.log, 1);
    switch (convert(frame, pace, 1, docNumber, source)) {
    case Converted::Moved:
        break;
    case Converted::Cancelled:
        m_dm.window.showMoveResult(MoveSummary(0, 0, 1) + leftDetails(0, 1), MessageIcon::Information);
        return ended(MoveOutcome::Cancelled, 0, 0, 1);
    case Converted::Failed:
    case Converted::LockLost:
        m_dm.window.showMoveResult(QStringLiteral("Error: Unable to move folder ") + Quoted(shown) +
                                       QStringLiteral(" to library ") + m_target + leftDetails(1, 0),
                                   MessageIcon::Warning);
        return ended(MoveOutcome::Failed, 0, 1, 0);
    }
    if (moved)
        moved(0);
    m_dm.window.showMoveResult(QStringLiteral("Folder ") + Quoted(shown) +
                                   QStringLiteral(" moved to library ") + m_target,
                               MessageIcon::None);
    return ended(MoveOutcome::Done, 1, 0, 0);
}

MoveOutcome MoveCommand::moveFolders(const QString &sourceLib, const QString &category,
                                     const QList<MoveListRow> &rows, const RowMoved &moved)
{
    startCommand(QStringLiteral("move-category"), sourceLib,
                 category == u"Shared/Personal" ? QStringLiteral("shared") : QStringLiteral("public"));
    Frame frame(m_dm, m_flags, m_installation);
    QString source = sourceLib;
    if (!begin(frame, source))
        return MoveOutcome::Refused;
    if (!connectLibraries(frame))
        return MoveOutcome::Refused;
    if (m_preview)
        return preview(source, rows, false);
    if (m_dm.window.confirmMove(QStringLiteral("Are you ready to move ") + NumberText(int(rows.size())) +
                                u' ' + category + QStringLiteral(" folder(s) to library ") + m_target +
                                QStringLiteral("?")) != MessageAnswer::Yes)
        return MoveOutcome::Declined;
    return moveList(frame, source, rows, false, moved);
}

std::optional<QList<MoveListRow>> MoveCommand::libraryList(const QString &library)
{
    if (!ConnectLibrary(m_dm, library))
        return std::nullopt;
    const SqlRows rows = QueryRows(
        m_dm,
        QStringLiteral("SELECT F.DOCNUMBER, P.DOCNAME FROM ") + QStringLiteral("[OWNER]") +
            QStringLiteral(".") + QStringLiteral("FOLDER F, ") + QStringLiteral("[OWNER]") +
            QStringLiteral(".") + QStringLiteral("PROFILE P ") +
            QStringLiteral("WHERE F.DOCNUMBER = P.DOCNUMBER AND F.DOCNUMBER NOT IN ") +
            // An item is this library's folder only when its library is this one too: a document of
            // another library with the same number does not make the folder anyone's item.
            QStringLiteral("(SELECT FI.DOCNUMBER FROM [OWNER].FOLDER_ITEM FI, [OWNER].REMOTE_LIBRARIES RL "
                           "WHERE RL.SYSTEM_ID = FI.LIBRARY AND UPPER(RL.LIBRARY_NAME) = '") +
            SqlEscape(library.toUpper()) + QStringLiteral("') AND ") + QStringLiteral("P.SYSTEM_ID IN ") +
            QStringLiteral("(SELECT THING FROM ") + QStringLiteral("[OWNER]") + QStringLiteral(".") +
            QStringLiteral("SECURITY WHERE ACCESSRIGHTS = 255 AND ") +
            QStringLiteral("PERSONORGROUP = (SELECT SYSTEM_ID FROM ") + QStringLiteral("[OWNER]") +
            QStringLiteral(".") + QStringLiteral("PEOPLE WHERE USER_ID = '") +
            SqlEscape(m_dm.session.currentLibrary->userId()) + QStringLiteral("'))"));
    if (rows.failed())
        return std::nullopt;
    QList<MoveListRow> list;
    for (qsizetype r = 0; r < rows.size(); ++r)
        if (const int number = leadingInt32(rows.value(r, 1).toString()); number != 0)
            list.append({rows.value(r, 2).toString(), number});
    return list;
}

MoveOutcome MoveCommand::moveLibrary(const QString &sourceLib)
{
    startCommand(QStringLiteral("move-library"), sourceLib, QString());
    Frame frame(m_dm, m_flags, m_installation);
    QString source = sourceLib;
    if (!begin(frame, source))
        return MoveOutcome::Refused;
    // The list is read in the library whose folders are moved, whichever library was current.
    const std::optional<QList<MoveListRow>> rows = libraryList(source);
    if (!rows)
        return refuse(QStringLiteral("Error: Unable to read the folders of library ") + source +
                      QStringLiteral(" - nothing is moved"));
    if (!connectLibraries(frame))
        return MoveOutcome::Refused;
    if (m_preview)
        return preview(source, *rows, true);
    if (m_dm.window.confirmMove(QStringLiteral("Are you ready to move ") + NumberText(int(rows->size())) +
                                QStringLiteral(" folder(s) from library ") + source +
                                QStringLiteral(" to library ") + m_target + QStringLiteral("?")) !=
        MessageAnswer::Yes)
        return MoveOutcome::Declined;
    return moveList(frame, source, *rows, true, {});
}

MoveOutcome MoveCommand::moveList(Frame &frame, const QString &sourceLib, const QList<MoveListRow> &rows,
                                  bool lastFirst, const RowMoved &moved)
{
    const ReportedMove report(m_dm, m_reportFile, m_installation.databases);
    const int count = int(rows.size());
    started(count);
    Pace pace(m_dm.log, count);
    int done = 0;
    int errors = 0;
    int position = 0;
    for (; position < count; ++position) {
        m_dm.window.processEvents();
        // A session the user chose to end (the session check's question) ends the list like a cancel.
        if (m_flags.cancelRequested || !m_dm.session.application)
            break;
        const qsizetype row = lastFirst ? count - 1 - position : position;
        if (rows[row].docNumber == 0 || rows[row].name.isEmpty())
            continue;
        const Converted converted = convert(frame, pace, position + 1, rows[row].docNumber, sourceLib);
        if (converted == Converted::Cancelled)
            break;
        if (converted == Converted::Moved) {
            ++done;
            if (moved)
                moved(row);
        } else {
            ++errors;
            if (converted == Converted::LockLost) {
                ++position;
                break;
            }
        }
    }
    const int notMoved = count - position;
    QString summary = MoveSummary(done, errors, notMoved);
    if (errors > 0 || notMoved > 0)
        summary += leftDetails(errors, notMoved);
    m_dm.window.showMoveResult(summary, MessageIcon::Information);
    if (errors > 0)
        return ended(MoveOutcome::Failed, done, errors, notMoved);
    return ended(position < count ? MoveOutcome::Cancelled : MoveOutcome::Done, done, errors, notMoved);
}

QString MoveSummary(int moved, int errors, int notMoved)
{
    QString summary = NumberText(moved) + QStringLiteral(" folder(s) migrated with ") + NumberText(errors) +
                      QStringLiteral(" error(s).");
    if (notMoved > 0)
        summary += QStringLiteral(" Task Canceled - ") + NumberText(notMoved) +
                   QStringLiteral(" folder(s) not moved.");
    return summary;
}
