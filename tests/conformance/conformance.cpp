// One set of assertions over the registry seam and the layer above it, run
// twice: natively against ideweave's Wine-hive store, and as a Windows program
// under Wine against the real advapi32. Both must agree, and Wine must read the
// same keys from both prefixes. The Windows program also makes a key for every
// character a key name can hold; "conformance case-keys" then reads them
// through the store from the hive Wine saved.
#include "devstudio/registry.h"

#include "winreg/numberbytes.h"
#include "winreg/unicode.h"

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

const std::string base = "Software\\Ideweave Conformance";
const std::string eAcuteEuro = "\xc3\xa9\xe2\x82\xac", smallLetters = "\xc3\xa9\xc5\xa1\xc3\xbf",
                  capitals = "\xc3\x89\xc5\xa0\xc5\xb8";
const std::string debugger = "\xd0\x9e\xd1\x82\xd0\xbb\xd0\xb0\xd0\xb4\xd1\x87\xd0\xb8\xd0\xba"; // Отладчик
const std::string controls = std::string("\t\n\x1b\x01" "7 ") + smallLetters + "a"; // "a" could go on an escape

KeyStore &registry() { return machineRegistry(); }

// A string as stored: UTF-16LE with its terminator.
std::string terminated(const std::string &text) { return storedText(text) + std::string(2, '\0'); }
StoredValue value(DWORD type, const std::string &data) { return {true, type, data}; }

bool writes(const std::string &name, const StoredValue &stored, const std::string &key = base)
{
    return registry().write(key, name, stored) == ERROR_SUCCESS;
}

// Whether the registry holds exactly this under name.
bool holds(const std::string &name, const StoredValue &expected, const std::string &key = base)
{
    StoredValue found;
    return registry().read(key, name, found) == ERROR_SUCCESS && found == expected;
}

void keys()
{
    CHECK(registry().open() == ERROR_SUCCESS);
    CHECK(registry().keyExists(base + "\\Missing") == ERROR_FILE_NOT_FOUND);
    CHECK(writes("v", value(REG_SZ, terminated("x")), base + "\\A\\B"));
    // The keys along the path were made too, and names match without regard to case.
    CHECK(registry().keyExists("SOFTWARE\\ideweave conformance\\a\\b") == ERROR_SUCCESS);
    CHECK(registry().keyExists("software\\IDEWEAVE CONFORMANCE\\A") == ERROR_SUCCESS);
    // Trailing backslashes end nothing, a run of them separates as one, and none may lead.
    CHECK(writes("In", value(REG_SZ, terminated("sub")), base + "\\Sub\\\\"));
    CHECK(holds("In", value(REG_SZ, terminated("sub")), base + "\\Sub"));
    CHECK(writes("v", value(REG_DWORD, std::string("\1\0\0\0", 4)), base + "\\Two\\\\Parts"));
    CHECK(registry().keyExists(base + "\\Two\\Parts") == ERROR_SUCCESS);
    CHECK(registry().write("\\Lead", "v", value(REG_SZ, terminated("x"))) == ERROR_BAD_PATHNAME);
}

// Every form a value can take is stored and read back as it is.
const struct {
    const char *name;
    DWORD type;
    std::string data;
} forms[] = {
    {"Text", REG_SZ, terminated("hello")},
    {"Empty", REG_SZ, std::string(2, '\0')},
    {"Controls", REG_SZ, terminated(controls)},
    {"Cyrillic", REG_SZ, terminated(debugger)},
    {"Unterminated", REG_SZ, storedText("abc")},
    {"Odd", REG_SZ, std::string("a\0b", 3)},
    {"Nuls", REG_SZ, storedText(std::string("This\0Breaks\0\0A\0", 16)) + std::string(2, '\0')},
    {"Expand", REG_EXPAND_SZ, terminated("%P%")},
    {"Multi", REG_MULTI_SZ, storedText(std::string("a\0b\0", 4)) + std::string(2, '\0')},
    {"NumTools", REG_DWORD, std::string("\xf9\xff\xff\xff", 4)},
    {"Short", REG_DWORD, std::string("\x05\x01", 2)},
    {"ACTIVATION", REG_BINARY, std::string(1, '\0')},
    {"Nothing", REG_BINARY, std::string()},
    {"Bytes", 0x1c, std::string("\x00\x05\x0a\xff\xfe\x80\x7f\x01\x02\x03\x04\x05\x06\x07\x08\x09\x0a\x0b\x0c\x0d\x0e\x0f"
                                "\x10\x11\x12\x13\x14\x15\x16\x17\x18\x19\x1a\x1b\x1c\x1d\x1e\x1f\x20\x21\x22\x23", 42)},
    {"", REG_SZ, terminated("default")},
};

