#include "localdm/store/sqlitelibrary.h"

#include "dmapi/sqllexer.h"

#include "dmapi/databasefile.h"
#include "dmapi/dmerror.h"
#include "localdm/store/schema.h"
#include "localdm/store/sqlitecatalog.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <algorithm>
#include <array>
#include <cerrno>
#include <cstdio>
#include <cstring>

#include <sqlite3.h>

namespace {

constexpr int StatementCacheSize = 128;
constexpr int LookupCacheSize = 256;

// The tables lookup() may read.
constexpr std::array<const char *, 4> LookupTables = {"PEOPLE", "REMOTE_LIBRARIES", "APPS", "DM_PARAMETERS"};

bool isLookupTable(const char *table)
{
    return table && std::any_of(LookupTables.cbegin(), LookupTables.cend(),
                                [table](const char *name) { return sqlite3_stricmp(name, table) == 0; });
}

// Authorizer actions that change the schema: after them a kept lookup may name another table.
bool changesSchema(int action)
{
    switch (action) {
    case SQLITE_INSERT:
    case SQLITE_UPDATE:
    case SQLITE_DELETE:
    case SQLITE_PRAGMA:
    case SQLITE_READ:
    case SQLITE_SELECT:
    case SQLITE_TRANSACTION:
    case SQLITE_FUNCTION:
    case SQLITE_SAVEPOINT:
    case SQLITE_RECURSIVE:
    case SQLITE_ANALYZE:
    case SQLITE_REINDEX:
        return false;
    default:
        return true;
    }
}

// Why the system does not open a file for reading and writing: SQLite says only that it could not, and
// the error number it keeps may be that of an earlier step of its search for the file.
QString whyNotOpened(const QString &fileName)
{
    errno = 0;
    if (std::FILE *file = std::fopen(QFile::encodeName(fileName).constData(), "r+b")) {
        std::fclose(file);
        return QStringLiteral("the file itself opens for reading and writing");
    }
    return QString::fromLocal8Bit(std::strerror(errno));
}

void bindValue(sqlite3_stmt *statement, int index, const QVariant &value)
{
    if (!value.isValid() || value.isNull()) {
        sqlite3_bind_null(statement, index);
        return;
    }
    switch (value.typeId()) {
    case QMetaType::Int:
    case QMetaType::LongLong:
    case QMetaType::UInt:
    case QMetaType::Bool:
        sqlite3_bind_int64(statement, index, value.toLongLong());
        break;
    case QMetaType::Double:
        sqlite3_bind_double(statement, index, value.toDouble());
        break;
    default: {
        const QByteArray utf8 = value.toString().toUtf8();
        sqlite3_bind_text(statement, index, utf8.constData(), int(utf8.size()), SQLITE_TRANSIENT);
    }
    }
}

QVariant columnValue(sqlite3_stmt *statement, int column)
{
    switch (sqlite3_column_type(statement, column)) {
    case SQLITE_NULL:
        return {};
    case SQLITE_INTEGER:
        return QVariant(qint64(sqlite3_column_int64(statement, column)));
    case SQLITE_FLOAT:
        return QVariant(sqlite3_column_double(statement, column));
    default:
        return QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, column)),
                                 sqlite3_column_bytes(statement, column));
    }
}

} // namespace

