#include "installationbuilder.h"

#include "dmapi/dmerror.h"
#include "localdm/localerror.h"
#include "localdm/locallibrary.h"

#include <QDate>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

class LocalProfileTest : public testing::Test {
protected:
    LocalProfileTest()
    {
        for (const QString library : {"LIB_A", "LIB_B"}) {
            builder.addUser(library, "JSMITH", "DOCS_USERS");
            builder.addUser(library, "MJONES", "DOCS_USERS");
        }
    }

    int count(const QString &library, const QString &sql, const QVariantList &binds = {})
    {
        return builder.db(library).scalar(sql, binds).toInt();
    }
    qint64 person(const QString &library, const QString &userId)
    {
        return builder.db(library)
            .scalar("SELECT SYSTEM_ID FROM PEOPLE WHERE USER_ID = ?1", {userId})
            .toLongLong();
    }
    std::shared_ptr<DmColumn> column(const std::shared_ptr<DmProfile> &profile, const QString &name)
    {
        const auto columns = profile->columns();
        for (int i = 1; i <= columns->count(); ++i)
            if (columns->item(i)->name() == name)
                return columns->item(i);
        ADD_FAILURE() << "no column " << name.toStdString();
        return nullptr;
    }

    const QString today = QDate::currentDate().toString(Qt::ISODate);
    QTemporaryDir dir;
    InstallationBuilder builder{
        dir.path(),
        "JSMITH",
        {InstallationBuilder::library("LIB_A"), InstallationBuilder::library("LIB_B", 2, "ORAADM")}};
    std::shared_ptr<LocalDm> dm = builder.dm();
};

} // namespace

