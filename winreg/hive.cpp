#include "hive.h"

#include "unicode.h"

#include <algorithm>

namespace winreg {

namespace {

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

// Whether key is folded or one of the keys above it.
bool isPathOrAncestor(std::u16string_view key, std::u16string_view folded)
{
    return folded.substr(0, key.size()) == key && (folded.size() == key.size() || folded[key.size()] == u'\\');
}

// The hash of a folded path; the hash of each key above it, and its length, go to ancestors.
uint64_t pathHash(std::u16string_view folded, std::vector<std::pair<size_t, uint64_t>> *ancestors = nullptr)
{
    uint64_t hash = 0xcbf29ce484222325ULL; // FNV-1a, a character at a time
    if (ancestors)
        ancestors->clear();
    for (size_t i = 0; i < folded.size(); ++i) {
        if (ancestors && folded[i] == u'\\')
            ancestors->emplace_back(i, hash);
        hash = (hash ^ folded[i]) * 0x100000001b3ULL;
    }
    return hash;
}

} // namespace

bool Hive::load(std::string text, FormatError &error)
{
    *this = Hive();
    m_text = std::move(text);
    m_keys.reserve(m_text.size() / 256); // about a key for every few lines
    return scanHive(
        m_text, m_preambleEnd, [this](SectionSpan &span, FormatError &refusal) { return enterSection(span, refusal); },
        error);
}

bool Hive::enterSection(SectionSpan &span, FormatError &error)
{
    const auto section = static_cast<uint32_t>(m_sections.size());
    m_sections.push_back({span.begin, span.end, nullptr, false});
    m_fileSections = m_sections.size();
    m_folded.swap(span.folded);
    if (!addKey(m_folded, pathHash(m_folded, &m_ancestors), section))
        return error = {span.headerLine, "the key appears twice"}, false;
    m_previous.swap(m_folded);
    return true;
}

// Enters the key at folded, of the hash given, with its own section, and the
// keys above it that are not known yet (m_ancestors), which exist through it;
// false when it has a section already.
bool Hive::addKey(std::u16string_view folded, uint64_t hash, uint32_t section)
{
    if (const Key *known = findFolded(folded, hash)) {
        if (known->section != none)
            return false;
        const_cast<Key *>(known)->section = section; // known so far through its subkeys only
        return true;
    }
    m_keys.emplace(hash, Key{section, section, static_cast<uint32_t>(folded.size())});
    // The keys above the key entered last exist, and so do those above any known key.
    for (auto ancestor = m_ancestors.rbegin(); ancestor != m_ancestors.rend(); ++ancestor) {
        const std::u16string_view above = folded.substr(0, ancestor->first);
        if (isPathOrAncestor(above, m_previous) || findFolded(above, ancestor->second))
            break;
        m_keys.emplace(ancestor->second, Key{none, section, static_cast<uint32_t>(above.size())});
    }
    return true;
}

// A section's path as its header spells it.
std::u16string Hive::spelledPath(size_t section) const
{
    const Section &known = m_sections[section];
    if (known.content)
        return known.content->path;
    // The header ends the first line that is not blank; the section was checked when it was loaded.
    const std::string_view text = std::string_view(m_text).substr(known.begin, known.end - known.begin);
    KeySection headerOnly;
    FormatError ignored;
    readSection(text.substr(0, text.find('\n', text.find('['))), 1, headerOnly, ignored);
    return headerOnly.path;
}

const Hive::Key *Hive::findFolded(std::u16string_view folded, uint64_t hash) const
{
    const auto [first, last] = m_keys.equal_range(hash);
    for (auto candidate = first; candidate != last; ++candidate) {
        const Key &key = candidate->second;
        if (key.length == folded.size() && foldCase(spelledPath(key.spelledBy).substr(0, key.length)) == folded)
            return &key;
    }
    return nullptr;
}

const Hive::Key *Hive::findKey(std::u16string_view path) const
{
    const std::u16string folded = foldCase(path);
    return findFolded(folded, pathHash(folded));
}

// A key's spelling: the first length characters of the path that spells it.
std::u16string Hive::spelling(const Key &key, size_t length) const { return spelledPath(key.spelledBy).substr(0, length); }

bool Hive::keyExists(std::u16string_view path) const { return path.empty() || findKey(path); }

size_t Hive::newSection(std::u16string path)
{
    const auto section = static_cast<uint32_t>(m_sections.size());
    m_sections.push_back({0, 0, std::make_unique<KeySection>(), true});
    m_sections.back().content->path = path;
    const std::u16string folded = foldCase(path);
    addKey(folded, pathHash(folded, &m_ancestors), section); // a key known through its subkeys gets a section of its own
    m_changed = true;
    return section;
}

void Hive::createKey(std::u16string_view path, bool &created)
{
    created = !keyExists(path);
    if (!created)
        return;
    // The new path keeps the spelling of the keys above it that exist already.
    std::u16string spelled(path);
    for (size_t cut = path.rfind(u'\\'); cut != std::u16string::npos && cut > 0; cut = path.rfind(u'\\', cut - 1)) {
        if (const Key *above = findKey(path.substr(0, cut))) {
            spelled = spelling(*above, cut) + std::u16string(path.substr(cut));
            break;
        }
    }
    // A new key without values still gets a section, so that it exists in the file.
    newSection(spelled);
}

// The section of the key at keyPath with its values read, or null.
Hive::Section *Hive::sectionOf(std::u16string_view keyPath, bool forWriting)
{
    if (m_failure)
        return nullptr;
    const Key *key = findKey(keyPath);
    size_t index = key && key->section != none ? key->section : std::string::npos;
    if (index == std::string::npos) {
        // A key known only through its subkeys gets a section of its own once it holds a value.
        if (!forWriting || !(key || keyPath.empty()))
            return nullptr;
        index = newSection(key ? spelling(*key, keyPath.size()) : std::u16string());
    }
    Section &section = m_sections[index];
    if (!section.content) {
        auto content = std::make_unique<KeySection>();
        FormatError error;
        const std::string_view text = std::string_view(m_text).substr(section.begin, section.end - section.begin);
        if (!readSection(text, 1, *content, error)) {
            error.line += static_cast<size_t>(std::count(m_text.begin(), m_text.begin() + section.begin, '\n'));
            m_failure = error;
            return nullptr;
        }
        section.content = std::move(content);
    }
    return &section;
}

const RegValue *Hive::findValue(std::u16string_view keyPath, std::u16string_view name)
{
    const Section *section = sectionOf(keyPath, false);
    if (!section)
        return nullptr;
    for (const auto &value : section->content->values)
        if (compareNames(value.name, name) == 0)
            return &value;
    return nullptr;
}

bool Hive::isLink(std::u16string_view keyPath)
{
    const Section *section = sectionOf(keyPath, false);
    if (!section)
        return false;
    for (const std::string &option : section->content->options)
        if (option.compare(0, 5, "#link") == 0)
            return true;
    return false;
}

void Hive::setValue(std::u16string_view keyPath, RegValue value)
{
    Section *section = sectionOf(keyPath, true);
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
    Section *section = sectionOf(keyPath, false);
    if (!section)
        return false;
    auto &values = section->content->values;
    const auto found = std::find_if(values.begin(), values.end(),
                                    [&](const RegValue &value) { return compareNames(value.name, name) == 0; });
    if (found == values.end())
        return false;
    values.erase(found);
    section->dirty = true;
    m_changed = true;
    return true;
}

// Where Wine would put a new key in a file kept in key order, as Wine keeps it:
// before the first section, searched by halves, whose key sorts after it.
size_t Hive::placeOfNewSection(std::u16string_view folded) const
{
    size_t low = 0, high = m_fileSections;
    while (low < high) {
        const size_t middle = low + (high - low) / 2;
        if (foldedPathLess(foldCase(spelledPath(middle)), folded))
            low = middle + 1;
        else
            high = middle;
    }
    return low;
}

// The sections this run created, in the order they are written: by the file
// section each goes before, then in key order.
std::vector<Hive::NewSection> Hive::newSectionsInOrder() const
{
    std::vector<NewSection> added;
    for (size_t section = m_fileSections; section < m_sections.size(); ++section) {
        std::u16string folded = foldCase(m_sections[section].content->path);
        added.push_back({placeOfNewSection(folded), std::move(folded), section});
    }
    std::sort(added.begin(), added.end(), [](const NewSection &a, const NewSection &b) {
        return a.place != b.place ? a.place < b.place : foldedPathLess(a.folded, b.folded);
    });
    return added;
}

void Hive::save(const std::function<void(std::string_view)> &write, int64_t unixSeconds, uint64_t fileTime) const
{
    const std::vector<NewSection> added = newSectionsInOrder();
    // Untouched text that follows on untouched text goes out in one piece.
    const std::string_view text(m_text);
    size_t runBegin = 0, runEnd = 0;
    bool endsWithNewline = true;
    const auto flushRun = [&]() {
        if (runEnd > runBegin)
            write(text.substr(runBegin, runEnd - runBegin));
        runBegin = runEnd;
    };
    const auto put = [&](size_t begin, size_t end, const std::string *formatted) {
        if (!endsWithNewline) {
            flushRun();
            write("\n");
        }
        if (formatted) {
            flushRun();
            write(*formatted);
            runBegin = runEnd = end;
            endsWithNewline = formatted->empty() || formatted->back() == '\n';
            return;
        }
        if (begin != runEnd)
            flushRun(), runBegin = begin;
        runEnd = end;
        // Sections begin where lines begin; only the file's end may be in a line.
        endsWithNewline = end == begin ? endsWithNewline : text[end - 1] == '\n';
    };
    const auto emit = [&](size_t index) {
        const Section &section = m_sections[index];
        if (!section.dirty)
            return put(section.begin, section.end, nullptr);
        std::string formatted = formatSection(*section.content, unixSeconds, fileTime);
        // Keep the blank lines that stood before the old section.
        if (index < m_fileSections)
            formatted.replace(0, 1, text.substr(section.begin, text.find('[', section.begin) - section.begin));
        put(runEnd, index < m_fileSections ? section.end : runEnd, &formatted);
    };
    put(0, m_preambleEnd, nullptr);
    auto next = added.begin();
    for (size_t section = 0; section < m_fileSections; ++section) {
        for (; next != added.end() && next->place == section; ++next)
            emit(next->section);
        emit(section);
    }
    for (; next != added.end(); ++next)
        emit(next->section);
    flushRun();
}

} // namespace winreg
