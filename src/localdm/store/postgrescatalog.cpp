#include "localdm/store/postgrescatalog.h"

#include "dmapi/sqllexer.h"

namespace {

// The session settings that carry the installation's facts; unset, the catalog reads them as NULL.
constexpr QStringView DatabaseNameSetting = u"korvel.database_name";
constexpr QStringView CompatibilitySetting = u"korvel.compatibility_level";
constexpr QStringView QuotedIdentifierSetting = u"korvel.quoted_identifier";
constexpr QStringView ProductVersionSetting = u"korvel.product_version";

QString setting(QStringView name)
{
    return QStringLiteral("current_setting('%1', true)").arg(name);
}

} // namespace

QString PostgresCreateDatabaseStatement(const QString &database)
{
    QString quoted = database;
    return QStringLiteral("CREATE DATABASE \"%1\" TEMPLATE template0 ENCODING 'UTF8' LOCALE 'C.UTF-8'")
        .arg(quoted.replace(u'"', QStringLiteral("\"\"")));
}

QString PostgresSchemaName(const LibraryConfig &config)
{
    return config.owner.toLower();
}

QStringList PostgresCatalogStatements(const LibraryConfig &config)
{
    const QString schema = SqlQuotedLiteral(PostgresSchemaName(config));
    const QString owner = SqlQuotedLiteral(config.owner.toUpper());
    // Names compare as the library's text does.
    const QString text = config.oracle() ? QStringLiteral("text") : QStringLiteral("citext");
    const QString tables = QStringLiteral(" FROM pg_catalog.pg_tables WHERE schemaname = ") + schema;
    return {
        QStringLiteral("CREATE SCHEMA IF NOT EXISTS sys"),
        // The same id for a table's name in any letter case, with or without its owner's name quoted.
        QStringLiteral("CREATE OR REPLACE FUNCTION sys.object_id(name text) RETURNS bigint LANGUAGE sql "
                       "IMMUTABLE STRICT AS $$ SELECT (hashtext(upper(name)) & 2147483647)"
                       "::bigint + 1 $$"),
        QStringLiteral("CREATE OR REPLACE VIEW sys.databases AS SELECT %1::%2 AS name, "
                       "%3::integer AS compatibility_level, %4::integer AS is_quoted_identifier_on")
            .arg(setting(DatabaseNameSetting), text, setting(CompatibilitySetting),
                 setting(QuotedIdentifierSetting)),
        QStringLiteral("CREATE OR REPLACE VIEW sys.sysobjects AS SELECT sys.object_id(%1 || '.' || "
                       "tablename) AS id, upper(tablename)::%2 AS name, 3 AS sysstat, 'U'::%2 AS type")
                .arg(owner, text) +
            tables,
        QStringLiteral("CREATE OR REPLACE VIEW sys.all_tables AS SELECT %1::%2 AS owner, "
                       "upper(tablename)::%2 AS table_name")
                .arg(owner, text) +
            tables,
        QStringLiteral("CREATE OR REPLACE VIEW sys.user_tab_privs AS SELECT %1::%2 AS owner, "
                       "upper(tablename)::%2 AS table_name, 'SELECT'::%2 AS privilege")
                .arg(owner, text) +
            tables,
        QStringLiteral("CREATE OR REPLACE FUNCTION sys.serverproperty(property text) RETURNS text "
                       "LANGUAGE sql STABLE AS $$ SELECT CASE WHEN upper(property) = 'PRODUCTVERSION' "
                       "THEN %1 END $$")
            .arg(setting(ProductVersionSetting)),
        // Dates are text as on SQLite, and as the statement began, as the servers have them.
        QStringLiteral("CREATE OR REPLACE FUNCTION sys.getutcdate() RETURNS text LANGUAGE sql STABLE AS "
                       "$$ SELECT to_char(statement_timestamp() AT TIME ZONE 'UTC', "
                       "'YYYY-MM-DD HH24:MI:SS') $$"),
        QStringLiteral("CREATE OR REPLACE FUNCTION sys.sysdate() RETURNS text LANGUAGE sql STABLE AS "
                       "$$ SELECT to_char(statement_timestamp(), 'YYYY-MM-DD HH24:MI:SS') $$"),
        QStringLiteral("CREATE OR REPLACE FUNCTION sys.len(value text) RETURNS bigint LANGUAGE sql "
                       "IMMUTABLE STRICT AS $$ SELECT length(rtrim(value, ' '))::bigint $$"),
        QStringLiteral("CREATE OR REPLACE FUNCTION sys.instr(value text, part text) RETURNS bigint "
                       "LANGUAGE sql IMMUTABLE STRICT AS $$ SELECT strpos(value, part)::bigint $$"),
        // The formats and errors of the SQLite connection's TO_DATE; two-digit years 50 to 99 are the
        // 1900s.
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION sys.dm_to_date(value text, format text) RETURNS text "
            "LANGUAGE plpgsql IMMUTABLE AS $$\n"
            "DECLARE\n"
            "  t text := btrim(coalesce(value, ''));\n"
            "  f text := upper(btrim(coalesce(format, '')));\n"
            "  parts text[];\n"
            "  year int;\n"
            "  month int;\n"
            "  result date;\n"
            "BEGIN\n"
            "  IF f IN ('DD-MON-RR', 'DD-MON-YY', 'DD-MON-YYYY') THEN\n"
            "    parts := regexp_match(t, CASE WHEN f = 'DD-MON-YYYY' THEN "
            "'^(\\d{1,2})-([A-Za-z]{3})-(\\d{4})$'\n"
            "                                  ELSE '^(\\d{1,2})-([A-Za-z]{3})-(\\d{2})$' END);\n"
            "    month := array_position(ARRAY['JAN', 'FEB', 'MAR', 'APR', 'MAY', 'JUN', 'JUL', 'AUG', "
            "'SEP',\n"
            "                                  'OCT', 'NOV', 'DEC'], upper(parts[2]));\n"
            "    year := parts[3]::int;\n"
            "    IF f <> 'DD-MON-YYYY' THEN\n"
            "      year := year + CASE WHEN year < 50 THEN 2000 ELSE 1900 END;\n"
            "    END IF;\n"
            "  ELSIF f = 'YYYY-MM-DD' THEN\n"
            "    parts := regexp_match(t, '^(\\d{4})-(\\d{2})-(\\d{2})$');\n"
            "    year := parts[1]::int;\n"
            "    month := parts[2]::int;\n"
            "    parts[1] := parts[3];\n"
            "  ELSE\n"
            "    RAISE EXCEPTION 'ORA-01821: date format not recognized';\n"
            "  END IF;\n"
            "  BEGIN\n"
            "    result := make_date(year, month, parts[1]::int);\n"
            "  EXCEPTION WHEN others THEN\n"
            "    result := NULL;\n"
            "  END;\n"
            "  IF result IS NULL THEN\n"
            "    RAISE EXCEPTION 'ORA-01858: a non-numeric character was found where a numeric was "
            "expected';\n"
            "  END IF;\n"
            "  RETURN to_char(result, 'YYYY-MM-DD');\n"
            "END $$"),
        // TRY_CAST(x AS INT): NULL where CAST would fail.
        QStringLiteral(
            "CREATE OR REPLACE FUNCTION sys.dm_try_int(value text) RETURNS bigint LANGUAGE plpgsql "
            "IMMUTABLE STRICT AS $$ BEGIN RETURN btrim(value)::bigint; EXCEPTION WHEN others THEN "
            "RETURN NULL; END $$"),
        QStringLiteral("CREATE OR REPLACE FUNCTION sys.dm_try_int(value numeric) RETURNS bigint LANGUAGE "
                       "plpgsql IMMUTABLE STRICT AS $$ BEGIN RETURN trunc(value)::bigint; EXCEPTION WHEN "
                       "others THEN RETURN NULL; END $$"),
    };
}

QList<std::pair<QString, QString>> PostgresSessionSettings(const LibraryConfig &config)
{
    return {{DatabaseNameSetting.toString(), config.databaseName},
            {CompatibilitySetting.toString(), QString::number(config.compatibilityLevel)},
            {QuotedIdentifierSetting.toString(),
             config.quotedIdentifier ? QStringLiteral("1") : QStringLiteral("0")},
            {ProductVersionSetting.toString(), config.productVersion}};
}
