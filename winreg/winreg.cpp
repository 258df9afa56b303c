#include "winreg.h"
#include "winehive.h"

#include "hive.h"
#include "hivefile.h"
#include "unicode.h"
#include "wineprefix.h"

#include <algorithm>
#include <chrono>
#include <unistd.h>
#include <cstring>
#include <fcntl.h>
#include <map>
#include <pwd.h>
#include <sys/stat.h>
#include <string>

using namespace winreg;

namespace {

// Everything the process knows about the registry. Handles name key paths, so
// they stay valid when the hive is released and loaded again.
struct Store {
    enum class State { Unloaded, Ready, Failed };
    State state = State::Unloaded;
    LONG failure = ERROR_SUCCESS;
    std::string problem;
    HiveLocation location = locateHive();
    HiveLock lock;
    WineServerLock wineLock; // held through a save, where it can be had
    bool asOwner = false; // root runs as the prefix's owner
    FileStamp stamp;
    Hive hive;
    bool replaced = false; // the last save put a new file in place
    std::map<uintptr_t, std::u16string> handles;
    uintptr_t nextHandle = 0x1000;
};

Store &store()
{
    static Store instance;
    return instance;
}

// Who must stop Wine: the prefix's owner, when root runs on the owner's prefix.
std::string stopWineAdvice()
{
    return store().asOwner ? "'wineserver -k' as " + userName(::getuid()) : "'wineserver -k'";
}

// Wine holds the registry in memory while it runs and would overwrite our edit.
std::string wineRunningProblem(const std::string &prefix)
{
    return "Wine is running for the prefix " + prefix + ": close the programs running under Wine, or run " +
           stopWineAdvice() + ", and try again";
}

// A wineserver that started while the new file was written may have read the old one.
std::string wineStartedProblem(const std::string &prefix)
{
    return "Wine started for the prefix " + prefix +
           " while its registry was saved, and may undo the change when it exits: close the programs running under "
           "Wine, or run " + stopWineAdvice() + ", and run ideweave again";
}

bool fileExists(const std::string &path) { return ::access(path.c_str(), F_OK) == 0; }

// Wine takes only an absolute WINEPREFIX.
bool prefixAcceptable(const HiveLocation &location, std::string &problem)
{
    if (!location.prefix.empty() && location.prefix[0] == '/')
        return true;
    problem = "WINEPREFIX '" + location.prefix + "' is not an absolute path, and Wine uses no other";
    return false;
}

// Wine runs a prefix only for the user who owns it.
bool ownedByThisUser(const std::string &prefix, std::string &problem)
{
    struct stat info;
    if (::stat(prefix.c_str(), &info) != 0 || info.st_uid == ::getuid())
        return true;
    problem = "the Wine prefix " + prefix + " belongs to " + userName(info.st_uid) + ", and Wine runs it only for " +
              userName(info.st_uid) + ": run ideweave as " + userName(info.st_uid);
    return false;
}

// Wine ignores a user.reg whose "#arch=" is not its prefix's, which system.reg names.
bool archMatchesPrefix(const std::string &prefix, std::string_view userText, std::string &problem)
{
    const std::string systemPath = prefix + "/system.reg";
    const int fd = openRegularFile(systemPath, O_RDONLY);
    if (fd < 0 && errno == EINVAL) {
        problem = systemPath + " is not a regular file";
        return false;
    }
    std::string head(4096, '\0');
    const ssize_t length = fd >= 0 ? ::read(fd, &head[0], head.size()) : 0;
    head.resize(static_cast<size_t>(std::max<ssize_t>(length, 0)));
    if (fd >= 0)
        ::close(fd);
    const std::string prefixArch = hiveArch(head);
    const std::string userArch = hiveArch(userText);
    if (prefixArch.empty() || userArch.empty() || prefixArch == userArch)
        return true;
    problem = "user.reg is marked #arch=" + userArch + " but the prefix is " + prefixArch +
              " (system.reg): Wine would ignore the whole file";
    return false;
}

LONG loadFailure(Store &s, LONG status, std::string problem)
{
    s.state = Store::State::Failed;
    s.failure = status;
    s.problem = std::move(problem);
    s.wineLock.release();
    s.lock.release();
    return status;
}

std::string lineProblem(const FormatError &error)
{
    return "line " + std::to_string(error.line) + ": " + error.reason;
}

// A key whose values cannot be read ends the run's use of the hive: nothing of it is saved.
LONG unreadableKey(Store &s) { return loadFailure(s, ERROR_BADDB, lineProblem(*s.hive.failure())); }

LONG ensureLoaded()
{
    Store &s = store();
    if (s.state == Store::State::Ready)
        return ERROR_SUCCESS;
    if (s.state == Store::State::Failed)
        return s.failure;
    s.location = locateHive();
    s.problem.clear();
    std::string problem;
    if (!prefixAcceptable(s.location, problem))
        return loadFailure(s, ERROR_BAD_PATHNAME, problem);
    if (!fileExists(s.location.prefix))
        return loadFailure(s, ERROR_FILE_NOT_FOUND, "the Wine prefix " + s.location.prefix + " does not exist");
    const bool root = ::geteuid() == 0;
    if (!runAsPrefixOwner(s.location.prefix, problem))
        return loadFailure(s, ERROR_ACCESS_DENIED, problem);
    s.asOwner = s.asOwner || (root && ::geteuid() != 0);
    if (!ownedByThisUser(s.location.prefix, problem))
        return loadFailure(s, ERROR_ACCESS_DENIED, problem);
    if (!fileExists(s.location.hivePath))
        return loadFailure(s, ERROR_FILE_NOT_FOUND, "the Wine prefix has no user.reg");
    // Another run of ours waits; a running Wine, which holds the registry, refuses the load.
    if (!s.lock.acquire(s.location.prefix, lockTimeoutSeconds, problem))
        return loadFailure(s, ERROR_LOCK_VIOLATION, problem);
    if (wineserverRunning(s.location.prefix))
        return loadFailure(s, ERROR_LOCK_VIOLATION, wineRunningProblem(s.location.prefix));
    removeStaleTemporary(s.location.hivePath);
    std::string text;
    if (!readHive(s.location.hivePath, s.stamp, text, problem))
        return loadFailure(s, ERROR_FILE_NOT_FOUND, problem);
    if (!archMatchesPrefix(s.location.prefix, text, problem))
        return loadFailure(s, ERROR_BADDB, problem);
    FormatError error;
    if (!s.hive.load(std::move(text), error))
        return loadFailure(s, ERROR_BADDB, lineProblem(error));
    s.state = Store::State::Ready;
    return ERROR_SUCCESS;
}

void unload()
{
    Store &s = store();
    s.hive = Hive();
    s.wineLock.release();
    s.lock.release();
    s.state = Store::State::Unloaded;
}

// Predefined keys go by their low 32 bits, as Wine takes them: a 64-bit caller
// may pass HKEY_CURRENT_USER sign-extended, or with other upper bits.
uint32_t lowBits(HKEY key) { return static_cast<uint32_t>(reinterpret_cast<uintptr_t>(key)); }
bool isPredefined(HKEY key) { return lowBits(key) >= 0x80000000u && lowBits(key) <= 0x80000006u; }
bool isCurrentUser(HKEY key) { return lowBits(key) == lowBits(HKEY_CURRENT_USER); }

// The key path a handle stands for; false for a null, closed or unserved handle.
bool keyPathOf(HKEY key, std::u16string &path, LONG &status)
{
    if (isCurrentUser(key)) {
        path.clear();
        return true;
    }
    auto found = store().handles.find(reinterpret_cast<uintptr_t>(key));
    if (found == store().handles.end()) {
        status = ERROR_INVALID_HANDLE;
        return false;
    }
    path = found->second;
    return true;
}

bool joinPath(std::u16string &path, const char *subKey, LONG &status)
{
    std::u16string sub = utf8ToUtf16(subKey ? subKey : "");
    if (!normalizeKeyPath(sub)) {
        status = ERROR_BAD_PATHNAME;
        return false;
    }
    if (sub.empty())
        return true;
    path = path.empty() ? sub : path + u'\\' + sub;
    return true;
}

HKEY newHandle(const std::u16string &path)
{
    Store &s = store();
    const uintptr_t id = s.nextHandle;
    s.nextHandle += 4;
    s.handles[id] = path;
    return reinterpret_cast<HKEY>(id);
}

// The common start of the key functions: the path of key's sub-key in a loaded hive.
// A null handle leaves the result as it was, as Wine leaves it.
LONG subKeyPath(HKEY key, LPCSTR subKey, PHKEY result, std::u16string &path)
{
    if (!result)
        return ERROR_INVALID_PARAMETER;
    if (!key)
        return ERROR_INVALID_HANDLE;
    *result = nullptr;
    LONG status = ERROR_SUCCESS;
    if (!keyPathOf(key, path, status) || !joinPath(path, subKey, status))
        return status;
    return ensureLoaded();
}

// The common start of the value functions: a loaded hive and an existing key.
LONG valueKey(HKEY key, std::u16string &path)
{
    LONG status = ERROR_SUCCESS;
    if (!keyPathOf(key, path, status))
        return status;
    if ((status = ensureLoaded()) != ERROR_SUCCESS)
        return status;
    return store().hive.keyExists(path) ? ERROR_SUCCESS : ERROR_KEY_DELETED;
}

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The bytes an 8-bit caller sees: strings converted from UTF-16, anything else as stored.
std::string callerBytes(const RegValue &value)
{
    if (!isStringType(value.type))
        return value.data;
    return utf16ToUtf8(utf16FromBytes(value.data));
}

uint64_t fileTimeNow(int64_t &unixSeconds)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    unixSeconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
    constexpr uint64_t epochDifference = 116444736000000000ULL; // 1601 to 1970 in 100 ns ticks
    return epochDifference + std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
}

