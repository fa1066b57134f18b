#include "migrate/securitycopy.h"

#include "dm/connectlibrary.h"
#include "dm/runsql.h"
#include "dm/sqlrows.h"
#include "dmapi/dmerror.h"
#include "migrate/foldersteps.h"
#include "migrate/moveplan.h"
#include "settings/leadingnumber.h"
#include "settings/product.h"

#include <QDate>
#include <QLocale>

#include <algorithm>

namespace {

const QString DocsUsers = QStringLiteral("DOCS_USERS");
constexpr int FullRights = 255;

QString currentUserId(const DmSession &session)
{
    return session.currentLibrary ? session.currentLibrary->userId() : QString();
}

QString trusteeQuery(int docNumber)
{
    return QStringLiteral("SELECT DISTINCT P.USER_ID, G.GROUP_ID, S.ACCESSRIGHTS, S.PERSONORGROUP FROM "
                          "[OWNER].SECURITY S INNER JOIN [OWNER].PROFILE R ON S.THING = R.SYSTEM_ID "
                          "LEFT OUTER JOIN [OWNER].PEOPLE P ON P.SYSTEM_ID = S.PERSONORGROUP "
                          "LEFT OUTER JOIN [OWNER].GROUPS G ON G.SYSTEM_ID = S.PERSONORGROUP "
                          "WHERE R.DOCNUMBER = ") +
           NumberText(docNumber);
}

QString deleteTrustees(const QString &n)
{
    return QStringLiteral("DELETE FROM [OWNER].SECURITY WHERE THING = (SELECT SYSTEM_ID FROM "
                          "[OWNER].PROFILE WHERE DOCNUMBER = ") +
           n + u')';
}

QString setDefaultRights(int rights, const QString &n)
{
    return QStringLiteral("UPDATE [OWNER].PROFILE SET DEFAULT_RIGHTS = ") + NumberText(rights) +
           QStringLiteral(" WHERE DOCNUMBER = ") + n;
}

QString insertTrustee(const FolderTrustee &trustee, const QString &n)
{
    const QString rights = NumberText(trustee.rights);
    const QString id = SqlEscape(trustee.id);
    if (trustee.group)
        return QStringLiteral("INSERT INTO [OWNER].SECURITY (PERSONORGROUP, ACCESSRIGHTS, THING) SELECT "
                              "GR.SYSTEM_ID, ") +
               rights +
               QStringLiteral(
                   ", PR.SYSTEM_ID FROM [OWNER].GROUPS GR, [OWNER].PROFILE PR WHERE GR.GROUP_ID = '") +
               id + QStringLiteral("' AND PR.DOCNUMBER = ") + n;
    return QStringLiteral("INSERT INTO [OWNER].SECURITY (PERSONORGROUP, ACCESSRIGHTS, THING) SELECT "
                          "PE.SYSTEM_ID, ") +
           rights +
           QStringLiteral(", PR.SYSTEM_ID FROM [OWNER].PEOPLE PE, [OWNER].PROFILE PR WHERE PE.USER_ID = '") +
           id + QStringLiteral("' AND PR.DOCNUMBER = ") + n;
}

// Runs a statement that must go through; a refused one is logged by the runner and answered false.
bool runChecked(DmContext &dm, const QString &statement, qint64 *affected = nullptr)
{
    const SqlRows result = QueryRows(dm, statement);
    if (affected)
        *affected = result.rowsAffected;
    return !result.failed();
}

// The copy of one folder's security, step by step; each step answers false once the copy has failed.
class SecurityCopy {
public:
    SecurityCopy(DmContext &dm, QString sourceLib, int sourceDoc, QString targetLib, int docNumber,
                 const std::optional<FolderAccess> &source)
        : m_dm(dm), m_log(dm.log), m_sourceLib(std::move(sourceLib)), m_sourceDoc(sourceDoc),
          m_targetLib(std::move(targetLib)), m_docNumber(docNumber), m_n(NumberText(docNumber)),
          m_source(source)
    {
    }

