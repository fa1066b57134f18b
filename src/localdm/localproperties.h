#pragma once

#include "dmapi/dmapi.h"

#include <QList>

class LocalDm;

class LocalProperty : public DmProperty {
public:
    LocalProperty(QString name, QVariant value) : m_name(std::move(name)), m_value(std::move(value)) {}

    QString name() const override { return m_name; }
    QVariant value() const override { return m_value; }

private:
    QString m_name;
    QVariant m_value;
};

// The named values of a library as they stood when the collection was read, in this order:
// - the user's rights "User.SaveToRemoteLibrary", "User.ManageRootFolders" and "User.CreateFolder",
//   true when a group the user belongs to (PEOPLEGROUPS) holds a DM_RIGHTS row of that RIGHT_NAME;
// - the library parameters of DM_PARAMETERS by name ("DOCSParms.UniqueDocNames" as a boolean, the
//   others as their text);
// - "Library.Name", "Library.Engine", "Library.Owner", "Library.Database", "Library.ServerLocation".
// Names are matched case-insensitively.
class LocalProperties : public DmProperties {
public:
    // Raises DmError when the library cannot be reached.
    static std::shared_ptr<LocalProperties> read(LocalDm &dm, const QString &libraryName);

    LocalProperties(QString libraryName, QList<std::shared_ptr<LocalProperty>> properties);

    int count() const override;
    // Raises DmError for a position outside 1..count.
    std::shared_ptr<DmProperty> item(int index) const override;
    std::shared_ptr<DmProperty> item(const QString &name) const override;

private:
    QString m_library;
    QList<std::shared_ptr<LocalProperty>> m_properties;
};
