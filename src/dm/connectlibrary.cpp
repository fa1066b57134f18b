#include "dm/connectlibrary.h"

#include "dm/errornumbers.h"
#include "dm/fusion.h"
#include "dm/runsql.h"
#include "dmapi/dmerror.h"
#include "settings/leadingnumber.h"
#include "settings/product.h"

namespace {

const QString CrLf = QStringLiteral("\r\n");

QString columnText(const DmSession &session, int column)
{
    return SqlColumn(session, column).toString();
}

// The first column of the first row of a statement, its results released.
QString singleValue(DmContext &dm, const QString &statement)
{
    RunSQL(dm, statement);
    const QString value = columnText(dm.session, 1);
    ReleaseResults(dm.session);
    return value;
}

// "FROM [OWNER].TABLE" while an owner is known, else the bare table name.
QString ownerTable(const LibraryConnection &c, const QString &table)
{
    return c.owner.isEmpty() ? table : QStringLiteral("[OWNER].") + table;
}

void applyDialect(DmContext &dm)
{
    LibraryConnection &c = dm.connection;
    const int engine = dm.session.engineCode;
    if (IsOracle(engine)) {
        c.outerJoin = QStringLiteral(" (+) = ");
        c.engineName = QStringLiteral("Oracle");
        c.nextColumn = QStringLiteral("\"NEXT\"");
    } else if (engine != 0) {
        c.outerJoin = QStringLiteral(" =* ");
        c.engineName = engine == 6 ? QStringLiteral("Sybase") : QStringLiteral("MSSQL");
        c.nextColumn = QStringLiteral("[NEXT]");
    } else {
        c.engineName = QStringLiteral("*Unknown*");
    }
}

// Binds a fresh SQL pass-through to the library and takes over the engine it reports.
void bindSql(DmContext &dm, const QString &library)
{
    DmSession &s = dm.session;
    s.sql.reset();
    dm.connection.sqlLibrary.clear();
    s.sql = dm.factory.createSql();
    if (!s.sql)
        throw DmError(CannotCreateObjectError, QStringLiteral("ConnectLibrary"),
                      QStringLiteral("Unable to create the SQL pass-through object"));
    s.sql->setSecurityToken(s.securityToken);
    s.sql->setLibrary(library);
    s.engineCode = s.sql->databaseEngine();
    dm.connection.sqlLibrary = library;
}

// After a failed switch: makes the SQL pass-through, the owner and the dialect belong to whatever
// library object is current now, so that later statements run where the program believes they do.
void realign(DmContext &dm)
{
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    const QString library = s.currentLibrary ? s.currentLibrary->name() : QString();
    try {
        if (library.isEmpty()) {
            s.sql.reset();
            c.sqlLibrary.clear();
            c.ownerLibrary.clear();
            return;
        }
        if (!s.sql || c.sqlLibrary.toUpper() != library.toUpper()) {
            dm.log.WriteLog(QStringLiteral("Setting pSQL library to ") + library);
            bindSql(dm, library);
            applyDialect(dm);
        }
        const int row = c.rowOf(library.toUpper());
        if (row > 0 && !c.rows[row].owner.isEmpty())
            c.owner = c.rows[row].owner;
        c.ownerLibrary = library;
    } catch (const DmError &error) {
        // Without a bound pass-through RunSQL re-creates one for the current library.
        s.sql.reset();
        c.sqlLibrary.clear();
        dm.log.ReportError(error.number(), error.source(), error.description());
    }
}

void restoreTail(DmContext &dm, const QString &name, const QString &rememberedOwner)
{
    DmSession &s = dm.session;
    ActivityLog &log = dm.log;
    log.WriteDashLine();
    try {
        if (s.application)
            s.currentLibrary = s.application->currentLibrary();
        if (!s.currentLibrary) {
            log.WriteLog(QStringLiteral("Error: Unable to set library object to ") + name +
                         QStringLiteral(" - library object set to nothing"));
        } else if (s.currentLibrary->name().toUpper() != name) {
            log.WriteLog(QStringLiteral("Error: Unable to set library object to ") + name +
                         QStringLiteral(" - library object set to ") + s.currentLibrary->name());
            if (!rememberedOwner.isEmpty())
                dm.connection.owner = rememberedOwner;
        }
    } catch (const DmError &error) {
        log.ReportError(error.number(), error.source(), error.description());
    }
    log.WriteEqualsLine();
    realign(dm);
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

void runtimeErrorTail(DmContext &dm, qint32 number, const QString &source, const QString &description)
{
    dm.log.WriteDashLine();
    dm.log.WriteLog(QStringLiteral("ConnectLibrary:"));
    dm.log.ReportError(number, source, description);
}

int findRowOrWarn(DmContext &dm, const QString &name)
{
    const int row = dm.connection.rowOf(name);
    if (row == 0) {
        dm.log.WriteLog(QStringLiteral("Warning: Unable to define library ") + name +
                        QStringLiteral(" in requisite Library Array"));
        dm.log.WriteEqualsLine();
    }
    return row;
}

bool flagSet(const QString &flag)
{
    return leadingNumber(flag) != 0;
}

// The server version and compatibility level of a SQL Server or Sybase library, cached in its row.
void learnServerVersion(DmContext &dm, LibraryRecord &row, const QString &library)
{
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;
    if (!IsOracle(dm.session.engineCode)) {
        if (row.serverVersion.isEmpty()) {
            row.serverVersion = singleValue(dm, QStringLiteral("select serverproperty('ProductVersion')"));
            log.WriteLog(QStringLiteral("Database Version is ") + row.serverVersion);
            log.WriteDashLine();
        }
        if (row.compatibilityLevel.isEmpty()) {
            const QString database = singleValue(
                dm,
                QStringLiteral("SELECT DATABASE_NAME FROM [OWNER].REMOTE_LIBRARIES WHERE LIBRARY_NAME = ") +
                    QStringLiteral("'") + SqlEscape(library) + QStringLiteral("'"));
            row.compatibilityLevel = singleValue(
                dm, QStringLiteral("SELECT compatibility_level FROM sys.databases WHERE name = '") +
                        SqlEscape(database) + QStringLiteral("'"));
            log.WriteLog(QStringLiteral("Database Compatibility Level is ") + row.compatibilityLevel);
            log.WriteDashLine();
        }
    }
    c.serverVersion = row.serverVersion;
    c.compatibilityLevel = row.compatibilityLevel;
}

// The connected library's server location and database name, table presence, settings rows and SQL
// login, each cached in the library's row.
void learnLibraryDetails(DmContext &dm, LibraryRecord &row, const QString &library)
{
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;
    const bool oracle = IsOracle(s.engineCode);

    if (row.serverAndDatabase.isEmpty()) {
        RunSQL(dm, QStringLiteral("SELECT LIBRARY_NAME, DATABASE_NAME, DATABASE_ENGINE, SERVER_LOCATION FROM "
                                  "[OWNER].REMOTE_LIBRARIES WHERE SYSTEM_ID = 0"));
        c.databaseName = columnText(s, 2);
        c.serverLocation = columnText(s, 4);
        ReleaseResults(s);
        row.serverAndDatabase = c.serverLocation + u':' + c.databaseName;
        if (!oracle) {
            RunSQL(dm,
                   QStringLiteral("SELECT IS_QUOTED_IDENTIFIER_ON FROM SYS.DATABASES DB WHERE DB.NAME = '") +
                       SqlEscape(c.databaseName) + QStringLiteral("'"));
            const QVariant value = SqlColumn(s, 1);
            const QString state = value.isValid() && leadingNumber(value.toString()) == 1
                                      ? QStringLiteral("ON")
                                      : QStringLiteral("OFF");
            ReleaseResults(s);
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
    } else {
        const qsizetype colon = row.serverAndDatabase.indexOf(u':');
        c.serverLocation = (colon < 0 ? row.serverAndDatabase : row.serverAndDatabase.left(colon)).trimmed();
        c.databaseName = colon < 0 ? library : row.serverAndDatabase.mid(colon + 1).trimmed();
    }

    const std::pair<QString *, QString> tables[] = {
        {&row.settingsTablePresent, QStringLiteral("QENT_SETTINGS")},
        {&row.foldersTablePresent, QStringLiteral("NEEDS_FOLDERING")},
        {&row.securityTablePresent, QStringLiteral("NEEDS_SECURING")}};
    for (const auto &[flag, table] : tables)
        if (flag->isEmpty())
            *flag = flagText(TableExists(dm, table));
    c.settingsTablePresent = flagSet(row.settingsTablePresent);

    if (row.settingsLoaded != QStringLiteral("x")) {
        if (c.settingsTablePresent) {
            RunSQL(dm, QStringLiteral(
                           "SELECT SUB_KEY, CHAR_VAL, INT_VAL FROM [OWNER].QENT_SETTINGS WHERE MASTER_KEY = "
                           "'KORVEL' AND SECTION_KEY = 'SETTINGS'"));
            if (s.sql && s.sql->rowCount() > 0) {
                do {
                    const QString subKey = columnText(s, 1).trimmed();
                    if (subKey == QStringLiteral("PROFILE_EXCLUDE_COLUMN"))
                        row.profileExcludeColumn = columnText(s, 2);
                    else if (subKey == QStringLiteral("PARENT_FOLDER"))
                        row.parentFolder = QString::number(leadingInt32(columnText(s, 3)));
                    else if (subKey == QStringLiteral("MASTER_LIBRARY"))
                        row.masterLibrary = columnText(s, 2);
                } while (s.sql->nextRow());
            }
            ReleaseResults(s);
        }
        row.settingsLoaded = QStringLiteral("x");
    }
    c.profileExcludeColumn = row.profileExcludeColumn;
    c.masterLibrary = row.masterLibrary;
    c.parentFolder = leadingInt32(row.parentFolder);

    if (row.sqlLogin.isEmpty() && c.settingsTablePresent)
        row.sqlLogin =
            singleValue(dm, QStringLiteral("SELECT CHAR_VAL FROM [OWNER].QENT_SETTINGS WHERE MASTER_KEY = "
                                           "'ZIZUROVOZEV' AND SECTION_KEY = 'SQL_LOGIN' AND SUB_KEY = '") +
                                SqlEscape(library) + QStringLiteral("'"));
    c.sqlLoginUser = c.owner;
    c.sqlLoginPassword.clear();
    if (!row.sqlLogin.isEmpty()) {
        const qsizetype colon = row.sqlLogin.indexOf(u':');
        c.sqlLoginUser = (colon < 0 ? row.sqlLogin : row.sqlLogin.left(colon)).trimmed();
        c.sqlLoginPassword = colon < 0 ? QString() : row.sqlLogin.mid(colon + 1).trimmed();
    }
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
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;

    if (!CheckFusion(dm, QStringLiteral("ConnectLibrary")))
        return false;
    const QString name = libraryName.trimmed().toUpper();
    if (name.isEmpty()) {
        log.WriteLog(QStringLiteral("Warning: Library name is blank - cannot change connection"));
        log.WriteDashLine();
        return false;
    }
    // Cheap when already connected: only when the library object, the pass-through and the owner all
    // belong to the named library.
    try {
        if (s.currentLibrary && s.sql && s.currentLibrary->name().toUpper() == name &&
            c.sqlLibrary.toUpper() == name && c.ownerLibrary.toUpper() == name)
            return true;
    } catch (const DmError &) {
        // A library object that cannot tell its name is reconnected below.
    }

    QString rememberedOwner = c.owner;
    try {
        if (c.libraryCount == 0) {
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
        int row = findRowOrWarn(dm, name);

        rememberedOwner = c.owner;
        if (!c.rows[row].owner.isEmpty())
            c.owner = c.rows[row].owner;
        else
            CheckSQLSettings(dm, name);
        if (!c.owner.isEmpty())
            c.rows[row].owner = c.owner;

        log.WriteLog(QStringLiteral("Connecting to library ") + name);
        log.WriteDashLine();

        bool librariesProblem = false;
        try {
            for (int i = 1; i <= s.libraries->count(); ++i) {
                const std::shared_ptr<DmLibrary> item = s.libraries->item(i);
                if (item && item->name().toUpper() == name) {
                    log.WriteLog(QStringLiteral("Setting Lib object to ") + item->name());
                    s.currentLibrary = item;
                    log.WriteDashLine();
                    break;
                }
            }
        } catch (const DmError &) {
            librariesProblem = true;
        }
        if (!librariesProblem && !s.currentLibrary) {
            log.WriteLog(QStringLiteral("Error: Unable to set LIB object - cannot continue"));
            log.WriteEqualsLine();
            librariesProblem = true;
        }
        if (librariesProblem) {
            librariesProblemTail(dm);
            restoreTail(dm, name, rememberedOwner);
            return false;
        }

        s.currentLibrary->activate();
        const QString userId = s.currentLibrary->userId();
        if (userId.isEmpty()) {
            log.WriteLog(QStringLiteral("Error: Library UserName not identified"));
            log.WriteEqualsLine();
            restoreTail(dm, name, rememberedOwner);
            return false;
        }

        const QString library = s.currentLibrary->name();
        s.sql.reset();
        c.sqlLibrary.clear();
        log.WriteLog(QStringLiteral("Setting PCDClient.PCDSQL Object"));
        s.sql = dm.factory.createSql();
        log.WriteDashLine();
        if (!s.sql) {
            log.WriteEqualsLine();
            log.WriteLog(QStringLiteral("Error: Unable to set SQL object - cannot start ") + ProductName());
            log.WriteEqualsLine();
            runtimeErrorTail(dm, 0, QString(), QString());
            restoreTail(dm, name, rememberedOwner);
            return false;
        }
        log.WriteLog(QStringLiteral("Setting pSQL object"));
        s.sql->setSecurityToken(s.securityToken);
        log.WriteDashLine();
        log.WriteLog(QStringLiteral("Setting pSQL library to ") + library);
        s.sql->setLibrary(library);
        c.sqlLibrary = library;
        c.ownerLibrary = library;
        log.WriteDashLine();
        s.engineCode = s.sql->databaseEngine();

        const QString quotedLibrary = QStringLiteral("'") + SqlEscape(library) + QStringLiteral("'");
        if (s.engineCode == 0 && !c.firstConnectionDone) {
            s.engineCode =
                leadingInt32(singleValue(dm, QStringLiteral("SELECT DATABASE_ENGINE FROM ") +
                                                 ownerTable(c, QStringLiteral("REMOTE_LIBRARIES")) +
                                                 QStringLiteral(" WHERE LIBRARY_NAME = ") + quotedLibrary));
        }
        if (!c.firstConnectionDone) {
            log.WriteLog(QStringLiteral("Identifying database owner using SQL"));
            log.WriteDashLine();
            const QString statement =
                c.owner.isEmpty() && IsOracle(s.engineCode)
                    ? QStringLiteral("SELECT OWNER FROM USER_TAB_PRIVS WHERE TABLE_NAME = 'REMOTE_LIBRARIES'")
                    : QStringLiteral("SELECT OWNER FROM ") +
                          ownerTable(c, QStringLiteral("REMOTE_LIBRARIES")) +
                          QStringLiteral(" WHERE LIBRARY_NAME = ") + quotedLibrary;
            const QString owner = singleValue(dm, statement).trimmed();
            if (!owner.isEmpty()) {
                c.owner = owner;
                c.rows[row].owner = owner;
            }
        }
        log.WriteLog(QStringLiteral("SQL Database_Engine value is ") + QString::number(s.engineCode));
        log.WriteDashLine();
        log.WriteLog(QStringLiteral("SQL Database Owner is ") + c.owner);
        log.WriteDashLine();

        applyDialect(dm);
        if (s.engineCode != 0 && !IsOracle(s.engineCode)) {
            RunSQL(dm, QStringLiteral("set dateformat mdy"));
            ReleaseResults(s);
        }
        learnServerVersion(dm, c.rows[row], library);

        if (s.currentLibrary->name().toUpper() != name) {
            restoreTail(dm, name, rememberedOwner);
            return false;
        }
        dm.window.setUserName(userId);
        dm.window.setPrimaryGroup(s.currentLibrary->userPrimaryGroup());
        dm.window.setLibraryName(library);
        dm.window.checkLibraryMenuEntry(library);
        row = findRowOrWarn(dm, name);

        const std::shared_ptr<DmProperties> properties = s.currentLibrary->properties();
        if (!properties)
            throw DmError(CannotCreateObjectError, QStringLiteral("ConnectLibrary"),
                          QStringLiteral("The library has no property collection"));
        const bool uniqueNames =
            properties->item(QStringLiteral("DOCSParms.UniqueDocNames"))->value().toBool();
        if (uniqueNames && !dm.settings.uniqueNameWarningSeen(library))
            dm.window.showMessage(
                QStringLiteral("Warning: The library setting Unique Document Names is enabled. ") +
                    QStringLiteral("This will require you to have unique folder names in order to "
                                   "use Korvel in library ") +
                    library + QStringLiteral("."),
                MessageIcon::Warning);
        dm.settings.saveUniqueNameWarning(library, uniqueNames);

        learnLibraryDetails(dm, c.rows[row], library);
        c.firstConnectionDone = true;
        log.WriteLog(QStringLiteral("Connected to ") + c.engineName + QStringLiteral(" Library Object ") +
                     library + QStringLiteral("."));
        log.WriteDashLine();
        return true;
    } catch (const DmError &error) {
        runtimeErrorTail(dm, error.number(), error.source(), error.description());
        restoreTail(dm, name, rememberedOwner);
        return false;
    }
}

bool CheckSQLSettings(DmContext &dm, const QString &libraryName)
{
    DmSession &s = dm.session;
    LibraryConnection &c = dm.connection;
    ActivityLog &log = dm.log;
    if (c.owner.isEmpty())
        c.owner = QStringLiteral("DOCSADM");
    try {
        if (!CheckFusion(dm, QStringLiteral("CheckSQLSettings")) || !s.currentLibrary)
            return false;
        const QString current = s.currentLibrary->name();
        if (current == libraryName)
            return true;
        log.WriteLog(QStringLiteral("Checking SQL connection settings in ") + current +
                     QStringLiteral(" to ") + libraryName);
        log.WriteDashLine();
        RunSQL(dm, QStringLiteral("SELECT LIBRARY_NAME, SQL_PASSWORD, LIB_LOGIN_UNAME, OWNER FROM "
                                  "[OWNER].REMOTE_LIBRARIES WHERE LIBRARY_NAME IN ('") +
                       SqlEscape(current) + QStringLiteral("', '") + SqlEscape(libraryName) +
                       QStringLiteral("')"));
        if (!s.sql || s.sql->rowCount() == 0) {
            log.WriteLog(QStringLiteral("Error: Unable to obtain results from SQL statement in library ") +
                         current);
            log.WriteDashLine();
            ReleaseResults(s);
            return false;
        }
        bool matched = false;
        QString owner;
        do {
            if (columnText(s, 1).compare(libraryName, Qt::CaseInsensitive) == 0) {
                owner = columnText(s, 4).trimmed();
                matched = true;
            }
        } while (s.sql->nextRow());
        ReleaseResults(s);
        if (!matched) {
            log.WriteLog(
                QStringLiteral("Error: The library you are attempting to connect to (") + libraryName +
                QStringLiteral(") is not properly configured in the REMOTE_LIBRARIES table in your current "
                               "library (") +
                current + QStringLiteral(")"));
            log.WriteDashLine();
        }
        if (!owner.isEmpty())
            c.owner = owner;
        return true;
    } catch (const DmError &error) {
        log.WriteDashLine();
        log.WriteLog(QStringLiteral("CheckSQLSettings:"));
        log.ReportError(error.number(), error.source(), error.description());
        log.WriteDashLine();
        return false;
    }
}

bool TableExists(DmContext &dm, const QString &table)
{
    DmSession &s = dm.session;
    try {
        dm.log.WriteLog(QStringLiteral("Checking for ") + table + QStringLiteral(" Table in ") +
                        (s.currentLibrary ? s.currentLibrary->name() : QString()));
        dm.log.WriteLog(QString(60, u'-'));
        QString statement;
        if (IsOracle(s.engineCode))
            statement = QStringLiteral("SELECT COUNT(*) FROM ALL_TABLES WHERE TABLE_NAME = '") +
                        SqlEscape(table) + QStringLiteral("'");
        else if (s.engineCode != 0)
            // The owner goes into the literal here: the runner leaves the inside of literals alone.
            statement = QStringLiteral("select count(*) from sysobjects ") + CrLf +
                        QStringLiteral("where id = object_id('") + SqlEscape(dm.connection.owner) + u'.' +
                        SqlEscape(table) + QStringLiteral("') ") + CrLf +
                        QStringLiteral("and sysstat & 0xf = 3 ");
        else
            statement = QStringLiteral("SELECT COUNT(*) FROM [OWNER].DOCSTABLE WHERE UPPER(TABLE_NAME) = '") +
                        SqlEscape(table.toUpper()) + QStringLiteral("'");
        RunSQL(dm, statement);
        const bool exists = leadingNumber(columnText(s, 1)) > 0;
        ReleaseResults(s);
        return exists;
    } catch (const DmError &error) {
        dm.log.ReportError(error.number(), error.source(), error.description());
        return false;
    }
}
