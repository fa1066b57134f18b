#include "settings/fileregistry.h"
#include "settings/qentclass.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

const QString PowerDocs = QStringLiteral("HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\PowerDOCS\\");

class QentClassTest : public testing::Test {
protected:
    QentClassTest()
    {
        QFile file(fileName);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\PowerDOCS]\r\n"
                   "CurrentVersion=5.3.1\r\n"
                   "PatchLevel=6\r\n"
                   "[HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\Hummingbird DM Extensions API]\r\n"
                   "CurrentVersion=16.2\r\n"
                   "[HKEY_CURRENT_USER\\Software]\r\n"
                   "Software=odd but readable\r\n");
    }

    QTemporaryDir dir;
    QString fileName = dir.filePath(QStringLiteral("registry.ini"));
    int componentsMade = 0;
    QentClass reader{[this] {
        ++componentsMade;
        return std::make_unique<FileRegistry>(fileName);
    }};
};

} // namespace

TEST_F(QentClassTest, ReadsAValueByItsFullPathInAnyLetterCase)
{
    EXPECT_EQ(reader.GetRegistryValue(PowerDocs + "CurrentVersion").toString(), "5.3.1");
    EXPECT_EQ(reader.GetRegistryValue(PowerDocs + "PatchLevel").toString(), "6");
    EXPECT_EQ(reader.GetRegistryValue("hkey_local_machine\\SOFTWARE\\hummingbird\\powerdocs\\currentversion")
                  .toString(),
              "5.3.1");
    EXPECT_EQ(
        reader
            .GetRegistryValue(
                "HKEY_LOCAL_MACHINE\\Software\\Hummingbird\\Hummingbird DM Extensions API\\CurrentVersion")
            .toString(),
        "16.2");
    EXPECT_EQ(componentsMade, 1);
}

TEST_F(QentClassTest, UnresolvablePathsAreEmpty)
{
    EXPECT_FALSE(reader.GetRegistryValue("HKLM\\Software\\Hummingbird\\PowerDOCS\\CurrentVersion").isValid());
    EXPECT_FALSE(reader.GetRegistryValue("HKEY_LOCAL_MACHINE").isValid());
    EXPECT_FALSE(reader.GetRegistryValue("").isValid());
    EXPECT_FALSE(reader.GetRegistryValue(PowerDocs + "NoSuchValue").isValid());
    EXPECT_FALSE(
        reader.GetRegistryValue("HKEY_USERS\\Software\\Hummingbird\\PowerDOCS\\CurrentVersion").isValid());
    // Neither the unknown roots nor the paths without a backslash needed the component.
    EXPECT_EQ(componentsMade, 1);
}

TEST_F(QentClassTest, EachSegmentIsAlsoReadAsAValueOfTheKeyReached)
{
    // A missing value at the end leaves what an earlier segment read.
    EXPECT_EQ(reader.GetRegistryValue("HKEY_CURRENT_USER\\Software\\Missing").toString(), "odd but readable");
    // A value behind a missing key is read from the deepest key that exists.
    EXPECT_EQ(reader.GetRegistryValue(PowerDocs + "NoSuchKey\\PatchLevel").toString(), "6");
}

TEST(QentClass, AMissingRegistryFileMakesEveryValueEmpty)
{
    QentClass reader(
        [] { return std::make_unique<FileRegistry>(QStringLiteral("/nonexistent/registry.ini")); });
    EXPECT_FALSE(reader.GetRegistryValue(PowerDocs + "CurrentVersion").isValid());
}

TEST(QentClass, AFailingComponentYieldsEmptyWithoutThrowing)
{
    class Broken : public RegistryComponent {
    public:
        std::unique_ptr<RegistryKey> openRoot(int, const QString &) const override
        {
            throw std::runtime_error("registry unavailable");
        }
    };
    QentClass reader([] { return std::make_unique<Broken>(); });
    EXPECT_FALSE(reader.GetRegistryValue(PowerDocs + "CurrentVersion").isValid());
}
