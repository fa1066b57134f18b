#include "createfixture.h"

#include "dm/connectlibrary.h"
#include "dm/sqlrows.h"
#include "migrate/createfolder.h"
#include "migrate/foldersteps.h"
#include "settings/product.h"

#include <functional>

namespace {

class CreateFolderTest : public CreateFixture {
protected:
    void SetUp() override { startInEveryLibrary(); }

    // A folder of the target that this program made earlier.
    int madeBefore(const QString &name, const Access &access, bool isPublic = false)
    {
        const int folder = folderWith(Target, name, access, isPublic);
        builder.db(Target).exec("UPDATE FOLDER SET PATH = ?1 WHERE DOCNUMBER = ?2", {ProductName(), folder});
        return folder;
    }
    // As a run of the user that ended abruptly between saving a folder and copying its security leaves it.
    int halfMade(const QString &name, const Access &access, bool isPublic = false)
    {
        const int folder = madeBefore(name, access, isPublic);
        builder.db(Target).exec("UPDATE PROFILE SET TYPIST = (SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = "
                                "'JSMITH') WHERE DOCNUMBER = ?1",
                                {folder});
        return folder;
    }

    // The Oracle library wants unique document names, so it is the source here.
    const QString Target = "LIB_SYB";
    const QString SourceLib = "LIB_ORA";
    const Access Restricted{1, {{"U:MDOE", 127}}};
};

struct Call {
    QString name;
    int parent = 0;
    bool isRoot = false;
    int source = 0;
    int expected = 0; // the folder to be reused; 0 when a new one is made
};

} // namespace

