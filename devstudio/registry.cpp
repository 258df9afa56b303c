#include "registry.h"

#include "journal.h"
#include "winreg/numberbytes.h"
#include "winreg/unicode.h"

#include <cstdio>
#include <cstring>
#include <map>

std::string codePageProblem(const char *variable, unsigned character, unsigned codePage)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "%s holds the character U+%04X, which Developer Studio cannot read in the ANSI code page %u",
                  variable, character, codePage);
    return text;
}

namespace {

bool isStringType(DWORD type) { return type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ; }

// The layer's keys: each handle it gives out names a key path, here and nowhere else.
struct OpenKeys {
    std::map<HKEY, std::string> paths;
    uintptr_t next = 0x1000;
};

OpenKeys &openKeys()
{
    static OpenKeys keys;
    return keys;
}

// The path a handle names: "" for HKEY_CURRENT_USER; false for one the layer did not give out.
bool pathOf(HKEY key, std::string &path)
{
    if (key == HKEY_CURRENT_USER) {
        path.clear();
        return true;
    }
    const auto found = openKeys().paths.find(key);
    if (found == openKeys().paths.end())
        return false;
    path = found->second;
    return true;
}

bool subKeyPath(HKEY root, const char *subKey, std::string &path)
{
    if (!pathOf(root, path))
        return false;
    std::string sub = subKey ? subKey : "";
    // A run of backslashes separates as one, and trailing ones end nothing, as
    // the registry reads a path: one key, one spelling for the run's writes.
    for (size_t run; (run = sub.find("\\\\")) != std::string::npos;)
        sub.erase(run, 1);
    while (sub.size() > 1 && sub.back() == '\\')
        sub.pop_back();
    path = path.empty() ? sub : sub.empty() ? path : path + "\\" + sub;
    return true;
}

HKEY newHandle(const std::string &path)
{
    const HKEY key = reinterpret_cast<HKEY>(openKeys().next);
    openKeys().next += 4;
    openKeys().paths[key] = path;
    return key;
}

KeyStore *interposed = nullptr;

} // namespace

namespace {

Journal &runJournal()
{
    static Journal journal(machineRegistry());
    return journal;
}

} // namespace

KeyStore &runRegistry() { return runJournal(); }

KeyStore &layerRegistry() { return interposed ? *interposed : runJournal(); }

void interposeRegistry(KeyStore *store) { interposed = store; }

std::string storedText(const std::string &text) { return winreg::utf16leBytes(winreg::utf8ToUtf16(text)); }

std::string textOfStored(const std::string &stored)
{
    const std::u16string units = winreg::utf16FromBytes(stored);
    return winreg::utf16ToUtf8(std::u16string_view(units).substr(0, units.find(u'\0')));
}

LONG regOpen(HKEY root, const char *subKey, HKEY *key)
{
    *key = nullptr;
    std::string path;
    if (!subKeyPath(root, subKey, path))
        return ERROR_INVALID_HANDLE;
    const LONG status = layerRegistry().keyExists(path);
    if (status == ERROR_SUCCESS)
        *key = newHandle(path);
    return status;
}

LONG regCreate(HKEY root, const char *subKey, HKEY *key)
{
    // The run creates nothing yet: a missing key is made when a value is saved in it.
    const LONG status = regOpen(root, subKey, key);
    if (status != ERROR_FILE_NOT_FOUND)
        return status;
    std::string path;
    subKeyPath(root, subKey, path);
    runJournal().createKey(path);
    *key = newHandle(path);
    return ERROR_SUCCESS;
}

LONG regQuery(HKEY key, const char *valueName, void *data, DWORD *size)
{
    DWORD type = REG_NONE;
    std::string stored;
    const LONG status = readValue(key, valueName, type, stored);
    if (status != ERROR_SUCCESS)
        return status;
    const bool fits = stored.size() <= *size;
    if (fits)
        std::memcpy(data, stored.data(), stored.size());
    *size = static_cast<DWORD>(stored.size());
    return fits ? ERROR_SUCCESS : ERROR_MORE_DATA;
}

LONG regSetString(HKEY key, const char *valueName, const char *text)
{
    return writeValue(key, valueName, REG_SZ, storedText(text) + std::string(2, '\0'));
}

LONG regSetBinary(HKEY key, const char *valueName, const void *data, DWORD size)
{
    return writeValue(key, valueName, REG_BINARY, std::string(static_cast<const char *>(data), size));
}

