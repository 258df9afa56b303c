// What a Wine prefix says beyond its hive: the drives in dosdevices/ that map
// Windows paths onto the Unix file system, and whether Wine is running for it.
#pragma once

#include <string>
#include <sys/types.h>
#include <vector>

namespace winreg {

// The Windows form of an absolute Unix path, as Wine computes it: the longest
// leading part of the path that is the directory of a drive (the lowest letter on
// a tie) becomes "X:\", the rest follows with backslashes. False when no drive
// leads to the path.
bool windowsFormOfPath(const std::string &prefix, const std::string &unixPath, std::string &windowsPath);

// The Unix form of a drive path "X:\...", each component matched without regard
// to case where the exact name does not exist; any other path comes back unchanged.
std::string unixFormOfPath(const std::string &prefix, const std::string &windowsPath);

// A running wineserver holds a write lock on the first byte of "lock" in its
// server directory, "server-<dev>-<inode>" after the prefix directory. Where
// that directory lies depends on the Wine build and the user who runs it:
// upstream Wine uses /tmp/.wine-<uid>; Debian's uses /run/user/<uid>/wine when
// /run/user/<uid> exists, and otherwise the folder that the prefix's file
// "wineserver" names under $TMPDIR (or /tmp).
std::vector<std::string> wineServerDirectories(const std::string &prefix);

// Holds the lock of the server directory that this machine's Wine uses for the
// prefix, so that a wineserver starting meanwhile finds it taken and waits.
class WineServerLock {
public:
    enum class Outcome { Held, ServerRunning, Unavailable };
    WineServerLock() = default;
    WineServerLock(const WineServerLock &) = delete;
    WineServerLock &operator=(const WineServerLock &) = delete;
    ~WineServerLock() { release(); }
    // Creates what a wineserver would create on its way to the lock, with the
    // modes it uses, and takes the lock. Unavailable, with the reason, when the
    // directory cannot be made or its lock cannot be taken.
    Outcome acquire(const std::string &prefix, std::string &problem);
    void release();
    bool held() const { return m_fd >= 0; }
    const std::string &lockPath() const { return m_path; }

private:
    int m_fd = -1;
    std::string m_path;
};

// Whether a wineserver runs for the prefix: a process working in a directory of
// its server name (wherever that lies), or a lock held in any directory where
// one of the prefix could run; the lock this process holds itself does not count.
bool wineserverRunning(const std::string &prefix, const WineServerLock *own = nullptr);

// Opens a file that a user may have put in place, without waiting on it and
// without following a link: -1 with errno EINVAL when it is no regular file
// (a FIFO, a device, a socket).
int openRegularFile(const std::string &path, int flags, mode_t mode = 0);

} // namespace winreg
