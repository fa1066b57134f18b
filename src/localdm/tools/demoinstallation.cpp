#include "localdm/tools/demoinstallation.h"

#include "dmapi/dmerror.h"
#include "localdm/installation.h"
#include "localdm/store/schema.h"
#include "localdm/store/serverconnection.h"
#include "localdm/tools/librarybuilder.h"

#include <QDate>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>

#include <optional>

namespace {

using Profile = LibraryBuilder::Profile;

const QString Source = QStringLiteral("Local DM");
constexpr qint32 DemoError = 1007;

constexpr std::pair<const char *, DemoSize> SizeNames[] = {
    {"small", DemoSize::Small},
    {"large", DemoSize::Large},
    {"huge", DemoSize::Huge},
};

const QString InstallationFile = QStringLiteral("installation.ini");
const QString Corporate = QStringLiteral("CORPORATE");
const QString Archive = QStringLiteral("ARCHIVE");
const QString Legal = QStringLiteral("LEGAL");

// A document of ARCHIVE and a top-level folder of CORPORATE share this number, and CORPORATE files
// the ARCHIVE document in one of its folders: SQL that forgets FOLDER_ITEM.LIBRARY hides the folder.
constexpr qint64 CollidingNumber = 1500;
constexpr qint64 FirstDocNumber = 1001;

constexpr int ActivityCreated = 2;
constexpr int FullRights = 255;
constexpr int EditRights = 63;
constexpr int ReadRights = 45;

const QStringList FolderRights = {QStringLiteral("User.SaveToRemoteLibrary"),
                                  QStringLiteral("User.ManageRootFolders"),
                                  QStringLiteral("User.CreateFolder")};

LibraryConfig libraryConfig(const QDir &dir, const QString &name, int engine, const QString &owner,
                            const QString &server, const QString &database, const QString &version, int level)
{
    LibraryConfig config;
    config.name = name;
    config.databaseFile = dir.absoluteFilePath(name.toLower() + QStringLiteral(".db"));
    config.engine = engine;
    config.owner = owner;
    config.serverLocation = server;
    config.databaseName = database;
    config.productVersion = version;
    config.compatibilityLevel = level;
    config.primary = name == Corporate;
    return config;
}

Installation demoInstallation(const QDir &dir, const QString &user)
{
    Installation installation;
    installation.fileName = dir.absoluteFilePath(InstallationFile);
    installation.user = user;
    installation.libraries = {
        libraryConfig(dir, Corporate, 10, QStringLiteral("DOCSADM"), QStringLiteral("SQLPROD01"),
                      QStringLiteral("DM_CORPORATE"), QStringLiteral("15.0.2000.5"), 150),
        libraryConfig(dir, Archive, 2, QStringLiteral("ARCHADM"), QStringLiteral("ORAPROD01"), Archive,
                      QStringLiteral("19.0.0.0.0"), 0),
        libraryConfig(dir, Legal, 6, QStringLiteral("LEGALDM"), QStringLiteral("SYBPROD01"),
                      QStringLiteral("DM_LEGAL"), QStringLiteral("16.0.04.04"), 100),
    };
    installation.currentLibrary = Corporate;
    installation.defaultLibrary = Corporate;
    return installation;
}

// Puts the demo's libraries on a server, a database each, named after the demo's folder so that two
// demos on one server stay apart: "/srv/Demo 1" gives demo_1_corporate, demo_1_archive, demo_1_legal.
void placeOnServer(Installation &installation, const QDir &dir, const QString &server)
{
    const QString fault = ConnectionStringFault(server);
    if (!fault.isEmpty())
        throw DmError(DemoError, Source, QStringLiteral("The server's connection string %1").arg(fault));
    static const QRegularExpression unsafe(QStringLiteral("[^a-z0-9_]"));
    QString prefix = dir.dirName().toLower().replace(unsafe, QStringLiteral("_"));
    if (prefix.isEmpty())
        prefix = QStringLiteral("korvel");
    // PostgreSQL keeps 63 bytes of a name; the longest library name and its '_' take ten.
    prefix.truncate(53);
    for (LibraryConfig &library : installation.libraries) {
        library.connection = ConnectionWithDatabase(server, prefix + u'_' + library.name.toLower());
        library.databaseFile.clear();
    }
}

// A demo is never made over the databases of another: they are named, with how to go on.
void refuseDatabasesThere(const Installation &installation)
{
    QStringList found;
    QStringList drops;
    for (const LibraryConfig &library : installation.libraries)
        if (ServerLibraryExists(library)) {
            found << ServerDatabaseOf(library.connection);
            drops << QStringLiteral("  ") + DropDatabaseCommand(library);
        }
    if (found.isEmpty())
        return;
    throw DmError(
        DemoError, Source,
        QStringLiteral("The server holds the database(s) %1 already - nothing is made. Give the demo a "
                       "folder of another name (its databases are named after the folder), or drop "
                       "the old databases once no installation uses them:\n%2")
            .arg(found.join(QStringLiteral(", ")), drops.join(u'\n')));
}

// The folders a creation makes for its directory, removed again unless kept, so that a creation that
// fails leaves no empty folder behind; a folder that holds anything by then stays.
class MadeFolders {
public:
    explicit MadeFolders(const QString &dir)
    {
        for (QFileInfo folder(QDir(dir).absolutePath()); !folder.exists();
             folder.setFile(folder.absolutePath()))
            m_made << folder.absoluteFilePath();
    }
    ~MadeFolders()
    {
        if (m_kept)
            return;
        // Deepest first: each is empty only once the one inside it is gone.
        for (const QString &folder : std::as_const(m_made))
            if (!QDir().rmdir(folder))
                break;
    }
    MadeFolders(const MadeFolders &) = delete;
    MadeFolders &operator=(const MadeFolders &) = delete;
    void keep() { m_kept = true; }

private:
    QStringList m_made;
    bool m_kept = false;
};

// Who may see a folder; the tree shows Open and OpenRow folders to every user and hides Others from
// the login user.
enum class Access {
    Open,      // no SECURITY rows
    OpenRow,   // the open-access row (0, 255)
    DocsUsers, // only the group DOCS_USERS
    User,      // only the login user
    Trustees,  // the user, a group and another person
    Others,    // another person and a group the user is not in
};

struct Storage {
    qint64 form = 0;
    QString type;
    QString path;
    int retention = 0;
};

// Writes the demo content of one library: its people and groups, and folders whose storage
// settings pass from parent to child as the DM's folder creation does.
class DemoLibraryWriter {
public:
    // peopleBefore other people are added before the user, so the user's PEOPLE.SYSTEM_ID differs
    // from library to library; the groups are rotated for the same reason.
    DemoLibraryWriter(LibraryDatabase &db, const Installation &installation, const QList<qint64> &remoteIds,
                      int peopleBefore)
        : m_builder(db, FirstDocNumber)
    {
        for (int i = 0; i < installation.libraries.size(); ++i)
            m_builder.addRemoteLibrary(remoteIds[i], installation.libraries[i]);

        const QStringList groupIds = {QStringLiteral("DOCS_USERS"), QStringLiteral("DOCS_SUPERVISORS"),
                                      QStringLiteral("FOLDER_ADMINS"), QStringLiteral("RECORDS_MGMT")};
        const QStringList groupNames = {QStringLiteral("All DM users"), QStringLiteral("DM supervisors"),
                                        QStringLiteral("Folder administrators"),
                                        QStringLiteral("Records management")};
        QList<qint64> groups(groupIds.size());
        for (int i = 0; i < groupIds.size(); ++i) {
            const int g = (i + peopleBefore) % int(groupIds.size());
            groups[g] = m_builder.addGroup(groupIds[g], groupNames[g], g == 1 ? 255 : 0);
        }
        m_docsUsers = groups[0];
        m_folderAdmins = groups[2];
        m_records = groups[3];

        const QList<std::pair<QString, QString>> others = {
            {QStringLiteral("AMARTIN"), QStringLiteral("Anne Martin")},
            {QStringLiteral("BOKAFOR"), QStringLiteral("Bola Okafor")},
            {QStringLiteral("CLEFEVRE"), QStringLiteral("Céline Lefèvre")},
            {QStringLiteral("DNAKAMURA"), QStringLiteral("Daisuke Nakamura")},
            {QStringLiteral("EVIRTANEN"), QStringLiteral("Eeva Virtanen")},
            {QStringLiteral("FOBRIEN"), QStringLiteral("Fiona O'Brien")},
        };
        const QString user = installation.user;
        QList<qint64> people;
        auto addOther = [&](const std::pair<QString, QString> &person) {
            if (person.first.compare(user, Qt::CaseInsensitive) == 0)
                return;
            const qint64 id = m_builder.addPerson(person.first, person.second, m_docsUsers);
            m_builder.addMember(id, m_docsUsers);
            people << id;
        };
        for (int i = 0; i < peopleBefore; ++i)
            addOther(others[i]);
        // The user is in DOCS_USERS, DOCS_SUPERVISORS (universal access) and FOLDER_ADMINS.
        m_user = m_builder.addPerson(user, user, groups[1]);
        for (qint64 group : groups.mid(0, 3))
            m_builder.addMember(m_user, group);
        for (int i = peopleBefore; i < others.size(); ++i)
            addOther(others[i]);
        m_other = people[0];
        m_builder.addMember(m_other, m_records);
        m_builder.addMember(people[1], m_folderAdmins);
    }

