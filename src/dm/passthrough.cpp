#include "dm/passthrough.h"

bool PassThrough::create(DmFactory &factory)
{
    reset();
    m_sql = factory.createSql();
    return bool(m_sql);
}

void PassThrough::bindToken(const QString &securityToken)
{
    m_sql->setSecurityToken(securityToken);
}

void PassThrough::bindLibrary(const QString &library)
{
    m_sql->setLibrary(library);
    m_library = library;
    m_engineCode = m_sql->databaseEngine();
}

void PassThrough::reset()
{
    m_sql.reset();
    m_library.clear();
}

bool PassThrough::isBoundTo(const QString &library) const
{
    return m_sql && !m_library.isEmpty() && m_library.compare(library, Qt::CaseInsensitive) == 0;
}
