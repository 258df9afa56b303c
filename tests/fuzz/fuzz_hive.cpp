// libFuzzer target for the hive reader and writer: a text that is accepted must
// come back as the same registry after every key is written out again, and
// after a change made through the store's tree is saved and read back.
#include "winreg/hive.h"
#include "winreg/hiveformat.h"

#include <cstdint>
#include <cstdlib>
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
        require(readSection(std::string_view(text).substr(span.begin, span.end - span.begin), span.firstLine, section, error));
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

void changeThroughTheTree(const std::string &text)
{
    Hive hive;
    FormatError error;
    if (!hive.load(text, error))
        return; // e.g. a key that appears twice
    bool created = false;
    hive.createKey(u"Software\\Fuzz\\New", created);
    hive.setValue(u"Software\\Fuzz\\New", {u"Value \"\\\x00e9", 1, std::string("a\0b\0\0\0", 6)});
    std::string saved;
    hive.save([&](std::string_view piece) { saved.append(piece); }, 1, 1);
    Hive reloaded;
    require(reloaded.load(saved, error));
    const RegValue *value = reloaded.findValue(u"SOFTWARE\\fuzz\\new", u"value \"\\\x00c9");
    require(value && value->type == 1 && value->data == std::string("a\0b\0\0\0", 6));
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
