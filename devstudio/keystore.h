// The one seam between the registry layer and a registry: keys named by their
// path below HKEY_CURRENT_USER, values by name, as stored (a type and bytes,
// strings in UTF-16LE). advapi32 serves it on Windows, a Wine prefix's hive
// elsewhere; the layer's run holds its writes above it until the save.
#pragma once

#ifdef _WIN32
#include <windows.h>
#else
#include "winreg/winreg.h"
#endif

#include <string>

// A value as stored, or its absence.
struct StoredValue {
    bool present = false;
    DWORD type = REG_NONE;
    std::string data;
    bool operator==(const StoredValue &other) const
    {
        return present == other.present && (!present || (type == other.type && data == other.data));
    }
    bool operator!=(const StoredValue &other) const { return !(*this == other); }
};

// How a save ended: saved; nothing written; or written with a problem: under
// Wine, a Wine that started meanwhile may undo it; on Windows, a write failed
// after others had been made.
enum class SaveResult { Saved, NotWritten, WrittenAtRisk };

class KeyStore {
public:
    virtual ~KeyStore() = default;
    // Whether the registry can be used at all; the status every call would get.
    virtual LONG open() = 0;
    // ERROR_SUCCESS or ERROR_FILE_NOT_FOUND, or why the registry cannot tell.
    virtual LONG keyExists(const std::string &path) = 0;
    virtual LONG read(const std::string &path, const std::string &name, StoredValue &value) = 0;
    // Writes the value, creating its key and those above it; an absent value is deleted.
    virtual LONG write(const std::string &path, const std::string &name, const StoredValue &value) = 0;
    // Makes the writes permanent and ends the hold on the registry.
    virtual SaveResult save() = 0;
    // Ends the hold on the registry; what was written and not saved is dropped where it can be.
    virtual void release() = 0;
    // Why the last open or save failed, and whether because a program holds
    // the registry (a running Wine): then the same run may go through later.
    virtual std::string problem() const = 0;
    virtual bool held() const { return false; }
    // Where the registry is: a hive's file, or HKEY_CURRENT_USER.
    virtual std::string location() const = 0;
};

// This machine's registry: advapi32's, or the hive of the Wine prefix that the
// environment names, located once.
KeyStore &machineRegistry();
