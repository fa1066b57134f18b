#include "localdm/store/librarydatabase.h"

#include "dmapi/dmerror.h"
#include "localdm/localerror.h"
#include "localdm/store/postgreslibrary.h"
#include "localdm/store/schema.h"
#include "localdm/store/sqlitelibrary.h"

DmError StoreError(const QString &description)
{
    return DmError(1002, QStringLiteral("Local DM"), description);
}

std::unique_ptr<LibraryDatabase> LibraryDatabase::open(const LibraryConfig &config)
{
    if (config.onServer())
        return std::make_unique<PostgresLibrary>(config);
    return std::make_unique<SqliteLibrary>(config);
}

void LibraryDatabase::create(const LibraryConfig &config, bool indexes)
{
    if (config.onServer())
        PostgresLibrary::create(config, indexes);
    else
        SqliteLibrary::create(config, indexes);
}

QVariant LibraryDatabase::scalar(const QString &sql, const QVariantList &binds)
{
    const QList<QVariantList> rows = query(sql, binds);
    return rows.isEmpty() || rows.first().isEmpty() ? QVariant() : rows.first().first();
}

QVariant LibraryDatabase::bindable(const QVariant &value) const
{
    // Oracle keeps an empty text as NULL, also in what the DM itself writes and looks up.
    const bool emptyText = value.typeId() == QMetaType::QString && value.toString().isEmpty();
    return m_config.oracle() && emptyText ? QVariant() : value;
}

void LibraryDatabase::refuseIfTooLong(const QString &constraint) const
{
    if (const TextColumn *column = LibraryTextColumn(constraint))
        throw LocalDmError(LocalError::ValueTooLong,
                           QStringLiteral("Library %1: a value longer than the %2 characters that %3 holds "
                                          "was refused; nothing was stored")
                               .arg(m_config.name)
                               .arg(column->length)
                               .arg(column->constraintName()));
}

std::pair<QString, QString> LibraryDatabase::counterColumn(const QString &counter) const
{
    const QString table = counter.section(u'.', 0, 0);
    const QString column = counter.section(u'.', 1);
    if (!LibraryTableNames().contains(table) ||
        (column != QStringLiteral("SYSTEM_ID") && column != QStringLiteral("DOCNUMBER")))
        throw StoreError(QStringLiteral("Library %1: bad counter %2").arg(m_config.name, counter));
    return {table, column};
}

LibraryDatabase::Transaction::Transaction(LibraryDatabase &db) : m_db(db), m_nested(db.inTransaction())
{
    m_db.beginWork(m_nested);
}

LibraryDatabase::Transaction::~Transaction()
{
    if (!m_done)
        m_db.rollbackWork(m_nested);
}

void LibraryDatabase::Transaction::commit()
{
    m_db.commitWork(m_nested);
    m_done = true;
}
