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
    settings.setValue(section + u'/' + key, text);
}
