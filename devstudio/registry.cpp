#include "registry.h"

#include "journal.h"
#include "winreg/numberbytes.h"
#include "winreg/unicode.h"

#include <cstdio>
#include <cstring>
#include <vector>

namespace {

std::string codePageProblem(const char *variable, unsigned character, unsigned codePage)
{
    char text[160];
    std::snprintf(text, sizeof text,
                  "%s holds the character U+%04X, which Developer Studio cannot read in the ANSI code page %u",
                  variable, character, codePage);
    return text;
}

} // namespace

namespace {

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
    // A dry run creates nothing: a missing key is one it only pretends to have made.
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
    DWORD type = 0;
    return journal::query(key, valueName, &type, static_cast<BYTE *>(data), size);
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
    const bool string = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    std::string read = string ? journal::textOfStored(stored) : stored.substr(0, stored.find('\0'));
    if (textLength(read) >= bufferSize)
        return ERROR_MORE_DATA;
    text = std::move(read);
    return ERROR_SUCCESS;
}

size_t textLength(const std::string &text) { return winreg::utf8ToUtf16(text).size(); }

LONG readValue(HKEY key, const char *valueName, DWORD &type, std::string &data)
{
    data.clear();
    DWORD size = 0;
    LONG status = journal::query(key, valueName, &type, nullptr, &size);
    // The value may grow between the two calls; then its new size is asked again.
    for (int attempt = 0; status == ERROR_SUCCESS && attempt < 3; ++attempt) {
        std::string bytes(size, '\0');
        status = journal::query(key, valueName, &type, reinterpret_cast<BYTE *>(&bytes[0]), &size);
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

LONG writeValue(HKEY key, const char *valueName, DWORD type, const std::string &data)
{
    // Windows stores a string whose size leaves out its terminator with one when
    // a NUL character follows the data: it is given here, and the journal notes what is stored.
    const bool string = type == REG_SZ || type == REG_EXPAND_SZ || type == REG_MULTI_SZ;
    const bool unterminated = data.size() >= 2 && data.size() % 2 == 0 && data.compare(data.size() - 2, 2, std::string(2, '\0')) != 0;
    if (string && unterminated)
        return journal::change(key, valueName, {true, type, data + std::string(2, '\0')});
    return journal::change(key, valueName, {true, type, data});
}

LONG readNumber(HKEY key, const char *valueName, int32_t &number)
{
    unsigned char bytes[4] = {0, 0, 0, 0};
    DWORD size = sizeof bytes;
    DWORD type = REG_NONE;
    const LONG status = journal::query(key, valueName, &type, bytes, &size);
    if (status != ERROR_SUCCESS)
        return status;
    if (type != REG_DWORD)
        return ERROR_INVALID_DATA;
    number = static_cast<int32_t>(numberFromBytes(bytes));
    return ERROR_SUCCESS;
}

LONG writeNumber(HKEY key, const char *valueName, int32_t number)
{
    const auto bytes = bytesOfNumber(static_cast<uint32_t>(number));
    return writeValue(key, valueName, REG_DWORD, std::string(bytes.begin(), bytes.end()));
}

#ifdef _WIN32

#include <tlhelp32.h>

// Developer Studio saves its Tools menu and directories when it closes, over
// whatever changed meanwhile: one running in this session would undo the run.
std::string studioRunningProblem()
{
    const HANDLE snapshot = CreateToolhelp32Snapshot(TH32CS_SNAPPROCESS, 0);
    if (snapshot == INVALID_HANDLE_VALUE)
        return std::string();
    DWORD ownSession = 0, session = 0;
    ProcessIdToSessionId(GetCurrentProcessId(), &ownSession);
    PROCESSENTRY32W process = {};
    process.dwSize = sizeof process;
    bool running = false;
    for (BOOL more = Process32FirstW(snapshot, &process); more && !running; more = Process32NextW(snapshot, &process))
        running = _wcsicmp(process.szExeFile, L"MSDEV.EXE") == 0 &&
                  (!ProcessIdToSessionId(process.th32ProcessID, &session) || session == ownSession);
    CloseHandle(snapshot);
    return running ? "Developer Studio (MSDEV.EXE) is running and would undo the change when it closes: "
                     "close Developer Studio, then run again"
                   : std::string();
}

bool registryUsable() { return true; }
std::string registryLocation() { return "HKEY_CURRENT_USER"; }
std::string registryProblem() { return std::string(); }
SaveResult registrySave() { return RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS ? SaveResult::Saved : SaveResult::NotWritten; }
void registryRelease() {}

bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &)
{
    // A relative path is taken from the current directory, as the program would find it.
    const bool absolute = !localPath.empty() && (localPath[0] == '\\' || localPath[0] == '/' ||
                                                 (localPath.size() >= 3 && localPath[1] == ':' &&
                                                  (localPath[2] == '\\' || localPath[2] == '/')));
    char full[MAX_PATH];
    const DWORD length = absolute ? 0 : GetFullPathNameA(localPath.c_str(), sizeof full, full, nullptr);
    // The layer's text is UTF-8; the path has passed the code page's check.
    const std::string ansi = length > 0 && length < sizeof full ? std::string(full) : localPath;
    std::wstring wide(ansi.size(), L'\0');
    wide.resize(MultiByteToWideChar(CP_ACP, 0, ansi.data(), int(ansi.size()), &wide[0], int(wide.size())));
    registryPath = winreg::utf16ToUtf8(std::u16string(wide.begin(), wide.end()));
    return true;
}

std::string localFormOfPath(const std::string &path) { return path; }

std::string codePageProblemOfVariable(const char *name)
{
    const std::wstring wideName(name, name + std::strlen(name));
    const wchar_t *value = _wgetenv(wideName.c_str());
    if (!value)
        return std::string();
    const UINT codePage = GetACP();
    for (const wchar_t *c = value; *c; ++c) {
        char bytes[8];
        BOOL lost = FALSE;
        const int length = WideCharToMultiByte(codePage, WC_NO_BEST_FIT_CHARS, c, 1, bytes, sizeof bytes, nullptr, &lost);
        if (length <= 0 || lost)
            return codePageProblem(name, static_cast<unsigned>(*c), codePage);
    }
    return std::string();
}

#else

// Under Wine, any program running for the prefix, Developer Studio among them,
// makes the store refuse the registry.
std::string studioRunningProblem() { return std::string(); }

#include "winreg/hivefile.h"
#include "winreg/unicode.h"
#include "winreg/winehive.h"
#include "winreg/wineprefix.h"

#include <cctype>
#include <cerrno>
#include <clocale>
#include <filesystem>
#include <iconv.h>
#include <langinfo.h>

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
SaveResult registrySave()
{
    if (RegFlushKey(HKEY_CURRENT_USER) == ERROR_SUCCESS)
        return SaveResult::Saved;
    return winregReplaced() ? SaveResult::WrittenAtRisk : SaveResult::NotWritten;
}
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

// Converts text between two character sets; false when a character has no place in the target.
bool convertText(const std::string &text, const char *from, const char *to, std::string &converted)
{
    const iconv_t conversion = iconv_open(to, from);
    if (conversion == reinterpret_cast<iconv_t>(-1))
        return false;
    converted.assign(text.size() * 4 + 16, '\0');
    char *in = const_cast<char *>(text.data());
    size_t inLeft = text.size();
    char *out = &converted[0];
    size_t outLeft = converted.size();
    const bool done = iconv(conversion, &in, &inLeft, &out, &outLeft) != static_cast<size_t>(-1);
    iconv_close(conversion);
    converted.resize(converted.size() - outLeft);
    return done;
}

// The locale's text as the store's UTF-8: Wine reads file names and the
// environment in the locale's character set.
std::string utf8FromLocale(const std::string &text)
{
    std::string converted;
    const char *codeset = nl_langinfo(CODESET);
    if (std::strcmp(codeset, "UTF-8") == 0 || !convertText(text, codeset, "UTF-8", converted))
        return text;
    return converted;
}

// The ANSI code page that Windows, and Wine, give a language ("de") of a
// country ("AT").
unsigned ansiCodePageOfLanguage(const std::string &language, const std::string &country)
{
    static const struct {
        const char *languages;
        unsigned codePage;
    } codePages[] = {
        {" cs hu pl ro sk sl hr sq bs ", 1250}, {" ru uk be bg mk sr kk ky tt mn tg ba ", 1251},
        {" el ", 1253}, {" tr az uz ", 1254}, {" he yi ", 1255}, {" ar fa ur ", 1256},
        {" et lv lt ", 1257}, {" vi ", 1258}, {" th ", 874}, {" ja ", 932}, {" ko ", 949},
    };
    if (language == "zh")
        return country == "TW" || country == "HK" || country == "MO" ? 950 : 936;
    for (const auto &entry : codePages)
        if (std::strstr(entry.languages, (" " + language + " ").c_str()))
            return entry.codePage;
    return 1252;
}

// The locale that the prefix's user ran Wine with ("ru-RU"), as the prefix
// records it, so that the verdict is the same whoever asks; else the caller's
// ("ru_RU.UTF-8").
std::string localeOfPrefixUser()
{
    HKEY international = nullptr;
    std::string recorded;
    if (RegOpenKeyExA(HKEY_CURRENT_USER, "Control Panel\\International", 0, KEY_READ, &international) == ERROR_SUCCESS) {
        readText(international, "LocaleName", recorded, 64);
        RegCloseKey(international);
    }
    if (!recorded.empty())
        return recorded;
    const char *name = std::setlocale(LC_CTYPE, nullptr);
    return name ? name : "C";
}

unsigned ansiCodePageOfPrefixUser()
{
    const std::string locale = localeOfPrefixUser();
    const std::string language = locale.substr(0, locale.find_first_of("_-.@"));
    const bool countryFollows = locale.size() >= language.size() + 3 && (locale[language.size()] == '_' || locale[language.size()] == '-');
    return ansiCodePageOfLanguage(language, countryFollows ? locale.substr(language.size() + 1, 2) : std::string());
}

} // namespace

