#include "dm/connectlibrary.h"

#include "dm/errornumbers.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "settings/leadingnumber.h"
#include "settings/product.h"

namespace {

const QString CrLf = QStringLiteral("\r\n");

// A read whose failure must not pass for an empty answer: a refused or unsent statement becomes a
// runtime error of the connection.
SqlRows readRows(DmContext &dm, const QString &statement)
{
    SqlRows rows = QueryRows(dm, statement);
    if (rows.failed())
        throw DmError(rows.errorNumber, QStringLiteral("ConnectLibrary"), rows.errorText());
    return rows;
}

// The first column of the first row, empty when the statement found nothing.
QString readValue(DmContext &dm, const QString &statement)
{
    return readRows(dm, statement).value(0, 1).toString();
}

// "FROM [OWNER].TABLE" while an owner is known, else the bare table name.
QString ownerTable(const LibraryConnection &c, const QString &table)
{
    return c.owner.isEmpty() ? table : QStringLiteral("[OWNER].") + table;
}

// REMOTE_LIBRARIES keeps names in whatever case they were entered, and Oracle compares with case:
// both sides are upper-cased so that the lookup finds a library on every engine.
QString libraryNameLiteral(const QString &library)
{
    return u'\'' + SqlEscape(library.toUpper()) + u'\'';
}

QString libraryNameIs(const QString &library)
{
    return QStringLiteral(" WHERE UPPER(LIBRARY_NAME) = ") + libraryNameLiteral(library);
}

void applyDialect(DmContext &dm)
{
    LibraryConnection &c = dm.connection;
    const int engine = dm.session.sql.engineCode();
    if (IsOracle(engine)) {
        c.engineName = QStringLiteral("Oracle");
        c.nextColumn = QStringLiteral("\"NEXT\"");
    } else if (engine != UnknownEngine) {
        c.engineName = IsSybase(engine) ? QStringLiteral("Sybase") : QStringLiteral("MSSQL");
        c.nextColumn = QStringLiteral("[NEXT]");
    } else {
        c.engineName = QStringLiteral("*Unknown*");
    }
}

void showSessionLabels(DmContext &dm, const DmLibrary &library)
{
    dm.window.setUserName(library.userId());
    dm.window.setPrimaryGroup(library.userPrimaryGroup());
    dm.window.setLibraryName(library.name());
    dm.window.checkLibraryMenuEntry(library.name());
}

// Makes the pass-through, the owner, the dialect and the window's labels belong to whatever library
// object is current now, for when the library of before the switch cannot be had back. Silent: the
// restore tail has already said where the session ended up.
void realign(DmContext &dm)
{
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    try {
        if (!s.currentLibrary) {
            s.sql.reset();
            return;
        }
        const QString library = s.currentLibrary->name();
        if (!s.sql.isBoundTo(library)) {
            if (!s.sql.create(dm.factory))
                return;
            s.sql.bindToken(s.securityToken);
            s.sql.bindLibrary(library);
            applyDialect(dm);
        }
        const int row = c.rowOf(library.toUpper());
        if (row > 0 && !c.rows[row].owner.isEmpty())
            c.owner = c.rows[row].owner;
        showSessionLabels(dm, *s.currentLibrary);
    } catch (const DmError &error) {
        // Without a bound pass-through RunSQL re-creates one for the current library.
        s.sql.reset();
        dm.log.ReportError(error.number(), error.source(), error.description());
    }
}

// What the run believes about its current library, taken before a switch and put back when the
// switch fails: the library object (made active again), its pass-through, the current-library values
// and the window's session labels. What was learned about other libraries meanwhile stays cached.
class SwitchGuard {
public:
    explicit SwitchGuard(DmContext &dm)
        : m_dm(dm), m_library(dm.session.currentLibrary), m_sql(dm.session.sql), m_values(dm.connection)
    {
    }
    ~SwitchGuard()
    {
        if (!m_done)
            restore();
    }
    SwitchGuard(const SwitchGuard &) = delete;
    SwitchGuard &operator=(const SwitchGuard &) = delete;

    void commit() { m_done = true; }