    SecurityOutcome run();

private:
    SecurityOutcome copy();
    bool readSource();
    bool listTrustees();
    bool openOutcome();
    bool restrictedOutcome();
    void logTrusteesAdded();
    QString lostAccess() const;

    DmContext &m_dm;
    ActivityLog &m_log;
    const QString m_sourceLib;
    const int m_sourceDoc;
    const QString m_targetLib;
    const int m_docNumber;
    const QString m_n;
    std::optional<FolderAccess> m_source;
    QString m_failure;
};

SecurityOutcome SecurityCopy::run()
{
    // Access must be durable before the creation goes on: a session lost in the middle must not leave
    // the folder as the DM saved it, open to everyone.
    const SecurityOutcome outcome = copy();
    if (outcome == SecurityOutcome::Unsecured || CommitChanges(m_dm))
        return outcome;
    return SecurityOutcome::Unsecured;
}

SecurityOutcome SecurityCopy::copy()
{
    const bool sourceRead = m_source ? listTrustees() : ConnectLibrary(m_dm, m_sourceLib) && readSource();
    if (!ConnectLibrary(m_dm, m_targetLib)) {
        m_log.WriteLog(QStringLiteral("Error: Unable to connect to library ") + m_targetLib +
                       QStringLiteral(" to set the security of folder #") + m_n);
        m_log.WriteDashLine();
        return SecurityOutcome::Unsecured;
    }
    if (sourceRead && (m_source->isOpen() ? openOutcome() : restrictedOutcome()))
        return SecurityOutcome::Copied;

    m_log.WriteLog(QStringLiteral("Error: Unable to copy the security of folder #") +
                   NumberText(m_sourceDoc) + QStringLiteral(" in library ") + m_sourceLib +
                   QStringLiteral(" to folder #") + m_n + QStringLiteral(" in library ") + m_targetLib +
                   (m_failure.isEmpty() ? QString() : QStringLiteral(": ") + m_failure));
    m_log.WriteDashLine();
    return RestrictToMover(m_dm, m_docNumber, lostAccess()) ? SecurityOutcome::RestrictedToUser
                                                            : SecurityOutcome::Unsecured;
}

bool SecurityCopy::readSource()
{
    m_source = ReadFolderAccess(m_dm, m_sourceDoc);
    if (!m_source) {
        m_failure = QStringLiteral("the trustees of the source folder could not be read");
        return false;
    }
    return listTrustees();
}

bool SecurityCopy::listTrustees()
{
    // A folder without security rows has nothing to count: it goes straight to open access.
    if (m_source->rowCount() == 0)
        return true;
    for (const FolderTrustee &trustee : std::as_const(m_source->trustees))
        m_log.WriteLog((trustee.group ? QStringLiteral("Group ") : QStringLiteral("User ")) + trustee.id +
                       QStringLiteral(" will be added with rights ") + NumberText(trustee.rights));
    m_log.WriteDashLine();
    m_log.WriteLog(NumberText(m_source->rowCount()) + QStringLiteral(" Trustee(s) found for Folder #") + m_n);
    m_log.WriteDashLine();
    return true;
}

bool SecurityCopy::openOutcome()
{
    qint64 inserted = 0;
    const bool done =
        runChecked(m_dm, setDefaultRights(0, m_n)) && runChecked(m_dm, deleteTrustees(m_n)) &&
        runChecked(
            m_dm,
            QStringLiteral("INSERT INTO [OWNER].SECURITY (PERSONORGROUP, ACCESSRIGHTS, THING) SELECT 0, 255, "
                           "SYSTEM_ID FROM [OWNER].PROFILE WHERE DOCNUMBER = ") +
                m_n,
            &inserted) &&
        inserted > 0;
    if (!done)
        m_failure = QStringLiteral("open access could not be set");
    return done;
}

// DEFAULT_RIGHTS goes to 1 before any trustee is written, so that a failure on the way never leaves
// copied trustees on a folder that is open to everyone.
bool SecurityCopy::restrictedOutcome()
{
    m_log.ShowStatus(QStringLiteral("Processing ") + NumberText(m_source->rowCount()) +
                     QStringLiteral(" security entries for document #") + m_n);
    m_log.WriteDashLine();
    if (!runChecked(m_dm, setDefaultRights(1, m_n)) || !runChecked(m_dm, deleteTrustees(m_n))) {
        m_failure = QStringLiteral("the trustees of the new folder could not be replaced");
        return false;
    }
    QList<const FolderTrustee *> added;
    for (const FolderTrustee &trustee : std::as_const(m_source->trustees)) {
        m_log.WriteLog((trustee.group ? QStringLiteral("Adding group ") : QStringLiteral("Adding user ")) +
                       trustee.id);
        m_log.WriteDashLine();
        qint64 inserted = 0;
        if (!runChecked(m_dm, insertTrustee(trustee, m_n), &inserted)) {
            m_failure = QStringLiteral("trustee ") + trustee.id + QStringLiteral(" could not be added");
            return false;
        }
        if (inserted > 0) {
            added << &trustee;
            continue;
        }
        m_log.WriteLog(QStringLiteral("Warning: ") +
                       (trustee.group ? QStringLiteral("Group ") : QStringLiteral("User ")) + trustee.id +
                       QStringLiteral(" does not exist in library ") + m_targetLib +
                       QStringLiteral(" and has no access to folder #") + m_n);
        m_log.WriteDashLine();
    }
    // The insert is the lookup: a trustee it added is one the target knows.
    if (PlanTrustees(*m_source, [&](const FolderTrustee &trustee) {
            return added.contains(&trustee);
        }).restricted()) {
        m_failure = QStringLiteral("no trustee of the source folder exists in library ") + m_targetLib;
        return false;
    }
    logTrusteesAdded();
    return true;
}

// Informational only: a profile that cannot be opened drops the count, not the copy.
void SecurityCopy::logTrusteesAdded()
{
    DmSession &s = m_dm.session;
    try {
        if (s.sharedProfile) {
            s.sharedProfile->close();
            s.sharedProfile.reset();
        }
        if (s.currentLibrary)
            s.sharedProfile = s.currentLibrary->openProfile(m_docNumber);
        if (s.sharedProfile)
            m_log.WriteLog(NumberText(s.sharedProfile->trusteesCount()) +
                           QStringLiteral(" Trustee(s) added for document ") + m_n);
        else
            m_log.WriteLog(QStringLiteral("Warning: Unable to open the profile of folder #") + m_n +
                           QStringLiteral(" to count its trustees"));
        if (s.sharedProfile)
            s.sharedProfile->close();
    } catch (const DmError &) {
    }
    s.sharedProfile.reset();
}

QString SecurityCopy::lostAccess() const
{
    if (!m_source)
        return QStringLiteral("the trustees of folder #") + NumberText(m_sourceDoc) +
               QStringLiteral(" in library ") + m_sourceLib;
    if (m_source->isOpen())
        return QStringLiteral("every other user");
    QStringList ids;
    const QString mover = currentUserId(m_dm.session);
    for (const FolderTrustee &trustee : m_source->trustees)
        if (trustee.group || trustee.id.compare(mover, Qt::CaseInsensitive) != 0)
            ids << trustee.id;
    return ids.isEmpty() ? QStringLiteral("nobody else") : ids.join(QStringLiteral(", "));
}

} // namespace

