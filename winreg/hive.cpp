#include "hive.h"

#include "unicode.h"

#include <algorithm>

namespace winreg {

bool Hive::load(std::string text, FormatError &error)
{
    HiveLayout layout;
    if (!scanHive(text, layout, error))
        return false;
    m_text = std::move(text);
    m_preambleEnd = layout.preambleEnd;
    m_sections.clear();
    m_keys.clear();
    m_changed = false;
    m_sections.reserve(layout.sections.size());
    for (auto &span : layout.sections) {
        if (m_keys.count(foldCase(span.path)) && m_keys[foldCase(span.path)].section >= 0)
            return error = {span.headerLine, "the key appears twice"}, false;
        m_sections.push_back({std::move(span), false, false, {}});
        addKey(m_sections.back().span.path, static_cast<int>(m_sections.size() - 1));
    }
    return true;
}

void Hive::addKey(std::u16string_view path, int section)
{
    auto [key, inserted] = m_keys.try_emplace(foldCase(path), Key{std::u16string(path), section});
    if (!inserted && section >= 0)
        key->second.section = section;
    // The keys above it exist through it; stop at the first one already known.
    for (size_t end = path.rfind(u'\\'); end != std::u16string_view::npos && end > 0; end = path.rfind(u'\\', end - 1)) {
        if (!m_keys.try_emplace(foldCase(path.substr(0, end)), Key{std::u16string(path.substr(0, end)), -1}).second)
            break;
    }
}

bool Hive::keyExists(std::u16string_view path) const { return path.empty() || m_keys.count(foldCase(path)); }

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
        spelled = found != m_keys.end() ? found->second.path : candidate;
        if (end == path.size())
            break;
        start = end + 1;
    }
    Section section;
    section.loaded = section.dirty = true;
    section.content.path = spelled;
    m_sections.push_back(std::move(section));
    addKey(spelled, static_cast<int>(m_sections.size() - 1));
    m_changed = true;
}

void Hive::loadContent(Section &section)
{
    if (section.loaded)
        return;
    FormatError ignored; // the text was checked when the file was loaded
    readSection(std::string_view(m_text).substr(section.span.begin, section.span.end - section.span.begin),
                section.span.firstLine, section.content, ignored);
    section.loaded = true;
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
        Section section;
        section.loaded = true;
        section.content.path = found->second.path;
        m_sections.push_back(std::move(section));
        found->second.section = static_cast<int>(m_sections.size() - 1);
    }
    Section &section = m_sections[found->second.section];
    loadContent(section);
    return &section;
}

const RegValue *Hive::findValue(std::u16string_view keyPath, std::u16string_view name)
{
    Section *section = sectionOf(keyPath, false);
    if (!section)
        return nullptr;
    for (const auto &value : section->content.values)
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
    for (auto &existing : section->content.values) {
        if (compareNames(existing.name, value.name) == 0) {
            // The name keeps the spelling it was created with.
            existing.type = value.type;
            existing.data = std::move(value.data);
            return;
        }
    }
    section->content.values.push_back(std::move(value));
}

bool Hive::deleteValue(std::u16string_view keyPath, std::u16string_view name)
{
    Section *section = sectionOf(keyPath, false);
    if (!section)
        return false;
    auto &values = section->content.values;
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
    // New keys go where Wine would put them in a file kept in key order.
    std::vector<const Section *> added;
    for (const auto &section : m_sections)
        if (!section.span.end)
            added.push_back(&section);
    std::sort(added.begin(), added.end(),
              [](const Section *a, const Section *b) { return pathLess(a->content.path, b->content.path); });
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
            emit(text.substr(section.span.begin, section.span.end - section.span.begin));
            return;
        }
        std::string formatted = formatSection(section.content, unixSeconds, fileTime);
        // Keep the blank lines that stood before the old section.
        if (section.span.end) {
            const size_t header = text.find('[', section.span.begin);
            formatted.replace(0, 1, text.substr(section.span.begin, header - section.span.begin));
        }
        emit(formatted);
    };
    emit(text.substr(0, m_preambleEnd));
    for (const auto &section : m_sections) {
        if (!section.span.end)
            continue;
        while (nextAdded != added.end() && pathLess((*nextAdded)->content.path, section.span.path))
            emitSection(**nextAdded++);
        emitSection(section);
    }
    while (nextAdded != added.end())
        emitSection(**nextAdded++);
}

} // namespace winreg
