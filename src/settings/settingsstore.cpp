#include "settings/settingsstore.h"

#include <QDir>
#include <QSettings>
#include <QStandardPaths>

SettingsStore::SettingsStore(QString directory) : m_directory(std::move(directory)) {}

QString SettingsStore::defaultDirectory()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
           QStringLiteral("/korvel");
}

QString SettingsStore::fileName(const QString &application) const
{
    return QDir(m_directory).filePath(application + QStringLiteral(".ini"));
}

namespace {

// QSettings keeps the keys of an INI file's [General] section at its top level, and spells a group named
// "General" as [%General], which no one editing the file by hand would write. The program's "General"
// values therefore live at the top level, so that the file reads [General]; a [%General] section of an
// earlier build is still read for the keys that [General] lacks.
const QString GeneralSection = QStringLiteral("General");

QString escapedGeneral(const QString &key)
{
    return GeneralSection + u'/' + key;
}

} // namespace

QString SettingsStore::get(const QString &application, const QString &section, const QString &key,
                           const QString &defaultValue) const
{
    const QSettings settings(fileName(application), QSettings::IniFormat);
    if (section == GeneralSection)
        return settings.value(key, settings.value(escapedGeneral(key), defaultValue)).toString();
    return settings.value(section + u'/' + key, defaultValue).toString();
}

void SettingsStore::save(const QString &application, const QString &section, const QString &key,
                         const QString &text)
{
    QDir().mkpath(m_directory);
    QSettings settings(fileName(application), QSettings::IniFormat);
    QString name = section + u'/' + key;
    if (section == GeneralSection) {
        name = key;
        // The first save moves what only [%General] holds into [General] and drops [%General].
        settings.beginGroup(GeneralSection);
        const QStringList escaped = settings.childKeys();
        settings.endGroup();
        for (const QString &old : escaped)
            if (!settings.contains(old))
                settings.setValue(old, settings.value(escapedGeneral(old)));
        if (!escaped.isEmpty())
            settings.remove(GeneralSection);
    }
    // Each write replaces and syncs the whole file; a value saved again unchanged (a move connects to
    // libraries thousands of times) is left as it is.
    if (settings.contains(name) && settings.value(name).toString() == text)
        return;
    settings.setValue(name, text);
}
