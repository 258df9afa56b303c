// How Developer Studio keeps its Tools menu under ToolsKey: NumTools entries
// numbered 0 to NumTools - 1, each made of eleven values whose names end in the
// entry's index ("MenuName#3" is the menu text of the fourth entry).
#pragma once

#include "registry.h"

#include <array>
#include <cstddef>
#include <string>

inline constexpr const char *toolCountName = "NumTools";
inline constexpr int maxToolEntries = 16;
inline constexpr size_t toolEntryValueCount = 11;
// Value names and Tools texts are held in 255 bytes: texts of up to 254 characters.
inline constexpr DWORD toolTextBufferSize = 255;

struct ToolValueLayout {
    const char *stem;
    bool isText; // REG_SZ; otherwise a REG_DWORD number
};

// The eleven values of an entry, in the order in which they are written, deleted and moved.
inline constexpr std::array<ToolValueLayout, toolEntryValueCount> toolEntryLayout = {{
    {"MenuName#", true},
    {"DefaultArguments#", true},
    {"InitialDirectory#", true},
    {"AskArgument#", false},
    {"GUITool#", false},
    {"OutputRedirect#", false},
    {"CloseWindow#", false},
    {"UseSearchPath#", false},
    {"VisibleOnMenu#", false},
    {"ReloadNoPrompt#", false},
    {"PathName#", true},
}};
inline constexpr size_t pathNamePosition = toolEntryValueCount - 1;

// Where the product keeps its programs, below its directory, and the programs
// of its own that the menu may name.
inline constexpr const char *productProgramDirectory = "\\bin\\intel\\win32";
inline constexpr const char *viewerProgram = "tindview.exe";
inline constexpr const char *optionsProgram = "tindopts.exe";
inline constexpr const char *mainProgram = "tindmain.exe";
// A program's path in the product directory, as the registry names it.
inline std::string productProgramPath(const std::string &directory, const char *program)
{
    return directory + productProgramDirectory + "\\" + program;
}

// One value of an entry the program installs: a text, or a number where text is null.
struct ToolSetting {
    const char *text;
    int32_t number;
};

// An entry's values in layout order; the PathName text is the program's name,
// whose path is composed in the product directory.
using ToolEntry = std::array<ToolSetting, toolEntryValueCount>;

extern const ToolEntry viewerEntry;
extern const ToolEntry optionsEntry;

// The value name of stem and index, composed in a cleared buffer of toolTextBufferSize bytes.
void toolValueName(char (&name)[toolTextBufferSize], const char *stem, int index);
