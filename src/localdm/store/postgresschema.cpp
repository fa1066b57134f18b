#include "localdm/store/postgresschema.h"

#include "localdm/store/postgrescatalog.h"
#include "localdm/store/schema.h"

QStringList PostgresLibraryStatements(const LibraryConfig &config, bool indexes)
{
    const QString schema = PostgresSchemaName(config);
    QStringList statements = {QStringLiteral("SET LOCAL search_path TO %1").arg(PostgresSearchPath(config))};
    statements << LibrarySchemaStatements(schema, !config.oracle(), indexes, SqlTarget::PostgreSql)
               << PostgresCatalogStatements(config);
    // Whoever changes a folder's item list, a DM call or a statement of the pass-through, holds the lock of
    // that folder's list until its transaction ends, so two writers of one list take turns.
    statements << QStringLiteral(
                      "CREATE FUNCTION %1.dm_lock_folder_list() RETURNS trigger LANGUAGE plpgsql AS $$ "
                      "BEGIN IF TG_OP <> 'INSERT' THEN PERFORM pg_advisory_xact_lock(%2, OLD.PARENT::int); "
                      "END IF; IF TG_OP <> 'DELETE' THEN PERFORM pg_advisory_xact_lock(%2, "
                      "NEW.PARENT::int); RETURN NEW; END IF; RETURN OLD; END $$")
                      .arg(schema)
                      .arg(PostgresFolderListLockClass)
               << QStringLiteral("CREATE TRIGGER folder_item_list_lock BEFORE INSERT OR UPDATE OR DELETE ON "
                                 "%1.FOLDER_ITEM FOR EACH ROW EXECUTE FUNCTION %1.dm_lock_folder_list()")
                      .arg(schema);
    return statements;
}

QStringList PostgresIndexStatements(const LibraryConfig &config)
{
    return LibraryIndexStatements(PostgresSchemaName(config), SqlTarget::PostgreSql);
}

QStringList PostgresFolderListIndexStatements(const LibraryConfig &config)
{
    return FolderListIndexStatements(PostgresSchemaName(config), SqlTarget::PostgreSql);
}

QString PostgresSearchPath(const LibraryConfig &config)
{
    return PostgresSchemaName(config) + QStringLiteral(", sys, public");
}