LONG saveHive()
{
    Store &s = store();
    std::string problem;
    FileStamp now;
    if (!currentStamp(s.location.hivePath, now, problem)) {
        s.problem = problem;
        return ERROR_WRITE_FAULT;
    }
    // Wine's own lock from here until the new file is in place, so that no
    // wineserver starts on the old one; only a save takes it, so that runs
    // that only read create nothing. A server started since the load is seen now.
    std::string lockProblem;
    if (s.wineLock.acquire(s.location.prefix, lockProblem) == WineServerLock::Outcome::ServerRunning ||
        wineserverRunning(s.location.prefix, &s.wineLock)) {
        s.problem = wineRunningProblem(s.location.prefix);
        return ERROR_LOCK_VIOLATION;
    }
    if (!(now == s.stamp)) {
        s.problem = "the file was changed by another program since it was read";
        return ERROR_WRITE_FAULT;
    }
    int64_t unixSeconds;
    const uint64_t fileTime = fileTimeNow(unixSeconds);
    const bool saved = replaceHive(
        s.location.hivePath,
        [&](int fd) {
            // Small pieces are gathered into large writes.
            std::string buffer;
            bool written = true;
            s.hive.save(
                [&](std::string_view piece) {
                    if (buffer.size() + piece.size() > (1 << 20)) {
                        written = written && writeAll(fd, buffer);
                        buffer.clear();
                    }
                    if (piece.size() > (1 << 20))
                        written = written && writeAll(fd, piece);
                    else
                        buffer.append(piece);
                },
                unixSeconds, fileTime);
            return written && writeAll(fd, buffer);
        },
        problem);
    if (!saved) {
        s.problem = problem;
        return ERROR_WRITE_FAULT;
    }
    s.replaced = true;
    // A wineserver that Wine's lock did not hold off (one under a TMPDIR or a
    // layout of its own) may have started on the old file meanwhile.
    if (wineserverRunning(s.location.prefix, &s.wineLock)) {
        s.problem = wineStartedProblem(s.location.prefix);
        if (!s.wineLock.held())
            s.problem += " (Wine's lock could not be taken: " + lockProblem + ")";
        return ERROR_LOCK_VIOLATION;
    }
    return ERROR_SUCCESS;
}

} // namespace

