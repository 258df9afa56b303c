// Puts the product's directories in front of the Win32 (x86) executable search
// path, keeping the old path under the product's key, and takes them out again.
#include "app/plugininstall.h"
#include "productdir.h"

#include <cstring>
#include <string>
#include <vector>

namespace {

const char *const pathDirsName = "Path Dirs";
const char *const restorePathName = "Restore Path";
// Directory lists and the product directory are held in 1024 bytes: lists of up to 1023 characters.
constexpr size_t directoryListBufferSize = 1024;

// The product's three directories, in search order, joined by ";". Common lies
// beside the product directory: its parent is cut at the last backslash, one
// trailing backslash not counting; without a parent it is reached through "..".
std::string productDirectories(const std::string &product)
{
    std::string parent = product;
    size_t cut = parent.rfind('\\');
    if (cut != std::string::npos && cut + 1 == parent.size()) {
        parent.resize(cut);
        cut = parent.rfind('\\');
    }
    const std::string common = cut != std::string::npos ? parent.substr(0, cut) + "\\Common" : product + "\\..\\Common";
    return product + "\\targets\\cvisual6\\cmd;" + product + "\\bin\\intel\\win32;" + common;
}

// The list that an install makes of oldList: the product's directories first.
std::string installedSearchPath(const std::string &product, const char *oldList)
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

// The list without the product's directories, each taken out where it first
// stands as a whole element; the others keep their order. False when none is there.
bool withoutProductDirectories(const std::string &product, const char *list, std::string &remaining)
{
    std::vector<std::string> elements = splitList(list);
    bool removed = false;
    for (const std::string &directory : splitList(productDirectories(product))) {
        for (auto element = elements.begin(); element != elements.end(); ++element) {
            if (*element == directory) {
                elements.erase(element);
                removed = true;
                break;
            }
        }
    }
    remaining.clear();
    for (size_t index = 0; index < elements.size(); ++index)
        remaining += (index ? ";" : "") + elements[index];
    return removed;
}

// What uninstall leaves in Path Dirs: the kept list while Path Dirs is still what
// the install made of it; otherwise the user's later edits stay and only the
// product's directories go. False when Path Dirs should stay as it is.
bool restoredSearchPath(const std::string &product, const char *currentList, const char *keptList, std::string &restored)
{
    if (installedSearchPath(product, keptList) == currentList) {
        restored = keptList;
        return true;
    }
    return withoutProductDirectories(product, currentList, restored);
}

} // namespace

void PluginInstall::installBuildDirs(HKEY optionsKey)
{
    HKEY directories = nullptr;
    if (regOpen(HKEY_CURRENT_USER, DirectoriesKey, &directories) != ERROR_SUCCESS)
        return reportError("Unable to open key for Visual");
    char oldList[directoryListBufferSize];
    const char *failure = nullptr;
    const std::string product = productDirectoryForRegistry();
    const bool oldListRead = readText(directories, pathDirsName, oldList, sizeof oldList) == ERROR_SUCCESS;
    const std::string newList = oldListRead ? installedSearchPath(product, oldList) : std::string();
    if (!oldListRead)
        failure = "Unable to read Visual installation";
    // A list that would not fit is never written cut off.
    else if (product.size() >= directoryListBufferSize || newList.size() >= directoryListBufferSize)
        failure = "Failed to modify Visual registry";
    // The old list is kept first, so that the search path is never changed without a way back.
    else if (regSetString(optionsKey, restorePathName, oldList) != ERROR_SUCCESS)
        failure = "Failed to modify Razazadu registry";
    else if (regSetString(directories, pathDirsName, newList.c_str()) != ERROR_SUCCESS)
        failure = "Failed to modify Visual registry";
    regClose(directories);
    if (failure)
        reportError(failure);
}

void PluginInstall::restoreBuildDirs(HKEY optionsKey)
{
    char kept[directoryListBufferSize];
    std::memset(kept, 0, sizeof kept);
    HKEY directories = nullptr;
    if (regOpen(HKEY_CURRENT_USER, DirectoriesKey, &directories) != ERROR_SUCCESS)
        return reportError("Unable to open key for MS compiler");
    char current[directoryListBufferSize];
    std::string restored;
    const char *failure = nullptr;
    if (readText(optionsKey, restorePathName, kept, sizeof kept) != ERROR_SUCCESS)
        failure = "Unable to open the restore key";
    // A search path that cannot be read holds nothing to take out.
    else if (readText(directories, pathDirsName, current, sizeof current) == ERROR_SUCCESS &&
             restoredSearchPath(productDirectoryForRegistry(), current, kept, restored) &&
             regSetString(directories, pathDirsName, restored.c_str()) != ERROR_SUCCESS)
        failure = "Restore key creation failed";
    regClose(directories);
    if (failure)
        reportError(failure);
}
