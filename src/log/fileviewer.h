#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// Shows a text file to the user in a program of its own, which runs on by itself: Korvel neither
// waits for it nor holds the file open while it is shown.
class FileViewer {
public:
    virtual ~FileViewer() = default;
    // False when the viewer could not be started; nothing else is reported.
    virtual bool open(const QString &fileName) = 0;
};

// The viewer named by the environment: KORVEL_VIEWER, else VISUAL, else xdg-open. A command may
// carry arguments of its own ("gedit --new-window"); the file name is passed as one more argument.
class ViewerCommand : public FileViewer {
public:
    explicit ViewerCommand(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

    // The program first, then its arguments, the file name last.
    QStringList commandLine(const QString &fileName) const;

    // Started detached: the viewer outlives the program if the user keeps it open.
    bool open(const QString &fileName) override;

private:
    QProcessEnvironment m_environment;
};
