#pragma once
// A stream that owns a resource storage: reads one resource of a module.

#include <cstdint>

#include "gp/src/common/storage/ResourceStorage.h"
#include "gp/src/common/storage/Stream.h"

namespace HA::GP {

class ResourceStream : public Stream {
public:
    // Closed, byte order 1.
    ResourceStream() : Stream(&mResource) {}

    // See ResourceStorage::open.
    bool open(OS::HMODULE module, std::uint32_t id, const char* type) { return mResource.open(module, id, type); }
    bool open(OS::HMODULE module, const char* name, const char* type) { return mResource.open(module, name, type); }

    ResourceStorage& getResourceStorage() { return mResource; }

private:
    ResourceStorage mResource;
};

}  // namespace HA::GP
