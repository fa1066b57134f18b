#pragma once

#include <QString>

// The product name from the program's version information: messages and log lines embed it, and
// it names the application under which the program's own settings are saved.
QString ProductName();

// Caption of the main window and of every message box: "Korvel", the trade mark sign and the rest.
QString ApplicationTitle();

// The build number: the day number (days since 30 December 1899) of the date that the program's
// version numbers spell (year.month.day).
qint64 BuildNumber();
// The same date as "MMM D, YYYY" in the default locale.
QString BuildDate();