LONG RegOpenKeyExA(HKEY key, LPCSTR subKey, DWORD, REGSAM, PHKEY result)
{
    // No sub-key of a predefined key: the key itself, as Windows and Wine answer.
    if (result && isCurrentUser(key) && (!subKey || !*subKey)) {
        *result = key;
        return ERROR_SUCCESS;
    }
    std::u16string path;
    LONG status = subKeyPath(key, subKey, result, path);
    if (status != ERROR_SUCCESS)
        return status;
    if (!store().hive.keyExists(path))
        return ERROR_FILE_NOT_FOUND;
    *result = newHandle(path);
    return ERROR_SUCCESS;
}

LONG RegCreateKeyExA(HKEY key, LPCSTR subKey, DWORD, LPSTR, DWORD, REGSAM, LPSECURITY_ATTRIBUTES, PHKEY result,
                     LPDWORD disposition)
{
    std::u16string path;
    LONG status = subKeyPath(key, subKey, result, path);
    if (status != ERROR_SUCCESS)
        return status;
    bool created = false;
    store().hive.createKey(path, created);
    if (disposition)
        *disposition = created ? REG_CREATED_NEW_KEY : REG_OPENED_EXISTING_KEY;
    *result = newHandle(path);
    return ERROR_SUCCESS;
}

