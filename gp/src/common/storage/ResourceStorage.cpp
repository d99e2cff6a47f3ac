#include "gp/src/common/storage/ResourceStorage.h"

#include <iostream>

#include "gp/src/common/storage/ModuleResources.h"
#include "os/kernel/Resources.h"

namespace HA::GP {

namespace {

const void* moduleResourceBytes(OS::HMODULE module, const OS::ResourceId& name, const char* type, OS::DWORD& size)
{
    OS::HRSRC found = OS::findResource(module, name, OS::ResourceId(type));
    if (found == nullptr)
        return nullptr;
    OS::HGLOBAL loaded = OS::loadResource(module, found);
    if (loaded == nullptr)
        return nullptr;
    size = OS::sizeofResource(module, found);
    return OS::lockResource(loaded);
}

}  // namespace

ResourceStorage::ResourceStorage() = default;

ResourceStorage::~ResourceStorage() = default;

void ResourceStorage::close()
{
    mInner.reset();
    mMode = ModeNone;
    mState = StateClosed;
}

bool ResourceStorage::open(OS::HMODULE module, std::uint32_t id, const char* type)
{
    close();
    if (type == nullptr)
        type = "";
    OS::DWORD size = 0;
    if (const void* bytes = moduleResourceBytes(module, OS::ResourceId::number(OS::WORD(id)), type, size))
        return attachMemory(bytes, size);
    DETAIL::tResourceBytes registered{};
    if (DETAIL::findRegisteredResource(type, id, registered))
        return attachMemory(registered.data, registered.size);
    std::cerr << "cannot resolve resource: " << type << " " << id << "\n";
    return false;
}

bool ResourceStorage::open(OS::HMODULE module, const char* name, const char* type)
{
    close();
    if (name == nullptr)
        name = "";
    if (type == nullptr)
        type = "";
    OS::DWORD size = 0;
    if (const void* bytes = moduleResourceBytes(module, OS::ResourceId(name), type, size))
        return attachMemory(bytes, size);
    DETAIL::tResourceBytes registered{};
    if (DETAIL::findRegisteredResource(name, registered))
        return attachMemory(registered.data, registered.size);
    std::cerr << "cannot resolve resource: " << name << "\n";
    return false;
}

bool ResourceStorage::attachMemory(const void* data, std::uint32_t size)
{
    if (data == nullptr)
        return false;
    close();
    mInner = std::make_unique<MemoryStorage>();
    mInner->attachReadOnly(data, size);
    mMode = ModeRead;
    mState = mInner->getState();
    return isGoodOrAtEnd();
}

std::uint32_t ResourceStorage::read(void* destination, std::uint32_t count)
{
    if (!isGoodOrAtEnd() || !mInner)
        return 0;
    std::uint32_t done = mInner->read(destination, count);
    mState = mInner->getState();
    return done;
}

std::uint32_t ResourceStorage::write(const void*, std::uint32_t)
{
    // Resource bytes are the module's read-only data.
    if (isGoodOrAtEnd())
        mState = StateFailed;
    return 0;
}

std::int64_t ResourceStorage::tell()
{
    return isOpen() && mInner ? mInner->tell() : -1;
}

void ResourceStorage::seek(std::int64_t offset, std::int32_t whence)
{
    if (!mInner || (whence == SeekCurrent && !isGoodOrAtEnd()))
        return;
    mInner->seek(offset, whence);
    mState = mInner->getState();
}

}  // namespace HA::GP