bool FolderAccess::isOpen() const
{
    switch (rowCount()) {
    case 0:
        return defaultRights == 0;
    case 1:
        if (trustees.size() == 1)
            // Case-sensitive on purpose: a group "docs_users" is another group, not everyone.
            return trustees[0].group && trustees[0].id == DocsUsers && trustees[0].rights == FullRights;
        return everyoneRows.size() == 1 && everyoneRows[0] == FullRights && defaultRights == 0;
    default:
        return false;
    }
}

bool FolderAccess::reachesEveryone() const
{
    return defaultRights == 0 || !everyoneRows.isEmpty() || unnamedRows > 0;
}

bool FolderAccess::isRestrictedTo(const QString &userId) const
{
    return defaultRights == 1 && rowCount() == 1 && trustees.size() == 1 && !trustees[0].group &&
           trustees[0].rights == FullRights && trustees[0].id.compare(userId, Qt::CaseInsensitive) == 0;
}

std::optional<FolderAccess> ReadFolderAccess(DmContext &dm, int docNumber)
{
    const QString library = dm.session.currentLibrary ? dm.session.currentLibrary->name() : QString();
    const auto failed = [&](const SqlRows &rows) {
        dm.log.WriteLog(QStringLiteral("Error: Unable to read the security of folder #") +
                        NumberText(docNumber) + QStringLiteral(" in library ") + library +
                        (rows.failed() ? QStringLiteral(": SQL error ") + rows.errorText()
                                       : QStringLiteral(": no such profile")));
        dm.log.WriteDashLine();
        return std::nullopt;
    };
    const SqlRows profile =
        QueryRows(dm, QStringLiteral("SELECT DEFAULT_RIGHTS FROM [OWNER].PROFILE WHERE DOCNUMBER = ") +
                          NumberText(docNumber));
    if (profile.failed() || profile.isEmpty())
        return failed(profile);
    const SqlRows rows = QueryRows(dm, trusteeQuery(docNumber));
    if (rows.failed())
        return failed(rows);

    FolderAccess access;
    access.defaultRights = leadingInt32(profile.value(0, 1).toString());
    for (qsizetype row = 0; row < rows.size(); ++row) {
        const QString user = rows.value(row, 1).toString().trimmed();
        const QString group = rows.value(row, 2).toString().trimmed();
        const int rights = leadingInt32(rows.value(row, 3).toString());
        if (!group.isEmpty())
            access.trustees.append({group, true, rights});
        else if (!user.isEmpty())
            access.trustees.append({user, false, rights});
        else if (leadingInt32(rows.value(row, 4).toString()) == 0)
            access.everyoneRows.append(rights);
        else
            ++access.unnamedRows;
    }
    return access;
}

