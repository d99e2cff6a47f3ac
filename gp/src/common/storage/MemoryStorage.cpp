#include "gp/src/common/storage/MemoryStorage.h"

#include <cmath>
#include <cstring>
#include <new>

namespace HA::GP {

MemoryStorage::~MemoryStorage()
{
    close();
}

void MemoryStorage::close()
{
    if (mOwns)
        delete[] mData;
    mOwns = false;
    mFixedSize = false;
    mReadOnly = false;
    mData = nullptr;
    mSize = 0;
    mStep = 0;
    mFactor = 0.0f;
    mPosition = 0;
    mMode = ModeNone;
    mState = StateClosed;
}

bool MemoryStorage::create(std::uint32_t size, std::uint32_t step, float factor, eGrowth growth)
{
    close();
    std::uint8_t* data = nullptr;
    if (size != 0) {
        data = new (std::nothrow) std::uint8_t[size]();
        if (data == nullptr) {
            mState = StateFailed;
            return false;
        }
    }
    mOwns = true;
    mFixedSize = growth == eGrowth::FixedSize;
    mData = data;
    mSize = size;
    mStep = step;
    mFactor = factor;
    mMode = ModeReadWrite;
    mState = StateGood;
    return true;
}

bool MemoryStorage::attach(void* data, std::uint32_t size, std::int32_t mode)
{
    if ((data == nullptr && size != 0) || mode < ModeRead || mode > ModeReadWrite)
        return false;
    close();
    mData = static_cast<std::uint8_t*>(data);
    mSize = size;
    mMode = mode;
    mState = StateGood;
    return true;
}

bool MemoryStorage::attachReadOnly(const void* data, std::uint32_t size)
{
    // The bytes are never written through this storage: writes are refused below.
    if (!attach(const_cast<void*>(data), size, ModeRead))
        return false;
    mReadOnly = true;
    return true;
}

std::uint32_t MemoryStorage::read(void* destination, std::uint32_t count)
{
    if (!isGoodOrAtEnd())
        return 0;
    if (destination == nullptr && count != 0) {
        mState = StateFailed;
        return 0;
    }
    // position <= size always holds, so the remaining room never wraps.
    std::uint32_t room = mSize - mPosition;
    if (count > room) {
        count = room;
        mState = StateFailed;
    }
    if (count != 0)
        std::memcpy(destination, mData + mPosition, count);
    mPosition += count;
    if (mPosition == mSize && mState != StateFailed)
        mState = StateEnd;
    return count;
}

std::uint32_t MemoryStorage::write(const void* source, std::uint32_t count)
{
    if (!isGoodOrAtEnd())
        return 0;
    if (mReadOnly || (source == nullptr && count != 0)) {
        mState = StateFailed;
        return 0;
    }
    if (count > mSize - mPosition)
        count = grow(count);
    if (count != 0)
        std::memcpy(mData + mPosition, source, count);
    mPosition += count;
    if (mPosition == mSize && mState != StateFailed)
        mState = StateEnd;
    return count;
}

std::uint32_t MemoryStorage::grow(std::uint32_t count)
{
    const std::uint32_t fits = mSize - mPosition;
    const std::uint64_t needed = std::uint64_t(mPosition) + count;
    if (!mOwns || mFixedSize || needed > UINT32_MAX || (mStep == 0 && !(mFactor > 0.0f))) {
        mState = StateFailed;
        return fits;
    }
    std::uint64_t size = mSize;
    if (mStep != 0) {
        size = (needed + mStep - 1) / mStep * mStep;
    } else {
        while (size < needed) {
            double more = std::floor(double(size) * double(mFactor));
            // A block too small to multiply (size 0, say) takes what is needed.
            if (!(more >= 1.0) || more >= double(needed - size)) {
                size = more >= 1.0 ? size + std::uint64_t(more) : needed;
                break;
            }
            size += std::uint64_t(more);
        }
    }
    if (size > UINT32_MAX)
        size = needed;
    auto* data = new (std::nothrow) std::uint8_t[size];
    if (data == nullptr) {
        mState = StateFailed;
        return fits;
    }
    // The write that follows covers everything from the position on; what lies beyond
    // it reads as zero.
    if (mPosition != 0)
        std::memcpy(data, mData, mPosition);
    std::memset(data + mPosition, 0, size - mPosition);
    delete[] mData;
    mData = data;
    mSize = static_cast<std::uint32_t>(size);
    mState = StateGood;
    return count;
}

std::int64_t MemoryStorage::tell()
{
    return isOpen() ? std::int64_t(mPosition) : -1;
}

void MemoryStorage::seek(std::int64_t offset, std::int32_t whence)
{
    if (!isOpen() || (whence == SeekCurrent && !isGoodOrAtEnd()))
        return;
    std::int64_t base = whence == SeekBegin ? 0 : whence == SeekEnd ? std::int64_t(mSize) : std::int64_t(mPosition);
    if (whence != SeekBegin && whence != SeekCurrent && whence != SeekEnd)
        offset = 0;  // re-validates the current position
    std::int64_t target = 0;
    if (__builtin_add_overflow(base, offset, &target) || target < 0 || target > std::int64_t(mSize)) {
        mState = StateFailed;
        return;
    }
    mPosition = static_cast<std::uint32_t>(target);
    mState = mPosition == mSize ? StateEnd : StateGood;
}

}  // namespace HA::GP
