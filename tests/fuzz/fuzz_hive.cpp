// libFuzzer target for the hive reader and writer: a text whose structure is
// accepted must come back as the same registry after every readable key is
// written out again, and after a change made through the store's tree is saved
// and read back, with every key the change did not touch kept byte for byte.
#include "winreg/hive.h"
#include "winreg/hiveformat.h"
#include "winreg/unicode.h"

#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <map>
#include <string>
#include <vector>

using namespace winreg;

namespace {

void require(bool condition)
{
    if (!condition)
        std::abort();
}

bool sameValues(const KeySection &a, const KeySection &b)
{
    if (a.path != b.path || a.options != b.options || a.values.size() != b.values.size())
        return false;
    // The writer sorts values by name; look each one up.
    for (const auto &value : a.values) {
        bool found = false;
        for (const auto &other : b.values)
            found = found || (other.name == value.name && other.type == value.type && other.data == value.data);
        if (!found)
            return false;
    }
    return true;
}

void rewriteEveryKey(const std::string &text, const HiveLayout &layout)
{
    std::string rewritten = text.substr(0, layout.preambleEnd);
    std::vector<KeySection> sections;
    FormatError error;
    for (const auto &span : layout.sections) {
        KeySection section;
        // A key whose values cannot be read is never rewritten; such a text has nothing to compare.
        if (!readSection(std::string_view(text).substr(span.begin, span.end - span.begin), span.firstLine, section,
                         error))
            return;
        rewritten += formatSection(section, 1796580919, 0x1dd85adc08b6136ULL);
        sections.push_back(std::move(section));
    }
    HiveLayout again;
    require(scanHive(rewritten, again, error));
    require(again.sections.size() == sections.size());
    for (size_t i = 0; i < sections.size(); ++i) {
        KeySection section;
        const auto &span = again.sections[i];
        require(readSection(std::string_view(rewritten).substr(span.begin, span.end - span.begin), span.firstLine,
                            section, error));
        require(sameValues(sections[i], section));
    }
}

std::u16string folded(std::u16string path)
{
    for (auto &c : path)
        c = foldCase(c);
    return path;
}

void untouchedKeysKept(const std::string &before, const std::string &after, const std::u16string &changedKey)
{
    HiveLayout old, now;
    FormatError error;
    require(scanHive(before, old, error) && scanHive(after, now, error));
    std::map<std::u16string, std::string_view> sections;
    for (const auto &span : now.sections)
        sections[folded(span.path)] = std::string_view(after).substr(span.begin, span.end - span.begin);
    for (const auto &span : old.sections) {
        const std::u16string key = folded(span.path);
        if (key == changedKey)
            continue;
        // A last line without a line end gets one before a key that follows it,
        // and blank lines at the end go with a key that follows them.
        std::string_view original = std::string_view(before).substr(span.begin, span.end - span.begin);
        while (!original.empty() && std::strchr(" \t\r\n", original.back()))
            original.remove_suffix(1);
        require(sections.count(key) && sections[key].substr(0, original.size()) == original);
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
    const std::string saved = hive.savedText(1, 1);
    Hive reloaded;
    require(reloaded.load(saved, error));
    const RegValue *value = reloaded.findValue(u"SOFTWARE\\fuzz\\new", u"value \"\\\x00c9");
    require(value && value->type == 1 && value->data == std::string("a\0b\0\0\0", 6));
    untouchedKeysKept(text, saved, u"software\\fuzz\\new");
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const std::string text(reinterpret_cast<const char *>(data), size);
    HiveLayout layout;
    FormatError error;
    if (!scanHive(text, layout, error))
        return 0;
    rewriteEveryKey(text, layout);
    changeThroughTheTree(text);
    return 0;
}
