#include "createfixture.h"

#include "migrate/createfolder.h"
#include "migrate/securitycopy.h"

#include <QDate>

namespace {

class SecurityCopyTest : public CreateFixture {
protected:
    void SetUp() override { startInEveryLibrary(); }
};

// "NOT_IN_TARGET" in a case stands for the user that every library but the target knows.
CreateFixture::Access forTarget(CreateFixture::Access access, const QString &target)
{
    CreateFixture::Access resolved{access.defaultRights, {}};
    for (auto trustee = access.trustees.cbegin(); trustee != access.trustees.cend(); ++trustee)
        resolved.trustees[QString(trustee.key()).replace("NOT_IN_TARGET", "NOT_IN_" + target)] =
            trustee.value();
    return resolved;
}

} // namespace

// Every engine reads the trustees of a source (SQL Server refuses the old outer joins) and writes them
// into a target; the outcome never gives anyone more than the source did.
TEST_F(SecurityCopyTest, OutcomesForEachSourceSecurityOnEveryEngine)
{
    const Access open{0, {{"*", 255}}};
    const Access moverAlone{1, {{"U:JSMITH", 255}}};
    struct Case {
        const char *name;
        Access source;
        Access expected;
        bool copied;
        QStringList warnings; // parts of the "Warning:" lines, one each
    };
    const QList<Case> cases = {
        {"no trustees", {0, {}}, open, true, {}},
        {"DOCS_USERS alone with full rights", {0, {{"G:DOCS_USERS", 255}}}, open, true, {}},
        {"the open row of an earlier move", open, open, true, {}},
        {"DOCS_USERS with fewer rights", {0, {{"G:DOCS_USERS", 63}}}, {1, {{"G:DOCS_USERS", 63}}}, true, {}},
        {"docs_users in lower case", {1, {{"G:docs_users", 255}}}, {1, {{"G:docs_users", 255}}}, true, {}},
        {"one user", {1, {{"U:MDOE", 127}}}, {1, {{"U:MDOE", 127}}}, true, {}},
        {"users and groups, one id with an apostrophe",
         {1, {{"U:O'BRIEN", 45}, {"G:LEGAL", 63}, {"U:JSMITH", 255}}},
         {1, {{"U:O'BRIEN", 45}, {"G:LEGAL", 63}, {"U:JSMITH", 255}}},
         true,
         {}},
        {"a trustee missing in the target",
         {1, {{"U:NOT_IN_TARGET", 255}, {"U:MDOE", 45}}},
         {1, {{"U:MDOE", 45}}},
         true,
         {"User NOT_IN_TARGET does not exist in library TARGET"}},
        {"no trustee known in the target",
         {1, {{"U:NOT_IN_TARGET", 255}}},
         moverAlone,
         false,
         {"User NOT_IN_TARGET does not exist in library TARGET",
          "restricted to JSMITH; no access for NOT_IN_TARGET"}},
        {"restricted with no trustees",
         {1, {}},
         moverAlone,
         false,
         {"restricted to JSMITH; no access for nobody else"}},
        {"the open row on a restricted folder",
         {1, {{"*", 255}}},
         moverAlone,
         false,
         {"restricted to JSMITH"}},
    };
    const QList<std::pair<QString, QString>> moves = {
        {"LIB_SQL", "LIB_ORA"}, {"LIB_ORA", "LIB_SYB"}, {"LIB_SYB", "LIB_SQL"}};
    for (const auto &[sourceLib, target] : moves) {
        for (const Case &c : cases) {
            const QString name = QString::fromUtf8(c.name) + " to " + target;
            SCOPED_TRACE(name.toStdString());
            // SQL Server and Sybase compare group ids without regard to case: there the lower-case name
            // is DOCS_USERS itself, and an Oracle source's distinct group would meet it in the target.
            Access expected = c.expected;
            if (QByteArray(c.name).startsWith("docs_users")) {
                if (sourceLib == "LIB_ORA")
                    continue;
                expected = open;
            }
            const int source = folderWith(sourceLib, name, forTarget(c.source, target));
            newLogLines();
            const int created = CreateFolder(*dm, name, 0, false, target, source, sourceLib);
            const QStringList lines = newLogLines();

            const QList<int> made = foldersNamed(target, name);
            ASSERT_EQ(made.size(), 1);
            EXPECT_EQ(created, c.copied ? made.first() : 0);
            EXPECT_EQ(accessOf(target, made.first()), forTarget(expected, target));
            QStringList warnings;
            for (const QString &line : problems(lines))
                if (line.startsWith("Warning:"))
                    warnings << line;
            ASSERT_EQ(warnings.size(), c.warnings.size()) << warnings.join('\n').toStdString();
            for (qsizetype i = 0; i < warnings.size(); ++i)
                EXPECT_TRUE(warnings[i].contains(QString(c.warnings[i]).replace("TARGET", target)))
                    << warnings[i].toStdString();
            EXPECT_EQ(problems(lines).size() > warnings.size(), !c.copied);
            // Rows are counted only when there are some.
            EXPECT_EQ(lines.filter(" Trustee(s) found for Folder #").size(),
                      c.source.trustees.isEmpty() ? 0 : 1);
            // The creation's own activity rows are gone, whatever the engine's date condition.
            EXPECT_EQ(
                builder.db(target)
                    .scalar("SELECT COUNT(*) FROM ACTIVITYLOG A JOIN PEOPLE P ON P.SYSTEM_ID = A.TYPIST "
                            "WHERE A.DOCNUMBER = ?1 AND P.USER_ID = 'JSMITH'",
                            {made.first()})
                    .toInt(),
                0);
            EXPECT_EQ(violations(), QStringList());
        }
    }
}

// After a failed reconnect the session stands in another library, where the same document number may
// be another folder whose activity rows are not the creation's.
TEST_F(SecurityCopyTest, ActivityCleanupRunsOnlyInTheTargetLibrary)
{
    const int folder = builder.addFolder("LIB_SQL", "Same number");
    const qint64 mover =
        builder.db("LIB_SQL").scalar("SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = 'JSMITH'").toLongLong();
    LibraryBuilder(builder.db("LIB_SQL"))
        .addActivity(folder, mover, 2, QDate::currentDate().toString(Qt::ISODate), "Edited");
    const QString count = "SELECT COUNT(*) FROM ACTIVITYLOG WHERE DOCNUMBER = ?1";
    const int rows = builder.db("LIB_SQL").scalar(count, {folder}).toInt();
    ASSERT_GT(rows, 0);

    EXPECT_FALSE(ClearCreationActivity(*dm, "LIB_ORA", folder));
    EXPECT_EQ(builder.db("LIB_SQL").scalar(count, {folder}).toInt(), rows);
    EXPECT_EQ(problems(newLogLines()).size(), 1);
    EXPECT_TRUE(ClearCreationActivity(*dm, "lib_sql", folder));
    EXPECT_EQ(builder.db("LIB_SQL").scalar(count, {folder}).toInt(), 0);
    EXPECT_EQ(violations(), QStringList());
}
