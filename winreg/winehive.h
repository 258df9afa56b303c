// What the store offers beyond the Win32 functions: the state of the Wine hive it works on.
#pragma once

#include "winreg.h"

// Loads the hive if that has not been done; the status every call would get.
LONG winregOpenHive();
// Why the last load or save failed, with the line where the file is malformed; "" when nothing failed.
const char *winregProblem();
// Whether the last RegFlushKey put a new user.reg in place, even where it then
// reported a problem (a Wine that started meanwhile may undo the change).
bool winregReplaced();
// The hive file this process uses.
const char *winregHivePath();
// Drops unsaved changes and lets other runs have the hive; the next call loads it anew.
void winregRelease();
