// Times folder moves on the local DM and prints a table; it never judges the figures. Each case runs
// in a child process of its own on a fresh installation in a temporary directory, so that its peak
// memory is its own and no case warms the caches of the next. Only the move itself is timed; building
// the installation is not (--huge prints how long the huge demo took to make).
//
// Usage: move_bench [--full | --huge]
//   MOVE_BENCH_STATEMENTS=FILE writes every statement a move sends to FILE, one per line.
//   --full adds the per-link sort path at n = 5,000 (several minutes) and the move at the same n.
//   --huge runs only the moves of the huge demo's folder of 50,000 documents and tree of 10,000 folders,
//     with the move at n = 5,000 and the large demo's tree to compare them with.
#include "dm/fusion.h"
#include "dm/run.h"
#include "dm/windowseam.h"
#include "dmapi/dmerror.h"
#include "localdm/demoinstallation.h"
#include "localdm/installation.h"
#include "localdm/librarybuilder.h"
#include "localdm/localdmfactory.h"
#include "localdm/sql/localsql.h"
#include "localdm/store/librarydatabase.h"
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
    void showPreview(const QString &) override {}
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

// The hand-written floor: the FOLDER_ITEM rows a move of the folder changes, written straight into the
// two library files with prepared statements, one transaction per folder: the items appended to a new
// folder of ARCHIVE and relinked in name order where their place changes, then removed from the old
// folder of CORPORATE from the last to the first.
void handWrittenFloor(const Installation &installation, const Subject &folder, int n)
{
    const auto open = [](const QString &file) {
        sqlite3 *db = nullptr;
        sqlite3_open_v2(file.toUtf8().constData(), &db, SQLITE_OPEN_READWRITE, nullptr);
        sqlite3_create_collation_v2(db, "DMNOCASE", SQLITE_UTF8, nullptr, &noCase, nullptr);
        sqlite3_exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL", nullptr, nullptr, nullptr);
        return db;
    };
    const auto prepare = [](sqlite3 *db, const char *sql) {
        sqlite3_stmt *statement = nullptr;
        if (sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
            throw DmError(1, QStringLiteral("move_bench"), QString::fromUtf8(sqlite3_errmsg(db)));
        return statement;
    };
    const auto run = [](sqlite3_stmt *statement, std::initializer_list<qint64> values) {
        int index = 0;
        for (const qint64 value : values)
            sqlite3_bind_int64(statement, ++index, value);
        sqlite3_step(statement);
        sqlite3_reset(statement);
    };

    sqlite3 *target = open(installation.library(Target)->databaseFile);
    sqlite3_exec(target, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *insert =
        prepare(target, "INSERT INTO FOLDER_ITEM (SYSTEM_ID, PARENT, PARENT_LIBRARY, DOCNUMBER, "
                        "LIBRARY, DISPLAYNAME, NODE_TYPE, ISFIRST, NEXT) VALUES (?1, ?2, 0, ?3, 1, "
                        "?4, 'D', ?5, 0)");
    sqlite3_stmt *link = prepare(target, "UPDATE FOLDER_ITEM SET NEXT = ?1 WHERE SYSTEM_ID = ?2");
    sqlite3_stmt *relink =
        prepare(target, "UPDATE FOLDER_ITEM SET NEXT = ?1, ISFIRST = ?2 WHERE SYSTEM_ID = ?3");
    constexpr qint64 FirstId = 900000000;
    constexpr qint64 NewFolder = 900000000;
    QList<std::pair<QString, qint64>> byName;
    for (int i = 0; i < n; ++i) {
        const QByteArray name = documentName(i, n).toUtf8();
        sqlite3_bind_int64(insert, 1, FirstId + i);
        sqlite3_bind_int64(insert, 2, NewFolder);
        sqlite3_bind_int64(insert, 3, folder.ownDocuments[i]);
        sqlite3_bind_text(insert, 4, name.constData(), int(name.size()), SQLITE_TRANSIENT);
        sqlite3_bind_text(insert, 5, i == 0 ? "Y" : "N", 1, SQLITE_STATIC);
        sqlite3_step(insert);
        sqlite3_reset(insert);
        if (i > 0)
            run(link, {FirstId + i, FirstId + i - 1});
        byName << std::pair{documentName(i, n), FirstId + i};
    }
    std::sort(byName.begin(), byName.end());
    for (int j = 0; j < n; ++j) {
        const qint64 id = byName[j].second;
        const qint64 next = j + 1 < n ? byName[j + 1].second : 0;
        const qint64 oldNext = id - FirstId + 1 < n ? id + 1 : 0;
        if (next != oldNext || (j == 0) != (id == FirstId)) {
            sqlite3_bind_int64(relink, 1, next);
            sqlite3_bind_text(relink, 2, j == 0 ? "Y" : "N", 1, SQLITE_STATIC);
            sqlite3_bind_int64(relink, 3, id);
            sqlite3_step(relink);
            sqlite3_reset(relink);
        }
    }
    sqlite3_exec(target, "COMMIT", nullptr, nullptr, nullptr);
    for (sqlite3_stmt *statement : {insert, link, relink})
        sqlite3_finalize(statement);
    sqlite3_close(target);

    sqlite3 *source = open(installation.library(Source)->databaseFile);
    QList<qint64> rows;
    sqlite3_stmt *select =
        prepare(source, "SELECT SYSTEM_ID FROM FOLDER_ITEM WHERE PARENT = ?1 ORDER BY SYSTEM_ID");
    sqlite3_bind_int64(select, 1, folder.number);
    while (sqlite3_step(select) == SQLITE_ROW)
        rows << sqlite3_column_int64(select, 0);
    sqlite3_finalize(select);
    sqlite3_exec(source, "BEGIN", nullptr, nullptr, nullptr);
    sqlite3_stmt *remove = prepare(source, "DELETE FROM FOLDER_ITEM WHERE SYSTEM_ID = ?1");
    sqlite3_stmt *close = prepare(source, "UPDATE FOLDER_ITEM SET NEXT = 0 WHERE PARENT = ?1 AND NEXT = ?2");
    for (qsizetype i = rows.size() - 1; i >= 0; --i) {
        run(close, {folder.number, rows[i]});
        run(remove, {rows[i]});
    }
    sqlite3_exec(source, "COMMIT", nullptr, nullptr, nullptr);
    sqlite3_finalize(remove);
    sqlite3_finalize(close);
    sqlite3_close(source);
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
    qsizetype logLines = 0;
    bool ok = true;
};

Timing timeFloor(const Installation &installation, const Subject &subject, int n)
{
    Timing timing;
    QElapsedTimer timer;
    timing.cpu = cpuSeconds();
    timer.start();
    handWrittenFloor(installation, subject, n);
    timing.seconds = double(timer.nsecsElapsed()) / 1e9;
    timing.cpu = cpuSeconds() - timing.cpu;
    return timing;
}

// Moves the subject through a run of the program, with its settings and log in dir.
Timing timeMove(const QTemporaryDir &dir, const Installation &installation, const Subject &subject,
                Mover mover, bool verbose)
{
    Timing timing;
    QuietWindow window(verbose);
    auto dm = std::make_shared<LocalDm>(installation);
    Run run(dir.filePath(QStringLiteral("settings")),
            std::make_unique<LocalDmFactory>(
                dm, [&] { return std::make_shared<CountingSql>(dm, timing.statements); }),
            window);
    run.log().setConfiguredLogPath(dir.filePath(QStringLiteral("Korvel.LOG")));
    if (!run.startSession())
        throw DmError(1, QStringLiteral("move_bench"), QStringLiteral("The DM session did not start"));
    const qsizetype startLines = lineCount(run.log().currentLogFileName());
    timing.statements = 0;
    QFile traceFile(qEnvironmentVariable("MOVE_BENCH_STATEMENTS"));
    std::optional<QTextStream> trace;
    if (!traceFile.fileName().isEmpty() && traceFile.open(QIODevice::WriteOnly | QIODevice::Truncate))
        CountingSql::s_trace = &trace.emplace(&traceFile);
    QElapsedTimer timer;
    timing.cpu = cpuSeconds();
    timer.start();
    if (mover == Mover::PerLink) {
        const int made = CreateFolder(run.dm(), QStringLiteral("Bench folder"), 0, true, Target,
                                      subject.number, Source, ParentSort::Sort);
        timing.ok = made != 0;
        for (const int document : std::as_const(subject.ownDocuments))
            timing.ok = AddFolderItem(run.dm(), document, made, QStringLiteral("D"), Target, Source,
                                      ParentSort::Sort) &&
                        timing.ok;
    } else {
        timing.ok = ConvertFolder(run.dm(), subject.number, Source, Target);
    }
    timing.seconds = double(timer.nsecsElapsed()) / 1e9;
    timing.cpu = cpuSeconds() - timing.cpu;
    timing.logLines = lineCount(run.log().currentLogFileName()) - startLines;
    return timing;
}

// One case in this process; prints "RESULT seconds cpu-seconds statements log-lines peak-kB folders
// documents ok demo-seconds", the last being how long making the demo took.
int runCase(const QString &kindName, int n, bool verbose)
{
    const auto kind = std::find_if(caseKinds().cbegin(), caseKinds().cend(),
                                   [&](const CaseKind &each) { return each.name == kindName; });
    if (kind == caseKinds().cend())
        throw DmError(1, QStringLiteral("move_bench"), QStringLiteral("No case kind %1").arg(kindName));
    QTemporaryDir dir;
    dir.setAutoRemove(qEnvironmentVariableIsEmpty("MOVE_BENCH_KEEP"));
    QElapsedTimer making;
    making.start();
    const Installation installation =
        Installation::load(CreateDemoInstallation(dir.filePath(QStringLiteral("dm")), kind->demo, BenchUser));
    const double demoSeconds = double(making.nsecsElapsed()) / 1e9;
    grantFolderRightsEverywhere(installation);
    const Subject subject = kind->subject(installation, n);
    const Timing timing = kind->mover == Mover::Floor
                              ? timeFloor(installation, subject, n)
                              : timeMove(dir, installation, subject, kind->mover, verbose);
    QTextStream(stdout) << "RESULT " << timing.seconds << ' ' << timing.cpu << ' ' << timing.statements << ' '
                        << timing.logLines << ' ' << peakKilobytes() << ' ' << subject.folders << ' '
                        << subject.documents << ' ' << (timing.ok ? 1 : 0) << ' ' << demoSeconds << Qt::endl;
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
};

std::optional<Result> runChild(const QString &kind, int n, bool verbose)
{
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--case"), kind, QString::number(n),
                 verbose ? QStringLiteral("1") : QStringLiteral("0")});
    if (!child.waitForFinished(-1))
        return std::nullopt;
    for (const QString &line : QString::fromUtf8(child.readAllStandardOutput()).split(u'\n')) {
        const QStringList f = line.split(u' ');
        if (f.size() == 10 && f[0] == QStringLiteral("RESULT"))
            return Result{
                f[1].toDouble(),        f[2].toDouble(), f[3].toLongLong(), f[4].toLongLong(),
                f[5].toDouble() / 1024, f[6].toInt(),    f[7].toInt(),      f[8] == QStringLiteral("1"),
                f[9].toDouble()};
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

void row(const QStringList &cells)
{
    QString text;
    for (qsizetype i = 0; i < cells.size(); ++i)
        text += i == 0 ? cells[i].leftJustified(26) : cells[i].rightJustified(i == 1 ? 6 : 11);
    out << text << Qt::endl;
}

// The huge demo's folder and tree moved, each beside the case of the default run it is ten times.
void runHuge(const std::function<std::optional<Result>(const QString &, int, bool)> &measure)
{
    out << "The huge demo's folder of 50,000 documents and tree of 10,000 folders moved from CORPORATE to "
           "ARCHIVE, each beside its tenth; the move only is timed"
        << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("statements"), QStringLiteral("log lines"),
         QStringLiteral("peak MB"), QStringLiteral("folders/s")});
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
             r->folders > 1 ? fixed(r->folders / r->seconds, 0) : QString()});
    }
    out << Qt::endl;
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
    if (args.size() == 4 && args[0] == QStringLiteral("--case")) {
        try {
            return runCase(args[1], args[2].toInt(), args[3] == QStringLiteral("1"));
        } catch (const DmError &error) {
            QTextStream(stderr) << error.description() << Qt::endl;
            return 1;
        }
    }
    const bool full = args == QStringList{QStringLiteral("--full")};
    const bool huge = args == QStringList{QStringLiteral("--huge")};
    if (!args.isEmpty() && !full && !huge) {
        QTextStream(stderr) << "usage: move_bench [--full | --huge]" << Qt::endl;
        return 2;
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

    out << "One folder of n documents moved from CORPORATE (SQL Server) to ARCHIVE (Oracle); the move only "
           "is timed"
        << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("statements"), QStringLiteral("log lines"),
         QStringLiteral("peak MB"), QStringLiteral("growth"), QStringLiteral("cpu growth")});
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
                 growth(r->seconds, half.seconds), growth(r->cpu, half.cpu)});
        }
    }

    out << Qt::endl
        << "The hand-written floor: the same FOLDER_ITEM rows straight in SQLite, prepared, one transaction "
           "per folder"
        << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("move/floor"), QStringLiteral("cpu ratio"),
         QStringLiteral("peak MB"), QStringLiteral("growth"), QStringLiteral("cpu growth")});
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
             growth(r->seconds, half.seconds), growth(r->cpu, half.cpu)});
    }

    out << Qt::endl
        << "The per-link sort path: the folder made, then each document linked with AddFolderItem sorting "
           "after "
           "every link"
        << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("statements"), QStringLiteral("vs move"),
         QStringLiteral("peak MB"), QStringLiteral("growth"), QStringLiteral("cpu ratio")});
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
             growth(r->seconds, half.seconds), move.ok ? fixed(r->cpu / move.cpu, 1) + u'x' : QString()});
    }

    out << Qt::endl << "The large demo's biggest public tree moved from CORPORATE to ARCHIVE" << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral(""), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("docs/s"), QStringLiteral("statements"), QStringLiteral("log lines"),
         QStringLiteral("peak MB"), QStringLiteral("folders/s")});
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
             fixed(r->folders / r->seconds, 0)});
    }
    out << Qt::endl
        << "A chain of n folders, one in the other, in CORPORATE: the deepest moved to ARCHIVE, its chain "
           "made there"
        << Qt::endl;
    row({QStringLiteral("case"), QStringLiteral("n"), QStringLiteral("seconds"), QStringLiteral("cpu s"),
         QStringLiteral("levels/s"), QStringLiteral("statements"), QStringLiteral("log lines"),
         QStringLiteral("peak MB"), QStringLiteral("growth"), QStringLiteral("cpu growth")});
    for (const int n : {750, 1500, 3000}) {
        const std::optional<Result> r = measure(QStringLiteral("chain"), n, false);
        if (!r) {
            failed(QStringLiteral("chain, verbose off"), n);
            continue;
        }
        const Result half = find(QStringLiteral("chain"), n / 2, false);
        row({QStringLiteral("chain, verbose off"), QString::number(n), fixed(r->seconds, 3), fixed(r->cpu, 3),
             fixed(n / r->seconds, 0), QString::number(r->statements), QString::number(r->logLines),
             fixed(r->peakMb, 1), growth(r->seconds, half.seconds), growth(r->cpu, half.cpu)});
    }
    const Result tree = find(QStringLiteral("tree"), 0, false);
    out << Qt::endl
        << "growth: the time divided by the time at half the n. The tree: " << tree.folders << " folders, "
        << tree.documents << " documents, "
        << fixed(tree.folders ? double(tree.statements) / tree.folders : 0, 1) << " statements per folder."
        << Qt::endl;
    return 0;
}
