#pragma once
// Resources of a module, linked into its image: find one by type and by name or
// numeric id, load it and take its bytes, as on the platform. Names and type names are
// matched without regard to case. Resource bytes are read-only and live as long as the
// module.
//
// The build links them in: ha_add_resources() (cmake/Resources.cmake) assembles the
// files into the target with a table of ResourceEntry records and registers that table
// for the module before main() runs.

#include <cstddef>
#include <string>

#include "os/kernel/Module.h"
#include "os/kernel/Types.h"

namespace HA::OS {

// A resource's name or type: a text, or a 16-bit number (the platform's integer
// resource identifier).
class ResourceId {
public:
    ResourceId(const char* name) : mName(name ? name : ""), mIsNumber(false) {}
    ResourceId(const std::string& name) : mName(name), mIsNumber(false) {}
    static ResourceId number(WORD id) { return ResourceId(id); }

    bool isNumber() const { return mIsNumber; }
    WORD id() const { return mId; }
    const std::string& name() const { return mName; }

private:
    explicit ResourceId(WORD id) : mIsNumber(true), mId(id) {}

    std::string mName;
    bool mIsNumber;
    WORD mId = 0;
};

// One linked resource, in the layout the generated table uses (see cmake/Resources.cmake).
struct ResourceEntry {
    const char* typeName;  // null when the type is a number
    const char* name;      // null when the resource is named by number
    const void* data;
    DWORD size;
    WORD typeId;
    WORD id;
};

using HRSRC = const ResourceEntry*;
using HGLOBAL = const void*;

// Registers a module's table; the module is the one whose image holds the table.
// Called by the generated code at start-up; returns true so that it can initialise a
// static.
bool registerModuleResources(const ResourceEntry* entries, std::size_t count);
// Takes a table that a test registered away again; false when none of it was registered.
bool unregisterModuleResources(const ResourceEntry* entries, std::size_t count);

// Null module: the executable. Null with ERROR_RESOURCE_TYPE_NOT_FOUND or
// ERROR_RESOURCE_NAME_NOT_FOUND when the module has no such resource.
HRSRC findResource(HMODULE module, const ResourceId& name, const ResourceId& type);
HGLOBAL loadResource(HMODULE module, HRSRC resource);
DWORD sizeofResource(HMODULE module, HRSRC resource);
const void* lockResource(HGLOBAL loaded);

constexpr DWORD ERROR_RESOURCE_DATA_NOT_FOUND = 1812;
constexpr DWORD ERROR_RESOURCE_TYPE_NOT_FOUND = 1813;
constexpr DWORD ERROR_RESOURCE_NAME_NOT_FOUND = 1814;

}  // namespace HA::OS
