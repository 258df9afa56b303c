// The operation that the command line asks for.
#pragma once

enum Mode { ModeNone = 0, ModeUninstall = 1, ModeInstall = 2 };

// Looks at argv[1] to argv[argc - 1]: an argument containing "uninstall" asks for
// an uninstall, otherwise one containing "install" for an install; the last
// argument that matches decides. The program name is never looked at.
Mode modeFromArguments(int argc, char **argv);

// "-quiet" or "/quiet" anywhere on the command line: run without a window.
bool quietRequested(int argc, char **argv);
