// The product's installation directory as the registry must name it, and the
// product's paths compared as Windows compares them.
#pragma once

#include <cstddef>
#include <string>

// TINDRALDIR, read from the environment each time, in the form the registry
// names it (see registryFormOfPath); empty when it is unset.
std::string productDirectoryForRegistry();


// Whether two paths name the same file as Windows reads them: letter case does
// not count, "/" and "\" are alike, and doubled separators count as one.
bool sameWindowsPath(const std::string &first, const std::string &second);
// Whether text contains pattern, letter case not counting.
bool containsIgnoringCase(const std::string &text, const std::string &pattern);

// Why directory cannot stand in the product's registry paths: a character that
// no Windows name can hold, or a ";" that would split the search path. Empty
// when it can.
std::string productDirectoryProblem(const std::string &directory);
