// Takes one entry out of Developer Studio's Tools menu and moves the entries
// behind it down by one, so that the menu stays numbered without gaps.
#include "productdir.h"
#include "studiotools.h"
#include "toolsmenu.h"

#include <algorithm>
#include <functional>
#include <string>

namespace {

// The first entry below count whose readable PathName satisfies matches, or -1.
int findEntry(HKEY tools, int count, const std::function<bool(const std::string &)> &matches)
{
    for (int index = 0; index < count; ++index) {
        char name[toolTextBufferSize];
        char path[toolTextBufferSize];
        toolValueName(name, toolEntryLayout[pathNamePosition].stem, index);
        if (readText(tools, name, path, sizeof path) == ERROR_SUCCESS && matches(path))
            return index;
    }
    return -1;
}

// The product's own entry for program (its path as an install writes it, in any
// spelling Windows takes for the same file); failing that, the first entry whose
// path names program, letter case not counting.
int findProductEntry(HKEY tools, int count, const char *program)
{
    const std::string ownPath = productDirectoryForRegistry() + productProgramDirectory + program;
    const int own = findEntry(tools, count, [&](const std::string &path) { return sameWindowsPath(path, ownPath); });
    if (own >= 0)
        return own;
    return findEntry(tools, count, [&](const std::string &path) { return containsIgnoringCase(path, program); });
}

void deleteEntry(HKEY tools, int index)
{
    for (const auto &value : toolEntryLayout) {
        char name[toolTextBufferSize];
        toolValueName(name, value.stem, index);
        regDeleteValue(tools, name);
    }
}

// Moves each value of entry from to entry to as it is: its own type and every
// byte. A value that is missing or cannot be read leaves the destination absent.
void moveEntry(HKEY tools, int from, int to)
{
    for (const auto &value : toolEntryLayout) {
        char source[toolTextBufferSize];
        char destination[toolTextBufferSize];
        toolValueName(source, value.stem, from);
        toolValueName(destination, value.stem, to);
        DWORD type = REG_NONE;
        std::string data;
        const bool read = readValue(tools, source, type, data) == ERROR_SUCCESS;
        regDeleteValue(tools, source);
        if (read)
            writeValue(tools, destination, type, data);
    }
}

} // namespace

void removeStudioTool(const char *pattern)
{
    HKEY tools = nullptr;
    if (regOpen(HKEY_CURRENT_USER, ToolsKey, &tools) != ERROR_SUCCESS)
        return;
    int32_t storedCount = 0;
    if (readNumber(tools, toolCountName, storedCount) == ERROR_SUCCESS && storedCount > 0) {
        // The menu has 16 places; a larger count, which nobody writes, goes no further.
        const int count = std::min<int32_t>(storedCount, maxToolEntries);
        const int match = findProductEntry(tools, count, pattern);
        if (match >= 0) {
            writeNumber(tools, toolCountName, count - 1);
            deleteEntry(tools, match);
            for (int index = match; index < count - 1; ++index)
                moveEntry(tools, index + 1, index);
        }
    }
    regClose(tools);
}
