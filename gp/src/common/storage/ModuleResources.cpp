#include "gp/src/common/storage/ModuleResources.h"

#include <atomic>
#include <cstring>
#include <mutex>
#include <unordered_map>
#include <utility>

#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/storage/ResourceStream.h"
#include "gp/src/common/text/Symbol.h"

namespace HA::GP {

namespace {

struct TypeAndId {
    ha::symbol type;
    std::uint32_t id;
    bool operator==(const TypeAndId& o) const { return type == o.type && id == o.id; }
};

struct TypeAndIdHash {
    std::size_t operator()(const TypeAndId& k) const { return k.type.hash() * 31u + k.id; }
};

ha::symbol symbolOf(const char* text)
{
    return ha::symbol(text, static_cast<std::uint32_t>(std::strlen(text)));
}

struct Registries {
    std::mutex mutex;
    std::unordered_map<ha::symbol, DETAIL::tResourceBytes> byName;
    std::unordered_map<TypeAndId, DETAIL::tResourceBytes, TypeAndIdHash> byId;
};

Registries& registries()
{
    static Registries* r = new Registries;  // kept until exit: storages may outlive statics
    return *r;
}

const char kAnchor = 0;

}  // namespace

OS::HMODULE getModuleHandle()
{
    // Every thread that fills the cache stores the same handle.
    static std::atomic<OS::HMODULE> cached{nullptr};
    OS::HMODULE module = cached.load(std::memory_order_relaxed);
    if (module == nullptr) {
        module = OS::getModuleHandleFromAddress(&kAnchor);
        cached.store(module, std::memory_order_relaxed);
    }
    return module;
}

const OS::WString& getModuleFileName()
{
    static const OS::WString name = [] {
        OS::WChar buffer[OS::MAX_PATH + 1] = {};
        OS::DWORD n = OS::getModuleFileName(getModuleHandle(), buffer, OS::MAX_PATH);
        if (n >= OS::MAX_PATH)
            n = OS::MAX_PATH - 1;
        return toWidePath(toNarrowPath(std::u16string(buffer, n)));
    }();
    return name;
}

std::unique_ptr<ResourceStream> openModuleResourceStream(std::uint32_t id, const char* type, std::int32_t byteOrder)
{
    auto stream = std::make_unique<ResourceStream>();
    if (!stream->open(getModuleHandle(), id, type))
        return nullptr;
    stream->setByteOrder(byteOrder);
    return stream;
}

void registerResource(const char* name, const void* data, std::uint32_t size)
{
    if (name == nullptr)
        return;
    Registries& r = registries();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.byName[symbolOf(name)] = {data, size};
}

void registerResource(const char* type, std::uint32_t id, const void* data, std::uint32_t size)
{
    if (type == nullptr)
        return;
    Registries& r = registries();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.byId[{symbolOf(type), id}] = {data, size};
}

namespace DETAIL {

bool findRegisteredResource(const char* name, tResourceBytes& found)
{
    Registries& r = registries();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.byName.find(symbolOf(name));
    if (it == r.byName.end())
        return false;
    found = it->second;
    return true;
}

bool findRegisteredResource(const char* type, std::uint32_t id, tResourceBytes& found)
{
    Registries& r = registries();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.byId.find({symbolOf(type), id});
    if (it == r.byId.end())
        return false;
    found = it->second;
    return true;
}

}  // namespace DETAIL

}  // namespace HA::GP
