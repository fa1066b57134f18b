#pragma once

#include <QDate>
#include <QString>

#include <optional>

// A folder move that ended done, as the activity log recorded it: the library it went to and the day.
struct LoggedMove {
    QString target;
    QDate date;
};

// The last move of folder number of the library that ended done, as the "Move: ended" lines in the
// files of the configured log path record it (any day's file, the newest first); nullopt when none
// does. Only a move-folder command names its folder in those lines: a folder moved with its category
// or its library is not found.
std::optional<LoggedMove> LastLoggedMove(const QString &configuredLogPath, const QString &library,
                                         int number);
