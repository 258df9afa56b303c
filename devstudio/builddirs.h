// The search path's actions, for the window and for a run without one, and
// what the search path says of the product.
#pragma once

#include "registry.h"

class QApplication;
class QWidget;

// Whether installBuildDirs can put the product's directories in front of the
// search path; when not, its box (parent's) is shown and nothing is written.
bool buildDirsInstallable(QWidget *parent, QApplication *application);
void installBuildDirs(QWidget *parent, QApplication *application, HKEY optionsKey);
void restoreBuildDirs(QWidget *parent, QApplication *application, HKEY optionsKey);

// Whether Path Dirs begins with the product's three directories, in any spelling
// Windows takes for the same directories; read only.
bool searchPathStartsWithProductDirectories();
