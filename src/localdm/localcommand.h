#pragma once

#include "dmapi/dmapi.h"

// The DM client command object. The local DM has no client views, so "DOCSOPEN.RefreshAllViews"
// has nothing to refresh and succeeds; any other command name raises DmError.
class LocalCommand : public DmCommand {
public:
    void execute(const QString &commandName) override;
};