TEST_F(LocalProfileTest, ANewFolderSavedThroughItsProfileAndAsFolderIsCreatedOnce)
{
    const auto folder = LocalLibrary(dm, "LIB_B").newFolder();
    ASSERT_TRUE(folder);
    EXPECT_EQ(folder->documentNumber(), 0);
    const auto profile = folder->asProfile();
    const auto columns = profile->columns();
    QStringList names, excluded;
    for (int i = 1; i <= columns->count(); ++i) {
        names << columns->item(i)->name();
        EXPECT_FALSE(columns->item(i)->value().isValid()) << names.last().toStdString();
        if (columns->item(i)->excluded())
            excluded << names.last();
    }
    EXPECT_EQ(names, QStringList({"DOCNUMBER", "DOCNAME", "AUTHOR_ID", "TYPIST_ID", "APP_ID", "ABSTRACT",
                                  "KEYWORDS", "CREATION_DATE", "LAST_EDIT_DATE"}));
    EXPECT_EQ(excluded, QStringList({"DOCNUMBER", "CREATION_DATE", "LAST_EDIT_DATE"}));
    EXPECT_EQ(profile->trusteesCount(), 0);
    EXPECT_EQ(profile->containingFolders()->count(), 0);

    folder->setNameB("Contracts 2024");
    folder->setNameA("Contracts 2024");
    column(profile, "AUTHOR_ID")->setValue("mjones");
    column(profile, "APP_ID")->setValue("FOLDER");
    column(profile, "ABSTRACT")->setValue("Signed");
    ASSERT_TRUE(profile->save(3)) << profile->errorDescription().toStdString();
    const int number = profile->documentNumber();
    EXPECT_EQ(number, InstallationBuilder::FirstDocNumber);
    EXPECT_EQ(folder->documentNumber(), number);
    EXPECT_EQ(column(profile, "DOCNUMBER")->value(), QVariant(number));
    folder->setPublic(true);
    ASSERT_TRUE(folder->save(3)) << folder->errorDescription().toStdString();
    EXPECT_EQ(folder->documentNumber(), number);

    LibraryDatabase &db = builder.db("LIB_B");
    const QList<QVariantList> rows = db.query(
        "SELECT P.SYSTEM_ID, P.DOCNAME, P.AUTHOR, P.TYPIST, A.APPLICATION, P.ABSTRACT, P.CREATION_DATE "
        "FROM PROFILE P JOIN APPS A ON A.SYSTEM_ID = P.APPLICATION WHERE P.DOCNUMBER = ?1",
        {number});
    ASSERT_EQ(rows.size(), 1);
    const qint64 systemId = rows[0][0].toLongLong();
    EXPECT_NE(systemId, number);
    EXPECT_EQ(rows[0][1], QVariant("Contracts 2024"));
    EXPECT_EQ(rows[0][2].toLongLong(), person("LIB_B", "MJONES"));
    EXPECT_EQ(rows[0][3].toLongLong(), person("LIB_B", "JSMITH"));
    EXPECT_EQ(rows[0][4], QVariant("FOLDER"));
    EXPECT_EQ(rows[0][5], QVariant("Signed"));
    EXPECT_EQ(rows[0][6], QVariant(today));
    EXPECT_EQ(count("LIB_B", "SELECT COUNT(*) FROM PROFILE"), 1);
    EXPECT_EQ(count("LIB_B", "SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1", {number}), 1);
    EXPECT_EQ(db.scalar("SELECT DISPLAYNAME FROM ROOT_OBJECT WHERE DOCNUMBER = ?1", {number}),
              QVariant("Contracts 2024"));
    EXPECT_EQ(
        count("LIB_B",
              "SELECT COUNT(*) FROM SECURITY WHERE THING = ?1 AND PERSONORGROUP = ?2 AND ACCESSRIGHTS = 255",
              {systemId, person("LIB_B", "JSMITH")}),
        1);
    EXPECT_EQ(profile->trusteesCount(), 1);
    EXPECT_EQ(
        count("LIB_B",
              "SELECT COUNT(*) FROM ACTIVITYLOG WHERE DOCNUMBER = ?1 AND TYPIST = ?2 AND START_DATE = ?3",
              {number, person("LIB_B", "JSMITH"), today}),
        2);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM PROFILE"), 0);

    // Numbers are the library's own: the next folder of the other library gets the same number.
    const auto other = LocalLibrary(dm, "LIB_A").newFolder();
    other->setNameA("Elsewhere");
    ASSERT_TRUE(other->save(3));
    EXPECT_EQ(other->documentNumber(), number);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM ROOT_OBJECT"), 0);
}

