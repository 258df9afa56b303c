// Puts the product's directories in front of the Win32 (x86) executable search
// path, keeping the old path under the product's key, and takes them out again.
#include "builddirs.h"
#include "problems.h"
#include "productdir.h"
#include "toolsmenu.h"

#include <algorithm>
#include <cstring>
#include <string>
#include <vector>

namespace {

const char *const pathDirsName = "Path Dirs";
const char *const restorePathName = "Restore Path";
// Directory lists and the product directory are held as in 1024 characters: lists of up to 1023.
constexpr size_t directoryListBufferSize = 1024;

// The product's three directories, in search order, joined by ";". Common lies
// beside the product directory: its parent is cut from it as Windows resolves
// it (a trailing backslash, "." or ".." not counting); without a parent it is
// reached through "..".
std::string productDirectories(const std::string &product)
{
    const std::string resolved = resolvedWindowsPath(product);
    const size_t cut = resolved.rfind('\\');
    const std::string common = cut != std::string::npos ? resolved.substr(0, cut) + "\\Common" : product + "\\..\\Common";
    return product + "\\targets\\cvisual6\\cmd;" + product + productProgramDirectory + ";" + common;
}

// The list that an install makes of oldList: the product's directories first.
std::string installedSearchPath(const std::string &product, const std::string &oldList)
{
    return productDirectories(product) + ";" + oldList;
}

std::vector<std::string> splitList(const std::string &list)
{
    std::vector<std::string> elements;
    size_t start = 0;
    for (size_t end; (end = list.find(';', start)) != std::string::npos; start = end + 1)
        elements.push_back(list.substr(start, end - start));
    elements.push_back(list.substr(start));
    return elements;
}

std::string joinList(std::vector<std::string>::const_iterator begin, std::vector<std::string>::const_iterator end)
{
    std::string list;
    for (auto element = begin; element != end; ++element)
        list += (element == begin ? "" : ";") + *element;
    return list;
}

// What uninstall leaves in Path Dirs: the kept list while Path Dirs is still what
// the install made of it, the product's directories in whatever spelling names
// them; otherwise the user's later edits stay and only the product's directories
// go, each where it first stands as a whole element. False when Path Dirs should
// stay as it is.
bool restoredSearchPath(const std::string &product, const std::string &currentList, const std::string &keptList,
                        std::string &restored)
{
    const std::vector<std::string> productElements = splitList(productDirectories(product));
    std::vector<std::string> elements = splitList(currentList);
    const bool installedInFront =
        elements.size() > productElements.size() &&
        std::equal(productElements.begin(), productElements.end(), elements.begin(), sameWindowsPath) &&
        joinList(elements.begin() + productElements.size(), elements.end()) == keptList;
    if (installedInFront) {
        restored = keptList;
        return true;
    }
    bool removed = false;
    for (const std::string &directory : productElements) {
        const auto found = std::find_if(elements.begin(), elements.end(),
                                        [&](const std::string &element) { return sameWindowsPath(element, directory); });
        if (found != elements.end()) {
            elements.erase(found);
            removed = true;
        }
    }
    restored = joinList(elements.begin(), elements.end());
    return removed;
}

// Whether the product's directories can be put in front of the search path in
// directories, and why not; the lists are filled.
bool installable(const RegistryKey &directories, const std::string &product, std::string &oldList, std::string &newList,
                 Problem &refusal)
{
    if (!directories)
        return refusal = Problem::NoDirectoriesKey, false;
    if (readText(directories, pathDirsName, oldList, directoryListBufferSize) != ERROR_SUCCESS)
        return refusal = Problem::SearchPathUnreadable, false;
    newList = installedSearchPath(product, oldList);
    // A list that would not fit is never written cut off.
    if (textLength(product) >= directoryListBufferSize || textLength(newList) >= directoryListBufferSize)
        return refusal = Problem::SearchPathNotWritten, false;
    return true;
}

} // namespace

bool searchPathStartsWithProductDirectories(const std::string &product)
{
    const RegistryKey directories(DirectoriesKey);
    std::string list;
    if (!directories || readText(directories, pathDirsName, list, directoryListBufferSize) != ERROR_SUCCESS)
        return false;
    const std::vector<std::string> productElements = splitList(productDirectories(product));
    const std::vector<std::string> elements = splitList(list);
    return elements.size() >= productElements.size() &&
           std::equal(productElements.begin(), productElements.end(), elements.begin(), sameWindowsPath);
}

bool installBuildDirs(ProblemSink &problems, const std::string &product, HKEY optionsKey)
{
    const RegistryKey directories(DirectoriesKey);
    std::string oldList;
    std::string newList;
    Problem refusal;
    if (!installable(directories, product, oldList, newList, refusal)) {
        problems.report(refusal);
        return false;
    }
    // The old list is kept first, so that the search path is never changed without a way back.
    if (regSetString(optionsKey, restorePathName, oldList.c_str()) != ERROR_SUCCESS)
        problems.report(Problem::KeptPathNotWritten);
    else if (regSetString(directories, pathDirsName, newList.c_str()) != ERROR_SUCCESS)
        problems.report(Problem::SearchPathNotWritten);
    return true;
}

void restoreBuildDirs(ProblemSink &problems, const std::string &product, HKEY optionsKey)
{
    const RegistryKey directories(DirectoriesKey);
    if (!directories)
        return problems.report(Problem::NoDirectoriesKeyAtRestore);
    std::string kept;
    std::string current;
    std::string restored;
    if (readText(optionsKey, restorePathName, kept, directoryListBufferSize) != ERROR_SUCCESS)
        return problems.report(Problem::NoKeptPath);
    // A search path that cannot be read holds nothing to take out.
    if (readText(directories, pathDirsName, current, directoryListBufferSize) == ERROR_SUCCESS &&
        restoredSearchPath(product, current, kept, restored) &&
        regSetString(directories, pathDirsName, restored.c_str()) != ERROR_SUCCESS)
        problems.report(Problem::RestoreNotWritten);
}
