#include "app/program.h"
#include "dmapi/dmerror.h"
#include "localdm/demoinstallation.h"
#include "localdm/localdm.h"
#include "localdm/localdmfactory.h"
#include "localdm/localsql.h"
#include "settings/product.h"

#include <QApplication>
#include <QMessageBox>

namespace {

// Splits the installation option ("--dm FILE" or "--dm=FILE") off the arguments; the rest is the
// command line proper.
QString takeInstallationOption(QStringList &arguments)
{
    QString installation;
    for (qsizetype i = 0; i < arguments.size();) {
        if (arguments[i] == QStringLiteral("--dm") && i + 1 < arguments.size()) {
            installation = arguments[i + 1];
            arguments.remove(i, 2);
        } else if (arguments[i].startsWith(QStringLiteral("--dm="))) {
            installation = arguments[i].mid(5);
            arguments.remove(i);
        } else {
            ++i;
        }
    }
    return installation;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(ProductName());
    QApplication::setApplicationVersion(QStringLiteral(KORVEL_VERSION));
    // The program ends through its own unload, never because its last window closed.
    QApplication::setQuitOnLastWindowClosed(false);

    QStringList arguments = QApplication::arguments().mid(1);
    const QString installationOption = takeInstallationOption(arguments);

    std::shared_ptr<LocalDm> dm;
    LocatedInstallation installation;
    try {
        installation = FindInstallation(installationOption);
        dm = std::make_shared<LocalDm>(Installation::load(installation.fileName));
    } catch (const DmError &error) {
        QMessageBox::critical(nullptr, ApplicationTitle(), error.description());
        return int(ExitCode::StartupFailed);
    }

    ProgramEnvironment environment{QApplication::applicationFilePath(),
                                   arguments.join(u' '),
                                   SettingsStore::defaultDirectory(),
                                   installation.fileName,
                                   installation.demo,
                                   installation.created,
                                   {LocalDmVersion(), LocalDmPatchLevel()}};
    Program program(environment,
                    std::make_unique<LocalDmFactory>(dm, [dm] { return std::make_shared<LocalSql>(dm); }));
    QObject::connect(&program.window(), &DMMain::programEnded, &app, &QApplication::quit,
                     Qt::QueuedConnection);
    program.Form_Load();
    if (program.window().programHasEnded())
        return int(program.exitCode());
    return QApplication::exec();
}
