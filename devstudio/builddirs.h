// The search path's actions, for the window and for a run without one, and
// what the search path says of the product.
#pragma once

#include "registry.h"

#include <string>

class ProblemSink;

// Puts the directories of the product (its directory as the registry names it)
// in front of the search path, keeping the old path under optionsKey. False when
// it could not be done at all (the key, the path or the product directory): the
// problem is reported and nothing is written. A write that fails is reported
// too, and what was written stays.
bool installBuildDirs(ProblemSink &problems, const std::string &product, HKEY optionsKey);
// Writes back the kept search path, or takes the product's directories out of it.
void restoreBuildDirs(ProblemSink &problems, const std::string &product, HKEY optionsKey);

// Whether Path Dirs begins with the product's three directories, in any spelling
// Windows takes for the same directories; read only.
bool searchPathStartsWithProductDirectories(const std::string &product);