bool AccessWider(const FolderAccess &target, const FolderAccess &source, const QString &moverId)
{
    if (source.isOpen())
        return false;
    if (target.reachesEveryone())
        return true;
    for (const FolderTrustee &trustee : target.trustees) {
        if (!trustee.group && trustee.id.compare(moverId, Qt::CaseInsensitive) == 0)
            continue;
        int given = 0;
        for (const FolderTrustee &granted : source.trustees)
            if (granted.group == trustee.group && granted.id == trustee.id)
                given |= granted.rights;
        if (trustee.rights & ~given)
            return true;
    }
    return false;
}

QStringList AccessDifferences(const FolderAccess &copy, const FolderAccess &source, const QString &moverId,
                              const QString &sourceText,
                              const std::function<bool(const FolderTrustee &)> &known)
{
    QStringList differences;
    if (AccessWider(copy, source, moverId))
        differences << QStringLiteral("gives wider access than ") + sourceText;
    if (source.isOpen()) {
        if (!copy.isOpen())
            differences << QStringLiteral("is not open to every user as ") + sourceText +
                               QStringLiteral(" is");
        return differences;
    }
    for (const FolderTrustee &trustee : source.trustees) {
        const auto same = [&](const FolderTrustee &other) {
            return other.group == trustee.group && other.rights == trustee.rights &&
                   other.id.compare(trustee.id, Qt::CaseInsensitive) == 0;
        };
        if (std::any_of(copy.trustees.cbegin(), copy.trustees.cend(), same) || !known(trustee))
            continue;
        differences << QStringLiteral("does not give ") +
                           (trustee.group ? QStringLiteral("group ") : QStringLiteral("user ")) + trustee.id +
                           QStringLiteral(" the rights ") + NumberText(trustee.rights) +
                           QStringLiteral(" that ") + sourceText + QStringLiteral(" gives");
    }
    return differences;
}

