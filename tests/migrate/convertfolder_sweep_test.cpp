#include "createfixture.h"

#include "localdm/librarycheck.h"
#include "migrate/convertfolder.h"

#include <QRegularExpression>

#include <array>

namespace {

constexpr std::array<std::pair<FaultKind, const char *>, 6> Kinds = {{{FaultKind::Sql, "sql"},
                                                                      {FaultKind::Open, "open"},
                                                                      {FaultKind::Save, "save"},
                                                                      {FaultKind::Add, "add"},
                                                                      {FaultKind::Remove, "remove"},
                                                                      {FaultKind::Delete, "delete"}}};

// Folder "Moved" of LIB_SQL, under a parent of its own library, holding a document of LIB_ORA and a
// LIB_ORA subfolder with a LIB_SQL document; moved into LIB_SYB with a failure planted or none.
class SweepMove : public CreateWorld {
public:
    explicit SweepMove(const QString &faults)
    {
        plant(faults);
        m_documents = {{"LIB_ORA", builder.addDocument("LIB_ORA", "Offer")},
                       {"LIB_SQL", builder.addDocument("LIB_SQL", "Reply")}};
        const int sub = builder.addFolder("LIB_ORA", "Letters");
        builder.link("LIB_ORA", sub, "LIB_SQL", m_documents[1].second);
        m_folder = builder.addFolder("LIB_SQL", "Moved");
        builder.link("LIB_SQL", m_folder, "LIB_ORA", m_documents[0].second);
        builder.link("LIB_SQL", m_folder, "LIB_ORA", sub);
        builder.link("LIB_SQL", builder.addFolder("LIB_SQL", "Cabinet"), "LIB_SQL", m_folder);
        startInEveryLibrary();
    }

    qint64 calls(FaultKind kind) { return localDm->faults().calls(kind); }
    bool move() { return ConvertFolder(*dm, m_folder, "LIB_SQL", "LIB_SYB"); }

    // What every run must keep, whatever failed.
    void check(bool moved)
    {
        const QStringList lines = newLogLines();
        const bool wroteTarget = lines.contains("Processing 2 parent folder(s)");
        if (moved) {
            EXPECT_FALSE(exists("LIB_SQL", m_folder));
        } else {
            EXPECT_TRUE(exists("LIB_SQL", m_folder)) << "a failed move removed its folder";
            EXPECT_FALSE(problems(lines).isEmpty()) << "the failure went unreported";
        }
        if (!wroteTarget) {
            EXPECT_EQ(builder.db("LIB_SYB").scalar("SELECT COUNT(*) FROM FOLDER").toInt(), 0)
                << "the target was written before the walks were done";
        }
        for (const auto &[library, document] : m_documents)
            EXPECT_TRUE(filedAnywhere(library, document)) << "document #" << document << " of " << library.toStdString();
        EXPECT_FALSE(session.sharedFolder || session.sharedProfile);
        EXPECT_EQ(session.currentLibrary->name(), "LIB_SQL");
        EXPECT_EQ(violations(), QStringList());
    }

private:
    bool exists(const QString &library, int folder)
    {
        return builder.db(library).scalar("SELECT COUNT(*) FROM FOLDER WHERE DOCNUMBER = ?1", {folder}).toInt() > 0;
    }
    bool filedAnywhere(const QString &library, int document)
    {
        for (const QString in : {"LIB_SQL", "LIB_ORA", "LIB_SYB"})
            if (builder.db(in)
                    .scalar("SELECT COUNT(*) FROM FOLDER_ITEM WHERE DOCNUMBER = ?1 AND LIBRARY = ?2",
                            {document, builder.remoteId(in, library)})
                    .toInt() > 0)
                return true;
        return false;
    }

    QList<std::pair<QString, int>> m_documents;
    int m_folder = 0;
};

} // namespace

// A failure planted at each DM call and each statement of a clean move never loses a document from
// every folder, never removes the folder of a failed move, never writes to the target before the
// walks are done, and is always reported.
TEST(ConvertFolderSweep, NoPlantedFailureLosesADocumentOrTheSource)
{
    std::map<FaultKind, std::pair<qint64, qint64>> span;
    {
        SweepMove clean({});
        for (const auto &[kind, text] : Kinds)
            span[kind].first = clean.calls(kind);
        ASSERT_TRUE(clean.move());
        for (const auto &[kind, text] : Kinds)
            span[kind].second = clean.calls(kind);
    }
    int failed = 0;
    for (const auto &[kind, text] : Kinds) {
        EXPECT_GT(span[kind].second, span[kind].first) << text;
        for (qint64 call = span[kind].first + 1; call <= span[kind].second; ++call) {
            const QString faults = QString::fromUtf8(text) + u':' + QString::number(call);
            SCOPED_TRACE(faults.toStdString());
            SweepMove run(faults);
            const bool moved = run.move();
            failed += moved ? 0 : 1;
            run.check(moved);
        }
    }
    EXPECT_GT(failed, 0);
}
