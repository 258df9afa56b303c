// One set of assertions over the Win32 registry functions, run twice: natively
// against ideweave's Wine-hive store, and as a Windows program under Wine against
// the real advapi32. Both must agree; where they could differ, the comment says
// which behaviour Windows has.
#include "devstudio/registry.h"

#include <cstdio>
#include <cstring>
#include <string>

namespace {

int passed = 0;
int failed = 0;

void check(bool ok, const char *what, int line)
{
    if (ok) {
        ++passed;
    } else {
        ++failed;
        std::printf("FAIL line %d: %s\n", line, what);
    }
}

#define CHECK(condition) check((condition), #condition, __LINE__)
#define CHECK_STATUS(call, expected) check((call) == (expected), #call " == " #expected, __LINE__)

const char *const base = "Software\\Ideweave Conformance";

#ifdef _WIN32
// Windows-1252, the ANSI code page of a Wine prefix run with LANG=C.
const char *const eAcuteEuro = "\xe9\x80";
#else
const char *const eAcuteEuro = "\xc3\xa9\xe2\x82\xac";
#endif

std::string readString(HKEY key, const char *name, LONG &status, DWORD &size, DWORD &type)
{
    char buffer[256];
    std::memset(buffer, 'Z', sizeof buffer);
    size = sizeof buffer;
    status = RegQueryValueExA(key, name, nullptr, &type, reinterpret_cast<BYTE *>(buffer), &size);
    return status == ERROR_SUCCESS ? std::string(buffer, size) : std::string();
}

void keys()
{
    HKEY key = reinterpret_cast<HKEY>(1);
    CHECK_STATUS(regOpen(HKEY_CURRENT_USER, "Software\\Ideweave Conformance\\Missing", &key), ERROR_FILE_NOT_FOUND);
    CHECK(key == nullptr);

    DWORD disposition = 0;
    HKEY created = nullptr;
    CHECK_STATUS(RegCreateKeyExA(HKEY_CURRENT_USER, "Software\\Ideweave Conformance\\A\\B\\C", 0, nullptr, 0,
                                 KEY_ALL_ACCESS, nullptr, &created, &disposition),
                 ERROR_SUCCESS);
    CHECK(disposition == REG_CREATED_NEW_KEY);
    CHECK_STATUS(regClose(created), ERROR_SUCCESS);
    CHECK_STATUS(RegCreateKeyExA(HKEY_CURRENT_USER, "SOFTWARE\\ideweave conformance\\a\\b\\c", 0, nullptr, 0,
                                 KEY_ALL_ACCESS, nullptr, &created, &disposition),
                 ERROR_SUCCESS);
    CHECK(disposition == REG_OPENED_EXISTING_KEY);
    CHECK_STATUS(regClose(created), ERROR_SUCCESS);

    // The keys along the path were created too, and names match without regard to case.
    HKEY intermediate = nullptr;
    CHECK_STATUS(regOpen(HKEY_CURRENT_USER, "software\\IDEWEAVE CONFORMANCE\\A", &intermediate), ERROR_SUCCESS);
    HKEY child = nullptr;
    CHECK_STATUS(regOpen(intermediate, "b", &child), ERROR_SUCCESS);
    CHECK_STATUS(regClose(child), ERROR_SUCCESS);
    CHECK_STATUS(regClose(intermediate), ERROR_SUCCESS);

    HKEY again = nullptr;
    CHECK_STATUS(regCreate(HKEY_CURRENT_USER, base, &again), ERROR_SUCCESS);
    CHECK_STATUS(regClose(again), ERROR_SUCCESS);
}

void strings(HKEY key)
{
    LONG status;
    DWORD size, type;
    CHECK_STATUS(regSetString(key, "Text", "hello"), ERROR_SUCCESS);
    DWORD needed = 0;
    CHECK_STATUS(RegQueryValueExA(key, "Text", nullptr, &type, nullptr, &needed), ERROR_SUCCESS);
    CHECK(needed == 6);
    CHECK(readString(key, "Text", status, size, type) == std::string("hello", 6));
    CHECK(status == ERROR_SUCCESS && size == 6 && type == REG_SZ);

    char exact[6];
    size = sizeof exact;
    CHECK_STATUS(regQuery(key, "Text", exact, &size), ERROR_SUCCESS);
    CHECK(std::memcmp(exact, "hello", 6) == 0);
    char small[5];
    size = sizeof small;
    CHECK_STATUS(regQuery(key, "Text", small, &size), ERROR_MORE_DATA);
    CHECK(size == 6);

    CHECK_STATUS(regSetString(key, "Empty", ""), ERROR_SUCCESS);
    CHECK(readString(key, "Empty", status, size, type) == std::string("", 1));
    CHECK(size == 1 && type == REG_SZ);

    // Names match without regard to case; names may hold '#', blanks and parentheses.
    CHECK_STATUS(regSetString(key, "MenuName#0", "first"), ERROR_SUCCESS);
    CHECK_STATUS(regSetString(key, "MENUNAME#0", "second"), ERROR_SUCCESS);
    CHECK(readString(key, "menuname#0", status, size, type) == std::string("second", 7));
    CHECK_STATUS(regSetString(key, "Path Dirs (x86)", "C:\\a;D:\\b"), ERROR_SUCCESS);
    CHECK(readString(key, "path dirs (X86)", status, size, type) == std::string("C:\\a;D:\\b", 10));

    // Text beyond ASCII, in the platform's 8-bit encoding, comes back as the same bytes.
    const std::string accented = std::string("caf") + eAcuteEuro;
    CHECK_STATUS(regSetString(key, eAcuteEuro, accented.c_str()), ERROR_SUCCESS);
    CHECK(readString(key, eAcuteEuro, status, size, type) == accented + '\0');
    CHECK(size == accented.size() + 1);

    // A string stored without its terminator reads back without one, and the caller
    // is given a terminator where the buffer has room (Wine and Windows both do).
    CHECK_STATUS(RegSetValueExA(key, "Unterminated", 0, REG_SZ, reinterpret_cast<const BYTE *>("abcX"), 3),
                 ERROR_SUCCESS);
    char buffer[8];
    std::memset(buffer, 'Z', sizeof buffer);
    size = sizeof buffer;
    CHECK_STATUS(regQuery(key, "Unterminated", buffer, &size), ERROR_SUCCESS);
    CHECK(size == 3 && std::memcmp(buffer, "abc", 3) == 0);
    std::printf("note: unterminated string read: size %u, byte after it %d\n", unsigned(size), buffer[3]);
    char limit[255];
    CHECK_STATUS(readText(key, "Unterminated", limit, sizeof limit), ERROR_SUCCESS);
    CHECK(std::strcmp(limit, "abc") == 0);
}

void numbersAndBytes(HKEY key)
{
    int32_t number = 0;
    CHECK_STATUS(writeNumber(key, "NumTools", 42), ERROR_SUCCESS);
    CHECK_STATUS(readNumber(key, "NumTools", number), ERROR_SUCCESS);
    CHECK(number == 42);
    DWORD type = 0, size = 0;
    CHECK_STATUS(RegQueryValueExA(key, "NumTools", nullptr, &type, nullptr, &size), ERROR_SUCCESS);
    CHECK(type == REG_DWORD && size == 4);
    CHECK_STATUS(writeNumber(key, "Negative", -7), ERROR_SUCCESS);
    CHECK_STATUS(readNumber(key, "Negative", number), ERROR_SUCCESS);
    CHECK(number == -7);

    // A number read into 4 bytes from a longer value fails for lack of room.
    CHECK_STATUS(regSetString(key, "Long", "more than four bytes"), ERROR_SUCCESS);
    CHECK_STATUS(readNumber(key, "Long", number), ERROR_MORE_DATA);

    const BYTE marker = 0;
    CHECK_STATUS(RegSetValueExA(key, "ACTIVATION", 0, REG_BINARY, &marker, 1), ERROR_SUCCESS);
    BYTE buffer[25];
    size = sizeof buffer;
    CHECK_STATUS(RegQueryValueExA(key, "ACTIVATION", nullptr, &type, buffer, &size), ERROR_SUCCESS);
    CHECK(type == REG_BINARY && size == 1 && buffer[0] == 0);

    // A 2-byte value of type REG_DWORD keeps its 2 bytes; a number read fills the low bytes.
    const BYTE shortNumber[2] = {5, 1};
    CHECK_STATUS(RegSetValueExA(key, "Short", 0, REG_DWORD, shortNumber, 2), ERROR_SUCCESS);
    size = sizeof buffer;
    CHECK_STATUS(RegQueryValueExA(key, "Short", nullptr, &type, buffer, &size), ERROR_SUCCESS);
    CHECK(type == REG_DWORD && size == 2);
    CHECK_STATUS(readNumber(key, "Short", number), ERROR_SUCCESS);
    CHECK(number == 0x105);

    // Any type is read as bytes by the layer's query.
    const BYTE raw[3] = {1, 2, 3};
    CHECK_STATUS(RegSetValueExA(key, "Other", 0, 0x1c, raw, 3), ERROR_SUCCESS);
    size = sizeof buffer;
    CHECK_STATUS(regQuery(key, "Other", buffer, &size), ERROR_SUCCESS);
    CHECK(size == 3 && buffer[2] == 3);
}

void deletions(HKEY key)
{
    CHECK_STATUS(regSetString(key, "Doomed", "x"), ERROR_SUCCESS);
    CHECK_STATUS(RegDeleteValueA(key, "DOOMED"), ERROR_SUCCESS);
    CHECK_STATUS(RegDeleteValueA(key, "Doomed"), ERROR_FILE_NOT_FOUND);
    DWORD size = 0;
    CHECK_STATUS(RegQueryValueExA(key, "Doomed", nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
    CHECK_STATUS(RegQueryValueExA(key, nullptr, nullptr, nullptr, nullptr, &size), ERROR_FILE_NOT_FOUND);
}

void badHandles()
{
    DWORD size = 4;
    BYTE buffer[4];
    CHECK_STATUS(RegQueryValueExA(nullptr, "x", nullptr, nullptr, buffer, &size), ERROR_INVALID_HANDLE);
    CHECK_STATUS(regSetString(nullptr, "x", "y"), ERROR_INVALID_HANDLE);
    CHECK_STATUS(RegDeleteValueA(nullptr, "x"), ERROR_INVALID_HANDLE);
    CHECK_STATUS(regClose(nullptr), ERROR_INVALID_HANDLE);
    HKEY key = nullptr;
    CHECK_STATUS(regOpen(HKEY_CURRENT_USER, base, &key), ERROR_SUCCESS);
    CHECK_STATUS(regClose(key), ERROR_SUCCESS);
    CHECK_STATUS(regClose(key), ERROR_INVALID_HANDLE);
    CHECK_STATUS(regSetString(key, "x", "y"), ERROR_INVALID_HANDLE);
}

void persistence()
{
    CHECK_STATUS(RegFlushKey(HKEY_CURRENT_USER), ERROR_SUCCESS);
    HKEY key = nullptr;
    CHECK_STATUS(regOpen(HKEY_CURRENT_USER, base, &key), ERROR_SUCCESS);
    char text[255];
    CHECK_STATUS(readText(key, "Text", text, sizeof text), ERROR_SUCCESS);
    CHECK(std::strcmp(text, "hello") == 0);
    CHECK_STATUS(regClose(key), ERROR_SUCCESS);
}

} // namespace

int main()
{
    keys();
    HKEY key = nullptr;
    CHECK_STATUS(regOpen(HKEY_CURRENT_USER, base, &key), ERROR_SUCCESS);
    strings(key);
    numbersAndBytes(key);
    deletions(key);
    CHECK_STATUS(regClose(key), ERROR_SUCCESS);
    badHandles();
    persistence();
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
