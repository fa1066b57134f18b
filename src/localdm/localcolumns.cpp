#include "localdm/localcolumns.h"

#include "localdm/localdocument.h"
#include "localdm/localerror.h"

LocalColumns::LocalColumns(std::shared_ptr<LocalDocument> document) : m_document(std::move(document)) {}

int LocalColumns::count() const
{
    return LocalDocument::ColumnCount;
}

std::shared_ptr<DmColumn> LocalColumns::item(int index) const
{
    if (index < 1 || index > count())
        throw LocalDmError(LocalError::BadIndex,
                           QStringLiteral("There is no column %1 in the %2 columns of %3")
                               .arg(index)
                               .arg(count())
                               .arg(m_document->describe()));
    return std::make_shared<LocalColumn>(m_document, index - 1);
}

LocalColumn::LocalColumn(std::shared_ptr<LocalDocument> document, int column)
    : m_document(std::move(document)), m_column(column)
{
}

QString LocalColumn::name() const
{
    return LocalDocument::columnName(m_column);
}

QVariant LocalColumn::value() const
{
    return m_document->value(m_column);
}

void LocalColumn::setValue(const QVariant &value)
{
    m_document->setValue(m_column, value);
}

bool LocalColumn::excluded() const
{
    return LocalDocument::columnExcluded(m_column);
}
