#include "localdm/localdmfactory.h"

#include "localdm/localapplication.h"
#include "localdm/localbrowser.h"
#include "localdm/localcommand.h"
#include "localdm/sql/localsql.h"

LocalDmFactory::LocalDmFactory(std::shared_ptr<LocalDm> dm, std::function<std::shared_ptr<DmSql>()> makeSql)
    : m_dm(std::move(dm)), m_makeSql(std::move(makeSql))
{
}

std::shared_ptr<DmApplication> LocalDmFactory::createApplication()
{
    return std::make_shared<LocalApplication>(m_dm);
}

std::shared_ptr<DmSql> LocalDmFactory::createSql()
{
    return m_makeSql ? m_makeSql() : std::make_shared<LocalSql>(m_dm);
}

std::shared_ptr<DmBrowser> LocalDmFactory::createBrowser()
{
    return std::make_shared<LocalBrowser>();
}

std::shared_ptr<DmBrowserCompanion> LocalDmFactory::createBrowserCompanion()
{
    return std::make_shared<LocalBrowserCompanion>();
}

std::shared_ptr<DmCommand> LocalDmFactory::createCommand()
{
    return std::make_shared<LocalCommand>();
}
