#pragma once

#include "dm/dmcontext.h"

#include <QDateTime>
#include <QFile>
#include <QHash>
#include <QList>
#include <QSet>
#include <QString>

enum class ReportKind { Folder, Document };
enum class ReportAction { Created, Reused, Linked, AlreadyLinked, Removed, Kept, Skipped };

// An item of a move as a report row names it. The target number is where the item stands in the target
// library: a created or reused folder's own number there; for a link, the folder it is filed into; for a
// removed or kept folder, its copy. 0 when there is none.
struct ReportItem {
    QString sourceLibrary;
    int sourceNumber = 0;
    QString name;
    ReportKind kind = ReportKind::Folder;
    QString targetLibrary;
    int targetNumber = 0;
};

// The CSV record of one move command: a header row, then one row per folder and document the move acted
// on, as RFC 4180 has it (UTF-8, CRLF line ends, fields with a comma, quote or line break quoted). Each row
// reaches the disk as it is written, so a move that stops or is killed leaves the rows of what it did.
//
// While it lives it listens to the log's "Error:" and "Warning:" lines, which give the result column of a
// failed step its cause. A file that cannot be written, or that is one of the library databases or a
// file SQLite keeps beside one, costs one "Warning:" line and nothing more: the move goes on without
// rows. Borrows the log, which must outlive it.
class MoveReport {
public:
    MoveReport(ActivityLog &log, const QString &fileName, const QStringList &libraryDatabases);
    ~MoveReport();
    MoveReport(const MoveReport &) = delete;
    MoveReport &operator=(const MoveReport &) = delete;

    // Whether every row so far reached the file.
    bool isWritten() const { return m_file.isOpen(); }
    QString fileName() const { return m_fileName; }

    // result: "ok", or the cause of a failure.
    void write(const ReportItem &item, ReportAction action, const QString &result);

    // How many rows of that action succeeded so far, written to the file or not: what a failed move
    // tells the user it left behind.
    int succeeded(ReportAction action) const { return m_succeeded.value(action); }
    // How many folders of the target the rows so far made or took up, each once: a folder that twins
    // in the source became one with is one folder there.
    int placed() const { return int(m_placed.size()); }

    // Failures the log was told of from a mark on: the first explains a failed step, the last why a move
    // stopped. An "Error:" line is preferred to a "Warning:" line; empty when there was neither.
    qsizetype mark() const { return m_failures.size(); }
    QString failureSince(qsizetype mark, bool last) const;

private:
    // Empty when the file is open, else why not.
    QString open(const QStringList &libraryDatabases);
    void writeLine(const QString &line);
    void heard(bool error, const QString &text);

    ActivityLog &m_log;
    int m_listener = 0;
    QString m_fileName; // kept apart: a file opened from a descriptor has no name
    QFile m_file;
    struct Failure {
        bool error;
        QString text;
    };
    QList<Failure> m_failures;
    QHash<ReportAction, int> m_succeeded;
    QSet<int> m_placed;
};

// One step of a move that gets a row: from its start, what the wrapped procedure logs as failures go into
// that row. Does nothing without a report.
class ReportStep {
public:
    explicit ReportStep(MoveReport *report);

    // Result "ok" when done, else the first failure logged since the step began.
    void write(const ReportItem &item, ReportAction action, bool done) const;
    QString result(bool done) const;
    // The last failure logged since the step began, or the given text.
    QString lastFailureOr(const QString &otherwise) const;

private:
    MoveReport *m_report;
    qsizetype m_mark = 0;
};

// The report of one move command, kept while this lives and handed to the procedures through the DM
// context; when the command ends the context lets go of it and the window offers it to the user, if it
// could be written. Without a file name it lies beside the log (MoveReportFileName).
class ReportedMove {
public:
    ReportedMove(DmContext &dm, const QString &fileName, const QStringList &libraryDatabases);
    ~ReportedMove();
    ReportedMove(const ReportedMove &) = delete;
    ReportedMove &operator=(const ReportedMove &) = delete;

private:
    DmContext &m_dm;
    MoveReport m_report;
};

// The first line of every report.
QString MoveReportHeader();

// The sentence a move's summary ends with when its report was written: where the report is. A console,
// which prints the report's path on a line of its own, leaves the sentence out (its text up to the path
// is the same whatever the path).
QString ReportSentence(const QString &fileName);

// Why a report may not be written to the file, as a sentence part ("it is a directory"); empty when it
// may. A file that exists is replaced only when it is empty or a report (its first line is the header),
// so that a command run again writes over its own report and never over anything else; a library database or a
// file SQLite keeps beside one is refused whether it exists or not (LibraryFileRefusal).
QString ReportFileRefusal(const QString &fileName, const QStringList &libraryDatabases);

// A field of a CSV row: as it is, or between double quotes with its own quotes doubled when it holds a
// comma, a quote or a line break.
QString CsvField(const QString &text);

// Beside the log: the log file's dated name with the time of the move ("hhmmss") added before a ".csv"
// extension ("Korvel_20260305.LOG" gives "Korvel_20260305_140709.csv"), and "-2", "-3"... after the time
// while a file of that name exists.
QString MoveReportFileName(const QString &configuredLogPath, const QDateTime &moveTime);
