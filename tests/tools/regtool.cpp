// A command-line window on the store for the Wine tests: sets and reads single
// values through the same Win32 functions that ideweave uses.
//   regtool set KEY NAME TYPE DATA   TYPE: sz, expand, multi (DATA's "|" become NULs),
//                                    dword (decimal), binary (hex digits)
//   regtool get KEY NAME             prints the type number and the bytes in hex
//   regtool windows-path PATH        the registry form of a path (as winepath -w)
//   regtool unix-path PATH           the local form of a path (as winepath -u)
//   regtool casemap-sections         hive sections Casemap\K<c>, each with a value v<c>,
//                                    for every character c of the BMP that a key name can hold
//   regtool fold-pairs               the pairs of those characters that the store takes as one
#include "devstudio/registry.h"
#include "winreg/unicode.h"

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

namespace {

int usage()
{
    std::fprintf(stderr, "usage: regtool set KEY NAME TYPE DATA | regtool get KEY NAME\n");
    return 2;
}

bool parseData(const std::string &type, const std::string &text, DWORD &regType, std::string &bytes)
{
    if (type == "sz" || type == "expand" || type == "multi") {
        regType = type == "sz" ? REG_SZ : type == "expand" ? REG_EXPAND_SZ : REG_MULTI_SZ;
        bytes = text;
        bytes.push_back('\0');
        if (type == "multi") {
            for (auto &c : bytes)
                c = c == '|' ? '\0' : c;
            bytes.push_back('\0');
        }
        return true;
    }
    if (type == "dword") {
        regType = REG_DWORD;
        const auto value = static_cast<uint32_t>(std::strtoul(text.c_str(), nullptr, 10));
        bytes.assign({char(value & 0xFF), char((value >> 8) & 0xFF), char((value >> 16) & 0xFF), char(value >> 24)});
        return true;
    }
    if (type == "binary" && text.size() % 2 == 0) {
        regType = REG_BINARY;
        for (size_t i = 0; i < text.size(); i += 2)
            bytes.push_back(static_cast<char>(std::strtoul(text.substr(i, 2).c_str(), nullptr, 16)));
        return true;
    }
    return false;
}

int setValue(const char *keyPath, const char *name, const std::string &type, const std::string &text)
{
    DWORD regType = 0;
    std::string bytes;
    if (!parseData(type, text, regType, bytes))
        return usage();
    HKEY key = nullptr;
    LONG status = regCreate(HKEY_CURRENT_USER, keyPath, &key);
    if (status == ERROR_SUCCESS)
        status = RegSetValueExA(key, name, 0, regType, reinterpret_cast<const BYTE *>(bytes.data()),
                                static_cast<DWORD>(bytes.size()));
    if (status == ERROR_SUCCESS)
        status = RegFlushKey(HKEY_CURRENT_USER);
    if (status != ERROR_SUCCESS)
        std::fprintf(stderr, "regtool: status %d: %s\n", int(status), winregProblem());
    return status == ERROR_SUCCESS ? 0 : 1;
}

int getValue(const char *keyPath, const char *name)
{
    HKEY key = nullptr;
    unsigned char buffer[4096];
    DWORD size = sizeof buffer;
    DWORD type = 0;
    LONG status = regOpen(HKEY_CURRENT_USER, keyPath, &key);
    if (status == ERROR_SUCCESS)
        status = RegQueryValueExA(key, name, nullptr, &type, buffer, &size);
    if (status != ERROR_SUCCESS) {
        std::fprintf(stderr, "regtool: status %d: %s\n", int(status), winregProblem());
        return 1;
    }
    std::printf("%u ", unsigned(type));
    for (DWORD i = 0; i < size; ++i)
        std::printf("%02x", buffer[i]);
    std::printf("\n");
    return 0;
}

// The characters a key name can hold: no controls, no backslash, no surrogates.
bool keyNameCharacter(char32_t c) { return c >= 0x20 && c != '\\' && (c < 0xD800 || c > 0xDFFF) && c <= 0xFFFF; }

int printCasemapSections()
{
    for (char32_t c = 0; c <= 0xFFFF; ++c) {
        if (!keyNameCharacter(c))
            continue;
        if (c == '[' || c == ']')
            std::printf("\n[Casemap\\\\K\\%c] 1796580919\n", char(c));
        else if (c < 0x80)
            std::printf("\n[Casemap\\\\K%c] 1796580919\n", char(c));
        else
            std::printf("\n[Casemap\\\\K\\x%04x] 1796580919\n", unsigned(c));
        std::printf("\"v%04x\"=dword:00000000\n", unsigned(c));
    }
    return 0;
}

int printFoldPairs()
{
    std::vector<std::vector<unsigned>> byFold(0x10000);
    for (char32_t c = 0; c <= 0xFFFF; ++c)
        if (keyNameCharacter(c))
            byFold[winreg::foldCase(static_cast<char16_t>(c))].push_back(unsigned(c));
    for (const auto &same : byFold)
        for (size_t i = 0; i < same.size(); ++i)
            for (size_t j = i + 1; j < same.size(); ++j)
                std::printf("%04x %04x\n", same[i], same[j]);
    return 0;
}

} // namespace

int printPath(bool toRegistry, const char *path)
{
    std::string converted;
    std::string problem;
    if (!toRegistry)
        converted = localFormOfPath(path);
    else if (!registryFormOfPath(path, converted, problem)) {
        std::fprintf(stderr, "regtool: %s\n", problem.c_str());
        return 1;
    }
    std::printf("%s\n", converted.c_str());
    return 0;
}

int main(int argc, char **argv)
{
    if (argc == 3 && (std::strcmp(argv[1], "windows-path") == 0 || std::strcmp(argv[1], "unix-path") == 0))
        return printPath(std::strcmp(argv[1], "windows-path") == 0, argv[2]);
    if (argc == 6 && std::strcmp(argv[1], "set") == 0)
        return setValue(argv[2], argv[3], argv[4], argv[5]);
    if (argc == 4 && std::strcmp(argv[1], "get") == 0)
        return getValue(argv[2], argv[3]);
    if (argc == 2 && std::strcmp(argv[1], "casemap-sections") == 0)
        return printCasemapSections();
    if (argc == 2 && std::strcmp(argv[1], "fold-pairs") == 0)
        return printFoldPairs();
    return usage();
}
