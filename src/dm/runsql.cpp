#include "dm/runsql.h"

#include "dm/errornumbers.h"
#include "dm/fusion.h"
#include "dmapi/dmerror.h"
#include "dmapi/sqllexer.h"
#include "settings/leadingnumber.h"

#include <cmath>

namespace {

const QString CrLf = QStringLiteral("\r\n");

// Replaces pattern as SqlLexer::replaceAll does, lexing the statement only when the pattern's words
// appear in its text at all: a run of tokens can only match where its characters stand.
QString rewrite(const QString &statement, QStringView core, QStringView pattern, const QString &replacement)
{
    return statement.contains(core) ? SqlLexer::replaceAll(statement, pattern, replacement) : statement;
}

// The engine rewrites, each applied to every occurrence outside quoted literals (the two Oracle
// patterns that are themselves literals match those literal tokens only). They run in this order, as
// one may make a match for the next (" <> '' " becomes " != ' ' ").
QString engineRewrites(const DmContext &dm, QString statement)
{
    const int engine = dm.session.sql.engineCode();
    if (IsOracle(engine)) {
        statement = rewrite(statement, u"<>", u" <> ", QStringLiteral(" != "));
        statement = rewrite(statement, u"''''", u" '''' ", QStringLiteral(" '' "));
        statement = rewrite(statement, u"''", u" != '' ", QStringLiteral(" != ' ' "));
        return rewrite(statement, u"GETUTCDATE", u"GETUTCDATE()", QStringLiteral("SYSDATE"));
    }
    const LibraryConnection &c = dm.connection;
    if (!(leadingNumber(c.serverVersion) >= 11 && leadingNumber(c.compatibilityLevel) >= 110))
        statement = rewrite(statement, u"TRY_CAST", u"TRY_CAST", QStringLiteral("CAST"));
    return rewrite(statement, u"SYSDATE", u"SYSDATE", QStringLiteral("GETUTCDATE()"));
}

// "[OWNER]" in any letter case becomes the database owner, or "dbo" right before ".QS_"; then
// "{OWNER}" becomes "[OWNER]" everywhere, so that it reaches the database as written.
QString resolveOwner(const QString &statement, const QString &owner)
{
    if (!statement.contains(u"[OWNER]", Qt::CaseInsensitive))
        return QString(statement).replace(QStringLiteral("{OWNER}"), QStringLiteral("[OWNER]"),
                                          Qt::CaseInsensitive);
    SqlLexer lexer(statement);
    for (qsizetype i = 0; i < lexer.size(); ++i) {
        const SqlToken &token = lexer[i];
        if (token.kind != SqlTokenKind::BracketIdentifier ||
            token.text.compare(u"[OWNER]", Qt::CaseInsensitive) != 0)
            continue;
        // Case-sensitive on purpose: ".qs_" gets the library owner.
        const bool qsTable = QStringView(statement).mid(token.offset + token.text.size(), 4) == u".QS_";
        lexer.replace(i, qsTable ? QStringLiteral("dbo") : owner);
    }
    return lexer.toString().replace(QStringLiteral("{OWNER}"), QStringLiteral("[OWNER]"),
                                    Qt::CaseInsensitive);
}

// A statement that ends in an opened empty literal ("NAME = '") gets its closing quote, as long
// as its quotes are really unbalanced.
QString closeTrailingQuote(const QString &statement)
{
    if (!statement.endsWith(QStringLiteral("= '")) && !statement.endsWith(QStringLiteral("='")))
        return statement;
    const SqlLexer lexer(statement);
    const bool openLiteral = lexer.size() > 0 && lexer[lexer.size() - 1].kind == SqlTokenKind::String &&
                             lexer[lexer.size() - 1].unterminated;
    return openLiteral ? statement + u'\'' : statement;
}

// The driver's description without its "[vendor][driver][server]" prefixes; bracketed names inside
// quoted text stay.
QString cleanDescription(QString description)
{
    description = description.trimmed();
    while (description.contains(u']')) {
        const qsizetype close = description.indexOf(u']');
        const qsizetype quote = description.indexOf(u'\'');
        if (quote >= 0 && quote < close)
            break;
        description = description.mid(close + 1).trimmed();
    }
    return description;
}

QString serverInterfaceMessage()
{
    return QStringLiteral(
               "Error: Cannot load the DOCSFusion Server Interface. The DOCSFusion server may not be "
               "started.") +
           CrLf +
           QStringLiteral(
               "This is a known OpenText issue described in SD012671. Use the REGSVR32.EXE utility and "
               "register the ") +
           QStringLiteral("PCDSERVERIFPS.DLL file in the following location:") + CrLf +
           QStringLiteral("C:\\Program Files (x86)\\Open Text\\DM API\\PCDSERVERIFPS.DLL");
}

} // namespace

