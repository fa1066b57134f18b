#pragma once

#include "dm/dmcontext.h"

#include <QList>
#include <QVariant>

// The whole outcome of one statement: its rows, or why it did not run. A statement that could not be
// submitted or that the database refused is failed(), so a refused query never reads as "no rows"; a
// statement that ran and found nothing is an empty success.
struct SqlRows {
    bool submitted = false;
    qint32 errorNumber = 0; // the pass-through's number when the database refused the statement
    QString errorDescription;
    qint64 rowsAffected = 0;
    QList<QVariantList> rows;

    bool failed() const { return !submitted || errorNumber != 0; }
    bool isEmpty() const { return rows.isEmpty(); }
    qsizetype size() const { return rows.size(); }
    // Column (1-based, as the pass-through counts) of a row (0-based); invalid outside the result, so a
    // missing value reads as empty text or 0.
    QVariant value(qsizetype row, int column) const;
    // "#number (description)" for an "Error:" line; "not submitted" when the statement never ran.
    QString errorText() const;
};

// Runs one statement through RunSQL (same rewrites, same log lines) and reads its whole result. The
// pass-through's result set is released afterwards.
SqlRows QueryRows(DmContext &dm, const QString &statement);
