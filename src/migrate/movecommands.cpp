#include "migrate/movecommands.h"

#include "dm/connectlibrary.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "migrate/convertfolder.h"
#include "migrate/foldersteps.h"
#include "migrate/movelock.h"
#include "migrate/movereport.h"
#include "settings/leadingnumber.h"

namespace {

// A right the library's properties hold as true; a right the DM does not know is not held.
bool holds(const DmLibrary &library, const QString &right)
{
    try {
        const std::shared_ptr<DmProperties> properties = library.properties();
        const std::shared_ptr<DmProperty> property = properties ? properties->item(right) : nullptr;
        return property && property->value().toBool();
    } catch (const DmError &) {
        return false;
    }
}

} // namespace

// The common frame of the commands: what it saves at the start it puts back on every path out.
class MoveCommand::Frame {
public:
    Frame(DmContext &dm, MoveFlags &flags, const QString &lockFile)
        : m_dm(dm), m_flags(flags), m_lock(lockFile), m_status(dm.window.statusText())
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

    ~Frame()
    {
        if (m_running) {
            m_flags.moveRunning = false;
            m_dm.window.hideProgress();
            m_dm.window.setMoveRunning(false);
        }
        m_lock.release();
        // After the user chose to end a lost session there is nothing to reconnect (a reconnection
        // would open a new session).
        if (!m_library.isEmpty() && m_dm.session.application)
            ConnectLibrary(m_dm, m_library);
        m_dm.window.setStatusText(m_status);
        m_dm.window.setMousePointer(MousePointer::Default);
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
    MoveFlags &m_flags;
    MoveLock m_lock;
    QString m_status;
    QString m_library;
    bool m_running = false;
};

// The pace of a command so far, by the log's clock, for the time left.
class MoveCommand::Pace {
public:
    explicit Pace(ActivityLog &log) : m_log(log), m_start(log.now()) {}

