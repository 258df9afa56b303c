#include "journal.h"

#include "registry.h"
#include "winreg/hiveformat.h"
#include "winreg/unicode.h"

#include <algorithm>


namespace {

// Key paths and value names compare as the registry compares them: folded as Wine folds them.
std::u16string folded(const std::string &name) { return winreg::foldCase(winreg::utf8ToUtf16(name)); }

} // namespace

std::string shownValue(const StoredValue &value)
{
    std::string shown;
    winreg::appendValueData(shown, {std::u16string(), value.type, value.data});
    return shown;
}

std::string quoted(const std::string &text) { return winreg::quotedText(winreg::utf8ToUtf16(text)); }

void Journal::start(bool dryRun)
{
    m_dryRun = dryRun;
    discard();
}

void Journal::discard()
{
    m_changes.clear();
    m_createdKeys.clear();
}

Journal::ValueChange *Journal::changeOf(const std::string &keyPath, const std::string &name)
{
    const std::u16string path = folded(keyPath), value = folded(name);
    for (ValueChange &change : m_changes)
        if (change.foldedName == value && change.foldedPath == path)
            return &change;
    return nullptr;
}

void Journal::createKey(const std::string &path) { m_createdKeys.push_back(folded(path)); }

LONG Journal::keyExists(const std::string &path)
{
    if (std::find(m_createdKeys.begin(), m_createdKeys.end(), folded(path)) != m_createdKeys.end())
        return ERROR_SUCCESS;
    return m_registry->keyExists(path);
}

LONG Journal::read(const std::string &path, const std::string &name, StoredValue &value)
{
    if (const ValueChange *held = changeOf(path, name)) {
        value = held->after;
        return value.present ? ERROR_SUCCESS : ERROR_FILE_NOT_FOUND;
    }
    const LONG status = m_registry->read(path, name, value);
    if (status != ERROR_SUCCESS)
        value = StoredValue();
    return status;
}

LONG Journal::write(const std::string &path, const std::string &name, const StoredValue &after)
{
    if (ValueChange *earlier = changeOf(path, name)) {
        if (!after.present && !earlier->after.present)
            return ERROR_FILE_NOT_FOUND;
        earlier->after = after;
        return ERROR_SUCCESS;
    }
    StoredValue before;
    const LONG found = m_registry->read(path, name, before);
    if (found != ERROR_SUCCESS && found != ERROR_FILE_NOT_FOUND)
        return found;
    if (!after.present && !before.present)
        return ERROR_FILE_NOT_FOUND;
    m_changes.push_back({path, name, folded(path), folded(name), before, after});
    return ERROR_SUCCESS;
}

// The run's net changes reach the registry in the order first made; a dry run
// saves nothing. Where the registry takes each write at once (Windows), a
// failure after some went through leaves those in place.
SaveResult Journal::save()
{
    if (m_dryRun) {
        m_registry->release();
        return SaveResult::Saved;
    }
    bool written = false;
    for (const ValueChange &change : m_changes) {
        if (change.before == change.after)
            continue;
        if (m_registry->write(change.keyPath, change.name, change.after) != ERROR_SUCCESS) {
            // Nothing more is written: what the registry holds unsaved is dropped.
            m_registry->release();
            return written && !registryHoldsWritesUntilSave() ? SaveResult::WrittenAtRisk : SaveResult::NotWritten;
        }
        written = true;
    }
    return m_registry->save();
}

bool Journal::changed() const
{
    for (const auto &change : m_changes)
        if (change.before != change.after)
            return true;
    return false;
}

std::vector<std::string> Journal::changeLines() const
{
    std::vector<std::string> lines;
    for (const auto &change : m_changes) {
        if (change.before == change.after)
            continue;
        const std::string where = "HKEY_CURRENT_USER\\" + change.keyPath + " " + quoted(change.name);
        if (!change.before.present)
            lines.push_back("create " + where + ": " + shownValue(change.after));
        else if (!change.after.present)
            lines.push_back("delete " + where + ": " + shownValue(change.before));
        else
            lines.push_back("set " + where + ": " + shownValue(change.before) + " -> " + shownValue(change.after));
    }
    return lines;
}
