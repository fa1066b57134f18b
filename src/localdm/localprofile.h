#pragma once

#include "dmapi/dmapi.h"

class LocalDocument;

// A DM profile (document or folder) seen through the profile interface. Holds the shared object
// state; a folder's profile view is a LocalProfile over the folder's state.
//
// save() counts as a "save" call on the planted faults: a planted one returns false with a DM error
// and writes nothing. A closed profile view refuses to save; the object behind it stays usable
// through its other views.
class LocalProfile : public DmProfile {
public:
    explicit LocalProfile(std::shared_ptr<LocalDocument> document);

    QString libraryName() const override;
    QString name() const override;
    int documentNumber() const override;
    std::shared_ptr<DmColumns> columns() const override;
    // The FORMS name of the profile's FORM as the library holds it now; empty when none.
    QString formName() const override;
    // The SECURITY rows of the profile as the library holds them now.
    int trusteesCount() const override;
    std::shared_ptr<DmItemCollection> containingFolders() const override;
    void close() override;
    // Creates the profile when it is new (SYSTEM_ID and DOCNUMBER from the library's counters, today
    // as CREATION_DATE, the user as trustee 255), otherwise writes the columns set since the last
    // save; logs an ACTIVITYLOG row. All or nothing; the option is accepted and not interpreted.
    bool save(DmSaveOption option) override;
    qint32 errorNumber() const override;
    QString errorDescription() const override;

private:
    std::shared_ptr<LocalDocument> m_document;
    bool m_closed = false;
};
