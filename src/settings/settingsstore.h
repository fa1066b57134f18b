#pragma once

#include <QString>

// The per-user store of saved settings, addressed by application, section and key, holding text.
// Each application name is one INI file in the store's directory; section and key names are kept as
// written (spaces, dots and letter case included). Reads never fail: an absent key, or a file that
// cannot be read, yields the default passed at the call. Not thread-safe; the program uses it from
// the window thread only.
class SettingsStore {
public:
    explicit SettingsStore(QString directory);

    // The user's config directory for Korvel ($XDG_CONFIG_HOME/korvel on Linux).
    static QString defaultDirectory();

    QString get(const QString &application, const QString &section, const QString &key,
                const QString &defaultValue) const;
    // Creates or replaces the value; applications and sections come into being on first save. A value
    // that is stored already as given leaves the file untouched.
    void save(const QString &application, const QString &section, const QString &key, const QString &text);

    QString fileName(const QString &application) const;

private:
    QString m_directory;
};
