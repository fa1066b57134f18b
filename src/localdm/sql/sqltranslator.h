#pragma once

#include "localdm/installation.h"
#include "localdm/store/librarydatabase.h"
#include "localdm/store/schema.h"

#include <QString>

// The database servers whose SQL the local DM accepts.
enum class SqlDialect { SqlServer, Sybase, Oracle };

// A failure as the library's server reports it through its ODBC driver: the server's error number and a
// description "[vendor][driver][server] message".
struct SqlError {
    qint32 number = 0;
    QString description;
};

// The number of the local DM's own error for a statement it cannot run faithfully on SQLite.
inline constexpr qint32 UntranslatableSqlError = 1105;

// What becomes of one statement.
struct SqlTranslation {
    enum class Action {
        Run,      // run sql on the library's SQLite connection
        Skip,     // a session setting the server accepts and the local DM has no use for
        Refuse,   // the server would refuse it, or the local DM cannot run it faithfully: error says why
        Begin,    // BEGIN TRANSACTION [name] on SQL Server and Sybase
        Commit,   // COMMIT in any of the server's forms
        Rollback, // ROLLBACK in any of the server's forms; name is the transaction it names, if any
    };
    Action action = Action::Refuse;
    QString sql;
    SqlError error;
    QString name;
};

// Reads a statement as the server of a library's engine would (Oracle for codes 2 and 5, Sybase for 6,
// Microsoft SQL Server for any other code) and writes it as SQLite SQL for the library's connection, whose
// catalog stand-ins LibraryDatabase provides, or for a library on a server as PostgreSQL SQL, whose catalog
// stand-ins PostgresCatalogStatements() makes. What the server would refuse is refused with the server's
// error; what the local DM cannot run faithfully is refused too, never run as something else.
//
// Holds only the library's server facts; translate() is a pure function of them and the statement text.
class SqlTranslator {
public:
    explicit SqlTranslator(const LibraryConfig &config);

    static SqlDialect dialectOf(int engine);
    SqlDialect dialect() const { return m_dialect; }
    // The SQL written: PostgreSQL's for a library on a server (LibraryConfig::onServer), else SQLite's.
    SqlTarget target() const { return m_target; }

    SqlTranslation translate(const QString &statement) const;

    // A server error of this personality: the driver prefix, and for Oracle the "ORA-nnnnn: " code.
    SqlError serverError(qint32 number, const QString &message) const;
    // A failure SQLite reported for a translated statement (the kind of constraint it broke, if any, and its
    // message), as this personality's server reports the same fault.
    SqlError sqliteError(StorageFailure::Broken broken, const QString &message) const;
    // A failure of the library's store, as this personality's server reports the same fault.
    SqlError storageError(const StorageFailure &failure) const;
    // A failure PostgreSQL reported for a translated statement (its SQLSTATE, primary message and the
    // constraint it names, if any), as this personality's server reports the same fault.
    SqlError postgresError(const QByteArray &sqlstate, const QString &message,
                           const QString &constraint) const;
    // An error of the local DM itself, in the same style: "[Korvel][Local DM]message".
    static SqlError localError(qint32 number, const QString &message);

private:
    LibraryConfig m_config;
    SqlDialect m_dialect;
    SqlTarget m_target;
    // SQL Server 2012 (version 11) at compatibility level 110 knows TRY_CAST.
    bool m_knowsTryCast;
};