    LibraryBuilder &builder() { return m_builder; }

    void grantFolderRights(bool toUser)
    {
        for (const QString &right : FolderRights)
            m_builder.grantRight(toUser ? m_folderAdmins : m_records, right);
    }

    Profile publicFolder(const QString &name, Access access, const Storage &storage)
    {
        const Profile folder = addFolder(name, access, storage);
        m_builder.addRootObject(folder.docNumber, name);
        return folder;
    }

    Profile sharedFolder(const QString &name, Access access, qint64 docNumber = 0)
    {
        return addFolder(name, access, {}, docNumber);
    }

    // A subfolder takes its parent's form, storage and retention unless it has its own.
    Profile subfolder(const Profile &parent, const QString &name, Access access,
                      const std::optional<Storage> &own = {})
    {
        const Profile folder = addFolder(name, access, own.value_or(m_storage.value(parent.docNumber)));
        m_builder.fileItem(parent.docNumber, folder.docNumber, name, u'F');
        return folder;
    }

    Profile document(const Profile &parent, const QString &name, qint64 docNumber = 0)
    {
        LibraryBuilder::NewProfile profile;
        profile.name = name;
        profile.docNumber = docNumber;
        profile.application = name.endsWith(QStringLiteral(".pdf")) ? LibraryBuilder::AcrobatApplication
                                                                    : LibraryBuilder::WordApplication;
        profile.author = m_user;
        profile.creationDate = nextDate();
        const Profile added = m_builder.addDocument(profile);
        m_builder.fileItem(parent.docNumber, added.docNumber, name, u'D');
        return added;
    }

