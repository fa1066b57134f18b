#include "localdm/localapplication.h"

#include "localdm/libraryrows.h"
#include "localdm/localdm.h"
#include "localdm/locallibrary.h"

#include <QUuid>

LocalLibraries::LocalLibraries(QList<std::shared_ptr<LocalLibrary>> libraries)
    : m_libraries(std::move(libraries))
{
}

int LocalLibraries::count() const
{
    return int(m_libraries.size());
}

std::shared_ptr<DmLibrary> LocalLibraries::item(int index) const
{
    return index >= 1 && index <= count() ? m_libraries[index - 1] : nullptr;
}

LocalApplication::LocalApplication(std::shared_ptr<LocalDm> dm) : m_dm(std::move(dm))
{
    QList<std::shared_ptr<LocalLibrary>> libraries;
    for (const LibraryConfig &config : m_dm->installation().libraries)
        libraries << std::make_shared<LocalLibrary>(m_dm, config.name);
    m_libraries = std::make_shared<LocalLibraries>(std::move(libraries));
}

std::shared_ptr<DmLibraries> LocalApplication::libraries() const
{
    return m_libraries;
}

std::shared_ptr<DmLibrary> LocalApplication::library(const QString &name) const
{
    for (int index = 1; index <= m_libraries->count(); ++index) {
        auto library = m_libraries->item(index);
        if (!name.isEmpty() && library->name().compare(name, Qt::CaseInsensitive) == 0)
            return library;
    }
    return nullptr;
}

std::shared_ptr<DmLibrary> LocalApplication::currentLibrary() const
{
    return library(m_dm->currentLibrary());
}

std::shared_ptr<DmLibrary> LocalApplication::defaultLibrary() const
{
    return library(m_dm->installation().defaultLibrary);
}

QString LocalApplication::securityToken()
{
    // The login is made in the installation's current library, wherever the session works since.
    const auto current = library(m_dm->installation().currentLibrary);
    if (!current || !LibraryRows::personId(m_dm->database(current->name()), m_dm->installation().user)) {
        m_token.clear();
        return {};
    }
    if (m_token.isEmpty())
        m_token = QUuid::createUuid().toString(QUuid::WithoutBraces);
    return m_token;
}

void LocalApplication::setWindowHandle(quintptr handle)
{
    m_windowHandle = handle;
}
