#pragma once

#include "localdm/localdm.h"

#include <QSet>

#include <array>
#include <functional>
#include <memory>

class DmError;

// The state of one DM profile object of a library: its profile columns, whether it is saved, and
// the error of its last save, add or delete. A folder and the profile seen through it hold the same
// LocalDocument, so what one view saves the other sees, and a new folder saved through its profile
// view and then as a folder is created once.
//
// The columns the DM offers map onto PROFILE: user ids onto PEOPLE, the application name onto
// APPS. Values set on the object reach the database only when a save writes them; a column that
// was not set is not written, so changes made to the row by SQL in the meantime survive a save.
class LocalDocument {
public:
    enum Column {
        DocNumber,
        DocName,
        AuthorId,
        TypistId,
        AppId,
        Abstract,
        Keywords,
        CreationDate,
        LastEditDate
    };
    static constexpr int ColumnCount = LastEditDate + 1;
    static QString columnName(int column);
    // Excluded columns are not to be copied to another profile: the DM keeps them itself.
    static bool columnExcluded(int column);

    // Loads the profile of that document number; null when the library has none. Raises DmError
    // when the library cannot be reached.
    static std::shared_ptr<LocalDocument> open(std::shared_ptr<LocalDm> dm, const QString &libraryName,
                                               int docNumber);
    // A folder that is not saved yet: document number 0, every column empty.
    static std::shared_ptr<LocalDocument> newFolder(std::shared_ptr<LocalDm> dm, const QString &libraryName);

    LocalDm &dm() const { return *m_dm; }
    const std::shared_ptr<LocalDm> &sharedDm() const { return m_dm; }
    // Raises DmError when the library cannot be reached.
    LibraryDatabase &database() const;
    QString libraryName() const { return m_library; }
    int documentNumber() const { return m_docNumber; }
    qint64 systemId() const { return m_systemId; }
    bool isNew() const { return m_systemId == 0; }
    bool isFolder() const { return m_folder; }
    bool hasChanges() const { return !m_changed.isEmpty(); }
    // "folder #12 in library LIB" or "new folder in library LIB", for error descriptions.
    QString describe() const;

    QVariant value(int column) const { return m_values.at(column); }
    // Raises DmError for the columns the DM maintains itself (DOCNUMBER and the dates).
    void setValue(int column, const QVariant &value);
    QString name() const { return m_values[DocName].toString(); }
    void setName(const QString &name) { setValue(DocName, name); }

    // What a successful write changes in the object, applied by written() once committed.
    struct Written {
        qint64 systemId = 0;
        int docNumber = 0;
        QString creationDate;
        QString lastEditDate;
        bool created = false;
    };
    // Inserts or updates the profile row inside the caller's transaction; typist is the user's
    // PEOPLE.SYSTEM_ID. A new profile gets the user as trustee (255), as author and typist when
    // those are empty, and, for a folder, its FOLDER row, so that a folder never stands without
    // one. Raises DmError when a value does not resolve, the row is gone, or the library wants
    // unique document names and the name being written (on creation, or because it was set) is
    // another profile's; a name left as it was is not checked again.
    Written write(LibraryDatabase &db, qint64 typist) const;
    void written(const Written &written);
    // Raises LocalError::NotSaved or NoSuchDocument unless the object stands for a row of the library.
    void requireRow(LibraryDatabase &db) const;

    // Runs one save, add or delete call: counts it on the planted faults, runs work, and keeps the
    // error it raises as the object's error (false) or clears the error (true).
    bool attempt(FaultKind kind, const QString &call, const std::function<void()> &work);
    // The same with work inside one transaction of the object's library; typist is the user's
    // PEOPLE.SYSTEM_ID there. Nothing of a failed call stays in the database.
    bool transact(FaultKind kind, const QString &call,
                  const std::function<void(LibraryDatabase &, qint64)> &work);

    qint32 errorNumber() const { return m_errorNumber; }
    QString errorDescription() const { return m_errorDescription; }

private:
    LocalDocument(std::shared_ptr<LocalDm> dm, QString libraryName);

    QVariant resolved(LibraryDatabase &db, int column, qint64 typist) const;
    void checkUniqueName(LibraryDatabase &db) const;

    std::shared_ptr<LocalDm> m_dm;
    QString m_library;
    qint64 m_systemId = 0;
    int m_docNumber = 0;
    bool m_folder = false;
    std::array<QVariant, ColumnCount> m_values;
    QSet<int> m_changed;
    qint32 m_errorNumber = 0;
    QString m_errorDescription;
};
