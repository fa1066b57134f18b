#pragma once

#include "dm/dmcontext.h"

#include <QVariant>

// Runs one statement in the current library through the SQL pass-through, after rewriting it for
// the library's database engine and resolving the owner placeholder "[OWNER]". True when the
// statement was submitted and its outcome logged, also when the database refused it: the caller
// then reads rows (positioned on the first), rows affected, or the pass-through's error number and
// description. False when it was not submitted (empty text, unusable session) or a runtime error
// interrupted it. The previous result set is released first, so read one statement's rows before
// running the next.
bool RunSQL(DmContext &dm, const QString &statement);

// Free text (folder names, descriptions) made ready to stand between single quotes: trimmed, single
// quotes doubled, line breaks turned into blanks. Every other character is kept.
QString SqlSafe(const QString &text);

// A value for a quoted SQL literal with its single quotes doubled, nothing else changed.
QString SqlEscape(const QString &text);

// A column (1-based) of the current row of the last statement; invalid when there is no current row,
// so a missing value reads as empty text or 0.
QVariant SqlColumn(const DmSession &session, int column);

// Releases the result set of the SQL pass-through, if there is one.
void ReleaseResults(const DmSession &session);