namespace {

// Type and size are written last, and the buffer's size is read first, so that
// one variable may serve as both, as it may with Wine. The 8-bit functions see
// strings in UTF-8, the wide ones as stored; either gets a terminator where
// the buffer has room for it, as Wine gives one.
LONG queryValue(HKEY key, std::u16string_view name, DWORD *type, BYTE *data, DWORD *dataSize, bool wide)
{
    if (data && !dataSize)
        return ERROR_INVALID_PARAMETER;
    std::u16string path;
    const LONG status = valueKey(key, path);
    if (status != ERROR_SUCCESS)
        return status;
    const DWORD room = data ? *dataSize : 0;
    const RegValue *value = store().hive.findValue(path, name);
    if (!value) {
        if (store().hive.failure())
            return unreadableKey(store());
        // Wine reports no type and, when no data were asked for, no size.
        if (type)
            *type = REG_NONE;
        if (dataSize && !data)
            *dataSize = 0;
        return ERROR_FILE_NOT_FOUND;
    }
    const std::string bytes = wide ? value->data : callerBytes(*value);
    const DWORD needed = static_cast<DWORD>(bytes.size());
    const DWORD unit = wide ? 2 : 1;
    LONG result = ERROR_SUCCESS;
    if (data && room < needed) {
        result = ERROR_MORE_DATA;
    } else if (data) {
        std::memcpy(data, bytes.data(), bytes.size());
        const bool terminated = needed >= unit && bytes.compare(needed - unit, unit, std::string(unit, '\0')) == 0;
        if (isStringType(value->type) && needed + unit <= room && !terminated && (needed > 0 || !wide))
            std::memset(data + needed, 0, unit);
    }
    if (type)
        *type = value->type;
    if (dataSize)
        *dataSize = needed;
    return result;
}

} // namespace

LONG RegQueryValueExA(HKEY key, LPCSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    return queryValue(key, utf8ToUtf16(valueName ? valueName : ""), type, data, dataSize, false);
}

