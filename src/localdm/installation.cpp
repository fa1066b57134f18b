#include "localdm/installation.h"

#include "dmapi/databasefile.h"
#include "dmapi/dmerror.h"
#include "localdm/store/serverconnection.h"

#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QSettings>
#include <QStandardPaths>

namespace {

const QString Source = QStringLiteral("Local DM");
constexpr qint32 InstallationError = 1001;

[[noreturn]] void fail(const QString &fileName, const QString &fault)
{
    throw DmError(InstallationError, Source, QStringLiteral("DM installation %1: %2").arg(fileName, fault));
}

bool readFlag(const QVariant &value)
{
    const QString text = value.toString().trimmed().toUpper();
    return text == QStringLiteral("TRUE") || text == QStringLiteral("ON") || text == QStringLiteral("YES") ||
           text == QStringLiteral("1") || text == QStringLiteral("-1");
}

int readInt(const QSettings &ini, const QString &key, int defaultValue, const QString &fileName)
{
    const QVariant value = ini.value(key);
    if (!value.isValid())
        return defaultValue;
    bool ok = false;
    const int number = value.toString().trimmed().toInt(&ok);
    if (!ok)
        fail(fileName, QStringLiteral("%1 is not a whole number (\"%2\")").arg(key, value.toString()));
    return number;
}

// The same text for every way the installation file can name one database.
QString databaseIdentity(const LibraryConfig &library)
{
    return library.onServer() ? ServerDatabasePlace(library.connection, library.name)
                              : DatabaseFileIdentity(library.databaseFile);
}

} // namespace

Installation Installation::load(const QString &fileName)
{
    const QFileInfo info(fileName);
    if (!info.isFile())
        fail(fileName, QStringLiteral("file not found"));
    QSettings ini(info.absoluteFilePath(), QSettings::IniFormat);
    if (ini.status() != QSettings::NoError)
        fail(fileName, QStringLiteral("not a readable INI file"));
    // An INI value with a '"' that is not closed takes the lines after it, other sections and keys
    // included, into itself: said of that key, before a key it swallowed is missed.
    for (const QString &key : ini.allKeys()) {
        const QVariant value = ini.value(key);
        const QString text =
            value.typeId() == QMetaType::QStringList ? value.toStringList().join(u',') : value.toString();
        if (text.contains(u'\n'))
            fail(fileName,
                 QStringLiteral("the value of %1 in section [%2] runs on past its line: a '\"' in it "
                                "is not closed")
                     .arg(key.section(u'/', -1),
                          key.contains(u'/') ? key.section(u'/', 0, 0) : QStringLiteral("General")));
    }

    Installation result;
    result.fileName = info.absoluteFilePath();
    result.user = ini.value(QStringLiteral("Installation/User")).toString().trimmed();
    if (result.user.isEmpty())
        fail(fileName, QStringLiteral("no User in section [Installation]"));
    const QStringList names = ini.value(QStringLiteral("Installation/Libraries")).toStringList();
    if (names.isEmpty())
        fail(fileName, QStringLiteral("no Libraries in section [Installation]"));

    const QDir folder = info.absoluteDir();
    for (const QString &rawName : names) {
        LibraryConfig library;
        library.name = rawName.trimmed();
        if (library.name.isEmpty())
            fail(fileName, QStringLiteral("an empty library name in Libraries"));
        if (result.library(library.name))
            fail(fileName, QStringLiteral("library %1 is listed twice").arg(library.name));
        const QString section = library.name + u'/';
        if (!ini.childGroups().contains(library.name))
            fail(fileName, QStringLiteral("no section [%1] for library %1").arg(library.name));
        const QString database = ini.value(section + QStringLiteral("Database")).toString().trimmed();
        const QVariant connection = ini.value(section + QStringLiteral("Connection"));
        // Unquoted, QSettings splits a value at its commas: joined again, "host=a, port=5" would silently
        // become a host list, so such a value must be quoted instead.
        if (connection.typeId() == QMetaType::QStringList)
            fail(fileName, QStringLiteral("the Connection of library %1 has a ',' outside double quotes: "
                                          "write the whole value in double quotes")
                               .arg(library.name));
        library.connection = connection.toString().trimmed();
        if (database.isEmpty() && library.connection.isEmpty())
            fail(fileName, QStringLiteral("no Database or Connection for library %1").arg(library.name));
        if (!database.isEmpty() && !library.connection.isEmpty())
            fail(fileName, QStringLiteral("library %1 has both a Database and a Connection: a library lives "
                                          "in a file or on a server, not both")
                               .arg(library.name));
        if (library.onServer()) {
            const QString fault = ConnectionStringFault(library.connection);
            if (!fault.isEmpty())
                fail(fileName, QStringLiteral("the Connection of library %1 %2").arg(library.name, fault));
        } else {
            library.databaseFile = QDir::cleanPath(folder.absoluteFilePath(database));
        }
        library.engine = readInt(ini, section + QStringLiteral("Engine"), library.engine, fileName);
        library.owner = ini.value(section + QStringLiteral("Owner"), library.owner).toString().trimmed();
        // The owner names the schema the library's file is attached as: a plain name, never SQL text.
        static const QRegularExpression plainName(QStringLiteral("^[A-Za-z_][A-Za-z0-9_]*$"));
        const QString lowerOwner = library.owner.toLower();
        if (!plainName.match(library.owner).hasMatch() || lowerOwner == QStringLiteral("main") ||
            lowerOwner == QStringLiteral("temp") || lowerOwner == QStringLiteral("sys"))
            fail(fileName,
                 QStringLiteral("library %1 has an unusable Owner \"%2\"").arg(library.name, library.owner));
        library.serverLocation = ini.value(section + QStringLiteral("ServerLocation")).toString().trimmed();
        library.databaseName =
            ini.value(section + QStringLiteral("DatabaseName"), library.name).toString().trimmed();
        library.primary = readFlag(ini.value(section + QStringLiteral("Primary")));
        library.productVersion = ini.value(section + QStringLiteral("ProductVersion"), library.productVersion)
                                     .toString()
                                     .trimmed();
        library.compatibilityLevel = readInt(ini, section + QStringLiteral("CompatibilityLevel"),
                                             library.compatibilityLevel, fileName);
        library.quotedIdentifier =
            readFlag(ini.value(section + QStringLiteral("QuotedIdentifier"), u"ON"_qs));
        // Two libraries over one database would each take the other's rows for their own, and a move
        // between them would remove what it just made.
        const QString identity = databaseIdentity(library);
        for (const LibraryConfig &other : std::as_const(result.libraries))
            if (databaseIdentity(other) == identity)
                fail(
                    fileName,
                    QStringLiteral("libraries %1 and %2 name one database (%3): each library needs "
                                   "a database of its own")
                        .arg(other.name, library.name,
                             library.onServer() ? identity : QDir::toNativeSeparators(library.databaseFile)));
        result.libraries.append(library);
    }

    result.currentLibrary = ini.value(QStringLiteral("Installation/CurrentLibrary")).toString().trimmed();
    if (result.currentLibrary.isEmpty()) {
        result.currentLibrary = result.libraries.first().name;
        for (const LibraryConfig &library : result.libraries)
            if (library.primary)
                result.currentLibrary = library.name;
    }
    if (!result.library(result.currentLibrary))
        fail(fileName,
             QStringLiteral("CurrentLibrary %1 is not one of the Libraries").arg(result.currentLibrary));
    result.defaultLibrary =
        ini.value(QStringLiteral("Installation/DefaultLibrary"), result.currentLibrary).toString().trimmed();
    if (!result.library(result.defaultLibrary))
        fail(fileName,
             QStringLiteral("DefaultLibrary %1 is not one of the Libraries").arg(result.defaultLibrary));
    result.faults = ini.value(QStringLiteral("Installation/Faults")).toStringList().join(u',');
    return result;
}

