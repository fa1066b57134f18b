#include "batch/commandline.h"

#include <QFileInfo>

#include <algorithm>

namespace {

CommandLine only(CommandLine::Mode mode, const QString &error = {})
{
    CommandLine line;
    line.mode = mode;
    line.error = error;
    return line;
}

CommandLine usageError(const QString &error)
{
    return only(CommandLine::Mode::UsageError, error);
}

// Digits only: a sign, an exponent or a hexadecimal prefix would make a script's typo a folder number.
bool positiveNumber(const QString &text, int &number)
{
    if (text.isEmpty() ||
        !std::all_of(text.cbegin(), text.cend(), [](QChar c) { return c >= u'0' && c <= u'9'; }))
        return false;
    bool ok = false;
    number = text.toInt(&ok);
    return ok && number > 0;
}

// The batch commands and their operands, as the usage shows them.
struct CommandShape {
    QString word;
    QString operands;
};

const QList<CommandShape> &commandShapes()
{
    static const QList<CommandShape> shapes = {
        {QStringLiteral("move-folder"), QStringLiteral("LIBRARY DOCNUMBER TARGET")},
        {QStringLiteral("move-category"), QStringLiteral("LIBRARY public|shared TARGET")},
        {QStringLiteral("move-library"), QStringLiteral("LIBRARY TARGET")},
    };
    return shapes;
}

bool isCommandWord(const QString &word)
{
    return std::any_of(commandShapes().cbegin(), commandShapes().cend(),
                       [&](const CommandShape &shape) { return shape.word == word; });
}

// The batch command and its operands; an empty text when they are right.
QString readCommand(CommandLine &line, const QStringList &words)
{
    const QString name = words.value(0);
    const QStringList operands = words.mid(1);
    const auto expect = [&](qsizetype count) {
        const auto shape = std::find_if(commandShapes().cbegin(), commandShapes().cend(),
                                        [&](const CommandShape &each) { return each.word == name; });
        return operands.size() == count ? QString() : name + QStringLiteral(" takes ") + shape->operands;
    };
    if (name == u"move-folder") {
        line.command = CommandLine::Command::MoveFolder;
        if (QString wrong = expect(3); !wrong.isEmpty())
            return wrong;
        if (!positiveNumber(operands[1], line.docNumber))
            return QStringLiteral("DOCNUMBER must be a folder number, digits greater than 0, not ") +
                   operands[1];
        line.library = operands[0];
        line.target = operands[2];
        return {};
    }
    if (name == u"move-category") {
        line.command = CommandLine::Command::MoveCategory;
        if (QString wrong = expect(3); !wrong.isEmpty())
            return wrong;
        const QString category = operands[1].toLower();
        if (category != u"public" && category != u"shared")
            return QStringLiteral("the category must be public or shared, not ") + operands[1];
        line.library = operands[0];
        line.sharedCategory = category == u"shared";
        line.target = operands[2];
        return {};
    }
    if (name == u"move-library") {
        line.command = CommandLine::Command::MoveLibrary;
        if (QString wrong = expect(2); !wrong.isEmpty())
            return wrong;
        line.library = operands[0];
        line.target = operands[1];
        return {};
    }
    return name.isEmpty() ? QStringLiteral("--batch needs a command")
                          : QStringLiteral("unknown command ") + name;
}

// "--name" or "--name=VALUE".
bool isOption(const QString &argument, QStringView name)
{
    return argument == name || (argument.startsWith(name) && argument.mid(name.size()).startsWith(u'='));
}

// The value of the option at i, given after "=" or as the next argument (which i then moves on to); empty
// when it is missing.
QString optionValue(const QStringList &arguments, qsizetype &i)
{
    const QString &argument = arguments[i];
    if (const qsizetype equals = argument.indexOf(u'='); equals >= 0)
        return argument.mid(equals + 1);
    const QString next = arguments.value(i + 1);
    if (next.isEmpty() || next.startsWith(QStringLiteral("--")))
        return {};
    ++i;
    return next;
}

} // namespace

