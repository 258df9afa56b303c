// Puts the product's directories in front of the Win32 (x86) executable search
// path, keeping the old path under the product's key, and writes it back.
#include "app/plugininstall.h"
#include "productdir.h"

#include <cstdio>
#include <cstring>

namespace {

const char *const pathDirsName = "Path Dirs";
const char *const restorePathName = "Restore Path";
// Directory lists and the product directory are held in 1024 bytes.
constexpr size_t directoryListBufferSize = 1024;

// The product's three directories, then the old list. Common lies beside the
// product directory: its parent is cut at the last backslash, one trailing
// backslash not counting.
bool composeSearchPath(const std::string &productDirectory, const char *oldList, char (&newList)[directoryListBufferSize])
{
    char parent[directoryListBufferSize];
    if (productDirectory.size() >= sizeof parent)
        return false;
    std::memcpy(parent, productDirectory.c_str(), productDirectory.size() + 1);
    char *cut = std::strrchr(parent, '\\');
    if (cut && cut[1] == '\0') {
        *cut = '\0';
        cut = std::strrchr(parent, '\\');
    }
    const char *product = productDirectory.c_str();
    int length;
    if (cut) {
        *cut = '\0';
        length = std::snprintf(newList, sizeof newList, "%s\\targets\\cvisual6\\cmd;%s\\bin\\intel\\win32;%s\\Common;%s",
                               product, product, parent, oldList);
    } else {
        length = std::snprintf(newList, sizeof newList,
                               "%s\\targets\\cvisual6\\cmd;%s\\bin\\intel\\win32;%s\\..\\Common;%s", product, product,
                               product, oldList);
    }
    return length >= 0 && static_cast<size_t>(length) < sizeof newList;
}

} // namespace

void PluginInstall::installBuildDirs(HKEY optionsKey)
{
    HKEY directories = nullptr;
    if (regOpen(HKEY_CURRENT_USER, DirectoriesKey, &directories) != ERROR_SUCCESS)
        return reportError("Unable to open key for Visual");
    char oldList[directoryListBufferSize];
    char newList[directoryListBufferSize];
    const char *failure = nullptr;
    if (readText(directories, pathDirsName, oldList, sizeof oldList) != ERROR_SUCCESS)
        failure = "Unable to read Visual installation";
    else if (!composeSearchPath(productDirectoryForRegistry(), oldList, newList))
        failure = "Failed to modify Visual registry";
    // The old list is kept first, so that the search path is never changed without a way back.
    else if (regSetString(optionsKey, restorePathName, oldList) != ERROR_SUCCESS)
        failure = "Failed to modify Razazadu registry";
    else if (regSetString(directories, pathDirsName, newList) != ERROR_SUCCESS)
        failure = "Failed to modify Visual registry";
    regClose(directories);
    if (failure)
        reportError(failure);
}

void PluginInstall::restoreBuildDirs(HKEY optionsKey)
{
    char restored[directoryListBufferSize];
    std::memset(restored, 0, sizeof restored);
    HKEY directories = nullptr;
    if (regOpen(HKEY_CURRENT_USER, DirectoriesKey, &directories) != ERROR_SUCCESS)
        return reportError("Unable to open key for MS compiler");
    const char *failure = nullptr;
    if (readText(optionsKey, restorePathName, restored, sizeof restored) != ERROR_SUCCESS)
        failure = "Unable to open the restore key";
    else if (regSetString(directories, pathDirsName, restored) != ERROR_SUCCESS)
        failure = "Restore key creation failed";
    regClose(directories);
    if (failure)
        reportError(failure);
}
