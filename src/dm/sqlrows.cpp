#include "dm/sqlrows.h"

#include "dm/runsql.h"

namespace {

// RunSQL logs these two numbers as a successful execution, so the reader does the same.
bool reportsSuccess(qint32 number)
{
    return number == 0 || number == 9;
}

} // namespace

QVariant SqlRows::value(qsizetype row, int column) const
{
    if (row < 0 || row >= rows.size() || column < 1 || column > rows[row].size())
        return {};
    return rows[row][column - 1];
}

QString SqlRows::errorText() const
{
    if (!submitted)
        return QStringLiteral("the statement was not submitted");
    return u'#' + QString::number(errorNumber) +
           (errorDescription.isEmpty() ? QString() : QStringLiteral(" (") + errorDescription + u')');
}

SqlRows QueryRows(DmContext &dm, const QString &statement)
{
    SqlRows result;
    result.submitted = RunSQL(dm, statement);
    const std::shared_ptr<DmSql> sql = dm.session.sql.object();
    if (!result.submitted || !sql)
        return result;
    if (const qint32 number = sql->errorNumber(); !reportsSuccess(number)) {
        result.errorNumber = number;
        result.errorDescription = sql->errorDescription();
        return result;
    }
    result.rowsAffected = sql->rowsAffected();
    const int rowCount = sql->rowCount();
    const int columnCount = sql->columnCount();
    result.rows.reserve(rowCount);
    for (int row = 1; row <= rowCount; ++row) {
        sql->setRow(row);
        QVariantList values;
        values.reserve(columnCount);
        for (int column = 1; column <= columnCount; ++column)
            values.append(sql->columnValue(column));
        result.rows.append(std::move(values));
    }
    sql->releaseResults();
    return result;
}
