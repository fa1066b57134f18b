#pragma once

#include "dmapi/dmapi.h"

#include <QHash>

#include <memory>

struct DmSession;

// The session's SQL pass-through together with what it was bound to: the library and the database
// engine code the object reported for it. Only create() and bindLibrary() bind, so the engine code and
// the library can never belong to another object than the one held. Copies share the DM object.
class PassThrough {
public:
    // Replaces the held object by a fresh, unbound one from the factory; false (and nothing held) when
    // the factory cannot create one.
    bool create(DmFactory &factory);
    void bindToken(const QString &securityToken);
    // Binds the object to the library and takes over the engine code it reports there.
    void bindLibrary(const QString &library);
    void reset();

    explicit operator bool() const { return bool(m_sql); }
    DmSql *operator->() const { return m_sql.get(); }
    const std::shared_ptr<DmSql> &object() const { return m_sql; }

    // 2 or 5 Oracle, 6 Sybase, other non-zero Microsoft SQL Server, 0 unknown; kept when the object goes,
    // as the dialect of the library last bound.
    int engineCode() const { return m_engineCode; }
    // For a library whose pass-through reports no engine and whose engine was read by SQL instead.
    void setEngineCode(int code) { m_engineCode = code; }
    // Empty while the object is bound to no library.
    QString library() const { return m_library; }
    bool isBoundTo(const QString &library) const;
    // The security token the object was bound with.
    QString token() const { return m_token; }

    // Told of every statement sent through the object, to know whether its session may hold a
    // transaction: one begun and not yet ended, or on Oracle any change since the last commit. A failed
    // change counts as one that may have begun a transaction.
    void noteSent(const QString &statement, bool succeeded);
    bool mayHoldTransaction() const { return m_transactionDepth > 0; }

    bool operator==(const PassThrough &other) const = default;

private:
    std::shared_ptr<DmSql> m_sql;
    int m_engineCode = 0;
    QString m_library;
    QString m_token;
    int m_transactionDepth = 0;
};

// While one lives, a library switch keeps the pass-through of the library it leaves, unless its session
// may hold a transaction, and a switch back takes it up again: the session's settings (the date format)
// are sent once per library, not once per switch. The kept objects are released when it ends, so a
// command's sessions end with the command.
class PassThroughKeeping {
public:
    explicit PassThroughKeeping(DmSession &session);
    ~PassThroughKeeping();
    PassThroughKeeping(const PassThroughKeeping &) = delete;
    PassThroughKeeping &operator=(const PassThroughKeeping &) = delete;

private:
    DmSession &m_session;
    bool m_outer;
};
