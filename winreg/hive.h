// The current user's registry as read from a hive file: its keys and values, the
// changes made to them, and the file's new text with every untouched key kept
// byte for byte.
#pragma once

#include "hiveformat.h"

#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace winreg {

class Hive {
public:
    // Takes the file's text; false (with the line and reason) when it is not a hive we fully understand.
    bool load(std::string text, FormatError &error);

    bool keyExists(std::u16string_view path) const;
    // Creates the key and every missing key above it; names keep the spelling they already have.
    void createKey(std::u16string_view path, bool &created);

    const RegValue *findValue(std::u16string_view keyPath, std::u16string_view name);
    void setValue(std::u16string_view keyPath, RegValue value);
    bool deleteValue(std::u16string_view keyPath, std::u16string_view name);

    bool changed() const { return m_changed; }
    // Hands the new file text to write in pieces; changed keys get the given time stamps.
    void save(const std::function<void(std::string_view)> &write, int64_t unixSeconds, uint64_t fileTime);

private:
    // A key's section: where it stands in the file (begin == end for a key this
    // run created), and its values once they have been read.
    struct Section {
        size_t begin = 0;
        size_t end = 0;
        size_t firstLine = 0;
        const std::u16string *foldedPath = nullptr; // the key of m_keys
        bool dirty = false;
        std::unique_ptr<KeySection> content;
    };
    struct Key {
        int section = -1; // -1 for a key that exists only through its subkeys
        std::u16string implicitPath; // the spelling of such a key
    };
    using KeyIndex = std::unordered_map<std::u16string, Key>;

    KeyIndex::iterator addKey(std::u16string_view path, std::u16string folded, int section);
    std::u16string spelling(const Key &key) const;
    Section *sectionOf(std::u16string_view keyPath, bool forWriting);
    int newSection(KeyIndex::iterator key, std::u16string path);

    std::string m_text;
    size_t m_preambleEnd = 0;
    std::vector<Section> m_sections;
    KeyIndex m_keys; // by case-folded path
    bool m_changed = false;
};

} // namespace winreg
