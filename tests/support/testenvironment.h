#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QStringList>

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