    // done: the share of the work done, from 0 to 1.
    qint64 secondsLeft(double done) const
    {
        const qint64 elapsed = m_start.secsTo(m_log.now());
        if (done <= 0 || elapsed <= 0)
            return -1;
        return qint64(double(elapsed) * (1 - done) / done + 0.5);
    }

private:
    ActivityLog &m_log;
    QDateTime m_start;
};

MoveCommand::MoveCommand(DmContext &dm, MoveFlags &flags, QString lockFile, MovePreview *preview)
    : m_dm(dm), m_flags(flags), m_lockFile(std::move(lockFile)), m_preview(preview)
{
}

MoveOutcome MoveCommand::refuse(const QString &text)
{
    m_dm.log.WriteLog(text);
    m_dm.log.WriteDashLine();
    if (m_preview)
        m_preview->refused(text);
    else
        m_dm.window.showMessage(text, MessageIcon::Warning);
    return MoveOutcome::Refused;
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
    switch (frame.lock().acquire()) {
    case MoveLock::Outcome::Taken:
        break;
    case MoveLock::Outcome::TakenOver:
        m_dm.log.WriteLog(QStringLiteral("Warning: The move lock of ") + frame.lock().holder() +
                          QStringLiteral(", which no longer runs, was taken over"));
        break;
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
        refuse(QStringLiteral("Error: The target library ") + target +
               QStringLiteral(" is not a library of this DM installation - nothing is moved"));
        return false;
    }
    const std::shared_ptr<DmLibrary> sourceLibrary = FindLibrary(m_dm.session, sourceLib);
    if (!sourceLibrary) {
        refuse(QStringLiteral("Error: The library ") + sourceLib +
               QStringLiteral(" is not a library of this DM installation - nothing is moved"));
        return false;
    }
    m_target = targetLibrary->name();
    sourceLib = sourceLibrary->name();
    if (sourceLib.compare(m_target, Qt::CaseInsensitive) == 0) {
        refuse(QStringLiteral("Error: The target library ") + m_target +
               QStringLiteral(" is the library the folders are in - choose another target library"));
        return false;
    }
    // A preview goes on to show what a move with the rights would do.
    return mayMove(m_target) || m_preview;
}

bool MoveCommand::mayMove(const QString &target)
{
    const std::shared_ptr<DmLibrary> library = FindLibrary(m_dm.session, target);
    for (const QString &right :
         {QStringLiteral("User.ManageRootFolders"), QStringLiteral("User.CreateFolder")})
        if (!holds(*library, right)) {
            refuse(QStringLiteral("Error: ") + library->userId() +
                   QStringLiteral(" does not have rights to manage folders in library ") + library->name());
            return false;
        }
    const std::shared_ptr<DmLibrary> current = m_dm.session.currentLibrary;
    if (!current || !holds(*current, QStringLiteral("User.SaveToRemoteLibrary"))) {
        refuse(QStringLiteral("Error: ") + (current ? current->userId() : QString()) +
               QStringLiteral(" does not have rights to save folders to Remote ") +
               QStringLiteral("libraries"));
        return false;
    }
    return true;
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

bool MoveCommand::convert(const Pace &pace, int position, int count, int docNumber, const QString &sourceLib)
{
    MoveProgress progress{
        .folder = position, .folders = count, .secondsLeft = pace.secondsLeft(double(position - 1) / count)};
    m_dm.window.showProgress(progress);
    const bool moved = ConvertFolder(m_dm, docNumber, sourceLib, m_target, [&](int done, int total) {
        progress.item = done;
        progress.items = total;
        progress.secondsLeft =
            pace.secondsLeft((position - 1 + (total > 0 ? double(done) / total : 0.0)) / count);
        m_dm.window.showProgress(progress);
    });
    if (!moved)
        RaiseCounter(m_dm.window, MoveCounter::Errors);
    return moved;
}

MoveOutcome MoveCommand::moveFolder(const QString &sourceLib, int docNumber, const QString &name,
                                    const RowMoved &moved)
{
    Frame frame(m_dm, m_flags, m_lockFile);
    if (docNumber == 0)
        return refuse(QStringLiteral("Error: Folder Document # not identified for ") + name);
    QString source = sourceLib;
    if (!begin(frame, source))
        return MoveOutcome::Refused;
    const std::optional<QString> found = folderName(docNumber, source);
    if (!found)
        return refuse(QStringLiteral("Error: Document #") + NumberText(docNumber) +
                      QStringLiteral(" is not a folder of library ") + source +
                      QStringLiteral(" - nothing is moved"));
    const QString shown = name.isEmpty() ? *found : name;
    if (!frame.backToStart())
        return MoveOutcome::Refused;
    if (m_preview)
        return preview(source, {{shown, docNumber}}, false);
    if (m_dm.window.confirmMove(QStringLiteral("Are you ready to move folder ") + Quoted(shown) +
                                QStringLiteral(" to library ") + m_target + QStringLiteral("?")) !=
        MessageAnswer::Yes)
        return MoveOutcome::Declined;
    const ReportedMove report(m_dm, m_reportFile);
    m_dm.window.setCounter(MoveCounter::Total, NumberText(1));
    const Pace pace(m_dm.log);
    if (!convert(pace, 1, 1, docNumber, source)) {
        m_dm.window.showMessage(QStringLiteral("Error: Unable to move folder ") + Quoted(shown) +
                                    QStringLiteral(" to library ") + m_target,
                                MessageIcon::Warning);
        return MoveOutcome::Failed;
    }
    if (moved)
        moved(0);
    m_dm.window.showMessage(QStringLiteral("Folder ") + Quoted(shown) + QStringLiteral(" moved to library ") +
                                m_target,
                            MessageIcon::None);
    return MoveOutcome::Done;
}

MoveOutcome MoveCommand::moveFolders(const QString &sourceLib, const QString &category,
                                     const QList<MoveListRow> &rows, const RowMoved &moved)
{
    Frame frame(m_dm, m_flags, m_lockFile);
    QString source = sourceLib;
    if (!begin(frame, source))
        return MoveOutcome::Refused;
    if (m_preview)
        return preview(source, rows, false);
    if (m_dm.window.confirmMove(QStringLiteral("Are you ready to move ") + NumberText(int(rows.size())) +
                                u' ' + category + QStringLiteral(" folder(s) to library ") + m_target +
                                QStringLiteral("?")) != MessageAnswer::Yes)
        return MoveOutcome::Declined;
    return moveList(source, rows, false, moved);
}

std::optional<QList<MoveListRow>> MoveCommand::libraryList(const QString &library)
{
    if (!ConnectLibrary(m_dm, library))
        return std::nullopt;
    const SqlRows rows = QueryRows(
        m_dm, QStringLiteral("SELECT F.DOCNUMBER, P.DOCNAME FROM ") + QStringLiteral("[OWNER]") +
                  QStringLiteral(".") + QStringLiteral("FOLDER F, ") + QStringLiteral("[OWNER]") +
                  QStringLiteral(".") + QStringLiteral("PROFILE P ") +
                  QStringLiteral("WHERE F.DOCNUMBER = P.DOCNUMBER AND F.DOCNUMBER NOT IN ") +
                  QStringLiteral("(SELECT DOCNUMBER FROM ") + QStringLiteral("[OWNER]") +
                  QStringLiteral(".") + QStringLiteral("FOLDER_ITEM) AND ") +
                  QStringLiteral("P.SYSTEM_ID IN ") + QStringLiteral("(SELECT THING FROM ") +
                  QStringLiteral("[OWNER]") + QStringLiteral(".") +
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
    Frame frame(m_dm, m_flags, m_lockFile);
    QString source = sourceLib;
    if (!begin(frame, source))
        return MoveOutcome::Refused;
    // The list is read in the library whose folders are moved, whichever library was current.
    const std::optional<QList<MoveListRow>> rows = libraryList(source);
    if (!rows)
        return refuse(QStringLiteral("Error: Unable to read the folders of library ") + source +
                      QStringLiteral(" - nothing is moved"));
    if (!frame.backToStart())
        return MoveOutcome::Refused;
    if (m_preview)
        return preview(source, *rows, true);
    if (m_dm.window.confirmMove(QStringLiteral("Are you ready to move ") + NumberText(int(rows->size())) +
                                QStringLiteral(" folder(s) from library ") + source +
                                QStringLiteral(" to library ") + m_target + QStringLiteral("?")) !=
        MessageAnswer::Yes)
        return MoveOutcome::Declined;
    return moveList(source, *rows, true, {});
}

MoveOutcome MoveCommand::moveList(const QString &sourceLib, const QList<MoveListRow> &rows, bool lastFirst,
                                  const RowMoved &moved)
{
    const ReportedMove report(m_dm, m_reportFile);
    const int count = int(rows.size());
    m_dm.window.setCounter(MoveCounter::Total, NumberText(count));
    const Pace pace(m_dm.log);
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
        if (convert(pace, position + 1, count, rows[row].docNumber, sourceLib)) {
            ++done;
            if (moved)
                moved(row);
        } else {
            ++errors;
        }
    }
    m_dm.window.showMessage(MoveSummary(done, errors, count - position), MessageIcon::Information);
    if (errors > 0)
        return MoveOutcome::Failed;
    return position < count ? MoveOutcome::Cancelled : MoveOutcome::Done;
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
