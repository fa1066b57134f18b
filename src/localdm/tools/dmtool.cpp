#include "localdm/tools/dmtool.h"

#include "dmapi/dmerror.h"
#include "localdm/localapplication.h"
#include "localdm/sql/localsql.h"
#include "localdm/tools/demoinstallation.h"
#include "localdm/tools/librarycheck.h"

#include <QHash>

namespace {

const QString Program = QStringLiteral("korvel-dm");

// Arguments of one subcommand: options (each takes a value) by name, and the rest in order.
struct Invocation {
    QHash<QString, QString> options;
    QStringList positional;
};

// Bad arguments: the message is printed with the subcommand's usage.
struct UsageError {
    QString message;
};

LocalDm openInstallation(const Invocation &invocation)
{
    return LocalDm(Installation::load(LocateInstallation(invocation.options.value(QStringLiteral("--dm")))));
}

int initDemo(const Invocation &invocation, QTextStream &out)
{
    const QString sizeName = invocation.options.value(QStringLiteral("--size"), DemoSizeNames().first());
    const std::optional<DemoSize> size = DemoSizeFromName(sizeName);
    if (!size) {
        const QStringList names = DemoSizeNames();
        throw UsageError{QStringLiteral("--size must be %1 or %2, not \"%3\"")
                             .arg(names.mid(0, names.size() - 1).join(u", "_qs), names.last(), sizeName)};
    }
    const QString user = invocation.options.value(QStringLiteral("--user"), DemoUserName()).trimmed();
    out << CreateDemoInstallation(invocation.positional[0], *size, user,
                                  invocation.options.value(QStringLiteral("--postgresql")))
        << Qt::endl;
    return 0;
}

int tree(const Invocation &invocation, QTextStream &out)
{
    qint64 docNumber = 0;
    if (invocation.positional.size() > 1) {
        bool ok = false;
        docNumber = invocation.positional[1].toLongLong(&ok);
        if (!ok || docNumber <= 0)
            throw UsageError{QStringLiteral("DOCNUMBER must be a positive whole number, not \"%1\"")
                                 .arg(invocation.positional[1])};
    }
    LocalDm dm = openInstallation(invocation);
    LibraryCheck check(dm);
    for (const QString &line : check.folderTree(invocation.positional[0], docNumber))
        out << line << '\n';
    for (const QString &line : check.unopened())
        out << line << '\n';
    out.flush();
    return check.unopened().isEmpty() ? 0 : 1;
}

int check(const Invocation &invocation, QTextStream &out)
{
    LocalDm dm = openInstallation(invocation);
    LibraryCheck libraryCheck(dm);
    const QStringList violations = libraryCheck.violations();
    // What a store could not check is no violation: the administrator learns what was left out.
    for (const QString &line : libraryCheck.unchecked())
        out << QStringLiteral("Warning: ") << line << '\n';
    for (const QString &line : violations)
        out << line << '\n';
    if (violations.isEmpty())
        out << QStringLiteral("%1 libraries checked, no violations").arg(dm.installation().libraries.size())
            << '\n';
    out.flush();
    return violations.isEmpty() ? 0 : 1;
}

// Adds the folder list indexes to the library files made before they were part of a new library. A
// library that cannot be opened is reported and the others are still done (exit 1).
int addIndexes(const Invocation &invocation, QTextStream &out)
{
    LocalDm dm = openInstallation(invocation);
    bool allDone = true;
    for (const LibraryConfig &library : dm.installation().libraries) {
        try {
            const QStringList added = dm.database(library.name).addFolderListIndexes();
            out << (added.isEmpty() ? QStringLiteral("%1: folder list indexes present").arg(library.name)
                                    : QStringLiteral("%1: added %2").arg(library.name, added.join(u", "_qs)))
                << '\n';
        } catch (const DmError &error) {
            out << error.description() << '\n';
            allDone = false;
        }
    }
    out.flush();
    return allDone ? 0 : 1;
}

// Hands one statement, as given, to the library's SQL pass-through: the personality of the library
// applies, as it does to the program's statements after their rewrites.
int sql(const Invocation &invocation, QTextStream &out)
{
    auto dm = std::make_shared<LocalDm>(
        Installation::load(LocateInstallation(invocation.options.value(QStringLiteral("--dm")))));
    const QString token = LocalApplication(dm).securityToken();
    if (token.isEmpty())
        throw DmError(1009, QStringLiteral("Local DM"),
                      QStringLiteral("User %1 cannot log in: not in PEOPLE of library %2")
                          .arg(dm->installation().user, dm->installation().currentLibrary));
    LocalSql pass(dm);
    pass.setSecurityToken(token);
    pass.setLibrary(invocation.positional[0]);
    if (pass.execute(invocation.positional[1]) != 0) {
        out << QStringLiteral("SQL error %1: %2").arg(pass.errorNumber()).arg(pass.errorDescription())
            << Qt::endl;
        return 1;
    }
    for (int row = 1; row <= pass.rowCount(); ++row) {
        pass.setRow(row);
        QStringList values;
        for (int column = 1; column <= pass.columnCount(); ++column)
            values << pass.columnValue(column).toString();
        out << values.join(u'\t') << '\n';
    }
    out << QStringLiteral("rows affected: %1, rows returned: %2")
               .arg(pass.rowsAffected())
               .arg(pass.rowCount())
        << Qt::endl;
    return 0;
}

struct Command {
    QString name;
    QString arguments; // as the usage line shows them
    QString purpose;   // one line for the help
    QStringList options;
    int minPositional;
    int maxPositional;
    int (*run)(const Invocation &, QTextStream &out);
};

const QList<Command> &commands()
{
    static const QList<Command> list = {
        {u"init-demo"_qs,
         u"DIR [--size "_qs + DemoSizeNames().join(u'|') + u"] [--user ID] [--postgresql CONNINFO]"_qs,
         u"create a demo installation in DIR (SQLite files, or databases on a PostgreSQL server)"_qs,
         {u"--size"_qs, u"--user"_qs, u"--postgresql"_qs},
         1,
         1,
         &initDemo},
        {u"tree"_qs,
         u"[--dm FILE] LIBRARY [DOCNUMBER]"_qs,
         u"print a library's folder tree, or one folder's, in display order"_qs,
         {u"--dm"_qs},
         1,
         2,
         &tree},
        {u"check"_qs,
         u"[--dm FILE]"_qs,
         u"check every library and list each violation of the DM's rules"_qs,
         {u"--dm"_qs},
         0,
         0,
         &check},
        {u"sql"_qs,
         u"[--dm FILE] [--] LIBRARY STATEMENT"_qs,
         u"run one statement through the library's SQL pass-through"_qs,
         {u"--dm"_qs},
         2,
         2,
         &sql},
        {u"add-indexes"_qs,
         u"[--dm FILE]"_qs,
         u"give library files made by older builds the folder list indexes"_qs,
         {u"--dm"_qs},
         0,
         0,
         &addIndexes},
    };
    return list;
}

void printUsage(QTextStream &stream, const Command *command)
{
    for (const Command &each : commands())
        if (!command || command == &each)
            stream << (command || &each == &commands().first() ? u"usage: "_qs : u"       "_qs) << Program
                   << ' ' << each.name << ' ' << each.arguments << '\n';
    stream.flush();
}

void printHelp(QTextStream &stream)
{
    printUsage(stream, nullptr);
    stream << "       " << Program << " --help | --version\n\nCommands:\n";
    for (const Command &each : commands())
        stream << "  " << each.name.leftJustified(13) << each.purpose << '\n';
    stream << "\nWithout --dm a command uses the installation file $KORVEL_DM, else the demo installation.\n"
              "After -- every argument is taken as it is, so a statement may start with a -- comment.\n"
              "Exit codes: 0 done, 1 the work failed (a DM error, or violations found), 2 bad arguments.\n";
    stream.flush();
}

Invocation parse(const Command &command, const QStringList &arguments)
{
    Invocation invocation;
    bool optionsEnded = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        // After "--" every argument is positional, so a statement may start with a "--" comment.
        if (argument == u"--"_qs && !optionsEnded) {
            optionsEnded = true;
            continue;
        }
        if (optionsEnded || !argument.startsWith(QStringLiteral("--"))) {
            invocation.positional << argument;
            continue;
        }
        const qsizetype equals = argument.indexOf(u'=');
        const QString name = equals < 0 ? argument : argument.left(equals);
        if (!command.options.contains(name))
            throw UsageError{QStringLiteral("unknown option %1").arg(name)};
        if (invocation.options.contains(name))
            throw UsageError{QStringLiteral("%1 given twice").arg(name)};
        const QString value = equals >= 0                ? argument.mid(equals + 1)
                              : i + 1 < arguments.size() ? arguments[++i]
                                                         : QString();
        if (value.trimmed().isEmpty())
            throw UsageError{QStringLiteral("%1 needs a value").arg(name)};
        invocation.options.insert(name, value);
    }
    if (invocation.positional.size() < command.minPositional)
        throw UsageError{QStringLiteral("too few arguments")};
    if (invocation.positional.size() > command.maxPositional)
        throw UsageError{QStringLiteral("too many arguments")};
    return invocation;
}

} // namespace

int RunDmTool(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    if (arguments.isEmpty()) {
        printUsage(err, nullptr);
        return 2;
    }
    if (arguments.first() == u"--help"_qs || arguments.first() == u"-h"_qs) {
        printHelp(out);
        return 0;
    }
    if (arguments.first() == u"--version"_qs) {
        out << Program << ' ' << KORVEL_VERSION << Qt::endl;
        return 0;
    }
    const auto command = std::find_if(commands().cbegin(), commands().cend(),
                                      [&](const Command &each) { return each.name == arguments.first(); });
    if (command == commands().cend()) {
        err << Program << QStringLiteral(": unknown command %1").arg(arguments.first()) << '\n';
        printUsage(err, nullptr);
        return 2;
    }
    try {
        return command->run(parse(*command, arguments.mid(1)), out);
    } catch (const UsageError &error) {
        err << Program << ": " << error.message << '\n';
        printUsage(err, &*command);
        return 2;
    } catch (const DmError &error) {
        err << Program << ": " << error.description() << '\n';
        err.flush();
        return 1;
    }
}
