#pragma once

#include "dmapi/dmapi.h"

// The DM client's browser companion: the session keeps one for the whole run and closes it at the
// end. The local DM has no client window behind it, so closing only marks it closed.
class LocalBrowserCompanion : public DmBrowserCompanion {
public:
    void close() override { m_closed = true; }
    bool isClosed() const { return m_closed; }

private:
    bool m_closed = false;
};

// The DM client's browser object, started with the session's companion.
class LocalBrowser : public DmBrowser {
public:
    // Raises DmError without a companion.
    void initialize(const std::shared_ptr<DmBrowserCompanion> &companion) override;

private:
    std::shared_ptr<DmBrowserCompanion> m_companion;
};
