#pragma once

#include <QList>
#include <QString>

// What the program learns of one library on its first connection and reuses for the rest of the
// run. Fields are text, empty until learned; flags are "-1" or "0".
struct LibraryRecord {
    QString name;
    QString owner;
    QString serverAndDatabase; // server location ":" database name
    QString serverVersion;
    QString compatibilityLevel;
    QString settingsTablePresent;
    QString foldersTablePresent;
    QString securityTablePresent;
    QString settingsLoaded; // "x" once the settings rows were read or found absent
    QString profileExcludeColumn;
    QString masterLibrary;
    QString parentFolder;
    QString sqlLogin; // user ":" password
    bool sqlLoginLoaded = false;
};

// The library connection state of the run: the library table (row 0 is the spare row for a name
// that has no row of its own, rows 1 to N follow the libraries collection) and the values of the
// library that is current now. Owned by the application, changed only by ConnectLibrary and the
// session procedures.
struct LibraryConnection {
    QList<LibraryRecord> rows;
    int libraryCount = 0; // 0 until the table is built

    // Substituted for the owner placeholder in SQL text.
    QString owner = QStringLiteral("DOCSADM");
    QString engineName;
    QString nextColumn; // "NEXT" quoted for the engine
    QString serverVersion;
    QString compatibilityLevel;
    QString serverLocation;
    QString databaseName;
    bool settingsTablePresent = false;
    QString masterLibrary;
    QString profileExcludeColumn;
    int parentFolder = 0;
    QString sqlLoginUser;
    QString sqlLoginPassword;
    bool firstConnectionDone = false;

    // Index of the row whose name, upper-cased, equals the given upper-case name; 0 when none.
    int rowOf(const QString &upperName) const
    {
        for (int i = 1; i < rows.size(); ++i)
            if (rows[i].name.toUpper() == upperName)
                return i;
        return 0;
    }
};