void Installation::save(const QString &fileName) const
{
    QFile::remove(fileName);
    QSettings ini(fileName, QSettings::IniFormat);
    const QDir folder = QFileInfo(fileName).absoluteDir();
    ini.setValue(QStringLiteral("Installation/User"), user);
    QStringList names;
    for (const LibraryConfig &library : libraries)
        names << library.name;
    ini.setValue(QStringLiteral("Installation/Libraries"), names);
    ini.setValue(QStringLiteral("Installation/CurrentLibrary"), currentLibrary);
    ini.setValue(QStringLiteral("Installation/DefaultLibrary"), defaultLibrary);
    if (!faults.isEmpty())
        ini.setValue(QStringLiteral("Installation/Faults"), faults);
    for (const LibraryConfig &library : libraries) {
        const QString section = library.name + u'/';
        // QSettings writes a text with '=', ',' or ';' in double quotes and escapes '"' and '\\' in it, so a
        // connection string reads back exactly as it was.
        if (library.onServer()) {
            ini.setValue(section + QStringLiteral("Connection"), library.connection);
        } else {
            const QString relative = folder.relativeFilePath(library.databaseFile);
            ini.setValue(section + QStringLiteral("Database"),
                         relative.startsWith(QStringLiteral("..")) ? library.databaseFile : relative);
        }
        ini.setValue(section + QStringLiteral("Engine"), library.engine);
        ini.setValue(section + QStringLiteral("Owner"), library.owner);
        ini.setValue(section + QStringLiteral("ServerLocation"), library.serverLocation);
        ini.setValue(section + QStringLiteral("DatabaseName"), library.databaseName);
        ini.setValue(section + QStringLiteral("Primary"), library.primary ? u"true"_qs : u"false"_qs);
        ini.setValue(section + QStringLiteral("ProductVersion"), library.productVersion);
        ini.setValue(section + QStringLiteral("CompatibilityLevel"), library.compatibilityLevel);
        ini.setValue(section + QStringLiteral("QuotedIdentifier"),
                     library.quotedIdentifier ? u"ON"_qs : u"OFF"_qs);
    }
}

const LibraryConfig *Installation::library(const QString &name) const
{
    const QString wanted = name.trimmed();
    for (const LibraryConfig &library : libraries)
        if (library.name.compare(wanted, Qt::CaseInsensitive) == 0)
            return &library;
    return nullptr;
}

QStringList Installation::databaseFiles() const
{
    QStringList files;
    for (const LibraryConfig &library : libraries)
        if (!library.onServer())
            files << library.databaseFile;
    return files;
}

QString Installation::demoFileName()
{
    return QStandardPaths::writableLocation(QStandardPaths::GenericDataLocation) +
           QStringLiteral("/korvel/demo/installation.ini");
}

QString Installation::locate(const QString &dmArgument)
{
    if (!dmArgument.isEmpty())
        return dmArgument;
    const QString fromEnvironment = qEnvironmentVariable("KORVEL_DM");
    return fromEnvironment.isEmpty() ? demoFileName() : fromEnvironment;
}
