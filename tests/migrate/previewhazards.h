#pragma once

#include "createfixture.h"

#include "migrate/movecommands.h"
#include "migrate/movepreview.h"

#include <functional>

// The session of CreateFixture, started in every library, previewing moves with the folder command.
class PreviewWorld : public CreateWorld {
public:
    PreviewWorld()
    {
        startInEveryLibrary();
        window.messages.clear();
    }
    using SessionFixture::builder, SessionFixture::dir, SessionFixture::dm, SessionFixture::logLines,
        SessionFixture::window;

    struct Previewed {
        MoveOutcome outcome;
        QString text;
        MovePreview::Verdict verdict;
    };
    // With a report file, the plan's rows are written there.
    Previewed preview(const QString &source, int folder, const QString &target, const QString &report = {})
    {
        window.target = target;
        MoveFlags flags;
        MovePreview preview(*dm);
        const MoveOutcome outcome =
            MoveCommand(*dm, flags,
                        {dir.filePath("installation.ini"), builder.installation().databaseFiles()}, &preview)
                .moveFolder(source, folder, {});
        preview.publish();
        if (!report.isEmpty()) {
            MoveReport rows(dm->log, report, {});
            preview.writeRows(rows);
        }
        return {outcome, window.previews.value(0), preview.verdict()};
    }
    int folder(const QString &library, const QString &name, const Access &access = {0, {}},
               bool isPublic = false)
    {
        return folderWith(library, name, access, isPublic);
    }
    void file(const QString &library, int parent, int item, const QString &itemLibrary = {})
    {
        builder.link(library, parent, itemLibrary.isEmpty() ? library : itemLibrary, item);
    }
    int document(const QString &library, const QString &name) { return builder.addDocument(library, name); }
    int folderCount()
    {
        int count = 0;
        for (const QString library : {"LIB_SQL", "LIB_ORA", "LIB_SYB"})
            count += builder.db(library).scalar("SELECT COUNT(*) FROM FOLDER").toInt();
        return count;
    }
};

// A move of one folder, as a case plants it.
struct PreviewMove {
    QString source = "LIB_SQL";
    int folder = 0;
    QString target = "LIB_SYB";
};

// Open to JSMITH alone, nobody else named.
inline const CreateFixture::Access JsmithOnly{1, {{"U:JSMITH", 255}}};

// A hazard a move can meet, planted on its own: the part of the preview's list that names it, and what
// the move command would come to.
struct PreviewHazard {
    const char *name;
    std::function<PreviewMove(PreviewWorld &)> plant;
    QString listed;
    MoveOutcome outcome = MoveOutcome::Done;
    bool fails = false; // the move would keep the tree where it is
};

// Each hazard the preview must name, one installation each.
const QList<PreviewHazard> &PreviewHazards();
