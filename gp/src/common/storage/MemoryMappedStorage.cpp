#include "gp/src/common/storage/MemoryMappedStorage.h"

#include <cstring>

#include "os/files/FileMapping.h"
#include "os/kernel/Kernel.h"

namespace HA::GP {

MemoryMappedStorage::~MemoryMappedStorage()
{
    close();
}

void MemoryMappedStorage::close()
{
    if (mView != nullptr) {
        if (mWritable)
            OS::flushViewOfFile(mView, static_cast<std::size_t>(mViewOffset + mViewLength));
        OS::unmapViewOfFile(mView);
    }
    if (mMapping != nullptr)
        OS::closeHandle(mMapping);
    if (mFile != nullptr)
        OS::closeHandle(mFile);
    mFile = mMapping = nullptr;
    mView = nullptr;
    mPosition = mFileSize = mViewLength = 0;
    mViewOffset = 0;
    mWritable = false;
    mMode = ModeNone;
    mState = StateClosed;
}

bool MemoryMappedStorage::open(const OS::WString& path, std::int32_t mode)
{
    if (mode != ModeRead && mode != ModeReadWrite)
        return false;
    close();
    bool writable = mode == ModeReadWrite;
    OS::DWORD access = OS::GENERIC_READ | (writable ? OS::GENERIC_WRITE : 0);
    mFile = OS::createFile(path, access, OS::FILE_SHARE_READ | OS::FILE_SHARE_WRITE, OS::OPEN_EXISTING);
    if (mFile == OS::INVALID_HANDLE_VALUE)
        mFile = nullptr;
    OS::LONGLONG size = 0;
    if (mFile != nullptr && OS::getFileSizeEx(mFile, &size) && size > 0)
        mMapping = OS::createFileMapping(mFile, writable ? OS::PAGE_READWRITE : OS::PAGE_READONLY, 0);
    if (mMapping != nullptr)
        mView = OS::mapViewOfFile(mMapping, writable ? OS::FILE_MAP_WRITE | OS::FILE_MAP_READ : OS::FILE_MAP_READ, 0, 0);
    if (mView == nullptr) {
        close();
        mState = StateFailed;
        return false;
    }
    mFileSize = mViewLength = static_cast<std::uint64_t>(size);
    mWritable = writable;
    mMode = mode;
    mState = StateGood;
    return true;
}

std::uint32_t MemoryMappedStorage::read(void* destination, std::uint32_t count)
{
    if (!isGoodOrAtEnd())
        return 0;
    if (mView == nullptr || (destination == nullptr && count != 0)) {
        mState = StateFailed;
        return 0;
    }
    std::uint64_t left = mViewLength - mPosition;
    if (count > left) {
        std::memcpy(destination, at(), static_cast<std::size_t>(left));
        mPosition += left;
        mState = StateFailed;
        return static_cast<std::uint32_t>(left);
    }
    std::memcpy(destination, at(), count);
    mPosition += count;
    if (mPosition == mViewLength)
        mState = StateEnd;
    return count;
}

std::uint32_t MemoryMappedStorage::write(const void* source, std::uint32_t count)
{
    if (!isGoodOrAtEnd())
        return 0;
    if (mView == nullptr || !mWritable || (source == nullptr && count != 0)) {
        mState = StateFailed;
        return 0;
    }
    std::uint64_t left = mViewLength - mPosition;
    if (count > left) {
        std::memcpy(at(), source, static_cast<std::size_t>(left));
        mPosition += left;
        mState = StateFailed;
        return 0;
    }
    std::memcpy(at(), source, count);
    mPosition += count;
    if (mPosition == mViewLength)
        mState = StateEnd;
    return count;
}

std::int64_t MemoryMappedStorage::tell()
{
    return mView != nullptr ? static_cast<std::int64_t>(mPosition) : -1;
}

void MemoryMappedStorage::seek(std::int64_t offset, std::int32_t whence)
{
    if (mView == nullptr || (whence == SeekCurrent && !isGoodOrAtEnd()))
        return;
    std::int64_t length = static_cast<std::int64_t>(mViewLength);
    std::int64_t target = 0;
    bool ok = true;
    if (whence == SeekBegin)
        target = offset;
    else if (whence == SeekCurrent)
        ok = !__builtin_add_overflow(static_cast<std::int64_t>(mPosition), offset, &target);
    else if (whence == SeekEnd)
        ok = !__builtin_sub_overflow(length, offset, &target);
    else
        ok = false;
    if (!ok || target < 0 || target > length) {
        mState = StateFailed;
        return;
    }
    mPosition = static_cast<std::uint64_t>(target);
    mState = target == length ? StateEnd : StateGood;
}

}  // namespace HA::GP
