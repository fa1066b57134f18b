#include "log/purgefile.h"

#include <QFile>
#include <QFileInfo>

void PurgeFile(FileCommandWindow &window, ActivityLog &log, const QString &fileName)
{
    if (fileName.isEmpty() || !QFileInfo::exists(fileName)) {
        window.showMessage(fileName + QStringLiteral(" does not exist"), MessageIcon::Information);
        return;
    }
    const MessageAnswer answer =
        window.showMessage(QStringLiteral("Are you sure you want to purge the file ") + fileName + u'?',
                           MessageIcon::Question, MessageButtons::YesNo);
    if (answer != MessageAnswer::Yes)
        return;
    QFile file(fileName);
    // QFile only unlinks: a directory of that name is never removed, whoever runs the program.
    if (!file.remove())
        log.ReportError(qint32(file.error()), QStringLiteral("PurgeFile"), file.errorString());
    if (QFileInfo::exists(fileName))
        window.showMessage(QStringLiteral("File ") + fileName + QStringLiteral(" has NOT been removed."),
                           MessageIcon::Warning);
    // Without this the entries would offer a file that is gone until the next line is written.
    log.SetLogMenus();
}
