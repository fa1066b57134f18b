#pragma once

#include "settings/registry.h"

#include <QHash>
#include <QSet>

// A registry kept in an INI file, for platforms without a Windows registry: one section per key,
// written as the key's full path with backslashes, and its values as entries, for example
//
//   [HKEY_LOCAL_MACHINE\Software\Hummingbird\PowerDOCS]
//   CurrentVersion=5.3
//
// Key and value names match in any letter case, as in the Windows registry. The file is read once,
// when the component is made; a missing or unreadable file is an empty registry.
class FileRegistry : public RegistryComponent {
public:
    explicit FileRegistry(const QString &fileName);

    // $KORVEL_REGISTRY when set, otherwise registry.ini in the user's Korvel config directory.
    static QString defaultFileName();

    std::unique_ptr<RegistryKey> openRoot(int rootCode, const QString &subKey) const override;

    struct Contents {
        QSet<QString> keys;              // lower-cased key paths joined by "/"
        QHash<QString, QVariant> values; // lower-cased key path + "/" + value name
    };

private:
    std::shared_ptr<const Contents> m_contents;
};
