#pragma once

#include <QStringList>

#include <optional>

enum class DemoSize {
    Small, // a few dozen folders that show every case the program must handle
    Large, // the small content plus a tree of 10,000 documents in 1,000 folders, for benchmarks
    // The small content plus about 20,000 folders and 200,000 documents in CORPORATE, for benchmarks of
    // big moves: among them HugeDemoFolderName() and HugeDemoTreeName().
    Huge,
};

// The names of the sizes, smallest first, as korvel-dm takes them ("small", "large", "huge").
QStringList DemoSizeNames();
// The size a name of DemoSizeNames() stands for; nothing for any other text.
std::optional<DemoSize> DemoSizeFromName(const QString &name);

// Public folders of CORPORATE in the huge demo, each to be moved on its own: one folder of 50,000
// documents, and a tree of 10,000 folders.
QString HugeDemoFolderName();
QString HugeDemoTreeName();

// The login user a demo is made for when none is given: the system's user name in upper case.
QString DemoUserName();

// Writes a demo installation into dir (created when missing): three libraries, one per SQL
// personality (CORPORATE on Microsoft SQL Server, ARCHIVE on Oracle, LEGAL on Sybase), whose numbers
// collide on purpose, with folder trees, cross-library documents, security, rights and settings,
// and installation.ini naming user as the login user. Returns the installation file name.
// Throws DmError when dir already holds an installation or one of the demo's library files, or
// cannot be written; the files this call created are removed again then.
//
// Given server (a libpq connection string), the libraries are made on that PostgreSQL server instead,
// a database each, named from dir's base name in lower case with '_' for anything but letters, digits
// and '_', then '_' and the library's name ("demo_corporate"); installation.ini names them by
// Connection= (server with its dbname replaced). A database of that name that exists already is
// refused, so two demos never share one; the databases this call created are dropped again then.
QString CreateDemoInstallation(const QString &dir, DemoSize size, const QString &user,
                               const QString &server = {});

// Where the program finds its installation (Installation::locate()). When that is the demo
// installation and it does not exist yet, the small demo is created there first, for DemoUserName().
QString LocateInstallation(const QString &dmArgument);

// The installation LocateInstallation finds, with whether it is the demo and whether this call
// created it.
struct LocatedInstallation {
    QString fileName;
    bool demo = false;
    bool created = false;
};
LocatedInstallation FindInstallation(const QString &dmArgument);
