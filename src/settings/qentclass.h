#pragma once

#include "settings/registry.h"

#include <functional>

// Reads one machine-wide registry value by a path written as one text: a root name
// ("HKEY_LOCAL_MACHINE", any letter case), the key path and the value name, all separated by
// backslashes. Drives a registry component that it creates on first use and keeps for its lifetime.
class QentClass {
public:
    using ComponentFactory = std::function<std::unique_ptr<RegistryComponent>()>;

    // The default component reads the file-backed registry (FileRegistry::defaultFileName()).
    QentClass();
    explicit QentClass(ComponentFactory factory);

    // The value, or an invalid QVariant when the path cannot be resolved. A missing key or value
    // yields the last value read successfully along the path. Never throws.
    QVariant GetRegistryValue(const QString &path);

private:
    ComponentFactory m_factory;
    std::unique_ptr<RegistryComponent> m_component;
};
