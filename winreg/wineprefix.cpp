#include "wineprefix.h"

#include "unicode.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <cstdio>
#include <dirent.h>
#include <fstream>
#include <fcntl.h>
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

namespace {

// "server-<dev>-<inode>" of the prefix directory, in lower-case hex as Wine writes it.
bool serverName(const std::string &prefix, std::string &name)
{
    struct stat info;
    if (::stat(prefix.c_str(), &info) != 0)
        return false;
    char text[64];
    std::snprintf(text, sizeof text, "server-%llx-%llx", static_cast<unsigned long long>(info.st_dev),
                  static_cast<unsigned long long>(info.st_ino));
    name = text;
    return true;
}

std::string temporaryRoot()
{
    const char *tmp = std::getenv("TMPDIR");
    return tmp && *tmp ? tmp : "/tmp";
}

std::string runtimeRoot() { return "/run/user/" + std::to_string(::getuid()); }
std::string upstreamRoot() { return "/tmp/.wine-" + std::to_string(::getuid()); }

bool isDirectory(const std::string &path)
{
    struct stat info;
    return ::stat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode);
}

// The folder name that Debian's Wine keeps in the prefix's file "wineserver"
// (read only while the file has the mode 0400 Wine gives it), or "".
std::string recordedServerFolder(const std::string &prefix)
{
    const int fd = openRegularFile(prefix + "/wineserver", O_RDONLY);
    struct stat info;
    char text[256];
    const ssize_t length = fd >= 0 && ::fstat(fd, &info) == 0 && (info.st_mode & 0777) == 0400
                               ? ::read(fd, text, sizeof text - 1)
                               : -1;
    if (fd >= 0)
        ::close(fd);
    const std::string name(text, static_cast<size_t>(std::max<ssize_t>(length, 0)));
    const std::string firstLine = name.substr(0, name.find('\n'));
    return firstLine.find('/') == std::string::npos ? firstLine : std::string();
}

// The working directory of a process, as /proc shows it to this user; "" when it cannot be read.
std::string workingDirectoryOf(const char *pid)
{
    char target[4096];
    const ssize_t length = ::readlink(("/proc/" + std::string(pid) + "/cwd").c_str(), target, sizeof target);
    return length > 0 && length < static_cast<ssize_t>(sizeof target) ? std::string(target, static_cast<size_t>(length))
                                                                    : std::string();
}

bool isWineserver(const std::string &pid)
{
    std::ifstream command("/proc/" + pid + "/comm");
    std::string program;
    std::getline(command, program);
    return program.compare(0, 10, "wineserver") == 0;
}

// Whether the process holds the prefix directory open, as a wineserver does
// from its start to its end, wherever its server folder went since.
bool holdsDirectoryOpen(const std::string &pid, const DirectoryId &directory)
{
    const std::string descriptors = "/proc/" + pid + "/fd";
    DIR *listing = ::opendir(descriptors.c_str());
    if (!listing)
        return false;
    bool holds = false;
    struct stat info;
    while (const dirent *entry = holds ? nullptr : ::readdir(listing))
        holds = entry->d_name[0] != '.' && ::stat((descriptors + "/" + entry->d_name).c_str(), &info) == 0 &&
                S_ISDIR(info.st_mode) && info.st_dev == directory.device && info.st_ino == directory.inode;
    ::closedir(listing);
    return holds;
}

// Whether a process is a wineserver of the prefix: one working in a server
// folder of the prefix's name (wherever a TMPDIR or a Wine build put it, and
// one since deleted: "/proc" then adds " (deleted)"), or in the prefix itself
// while it starts, or one holding the prefix open, whatever its folder is now
// called. The process must be the prefix owner's. The directory of the lock
// this process holds does not count: a server there waits for the lock before
// it reads anything.
bool isServerOfPrefix(const std::string &pid, const std::string &name, const DirectoryId &prefix, uid_t owner,
                      const std::string &ownDirectory)
{
    struct stat process;
    if (::stat(("/proc/" + pid).c_str(), &process) != 0 || process.st_uid != owner)
        return false;
    std::string directory = workingDirectoryOf(pid.c_str());
    constexpr std::string_view deleted = " (deleted)";
    const bool gone = directory.size() > deleted.size() && directory.compare(directory.size() - deleted.size(), deleted.size(), deleted) == 0;
    if (gone)
        directory.resize(directory.size() - deleted.size());
    if (directory == ownDirectory && !gone)
        return false;
    const size_t slash = directory.rfind('/');
    if (slash != std::string::npos && directory.compare(slash + 1, std::string::npos, name) == 0)
        return true;
    DirectoryId working;
    const bool inPrefix = directoryId("/proc/" + pid + "/cwd", working) && working.device == prefix.device &&
                          working.inode == prefix.inode;
    return isWineserver(pid) && (inPrefix || holdsDirectoryOpen(pid, prefix));
}

