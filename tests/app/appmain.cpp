// Entry point of the window tests: a widget application (offscreen under CTest), a pinned locale, and
// settings and data directories of their own so that no test reads or writes the user's files.
#include <QApplication>
#include <QLocale>
#include <QTemporaryDir>

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests must not need a display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    QTemporaryDir home;
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qunsetenv("KORVEL_REGISTRY");
    qunsetenv("KORVEL_DM");
    qunsetenv("KORVEL_DM_FAULTS");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));

    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
