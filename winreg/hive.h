// The current user's registry as read from a hive file: its keys and values, the
// changes made to them, and the file's new text with every untouched key kept
// byte for byte.
#pragma once

#include "hiveformat.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace winreg {

class Hive {
public:
    // Takes the file's whole text in one pass; false (with the line and reason)
    // when its structure is not one we fully understand. A key's values are read
    // when it is first used.
    bool load(std::string text, FormatError &error);

    bool keyExists(std::u16string_view path) const;
    // Creates the key and every missing key above it; names keep the spelling they already have.
    void createKey(std::u16string_view path, bool &created);

    // The value functions read the key's values in full first. When they cannot
    // be read, the functions do nothing and failure() tells where and why: the
    // hive must then be neither used further nor saved.
    const RegValue *findValue(std::u16string_view keyPath, std::u16string_view name);
    // Whether the key is a registry link ("#link"), which Wine follows to its target.
    bool isLink(std::u16string_view keyPath);
    void setValue(std::u16string_view keyPath, RegValue value);
    bool deleteValue(std::u16string_view keyPath, std::u16string_view name);
    const FormatError *failure() const { return m_failure ? &*m_failure : nullptr; }

    bool changed() const { return m_changed; }
    // Hands the new file's text to write piece by piece: untouched text as it
    // was loaded, changed keys anew with the given time stamps, new keys where
    // Wine's next save would put them.
    void save(const std::function<void(std::string_view)> &write, int64_t unixSeconds, uint64_t fileTime) const;

private:
    struct Section {
        size_t begin = 0, end = 0; // its text in the loaded file; empty for a key this run created
        std::unique_ptr<KeySection> content; // its values, once read
        bool dirty = false;
    };
    // A key: its own section (none for a key that exists only through its
    // subkeys), a section whose path begins with the key's spelling, and the
    // length of its path.
    struct Key {
        uint32_t section;
        uint32_t spelledBy;
        uint32_t length;
    };
    static constexpr uint32_t none = UINT32_MAX;
    // A section this run created: the file section it goes before, its folded path, its index.
    struct NewSection {
        size_t place;
        std::u16string folded;
        size_t section;
    };

    bool enterSection(SectionSpan &span, FormatError &error);
    bool addKey(std::u16string_view folded, uint64_t hash, uint32_t section);
    std::u16string spelledPath(size_t section) const;
    const Key *findFolded(std::u16string_view folded, uint64_t hash) const;
    const Key *findKey(std::u16string_view path) const;
    std::u16string spelling(const Key &key, size_t length) const;
    size_t newSection(std::u16string path);
    Section *sectionOf(std::u16string_view keyPath, bool forWriting);
    size_t placeOfNewSection(std::u16string_view folded) const;
    std::vector<NewSection> newSectionsInOrder() const;

    std::string m_text;
    size_t m_preambleEnd = 0;
    std::vector<Section> m_sections; // the file's sections in file order, then those this run created
    size_t m_fileSections = 0;
    // The keys by the hash of their folded path; each is confirmed on its path,
    // read from the section that spells it.
    std::unordered_multimap<uint64_t, Key> m_keys;
    std::u16string m_previous; // the folded path of the section entered last
    std::u16string m_folded;   // scratch: the folded path of the section being entered
    std::vector<std::pair<size_t, uint64_t>> m_ancestors; // scratch: each key above it, by length and hash
    bool m_changed = false;
    std::optional<FormatError> m_failure;
};

} // namespace winreg
