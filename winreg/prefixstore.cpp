#include "prefixstore.h"

#include "unicode.h"

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace winreg {

namespace {

// Wine holds the registry in memory while it runs and would overwrite our edit.
std::string wineRunningProblem(const std::string &prefix, const std::string &stopWineAdvice)
{
    return "Wine is running for the prefix " + prefix + ": close the programs running under Wine, or run " +
           stopWineAdvice + ", and try again";
}

// A wineserver that started while the new file was written may have read the old one.
std::string wineStartedProblem(const std::string &prefix, const std::string &stopWineAdvice)
{
    return "Wine started for the prefix " + prefix +
           " while its registry was saved, and may undo the change when it exits: close the programs running under "
           "Wine, or run " + stopWineAdvice + ", and run ideweave again";
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
    const std::vector<std::string> prefixArches = hiveArches(head);
    if (prefixArches.empty())
        return true;
    const std::string &prefixArch = prefixArches.front();
    for (const std::string &userArch : hiveArches(userText)) {
        if (userArch == prefixArch)
            continue;
        const bool blanks = userArch.find_first_of(" \t\r") != std::string::npos;
        problem = "user.reg is marked #arch=" + userArch + (blanks ? " (with a blank in it)" : "") + " but the prefix is " +
                  prefixArch + " (system.reg): Wine would ignore the whole file";
        return false;
    }
    return true;
}

std::string lineProblem(const FormatError &error)
{
    return "line " + std::to_string(error.line) + ": " + error.reason;
}

uint64_t fileTimeNow(int64_t &unixSeconds)
{
    const auto now = std::chrono::system_clock::now().time_since_epoch();
    unixSeconds = std::chrono::duration_cast<std::chrono::seconds>(now).count();
    constexpr uint64_t epochDifference = 116444736000000000ULL; // 1601 to 1970 in 100 ns ticks
    return epochDifference + std::chrono::duration_cast<std::chrono::nanoseconds>(now).count() / 100;
}

} // namespace

// Who must stop Wine: the prefix's owner, when root runs on the owner's prefix.
std::string PrefixStore::stopWineAdvice() const
{
    return m_asOwner ? "'wineserver -k' as " + userName(::getuid()) : "'wineserver -k'";
}

LONG PrefixStore::fail(LONG status, std::string problem)
{
    m_lastStatus = status;
    m_state = State::Failed;
    m_failure = status;
    m_problem = std::move(problem);
    m_wineLock.release();
    m_lock.release();
    return status;
}

// A key whose values cannot be read ends the run's use of the hive: nothing of it is saved.
LONG PrefixStore::unreadableKey() { return fail(ERROR_BADDB, lineProblem(*m_hive.failure())); }

const HiveLocation &PrefixStore::location() const
{
    if (m_state == State::Unloaded)
        m_location = locateHive();
    return m_location;
}

LONG PrefixStore::load()
{
    if (m_state == State::Ready)
        return ERROR_SUCCESS;
    if (m_state == State::Failed)
        return m_failure;
    location();
    m_problem.clear();
    m_lastStatus = ERROR_SUCCESS;
    std::string problem;
    if (!prefixAcceptable(m_location, problem))
        return fail(ERROR_BAD_PATHNAME, problem);
    if (!fileExists(m_location.prefix))
        return fail(ERROR_FILE_NOT_FOUND, "the Wine prefix " + m_location.prefix + " does not exist");
    const bool root = ::geteuid() == 0;
    if (!runAsPrefixOwner(m_location.prefix, problem))
        return fail(ERROR_ACCESS_DENIED, problem);
    m_asOwner = m_asOwner || (root && ::geteuid() != 0);
    if (!ownedByThisUser(m_location.prefix, problem))
        return fail(ERROR_ACCESS_DENIED, problem);
    if (!fileExists(m_location.hivePath))
        return fail(ERROR_FILE_NOT_FOUND, "the Wine prefix has no user.reg");
    // Another run of ours waits; a running Wine, which holds the registry, refuses the load.
    if (!m_lock.acquire(m_location.prefix, lockTimeoutSeconds, problem))
        return fail(ERROR_LOCK_VIOLATION, problem);
    if (wineserverRunning(m_location.prefix))
        return fail(ERROR_LOCK_VIOLATION, wineRunningProblem(m_location.prefix, stopWineAdvice()));
    removeStaleTemporary(m_location.hivePath);
    std::string text;
    if (!readHive(m_location.hivePath, m_stamp, text, problem))
        return fail(ERROR_FILE_NOT_FOUND, problem);
    if (!archMatchesPrefix(m_location.prefix, text, problem))
        return fail(ERROR_BADDB, problem);
    FormatError error;
    if (!m_hive.load(std::move(text), error))
        return fail(ERROR_BADDB, lineProblem(error));
    m_state = State::Ready;
    return ERROR_SUCCESS;
}

LONG PrefixStore::keyPath(std::u16string_view path, std::u16string &normal)
{
    normal.assign(path);
    if (!normalizeKeyPath(normal))
        return ERROR_BAD_PATHNAME;
    const LONG status = load();
    return status == ERROR_SUCCESS ? refuseLinks(normal) : status;
}

// Wine follows a registry link to its target, and the store does not: a run
// that would read or write through one is refused, naming the link.
LONG PrefixStore::refuseLinks(std::u16string_view path)
{
    for (size_t end = 0; end != std::u16string_view::npos;) {
        end = path.find(u'\\', end + 1);
        const std::u16string_view key = path.substr(0, end);
        if (!key.empty() && m_hive.keyExists(key) && m_hive.isLink(key))
            return fail(ERROR_BADDB, "the key HKEY_CURRENT_USER\\" + utf16ToUtf8(key) +
                                         " is a registry link, which Wine follows and ideweave does not: "
                                         "remove the link, then run again");
        if (m_hive.failure())
            return unreadableKey();
    }
    return ERROR_SUCCESS;
}

LONG PrefixStore::keyExists(std::u16string_view path)
{
    std::u16string normal;
    const LONG status = keyPath(path, normal);
    if (status != ERROR_SUCCESS)
        return status;
    return normal.empty() || m_hive.keyExists(normal) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG PrefixStore::find(std::u16string_view path, std::u16string_view name, const RegValue *&value)
{
    value = nullptr;
    std::u16string normal;
    LONG status = keyPath(path, normal);
    if (status != ERROR_SUCCESS)
        return status;
    if (!m_hive.keyExists(normal))
        return ERROR_FILE_NOT_FOUND;
    value = m_hive.findValue(normal, name);
    if (!value && m_hive.failure())
        return unreadableKey();
    return value ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
}

LONG PrefixStore::set(std::u16string_view path, RegValue value, bool present)
{
    std::u16string normal;
    LONG status = keyPath(path, normal);
    if (status != ERROR_SUCCESS)
        return status;
    if (value.name.size() > maxValueNameLength)
        return ERROR_INVALID_PARAMETER;
    if (!present) {
        if (!m_hive.keyExists(normal))
            return ERROR_FILE_NOT_FOUND;
        status = m_hive.deleteValue(normal, value.name) ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    } else {
        bool created = false;
        m_hive.createKey(normal, created);
        m_hive.setValue(normal, std::move(value));
    }
    return m_hive.failure() ? unreadableKey() : status;
}

LONG PrefixStore::writeNewFile()
{
    std::string problem;
    FileStamp now;
    if (!currentStamp(m_location.hivePath, now, problem)) {
        m_problem = problem;
        return ERROR_WRITE_FAULT;
    }
    // Wine's own lock from here until the new file is in place, so that no
    // wineserver starts on the old one; only a save takes it, so that runs
    // that only read create nothing. A server started since the load is seen now.
    std::string lockProblem;
    if (m_wineLock.acquire(m_location.prefix, lockProblem) == WineServerLock::Outcome::ServerRunning ||
        wineserverRunning(m_location.prefix, &m_wineLock)) {
        m_problem = wineRunningProblem(m_location.prefix, stopWineAdvice());
        return ERROR_LOCK_VIOLATION;
    }
    if (!(now == m_stamp)) {
        m_problem = "the file was changed by another program since it was read";
        return ERROR_WRITE_FAULT;
    }
    int64_t unixSeconds;
    const uint64_t fileTime = fileTimeNow(unixSeconds);
    const bool saved = replaceHive(
        m_location.hivePath,
        [&](int fd) {
            // Small pieces are gathered into large writes.
            std::string buffer;
            bool written = true;
            m_hive.save(
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
        m_problem = problem;
        return ERROR_WRITE_FAULT;
    }
    m_replaced = true;
    // A wineserver that Wine's lock did not hold off (one under a TMPDIR or a
    // layout of its own) may have started on the old file meanwhile.
    if (wineserverRunning(m_location.prefix, &m_wineLock)) {
        m_problem = wineStartedProblem(m_location.prefix, stopWineAdvice());
        if (!m_wineLock.held())
            m_problem += " (Wine's lock could not be taken: " + lockProblem + ")";
        return ERROR_LOCK_VIOLATION;
    }
    return ERROR_SUCCESS;
}

LONG PrefixStore::save()
{
    m_replaced = false;
    if (m_state != State::Ready)
        return m_state == State::Failed ? m_failure : ERROR_SUCCESS;
    const LONG status = m_lastStatus = m_hive.changed() ? writeNewFile() : ERROR_SUCCESS;
    m_hive = Hive();
    m_wineLock.release();
    m_lock.release();
    m_state = State::Unloaded;
    return status;
}

void PrefixStore::release()
{
    m_hive = Hive();
    m_wineLock.release();
    m_lock.release();
    m_state = State::Unloaded;
}

} // namespace winreg
