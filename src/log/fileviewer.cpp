#include "log/fileviewer.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>

ViewerCommand::ViewerCommand(QProcessEnvironment environment) : m_environment(std::move(environment)) {}

QList<ViewerCommand::Candidate> ViewerCommand::candidates(const QString &fileName) const
{
    QList<Candidate> commands;
    for (const QString &variable : {QStringLiteral("KORVEL_VIEWER"), QStringLiteral("VISUAL")})
        commands.append({u'$' + variable, QProcess::splitCommand(m_environment.value(variable))});
    commands.append({QStringLiteral("xdg-open"), {QStringLiteral("xdg-open")}});
    for (Candidate &command : commands)
        if (!command.commandLine.isEmpty())
            command.commandLine << fileName;
    return commands;
}

QString ViewerCommand::findProgram(const QString &program) const
{
    // The viewer's own environment decides, not the one Korvel happened to be started with.
    const QStringList path =
        m_environment.value(QStringLiteral("PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts);
    const QString found = program.contains(u'/') ? program
                          : path.isEmpty()       ? QString()
                                                 : QStandardPaths::findExecutable(program, path);
    return !found.isEmpty() && QFileInfo(found).isExecutable() ? found : QString();
}

ViewerStart ViewerCommand::open(const QString &fileName)
{
    QStringList tried;
    for (const auto &[name, commandLine] : candidates(fileName)) {
        if (commandLine.isEmpty()) {
            tried << name + QStringLiteral(" (not set)");
            continue;
        }
        // A variable is named with what it holds, which is what the user has to mend.
        const QString shown = name.startsWith(u'$')
                                  ? name + QStringLiteral(" \"") + m_environment.value(name.mid(1)) + u'"'
                                  : name;
        const QString program = findProgram(commandLine.first());
        if (program.isEmpty())
            tried << shown + QStringLiteral(" (not found)");
        else if (QProcess::startDetached(program, commandLine.mid(1)))
            return {true, {}};
        else
            tried << shown + QStringLiteral(" (could not be started)");
    }
    return {false, tried.join(QStringLiteral(", "))};
}