std::optional<bool> TrusteeKnown(DmContext &dm, const FolderTrustee &trustee)
{
    const SqlRows rows = QueryRows(
        dm, (trustee.group ? QStringLiteral("SELECT COUNT(*) FROM [OWNER].GROUPS WHERE GROUP_ID = '")
                           : QStringLiteral("SELECT COUNT(*) FROM [OWNER].PEOPLE WHERE USER_ID = '")) +
                SqlEscape(trustee.id) + u'\'');
    if (rows.failed())
        return std::nullopt;
    return leadingInt32(rows.value(0, 1).toString()) > 0;
}

SecurityOutcome CopyFolderSecurity(DmContext &dm, const QString &SourceLib, int SourceDocNumber,
                                   const QString &TargetLib, int docNumber,
                                   const std::optional<FolderAccess> &sourceAccess)
{
    if (SourceLib.isEmpty() || SourceDocNumber == 0)
        return SecurityOutcome::Copied;
    return SecurityCopy(dm, SourceLib, SourceDocNumber, TargetLib, docNumber, sourceAccess).run();
}

bool RestrictToMover(DmContext &dm, int docNumber, const QString &lostAccess)
{
    const QString n = NumberText(docNumber);
    const QString mover = currentUserId(dm.session);
    const QString library = dm.session.currentLibrary ? dm.session.currentLibrary->name() : QString();
    const bool restricted = runChecked(dm, setDefaultRights(1, n)) && runChecked(dm, deleteTrustees(n)) &&
                            runChecked(dm, insertTrustee({mover, false, FullRights}, n));
    if (restricted)
        dm.log.WriteLog(QStringLiteral("Warning: Folder #") + n + QStringLiteral(" in library ") + library +
                        QStringLiteral(" is restricted to ") + mover + QStringLiteral("; no access for ") +
                        lostAccess);
    else
        dm.log.WriteLog(QStringLiteral("Error: Unable to restrict folder #") + n +
                        QStringLiteral(" in library ") + library + QStringLiteral(" to ") + mover);
    dm.log.WriteDashLine();
    return restricted;
}

QString TodaysActivityOfMover(const DmSession &session)
{
    const QDate today = QDate::currentDate();
    const QString date =
        IsOracle(session.sql.engineCode())
            ? QStringLiteral(" AND START_DATE = TO_DATE('") +
                  QLocale().toString(today, QStringLiteral("dd-MMM-yy")) + QStringLiteral("', 'DD-MON-RR')")
            : QStringLiteral(" AND START_DATE = '") + today.toString(QStringLiteral("yyyy-MM-dd")) + u'\'';
    return QStringLiteral(" AND TYPIST = (SELECT SYSTEM_ID FROM [OWNER].PEOPLE WHERE USER_ID = '") +
           SqlEscape(session.currentLibrary->userId()) + QStringLiteral("')") + date;
}

bool ClearCreationActivity(DmContext &dm, const QString &TargetLib, int docNumber)
{
    ActivityLog &log = dm.log;
    const QString n = NumberText(docNumber);
    const DmSession &s = dm.session;
    if (!s.currentLibrary || s.currentLibrary->name().compare(TargetLib, Qt::CaseInsensitive) != 0) {
        log.WriteLog(QStringLiteral("Warning: Activitylog entries for document #") + n +
                     QStringLiteral(" were not cleared: not connected to library ") + TargetLib);
        log.WriteDashLine();
        return false;
    }
    log.WriteLog(QStringLiteral("Clearing Activitylog entries for document #") + n +
                 QStringLiteral(" generated by ") + ProductName());
    log.WriteDashLine();
    if (runChecked(dm, QStringLiteral("DELETE FROM [OWNER].ACTIVITYLOG WHERE DOCNUMBER = ") + n +
                           TodaysActivityOfMover(s)))
        return true;
    log.WriteLog(QStringLiteral("Warning: Activitylog entries for document #") + n +
                 QStringLiteral(" could not be cleared in library ") + TargetLib);
    log.WriteDashLine();
    return false;
}