    // Files an item of another library (its REMOTE_LIBRARIES.SYSTEM_ID here) in a folder.
    void link(const Profile &parent, qint64 docNumber, const QString &name, qint64 library)
    {
        m_builder.fileItem(parent.docNumber, docNumber, name, u'D', library);
    }

    // Files an existing folder of this library in a further parent.
    void linkFolder(const Profile &parent, const Profile &folder, const QString &name)
    {
        m_builder.fileItem(parent.docNumber, folder.docNumber, name, u'F');
    }

private:
    Profile addFolder(const QString &name, Access access, const Storage &storage, qint64 docNumber = 0)
    {
        LibraryBuilder::NewProfile profile;
        profile.name = name;
        profile.docNumber = docNumber;
        profile.author = access == Access::Others ? m_other : m_user;
        profile.form = storage.form;
        profile.storageType = storage.type;
        profile.path = storage.path;
        profile.retention = storage.retention;
        profile.creationDate = nextDate();
        profile.abstract = QStringLiteral("Demo folder ") + name;
        profile.defaultRights =
            access == Access::User || access == Access::Trustees || access == Access::Others;
        const Profile folder = m_builder.addFolder(profile);
        m_storage.insert(folder.docNumber, storage);
        switch (access) {
        case Access::Open:
            break;
        case Access::OpenRow:
            m_builder.addTrustee(folder, 0, FullRights);
            break;
        case Access::DocsUsers:
            m_builder.addTrustee(folder, m_docsUsers, EditRights);
            break;
        case Access::User:
            m_builder.addTrustee(folder, m_user, FullRights);
            break;
        case Access::Trustees:
            m_builder.addTrustee(folder, m_user, FullRights);
            m_builder.addTrustee(folder, m_folderAdmins, EditRights);
            m_builder.addTrustee(folder, m_other, ReadRights);
            break;
        case Access::Others:
            m_builder.addTrustee(folder, m_other, FullRights);
            m_builder.addTrustee(folder, m_records, ReadRights);
            break;
        }
        m_builder.addActivity(folder.docNumber, profile.author, ActivityCreated, profile.creationDate,
                              QStringLiteral("Folder created"));
        return folder;
    }

