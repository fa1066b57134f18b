// Times folder moves on the local DM and prints a table; it never judges the figures. Each case runs
// in a child process of its own on a fresh installation in a temporary directory, so that its peak
// memory is its own and no case warms the caches of the next. Only the move itself is timed; building
// the installation is not (--huge prints how long the huge demo took to make).
//
// Usage: move_bench [--postgresql CONNINFO] [--full | --huge]
//   --postgresql puts each case's demo libraries on that server (a libpq connection string without dbname),
//     a database each named after the case's temporary directory, dropped when the case ends; the floor
//     is then written through libpq.
//   MOVE_BENCH_STATEMENTS=FILE writes every statement a move sends to FILE, one per line.
//   MOVE_BENCH_KEEP=1 keeps each case's directory, and its databases on a server.
//   --full adds the per-link sort path at n = 5,000 (several minutes) and the move at the same n.
//   --huge runs only the moves of the huge demo's folder of 50,000 documents and tree of 10,000 folders,
//     with the move at n = 5,000 and the large demo's tree to compare them with.
#include "dm/fusion.h"
#include "dm/run.h"
#include "dm/windowseam.h"
#include "dmapi/dmerror.h"
#include "localdm/installation.h"
#include "localdm/localdmfactory.h"
#include "localdm/sql/localsql.h"
#include "localdm/store/librarydatabase.h"
#include "localdm/store/serverconnection.h"
#include "localdm/tools/demoinstallation.h"
#include "localdm/tools/librarybuilder.h"
#include "migrate/addfolderitem.h"
#include "migrate/convertfolder.h"
#include "migrate/createfolder.h"
#include "migrate/sortfolders.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>

#include <libpq-fe.h>
#include <sqlite3.h>
#include <sys/resource.h>

#include <algorithm>
#include <functional>
#include <optional>

namespace {

const QString Source = QStringLiteral("CORPORATE");
const QString Target = QStringLiteral("ARCHIVE");
const QString BenchUser = QStringLiteral("BENCH");

// A window nobody looks at: answers every question with Yes and keeps nothing.
class QuietWindow : public WindowSeam {
public:
    explicit QuietWindow(bool verbose) : m_verbose(verbose) {}
    QString statusText() const override { return {}; }
    void setStatusText(const QString &) override {}
    bool verboseLogging() const override { return m_verbose; }
    void setLogMenusEnabled(bool) override {}
    void processEvents() override {}
    MessageAnswer showMessage(const QString &, MessageIcon, MessageButtons buttons) override
    {
        return buttons == MessageButtons::YesNo ? MessageAnswer::Yes : MessageAnswer::Ok;
    }
    MousePointer mousePointer() const override { return MousePointer::Default; }
    void setMousePointer(MousePointer) override {}
    bool displayErrors() const override { return false; }
    void setUserName(const QString &) override {}
    void setUserNameToolTip(const QString &) override {}
    void setPrimaryGroup(const QString &) override {}
    void setLibraryName(const QString &) override {}
    void checkLibraryMenuEntry(const QString &) override {}
    QString counter(MoveCounter) const override { return QStringLiteral("0"); }
    void setCounter(MoveCounter, const QString &) override {}
    QString targetLibrary() const override { return Target; }
    MessageAnswer confirmMove(const QString &) override { return MessageAnswer::Yes; }
    void setMoveRunning(bool) override {}
    void showProgress(const MoveProgress &) override {}
    void hideProgress() override {}
    void offerReport(const QString &) override {}
    void showPreview(const QString &, bool) override {}
    quintptr windowHandle() const override { return 0; }
    QPoint windowPositionTwips() const override { return {}; }
    void endProgram() override {}

private:
    bool m_verbose;
};

// The pass-through as the program has it, counting the statements it is sent.
class CountingSql : public LocalSql {
public:
    CountingSql(std::shared_ptr<LocalDm> dm, qint64 &count) : LocalSql(std::move(dm)), m_count(count) {}
    qint32 execute(const QString &statement) override
    {
        ++m_count;
        if (s_trace)
            *s_trace << statement << Qt::endl;
        return LocalSql::execute(statement);
    }
    // Where every statement is written when MOVE_BENCH_STATEMENTS names a file, to see what a move sends.
    static inline QTextStream *s_trace = nullptr;

private:
    qint64 &m_count;
};

// The name of document i of n: the names are filed in a scrambled order, so the folder needs sorting.
QString documentName(int i, int n)
{
    return QStringLiteral("Invoice %1.pdf").arg(qint64(i) * 7919 % n, 5, 10, QChar(u'0'));
}

// What a case moves: a folder of CORPORATE, with the folders (itself included) and documents its move
// carries.
struct Subject {
    int number = 0;
    int folders = 0;
    int documents = 0;
    QList<int> ownDocuments; // the folder's own documents in filing order, where the bench filed them
};

// CORPORATE's profiles of the bench user, written in one transaction.
class BenchWriter {
public:
    explicit BenchWriter(const Installation &installation)
        : m_opened(LibraryDatabase::open(*installation.library(Source))), m_db(*m_opened),
          m_transaction(m_db), m_builder(m_db),
          m_user(m_db.scalar(QStringLiteral("SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = ?1"), {BenchUser})
                     .toLongLong())
    {
    }