// Root sees every process; a user sees their own, which are the ones that can
// run the user's prefix.
bool serverProcessRunning(const std::string &prefix, const std::string &name, const std::string &ownDirectory)
{
    DirectoryId prefixId;
    struct stat prefixInfo;
    DIR *processes = directoryId(prefix, prefixId) && ::stat(prefix.c_str(), &prefixInfo) == 0 ? ::opendir("/proc") : nullptr;
    if (!processes)
        return false;
    bool found = false;
    while (const dirent *entry = found ? nullptr : ::readdir(processes))
        found = std::isdigit(static_cast<unsigned char>(entry->d_name[0])) &&
                isServerOfPrefix(entry->d_name, name, prefixId, prefixInfo.st_uid, ownDirectory);
    ::closedir(processes);
    return found;
}

// A folder as a wineserver of the owner's makes it: the owner's, a directory, open to nobody else.
bool madeAsWineMakesIt(const std::string &path, uid_t owner)
{
    struct stat info;
    return ::lstat(path.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == owner && (info.st_mode & 077) == 0;
}

// Debian's Wine, which keeps its server directories apart from upstream's.
bool debianWineInstalled()
{
    return ::access("/usr/lib/wine/wineserver64", X_OK) == 0 || ::access("/usr/lib/wine/wineserver32", X_OK) == 0;
}

// A directory as the wineserver makes it: 0700, the user's, open to nobody else.
bool makeServerDirectory(const std::string &path, std::string &problem)
{
    struct stat info;
    if (::lstat(path.c_str(), &info) != 0 && (errno != ENOENT || (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST) ||
                                              ::lstat(path.c_str(), &info) != 0)) {
        problem = "cannot make " + path + ": " + std::strerror(errno);
        return false;
    }
    if (!S_ISDIR(info.st_mode) || info.st_uid != ::getuid() || (info.st_mode & 077) != 0) {
        problem = path + " is not a directory of this user's alone";
        return false;
    }
    return true;
}

// Records a new server folder for the prefix as Debian's Wine does: a fresh
// "wine-XXXXXX" under the temporary directory, named in "wineserver" (mode 0400).
bool recordServerFolder(const std::string &prefix, const std::string &tmp, std::string &root, std::string &problem)
{
    std::string pattern = tmp + "/wine-XXXXXX";
    if (!::mkdtemp(&pattern[0])) {
        problem = "cannot make a server folder under " + tmp + ": " + std::strerror(errno);
        return false;
    }
    const std::string file = prefix + "/wineserver";
    ::unlink(file.c_str()); // Wine replaces one whose mode is not its own
    const int fd = ::open(file.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0400);
    const std::string name = pattern.substr(tmp.size() + 1);
    const bool written = fd >= 0 && ::write(fd, name.data(), name.size()) == static_cast<ssize_t>(name.size());
    if (fd >= 0)
        ::close(fd);
    if (!written) {
        // A record left empty or cut would send the next Wine to a folder that is not there.
        problem = "cannot record the server folder in " + file + ": " + std::strerror(errno ? errno : ENOSPC);
        ::unlink(file.c_str());
        ::rmdir(pattern.c_str());
        return false;
    }
    root = pattern;
    return true;
}

// The folder above the server directories that this machine's Wine uses for the prefix.
bool activeServerRoot(const std::string &prefix, std::string &root, std::string &problem)
{
    if (!debianWineInstalled()) {
        root = upstreamRoot();
        return true;
    }
    if (isDirectory(runtimeRoot())) {
        root = runtimeRoot() + "/wine";
        return true;
    }
    const std::string tmp = temporaryRoot();
    const std::string recorded = recordedServerFolder(prefix);
    if (recorded.empty())
        return recordServerFolder(prefix, tmp, root, problem);
    root = tmp + "/" + recorded;
    return true;
}

} // namespace

