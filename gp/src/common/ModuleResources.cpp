#include "gp/src/common/ModuleResources.h"

#include <atomic>
#include <map>
#include <mutex>
#include <string>
#include <utility>

#include <boost/locale/encoding_utf.hpp>

#include "gp/src/common/ResourceStream.h"

namespace HA::GP {

namespace {

// FIXME: key the registries by ha::symbol once symbols are in.
struct Registries {
    std::mutex mutex;
    std::map<std::string, DETAIL::tResourceBytes> byName;
    std::map<std::pair<std::string, std::uint32_t>, DETAIL::tResourceBytes> byId;
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
        std::string utf8 = boost::locale::conv::utf_to_utf<char>(buffer, buffer + n);
        return boost::locale::conv::utf_to_utf<OS::WChar>(utf8);
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
    r.byName[name] = {data, size};
}

void registerResource(const char* type, std::uint32_t id, const void* data, std::uint32_t size)
{
    if (type == nullptr)
        return;
    Registries& r = registries();
    std::lock_guard<std::mutex> lock(r.mutex);
    r.byId[{type, id}] = {data, size};
}

namespace DETAIL {

bool findRegisteredResource(const char* name, tResourceBytes& found)
{
    Registries& r = registries();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.byName.find(name);
    if (it == r.byName.end())
        return false;
    found = it->second;
    return true;
}

bool findRegisteredResource(const char* type, std::uint32_t id, tResourceBytes& found)
{
    Registries& r = registries();
    std::lock_guard<std::mutex> lock(r.mutex);
    auto it = r.byId.find({type, id});
    if (it == r.byId.end())
        return false;
    found = it->second;
    return true;
}

}  // namespace DETAIL

}  // namespace HA::GP
