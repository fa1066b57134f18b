#include "localdm/localerror.h"

DmError LocalDmError(LocalError error, const QString &description)
{
    return DmError(qint32(error), QStringLiteral("Local DM"), description);
}
