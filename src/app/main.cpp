#include "app/program.h"
#include "batch/batchrun.h"
#include "batch/commandline.h"
#include "dmapi/dmerror.h"
#include "localdm/localdm.h"
#include "localdm/localdmfactory.h"
#include "localdm/sql/localsql.h"
#include "localdm/store/servermovelock.h"
#include "localdm/tools/demoinstallation.h"
#include "settings/product.h"

#include <QApplication>
#include <QIcon>
#include <QMessageBox>

#include <cstdio>

#ifdef Q_OS_UNIX
#include <unistd.h>
#endif

namespace {

std::unique_ptr<DmFactory> localFactory(const std::shared_ptr<LocalDm> &dm)
{
    return std::make_unique<LocalDmFactory>(dm, [dm] { return std::make_shared<LocalSql>(dm); });
}

void setApplicationFacts()
{
    QCoreApplication::setApplicationName(ProductName());
    QCoreApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));
}

// Without a display: the batch run on a core application.
int runBatch(int argc, char **argv, const CommandLine &commandLine)
{
    QCoreApplication app(argc, argv);
    setApplicationFacts();
    QTextStream err(stderr);
    std::shared_ptr<LocalDm> dm;
    MoveInstallation located;
    try {
        located.file = LocateInstallation(commandLine.installation);
        Installation installation = Installation::load(located.file);
        for (LibraryConfig &library : installation.libraries)
            library.readOnly = commandLine.dryRun;
        located.databases = installation.databaseFiles();
        located.serverLocks = ServerMoveLocks(installation);
        dm = std::make_shared<LocalDm>(installation);
    } catch (const DmError &error) {
        err << "Error: " << error.description() << Qt::endl;
        return ExitStartupFailed;
    }
    QTextStream out(stdout);
    ConsoleSetup terminal;
#ifdef Q_OS_UNIX
    terminal.progressLine = ::isatty(STDERR_FILENO) != 0;
    if (::isatty(STDIN_FILENO))
        terminal.ask = []() -> std::optional<QString> {
            char line[256];
            // An interrupt ends the wait with nothing read: the answer is No.
            if (!std::fgets(line, sizeof line, stdin))
                return std::nullopt;
            return QString::fromLocal8Bit(line);
        };
#endif
    return RunBatch(commandLine,
                    {QCoreApplication::applicationFilePath(),
                     SettingsStore::defaultDirectory(),
                     std::move(located),
                     {LocalDmVersion(), LocalDmPatchLevel()}},
                    localFactory(dm), {out, err, std::move(terminal)});
}

int runWindow(int argc, char **argv, const CommandLine &commandLine)
{
    // Qt would abort without a display; one line says why instead.
    if (const QString missing = MissingDisplay(QProcessEnvironment::systemEnvironment());
        !missing.isEmpty()) {
        QTextStream(stderr) << "korvel: " << missing << Qt::endl;
        return ExitStartupFailed;
    }
    QApplication app(argc, argv);
    setApplicationFacts();
    // Every window of the program shows the icon of its menu entry: the icon theme's "korvel" (installed
    // with the program, or a theme's own), else the bundled one.
    QIcon bundled;
    for (const int size : {32, 64, 256})
        bundled.addFile(QStringLiteral(":/icons/korvel-%1.png").arg(size));
    QApplication::setWindowIcon(QIcon::fromTheme(QStringLiteral("korvel"), bundled));
    // The program ends through its own unload, never because its last window closed.
    QApplication::setQuitOnLastWindowClosed(false);

    std::shared_ptr<LocalDm> dm;
    LocatedInstallation installation;
    QStringList databases;
    QList<LibraryLockMaker> serverLocks;
    try {
        installation = FindInstallation(commandLine.installation);
        const Installation loaded = Installation::load(installation.fileName);
        databases = loaded.databaseFiles();
        serverLocks = ServerMoveLocks(loaded);
        dm = std::make_shared<LocalDm>(loaded);
    } catch (const DmError &error) {
        QMessageBox::critical(nullptr, ApplicationTitle(), error.description());
        return ExitStartupFailed;
    }

    ProgramEnvironment environment{QApplication::applicationFilePath(),
                                   commandLine.freeForm,
                                   SettingsStore::defaultDirectory(),
                                   installation.fileName,
                                   databases,
                                   serverLocks,
                                   installation.demo,
                                   installation.created,
                                   {LocalDmVersion(), LocalDmPatchLevel()}};
    Program program(environment, localFactory(dm));
    QObject::connect(&program.window(), &DMMain::programEnded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    program.Form_Load();
    if (program.window().programHasEnded())
        return int(program.exitCode());
    return QApplication::exec();
}

} // namespace

int main(int argc, char **argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    const CommandLine commandLine = ParseCommandLine(arguments);
    QTextStream out(stdout);
    QTextStream err(stderr);
    switch (commandLine.mode) {
    case CommandLine::Mode::Help: {
        // The program's own folder is known only to an application object.
        const QCoreApplication app(argc, argv);
        out << HelpText(ReadmeFile(QCoreApplication::applicationDirPath()));
        return ExitDone;
    }
    case CommandLine::Mode::Version:
        out << "korvel " << KORVEL_VERSION << Qt::endl;
        return ExitDone;
    case CommandLine::Mode::UsageError:
        err << "korvel: " << commandLine.error << '\n' << UsageLines() << "Try korvel --help." << Qt::endl;
        return ExitUsage;
    case CommandLine::Mode::Batch:
        return runBatch(argc, argv, commandLine);
    case CommandLine::Mode::Window:
        break;
    }
    return runWindow(argc, argv, commandLine);
}
