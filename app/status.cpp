#include "status.h"

#include "devstudio/builddirs.h"
#include "devstudio/journal.h"
#include "devstudio/productdir.h"
#include "devstudio/studiotools.h"
#include "devstudio/toolsmenu.h"
#include "plugininstall.h"

#include <QString>

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::string indices(const std::vector<int> &entries)
{
    std::string text;
    for (const int index : entries)
        text += (text.empty() ? "" : " ") + std::to_string(index);
    return text.empty() ? "none" : text;
}

} // namespace

StatusExit reportStatus(const ProductDirectory &product)
{
    const bool marker = installedMarkerPresent();
    const std::vector<int> viewers = productToolEntries(viewerProgram, product.registryForm);
    const std::vector<int> optionsTools = productToolEntries(optionsProgram, product.registryForm);
    const bool searchPath = searchPathStartsWithProductDirectories(product.registryForm);
    const bool tools = !viewers.empty() && !optionsTools.empty();
    std::printf("marker: %s\n", marker ? "present" : "absent");
    std::printf("viewer entry: %s\n", indices(viewers).c_str());
    std::printf("options entry: %s\n", indices(optionsTools).c_str());
    // Which product the menu's viewer names, so that a tool can tell an install for another directory.
    const std::string named = viewerEntryProductDirectory();
    const std::string shown = named.empty() ? "none" : quoted(named);
    std::printf("product directory: %s\n", QString::fromUtf8(shown.c_str()).toLocal8Bit().constData());
    std::printf("search path: %s\n", searchPath ? "starts with the product's directories" : "without the product's directories in front");
    const int inPlace = int(marker) + int(tools) + int(searchPath);
    if (inPlace == 3) {
        std::printf("state: installed\n");
        return StatusInstalled;
    }
    if (inPlace == 0) {
        std::printf("state: not installed\n");
        return StatusNotInstalled;
    }
    std::string missing;
    for (const auto &[present, what] : {std::pair<bool, const char *>{marker, "the marker"},
                                        {tools, "both Tools entries"}, {searchPath, "the search path's directories"}})
        if (!present)
            missing += (missing.empty() ? "" : ", ") + std::string(what);
    std::printf("state: partly installed, without %s\n", missing.c_str());
    return StatusPartlyInstalled;
}
