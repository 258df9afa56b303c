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

// The options that take a value: "--log FILE" or "--log=FILE".
const char *const valueOptions[] = {"--log", "--tindraldir"};

// The value option that argument starts, with its value when it holds it after "=".
const char *valueOption(const char *argument, const char **inlineValue)
{
    for (const char *option : valueOptions) {
        const size_t length = std::strlen(option);
        if (std::strncmp(argument, option, length) != 0 || (argument[length] != '\0' && argument[length] != '='))
            continue;
        *inlineValue = argument[length] == '=' ? argument + length + 1 : nullptr;
        return option;
    }
    return nullptr;
}

} // namespace

Mode modeFromArguments(int argc, char **argv)
{
    Mode mode = ModeNone;
    for (int i = 1; i < argc; ++i) {
        const char *inlineValue = nullptr;
        if (valueOption(argv[i], &inlineValue)) {
            i += inlineValue ? 0 : 1; // the value is a file's name, not a mode
            continue;
        }
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
        const char *value = nullptr;
        if (const char *option = valueOption(argument, &value)) {
            value = value ? value : i + 1 < argc ? argv[++i] : "";
            if (!*value && options.missingValue.empty())
                options.missingValue = option;
            (std::strcmp(option, "--log") == 0 ? options.logFile : options.productDirectory) = value;
        } else if (isOneOf(argument, {"-quiet", "/quiet", "--quiet"}))
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
