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
    // A key: its own section (npos for a key that exists only through its
    // subkeys), and a section whose path begins with the key's spelling.
    struct Key {
        size_t section;
        size_t spelledBy;
    };
    static constexpr size_t none = std::string::npos;

    bool enterSection(const SectionSpan &span, FormatError &error);
    std::u16string spelledPath(size_t section) const;
    const Key *findKey(std::u16string_view path) const;
    std::u16string spelling(const Key &key, size_t length) const;
    size_t newSection(std::u16string path);
    Section *sectionOf(std::u16string_view keyPath, bool forWriting);
    size_t placeOfNewSection(std::u16string_view folded) const;

    std::string m_text;
    size_t m_preambleEnd = 0;
    std::vector<Section> m_sections; // the file's sections in file order, then those this run created
    size_t m_fileSections = 0;
    std::unordered_map<std::u16string, Key> m_keys; // by folded path
    bool m_changed = false;
    std::optional<FormatError> m_failure;
};

} // namespace winreg
