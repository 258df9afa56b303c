// The product's installation directory as the registry must name it, and the
// product's paths compared as Windows compares them.
#pragma once

#include <cstddef>
#include <QString>
#include <string>

// The product's installation directory of a run (TINDRALDIR, or --tindraldir),
// found out once: as given, where it lies on this machine, and as the registry
// names it (see registryFormOfPath).
struct ProductDirectory {
    std::string given; // in the locale's encoding; UTF-8 on Windows
    std::string local; // the same, as this machine's file functions take it
    std::string registryForm; // UTF-8; "" when it has none
    std::string problem; // why it has none
};
ProductDirectory locateProductDirectory(const std::string &given);
// The local form as the toolkit's text.
QString localDirectoryText(const ProductDirectory &product);

// A path as Windows resolves it, without reading the disk: "/" is "\", doubled
// and trailing separators count as one and none, "." goes and ".." takes the
// part before it away (never a drive).
std::string resolvedWindowsPath(const std::string &path);
// Whether two paths name the same file as Windows reads them: letter case does
// not count, and each is resolved first.
bool sameWindowsPath(const std::string &first, const std::string &second);
// Whether text contains pattern, letter case not counting.
bool containsIgnoringCase(const std::string &text, const std::string &pattern);

// Why directory cannot stand in the product's registry paths: a character that
// no Windows name can hold, or a ";" that would split the search path. Empty
// when it can.
std::string productDirectoryProblem(const std::string &directory);
