#include "faketree.h"

#include "browse/folderbrowser.h"
#include "browse/folderqueries.h"
#include "browse/foldertags.h"

#include <gtest/gtest.h>

TEST(FolderTags, NumbersReadBackFromEveryKindOfTag)
{
    EXPECT_EQ(FolderNumber(PublicTag()), 0);
    EXPECT_EQ(FolderNumber(SharedTag()), -1);
    EXPECT_EQ(FolderTag(1234), "FL: 1234");
    EXPECT_EQ(FolderNumber(FolderTag(1234)), 1234);
    EXPECT_EQ(FolderNumber(QString()), 0);
    EXPECT_EQ(FolderNumber("1234"), 1234);
    EXPECT_EQ(FolderNumber("FL:12:34"), 12);
    EXPECT_EQ(FolderNumber(LibraryTag("LIB1")), 0);
    EXPECT_EQ(FolderNumber("FL:x9"), 0);
}

TEST(FolderTags, PopUpEntryAndCaptionFitTheNode)
{
    FakeTree tree;
    const TreeNode library =
        tree.addNode(TreeNode::None, "LIB", LibraryTag("LIB"), LibraryImage, LibraryImage);
    const TreeNode shared =
        tree.addNode(library, "Shared/Personal", SharedTag(), CategoryImage, CategoryOpenImage);
    const TreeNode publicNode =
        tree.addNode(library, "Public", PublicTag(), CategoryImage, CategoryOpenImage);
    const TreeNode budget = tree.addNode(publicNode, "Budget", FolderTag(1001), FolderImage, FolderOpenImage);
    const TreeNode placeholder =
        tree.addNode(budget, PlaceholderText(), QString(), FolderImage, FolderOpenImage);
    const TreeNode unnamed =
        tree.addNode(publicNode, QString(), FolderTag(1002), FolderImage, FolderOpenImage);

    const auto choice = [&](TreeNode node) {
        const std::optional<ConvertMenuChoice> made = ConvertMenuFor(tree, node);
        return made ? std::pair(int(made->entry), made->caption.toStdString()) : std::pair(-1, std::string());
    };
    EXPECT_EQ(choice(library),
              std::pair(int(ConvertMenuChoice::Library), std::string("Move all folders from library LIB")));
    EXPECT_EQ(choice(shared),
              std::pair(int(ConvertMenuChoice::AllFolders), std::string("Move all Shared/Personal folders")));
    EXPECT_EQ(choice(publicNode),
              std::pair(int(ConvertMenuChoice::AllFolders), std::string("Move all Public folders")));
    EXPECT_EQ(choice(budget), std::pair(int(ConvertMenuChoice::Folder), std::string("Move folder Budget")));
    EXPECT_EQ(choice(placeholder).first, -1);
    EXPECT_EQ(choice(unnamed).first, -1);
    EXPECT_EQ(choice(TreeNode::None).first, -1);
}

TEST(FolderQueries, ValuesInLiteralsAreEscaped)
{
    EXPECT_EQ(PeopleIdQuery("O'BRIEN"), "SELECT SYSTEM_ID FROM [OWNER].PEOPLE WHERE USER_ID = 'O''BRIEN'");
    EXPECT_EQ(
        FolderLevelQuery(1234, 701, "R'N'D"),
        "SELECT DISTINCT FI.DOCNUMBER, PR.DOCNAME FROM [OWNER].FOLDER_ITEM FI LEFT OUTER JOIN "
        "[OWNER].PROFILE PR ON PR.DOCNUMBER = FI.DOCNUMBER LEFT OUTER JOIN [OWNER].REMOTE_LIBRARIES RL ON "
        "RL.SYSTEM_ID = FI.LIBRARY WHERE FI.NODE_TYPE = 'F' AND RL.LIBRARY_NAME = 'R''N''D' AND (PR.SYSTEM_ID "
        "IN (SELECT THING FROM [OWNER].SECURITY WHERE ACCESSRIGHTS BETWEEN 1 AND 255 AND (PERSONORGROUP = "
        "701 OR PERSONORGROUP = 0 "
        "OR PERSONORGROUP IN (SELECT GROUPS_SYSTEM_ID FROM [OWNER].PEOPLEGROUPS WHERE PEOPLE_SYSTEM_ID = "
        "701))) OR (PR.DEFAULT_RIGHTS = 0 AND NOT EXISTS (SELECT 1 FROM [OWNER].SECURITY S WHERE S.THING = "
        "PR.SYSTEM_ID))) AND FI.PARENT = 1234 ORDER BY PR.DOCNAME");
}
