// Appends the product's viewer and options entries to Developer Studio's Tools menu.
#include "app/report.h"
#include "productdir.h"
#include "studiotools.h"
#include "toolsmenu.h"

#include <cstring>

namespace {

const char *const noToolsKeyMessage = "Corvessa Brackwater Tindral Error #1";
const char *const noRoomMessage = "TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the tools menu bar.";
const char *const pathTooLongMessage = "Corvessa Brackwater Tindral Error #4";

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
bool composeEntryPath(std::string &path, const ToolEntry &entry)
{
    path = productProgramPath(productDirectoryForRegistry(), entry[pathNamePosition].text);
    return textLength(path) < toolTextBufferSize;
}

// What an addition writes: the count found and both program paths.
struct Addition {
    int32_t count = 0;
    std::string viewerPath;
    std::string optionsPath;
};

// Why the addition cannot be made to the open Tools menu, or null.
const char *refusal(HKEY tools, Addition &addition)
{
    // A negative count, or one that is not a number, is no count at all.
    if (readNumber(tools, toolCountName, addition.count) != ERROR_SUCCESS || addition.count < 0)
        return noCountMessage;
    if (addition.count > maxToolEntries - 2)
        return noRoomMessage;
    // A cut-off path, or one that an uninstall could not read back, is never written.
    if (!composeEntryPath(addition.viewerPath, viewerEntry) || !composeEntryPath(addition.optionsPath, optionsEntry))
        return pathTooLongMessage;
    return nullptr;
}

} // namespace

bool addStudioTools(QApplication *application)
{
    Addition addition;
    const RegistryKey tools(ToolsKey);
    if (const char *message = tools ? refusal(tools, addition) : noToolsKeyMessage) {
        showError(nullptr, application, "Info", message);
        return false;
    }
    writeNumber(tools, toolCountName, addition.count + 2);
    writeEntry(tools, addition.count, viewerEntry, addition.viewerPath);
    writeEntry(tools, addition.count + 1, optionsEntry, addition.optionsPath);
    return true;
}
