#include "localdm/localcommand.h"

#include "localdm/localerror.h"

void LocalCommand::execute(const QString &commandName)
{
    if (commandName.compare(QStringLiteral("DOCSOPEN.RefreshAllViews"), Qt::CaseInsensitive) != 0)
        throw LocalDmError(LocalError::UnknownCommand,
                           QStringLiteral("Unknown DM command \"%1\"").arg(commandName));
}
