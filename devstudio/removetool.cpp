// Takes one entry out of Developer Studio's Tools menu and moves the entries
// behind it down by one, so that the menu stays numbered without gaps.
#include "studiotools.h"
#include "toolsmenu.h"

#include <algorithm>
#include <cstring>
#include <string>

namespace {

// The first entry below count whose readable PathName contains pattern, or -1.
int findEntry(HKEY tools, const char *pattern, int count)
{
    for (int index = 0; index < count; ++index) {
        char name[toolTextBufferSize];
        char path[toolTextBufferSize];
        toolValueName(name, toolEntryLayout[pathNamePosition].stem, index);
        if (readText(tools, name, path, sizeof path) == ERROR_SUCCESS && std::strstr(path, pattern))
            return index;
    }
    return -1;
}

void deleteEntry(HKEY tools, int index)
{
    for (const auto &value : toolEntryLayout) {
        char name[toolTextBufferSize];
        toolValueName(name, value.stem, index);
        regDeleteValue(tools, name);
    }
}

// Moves each value of entry from to entry to, whole; a value that is missing or
// cannot be read leaves the destination absent rather than filled with anything else.
void moveEntry(HKEY tools, int from, int to)
{
    for (const auto &value : toolEntryLayout) {
        char source[toolTextBufferSize];
        char destination[toolTextBufferSize];
        toolValueName(source, value.stem, from);
        toolValueName(destination, value.stem, to);
        if (value.isText) {
            std::string text; // whole, however long the user made it
            const bool read = readWholeText(tools, source, text) == ERROR_SUCCESS;
            regDeleteValue(tools, source);
            if (read)
                regSetString(tools, destination, text.c_str());
        } else {
            int32_t number = 0;
            const bool read = readNumber(tools, source, number) == ERROR_SUCCESS;
            regDeleteValue(tools, source);
            if (read)
                writeNumber(tools, destination, number);
        }
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
        const int match = findEntry(tools, pattern, count);
        if (match >= 0) {
            writeNumber(tools, toolCountName, count - 1);
            deleteEntry(tools, match);
            for (int index = match; index < count - 1; ++index)
                moveEntry(tools, index + 1, index);
        }
    }
    regClose(tools);
}