LONG regDeleteValue(HKEY key, const char *valueName)
{
    std::string path;
    if (!pathOf(key, path))
        return ERROR_INVALID_HANDLE;
    return layerRegistry().write(path, valueName ? valueName : "", StoredValue());
}

RegistryKey::RegistryKey(const char *subKey, Opening opening)
{
    const LONG status = opening == Create ? regCreate(HKEY_CURRENT_USER, subKey, &m_key) : regOpen(HKEY_CURRENT_USER, subKey, &m_key);
    if (status != ERROR_SUCCESS)
        m_key = nullptr;
}

RegistryKey::~RegistryKey()
{
    if (m_key)
        regClose(m_key);
}

LONG regClose(HKEY key) { return openKeys().paths.erase(key) ? ERROR_SUCCESS : ERROR_INVALID_HANDLE; }

LONG readText(HKEY key, const char *valueName, std::string &text, size_t bufferSize)
{
    text.clear();
    DWORD type = REG_NONE;
    std::string stored;
    const LONG status = readValue(key, valueName, type, stored);
    if (status != ERROR_SUCCESS)
        return status;
    std::string read = isStringType(type) ? textOfStored(stored) : stored.substr(0, stored.find('\0'));
    if (textLength(read) >= bufferSize)
        return ERROR_MORE_DATA;
    text = std::move(read);
    return ERROR_SUCCESS;
}

size_t textLength(const std::string &text) { return winreg::utf8ToUtf16(text).size(); }

LONG readValue(HKEY key, const char *valueName, DWORD &type, std::string &data)
{
    std::string path;
    if (!pathOf(key, path))
        return ERROR_INVALID_HANDLE;
    StoredValue value;
    const LONG status = layerRegistry().read(path, valueName ? valueName : "", value);
    type = value.type;
    data = std::move(value.data);
    return status;
}

LONG writeValue(HKEY key, const char *valueName, DWORD type, const std::string &data)
{
    std::string path;
    if (!pathOf(key, path))
        return ERROR_INVALID_HANDLE;
    // A string is stored with its terminator, as Windows stores one whose size
    // leaves it out when a NUL follows the data: the one place that rule lives.
    const bool unterminated = data.size() >= 2 && data.size() % 2 == 0 && data.compare(data.size() - 2, 2, std::string(2, '\0')) != 0;
    const std::string stored = isStringType(type) && unterminated ? data + std::string(2, '\0') : data;
    return layerRegistry().write(path, valueName ? valueName : "", {true, type, stored});
}

LONG readNumber(HKEY key, const char *valueName, int32_t &number)
{
    DWORD type = REG_NONE;
    std::string stored;
    const LONG status = readValue(key, valueName, type, stored);
    if (status != ERROR_SUCCESS)
        return status;
    // As read into 4 bytes: a longer value does not fit, whatever its type.
    if (stored.size() > 4)
        return ERROR_MORE_DATA;
    if (type != REG_DWORD)
        return ERROR_INVALID_DATA;
    unsigned char bytes[4] = {0, 0, 0, 0};
    std::memcpy(bytes, stored.data(), stored.size());
    number = static_cast<int32_t>(numberFromBytes(bytes));
    return ERROR_SUCCESS;
}

LONG writeNumber(HKEY key, const char *valueName, int32_t number)
{
    const auto bytes = bytesOfNumber(static_cast<uint32_t>(number));
    return writeValue(key, valueName, REG_DWORD, std::string(bytes.begin(), bytes.end()));
}

// A Wine hive's keys are read in full when first used; the keys a run works on
// are read here, so that one that cannot be read stops the run before it begins.
bool registryUsable()
{
    KeyStore &registry = runJournal();
    if (registry.open() != ERROR_SUCCESS)
        return false;
    for (const char *subKey : {OptionsKey, ToolsKey, DirectoriesKey}) {
        StoredValue value;
        if (registry.read(subKey, "", value) == ERROR_BADDB)
            return false;
    }
    return true;
}

void startRegistryJournal(bool dryRun) { runJournal().start(dryRun); }

void registryDiscard()
{
    runJournal().discard();
    registryRelease();
}

bool registryChanged() { return runJournal().changed(); }
std::vector<std::string> registryChangeLines() { return runJournal().changeLines(); }
SaveResult registrySave() { return runJournal().save(); }
void registryRelease() { runJournal().release(); }
std::string registryLocation() { return runJournal().location(); }
std::string registryProblem() { return runJournal().problem(); }
bool registryHeld() { return runJournal().held(); }
