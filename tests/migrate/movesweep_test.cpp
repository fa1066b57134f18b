#include "moveworld.h"
#include "support/testbackend.h"

#include <QRegularExpression>

#include <iostream>

namespace {

// Cabinet, a public folder of LIB_SQL, holds Moved, which is moved into LIB_SYB: a document of LIB_ORA;
// Letters, a subfolder of LIB_ORA with a document of LIB_SQL; Restricted, open to MDOE alone; Shared,
// filed in Moved and in Restricted, holding a document of the target library; a document of its own.
std::unique_ptr<MoveWorld> SmallWorld()
{
    auto world = std::make_unique<MoveWorld>();
    MoveWorld &w = *world;
    const MoveWorld::Access legal{1, {{"G:LEGAL", 63}}};
    const int shared =
        w.folder("LIB_SQL", "Shared", {1, {{"G:LEGAL", 63}, {"U:O'BRIEN", 3}}}, {w.doc("LIB_SYB", "Note")});
    const int restricted = w.folder("LIB_SQL", "Restricted", {1, {{"U:MDOE", 127}}},
                                    {w.doc("LIB_SQL", "Secret"), {"LIB_SQL", shared}});
    const int letters =
        w.folder("LIB_ORA", "Letters", legal, {w.doc("LIB_SQL", "Reply"), w.doc("LIB_ORA", "Draft")});
    const int moved = w.folder("LIB_SQL", "Moved", {1, {{"U:MDOE", 127}, {"G:LEGAL", 63}}},
                               {w.doc("LIB_ORA", "Offer"),
                                {"LIB_ORA", letters},
                                {"LIB_SQL", restricted},
                                {"LIB_SQL", shared},
                                w.doc("LIB_SQL", "Memo")});
    w.folder("LIB_SQL", "Cabinet", legal, {{"LIB_SQL", moved}}, true);
    w.plantedTree(moved);
    return world;
}

// A run with a planted failure, then one without, on a copy of the world: what both leave must hold.
class SweepPoint {
public:
    explicit SweepPoint(MoveWorld &world) : m_world(world), m_copy(world.installation()) {}

    // The move with a failure planted; true when it moved the folder all the same.
    bool move(const QString &faults)
    {
        MoveRun run(m_copy, faults);
        const bool moved = run.move(m_world.moved());
        const QStringList log = run.logLines();
        if (!moved && std::none_of(log.cbegin(), log.cend(),
                                   [](const QString &line) { return line.startsWith("Error:"); }))
            m_broken << "the failure went unreported";
        m_broken << run.brokenInvariants(m_world);
        return moved;
    }

    // The move with a library's connection lost at a planted statement: that run's connections are gone,
    // so a run of its own checks the libraries. A folder half made when the connection went may stand
    // open, as the DM makes every new profile, until the next run finds it: what the move must keep is
    // judged after that run, by moveAgain().
    bool moveLosingConnection(const QString &faults)
    {
        bool moved = false;
        {
            MoveRun run(m_copy, faults);
            run.answerEveryQuestionNo();
            moved = run.move(m_world.moved());
            const QStringList log = run.logLines();
            if (!moved && std::none_of(log.cbegin(), log.cend(),
                                       [](const QString &line) { return line.startsWith("Error:"); }))
                m_broken << "the lost connection went unreported";
            // The loss is told once: the step it broke may say why, then the folder stops with no more
            // work sent, so no sorting, linking or removal piles up lines of the same cause.
            const QStringList errors = log.filter(QRegularExpression("^Error:"));
            const auto stop = std::find_if(errors.cbegin(), errors.cend(),
                                           [](const QString &line) { return line.contains(" stops: "); });
            if (errors.size() > 6 || (stop != errors.cend() && stop + 1 != errors.cend()))
                m_broken << "the lost connection flooded the log: " + errors.join(" | ");
        }
        m_broken << MoveRun(m_copy, {}).violations();
        return moved;
    }

    // The same move again, without failures; true when it moved the folder.
    bool moveAgain()
    {
        MoveRun run(m_copy, {});
        const bool moved = run.move(m_world.moved());
        m_broken << run.brokenInvariants(m_world);
        m_state = run.state();
        return moved;
    }

