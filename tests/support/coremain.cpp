// Entry point of the tests that need no display: a core application, a pinned locale, and settings
// and data directories of their own so that no test reads or writes the user's files.
#include <QCoreApplication>
#include <QTemporaryDir>

#include "support/testenvironment.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    QTemporaryDir home;
    IsolateTestEnvironment(home);

    QCoreApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