// What CreateFolder takes for "the folder that already stands there", and when it refuses to reuse it.
TEST_F(CreateFolderTest, ReusesOnlyTheSameFolderAndNeverOneWithWiderAccess)
{
    enum Outcome { Made, Reused, Refused, Replaced };
    struct Case {
        const char *name;
        Outcome outcome;
        std::function<Call(const QString &name)> setUp;
    };
    const auto under = [&](const QString &name, int parent) {
        return Call{name, parent, false, folderWith(SourceLib, name, Restricted)};
    };
    const QList<Case> cases = {
        {"a second call under the same parent, in other letter case", Reused,
         [&](const QString &name) {
             const int parent = builder.addFolder(Target, name + " parent", true);
             Call call = under(name, parent);
             call.expected = CreateFolder(*dm, name.toUpper(), parent, false, Target, call.source, SourceLib);
             return call;
         }},
        {"a document of the same name in the parent", Made,
         [&](const QString &name) {
             const int parent = builder.addFolder(Target, name + " parent", true);
             builder.link(Target, parent, Target, builder.addDocument(Target, name));
             return under(name, parent);
         }},
        {"the source folder itself filed in the parent", Made,
         [&](const QString &name) {
             const int parent = builder.addFolder(Target, name + " parent", true);
             Call call = under(name, parent);
             builder.link(Target, parent, SourceLib, call.source);
             return call;
         }},
        {"a subfolder of the parent with wider access", Refused,
         [&](const QString &name) {
             const int parent = builder.addFolder(Target, name + " parent", true);
             builder.link(Target, parent, Target, folderWith(Target, name, {0, {}}));
             return under(name, parent);
         }},
        {"another user's private top-level folder", Made,
         [&](const QString &name) {
             folderWith(Target, name, Restricted);
             return under(name, 0);
         }},
        {"this program's private top-level folder", Reused,
         [&](const QString &name) {
             Call call = under(name, 0);
             call.expected = madeBefore(name, Restricted);
             return call;
         }},
        {"this program's private folder for a root folder", Made,
         [&](const QString &name) {
             madeBefore(name, Restricted);
             Call call = under(name, 0);
             call.isRoot = true;
             return call;
         }},
        {"a public folder for a root folder", Reused,
         [&](const QString &name) {
             Call call = under(name, 0);
             call.isRoot = true;
             call.expected = folderWith(Target, name, Restricted, true);
             return call;
         }},
        {"a public folder for a private one", Made,
         [&](const QString &name) {
             folderWith(Target, name, Restricted, true);
             return under(name, 0);
         }},
        {"an open public folder for a restricted root folder", Refused,
         [&](const QString &name) {
             folderWith(Target, name, {0, {{"*", 255}}}, true);
             Call call = under(name, 0);
             call.isRoot = true;
             return call;
         }},
        {"a folder giving a colleague more rights", Refused,
         [&](const QString &name) {
             madeBefore(name, {1, {{"U:MDOE", 255}}});
             return under(name, 0);
         }},
        {"a folder left to the user alone by a failed copy", Reused,
         [&](const QString &name) {
             Call call = under(name, 0);
             call.expected = madeBefore(name, {1, {{"U:JSMITH", 255}}});
             return call;
         }},
        {"an empty open root folder left half-made by the user's interrupted run", Replaced,
         [&](const QString &name) {
             halfMade(name, {0, {{"*", 255}}}, true);
             Call call = under(name, 0);
             call.isRoot = true;
             return call;
         }},
        {"an empty subfolder left unfiled by the user's interrupted run", Replaced,
         [&](const QString &name) {
             halfMade(name, {1, {{"U:JSMITH", 255}}});
             return under(name, builder.addFolder(Target, name + " parent", true));
         }},
        {"an empty unfiled folder the user made by hand on an earlier day", Made,
         [&](const QString &name) {
             const int own = folderWith(Target, name, {1, {{"U:JSMITH", 255}}});
             builder.db(Target).exec("UPDATE PROFILE SET TYPIST = (SELECT SYSTEM_ID FROM PEOPLE WHERE "
                                     "USER_ID = 'JSMITH') WHERE DOCNUMBER = ?1",
                                     {own});
             return under(name, builder.addFolder(Target, name + " parent", true));
         }},
        {"an open root folder of the user that holds a document", Refused,
         [&](const QString &name) {
             builder.link(Target, halfMade(name, {0, {{"*", 255}}}, true), Target,
                          builder.addDocument(Target, "d"));
             Call call = under(name, 0);
             call.isRoot = true;
             return call;
         }},
        {"a name of blanks", Refused, [&](const QString &) { return Call{"   "}; }},
    };
    for (const Case &c : cases) {
        const QString name = QString::fromUtf8(c.name);
        SCOPED_TRACE(c.name);
        const Call call = c.setUp(name);
        const QList<int> before = foldersNamed(Target, call.name);
        newLogLines();
        const int result =
            CreateFolder(*dm, call.name, call.parent, call.isRoot, Target, call.source, SourceLib);
        const QStringList lines = newLogLines();
        const QList<int> after = foldersNamed(Target, call.name);

        switch (c.outcome) {
        case Made:
            ASSERT_EQ(after.size(), before.size() + 1);
            EXPECT_EQ(result, after.last());
            EXPECT_EQ(accessOf(Target, result), Restricted);
            EXPECT_EQ(builder.db(Target)
                          .scalar("SELECT COUNT(*) FROM ROOT_OBJECT WHERE DOCNUMBER = ?1", {result})
                          .toInt(),
                      call.isRoot && call.parent == 0 ? 1 : 0);
            if (call.parent != 0) {
                EXPECT_EQ(
                    builder.db(Target)
                        .scalar("SELECT COUNT(*) FROM FOLDER_ITEM WHERE PARENT = ?1 AND DOCNUMBER = ?2 AND "
                                "LIBRARY = 0 AND NODE_TYPE = 'F'",
                                {call.parent, result})
                        .toInt(),
                    1);
            }
            EXPECT_EQ(problems(lines), QStringList());
            break;
        case Reused:
            EXPECT_EQ(result, call.expected);
            EXPECT_EQ(after, before);
            EXPECT_EQ(accessOf(Target, result), Restricted);
            EXPECT_EQ(problems(lines), QStringList());
            break;
        case Replaced:
            ASSERT_EQ(after.size(), before.size());
            EXPECT_EQ(result, after.last());
            EXPECT_FALSE(before.contains(result));
            EXPECT_EQ(accessOf(Target, result), Restricted);
            EXPECT_EQ(problems(lines), QStringList());
            break;
        case Refused:
            EXPECT_EQ(result, 0);
            EXPECT_EQ(after, before);
            EXPECT_FALSE(problems(lines).isEmpty() && !lines.contains("Folder Name is not specified"));
            break;
        }
        EXPECT_EQ(violations(), QStringList());
    }
}

