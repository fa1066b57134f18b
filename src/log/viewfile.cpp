#include "log/viewfile.h"

#include <QFileInfo>

void StartViewer(FileCommandWindow &window, FileViewer &viewer, const QString &fileName,
                 const QString &statusText)
{
    const QString remembered = window.statusText();
    window.setMousePointer(MousePointer::Hourglass);
    window.setStatusText(statusText);
    window.processEvents();
    const ViewerStart start = viewer.open(fileName);
    window.setStatusText(remembered);
    window.setMousePointer(MousePointer::Default);
    window.processEvents();
    if (!start.started)
        window.showMessage(
            QStringLiteral("No viewer could be started to show ") + fileName + QStringLiteral(".\nTried: ") +
                start.tried +
                QStringLiteral(".\nSet KORVEL_VIEWER to a program that shows text files, or open "
                               "the file yourself."),
            MessageIcon::Warning);
}

void ViewFile(FileCommandWindow &window, FileViewer &viewer, const QString &fileName)
{
    if (fileName.isEmpty())
        return;
    if (!QFileInfo::exists(fileName)) {
        window.showMessage(fileName + QStringLiteral(" not found"), MessageIcon::Information);
        return;
    }
    StartViewer(window, viewer, fileName, QStringLiteral("Loading ") + fileName);
}
