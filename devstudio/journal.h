// What a run changes in the registry, value by value: kept to tell whether the
// run changed anything and, where the registry would take each write at once
// (Windows) or in a dry run, held instead of written and read back, so that
// the run goes as it would and nothing reaches the registry before the save.
#pragma once

#include "registry.h"

#include <string>

namespace journal {

// The layer's text is UTF-8; the registry keeps strings as the wide functions
// see them, in UTF-16LE, so that every character of the user's is kept.
std::string storedText(const std::string &text);
// A stored string's text, up to its first NUL.
std::string textOfStored(const std::string &stored);

// A value as the wide functions see it, or its absence.
struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const StoredValue &other) const
    {
        return present == other.present && (!present || (type == other.type && data == other.data));
    }
};

// The key paths below HKEY_CURRENT_USER that open handles name.
void keyOpened(HKEY key, const std::string &path);
std::string pathOf(HKEY key);
void keyClosed(HKEY key);
// In a dry run: a handle for a key that the run would create, or one it made
// earlier; false when the key is neither.
bool pretendKey(const std::string &path, bool create, HKEY &key);
bool isPretended(HKEY key);

// Text between quotes as a hive writes it, so that a line holds it whole.
std::string quoted(const std::string &text);

// A value of any type and length: from the run's held writes first, else
// from the registry, its size asked first, then its data.
LONG read(HKEY key, const char *name, DWORD &type, std::string &data);
// Writes after (or deletes, when it is absent), and notes the change; a run
// that holds its writes only notes it.
LONG change(HKEY key, const char *name, const StoredValue &after);
// Writes the changes a run held, in order, into the registry; written tells
// whether any reached it before a failure.
LONG applyHeld(bool &written);

} // namespace journal
