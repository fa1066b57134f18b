#pragma once

#include <QStringList>

// The statements that create the tables of a library database, unqualified (they run with the
// library schema as the target). Besides the DM's own tables the list holds the local DM's tables
// for user rights (DM_RIGHTS: a right held by a group), library parameters (DM_PARAMETERS) and
// number counters (DM_COUNTERS).
QStringList LibrarySchemaStatements(const QString &schema);

// Names of the DM tables, as DOCSTABLE lists them.
QStringList LibraryTableNames();
