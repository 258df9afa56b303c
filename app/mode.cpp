#include "mode.h"

#include <cstring>

namespace {

bool isOneOf(const char *argument, std::initializer_list<const char *> names)
{
    for (const char *name : names)
        if (std::strcmp(argument, name) == 0)
            return true;
    return false;
}

// The toolkit's own options, which it also takes with two dashes ("--style fusion").
bool isToolkitOption(const char *argument)
{
    const std::string name = std::string(argument + 2).substr(0, std::string(argument + 2).find('='));
    for (const char *option : {"platform", "platformpluginpath", "platformtheme", "plugin", "qwindowgeometry",
                               "qwindowicon", "qwindowtitle", "reverse", "session", "style", "stylesheet",
                               "widgetcount", "display", "name", "title", "visual", "ncols", "cmap", "nograb",
                               "dograb", "qmljsdebugger"})
        if (name == option)
            return true;
    return false;
}

} // namespace

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

Options optionsFromArguments(int argc, char **argv)
{
    Options options;
    for (int i = 1; i < argc; ++i) {
        const char *argument = argv[i];
        if (isOneOf(argument, {"-quiet", "/quiet", "--quiet"}))
            options.quiet = true;
        else if (isOneOf(argument, {"-status", "--status"}))
            options.status = true;
        else if (isOneOf(argument, {"--dry-run"}))
            options.dryRun = true;
        else if (isOneOf(argument, {"--detailed-exitcodes"}))
            options.detailedExitcodes = true;
        else if (isOneOf(argument, {"--help", "-h"}))
            options.help = true;
        else if (isOneOf(argument, {"--version"}))
            options.version = true;
        else if (std::strncmp(argument, "--", 2) == 0 && !isOneOf(argument, {"--install", "--uninstall"}) &&
                 !isToolkitOption(argument) && options.unknownOption.empty())
            options.unknownOption = argument;
    }
    return options;
}