    int folder(const QString &name)
    {
        return int(m_builder.addFolder(profile(name, LibraryBuilder::FolderApplication)).docNumber);
    }
    int document(const QString &name)
    {
        return int(m_builder.addDocument(profile(name, LibraryBuilder::AcrobatApplication)).docNumber);
    }
    LibraryBuilder &builder() { return m_builder; }
    void commit()
    {
        m_builder.finish();
        m_transaction.commit();
    }

private:
    LibraryBuilder::NewProfile profile(const QString &name, qint64 application) const
    {
        LibraryBuilder::NewProfile profile;
        profile.name = name;
        profile.application = application;
        profile.author = m_user;
        return profile;
    }

    const std::unique_ptr<LibraryDatabase> m_opened;
    LibraryDatabase &m_db;
    LibraryDatabase::Transaction m_transaction;
    LibraryBuilder m_builder;
    const qint64 m_user;
};

// A public folder of n documents in CORPORATE, filed in scrambled name order.
Subject addBenchFolder(const Installation &installation, int n)
{
    BenchWriter writer(installation);
    Subject folder{0, 1, n, {}};
    const QString name = QStringLiteral("Bench folder");
    folder.number = writer.folder(name);
    writer.builder().addRootObject(folder.number, name);
    for (int i = 0; i < n; ++i) {
        const int number = writer.document(documentName(i, n));
        writer.builder().fileItem(folder.number, number, documentName(i, n), u'D');
        folder.ownDocuments << number;
    }
    writer.commit();
    return folder;
}

// A public folder of CORPORATE with a chain of n - 1 subfolders below it, one in the other; the deepest
// holds one document. Moving the deepest recreates the whole chain above it.
Subject addBenchChain(const Installation &installation, int n)
{
    BenchWriter writer(installation);
    Subject deepest{0, n, 1, {}};
    for (int level = 0; level < n; ++level) {
        const QString name = QStringLiteral("Level %1").arg(level, 5, 10, QChar(u'0'));
        const int number = writer.folder(name);
        if (level == 0)
            writer.builder().addRootObject(number, name);
        else
            writer.builder().fileItem(deepest.number, number, name, u'F');
        deepest.number = number;
    }
    const int document = writer.document(documentName(0, 1));
    writer.builder().fileItem(deepest.number, document, documentName(0, 1), u'D');
    deepest.ownDocuments << document;
    writer.commit();
    return deepest;
}

// The public folders of CORPORATE, each with the folders and documents below it.
QList<Subject> publicTrees(const Installation &installation)
{
    const std::unique_ptr<LibraryDatabase> dbOpened = LibraryDatabase::open(*installation.library(Source));
    LibraryDatabase &db = *dbOpened;
    QMultiHash<int, std::pair<int, bool>> children;
    for (const QVariantList &row :
         db.query(QStringLiteral("SELECT PARENT, DOCNUMBER, NODE_TYPE FROM FOLDER_ITEM WHERE LIBRARY = 0")))
        children.insert(row[0].toInt(), {row[1].toInt(), row[2].toString() == QStringLiteral("F")});
    QList<Subject> trees;
    for (const QVariantList &root : db.query(QStringLiteral("SELECT DOCNUMBER FROM ROOT_OBJECT"))) {
        Subject tree{root[0].toInt(), 1, 0, {}};
        QList<int> pending = {tree.number};
        while (!pending.isEmpty())
            for (const auto &[number, isFolder] : children.values(pending.takeLast())) {
                ++(isFolder ? tree.folders : tree.documents);
                if (isFolder)
                    pending << number;
            }
        trees << tree;
    }
    return trees;
}

// The public folder of CORPORATE with the most items below it.
Subject biggestPublicTree(const Installation &installation, int)
{
    const QList<Subject> trees = publicTrees(installation);
    return *std::max_element(trees.cbegin(), trees.cend(), [](const Subject &a, const Subject &b) {
        return a.folders + a.documents < b.folders + b.documents;
    });
}

// The public folder of CORPORATE that the huge demo gave this name.
Subject namedPublicTree(const Installation &installation, const QString &name)
{
    const QVariant number =
        LibraryDatabase::open(*installation.library(Source))
            ->scalar(QStringLiteral("SELECT DOCNUMBER FROM ROOT_OBJECT WHERE DISPLAYNAME = ?1"), {name});
    for (const Subject &tree : publicTrees(installation))
        if (number.isValid() && tree.number == number.toInt())
            return tree;
    throw DmError(1, QStringLiteral("move_bench"),
                  QStringLiteral("No public folder %1 in %2").arg(name, Source));
}

int noCase(void *, int lengthA, const void *a, int lengthB, const void *b)
{
    return QString::fromUtf8(static_cast<const char *>(a), lengthA)
        .compare(QString::fromUtf8(static_cast<const char *>(b), lengthB), Qt::CaseInsensitive);
}

// A value the floor binds: a number, or text when text is set.
struct FloorValue {
    FloorValue(qint64 value) : number(value) {}
    FloorValue(const char *value) : text(value) {}
    FloorValue(const QByteArray &value) : text(value.constData()) {}
    qint64 number = 0;
    const char *text = nullptr;
};

// One library as the floor writes it, with no DM in between: statements written with ?1, ?2, ...,
// prepared once and run with their values.
class FloorLibrary {
public:
    virtual ~FloorLibrary() = default;
    virtual void exec(const char *sql) = 0;
    // A handle for run().
    virtual int prepare(const char *sql) = 0;
    virtual void run(int statement, std::initializer_list<FloorValue> values) = 0;
    // The first column of a query's rows, given one value.
    virtual QList<qint64> numbers(const char *sql, qint64 value) = 0;
};

class SqliteFloorLibrary final : public FloorLibrary {
public:
    explicit SqliteFloorLibrary(const LibraryConfig &config)
    {
        sqlite3_open_v2(config.databaseFile.toUtf8().constData(), &m_db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_create_collation_v2(m_db, "DMNOCASE", SQLITE_UTF8, nullptr, &noCase, nullptr);
        exec("PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL");
    }
    ~SqliteFloorLibrary() override
    {
        for (sqlite3_stmt *statement : std::as_const(m_statements))
            sqlite3_finalize(statement);
        sqlite3_close(m_db);
    }
    void exec(const char *sql) override { sqlite3_exec(m_db, sql, nullptr, nullptr, nullptr); }
    int prepare(const char *sql) override
    {
        m_statements << compile(sql);
        return int(m_statements.size() - 1);
    }
    void run(int statement, std::initializer_list<FloorValue> values) override
    {
        sqlite3_stmt *compiled = m_statements[statement];
        int index = 0;
        for (const FloorValue &value : values)
            if (value.text)
                sqlite3_bind_text(compiled, ++index, value.text, -1, SQLITE_TRANSIENT);
            else
                sqlite3_bind_int64(compiled, ++index, value.number);
        sqlite3_step(compiled);
        sqlite3_reset(compiled);
    }
    QList<qint64> numbers(const char *sql, qint64 value) override
    {
        QList<qint64> result;
        sqlite3_stmt *select = compile(sql);
        sqlite3_bind_int64(select, 1, value);
        while (sqlite3_step(select) == SQLITE_ROW)
            result << sqlite3_column_int64(select, 0);
        sqlite3_finalize(select);
        return result;
    }

private:
    sqlite3_stmt *compile(const char *sql)
    {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(m_db, sql, -1, &statement, nullptr) != SQLITE_OK)
            throw DmError(1, QStringLiteral("move_bench"), QString::fromUtf8(sqlite3_errmsg(m_db)));
        return statement;
    }

