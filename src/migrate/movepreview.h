#pragma once

#include "dm/dmcontext.h"
#include "migrate/movereport.h"

#include <QSet>
#include <QStringList>

// A row a move's report would have, with the hazard met on it as its result (empty when none).
struct PlannedRow {
    ReportItem item;
    ReportAction action = ReportAction::Skipped;
    QString result;
};

// What a move would do, found without changing any library: the move command's checks refuse or pass as
// for a move, and each folder is walked as a move walks it. The list says, folder by folder of each
// tree, which folders would be made in the target or taken up there (naming the folder taken up), which
// documents and subfolders would be linked (with the library each lives in), which trustees copied and
// which folders removed, and every hazard met on the way, as "Warning:" lines (and the "Error:" lines of
// a refusal).
//
// Reads only: its statements are queries and its DM objects are opened, never saved. While it lives
// the library connection lists the warnings it would show in a box (Unique Document Names) in the
// preview instead, and records none as shown. Borrows the DM context, which must outlive it.
class MovePreview {
public:
    // What the move would come to, as its exit code says it.
    enum class Verdict {
        Clean, // every folder would move
        Fails, // a folder would keep its tree: a check before removal, a cycle, an item that cannot be opened
        Refused, // a check of the command would refuse the move
    };

    explicit MovePreview(DmContext &dm);
    ~MovePreview();
    MovePreview(const MovePreview &) = delete;
    MovePreview &operator=(const MovePreview &) = delete;

    // A check of the move command refused the move; the line is listed as the command logged it.
    void refused(const QString &line);
    // Lists what a move of folder docNumber of sourceLib into targetLib would do. The current library,
    // the status text and the pointer are as before afterwards.
    void folder(int docNumber, const QString &sourceLib, const QString &targetLib);

    // Cancel was pressed with that many folders of the list left: the list says so.
    void cancelled(int left);

    bool wasRefused() const { return m_refused; }
    Verdict verdict() const;
    // The list, one line each, indented two blanks a level, with a closing count and the verdict.
    QString text() const;
    // Writes the list to the log under the heading "Preview", whatever Verbose Logging says, and hands
    // it to the window.
    void publish();
    // The plan as the report's rows: the action the move would take, the hazard met as the result.
    void writeRows(MoveReport &report) const;

private:
    void takeWarnings();

    DmContext &m_dm;
    QStringList m_lines;
    QList<PlannedRow> m_rows;
    QStringList m_warnings;
    QSet<QString> m_warningsListed;
    int m_folders = 0;
    int m_items = 0;
    int m_failing = 0;
    int m_hazards = 0;
    bool m_refused = false;
};
