#include "log/loggedmoves.h"

#include "log/logfilename.h"

#include <QFile>
#include <QRegularExpression>

std::optional<LoggedMove> LastLoggedMove(const QString &configuredLogPath, const QString &library, int number)
{
    // As a move command writes the line of a command that ended: "Move: (" and the time stamp, then
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