SqliteLibrary::SqliteLibrary(const LibraryConfig &config)
    : LibraryDatabase(config), m_ownerName(config.owner.toUtf8()),
      m_dataVersionSql(QStringLiteral("PRAGMA %1.data_version").arg(config.owner))
{
    // An empty path would make SQLite open a file named after the URI's options in the working directory.
    if (config.databaseFile.isEmpty())
        throw StoreError(QStringLiteral("Library %1: no database file is named").arg(config.name));
    if (const QString refusal = DatabaseFileRefusal(config.databaseFile); !refusal.isEmpty())
        throw StoreError(QStringLiteral("Library %1: %2").arg(config.name, refusal));
    // One thread owns the connection, so SQLite need not lock it on every call. The library's file is
    // attached by URI so that a missing one is an error rather than a new, empty library.
    if (sqlite3_open_v2(":memory:", &m_db,
                        SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX | SQLITE_OPEN_URI,
                        nullptr) != SQLITE_OK) {
        const QString message = QString::fromUtf8(sqlite3_errmsg(m_db));
        sqlite3_close(m_db);
        m_db = nullptr;
        throw StoreError(QStringLiteral("Library %1: %2").arg(config.name, message));
    }
    sqlite3_busy_timeout(m_db, 5000);
    SqliteRegisterCollation(m_db);
    try {
        exec(QStringLiteral("ATTACH DATABASE ?1 AS ") + m_config.owner,
             {QUrl::fromLocalFile(m_config.databaseFile).toString(QUrl::FullyEncoded) +
              (m_config.readOnly ? QStringLiteral("?mode=ro") : QStringLiteral("?mode=rw"))});
        // A file that is not a library database shows here, not at the first DM call.
        if (!scalar(QStringLiteral(
                        "SELECT COUNT(*) FROM %1.sqlite_master WHERE type = 'table' AND name = 'PROFILE'")
                        .arg(m_config.owner))
                 .toInt())
            throw StoreError(QStringLiteral("Library %1: %2 is not a library database (no PROFILE table)")
                                 .arg(config.name, config.databaseFile));
        // Write-ahead logging with normal syncing keeps a committed statement durable against a crash
        // of the program at a fraction of the cost of syncing every commit, as a server's log does.
        if (!m_config.readOnly) {
            exec(QStringLiteral("PRAGMA %1.journal_mode = WAL").arg(m_config.owner));
            exec(QStringLiteral("PRAGMA %1.synchronous = NORMAL").arg(m_config.owner));
            // Each checkpoint syncs the log and the file; a move writes some eight pages per document, so
            // SQLite's default of a checkpoint every 1,000 pages would sync twice every 125 documents.
            exec(QStringLiteral("PRAGMA %1.wal_autocheckpoint = 8192").arg(m_config.owner));
        }
        setUpCatalog();
        watchLookupTables();
    } catch (const DmError &error) {
        // SQLite's own words say what is wrong with the file ("file is not a database", "database is
        // locked"), and the system's why a file cannot be opened at all (missing, a directory, a symlink
        // loop); the statement that met it says nothing more.
        const bool sqliteFailed = sqlite3_errcode(m_db) != SQLITE_OK;
        const QString reason = (sqlite3_errcode(m_db) & 0xff) == SQLITE_CANTOPEN
                                   ? QString::fromUtf8(sqlite3_errstr(SQLITE_CANTOPEN)) +
                                         QStringLiteral(" (%1)").arg(whyNotOpened(m_config.databaseFile))
                                   : QString::fromUtf8(sqlite3_errmsg(m_db));
        for (sqlite3_stmt *statement : std::as_const(m_statements))
            sqlite3_finalize(statement);
        sqlite3_close(m_db);
        m_db = nullptr;
        if (!sqliteFailed)
            throw;
        throw StoreError(QStringLiteral("Library %1: cannot open database file %2: %3")
                             .arg(config.name, config.databaseFile, reason));
    }
}

SqliteLibrary::~SqliteLibrary()
{
    for (sqlite3_stmt *statement : std::as_const(m_statements))
        sqlite3_finalize(statement);
    sqlite3_close(m_db);
}

void SqliteLibrary::create(const LibraryConfig &config, bool indexes)
{
    if (QFileInfo::exists(config.databaseFile))
        throw StoreError(
            QStringLiteral("Library %1: %2 exists already").arg(config.name, config.databaseFile));
    sqlite3 *db = nullptr;
    const QByteArray file = config.databaseFile.toUtf8();
    const int opened =
        sqlite3_open_v2(file.constData(), &db, SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE, nullptr);
    QString failure;
    if (opened == SQLITE_OK) {
        SqliteRegisterCollation(db);
        QStringList statements = LibrarySchemaStatements(QStringLiteral("main"), !config.oracle(), indexes);
        statements.prepend(QStringLiteral("BEGIN"));
        statements << QStringLiteral("COMMIT");
        for (const QString &statement : statements) {
            if (sqlite3_exec(db, statement.toUtf8().constData(), nullptr, nullptr, nullptr) != SQLITE_OK) {
                failure = QString::fromUtf8(sqlite3_errmsg(db));
                break;
            }
        }
    } else {
        failure = QString::fromUtf8(sqlite3_errmsg(db));
    }
    sqlite3_close(db);
    if (failure.isEmpty())
        return;
    // The file was not there before: nothing half-made is left under the library's name.
    for (const QString &made : {config.databaseFile, config.databaseFile + QStringLiteral("-journal")})
        QFile::remove(made);
    throw StoreError(
        QStringLiteral("Library %1: cannot create %2: %3").arg(config.name, config.databaseFile, failure));
}

