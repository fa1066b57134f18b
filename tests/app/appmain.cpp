// Entry point of the window tests: a widget application, offscreen under CTest.
#include "support/testenvironment.h"

#include <QApplication>

int main(int argc, char **argv)
{
    return RunIsolatedTests<QApplication>(argc, argv);
}
