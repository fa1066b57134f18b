#pragma once

#include <QString>
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
