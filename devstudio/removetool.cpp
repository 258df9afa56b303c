// Takes one entry out of Developer Studio's Tools menu and moves the entries
// behind it down by one, so that the menu stays numbered without gaps.
#include "problems.h"
#include "productdir.h"
#include "studiotools.h"
#include "toolsmenu.h"

#include <algorithm>
#include <functional>
#include <string>

namespace {

// The first entry from first on, below count, whose readable PathName satisfies matches, or -1.
int findEntry(HKEY tools, int count, const std::function<bool(const std::string &)> &matches, int first = 0)
{
    for (int index = first; index < count; ++index) {
        char name[toolTextBufferSize];
        std::string path;
        toolValueName(name, toolEntryLayout[pathNamePosition].stem, index);
        if (readText(tools, name, path, toolTextBufferSize) == ERROR_SUCCESS && matches(path))
            return index;
    }
    return -1;
}

// Whether path is the product's own program, as an install writes its path, in
// any spelling Windows takes for the same file.
bool isProductProgram(const std::string &path, const std::string &product, const char *program)
{
    return sameWindowsPath(path, productProgramPath(product, program));
}

// The product's own entry for program; failing that, the first entry whose path
// names program, letter case not counting.
int findProductEntry(HKEY tools, int count, const std::string &product, const char *program)
{
    const int own = findEntry(tools, count, [&](const std::string &path) { return isProductProgram(path, product, program); });
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

// The number of entries the menu has, at most its 16 places; 0 without a count.
int entryCount(HKEY tools)
{
    int32_t storedCount = 0;
    if (readNumber(tools, toolCountName, storedCount) != ERROR_SUCCESS || storedCount <= 0)
        return 0;
    return std::min<int32_t>(storedCount, maxToolEntries); // a larger count, which nobody writes, goes no further
}

} // namespace

bool productToolPresent(const char *program, const std::string &product)
{
    const RegistryKey tools(ToolsKey);
    const int count = tools ? entryCount(tools) : 0;
    return count > 0 && findProductEntry(tools, count, product, program) >= 0;
}

std::vector<int> productToolEntries(const char *program, const std::string &product)
{
    std::vector<int> entries;
    const RegistryKey tools(ToolsKey);
    if (!tools)
        return entries;
    const int count = entryCount(tools);
    for (int from = 0; from < count;) {
        const int found =
            findEntry(tools, count, [&](const std::string &path) { return isProductProgram(path, product, program); }, from);
        if (found < 0)
            break;
        entries.push_back(found);
        from = found + 1;
    }
    return entries;
}

std::string viewerEntryProductDirectory()
{
    const RegistryKey tools(ToolsKey);
    if (!tools)
        return std::string();
    const std::string tail = productProgramPath("", viewerProgram); // what follows the directory
    std::string directory;
    findEntry(tools, entryCount(tools), [&](const std::string &path) {
        const bool names = path.size() > tail.size() && sameWindowsPath(path.substr(path.size() - tail.size()), tail);
        if (names)
            directory = path.substr(0, path.size() - tail.size());
        return names;
    });
    return directory;
}

bool studioToolsRemovable(ProblemSink &problems)
{
    const RegistryKey tools(ToolsKey);
    int32_t count = 0;
    // No menu: nothing of the product's in it.
    const bool countIsNoNumber = tools && readNumber(tools, toolCountName, count) == ERROR_INVALID_DATA;
    if (countIsNoNumber)
        problems.report(Problem::NoToolCount);
    return !countIsNoNumber;
}

void removeStudioTool(const char *pattern, const std::string &product)
{
    const RegistryKey tools(ToolsKey);
    const int count = tools ? entryCount(tools) : 0;
    const int match = count > 0 ? findProductEntry(tools, count, product, pattern) : -1;
    if (match < 0)
        return;
    writeNumber(tools, toolCountName, count - 1);
    deleteEntry(tools, match);
    for (int index = match; index < count - 1; ++index)
        moveEntry(tools, index + 1, index);
}