    // Creation dates spread over two years before the demo.
    QString nextDate() { return QDate(2024, 1, 2).addDays(3 * (m_dates++ % 240)).toString(Qt::ISODate); }

    LibraryBuilder m_builder;
    QHash<qint64, Storage> m_storage; // by folder document number
    qint64 m_user = 0;
    qint64 m_other = 0;
    qint64 m_docsUsers = 0;
    qint64 m_folderAdmins = 0;
    qint64 m_records = 0;
    int m_dates = 0;
};

// Documents that a library written later files in its folders.
struct CrossLinks {
    qint64 scannedLetter = 0; // ARCHIVE
    qint64 permitOpinion = 0; // LEGAL
};

void writeArchive(DemoLibraryWriter &w, CrossLinks &links)
{
    LibraryBuilder &b = w.builder();
    const qint64 standard = b.addForm(QStringLiteral("STANDARD_FOLDER"));
    const qint64 archiveForm = b.addForm(QStringLiteral("ARCHIVE_FOLDER"));
    w.grantFolderRights(true);

    // Where moved folders are meant to go.
    const Profile imported =
        w.publicFolder(QStringLiteral("Imported"), Access::DocsUsers,
                       {archiveForm, QStringLiteral("R"), QStringLiteral("/archive/imported"), 3650});
    b.addSetting(QStringLiteral("MASTER_LIBRARY"), Archive);
    b.addSetting(QStringLiteral("PARENT_FOLDER"), {}, imported.docNumber);

    const Profile years =
        w.publicFolder(QStringLiteral("Archive 2020-2025"), Access::DocsUsers,
                       {archiveForm, QStringLiteral("R"), QStringLiteral("/archive/years"), 3650});
    const Profile y2020 = w.subfolder(years, QStringLiteral("2020"), Access::DocsUsers);
    w.document(y2020, QStringLiteral("Annual report 2020.pdf"));
    const Profile q4 = w.subfolder(y2020, QStringLiteral("Q4"), Access::User);
    w.document(q4, QStringLiteral("Board pack Q4.pdf"));
    w.document(q4, QStringLiteral("Minutes Q4.docx"));
    const Profile y2021 = w.subfolder(years, QStringLiteral("2021"), Access::Trustees);
    w.document(y2021, QStringLiteral("Annual report 2021.pdf"));
    const Profile contracts =
        w.publicFolder(QStringLiteral("Contracts"), Access::Trustees,
                       {standard, QStringLiteral("A"), QStringLiteral("/archive/contracts"), 0});
    const Profile suppliers = w.subfolder(contracts, QStringLiteral("Suppliers"), Access::User);
    w.document(suppliers, QStringLiteral("Supply agreement.pdf"));
    w.publicFolder(QStringLiteral("Retention Holds"), Access::Others, {standard, {}, {}, 0});

    const Profile scans = w.sharedFolder(QStringLiteral("Scans"), Access::User);
    w.document(scans, QStringLiteral("Scan 0001.pdf"));
    const Profile invoices = w.subfolder(scans, QStringLiteral("Invoices"), Access::User);
    const Profile unmatched = w.subfolder(invoices, QStringLiteral("Unmatched"), Access::Trustees);
    w.document(unmatched, QStringLiteral("Invoice 7741.pdf"));
    w.sharedFolder(QStringLiteral("Old Drafts"), Access::Open);
    links.scannedLetter = w.document(scans, QStringLiteral("Scanned letter.pdf"), CollidingNumber).docNumber;
}

void writeLegal(DemoLibraryWriter &w, CrossLinks &links, qint64 archiveId)
{
    LibraryBuilder &b = w.builder();
    const qint64 matter = b.addForm(QStringLiteral("LEGAL_MATTER"));
    const qint64 standard = b.addForm(QStringLiteral("STANDARD_FOLDER"));
    // The user holds no folder rights here: only RECORDS_MGMT, which the user is not in, does.
    w.grantFolderRights(false);
    b.setParameter(QStringLiteral("DOCSParms.UniqueDocNames"), QStringLiteral("1"));
    b.addSetting(QStringLiteral("MASTER_LIBRARY"), Archive);

    // Unique document names are on: every DOCNAME here differs from the others, also ignoring case.
    const Profile litigation =
        w.publicFolder(QStringLiteral("Litigation"), Access::DocsUsers,
                       {matter, QStringLiteral("L"), QStringLiteral("/legal/litigation"), 5475});
    const Profile mueller =
        w.subfolder(litigation, QStringLiteral("Müller v. Harbour Authority"), Access::Trustees);
    const Profile evidence = w.subfolder(mueller, QStringLiteral("Evidence"), Access::User);
    w.document(evidence, QStringLiteral("Exhibit A.pdf"));
    w.document(evidence, QStringLiteral("Exhibit B.pdf"));
    const Profile photos = w.subfolder(evidence, QStringLiteral("Site photographs"), Access::User);
    w.document(photos, QStringLiteral("Photograph 1.pdf"));
    const Profile pleadings =
        w.subfolder(mueller, QStringLiteral("Pleadings"), Access::DocsUsers,
                    Storage{standard, QStringLiteral("A"), QStringLiteral("/legal/pleadings"), 0});
    w.document(pleadings, QStringLiteral("Statement of claim.docx"));
    w.link(pleadings, links.scannedLetter, QStringLiteral("Scanned letter.pdf"), archiveId);
    const Profile opinions =
        w.publicFolder(QStringLiteral("Opinions"), Access::Others,
                       {matter, QStringLiteral("L"), QStringLiteral("/legal/opinions"), 5475});
    links.permitOpinion = w.document(opinions, QStringLiteral("Permit opinion.docx")).docNumber;

    const Profile notes = w.sharedFolder(QStringLiteral("Counsel's Notes"), Access::User);
    w.document(notes, QStringLiteral("Call with counsel.docx"));
}

void writeCorporate(DemoLibraryWriter &w, const CrossLinks &links, qint64 archiveId, qint64 legalId)
{
    LibraryBuilder &b = w.builder();
    const qint64 standard = b.addForm(QStringLiteral("STANDARD_FOLDER"));
    const qint64 projectForm = b.addForm(QStringLiteral("PROJECT_FOLDER"));
    const qint64 financeForm = b.addForm(QStringLiteral("FINANCE_FOLDER"));
    w.grantFolderRights(true);
    b.addSetting(QStringLiteral("MASTER_LIBRARY"), Archive);
    b.addSetting(QStringLiteral("PROFILE_EXCLUDE_COLUMN"), QStringLiteral("ABSTRACT"));

    const Profile projects =
        w.publicFolder(QStringLiteral("Projects"), Access::DocsUsers,
                       {projectForm, QStringLiteral("P"), QStringLiteral("/dm/projects"), 730});
    const Profile bridge = w.subfolder(projects, QStringLiteral("Harbour Bridge"), Access::Trustees);
    w.document(bridge, QStringLiteral("Harbour Bridge brief.docx"));
    const Profile drawings = w.subfolder(bridge, QStringLiteral("Drawings"), Access::DocsUsers);
    w.document(drawings, QStringLiteral("General arrangement.pdf"));
    const Profile revA = w.subfolder(drawings, QStringLiteral("Rev A"), Access::User);
    w.document(revA, QStringLiteral("Elevation.pdf"));
    w.document(revA, QStringLiteral("Section B-B.pdf"));
    const Profile mail = w.subfolder(bridge, QStringLiteral("Correspondence"), Access::User);
    w.document(mail, QStringLiteral("Letter to council.docx"));
    w.link(mail, links.scannedLetter, QStringLiteral("Scanned letter.pdf"), archiveId);
    w.link(mail, links.permitOpinion, QStringLiteral("Permit opinion.docx"), legalId);
    const Profile obrien = w.subfolder(projects, QStringLiteral("O'Brien Account"), Access::User);
    w.document(obrien, QStringLiteral("O'Brien invoice.pdf"));
    const Profile templates =
        w.subfolder(projects, QStringLiteral("Shared Templates"), Access::DocsUsers,
                    Storage{standard, QStringLiteral("A"), QStringLiteral("/dm/templates"), 0});
    w.document(templates, QStringLiteral("Letterhead.docx"));

    const Profile finance =
        w.publicFolder(QStringLiteral("Finance"), Access::Trustees,
                       {financeForm, QStringLiteral("F"), QStringLiteral("/dm/finance"), 3650});
    const Profile budget = w.subfolder(finance, QStringLiteral("Budget"), Access::User);
    w.document(budget, QStringLiteral("Budget 2026.xlsx"));
    const Profile budgetUpper = w.subfolder(finance, QStringLiteral("BUDGET"), Access::DocsUsers);
    w.document(budgetUpper, QStringLiteral("Budget 2026.xlsx"));
    w.linkFolder(finance, templates, QStringLiteral("Shared Templates"));
    const Profile reports =
        w.subfolder(finance, QStringLiteral("Quarterly Reports"), Access::DocsUsers,
                    Storage{standard, QStringLiteral("A"), QStringLiteral("/dm/reports"), 365});
    w.document(reports, QStringLiteral("Q1 report.pdf"));
    w.document(reports, QStringLiteral("Q2 report.pdf"));

    const Profile hr = w.publicFolder(QStringLiteral("Human Resources"), Access::Open,
                                      {standard, QStringLiteral("A"), QStringLiteral("/dm/hr"), 2555});
    const Profile policies = w.subfolder(hr, QStringLiteral("Policies"), Access::OpenRow);
    w.document(policies, QStringLiteral("Leave policy.docx"));
    w.publicFolder(QStringLiteral("Board Minutes"), Access::Others, {standard, {}, {}, 0});

    const Profile meetings = w.sharedFolder(QStringLiteral("Réunions d'équipe"), Access::User);
    const Profile minutes = w.subfolder(meetings, QStringLiteral("Procès-verbaux"), Access::User);
    w.document(minutes, QStringLiteral("Procès-verbal janvier.docx"));
    const Profile year = w.subfolder(minutes, QStringLiteral("Année 2025"), Access::Trustees);
    w.document(year, QStringLiteral("Procès-verbal décembre.docx"));
    const Profile zurich = w.sharedFolder(QStringLiteral("Zürich Office"), Access::OpenRow);
    w.document(zurich, QStringLiteral("Office lease.pdf"));
    w.sharedFolder(QStringLiteral("Personal Notes"), Access::Others);
    const Profile scanned = w.sharedFolder(QStringLiteral("Scanned Mail"), Access::User, CollidingNumber);
    w.document(scanned, QStringLiteral("Unsorted scan.pdf"));
}

// A public folder of CORPORATE whose branches each hold leaves, all folders open to DOCS_USERS:
// 1 + branches x (1 + leaves) folders, branchDocuments in each branch and leafDocuments in each leaf.
// Folders are named "<branch> 01" and "<leaf> 1-001", documents after their folder.
struct BulkTree {
    QString name;
    QString path;
    QString branch;
    QString leaf;
    int branches = 0;
    int leaves = 0;
    int branchDocuments = 0;
    int leafDocuments = 0;
};

Profile writeBulkTree(DemoLibraryWriter &w, const BulkTree &tree)
{
    const Profile top =
        w.publicFolder(tree.name, Access::DocsUsers, {0, QStringLiteral("B"), tree.path, 1825});
    for (int branch = 1; branch <= tree.branches; ++branch) {
        const Profile branchFolder = w.subfolder(
            top, QStringLiteral("%1 %2").arg(tree.branch).arg(branch, 2, 10, QChar(u'0')), Access::DocsUsers);
        for (int d = 1; d <= tree.branchDocuments; ++d)
            w.document(branchFolder,
                       QStringLiteral("%1 %2 summary %3.pdf").arg(tree.branch).arg(branch).arg(d));
        for (int leaf = 1; leaf <= tree.leaves; ++leaf) {
            const QString name =
                QStringLiteral("%1 %2-%3").arg(tree.leaf).arg(branch).arg(leaf, 3, 10, QChar(u'0'));
            const Profile leafFolder = w.subfolder(branchFolder, name, Access::DocsUsers);
            for (int d = 1; d <= tree.leafDocuments; ++d)
                w.document(leafFolder, QStringLiteral("%1 statement %2.pdf").arg(name).arg(d));
        }
    }
    return top;
}

// Files n documents "Incoming 00001.pdf" ... in a folder, in name order.
void writeIncoming(DemoLibraryWriter &w, const Profile &folder, int n)
{
    for (int d = 1; d <= n; ++d)
        w.document(folder, QStringLiteral("Incoming %1.pdf").arg(d, 5, 10, QChar(u'0')));
}

// 1 + 10 + 990 folders holding 5,050 documents, and a folder of 5,000 documents.
void writeBulk(DemoLibraryWriter &w)
{
    const Profile bulk =
        writeBulkTree(w, {QStringLiteral("Bulk Archive"), QStringLiteral("/dm/bulk"),
                          QStringLiteral("Region"), QStringLiteral("Account"), 10, 99, 10, 5});
    writeIncoming(w, w.subfolder(bulk, QStringLiteral("Bulk Inbox"), Access::DocsUsers), 5000);
}

// A public folder of 50,000 documents; a public tree of 1 + 99 + 9,900 folders holding 49,995
// documents; and ten public trees of 1,001 folders and 10,000 documents each.
void writeHuge(DemoLibraryWriter &w)
{
    writeIncoming(w,
                  w.publicFolder(HugeDemoFolderName(), Access::DocsUsers,
                                 {0, QStringLiteral("B"), QStringLiteral("/dm/inbox"), 1825}),
                  50000);
    writeBulkTree(w, {HugeDemoTreeName(), QStringLiteral("/dm/clients"), QStringLiteral("Branch"),
                      QStringLiteral("Client"), 99, 100, 5, 5});
    for (int department = 1; department <= 10; ++department)
        writeBulkTree(w, {QStringLiteral("Department %1").arg(department, 2, 10, QChar(u'0')),
                          QStringLiteral("/dm/departments"), QStringLiteral("Section"),
                          QStringLiteral("File"), 10, 99, 10, 10});
}

} // namespace

