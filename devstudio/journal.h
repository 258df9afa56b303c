// A run's transaction over a registry: every write is held here and read back,
// so that the run goes as it would and nothing reaches the registry before the
// save, which a dry run never makes. It knows what the run changes, value by value.
#pragma once

#include "keystore.h"

#include <string>
#include <vector>

class Journal : public KeyStore {
public:
    explicit Journal(KeyStore &registry) : m_registry(&registry) {}

    // Starts a run afresh: nothing held, nothing changed.
    void start(bool dryRun);
    // Drops what the run holds: none of it is saved.
    void discard();
    // A key that the run makes: it exists for the run from now on.
    void createKey(const std::string &path);
    bool changed() const;
    // A line for each value the run changed, in the order of its first change:
    // "set|create|delete HKEY_CURRENT_USER\<key> "<name>": <data> [-> <data>]".
    std::vector<std::string> changeLines() const;

    LONG open() override { return m_registry->open(); }
    LONG keyExists(const std::string &path) override;
    LONG read(const std::string &path, const std::string &name, StoredValue &value) override;
    LONG write(const std::string &path, const std::string &name, const StoredValue &value) override;
    SaveResult save() override;
    void release() override { m_registry->release(); }
    std::string problem() const override { return m_registry->problem(); }
    bool held() const override { return m_registry->held(); }
    std::string location() const override { return m_registry->location(); }

private:
    struct ValueChange {
        std::string keyPath;
        std::string name;
        std::u16string foldedPath, foldedName; // as the registry compares them
        StoredValue before; // as the run found it
        StoredValue after; // as the run left it
    };
    ValueChange *changeOf(const std::string &keyPath, const std::string &name);

    KeyStore *m_registry;
    bool m_dryRun = false;
    std::vector<std::u16string> m_createdKeys; // folded
    std::vector<ValueChange> m_changes; // one a value, in the order of first change
};

// The registry's value as a hive shows it: "text", dword:0000002a, hex:.. or hex(type):..
std::string shownValue(const StoredValue &value);
// Text between quotes as a hive writes it, so that a line holds it whole.
std::string quoted(const std::string &text);
