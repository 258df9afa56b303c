// Appends the product's viewer and options entries to Developer Studio's Tools menu.
#include "problems.h"
#include "productdir.h"
#include "studiotools.h"
#include "toolsmenu.h"

#include <cstring>
#include <vector>

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

// What an addition writes: the count found, the entries the menu lacks and their program paths.
struct Addition {
    int32_t count = 0;
    std::vector<const ToolEntry *> entries;
    std::vector<std::string> paths;
};

// Whether the addition can be made to the open Tools menu, and why not.
bool addable(HKEY tools, const std::string &product, Addition &addition, Problem &refusal)
{
    // A negative count, or one that is not a number, is no count at all.
    if (readNumber(tools, toolCountName, addition.count) != ERROR_SUCCESS || addition.count < 0)
        return refusal = Problem::NoToolCount, false;
    // An entry of the product's that the menu holds (a marker removed by hand) is not added twice.
    for (const ToolEntry *entry : {&viewerEntry, &optionsEntry})
        if (!productToolPresent(entry->at(pathNamePosition).text, product))
            addition.entries.push_back(entry);
    if (addition.count > maxToolEntries - int(addition.entries.size()))
        return refusal = Problem::NoRoomForTools, false;
    // A cut-off path, or one that an uninstall could not read back, is never written.
    for (const ToolEntry *entry : addition.entries) {
        addition.paths.emplace_back();
        if (!composeEntryPath(addition.paths.back(), product, *entry))
            return refusal = Problem::ProgramPathTooLong, false;
    }
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
    if (addition.entries.empty())
        return true;
    writeNumber(tools, toolCountName, addition.count + int32_t(addition.entries.size()));
    for (size_t added = 0; added < addition.entries.size(); ++added)
        writeEntry(tools, addition.count + int(added), *addition.entries[added], addition.paths[added]);
    return true;
}
