#pragma once

#include "settings/settingsstore.h"

#include <QString>

// Every value the program remembers between runs, with its application, section, key and default.
// Numbers are saved as plain decimal text and read back leniently; flags are saved as "-1" and "0".
// Defaults that depend on the running program (screen size, program folder, current library) are
// passed in by the caller. The store is borrowed and must outlive this object.
class SavedSettings {
public:
    // The second application name: markers shared with the maker's other tools.
    static QString qentApplication() { return QStringLiteral("QENT"); }

    explicit SavedSettings(SettingsStore &store) : m_store(store) {}

    qint32 screenLeft(qint32 centredLeft) const;
    void saveScreenLeft(qint32 left);
    qint32 screenTop(qint32 centredTop) const;
    void saveScreenTop(qint32 top);

    // Default: programFolder + separator + product name + ".LOG".
    QString logFile(const QString &programFolder) const;
    // The log path when none is saved: the product's log in programFolder.
    static QString defaultLogFile(const QString &programFolder);
    // The stored "LogFile" text or the given default, unchanged (the log path chooser starts from it).
    QString logFileOr(const QString &defaultValue) const;
    void saveLogFile(const QString &path);

    qint32 checkLogMethod() const;
    void saveCheckLogMethod(qint32 value);
    qint32 displayErrors() const;
    void saveDisplayErrors(qint32 value);

    QString targetLibrary(const QString &currentLibrary) const;
    void saveTargetLibrary(const QString &library);

    // Where the program was last started from; written every run, never read by the program.
    void savePath(const QString &programPath);

    // The last seen state of a library's unique-document-names parameter ("0" when never seen).
    bool uniqueNameWarningSeen(const QString &library) const;
    void saveUniqueNameWarning(const QString &library, bool parameterOn);

    // Whether the DM server interface warning has been shown to this user.
    bool registerApiWarningShown() const;
    void saveRegisterApiWarningShown();

    // One-time start-up markers under "QENT".
    bool qentRegisterApiDone() const;
    void saveQentRegisterApiDone();
    bool qentRegisterQentClassesDone() const;
    void saveQentRegisterQentClassesDone();

private:
    QString general(const QString &key, const QString &defaultValue) const;
    void saveGeneral(const QString &key, const QString &text);

    SettingsStore &m_store;
};

// Texts saved for flags: true as "-1", false as "0".
QString flagText(bool value);