TEST_F(LocalProfileTest, AFailedSaveChangesNothingAndSaysWhy)
{
    const auto folder = LocalLibrary(dm, "LIB_A").newFolder();
    const auto profile = folder->asProfile();
    folder->setNameA("Plans");
    column(profile, "AUTHOR_ID")->setValue("NOBODY");
    EXPECT_FALSE(folder->save(3));
    EXPECT_EQ(folder->errorNumber(), qint32(LocalError::UnknownUser));
    EXPECT_EQ(profile->errorNumber(), folder->errorNumber());
    EXPECT_EQ(folder->errorDescription(), "AUTHOR_ID NOBODY is not a user of library LIB_A");
    EXPECT_EQ(folder->documentNumber(), 0);

    column(profile, "AUTHOR_ID")->setValue("MJONES");
    column(profile, "APP_ID")->setValue("SPREADSHEET");
    EXPECT_FALSE(profile->save(3));
    EXPECT_EQ(profile->errorDescription(), "Application SPREADSHEET is not known in library LIB_A");
    column(profile, "APP_ID")->setValue("MS WORD");
    EXPECT_FALSE(profile->save(3));
    EXPECT_EQ(profile->errorNumber(), qint32(LocalError::NotAFolderApplication));

    for (const char *table : {"PROFILE", "FOLDER", "SECURITY", "ACTIVITYLOG", "ROOT_OBJECT"})
        EXPECT_EQ(count("LIB_A", QString("SELECT COUNT(*) FROM %1").arg(table)), 0) << table;

    column(profile, "APP_ID")->setValue("");
    ASSERT_TRUE(folder->save(3));
    EXPECT_EQ(folder->errorNumber(), 0);
    EXPECT_TRUE(folder->errorDescription().isEmpty());
    EXPECT_EQ(folder->documentNumber(), InstallationBuilder::FirstDocNumber);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM PROFILE P JOIN APPS A ON A.SYSTEM_ID = P.APPLICATION "
                             "WHERE A.APPLICATION = 'FOLDER'"),
              1);

    // Too long for the column on either engine: refused whole, never cut short.
    for (const QString library : {"LIB_A", "LIB_B"}) {
        const int stored = count(library, "SELECT COUNT(*) FROM PROFILE");
        const auto longer = LocalLibrary(dm, library).newFolder();
        longer->setNameA(QString(241, u'x'));
        EXPECT_FALSE(longer->save(3)) << library.toStdString();
        EXPECT_EQ(longer->errorNumber(), qint32(LocalError::ValueTooLong))
            << longer->errorDescription().toStdString();
        EXPECT_EQ(longer->errorDescription(), "Library " + library +
                                                  ": a value longer than the 240 characters that "
                                                  "PROFILE.DOCNAME holds was refused; nothing was stored");
        EXPECT_EQ(count(library, "SELECT COUNT(*) FROM PROFILE"), stored);
        longer->setNameA(QString(240, u'x'));
        EXPECT_TRUE(longer->save(3)) << longer->errorDescription().toStdString();
    }
}

TEST_F(LocalProfileTest, UniqueDocumentNamesRefuseANameTakenInAnyLetterCase)
{
    builder.addFolder("LIB_A", "Contracts");
    const int offer = builder.addDocument("LIB_A", "Offer");
    builder.setParameter("LIB_A", "DOCSParms.UniqueDocNames", "1");

    const auto duplicate = LocalLibrary(dm, "LIB_A").newFolder();
    duplicate->setNameA("CONTRACTS");
    EXPECT_FALSE(duplicate->save(3));
    EXPECT_EQ(duplicate->errorNumber(), qint32(LocalError::DuplicateName));
    EXPECT_EQ(duplicate->errorDescription(),
              "The document name 'CONTRACTS' is already in use in library LIB_A");

    const auto renamed = LocalLibrary(dm, "LIB_A").openProfile(offer);
    column(renamed, "DOCNAME")->setValue("contracts");
    EXPECT_FALSE(renamed->save(3));
    column(renamed, "DOCNAME")->setValue("Offer");
    EXPECT_TRUE(renamed->save(3)) << renamed->errorDescription().toStdString();

    const auto elsewhere = LocalLibrary(dm, "LIB_B").newFolder();
    elsewhere->setNameA("CONTRACTS");
    EXPECT_TRUE(elsewhere->save(3));

    builder.setParameter("LIB_A", "DOCSParms.UniqueDocNames", "0");
    EXPECT_TRUE(duplicate->save(3));
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM PROFILE WHERE UPPER(DOCNAME) = 'CONTRACTS'"), 2);
}