    const WorldCopy &copy() const { return m_copy; }
    const QStringList &broken() const { return m_broken; }
    const QStringList &state() const { return m_state; }

private:
    MoveWorld &m_world;
    WorldCopy m_copy;
    QStringList m_broken;
    QStringList m_state;
};

// The calls of one kind that a clean move makes, counted from the start of its session, and the state
// it leaves.
struct CleanMove {
    qint64 first = 0;
    qint64 last = 0;
    QStringList state;
};

CleanMove MoveCleanly(MoveWorld &world, FaultKind kind)
{
    CleanMove clean;
    WorldCopy copy(world.installation());
    MoveRun run(copy, {});
    clean.first = run.calls(kind);
    EXPECT_TRUE(run.move(world.moved())) << run.logLines().join(u'\n').toStdString();
    clean.last = run.calls(kind);
    EXPECT_EQ(run.brokenInvariants(world), QStringList());
    clean.state = run.state();
    return clean;
}

// A failure at one call of a kind, or from that call to the end of the run, as a full disk or a lost
// connection fails (a full disk fails the saves that would remove a half-made folder too).
struct Failure {
    FaultKind kind;
    bool persists = false;
};

class MoveSweep : public testing::TestWithParam<Failure> {
protected:
    static void SetUpTestSuite() { s_world = SmallWorld(); }
    static void TearDownTestSuite() { s_world.reset(); }

    static std::unique_ptr<MoveWorld> s_world;
};

std::unique_ptr<MoveWorld> MoveSweep::s_world;

// The lines of one state that the other lacks, marked, to show where two states part.
QString difference(const QStringList &got, const QStringList &expected)
{
    QStringList lines;
    for (const QString &line : got)
        if (!expected.contains(line))
            lines << "+ " + line;
    for (const QString &line : expected)
        if (!got.contains(line))
            lines << "- " + line;
    return lines.join(u'\n');
}

} // namespace

