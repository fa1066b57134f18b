#include "settings/fileregistry.h"

#include "settings/settingsstore.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>

namespace {

class FileRegistryKey : public RegistryKey {
public:
    FileRegistryKey(std::shared_ptr<const FileRegistry::Contents> contents, QString path)
        : m_contents(std::move(contents)), m_path(std::move(path))
    {
    }

    std::unique_ptr<RegistryKey> openSubKey(const QString &name) const override
    {
        if (name.isEmpty())
            return std::make_unique<FileRegistryKey>(m_contents, m_path);
        const QString path = m_path + u'/' + name.toLower();
        if (!m_contents->keys.contains(path))
            return nullptr;
        return std::make_unique<FileRegistryKey>(m_contents, path);
    }

    std::optional<QVariant> readValue(const QString &name) const override
    {
        const auto found = m_contents->values.constFind(m_path + u'/' + name.toLower());
        if (found == m_contents->values.cend())
            return std::nullopt;
        return *found;
    }

private:
    std::shared_ptr<const FileRegistry::Contents> m_contents;
    QString m_path;
};

} // namespace

FileRegistry::FileRegistry(const QString &fileName)
{
    auto contents = std::make_shared<Contents>();
    if (QFileInfo(fileName).isFile()) {
        // QSettings reads each section's backslashes as group separators, so every entry comes
        // back as the key path and value name joined by "/".
        const QSettings file(fileName, QSettings::IniFormat);
        for (const QString &entry : file.allKeys()) {
            const QString lowered = entry.toLower();
            contents->values.insert(lowered, file.value(entry));
            for (qsizetype slash = lowered.indexOf(u'/'); slash >= 0;
                 slash = lowered.indexOf(u'/', slash + 1))
                contents->keys.insert(lowered.left(slash));
        }
    }
    m_contents = std::move(contents);
}

QString FileRegistry::defaultFileName()
{
    const QString named = qEnvironmentVariable("KORVEL_REGISTRY");
    return named.isEmpty() ? QDir(SettingsStore::defaultDirectory()).filePath(QStringLiteral("registry.ini"))
                           : named;
}

std::unique_ptr<RegistryKey> FileRegistry::openRoot(int rootCode, const QString &subKey) const
{
    const QString root = RegistryRootName(rootCode).toLower();
    if (root.isEmpty())
        return nullptr;
    std::unique_ptr<RegistryKey> key = std::make_unique<FileRegistryKey>(m_contents, root);
    for (const QString &segment : subKey.split(u'\\', Qt::SkipEmptyParts)) {
        key = key->openSubKey(segment);
        if (!key)
            return nullptr;
    }
    return key;
}
