#include "log/fileviewer.h"

#include <QProcess>

ViewerCommand::ViewerCommand(QProcessEnvironment environment) : m_environment(std::move(environment)) {}

QStringList ViewerCommand::commandLine(const QString &fileName) const
{
    QStringList command;
    for (const QString &variable : {QStringLiteral("KORVEL_VIEWER"), QStringLiteral("VISUAL")}) {
        command = QProcess::splitCommand(m_environment.value(variable));
        if (!command.isEmpty())
            break;
    }
    if (command.isEmpty())
        command << QStringLiteral("xdg-open");
    return command << fileName;
}

bool ViewerCommand::open(const QString &fileName)
{
    QStringList arguments = commandLine(fileName);
    const QString program = arguments.takeFirst();
    return QProcess::startDetached(program, arguments);
}