    // Puts the run back on the library of before the switch. When the DM will not make that library
    // current again, the run follows the DM's current library instead, consistently.
    void restore()
    {
        if (m_done)
            return;
        m_done = true;
        DmSession &s = m_dm.session;
        // The run was ended meanwhile (the user chose to exit at a failed session check): nothing to
        // put back.
        if (!s.libraries)
            return;
        try {
            if (m_library)
                m_library->activate();
            s.currentLibrary = s.application ? s.application->currentLibrary() : m_library;
            if (!m_library || !s.currentLibrary ||
                s.currentLibrary->name().toUpper() != m_library->name().toUpper()) {
                realign(m_dm);
                return;
            }
            s.sql = m_sql;
            LibraryConnection &c = m_dm.connection;
            LibraryConnection values = m_values;
            values.rows = c.rows;
            values.libraryCount = c.libraryCount;
            values.firstConnectionDone = c.firstConnectionDone;
            c = values;
            showSessionLabels(m_dm, *s.currentLibrary);
        } catch (const DmError &error) {
            m_dm.log.ReportError(error.number(), error.source(), error.description());
            realign(m_dm);
        }
    }

private:
    DmContext &m_dm;
    std::shared_ptr<DmLibrary> m_library;
    PassThrough m_sql;
    LibraryConnection m_values;
    bool m_done = false;
};

void restoreTail(DmContext &dm, SwitchGuard &guard, const QString &name)
{
    DmSession &s = dm.session;
    ActivityLog &log = dm.log;
    log.WriteDashLine();
    guard.restore();
    try {
        if (!s.currentLibrary)
            log.WriteLog(QStringLiteral("Error: Unable to set library object to ") + name +
                         QStringLiteral(" - library object set to nothing"));
        else if (s.currentLibrary->name().toUpper() != name)
            log.WriteLog(QStringLiteral("Error: Unable to set library object to ") + name +
                         QStringLiteral(" - library object set to ") + s.currentLibrary->name());
    } catch (const DmError &error) {
        log.ReportError(error.number(), error.source(), error.description());
    }
    log.WriteEqualsLine();
}

void librariesProblemTail(DmContext &dm)
{
    ActivityLog &log = dm.log;
    log.WriteEqualsLine();
    const QString message = QStringLiteral("Error: The LIBS object is not set.") + CrLf +
                            QStringLiteral("This indicates a problem with how ") + ProductName() +
                            QStringLiteral(" accesses the DM API on your computer");
    log.WriteLog(message);
    log.WriteEqualsLine();
    if (dm.window.displayErrors())
        dm.window.showMessage(message, MessageIcon::Critical);
}

void warnRowMissing(DmContext &dm, const QString &name)
{
    dm.log.WriteLog(QStringLiteral("Warning: Unable to define library ") + name +
                    QStringLiteral(" in requisite Library Array"));
}

// True when the session is on the named library already, with a pass-through bound to it.
bool isConnectedTo(const DmSession &s, const QString &name)
{
    try {
        return s.currentLibrary && s.currentLibrary->name().toUpper() == name && s.sql.isBoundTo(name);
    } catch (const DmError &) {
        // A library object that cannot tell its name is reconnected.
        return false;
    }
}

void buildLibraryTable(DmContext &dm)
{
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    if (c.libraryCount != 0)
        return;
    const int count = s.libraries->count();
    c.rows = QList<LibraryRecord>(count + 1);
    for (int i = 1; i <= count; ++i) {
        const std::shared_ptr<DmLibrary> item = s.libraries->item(i);
        if (!item)
            continue;
        c.rows[i].name = item->name();
        if (item->isPrimary())
            dm.window.setUserNameToolTip(item->userId() + QStringLiteral(" primary library is ") +
                                         item->name());
    }
    c.libraryCount = count;
}

// The owner the switch will use: the row's, else the one the current library's REMOTE_LIBRARIES
// gives. False when that table does not list the library at all: its owner is unknown, and going on
// with the previous library's would send every later statement to the wrong schema.
bool chooseOwner(DmContext &dm, LibraryRecord &row, const QString &name)
{
    LibraryConnection &c = dm.connection;
    if (!row.owner.isEmpty())
        c.owner = row.owner;
    else if (CheckSQLSettings(dm, name) == OwnerLookup::NotListed)
        return false;
    if (!c.owner.isEmpty())
        row.owner = c.owner;
    return true;
}

// Makes the first library of the collection with that name the current library object; a runtime
// error while walking the collection counts as not found.
bool setLibraryObject(DmContext &dm, const QString &name)
{
    DmSession &s = dm.session;
    try {
        for (int i = 1; i <= s.libraries->count(); ++i) {
            const std::shared_ptr<DmLibrary> item = s.libraries->item(i);
            if (item && item->name().toUpper() == name) {
                dm.log.WriteLog(QStringLiteral("Setting Lib object to ") + item->name());
                s.currentLibrary = item;
                dm.log.WriteDashLine();
                break;
            }
        }
    } catch (const DmError &) {
        return false;
    }
    if (!s.currentLibrary) {
        dm.log.WriteLog(QStringLiteral("Error: Unable to set LIB object - cannot continue"));
        dm.log.WriteEqualsLine();
        return false;
    }
    return true;
}

// Puts the pass-through of the library being left aside for a switch back, where a command keeps them
// and its session may hold no transaction; otherwise it is released, which ends its session.
void setAsidePassThrough(DmSession &s)
{
    if (s.keepSql && s.sql && !s.sql.library().isEmpty() && !s.sql.mayHoldTransaction())
        s.keptSql.insert(s.sql.library().toUpper(), s.sql);
    s.sql.reset();
}

// The pass-through kept for the library since the command last left it, still bound to the session's
// token; else nothing.
PassThrough keptPassThrough(DmSession &s, const QString &library)
{
    PassThrough kept = s.keptSql.take(library.toUpper());
    if (kept && kept.token() == s.securityToken && kept.isBoundTo(library))
        return kept;
    return {};
}

enum class Bound { Fresh, Kept, Failed };

// A pass-through bound to the token and the library: the one kept for the library, else a fresh one.
// Failed, with the reason logged, when none can be created.
Bound bindPassThrough(DmContext &dm, const QString &library)
{
    DmSession &s = dm.session;
    ActivityLog &log = dm.log;
    setAsidePassThrough(s);
    log.WriteLog(QStringLiteral("Setting PCDClient.PCDSQL Object"));
    PassThrough kept = keptPassThrough(s, library);
    const bool created = kept || s.sql.create(dm.factory);
    log.WriteDashLine();
    if (!created) {
        log.WriteEqualsLine();
        log.WriteLog(QStringLiteral("Error: Unable to set SQL object - cannot start ") + ProductName());
        log.WriteEqualsLine();
        return Bound::Failed;
    }
    log.WriteLog(QStringLiteral("Setting pSQL object"));
    if (kept)
        s.sql = kept;
    else
        s.sql.bindToken(s.securityToken);
    log.WriteDashLine();
    log.WriteLog(QStringLiteral("Setting pSQL library to ") + library);
    if (!kept)
        s.sql.bindLibrary(library);
    log.WriteDashLine();
    return kept ? Bound::Kept : Bound::Fresh;
}

// On the run's first connection the engine (when the pass-through does not know it) and the owner
// are also asked of the database.
void learnEngineAndOwner(DmContext &dm, LibraryRecord &row, const QString &library)
{
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;
    if (!c.firstConnectionDone) {
        if (s.sql.engineCode() == UnknownEngine)
            s.sql.setEngineCode(leadingInt32(readValue(
                dm, QStringLiteral("SELECT DATABASE_ENGINE FROM ") +
                        ownerTable(c, QStringLiteral("REMOTE_LIBRARIES")) + libraryNameIs(library))));
        log.WriteLog(QStringLiteral("Identifying database owner using SQL"));
        log.WriteDashLine();
        const QString statement =
            c.owner.isEmpty() && IsOracle(s.sql.engineCode())
                ? QStringLiteral("SELECT OWNER FROM USER_TAB_PRIVS WHERE TABLE_NAME = 'REMOTE_LIBRARIES'")
                : QStringLiteral("SELECT OWNER FROM ") + ownerTable(c, QStringLiteral("REMOTE_LIBRARIES")) +
                      libraryNameIs(library);
        const QString owner = readValue(dm, statement).trimmed();
        if (!owner.isEmpty()) {
            c.owner = owner;
            row.owner = owner;
        }
    }
    log.WriteLog(QStringLiteral("SQL Database_Engine value is ") + QString::number(s.sql.engineCode()));
    log.WriteDashLine();
    log.WriteLog(QStringLiteral("SQL Database Owner is ") + c.owner);
    log.WriteDashLine();
}

// The date format is a setting of the pass-through's session: a kept one has it already.
void setDialect(DmContext &dm, Bound bound)
{
    applyDialect(dm);
    const int engine = dm.session.sql.engineCode();
    if (bound == Bound::Fresh && engine != UnknownEngine && !IsOracle(engine))
        readRows(dm, QStringLiteral("set dateformat mdy"));
}

// The server version and compatibility level of a SQL Server or Sybase library, cached in its row.
void learnServerVersion(DmContext &dm, LibraryRecord &row, const QString &library)
{
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;
    if (!IsOracle(dm.session.sql.engineCode())) {
        if (row.serverVersion.isEmpty()) {
            row.serverVersion = readValue(dm, QStringLiteral("select serverproperty('ProductVersion')"));
            log.WriteLog(QStringLiteral("Database Version is ") + row.serverVersion);
            log.WriteDashLine();
        }
        if (row.compatibilityLevel.isEmpty()) {
            const QString database =
                readValue(dm, QStringLiteral("SELECT DATABASE_NAME FROM [OWNER].REMOTE_LIBRARIES") +
                                  libraryNameIs(library));
            row.compatibilityLevel =
                readValue(dm, QStringLiteral("SELECT compatibility_level FROM sys.databases WHERE name = '") +
                                  SqlEscape(database) + QStringLiteral("'"));
            log.WriteLog(QStringLiteral("Database Compatibility Level is ") + row.compatibilityLevel);
            log.WriteDashLine();
        }
    }
    c.serverVersion = row.serverVersion;
    c.compatibilityLevel = row.compatibilityLevel;
}

// The once-per-library warning when the library requires unique document names.
// Read on every switch, so that a library setting changed meanwhile is seen, except within a command
// that keeps what its switches learn.
void warnUniqueNames(DmContext &dm, const QString &library)
{
    DmSession &s = dm.session;
    const auto kept = s.keptUniqueNames.constFind(library.toUpper());
    bool uniqueNames = false;
    if (kept != s.keptUniqueNames.cend()) {
        uniqueNames = *kept;
    } else {
        const std::shared_ptr<DmProperties> properties = s.currentLibrary->properties();
        if (!properties)
            throw DmError(CannotCreateObjectError, QStringLiteral("ConnectLibrary"),
                          QStringLiteral("The library has no property collection"));
        uniqueNames = properties->item(QStringLiteral("DOCSParms.UniqueDocNames"))->value().toBool();
        if (s.keepSql)
            s.keptUniqueNames.insert(library.toUpper(), uniqueNames);
    }
    if (!uniqueNames || dm.settings.uniqueNameWarningSeen(library)) {
        if (!dm.previewWarnings)
            dm.settings.saveUniqueNameWarning(library, uniqueNames);
        return;
    }
    const QString warning =
        QStringLiteral("Warning: The library setting Unique Document Names is enabled. ") +
        QStringLiteral("This will require you to have unique folder names in order to "
                       "use Korvel in library ") +
        library + QStringLiteral(".");
    // A preview only looks: the warning goes into its list and is shown for real at the first move.
    if (dm.previewWarnings) {
        dm.previewWarnings->append(warning);
        return;
    }
    dm.window.showMessage(warning, MessageIcon::Warning);
    dm.settings.saveUniqueNameWarning(library, uniqueNames);
}

bool flagSet(const QString &flag)
{
    return leadingNumber(flag) != 0;
}

void learnServerAndDatabase(DmContext &dm, LibraryRecord &row, const QString &library)
{
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;
    if (!row.serverAndDatabase.isEmpty()) {
        const qsizetype colon = row.serverAndDatabase.indexOf(u':');
        c.serverLocation = (colon < 0 ? row.serverAndDatabase : row.serverAndDatabase.left(colon)).trimmed();
        c.databaseName = colon < 0 ? library : row.serverAndDatabase.mid(colon + 1).trimmed();
        return;
    }
    const SqlRows own = readRows(dm, QStringLiteral("SELECT LIBRARY_NAME, DATABASE_NAME, DATABASE_ENGINE, "
                                                    "SERVER_LOCATION FROM [OWNER].REMOTE_LIBRARIES WHERE "
                                                    "SYSTEM_ID = 0"));
    c.databaseName = own.value(0, 2).toString();
    c.serverLocation = own.value(0, 4).toString();
    row.serverAndDatabase = c.serverLocation + u':' + c.databaseName;
    if (IsOracle(dm.session.sql.engineCode()))
        return;
    const QVariant value =
        readRows(dm,
                 QStringLiteral("SELECT IS_QUOTED_IDENTIFIER_ON FROM SYS.DATABASES DB WHERE DB.NAME = '") +
                     SqlEscape(c.databaseName) + QStringLiteral("'"))
            .value(0, 1);
    const QString state = value.isValid() && leadingNumber(value.toString()) == 1 ? QStringLiteral("ON")
                                                                                  : QStringLiteral("OFF");
    log.WriteLog(QStringLiteral("Quoted Identifier for database ") + c.databaseName +
                 QStringLiteral(" is \"") + state + QStringLiteral("\""));
    log.WriteDashLine();
    // The facts are learned once per library and run, so the warning comes once per library.
    if (state != QStringLiteral("ON")) {
        const QString warning = QuotedIdentifierWarning(state, c.databaseName, library);
        log.WriteLog(warning);
        if (dm.window.displayErrors())
            dm.window.showMessage(warning, MessageIcon::Warning);
    }
}

void learnSettings(DmContext &dm, LibraryRecord &row)
{
    LibraryConnection &c = dm.connection;
    if (row.settingsLoaded != QStringLiteral("x")) {
        if (c.settingsTablePresent) {
            const SqlRows settings = readRows(
                dm, QStringLiteral(
                        "SELECT SUB_KEY, CHAR_VAL, INT_VAL FROM [OWNER].QENT_SETTINGS WHERE MASTER_KEY = "
                        "'KORVEL' AND SECTION_KEY = 'SETTINGS'"));
            for (qsizetype i = 0; i < settings.size(); ++i) {
                const QString subKey = settings.value(i, 1).toString().trimmed();
                if (subKey == QStringLiteral("PROFILE_EXCLUDE_COLUMN"))
                    row.profileExcludeColumn = settings.value(i, 2).toString();
                else if (subKey == QStringLiteral("PARENT_FOLDER"))
                    row.parentFolder = QString::number(leadingInt32(settings.value(i, 3).toString()));
                else if (subKey == QStringLiteral("MASTER_LIBRARY"))
                    row.masterLibrary = settings.value(i, 2).toString();
            }
        }
        row.settingsLoaded = QStringLiteral("x");
    }
    c.profileExcludeColumn = row.profileExcludeColumn;
    c.masterLibrary = row.masterLibrary;
    c.parentFolder = leadingInt32(row.parentFolder);
}

void learnSqlLogin(DmContext &dm, LibraryRecord &row, const QString &library)
{
    LibraryConnection &c = dm.connection;
    if (!row.sqlLoginLoaded && c.settingsTablePresent)
        row.sqlLogin =
            readValue(dm, QStringLiteral("SELECT CHAR_VAL FROM [OWNER].QENT_SETTINGS WHERE MASTER_KEY = "
                                         "'ZIZUROVOZEV' AND SECTION_KEY = 'SQL_LOGIN' AND SUB_KEY = '") +
                              SqlEscape(library) + QStringLiteral("'"));
    row.sqlLoginLoaded = true;
    c.sqlLoginUser = c.owner;
    c.sqlLoginPassword.clear();
    if (!row.sqlLogin.isEmpty()) {
        const qsizetype colon = row.sqlLogin.indexOf(u':');
        c.sqlLoginUser = (colon < 0 ? row.sqlLogin : row.sqlLogin.left(colon)).trimmed();
        c.sqlLoginPassword = colon < 0 ? QString() : row.sqlLogin.mid(colon + 1).trimmed();
    }
}

// The connected library's server location and database name, table presence, settings rows and SQL
// login, each cached in the library's row.
void learnLibraryDetails(DmContext &dm, LibraryRecord &row, const QString &library)
{
    learnServerAndDatabase(dm, row, library);
    const std::pair<QString *, QString> tables[] = {
        {&row.settingsTablePresent, QStringLiteral("QENT_SETTINGS")},
        {&row.foldersTablePresent, QStringLiteral("NEEDS_FOLDERING")},
        {&row.securityTablePresent, QStringLiteral("NEEDS_SECURING")}};
    for (const auto &[flag, table] : tables)
        if (flag->isEmpty())
            *flag = flagText(TableExists(dm, table));
    dm.connection.settingsTablePresent = flagSet(row.settingsTablePresent);
    learnSettings(dm, row);
    learnSqlLogin(dm, row, library);
}

// The steps of a switch once the library object is set; false at a step that ends the switch after
// logging what that step gives. Runtime errors propagate to the caller's tail.
bool switchTo(DmContext &dm, SwitchGuard &guard, const QString &name)
{
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;

    s.currentLibrary->activate();
    const QString userId = s.currentLibrary->userId();
    if (userId.isEmpty()) {
        log.WriteLog(QStringLiteral("Error: Library UserName not identified"));
        log.WriteEqualsLine();
        return false;
    }
    const QString library = s.currentLibrary->name();
    const Bound bound = bindPassThrough(dm, library);
    if (bound == Bound::Failed) {
        ReportTrapped(dm.log, QStringLiteral("ConnectLibrary"), DmError(0, QString(), QString()));
        restoreTail(dm, guard, name);
        return false;
    }
    int row = c.rowOf(name);
    learnEngineAndOwner(dm, c.rows[row], library);
    setDialect(dm, bound);
    learnServerVersion(dm, c.rows[row], library);

    if (s.currentLibrary->name().toUpper() != name) {
        restoreTail(dm, guard, name);
        return false;
    }
    showSessionLabels(dm, *s.currentLibrary);
    row = c.rowOf(name);
    if (row == 0) {
        log.WriteEqualsLine();
        warnRowMissing(dm, name);
        log.WriteEqualsLine();
    }
    warnUniqueNames(dm, library);
    learnLibraryDetails(dm, c.rows[row], library);
    c.firstConnectionDone = true;
    log.WriteLog(QStringLiteral("Connected to ") + c.engineName + QStringLiteral(" Library Object ") +
                 library + QStringLiteral("."));
    log.WriteDashLine();
    return true;
}

} // namespace

