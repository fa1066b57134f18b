#include "localdm/localbrowser.h"

#include "localdm/localerror.h"

void LocalBrowser::initialize(const std::shared_ptr<DmBrowserCompanion> &companion)
{
    if (!companion)
        throw LocalDmError(LocalError::NoCompanion,
                           QStringLiteral("The DM browser needs a browser companion"));
    m_companion = companion;
}
