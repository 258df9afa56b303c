// The registry layer in a Wine prefix: the store over its user.reg, the
// mapping of this machine's paths to the prefix's drives, and the code page of
// the locale that the prefix's user runs Wine with.
#include "registry.h"

#include "keystore.h"

#include "winreg/hivefile.h"
#include "winreg/unicode.h"
#include "winreg/prefixstore.h"

#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <iconv.h>
#include <langinfo.h>

namespace {

std::u16string wide(const std::string &text) { return winreg::utf8ToUtf16(text); }

// The hive of the prefix that the environment names, as the layer's seam: its
// writes reach the hive in memory, and the file only at the save.
class WineRegistry : public KeyStore {
public:
    LONG open() override { return m_store.load(); }
    LONG keyExists(const std::string &path) override { return m_store.keyExists(wide(path)); }
    LONG read(const std::string &path, const std::string &name, StoredValue &value) override
    {
        const winreg::RegValue *found = nullptr;
        const LONG status = m_store.find(wide(path), wide(name), found);
        value = found ? StoredValue{true, found->type, found->data} : StoredValue();
        return status;
    }
    LONG write(const std::string &path, const std::string &name, const StoredValue &value) override
    {
        return m_store.set(wide(path), {wide(name), value.type, value.data}, value.present);
    }
    SaveResult save() override
    {
        if (m_store.save() == ERROR_SUCCESS)
            return SaveResult::Saved;
        return m_store.replaced() ? SaveResult::WrittenAtRisk : SaveResult::NotWritten;
    }
    void release() override { m_store.release(); }
    std::string problem() const override { return m_store.problem(); }
    bool held() const override { return m_store.heldByWine(); }
    std::string location() const override { return m_store.location().hivePath; }
    const std::string &prefix() const { return m_store.location().prefix; }

private:
    winreg::PrefixStore m_store;
};

WineRegistry &wineRegistry()
{
    static WineRegistry registry;
    return registry;
}

} // namespace

KeyStore &machineRegistry() { return wineRegistry(); }

// Under Wine, any program running for the prefix, Developer Studio among them,
// makes the store refuse the registry.
std::string studioRunningProblem() { return std::string(); }
bool registryHoldsWritesUntilSave() { return true; }

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
    StoredValue recorded;
    if (machineRegistry().read("Control Panel\\International", "LocaleName", recorded) == ERROR_SUCCESS &&
        recorded.type == REG_SZ) {
        const std::string name = textOfStored(recorded.data);
        if (!name.empty())
            return name;
    }
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

std::string codePageProblemOfText(const char *name, const std::string &value)
{
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
    const std::string prefix = wineRegistry().prefix();
    if (winreg::windowsFormOfPath(prefix, unixPath, registryPath)) {
        registryPath = utf8FromLocale(registryPath);
        return true;
    }
    problem = "No drive of the Wine prefix '" + prefix + "' leads to '" + unixPath + "'";
    return false;
}

std::string localFormOfPath(const std::string &path)
{
    return winreg::unixFormOfPath(wineRegistry().prefix(), path);
}
