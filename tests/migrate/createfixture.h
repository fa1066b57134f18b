#pragma once

#include "sessionfixture.h"

#include <QMap>

// The three-engine session of SessionFixture, with what folder creation needs in every library: the
// user running the move (JSMITH, in DOCS_USERS) holding the folder rights, a colleague MDOE, a user
// O'BRIEN and the groups LEGAL and docs_users (not the DOCS_USERS group: ids are compared exactly).
// NOT_IN_X is a user of every library but X.
class CreateFixture : public SessionFixture {
public:
    // A folder's access as its rows say: DEFAULT_RIGHTS, and the rights of each trustee by "U:id" for a
    // user, "G:id" for a group and "*" for everyone (PERSONORGROUP 0).
    struct Access {
        int defaultRights = -1;
        QMap<QString, int> trustees;
        bool operator==(const Access &) const = default;
    };
    friend void PrintTo(const Access &access, std::ostream *out);
    static Access accessIn(LibraryDatabase &db, int docNumber);
    // The user running the move aside, the target gives nobody anything the source does not.
    static bool wider(const Access &target, const Access &source);

protected:
    CreateFixture();

    // A folder with the given DEFAULT_RIGHTS and trustees (keys as in Access).
    int folderWith(const QString &library, const QString &name, const Access &access, bool isPublic = false);
    // A folder of the library holding the items given, linked in that order.
    int folder(const QString &library, const QString &name, const QList<std::pair<QString, int>> &items = {});
    std::pair<QString, int> doc(const QString &library, const QString &name);
    Access accessOf(const QString &library, int docNumber);
    // Document numbers of the folders of that name in a library.
    QList<int> foldersNamed(const QString &library, const QString &name);
    // What the library check finds in the whole installation.
    QStringList violations();
    // Starts the session and connects to each library once, so that what a first connection reports is
    // behind the test.
    void startInEveryLibrary();
    // Replaces the local DM by one with failures planted; call before start().
    void plant(const QString &faults);
    // Lines since the last call that begin "Error:" or "Warning:".
    static QStringList problems(const QStringList &lines);
};

// A CreateFixture made outside the test framework's own runs, so that a test can build many.
class CreateWorld : public CreateFixture {
    void TestBody() override {}
};
