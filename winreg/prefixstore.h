// The current user's registry of a Wine prefix: its user.reg loaded under Wine's
// rules for prefixes (who may use one, which path it takes, whether its server
// runs), read and changed in memory, and saved as one new file.
#pragma once

#include "hive.h"
#include "hivefile.h"
#include "wineprefix.h"
#include "winreg.h"

#include <string>
#include <string_view>

namespace winreg {

class PrefixStore {
public:
    // The prefix is the one the environment names (see locateHive) whenever no hive is loaded.
    PrefixStore() = default;

    // Loads the hive if that has not been done; the status every call would get.
    LONG load();
    // Key paths as the registry reads them: ERROR_BAD_PATHNAME for one that is none.
    LONG keyExists(std::u16string_view path);
    // The value, or null with ERROR_FILE_NOT_FOUND; a key that cannot be read ends
    // the store's use of the hive (ERROR_BADDB), and nothing of it is saved.
    LONG find(std::u16string_view path, std::u16string_view name, const RegValue *&value);
    // Stores the value, creating its key and those above it; absent deletes it.
    LONG set(std::u16string_view path, RegValue value, bool present);
    // Writes every change made since the load to the file at once, then lets
    // other runs have the hive; changes never saved are dropped.
    LONG save();
    // Drops unsaved changes and lets other runs have the hive; the next call loads it anew.
    void release();

    // Why the last load or save failed, with the line where the file is malformed; "" when nothing failed.
    const std::string &problem() const { return m_problem; }
    // Whether the last save put a new user.reg in place, even where it then
    // reported a problem (a Wine that started meanwhile may undo the change).
    bool replaced() const { return m_replaced; }
    // Whether the last load or save failed because a program holds the registry:
    // Wine running for the prefix, or another run of ours that did not let go in time.
    bool heldByWine() const { return m_lastStatus == ERROR_LOCK_VIOLATION; }
    const HiveLocation &location() const;

private:
    enum class State { Unloaded, Ready, Failed };
    LONG fail(LONG status, std::string problem);
    LONG unreadableKey();
    LONG keyPath(std::u16string_view path, std::u16string &normal);
    LONG refuseLinks(std::u16string_view path);
    LONG writeNewFile();
    std::string stopWineAdvice() const;

    State m_state = State::Unloaded;
    LONG m_failure = ERROR_SUCCESS;
    std::string m_problem;
    mutable HiveLocation m_location;
    HiveLock m_lock;
    WineServerLock m_wineLock; // held through a save, where it can be had
    bool m_asOwner = false; // root runs as the prefix's owner
    FileStamp m_stamp;
    Hive m_hive;
    bool m_replaced = false;
    LONG m_lastStatus = ERROR_SUCCESS;
};

} // namespace winreg
