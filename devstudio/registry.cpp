#include "registry.h"

#include "winreg/numberbytes.h"

#include <cstring>
#include <vector>

LONG regOpen(HKEY root, const char *subKey, HKEY *key)
{
    return RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, key);
}

LONG regCreate(HKEY root, const char *subKey, HKEY *key)
{
    DWORD disposition = 0; // created or opened: nobody needs to know
    return RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr, key,
                           &disposition);
}

LONG regQuery(HKEY key, const char *valueName, void *data, DWORD *size)
{
    DWORD type = 0;
    return RegQueryValueExA(key, valueName, nullptr, &type, static_cast<BYTE *>(data), size);
}

LONG regSetString(HKEY key, const char *valueName, const char *text)
{
    return RegSetValueExA(key, valueName, 0, REG_SZ, reinterpret_cast<const BYTE *>(text),
                          static_cast<DWORD>(std::strlen(text) + 1));
}

LONG regSetBinary(HKEY key, const char *valueName, const void *data, DWORD size)
{
    return RegSetValueExA(key, valueName, 0, REG_BINARY, static_cast<const BYTE *>(data), size);
}

LONG regDeleteValue(HKEY key, const char *valueName) { return RegDeleteValueA(key, valueName); }

LONG regClose(HKEY key) { return RegCloseKey(key); }

LONG readText(HKEY key, const char *valueName, char *buffer, DWORD bufferSize)
{
    // Cleared first, so no text can run on into what an earlier read left behind.
    std::memset(buffer, 0, bufferSize);
    DWORD size = bufferSize;
    const LONG status = regQuery(key, valueName, buffer, &size);
    if (status != ERROR_SUCCESS)
        return status;
    if (size >= bufferSize && std::memchr(buffer, 0, bufferSize) == nullptr) {
        std::memset(buffer, 0, bufferSize);
        return ERROR_MORE_DATA;
    }
    return ERROR_SUCCESS;
}

LONG readWholeText(HKEY key, const char *valueName, std::string &text)
{
    text.clear();
    DWORD size = 0;
    LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, nullptr, &size);
    // The value may grow between the two calls; then its new size is asked again.
    for (int attempt = 0; status == ERROR_SUCCESS && attempt < 3; ++attempt) {
        std::vector<char> data(size + 1, '\0');
        status = regQuery(key, valueName, data.data(), &size);
        if (status == ERROR_SUCCESS) {
            text.assign(data.data(), strnlen(data.data(), size));
            return ERROR_SUCCESS;
        }
        if (status == ERROR_MORE_DATA)
            status = ERROR_SUCCESS;
    }
    return status == ERROR_SUCCESS ? ERROR_MORE_DATA : status;
}

LONG readNumber(HKEY key, const char *valueName, int32_t &number)
{
    unsigned char bytes[4] = {0, 0, 0, 0};
    DWORD size = sizeof bytes;
    const LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, bytes, &size);
    if (status == ERROR_SUCCESS)
        number = static_cast<int32_t>(numberFromBytes(bytes));
    return status;
}

LONG writeNumber(HKEY key, const char *valueName, int32_t number)
{
    const auto bytes = bytesOfNumber(static_cast<uint32_t>(number));
    return RegSetValueExA(key, valueName, 0, REG_DWORD, bytes.data(), DWORD(bytes.size()));
}

#ifdef _WIN32

bool registryUsable() { return true; }
std::string registryLocation() { return "HKEY_CURRENT_USER"; }
std::string registryProblem() { return std::string(); }
bool registrySave() { return RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS; }
void registryRelease() {}

bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &)
{
    // A relative path is taken from the current directory, as the program would find it.
    const bool absolute = !localPath.empty() && (localPath[0] == '\\' || localPath[0] == '/' ||
                                                 (localPath.size() >= 3 && localPath[1] == ':' &&
                                                  (localPath[2] == '\\' || localPath[2] == '/')));
    char full[MAX_PATH];
    const DWORD length = absolute ? 0 : GetFullPathNameA(localPath.c_str(), sizeof full, full, nullptr);
    registryPath = length > 0 && length < sizeof full ? full : localPath;
    return true;
}

std::string localFormOfPath(const std::string &path) { return path; }

#else

#include "winreg/hivefile.h"
#include "winreg/winehive.h"
#include "winreg/wineprefix.h"

#include <cctype>
#include <filesystem>

// A Wine hive's keys are read in full when first used; the keys a run works on
// are read here, so that one that cannot be read stops the run before it begins.
bool registryUsable()
{
    if (winregOpenHive() != ERROR_SUCCESS)
        return false;
    for (const char *subKey : {OptionsKey, ToolsKey, DirectoriesKey}) {
        HKEY key;
        const LONG opened = regOpen(HKEY_CURRENT_USER, subKey, &key);
        if (opened == ERROR_FILE_NOT_FOUND)
            continue;
        if (opened != ERROR_SUCCESS)
            return false;
        DWORD size = 0;
        const LONG status = RegQueryValueExA(key, "", nullptr, nullptr, nullptr, &size);
        regClose(key);
        if (status == ERROR_BADDB)
            return false;
    }
    return true;
}
std::string registryLocation() { return winregHivePath(); }
std::string registryProblem() { return winregProblem(); }
bool registrySave() { return RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS; }
void registryRelease() { winregRelease(); }

namespace {

// "C:\...", "C:" or "\\server\...": a path named as Windows names it.
bool isWindowsFormPath(const std::string &path)
{
    return (path.size() >= 2 && std::isalpha(static_cast<unsigned char>(path[0])) && path[1] == ':') ||
           (!path.empty() && path[0] == '\\');
}

// A relative Unix path taken from the current directory, without "." and ".." parts.
std::string absoluteUnixPath(const std::string &path)
{
    if (path.empty() || path[0] == '/')
        return path;
    std::error_code error;
    const std::filesystem::path absolute = std::filesystem::absolute(path, error);
    return error ? path : absolute.lexically_normal().string();
}

} // namespace

bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &problem)
{
    // Windows programs under Wine need Windows paths; one given in that form is taken as it is.
    if (localPath.empty() || isWindowsFormPath(localPath)) {
        registryPath = localPath;
        return true;
    }
    const std::string unixPath = absoluteUnixPath(localPath);
    const std::string prefix = winreg::locateHive().prefix;
    if (winreg::windowsFormOfPath(prefix, unixPath, registryPath))
        return true;
    problem = "No drive of the Wine prefix '" + prefix + "' leads to '" + unixPath + "'";
    return false;
}

std::string localFormOfPath(const std::string &path)
{
    return winreg::unixFormOfPath(winreg::locateHive().prefix, path);
}

#endif
