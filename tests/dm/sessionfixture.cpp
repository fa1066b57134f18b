#include "sessionfixture.h"

#include "dm/fusion.h"
#include "support/testenvironment.h"

namespace {

LibraryConfig withServer(LibraryConfig config, const QString &version, int level, bool quotedIdentifier)
{
    config.productVersion = version;
    config.compatibilityLevel = level;
    config.quotedIdentifier = quotedIdentifier;
    return config;
}

} // namespace

SessionFixture::SessionFixture()
    : builder(
          dir.path(), QStringLiteral("JSMITH"),
          {withServer(InstallationBuilder::library(QStringLiteral("LIB_SQL")), QStringLiteral("15.0.2000.5"),
                      150, true),
           InstallationBuilder::library(QStringLiteral("LIB_ORA"), 2, QStringLiteral("ORAADM")),
           withServer(InstallationBuilder::library(QStringLiteral("LIB_SYB"), 6, QStringLiteral("SYBADM")),
                      QStringLiteral("10.50.1600.1"), 100, false)})
{
    for (const QString library : {"LIB_SQL", "LIB_ORA", "LIB_SYB"}) {
        builder.addUser(library, QStringLiteral("JSMITH"), QStringLiteral("DOCS_USERS"));
        builder.db(library).exec(QStringLiteral("UPDATE GROUPS SET UNIV_ACCESS = 255"));
    }
    builder.setParameter(QStringLiteral("LIB_ORA"), QStringLiteral("DOCSParms.UniqueDocNames"),
                         QStringLiteral("1"));
    builder.db(QStringLiteral("LIB_SQL"))
        .exec(QStringLiteral(
            "INSERT INTO QENT_SETTINGS (MASTER_KEY, SECTION_KEY, SUB_KEY, CHAR_VAL, INT_VAL) VALUES "
            "('KORVEL', 'SETTINGS', 'MASTER_LIBRARY', 'LIB_ORA', NULL), "
            "('KORVEL', 'SETTINGS', 'PROFILE_EXCLUDE_COLUMN', 'ABSTRACT', NULL), "
            "('KORVEL', 'SETTINGS', 'PARENT_FOLDER', NULL, 1234), "
            "('KORVEL', 'OTHER', 'MASTER_LIBRARY', 'IGNORED', NULL), "
            "('ZIZUROVOZEV', 'SQL_LOGIN', 'LIB_SQL', ' sa : s3cret ', NULL)"));
    localDm = builder.dm();
    factory = std::make_unique<LocalDmFactory>(localDm, [this] {
        lastSql = std::make_shared<ScriptedSql>(localDm, now);
        return lastSql;
    });
    dm = std::make_unique<DmContext>(DmContext{*factory, session, connection, log, window, settings});
    log.setConfiguredLogPath(dir.filePath(QStringLiteral("Korvel.LOG")));
}

void SessionFixture::start()
{
    ASSERT_TRUE(StartFusion(*dm)) << logLines().join(u'\n').toStdString();
    newLogLines();
}

QStringList SessionFixture::logLines() const
{
    return ReadLogLines(log.currentLogFileName());
}

QStringList SessionFixture::newLogLines()
{
    const QStringList all = logLines();
    const QStringList fresh = all.mid(m_seenLines);
    m_seenLines = all.size();
    return fresh;
}
