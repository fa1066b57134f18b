#pragma once

#include <QtGlobal>

// The runtime error numbers the run core raises or recognises, numbered as the platform numbers them.

// A DM object that cannot be created ("can't create object").
constexpr qint32 CannotCreateObjectError = 429;
// An object that is needed but not set ("object variable not set").
constexpr qint32 ObjectNotSetError = 91;
// The DM server interface failed to load.
constexpr qint32 ServerInterfaceFailure = qint32(0x80010105u);
