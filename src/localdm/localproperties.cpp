#include "localdm/localproperties.h"

#include "localdm/libraryrows.h"
#include "localdm/localdm.h"
#include "localdm/localerror.h"

namespace {

const QStringList Rights = {QStringLiteral("User.SaveToRemoteLibrary"),
                            QStringLiteral("User.ManageRootFolders"), QStringLiteral("User.CreateFolder")};
const QStringList FlagParameters = {QStringLiteral("DOCSParms.UniqueDocNames")};

} // namespace

std::shared_ptr<LocalProperties> LocalProperties::read(LocalDm &dm, const QString &libraryName)
{
    LibraryDatabase &db = dm.database(libraryName);
    const LibraryConfig &config = db.config();
    QList<std::shared_ptr<LocalProperty>> properties;
    const auto add = [&](const QString &name, const QVariant &value) {
        properties << std::make_shared<LocalProperty>(name, value);
    };
    for (const QString &right : Rights)
        add(right, db.scalar(QStringLiteral(
                                 "SELECT COUNT(*) FROM DM_RIGHTS R "
                                 "JOIN PEOPLEGROUPS PG ON PG.GROUPS_SYSTEM_ID = R.GROUPS_SYSTEM_ID "
                                 "JOIN PEOPLE P ON P.SYSTEM_ID = PG.PEOPLE_SYSTEM_ID "
                                 "WHERE UPPER(P.USER_ID) = UPPER(?1) AND UPPER(R.RIGHT_NAME) = UPPER(?2)"),
                             {dm.installation().user, right})
                           .toInt() > 0);
    for (const QVariantList &row :
         db.query(QStringLiteral("SELECT NAME, VALUE FROM DM_PARAMETERS ORDER BY NAME"))) {
        const QString name = row[0].toString();
        const bool isFlag = FlagParameters.contains(name, Qt::CaseInsensitive);
        add(name, isFlag ? QVariant(LibraryRows::flagOn(row[1].toString())) : QVariant(row[1].toString()));
    }
    add(QStringLiteral("Library.Name"), config.name);
    add(QStringLiteral("Library.Engine"), config.engine);
    add(QStringLiteral("Library.Owner"), config.owner);
    add(QStringLiteral("Library.Database"), config.databaseName);
    add(QStringLiteral("Library.ServerLocation"), config.serverLocation);
    return std::make_shared<LocalProperties>(config.name, std::move(properties));
}

LocalProperties::LocalProperties(QString libraryName, QList<std::shared_ptr<LocalProperty>> properties)
    : m_library(std::move(libraryName)), m_properties(std::move(properties))
{
}

int LocalProperties::count() const
{
    return int(m_properties.size());
}

std::shared_ptr<DmProperty> LocalProperties::item(int index) const
{
    if (index < 1 || index > count())
        throw LocalDmError(
            LocalError::BadIndex,
            QStringLiteral("There is no property %1 in a collection of %2").arg(index).arg(count()));
    return m_properties[index - 1];
}

std::shared_ptr<DmProperty> LocalProperties::item(const QString &name) const
{
    for (const auto &property : m_properties)
        if (property->name().compare(name, Qt::CaseInsensitive) == 0)
            return property;
    throw LocalDmError(LocalError::NoSuchProperty,
                       QStringLiteral("Library %1 has no property %2").arg(m_library, name));
}
