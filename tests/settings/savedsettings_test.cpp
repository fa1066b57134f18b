#include "settings/product.h"
#include "settings/savedsettings.h"
#include "support/testenvironment.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QTemporaryDir>

#include <sys/stat.h>

#include <gtest/gtest.h>

namespace {

class SavedSettingsTest : public testing::Test {
protected:
    QTemporaryDir dir;
    SettingsStore store{dir.path()};
    SavedSettings settings{store};
};

} // namespace

TEST(Product, TitleCarriesTheTradeMarkSign)
{
    EXPECT_EQ(ApplicationTitle(), QString::fromUtf8("Korvel\u2122 Folder Skerrow for OpenText eDOCS"));
    EXPECT_EQ(ProductName(), QStringLiteral("Korvel Skerrow for OpenText eDOCS"));
}

TEST_F(SavedSettingsTest, FirstRunGetsEveryDefault)
{
    EXPECT_EQ(settings.screenLeft(310), 310);
    EXPECT_EQ(settings.screenTop(-20), -20);
    EXPECT_EQ(settings.logFile(QStringLiteral("/opt/korvel")),
              QStringLiteral("/opt/korvel/Korvel Skerrow for OpenText eDOCS.LOG"));
    EXPECT_EQ(settings.logFileOr(QStringLiteral("given")), QStringLiteral("given"));
    EXPECT_EQ(settings.checkLogMethod(), 1);
    EXPECT_EQ(settings.displayErrors(), 1);
    EXPECT_EQ(settings.targetLibrary(QStringLiteral("LIB1")), QStringLiteral("LIB1"));
    EXPECT_FALSE(settings.uniqueNameWarningSeen(QStringLiteral("LIB1")));
    EXPECT_FALSE(settings.registerApiWarningShown());
    EXPECT_FALSE(settings.qentRegisterApiDone());
    EXPECT_FALSE(settings.qentRegisterQentClassesDone());
    EXPECT_FALSE(QFileInfo::exists(store.fileName(ProductName())));
}

TEST_F(SavedSettingsTest, EveryKeyRoundTripsThroughAFreshStore)
{
    settings.saveScreenLeft(-1440);
    settings.saveScreenTop(2880);
    settings.saveLogFile(QStringLiteral("D:\\Log.Dir\\Run"));
    settings.saveCheckLogMethod(0);
    settings.saveDisplayErrors(0);
    settings.saveTargetLibrary(QStringLiteral("Target Lib"));
    settings.savePath(QStringLiteral("/opt/korvel/korvel"));
    settings.saveUniqueNameWarning(QStringLiteral("Lib One.Test"), true);
    settings.saveUniqueNameWarning(QStringLiteral("LIB2"), false);
    settings.saveRegisterApiWarningShown();
    settings.saveQentRegisterApiDone();
    settings.saveQentRegisterQentClassesDone();

    SettingsStore reopened(dir.path());
    SavedSettings again(reopened);
    EXPECT_EQ(again.screenLeft(0), -1440);
    EXPECT_EQ(again.screenTop(0), 2880);
    EXPECT_EQ(again.logFile(QStringLiteral("/x")), QStringLiteral("D:\\Log.Dir\\Run"));
    EXPECT_EQ(again.checkLogMethod(), 0);
    EXPECT_EQ(again.displayErrors(), 0);
    EXPECT_EQ(again.targetLibrary(QStringLiteral("LIB1")), QStringLiteral("Target Lib"));
    EXPECT_TRUE(again.uniqueNameWarningSeen(QStringLiteral("Lib One.Test")));
    EXPECT_FALSE(again.uniqueNameWarningSeen(QStringLiteral("LIB2")));
    EXPECT_TRUE(again.registerApiWarningShown());
    EXPECT_TRUE(again.qentRegisterApiDone());
    EXPECT_TRUE(again.qentRegisterQentClassesDone());

    // The stored texts are the ones other tools of the installation read: "#0" numbers, "-1"/"0" flags.
    const QString product = ProductName();
    EXPECT_EQ(reopened.get(product, "General", "Screen.Left", {}), "-1440");
    EXPECT_EQ(reopened.get(product, "General", "CheckLogMethod", {}), "0");
    EXPECT_EQ(reopened.get(product, "General", "Path", {}), "/opt/korvel/korvel");
    EXPECT_EQ(reopened.get(product, "Lib One.Test", "UniqueNameWarning", {}), "-1");
    EXPECT_EQ(reopened.get(product, "LIB2", "UniqueNameWarning", {}), "0");
    EXPECT_EQ(reopened.get(product, "Warning", "RegisterAPI", {}), "-1");
    EXPECT_EQ(reopened.get("QENT", "General", "RegisterAPI", {}), "-1");
    EXPECT_EQ(reopened.get("QENT", "General", "RegisterQentClasses", {}), "-1");

    // One file per application name; the two "RegisterAPI" keys do not meet.
    EXPECT_TRUE(QFileInfo::exists(QDir(dir.path()).filePath(product + ".ini")));
    EXPECT_TRUE(QFileInfo::exists(QDir(dir.path()).filePath("QENT.ini")));
}

