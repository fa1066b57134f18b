#pragma once

#include "installationbuilder.h"

#include "dm/dmcontext.h"
#include "dmapi/dmerror.h"
#include "localdm/localdmfactory.h"
#include "localdm/sql/localsql.h"
#include "support/fakewindow.h"
#include "support/testenvironment.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <optional>

// The local pass-through with what a real server can do and the local one does not scripted on
// top: a status, error number or description of its own, a statement that takes seconds, a runtime
// failure. Everything else is the real LocalSql.
class ScriptedSql : public LocalSql {
public:
    ScriptedSql(std::shared_ptr<LocalDm> dm, QDateTime &clock) : LocalSql(std::move(dm)), m_clock(clock) {}

    qint32 execute(const QString &statement) override
    {
        sent << statement;
        const qint32 status = LocalSql::execute(statement);
        m_clock = m_clock.addSecs(delaySeconds);
        return forcedStatus.value_or(status);
    }
    qint32 errorNumber() const override { return forcedNumber.value_or(LocalSql::errorNumber()); }
    QString errorDescription() const override
    {
        return forcedDescription.value_or(LocalSql::errorDescription());
    }
    qint64 rowsAffected() const override
    {
        if (failReadingRows)
            throw DmError(13, QStringLiteral("PCDClient.PCDSQL"), QStringLiteral("Type mismatch"));
        return LocalSql::rowsAffected();
    }

    QStringList sent;
    std::optional<qint32> forcedStatus;
    std::optional<qint32> forcedNumber;
    std::optional<QString> forcedDescription;
    int delaySeconds = 0;
    bool failReadingRows = false;

private:
    QDateTime &m_clock;
};

// A DM session on a real local DM installation of three libraries, one per personality (LIB_SQL:
// SQL Server, current and primary; LIB_ORA: Oracle with unique document names; LIB_SYB: Sybase on an
// old server with QUOTED_IDENTIFIER off), driven through the fake window with verbose logging.
class SessionFixture : public testing::Test {
protected:
    SessionFixture();

    // Starts the session as start-up does; fails the test when it does not start.
    void start();
    // The lines of today's log, and those written since the last call of this function.
    QStringList logLines() const;
    QStringList newLogLines();
    // The statements the last SQL pass-through object was handed.
    QStringList sent() const { return lastSql ? lastSql->sent : QStringList(); }

    QTemporaryDir dir;
    InstallationBuilder builder;
    FakeWindow window;
    QDateTime now{QDate(2026, 3, 5), QTime(14, 7, 9)};
    ActivityLog log{window, [this] { return now; }};
    SettingsStore store{dir.filePath(QStringLiteral("settings"))};
    SavedSettings settings{store};
    std::shared_ptr<LocalDm> localDm;
    std::shared_ptr<ScriptedSql> lastSql;
    std::unique_ptr<LocalDmFactory> factory;
    DmSession session;
    LibraryConnection connection;
    std::unique_ptr<DmContext> dm;

private:
    qsizetype m_seenLines = 0;
};
