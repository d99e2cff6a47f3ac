#pragma once
// A read-only storage over the bytes of one resource of a module. The bytes are
// borrowed: never copied, freed or written; they live as long as the module. Writes
// fail with state 3 and write nothing.

#include <cstdint>
#include <memory>

#include "gp/src/common/storage/IStorage.h"
#include "gp/src/common/storage/MemoryStorage.h"
#include "os/kernel/Module.h"

namespace HA::GP {

class ResourceStorage : public IStorage {
public:
    ResourceStorage();
    ~ResourceStorage() override;
    ResourceStorage(const ResourceStorage&) = delete;
    ResourceStorage& operator=(const ResourceStorage&) = delete;

    // The resource of that type with the id (cut to 16 bits), from the module or else
    // from the id registry (ModuleResources.h). A missing one writes
    // "cannot resolve resource: <type> <id>" to standard error and returns false.
    bool open(OS::HMODULE module, std::uint32_t id, const char* type);
    // The same by name (case does not matter in a module); the fall-back is the name
    // registry, and the report is "cannot resolve resource: <name>".
    bool open(OS::HMODULE module, const char* name, const char* type);
    // Opens over borrowed bytes; false for null data.
    bool attachMemory(const void* data, std::uint32_t size);
    void close();

    std::uint32_t read(void* destination, std::uint32_t count) override;
    std::uint32_t write(const void* source, std::uint32_t count) override;
    std::int64_t tell() override;
    void seek(std::int64_t offset, std::int32_t whence) override;

private:
    std::unique_ptr<MemoryStorage> mInner;
};

}  // namespace HA::GP
