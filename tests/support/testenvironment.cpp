#include "support/testenvironment.h"

#include <QFile>

QByteArray ReadFileBytes(const QString &fileName)
{
    QFile file(fileName);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return file.readAll();
}

QStringList ReadLogLines(const QString &fileName)
{
    QStringList lines = QString::fromUtf8(ReadFileBytes(fileName)).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