QStringList SqliteLibrary::addFolderListIndexes()
{
    const auto indexes = [this] {
        QStringList names;
        for (const QVariantList &row :
             query(QStringLiteral("SELECT name FROM %1.sqlite_master WHERE type = 'index'")
                       .arg(m_config.owner)))
            names << row[0].toString();
        return names;
    };
    const QStringList before = indexes();
    Transaction transaction(*this);
    for (const QString &statement : FolderListIndexStatements(m_config.owner))
        exec(statement);
    transaction.commit();
    QStringList added;
    for (const QString &name : indexes())
        if (!before.contains(name))
            added << name;
    return added;
}

QStringList SqliteLibrary::indexStatements() const
{
    return LibraryIndexStatements(m_config.owner);
}

void SqliteLibrary::setUpCatalog()
{
    SqliteRegisterCatalogFunctions(m_db, m_config);
    for (const auto &[sql, binds] : SqliteCatalogStatements(m_config))
        exec(sql, binds);
}

void SqliteLibrary::watchLookupTables()
{
    sqlite3_set_authorizer(m_db, &SqliteLibrary::authorize, this);
    sqlite3_update_hook(m_db, &SqliteLibrary::rowChanged, this);
    sqlite3_commit_hook(m_db, &SqliteLibrary::committing, this);
    sqlite3_rollback_hook(m_db, &SqliteLibrary::rolledBack, this);
}

int SqliteLibrary::authorize(void *self, int action, const char *name, const char *, const char *,
                             const char *)
{
    // Ignoring a DELETE deletes row by row instead of emptying the table at once, so that rowChanged
    // sees it.
    if (action == SQLITE_DELETE && isLookupTable(name))
        return SQLITE_IGNORE;
    if (changesSchema(action))
        static_cast<SqliteLibrary *>(self)->m_lookups.clear();
    return SQLITE_OK;
}

void SqliteLibrary::rowChanged(void *self, int, const char *, const char *table, long long)
{
    if (!isLookupTable(table))
        return;
    auto *db = static_cast<SqliteLibrary *>(self);
    db->m_lookups.clear();
    db->m_lookupsKept = false;
}

int SqliteLibrary::committing(void *self)
{
    auto *db = static_cast<SqliteLibrary *>(self);
    ++db->m_writesEnded;
    db->m_lookupsKept = true;
    return 0;
}

void SqliteLibrary::rolledBack(void *self)
{
    auto *db = static_cast<SqliteLibrary *>(self);
    ++db->m_writesEnded;
    db->m_lookups.clear();
    db->m_lookupsKept = true;
}

void SqliteLibrary::checkLookups()
{
    // While this connection writes, no other can commit.
    const bool writing = sqlite3_txn_state(m_db, m_ownerName.constData()) == SQLITE_TXN_WRITE;
    if (writing && m_checkedInWrite && m_checkedAt == m_writesEnded)
        return;
    const qint64 version = scalar(m_dataVersionSql).toLongLong();
    if (version != m_dataVersion) {
        m_lookups.clear();
        m_dataVersion = version;
    }
    m_checkedAt = m_writesEnded;
    m_checkedInWrite = writing;
}

QVariant SqliteLibrary::lookup(const QString &sql, const QVariantList &binds)
{
    if (!m_lookupsKept)
        return scalar(sql, binds);
    checkLookups();
    QString key;
    for (const QVariant &bind : binds)
        key += QString::number(bind.typeId()) + u':' + bind.toString() + u'\x1f';
    QHash<QString, QVariant> &answers = m_lookups[sql];
    if (const auto kept = answers.constFind(key); kept != answers.cend())
        return *kept;
    const QVariant value = scalar(sql, binds);
    if (answers.size() >= LookupCacheSize)
        answers.clear();
    answers.insert(key, value);
    return value;
}

