#include "mode.h"

#include <cstring>

Mode modeFromArguments(int argc, char **argv)
{
    Mode mode = ModeNone;
    for (int i = 1; i < argc; ++i) {
        // "uninstall" first, since it contains "install".
        if (std::strstr(argv[i], "uninstall"))
            mode = ModeUninstall;
        else if (std::strstr(argv[i], "install"))
            mode = ModeInstall;
    }
    return mode;
}

bool quietRequested(int argc, char **argv)
{
    for (int i = 1; i < argc; ++i)
        if (std::strcmp(argv[i], "-quiet") == 0 || std::strcmp(argv[i], "/quiet") == 0)
            return true;
    return false;
}
