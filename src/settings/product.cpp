#include "settings/product.h"

QString ProductName()
{
    return QStringLiteral("Korvel Skerrow for OpenText eDOCS");
}

QString ApplicationTitle()
{
    return QStringLiteral("Korvel") + QChar(0x2122) + QStringLiteral(" Folder Skerrow for OpenText eDOCS");
}
