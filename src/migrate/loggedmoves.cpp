#include "migrate/loggedmoves.h"

#include "dmapi/shellword.h"
#include "log/logfilename.h"
#include "migrate/foldersteps.h"

#include <QFile>
#include <QRegularExpression>

std::optional<LoggedMove> LastLoggedMove(const QString &configuredLogPath, const QString &library, int number)
{
    // As MoveCommand writes the line of a command that ended: "Move: (" and the time stamp, then
    // "ended move-folder SOURCE NUMBER TARGET: done - ...".
    static const QRegularExpression ended(
        QStringLiteral(R"(^Move: \((\d{4}-\d{2}-\d{2}) .*? ended move-folder (\S+) (\d+) (\S+): done - )"));
    for (const QString &fileName : DatedLogFiles(configuredLogPath)) {
        QFile file(fileName);
        if (!file.open(QIODevice::ReadOnly))
            continue;
        std::optional<LoggedMove> last;
        while (!file.atEnd()) {
            const QByteArray line = file.readLine();
            if (!line.startsWith("Move:"))
                continue;
            const QRegularExpressionMatch match = ended.match(QString::fromUtf8(line));
            if (match.hasMatch() && match.captured(3).toInt() == number &&
                match.captured(2).compare(library, Qt::CaseInsensitive) == 0)
                last = LoggedMove{match.captured(4), QDate::fromString(match.captured(1), Qt::ISODate)};
        }
        if (last)
            return last;
    }
    return std::nullopt;
}

QString NotAFolderHint(const QString &installationFile, const QString &configuredLogPath,
                       const QString &library, int number)
{
    const std::optional<LoggedMove> moved = LastLoggedMove(configuredLogPath, library, number);
    const QString folder = QStringLiteral("folder #") + NumberText(number);
    return QStringLiteral("korvel-dm tree --dm ") + ShellWord(installationFile) + u' ' + ShellWord(library) +
           QStringLiteral(" lists the folders of the library; ") +
           (moved ? QStringLiteral("the log shows ") + folder + QStringLiteral(" moved to library ") +
                        moved->target + QStringLiteral(" on ") + moved->date.toString(Qt::ISODate)
                  : QStringLiteral("the log shows no move of ") + folder + QStringLiteral(" from library ") +
                        library) +
           u'.';
}
