// The hive file on disk: where it is, the lock that keeps two runs apart, reading
// it and replacing it atomically.
#pragma once

#include "hive.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <sys/types.h>

namespace winreg {

struct HiveLocation {
    std::string prefix; // the Wine prefix directory
    std::string hivePath; // its user.reg
};

// $WINEPREFIX, or ~/.wine when it is unset or empty (the passwd entry's home without HOME).
HiveLocation locateHive();

// What identifies one version of the file: a save is refused when it changed.
struct FileStamp {
    dev_t device = 0;
    ino_t inode = 0;
    off_t size = 0;
    long long modifiedNs = 0;
    bool operator==(const FileStamp &other) const;
};

// An exclusive lock on the prefix directory, held between loading and saving.
class HiveLock {
public:
    HiveLock() = default;
    HiveLock(const HiveLock &) = delete;
    HiveLock &operator=(const HiveLock &) = delete;
    ~HiveLock() { release(); }
    bool acquire(const std::string &directory, int timeoutSeconds, std::string &problem);
    void release();

private:
    int m_fd = -1;
};

inline constexpr int lockTimeoutSeconds = 10;

// When root runs on a prefix that belongs to another user, the rest of the run
// is that user's (with the user's groups and temporary folder), so that it can
// create, change or replace no file that the owner could not. False when that
// cannot be done, or when a link of a third user's leads to the prefix.
bool runAsPrefixOwner(const std::string &prefix, std::string &problem);
// The name of a user, or "user <uid>" for one without a passwd entry.
std::string userName(uid_t uid);

// Writes all of data, going on after short writes and interruptions.
bool writeAll(int fd, std::string_view data);
// The hive file opened for reading, which stays open while the hive is used:
// what is read of it later is this version of it, whatever happens to the path.
class FileSource : public HiveSource {
public:
    explicit FileSource(int fd) : m_fd(fd) {}
    FileSource(const FileSource &) = delete;
    FileSource &operator=(const FileSource &) = delete;
    ~FileSource() override;
    long read(size_t offset, char *buffer, size_t length) const override;
    size_t size() const override;
    int fd() const { return m_fd; }

private:
    int m_fd;
};
std::unique_ptr<FileSource> openHive(const std::string &path, FileStamp &stamp, std::string &problem);
// Copies [begin, end) of one file to the end of what was written to another.
bool copyRange(int from, size_t begin, size_t end, int to);
bool currentStamp(const std::string &path, FileStamp &stamp, std::string &problem);
// Removes what a save that was interrupted may have left beside the hive.
void removeStaleTemporary(const std::string &path);
// Writes a new file beside the old one and renames it over it, so that the old
// file stays whole until the new one is complete on disk.
bool replaceHive(const std::string &path, const std::function<bool(int fd)> &writeContent, std::string &problem);

} // namespace winreg
