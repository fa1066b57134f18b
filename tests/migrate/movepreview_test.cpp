#include "previewhazards.h"

// Each hazard a move can meet, planted on its own: the preview names it, lists what the move would do
// all the same, refuses only where the move command would, and changes nothing.
TEST(MovePreviewTest, NamesEachHazard)
{
    for (const PreviewHazard &c : PreviewHazards()) {
        SCOPED_TRACE(c.name);
        PreviewWorld w;
        const PreviewMove move = c.plant(w);
        const int folders = w.folderCount();
        const PreviewWorld::Previewed previewed = w.preview(move.source, move.folder, move.target);
        EXPECT_EQ(previewed.outcome, c.outcome);
        EXPECT_TRUE(previewed.text.contains(c.listed)) << previewed.text.toStdString();
        using Verdict = MovePreview::Verdict;
        const Verdict verdict = c.outcome == MoveOutcome::Refused ? Verdict::Refused
                                : c.fails                         ? Verdict::Fails
                                                                  : Verdict::Clean;
        EXPECT_EQ(previewed.verdict, verdict);
        EXPECT_TRUE(
            previewed.text.contains(QString("; nothing was changed. Verdict: ") +
                                    (verdict == Verdict::Clean   ? "the move would go through (exit 0)."
                                     : verdict == Verdict::Fails ? "1 folder(s) would fail (exit 1)."
                                                                 : "the move would be refused (exit 3).")))
            << previewed.text.toStdString();
        // A move that would fail removes nothing.
        EXPECT_TRUE(verdict != Verdict::Fails || !previewed.text.contains("Removed from library"));
        EXPECT_EQ(w.folderCount(), folders);
        EXPECT_TRUE(w.window.messages.empty());
        EXPECT_TRUE(w.logLines().contains("Preview"));
    }
}

// Cancel ends a preview between folders, and the list says how many were left out.
TEST(MovePreviewTest, CancelEndsTheListBetweenFolders)
{
    PreviewWorld w;
    const int first = w.folder("LIB_SQL", "First", {0, {}}, true);
    const int second = w.folder("LIB_SQL", "Second", {0, {}}, true);
    w.window.target = "LIB_SYB";
    MoveFlags flags;
    MovePreview preview(*w.dm);
    w.window.onEvents = [&] {
        if (flags.moveRunning && preview.text().contains("\"First\""))
            flags.cancelRequested = true;
    };
    const MoveOutcome outcome =
        MoveCommand(*w.dm, flags,
                    {w.dir.filePath("installation.ini"), w.builder.installation().databaseFiles()}, &preview)
            .moveFolders("LIB_SQL", "Public", {{"First", first}, {"Second", second}});
    EXPECT_EQ(outcome, MoveOutcome::Cancelled);
    EXPECT_TRUE(preview.text().contains("Folder #" + QString::number(first) + " \"First\""));
    EXPECT_FALSE(preview.text().contains("\"Second\""));
    EXPECT_TRUE(preview.text().contains("Preview canceled - 1 folder(s) not previewed."))
        << preview.text().toStdString();
}