void valueForms()
{
    for (const auto &form : forms)
        CHECK(writes(form.name, value(form.type, form.data)) && holds(form.name, value(form.type, form.data)));
    // Names match without regard to case, beyond ASCII too; they may hold '#', blanks and parentheses.
    CHECK(writes("MenuName#0 (x86)", value(REG_SZ, terminated("first"))));
    CHECK(writes("MENUNAME#0 (X86)", value(REG_SZ, terminated("second"))));
    CHECK(holds("menuname#0 (x86)", value(REG_SZ, terminated("second"))));
    CHECK(writes(eAcuteEuro, value(REG_SZ, terminated("caf" + eAcuteEuro))));
    CHECK(writes(smallLetters, value(REG_SZ, terminated("x"))) && holds(capitals, value(REG_SZ, terminated("x"))));
    // A value name may hold 16,383 characters, and no more.
    const std::string longest(16383, 'n');
    CHECK(writes(longest, value(REG_SZ, terminated("x"))) && holds(longest, value(REG_SZ, terminated("x"))));
    CHECK(registry().write(base, longest, StoredValue()) == ERROR_SUCCESS);
    CHECK(registry().write(base, longest + "n", value(REG_SZ, terminated("x"))) == ERROR_INVALID_PARAMETER);
    // Deleting: once, then there is nothing to delete or read.
    StoredValue missing{true, REG_SZ, "x"};
    CHECK(writes("Doomed", value(REG_SZ, terminated("x"))) && registry().write(base, "DOOMED", StoredValue()) == ERROR_SUCCESS);
    CHECK(registry().write(base, "Doomed", StoredValue()) == ERROR_FILE_NOT_FOUND);
    CHECK(registry().read(base, "Doomed", missing) == ERROR_FILE_NOT_FOUND && !missing.present);
    CHECK(registry().read(base + "\\Missing", "Doomed", missing) == ERROR_FILE_NOT_FOUND);
}

// The layer's rules, the same on both: text in UTF-8 counted in UTF-16
// characters, terminators, numbers of up to four bytes.
void layerRules()
{
    HKEY key = nullptr;
    std::string text;
    int32_t number = 0;
    CHECK(regOpen(HKEY_CURRENT_USER, base.c_str(), &key) == ERROR_SUCCESS);
    CHECK(readText(key, "Cyrillic", text, 255) == ERROR_SUCCESS && text == debugger);
    // Lengths count characters: eight of them fill a buffer of nine, not one of eight.
    CHECK(readText(key, "Cyrillic", text, 8) == ERROR_MORE_DATA && text.empty());
    CHECK(readText(key, "Cyrillic", text, 9) == ERROR_SUCCESS && text == debugger);
    CHECK(readText(key, "Unterminated", text, 255) == ERROR_SUCCESS && text == "abc");
    CHECK(readText(key, "Controls", text, 255) == ERROR_SUCCESS && text == controls);
    CHECK(readNumber(key, "NumTools", number) == ERROR_SUCCESS && number == -7);
    // A 2-byte number fills the low bytes; a value longer than 4 bytes is none; text is no number.
    CHECK(readNumber(key, "Short", number) == ERROR_SUCCESS && number == 0x105);
    CHECK(readNumber(key, "Text", number) == ERROR_MORE_DATA);
    CHECK(readNumber(key, "ACTIVATION", number) == ERROR_INVALID_DATA);
    // A string written without its terminator gets one; other types keep their bytes.
    CHECK(writeValue(key, "Terminated", REG_EXPAND_SZ, storedText("%Q%")) == ERROR_SUCCESS);
    CHECK(writeValue(key, "Moved", REG_SZ, terminated(debugger)) == ERROR_SUCCESS);
    CHECK(writeNumber(key, "Number", 0x2a) == ERROR_SUCCESS && regSetString(key, "Set", eAcuteEuro.c_str()) == ERROR_SUCCESS);
    CHECK(regDeleteValue(key, "Odd") == ERROR_SUCCESS && regDeleteValue(key, "Odd") == ERROR_FILE_NOT_FOUND);
    CHECK(regClose(key) == ERROR_SUCCESS && regClose(key) == ERROR_INVALID_HANDLE);
    CHECK(regSetString(key, "x", "y") == ERROR_INVALID_HANDLE && regSetString(nullptr, "x", "y") == ERROR_INVALID_HANDLE);
}

