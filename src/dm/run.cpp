#include "dm/run.h"

#include "dm/errornumbers.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "log/logfilename.h"
#include "settings/leadingnumber.h"
#include "settings/product.h"

#include <QFileInfo>
#include <QLocale>

namespace {

const QString PowerDocsKey = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\PowerDOCS\\");
const QString ExtensionsKey =
    QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\Hummingbird DM Extensions API\\");

} // namespace

Run::Run(const QString &settingsDirectory, std::unique_ptr<DmFactory> factory, WindowSeam &window,
         ActivityLog::Clock clock)
    : m_factory(std::move(factory)), m_store(settingsDirectory), m_settings(m_store),
      m_log(window, std::move(clock)), m_dm{*m_factory, m_session, m_connection, m_log, window, m_settings}
{
    // Without TZ the C library reads the system's zone file again at every local time it works out, and
    // the log and the SQL runner work out several for each statement of a move. Naming the same file
    // lets it read the file once.
    if (qEnvironmentVariableIsEmpty("TZ") && QFileInfo::exists(QStringLiteral("/etc/localtime")))
        qputenv("TZ", ":/etc/localtime");
}

void Run::readRegistryFacts(const DmClientFacts &fallback)
{
    const auto read = [this](const QString &value) {
        const QString first = m_registry.GetRegistryValue(PowerDocsKey + value).toString();
        return first.isEmpty() ? m_registry.GetRegistryValue(ExtensionsKey + value).toString() : first;
    };
    m_dmClientVersion = read(QStringLiteral("CurrentVersion"));
    m_dmClientPatchLevel = read(QStringLiteral("PatchLevel"));
    // A patch level without its version would describe a client that is not there.
    if (m_dmClientVersion.isEmpty()) {
        m_dmClientVersion = fallback.version;
        m_dmClientPatchLevel = fallback.patchLevel;
    }
}

QString Run::openLog(const QString &defaultFolder, const QStringList &libraryDatabases)
{
    const QString saved = m_settings.logFile(defaultFolder);
    const QString refusal = LogPathRefusal(saved, libraryDatabases, m_log.now().date());
    const QString logPath = refusal.isEmpty() ? saved : SavedSettings::defaultLogFile(defaultFolder);
    m_log.setConfiguredLogPath(logPath);
    if (!refusal.isEmpty())
        m_log.WriteLog(QStringLiteral("Warning: The saved log path ") + saved +
                       QStringLiteral(" is not used: ") + refusal + QStringLiteral("; the log goes to ") +
                       logPath);
    return logPath;
}

void Run::writeStartLine()
{
    const QDateTime now = m_log.now();
    m_log.WriteLog(ProductName() + QStringLiteral(" Build ") + QString::number(BuildNumber()) +
                   QStringLiteral(" (") + BuildDate() + QStringLiteral(") ") +
                   QStringLiteral("initiating startup on ") +
                   QLocale().toString(now.date(), QLocale::LongFormat) + QStringLiteral(" at ") +
                   QLocale().toString(now.time(), QLocale::LongFormat) + QStringLiteral(" using DM ") +
                   m_dmClientVersion + QStringLiteral(" patch ") + m_dmClientPatchLevel);
    m_log.WriteEqualsLine();
}

bool Run::startSession()
{
    m_connection.owner = QStringLiteral("DOCSADM");
    m_startFailureCause.clear();
    return StartFusion(m_dm, &m_startFailureCause);
}

QList<Run::Library> Run::libraries() const
{
    QList<Library> result;
    const int count = m_session.libraries->count();
    for (int i = 1; i <= count; ++i) {
        const std::shared_ptr<DmLibrary> library = m_session.libraries->item(i);
        if (!library)
            throw DmError(ObjectNotSetError, QStringLiteral("Form_Load"),
                          QStringLiteral("Library ") + QString::number(i) + QStringLiteral(" of ") +
                              QString::number(count) + QStringLiteral(" is not set"));
        result.append({library->name(), library->userId(), library->isPrimary()});
    }
    return result;
}

QString Run::currentLibraryName() const
{
    return m_session.currentLibrary->name();
}

QString Run::targetLibrary()
{
    QString target = m_settings.targetLibrary(QString());
    if (target.isEmpty())
        target = m_connection.masterLibrary;
    if (target.isEmpty())
        target = currentLibraryName();
    return target;
}

bool Run::hasUniversalAccess()
{
    const QString userId = m_session.currentLibrary->userId();
    m_log.ShowStatus(QStringLiteral("Verifying rights for ") + userId);
    const SqlRows rows = QueryRows(
        m_dm, QStringLiteral("SELECT COUNT(*) FROM ") + QStringLiteral("[OWNER]") + QStringLiteral(".") +
                  QStringLiteral("PEOPLEGROUPS PG WHERE PEOPLE_SYSTEM_ID = ") +
                  QStringLiteral("(SELECT SYSTEM_ID FROM ") + QStringLiteral("[OWNER]") +
                  QStringLiteral(".") + QStringLiteral("PEOPLE WHERE USER_ID = '") + SqlEscape(userId) +
                  QStringLiteral("') AND GROUPS_SYSTEM_ID IN ") + QStringLiteral("(SELECT SYSTEM_ID FROM ") +
                  QStringLiteral("[OWNER]") + QStringLiteral(".") +
                  QStringLiteral("GROUPS WHERE UNIV_ACCESS = 255)"));
    if (rows.failed())
        throw DmError(rows.errorNumber, QStringLiteral("RunSQL"),
                      QStringLiteral("Unable to verify the rights of ") + userId + QStringLiteral(": ") +
                          (rows.submitted ? rows.errorDescription : rows.errorText()));
    if (leadingInt32(rows.value(0, 1).toString()) != 0)
        return true;
    m_dm.window.showMessage(
        QStringLiteral("Error: You are not a member of any groups with Universal Access = 255. ") +
            QStringLiteral("This is a requirement for running ") + ProductName(),
        MessageIcon::Warning);
    return false;
}

void Run::end()
{
    EndProgram(m_dm);
}

QString StartFailureMessage(const Run &run, const QString &status)
{
    const QString message = QStringLiteral("Error: Unable to start the DM ") + run.dmClientVersion() +
                            QStringLiteral(" (patch ") + run.dmClientPatchLevel() +
                            QStringLiteral(") application (") + status +
                            QStringLiteral(") - I will end the program now");
    const QString cause = run.startFailureCause();
    return cause.isEmpty() ? message : message + u'\n' + cause;
}