// A failure planted at each call of one kind that a clean move of the tree makes, failing that call or
// every call from it on: whatever the move did, no document is left unfiled, no folder of the tree left
// without a parent, no folder of the target more open than its source, the library check is clean, and
// the same move run again ends as a clean move.
TEST_P(MoveSweep, EveryFailurePointIsSafeAndARerunEndsAsACleanMove)
{
    const Failure failure = GetParam();
    const FaultKind kind = failure.kind;
    const CleanMove clean = MoveCleanly(*s_world, kind);
    ASSERT_GT(clean.last, clean.first);
    int failed = 0;
    int tried = 0;
    for (qint64 call = clean.first + 1; call <= clean.last; call += SweepStride(), ++tried) {
        const QString faults = failure.persists ? FaultFrom(kind, call) : FaultAt(kind, call);
        SCOPED_TRACE(faults.toStdString());
        SweepPoint point(*s_world);
        const bool moved = point.move(faults);
        failed += moved ? 0 : 1;
        // A move that completed despite the failure leaves no source to move again.
        EXPECT_EQ(point.moveAgain(), !moved);
        EXPECT_EQ(point.broken(), QStringList());
        EXPECT_EQ(point.state(), clean.state) << difference(point.state(), clean.state).toStdString();
    }
    std::cout << testing::UnitTest::GetInstance()->current_test_info()->name() << ": " << tried << " of "
              << (clean.last - clean.first) << " failure points tried, " << failed
              << " of them stopped the move\n";
    EXPECT_GT(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, MoveSweep, testing::ValuesIn([] {
                             QList<Failure> failures;
                             for (const FaultKind kind : FailingFaultKinds)
                                 failures << Failure{kind} << Failure{kind, true};
                             return failures;
                         }()),
                         [](const testing::TestParamInfo<Failure> &info) {
                             return FaultKindName(info.param.kind).toStdString() +
                                    (info.param.persists ? "_onwards" : "");
                         });

namespace {

// Moved holds four subfolders, of LIB_SQL and LIB_ORA by turns and each open to other people, with
// documents of all three libraries and a subfolder of their own; a fifth is filed in two of them.
std::unique_ptr<MoveWorld> LargerWorld()
{
    auto world = std::make_unique<MoveWorld>();
    MoveWorld &w = *world;
    const QList<MoveWorld::Access> accesses = {{1, {{"G:LEGAL", 63}}},
                                               {1, {{"U:MDOE", 127}}},
                                               {1, {{"U:O'BRIEN", 3}, {"G:LEGAL", 63}}},
                                               {1, {{"U:MDOE", 127}, {"U:O'BRIEN", 63}}}};
    const std::pair<QString, int> twice{
        "LIB_SQL",
        w.folder("LIB_SQL", "Twice", accesses[0], {w.doc("LIB_ORA", "t1"), w.doc("LIB_SQL", "t2")})};
    QList<std::pair<QString, int>> subfolders;
    for (int i = 0; i < 4; ++i) {
        const QString n = QString::number(i);
        const QString library = i % 2 ? "LIB_ORA" : "LIB_SQL";
        QList<std::pair<QString, int>> items;
        for (const QString in : {"LIB_SQL", "LIB_ORA", "LIB_SYB"})
            items << w.doc(in, "Paper " + n + " of " + in);
        items << std::pair<QString, int>{
            library, w.folder(library, "Deep " + n, accesses[(i + 1) % 4],
                              {w.doc("LIB_SQL", "Deep paper " + n), w.doc(library, "Deep note " + n)})};
        if (i < 2)
            items << twice;
        subfolders << std::pair<QString, int>{library, w.folder(library, "Part " + n, accesses[i], items)};
    }
    subfolders << w.doc("LIB_SQL", "Cover");
    const int moved = w.folder("LIB_SQL", "Moved", {1, {{"U:MDOE", 127}, {"G:LEGAL", 63}}}, subfolders);
    w.folder("LIB_SQL", "Cabinet", accesses[0], {{"LIB_SQL", moved}}, true);
    w.plantedTree(moved);
    return world;
}

// Samples calls spread evenly over those of a clean move, first and last included.
QList<qint64> SampledCalls(const CleanMove &clean, int samples)
{
    const qint64 span = clean.last - clean.first;
    EXPECT_GE(span, samples);
    QList<qint64> calls;
    for (int i = 0; i < samples; ++i)
        calls << clean.first + 1 + (span - 1) * i / (samples - 1);
    return calls;
}

} // namespace

// A move ended abruptly, as a kill ends it, at statements spread over the whole move: the libraries pass
// the check, and the same move run again keeps every invariant and ends as a clean move.
TEST(MoveCrash, AMoveEndedAtAnyStatementIsFinishedByASecondRun)
{
    const std::unique_ptr<MoveWorld> world = LargerWorld();
    const CleanMove clean = MoveCleanly(*world, FaultKind::Exit);
    const qint64 span = clean.last - clean.first;
    QStringList points;
    for (const qint64 at : SampledCalls(clean, 24 / SweepStride())) {
        points << QString::number(at - clean.first);
        SCOPED_TRACE("exit at statement " + std::to_string(at - clean.first));
        SweepPoint point(*world);
        EXPECT_EXIT(point.move("exit:" + QString::number(at)), testing::ExitedWithCode(PlantedExitCode), "");
        EXPECT_EQ(MoveRun(point.copy(), {}).violations(), QStringList());
        EXPECT_TRUE(point.moveAgain());
        EXPECT_EQ(point.broken(), QStringList());
        EXPECT_EQ(point.state(), clean.state) << difference(point.state(), clean.state).toStdString();
    }
    std::cout << "The move of " << span << " statements ended at statements "
              << points.join(", ").toStdString() << "\n";
}

// A library's connection lost, as when its server stops or the session is killed, at statements spread over
// the move: the move reports it, nothing is lost or widened, and the same move run again (a new process,
// connected anew) ends as a clean move.
TEST(MoveLost, AConnectionLostAtAnyStatementIsReportedAndFinishedByASecondRun)
{
    const std::unique_ptr<MoveWorld> world = LargerWorld();
    const CleanMove clean = MoveCleanly(*world, FaultKind::Lost);
    for (const qint64 at : SampledCalls(clean, 8)) {
        SCOPED_TRACE("connection lost at statement " + std::to_string(at - clean.first));
        SweepPoint point(*world);
        const bool moved = point.moveLosingConnection(FaultAt(FaultKind::Lost, at));
        EXPECT_EQ(point.moveAgain(), !moved);
        EXPECT_EQ(point.broken(), QStringList());
        EXPECT_EQ(point.state(), clean.state) << difference(point.state(), clean.state).toStdString();
    }
}