// The run's writes reach the registry at the save, and everything comes back after it.
void roundTrip()
{
    CHECK(registrySave() == SaveResult::Saved);
    startRegistryJournal(false);
    CHECK(registry().open() == ERROR_SUCCESS);
    for (const auto &form : forms)
        if (std::strcmp(form.name, "Odd") != 0) // deleted by the layer
            CHECK(holds(form.name, value(form.type, form.data)));
    StoredValue odd;
    CHECK(registry().read(base, "Odd", odd) == ERROR_FILE_NOT_FOUND);
    CHECK(holds("Terminated", value(REG_EXPAND_SZ, terminated("%Q%"))) && holds("Moved", value(REG_SZ, terminated(debugger))));
    CHECK(holds("Number", value(REG_DWORD, std::string("\x2a\0\0\0", 4))) && holds("Set", value(REG_SZ, terminated(eAcuteEuro))));
    CHECK(holds("In", value(REG_SZ, terminated("sub")), base + "\\Sub"));
    CHECK(registry().save() == SaveResult::Saved);
}

// Every character a key name can hold names a key; those the registry takes as
// one are one key, holding the number of the last. advapi32 makes them; the store
// must then load the hive Wine saved (it refuses a key that it takes to be there
// twice) and find for each name the key that Wine made of it.
void caseKeys(bool make)
{
    for (unsigned c = 0x20; c <= 0xFFFF; ++c) {
        if (c == '\\' || (c >= 0xD800 && c <= 0xDFFF))
            continue;
        std::string path = "Software\\Ideweave Case\\";
        winreg::appendUtf8(path, c);
        const auto bytes = bytesOfNumber(c);
        StoredValue found;
        if (make)
            CHECK(writes("n", value(REG_DWORD, std::string(bytes.begin(), bytes.end())), path));
        else
            CHECK(registry().read(path, "n", found) == ERROR_SUCCESS && found.data.size() == 4 &&
                  winreg::foldCase(char16_t(numberFromBytes(reinterpret_cast<const unsigned char *>(found.data.data())))) ==
                      winreg::foldCase(char16_t(c)));
    }
    if (make)
        CHECK(registry().save() == SaveResult::Saved);
}

} // namespace

int main(int argc, char **argv)
{
    const bool readCaseKeys = argc == 2 && std::strcmp(argv[1], "case-keys") == 0;
    startRegistryJournal(false);
    if (!readCaseKeys) {
        keys();
        valueForms();
        layerRules();
        roundTrip();
    }
#ifdef _WIN32
    caseKeys(true);
#else
    if (readCaseKeys)
        caseKeys(false);
#endif
    std::printf("%d passed, %d failed\n", passed, failed);
    return failed == 0 ? 0 : 1;
}
