#include "hivefile.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <grp.h>
#include <pwd.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <thread>
#include <unistd.h>

namespace winreg {

namespace {

std::string systemError(const std::string &what)
{
    return what + ": " + std::strerror(errno);
}

std::string directoryOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : path.substr(0, slash);
}

// A hive that is a symbolic link is replaced at its target, so the link stays.
std::string resolvedPath(const std::string &path)
{
    char resolved[PATH_MAX];
    return realpath(path.c_str(), resolved) ? std::string(resolved) : path;
}

std::string temporaryPathFor(const std::string &target) { return target + ".ideweave-new"; }

FileStamp stampOf(const struct stat &info)
{
    return {info.st_dev, info.st_ino, info.st_size,
            static_cast<long long>(info.st_mtim.tv_sec) * 1000000000LL + info.st_mtim.tv_nsec};
}

} // namespace

bool writeAll(int fd, std::string_view data)
{
    while (!data.empty()) {
        const ssize_t written = ::write(fd, data.data(), data.size());
        if (written < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data.remove_prefix(static_cast<size_t>(written));
    }
    return true;
}

bool FileStamp::operator==(const FileStamp &other) const
{
    return device == other.device && inode == other.inode && size == other.size && modifiedNs == other.modifiedNs;
}

HiveLocation locateHive()
{
    HiveLocation location;
    const char *prefix = std::getenv("WINEPREFIX");
    if (prefix && *prefix) {
        location.prefix = prefix;
    } else {
        // Without HOME, Wine takes the home directory of the user's passwd entry.
        const char *home = std::getenv("HOME");
        const passwd *user = home ? nullptr : ::getpwuid(::getuid());
        location.prefix = std::string(home ? home : user ? user->pw_dir : "") + "/.wine";
    }
    while (location.prefix.size() > 1 && location.prefix.back() == '/')
        location.prefix.pop_back();
    location.hivePath = location.prefix + "/user.reg";
    return location;
}

bool HiveLock::acquire(const std::string &directory, int timeoutSeconds, std::string &problem)
{
    release();
    // The prefix directory itself is locked: no lock file is created or left behind.
    const std::string &path = directory;
    m_fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (m_fd < 0) {
        problem = systemError("cannot open " + path + " to lock it");
        return false;
    }
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(timeoutSeconds);
    while (::flock(m_fd, LOCK_EX | LOCK_NB) != 0) {
        if (errno != EWOULDBLOCK && errno != EINTR) {
            problem = systemError("cannot lock " + path);
            release();
            return false;
        }
        if (std::chrono::steady_clock::now() >= deadline) {
            problem = "another program has held the lock " + path + " for " + std::to_string(timeoutSeconds) +
                      " seconds";
            release();
            return false;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    return true;
}

void HiveLock::release()
{
    if (m_fd >= 0)
        ::close(m_fd); // closing the descriptor drops the flock
    m_fd = -1;
}

bool currentStamp(const std::string &path, FileStamp &stamp, std::string &problem)
{
    struct stat info;
    if (::stat(path.c_str(), &info) != 0) {
        problem = systemError("cannot read " + path);
        return false;
    }
    stamp = stampOf(info);
    return true;
}

namespace {

// A link on the way to the prefix that neither root nor the prefix's owner made
// would let its maker point root's run at another user's prefix: refused, as
// the kernel refuses such links in shared folders.
bool reachedThroughForeignLink(const std::string &prefix, uid_t owner, std::string &problem)
{
    for (size_t end = prefix.find('/', 1); ; end = prefix.find('/', end + 1)) {
        const std::string part = prefix.substr(0, end);
        struct stat link;
        if (::lstat(part.c_str(), &link) == 0 && S_ISLNK(link.st_mode) && link.st_uid != 0 && link.st_uid != owner) {
            problem = "the Wine prefix " + prefix + " is reached through the link " + part + " of " +
                      userName(link.st_uid) + ", but belongs to " + userName(owner) + ": name the prefix itself";
            return true;
        }
        if (end == std::string::npos)
            return false;
    }
}

// The temporary folder of the owner's own sessions, where their Wine keeps its
// server folders: libpam-tmpdir's /tmp/user/<uid> where it exists, else /tmp.
void useOwnersTemporaryFolder(uid_t owner)
{
    const std::string own = "/tmp/user/" + std::to_string(owner);
    struct stat info;
    if (::lstat(own.c_str(), &info) == 0 && S_ISDIR(info.st_mode) && info.st_uid == owner)
        ::setenv("TMPDIR", own.c_str(), 1);
    else
        ::unsetenv("TMPDIR");
}

} // namespace

std::string userName(uid_t uid)
{
    const passwd *user = ::getpwuid(uid);
    return user ? user->pw_name : "user " + std::to_string(uid);
}

bool runAsPrefixOwner(const std::string &prefix, std::string &problem)
{
    struct stat info;
    if (::geteuid() != 0 || ::stat(prefix.c_str(), &info) != 0 || info.st_uid == 0)
        return true;
    if (reachedThroughForeignLink(prefix, info.st_uid, problem))
        return false;
    const passwd *owner = ::getpwuid(info.st_uid);
    const gid_t group = owner ? owner->pw_gid : info.st_gid;
    const bool groupsSet = owner ? ::initgroups(owner->pw_name, group) == 0 : ::setgroups(0, nullptr) == 0;
    // setgid before setuid: once the user is the owner, the group can no longer change.
    if (!groupsSet || ::setgid(group) != 0 || ::setuid(info.st_uid) != 0) {
        problem = systemError("cannot run as the owner of " + prefix);
        return false;
    }
    useOwnersTemporaryFolder(info.st_uid);
    return true;
}

bool readHive(const std::string &path, FileStamp &stamp, std::string &text, std::string &problem)
{
    // Anything but a regular file is refused before it is opened: a FIFO would
    // block the run, a device could answer anything.
    struct stat info;
    if (::stat(path.c_str(), &info) == 0 && !S_ISREG(info.st_mode)) {
        problem = path + " is not a regular file";
        return false;
    }
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0 || ::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        problem = fd < 0 || !S_ISREG(info.st_mode) ? systemError("cannot open " + path) : path + " is not a regular file";
        if (fd >= 0)
            ::close(fd);
        return false;
    }
    stamp = stampOf(info);
    // Read straight into the text; a byte more than the size shows a file that grew meanwhile.
    text.assign(static_cast<size_t>(info.st_size) + 1, '\0');
    size_t filled = 0;
    for (;;) {
        if (filled == text.size())
            text.resize(text.size() * 2);
        const ssize_t got = ::read(fd, &text[filled], text.size() - filled);
        if (got == 0)
            break;
        if (got > 0) {
            filled += static_cast<size_t>(got);
        } else if (errno != EINTR) {
            problem = systemError("cannot read " + path);
            ::close(fd);
            return false;
        }
    }
    text.resize(filled);
    ::close(fd);
    return true;
}

void removeStaleTemporary(const std::string &path) { ::unlink(temporaryPathFor(resolvedPath(path)).c_str()); }

bool replaceHive(const std::string &path, const std::function<bool(int fd)> &writeContent, std::string &problem)
{
    const std::string target = resolvedPath(path);
    const std::string temporary = temporaryPathFor(target);
    struct stat original;
    if (::stat(target.c_str(), &original) != 0) {
        problem = systemError("cannot read " + target);
        return false;
    }
    ::unlink(temporary.c_str());
    const int fd = ::open(temporary.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0600);
    if (fd < 0) {
        problem = systemError("cannot create " + temporary);
        return false;
    }
    bool ok = writeContent(fd);
    if (!ok)
        problem = systemError("cannot write " + temporary);
    if (ok && ::fchmod(fd, original.st_mode & 07777) != 0)
        ok = false, problem = systemError("cannot set the permissions of " + temporary);
    if (ok && ::fchown(fd, original.st_uid, original.st_gid) != 0 && geteuid() == 0)
        ok = false, problem = systemError("cannot set the owner of " + temporary);
    if (ok && ::fsync(fd) != 0)
        ok = false, problem = systemError("cannot write " + temporary + " to disk");
    if (::close(fd) != 0 && ok)
        ok = false, problem = systemError("cannot write " + temporary);
    if (ok && ::rename(temporary.c_str(), target.c_str()) != 0)
        ok = false, problem = systemError("cannot replace " + target);
    if (!ok) {
        ::unlink(temporary.c_str());
        return false;
    }
    const int directory = ::open(directoryOf(target).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (directory >= 0) {
        ::fsync(directory);
        ::close(directory);
    }
    return true;
}

} // namespace winreg
