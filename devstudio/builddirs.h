// The search path's actions, for the window and for a run without one, and
// what the search path says of the product.
#pragma once

#include "registry.h"

class QApplication;
class QWidget;

// Puts the product's directories in front of the search path, keeping the old
// path under optionsKey. False when it could not be done at all (the key, the
// path or the product directory): its box (parent's) is shown and nothing is
// written. A write that fails is shown too, and what was written stays.
bool installBuildDirs(QWidget *parent, QApplication *application, HKEY optionsKey);
void restoreBuildDirs(QWidget *parent, QApplication *application, HKEY optionsKey);

// Whether Path Dirs begins with the product's three directories, in any spelling
// Windows takes for the same directories; read only.
bool searchPathStartsWithProductDirectories();
