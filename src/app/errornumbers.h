#pragma once

#include <QtGlobal>

// The runtime error numbers the window program raises itself, numbered as the platform numbers them.

// The user cancelled a common file dialog.
constexpr qint32 DialogCancelledError = 32755;
