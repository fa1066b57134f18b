#pragma once

#include "dm/dmcontext.h"

// Removes a folder from its library after a move: cuts the links to its documents and subfolders
// (which themselves stay), saves it, cuts its links from every folder that holds it, saves its
// profile and deletes it, through the DM objects and the session's shared slots, which are empty
// again when it returns. True only when the folder is gone.
//
// A failure before the parent links are cut leaves the folder filed where it was. Once they are cut, a
// failed profile save still goes on to the delete, and a failed delete files the folder back into those
// folders, so that a folder that is still there never turns into a top-level one.
bool DeleteFolder(DmContext &dm, int docNumber, const QString &libraryName);
