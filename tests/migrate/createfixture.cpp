#include "createfixture.h"

#include "dm/connectlibrary.h"
#include "localdm/tools/librarycheck.h"

CreateFixture::CreateFixture()
{
    for (const QString library : {"LIB_SQL", "LIB_ORA", "LIB_SYB"}) {
        for (const QString right :
             {"User.CreateFolder", "User.ManageRootFolders", "User.SaveToRemoteLibrary"})
            builder.grant(library, "DOCS_USERS", right);
        builder.addUser(library, "MDOE", "LEGAL");
        builder.addUser(library, "O'BRIEN");
        builder.addGroup(library, "docs_users");
    }
    for (const QString missing : {"LIB_SQL", "LIB_ORA", "LIB_SYB"})
        for (const QString library : {"LIB_SQL", "LIB_ORA", "LIB_SYB"})
            if (library != missing)
                builder.addUser(library, "NOT_IN_" + missing);
}

void PrintTo(const CreateFixture::Access &access, std::ostream *out)
{
    *out << "DEFAULT_RIGHTS " << access.defaultRights;
    for (auto trustee = access.trustees.cbegin(); trustee != access.trustees.cend(); ++trustee)
        *out << ", " << trustee.key().toStdString() << '=' << trustee.value();
}

int CreateFixture::folder(const QString &library, const QString &name,
                          const QList<std::pair<QString, int>> &items)
{
    const int made = builder.addFolder(library, name);
    for (const auto &[itemLibrary, item] : items)
        builder.link(library, made, itemLibrary, item);
    return made;
}

std::pair<QString, int> CreateFixture::doc(const QString &library, const QString &name)
{
    return {library, builder.addDocument(library, name)};
}

int CreateFixture::folderWith(const QString &library, const QString &name, const Access &access,
                              bool isPublic)
{
    const int folder = builder.addFolder(library, name, isPublic);
    builder.db(library).exec("UPDATE PROFILE SET DEFAULT_RIGHTS = ?1 WHERE DOCNUMBER = ?2",
                             {access.defaultRights, folder});
    for (auto trustee = access.trustees.cbegin(); trustee != access.trustees.cend(); ++trustee) {
        const QString key = trustee.key();
        const QString table = key.startsWith("G:") ? "GROUPS WHERE GROUP_ID" : "PEOPLE WHERE USER_ID";
        const qint64 id = key == "*" ? 0
                                     : builder.db(library)
                                           .scalar("SELECT SYSTEM_ID FROM " + table + " = ?1", {key.mid(2)})
                                           .toLongLong();
        builder.addTrustee(library, folder, id, trustee.value());
    }
    return folder;
}

CreateFixture::Access CreateFixture::accessOf(const QString &library, int docNumber)
{
    return accessIn(builder.db(library), docNumber);
}

bool CreateFixture::wider(const Access &target, const Access &source)
{
    if (target.defaultRights != 1)
        return true;
    for (auto trustee = target.trustees.cbegin(); trustee != target.trustees.cend(); ++trustee)
        if (trustee.key() != "U:JSMITH" && (trustee.value() & ~source.trustees.value(trustee.key(), 0)))
            return true;
    return false;
}

CreateFixture::Access CreateFixture::accessIn(LibraryDatabase &db, int docNumber)
{
    Access access;
    access.defaultRights =
        db.scalar("SELECT DEFAULT_RIGHTS FROM PROFILE WHERE DOCNUMBER = ?1", {docNumber}).toInt();
    for (const QVariantList &row : db.query(
             "SELECT S.PERSONORGROUP, P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS FROM SECURITY S "
             "JOIN PROFILE R ON R.SYSTEM_ID = S.THING LEFT JOIN PEOPLE P ON P.SYSTEM_ID = S.PERSONORGROUP "
             "LEFT JOIN GROUPS G ON G.SYSTEM_ID = S.PERSONORGROUP WHERE R.DOCNUMBER = ?1",
             {docNumber})) {
        const QString key = row[0].toLongLong() == 0 ? QString("*")
                            : row[1].isValid()       ? "U:" + row[1].toString()
                                                     : "G:" + row[2].toString();
        access.trustees[key] |= row[3].toInt();
    }
    return access;
}

QList<int> CreateFixture::foldersNamed(const QString &library, const QString &name)
{
    QList<int> numbers;
    for (const QVariantList &row :
         builder.db(library).query("SELECT P.DOCNUMBER FROM PROFILE P JOIN FOLDER F ON F.DOCNUMBER = "
                                   "P.DOCNUMBER WHERE P.DOCNAME = ?1 "
                                   "ORDER BY P.DOCNUMBER",
                                   {name}))
        numbers << row[0].toInt();
    return numbers;
}

void CreateFixture::startInEveryLibrary()
{
    start();
    for (const QString library : {"LIB_ORA", "LIB_SYB", "LIB_SQL"})
        ASSERT_TRUE(ConnectLibrary(*dm, library));
    newLogLines();
}

QStringList CreateFixture::violations()
{
    return LibraryCheck(*localDm).violations();
}

void CreateFixture::plant(const QString &faults)
{
    localDm = builder.dm(faults);
    factory = std::make_unique<LocalDmFactory>(localDm, [this] {
        lastSql = std::make_shared<ScriptedSql>(localDm, now);
        return lastSql;
    });
    dm = std::make_unique<DmContext>(DmContext{*factory, session, connection, log, window, settings});
}

QStringList CreateFixture::problems(const QStringList &lines)
{
    QStringList found;
    for (const QString &line : lines)
        if (line.startsWith("Error:") || line.startsWith("Warning:"))
            found << line;
    return found;
}
