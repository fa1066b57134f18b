#pragma once

#include "dmapi/dmapi.h"

#include <QList>

class LocalDm;
class LocalLibrary;

// The libraries of the installation in installation order.
class LocalLibraries : public DmLibraries {
public:
    explicit LocalLibraries(QList<std::shared_ptr<LocalLibrary>> libraries);

    int count() const override;
    std::shared_ptr<DmLibrary> item(int index) const override;

private:
    QList<std::shared_ptr<LocalLibrary>> m_libraries;
};

// The DM session of the installation's login user. The library objects are made once and handed
// out again by every call, so the session's current library is one object however it is reached.
class LocalApplication : public DmApplication {
public:
    explicit LocalApplication(std::shared_ptr<LocalDm> dm);

    std::shared_ptr<DmLibraries> libraries() const override;
    // The library last activated, at first the installation's current library; null when the
    // installation names none it has.
    std::shared_ptr<DmLibrary> currentLibrary() const override;
    // The installation's default library; null when the installation names none it has.
    std::shared_ptr<DmLibrary> defaultLibrary() const override;
    // Logs the user in to the current library: a token, the same for the whole session, while the
    // user is in that library's PEOPLE; empty when not. Raises DmError when the current library
    // cannot be reached.
    QString securityToken() override;
    void setWindowHandle(quintptr handle) override;
    quintptr windowHandle() const { return m_windowHandle; }

private:
    std::shared_ptr<DmLibrary> library(const QString &name) const;

    std::shared_ptr<LocalDm> m_dm;
    std::shared_ptr<LocalLibraries> m_libraries;
    QString m_token;
    quintptr m_windowHandle = 0;
};