    sqlite3 *m_db = nullptr;
    QList<sqlite3_stmt *> m_statements;
};

// A round trip per statement, as the DM's store makes them: no pipelining, no batching.
class PostgresFloorLibrary final : public FloorLibrary {
public:
    explicit PostgresFloorLibrary(const LibraryConfig &config) : m_connection(ConnectToServer(config))
    {
        const QByteArray schema = config.owner.toLower().toUtf8();
        char *identifier = PQescapeIdentifier(m_connection.get(), schema.constData(), size_t(schema.size()));
        exec(QByteArray("SET search_path TO " + QByteArray(identifier)).constData());
        PQfreemem(identifier);
    }
    void exec(const char *sql) override { check(PQexec(m_connection.get(), sql), PGRES_COMMAND_OK); }
    int prepare(const char *sql) override
    {
        const QByteArray name = "floor" + QByteArray::number(m_prepared++);
        check(PQprepare(m_connection.get(), name.constData(), dollars(sql).constData(), 0, nullptr),
              PGRES_COMMAND_OK);
        return m_prepared - 1;
    }
    void run(int statement, std::initializer_list<FloorValue> values) override
    {
        check(send(QByteArray("floor" + QByteArray::number(statement)), values), PGRES_COMMAND_OK);
    }
    QList<qint64> numbers(const char *sql, qint64 value) override
    {
        const QByteArray number = QByteArray::number(value);
        const char *values[] = {number.constData()};
        PGresult *result = PQexecParams(m_connection.get(), dollars(sql).constData(), 1, nullptr, values,
                                        nullptr, nullptr, 0);
        check(result, PGRES_TUPLES_OK, false);
        QList<qint64> rows;
        for (int row = 0; row < PQntuples(result); ++row)
            rows << QByteArray(PQgetvalue(result, row, 0)).toLongLong();
        PQclear(result);
        return rows;
    }

private:
    // The store's statements are written with ?1, ?2, ...; PostgreSQL numbers them $1, $2, ...
    static QByteArray dollars(const char *sql) { return QByteArray(sql).replace('?', '$'); }

    PGresult *send(const QByteArray &name, std::initializer_list<FloorValue> values)
    {
        // Reserved, so the texts the pointers point into stay where they are.
        QByteArrayList numbers;
        numbers.reserve(qsizetype(values.size()));
        QList<const char *> pointers;
        for (const FloorValue &value : values)
            pointers << (value.text ? value.text
                                    : (numbers << QByteArray::number(value.number)).last().constData());
        return PQexecPrepared(m_connection.get(), name.constData(), int(pointers.size()),
                              pointers.constData(), nullptr, nullptr, 0);
    }
    void check(PGresult *result, ExecStatusType expected, bool clear = true)
    {
        if (PQresultStatus(result) != expected) {
            const QString message = QString::fromUtf8(PQerrorMessage(m_connection.get())).trimmed();
            PQclear(result);
            throw DmError(1, QStringLiteral("move_bench"), message);
        }
        if (clear)
            PQclear(result);
    }