CommandLine ParseCommandLine(const QStringList &arguments)
{
    CommandLine line;
    QStringList plain;
    const QStringList batchOptions = {QStringLiteral("--yes"), QStringLiteral("--dry-run"),
                                      QStringLiteral("--verbose"), QStringLiteral("--log-verbose"),
                                      QStringLiteral("--log-quiet")};
    QStringList batchOptionsGiven;
    bool batch = false;
    for (qsizetype i = 0; i < arguments.size(); ++i) {
        const QString &argument = arguments[i];
        if (argument == u"--help" || argument == u"-h")
            return only(CommandLine::Mode::Help);
        if (argument == u"--version")
            return only(CommandLine::Mode::Version);
        if (isOption(argument, u"--dm")) {
            const QString value = optionValue(arguments, i);
            if (value.isEmpty())
                return usageError(QStringLiteral("--dm needs the installation file"));
            if (QFileInfo(value).isDir())
                return usageError(QStringLiteral("--dm needs the installation file, and ") + value +
                                  QStringLiteral(" is a directory"));
            line.installation = value;
        } else if (isOption(argument, u"--report")) {
            line.reportFile = optionValue(arguments, i);
            if (line.reportFile.isEmpty())
                return usageError(QStringLiteral("--report needs the report file"));
            batchOptionsGiven << QStringLiteral("--report");
        } else if (argument == u"--batch") {
            batch = true;
        } else if (batchOptions.contains(argument)) {
            batchOptionsGiven << argument;
        } else if (argument.startsWith(QStringLiteral("--"))) {
            return usageError(QStringLiteral("unknown option ") + argument);
        } else {
            plain << argument;
        }
    }
    if (!batch) {
        for (const QString &word : std::as_const(plain))
            if (isCommandWord(word))
                return usageError(word + QStringLiteral(" runs only in batch mode: korvel --batch ") +
                                  arguments.join(u' '));
        if (!batchOptionsGiven.isEmpty())
            return usageError(batchOptionsGiven.first() + QStringLiteral(" is an option of --batch"));
        line.freeForm = plain.join(u' ');
        return line;
    }
    QStringList words;
    QStringList freeForm;
    for (const QString &argument : std::as_const(plain))
        (argument.startsWith(u'/') ? freeForm : words) << argument;
    line.freeForm = freeForm.join(u' ');
    line.mode = CommandLine::Mode::Batch;
    line.yes = batchOptionsGiven.contains(QStringLiteral("--yes"));
    line.dryRun = batchOptionsGiven.contains(QStringLiteral("--dry-run"));
    line.verbose = batchOptionsGiven.contains(QStringLiteral("--verbose"));
    const bool loud = batchOptionsGiven.contains(QStringLiteral("--log-verbose"));
    const bool quiet = batchOptionsGiven.contains(QStringLiteral("--log-quiet"));
    if (loud && quiet)
        return usageError(QStringLiteral("--log-verbose and --log-quiet exclude each other"));
    if (loud || quiet)
        line.logVerbose = loud;
    if (const QString wrong = readCommand(line, words); !wrong.isEmpty())
        return usageError(wrong);
    return line;
}

QString MissingDisplay(const QProcessEnvironment &environment)
{
#if defined(Q_OS_UNIX) && !defined(Q_OS_DARWIN)
    if (!environment.value(QStringLiteral("DISPLAY")).isEmpty() ||
        !environment.value(QStringLiteral("WAYLAND_DISPLAY")).isEmpty())
        return {};
    // "name:options", or a list of names to try in turn; only X11 and Wayland need a display server.
    for (const QString &platform :
         environment.value(QStringLiteral("QT_QPA_PLATFORM")).split(u';', Qt::SkipEmptyParts)) {
        const QString name = platform.section(u':', 0, 0).trimmed();
        if (!name.isEmpty() && name != u"xcb" && !name.startsWith(QStringLiteral("wayland")))
            return {};
    }
    return QStringLiteral("no display to open the window on (neither DISPLAY nor WAYLAND_DISPLAY is set); "
                          "run a move without a window with --batch (see korvel --help)");
#else
    Q_UNUSED(environment);
    return {};
#endif
}

