#include "journal.h"

#include "registry.h"
#include "winreg/unicode.h"

#include <cstdio>

namespace {

// Key paths and value names compare as the registry compares them: folded as Wine folds them.
bool sameName(const std::string &a, const std::string &b)
{
    return winreg::foldCase(winreg::utf8ToUtf16(a)) == winreg::foldCase(winreg::utf8ToUtf16(b));
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
std::string shownValueImpl(const StoredValue &value)
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

} // namespace

std::string shownValue(const StoredValue &value) { return shownValueImpl(value); }

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

void Journal::start(bool dryRun)
{
    m_dryRun = dryRun;
    discard();
}

void Journal::discard()
{
    m_changes.clear();
    m_createdKeys.clear();
}

Journal::ValueChange *Journal::changeOf(const std::string &keyPath, const std::string &name)
{
    for (ValueChange &change : m_changes)
        if (sameName(change.keyPath, keyPath) && sameName(change.name, name))
            return &change;
    return nullptr;
}

void Journal::createKey(const std::string &path) { m_createdKeys.push_back(path); }

LONG Journal::keyExists(const std::string &path)
{
    for (const std::string &created : m_createdKeys)
        if (sameName(created, path))
            return ERROR_SUCCESS;
    return m_registry->keyExists(path);
}

LONG Journal::read(const std::string &path, const std::string &name, StoredValue &value)
{
    if (const ValueChange *held = changeOf(path, name)) {
        value = held->after;
        return value.present ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    const LONG status = m_registry->read(path, name, value);
    if (status != ERROR_SUCCESS)
        value = StoredValue();
    return status;
}

LONG Journal::write(const std::string &path, const std::string &name, const StoredValue &after)
{
    if (ValueChange *earlier = changeOf(path, name)) {
        if (!after.present && !earlier->after.present)
            return ERROR_FILE_NOT_FOUND;
        earlier->after = after;
        return ERROR_SUCCESS;
    }
    StoredValue before;
    const LONG found = m_registry->read(path, name, before);
    if (found != ERROR_SUCCESS && found != ERROR_FILE_NOT_FOUND)
        return found;
    if (!after.present && !before.present)
        return ERROR_FILE_NOT_FOUND;
    m_changes.push_back({path, name, before, after});
    return ERROR_SUCCESS;
}

// The run's net changes reach the registry in the order first made; a dry run
// saves nothing. Where the registry takes each write at once (Windows), a
// failure after some went through leaves those in place.
SaveResult Journal::save()
{
    if (m_dryRun) {
        m_registry->release();
        return SaveResult::Saved;
    }
    bool written = false;
    for (const ValueChange &change : m_changes) {
        if (change.before == change.after)
            continue;
        if (m_registry->write(change.keyPath, change.name, change.after) != ERROR_SUCCESS) {
            // Nothing more is written: what the registry holds unsaved is dropped.
            m_registry->release();
            return written && !registryHoldsWritesUntilSave() ? SaveResult::WrittenAtRisk : SaveResult::NotWritten;
        }
        written = true;
    }
    return m_registry->save();
}

bool Journal::changed() const
{
    for (const auto &change : m_changes)
        if (change.before != change.after)
            return true;
    return false;
}

std::vector<std::string> Journal::changeLines() const
{
    std::vector<std::string> lines;
    for (const auto &change : m_changes) {
        if (change.before == change.after)
            continue;
        const std::string where = "HKEY_CURRENT_USER\\" + change.keyPath + " " + quoted(change.name);
        if (!change.before.present)
            lines.push_back("create " + where + ": " + shownValue(change.after));
        else if (!change.after.present)
            lines.push_back("delete " + where + ": " + shownValue(change.before));
        else
            lines.push_back("set " + where + ": " + shownValue(change.before) + " -> " + shownValue(change.after));
    }
    return lines;
}
