#include "dm/fusion.h"

#include "dm/connectlibrary.h"
#include "dm/errornumbers.h"
#include "dmapi/dmerror.h"
#include "log/logfilename.h"
#include "settings/product.h"

#include <QLocale>

#include <functional>

namespace {

// Logs and shows one of the messages after which the session cannot start.
void cannotStart(DmContext &dm, const QString &message)
{
    dm.log.WriteLog(message);
    dm.window.showMessage(message, MessageIcon::Critical);
}

void ignoringErrors(const std::function<void()> &step)
{
    try {
        step();
    } catch (...) {
    }
}

} // namespace

void ReportTrapped(ActivityLog &log, const QString &procedureName, const DmError &error)
{
    log.WriteDashLine();
    log.WriteLog(procedureName + u':');
    log.ReportError(error.number(), error.source(), error.description());
}

bool StartFusion(DmContext &dm, QString *cause)
{
    DmSession &s = dm.session;
    ActivityLog &log = dm.log;
    const MousePointer pointer = dm.window.mousePointer();
    const QString cannotStartSuffix = QStringLiteral(" - cannot start ") + ProductName();
    bool result = false;
    s.ended = false;
    try {
        [&] {
            dm.window.setMousePointer(MousePointer::Hourglass);
            log.ShowStatus(QStringLiteral("Starting DM Browser Object"));
            const std::shared_ptr<DmBrowser> browser = dm.factory.createBrowser();
            if (!s.browserCompanion)
                s.browserCompanion = dm.factory.createBrowserCompanion();
            if (!browser || !s.browserCompanion)
                throw DmError(CannotCreateObjectError, QStringLiteral("StartFusion"),
                              QStringLiteral("Unable to create the DM browser object"));
            browser->initialize(s.browserCompanion);
            log.WriteDashLine();

            log.ShowStatus(QStringLiteral("Creating Fusion Application Object"));
            s.application = dm.factory.createApplication();
            log.WriteDashLine();
            if (!s.application) {
                cannotStart(dm, QStringLiteral("Error: Unable to set FUSION object") + cannotStartSuffix);
                return;
            }
            s.application->setWindowHandle(dm.window.windowHandle());

            log.ShowStatus(QStringLiteral("Logging in to the DM Server"));
            s.securityToken = s.application->securityToken();
            log.WriteDashLine();
            if (s.securityToken.isEmpty()) {
                cannotStart(dm,
                            QStringLiteral("Error: Unable to set Fusion Security Token") + cannotStartSuffix);
                s.application.reset();
                return;
            }

            log.ShowStatus(QStringLiteral("Setting Fusion Libraries Object"));
            s.libraries = s.application->libraries();
            log.WriteDashLine();
            if (!s.libraries) {
                cannotStart(dm, QStringLiteral("Error: Unable to set Libs object") + cannotStartSuffix);
                return;
            }

            log.ShowStatus(QStringLiteral("Identifying CurrentLibrary Object"));
            const std::shared_ptr<DmLibrary> current = s.application->currentLibrary();
            log.WriteDashLine();
            if (!current) {
                cannotStart(dm, QStringLiteral("Error: Unable to identify CurrentLibrary object") +
                                    cannotStartSuffix);
                return;
            }
            const QString name = current->name();
            log.ShowStatus(QStringLiteral("Connecting to current library ") + name);
            log.WriteDashLine();
            if (!ConnectLibrary(dm, name))
                return;
            log.ShowStatus(QStringLiteral("Fusion started with connection to ") + name);
            log.WriteDashLine();
            result = true;
        }();
        if (!result)
            ReportTrapped(log, QStringLiteral("StartFusion"), DmError(0, QString(), QString()));
    } catch (const DmError &error) {
        ReportTrapped(log, QStringLiteral("StartFusion"), error);
        log.ReportCause(error.description());
        if (cause)
            *cause = error.description();
        result = false;
    }
    dm.window.setMousePointer(pointer);
    dm.window.processEvents();
    return result;
}

