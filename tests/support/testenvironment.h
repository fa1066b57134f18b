#pragma once

#include <QString>
#include <QStringList>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <ostream>

// Lines of a text file split at CRLF, without the final empty piece; empty when the file is missing.
QStringList ReadLogLines(const QString &fileName);
// The whole file as bytes, to check line ends exactly.
QByteArray ReadFileBytes(const QString &fileName);

// Lets GoogleTest show texts and lists of texts readably when an expectation fails.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// Keeps a test run away from the user's own files and settings: config and data directories inside
// home, no installation, registry or planted faults from the environment, and a pinned locale.
void IsolateTestEnvironment(const QTemporaryDir &home);

// The body of a test program's main(): GoogleTest first, so that listing the tests needs no display,
// then an isolated environment and the application (QCoreApplication or QApplication) for the run.
template <typename Application> int RunIsolatedTests(int argc, char **argv)
{
    testing::InitGoogleTest(&argc, argv);
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    QTemporaryDir home;
    IsolateTestEnvironment(home);
    Application app(argc, argv);
    return RUN_ALL_TESTS();
}