TEST_F(LocalProfileTest, SavingAnExistingProfileWritesWhatWasSetAndKeepsTheRest)
{
    const int offer = builder.addDocument("LIB_A", "Offer");
    const auto profile = LocalLibrary(dm, "LIB_A").openProfile(offer);
    ASSERT_TRUE(profile);
    EXPECT_EQ(profile->name(), "Offer");
    EXPECT_EQ(profile->libraryName(), "LIB_A");
    EXPECT_EQ(column(profile, "DOCNUMBER")->value(), QVariant(offer));
    EXPECT_EQ(column(profile, "APP_ID")->value(), QVariant("MS WORD"));
    EXPECT_EQ(column(profile, "CREATION_DATE")->value(), QVariant("2024-01-15"));
    EXPECT_FALSE(column(profile, "AUTHOR_ID")->value().isValid());
    EXPECT_THROW(column(profile, "DOCNUMBER")->setValue(5), DmError);
    EXPECT_THROW(column(profile, "CREATION_DATE")->setValue("2020-01-01"), DmError);
    EXPECT_THROW(profile->columns()->item(10), DmError);

    builder.db("LIB_A").exec("UPDATE PROFILE SET KEYWORDS = 'set by SQL' WHERE DOCNUMBER = ?1", {offer});
    column(profile, "ABSTRACT")->setValue("Final");
    column(profile, "TYPIST_ID")->setValue("MJONES");
    ASSERT_TRUE(profile->save(2)) << profile->errorDescription().toStdString();
    const QVariantList row =
        builder.db("LIB_A")
            .query("SELECT ABSTRACT, KEYWORDS, TYPIST, CREATION_DATE, LAST_EDIT_DATE FROM PROFILE "
                   "WHERE DOCNUMBER = ?1",
                   {offer})
            .first();
    EXPECT_EQ(row, QVariantList({"Final", "set by SQL", person("LIB_A", "MJONES"), "2024-01-15", today}));
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM ACTIVITYLOG WHERE DOCNUMBER = ?1", {offer}), 1);
    EXPECT_EQ(count("LIB_A", "SELECT COUNT(*) FROM SECURITY"), 0);

    builder.db("LIB_A").exec("DELETE FROM PROFILE WHERE DOCNUMBER = ?1", {offer});
    EXPECT_FALSE(profile->save(2));
    EXPECT_EQ(profile->errorDescription(),
              QString("Document #%1 no longer exists in library LIB_A").arg(offer));
}

TEST_F(LocalProfileTest, AClosedProfileViewRefusesToSaveButItsFolderDoesNot)
{
    const int folderNumber = builder.addFolder("LIB_A", "Plans");
    const auto folder = LocalLibrary(dm, "LIB_A").openFolder(folderNumber);
    const auto profile = folder->asProfile();
    profile->close();
    EXPECT_FALSE(profile->save(3));
    EXPECT_EQ(profile->errorNumber(), qint32(LocalError::ProfileClosed));
    EXPECT_TRUE(folder->save(3));
}

TEST_F(LocalProfileTest, FormNameAndTrusteesComeFromTheProfileRow)
{
    const int offer = builder.addDocument("LIB_A", "Offer");
    LibraryDatabase &db = builder.db("LIB_A");
    db.exec("INSERT INTO FORMS (SYSTEM_ID, FORM_NAME) VALUES (7, 'DEF_PROF')");
    db.exec("UPDATE PROFILE SET FORM = 7 WHERE DOCNUMBER = ?1", {offer});
    builder.addTrustee("LIB_A", offer, person("LIB_A", "MJONES"), 255);
    builder.addTrustee("LIB_A", offer, builder.addGroup("LIB_A", "DOCS_USERS"), 63);
    // A row keyed by the document number instead of the profile's SYSTEM_ID is someone else's.
    db.exec("INSERT INTO SECURITY (THING, PERSONORGROUP, ACCESSRIGHTS) VALUES (?1, 0, 255)", {offer});
    ASSERT_NE(builder.profileSystemId("LIB_A", offer), offer);

    const auto profile = LocalLibrary(dm, "LIB_A").openProfile(offer);
    EXPECT_EQ(profile->formName(), "DEF_PROF");
    EXPECT_EQ(profile->trusteesCount(), 2);
    EXPECT_EQ(LocalLibrary(dm, "LIB_A").openProfile(builder.addDocument("LIB_A", "Bare"))->formName(), "");
    EXPECT_FALSE(LocalLibrary(dm, "LIB_A").openProfile(99));
    EXPECT_FALSE(LocalLibrary(dm, "LIB_A").openFolder(offer));
}
