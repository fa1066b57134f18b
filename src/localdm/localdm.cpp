#include "localdm/localdm.h"

#include "dmapi/dmerror.h"

LocalDm::LocalDm(Installation installation)
    : m_installation(std::move(installation)),
      m_faults(FaultPlan::parse(m_installation.faults + u',' + qEnvironmentVariable("KORVEL_DM_FAULTS"))),
      m_currentLibrary(m_installation.currentLibrary)
{
}

LibraryDatabase &LocalDm::database(const QString &libraryName)
{
    // The DM's objects name their library as the installation spells it: that is found without a walk.
    if (const auto open = m_databases.find(libraryName); open != m_databases.end())
        return *open->second;
    const LibraryConfig *config = m_installation.library(libraryName);
    if (!config)
        throw DmError(1004, QStringLiteral("Local DM"),
                      QStringLiteral("Library %1 is not part of the DM installation %2")
                          .arg(libraryName, m_installation.fileName));
    auto &slot = m_databases[config->name];
    if (!slot) {
        try {
            slot = LibraryDatabase::open(*config);
        } catch (const DmError &error) {
            m_databases.erase(config->name);
            throw DmError(
                error.number(), error.source(),
                QStringLiteral("DM installation %1: %2").arg(m_installation.fileName, error.description()));
        }
    }
    return *slot;
}

QString LocalDm::lostCause(const QString &libraryName)
{
    const LibraryConfig *config = m_installation.library(libraryName);
    const auto open = config ? m_databases.find(config->name) : m_databases.end();
    if (open == m_databases.end())
        return {};
    try {
        open->second->checkInPlace();
    } catch (const DmError &error) {
        return error.description();
    }
    return {};
}

QString LocalDmVersion()
{
    return QStringLiteral("local %1.%2").arg(KORVEL_VERSION_MAJOR).arg(KORVEL_VERSION_MINOR);
}

QString LocalDmPatchLevel()
{
    return QString::number(KORVEL_VERSION_PATCH);
}

SqlStatementCache &LocalDm::statementCache(LibraryDatabase &database)
{
    std::unique_ptr<SqlStatementCache> &cache = m_statementCaches[&database];
    if (!cache)
        cache = std::make_unique<SqlStatementCache>(database);
    return *cache;
}
