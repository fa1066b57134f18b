// Entry point of the window tests: a widget application (offscreen under CTest), a pinned locale, and
// settings and data directories of their own so that no test reads or writes the user's files.
#include <QApplication>
#include <QTemporaryDir>

#include "support/testenvironment.h"

#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    // Listing the tests must not need a display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();

    QTemporaryDir home;
    IsolateTestEnvironment(home);

    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
