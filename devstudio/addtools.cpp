// Appends the product's viewer and options entries to Developer Studio's Tools menu.
#include "problems.h"
#include "productdir.h"
#include "studiotools.h"
#include "toolsmenu.h"

#include <cstring>

namespace {

void writeEntry(HKEY tools, int index, const ToolEntry &entry, const std::string &programPath)
{
    for (size_t position = 0; position < toolEntryValueCount; ++position) {
        char name[toolTextBufferSize];
        toolValueName(name, toolEntryLayout[position].stem, index);
        if (position == pathNamePosition)
            regSetString(tools, name, programPath.c_str());
        else if (toolEntryLayout[position].isText)
            regSetString(tools, name, entry[position].text);
        else
            writeNumber(tools, name, entry[position].number);
    }
}

// The entry's PathName for the product directory; false when it does not fit
// the text buffer that the removal reads PathName values into.
bool composeEntryPath(std::string &path, const std::string &product, const ToolEntry &entry)
{
    path = productProgramPath(product, entry[pathNamePosition].text);
    return textLength(path) < toolTextBufferSize;
}

// What an addition writes: the count found and both program paths.
struct Addition {
    int32_t count = 0;
    std::string viewerPath;
    std::string optionsPath;
};

// Whether the addition can be made to the open Tools menu, and why not.
bool addable(HKEY tools, const std::string &product, Addition &addition, Problem &refusal)
{
    // A negative count, or one that is not a number, is no count at all.
    if (readNumber(tools, toolCountName, addition.count) != ERROR_SUCCESS || addition.count < 0)
        return refusal = Problem::NoToolCount, false;
    if (addition.count > maxToolEntries - 2)
        return refusal = Problem::NoRoomForTools, false;
    // A cut-off path, or one that an uninstall could not read back, is never written.
    if (!composeEntryPath(addition.viewerPath, product, viewerEntry) || !composeEntryPath(addition.optionsPath, product, optionsEntry))
        return refusal = Problem::ProgramPathTooLong, false;
    return true;
}

} // namespace

bool addStudioTools(ProblemSink &problems, const std::string &product)
{
    Addition addition;
    const RegistryKey tools(ToolsKey);
    Problem refusal = Problem::NoToolsKey;
    if (!tools || !addable(tools, product, addition, refusal)) {
        problems.report(refusal);
        return false;
    }
    writeNumber(tools, toolCountName, addition.count + 2);
    writeEntry(tools, addition.count, viewerEntry, addition.viewerPath);
    writeEntry(tools, addition.count + 1, optionsEntry, addition.optionsPath);
    return true;
}
