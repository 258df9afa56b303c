// The thin layer through which ideweave reads and changes the current user's
// registry. Operations return a Windows status (0 is success). Its text is
// UTF-8 and reaches the registry through the wide functions, so that no
// character of the user's passes through the ANSI code page.
#pragma once

#include "keystore.h"

#include <cstdint>
#include <string>
#include <vector>

// The product's own key: the installed marker and the saved search path.
inline constexpr const char *OptionsKey = "SOFTWARE\\Brackwater Software\\Tindral\\Options\\Studio";
// Developer Studio's Tools menu.
inline constexpr const char *ToolsKey = "Software\\Microsoft\\Devstudio\\6.0\\Tools";
// The Win32 (x86) platform's directories, among them the executable search path.
inline constexpr const char *DirectoriesKey =
    "Software\\Microsoft\\Devstudio\\6.0\\Build System\\Components\\Platforms\\Win32 (x86)\\Directories";

LONG regOpen(HKEY root, const char *subKey, HKEY *key);

// A key below HKEY_CURRENT_USER, opened (or created) through the layer and
// closed when the holder goes; a key that did not open holds no handle.
class RegistryKey {
public:
    enum Opening { Open, Create };
    explicit RegistryKey(const char *subKey, Opening opening = Open);
    ~RegistryKey();
    RegistryKey(const RegistryKey &) = delete;
    RegistryKey &operator=(const RegistryKey &) = delete;
    explicit operator bool() const { return m_key != nullptr; }
    operator HKEY() const { return m_key; }

private:
    HKEY m_key = nullptr;
};

LONG regCreate(HKEY root, const char *subKey, HKEY *key);
// Reads a value of any type as bytes; size goes in as the buffer's size and comes back as the stored length.
LONG regQuery(HKEY key, const char *valueName, void *data, DWORD *size);
LONG regSetString(HKEY key, const char *valueName, const char *text);
LONG regSetBinary(HKEY key, const char *valueName, const void *data, DWORD size);
LONG regDeleteValue(HKEY key, const char *valueName);
LONG regClose(HKEY key);

// Reads a string value's text up to its first NUL, as a buffer of bufferSize
// characters holds it: a text that would fill the whole buffer without a
// terminator counts as too long (ERROR_MORE_DATA, text empty).
LONG readText(HKEY key, const char *valueName, std::string &text, size_t bufferSize);
// A text's length as Windows counts characters (in UTF-16).
size_t textLength(const std::string &text);
// Reads a value of any type and length as its type and its bytes as stored:
// its size first, then its data.
LONG readValue(HKEY key, const char *valueName, DWORD &type, std::string &data);
// Writes a value of any type, exactly these bytes as stored.
LONG writeValue(HKEY key, const char *valueName, DWORD type, const std::string &data);
// Reads a REG_DWORD of at most 4 bytes; shorter data fills the low bytes. A value
// of another type is no number (ERROR_INVALID_DATA): text "7" is not 55.
LONG readNumber(HKEY key, const char *valueName, int32_t &number);
// Writes a REG_DWORD of 4 bytes.
LONG writeNumber(HKEY key, const char *valueName, int32_t number);

// Why a run must not change the registry now: on Windows, Developer Studio
// running in this session, which would save its settings over the change when
// it closes. Empty when nothing stands in the way.
std::string studioRunningProblem();

// The registry that the layer's calls reach: the run's journal over this
// machine's registry, or what a caller put in front of it.
KeyStore &layerRegistry();
// Puts store in front of the run's journal (null: nothing), so that the layer's
// calls reach it first: a registry that refuses some writes, say.
void interposeRegistry(KeyStore *store);
KeyStore &runRegistry();

// The layer's text is UTF-8; the registry keeps strings as the wide functions
// see them, in UTF-16LE, so that every character of the user's is kept.
std::string storedText(const std::string &text);
// A stored string's text, up to its first NUL.
std::string textOfStored(const std::string &stored);

// Whether the registry can be used, and why not: the hive of a Wine prefix can be
// missing, malformed or locked, the Windows registry is always there.
bool registryUsable();
std::string registryLocation();
std::string registryProblem();
// Whether the last use of the registry failed because a program holds it.
bool registryHeld();
// The form in which the registry names a path of this machine: on Windows the
// path itself; in a Wine prefix, an absolute Unix path becomes the Windows path
// that Wine maps it to. False, with the reason, when there is no such form.
bool registryFormOfPath(const std::string &localPath, std::string &registryPath, std::string &problem);
// Why Developer Studio, an 8-bit program, could not read value, the value of the
// environment variable name, as it stands: a character that the ANSI code page
// of the run lacks (under Wine, the code page of the locale). Empty when it can.
std::string codePageProblemOfText(const char *name, const std::string &value);
// The message for a character of variable's that the ANSI code page lacks.
std::string codePageProblem(const char *variable, unsigned character, unsigned codePage);
// The path of this machine that a path as the registry names it stands for.
std::string localFormOfPath(const std::string &path);

// Whether the registry keeps a run's writes to itself until registrySave: a
// Wine prefix's hive does, in memory; Windows' registry takes each at once.
bool registryHoldsWritesUntilSave();
// Starts the run's transaction: its writes are held in memory and read back
// until the save; a dry run's are never written.
void startRegistryJournal(bool dryRun);
// Ends the run without any of its changes: none is saved.
void registryDiscard();
// Whether the run left any value other than it found it.
bool registryChanged();
// A line for each value the run changed, in the order of its first change:
// "set|create|delete HKEY_CURRENT_USER\<key> "<name>": <data> [-> <data>]".
std::vector<std::string> registryChangeLines();

// Makes the run's changes permanent and ends its hold on the registry.
SaveResult registrySave();
// Ends the run's hold on the registry without saving anything.
void registryRelease();
