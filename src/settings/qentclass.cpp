#include "settings/qentclass.h"

#include "settings/fileregistry.h"

QentClass::QentClass()
    : QentClass([] { return std::make_unique<FileRegistry>(FileRegistry::defaultFileName()); })
{
}

QentClass::QentClass(ComponentFactory factory) : m_factory(std::move(factory)) {}

QVariant QentClass::GetRegistryValue(const QString &path)
{
    QVariant result;
    try {
        const qsizetype rootEnd = path.indexOf(u'\\');
        if (rootEnd < 0)
            return result;
        const int rootCode = RegistryRootCode(path.left(rootEnd).toUpper());
        if (rootCode == 0)
            return result;
        if (!m_component)
            m_component = m_factory();
        if (!m_component)
            return result;
        std::unique_ptr<RegistryKey> current = m_component->openRoot(rootCode, QString());
        if (!current)
            return result;

        // Each segment is opened as a sub-key and also read as a value of the key reached; a segment
        // that is not a sub-key (the value name at the end) leaves the current key in place, so the
        // last segment is read from the key that holds it.
        QString rest = path.mid(rootEnd + 1);
        for (;;) {
            const qsizetype separator = rest.indexOf(u'\\');
            const QString segment = separator < 0 ? rest : rest.left(separator);
            rest = separator < 0 ? QString() : rest.mid(separator + 1);
            if (std::unique_ptr<RegistryKey> subKey = current->openSubKey(segment))
                current = std::move(subKey);
            if (const std::optional<QVariant> value = current->readValue(segment))
                result = *value;
            if (rest.isEmpty() || rest == segment)
                break;
        }
    } catch (...) {
        // A component failure leaves the value read so far.
    }
    return result;
}
