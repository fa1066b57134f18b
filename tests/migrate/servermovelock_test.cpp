#include "localdm/store/servermovelock.h"
#include "migrate/movelock.h"

#include <QCoreApplication>
#include <QTemporaryDir>

#include <libpq-fe.h>

#include <gtest/gtest.h>

namespace {

// Whether the statement, given its parameter, succeeds, and answers true when it answers.
bool runs(pg_conn *connection, const QByteArray &statement, const QByteArray &parameter = {})
{
    const char *value = parameter.constData();
    PGresult *result = PQexecParams(connection, statement.constData(), parameter.isNull() ? 0 : 1, nullptr,
                                    &value, nullptr, nullptr, 0);
    const ExecStatusType status = PQresultStatus(result);
    const bool yes =
        status == PGRES_COMMAND_OK || (status == PGRES_TUPLES_OK && PQgetvalue(result, 0, 0)[0] == 't');
    PQclear(result);
    return yes;
}

QList<LibraryLockMaker> serverLocks(const QList<LibraryConfig> &libraries)
{
    Installation installation;
    installation.libraries = libraries;
    return ServerMoveLocks(installation);
}

// A library database of its own on the server KORVEL_TEST_POSTGRESQL names; skipped without one.
class ServerMoveLockTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        if (qEnvironmentVariableIsEmpty("KORVEL_TEST_POSTGRESQL"))
            GTEST_SKIP() << "KORVEL_TEST_POSTGRESQL names no server";
        m_library.name = "CORPORATE";
        m_library.connection = qEnvironmentVariable("KORVEL_TEST_POSTGRESQL");
        m_admin = ConnectToServer(m_library, "postgres");
        ASSERT_TRUE(runs(m_admin.get(), "CREATE DATABASE " + m_database));
        m_library.connection += " dbname=" + m_database;
    }
    void TearDown() override
    {
        if (m_admin)
            runs(m_admin.get(), "DROP DATABASE IF EXISTS " + m_database + " WITH (FORCE)");
    }
    // The library twice, as two libraries naming one database would: they meet one lock.
    QList<LibraryLockMaker> server() const { return serverLocks({m_library, m_library}); }

    QByteArray m_database = "korvel_move_lock_" + QByteArray::number(QCoreApplication::applicationPid());
    LibraryConfig m_library;
    ServerConnection m_admin;
    QTemporaryDir m_dir;
};

} // namespace

// A second taker of a server library's lock, beside a file library's, after a holder that stays, ends
// its move, or loses its session.
TEST_F(ServerMoveLockTest, SecondTaker)
{
    using enum MoveLock::Outcome;
    using Mode = MoveLock::Mode;
    enum class End { Stays, Releases, LosesItsSession };
    struct Case {
        const char *name;
        Mode held;
        End end;
        Mode mode;
        MoveLock::Outcome outcome;
        QString said; // part of holder(), or of the interrupted moves after Taken
    };
    const QString holder = "process " + QString::number(QCoreApplication::applicationPid()) + " of user ";
    const QList<Case> cases = {
        {"a move", Mode::Exclusive, End::Stays, Mode::Exclusive, Held, holder},
        {"a move, to a preview", Mode::Exclusive, End::Stays, Mode::Shared, Held, holder},
        {"a preview", Mode::Shared, End::Stays, Mode::Exclusive, Held,
         "a preview of a move, which only reads"},
        {"a preview, to a preview", Mode::Shared, End::Stays, Mode::Shared, Taken, {}},
        {"a move that ended", Mode::Exclusive, End::Releases, Mode::Exclusive, Taken, {}},
        {"a move whose session ended", Mode::Exclusive, End::LosesItsSession, Mode::Shared, Taken,
         "move-folder CORPORATE 1001 ARCHIVE by "},
    };
    const QString file = m_dir.filePath("lib.db");
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        MoveLock other({}, server());
        ASSERT_EQ(other.acquire(c.held, "move-folder CORPORATE 1001 ARCHIVE"), Taken);
        if (c.end == End::Releases)
            other.release();
        if (c.end == End::LosesItsSession) {
            ASSERT_TRUE(runs(m_admin.get(),
                             "SELECT bool_and(pg_terminate_backend(pid, 60000)) FROM pg_locks WHERE "
                             "locktype = 'advisory' AND database = "
                             "(SELECT oid FROM pg_database WHERE datname = $1)",
                             m_database));
        }
        MoveLock ours({file}, server());
        EXPECT_EQ(ours.acquire(c.mode, "move-folder LIB 7 CORPORATE"), c.outcome);
        const QString said = c.outcome == Taken ? ours.interrupted().join('|') : ours.holder();
        EXPECT_EQ(said.isEmpty(), c.said.isEmpty()) << said.toStdString();
        EXPECT_TRUE(said.contains(c.said)) << said.toStdString();
        if (c.outcome == Held) { // the lock file taken before the refusal is free again
            EXPECT_EQ(MoveLock({file}).acquire(Mode::Exclusive, "probe"), Taken);
        }
    }
}

// Runs without a server: the one named cannot be reached.
TEST(ServerMoveLockUnreachable, FailsNamingTheLibraryAndServer)
{
    LibraryConfig library;
    library.name = "CORPORATE";
    library.connection = "host=/nonexistent/korvel dbname=dm_corporate";
    MoveLock lock({}, serverLocks({library}));
    EXPECT_EQ(lock.acquire(MoveLock::Mode::Exclusive, "move-folder CORPORATE 1001 ARCHIVE"),
              MoveLock::Outcome::Failed);
    EXPECT_TRUE(
        lock.holder().startsWith("Library CORPORATE (host /nonexistent/korvel, database dm_corporate): "
                                 "cannot connect to the server: "))
        << lock.holder().toStdString();
}

// The server's warnings (a DBA's trigger on the details table) never reach the terminal raw.
TEST_F(ServerMoveLockTest, TheServersWarningsDoNotReachTheTerminal)
{
    MoveLock lock({}, server());
    ASSERT_EQ(lock.acquire(MoveLock::Mode::Exclusive, "move"), MoveLock::Outcome::Taken);
    const ServerConnection library = ConnectToServer(m_library);
    ASSERT_TRUE(runs(library.get(), "CREATE FUNCTION warn() RETURNS trigger LANGUAGE plpgsql AS $$BEGIN "
                                    "RAISE WARNING 'watched'; RETURN NEW; END$$"));
    ASSERT_TRUE(runs(library.get(), "CREATE TRIGGER warn BEFORE INSERT ON korvel_move_lock FOR EACH ROW "
                                    "EXECUTE FUNCTION warn()"));
    testing::internal::CaptureStderr();
    EXPECT_EQ(lock.acquire(MoveLock::Mode::Exclusive, "move"), MoveLock::Outcome::Taken);
    EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}
