#include "dm/passthrough.h"

#include "dm/dmsession.h"
#include "dmapi/enginecode.h"

#include <algorithm>

bool PassThrough::create(DmFactory &factory)
{
    reset();
    m_sql = factory.createSql();
    return bool(m_sql);
}

void PassThrough::bindToken(const QString &securityToken)
{
    m_sql->setSecurityToken(securityToken);
    m_token = securityToken;
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
    m_token.clear();
    m_transactionDepth = 0;
}

void PassThrough::noteSent(const QString &statement, bool succeeded)
{
    const QString text = statement.trimmed();
    const auto end = std::find_if(text.cbegin(), text.cend(), [](QChar c) { return !c.isLetter(); });
    const QString word = text.first(end - text.cbegin()).toUpper();
    if (word == QStringLiteral("BEGIN")) {
        if (succeeded)
            ++m_transactionDepth;
    } else if (word == QStringLiteral("COMMIT")) {
        // On SQL Server and Sybase a COMMIT ends one level of nested transactions, on Oracle all work.
        if (succeeded)
            m_transactionDepth = IsOracle(m_engineCode) ? 0 : std::max(0, m_transactionDepth - 1);
    } else if (word == QStringLiteral("ROLLBACK")) {
        if (succeeded)
            m_transactionDepth = 0;
    } else if (word != QStringLiteral("SELECT") && word != QStringLiteral("WITH") &&
               word != QStringLiteral("SET") && (IsOracle(m_engineCode) || !succeeded)) {
        m_transactionDepth = std::max(m_transactionDepth, 1);
    }
}

PassThroughKeeping::PassThroughKeeping(DmSession &session) : m_session(session), m_outer(!session.keepSql)
{
    m_session.keepSql = true;
}

PassThroughKeeping::~PassThroughKeeping()
{
    if (!m_outer)
        return;
    m_session.keepSql = false;
    m_session.keptSql.clear();
    m_session.keptUniqueNames.clear();
}

bool PassThrough::isBoundTo(const QString &library) const
{
    return m_sql && !m_library.isEmpty() && m_library.compare(library, Qt::CaseInsensitive) == 0;
}