    ServerConnection m_connection;
    int m_prepared = 0;
};

std::unique_ptr<FloorLibrary> openFloorLibrary(const LibraryConfig &config)
{
    if (config.onServer())
        return std::make_unique<PostgresFloorLibrary>(config);
    return std::make_unique<SqliteFloorLibrary>(config);
}

// The hand-written floor: the FOLDER_ITEM rows a move of the folder changes, written straight into the
// two libraries with prepared statements, one transaction per folder: the items appended to a new
// folder of ARCHIVE and relinked in name order where their place changes, then removed from the old
// folder of CORPORATE from the last to the first.
void handWrittenFloor(const Installation &installation, const Subject &folder, int n)
{
    const std::unique_ptr<FloorLibrary> target = openFloorLibrary(*installation.library(Target));
    target->exec("BEGIN");
    const int insert =
        target->prepare("INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, PARENT_LIBRARY, DOCNUMBER, "
                        "LIBRARY, DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT) VALUES (?1, ?2, 0, ?3, 1, "
                        "?4, 'D', ?5, 0)");
    const int link = target->prepare("UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE SYSTEM_ID = ?2");
    const int relink = target->prepare("UPDATE FOLDER_ITEM SET NEXT = ?1, ISFIRST = ?2 WHERE SYSTEM_ID = ?3");
    constexpr qint64 FirstId = 900000000;
    constexpr qint64 NewFolder = 900000000;
    QList<std::pair<QString, qint64>> byName;
    for (int i = 0; i < n; ++i) {
        target->run(insert, {FirstId + i, NewFolder, folder.ownDocuments[i], documentName(i, n).toUtf8(),
                             i == 0 ? "Y" : "N"});
        if (i > 0)
            target->run(link, {FirstId + i, FirstId + i - 1});
        byName << std::pair{documentName(i, n), FirstId + i};
    }
    std::sort(byName.begin(), byName.end());
    for (int j = 0; j < n; ++j) {
        const qint64 id = byName[j].second;
        const qint64 next = j + 1 < n ? byName[j + 1].second : 0;
        const qint64 oldNext = id - FirstId + 1 < n ? id + 1 : 0;
        if (next != oldNext || (j == 0) != (id == FirstId))
            target->run(relink, {next, j == 0 ? "Y" : "N", id});
    }
    target->exec("COMMIT");

    const std::unique_ptr<FloorLibrary> source = openFloorLibrary(*installation.library(Source));
    const QList<qint64> rows = source->numbers(
        "SELECT SYSTEM_ID FROM FOLDER_ITEM WHERE PARENT = ?1 ORDER BY SYSTEM_ID", folder.number);
    source->exec("BEGIN");
    const int remove = source->prepare("DELETE FROM FOLDER_ITEM WHERE SYSTEM_ID = ?1");
    const int close = source->prepare("UPDATE FOLDER_ITEM SET NEXT = 0 WHERE PARENT = ?1 AND NEXT = ?2");
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        source->run(close, {folder.number, rows[i]});
        source->run(remove, {rows[i]});
    }
    source->exec("COMMIT");
}

qint64 peakKilobytes()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss;
}

// Processor time of this process so far, user and system: on a machine shared with other work it
// moves less than the wall-clock time.
double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto seconds = [](const timeval &t) { return double(t.tv_sec) + double(t.tv_usec) / 1e6; };
    return seconds(usage.ru_utime) + seconds(usage.ru_stime);
}

qsizetype lineCount(const QString &file)
{
    QFile log(file);
    if (file.isEmpty() || !log.open(QIODevice::ReadOnly))
        return 0;
    return log.readAll().count('\n');
}

// How a case moves its subject.
enum class Mover {
    Convert, // ConvertFolder, as the program moves a folder
    Floor,   // handWrittenFloor
    PerLink, // CreateFolder, then AddFolderItem for each document, sorting after every link
};

// A kind of case as --case names it: the demo it starts from, what it adds there or picks to move (n is
// the case's size where the kind has one), and how it moves it.
struct CaseKind {
    QString name;
    DemoSize demo;
    Subject (*subject)(const Installation &, int n);
    Mover mover;
};

const QList<CaseKind> &caseKinds()
{
    static const QList<CaseKind> kinds = {
        {u"move"_qs, DemoSize::Small, &addBenchFolder, Mover::Convert},
        {u"floor"_qs, DemoSize::Small, &addBenchFolder, Mover::Floor},
        {u"perlink"_qs, DemoSize::Small, &addBenchFolder, Mover::PerLink},
        {u"chain"_qs, DemoSize::Small, &addBenchChain, Mover::Convert},
        {u"tree"_qs, DemoSize::Large, &biggestPublicTree, Mover::Convert},
        {u"hugefolder"_qs, DemoSize::Huge,
         [](const Installation &installation, int) {
             return namedPublicTree(installation, HugeDemoFolderName());
         },
         Mover::Convert},
        {u"hugetree"_qs, DemoSize::Huge,
         [](const Installation &installation, int) {
             return namedPublicTree(installation, HugeDemoTreeName());
         },
         Mover::Convert},
    };
    return kinds;
}

// The demo keeps the folder rights from the user in LEGAL, and a move works wherever its walks leave the
// session: here the user holds them everywhere.
void grantFolderRightsEverywhere(const Installation &installation)
{
    for (const LibraryConfig &library : installation.libraries) {
        const std::unique_ptr<LibraryDatabase> dbOpened = LibraryDatabase::open(library);
        LibraryDatabase &db = *dbOpened;
        for (const QString right :
             {"User.SaveToRemoteLibrary", "User.ManageRootFolders", "User.CreateFolder"})
            db.exec(
                QStringLiteral("INSERT INTO DM_RIGHTS (GROUPS_SYSTEM_ID, RIGHT_NAME) SELECT "
                               "PG.GROUPS_SYSTEM_ID, ?2 FROM PEOPLEGROUPS PG JOIN PEOPLE P ON P.SYSTEM_ID = "
                               "PG.PEOPLE_SYSTEM_ID WHERE P.USER_ID = ?1 ON CONFLICT DO NOTHING"),
                {BenchUser, right});
    }
}

// What the timed part of a case gave.
struct Timing {
    double seconds = 0;
    double cpu = 0;
    qint64 statements = 0;
    qint64 serverStatements = -1; // unknown
    qsizetype logLines = 0;
    bool ok = true;
};

