#pragma once

// The boundary to the document-management system. Korvel reaches the DM only through these
// interfaces: the embedded local DM implements them over SQL databases, and a COM implementation on
// a DM client workstation can implement them over the DM API objects.
//
// Conventions for every interface here:
// - Objects are shared: a folder and the profile seen through it are one DM object, and a holder
//   keeps an object alive as long as it needs it (as with COM references).
// - Collections are indexed from 1.
// - "open" calls return null when there is no such object (a document number that does not exist,
//   a library that cannot be reached).
// - Saves and deletes return a success flag and leave the error number and description readable;
//   false with a non-zero error number is a failure.
// - Any other failing call raises DmError.
// - Calls are made on the window thread only.

#include <QString>
#include <QVariant>

#include <memory>

// Passed to saves and deletes; its meaning belongs to the DM (the program uses 2 and 3).
using DmSaveOption = int;

class DmBrowserCompanion;
class DmFolderItem;
class DmProfileItem;

// One profile column of a profile.
class DmColumn {
public:
    virtual ~DmColumn() = default;
    virtual QString name() const = 0;
    virtual QVariant value() const = 0;
    virtual void setValue(const QVariant &value) = 0;
    // True when the DM marks the column as not to be copied to another profile.
    virtual bool excluded() const = 0;
};

class DmColumns {
public:
    virtual ~DmColumns() = default;
    virtual int count() const = 0;
    virtual std::shared_ptr<DmColumn> item(int index) const = 0;
};

// A named value of a library: a right of the user ("User.CreateFolder", true when held), a library
// parameter ("DOCSParms.UniqueDocNames") or a fact about the library.
class DmProperty {
public:
    virtual ~DmProperty() = default;
    virtual QString name() const = 0;
    virtual QVariant value() const = 0;
};

class DmProperties {
public:
    virtual ~DmProperties() = default;
    virtual int count() const = 0;
    virtual std::shared_ptr<DmProperty> item(int index) const = 0;
    // Raises DmError when the collection holds no property of that name.
    virtual std::shared_ptr<DmProperty> item(const QString &name) const = 0;
};

// An entry of a folder's contents or of a profile's containing folders.
class DmItem {
public:
    virtual ~DmItem() = default;
    virtual int documentNumber() const = 0;
    // The profile's name; for a folder its name A.
    virtual QString name() const = 0;
    virtual QString libraryName() const = 0;
};

// Subdocuments and subfolders of a folder, containing folders of a profile.
class DmItemCollection {
public:
    virtual ~DmItemCollection() = default;
    virtual int count() const = 0;
    virtual std::shared_ptr<DmItem> item(int index) const = 0;
    // Removes the entry at that position; removals reach the DM with the finishing call.
    virtual void remove(int index) = 0;
    virtual void finish() = 0;
};

// A profile (document or folder) of one library.
class DmProfile {
public:
    virtual ~DmProfile() = default;
    virtual QString libraryName() const = 0;
    virtual QString name() const = 0;
    // 0 until the profile has been saved.
    virtual int documentNumber() const = 0;
    virtual std::shared_ptr<DmColumns> columns() const = 0;
    virtual QString formName() const = 0;
    virtual int trusteesCount() const = 0;
    // Folders of any library of the installation that contain this profile.
    virtual std::shared_ptr<DmItemCollection> containingFolders() const = 0;
    virtual void close() = 0;
    virtual bool save(DmSaveOption option) = 0;
    virtual qint32 errorNumber() const = 0;
    virtual QString errorDescription() const = 0;
};

// A folder: a profile whose application is FOLDER, with its contents.
class DmFolder {
public:
    virtual ~DmFolder() = default;
    // The DM keeps two name properties; both are set when a folder is created, A is the one shown.
    virtual QString nameA() const = 0;
    virtual void setNameA(const QString &name) = 0;
    virtual QString nameB() const = 0;
    virtual void setNameB(const QString &name) = 0;
    // 0 until the folder has been saved.
    virtual int documentNumber() const = 0;
    virtual bool isPublic() const = 0;
    virtual void setPublic(bool isPublic) = 0;
    virtual QString libraryName() const = 0;
    // Everything the folder holds, documents and subfolders, in display order.
    virtual std::shared_ptr<DmItemCollection> items() const = 0;
    virtual std::shared_ptr<DmItemCollection> subdocuments() const = 0;
    virtual std::shared_ptr<DmItemCollection> subfolders() const = 0;
    virtual bool save(DmSaveOption option) = 0;
    virtual bool addDocument(const DmProfileItem &document) = 0;
    virtual bool addSubfolder(const DmFolderItem &folder) = 0;
    virtual bool deleteFolder(DmSaveOption option) = 0;
    virtual qint32 errorNumber() const = 0;
    virtual QString errorDescription() const = 0;
    // The same DM object seen through its profile interface.
    virtual std::shared_ptr<DmProfile> asProfile() = 0;
};

// A profile or folder opened through its library to be handed to a folder's add operations.
class DmProfileItem {
public:
    virtual ~DmProfileItem() = default;
    virtual int documentNumber() const = 0;
    virtual QString libraryName() const = 0;
};

