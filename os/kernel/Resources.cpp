#include "os/kernel/Resources.h"

#include <cstddef>
#include <map>
#include <mutex>
#include <vector>

#include "os/kernel/Errors.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"

namespace HA::OS {

// The generator writes these offsets; keep them in step with cmake/Resources.cmake.
static_assert(sizeof(void*) == 8, "the generated resource table is laid out for 64-bit pointers");
static_assert(offsetof(ResourceEntry, typeName) == 0 && offsetof(ResourceEntry, name) == 8 &&
                  offsetof(ResourceEntry, data) == 16 && offsetof(ResourceEntry, size) == 24 &&
                  offsetof(ResourceEntry, typeId) == 28 && offsetof(ResourceEntry, id) == 30 &&
                  sizeof(ResourceEntry) == 32,
              "ResourceEntry must match the generated table");

namespace {

struct Tables {
    std::mutex mutex;
    std::map<HMODULE, std::vector<const ResourceEntry*>> byModule;
};

Tables& tables()
{
    static Tables* t = new Tables;  // filled by static initialisers of any order
    return *t;
}

// Names compare as the platform's, which stores them upper-cased.
bool sameName(const char* stored, const std::string& wanted)
{
    return equalIgnoringCase(utf8ToUtf16(stored), utf8ToUtf16(wanted));
}

bool matches(const char* storedName, WORD storedId, const ResourceId& wanted)
{
    if (wanted.isNumber())
        return storedName == nullptr && storedId == wanted.id();
    return storedName != nullptr && sameName(storedName, wanted.name());
}

}  // namespace

bool registerModuleResources(const ResourceEntry* entries, std::size_t count)
{
    HMODULE module = getModuleHandleFromAddress(entries);
    Tables& t = tables();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto& list = t.byModule[module];
    for (std::size_t i = 0; i < count; ++i)
        list.push_back(&entries[i]);
    return true;
}

bool unregisterModuleResources(const ResourceEntry* entries, std::size_t count)
{
    HMODULE module = getModuleHandleFromAddress(entries);
    Tables& t = tables();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto& list = t.byModule[module];
    bool found = false;
    for (std::size_t i = 0; i < count; ++i) {
        for (auto it = list.begin(); it != list.end(); ++it) {
            if (*it == &entries[i]) {
                list.erase(it);
                found = true;
                break;
            }
        }
    }
    return found;
}

HRSRC findResource(HMODULE module, const ResourceId& name, const ResourceId& type)
{
    if (module == nullptr)
        module = getExecutableModule();
    Tables& t = tables();
    std::lock_guard<std::mutex> lock(t.mutex);
    auto it = t.byModule.find(module);
    bool typeFound = false;
    if (it != t.byModule.end()) {
        for (const ResourceEntry* e : it->second) {
            if (!matches(e->typeName, e->typeId, type))
                continue;
            typeFound = true;
            if (matches(e->name, e->id, name))
                return e;
        }
    }
    setLastError(typeFound ? ERROR_RESOURCE_NAME_NOT_FOUND : ERROR_RESOURCE_TYPE_NOT_FOUND);
    return nullptr;
}

HGLOBAL loadResource(HMODULE, HRSRC resource)
{
    if (resource == nullptr) {
        setLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return resource->data;
}

DWORD sizeofResource(HMODULE, HRSRC resource)
{
    if (resource == nullptr) {
        setLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return resource->size;
}

const void* lockResource(HGLOBAL loaded)
{
    return loaded;
}

}  // namespace HA::OS
