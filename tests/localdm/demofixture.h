#pragma once

#include "localdm/demoinstallation.h"
#include "localdm/localdm.h"

#include <QTemporaryDir>

#include <ostream>

// Lets GoogleTest show texts and lists of texts readably when an expectation fails.
inline void PrintTo(const QString &text, std::ostream *out)
{
    *out << '"' << text.toStdString() << '"';
}

// A demo installation of its own in a temporary directory, with its libraries open.
struct DemoFixture {
    explicit DemoFixture(DemoSize size = DemoSize::Small, const QString &user = QStringLiteral("JDOE"))
        : installation(Installation::load(CreateDemoInstallation(dir.path(), size, user))), dm(installation)
    {
    }

    LibraryDatabase &db(const QString &library) { return dm.database(library); }

    QTemporaryDir dir;
    Installation installation;
    LocalDm dm;
};
