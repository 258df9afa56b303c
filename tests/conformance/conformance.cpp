// One set of assertions over the Win32 registry functions, run twice: natively
// against ideweave's Wine-hive store, and as a Windows program under Wine against
// the real advapi32. Both must agree. The Windows program also makes a key for
// every character a key name can hold; "conformance case-keys" then reads them
// through the store from the hive Wine saved.
#include "devstudio/registry.h"

#ifndef _WIN32
#include "winreg/unicode.h"
#endif

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what, int line)
{
    ok ? ++passed : ++failed;
    if (!ok)
        std::printf("FAIL line %d: %s\n", line, what);
}

#define CHECK(condition) check((condition), #condition, __LINE__)

const char *const base = "Software\\Ideweave Conformance";
#ifdef _WIN32 // Windows-1252, the ANSI code page of a Wine prefix run with LANG=C
const char *const eAcuteEuro = "\xe9\x80", *const smallLetters = "\xe9\x9a\xff", *const capitals = "\xc9\x8a\x9f";
#else
const char *const eAcuteEuro = "\xc3\xa9\xe2\x82\xac", *const smallLetters = "\xc3\xa9\xc5\xa1\xc3\xbf",
                  *const capitals = "\xc3\x89\xc5\xa0\xc5\xb8";
#endif
const std::string controls = std::string("\t\n\x1b\x01" "7 ") + smallLetters + "a"; // "a" could go on an escape
// The same characters as the layer takes them: in UTF-8 on every platform.
const std::string eAcuteEuroUtf8 = "\xc3\xa9\xe2\x82\xac", smallLettersUtf8 = "\xc3\xa9\xc5\xa1\xc3\xbf";
const std::string controlsUtf8 = std::string("\t\n\x1b\x01" "7 ") + smallLettersUtf8 + "a";

// A value as its type and bytes, read into a buffer of 256 bytes filled with 'Z'; "" when it cannot be read.
std::string read(HKEY key, const char *name, DWORD bufferSize = 256)
{
    char buffer[256];
    std::memset(buffer, 'Z', sizeof buffer);
    DWORD size = bufferSize, type = 0;
    if (RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size) != ERROR_SUCCESS)
        return std::string();
    return std::to_string(type) + ":" + std::string(buffer, size < sizeof buffer ? size + 1 : size);
}

void keys()
{
    HKEY key = reinterpret_cast<HKEY>(1), other = nullptr;
    CHECK(regOpen(HKEY_CURRENT_USER, "Software\\Ideweave Conformance\\Missing", &key) == ERROR_FILE_NOT_FOUND);
    CHECK(key == nullptr);
    DWORD disposition = 0;
    CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Ideweave Conformance\\A\\B", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, &disposition) == ERROR_SUCCESS);
    CHECK(disposition == REG_CREATED_NEW_KEY && regClose(key) == ERROR_SUCCESS);
    CHECK(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ideweave conformance\\a\\b", 0, nullptr, 0, KEY_ALL_ACCESS,
                          nullptr, &key, &disposition) == ERROR_SUCCESS);
    CHECK(disposition == REG_OPENED_EXISTING_KEY && regClose(key) == ERROR_SUCCESS);
    // The keys along the path were made too, and names match without regard to case.
    CHECK(regOpen(HKEY_CURRENT_USER, "software\\IDEWEAVE CONFORMANCE\\A", &key) == ERROR_SUCCESS);
    CHECK(regOpen(key, "b", &other) == ERROR_SUCCESS);
    CHECK(regClose(other) == ERROR_SUCCESS && regClose(key) == ERROR_SUCCESS);
}