QString QuotedIdentifierWarning(const QString &state, const QString &databaseName, const QString &libraryName)
{
    return QStringLiteral("Warning: The SQL option 'QUOTED_IDENTIFIER' is set to '") + state +
           QStringLiteral("' in the database ") + databaseName + QStringLiteral(" for library ") +
           libraryName + QStringLiteral("!") + CrLf + CrLf +
           QStringLiteral(
               "This option must be turned ON by a user that is connected to the SQL database as SA") +
           CrLf + QStringLiteral("in order to be able to manipulate folders in ") + ProductName() +
           QStringLiteral(" and the add-on modules.") + CrLf + CrLf +
           QStringLiteral("The syntax for this option (for library ") + libraryName +
           QStringLiteral(") is:") + CrLf + QStringLiteral("ALTER DATABASE ") + databaseName +
           QStringLiteral(" SET QUOTED_IDENTIFIER ON");
}

bool ConnectLibrary(DmContext &dm, const QString &libraryName)
{
    ActivityLog &log = dm.log;
    if (!CheckFusion(dm, QStringLiteral("ConnectLibrary")))
        return false;
    const QString name = libraryName.trimmed().toUpper();
    if (name.isEmpty()) {
        log.WriteLog(QStringLiteral("Warning: Library name is blank - cannot change connection"));
        log.WriteDashLine();
        return false;
    }
    if (isConnectedTo(dm.session, name))
        return true;

    SwitchGuard guard(dm);
    try {
        buildLibraryTable(dm);
        const int row = dm.connection.rowOf(name);
        if (row == 0) {
            warnRowMissing(dm, name);
            log.WriteEqualsLine();
        }
        if (!chooseOwner(dm, dm.connection.rows[row], name))
            return false;
        log.WriteLog(QStringLiteral("Connecting to library ") + name);
        log.WriteDashLine();
        if (!setLibraryObject(dm, name)) {
            librariesProblemTail(dm);
            restoreTail(dm, guard, name);
            return false;
        }
        if (!switchTo(dm, guard, name))
            return false;
        guard.commit();
        return true;
    } catch (const DmError &error) {
        ReportTrapped(dm.log, QStringLiteral("ConnectLibrary"), error);
        restoreTail(dm, guard, name);
        return false;
    }
}