LONG RegQueryValueExW(HKEY key, LPCWSTR valueName, LPDWORD, LPDWORD type, LPBYTE data, LPDWORD dataSize)
{
    return queryValue(key, valueName ? valueName : u"", type, data, dataSize, true);
}

namespace {

// Stores value under key; its name and data as given.
LONG setValue(HKEY key, RegValue value)
{
    std::u16string path;
    const LONG status = valueKey(key, path);
    if (status != ERROR_SUCCESS)
        return status;
    if (value.name.size() > maxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    store().hive.setValue(path, std::move(value));
    return store().hive.failure() ? unreadableKey(store()) : ERROR_SUCCESS;
}

// A string whose size leaves out its terminator, with a NUL after it, is stored
// with the NUL: Windows and Wine read the character after the data for it.
DWORD sizeWithTerminator(DWORD type, const BYTE *data, DWORD dataSize, DWORD unit)
{
    if (!isStringType(type) || dataSize < unit || dataSize % unit != 0)
        return dataSize;
    const auto isNul = [&](DWORD offset) { return std::all_of(data + offset, data + offset + unit, [](BYTE b) { return b == 0; }); };
    return !isNul(dataSize - unit) && isNul(dataSize) ? dataSize + unit : dataSize;
}

} // namespace

LONG RegSetValueExA(HKEY key, LPCSTR valueName, DWORD, DWORD type, const BYTE *data, DWORD dataSize)
{
    if (!data && dataSize)
        return ERROR_INVALID_PARAMETER;
    dataSize = sizeWithTerminator(type, data, dataSize, 1);
    const std::string_view bytes(reinterpret_cast<const char *>(data), data ? dataSize : 0);
    return setValue(key, {utf8ToUtf16(valueName ? valueName : ""), type,
                          isStringType(type) ? utf16leBytes(utf8ToUtf16(bytes)) : std::string(bytes)});
}

LONG RegSetValueExW(HKEY key, LPCWSTR valueName, DWORD, DWORD type, const BYTE *data, DWORD dataSize)
{
    if (!data && dataSize)
        return ERROR_INVALID_PARAMETER;
    dataSize = sizeWithTerminator(type, data, dataSize, 2);
    return setValue(key, {valueName ? valueName : u"", type, std::string(reinterpret_cast<const char *>(data), data ? dataSize : 0)});
}

LONG RegDeleteValueA(HKEY key, LPCSTR valueName)
{
    std::u16string path;
    const LONG status = valueKey(key, path);
    if (status != ERROR_SUCCESS)
        return status;
    if (store().hive.deleteValue(path, utf8ToUtf16(valueName ? valueName : "")))
        return ERROR_SUCCESS;
    return store().hive.failure() ? unreadableKey(store()) : ERROR_FILE_NOT_FOUND;
}

LONG RegCloseKey(HKEY key)
{
    if (isPredefined(key))
        return ERROR_SUCCESS;
    return store().handles.erase(reinterpret_cast<uintptr_t>(key)) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE;
}

LONG RegFlushKey(HKEY key)
{
    std::u16string path;
    LONG status = ERROR_SUCCESS;
    if (!keyPathOf(key, path, status))
        return status;
    if (store().state != Store::State::Ready)
        return store().state == Store::State::Failed ? store().failure : ERROR_SUCCESS;
    store().replaced = false;
    status = store().hive.changed() ? saveHive() : ERROR_SUCCESS;
    unload();
    return status;
}

LONG winregOpenHive() { return ensureLoaded(); }

const char *winregProblem() { return store().problem.c_str(); }

bool winregReplaced() { return store().replaced; }

const char *winregHivePath()
{
    if (store().state == Store::State::Unloaded)
        store().location = locateHive();
    return store().location.hivePath.c_str();
}

void winregRelease()
{
    unload();
    store().problem.clear();
}
