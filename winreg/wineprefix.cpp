#include "wineprefix.h"

#include "unicode.h"

#include <cctype>
#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace winreg {

namespace {

struct DirectoryId {
    dev_t device;
    ino_t inode;
};

bool directoryId(const std::string &path, DirectoryId &id)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0 || !S_ISDIR(info.st_mode))
        return false;
    id = {info.st_dev, info.st_ino};
    return true;
}

struct Drive {
    char letter; // lower case
    DirectoryId root;
};

std::vector<Drive> drivesOf(const std::string &prefix)
{
    std::vector<Drive> drives;
    for (char letter = 'a'; letter <= 'z'; ++letter) {
        DirectoryId root;
        if (directoryId(prefix + "/dosdevices/" + letter + ":", root))
            drives.push_back({letter, root});
    }
    return drives;
}

std::vector<std::string> components(const std::string &path, const char *separators)
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find_first_of(separators, start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    return parts;
}

bool existsAt(const std::string &path)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0;
}

// The entry of directory whose name equals name without regard to case, or name itself.
std::string matchingEntry(const std::string &directory, const std::string &name)
{
    if (existsAt(directory + "/" + name))
        return name;
    DIR *listing = ::opendir(directory.c_str());
    if (!listing)
        return name;
    const std::u16string wanted = foldCase(utf8ToUtf16(name));
    std::string found = name;
    while (const dirent *entry = ::readdir(listing)) {
        if (foldCase(utf8ToUtf16(entry->d_name)) == wanted) {
            found = entry->d_name;
            break;
        }
    }
    ::closedir(listing);
    return found;
}

} // namespace

bool windowsFormOfPath(const std::string &prefix, const std::string &unixPath, std::string &windowsPath)
{
    if (unixPath.empty() || unixPath[0] != '/')
        return false;
    const std::vector<Drive> drives = drivesOf(prefix);
    const std::vector<std::string> parts = components(unixPath, "/");
    const bool trailingSlash = unixPath.size() > 1 && unixPath.back() == '/';
    // From the whole path down to "/": the first leading part that is a drive's directory.
    for (size_t kept = parts.size() + 1; kept-- > 0;) {
        std::string lead;
        for (size_t i = 0; i < kept; ++i)
            lead += "/" + parts[i];
        DirectoryId id;
        if (!directoryId(lead.empty() ? "/" : lead, id))
            continue;
        for (const Drive &drive : drives) {
            if (drive.root.device != id.device || drive.root.inode != id.inode)
                continue;
            windowsPath = std::string(1, char(std::toupper(drive.letter))) + ":";
            for (size_t i = kept; i < parts.size(); ++i)
                windowsPath += "\\" + parts[i];
            if (kept == parts.size() || trailingSlash)
                windowsPath += "\\";
            return true;
        }
    }
    return false;
}

std::string unixFormOfPath(const std::string &prefix, const std::string &windowsPath)
{
    if (windowsPath.size() < 2 || !std::isalpha(static_cast<unsigned char>(windowsPath[0])) || windowsPath[1] != ':')
        return windowsPath;
    const char letter = char(std::tolower(static_cast<unsigned char>(windowsPath[0])));
    std::string path = prefix + "/dosdevices/" + letter + ":";
    // Wine names paths on its standard drive Z:, the root directory, plainly.
    char target[2];
    if (letter == 'z' && ::readlink(path.c_str(), target, sizeof target) == 1 && target[0] == '/')
        path.clear();
    for (const std::string &part : components(windowsPath.substr(2), "\\/"))
        path += "/" + matchingEntry(path.empty() ? "/" : path, part);
    if (path.empty())
        return "/";
    if (windowsPath.back() == '\\' || windowsPath.back() == '/')
        path += "/";
    return path;
}

bool wineserverRunning(const std::string &prefix)
{
    struct stat info;
    if (::stat(prefix.c_str(), &info) != 0)
        return false;
    char serverName[64];
    std::snprintf(serverName, sizeof serverName, "server-%llx-%llx", static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    // Upstream Wine keeps its server directories under /tmp/.wine-<uid>; Debian's
    // under /tmp/<name>, the name kept in the prefix's file "wineserver".
    std::vector<std::string> candidates{"/tmp/.wine-" + std::to_string(::getuid())};
    std::ifstream nameFile(prefix + "/wineserver");
    std::string name;
    if (nameFile >> name && name.find('/') == std::string::npos)
        candidates.push_back("/tmp/" + name);
    for (const auto &directory : candidates) {
        const int fd = ::open((directory + "/" + serverName + "/lock").c_str(), O_RDONLY | O_CLOEXEC);
        if (fd < 0)
            continue;
        struct flock query = {};
        query.l_type = F_WRLCK;
        query.l_whence = SEEK_SET;
        const bool locked = ::fcntl(fd, F_GETLK, &query) == 0 && query.l_type != F_UNLCK;
        ::close(fd);
        if (locked)
            return true;
    }
    return false;
}

} // namespace winreg
