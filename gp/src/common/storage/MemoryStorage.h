#pragma once
// A storage over a memory block, owned and growable or borrowed. The readable end of the
// block is also its capacity: bytes that grow a block and were never written read as zero.

#include <cstdint>

#include "gp/src/common/storage/IStorage.h"

namespace HA::GP {

class MemoryStorage : public IStorage {
public:
    enum class eGrowth { Growable, FixedSize };

    MemoryStorage() = default;
    ~MemoryStorage() override;
    MemoryStorage(const MemoryStorage&) = delete;
    MemoryStorage& operator=(const MemoryStorage&) = delete;

    // An owned, zero-filled block of `size` bytes, opened for reading and writing. A write
    // beyond the end grows it to a multiple of `step`, or with step 0 by `factor` of its
    // size; FixedSize, or step 0 with a factor <= 0, never grows. False when the block
    // cannot be allocated (state 3).
    bool create(std::uint32_t size, std::uint32_t step, float factor, eGrowth growth = eGrowth::Growable);
    // Borrows `size` bytes at `data` (not freed, never grown) with the given mode.
    bool attach(void* data, std::uint32_t size, std::int32_t mode);
    // Borrows read-only bytes: writes fail with state 3 and touch nothing.
    bool attachReadOnly(const void* data, std::uint32_t size);
    // Frees an owned block and returns to the closed state.
    void close();

    std::uint32_t read(void* destination, std::uint32_t count) override;
    std::uint32_t write(const void* source, std::uint32_t count) override;
    std::int64_t tell() override;
    void seek(std::int64_t offset, std::int32_t whence) override;

    const std::uint8_t* getData() const { return mData; }
    std::uint32_t getSize() const { return mSize; }

private:
    std::uint32_t grow(std::uint32_t count);

    bool mOwns = false;
    bool mFixedSize = false;
    bool mReadOnly = false;
    std::uint8_t* mData = nullptr;
    std::uint32_t mSize = 0;
    std::uint32_t mStep = 0;
    float mFactor = 0.0f;
    std::uint32_t mPosition = 0;
};

}  // namespace HA::GP
