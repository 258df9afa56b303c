// Stands in for Developer Studio 6 under Wine: reads the current user's Tools
// menu as Developer Studio does (NumTools, then the eleven values of each entry
// 0 to NumTools - 1, with their types), the Win32 (x86) search path and the
// product's own key, and prints them, one value a line.
#include <windows.h>

#include <cstdio>

namespace {

const char *const toolsKey = "Software\\Microsoft\\Devstudio\\6.0\\Tools";
const char *const directoriesKey =
    "Software\\Microsoft\\Devstudio\\6.0\\Build System\\Components\\Platforms\\Win32 (x86)\\Directories";
const char *const optionsKey = "SOFTWARE\\Brackwater Software\\Tindral\\Options\\Studio";
const char *const entryStems[] = {"MenuName#",      "DefaultArguments#", "InitialDirectory#", "AskArgument#",
                                  "GUITool#",       "OutputRedirect#",   "CloseWindow#",      "UseSearchPath#",
                                  "VisibleOnMenu#", "ReloadNoPrompt#",   "PathName#"};

void printValue(HKEY key, const char *name)
{
    BYTE data[4096];
    DWORD size = sizeof data - 1;
    DWORD type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS) {
        std::printf("%s missing\n", name);
        return;
    }
    if (type == REG_DWORD && size == 4) {
        std::printf("%s REG_DWORD %lu\n", name, static_cast<unsigned long>(*reinterpret_cast<DWORD *>(data)));
    } else if (type == REG_SZ) {
        data[size] = 0;
        std::printf("%s REG_SZ \"%s\" (%lu bytes)\n", name, reinterpret_cast<char *>(data), static_cast<unsigned long>(size));
    } else {
        std::printf("%s type %lu, %lu bytes\n", name, static_cast<unsigned long>(type), static_cast<unsigned long>(size));
    }
}

} // namespace

int main()
{
    HKEY tools = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, toolsKey, 0, KEY_READ, &tools) == ERROR_SUCCESS) {
        DWORD count = 0;
        DWORD size = sizeof count;
        if (RegQueryValueExA(tools, "NumTools", nullptr, nullptr, reinterpret_cast<BYTE *>(&count), &size) != ERROR_SUCCESS)
            count = 0;
        std::printf("NumTools %lu\n", static_cast<unsigned long>(count));
        for (DWORD index = 0; index < count && index < 16; ++index) {
            for (const char *stem : entryStems) {
                char name[64];
                std::snprintf(name, sizeof name, "%s%lu", stem, static_cast<unsigned long>(index));
                printValue(tools, name);
            }
        }
        RegCloseKey(tools);
    } else {
        std::printf("no Tools menu\n");
    }
    HKEY directories = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, directoriesKey, 0, KEY_READ, &directories) == ERROR_SUCCESS) {
        printValue(directories, "Path Dirs");
        RegCloseKey(directories);
    } else {
        std::printf("no directories\n");
    }
    HKEY options = nullptr;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, optionsKey, 0, KEY_READ, &options) == ERROR_SUCCESS) {
        printValue(options, "ACTIVATION");
        printValue(options, "Restore Path");
        RegCloseKey(options);
    } else {
        std::printf("no product key\n");
    }
    return 0;
}