std::string codePageProblemOfVariable(const char *name)
{
    const char *value = std::getenv(name);
    if (!value)
        return std::string();
    const unsigned codePage = ansiCodePageOfPrefixUser();
    const std::string target = "CP" + std::to_string(codePage);
    const std::u16string text = winreg::utf8ToUtf16(utf8FromLocale(value));
    for (size_t i = 0; i < text.size(); ++i) {
        char32_t character = text[i];
        if (character >= 0xD800 && character < 0xDC00 && i + 1 < text.size())
            character = 0x10000 + ((character - 0xD800) << 10) + (text[++i] - 0xDC00);
        std::string utf8;
        winreg::appendUtf8(utf8, character);
        std::string converted;
        if (character >= 0x80 && !convertText(utf8, "UTF-8", target.c_str(), converted))
            return codePageProblem(name, static_cast<unsigned>(character), codePage);
    }
    return std::string();
}

bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &problem)
{
    // Windows programs under Wine need Windows paths; one given in that form is taken as it is.
    if (localPath.empty() || isWindowsFormPath(localPath)) {
        registryPath = utf8FromLocale(localPath);
        return true;
    }
    const std::string unixPath = absoluteUnixPath(localPath);
    const std::string prefix = winreg::locateHive().prefix;
    if (winreg::windowsFormOfPath(prefix, unixPath, registryPath)) {
        registryPath = utf8FromLocale(registryPath);
        return true;
    }
    problem = "No drive of the Wine prefix '" + prefix + "' leads to '" + unixPath + "'";
    return false;
}

std::string localFormOfPath(const std::string &path)
{
    return winreg::unixFormOfPath(winreg::locateHive().prefix, path);
}

#endif
