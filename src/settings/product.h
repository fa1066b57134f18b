#pragma once

#include <QString>

// The product name from the program's version information: messages and log lines embed it, and
// it names the application under which the program's own settings are saved.
QString ProductName();

// Caption of the main window and of every message box: "Korvel", the trade mark sign and the rest.
QString ApplicationTitle();
