#include "localdm/localprofile.h"

#include "localdm/libraryrows.h"
#include "localdm/localcolumns.h"
#include "localdm/localdocument.h"
#include "localdm/localerror.h"
#include "localdm/localitems.h"

#include <optional>

LocalProfile::LocalProfile(std::shared_ptr<LocalDocument> document) : m_document(std::move(document)) {}

QString LocalProfile::libraryName() const
{
    return m_document->libraryName();
}

QString LocalProfile::name() const
{
    return m_document->name();
}

int LocalProfile::documentNumber() const
{
    return m_document->documentNumber();
}

std::shared_ptr<DmColumns> LocalProfile::columns() const
{
    return std::make_shared<LocalColumns>(m_document);
}

QString LocalProfile::formName() const
{
    if (m_document->isNew())
        return {};
    return m_document->database()
        .scalar(QStringLiteral("SELECT F.FORM_NAME FROM PROFILE P JOIN FORMS F ON F.SYSTEM_ID = P.FORM "
                               "WHERE P.SYSTEM_ID = ?1"),
                {m_document->systemId()})
        .toString();
}

int LocalProfile::trusteesCount() const
{
    if (m_document->isNew())
        return 0;
    return m_document->database()
        .scalar(QStringLiteral("SELECT COUNT(*) FROM SECURITY WHERE THING = ?1"), {m_document->systemId()})
        .toInt();
}

std::shared_ptr<DmItemCollection> LocalProfile::containingFolders() const
{
    return LocalItemCollection::containing(m_document->sharedDm(), m_document->libraryName(),
                                           m_document->documentNumber());
}

void LocalProfile::close()
{
    m_closed = true;
}

bool LocalProfile::save(DmSaveOption)
{
    std::optional<LocalDocument::Written> written;
    const bool saved = m_document->transact(
        FaultKind::Save, QStringLiteral("Saving"), [&](LibraryDatabase &db, qint64 typist) {
            if (m_closed)
                throw LocalDmError(
                    LocalError::ProfileClosed,
                    QStringLiteral("The profile of %1 was closed").arg(m_document->describe()));
            written = m_document->write(db, typist);
            LibraryRows::logActivity(
                db, written->docNumber, typist,
                written->created ? LibraryRows::Activity::Created : LibraryRows::Activity::Edited,
                written->created ? QStringLiteral("Profile created") : QStringLiteral("Profile saved"));
        });
    if (saved)
        m_document->written(*written);
    return saved;
}

qint32 LocalProfile::errorNumber() const
{
    return m_document->errorNumber();
}

QString LocalProfile::errorDescription() const
{
    return m_document->errorDescription();
}
