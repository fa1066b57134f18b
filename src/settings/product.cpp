#include "settings/product.h"

#include <QDate>
#include <QLocale>

namespace {
QDate versionDate()
{
    return QDate(KORVEL_VERSION_MAJOR, KORVEL_VERSION_MINOR, KORVEL_VERSION_PATCH);
}
} // namespace

QString ProductName()
{
    return QStringLiteral("Korvel Skerrow for OpenText eDOCS");
}

QString ApplicationTitle()
{
    return QStringLiteral("Korvel") + QChar(0x2122) + QStringLiteral(" Folder Skerrow for OpenText eDOCS");
}

qint64 BuildNumber()
{
    return QDate(1899, 12, 30).daysTo(versionDate());
}

QString BuildDate()
{
    return QLocale().toString(versionDate(), QStringLiteral("MMM d, yyyy"));
}