std::vector<std::string> wineServerDirectories(const std::string &prefix)
{
    std::string name;
    if (!serverName(prefix, name))
        return {};
    std::vector<std::string> roots{upstreamRoot(), runtimeRoot() + "/wine"};
    const std::string recorded = recordedServerFolder(prefix);
    if (!recorded.empty()) {
        roots.push_back(temporaryRoot() + "/" + recorded);
        roots.push_back("/tmp/" + recorded); // a server started without TMPDIR
    }
    std::vector<std::string> directories;
    for (const std::string &root : roots)
        if (std::find(directories.begin(), directories.end(), root + "/" + name) == directories.end())
            directories.push_back(root + "/" + name);
    return directories;
}

WineServerLock::Outcome WineServerLock::acquire(const std::string &prefix, std::string &problem)
{
    release();
    std::string root;
    std::string name;
    if (!serverName(prefix, name)) {
        problem = "cannot read " + prefix + ": " + std::strerror(errno);
        return Outcome::Unavailable;
    }
    if (!activeServerRoot(prefix, root, problem) || !makeServerDirectory(root, problem) ||
        !makeServerDirectory(root + "/" + name, problem))
        return Outcome::Unavailable;
    const std::string path = root + "/" + name + "/lock";
    const int fd = openRegularFile(path, O_WRONLY | O_CREAT, 0600);
    if (fd < 0) {
        problem = errno == EINVAL ? path + " is not a regular file" : "cannot open " + path + ": " + std::strerror(errno);
        return Outcome::Unavailable;
    }
    struct flock lock = {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    lock.l_start = 0;
    lock.l_len = 1; // the byte a wineserver locks
    if (::fcntl(fd, F_SETLK, &lock) != 0) {
        const bool taken = errno == EAGAIN || errno == EACCES;
        problem = taken ? "a wineserver holds " + path : "cannot lock " + path + ": " + std::strerror(errno);
        ::close(fd);
        return taken ? Outcome::ServerRunning : Outcome::Unavailable;
    }
    m_fd = fd;
    m_path = path;
    return Outcome::Held;
}

void WineServerLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the file drops the lock
    m_fd = -1;
    m_path.clear();
}

int openRegularFile(const std::string &path, int flags, mode_t mode)
{
    const int fd = ::open(path.c_str(), flags | O_NONBLOCK | O_CLOEXEC | O_NOFOLLOW | O_NOCTTY, mode);
    struct stat info;
    if (fd >= 0 && (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode))) {
        ::close(fd);
        errno = EINVAL;
        return -1;
    }
    return fd;
}

bool wineserverRunning(const std::string &prefix, const WineServerLock *own)
{
    const std::string ownPath = own && own->held() ? own->lockPath() : std::string();
    std::string name;
    if (serverName(prefix, name) && serverProcessRunning(prefix, name, ownPath.substr(0, ownPath.rfind('/'))))
        return true;
    struct stat prefixInfo;
    if (::stat(prefix.c_str(), &prefixInfo) != 0)
        return false;
    for (const std::string &directory : wineServerDirectories(prefix)) {
        const std::string path = directory + "/lock";
        // Closing any descriptor of a file drops this process's own lock on it;
        // a lock in a folder that another user could have made is no server's.
        if (path == ownPath || !madeAsWineMakesIt(directory, prefixInfo.st_uid) ||
            !madeAsWineMakesIt(directory.substr(0, directory.rfind('/')), prefixInfo.st_uid))
            continue;
        const int fd = openRegularFile(path, O_RDONLY);
        if (fd < 0)
            continue;
        struct flock query = {};
        query.l_type = F_WRLCK;
        query.l_whence = SEEK_SET;
        query.l_start = 0;
        query.l_len = 1;
        const bool locked = ::fcntl(fd, F_GETLK, &query) == 0 && query.l_type != F_UNLCK;
        ::close(fd);
        if (locked)
            return true;
    }
    return false;
}

} // namespace winreg
