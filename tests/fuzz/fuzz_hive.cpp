// libFuzzer target for the hive reader and writer: a text whose structure is
// accepted must come back as the same registry after every readable key is
// written out again, and after a change made through the store's tree is saved
// and read back, with every key the change did not touch kept byte for byte.
#include "winreg/hive.h"
#include "winreg/hiveformat.h"
#include "winreg/unicode.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <map>

using namespace winreg;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

// A key's options and values, the values in the order of their names, as the writer puts them.
std::string contentOf(KeySection section)
{
    std::sort(section.values.begin(), section.values.end(), [](const RegValue &x, const RegValue &y) { return x.name < y.name; });
    std::string content = utf16ToUtf8(section.path);
    for (const auto &option : section.options)
        content += "\n" + option;
    for (const auto &value : section.values)
        content += "\n" + utf16ToUtf8(value.name) + "=" + std::to_string(value.type) + ":" + value.data;
    return content;
}

// Every section's text by its folded path, in a text whose structure is accepted.
std::map<std::u16string, std::string_view> sectionsOf(const std::string &text, size_t *preambleEnd = nullptr)
{
    std::map<std::u16string, std::string_view> sections;
    size_t ignored = 0;
    FormatError error;
    require(scanHive(
        text, preambleEnd ? *preambleEnd : ignored,
        [&](SectionSpan &span, FormatError &) {
            sections[span.folded] = std::string_view(text).substr(span.begin, span.end - span.begin);
            return true;
        },
        error));
    return sections;
}

bool read(std::string_view piece, KeySection &section, FormatError error = {}) { return readSection(piece, 1, section, error); }

void rewriteEveryKey(const std::string &text)
{
    size_t preambleEnd = 0;
    std::map<std::u16string, std::string> contents;
    std::string rewritten;
    for (const auto &[path, piece] : sectionsOf(text, &preambleEnd)) {
        KeySection section;
        if (!read(piece, section))
            return; // a key whose values cannot be read is never rewritten
        contents[path] = contentOf(section);
        rewritten += formatSection(section, 1796580919, 0x1dd85adc08b6136ULL);
    }
    rewritten.insert(0, text, 0, preambleEnd);
    for (const auto &[path, piece] : sectionsOf(rewritten)) {
        KeySection section;
        require(read(piece, section) && contentOf(section) == contents[path]);
    }
}

void changeThroughTheTree(const std::string &text)
{
    Hive hive;
    FormatError error;
    if (!hive.load(text, error))
        return; // e.g. a key that appears twice
    bool created = false;
    hive.createKey(u"Software\\Fuzz\\New", created);
    hive.setValue(u"Software\\Fuzz\\New", {u"Value \"\\\x00e9", 1, std::string("a\0b\0\0\0", 6)});
    if (hive.failure())
        return; // the key was there already, with values that cannot be read
    std::string saved;
    hive.save([&](std::string_view piece) { saved += piece; }, 1, 1);
    Hive reloaded;
    require(reloaded.load(saved, error));
    const RegValue *value = reloaded.findValue(u"SOFTWARE\\fuzz\\new", u"value \"\\\x00c9");
    require(value && value->type == 1 && value->data == std::string("a\0b\0\0\0", 6));
    // A last line without a line end gets one before a key that follows it, and
    // blank lines at the end go with a key that follows them.
    auto now = sectionsOf(saved);
    for (auto [path, original] : sectionsOf(text)) {
        while (path != u"software\\fuzz\\new" && !original.empty() && std::strchr(" \t\r\n", original.back()))
            original.remove_suffix(1);
        require(path == u"software\\fuzz\\new" || now[path].substr(0, original.size()) == original);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    size_t preambleEnd = 0;
    FormatError error;
    if (scanHive(text, preambleEnd, [](SectionSpan &, FormatError &) { return true; }, error)) {
        rewriteEveryKey(text);
        changeThroughTheTree(text);
    }
    return 0;
}
