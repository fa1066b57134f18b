#pragma once

#include "dmapi/dmerror.h"

// The DM error numbers of the local DM's objects. Saves, adds and deletes leave them in the object's
// error number; calls without a success flag raise them. Descriptions name the object, the library
// and what was refused, so a log line alone tells what went wrong. Database failures keep the
// number LibraryDatabase gives them (1002).
enum class LocalError : qint32 {
    PlantedFault = 2001,
    DuplicateName = 2002,
    UnknownUser = 2003,
    UnknownApplication = 2004,
    ReadOnlyColumn = 2005,
    NoSuchDocument = 2006,
    NoSuchLibrary = 2007,
    NotRemoteLibrary = 2008,
    FolderCycle = 2009,
    AlreadyInFolder = 2010,
    FolderNotEmpty = 2011,
    FolderContained = 2012,
    NotSaved = 2013,
    ProfileClosed = 2014,
    NotAFolderApplication = 2015,
    NoSuchProperty = 2016,
    BadIndex = 2017,
    UnknownCommand = 2018,
    NoCompanion = 2019,
    ValueTooLong = 2020,
};

// The error as the local DM raises it (source "Local DM").
DmError LocalDmError(LocalError error, const QString &description);