bool RunSQL(DmContext &dm, const QString &statementText)
{
    DmSession &s = dm.session;
    ActivityLog &log = dm.log;
    if (statementText.isEmpty())
        return false;
    if (!CheckFusion(dm, QStringLiteral("RunSQL")))
        return false;

    QString composed;
    // Every line of the runner goes through here, so a trapped error can name the last one.
    const auto logLine = [&](const QString &line) {
        composed = line;
        log.WriteLog(line);
    };
    try {
        if (!s.sql) {
            log.WriteDashLine();
            logLine(QStringLiteral("Error: psql Object connection has been lost!"));
            log.WriteDashLine();
            dm.window.showMessage(composed, MessageIcon::Critical);
            return false;
        }
        if (!s.currentLibrary)
            throw DmError(ObjectNotSetError, QStringLiteral("RunSQL"),
                          QStringLiteral("Object variable or With block variable not set"));
        const QString library = s.currentLibrary->name();
        if (library.isEmpty()) {
            log.WriteDashLine();
            logLine(QStringLiteral("Error: Library Name appears to have been lost"));
            log.WriteDashLine();
            dm.window.showMessage(composed, MessageIcon::Critical);
            return false;
        }
        s.sql->releaseResults();
        const QDateTime started = log.now();

        QString statement = closeTrailingQuote(statementText);
        statement = engineRewrites(dm, statement);
        statement = resolveOwner(statement, dm.connection.owner);
        const QString upper = statement.toUpper();
        if (!IsOracle(s.sql.engineCode()) && upper.startsWith(QStringLiteral("SELECT ")) &&
            !upper.startsWith(QStringLiteral("SELECT INTO ")))
            statement += QStringLiteral(" OPTION (MAXDOP 1)");

        logLine(QStringLiteral("Executing ") + dm.connection.engineName +
                QStringLiteral(" SQL Instruction on ") + library);
        log.WriteLog(statement);

        s.sql->releaseResults();
        const qint32 status = s.sql->execute(statement);
        s.sql.noteSent(statement, status == 0);
        if (status == 0) {
            const QString successOn = QStringLiteral("SQL Instruction Executed Successfully on ") + library;
            if (const qint64 affected = s.sql->rowsAffected(); affected != 0) {
                logLine(successOn + QStringLiteral(" with ") + QString::number(std::llabs(affected)) +
                        QStringLiteral(" row(s) processed."));
            } else if (const int rows = s.sql->rowCount(); rows != 0) {
                logLine(successOn + QStringLiteral(" with ") + QString::number(std::abs(rows)) +
                        QStringLiteral(" row(s) returned."));
                s.sql->setRow(1);
            } else {
                const QString verb = upper.left(6);
                if (verb == QStringLiteral("INSERT") || verb == QStringLiteral("UPDATE") ||
                    verb == QStringLiteral("DELETE"))
                    logLine(
                        QStringLiteral("SQL Instruction Executed with nothing added or changed in library ") +
                        library);
                else
                    logLine(successOn);
            }
            if (upper.left(15) == QStringLiteral("SELECT COUNT(*)"))
                logLine(QStringLiteral("SQL Results: ") +
                        QString::number(std::llround(leadingNumber(SqlColumn(s, 1).toString()))));
        } else {
            const qint32 number = s.sql->errorNumber();
            if (number == 0 || number == 9) {
                logLine(QStringLiteral("SQL Instruction Executed Successfully on ") + library +
                        QStringLiteral("."));
            } else if (number == ServerInterfaceFailure || status == ServerInterfaceFailure) {
                logLine(serverInterfaceMessage());
                if (!dm.settings.registerApiWarningShown()) {
                    dm.window.showMessage(composed, MessageIcon::Critical);
                    dm.settings.saveRegisterApiWarningShown();
                }
            } else {
                const QString description = cleanDescription(s.sql->errorDescription());
                composed = QStringLiteral("SQL Error #") + QString::number(number) +
                           (description.isEmpty() ? QString() : QStringLiteral(" (") + description + u')') +
                           QStringLiteral(" encountered in library ") + library;
                // A failed statement must leave a trace also while Verbose Logging is off.
                log.WriteLogAlways(composed);
            }
        }

        log.WriteDashLine();
        const qint64 seconds = log.now().toSecsSinceEpoch() - started.toSecsSinceEpoch();
        if (seconds > 1) {
            logLine(QStringLiteral("Note: Execution took ") + QString::number(seconds) +
                    QStringLiteral(" second(s) to complete"));
            log.WriteDashLine();
        }
        return true;
    } catch (const DmError &error) {
        log.WriteDashLine();
        log.ReportError(error.number(), error.source(),
                        composed.isEmpty() ? error.description()
                                           : error.description() + QStringLiteral(" (") + composed + u')');
        log.WriteDashLine();
        return false;
    }
}

QString SqlSafe(const QString &text)
{
    QString safe = text.trimmed();
    safe.replace(u'\'', QStringLiteral("''"));
    safe = safe.trimmed();
    safe.replace(u'\n', u' ').replace(u'\r', u' ');
    return safe.trimmed();
}

QString SqlEscape(const QString &text)
{
    QString escaped = text;
    return escaped.replace(u'\'', QStringLiteral("''"));
}

QVariant SqlColumn(const DmSession &session, int column)
{
    if (!session.sql || !session.sql->hasResult())
        return {};
    return session.sql->columnValue(column);
}

void ReleaseResults(const DmSession &session)
{
    if (session.sql)
        session.sql->releaseResults();
}
