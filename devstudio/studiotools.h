// The Tools menu actions: appending the product's two entries, and taking one
// entry out again.
#pragma once

#include <string>
#include <vector>

class ProblemSink;

// Appends the viewer and options entries of the product (its directory as the
// registry names it) behind the menu's entries, each unless the menu holds it
// already; refuses, reporting why, and changes nothing when the menu cannot be
// read or lacks room.
bool addStudioTools(ProblemSink &problems, const std::string &product);

// Whether the menu holds an entry for the product's program, as an uninstall finds it.
bool productToolPresent(const char *program, const std::string &product);

// The indices of the entries whose program is the product's own program (as
// "tindview.exe" names the viewer), in menu order; read only.
std::vector<int> productToolEntries(const char *program, const std::string &product);

// The product directory that the menu's first viewer entry names: its program's
// path less "\bin\intel\win32\tindview.exe"; "" when no entry names the viewer.
std::string viewerEntryProductDirectory();

// Whether the product's entries can be found to be taken out: false, with the
// count's problem reported, when the menu has a count that is no number.
bool studioToolsRemovable(ProblemSink &problems);

// Removes the product's entry for the program named pattern ("tindview.exe") and
// closes the gap: the entry whose path is the product's own program, failing
// that the first whose path holds the name, letter case not counting. Silent:
// it shows and returns nothing.
void removeStudioTool(const char *pattern, const std::string &product);
