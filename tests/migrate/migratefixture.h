#pragma once

#include "sessionfixture.h"

// A started session on the three-engine installation (LIB_SQL current) with what the folder step
// tests read back: display lists as stored, planted faults counted from now, and the library check.
class MigrateFixture : public SessionFixture {
protected:
    struct ListRow {
        qint64 systemId;
        QString displayName;
        QString isFirst;
        qint64 next;
        bool operator==(const ListRow &) const = default;
    };

    void SetUp() override { start(); }

    // The folder's FOLDER_ITEM rows as stored, in SYSTEM_ID order.
    QList<ListRow> rows(const QString &library, int folder);
    // The display names along the folder's ISFIRST/NEXT list; a list that does not reach every row
    // once, from a single first row, is marked broken.
    QStringList order(const QString &library, int folder);
    // A folder of the library holding new documents of that library, linked in the order given.
    int folderWith(const QString &library, const QStringList &names);
    // Whether the library holds a FOLDER_ITEM row of the item of itemLibrary (by default its own) under
    // the parent.
    bool holds(const QString &library, int parent, int item, const QString &itemLibrary = {});
    // Replaces the planted faults; their calls are counted from now.
    void plant(const QString &faults);
    // The library check over every library; empty when all is well.
    QStringList violations();
    // A line as the log writes it: "Error:" and "Warning:" lines get the time stamp.
    QString logged(const QString &line) const;
    static QStringList startingWith(const QStringList &lines, const QString &prefix);
    bool slotsEmpty() const { return !session.sharedFolder && !session.sharedProfile; }
    QString current() const { return session.currentLibrary ? session.currentLibrary->name() : QString(); }
};
