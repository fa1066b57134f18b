#pragma once

#include "dm/dmcontext.h"

#include <QStringList>

// What a move would do, found without changing any library: the move command's checks refuse or pass as
// for a move, and each folder is walked as a move walks it. The list says, folder by folder of each
// tree, which folders would be made in the target or taken up there (naming the folder taken up), which
// documents and subfolders would be linked (with the library each lives in), which trustees copied and
// which folders removed, and every hazard met on the way, as "Warning:" lines (and the "Error:" lines of
// a refusal).
//
// Reads only: its statements are queries and its DM objects are opened, never saved. Borrows the DM
// context, which must outlive it.
class MovePreview {
public:
    explicit MovePreview(DmContext &dm);

    // A check of the move command refused the move; the line is listed as the command logged it.
    void refused(const QString &line);
    // Lists what a move of folder docNumber of sourceLib into targetLib would do. The current library,
    // the status text and the pointer are as before afterwards.
    void folder(int docNumber, const QString &sourceLib, const QString &targetLib);

    // Cancel was pressed with that many folders of the list left: the list says so.
    void cancelled(int left);

    bool wasRefused() const { return m_refused; }
    int hazardCount() const { return m_hazards; }
    // The list, one line each, indented two blanks a level, with a closing count.
    QString text() const;
    // Writes the list to the log under the heading "Preview", whatever Verbose Logging says, and hands
    // it to the window.
    void publish();

private:
    DmContext &m_dm;
    QStringList m_lines;
    int m_folders = 0;
    int m_hazards = 0;
    bool m_refused = false;
};