// The new folder takes its profile columns from the source and its storage from its new parent; a
// parent without a readable profile leaves them as the DM gave them.
TEST_F(CreateFolderTest, ColumnsComeFromTheSourceAndStorageFromTheParent)
{
    LibraryDatabase &target = builder.db(Target);
    const int source = folderWith(SourceLib, "O'Neil files", Restricted);
    builder.db(SourceLib).exec(
        "UPDATE PROFILE SET ABSTRACT = 'Kept abstract', KEYWORDS = 'k1' WHERE DOCNUMBER = ?1", {source});
    const int parent = builder.addFolder(Target, "Cabinet", true);
    target.exec("INSERT INTO FORMS (SYSTEM_ID, FORM_NAME) VALUES (77, 'FOLDERFORM')");
    target.exec("UPDATE PROFILE SET FORM = 77, STORAGETYPE = '''', PATH = 'C:\\O''Store', RETENTION = 30 "
                "WHERE DOCNUMBER = ?1",
                {parent});

    const int made = CreateFolder(*dm, "O'Neil files", parent, false, Target, source, SourceLib);
    ASSERT_NE(made, 0);
    EXPECT_EQ(target.query(
                  "SELECT P.DOCNAME, P.ABSTRACT, P.KEYWORDS, P.FORM, P.STORAGETYPE, P.PATH, P.RETENTION, "
                  "P.FULLTEXT, F.PATH, A.USER_ID FROM PROFILE P JOIN FOLDER F ON F.DOCNUMBER = P.DOCNUMBER "
                  "JOIN PEOPLE A ON A.SYSTEM_ID = P.AUTHOR WHERE P.DOCNUMBER = ?1",
                  {made}),
              QList<QVariantList>({{"O'Neil files", "Kept abstract", "k1", 77, "'", "C:\\O'Store", 30, "Y",
                                    ProductName(), "JSMITH"}}));

    // The same parent gone from under it: the creation carries on without its storage, and the folder it
    // cannot file is removed, since no later run would find it.
    target.exec("UPDATE PROFILE SET DOCNUMBER = 9999 WHERE DOCNUMBER = ?1", {parent});
    newLogLines();
    EXPECT_EQ(CreateFolder(*dm, "Orphan", parent, false, Target, source, SourceLib), 0);
    EXPECT_EQ(foldersNamed(Target, "Orphan"), QList<int>());
    const QStringList lines = newLogLines();
    EXPECT_TRUE(lines.contains(R"(Setting Additional profile columns for folder "Orphan" from parent #)" +
                               QString::number(parent)));
    const QStringList warnings = problems(lines);
    ASSERT_EQ(warnings.size(), 3) << warnings.join('\n').toStdString();
    EXPECT_TRUE(warnings[0].endsWith("Unable to retrieve profile information from parent #" +
                                     QString::number(parent)));
    EXPECT_TRUE(warnings[1].contains("Unable to open parent folder object #"));
    EXPECT_TRUE(warnings[2].contains("Unable to add folder item #"));
    target.exec("UPDATE PROFILE SET DOCNUMBER = ?1 WHERE DOCNUMBER = 9999", {parent});
    EXPECT_EQ(violations(), QStringList());
}

// A name is found standing in a parent exactly when the plan takes the two names for twins: both follow
// the target library's own case mapping, which on a server is its locale's (the dotted capital I is i
// there, not for Qt), so the preview foresees what the move finds.
TEST_F(CreateFolderTest, TwinsAreExactlyTheNamesTheLibraryFindsForEachOther)
{
    const std::shared_ptr<DmLibrary> target = FindLibrary(session, Target);
    ASSERT_TRUE(target);
    const QList<std::pair<QString, QString>> pairs = {
        {"Dir", "DIR"}, {"Dİr", "Dir"}, {"Straße", "STRASSE"}, {"Ärger", "äRGER"}, {"Dir", "Dör"}};
    for (const auto &[standing, asked] : pairs) {
        SCOPED_TRACE((standing + " / " + asked).toStdString());
        const int parent = builder.addFolder(Target, standing + " parent of " + asked, true);
        const int folder = folderWith(Target, standing, Restricted);
        builder.link(Target, parent, Target, folder);
        ASSERT_TRUE(ConnectLibrary(*dm, Target));
        const SqlRows rows = FoldersNamed(*dm, asked, parent, false, Target);
        ASSERT_FALSE(rows.failed());
        const bool twins = TwinKey(*target, standing) == TwinKey(*target, asked);
        EXPECT_EQ(rows.isEmpty(), !twins);
        EXPECT_EQ(SubfolderNamed(*dm, asked, parent, Target), twins ? folder : 0);
    }
}
