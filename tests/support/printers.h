#pragma once

#include <QString>
#include <QStringList>

#include <ostream>

// Lets GoogleTest show texts and lists of texts readably when an expectation fails.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList &texts, std::ostream *out)
{
    *out << '{';
    for (qsizetype i = 0; i < texts.size(); ++i)
        *out << (i ? ", \"" : "\"") << texts[i].toStdString() << '"';
    *out << '}';
}
