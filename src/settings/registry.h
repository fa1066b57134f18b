#pragma once

#include <QString>
#include <QVariant>

#include <memory>
#include <optional>

// One key of a registry, as a registry component hands it out.
class RegistryKey {
public:
    virtual ~RegistryKey() = default;
    // Null when the key has no sub-key of that name.
    virtual std::unique_ptr<RegistryKey> openSubKey(const QString &name) const = 0;
    // Empty when the key has no value of that name.
    virtual std::optional<QVariant> readValue(const QString &name) const = 0;
};

// The component that reads machine-wide registry values; QentClass drives it.
class RegistryComponent {
public:
    virtual ~RegistryComponent() = default;
    // Opens a root by its code (RegistryRootCode) and a sub-key below it (empty for the root
    // itself); null when either does not exist.
    virtual std::unique_ptr<RegistryKey> openRoot(int rootCode, const QString &subKey) const = 0;
};

// The code of a root name as written in a registry path ("HKEY_LOCAL_MACHINE" is 4), matched
// exactly; 0 for anything else.
int RegistryRootCode(const QString &rootName);
// The root name of a code; empty for an unknown code.
QString RegistryRootName(int rootCode);
