#pragma once
// The module that holds this library, its file name, and the resource look-up's
// fall-back registries: resources that a module does not carry in its image.

#include <cstdint>
#include <memory>

#include "os/kernel/Module.h"
#include "os/kernel/Types.h"

namespace HA::GP {

class ResourceStream;

// The module that contains this library's code, asked for once and cached.
OS::HMODULE getModuleHandle();
// That module's full file name (at most 260 UTF-16 units), computed once.
const OS::WString& getModuleFileName();

// A resource stream over resource `id` of `type` in this library's module, with the
// given byte order; null (and the report on standard error) when it cannot be found.
std::unique_ptr<ResourceStream> openModuleResourceStream(std::uint32_t id, const char* type, std::int32_t byteOrder);

// Fall-backs of ResourceStorage::open: by name alone (the type plays no part), and by
// type and id. The bytes are borrowed and must outlive every storage opened over them.
// A later registration under the same key replaces the earlier one. Any thread.
void registerResource(const char* name, const void* data, std::uint32_t size);
void registerResource(const char* type, std::uint32_t id, const void* data, std::uint32_t size);

namespace DETAIL {
struct tResourceBytes {
    const void* data;
    std::uint32_t size;
};
// False when nothing is registered under the key.
bool findRegisteredResource(const char* name, tResourceBytes& found);
bool findRegisteredResource(const char* type, std::uint32_t id, tResourceBytes& found);
}  // namespace DETAIL

}  // namespace HA::GP