QStringList DemoSizeNames()
{
    QStringList names;
    for (const auto &[name, size] : SizeNames)
        names << QString::fromLatin1(name);
    return names;
}

std::optional<DemoSize> DemoSizeFromName(const QString &name)
{
    for (const auto &[each, size] : SizeNames)
        if (name == QLatin1StringView(each))
            return size;
    return std::nullopt;
}

QString HugeDemoFolderName()
{
    return QStringLiteral("Huge Inbox");
}

QString HugeDemoTreeName()
{
    return QStringLiteral("Huge Archive");
}

QString DemoUserName()
{
    for (const char *variable : {"USER", "USERNAME", "LOGNAME"}) {
        const QString name = qEnvironmentVariable(variable).trimmed();
        if (!name.isEmpty())
            return name.toUpper();
    }
    return QStringLiteral("DMUSER");
}

QString CreateDemoInstallation(const QString &dir, DemoSize size, const QString &user, const QString &server)
{
    if (user.trimmed().isEmpty())
        throw DmError(DemoError, Source, QStringLiteral("A demo installation needs a user name"));
    Installation installation = demoInstallation(QDir(dir), user.trimmed());
    if (!server.isEmpty()) {
        placeOnServer(installation, QDir(dir), server);
        refuseDatabasesThere(installation);
    }
    MadeFolders folders(dir);
    if (!QDir().mkpath(dir))
        throw DmError(DemoError, Source, QStringLiteral("Cannot create the folder %1").arg(dir));
    if (QFileInfo::exists(installation.fileName))
        throw DmError(DemoError, Source, QStringLiteral("%1 exists already").arg(installation.fileName));

    QStringList created;
    QList<LibraryConfig> createdOnServer;
    try {
        // remoteIds[i][j] is the REMOTE_LIBRARIES.SYSTEM_ID of library j in library i (in the
        // installation's order): each library numbers the others its own way, 0 being itself.
        const QList<QList<qint64>> remoteIds = {{0, 1, 2}, {5, 0, 3}, {7, 8, 0}};
        const QList<int> peopleBefore = {1, 3, 5};
        CrossLinks links;
        // Written in this order so that CORPORATE and LEGAL can file documents of the libraries before them.
        for (const int i : {1, 2, 0}) {
            const LibraryConfig &config = installation.libraries[i];
            LibraryDatabase::create(config, false);
            if (config.onServer())
                createdOnServer << config;
            else
                created << config.databaseFile;
            const std::unique_ptr<LibraryDatabase> db = LibraryDatabase::open(config);
            LibraryDatabase::Transaction transaction(*db);
            DemoLibraryWriter writer(*db, installation, remoteIds[i], peopleBefore[i]);
            if (config.name == Archive) {
                writeArchive(writer, links);
            } else if (config.name == Legal) {
                writeLegal(writer, links, remoteIds[i][1]);
            } else {
                writeCorporate(writer, links, remoteIds[i][1], remoteIds[i][2]);
                if (size == DemoSize::Large)
                    writeBulk(writer);
                else if (size == DemoSize::Huge)
                    writeHuge(writer);
            }
            writer.builder().finish();
            for (const QString &statement : db->indexStatements())
                db->exec(statement);
            transaction.commit();
        }
        // Written last: an installation file means the libraries are complete.
        installation.save(installation.fileName);
        created << installation.fileName;
    } catch (...) {
        for (const QString &file : std::as_const(created))
            QFile::remove(file);
        // Only the databases this call made: one that was there already belongs to another demo.
        for (const LibraryConfig &config : std::as_const(createdOnServer)) {
            try {
                DropServerLibrary(config);
            } catch (const DmError &) {
                // The failure that stopped the creation is the one to report; the server says why.
            }
        }
        throw;
    }
    folders.keep();
    return installation.fileName;
}

QString LocateInstallation(const QString &dmArgument)
{
    return FindInstallation(dmArgument).fileName;
}

LocatedInstallation FindInstallation(const QString &dmArgument)
{
    const QString fileName = Installation::locate(dmArgument);
    const bool demo = fileName == Installation::demoFileName();
    if (!demo || QFileInfo::exists(fileName))
        return {fileName, demo, false};
    // Library files without an installation file are the remains of an interrupted creation.
    const QDir dir = QFileInfo(fileName).absoluteDir();
    for (const QString &library : {Corporate, Archive, Legal})
        QFile::remove(dir.absoluteFilePath(library.toLower() + QStringLiteral(".db")));
    return {CreateDemoInstallation(dir.absolutePath(), DemoSize::Small, DemoUserName()), true, true};
}