void strings(HKEY key)
{
    CHECK(regSetString(key, "Text", "hello") == ERROR_SUCCESS);
    DWORD size = 0;
    CHECK(RegQueryValueExA(key, "Text", nullptr, nullptr, nullptr, &size) == ERROR_SUCCESS && size == 6);
    CHECK(read(key, "Text") == std::string("1:hello\0Z", 9));
    char small[5];
    size = sizeof small;
    CHECK(regQuery(key, "Text", small, &size) == ERROR_MORE_DATA && size == 12); // the layer reads strings as stored
    CHECK(regSetString(key, "Empty", "") == ERROR_SUCCESS && read(key, "Empty") == std::string("1:\0Z", 4));
    // Names match without regard to case; they may hold '#', blanks and parentheses.
    CHECK(regSetString(key, "MenuName#0 (x86)", "first") == ERROR_SUCCESS);
    CHECK(regSetString(key, "MENUNAME#0 (X86)", "second") == ERROR_SUCCESS);
    CHECK(read(key, "menuname#0 (x86)") == std::string("1:second\0Z", 10));
    // Text beyond ASCII, in the platform's 8-bit encoding, comes back as the same bytes.
    CHECK(regSetString(key, eAcuteEuroUtf8.c_str(), ("caf" + eAcuteEuroUtf8).c_str()) == ERROR_SUCCESS);
    CHECK(read(key, eAcuteEuro) == "1:caf" + std::string(eAcuteEuro) + std::string("\0Z", 2));
    CHECK(regSetString(key, "Controls", controlsUtf8.c_str()) == ERROR_SUCCESS && read(key, "Controls") == "1:" + controls + std::string("\0Z", 2));
    // Letters beyond ASCII match their capitals too (é, š and ÿ here).
    CHECK(regSetString(key, smallLettersUtf8.c_str(), "x") == ERROR_SUCCESS && read(key, capitals) == std::string("1:x\0Z", 5));
    // Characters that the ANSI code page lacks (Cyrillic under 1252) are kept by
    // the layer, read, written and moved as they are stored.
    const std::string debugger = "\xd0\x9e\xd1\x82\xd0\xbb\xd0\xb0\xd0\xb4\xd1\x87\xd0\xb8\xd0\xba"; // Отладчик
    std::string text;
    CHECK(regSetString(key, "Cyrillic", debugger.c_str()) == ERROR_SUCCESS);
    CHECK(readText(key, "Cyrillic", text, 255) == ERROR_SUCCESS && text == debugger);
    DWORD type = REG_NONE;
    std::string stored;
    CHECK(readValue(key, "Cyrillic", type, stored) == ERROR_SUCCESS && type == REG_SZ && stored.size() == 18);
    CHECK(writeValue(key, "Cyrillic moved", type, stored) == ERROR_SUCCESS);
    CHECK(readText(key, "Cyrillic moved", text, 255) == ERROR_SUCCESS && text == debugger);
    // Lengths count characters: eight of them fill a buffer of nine, not one of eight.
    CHECK(readText(key, "Cyrillic", text, 8) == ERROR_MORE_DATA && text.empty());
    CHECK(readText(key, "Cyrillic", text, 9) == ERROR_SUCCESS && text == debugger);
    // A string stored without its terminator reads back without one; the caller
    // gets a terminator where the buffer has room, and readText always ends its text.
    CHECK(RegSetValueExA(key, "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE *>("abcX"), 3) == ERROR_SUCCESS);
    CHECK(read(key, "Unterminated") == std::string("1:abc\0", 6));
    CHECK(read(key, "Unterminated", 3) == "1:abcZ");
    CHECK(readText(key, "Unterminated", text, 255) == ERROR_SUCCESS && text == "abc");
}

void numbersAndBytes(HKEY key)
{
    int32_t number = 0;
    CHECK(writeNumber(key, "NumTools", -7) == ERROR_SUCCESS && read(key, "NumTools") == std::string("4:\xf9\xff\xff\xffZ", 7));
    CHECK(readNumber(key, "NumTools", number) == ERROR_SUCCESS && number == -7);
    // A number read into 4 bytes from a longer value fails for lack of room.
    CHECK(regSetString(key, "Long", "more than four bytes") == ERROR_SUCCESS);
    CHECK(readNumber(key, "Long", number) == ERROR_MORE_DATA);
    const BYTE marker = 0;
    CHECK(regSetBinary(key, "ACTIVATION", &marker, 1) == ERROR_SUCCESS && read(key, "ACTIVATION", 25) == std::string("3:\0Z", 4));
    // A 2-byte value of type REG_DWORD keeps its 2 bytes; a number read fills the low bytes.
    const BYTE shortNumber[2] = {5, 1};
    CHECK(RegSetValueExA(key, "Short", 0, REG_DWORD, shortNumber, 2) == ERROR_SUCCESS);
    CHECK(read(key, "Short") == std::string("4:\x05\x01Z", 5));
    CHECK(readNumber(key, "Short", number) == ERROR_SUCCESS && number == 0x105);
    // Other types keep their bytes; a long list of them is written on several lines.
    BYTE bytes[64];
    for (int i = 0; i < 64; ++i)
        bytes[i] = BYTE(i * 5);
    CHECK(RegSetValueExA(key, "Expand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>("%P%"), 4) == ERROR_SUCCESS);
    CHECK(RegSetValueExA(key, "Multi", 0, REG_MULTI_SZ, reinterpret_cast<const BYTE *>("a\0b\0"), 5) == ERROR_SUCCESS);
    CHECK(RegSetValueExA(key, "Bytes", 0, 0x1c, bytes, sizeof bytes) == ERROR_SUCCESS && read(key, "Bytes") == "28:" + std::string(reinterpret_cast<const char *>(bytes), 64) + "Z");
}

void deletions(HKEY key)
{
    CHECK(regSetString(key, "Doomed", "x") == ERROR_SUCCESS && regDeleteValue(key, "DOOMED") == ERROR_SUCCESS);
    CHECK(regDeleteValue(key, "Doomed") == ERROR_FILE_NOT_FOUND);
    DWORD size = 0;
    CHECK(RegQueryValueExA(key, "Doomed", nullptr, nullptr, nullptr, &size) == ERROR_FILE_NOT_FOUND);
    CHECK(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size) == ERROR_FILE_NOT_FOUND);
}

// Every character a key name can hold names a key; those the registry takes as
// one are one key, holding the number of the last. advapi32 makes them; the store
// must then load the hive Wine saved (it refuses a key that it takes to be there
// twice) and open for each name the key that Wine made of it.
void caseKeys()
{
    for (unsigned c = 0x20; c <= 0xFFFF; ++c) {
        HKEY key = nullptr;
        int32_t last = 0;
        if (c == '\\' || (c >= 0xD800 && c <= 0xDFFF))
            continue;
#ifdef _WIN32
        const std::wstring name = L"Software\\Ideweave Case\\" + std::wstring(1, wchar_t(c));
        CHECK(RegCreateKeyExW(HKEY_CURRENT_USER, name.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) == ERROR_SUCCESS &&
              writeNumber(key, "n", int32_t(c)) == ERROR_SUCCESS && regClose(key) == ERROR_SUCCESS);
#else
        std::string name = "Software\\Ideweave Case\\";
        winreg::appendUtf8(name, c);
        CHECK(regOpen(HKEY_CURRENT_USER, name.c_str(), &key) == ERROR_SUCCESS && readNumber(key, "n", last) == ERROR_SUCCESS &&
              winreg::foldCase(char16_t(last)) == winreg::foldCase(char16_t(c)) && regClose(key) == ERROR_SUCCESS);
#endif
    }
}

// Where the store answers as Wine's advapi32 does. Wine is the judge: rows where
// it parts from Windows' documentation say so.
void keyPathsAndHandles(HKEY key)
{
    HKEY sub = nullptr, same = nullptr;
    // Trailing backslashes end nothing, and a run of them separates as one.
    CHECK(RegCreateKeyExA(key, "Sub\\\\", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) == ERROR_SUCCESS);
    CHECK(regSetString(sub, "In", "sub") == ERROR_SUCCESS && regClose(sub) == ERROR_SUCCESS);
    CHECK(RegOpenKeyExA(key, "Sub\\\\", 0, KEY_ALL_ACCESS, &sub) == ERROR_SUCCESS && read(sub, "In") == std::string("1:sub\0Z", 7));
    CHECK(regClose(sub) == ERROR_SUCCESS);
    CHECK(RegCreateKeyExA(key, "Two\\\\Parts", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) == ERROR_SUCCESS);
    CHECK(regClose(sub) == ERROR_SUCCESS && regOpen(key, "Two\\Parts", &sub) == ERROR_SUCCESS && regClose(sub) == ERROR_SUCCESS);
    CHECK(RegCreateKeyExA(key, "\\Lead", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) == ERROR_BAD_PATHNAME);
    // No sub-key of HKEY_CURRENT_USER is the key itself; a null key leaves the result as it was.
    sub = reinterpret_cast<HKEY>(4);
    CHECK(RegOpenKeyExA(HKEY_CURRENT_USER, nullptr, 0, KEY_ALL_ACCESS, &sub) == ERROR_SUCCESS && sub == HKEY_CURRENT_USER);
    CHECK(RegOpenKeyExA(HKEY_CURRENT_USER, "", 0, KEY_ALL_ACCESS, &same) == ERROR_SUCCESS && same == HKEY_CURRENT_USER);
    sub = reinterpret_cast<HKEY>(4);
    CHECK(RegOpenKeyExA(nullptr, "Software", 0, KEY_ALL_ACCESS, &sub) == ERROR_INVALID_HANDLE && sub == reinterpret_cast<HKEY>(4));
    CHECK(RegCreateKeyExA(nullptr, "Software", 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &sub, nullptr) == ERROR_INVALID_HANDLE &&
          sub == reinterpret_cast<HKEY>(4));
    // A 64-bit program may pass HKEY_CURRENT_USER sign-extended, or with other upper bits.
    const uintptr_t currentUser = reinterpret_cast<uintptr_t>(HKEY_CURRENT_USER);
    const HKEY signExtended = reinterpret_cast<HKEY>(uintptr_t(intptr_t(int32_t(uint32_t(currentUser)))));
    const HKEY upperBits = reinterpret_cast<HKEY>(currentUser | uintptr_t(0x1234567800000000ull));
    for (HKEY root : {signExtended, upperBits}) {
        CHECK(RegOpenKeyExA(root, base, 0, KEY_ALL_ACCESS, &sub) == ERROR_SUCCESS && regClose(sub) == ERROR_SUCCESS);
        CHECK(RegCloseKey(root) == ERROR_SUCCESS);
    }
}

void valuesAsWineAnswers(HKEY key)
{
    // A string whose size leaves out the final NUL that follows it is stored with the NUL.
    const char fifteen[] = "fifteen bytes!!";
    CHECK(RegSetValueExA(key, "Uncounted", 0, REG_SZ, reinterpret_cast<const BYTE *>(fifteen), 15) == ERROR_SUCCESS);
    char small[10];
    DWORD size = sizeof small, type = 77;
    CHECK(RegQueryValueExA(key, "Uncounted", nullptr, &type, reinterpret_cast<BYTE *>(small), &size) == ERROR_MORE_DATA &&
          size == 16 && type == REG_SZ);
    CHECK(RegSetValueExA(key, "UncountedExpand", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>(fifteen), 15) == ERROR_SUCCESS);
    CHECK(read(key, "UncountedExpand") == "2:" + std::string(fifteen, 16) + "Z");
    // A missing value: no type, and no size when no data were asked for (the buffer's size stays).
    size = 77, type = 77;
    CHECK(RegQueryValueExA(key, "Missing", nullptr, &type, nullptr, &size) == ERROR_FILE_NOT_FOUND && type == 0 && size == 0);
    size = sizeof small;
    CHECK(RegQueryValueExA(key, "Missing", nullptr, &type, reinterpret_cast<BYTE *>(small), &size) == ERROR_FILE_NOT_FOUND &&
          size == sizeof small);
    // One variable for the type and the size: its size is read before the type is written.
    DWORD typeAndSize = 32;
    char big[32];
    CHECK(RegQueryValueExA(key, "Uncounted", nullptr, &typeAndSize, reinterpret_cast<BYTE *>(big), &typeAndSize) == ERROR_SUCCESS &&
          typeAndSize == 16);
    // NULs inside a string are data.
    const char nuls[] = "This\0Breaks\0\0A\0\0\0Lot\0\0\0";
    CHECK(RegSetValueExA(key, "Nuls", 0, REG_SZ, reinterpret_cast<const BYTE *>(nuls), sizeof nuls) == ERROR_SUCCESS);
    CHECK(read(key, "Nuls") == "1:" + std::string(nuls, sizeof nuls) + "Z");
    CHECK(RegSetValueExA(key, "ExpandNuls", 0, REG_EXPAND_SZ, reinterpret_cast<const BYTE *>(nuls), sizeof nuls) == ERROR_SUCCESS);
    // A value name may hold 16,383 characters, and no more.
    const std::string longest(16383, 'n');
    CHECK(regSetString(key, longest.c_str(), "x") == ERROR_SUCCESS && read(key, longest.c_str()) == std::string("1:x\0Z", 5));
    CHECK(regDeleteValue(key, longest.c_str()) == ERROR_SUCCESS);
    CHECK(regSetString(key, (longest + "n").c_str(), "x") == ERROR_INVALID_PARAMETER);
    CHECK(RegQueryValueExA(key, (longest + "n").c_str(), nullptr, nullptr, nullptr, &size) == ERROR_FILE_NOT_FOUND);
}

// Every value of the base key, as read() shows it, before the registry is flushed and after.
const char *const valueNames[] = {"Text", "Empty", "MenuName#0 (x86)", "Controls", "Unterminated", "NumTools", "Long", "ACTIVATION",
                                  "Short", "Expand", "Multi", "Bytes", "Uncounted", "UncountedExpand", "Nuls", "ExpandNuls", nullptr};
std::string everyValue(HKEY key)
{
    std::string all = read(key, eAcuteEuro) + "|" + read(key, smallLetters);
    for (const char *name : valueNames)
        all += "|" + read(key, name);
    return all;
}

void handlesAndPersistence()
{
    HKEY key = nullptr;
    CHECK(regOpen(HKEY_CURRENT_USER, base, &key) == ERROR_SUCCESS && regClose(key) == ERROR_SUCCESS);
    CHECK(regClose(key) == ERROR_INVALID_HANDLE && regSetString(key, "x", "y") == ERROR_INVALID_HANDLE);
    CHECK(regSetString(nullptr, "x", "y") == ERROR_INVALID_HANDLE);
    // Every value form comes back as it was after the registry was flushed, and so does the key named with backslashes.
    CHECK(regOpen(HKEY_CURRENT_USER, base, &key) == ERROR_SUCCESS && regSetString(key, nullptr, "default") == ERROR_SUCCESS);
    const std::string before = everyValue(key);
    CHECK(regClose(key) == ERROR_SUCCESS);
    CHECK(RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS && regOpen(HKEY_CURRENT_USER, base, &key) == ERROR_SUCCESS);
    CHECK(read(key, "Text") == std::string("1:hello\0Z", 9) && everyValue(key) == before);
    HKEY sub = nullptr;
    CHECK(regOpen(key, "Sub", &sub) == ERROR_SUCCESS && read(sub, "In") == std::string("1:sub\0Z", 7) && regClose(sub) == ERROR_SUCCESS);
    CHECK(regClose(key) == ERROR_SUCCESS);
}

} // namespace

int main(int argc, char **argv)
{
    const bool readCaseKeys = argc == 2 && std::strcmp(argv[1], "case-keys") == 0;
    HKEY key = nullptr;
    if (!readCaseKeys) {
        keys();
        CHECK(regOpen(HKEY_CURRENT_USER, base, &key) == ERROR_SUCCESS);
        strings(key);
        numbersAndBytes(key);
        deletions(key);
        keyPathsAndHandles(key);
        valuesAsWineAnswers(key);
        CHECK(regClose(key) == ERROR_SUCCESS);
        handlesAndPersistence();
    }
#ifdef _WIN32
    caseKeys();
#else
    if (readCaseKeys)
        caseKeys();
#endif
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
