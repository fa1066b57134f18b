#pragma once

#include <QDate>
#include <QString>
#include <QStringList>

// Today's log file name derived from the configured log path: the date "YYYYMMDD" goes before the
// extension of the file name ("C:\Logs\Korvel.LOG" becomes "C:\Logs\Korvel_20260305.LOG"); a file
// name without a full stop gets "_", the date and ".txt". Only the file name is searched for the
// full stop, so a dotted directory name ("D:\Log.Dir\Run") keeps the log inside that directory.
// Both "\" and "/" separate directories.
QString DatedLogFileName(const QString &configuredPath, const QDate &date);

// The dated log files of the configured path that exist (any day's), newest first.
QStringList DatedLogFiles(const QString &configuredPath);

// Why the log may not be written at configuredPath, as a sentence part: it, or the dated file it gives
// on that date, is a library database or a file SQLite keeps beside one (LibraryFileRefusal); empty
// when it may.
QString LogPathRefusal(const QString &configuredPath, const QStringList &libraryDatabases, const QDate &date);

// "hh:mm:ss" on the 12-hour clock, a blank and the default locale's AM or PM designator.
QString TwelveHourTime(const QTime &time);

// "YYYY-MM-DD ", then the twelve-hour time.
QString LogTimeStamp(const QDateTime &when);

// The folder of the default log path and of the log path chooser's first look: the user's data
// directory ($XDG_DATA_HOME/korvel), made when it is missing.
QString DefaultLogFolder();
