#include "batch/batchrun.h"

#include "batch/consolewindow.h"
#include "browse/folderqueries.h"
#include "dm/connectlibrary.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "log/logfilename.h"
#include "migrate/foldersteps.h"
#include "migrate/movecommands.h"
#include "migrate/movereport.h"
#include "settings/leadingnumber.h"
#include "settings/product.h"

#include <QFileInfo>

#include <array>
#include <csignal>

namespace {

extern "C" void onInterrupt(int)
{
    InterruptBatch();
}

// Ctrl+C, and the signals a closing terminal or a service manager send, cancel the move for as long as
// the batch run lasts. Without SA_RESTART, so that a question read from the terminal ends at once.
class InterruptGuard {
public:
    InterruptGuard()
    {
#ifdef Q_OS_UNIX
        struct sigaction action {};
        action.sa_handler = onInterrupt;
        sigemptyset(&action.sa_mask);
        for (std::size_t i = 0; i < Signals.size(); ++i)
            sigaction(Signals[i], &action, &m_previous[i]);
#else
        m_previous = std::signal(SIGINT, onInterrupt);
#endif
    }
    ~InterruptGuard()
    {
#ifdef Q_OS_UNIX
        for (std::size_t i = 0; i < Signals.size(); ++i)
            sigaction(Signals[i], &m_previous[i], nullptr);
#else
        std::signal(SIGINT, m_previous);
#endif
        ForgetInterrupts();
    }
    InterruptGuard(const InterruptGuard &) = delete;
    InterruptGuard &operator=(const InterruptGuard &) = delete;

private:
#ifdef Q_OS_UNIX
    static constexpr std::array<int, 3> Signals = {SIGINT, SIGTERM, SIGHUP};
    std::array<struct sigaction, 3> m_previous{};
#else
    void (*m_previous)(int);
#endif
};

int exitCodeOf(MovePreview::Verdict verdict)
{
    switch (verdict) {
    case MovePreview::Verdict::Clean:
        break;
    case MovePreview::Verdict::Fails:
        return ExitFailed;
    case MovePreview::Verdict::Refused:
        return ExitRefused;
    }
    return ExitDone;
}

// The plan of a preview in the report's columns, where --report names.
void reportPlan(Run &run, ConsoleWindow &window, const MovePreview &preview, const QString &fileName,
                const QStringList &libraryDatabases)
{
    MoveReport report(run.log(), fileName, libraryDatabases);
    preview.writeRows(report);
    if (report.isWritten())
        window.offerReport(QFileInfo(fileName).absoluteFilePath());
}

// The folders the tree lists in a category of the library, with the tree's own level query, so that
// a category moves exactly what the tree offers under it. Null when the library cannot be read; the
// library that was current is current again afterwards.
std::optional<QList<MoveListRow>> categoryFolders(DmContext &dm, const QString &library, bool shared)
{
    const QString current = dm.session.currentLibrary->name();
    std::optional<QList<MoveListRow>> folders;
    if (ConnectLibrary(dm, library)) {
        const SqlRows person = QueryRows(dm, PeopleIdQuery(dm.session.currentLibrary->userId()));
        const SqlRows rows =
            QueryRows(dm, FolderLevelQuery(shared ? -1 : 0, leadingInt32(person.value(0, 1).toString()),
                                           dm.session.currentLibrary->name()));
        if (!person.failed() && !rows.failed()) {
            folders.emplace();
            for (qsizetype r = 0; r < rows.size(); ++r)
                folders->append({rows.value(r, 2).toString(), leadingInt32(rows.value(r, 1).toString())});
        }
    }
    ConnectLibrary(dm, current);
    return folders;
}

bool opens(DmLibrary &library)
{
    try {
        library.open();
        return true;
    } catch (const DmError &) {
        return false;
    }
}

MoveOutcome runCommand(const CommandLine &line, Run &run, ConsoleWindow &window,
                       const MoveInstallation &installation, MovePreview *preview)
{
    DmContext &dm = run.dm();
    MoveCommand command(dm, run.moveFlags(), installation, preview);
    command.setReportFile(line.reportFile);
    switch (line.command) {
    case CommandLine::Command::MoveFolder:
        return command.moveFolder(line.library, line.docNumber, QString());
    case CommandLine::Command::MoveLibrary:
        return command.moveLibrary(line.library);
    case CommandLine::Command::MoveCategory:
    case CommandLine::Command::None:
        break;
    }
    QList<MoveListRow> rows;
    // An unknown library, and one that does not open, is the command's to refuse, with the cause.
    if (const std::shared_ptr<DmLibrary> library = FindLibrary(dm.session, line.library);
        library && opens(*library)) {
        const std::optional<QList<MoveListRow>> found =
            categoryFolders(dm, line.library, line.sharedCategory);
        if (!found) {
            window.showMessage(QStringLiteral("Error: Unable to read the folders of library ") +
                                   line.library + QStringLiteral(" - nothing is moved"),
                               MessageIcon::Critical, MessageButtons::Ok);
            return MoveOutcome::Failed;
        }
        rows = *found;
    }
    return command.moveFolders(
        line.library, line.sharedCategory ? QStringLiteral("Shared/Personal") : QStringLiteral("Public"),
        rows);
}

} // namespace

