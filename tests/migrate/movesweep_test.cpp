#include "moveworld.h"

#include <QRegularExpression>

#include <array>
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

struct Kind {
    FaultKind kind;
    const char *text;
};

// One run with a planted failure, then one without: what both leave must hold.
class SweepPoint {
public:
    SweepPoint(MoveWorld &world, const QString &faults) : m_world(world), m_copy(world.installation())
    {
        MoveRun run(m_copy, faults);
        m_moved = run.move(world.moved());
        const QStringList log = run.logLines();
        if (!m_moved && std::none_of(log.cbegin(), log.cend(),
                                     [](const QString &line) { return line.startsWith("Error:"); }))
            m_broken << "the failure went unreported";
        m_broken << run.brokenInvariants(world);
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

    bool moved() const { return m_moved; }
    const QStringList &broken() const { return m_broken; }
    const QStringList &state() const { return m_state; }

private:
    MoveWorld &m_world;
    WorldCopy m_copy;
    bool m_moved = false;
    QStringList m_broken;
    QStringList m_state;
};

class MoveSweep : public testing::TestWithParam<Kind> {
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

// A failure planted at each call of one kind that a clean move of the tree makes: whatever the move did,
// no document is left unfiled, no folder of the tree left without a parent, no folder of the target more
// open than its source, the library check is clean, and the same move run again ends as a clean move.
TEST_P(MoveSweep, EveryFailurePointIsSafeAndARerunEndsAsACleanMove)
{
    const Kind kind = GetParam();
    qint64 first = 0;
    qint64 last = 0;
    QStringList clean;
    {
        WorldCopy copy(s_world->installation());
        MoveRun run(copy, {});
        first = run.calls(kind.kind);
        ASSERT_TRUE(run.move(s_world->moved())) << run.logLines().join(u'\n').toStdString();
        last = run.calls(kind.kind);
        EXPECT_EQ(run.brokenInvariants(*s_world), QStringList());
        clean = run.state();
    }
    ASSERT_GT(last, first);
    int failed = 0;
    for (qint64 call = first + 1; call <= last; ++call) {
        const QString faults = QString::fromUtf8(kind.text) + u':' + QString::number(call);
        SCOPED_TRACE(faults.toStdString());
        SweepPoint point(*s_world, faults);
        failed += point.moved() ? 0 : 1;
        // A move that completed despite the failure leaves no source to move again.
        EXPECT_EQ(point.moveAgain(), !point.moved());
        EXPECT_EQ(point.broken(), QStringList());
        EXPECT_EQ(point.state(), clean) << difference(point.state(), clean).toStdString();
    }
    std::cout << kind.text << ": " << (last - first) << " failure points tried, " << failed
              << " of them stopped the move\n";
    EXPECT_GT(failed, 0);
}

INSTANTIATE_TEST_SUITE_P(EveryKind, MoveSweep,
                         testing::Values(Kind{FaultKind::Sql, "sql"}, Kind{FaultKind::Open, "open"},
                                         Kind{FaultKind::Save, "save"}, Kind{FaultKind::Add, "add"},
                                         Kind{FaultKind::Remove, "remove"},
                                         Kind{FaultKind::Delete, "delete"}),
                         [](const testing::TestParamInfo<Kind> &info) {
                             return std::string(info.param.text);
                         });
