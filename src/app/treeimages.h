#pragma once

#include <QIcon>
#include <QPixmap>

// The window's own pictures, drawn at run time so that they look the same on every platform and
// icon theme.

// The picture of the tree's image list (ImageDBTree) at one of the indexes the folder tree uses
// (TreeImage); a null icon for any other index.
QIcon TreeImageIcon(int index);

// The splash window's logo, size pixels square.
QPixmap SplashLogo(int size);