OwnerLookup CheckSQLSettings(DmContext &dm, const QString &libraryName)
{
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;
    if (c.owner.isEmpty())
        c.owner = QStringLiteral("DOCSADM");
    try {
        if (!CheckFusion(dm, QStringLiteral("CheckSQLSettings")) || !s.currentLibrary)
            return OwnerLookup::NotMade;
        const QString current = s.currentLibrary->name();
        // Case-sensitive on purpose: a library spelled otherwise is looked up all the same.
        if (current == libraryName)
            return OwnerLookup::Listed;
        log.WriteLog(QStringLiteral("Checking SQL connection settings in ") + current +
                     QStringLiteral(" to ") + libraryName);
        log.WriteDashLine();
        const SqlRows rows =
            QueryRows(dm, QStringLiteral("SELECT LIBRARY_NAME, SQL_PASSWORD, LIB_LOGIN_UNAME, OWNER "
                                         "FROM [OWNER].REMOTE_LIBRARIES WHERE UPPER(LIBRARY_NAME) IN (") +
                              libraryNameLiteral(current) + QStringLiteral(", ") +
                              libraryNameLiteral(libraryName) + QStringLiteral(")"));
        if (rows.failed() || rows.isEmpty()) {
            log.WriteLog(QStringLiteral("Error: Unable to obtain results from SQL statement in library ") +
                         current);
            log.WriteDashLine();
            return OwnerLookup::NotMade;
        }
        bool matched = false;
        QString owner;
        for (qsizetype i = 0; i < rows.size(); ++i) {
            if (rows.value(i, 1).toString().compare(libraryName, Qt::CaseInsensitive) == 0) {
                owner = rows.value(i, 4).toString().trimmed();
                matched = true;
            }
        }
        if (!matched) {
            log.WriteLog(QStringLiteral("Error: The library you are attempting to connect to (") +
                         libraryName +
                         QStringLiteral(") is not properly configured in the REMOTE_LIBRARIES table in your "
                                        "current library (") +
                         current + QStringLiteral(")"));
            log.WriteDashLine();
            return OwnerLookup::NotListed;
        }
        if (!owner.isEmpty())
            c.owner = owner;
        return OwnerLookup::Listed;
    } catch (const DmError &error) {
        ReportTrapped(log, QStringLiteral("CheckSQLSettings"), error);
        log.WriteDashLine();
        return OwnerLookup::NotMade;
    }
}