class DmFolderItem {
public:
    virtual ~DmFolderItem() = default;
    virtual int documentNumber() const = 0;
    virtual QString libraryName() const = 0;
};

class DmLibrary {
public:
    virtual ~DmLibrary() = default;
    // True for the user's primary library.
    virtual bool isPrimary() const = 0;
    virtual QString name() const = 0;
    // The user's login id in this library (matched against PEOPLE.USER_ID).
    virtual QString userId() const = 0;
    virtual QString userPrimaryGroup() const = 0;
    virtual std::shared_ptr<DmProperties> properties() const = 0;
    virtual std::shared_ptr<DmProfile> openProfile(int documentNumber) = 0;
    // A new, empty folder object; it gets its document number when saved.
    virtual std::shared_ptr<DmFolder> newFolder() = 0;
    virtual std::shared_ptr<DmFolder> openFolder(int documentNumber) = 0;
    virtual std::shared_ptr<DmProfileItem> openProfileItem(int documentNumber) = 0;
    virtual std::shared_ptr<DmFolderItem> openFolderItem(int documentNumber) = 0;
    // Makes this library the one the DM session works in.
    virtual void activate() = 0;
    // Opens the library, when it is not open yet; raises DmError, naming the library, its database and
    // the cause, when it cannot be opened. Asked before the library is asked anything else, so that a
    // library out of reach is not taken for one where the user lacks rights or a folder.
    virtual void open() = 0;
    // Empty while the library is where it was opened (or is not open yet). Once it is lost - its file
    // moved, deleted or replaced, the connection to its server ended - the DM's description of the cause,
    // naming the library; every later call on it then fails. Reads no row, so it may be asked before
    // every step of a long piece of work.
    virtual QString lostCause() = 0;
    // The form in which this library compares the names of folders when it looks one up by name, letter
    // case ignored as its database ignores it: two names are one to the library exactly when their keys
    // are equal. Raises DmError when the library cannot be reached.
    virtual QString nameKey(const QString &name) = 0;
};

class DmLibraries {
public:
    virtual ~DmLibraries() = default;
    virtual int count() const = 0;
    // Null when there is no library at that position.
    virtual std::shared_ptr<DmLibrary> item(int index) const = 0;
};

// The DM application object: the session of the logged-in user.
class DmApplication {
public:
    virtual ~DmApplication() = default;
    virtual std::shared_ptr<DmLibraries> libraries() const = 0;
    virtual std::shared_ptr<DmLibrary> currentLibrary() const = 0;
    // The user's default library, shown by the DM settings viewer.
    virtual std::shared_ptr<DmLibrary> defaultLibrary() const = 0;
    // Reading the token logs the user in; empty when the login failed.
    virtual QString securityToken() = 0;
    virtual void setWindowHandle(quintptr handle) = 0;
};

// SQL pass-through to the database of one library. A statement's result set stays readable until
// the next execute or release; rows are numbered from 1 and columns from 1.
class DmSql {
public:
    virtual ~DmSql() = default;
    virtual void setSecurityToken(const QString &token) = 0;
    virtual void setLibrary(const QString &libraryName) = 0;
    // 2 or 5 Oracle, 6 Sybase, any other non-zero value Microsoft SQL Server, 0 unknown.
    virtual int databaseEngine() const = 0;
    // 0 on success; on failure errorNumber and errorDescription say why, and stay readable.
    virtual qint32 execute(const QString &statement) = 0;
    virtual qint32 errorNumber() const = 0;
    virtual QString errorDescription() const = 0;
    virtual qint64 rowsAffected() const = 0;
    // True when a value can be read from the current row.
    virtual bool hasResult() const = 0;
    virtual int rowCount() const = 0;
    // Columns of the last statement's result; 0 when it returned none.
    virtual int columnCount() const = 0;
    virtual void setRow(int row) = 0;
    // Moves to the next row; false when none is left.
    virtual bool nextRow() = 0;
    // The value of a column of the current row; a NULL reads as an invalid QVariant.
    virtual QVariant columnValue(int column) const = 0;
    virtual void releaseResults() = 0;
};

// DM client components the session creates at start and closes at the end.
class DmBrowserCompanion {
public:
    virtual ~DmBrowserCompanion() = default;
    virtual void close() = 0;
};

class DmBrowser {
public:
    virtual ~DmBrowser() = default;
    virtual void initialize(const std::shared_ptr<DmBrowserCompanion> &companion) = 0;
};

// Runs a named DM client command such as "DOCSOPEN.RefreshAllViews".
class DmCommand {
public:
    virtual ~DmCommand() = default;
    virtual void execute(const QString &commandName) = 0;
};

// Creates the DM's top-level objects, as the platform's object classes do. Each call returns a new
// object, or null when the class cannot be created.
class DmFactory {
public:
    virtual ~DmFactory() = default;
    virtual std::shared_ptr<DmApplication> createApplication() = 0;
    virtual std::shared_ptr<DmSql> createSql() = 0;
    virtual std::shared_ptr<DmBrowser> createBrowser() = 0;
    virtual std::shared_ptr<DmBrowserCompanion> createBrowserCompanion() = 0;
    virtual std::shared_ptr<DmCommand> createCommand() = 0;
};
