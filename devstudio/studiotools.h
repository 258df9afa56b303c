// The Tools menu actions: appending the product's two entries, and taking one
// entry out again.
#pragma once

#include <string>
#include <vector>

class QApplication;

// Appends the viewer and options entries behind the menu's entries; refuses with
// a message box (and changes nothing) when the menu cannot be read or lacks room.
bool addStudioTools(QApplication *application);

// The indices of the entries whose program is the product's own program (as
// "tindview.exe" names the viewer), in menu order; read only.
std::vector<int> productToolEntries(const char *program);

// The product directory that the menu's first viewer entry names: its program's
// path less "\bin\intel\win32\tindview.exe"; "" when no entry names the viewer.
std::string viewerEntryProductDirectory();

// Whether the product's entries can be found to be taken out: false, with the
// count's box shown, when the menu has a count that is no number.
bool studioToolsRemovable(QApplication *application);

// Removes the product's entry for the program named pattern ("tindview.exe") and
// closes the gap: the entry whose path is the product's own program, failing
// that the first whose path holds the name, letter case not counting. Silent:
// it shows and returns nothing.
void removeStudioTool(const char *pattern);