bool TableExists(DmContext &dm, const QString &table)
{
    DmSession &s = dm.session;
    try {
        dm.log.WriteLog(QStringLiteral("Checking for ") + table + QStringLiteral(" Table in ") +
                        (s.currentLibrary ? s.currentLibrary->name() : QString()));
        dm.log.WriteLog(QString(60, u'-'));
        const int engine = s.sql.engineCode();
        QString statement;
        if (IsOracle(engine))
            statement = QStringLiteral("SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = '") +
                        SqlEscape(table) + QStringLiteral("'");
        else if (engine != UnknownEngine)
            // The owner goes into the literal here: the runner leaves the inside of literals alone.
            statement = QStringLiteral("select count(*) from sysobjects ") + CrLf +
                        QStringLiteral("where id = object_id('") + SqlEscape(dm.connection.owner) + u'.' +
                        SqlEscape(table) + QStringLiteral("') ") + CrLf +
                        QStringLiteral("and sysstat & 0xf = 3 ");
        else
            statement = QStringLiteral("SELECT COUNT(*) FROM [OWNER].DOCSTABLE WHERE UPPER(TABLE_NAME) = '") +
                        SqlEscape(table.toUpper()) + QStringLiteral("'");
        return leadingNumber(readValue(dm, statement)) > 0;
    } catch (const DmError &error) {
        dm.log.ReportError(error.number(), error.source(), error.description());
        return false;
    }
}
