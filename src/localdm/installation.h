#pragma once

#include "dmapi/enginecode.h"

#include <QList>
#include <QString>
#include <QStringList>

// One library of a local DM installation.
struct LibraryConfig {
    QString name;
    QString databaseFile; // absolute path of the library's SQLite file; empty for a library on a server
    // 2 or 5 Oracle, 6 Sybase, any other non-zero code Microsoft SQL Server.
    int engine = 10;
    QString owner = QStringLiteral("DOCSADM");
    QString serverLocation;
    QString databaseName;
    bool primary = false;
    // Server facts the SQL pass-through reports (SQL Server and Sybase personalities).
    QString productVersion = QStringLiteral("15.0.2000.5");
    int compatibilityLevel = 150;
    bool quotedIdentifier = true;
    // Opened for reading only, as a preview opens it: every write is refused by the database. Not kept
    // in the installation file.
    bool readOnly = false;
    // libpq's keyword=value connection string of a library on a PostgreSQL server; empty for a file.
    QString connection = {};

    // Oracle compares text with case and keeps '' as NULL; SQL Server and Sybase libraries compare text
    // without regard to case.
    bool oracle() const { return IsOracle(engine); }
    bool onServer() const { return !connection.isEmpty(); }
};

// A local DM installation: its libraries in collection order, the login user, the current and
// default libraries, and planted faults. Read from and written to a small INI file:
//
//   [Installation]
//   User=JSMITH
//   Libraries=LIB_MSSQL, LIB_ORACLE
//   CurrentLibrary=LIB_MSSQL
//   DefaultLibrary=LIB_ORACLE
//   Faults=sql:12, save:2
//
//   [LIB_MSSQL]
//   Database=lib_mssql.db        (relative to the installation file)
//   Engine=10
//   Owner=DOCSADM
//   ServerLocation=SQLSRV01
//   DatabaseName=DMLIB1
//   Primary=true
//   ProductVersion=15.0.2000.5
//   CompatibilityLevel=150
//   QuotedIdentifier=ON
//
//   [LIB_SERVER]
//   Connection="host=db1 port=5432 dbname=dm_lib"   (instead of Database: a library on a server)
//   Engine=6
struct Installation {
    QString fileName;
    QString user;
    QList<LibraryConfig> libraries;
    QString currentLibrary;
    QString defaultLibrary;
    QString faults;

    // Throws DmError naming the file and the fault when the file is missing or malformed.
    static Installation load(const QString &fileName);
    // Writes the installation to fileName, database paths relative to its folder where they lie below it.
    void save(const QString &fileName) const;

    // The library of that name, compared case-insensitively; null when there is none.
    const LibraryConfig *library(const QString &name) const;
    // The database file of every library kept in a file, in collection order.
    QStringList databaseFiles() const;

    // Where the program looks for an installation: --dm FILE, else $KORVEL_DM, else the demo
    // installation in the user's data directory (which may not exist yet).
    static QString locate(const QString &dmArgument);
    static QString demoFileName();
};
