#include "settings/registry.h"

#include <array>

namespace {
const std::array<QString, 5> RootNames = {
    QStringLiteral("HKEY_CLASSES_ROOT"), QStringLiteral("HKEY_CURRENT_CONFIG"),
    QStringLiteral("HKEY_CURRENT_USER"), QStringLiteral("HKEY_LOCAL_MACHINE"), QStringLiteral("HKEY_USERS")};
}

int RegistryRootCode(const QString &rootName)
{
    for (std::size_t i = 0; i < RootNames.size(); ++i)
        if (RootNames[i] == rootName)
            return int(i) + 1;
    return 0;
}

QString RegistryRootName(int rootCode)
{
    return rootCode >= 1 && rootCode <= int(RootNames.size()) ? RootNames[std::size_t(rootCode - 1)]
                                                              : QString();
}
