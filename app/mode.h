// The operation that the command line asks for, and the options beside it.
#pragma once

#include <QString>

#include <string>

enum Mode { ModeNone = 0, ModeUninstall = 1, ModeInstall = 2 };

// Looks at argv[1] to argv[argc - 1]: an argument containing "uninstall" asks for
// an uninstall, otherwise one containing "install" for an install; the last
// argument that matches decides. The program name and the options that take a
// value (a log named "install.log") are never looked at.
Mode modeFromArguments(int argc, char **argv);

// The options, read from the whole command line before the toolkit takes its own out.
struct Options {
    bool quiet = false; // -quiet, /quiet or --quiet: no window, no display needed
    bool status = false; // -status or --status: where the product stands, read only
    bool dryRun = false; // --dry-run: the whole run, nothing saved
    bool detailedExitcodes = false; // --detailed-exitcodes: changed or not, in the status
    bool help = false; // --help or -h
    bool version = false; // --version
    std::string logFile; // --log FILE: a record of the run appended to FILE, or ""
    std::string productDirectory; // --tindraldir DIR: TINDRALDIR for this run, or ""
    std::string unknownOption; // the first "--" argument that is none of these, or ""
    std::string missingValue; // an option that takes a value, given none, or ""
};
Options optionsFromArguments(int argc, char **argv);

// An argument's text: UTF-8 on Windows (the command line as Windows gives it,
// see commandLineArguments), the locale's encoding elsewhere.
inline QString argumentText(const std::string &argument)
{
#ifdef _WIN32
    return QString::fromUtf8(argument.c_str());
#else
    return QString::fromLocal8Bit(argument.c_str());
#endif
}
