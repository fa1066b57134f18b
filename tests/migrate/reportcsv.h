#pragma once

#include <QList>
#include <QStringList>

// The columns of a move report's rows.
enum ReportColumn { SourceLibrary, SourceNumber, Name, Kind, TargetLibrary, TargetNumber, Action, Result };

// The rows of a CSV file as RFC 4180 reads them: fields split at commas outside quotes, quoted fields
// with their doubled quotes undone, records ended by CRLF outside quotes. A bare LF or CR outside quotes,
// or a quote inside an unquoted field, makes the whole file unreadable (empty).
QList<QStringList> ReadReportCsv(const QString &fileName);
