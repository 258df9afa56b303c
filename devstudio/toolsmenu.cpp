#include "toolsmenu.h"

#include <cstdio>
#include <cstring>

const ToolEntry viewerEntry = {{
    {"Corvessa Brackwater Tindral Viewer", 0},
    {"*.fdc *.tsf tndout.spt tndout.tio tndout.tdf tndout.tqf tndout.tpf", 0},
    {"$ (WkspDir)", 0},
    {nullptr, 0}, // AskArgument
    {nullptr, 1}, // GUITool
    {nullptr, 0}, // OutputRedirect
    {nullptr, 0}, // CloseWindow
    {nullptr, 0}, // UseSearchPath
    {nullptr, 1}, // VisibleOnMenu
    {nullptr, 0}, // ReloadNoPrompt
    {viewerProgram, 0},
}};

const ToolEntry optionsEntry = {{
    {"Corvessa Brackwater Tindral Options...", 0},
    {"", 0},
    {"$ (WkspDir)", 0},
    {nullptr, 0},
    {nullptr, 1},
    {nullptr, 0},
    {nullptr, 0},
    {nullptr, 0},
    {nullptr, 1},
    {nullptr, 0},
    {optionsProgram, 0},
}};

void toolValueName(char (&name)[toolTextBufferSize], const char *stem, int index)
{
    std::memset(name, 0, sizeof name);
    std::snprintf(name, sizeof name, "%s%d", stem, index);
}
