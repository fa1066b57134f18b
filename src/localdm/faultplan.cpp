#include "localdm/faultplan.h"

#include "dmapi/dmerror.h"

#include <QStringList>

#include <array>

namespace {
const std::array<std::pair<const char *, FaultKind>, 7> Kinds = {{{"sql", FaultKind::Sql},
                                                                  {"open", FaultKind::Open},
                                                                  {"save", FaultKind::Save},
                                                                  {"add", FaultKind::Add},
                                                                  {"remove", FaultKind::Remove},
                                                                  {"delete", FaultKind::Delete},
                                                                  {"exit", FaultKind::Exit}}};
}

QString FaultKindName(FaultKind kind)
{
    const auto entry = std::find_if(Kinds.begin(), Kinds.end(), [&](const auto &e) { return e.second == kind; });
    return QLatin1String(entry->first);
}

QString FaultAt(FaultKind kind, qint64 call)
{
    return FaultKindName(kind) + u':' + QString::number(call);
}

FaultPlan FaultPlan::parse(const QString &text)
{
    FaultPlan plan;
    for (const QString &item : text.split(u',')) {
        if (item.trimmed().isEmpty())
            continue;
        const QStringList parts = item.trimmed().split(u':');
        bool ok = parts.size() == 2;
        const qint64 at = ok ? parts[1].trimmed().toLongLong(&ok) : 0;
        const auto kind = std::find_if(Kinds.begin(), Kinds.end(), [&](const auto &entry) {
            return ok && parts[0].trimmed().compare(QLatin1String(entry.first), Qt::CaseInsensitive) == 0;
        });
        if (!ok || at < 1 || kind == Kinds.end())
            throw DmError(
                1003, QStringLiteral("Local DM"),
                QStringLiteral(
                    "Bad fault \"%1\": expected sql, open, save, add, remove, delete or exit, a colon "
                    "and a call number from 1")
                    .arg(item.trimmed()));
        plan.m_planted.insert(int(kind->second), at);
    }
    return plan;
}

bool FaultPlan::failsNow(FaultKind kind)
{
    const qint64 call = ++m_calls[int(kind)];
    return !m_planted.isEmpty() && m_planted.contains(int(kind), call);
}