bool CheckFusion(DmContext &dm, const QString &callerName)
{
    DmSession &s = dm.session;
    ActivityLog &log = dm.log;
    // The user chose to end the run already: re-creating the session now would carry on behind that
    // answer, and asking again would ask it once for every procedure still on its way out.
    if (s.ended)
        return false;
    const QString caller = callerName.toUpper();
    QString cause; // the DM's description of a runtime error that failed the check
    try {
        const bool ok = [&] {
            if (caller == QStringLiteral("CONNECTLIBRARY") && !s.application) {
                log.ShowStatus(QStringLiteral("CheckFusion is Re-Creating Fusion Application Object"));
                s.application = dm.factory.createApplication();
                log.WriteDashLine();
                if (!s.application) {
                    const QString message =
                        QStringLiteral("Error: Unable to set FUSION object for ") + callerName;
                    log.WriteLog(message);
                    dm.window.showMessage(message, MessageIcon::Critical);
                    return false;
                }
                s.application->setWindowHandle(dm.window.windowHandle());
                log.ShowStatus(QStringLiteral("Logging in to the DM Server for ") + callerName);
                s.securityToken = s.application->securityToken();
                log.WriteDashLine();
            }
            if (!s.application) {
                log.ShowStatus(QStringLiteral("Error: Fusion object is not set for ") + callerName);
                return false;
            }
            if (s.application->securityToken().trimmed().isEmpty()) {
                log.ShowStatus(QStringLiteral("Error: Fusion object security token is blank for ") +
                               callerName);
                return false;
            }
            if (!s.libraries)
                s.libraries = s.application->libraries();
            if (!s.libraries) {
                log.ShowStatus(QStringLiteral("Error: Libs object is not set for ") + callerName);
                return false;
            }
            if (s.libraries->count() <= 0) {
                log.ShowStatus(QStringLiteral("Error: Libs object returns no libraries for ") + callerName);
                return false;
            }
            if (caller == QStringLiteral("RUNSQL") && !s.sql) {
                log.WriteLog(QStringLiteral("CheckFusion is Re-Setting PCDClient.PCDSQL Object"));
                const bool created = s.sql.create(dm.factory);
                log.WriteDashLine();
                if (!created) {
                    log.WriteLog(QStringLiteral("Error: Unable to set SQL object for ") + callerName);
                    log.WriteDashLine();
                    return false;
                }
                log.WriteLog(QStringLiteral("Setting pSQL DST for ") + callerName);
                s.sql.bindToken(s.application->securityToken());
                log.WriteDashLine();
                if (s.currentLibrary) {
                    const QString library = s.currentLibrary->name();
                    log.WriteLog(QStringLiteral("Setting pSQL library to ") + library +
                                 QStringLiteral(" for ") + callerName);
                    s.sql.bindLibrary(library);
                    log.WriteDashLine();
                }
            }
            return true;
        }();
        if (ok)
            return true;
    } catch (const DmError &error) {
        // Any runtime error inside the check is a failed check.
        cause = error.description();
    }

    log.WriteDashLine();
    const QDateTime now = log.now();
    const QString failure = QStringLiteral("Error: CheckFusion failed on ") + callerName +
                            QStringLiteral(" on ") + QLocale().toString(now.date(), QLocale::LongFormat) +
                            QStringLiteral(" at ") + TwelveHourTime(now.time()) +
                            (cause.isEmpty() ? QString() : QStringLiteral("\r\n") + cause);
    log.WriteLog(failure);
    log.WriteEqualsLine();
    const QString question = failure + QStringLiteral("\r\n\r\n") + ExitNowQuestion();
    if (dm.window.showMessage(question, MessageIcon::Warning, MessageButtons::YesNo) == MessageAnswer::Yes)
        EndProgram(dm);
    return false;
}

QString ExitNowQuestion()
{
    return QStringLiteral("Do you want to exit ") + ProductName() + QStringLiteral(" now?");
}

void EndProgram(DmContext &dm)
{
    DmSession &s = dm.session;
    s.ended = true;
    ignoringErrors([&] {
        if (s.sharedProfile)
            s.sharedProfile->close();
    });
    s.sharedProfile.reset();
    s.sharedFolder.reset();
    s.libraries.reset();
    s.currentLibrary.reset();
    s.sql.reset();
    s.application.reset();
    ignoringErrors([&] {
        if (s.browserCompanion)
            s.browserCompanion->close();
    });
    const QDateTime now = dm.log.now();
    dm.log.ShowStatus(ProductName() + QStringLiteral(" Build ") + QString::number(BuildNumber()) +
                      QStringLiteral(" (") + BuildDate() + QStringLiteral(") Ended on ") +
                      QLocale().toString(now.date(), QLocale::LongFormat) + QStringLiteral(" at ") +
                      QLocale().toString(now.time(), QLocale::LongFormat));
    dm.log.WriteEqualsLine();
    dm.window.endProgram();
}
