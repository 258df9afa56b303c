#include "registry.h"

#include "journal.h"
#include "winreg/numberbytes.h"
#include "winreg/unicode.h"

#include <cstdio>
#include <cstring>
#include <vector>

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

std::string subKeyPath(HKEY root, const char *subKey)
{
    const std::string parent = journal::pathOf(root);
    return parent.empty() ? subKey : parent + "\\" + subKey;
}

} // namespace

LONG regOpen(HKEY root, const char *subKey, HKEY *key)
{
    if (journal::pretendKey(subKeyPath(root, subKey), false, *key))
        return ERROR_SUCCESS;
    const LONG status = RegOpenKeyExA(root, subKey, 0, KEY_ALL_ACCESS, key);
    if (status == ERROR_SUCCESS)
        journal::keyOpened(*key, subKeyPath(root, subKey));
    return status;
}

LONG regCreate(HKEY root, const char *subKey, HKEY *key)
{
    // A run that holds its writes creates nothing yet: a missing key is one it pretends to have made.
    if (regOpen(root, subKey, key) == ERROR_SUCCESS || journal::pretendKey(subKeyPath(root, subKey), true, *key))
        return ERROR_SUCCESS;
    DWORD disposition = 0; // created or opened: nobody needs to know
    const LONG status = RegCreateKeyExA(root, subKey, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                                        key, &disposition);
    if (status == ERROR_SUCCESS)
        journal::keyOpened(*key, subKeyPath(root, subKey));
    return status;
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
    return writeValue(key, valueName, REG_SZ, journal::storedText(text) + std::string(2, '\0'));
}

LONG regSetBinary(HKEY key, const char *valueName, const void *data, DWORD size)
{
    return writeValue(key, valueName, REG_BINARY, std::string(static_cast<const char *>(data), size));
}

LONG regDeleteValue(HKEY key, const char *valueName) { return journal::change(key, valueName, {}); }

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

LONG regClose(HKEY key)
{
    const bool pretended = journal::isPretended(key);
    journal::keyClosed(key);
    return pretended ? ERROR_SUCCESS : RegCloseKey(key);
}

LONG readText(HKEY key, const char *valueName, std::string &text, size_t bufferSize)
{
    text.clear();
    DWORD type = REG_NONE;
    std::string stored;
    const LONG status = readValue(key, valueName, type, stored);
    if (status != ERROR_SUCCESS)
        return status;
    std::string read = isStringType(type) ? journal::textOfStored(stored) : stored.substr(0, stored.find('\0'));
    if (textLength(read) >= bufferSize)
        return ERROR_MORE_DATA;
    text = std::move(read);
    return ERROR_SUCCESS;
}

size_t textLength(const std::string &text) { return winreg::utf8ToUtf16(text).size(); }

LONG readValue(HKEY key, const char *valueName, DWORD &type, std::string &data)
{
    return journal::read(key, valueName, type, data);
}

LONG writeValue(HKEY key, const char *valueName, DWORD type, const std::string &data)
{
    // Windows stores a string whose size leaves out its terminator with one when
    // a NUL character follows the data: it is given here, and the journal notes what is stored.
    const bool unterminated = data.size() >= 2 && data.size() % 2 == 0 && data.compare(data.size() - 2, 2, std::string(2, '\0')) != 0;
    if (isStringType(type) && unterminated)
        return journal::change(key, valueName, {true, type, data + std::string(2, '\0')});
    return journal::change(key, valueName, {true, type, data});
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
