#include "migratefixture.h"

#include "localdm/tools/librarycheck.h"
#include "log/logfilename.h"

#include <QSet>

QList<MigrateFixture::ListRow> MigrateFixture::rows(const QString &library, int folder)
{
    QList<ListRow> result;
    for (const QVariantList &row :
         builder.db(library).query("SELECT SYSTEM_ID, DISPLAYNAME, ISFIRST, NEXT FROM FOLDER_ITEM WHERE "
                                   "PARENT = ?1 ORDER BY SYSTEM_ID",
                                   {folder}))
        result << ListRow{row[0].toLongLong(), row[1].toString(), row[2].toString(), row[3].toLongLong()};
    return result;
}

QStringList MigrateFixture::order(const QString &library, int folder)
{
    const QList<ListRow> all = rows(library, folder);
    QStringList names;
    const auto firsts =
        std::count_if(all.cbegin(), all.cend(), [](const ListRow &r) { return r.isFirst == "Y"; });
    if (firsts != 1)
        return all.isEmpty() ? names : QStringList{"broken: " + QString::number(firsts) + " first rows"};
    QSet<qint64> seen;
    auto at = std::find_if(all.cbegin(), all.cend(), [](const ListRow &r) { return r.isFirst == "Y"; });
    while (at != all.cend() && !seen.contains(at->systemId)) {
        seen.insert(at->systemId);
        names << at->displayName;
        const qint64 next = at->next;
        at = next == 0 ? all.cend() : std::find_if(all.cbegin(), all.cend(), [&](const ListRow &r) {
            return r.systemId == next;
        });
    }
    if (seen.size() != all.size())
        names << "broken: " + QString::number(all.size() - seen.size()) + " rows not reached";
    return names;
}

int MigrateFixture::folderWith(const QString &library, const QStringList &names)
{
    const int folder = builder.addFolder(library, "Holder");
    for (const QString &name : names)
        builder.link(library, folder, library, builder.addDocument(library, name));
    return folder;
}

bool MigrateFixture::holds(const QString &library, int parent, int item, const QString &itemLibrary)
{
    return builder.db(library)
               .scalar(
                   "SELECT COUNT(*) FROM FOLDER_ITEM WHERE PARENT = ?1 AND DOCNUMBER = ?2 AND LIBRARY = ?3",
                   {parent, item, builder.remoteId(library, itemLibrary.isEmpty() ? library : itemLibrary)})
               .toInt() > 0;
}

void MigrateFixture::plant(const QString &faults)
{
    localDm->faults() = FaultPlan::parse(faults);
}

QStringList MigrateFixture::violations()
{
    return LibraryCheck(*localDm).violations();
}

QStringList MigrateFixture::startingWith(const QStringList &lines, const QString &prefix)
{
    QStringList found;
    for (const QString &line : lines)
        if (line.startsWith(prefix))
            found << line;
    return found;
}

QString MigrateFixture::logged(const QString &line) const
{
    for (const QString prefix : {"Error:", "Warning:"})
        if (line.startsWith(prefix))
            return prefix + " (" + LogTimeStamp(now) + ' ' + line.mid(prefix.size()).trimmed();
    return line;
}
