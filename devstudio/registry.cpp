#include "registry.h"

#include <cstring>

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

LONG readNumber(HKEY key, const char *valueName, int32_t &number)
{
    unsigned char bytes[4] = {0, 0, 0, 0};
    DWORD size = sizeof bytes;
    const LONG status = RegQueryValueExA(key, valueName, nullptr, nullptr, bytes, &size);
    if (status == ERROR_SUCCESS)
        number = static_cast<int32_t>(bytes[0] | bytes[1] << 8 | bytes[2] << 16 | uint32_t(bytes[3]) << 24);
    return status;
}

LONG writeNumber(HKEY key, const char *valueName, int32_t number)
{
    const auto value = static_cast<uint32_t>(number);
    const unsigned char bytes[4] = {static_cast<unsigned char>(value), static_cast<unsigned char>(value >> 8),
                                    static_cast<unsigned char>(value >> 16), static_cast<unsigned char>(value >> 24)};
    return RegSetValueExA(key, valueName, 0, REG_DWORD, bytes, sizeof bytes);
}

#ifdef _WIN32

bool registryUsable() { return true; }
std::string registryLocation() { return "HKEY_CURRENT_USER"; }
std::string registryProblem() { return std::string(); }
bool registrySave() { return RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS; }
void registryRelease() {}

bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &)
{
    registryPath = localPath;
    return true;
}

std::string localFormOfPath(const std::string &path) { return path; }

#else

#include "winreg/hivefile.h"
#include "winreg/wineprefix.h"

bool registryUsable() { return winregOpenHive() == ERROR_SUCCESS; }
std::string registryLocation() { return winregHivePath(); }
std::string registryProblem() { return winregProblem(); }
bool registrySave() { return RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS; }
void registryRelease() { winregRelease(); }

bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &problem)
{
    // Windows programs under Wine need Windows paths; other forms are taken as they are.
    if (localPath.empty() || localPath[0] != '/') {
        registryPath = localPath;
        return true;
    }
    const std::string prefix = winreg::locateHive().prefix;
    if (winreg::windowsFormOfPath(prefix, localPath, registryPath))
        return true;
    problem = "No drive of the Wine prefix '" + prefix + "' leads to '" + localPath + "'";
    return false;
}

std::string localFormOfPath(const std::string &path)
{
    return winreg::unixFormOfPath(winreg::locateHive().prefix, path);
}

#endif
