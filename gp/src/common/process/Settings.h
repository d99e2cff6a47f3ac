#pragma once
// The settings store: a process-wide object that reads named settings, used under its own
// recursive lock from any thread. Nothing in the updater creates one.

#include <memory>
#include <string>

namespace HA::GP {

class SettingsStore {
public:
    virtual ~SettingsStore() = default;
    // Reads the key as the given kind into `value`; false when it cannot.
    virtual bool read(const std::string& key, std::string& value, int kind) = 0;
    virtual void close() = 0;
};

// Reads the key from the store; without a store, or when the store cannot read it, the
// value becomes the default and the result is false. Null key or default count as empty.
bool readSetting(const char* key, const char* defaultValue, std::string& value, int kind);
// Closes and deletes the store when one exists (library shut-down). Always true.
bool closeSettings();

namespace DETAIL {

// Installs a store, closing and deleting the one before it.
void installSettingsStore(std::unique_ptr<SettingsStore> store);

}  // namespace DETAIL

}  // namespace HA::GP
