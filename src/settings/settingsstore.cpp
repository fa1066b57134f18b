#include "settings/settingsstore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

SettingsStore::SettingsStore(QString directory) : m_directory(std::move(directory)) {}

QString SettingsStore::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/korvel");
}

QString SettingsStore::fileName(const QString &application) const
{
    return QDir(m_directory).filePath(application + QStringLiteral(".ini"));
}

QString SettingsStore::get(const QString &application, const QString &section, const QString &key,
                           const QString &defaultValue) const
{
    const QSettings settings(fileName(application), QSettings::IniFormat);
    return settings.value(section + u'/' + key, defaultValue).toString();
}

void SettingsStore::save(const QString &application, const QString &section, const QString &key,
                         const QString &text)
{
    QDir().mkpath(m_directory);
    QSettings settings(fileName(application), QSettings::IniFormat);
    const QString name = section + u'/' + key;
    // Each write replaces and syncs the whole file; a value saved again unchanged (a move connects to
    // libraries thousands of times) is left as it is.
    if (settings.contains(name) && settings.value(name).toString() == text)
        return;
    settings.setValue(name, text);
}
