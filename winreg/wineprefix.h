// What a Wine prefix says beyond its hive: the drives in dosdevices/ that map
// Windows paths onto the Unix file system, and whether Wine is running for it.
#pragma once

#include <string>

namespace winreg {

// The Windows form of an absolute Unix path, as Wine computes it: the longest
// leading part of the path that is the directory of a drive (the lowest letter on
// a tie) becomes "X:\", the rest follows with backslashes. False when no drive
// leads to the path.
bool windowsFormOfPath(const std::string &prefix, const std::string &unixPath, std::string &windowsPath);

// The Unix form of a drive path "X:\...", each component matched without regard
// to case where the exact name does not exist; any other path comes back unchanged.
std::string unixFormOfPath(const std::string &prefix, const std::string &windowsPath);

// A running wineserver holds a lock on "lock" in its server directory, which is
// named for the prefix directory's device and inode.
bool wineserverRunning(const std::string &prefix);

} // namespace winreg
