#include "localdm/store/postgresschema.h"

#include "localdm/store/schema.h"

#include <QRegularExpression>

namespace {

QString schemaOf(const LibraryConfig &config)
{
    return config.owner.toLower();
}

// The SQLite layout in PostgreSQL's words: whole numbers are bigint, text of a case-insensitive library is
// citext, and an index lives in its table's schema.
QString forPostgres(QString statement)
{
    static const QRegularExpression integer(QStringLiteral("\\bINTEGER\\b"));
    static const QRegularExpression indexSchema(QStringLiteral("INDEX IF NOT EXISTS \\w+\\."));
    statement.replace(integer, QStringLiteral("BIGINT"));
    statement.replace(QStringLiteral("TEXT COLLATE DMNOCASE"), QStringLiteral("CITEXT"));
    statement.replace(indexSchema, QStringLiteral("INDEX IF NOT EXISTS "));
    return statement;
}

} // namespace

QStringList PostgresLibraryStatements(const LibraryConfig &config, bool indexes)
{
    const QString schema = schemaOf(config);
    QStringList statements = {QStringLiteral("CREATE EXTENSION IF NOT EXISTS citext"),
                              QStringLiteral("CREATE SCHEMA %1").arg(schema),
                              QStringLiteral("SET LOCAL search_path TO %1").arg(PostgresSearchPath(config))};
    for (const QString &statement : LibrarySchemaStatements(schema, !config.oracle(), indexes))
        statements << forPostgres(statement);
    return statements;
}

QStringList PostgresIndexStatements(const LibraryConfig &config)
{
    QStringList statements;
    for (const QString &statement : LibraryIndexStatements(schemaOf(config)))
        statements << forPostgres(statement);
    return statements;
}

QStringList PostgresFolderListIndexStatements(const LibraryConfig &config)
{
    QStringList statements;
    for (const QString &statement : FolderListIndexStatements(schemaOf(config)))
        statements << forPostgres(statement);
    return statements;
}

QString PostgresSearchPath(const LibraryConfig &config)
{
    return schemaOf(config) + QStringLiteral(", public");
}
