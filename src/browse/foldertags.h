#pragma once

#include <QString>

// Tags of the folder tree's nodes, which tell what a node stands for: "LIB:" and the name for a
// library, "FL:0" for the Public category, "FL:-1" for Shared/Personal, and "FL: " and the document
// number for a folder. Placeholder nodes have no tag.
QString LibraryTag(const QString &libraryName);
QString PublicTag();
QString SharedTag();
QString FolderTag(qint32 documentNumber);

// The folder number a tag names: the text after the first ":" (the whole tag when it has none) read
// leniently, so 0 for Public, -1 for Shared/Personal, the document number for a folder, and 0 for an
// empty tag or one that is not a number.
qint32 FolderNumber(const QString &tag);

// The text of the child that marks a node whose level has not been loaded yet.
QString PlaceholderText();
