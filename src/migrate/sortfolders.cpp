#include "migrate/sortfolders.h"

#include "dm/connectlibrary.h"
#include "dm/sessionguard.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "migrate/foldersteps.h"

namespace {

// A SYSTEM_ID or PARENT read from the database, written back into a statement as a plain number, so
// that whatever the column holds can never become statement text.
QString idText(const QVariant &value)
{
    return QString::number(value.toLongLong());
}

// One folder's rewrite as a transaction: rolled back unless committed, also when a runtime error
// leaves the rewrite half-way. SQL Server and Sybase open it explicitly; Oracle opens one implicitly
// with the first UPDATE, which COMMIT or ROLLBACK ends.
class FolderTransaction {
public:
    explicit FolderTransaction(DmContext &dm) : m_dm(dm) {}
    ~FolderTransaction()
    {
        if (!m_open)
            return;
        try {
            QueryRows(m_dm, QStringLiteral("ROLLBACK"));
        } catch (const DmError &) {
            // The caller reports the failure that brought it here; the server ends an abandoned
            // transaction with the connection.
        }
    }
    FolderTransaction(const FolderTransaction &) = delete;
    FolderTransaction &operator=(const FolderTransaction &) = delete;

    SqlRows begin()
    {
        if (IsOracle(m_dm.session.sql.engineCode())) {
            m_open = true;
            SqlRows implicit;
            implicit.submitted = true;
            return implicit;
        }
        SqlRows begun = QueryRows(m_dm, QStringLiteral("BEGIN TRANSACTION"));
        m_open = !begun.failed();
        return begun;
    }

    SqlRows commit()
    {
        SqlRows committed = QueryRows(m_dm, QStringLiteral("COMMIT"));
        m_open = committed.failed();
        return committed;
    }

private:
    DmContext &m_dm;
    bool m_open = false;
};

class FolderSort {
public:
    FolderSort(DmContext &dm, const QString &libraryName) : m_dm(dm), m_library(libraryName) {}

    // Steps after the connection: finds the folders and rewrites each. False after logging why.
    bool run(int parentDocNumber)
    {
        ActivityLog &log = m_dm.log;
        const QString select = QStringLiteral("SELECT SYSTEM_ID, PARENT, DISPLAYNAME, NODE_TYPE FROM ") +
                               QStringLiteral("[OWNER]") + QStringLiteral(".") +
                               QStringLiteral("FOLDER_ITEM WHERE ISFIRST = 'Y'");
        const SqlRows found =
            QueryRows(m_dm, parentDocNumber != 0 ? select + QStringLiteral(" AND PARENT = ") +
                                                       QString::number(parentDocNumber) +
                                                       QStringLiteral(" ORDER BY DISPLAYNAME")
                                                 : select + QStringLiteral(" ORDER BY DISPLAYNAME"));
        if (found.failed()) {
            log.WriteLog(QStringLiteral("Error: Unable to find the folders to sort in library ") + m_library +
                         QStringLiteral(": ") + found.errorText());
            return false;
        }
        if (found.isEmpty()) {
            log.WriteLog(QStringLiteral("Nothing to sort"));
            return false;
        }
        log.WriteLog(QString::number(found.size()) + QStringLiteral(" folder(s) will be sorted"));
        log.WriteDashLine();
        QStringList parents;
        for (qsizetype row = 0; row < found.size(); ++row)
            if (!found.value(row, 1).toString().isEmpty())
                parents << idText(found.value(row, 2));
        log.ShowStatus(QStringLiteral("Processing ") + QString::number(parents.size()) +
                       QStringLiteral(" folder(s)"));
        log.WriteDashLine();

        for (qsizetype i = 0; i < parents.size(); ++i) {
            log.WriteLog(QStringLiteral("Sorting folder ") + QString::number(i + 1));
            log.WriteDashLine();
            bool changed = false;
            if (!rewrite(parents[i], changed))
                return false;
            log.WriteLog(changed ? QStringLiteral("Folder needed sorting")
                                 : QStringLiteral("Folder was already sorted"));
        }
        log.WriteLog(QStringLiteral("Finished sorting ") + QString::number(parents.size()) +
                     QStringLiteral(" folder(s)"));
        return true;
    }

private:
    // Relinks one folder's items in display-name order, writing only the rows whose place in the list
    // changes; a folder already in order, or of at most one item, is left alone.
    bool rewrite(const QString &parent, bool &changed)
    {
        ActivityLog &log = m_dm.log;
        const QString next = m_dm.connection.nextColumn;
        const SqlRows items =
            QueryRows(m_dm, QStringLiteral("SELECT SYSTEM_ID, DISPLAYNAME, ") + next +
                                QStringLiteral(", ISFIRST FROM ") + QStringLiteral("[OWNER]") +
                                QStringLiteral(".") + QStringLiteral("FOLDER_ITEM WHERE PARENT = ") + parent +
                                QStringLiteral(" ORDER BY DISPLAYNAME"));
        if (items.failed())
            return failed(parent, items.errorText());
        const qsizetype count = items.size();
        if (count <= 1)
            return true;
        log.WriteLog(QString::number(count) + QStringLiteral(" items in folder need sorting"));

        QList<qsizetype> moved;
        for (qsizetype j = 0; j < count; ++j)
            if (!inPlace(items, j))
                moved << j;
        if (moved.isEmpty())
            return true;
        FolderTransaction transaction(m_dm);
        if (const SqlRows begun = transaction.begin(); begun.failed())
            return failed(parent, begun.errorText());
        for (const qsizetype j : std::as_const(moved)) {
            const QString id = idText(items.value(j, 1));
            changed = true;
            const SqlRows updated =
                QueryRows(m_dm, QStringLiteral("UPDATE ") + QStringLiteral("[OWNER]") + QStringLiteral(".") +
                                    QStringLiteral("FOLDER_ITEM SET ") + next + QStringLiteral(" = ") +
                                    nextValue(items, j) + QStringLiteral(", ISFIRST = '") + firstFlag(j) +
                                    QStringLiteral("' WHERE SYSTEM_ID = ") + id);
            if (updated.failed())
                return failed(parent, updated.errorText());
            // A row that is gone would leave the list pointing at nothing.
            if (updated.rowsAffected == 0)
                return failed(parent,
                              QStringLiteral("folder item ") + id + QStringLiteral(" no longer exists"));
        }
        if (const SqlRows committed = transaction.commit(); committed.failed())
            return failed(parent, committed.errorText());
        return true;
    }

