#pragma once

#include "localdm/installation.h"
#include "localdm/tools/demoinstallation.h"

// Where the tests' libraries live. By default in SQLite files; a test executable that CTest runs a
// second time with KORVEL_TEST_BACKEND=postgresql (the "pg." tests) builds them as databases of the
// PostgreSQL server whose base connection string KORVEL_TEST_POSTGRESQL holds (host, port and user;
// scripts/test starts a throwaway one). The shared fixtures put every library through
// PlaceTestLibrary, so their tests run unchanged on both.
//
// The functions that read the two variables throw std::runtime_error, which fails the test with the
// reason, when KORVEL_TEST_BACKEND names an unknown back end or asks for the server and no server
// is named: a run meant for the server never falls back to files unnoticed.

// Whether this run's libraries live on the server.
bool TestLibrariesOnServer();

// The base connection string of the test server, without a database.
QString TestServerConnection();

// A name no other library of this test run has, for databases on the test server:
// "kt_<pid>_<n>", lower case.
QString UniqueTestDatabasePrefix();

// When the run is on the server, makes config a library on it in a database of its own
// (UniqueTestDatabasePrefix() + "_" + the library's name in lower case) with no file; leaves it as
// it is otherwise.
void PlaceTestLibrary(LibraryConfig &config);

// Creates a demo installation in the folder parent/demo, or, on the server, in a folder of parent named
// UniqueTestDatabasePrefix() after which its databases are named; returns the installation file.
QString CreateTestDemo(const QString &parent, DemoSize size, const QString &user);

// A copy of a library on the test server in a new database of its own (UniqueTestDatabasePrefix() and the
// library's name), made with the library's database as template: nobody may be connected to that.
LibraryConfig CopyTestLibrary(const LibraryConfig &library);

// Of how many failure points in a row a sweep tries one: every one on files; on the server, where
// each point copies a whole installation through CREATE DATABASE, a spread sample that keeps the
// suite within its time.
int SweepStride();