// How many statements a server ran in an installation's databases, transaction control included: what a
// move costs in round trips, where the pass-through's count leaves out the statements of every DM call.
// Read from pg_stat_statements, which the server must load (shared_preload_libraries); unknown without it,
// and for libraries in files.
class ServerStatements {
public:
    explicit ServerStatements(const Installation &installation)
    {
        const LibraryConfig &source = *installation.library(Source);
        if (!source.onServer())
            return;
        m_connection = ConnectToServer(source);
        PQsetNoticeProcessor(
            m_connection.get(), [](void *, const char *) {}, nullptr);
        // In a database the bench made and drops again, so the server's own databases stay as they are.
        PQclear(PQexec(m_connection.get(), "CREATE EXTENSION IF NOT EXISTS pg_stat_statements"));
        QStringList placeholders;
        for (const LibraryConfig &library : installation.libraries) {
            if (const PQconninfoOption *options =
                    PQconninfoParse(library.connection.toUtf8().constData(), nullptr)) {
                for (const PQconninfoOption *option = options; option->keyword; ++option)
                    if (qstrcmp(option->keyword, "dbname") == 0 && option->val)
                        m_databases << QByteArray(option->val);
                PQconninfoFree(const_cast<PQconninfoOption *>(options));
            }
            placeholders << QStringLiteral("$%1").arg(placeholders.size() + 1);
        }
        m_query =
            QStringLiteral("SELECT coalesce(sum(s.calls), 0) FROM pg_stat_statements s JOIN pg_database d "
                           "ON d.oid = s.dbid WHERE d.datname IN (%1)")
                .arg(placeholders.join(u", "))
                .toUtf8();
    }

    // The count so far, or -1 when unknown. Each call is itself counted by the next.
    qint64 count()
    {
        if (!m_connection)
            return -1;
        QList<const char *> values;
        for (const QByteArray &database : std::as_const(m_databases))
            values << database.constData();
        PGresult *result = PQexecParams(m_connection.get(), m_query.constData(), int(values.size()), nullptr,
                                        values.constData(), nullptr, nullptr, 0);
        const qint64 count = PQresultStatus(result) == PGRES_TUPLES_OK
                                 ? QByteArray(PQgetvalue(result, 0, 0)).toLongLong()
                                 : -1;
        PQclear(result);
        return count;
    }

private:
    ServerConnection m_connection;
    QByteArrayList m_databases;
    QByteArray m_query;
};

// Times work, in wall-clock and processor time and in statements the server ran.
Timing timed(const Installation &installation, const std::function<void(Timing &)> &work)
{
    Timing timing;
    ServerStatements server(installation);
    const qint64 before = server.count();
    QElapsedTimer timer;
    timing.cpu = cpuSeconds();
    timer.start();
    work(timing);
    timing.seconds = double(timer.nsecsElapsed()) / 1e9;
    timing.cpu = cpuSeconds() - timing.cpu;
    const qint64 after = server.count();
    if (before >= 0 && after >= 0)
        timing.serverStatements = after - before - 1;
    return timing;
}

