#include "hive.h"

#include "unicode.h"

#include <algorithm>

namespace winreg {

bool Hive::load(std::string text, FormatError &error)
{
    m_text = std::move(text);
    m_sections.clear();
    m_keys.clear();
    m_keys.try_emplace(std::u16string()); // the root key, which needs no section to exist
    m_changed = false;
    return scanHive(
        m_text, m_preambleEnd,
        [this](SectionSpan &span, FormatError &refusal) {
            auto key = addKey(span.path, foldCase(span.path), static_cast<int>(m_sections.size()));
            if (key == m_keys.end())
                return refusal = {span.headerLine, "the key appears twice"}, false;
            Section section;
            section.begin = span.begin;
            section.end = span.end;
            section.firstLine = span.firstLine;
            section.foldedPath = &key->first;
            m_sections.push_back(std::move(section));
            return true;
        },
        error);
}

// Enters the key with its section (or -1) and the keys above it that are not
// known yet; end() when the key has a section already.
Hive::KeyIndex::iterator Hive::addKey(std::u16string_view path, std::u16string folded, int section)
{
    auto [key, inserted] = m_keys.try_emplace(std::move(folded));
    if (!inserted && (section < 0 || key->second.section >= 0))
        return section < 0 ? key : m_keys.end();
    key->second.section = section;
    if (section < 0)
        key->second.implicitPath = std::u16string(path);
    else
        key->second.implicitPath.clear();
    if (!inserted)
        return key;
    // The keys above it exist through it; stop at the first one already known.
    const std::u16string &foldedPath = key->first;
    for (size_t end = path.rfind(u'\\'); end != std::u16string_view::npos && end > 0; end = path.rfind(u'\\', end - 1)) {
        auto [ancestor, added] = m_keys.try_emplace(foldedPath.substr(0, end));
        if (!added)
            break;
        ancestor->second.implicitPath = std::u16string(path.substr(0, end));
    }
    return key;
}

std::u16string Hive::spelling(const Key &key) const
{
    if (key.section < 0)
        return key.implicitPath;
    const Section &section = m_sections[key.section];
    if (section.content)
        return section.content->path;
    KeySection header;
    FormatError ignored; // checked when the file was loaded
    const size_t headerEnd = m_text.find('\n', m_text.find('[', section.begin));
    readSection(std::string_view(m_text).substr(section.begin, std::min(headerEnd, section.end) - section.begin),
                section.firstLine, header, ignored);
    return header.path;
}

bool Hive::keyExists(std::u16string_view path) const { return path.empty() || m_keys.count(foldCase(path)); }

int Hive::newSection(KeyIndex::iterator key, std::u16string path)
{
    Section section;
    section.foldedPath = &key->first;
    section.dirty = true;
    section.content = std::make_unique<KeySection>();
    section.content->path = std::move(path);
    m_sections.push_back(std::move(section));
    key->second.section = static_cast<int>(m_sections.size() - 1);
    key->second.implicitPath.clear();
    m_changed = true;
    return key->second.section;
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
        auto found = m_keys.find(foldCase(candidate));
        spelled = found != m_keys.end() ? spelling(found->second) : candidate;
        if (end == path.size())
            break;
        start = end + 1;
    }
    // A new key without values still gets a section, so that it exists in the file.
    newSection(addKey(spelled, foldCase(spelled), -1), spelled);
}

Hive::Section *Hive::sectionOf(std::u16string_view keyPath, bool forWriting)
{
    auto found = m_keys.find(foldCase(keyPath));
    if (found == m_keys.end())
        return nullptr;
    if (found->second.section < 0) {
        if (!forWriting)
            return nullptr;
        // A key known only through its subkeys gets a section of its own once it holds a value.
        newSection(found, found->second.implicitPath);
    }
    Section &section = m_sections[found->second.section];
    if (!section.content) {
        section.content = std::make_unique<KeySection>();
        FormatError ignored; // the text was checked when the file was loaded
        readSection(std::string_view(m_text).substr(section.begin, section.end - section.begin), section.firstLine,
                    *section.content, ignored);
    }
    return &section;
}

const RegValue *Hive::findValue(std::u16string_view keyPath, std::u16string_view name)
{
    Section *section = sectionOf(keyPath, false);
    if (!section)
        return nullptr;
    for (const auto &value : section->content->values)
        if (compareNames(value.name, name) == 0)
            return &value;
    return nullptr;
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
    auto found = std::find_if(values.begin(), values.end(),
                              [&](const RegValue &value) { return compareNames(value.name, name) == 0; });
    if (found == values.end())
        return false;
    values.erase(found);
    section->dirty = true;
    m_changed = true;
    return true;
}

void Hive::save(const std::function<void(std::string_view)> &write, int64_t unixSeconds, uint64_t fileTime)
{
    const std::string_view text(m_text);
    auto inFile = [](const Section &section) { return section.end > section.begin; };
    // New keys go where Wine would put them in a file kept in key order.
    std::vector<const Section *> added;
    for (const auto &section : m_sections)
        if (!inFile(section))
            added.push_back(&section);
    std::sort(added.begin(), added.end(),
              [](const Section *a, const Section *b) { return pathLess(*a->foldedPath, *b->foldedPath); });
    auto nextAdded = added.begin();
    bool endsWithNewline = true;
    auto emit = [&](std::string_view piece) {
        if (piece.empty())
            return;
        write(piece);
        endsWithNewline = piece.back() == '\n';
    };
    auto emitSection = [&](const Section &section) {
        if (!endsWithNewline)
            emit("\n");
        if (!section.dirty) {
            emit(text.substr(section.begin, section.end - section.begin));
            return;
        }
        std::string formatted = formatSection(*section.content, unixSeconds, fileTime);
        // Keep the blank lines that stood before the old section.
        if (inFile(section)) {
            const size_t header = text.find('[', section.begin);
            formatted.replace(0, 1, text.substr(section.begin, header - section.begin));
        }
        emit(formatted);
    };
    emit(text.substr(0, m_preambleEnd));
    for (const auto &section : m_sections) {
        if (!inFile(section))
            continue;
        while (nextAdded != added.end() && pathLess(*(*nextAdded)->foldedPath, *section.foldedPath))
            emitSection(**nextAdded++);
        emitSection(section);
    }
    while (nextAdded != added.end())
        emitSection(**nextAdded++);
}

} // namespace winreg
