#pragma once

#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

// How an attempt to show a file went: whether a viewer started and, when none did, what was tried,
// as a person reads it ("$KORVEL_VIEWER (not set), $VISUAL (not set), xdg-open (not found)").
struct ViewerStart {
    bool started = false;
    QString tried;
};

// Shows a text file to the user in a program of its own, which runs on by itself: Korvel neither
// waits for it nor holds the file open while it is shown.
class FileViewer {
public:
    virtual ~FileViewer() = default;
    virtual ViewerStart open(const QString &fileName) = 0;
};

// The viewers named by the environment, tried in turn until one starts: KORVEL_VIEWER, then VISUAL,
// then xdg-open. A command may carry arguments of its own ("gedit --new-window"); the file name is
// passed as one more argument. Programs without a directory are looked for on the environment's PATH.
class ViewerCommand : public FileViewer {
public:
    explicit ViewerCommand(QProcessEnvironment environment = QProcessEnvironment::systemEnvironment());

    // A command to try, by the name a message gives it ("$VISUAL", "xdg-open"): the program first, then
    // its arguments, the file name last; empty when its variable is not set.
    struct Candidate {
        QString name;
        QStringList commandLine;
        bool operator==(const Candidate &) const = default;
    };
    // In the order they are tried.
    QList<Candidate> candidates(const QString &fileName) const;

    // Started detached: the viewer outlives the program if the user keeps it open.
    ViewerStart open(const QString &fileName) override;

private:
    // The program's full path, or empty when there is no such program.
    QString findProgram(const QString &program) const;

    QProcessEnvironment m_environment;
};
