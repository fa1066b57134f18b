#pragma once

#include <QString>

// The database engine codes a DM library's SQL pass-through reports: 2 or 5 Oracle, 6 Sybase, any
// other non-zero value Microsoft SQL Server, 0 unknown.
constexpr int OracleEngine = 2;
constexpr int OracleEngineAlternative = 5;
constexpr int SybaseEngine = 6;
constexpr int UnknownEngine = 0;

inline bool IsOracle(int engineCode)
{
    return engineCode == OracleEngine || engineCode == OracleEngineAlternative;
}

inline bool IsSybase(int engineCode)
{
    return engineCode == SybaseEngine;
}

// The engine's name as administrators know it ("Microsoft SQL Server", "Oracle", "Sybase"); empty for
// an unknown engine.
inline QString EngineName(int engineCode)
{
    if (IsOracle(engineCode))
        return QStringLiteral("Oracle");
    if (IsSybase(engineCode))
        return QStringLiteral("Sybase");
    return engineCode == UnknownEngine ? QString() : QStringLiteral("Microsoft SQL Server");
}
