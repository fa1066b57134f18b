#pragma once

#include <QHash>
#include <QMultiHash>
#include <QString>

#include <array>

// The kinds of call a failure can be planted at.
// Exit counts SQL statements as Sql does; at its planted statement the process ends at once, as a kill
// or a power cut would end it: no destructors, no buffers flushed, no rollback but the database's own.
// Lost counts SQL statements too: at its planted statement the library's connection is lost for the rest
// of the run, as when its server stops (a server library's session really ends; a file library is
// treated as a file moved away), so that statement and every later one on that library fail.
enum class FaultKind { Sql, Open, Save, Add, Remove, Delete, Exit, Lost };

// The kinds whose planted call fails and lets the run go on, in the order tests sweep them.
constexpr std::array<FaultKind, 6> FailingFaultKinds = {FaultKind::Sql, FaultKind::Open,   FaultKind::Save,
                                                        FaultKind::Add, FaultKind::Remove, FaultKind::Delete};

// The plan's own name of a kind: "sql", "open", "save", "add", "remove", "delete", "exit" or "lost".
QString FaultKindName(FaultKind kind);
// The plan that fails the given call of a kind, as "kind:call".
QString FaultAt(FaultKind kind, qint64 call);
// The plan that fails that call of a kind and every later one, as "kind:call+".
QString FaultFrom(FaultKind kind, qint64 call);

// The exit code of a process ended by a planted exit.
constexpr int PlantedExitCode = 86;

// Failures planted for tests, without rebuilding: "sql:12, save:2" makes the 12th SQL statement
// and the 2nd DM save of the run fail; "exit:30" ends the process before the 30th statement runs;
// "save:3+" fails the 3rd save and every later one to the end of the run, as a full disk or a lost
// connection does. The same kind may be named more than once. Read from the installation file's "Faults"
// entry and from $KORVEL_DM_FAULTS, which add up.
class FaultPlan {
public:
    // Throws DmError for text that is not a list of kind:number pairs.
    static FaultPlan parse(const QString &text);

    // Counts one call of that kind; true when this call is one planted to fail.
    bool failsNow(FaultKind kind);
    // How many calls of that kind were counted, planted or not: a test counts the calls of a clean run
    // and then plants a failure at each of them.
    qint64 calls(FaultKind kind) const { return m_calls.value(int(kind)); }

    bool empty() const { return m_planted.isEmpty() && m_failingFrom.isEmpty(); }

private:
    QMultiHash<int, qint64> m_planted;
    QHash<int, qint64> m_failingFrom; // the first call of a failure that persists, per kind
    QHash<int, qint64> m_calls;
};