sqlite3_stmt *SqliteLibrary::prepared(const QString &sql)
{
    if (sqlite3_stmt *cached = m_statements.value(sql)) {
        sqlite3_reset(cached);
        return cached;
    }
    if (m_statements.size() >= StatementCacheSize) {
        for (sqlite3_stmt *statement : std::as_const(m_statements))
            sqlite3_finalize(statement);
        m_statements.clear();
    }
    sqlite3_stmt *statement = nullptr;
    const QByteArray utf8 = sql.toUtf8();
    if (sqlite3_prepare_v3(m_db, utf8.constData(), int(utf8.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                           nullptr) != SQLITE_OK)
        raise(sql);
    m_statements.insert(sql, statement);
    return statement;
}

void SqliteLibrary::checkInPlace()
{
    if (!m_fileGone) {
        int moved = 0;
        // Before the library's file is attached its schema is unknown and nothing can have moved.
        m_fileGone = sqlite3_file_control(m_db, m_ownerName.constData(), SQLITE_FCNTL_HAS_MOVED, &moved) ==
                         SQLITE_OK &&
                     moved != 0;
    }
    refuseIfGone();
}

LibraryDatabase::Integrity SqliteLibrary::checkIntegrity()
{
    checkInPlace();
    // Run apart from the statement cache: on a damaged file preparing or stepping may fail, and SQLite's
    // own message is then the first fault. One fault is enough to call the library damaged.
    const QByteArray sql = QStringLiteral("PRAGMA %1.integrity_check(1)").arg(m_config.owner).toUtf8();
    sqlite3_stmt *statement = nullptr;
    int status = sqlite3_prepare_v2(m_db, sql.constData(), int(sql.size()), &statement, nullptr);
    if (status == SQLITE_OK)
        status = sqlite3_step(statement);
    const QString answer =
        status == SQLITE_ROW
            ? QString::fromUtf8(reinterpret_cast<const char *>(sqlite3_column_text(statement, 0)))
            : QString::fromUtf8(sqlite3_errmsg(m_db));
    sqlite3_finalize(statement);
    if (answer == u"ok"_qs)
        return {};
    // The fault comes after a line naming the attached schema, which says nothing to the administrator.
    QStringList lines = answer.split(u'\n', Qt::SkipEmptyParts);
    lines.removeIf([](const QString &line) { return line.startsWith(u"*** in database"); });
    return {lines.isEmpty() ? answer : lines.join(u"; "_qs), {}};
}

void SqliteLibrary::refuseIfGone() const
{
    if (m_fileGone)
        throw StoreError(
            QStringLiteral("Library %1: database file %2 was moved, deleted or replaced while open - "
                           "nothing more is read from it or written to it until the program is "
                           "started again")
                .arg(m_config.name, m_config.databaseFile));
}

QList<QVariantList> SqliteLibrary::query(const QString &sql, const QVariantList &binds)
{
    refuseIfGone();
    sqlite3_stmt *statement = prepared(sql);
    if (!sqlite3_stmt_readonly(statement) && sqlite3_get_autocommit(m_db))
        checkInPlace();
    // Parameters left without a value are NULL, not the value of the statement's last run.
    if (binds.size() < sqlite3_bind_parameter_count(statement))
        sqlite3_clear_bindings(statement);
    for (int i = 0; i < binds.size(); ++i)
        bindValue(statement, i + 1, bindable(binds[i]));
    QList<QVariantList> rows;
    const int columns = sqlite3_column_count(statement);
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        QVariantList row;
        row.reserve(columns);
        for (int c = 0; c < columns; ++c)
            row << columnValue(statement, c);
        rows << row;
    }
    if (step != SQLITE_DONE) {
        sqlite3_reset(statement); // keeps the connection's error
        raise(sql);
    }
    sqlite3_reset(statement);
    return rows;
}

// The library's UPPER is QString::toUpper, and its result compares byte for byte.
QString SqliteLibrary::nameKey(const QString &name)
{
    return name.toUpper();
}

qint64 SqliteLibrary::nextNumber(const QString &counter)
{
    const auto [table, column] = counterColumn(counter);
    const QVariant current =
        scalar(QStringLiteral("SELECT VALUE FROM DM_COUNTERS WHERE NAME = ?1"), {counter});
    // A counter starts above every number already in use, so rows made by other means cannot collide.
    const qint64 next =
        current.isValid()
            ? current.toLongLong() + 1
            : scalar(QStringLiteral("SELECT COALESCE(MAX(%1), 0) + 1 FROM %2").arg(column, table))
                  .toLongLong();
    exec(QStringLiteral("INSERT INTO DM_COUNTERS (NAME, VALUE) VALUES (?1, ?2) "
                        "ON CONFLICT (NAME) DO UPDATE SET VALUE = excluded.VALUE"),
         {counter, next});
    return next;
}

void SqliteLibrary::raise(const QString &context) const
{
    if (sqlite3_extended_errcode(m_db) == SQLITE_CONSTRAINT_CHECK)
        refuseIfTooLong(QString::fromUtf8(sqlite3_errmsg(m_db)).section(QStringLiteral(": "), 1));
    throw StoreError(QStringLiteral("Library %1: %2 in: %3")
                         .arg(m_config.name, QString::fromUtf8(sqlite3_errmsg(m_db)), context));
}

void SqliteLibrary::beginWork(bool nested)
{
    if (!nested)
        checkInPlace();
    exec(nested ? QStringLiteral("SAVEPOINT DM_CALL") : QStringLiteral("BEGIN IMMEDIATE"));
}

