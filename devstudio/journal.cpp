#include "journal.h"

#include "winreg/unicode.h"

#include <cstdio>
#include <map>
#include <vector>

namespace journal {

namespace {

struct ValueChange {
    std::string keyPath;
    std::string name;
    StoredValue before; // as the run found it
    StoredValue after; // as the run left it
};

struct Journal {
    bool dryRun = false;
    bool holding = false; // writes kept here until the save, and read back from here
    std::map<HKEY, std::string> keyPaths;
    std::map<HKEY, std::string> pretendedKeys; // keys the run would create, while it holds its writes
    std::vector<ValueChange> changes; // one a value, in the order of first change
    uintptr_t nextPretendedKey = 0x7000;
};

Journal &state()
{
    static Journal instance;
    return instance;
}

// Key paths and value names compare as the registry compares them: folded as Wine folds them.
bool sameName(const std::string &a, const std::string &b)
{
    return winreg::foldCase(winreg::utf8ToUtf16(a)) == winreg::foldCase(winreg::utf8ToUtf16(b));
}

} // namespace

// A handle opened past the layer is named by its number.
std::string pathOf(HKEY key)
{
    if (key == HKEY_CURRENT_USER)
        return std::string();
    const auto found = state().keyPaths.find(key);
    if (found != state().keyPaths.end())
        return found->second;
    char name[32];
    std::snprintf(name, sizeof name, "(key %p)", static_cast<void *>(key));
    return name;
}

namespace {

// A value's name for the wide functions, kept while the call lasts.
class WideName {
public:
    explicit WideName(const char *name) : m_name(winreg::utf8ToUtf16(name ? name : "")) {}
    LPCWSTR get() const { return reinterpret_cast<LPCWSTR>(m_name.c_str()); }

private:
    std::u16string m_name;
};

ValueChange *changeOf(const std::string &keyPath, const std::string &name)
{
    for (ValueChange &change : state().changes)
        if (sameName(change.keyPath, keyPath) && sameName(change.name, name))
            return &change;
    return nullptr;
}

StoredValue current(HKEY key, const char *name)
{
    StoredValue value;
    value.present = read(key, name, value.type, value.data) == ERROR_SUCCESS;
    return value;
}

std::string hexBytes(const std::string &data)
{
    std::string text;
    for (const unsigned char byte : data) {
        char pair[4];
        std::snprintf(pair, sizeof pair, text.empty() ? "%02x" : ",%02x", byte);
        text += pair;
    }
    return text;
}

// Whether data is a string with one terminator, at its end, and no NUL before it.
bool isPlainString(const std::string &data)
{
    if (data.size() < 2 || data.size() % 2 != 0)
        return false;
    for (size_t at = 0; at < data.size(); at += 2)
        if ((data[at] == '\0' && data[at + 1] == '\0') != (at + 2 == data.size()))
            return false;
    return true;
}

// The data as a line shows it: "text", dword:0000002a or hex(type):..
std::string shown(const StoredValue &value)
{
    const std::string &data = value.data;
    if (value.type == REG_SZ && isPlainString(data))
        return quoted(textOfStored(data));
    if (value.type == REG_DWORD && data.size() == 4) {
        char number[16];
        std::snprintf(number, sizeof number, "dword:%02x%02x%02x%02x", static_cast<unsigned char>(data[3]),
                      static_cast<unsigned char>(data[2]), static_cast<unsigned char>(data[1]),
                      static_cast<unsigned char>(data[0]));
        return number;
    }
    if (value.type == REG_BINARY)
        return "hex:" + hexBytes(data);
    char prefix[24];
    std::snprintf(prefix, sizeof prefix, "hex(%x):", static_cast<unsigned>(value.type));
    return prefix + hexBytes(data);
}

// Writes value, or deletes it when it is absent, in the registry itself.
LONG store(HKEY key, const std::string &name, const StoredValue &value)
{
    if (!value.present)
        return RegDeleteValueA(key, name.c_str());
    return RegSetValueExW(key, WideName(name.c_str()).get(), 0, value.type, reinterpret_cast<const BYTE *>(value.data.data()),
                          static_cast<DWORD>(value.data.size()));
}

} // namespace

std::string storedText(const std::string &text) { return winreg::utf16leBytes(winreg::utf8ToUtf16(text)); }

std::string textOfStored(const std::string &stored)
{
    const std::u16string units = winreg::utf16FromBytes(stored);
    return winreg::utf16ToUtf8(std::u16string_view(units).substr(0, units.find(u'\0')));
}

// Quotes and backslashes escaped, control characters as \n, \r, \t or in
// octal: a line splits at " -> " whatever the text holds.
std::string quoted(const std::string &text)
{
    std::string line = "\"";
    for (const char c : text) {
        const auto byte = static_cast<unsigned char>(c);
        char escape[8] = {'\\', c, '\0'};
        if (c == '\n' || c == '\r' || c == '\t')
            escape[1] = c == '\n' ? 'n' : c == '\r' ? 'r' : 't';
        else if (byte < 0x20 || byte == 0x7f)
            std::snprintf(escape, sizeof escape, "\\%03o", byte);
        else if (c != '"' && c != '\\')
            escape[0] = c, escape[1] = '\0';
        line += escape;
    }
    return line + "\"";
}

void keyOpened(HKEY key, const std::string &path) { state().keyPaths[key] = path; }

void keyClosed(HKEY key)
{
    state().keyPaths.erase(key);
    state().pretendedKeys.erase(key);
}

bool pretendKey(const std::string &path, bool create, HKEY &key)
{
    Journal &s = state();
    if (!s.holding)
        return false;
    bool madeBefore = false;
    for (const auto &[handle, pretendedPath] : s.pretendedKeys)
        madeBefore = madeBefore || sameName(pretendedPath, path);
    if (!create && !madeBefore)
        return false;
    key = reinterpret_cast<HKEY>(s.nextPretendedKey);
    s.nextPretendedKey += 4;
    s.pretendedKeys[key] = path;
    s.keyPaths[key] = path;
    return true;
}

bool isPretended(HKEY key) { return state().pretendedKeys.count(key) != 0; }

LONG read(HKEY key, const char *name, DWORD &type, std::string &data)
{
    data.clear();
    if (state().holding)
        if (const ValueChange *kept = changeOf(pathOf(key), name ? name : "")) {
            type = kept->after.type;
            data = kept->after.data;
            return kept->after.present ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
        }
    if (isPretended(key))
        return ERROR_FILE_NOT_FOUND;
    const WideName wideName(name);
    DWORD size = 0;
    LONG status = RegQueryValueExW(key, wideName.get(), nullptr, &type, nullptr, &size);
    // The value may grow between the two calls; then its new size is asked again.
    for (int attempt = 0; status == ERROR_SUCCESS && attempt < 3; ++attempt) {
        std::string bytes(size, '\0');
        status = RegQueryValueExW(key, wideName.get(), nullptr, &type, reinterpret_cast<BYTE *>(&bytes[0]), &size);
        if (status == ERROR_SUCCESS) {
            bytes.resize(size);
            data = std::move(bytes);
            return ERROR_SUCCESS;
        }
        if (status == ERROR_MORE_DATA)
            status = ERROR_SUCCESS;
    }
    return status == ERROR_SUCCESS ? ERROR_MORE_DATA : status;
}

LONG change(HKEY key, const char *name, const StoredValue &after)
{
    const std::string valueName = name ? name : "";
    const StoredValue before = current(key, name);
    LONG status = ERROR_SUCCESS;
    if (!state().holding)
        status = store(key, valueName, after);
    else if (!after.present && !before.present)
        status = ERROR_FILE_NOT_FOUND;
    if (status != ERROR_SUCCESS)
        return status;
    if (ValueChange *earlier = changeOf(pathOf(key), valueName))
        earlier->after = after;
    else
        state().changes.push_back({pathOf(key), valueName, before, after});
    return ERROR_SUCCESS;
}

LONG applyHeld(bool &written)
{
    written = false;
    if (state().dryRun || !state().holding)
        return ERROR_SUCCESS;
    for (const ValueChange &change : state().changes) {
        if (change.before == change.after)
            continue;
        HKEY key = nullptr;
        DWORD disposition = 0;
        LONG status = RegCreateKeyExA(HKEY_CURRENT_USER, change.keyPath.c_str(), 0, nullptr, REG_OPTION_NON_VOLATILE,
                                      KEY_ALL_ACCESS, nullptr, &key, &disposition);
        if (status == ERROR_SUCCESS) {
            status = store(key, change.name, change.after);
            RegCloseKey(key);
        }
        if (status != ERROR_SUCCESS)
            return status;
        written = true;
    }
    return ERROR_SUCCESS;
}

} // namespace journal

void startRegistryJournal(bool dryRun)
{
    journal::Journal fresh;
    fresh.dryRun = dryRun;
    fresh.holding = dryRun || !registryHoldsWritesUntilSave();
    fresh.keyPaths = std::move(journal::state().keyPaths);
    journal::state() = std::move(fresh);
}

void registryDiscard()
{
    journal::state().changes.clear();
    journal::state().pretendedKeys.clear();
    registryRelease();
}

bool registryChanged()
{
    for (const auto &change : journal::state().changes)
        if (!(change.before == change.after))
            return true;
    return false;
}

std::vector<std::string> registryChangeLines()
{
    std::vector<std::string> lines;
    for (const auto &change : journal::state().changes) {
        if (change.before == change.after)
            continue;
        const std::string where = "HKEY_CURRENT_USER\\" + change.keyPath + " " + journal::quoted(change.name);
        if (!change.before.present)
            lines.push_back("create " + where + ": " + journal::shown(change.after));
        else if (!change.after.present)
            lines.push_back("delete " + where + ": " + journal::shown(change.before));
        else
            lines.push_back("set " + where + ": " + journal::shown(change.before) + " -> " + journal::shown(change.after));
    }
    return lines;
}
