#include "support/testenvironment.h"

#include <QFile>
#include <QLocale>

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

void IsolateTestEnvironment(const QTemporaryDir &home)
{
    qputenv("XDG_CONFIG_HOME", home.filePath(QStringLiteral("config")).toUtf8());
    qputenv("XDG_DATA_HOME", home.filePath(QStringLiteral("data")).toUtf8());
    qunsetenv("KORVEL_REGISTRY");
    qunsetenv("KORVEL_DM");
    qunsetenv("KORVEL_DM_FAULTS");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}
