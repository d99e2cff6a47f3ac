#pragma once
// A window of `length` bytes from `start` onto another storage (length 0: to the inner
// storage's end). Positions are relative to the start; reads and writes are cut to the
// window and end in state 2 at its end, 3 when cut.

#include <cstdint>

#include "gp/src/common/storage/IStorage.h"

namespace HA::GP {

class RangeLimitingStorage : public IStorage {
public:
    enum class eOwnership { Borrowed, Owned };

    RangeLimitingStorage() = default;
    ~RangeLimitingStorage() override;
    RangeLimitingStorage(const RangeLimitingStorage&) = delete;
    RangeLimitingStorage& operator=(const RangeLimitingStorage&) = delete;

    // Opens the window and moves the inner storage to its start; an owned inner storage
    // is deleted with the window, also when opening fails. False (state 3) when the
    // inner storage is not open or cannot move to the start.
    bool open(IStorage* inner, std::uint32_t start, std::uint32_t length, eOwnership ownership);
    void close();

    std::uint32_t read(void* destination, std::uint32_t count) override;
    std::uint32_t write(const void* source, std::uint32_t count) override;
    std::int64_t tell() override;
    // SeekEnd counts back from the window's end: seek(3, SeekEnd) of a 10-byte window is
    // position 7. A negative offset is accepted with SeekCurrent only.
    void seek(std::int64_t offset, std::int32_t whence) override;

private:
    // The room left in the window at the inner position, or -1 outside it.
    std::int64_t room();
    void takeStateAfterTransfer(bool cut);
    template <class TMove>
    std::uint32_t transfer(std::uint32_t count, TMove move);

    IStorage* mInner = nullptr;
    bool mOwnsInner = false;
    std::uint32_t mStart = 0;
    std::uint32_t mLength = 0;
};

}  // namespace HA::GP
