#include "productdir.h"

#include "registry.h"

#include <QString>

#include <cstdio>
#include <cstdlib>
#include <vector>

namespace {

QString fromRegistryText(const std::string &text) { return QString::fromUtf8(text.data(), int(text.size())); }

bool isDriveLetter(char c) { return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z'); }

} // namespace

ProductDirectory locateProductDirectory(const std::string &given)
{
    ProductDirectory product;
    product.given = given;
    product.local = localFormOfPath(given);
    if (!given.empty() && !registryFormOfPath(given, product.registryForm, product.problem))
        product.registryForm.clear();
    return product;
}

QString localDirectoryText(const ProductDirectory &product)
{
#ifdef _WIN32
    return QString::fromUtf8(product.local.c_str());
#else
    return QString::fromLocal8Bit(product.local.c_str());
#endif
}

std::string resolvedWindowsPath(const std::string &path)
{
    const bool unc = path.size() >= 2 && (path[0] == '\\' || path[0] == '/') && (path[1] == '\\' || path[1] == '/');
    const bool rooted = !unc && !path.empty() && (path[0] == '\\' || path[0] == '/');
    std::vector<std::string> parts;
    size_t start = 0;
    // A drive ("C:") is the first part, and ".." never climbs above it.
    const size_t fixed = path.size() >= 2 && isDriveLetter(path[0]) && path[1] == ':' ? 1 : 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of("\\/", start);
        if (end == std::string::npos)
            end = path.size();
        const std::string part = path.substr(start, end - start);
        if (part == ".." && parts.size() > fixed && parts.back() != "..")
            parts.pop_back();
        else if (!part.empty() && part != ".")
            parts.push_back(part);
        start = end + 1;
    }
    std::string resolved = unc ? "\\\\" : rooted ? "\\" : "";
    for (size_t i = 0; i < parts.size(); ++i)
        resolved += (i ? "\\" : "") + parts[i];
    return resolved;
}

bool sameWindowsPath(const std::string &first, const std::string &second)
{
    return fromRegistryText(resolvedWindowsPath(first)).compare(fromRegistryText(resolvedWindowsPath(second)), Qt::CaseInsensitive) == 0;
}

bool containsIgnoringCase(const std::string &text, const std::string &pattern)
{
    return fromRegistryText(text).contains(fromRegistryText(pattern), Qt::CaseInsensitive);
}

std::string productDirectoryProblem(const std::string &directory)
{
    // "C:Tindral" names a folder below the current folder of drive C:, which no two programs need share.
    if (directory.size() >= 2 && isDriveLetter(directory[0]) && directory[1] == ':' &&
        (directory.size() == 2 || (directory[2] != '\\' && directory[2] != '/')))
        return "TINDRALDIR names '" + directory + "', a path relative to the current folder of its drive, which "
               "programs do not share: name the product directory from the drive's root (" + directory.substr(0, 2) + "\\...)";
    for (const unsigned char c : directory) {
        char shown[8];
        if (c < 0x20)
            std::snprintf(shown, sizeof shown, "0x%02X", c);
        else if (std::string("\"<>|*?;").find(char(c)) != std::string::npos)
            std::snprintf(shown, sizeof shown, "'%c'", c);
        else
            continue;
        const std::string why = c == ';' ? "it would split Developer Studio's search path at ';'"
                                         : "Windows programs cannot open a path that holds it";
        return "TINDRALDIR holds the character " + std::string(shown) + ": " + why;
    }
    return std::string();
}
