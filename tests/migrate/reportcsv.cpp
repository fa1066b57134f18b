#include "reportcsv.h"

#include <QFile>

QList<QStringList> ReadReportCsv(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(file.readAll());
    const auto at = [&](qsizetype i) { return i < text.size() ? text[i] : QChar(); };
    QList<QStringList> rows;
    QStringList row;
    QString field;
    bool quoted = false;
    bool wasQuoted = false;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text[i];
        if (quoted) {
            if (c == u'"' && at(i + 1) == u'"')
                field += text[++i];
            else if (c == u'"')
                quoted = false;
            else
                field += c;
        } else if (c == u'"' && field.isEmpty() && !wasQuoted) {
            quoted = wasQuoted = true;
        } else if (c == u',') {
            row << field;
            field.clear();
            wasQuoted = false;
        } else if (c == u'\r' && at(i + 1) == u'\n') {
            row << field;
            rows << row;
            row.clear();
            field.clear();
            wasQuoted = false;
            ++i;
        } else if (c == u'"' || c == u'\r' || c == u'\n' || wasQuoted) {
            return {};
        } else {
            field += c;
        }
    }
    return quoted || !row.isEmpty() || !field.isEmpty() ? QList<QStringList>{} : rows;
}
