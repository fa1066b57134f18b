#include "localdm/faultplan.h"

#include "dmapi/dmerror.h"

#include <QStringList>

#include <array>

namespace {
const std::array<std::pair<const char *, FaultKind>, 8> Kinds = {{{"sql", FaultKind::Sql},
                                                                  {"open", FaultKind::Open},
                                                                  {"save", FaultKind::Save},
                                                                  {"add", FaultKind::Add},
                                                                  {"remove", FaultKind::Remove},
                                                                  {"delete", FaultKind::Delete},
                                                                  {"exit", FaultKind::Exit},
                                                                  {"lost", FaultKind::Lost}}};
}

QString FaultKindName(FaultKind kind)
{
    const auto entry =
        std::find_if(Kinds.begin(), Kinds.end(), [&](const auto &e) { return e.second == kind; });
    return QLatin1String(entry->first);
}

QString FaultAt(FaultKind kind, qint64 call)
{
    return FaultKindName(kind) + u':' + QString::number(call);
}

QString FaultFrom(FaultKind kind, qint64 call)
{
    return FaultAt(kind, call) + u'+';
}

FaultPlan FaultPlan::parse(const QString &text)
{
    FaultPlan plan;
    for (const QString &item : text.split(u',')) {
        if (item.trimmed().isEmpty())
            continue;
        const QStringList parts = item.trimmed().split(u':');
        bool ok = parts.size() == 2;
        QString call = ok ? parts[1].trimmed() : QString();
        const bool persists = call.endsWith(u'+');
        if (persists)
            call = call.chopped(1).trimmed();
        const qint64 at = ok ? call.toLongLong(&ok) : 0;
        const auto kind = std::find_if(Kinds.begin(), Kinds.end(), [&](const auto &entry) {
            return ok && parts[0].trimmed().compare(QLatin1String(entry.first), Qt::CaseInsensitive) == 0;
        });
        if (!ok || at < 1 || kind == Kinds.end())
            throw DmError(
                1003, QStringLiteral("Local DM"),
                QStringLiteral(
                    "Bad fault \"%1\": expected sql, open, save, add, remove, delete or exit, a colon "
                    "and a call number from 1, with a + after it to fail every call from there on")
                    .arg(item.trimmed()));
        const int planted = int(kind->second);
        if (!persists)
            plan.m_planted.insert(planted, at);
        else if (!plan.m_failingFrom.contains(planted) || plan.m_failingFrom.value(planted) > at)
            plan.m_failingFrom.insert(planted, at);
    }
    return plan;
}

bool FaultPlan::failsNow(FaultKind kind)
{
    const qint64 call = ++m_calls[int(kind)];
    const auto from = m_failingFrom.constFind(int(kind));
    return (from != m_failingFrom.cend() && call >= *from) || m_planted.contains(int(kind), call);
}
