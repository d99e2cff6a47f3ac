#include "gp/src/common/storage/RangeLimitingStorage.h"

namespace HA::GP {

RangeLimitingStorage::~RangeLimitingStorage()
{
    close();
}

void RangeLimitingStorage::close()
{
    if (mOwnsInner)
        delete mInner;
    mInner = nullptr;
    mOwnsInner = false;
    mStart = 0;
    mLength = 0;
    mMode = ModeNone;
    mState = StateClosed;
}

bool RangeLimitingStorage::open(IStorage* inner, std::uint32_t start, std::uint32_t length, eOwnership ownership)
{
    close();
    mInner = inner;
    mOwnsInner = ownership == eOwnership::Owned;
    mStart = start;
    mLength = length;
    if (inner == nullptr || !inner->isOpen()) {
        mState = StateFailed;
        return false;
    }
    mMode = inner->getMode();
    mState = StateGood;
    seek(0, SeekBegin);
    return isGoodOrAtEnd();
}

std::int64_t RangeLimitingStorage::room()
{
    std::int64_t p = std::int64_t(std::uint32_t(mInner->tell32()));
    std::int64_t end = std::int64_t(mStart) + mLength;
    if (p < mStart || (mLength != 0 && p > end))
        return -1;
    return mLength == 0 ? INT64_MAX : end - p;
}

void RangeLimitingStorage::takeStateAfterTransfer(bool cut)
{
    std::int32_t inner = mInner->getState();
    if (cut || inner == StateFailed || inner == StateClosed)
        mState = StateFailed;
    else if (inner == StateEnd || (mLength != 0 && room() == 0))
        mState = StateEnd;
    else
        mState = StateGood;
}

template <class TMove>
std::uint32_t RangeLimitingStorage::transfer(std::uint32_t count, TMove move)
{
    if (!isGoodOrAtEnd() || mInner == nullptr)
        return 0;
    std::int64_t left = room();
    if (left < 0) {
        mState = StateFailed;
        return 0;
    }
    // Writes are cut like reads: a window never reaches beyond its end.
    bool cut = std::int64_t(count) > left;
    std::uint32_t done = move(cut ? std::uint32_t(left) : count);
    takeStateAfterTransfer(cut);
    return done;
}

std::uint32_t RangeLimitingStorage::read(void* destination, std::uint32_t count)
{
    return transfer(count, [&](std::uint32_t n) { return mInner->read(destination, n); });
}

std::uint32_t RangeLimitingStorage::write(const void* source, std::uint32_t count)
{
    return transfer(count, [&](std::uint32_t n) { return mInner->write(source, n); });
}

std::int64_t RangeLimitingStorage::tell()
{
    if (mInner == nullptr || room() < 0)
        return -1;
    return std::int64_t(std::uint32_t(mInner->tell32())) - mStart;
}

void RangeLimitingStorage::seek(std::int64_t offset, std::int32_t whence)
{
    // The window's state follows the inner position, so even a failed window may move
    // relatively, back into its range.
    if (mInner == nullptr)
        return;
    if (offset < 0 && whence != SeekCurrent) {
        mState = StateFailed;
        return;
    }
    if (whence == SeekBegin) {
        mInner->seek(std::int64_t(mStart) + offset, SeekBegin);
    } else if (whence == SeekCurrent) {
        mInner->seek(offset, SeekCurrent);
    } else if (whence == SeekEnd && mLength != 0) {
        if (offset > mLength) {
            mState = StateFailed;
            return;
        }
        mInner->seek(std::int64_t(mStart) + mLength - offset, SeekBegin);
    } else if (whence == SeekEnd) {
        mInner->seek(offset, SeekEnd);
    } else {
        return;
    }
    std::int32_t inner = mInner->getState();
    if (inner != StateGood) {
        mState = inner;
        return;
    }
    std::int64_t left = room();
    if (left < 0)
        mState = StateFailed;
    else
        mState = mLength != 0 && left == 0 ? StateEnd : StateGood;
}

}  // namespace HA::GP