    // What item j of the folder's rows in display-name order holds in the sorted list.
    static QString nextValue(const SqlRows &items, qsizetype j)
    {
        return j + 1 == items.size() ? QStringLiteral("0") : idText(items.value(j + 1, 1));
    }
    static QString firstFlag(qsizetype j) { return j == 0 ? QStringLiteral("Y") : QStringLiteral("N"); }

    // Whether item j's row holds its sorted NEXT and ISFIRST already; a NULL or a NEXT that is no
    // number is rewritten.
    static bool inPlace(const SqlRows &items, qsizetype j)
    {
        const QVariant storedNext = items.value(j, 3);
        bool isNumber = false;
        const qint64 stored = storedNext.toString().trimmed().toLongLong(&isNumber);
        return !storedNext.isNull() && isNumber && QString::number(stored) == nextValue(items, j) &&
               items.value(j, 4).toString() == firstFlag(j);
    }

    bool failed(const QString &parent, const QString &reason)
    {
        m_dm.log.WriteLog(QStringLiteral("Error: Unable to sort folder #") + parent +
                          QStringLiteral(" in library ") + m_library + QStringLiteral(": ") + reason);
        return false;
    }

    DmContext &m_dm;
    QString m_library;
};

} // namespace

bool SortFolders(DmContext &dm, int parentDocNumber, const QString &libraryName)
{
    if (!FolderStepMayStart(dm, QStringLiteral("SortFolders")))
        return false;
    DmSession &s = dm.session;
    ActivityLog &log = dm.log;

    // Back to the library current on entry once the closing dash line is written; the status line and
    // the pointer are the caller's.
    const SessionGuard entry(dm);
    bool result = false;
    try {
        log.ShowStatus(QStringLiteral("Preparing to sort folders in library ") + libraryName);
        log.WriteDashLine();
        if (!ConnectLibrary(dm, libraryName)) {
            log.WriteLog(QStringLiteral("Error: Unable to connect to library ") + libraryName +
                         QStringLiteral(" for user ") +
                         (s.currentLibrary ? s.currentLibrary->userId() : QString()));
            log.WriteDashLine();
        } else {
            result = FolderSort(dm, libraryName).run(parentDocNumber);
        }
    } catch (const DmError &error) {
        log.ReportError(error.number(), error.source(), error.description());
        result = false;
    }
    log.WriteDashLine();
    return result;
}
