#pragma once

#include "log/logwindow.h"

#include <QPoint>
#include <QString>
#include <QtGlobal>

enum class MoveCounter { Total, Read, Added, Errors };

// What a move command is doing with the folder it is at.
enum class MovePhase {
    Walking,  // reading the folder's chain and tree
    Linking,  // making folders and linking items in the target
    Checking, // reading the source and the new tree back before any removal
    Removing, // removing the old folders from their libraries
};

// The phase as a person reads it in a progress line.
inline QString MovePhaseText(MovePhase phase)
{
    switch (phase) {
    case MovePhase::Walking:
        return QStringLiteral("reading the tree");
    case MovePhase::Linking:
        return QStringLiteral("linking");
    case MovePhase::Checking:
        return QStringLiteral("checking");
    case MovePhase::Removing:
        break;
    }
    return QStringLiteral("removing the sources");
}

// The time left as a person reads it ("about 3 min 20 s left"); empty while it is not known (negative).
inline QString TimeLeftText(qint64 seconds)
{
    if (seconds < 0)
        return {};
    if (seconds < 60)
        return QStringLiteral("about %1 s left").arg(seconds);
    if (seconds < 3600)
        return QStringLiteral("about %1 min %2 s left").arg(seconds / 60).arg(seconds % 60);
    return QStringLiteral("about %1 h %2 min left").arg(seconds / 3600).arg(seconds % 3600 / 60);
}

// Where a running move command stands: folder i of n and, inside that folder, its phase and how far
// the phase has come: while linking, item j of the tree's m items (0 of 0 until the tree has been
// walked); while checking and removing, folder j of m. Besides: the items of the whole command linked so
// far (for a rate), the share of the whole command's work done (0 to 1, for a bar), and the time left for
// the whole command estimated from the pace so far (negative while there is no pace to go by).
struct MoveProgress {
    int folder = 0;
    int folders = 0;
    int item = 0;
    int items = 0;
    MovePhase phase = MovePhase::Walking;
    qint64 itemsDone = 0;
    double share = 0;
    qint64 secondsLeft = -1;
    bool operator==(const MoveProgress &) const = default;
};

// The only way procedures reach the main window. The Qt main window implements it; tests use a
// scripted fake; an unattended console front end can implement it too. Every call is made on the
// window thread. Message boxes always carry the application title, so callers pass only the text.
class WindowSeam : public FileCommandWindow {
public:
    // The Display Errors box.
    virtual bool displayErrors() const = 0;

    // Session information: the user, group and library labels and the user label's tool tip.
    virtual void setUserName(const QString &text) = 0;
    virtual void setUserNameToolTip(const QString &text) = 0;
    virtual void setPrimaryGroup(const QString &text) = 0;
    virtual void setLibraryName(const QString &text) = 0;
    // Checks exactly the library menu entries whose caption, upper-cased, equals the name upper-cased.
    virtual void checkLibraryMenuEntry(const QString &libraryName) = 0;

    virtual QString counter(MoveCounter which) const = 0;
    virtual void setCounter(MoveCounter which, const QString &text) = 0;

    // The text of the target library list.
    virtual QString targetLibrary() const = 0;

    // A move command's Yes/No confirmation; Yes alone lets the move go on. Kept apart from other
    // questions so that an unattended front end can answer it as it was told to.
    virtual MessageAnswer confirmMove(const QString &question) = 0;
    // A move command runs from true to false: the window leaves only Cancel (and repainting) live in
    // between, since anything else could switch or end the session under the move.
    virtual void setMoveRunning(bool running) = 0;
    // Shown while a move command runs; hidden once it ends.
    virtual void showProgress(const MoveProgress &progress) = 0;
    virtual void hideProgress() = 0;

    // What a move command that got past its question moved, failed or left, said once as it ends. A
    // window may hold it until the move has handed it back, to show it in one box with the report.
    virtual void showMoveResult(const QString &text, MessageIcon icon) { showMessage(text, icon); }
    // A move command has ended and left its report in the file (a full path): the window offers to open
    // it, the console prints where it is.
    virtual void offerReport(const QString &fileName) = 0;
    // Shows the list a move preview made; the user may save it as a text file. movable: the move's checks
    // would let it go ahead, so that the window may offer to start it.
    virtual void showPreview(const QString &text, bool movable) = 0;

    // Native handle handed to the DM application object.
    virtual quintptr windowHandle() const = 0;

    // The window's left and top edge in twips (1440 per inch), as the saved settings keep them.
    virtual QPoint windowPositionTwips() const = 0;

    // Ends the program once control returns to the event loop; the caller finishes its own step.
    virtual void endProgram() = 0;
};
