// The registry layer in a Wine prefix: the store over its user.reg, the
// mapping of this machine's paths to the prefix's drives, and the code page of
// the locale that the prefix's user runs Wine with.
#include "registry.h"

#include "keystore.h"

#include "winreg/hivefile.h"
#include "winreg/unicode.h"
#include "winreg/prefixstore.h"

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <clocale>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <map>
#include <vector>
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

// The code pages that Windows gives as a locale's ANSI code page: the Western
// one first, as Windows falls back to it, and the double-byte ones last.
constexpr unsigned ansiCodePages[] = {1252, 1250, 1251, 1253, 1254, 1257, 1255, 1256, 1258, 874, 932, 949, 936, 950};

// The C library's name of a locale that Windows names "sr-Latn-RS": "sr_RS.UTF-8@latin",
// and "sr_RS.UTF-8" for the script a language is written in by default. A name
// that already has the C library's form ("ru_RU.UTF-8") is kept.
std::vector<std::string> libraryLocaleNames(const std::string &name)
{
    if (name.find('-') == std::string::npos || name.find_first_of("_.") != std::string::npos)
        return {name};
    std::vector<std::string> parts;
    for (size_t start = 0, end; start <= name.size(); start = end + 1)
        parts.push_back(name.substr(start, (end = std::min(name.find('-', start), name.size())) - start));
    std::string modifier;
    if (parts.size() == 3 && parts[1].size() == 4) {
        static const std::map<std::string, std::string> modifiers = {{"Latn", "latin"}, {"Cyrl", "cyrillic"}, {"Deva", "devanagari"}};
        const auto found = modifiers.find(parts[1]);
        modifier = found == modifiers.end() ? std::string() : "@" + found->second;
        parts.erase(parts.begin() + 1);
    }
    const std::string base = parts[0] + (parts.size() > 1 ? "_" + parts[1] : std::string()) + ".UTF-8";
    return modifier.empty() ? std::vector<std::string>{base} : std::vector<std::string>{base + modifier, base};
}

// The locale's own words as UTF-8: its month and day names, its morning and
// evening, its country and language names. They hold the letters of its
// script. Empty when this machine lacks the locale.
std::string wordsOfLocale(const std::string &name)
{
    for (const std::string &candidate : libraryLocaleNames(name)) {
        const locale_t locale = newlocale(LC_ALL_MASK, candidate.c_str(), nullptr);
        if (!locale)
            continue;
        std::string words;
        for (nl_item item = MON_1; item <= MON_12; ++item)
            words += nl_langinfo_l(item, locale);
        for (nl_item item = DAY_1; item <= DAY_7; ++item)
            words += nl_langinfo_l(item, locale);
        for (nl_item item : {AM_STR, PM_STR, _NL_ADDRESS_COUNTRY_NAME, _NL_ADDRESS_LANG_NAME})
            words += nl_langinfo_l(item, locale);
        std::string converted;
        if (std::strcmp(nl_langinfo_l(CODESET, locale), "UTF-8") != 0 &&
            convertText(words, nl_langinfo_l(CODESET, locale), "UTF-8", converted))
            words = converted;
        freelocale(locale);
        return words;
    }
    return std::string();
}

// The legacy character sets that the C library's list of locales gives the
// locale ("zh_TW BIG5"): they tell apart the double-byte code pages, which
// write the same Han characters.
std::vector<std::string> legacyCharsetsOfLocale(const std::string &name)
{
    const std::string libraryName = libraryLocaleNames(name).front();
    const size_t dot = libraryName.find('.'), at = libraryName.find('@');
    const std::string base = libraryName.substr(0, dot), modifier = at == std::string::npos ? std::string() : libraryName.substr(at);
    std::vector<std::string> charsets;
    std::ifstream supported("/usr/share/i18n/SUPPORTED");
    std::string locale, charset;
    while (supported >> locale >> charset) {
        const size_t localeAt = locale.find('@');
        const std::string localeModifier = localeAt == std::string::npos ? std::string() : locale.substr(localeAt);
        if (locale.substr(0, std::min(locale.find('.'), localeAt)) == base && localeModifier == modifier && charset != "UTF-8")
            charsets.push_back(charset);
    }
    return charsets;
}

// The ANSI code page of a locale, taken from the C library's data for it and
// iconv's code pages: the one that writes the most of the locale's letters;
// among equals, one that writes them as the locale's legacy character set does.
unsigned ansiCodePageOfLocale(const std::string &name, const std::string &words)
{
    std::vector<std::string> letters;
    for (size_t i = 0, length; i < words.size(); i += length) {
        const unsigned char lead = words[i];
        length = lead < 0x80 ? 1 : lead < 0xE0 ? 2 : lead < 0xF0 ? 3 : 4;
        if (lead >= 0x80)
            letters.push_back(words.substr(i, length));
    }
    std::vector<std::string> legacyForms;
    for (const std::string &charset : legacyCharsetsOfLocale(name))
        if (std::string converted; convertText(words, "UTF-8", charset.c_str(), converted))
            legacyForms.push_back(converted);
    unsigned best = ansiCodePages[0];
    size_t fewestMissing = letters.size() + 1;
    bool bestIsLegacy = false;
    for (const unsigned codePage : ansiCodePages) {
        const std::string target = "CP" + std::to_string(codePage);
        std::string converted;
        const size_t missing = std::count_if(letters.begin(), letters.end(), [&](const std::string &letter) {
            return !convertText(letter, "UTF-8", target.c_str(), converted);
        });
        const bool isLegacy = convertText(words, "UTF-8", target.c_str(), converted) &&
                              std::find(legacyForms.begin(), legacyForms.end(), converted) != legacyForms.end();
        if (missing < fewestMissing || (missing == fewestMissing && isLegacy && !bestIsLegacy)) {
            best = codePage;
            fewestMissing = missing;
            bestIsLegacy = isLegacy;
        }
    }
    return best;
}

std::string callerLocale()
{
    const char *name = std::setlocale(LC_CTYPE, nullptr);
    return name ? name : "C";
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
    return callerLocale();
}

// A locale that this machine lacks tells nothing: the caller's, then the Western code page, stands in.
unsigned ansiCodePageOfPrefixUser()
{
    for (const std::string &name : {localeOfPrefixUser(), callerLocale()})
        if (const std::string words = wordsOfLocale(name); !words.empty())
            return ansiCodePageOfLocale(name, words);
    return ansiCodePages[0];
}

} // namespace

std::string codePageProblemOfText(const char *name, const std::string &value)
{
    const std::u16string text = winreg::utf8ToUtf16(utf8FromLocale(value));
    // Every ANSI code page writes ASCII: the prefix's is judged only for text beyond it.
    if (std::all_of(text.begin(), text.end(), [](char16_t unit) { return unit < 0x80; }))
        return std::string();
    const unsigned codePage = ansiCodePageOfPrefixUser();
    const std::string target = "CP" + std::to_string(codePage);
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
