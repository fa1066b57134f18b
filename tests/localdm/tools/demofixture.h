#pragma once

#include "localdm/localdm.h"
#include "localdm/tools/demoinstallation.h"
#include "support/testenvironment.h"

#include "support/testbackend.h"

#include <QTemporaryDir>

// A demo installation of its own in a temporary directory, with its libraries open; on the server under
// the PostgreSQL test back end.
struct DemoFixture {
    explicit DemoFixture(DemoSize size = DemoSize::Small, const QString &user = QStringLiteral("JDOE"))
        : installation(Installation::load(CreateTestDemo(dir.path(), size, user))), dm(installation)
    {
    }

    LibraryDatabase &db(const QString &library) { return dm.database(library); }

    QTemporaryDir dir;
    Installation installation;
    LocalDm dm;
};