QString UsageLines()
{
    QString lines = QStringLiteral(
        "usage: korvel [--dm FILE] [/P] [/RV] [/XR]\n"
        "       korvel --batch [--dm FILE] [--yes] [--dry-run] [--verbose] [--log-verbose|--log-quiet]\n"
        "                      [--report FILE] COMMAND\n"
        "       korvel --help | --version\n");
    QString lead = QStringLiteral("COMMAND is ");
    for (const CommandShape &shape : commandShapes()) {
        lines += lead + shape.word + u' ' + shape.operands + u'\n';
        lead = QStringLiteral("        or ");
    }
    return lines;
}

QString HelpText(const QString &readmeFile)
{
    return UsageLines() +
           QStringLiteral(
               "\n"
               "Moves DM folders between the libraries of a DM installation, from a window or, with "
               "--batch,\n"
               "unattended from a shell.\n"
               "\n"
               "Batch commands (TARGET is the library the folders move to):\n"
               "  move-folder LIBRARY DOCNUMBER TARGET     one folder of LIBRARY with its whole tree\n"
               "  move-category LIBRARY public|shared TARGET\n"
               "                                           every folder the tree lists in that category\n"
               "  move-library LIBRARY TARGET              every top-level folder of LIBRARY the user holds\n"
               "                                           all rights on\n"
               "\n"
               "Options:\n"
               "  --dm FILE       the DM installation file (default: $KORVEL_DM, else the demo "
               "installation)\n"
               "  --batch         run a command without a window; messages go to standard error\n"
               "  --yes           answer Yes to the move confirmation (without it nothing moves)\n"
               "  --dry-run       preview: list on standard output what the move would do and its hazards,\n"
               "                  change nothing; with --report, the plan in the report's columns\n"
               "  --verbose       print the status texts to standard error\n"
               "  --log-verbose   write the verbose log lines, whatever the saved setting says\n"
               "  --log-quiet     write only the \"Error:\", \"Warning:\" and \"Move:\" lines to the log\n"
               "  --report FILE   write the CSV report of the move to FILE (default: a new file beside the\n"
               "                  log, named with its date and the time of the move); an existing FILE\n"
               "                  is replaced only when it is empty or such a report\n"
               "  --help          print this help;  --version  print the version\n"
               "  /P              delete the configured log file at start-up (window)\n"
               "  /RV, /XR        accepted; there is no DM view to refresh\n"
               "  Ctrl+C          in batch mode: the current folder stops at its next safe point and keeps\n"
               "                  its source; a second Ctrl+C ends at once. SIGTERM and SIGHUP act as\n"
               "                  a first Ctrl+C\n"
               "\n"
               "Exit codes:\n"
               "  0  done (an empty list included); a preview that foresees a clean move\n"
               "  1  a folder (or any folder of a list) failed; a preview that foresees a folder failing\n"
               "  2  usage error; a --report FILE that cannot be written, or is neither empty nor a report\n"
               "     of this program\n"
               "  3  refused before anything changed (rights, target equal to source, no such folder or\n"
               "     library, another move running on the installation); a preview that foresees it\n"
               "  4  a question was answered No\n"
               "  5  cancelled before the list ended\n"
               "  6  start-up failed (installation, DM session, universal access, no display for the "
               "window)\n"
               "\n"
               "Readme (Help/View Readme): ") +
           readmeFile + (QFileInfo::exists(readmeFile) ? QString() : QStringLiteral(" (missing)")) + u'\n';
}
