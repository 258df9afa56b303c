#include "hive.h"

#include "unicode.h"

#include <algorithm>
#include <cstring>
#include <system_error>
#include <thread>

namespace winreg {

namespace {

uint64_t mix(uint64_t h)
{
    h ^= h >> 33;
    h *= 0xff51afd7ed558ccdULL;
    h ^= h >> 33;
    h *= 0xc4ceb9fe1a85ec53ULL;
    return h ^ (h >> 33);
}

// The hash of a folded path, built component by component so that each
// ancestor's hash comes on the way; ancestors (length, hash) go to prefixes.
uint64_t pathHash(std::u16string_view folded, std::vector<std::pair<size_t, uint64_t>> *prefixes = nullptr)
{
    uint64_t h = 0x9e3779b97f4a7c15ULL;
    if (prefixes)
        prefixes->clear();
    size_t start = 0;
    while (!folded.empty()) {
        const size_t end = std::min(folded.find(u'\\', start), folded.size());
        h = mix(h + std::hash<std::u16string_view>()(folded.substr(start, end - start)));
        if (end == folded.size())
            break;
        if (prefixes)
            prefixes->emplace_back(end, h);
        start = end + 1;
    }
    return h;
}

// Whether key is folded or one of the keys above it.
bool isPathOrAncestor(std::u16string_view key, std::u16string_view folded)
{
    return folded.substr(0, key.size()) == key && (folded.size() == key.size() || folded[key.size()] == u'\\');
}

// Registry order of folded key paths: a parent before its children, and within
// a component a shorter name before a longer one that it begins.
bool foldedPathLess(std::u16string_view a, std::u16string_view b)
{
    const size_t common = std::min(a.size(), b.size());
    for (size_t i = 0; i < common; ++i) {
        if (a[i] != b[i]) {
            const char16_t x = a[i] == u'\\' ? 0 : a[i], y = b[i] == u'\\' ? 0 : b[i];
            return x < y;
        }
    }
    return a.size() < b.size();
}

class TextSource : public HiveSource {
public:
    explicit TextSource(std::string text) : m_text(std::move(text)) {}
    long read(size_t offset, char *buffer, size_t length) const override
    {
        const size_t count = offset < m_text.size() ? std::min(length, m_text.size() - offset) : 0;
        std::memcpy(buffer, m_text.data() + offset, count);
        return static_cast<long>(count);
    }
    size_t size() const override { return m_text.size(); }

private:
    std::string m_text;
};

} // namespace

bool Hive::load(std::string text, FormatError &error)
{
    return load(std::make_unique<TextSource>(std::move(text)), error);
}

bool Hive::load(std::unique_ptr<HiveSource> source, FormatError &error)
{
    m_source = std::move(source);
    m_sections.clear();
    m_fileSections = 0;
    m_touched.clear();
    m_inKeyOrder = true;
    m_slots.clear();
    m_usedSlots = 0;
    m_implicitPaths.clear();
    m_previousPath.clear();
    m_changed = false;
    m_failure.reset();
    if (loadInTwoHalves())
        return true;
    m_sections.clear();
    m_fileSections = 0;
    m_previousPath.clear();
    const TextReader read = [this](size_t offset, char *buffer, size_t length) {
        return m_source->read(offset, buffer, length);
    };
    m_size = 0;
    const bool loaded = scanHive(
        read, m_preambleEnd,
        [this](SectionSpan &span, FormatError &refusal) {
            m_size = span.end;
            return enterLoadedSection(span, refusal);
        },
        error);
    if (m_sections.empty())
        m_size = m_preambleEnd;
    std::string last;
    m_endsWithNewline = m_size == 0 || (readText(m_size - 1, m_size, last) && last == "\n");
    return loaded;
}

// Where a large file can be cut in two for the two halves to be read side by
// side: at the blank lines before the first key header after its middle. A line
// that begins with "[" is a key header wherever it stands in a valid file.
size_t Hive::secondHalfStart() const
{
    constexpr size_t window = 1 << 16;
    const size_t size = m_source->size();
    if (size < (8u << 20))
        return 0;
    std::string text;
    const size_t middle = size / 2;
    if (!readText(middle - window, middle + window, text))
        return 0;
    const size_t header = text.find("\n[", window);
    if (header == std::string::npos)
        return 0;
    // Back over the blank lines before the header.
    size_t start = header + 1;
    while (start >= 2) {
        const size_t lineStart = text.rfind('\n', start - 2);
        if (lineStart == std::string::npos)
            return 0;
        const std::string_view line(text.data() + lineStart + 1, start - 1 - (lineStart + 1));
        if (line.find_first_not_of(" \t\r") != std::string_view::npos)
            break;
        start = lineStart + 1;
    }
    return middle - window + start;
}

// Reads the two halves of a large file in key order on two cores. False when
// the file is not such a file, or anything in it is not as it should be: the
// caller then reads it from the start, as it does every other file.
bool Hive::loadInTwoHalves()
{
    const size_t split = secondHalfStart();
    if (split == 0)
        return false;
    struct Half {
        std::vector<size_t> begins;
        std::u16string first, last; // folded paths
        bool inOrder = true;
        bool scanned = false;
    };
    auto scanHalf = [this](size_t from, size_t to, Half &half) {
        const TextReader read = [this, from, to](size_t offset, char *buffer, size_t length) -> long {
            return from + offset < to ? m_source->read(from + offset, buffer, std::min(length, to - from - offset)) : 0L;
        };
        std::u16string folded;
        FormatError ignored;
        const SectionVisitor visit = [&](SectionSpan &span, FormatError &) {
            folded = foldCase(span.path);
            if (!half.begins.empty() && !foldedPathLess(half.last, folded))
                return half.inOrder = false;
            if (half.begins.empty())
                half.first = folded;
            half.begins.push_back(from + span.begin);
            half.last.swap(folded);
            return true;
        };
        half.scanned = from == 0 ? scanHive(read, m_preambleEnd, visit, ignored) : scanHivePart(read, visit, ignored);
    };
    Half front, back;
    std::thread other;
    try {
        other = std::thread([&]() { scanHalf(split, m_source->size(), back); });
    } catch (const std::system_error &) {
        return false; // no second thread to be had: one reads it all
    }
    scanHalf(0, split, front);
    other.join();
    if (!front.scanned || !back.scanned || front.begins.empty() || back.begins.empty() ||
        !foldedPathLess(front.last, back.first))
        return false;
    m_sections = std::move(front.begins);
    m_sections.insert(m_sections.end(), back.begins.begin(), back.begins.end());
    m_fileSections = m_sections.size();
    m_previousPath = std::move(back.last);
    m_size = m_source->size();
    std::string last;
    m_endsWithNewline = readText(m_size - 1, m_size, last) && last == "\n";
    return true;
}

// A section as the structure pass hands it over. While the file is in key
// order nothing but where the section begins is kept; the first key out of
// order makes an index of all keys so far, and of every key after it.
bool Hive::enterLoadedSection(const SectionSpan &span, FormatError &error)
{
    // One buffer is reused for every section, and changes places with the path before.
    std::u16string &folded = m_folded;
    folded.resize(span.path.size());
    std::transform(span.path.begin(), span.path.end(), folded.begin(), [](char16_t c) { return foldCase(c); });
    m_sections.push_back(span.begin);
    m_fileSections = m_sections.size();
    if (m_inKeyOrder && (m_sections.size() == 1 || foldedPathLess(m_previousPath, folded))) {
        m_previousPath.swap(folded);
        return true;
    }
    if (m_inKeyOrder) {
        m_inKeyOrder = false;
        m_previousPath.clear();
        if (!indexLoadedSections(m_sections.size() - 1, error))
            return false;
    }
    if (!enterSection(m_sections.size() - 1, folded, span.path))
        return error = {span.headerLine, "the key appears twice"}, false;
    m_previousPath.swap(folded);
    return true;
}

// Enters the first count sections into the index, reading their headers again.
bool Hive::indexLoadedSections(size_t count, FormatError &error)
{
    const size_t end = m_sections[count];
    const TextReader read = [this, end](size_t offset, char *buffer, size_t length) -> long {
        return offset < end ? m_source->read(offset, buffer, std::min(length, end - offset)) : 0L;
    };
    size_t index = 0;
    size_t preambleEnd = 0;
    return scanHive(
        read, preambleEnd,
        [&](SectionSpan &span, FormatError &) {
            const std::u16string folded = foldCase(span.path);
            enterSection(index++, folded, span.path);
            m_previousPath = folded;
            return true;
        },
        error);
}

size_t Hive::sectionEnd(size_t section) const
{
    return section + 1 < m_fileSections ? m_sections[section + 1] : m_size;
}

bool Hive::readText(size_t begin, size_t end, std::string &text) const
{
    text.resize(end - begin);
    for (size_t done = 0; done < text.size();) {
        const long got = m_source->read(begin + done, &text[done], text.size() - done);
        if (got <= 0)
            return false;
        done += static_cast<size_t>(got);
    }
    return true;
}

// The number of the line at offset, counted only when a message needs it.
size_t Hive::lineAt(size_t offset) const
{
    size_t line = 1;
    std::string chunk;
    for (size_t at = 0; at < offset; at += chunk.size()) {
        if (!readText(at, std::min(offset, at + (1 << 20)), chunk))
            break;
        line += static_cast<size_t>(std::count(chunk.begin(), chunk.end(), '\n'));
    }
    return line;
}

// A section's path as its header spells it, read from the file again.
std::u16string Hive::spelledPath(size_t section) const
{
    const auto found = m_touched.find(section);
    if (found != m_touched.end() && found->second.content)
        return found->second.content->path;
    // The header ends the first line that is not blank; the section was checked when it was loaded.
    const size_t begin = m_sections[section], end = sectionEnd(section);
    std::string text;
    for (size_t length = 256;; length *= 4) {
        length = std::min(length, end - begin);
        if (!readText(begin, begin + length, text))
            return std::u16string();
        const size_t header = text.find('[');
        if ((header != std::string::npos && text.find('\n', header) != std::string::npos) || length == end - begin)
            break;
    }
    KeySection headerOnly;
    FormatError ignored;
    readSection(std::string_view(text).substr(0, std::min(text.find('\n', text.find('[')), text.size())), 1,
                headerOnly, ignored);
    return headerOnly.path;
}

std::u16string Hive::foldedPath(size_t section) const
{
    if (isNew(section))
        return m_touched.at(section).folded;
    return foldCase(spelledPath(section));
}

std::optional<Hive::KeyRef> Hive::findKey(std::u16string_view path) const
{
    const std::u16string key = foldCase(path);
    // Keys this run created come first: a key known only through its subkeys may have got a section.
    for (size_t section = m_fileSections; section < m_sections.size(); ++section)
        if (m_touched.at(section).folded == key)
            return KeyRef{section, m_touched.at(section).content->path};
    if (auto found = m_inKeyOrder ? findInOrderedFile(key) : findInIndex(key))
        return found;
    for (size_t section = m_fileSections; section < m_sections.size(); ++section)
        if (isPathOrAncestor(key, m_touched.at(section).folded))
            return KeyRef{std::string::npos, m_touched.at(section).content->path.substr(0, key.size())};
    return std::nullopt;
}

// The first section of the file, searched by halves, whose key does not sort
// before key; in a file in key order, every section before it sorts before key.
size_t Hive::firstSectionNotBefore(std::u16string_view key) const
{
    size_t low = 0, high = m_fileSections;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (foldedPathLess(foldedPath(middle), key))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// In a file in key order, a key is the first section not before it, or it is
// above that section's key.
std::optional<Hive::KeyRef> Hive::findInOrderedFile(std::u16string_view key) const
{
    const size_t low = firstSectionNotBefore(key);
    if (low == m_fileSections)
        return std::nullopt;
    const std::u16string spelled = spelledPath(low);
    const std::u16string found = foldCase(spelled);
    if (found == key)
        return KeyRef{low, spelled};
    if (isPathOrAncestor(key, found))
        return KeyRef{std::string::npos, spelled.substr(0, key.size())};
    return std::nullopt;
}

std::optional<Hive::KeyRef> Hive::findInIndex(std::u16string_view key) const
{
    const Slot *slot = findSlot(key, pathHash(key));
    if (!slot)
        return std::nullopt;
    if (slot->own)
        return KeyRef{slot->ref, spelledPath(slot->ref)};
    return KeyRef{std::string::npos, m_implicitPaths.substr(slot->ref + slot->length, slot->length)};
}

std::u16string Hive::foldedPath(const Slot &slot) const
{
    if (slot.own)
        return foldedPath(slot.ref);
    return m_implicitPaths.substr(slot.ref, slot.length);
}

const Hive::Slot *Hive::findSlot(std::u16string_view folded, uint64_t hash) const
{
    if (m_slots.empty())
        return nullptr;
    const size_t mask = m_slots.size() - 1;
    for (size_t i = mix(hash) & mask; m_slots[i].ref != noSection; i = (i + 1) & mask) {
        const Slot &slot = m_slots[i];
        // Equal hashes are confirmed on the paths themselves.
        if (slot.hash == hash && slot.length == folded.size() && foldedPath(slot) == folded)
            return &slot;
    }
    return nullptr;
}

void Hive::insertSlot(const Slot &slot)
{
    if (2 * (m_usedSlots + 1) > m_slots.size()) {
        std::vector<Slot> old(std::max<size_t>(64, 2 * m_slots.size()));
        old.swap(m_slots);
        m_usedSlots = 0;
        for (const auto &entry : old)
            if (entry.ref != noSection)
                insertSlot(entry);
    }
    const size_t mask = m_slots.size() - 1;
    size_t i = mix(slot.hash) & mask;
    while (m_slots[i].ref != noSection)
        i = (i + 1) & mask;
    m_slots[i] = slot;
    ++m_usedSlots;
}

// Enters a loaded section's key, and the keys above it that are not known
// yet, into the index; false when the key has a section already.
bool Hive::enterSection(size_t section, std::u16string_view path, std::u16string_view spelled)
{
    const uint64_t hash = pathHash(path, &m_prefixes);
    const auto length = static_cast<uint32_t>(path.size());
    if (Slot *known = const_cast<Slot *>(findSlot(path, hash))) {
        if (known->own)
            return false;
        // Known so far through its subkeys only.
        *known = {hash, static_cast<uint32_t>(section), length, 1};
        return true;
    }
    insertSlot({hash, static_cast<uint32_t>(section), length, 1});
    // The keys above it exist through it; stop at the first one already known,
    // which is often one above the key loaded before.
    for (auto ancestor = m_prefixes.rbegin(); ancestor != m_prefixes.rend(); ++ancestor) {
        const std::u16string_view above = path.substr(0, ancestor->first);
        if (isPathOrAncestor(above, m_previousPath) || findSlot(above, ancestor->second))
            break;
        const auto where = static_cast<uint32_t>(m_implicitPaths.size());
        m_implicitPaths.append(above).append(spelled.substr(0, above.size()));
        insertSlot({ancestor->second, where, static_cast<uint32_t>(ancestor->first), 0});
    }
    return true;
}

bool Hive::keyExists(std::u16string_view path) { return path.empty() || findKey(path); }

size_t Hive::newSection(std::u16string path)
{
    const size_t index = m_sections.size();
    m_sections.push_back(std::string::npos);
    Touched &touched = m_touched[index];
    touched.folded = foldCase(path);
    touched.dirty = true;
    touched.content = std::make_unique<KeySection>();
    touched.content->path = std::move(path);
    m_changed = true;
    return index;
}

void Hive::createKey(std::u16string_view path, bool &created)
{
    created = !keyExists(path);
    if (!created)
        return;
    // Spell the new path with the names of the keys that exist already.
    std::u16string spelled;
    size_t start = 0;
    for (;;) {
        const size_t end = std::min(path.find(u'\\', start), path.size());
        std::u16string candidate = spelled + (spelled.empty() ? u"" : u"\\") + std::u16string(path.substr(start, end - start));
        const auto found = findKey(candidate);
        spelled = found ? found->spelling : candidate;
        if (end == path.size())
            break;
        start = end + 1;
    }
    // A new key without values still gets a section, so that it exists in the file.
    newSection(spelled);
}

Hive::Touched *Hive::touchedSection(std::u16string_view keyPath, bool forWriting)
{
    if (m_failure)
        return nullptr;
    const auto found = findKey(keyPath);
    size_t index = found ? found->section : std::string::npos;
    if (index == std::string::npos) {
        // A key known only through its subkeys gets a section of its own once it holds a value.
        if (!forWriting || !(found || keyPath.empty()))
            return nullptr;
        index = newSection(found ? found->spelling : std::u16string());
    }
    Touched &touched = m_touched[index];
    if (!touched.content) {
        auto content = std::make_unique<KeySection>();
        std::string text;
        FormatError error;
        const size_t begin = m_sections[index];
        if (!readText(begin, sectionEnd(index), text))
            error = {1, "the file could not be read again"};
        else if (readSection(text, 1, *content, error))
            touched.content = std::move(content);
        if (!touched.content) {
            error.line += lineAt(begin) - 1;
            m_failure = error;
            return nullptr;
        }
    }
    return &touched;
}

const RegValue *Hive::findValue(std::u16string_view keyPath, std::u16string_view name)
{
    Touched *section = touchedSection(keyPath, false);
    if (!section)
        return nullptr;
    for (const auto &value : section->content->values)
        if (compareNames(value.name, name) == 0)
            return &value;
    return nullptr;
}

void Hive::setValue(std::u16string_view keyPath, RegValue value)
{
    Touched *section = touchedSection(keyPath, true);
    if (!section)
        return;
    section->dirty = true;
    m_changed = true;
    for (auto &existing : section->content->values) {
        if (compareNames(existing.name, value.name) == 0) {
            // The name keeps the spelling it was created with.
            existing.type = value.type;
            existing.data = std::move(value.data);
            return;
        }
    }
    section->content->values.push_back(std::move(value));
}

bool Hive::deleteValue(std::u16string_view keyPath, std::u16string_view name)
{
    Touched *section = touchedSection(keyPath, false);
    if (!section)
        return false;
    auto &values = section->content->values;
    auto found = std::find_if(values.begin(), values.end(),
                              [&](const RegValue &value) { return compareNames(value.name, name) == 0; });
    if (found == values.end())
        return false;
    values.erase(found);
    section->dirty = true;
    m_changed = true;
    return true;
}

void Hive::save(HiveSink &sink, int64_t unixSeconds, uint64_t fileTime)
{
    // A new key goes before the first key of the file that sorts after it: where
    // Wine would put it in a file kept in key order, as Wine keeps it.
    std::vector<std::pair<size_t, size_t>> added; // (place, section)
    for (size_t section = m_fileSections; section < m_sections.size(); ++section)
        added.emplace_back(firstSectionNotBefore(m_touched.at(section).folded), section);
    std::sort(added.begin(), added.end(), [this](const auto &a, const auto &b) {
        return a.first != b.first ? a.first < b.first
                                  : foldedPathLess(m_touched.at(a.second).folded, m_touched.at(b.second).folded);
    });
    // Untouched text that follows on untouched text is handed over in one piece.
    size_t runBegin = 0, runEnd = 0;
    bool endsWithNewline = true;
    auto flushRun = [&]() {
        if (runEnd > runBegin)
            sink.copy(runBegin, runEnd);
        runBegin = runEnd = 0;
    };
    auto copy = [&](size_t begin, size_t end) {
        if (end == begin)
            return;
        if (begin != runEnd)
            flushRun(), runBegin = begin;
        runEnd = end;
        // Sections begin where lines begin; only the file's end may be in a line.
        endsWithNewline = end < m_size || m_endsWithNewline;
    };
    auto write = [&](std::string_view piece) {
        if (piece.empty())
            return;
        flushRun();
        sink.write(piece);
        endsWithNewline = piece.back() == '\n';
    };
    auto emitSection = [&](size_t section) {
        if (!endsWithNewline)
            write("\n");
        const auto touched = m_touched.find(section);
        const bool inFile = !isNew(section);
        if (touched == m_touched.end() || !touched->second.dirty)
            return copy(m_sections[section], sectionEnd(section));
        std::string formatted = formatSection(*touched->second.content, unixSeconds, fileTime);
        // Keep the blank lines that stood before the old section.
        if (inFile) {
            std::string old;
            readText(m_sections[section], sectionEnd(section), old);
            formatted.replace(0, 1, old.substr(0, old.find('[')));
        }
        write(formatted);
    };
    copy(0, m_preambleEnd);
    auto nextAdded = added.begin();
    for (size_t section = 0; section < m_fileSections; ++section) {
        for (; nextAdded != added.end() && nextAdded->first == section; ++nextAdded)
            emitSection(nextAdded->second);
        emitSection(section);
    }
    for (; nextAdded != added.end(); ++nextAdded)
        emitSection(nextAdded->second);
    flushRun();
}

std::string Hive::savedText(int64_t unixSeconds, uint64_t fileTime)
{
    class TextSink : public HiveSink {
    public:
        explicit TextSink(const Hive &hive) : m_hive(hive) {}
        void write(std::string_view piece) override { text.append(piece); }
        void copy(size_t begin, size_t end) override
        {
            std::string piece;
            m_hive.readText(begin, end, piece);
            text += piece;
        }
        std::string text;

    private:
        const Hive &m_hive;
    };
    TextSink sink(*this);
    save(sink, unixSeconds, fileTime);
    return sink.text;
}

} // namespace winreg
