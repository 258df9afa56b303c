// The hive file on disk: where it is, the lock that keeps two runs apart, reading
// it and replacing it atomically.
#pragma once

#include "hive.h"

#include <functional>
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
// The hive file's whole text, and the stamp of the version that was read.
bool readHive(const std::string &path, FileStamp &stamp, std::string &text, std::string &problem);
bool currentStamp(const std::string &path, FileStamp &stamp, std::string &problem);
// Removes what a save that was interrupted may have left beside the hive.
void removeStaleTemporary(const std::string &path);
// Writes a new file beside the old one and renames it over it, so that the old
// file stays whole until the new one is complete on disk.
bool replaceHive(const std::string &path, const std::function<bool(int fd)> &writeContent, std::string &problem);

} // namespace winreg
