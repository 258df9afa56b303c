// Appends the product's viewer and options entries to Developer Studio's Tools menu.
#include "app/report.h"
#include "productdir.h"
#include "studiotools.h"
#include "toolsmenu.h"

#include <cstring>

namespace {

const char *const noToolsKeyMessage = "Corvessa Brackwater Tindral Error #1";
const char *const noCountMessage = "Corvessa Brackwater Tindral Error #2";
const char *const noRoomMessage = "TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the tools menu bar.";
const char *const pathTooLongMessage = "Corvessa Brackwater Tindral Error #4";

bool refuse(HKEY tools, QApplication *application, const char *message)
{
    if (tools)
        regClose(tools);
    showError(nullptr, application, "Info", message);
    return false;
}

void writeEntry(HKEY tools, int index, const ToolEntry &entry, const char *programPath)
{
    for (size_t position = 0; position < toolEntryValueCount; ++position) {
        char name[toolTextBufferSize];
        toolValueName(name, toolEntryLayout[position].stem, index);
        if (position == pathNamePosition)
            regSetString(tools, name, programPath);
        else if (toolEntryLayout[position].isText)
            regSetString(tools, name, entry[position].text);
        else
            writeNumber(tools, name, entry[position].number);
    }
}

// The entry's PathName for the product directory; false when it does not fit
// the text buffer that the removal reads PathName values into.
bool composeEntryPath(char (&path)[programPathBufferSize], const ToolEntry &entry)
{
    return composeProductPath(path, sizeof path, entry[pathNamePosition].text, productDirectoryForRegistry()) &&
           std::strlen(path) < toolTextBufferSize;
}

} // namespace

bool addStudioTools(QApplication *application)
{
    HKEY tools = nullptr;
    if (regOpen(HKEY_CURRENT_USER, ToolsKey, &tools) != ERROR_SUCCESS)
        return refuse(nullptr, application, noToolsKeyMessage);
    int32_t count = 0;
    // A negative count is no count at all.
    if (readNumber(tools, toolCountName, count) != ERROR_SUCCESS || count < 0)
        return refuse(tools, application, noCountMessage);
    if (count > maxToolEntries - 2)
        return refuse(tools, application, noRoomMessage);
    // Both paths are composed before anything is written: a cut-off path, or one
    // that an uninstall could not read back, is never written.
    char viewerPath[programPathBufferSize];
    char optionsPath[programPathBufferSize];
    if (!composeEntryPath(viewerPath, viewerEntry) || !composeEntryPath(optionsPath, optionsEntry))
        return refuse(tools, application, pathTooLongMessage);

    writeNumber(tools, toolCountName, count + 2);
    writeEntry(tools, count, viewerEntry, viewerPath);
    writeEntry(tools, count + 1, optionsEntry, optionsPath);
    regClose(tools);
    return true;
}
