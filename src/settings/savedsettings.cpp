#include "settings/savedsettings.h"

#include "settings/leadingnumber.h"
#include "settings/product.h"

#include <QDir>

namespace {
const QString General = QStringLiteral("General");
}

QString flagText(bool value)
{
    return value ? QStringLiteral("-1") : QStringLiteral("0");
}

QString SavedSettings::general(const QString &key, const QString &defaultValue) const
{
    return m_store.get(ProductName(), General, key, defaultValue);
}

void SavedSettings::saveGeneral(const QString &key, const QString &text)
{
    m_store.save(ProductName(), General, key, text);
}

qint32 SavedSettings::screenLeft(qint32 centredLeft) const
{
    return leadingInt32(general(QStringLiteral("Screen.Left"), QString::number(centredLeft)));
}

void SavedSettings::saveScreenLeft(qint32 left)
{
    saveGeneral(QStringLiteral("Screen.Left"), QString::number(left));
}

qint32 SavedSettings::screenTop(qint32 centredTop) const
{
    return leadingInt32(general(QStringLiteral("Screen.Top"), QString::number(centredTop)));
}

void SavedSettings::saveScreenTop(qint32 top)
{
    saveGeneral(QStringLiteral("Screen.Top"), QString::number(top));
}

QString SavedSettings::logFile(const QString &programFolder) const
{
    return logFileOr(defaultLogFile(programFolder));
}

QString SavedSettings::defaultLogFile(const QString &programFolder)
{
    return QDir::toNativeSeparators(programFolder + u'/' + ProductName() + QStringLiteral(".LOG"));
}

QString SavedSettings::logFileOr(const QString &defaultValue) const
{
    return general(QStringLiteral("LogFile"), defaultValue);
}

void SavedSettings::saveLogFile(const QString &path)
{
    saveGeneral(QStringLiteral("LogFile"), path);
}

qint32 SavedSettings::checkLogMethod() const
{
    return leadingInt32(general(QStringLiteral("CheckLogMethod"), QStringLiteral("1")));
}

void SavedSettings::saveCheckLogMethod(qint32 value)
{
    saveGeneral(QStringLiteral("CheckLogMethod"), QString::number(value));
}

qint32 SavedSettings::displayErrors() const
{
    return leadingInt32(general(QStringLiteral("DisplayErrors"), QStringLiteral("1")));
}

void SavedSettings::saveDisplayErrors(qint32 value)
{
    saveGeneral(QStringLiteral("DisplayErrors"), QString::number(value));
}

QString SavedSettings::targetLibrary(const QString &currentLibrary) const
{
    return general(QStringLiteral("TargetLibrary"), currentLibrary);
}

void SavedSettings::saveTargetLibrary(const QString &library)
{
    saveGeneral(QStringLiteral("TargetLibrary"), library);
}

void SavedSettings::savePath(const QString &programPath)
{
    saveGeneral(QStringLiteral("Path"), programPath);
}

bool SavedSettings::uniqueNameWarningSeen(const QString &library) const
{
    return leadingNumber(m_store.get(ProductName(), library, QStringLiteral("UniqueNameWarning"),
                                     QStringLiteral("0"))) != 0;
}

void SavedSettings::saveUniqueNameWarning(const QString &library, bool parameterOn)
{
    m_store.save(ProductName(), library, QStringLiteral("UniqueNameWarning"), flagText(parameterOn));
}

bool SavedSettings::registerApiWarningShown() const
{
    return leadingNumber(m_store.get(ProductName(), QStringLiteral("Warning"), QStringLiteral("RegisterAPI"),
                                     QStringLiteral("0"))) != 0;
}

void SavedSettings::saveRegisterApiWarningShown()
{
    m_store.save(ProductName(), QStringLiteral("Warning"), QStringLiteral("RegisterAPI"), flagText(true));
}

bool SavedSettings::qentRegisterApiDone() const
{
    return leadingNumber(m_store.get(qentApplication(), General, QStringLiteral("RegisterAPI"),
                                     QStringLiteral("0"))) == -1;
}

void SavedSettings::saveQentRegisterApiDone()
{
    m_store.save(qentApplication(), General, QStringLiteral("RegisterAPI"), flagText(true));
}

bool SavedSettings::qentRegisterQentClassesDone() const
{
    return leadingNumber(m_store.get(qentApplication(), General, QStringLiteral("RegisterQentClasses"),
                                     QStringLiteral("0"))) == -1;
}

void SavedSettings::saveQentRegisterQentClassesDone()
{
    m_store.save(qentApplication(), General, QStringLiteral("RegisterQentClasses"), flagText(true));
}