int RunBatch(const CommandLine &commandLine, const BatchEnvironment &environment,
             std::unique_ptr<DmFactory> factory, BatchConsole console, ActivityLog::Clock clock)
{
    // Before the lock, a question or a line of the log: a wrong path costs nothing.
    if (!commandLine.reportFile.isEmpty())
        if (const QString refusal =
                ReportFileRefusal(commandLine.reportFile, environment.installation.databases);
            !refusal.isEmpty()) {
            console.err << "korvel: --report " << commandLine.reportFile << ": " << refusal << Qt::endl;
            return ExitUsage;
        }
    const InterruptGuard interrupts;
    ConsoleSetup setup = std::move(console.terminal);
    setup.target = commandLine.target;
    setup.confirmMoves = commandLine.yes;
    setup.printStatus = commandLine.verbose;
    setup.clock = clock;
    ConsoleWindow window(console.out, console.err, std::move(setup));
    Run run(environment.settingsDirectory, std::move(factory), window, std::move(clock));
    window.setVerboseLogging(commandLine.logVerbose.value_or(run.settings().checkLogMethod() != 0));
    window.watchMoves(run.moveFlags());
    // A preview lists its hazards itself; a move shows its failures as the log hears them.
    std::optional<MovePreview> preview;
    if (commandLine.dryRun)
        preview.emplace(run.dm());
    else
        run.log().addFailureListener(
            [&window](bool error, const QString &text) { window.showLogFailure(error, text); });

    run.readRegistryFacts(environment.dmClient);
    run.openLog(DefaultLogFolder(), environment.installation.databases);
    run.writeStartLine();
    int code = ExitStartupFailed;
    try {
        if (!run.startSession())
            window.showMessage(StartFailureMessage(run, window.statusText()), MessageIcon::Critical,
                               MessageButtons::Ok);
        else if (!run.libraries().isEmpty() && run.hasUniversalAccess()) {
            code = int(runCommand(commandLine, run, window, environment.installation,
                                  preview ? &*preview : nullptr));
            if (preview) {
                preview->publish();
                if (code != ExitCancelled)
                    code = exitCodeOf(preview->verdict());
                if (!commandLine.reportFile.isEmpty())
                    reportPlan(run, window, *preview, commandLine.reportFile,
                               environment.installation.databases);
            }
        }
    } catch (const DmError &error) {
        ReportTrapped(run.log(), QStringLiteral("Batch"), error);
        window.showMessage(QStringLiteral("Error: ") + error.description(), MessageIcon::Critical,
                           MessageButtons::Ok);
    }
    if (!window.programEnded())
        run.end();
    // Named last, where a reader looks first; a log that could not be written is not named.
    if (const QFileInfo log(run.log().currentLogFileName()); log.isFile())
        window.showLogFile(log.absoluteFilePath());
    return code;
}
