#include "batch/batchrun.h"

#include "batch/consolewindow.h"
#include "browse/folderqueries.h"
#include "dm/connectlibrary.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "log/logfilename.h"
#include "migrate/foldersteps.h"
#include "migrate/movecommands.h"
#include "settings/leadingnumber.h"
#include "settings/product.h"

#include <QFileInfo>

#include <csignal>

namespace {

extern "C" void onInterrupt(int)
{
    InterruptBatch();
}

// Ctrl+C cancels the move for as long as the batch run lasts.
class InterruptGuard {
public:
    InterruptGuard() : m_previous(std::signal(SIGINT, onInterrupt)) {}
    ~InterruptGuard()
    {
        std::signal(SIGINT, m_previous);
        ForgetInterrupts();
    }

private:
    void (*m_previous)(int);
};

// The folders the tree lists in a category of the library, with the tree's own level query: those
// the user or one of the user's groups holds any right on. Null when the library cannot be read; the
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

MoveOutcome runCommand(const CommandLine &line, Run &run, ConsoleWindow &window,
                       const QString &installationFile, MovePreview *preview)
{
    DmContext &dm = run.dm();
    MoveCommand command(dm, run.moveFlags(), installationFile, preview);
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
    // An unknown library is the command's to refuse.
    if (FindLibrary(dm.session, line.library)) {
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
             std::unique_ptr<DmFactory> factory, QTextStream &err, ActivityLog::Clock clock)
{
    ConsoleWindow window(err, commandLine.target, commandLine.yes, commandLine.verbose);
    Run run(environment.settingsDirectory, std::move(factory), window, std::move(clock));
    window.setVerboseLogging(commandLine.logVerbose.value_or(run.settings().checkLogMethod() != 0));
    window.watchMoves(run.moveFlags());
    const InterruptGuard interrupts;

    run.readRegistryFacts();
    run.openLog(DefaultLogFolder());
    run.writeStartLine();
    int code = ExitStartupFailed;
    try {
        if (!run.startSession())
            window.showMessage(QStringLiteral("Error: Unable to start the DM ") + run.dmClientVersion() +
                                   QStringLiteral(" (patch ") + run.dmClientPatchLevel() +
                                   QStringLiteral(") application (") + window.statusText() +
                                   QStringLiteral(") - I will end the program now"),
                               MessageIcon::Critical, MessageButtons::Ok);
        else if (!run.libraries().isEmpty() && run.hasUniversalAccess()) {
            std::optional<MovePreview> preview;
            if (commandLine.dryRun)
                preview.emplace(run.dm());
            code = int(runCommand(commandLine, run, window, environment.installationFile,
                                  preview ? &*preview : nullptr));
            if (preview)
                preview->publish();
        }
    } catch (const DmError &error) {
        run.log().WriteDashLine();
        run.log().WriteLog(QStringLiteral("Batch:"));
        run.log().ReportError(error.number(), error.source(), error.description());
        window.showMessage(QStringLiteral("Error: ") + error.description(), MessageIcon::Critical,
                           MessageButtons::Ok);
    }
    if (!window.programEnded())
        run.end();
    return code;
}