// Moves the subject through a run of the program, with its settings and log in dir.
Timing timeMove(const QDir &dir, const Installation &installation, const Subject &subject, Mover mover,
                bool verbose)
{
    qint64 statements = 0;
    QuietWindow window(verbose);
    auto dm = std::make_shared<LocalDm>(installation);
    Run run(
        dir.filePath(QStringLiteral("settings")),
        std::make_unique<LocalDmFactory>(dm, [&] { return std::make_shared<CountingSql>(dm, statements); }),
        window);
    run.log().setConfiguredLogPath(dir.filePath(QStringLiteral("Korvel.LOG")));
    if (!run.startSession())
        throw DmError(1, QStringLiteral("move_bench"), QStringLiteral("The DM session did not start"));
    const qsizetype startLines = lineCount(run.log().currentLogFileName());
    statements = 0;
    QFile traceFile(qEnvironmentVariable("MOVE_BENCH_STATEMENTS"));
    std::optional<QTextStream> trace;
    if (!traceFile.fileName().isEmpty() && traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        CountingSql::s_trace = &trace.emplace(&traceFile);
    Timing timing = timed(installation, [&](Timing &moved) {
        if (mover == Mover::PerLink) {
            const int made = CreateFolder(run.dm(), QStringLiteral("Bench folder"), 0, true, Target,
                                          subject.number, Source, ParentSort::Sort);
            moved.ok = made != 0;
            for (const int document : std::as_const(subject.ownDocuments))
                moved.ok = AddFolderItem(run.dm(), document, made, QStringLiteral("D"), Target, Source,
                                         ParentSort::Sort) &&
                           moved.ok;
        } else {
            moved.ok = ConvertFolder(run.dm(), subject.number, Source, Target);
        }
    });
    timing.statements = statements;
    timing.logLines = lineCount(run.log().currentLogFileName()) - startLines;
    return timing;
}

// One case in this process, with its settings and log in dir and its demo in a folder of dir named like
// dir (which names its databases on a server); prints "RESULT seconds cpu-seconds statements log-lines
// peak-kB folders documents ok demo-seconds server-statements", demo-seconds being how long making the
// demo took and server-statements -1 when unknown.
int runCase(const QString &kindName, int n, bool verbose, const QDir &dir, const QString &server)
{
    const auto kind = std::find_if(caseKinds().cbegin(), caseKinds().cend(),
                                   [&](const CaseKind &each) { return each.name == kindName; });
    if (kind == caseKinds().cend())
        throw DmError(1, QStringLiteral("move_bench"), QStringLiteral("No case kind %1").arg(kindName));
    QElapsedTimer making;
    making.start();
    const Installation installation = Installation::load(
        CreateDemoInstallation(dir.filePath(dir.dirName()), kind->demo, BenchUser, server));
    const double demoSeconds = double(making.nsecsElapsed()) / 1e9;
    grantFolderRightsEverywhere(installation);
    const Subject subject = kind->subject(installation, n);
    const Timing timing =
        kind->mover == Mover::Floor
            ? timed(installation, [&](Timing &) { handWrittenFloor(installation, subject, n); })
            : timeMove(dir, installation, subject, kind->mover, verbose);
    QTextStream(stdout) << "RESULT " << timing.seconds << ' ' << timing.cpu << ' ' << timing.statements << ' '
                        << timing.logLines << ' ' << peakKilobytes() << ' ' << subject.folders << ' '
                        << subject.documents << ' ' << (timing.ok ? 1 : 0) << ' ' << demoSeconds << ' '
                        << timing.serverStatements << Qt::endl;
    return timing.ok ? 0 : 1;
}

struct Result {
    double seconds = 0;
    double cpu = 0;
    qint64 statements = 0;
    qint64 logLines = 0;
    double peakMb = 0;
    int folders = 0;
    int documents = 0;
    bool ok = false;
    double demoSeconds = 0;
    qint64 serverStatements = -1;
};

// The libpq connection string of the server the demos go on (--postgresql); empty for SQLite files.
QString server;

// Drops the databases of the demo in dir, if it was made on a server. Whatever became of the case that
// made it: a child that failed or crashed leaves them behind.
void dropDemoDatabases(const QDir &dir)
{
    const QString file = QDir(dir.filePath(dir.dirName())).filePath(QStringLiteral("installation.ini"));
    if (server.isEmpty() || !QFile::exists(file))
        return;
    try {
        for (const LibraryConfig &library : Installation::load(file).libraries)
            DropServerLibrary(library);
    } catch (const DmError &error) {
        QTextStream(stderr) << error.description() << Qt::endl;
    }
}

std::optional<Result> runChild(const QString &kind, int n, bool verbose)
{
    QTemporaryDir dir;
    const bool keep = !qEnvironmentVariableIsEmpty("MOVE_BENCH_KEEP");
    dir.setAutoRemove(!keep);
    QStringList arguments = {QStringLiteral("--case"), kind, QString::number(n),
                             verbose ? QStringLiteral("1") : QStringLiteral("0"), dir.path()};
    if (!server.isEmpty())
        arguments << server;
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(), arguments);
    const bool finished = child.waitForFinished(-1);
    if (keep)
        QTextStream(stderr) << "kept " << dir.path() << Qt::endl;
    else
        dropDemoDatabases(QDir(dir.path()));
    if (!finished)
        return std::nullopt;
    for (const QString &line : QString::fromUtf8(child.readAllStandardOutput()).split(u'\n')) {
        const QStringList f = line.split(u' ');
        if (f.size() == 11 && f[0] == QStringLiteral("RESULT"))
            return Result{
                f[1].toDouble(),        f[2].toDouble(),   f[3].toLongLong(), f[4].toLongLong(),
                f[5].toDouble() / 1024, f[6].toInt(),      f[7].toInt(),      f[8] == QStringLiteral("1"),
                f[9].toDouble(),        f[10].toLongLong()};
    }
    return std::nullopt;
}

QTextStream out(stdout);

QString fixed(double value, int decimals)
{
    return QString::number(value, 'f', decimals);
}

// The time divided by the time at half the n, when that was measured.
QString growth(double time, double half)
{
    return half > 0 ? fixed(time / half, 2) : QString();
}

const char *const serverNote =
    "statements: those sent through the pass-through. srv stmts: those the server ran in the case's "
    "databases, transaction control included (pg_stat_statements; empty where the server does not load it). "
    "cpu s: the bench's process only, not the server's.";

// Where the libraries are, for the tables' titles.
QString libraries()
{
    return server.isEmpty() ? QStringLiteral("libraries in SQLite files")
                            : QStringLiteral("libraries on PostgreSQL (%1)").arg(server);
}

// The statements the server ran, a column of every table on a server.
QString serverCell(const Result &r)
{
    return r.serverStatements >= 0 ? QString::number(r.serverStatements) : QString();
}

// A row of a table; on a server, serverCell (or the column's heading) ends it.
void row(QStringList cells, const QString &serverCell = {})
{
    if (!server.isEmpty())
        cells << serverCell;
    QString text;
    for (qsizetype i = 0; i < cells.size(); ++i)
        text += i == 0 ? cells[i].leftJustified(26) : cells[i].rightJustified(i == 1 ? 6 : 11);
    out << text << Qt::endl;
}

