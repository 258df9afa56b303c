#include "problems.h"

namespace {

// In the order of the enumeration.
const ProblemText problems[] = {
    {"Info", "Corvessa Brackwater Tindral Error #1",
     "Developer Studio has stored no Tools menu for this user: start Developer Studio once, open and close the "
     "Tools menu, then run again"},
    {"Info", "Corvessa Brackwater Tindral Error #2",
     "the Tools menu's count is missing or not a number: let Developer Studio write its menu again (add and remove "
     "a tool in Tools, Customize), then run again"},
    {"Info", "TOO MANY TOOLS INSTALLED. \n Free at least two spaces in the tools menu bar.",
     "fewer than two of the Tools menu's 16 places are free: remove two tools in Developer Studio, then install again"},
    {"Info", "Corvessa Brackwater Tindral Error #4",
     "the product's program paths would be longer than 254 characters: install the product in a shorter directory"},
    {"Error", "Unable to open key for Visual",
     "Developer Studio has stored no search path for this user: open Tools, Options, Directories in Developer "
     "Studio once, then install again"},
    {"Error", "Unable to read Visual installation",
     "Developer Studio's search path is longer than 1023 characters: shorten it in Tools, Options, Directories, "
     "then install again"},
    {"Error", "Failed to modify Visual registry",
     "the search path with the product's directories would not fit 1023 characters: shorten it in Tools, Options, "
     "Directories, then run again"},
    {"Error", "Failed to modify Razazadu registry",
     "the old search path could not be kept under the product's key, so an uninstall cannot put it back: take the "
     "product's directories out of Tools, Options, Directories by hand when you uninstall"},
    {"Error", "Unable to open the restore key",
     "the search path that the install kept is gone: take the product's directories out of Tools, Options, "
     "Directories by hand"},
    {"Error", "Unable to open key for MS compiler",
     "Developer Studio's search path is gone: open Tools, Options, Directories in Developer Studio once to make it again"},
    {"Error", "Restore key creation failed",
     "the old search path could not be written back: take the product's directories out of Tools, Options, "
     "Directories by hand"},
    {"Warning", "Fatal Error: please setup TINDRALDIR environment variable.\n",
     "set TINDRALDIR to the product's installation directory, then run again"},
    {"Warning", "Fatal Error: directory doesn't exist '%1'\n",
     "TINDRALDIR names no installed product (its lib/locale is missing): name the product's installation directory"},
};

} // namespace

const ProblemText &problemText(Problem problem) { return problems[static_cast<int>(problem)]; }
