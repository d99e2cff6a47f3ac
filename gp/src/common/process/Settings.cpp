#include "gp/src/common/process/Settings.h"

#include <mutex>

namespace HA::GP {

namespace {

std::recursive_mutex gMutex;
std::unique_ptr<SettingsStore> gStore;

}  // namespace

bool readSetting(const char* key, const char* defaultValue, std::string& value, int kind)
{
    std::lock_guard<std::recursive_mutex> lock(gMutex);
    if (gStore && gStore->read(key ? key : "", value, kind))
        return true;
    value = defaultValue ? defaultValue : "";
    return false;
}

bool closeSettings()
{
    std::lock_guard<std::recursive_mutex> lock(gMutex);
    if (gStore) {
        gStore->close();
        gStore.reset();
    }
    return true;
}

namespace DETAIL {

void installSettingsStore(std::unique_ptr<SettingsStore> store)
{
    std::lock_guard<std::recursive_mutex> lock(gMutex);
    closeSettings();
    gStore = std::move(store);
}

}  // namespace DETAIL

}  // namespace HA::GP