// The huge demo's folder and tree moved, each beside the case of the default run it is ten times.
void runHuge(const std::function<std::optional<Result>(const QString &, int, bool)> &measure)
{
    out << "The huge demo's folder of 50,000 documents and tree of 10,000 folders moved from CORPORATE to "
           "ARCHIVE, "
        << libraries() << ", each beside its tenth; the move only is timed" << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("statements"), QStringLiteral("log lines"),
         QStringLiteral("peak MB"), QStringLiteral("folders/s")},
        QStringLiteral("srv stmts"));
    struct Line {
        QString name;
        QString kind;
        int n;
    };
    const Line lines[] = {
        {QStringLiteral("huge folder, verbose off"), QStringLiteral("hugefolder"), 0},
        {QStringLiteral("move, verbose off"), QStringLiteral("move"), 5000},
        {QStringLiteral("huge tree, verbose off"), QStringLiteral("hugetree"), 0},
        {QStringLiteral("tree, verbose off"), QStringLiteral("tree"), 0},
    };
    QList<std::optional<Result>> results;
    double demoSeconds = 0;
    for (const Line &line : lines) {
        const std::optional<Result> r = measure(line.kind, line.n, false);
        results << r;
        if (!r) {
            row({line.name, QString::number(line.n), QStringLiteral("failed")});
            continue;
        }
        // n: what the case is ten times or a tenth of, the documents of a folder or the folders of a tree.
        const int n = line.kind.endsWith(QStringLiteral("tree")) ? r->folders : r->documents;
        if (line.kind.startsWith(QStringLiteral("huge")) && demoSeconds == 0)
            demoSeconds = r->demoSeconds;
        row({line.name, QString::number(n), fixed(r->seconds, 3), fixed(r->cpu, 3),
             fixed(r->documents / r->seconds, 0), QString::number(r->statements),
             QString::number(r->logLines), fixed(r->peakMb, 1),
             r->folders > 1 ? fixed(r->folders / r->seconds, 0) : QString()},
            serverCell(*r));
    }
    out << Qt::endl;
    if (!server.isEmpty())
        out << serverNote << Qt::endl;
    if (demoSeconds > 0)
        out << "Making the huge demo took " << fixed(demoSeconds, 1) << " s (not timed above)." << Qt::endl;
    const auto &[folder, tenthFolder, tree, tenthTree] =
        std::tie(results[0], results[1], results[2], results[3]);
    if (folder && tenthFolder)
        out << "huge folder / move at n = " << tenthFolder->documents << ": "
            << fixed(folder->seconds / tenthFolder->seconds, 1) << "x the time, "
            << fixed(folder->cpu / tenthFolder->cpu, 1) << "x the cpu time, for "
            << fixed(double(folder->documents) / tenthFolder->documents, 1) << "x the documents" << Qt::endl;
    if (tree && tenthTree)
        out << "huge tree / large tree, per folder: "
            << fixed((tree->seconds / tree->folders) / (tenthTree->seconds / tenthTree->folders), 2)
            << "x the time (" << fixed((tree->cpu / tree->folders) / (tenthTree->cpu / tenthTree->folders), 2)
            << "x the cpu time; " << tree->folders << " and " << tenthTree->folders << " folders; "
            << fixed(double(tree->statements) / tree->folders, 1) << " and "
            << fixed(double(tenthTree->statements) / tenthTree->folders, 1) << " statements per folder)"
            << Qt::endl;
}

} // namespace

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if ((args.size() == 5 || args.size() == 6) && args[0] == QStringLiteral("--case")) {
        try {
            return runCase(args[1], args[2].toInt(), args[3] == QStringLiteral("1"), QDir(args[4]),
                           args.value(5));
        } catch (const DmError &error) {
            QTextStream(stderr) << error.description() << Qt::endl;
            return 1;
        }
    }
    QStringList options = args;
    if (const qsizetype at = options.indexOf(QStringLiteral("--postgresql"));
        at >= 0 && at + 1 < options.size()) {
        server = options.takeAt(at + 1);
        options.removeAt(at);
    }
    const bool full = options == QStringList{QStringLiteral("--full")};
    const bool huge = options == QStringList{QStringLiteral("--huge")};
    if (!options.isEmpty() && !full && !huge) {
        QTextStream(stderr) << "usage: move_bench [--postgresql CONNINFO] [--full | --huge]" << Qt::endl;
        return 2;
    }
    if (!server.isEmpty()) {
        // Said once here rather than as a failed row for every case.
        try {
            if (const QString fault = ConnectionStringFault(server); !fault.isEmpty())
                throw DmError(1, QStringLiteral("move_bench"),
                              QStringLiteral("The connection string %1").arg(fault));
            LibraryConfig probe;
            probe.name = QStringLiteral("move_bench");
            probe.connection = server;
            ConnectToServer(probe, QStringLiteral("postgres"));
        } catch (const DmError &error) {
            QTextStream(stderr) << error.description() << Qt::endl;
            return 2;
        }
    }

    QMap<QString, Result> results;
    const auto key = [](const QString &kind, int n, bool verbose) {
        return QStringLiteral("%1 %2 %3").arg(kind).arg(n).arg(verbose);
    };
    const auto measure = [&](const QString &kind, int n, bool verbose) {
        const std::optional<Result> result = runChild(kind, n, verbose);
        if (result && result->ok)
            results.insert(key(kind, n, verbose), *result);
        return result && result->ok ? result : std::nullopt;
    };
    const auto find = [&](const QString &kind, int n, bool verbose) {
        return results.value(key(kind, n, verbose));
    };
    const auto failed = [](const QString &what, int n) {
        row({what, QString::number(n), QStringLiteral("failed")});
    };
    if (huge) {
        runHuge(measure);
        return 0;
    }

    out << "One folder of n documents moved from CORPORATE (SQL Server) to ARCHIVE (Oracle), " << libraries()
        << "; the move only is timed" << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("statements"), QStringLiteral("log lines"),
         QStringLiteral("peak MB"), QStringLiteral("growth"), QStringLiteral("cpu growth")},
        QStringLiteral("srv stmts"));
    const QList<int> sizes = {1000, 2000, 4000, 8000};
    for (const bool verbose : {false, true}) {
        const QString name =
            verbose ? QStringLiteral("move, verbose on") : QStringLiteral("move, verbose off");
        for (const int n : sizes) {
            const std::optional<Result> r = measure(QStringLiteral("move"), n, verbose);
            if (!r) {
                failed(name, n);
                continue;
            }
            const Result half = find(QStringLiteral("move"), n / 2, verbose);
            row({name, QString::number(n), fixed(r->seconds, 3), fixed(r->cpu, 3), fixed(n / r->seconds, 0),
                 QString::number(r->statements), QString::number(r->logLines), fixed(r->peakMb, 1),
                 growth(r->seconds, half.seconds), growth(r->cpu, half.cpu)},
                serverCell(*r));
        }
    }

    out << Qt::endl
        << "The hand-written floor: the same FOLDER_ITEM rows straight in "
        << (server.isEmpty() ? QStringLiteral("SQLite") : QStringLiteral("PostgreSQL through libpq"))
        << ", prepared, one transaction per folder" << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("move/floor"), QStringLiteral("cpu ratio"),
         QStringLiteral("peak MB"), QStringLiteral("growth"), QStringLiteral("cpu growth")},
        QStringLiteral("srv stmts"));
    for (const int n : sizes) {
        const std::optional<Result> r = measure(QStringLiteral("floor"), n, false);
        if (!r) {
            failed(QStringLiteral("floor"), n);
            continue;
        }
        const Result half = find(QStringLiteral("floor"), n / 2, false);
        const Result move = find(QStringLiteral("move"), n, false);
        row({QStringLiteral("floor"), QString::number(n), fixed(r->seconds, 4), fixed(r->cpu, 4),
             fixed(n / r->seconds, 0), move.ok ? fixed(move.seconds / r->seconds, 1) + u'x' : QString(),
             move.ok && r->cpu > 0 ? fixed(move.cpu / r->cpu, 1) + u'x' : QString(), fixed(r->peakMb, 1),
             growth(r->seconds, half.seconds), growth(r->cpu, half.cpu)},
            serverCell(*r));
    }

    out << Qt::endl
        << "The per-link sort path: the folder made, then each document linked with AddFolderItem sorting "
           "after every link, "
        << libraries() << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("statements"), QStringLiteral("vs move"),
         QStringLiteral("peak MB"), QStringLiteral("growth"), QStringLiteral("cpu ratio")},
        QStringLiteral("srv stmts"));
    QList<int> perLink = {1000, 2000};
    if (full) {
        perLink << 5000;
        measure(QStringLiteral("move"), 5000, false);
    }
    for (const int n : perLink) {
        const std::optional<Result> r = measure(QStringLiteral("perlink"), n, false);
        if (!r) {
            failed(QStringLiteral("per-link sort, verbose off"), n);
            continue;
        }
        const Result move = find(QStringLiteral("move"), n, false);
        const Result half = find(QStringLiteral("perlink"), n / 2, false);
        row({QStringLiteral("per-link sort, verbose off"), QString::number(n), fixed(r->seconds, 3),
             fixed(r->cpu, 3), fixed(n / r->seconds, 0), QString::number(r->statements),
             move.ok ? fixed(r->seconds / move.seconds, 1) + u'x' : QString(), fixed(r->peakMb, 1),
             growth(r->seconds, half.seconds), move.ok ? fixed(r->cpu / move.cpu, 1) + u'x' : QString()},
            serverCell(*r));
    }

    out << Qt::endl
        << "The large demo's biggest public tree moved from CORPORATE to ARCHIVE, " << libraries()
        << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral(""), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("statements"), QStringLiteral("log lines"),
         QStringLiteral("peak MB"), QStringLiteral("folders/s")},
        QStringLiteral("srv stmts"));
    for (const bool verbose : {false, true}) {
        const QString name =
            verbose ? QStringLiteral("tree, verbose on") : QStringLiteral("tree, verbose off");
        const std::optional<Result> r = measure(QStringLiteral("tree"), 0, verbose);
        if (!r) {
            failed(name, 0);
            continue;
        }
        row({name, QString(), fixed(r->seconds, 3), fixed(r->cpu, 3), fixed(r->documents / r->seconds, 0),
             QString::number(r->statements), QString::number(r->logLines), fixed(r->peakMb, 1),
             fixed(r->folders / r->seconds, 0)},
            serverCell(*r));
    }
    out << Qt::endl
        << "A chain of n folders, one in the other, in CORPORATE: the deepest moved to ARCHIVE, its chain "
           "made there, "
        << libraries() << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("levels/s"), QStringLiteral("statements"), QStringLiteral("log lines"),
         QStringLiteral("peak MB"), QStringLiteral("growth"), QStringLiteral("cpu growth")},
        QStringLiteral("srv stmts"));
    for (const int n : {750, 1500, 3000}) {
        const std::optional<Result> r = measure(QStringLiteral("chain"), n, false);
        if (!r) {
            failed(QStringLiteral("chain, verbose off"), n);
            continue;
        }
        const Result half = find(QStringLiteral("chain"), n / 2, false);
        row({QStringLiteral("chain, verbose off"), QString::number(n), fixed(r->seconds, 3), fixed(r->cpu, 3),
             fixed(n / r->seconds, 0), QString::number(r->statements), QString::number(r->logLines),
             fixed(r->peakMb, 1), growth(r->seconds, half.seconds), growth(r->cpu, half.cpu)},
            serverCell(*r));
    }
    const Result tree = find(QStringLiteral("tree"), 0, false);
    out << Qt::endl
        << "growth: the time divided by the time at half the n. The tree: " << tree.folders << " folders, "
        << tree.documents << " documents, "
        << fixed(tree.folders ? double(tree.statements) / tree.folders : 0, 1) << " statements per folder."
        << Qt::endl;
    if (!server.isEmpty())
        out << serverNote << Qt::endl;
    return 0;
}
