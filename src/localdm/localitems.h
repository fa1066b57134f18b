#pragma once

#include "dmapi/dmapi.h"

#include <QList>

class LocalDm;

// One entry of a folder's contents or of a profile's containing folders, with the FOLDER_ITEM row
// that makes it: removing the entry deletes that row.
struct LocalItemEntry {
    int docNumber = 0;
    QString name;
    QString libraryName;
    // Where the FOLDER_ITEM row lives: the library of the containing folder.
    QString rowLibrary;
    qint64 rowId = 0;
};

class LocalItem : public DmItem {
public:
    explicit LocalItem(LocalItemEntry entry) : m_entry(std::move(entry)) {}

    int documentNumber() const override { return m_entry.docNumber; }
    QString name() const override { return m_entry.name; }
    QString libraryName() const override { return m_entry.libraryName; }

private:
    LocalItemEntry m_entry;
};

// A snapshot of a folder's contents (in display order) or of the folders that contain a profile,
// taken when the collection is asked for. Removals are marked and reach the libraries together at
// finish(), one transaction per library; the snapshot shows every entry until then.
//
// A planted "remove" fault makes remove() raise DmError. Database failures raise DmError; a failing
// finish() leaves the libraries it has not committed yet as they were, their entries still marked.
class LocalItemCollection : public DmItemCollection {
public:
    enum class Contents { All, Documents, Folders };

    // The items of a folder: its FOLDER_ITEM rows, documents ('D') or subfolders ('F') or both.
    static std::shared_ptr<LocalItemCollection>
    contents(std::shared_ptr<LocalDm> dm, const QString &libraryName, int folder, Contents which);
    // The folders of every library of the installation that hold the profile: a library holds it
    // when one of its FOLDER_ITEM rows names the document number under the id its REMOTE_LIBRARIES
    // gives the profile's library. Raises DmError when a library cannot be reached.
    static std::shared_ptr<LocalItemCollection> containing(std::shared_ptr<LocalDm> dm,
                                                           const QString &libraryName, int docNumber);
    static QList<LocalItemEntry> containingEntries(LocalDm &dm, const QString &libraryName, int docNumber);

    LocalItemCollection(std::shared_ptr<LocalDm> dm, QList<LocalItemEntry> entries);

    int count() const override;
    std::shared_ptr<DmItem> item(int index) const override;
    void remove(int index) override;
    void finish() override;

private:
    void checkIndex(int index) const;

    std::shared_ptr<LocalDm> m_dm;
    QList<LocalItemEntry> m_entries;
    QList<bool> m_marked;
};
