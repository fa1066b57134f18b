#include "localdm/locallibrary.h"

#include "dmapi/dmerror.h"

#include "localdm/libraryrows.h"
#include "localdm/localdocument.h"
#include "localdm/localfolder.h"
#include "localdm/localprofile.h"
#include "localdm/localproperties.h"

LocalLibrary::LocalLibrary(std::shared_ptr<LocalDm> dm, QString name)
    : m_dm(std::move(dm)), m_name(std::move(name))
{
}

bool LocalLibrary::isPrimary() const
{
    const LibraryConfig *config = m_dm->installation().library(m_name);
    return config && config->primary;
}

QString LocalLibrary::name() const
{
    return m_name;
}

QString LocalLibrary::userId() const
{
    return m_dm->installation().user;
}

QString LocalLibrary::userPrimaryGroup() const
{
    return m_dm->database(m_name)
        .scalar(
            QStringLiteral("SELECT G.GROUP_ID FROM PEOPLE P JOIN GROUPS G ON G.SYSTEM_ID = P.PRIMARY_GROUP "
                           "WHERE UPPER(P.USER_ID) = UPPER(?1)"),
            {userId()})
        .toString();
}

std::shared_ptr<DmProperties> LocalLibrary::properties() const
{
    return LocalProperties::read(*m_dm, m_name);
}

std::shared_ptr<LocalProfile> LocalLibrary::openLocalProfile(int documentNumber)
{
    if (m_dm->faults().failsNow(FaultKind::Open))
        return nullptr;
    try {
        if (auto document = LocalDocument::open(m_dm, m_name, documentNumber))
            return std::make_shared<LocalProfile>(std::move(document));
    } catch (const DmError &) {
        // An unreachable library opens nothing, as the DM reports it: no object.
    }
    return nullptr;
}

std::shared_ptr<LocalFolder> LocalLibrary::openLocalFolder(int documentNumber)
{
    if (m_dm->faults().failsNow(FaultKind::Open))
        return nullptr;
    try {
        auto document = LocalDocument::open(m_dm, m_name, documentNumber);
        if (document && document->isFolder()) {
            const bool isPublic =
                m_dm->database(m_name)
                    .scalar(QStringLiteral("SELECT COUNT(*) FROM ROOT_OBJECT WHERE DOCNUMBER = ?1"),
                            {documentNumber})
                    .toInt() > 0;
            return std::make_shared<LocalFolder>(std::move(document), isPublic);
        }
    } catch (const DmError &) {
        // As for profiles: no object.
    }
    return nullptr;
}

std::shared_ptr<DmProfile> LocalLibrary::openProfile(int documentNumber)
{
    return openLocalProfile(documentNumber);
}

std::shared_ptr<DmFolder> LocalLibrary::newFolder()
{
    if (m_dm->faults().failsNow(FaultKind::Open))
        return nullptr;
    return std::make_shared<LocalFolder>(LocalDocument::newFolder(m_dm, m_name), false);
}

std::shared_ptr<DmFolder> LocalLibrary::openFolder(int documentNumber)
{
    return openLocalFolder(documentNumber);
}

namespace {

// A document handed to a folder's add call: all that call needs of it is what names it.
class LocalProfileItem : public DmProfileItem {
public:
    LocalProfileItem(int documentNumber, QString libraryName)
        : m_documentNumber(documentNumber), m_libraryName(std::move(libraryName))
    {
    }
    int documentNumber() const override { return m_documentNumber; }
    QString libraryName() const override { return m_libraryName; }

private:
    int m_documentNumber;
    QString m_libraryName;
};

} // namespace

std::shared_ptr<DmProfileItem> LocalLibrary::openProfileItem(int documentNumber)
{
    if (m_dm->faults().failsNow(FaultKind::Open))
        return nullptr;
    try {
        LibraryDatabase &db = m_dm->database(m_name);
        if (db.query(QStringLiteral("SELECT 1 FROM PROFILE WHERE DOCNUMBER = ?1"), {documentNumber})
                .isEmpty())
            return nullptr;
        return std::make_shared<LocalProfileItem>(documentNumber, db.config().name);
    } catch (const DmError &) {
        // As for profiles: no object.
    }
    return nullptr;
}

std::shared_ptr<DmFolderItem> LocalLibrary::openFolderItem(int documentNumber)
{
    return openLocalFolder(documentNumber);
}

void LocalLibrary::open()
{
    m_dm->database(m_name);
}

QString LocalLibrary::lostCause()
{
    return m_dm->lostCause(m_name);
}

QString LocalLibrary::nameKey(const QString &name)
{
    return m_dm->database(m_name).nameKey(name);
}

void LocalLibrary::activate()
{
    m_dm->database(m_name);
    m_dm->setCurrentLibrary(m_name);
}
