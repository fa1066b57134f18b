#include "previewhazards.h"

#include "settings/product.h"

const QList<PreviewHazard> &PreviewHazards()
{
    static const QList<PreviewHazard> hazards = {
        {"target equal to source",
         [](PreviewWorld &w) {
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans"), "lib_sql"};
         },
         "Error: The target library LIB_SQL is the library the folders are in", MoveOutcome::Refused},
        {"missing rights, with the list all the same",
         [](PreviewWorld &w) {
             w.builder.db("LIB_SYB").exec("DELETE FROM DM_RIGHTS WHERE RIGHT_NAME = 'User.CreateFolder'");
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans")};
         },
         "Error: JSMITH does not have rights to manage folders in library LIB_SYB\n"
         "Folder #1001 \"Plans\" of library LIB_SQL to library LIB_SYB",
         MoveOutcome::Refused},
        {"a cycle",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A"), b = w.folder("LIB_SQL", "B");
             w.file("LIB_SQL", a, b);
             w.file("LIB_SQL", b, a);
             return PreviewMove{"LIB_SQL", a};
         },
         " contains itself through ", MoveOutcome::Done, true},
        {"a folder filed twice in the tree",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A"), b = w.folder("LIB_SQL", "B"),
                       c = w.folder("LIB_SQL", "C");
             w.file("LIB_SQL", a, b);
             w.file("LIB_SQL", a, c);
             w.file("LIB_SQL", c, b);
             return PreviewMove{"LIB_SQL", a};
         },
         "Warning: It is filed twice in the moved tree"},
        {"a folder also filed outside the tree",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A"), b = w.folder("LIB_SQL", "B"),
                       d = w.folder("LIB_SQL", "D");
             w.file("LIB_SQL", a, b);
             w.file("LIB_SQL", d, b);
             return PreviewMove{"LIB_SQL", a};
         },
         "Warning: It is also filed outside the moved tree: it stays in library LIB_SQL as well"},
        {"a folder of two parents, moved with its chain",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A1"), b = w.folder("LIB_SQL", "A2"),
                       c = w.folder("LIB_SQL", "C");
             w.file("LIB_SQL", a, c);
             w.file("LIB_SQL", b, c);
             return PreviewMove{"LIB_SQL", c};
         },
         "Warning: It has 2 parent folders: only folder #1001 holds it in library LIB_SYB"},
        {"a trustee unknown in the target",
         [](PreviewWorld &w) {
             return PreviewMove{
                 "LIB_SQL", w.folder("LIB_SQL", "Plans", {1, {{"U:JSMITH", 255}, {"U:NOT_IN_LIB_SYB", 45}}})};
         },
         "Warning: User NOT_IN_LIB_SYB is not known in library LIB_SYB and would have no access to \"Plans\" "
         "there\n    Trustees to copy: user JSMITH (255)\n"},
        {"no trustee known in the target",
         [](PreviewWorld &w) {
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans", {1, {{"U:NOT_IN_LIB_SYB", 255}}})};
         },
         "Warning: No trustee of its source is known in library LIB_SYB: the folder would be restricted to "
         "JSMITH and the move of this folder stops there",
         MoveOutcome::Done, true},
        {"an open source",
         [](PreviewWorld &w) {
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans", {0, {}})};
         },
         "Access: open to everyone, as its source"},
        {"a document that cannot be opened",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A");
             w.file("LIB_SQL", a, 4242);
             return PreviewMove{"LIB_SQL", a};
         },
         "Link document #4242 \"\" of library LIB_SQL\n      Warning: It cannot be opened", MoveOutcome::Done,
         true},
        {"a same-named folder in the target, wider",
         [](PreviewWorld &w) {
             w.folder("LIB_SYB", "Plans", {0, {}}, true);
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans", JsmithOnly, true)};
         },
         "Error: A folder #1001 \"Plans\" stands in library LIB_SYB and gives wider access than its source",
         MoveOutcome::Done, true},
        {"a same-named folder in the target, wider, left half-made by an earlier run",
         [](PreviewWorld &w) {
             const int left = w.folder("LIB_SYB", "Plans", {0, {}}, true);
             w.builder.db("LIB_SYB").exec("UPDATE FOLDER SET PATH = ?1 WHERE DOCNUMBER = ?2",
                                          {ProductName(), left});
             w.builder.db("LIB_SYB").exec("UPDATE PROFILE SET TYPIST = (SELECT SYSTEM_ID FROM PEOPLE WHERE "
                                          "USER_ID = 'JSMITH') WHERE DOCNUMBER = ?1",
                                          {left});
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans", JsmithOnly, true)};
         },
         "Made anew: folder #1001 \"Plans\" at the top level of library LIB_SYB, public, left half-made"},
        {"a same-named folder in the target, taken up",
         [](PreviewWorld &w) {
             w.folder("LIB_SYB", "Plans", JsmithOnly, true);
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans", {0, {}}, true)};
         },
         "Taken up: folder #1001 \"Plans\" at the top level of library LIB_SYB, public, whose trustees stay",
         MoveOutcome::Done, true},
        {"a folder taken up that an earlier copy left restricted",
         [](PreviewWorld &w) {
             const int left = w.folder("LIB_SYB", "Plans", JsmithOnly, true);
             w.builder.db("LIB_SYB").exec("UPDATE FOLDER SET PATH = ?1 WHERE DOCNUMBER = ?2",
                                          {ProductName(), left});
             return PreviewMove{"LIB_SQL",
                                w.folder("LIB_SQL", "Plans", {1, {{"U:JSMITH", 255}, {"U:MDOE", 45}}}, true)};
         },
         "whose trustees are copied again\n    Trustees to copy: user JSMITH (255), user MDOE (45)"},
        {"an item that a folder taken up holds already",
         [](PreviewWorld &w) {
             const int letter = w.document("LIB_SQL", "Letter");
             const int plans = w.folder("LIB_SQL", "Plans", {0, {}}, true);
             w.file("LIB_SQL", plans, letter);
             w.file("LIB_SYB", w.folder("LIB_SYB", "Plans", JsmithOnly, true), letter, "LIB_SQL");
             return PreviewMove{"LIB_SQL", plans};
         },
         "Linked already: document #1001 \"Letter\" of library LIB_SQL", MoveOutcome::Done, true},
        {"a same-named folder in the target, not taken up",
         [](PreviewWorld &w) {
             w.folder("LIB_SYB", "Plans", JsmithOnly);
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans", JsmithOnly)};
         },
         "Made as folder \"Plans\" at the top level of library LIB_SYB, private\n"
         "    Warning: Folder #1001 of the same name stands there in library LIB_SYB and is not taken up"},
        {"sibling folders whose names differ in letter case",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A");
             w.file("LIB_SQL", a, w.folder("LIB_SQL", "Budget", JsmithOnly));
             w.file("LIB_SQL", a, w.folder("LIB_SQL", "BUDGET", JsmithOnly));
             return PreviewMove{"LIB_SQL", a};
         },
         "differ only in letter case: they become one folder in library LIB_SYB"},
        {"sibling folders whose names differ in letter case, and their access",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A");
             w.file("LIB_SQL", a, w.folder("LIB_SQL", "Budget", JsmithOnly));
             w.file("LIB_SQL", a, w.folder("LIB_SQL", "BUDGET", {0, {}}));
             return PreviewMove{"LIB_SQL", a};
         },
         "Error: The new folder \"Budget\" is not open to every user as folder #", MoveOutcome::Done, true},
        {"a document of a third library",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A");
             w.file("LIB_SQL", a, w.document("LIB_ORA", "Offer"), "LIB_ORA");
             return PreviewMove{"LIB_SQL", a};
         },
         "Warning: Document #1001 lives in a third library, LIB_ORA: it stays there and is linked from "
         "library "
         "LIB_SYB"},
        {"a name that a unique-name target holds",
         [](PreviewWorld &w) {
             w.document("LIB_ORA", "plans");
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans"), "LIB_ORA"};
         },
         "Warning: Library LIB_ORA requires unique document names and holds this name already",
         MoveOutcome::Done, true},
        {"a subfolder filed in itself",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A"), b = w.folder("LIB_SQL", "B");
             w.file("LIB_SQL", a, b);
             w.file("LIB_SQL", b, b);
             return PreviewMove{"LIB_SQL", a};
         },
         "\"B\" in library LIB_SQL contains itself through a link to itself", MoveOutcome::Done, true},
        {"a subfolder whose name holds a line break",
         [](PreviewWorld &w) {
             const int a = w.folder("LIB_SQL", "A");
             w.file("LIB_SQL", a, w.folder("LIB_SQL", "line1\nline2"));
             return PreviewMove{"LIB_SQL", a};
         },
         "Error: Its name \"line1\\nline2\" holds a line break", MoveOutcome::Done, true},
        {"a name with a blank at its end",
         [](PreviewWorld &w) {
             return PreviewMove{"LIB_SQL", w.folder("LIB_SQL", "Plans ")};
         },
         "Warning: It is saved as \"Plans\" in library LIB_SYB: a name keeps no blanks at either end"},
    };
    return hazards;
}