void SqliteLibrary::commitWork(bool nested)
{
    if (!nested)
        checkInPlace();
    exec(nested ? QStringLiteral("RELEASE DM_CALL") : QStringLiteral("COMMIT"));
}

void SqliteLibrary::rollbackWork(bool nested) noexcept
{
    sqlite3_exec(m_db, nested ? "ROLLBACK TO DM_CALL; RELEASE DM_CALL" : "ROLLBACK", nullptr, nullptr,
                 nullptr);
}

bool SqliteLibrary::inTransaction() const
{
    return !sqlite3_get_autocommit(m_db);
}

StorageFailure SqliteLibrary::failure() const
{
    using Broken = StorageFailure::Broken;
    const int code = sqlite3_extended_errcode(m_db);
    const Broken broken = code == SQLITE_CONSTRAINT_UNIQUE || code == SQLITE_CONSTRAINT_PRIMARYKEY
                              ? Broken::Key
                          : code == SQLITE_CONSTRAINT_CHECK   ? Broken::Check
                          : code == SQLITE_CONSTRAINT_NOTNULL ? Broken::NotNull
                                                              : Broken::Nothing;
    return {broken, {}, QString::fromUtf8(sqlite3_errmsg(m_db)), {}};
}

namespace {

class SqliteStatement final : public StoredStatement {
public:
    explicit SqliteStatement(sqlite3_stmt *statement) : m_statement(statement) {}
    ~SqliteStatement() override { sqlite3_finalize(m_statement); }
    int parameterCount() const override { return sqlite3_bind_parameter_count(m_statement); }
    bool readOnly() const override { return sqlite3_stmt_readonly(m_statement); }
    sqlite3_stmt *handle() const { return m_statement; }

private:
    sqlite3_stmt *m_statement;
};

} // namespace

std::unique_ptr<StoredStatement> SqliteLibrary::prepare(const QString &sql, QString &rest,
                                                        StorageFailure &failed)
{
    const QByteArray text = sql.toUtf8();
    const char *tail = nullptr;
    sqlite3_stmt *statement = nullptr;
    if (sqlite3_prepare_v3(m_db, text.constData(), int(text.size()), SQLITE_PREPARE_PERSISTENT, &statement,
                           &tail) != SQLITE_OK) {
        failed = failure();
        return nullptr;
    }
    rest = QString::fromUtf8(tail, text.constData() + text.size() - tail);
    // Nothing but comments prepares to no statement at all.
    return statement ? std::make_unique<SqliteStatement>(statement) : nullptr;
}

bool SqliteLibrary::run(StoredStatement &stored, const QVariantList &binds, StatementRows &rows,
                        StorageFailure &failed)
{
    sqlite3_stmt *statement = static_cast<SqliteStatement &>(stored).handle();
    for (int i = 0; i < binds.size(); ++i) {
        const QByteArray text =
            binds[i].typeId() == QMetaType::QString ? binds[i].toString().toUtf8() : QByteArray();
        // A value SQLite will not take as a parameter (too long) fails the statement.
        if ((binds[i].typeId() == QMetaType::QString
                 ? sqlite3_bind_text(statement, i + 1, text.constData(), int(text.size()), SQLITE_TRANSIENT)
                 : sqlite3_bind_int64(statement, i + 1, binds[i].toLongLong())) != SQLITE_OK) {
            failed = failure();
            return false;
        }
    }
    // The connection's change counter also moves for no statement but INSERT, UPDATE and DELETE, so a
    // query or a table definition never reports the rows of an earlier change.
    const sqlite3_int64 changesBefore = sqlite3_total_changes64(m_db);
    rows.columns = sqlite3_column_count(statement);
    int step;
    while ((step = sqlite3_step(statement)) == SQLITE_ROW) {
        for (int column = 0; column < rows.columns; ++column)
            rows.values.append(columnValue(statement, column));
    }
    if (step != SQLITE_DONE) {
        failed = failure();
        sqlite3_reset(statement);
        return false;
    }
    sqlite3_reset(statement);
    rows.rowsAffected = sqlite3_total_changes64(m_db) - changesBefore;
    return true;
}

bool SqliteLibrary::control(Control what, StorageFailure &failed)
{
    const char *statement = what == Control::Begin             ? "BEGIN"
                            : what == Control::BeginForWriting ? "BEGIN IMMEDIATE"
                            : what == Control::Commit          ? "COMMIT"
                                                               : "ROLLBACK";
    if (sqlite3_exec(m_db, statement, nullptr, nullptr, nullptr) == SQLITE_OK)
        return true;
    failed = failure();
    return false;
}