TEST_F(SavedSettingsTest, SectionAndKeyNamesKeepSpacesDotsAndCase)
{
    store.save("App", "Lib One.Test", "Key.Name", "upper");
    store.save("App", "lib one.test", "key.name", "lower");
    EXPECT_EQ(store.get("App", "Lib One.Test", "Key.Name", "absent"), "upper");
    EXPECT_EQ(store.get("App", "lib one.test", "key.name", "absent"), "lower");
    EXPECT_EQ(store.get("App", "Lib One.Test", "key.name", "absent"), "absent");
}

TEST_F(SavedSettingsTest, TextThatIsNotANumberReadsAsZero)
{
    const QString product = ProductName();
    store.save(product, "General", "Screen.Left", "left");
    store.save(product, "General", "Screen.Top", "120px");
    store.save(product, "General", "CheckLogMethod", "yes");
    store.save(product, "LIB1", "UniqueNameWarning", "seen");
    store.save("QENT", "General", "RegisterAPI", "-1.0");
    EXPECT_EQ(settings.screenLeft(500), 0);
    EXPECT_EQ(settings.screenTop(500), 120);
    EXPECT_EQ(settings.checkLogMethod(), 0);
    EXPECT_FALSE(settings.uniqueNameWarningSeen("LIB1"));
    EXPECT_TRUE(settings.qentRegisterApiDone());
}

TEST(Product, BuildNumberAndDateComeFromTheDateShapedVersion)
{
    const QDate versionDate = QDate::fromString(QStringLiteral(KORVEL_VERSION), QStringLiteral("yyyy.M.d"));
    ASSERT_TRUE(versionDate.isValid()) << KORVEL_VERSION;
    EXPECT_EQ(QDate(1899, 12, 30).addDays(BuildNumber()), versionDate);
    EXPECT_EQ(BuildDate(), QLocale(QLocale::English).toString(versionDate, QStringLiteral("MMM d, yyyy")));
}

// A value saved again as it stands leaves the file alone (the file is replaced on every real write, so
// its inode tells); a changed value, or the same text under another key, is written.
TEST_F(SavedSettingsTest, AValueSavedUnchangedDoesNotRewriteTheFile)
{
    const QString file = store.fileName(ProductName());
    const auto inode = [&] {
        struct stat info {};
        return ::stat(QFile::encodeName(file).constData(), &info) == 0 ? info.st_ino : ino_t(0);
    };
    const struct {
        const char *library;
        bool uniqueNames;
        bool rewritten;
    } steps[] = {
        {"LIB_A", true, true},   {"LIB_A", true, false}, {"LIB_A", false, true},
        {"LIB_A", false, false}, {"LIB_B", false, true}, {"LIB_B", false, false},
    };
    for (const auto &step : steps) {
        SCOPED_TRACE(std::string(step.library) + (step.uniqueNames ? " on" : " off"));
        const ino_t before = inode();
        settings.saveUniqueNameWarning(step.library, step.uniqueNames);
        EXPECT_EQ(inode() != before, step.rewritten);
        EXPECT_EQ(settings.uniqueNameWarningSeen(step.library), step.uniqueNames);
    }
}

// A file edited by hand reads [General] as every INI reader does; one an earlier build wrote with
// [%General] still reads, [General] winning where both hold a key; the next save leaves only [General].
TEST_F(SavedSettingsTest, GeneralSectionAsWrittenByHand)
{
    const char *const files[] = {
        "[General]\nLogFile=/hand/K.LOG\nPurgeLogFile=7\n",
        "[%General]\nLogFile=/hand/K.LOG\nPurgeLogFile=7\n",
        "[%General]\nLogFile=/old/K.LOG\nPurgeLogFile=7\n[General]\nLogFile=/hand/K.LOG\n"};
    const QString file = store.fileName("App");
    for (const char *text : files) {
        SCOPED_TRACE(text);
        QDir().mkpath(dir.path());
        QFile out(file);
        ASSERT_TRUE(out.open(QIODevice::WriteOnly | QIODevice::Truncate));
        out.write(text);
        out.close();
        for (int saved = 0; saved < 2; ++saved) {
            EXPECT_EQ(store.get("App", "General", "LogFile", {}), "/hand/K.LOG");
            EXPECT_EQ(store.get("App", "General", "PurgeLogFile", {}), "7");
            store.save("App", "General", "Screen.Top", "120");
        }
        ASSERT_TRUE(out.open(QIODevice::ReadOnly));
        const QByteArray written = out.readAll();
        EXPECT_TRUE(written.startsWith("[General]") && !written.contains("%General"))
            << written.toStdString();
    }
}
