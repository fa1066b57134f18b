// Entry point of the tests that need no display.
#include "support/testenvironment.h"

#include <QCoreApplication>

int main(int argc, char **argv)
{
    return RunIsolatedTests<QCoreApplication>(argc, argv);
}
