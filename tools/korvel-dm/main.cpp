// korvel-dm: the command-line tool of the local DM. The subcommands live in localdm/tools/dmtool.
#include "localdm/tools/dmtool.h"

#include <QCoreApplication>

#include <cstdio>

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);
    return RunDmTool(QCoreApplication::arguments().mid(1), out, err);
}
