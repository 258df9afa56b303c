// The current user's registry as read from a hive file: its keys and values, the
// changes made to them, and the file's new text with every untouched key kept
// byte for byte.
#pragma once

#include "hiveformat.h"

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

namespace winreg {

// The loaded text, which the hive reads again where it needs more than the
// structure: a key's values, a key's spelling.
class HiveSource {
public:
    virtual ~HiveSource() = default;
    // At most length bytes from offset into buffer: the count read, 0 past the end, -1 on failure.
    virtual long read(size_t offset, char *buffer, size_t length) const = 0;
    virtual size_t size() const = 0;
};

// Where the new text goes: new pieces, and ranges of the loaded text that stay as they are.
class HiveSink {
public:
    virtual ~HiveSink() = default;
    virtual void write(std::string_view text) = 0;
    virtual void copy(size_t begin, size_t end) = 0;
};

class Hive {
public:
    // Takes the file's text; false (with the line and reason) when its structure
    // is not one we fully understand. A key's values are read when it is first used.
    bool load(std::string text, FormatError &error);
    bool load(std::unique_ptr<HiveSource> source, FormatError &error);

    bool keyExists(std::u16string_view path);
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
    // Hands the new file over to sink; changed keys get the given time stamps.
    void save(HiveSink &sink, int64_t unixSeconds, uint64_t fileTime);
    // The new file's whole text.
    std::string savedText(int64_t unixSeconds, uint64_t fileTime);

private:
    // What the run knows of a section beyond where it stands.
    struct Touched {
        std::unique_ptr<KeySection> content; // its values, once read
        std::u16string folded;               // the folded path of a section this run created
        bool dirty = false;
    };
    // A key that was found: its own section (or npos for a key that exists
    // only through its subkeys), and its spelling.
    struct KeyRef {
        size_t section = std::string::npos;
        std::u16string spelling;
    };
    // An entry of the key index of a file that is not in key order: a key with
    // a section, or a key that exists only through its subkeys, whose path the
    // index keeps itself.
    struct Slot {
        uint64_t hash = 0;
        uint32_t ref = noSection; // the section, or where the path is in m_implicitPaths
        uint32_t length : 31;
        uint32_t own : 1; // whether ref is a section
    };
    static constexpr uint32_t noSection = UINT32_MAX;

    bool isNew(size_t section) const { return section >= m_fileSections; }
    size_t sectionEnd(size_t section) const;
    bool readText(size_t begin, size_t end, std::string &text) const;
    size_t lineAt(size_t offset) const;
    std::u16string spelledPath(size_t section) const;
    std::u16string foldedPath(size_t section) const;
    bool enterLoadedSection(const SectionSpan &span, FormatError &error);
    bool loadInTwoHalves();
    size_t secondHalfStart() const;
    bool indexLoadedSections(size_t count, FormatError &error);
    std::optional<KeyRef> findKey(std::u16string_view path) const;
    size_t firstSectionNotBefore(std::u16string_view folded) const;
    std::optional<KeyRef> findInOrderedFile(std::u16string_view folded) const;
    std::optional<KeyRef> findInIndex(std::u16string_view folded) const;
    const Slot *findSlot(std::u16string_view folded, uint64_t hash) const;
    std::u16string foldedPath(const Slot &slot) const;
    void insertSlot(const Slot &slot);
    bool enterSection(size_t section, std::u16string_view folded, std::u16string_view spelled);
    size_t newSection(std::u16string path);
    Touched *touchedSection(std::u16string_view keyPath, bool forWriting);

    std::unique_ptr<HiveSource> m_source;
    size_t m_size = 0;
    size_t m_preambleEnd = 0;
    bool m_endsWithNewline = true;
    std::vector<size_t> m_sections; // where each section begins; npos for one this run created
    size_t m_fileSections = 0;
    std::unordered_map<size_t, Touched> m_touched;
    // A file in key order, as Wine writes it, is searched by halves; any other gets a hash index.
    bool m_inKeyOrder = true;
    std::vector<Slot> m_slots; // open addressing; its size a power of two
    size_t m_usedSlots = 0;
    std::u16string m_implicitPaths; // each key known through its subkeys: folded path, then spelling
    std::u16string m_previousPath;  // the folded path of the section loaded last
    std::u16string m_folded;        // scratch: the folded path of the section being loaded
    std::vector<std::pair<size_t, uint64_t>> m_prefixes; // scratch: each ancestor's length and hash
    bool m_changed = false;
    std::optional<FormatError> m_failure;
};

} // namespace winreg
