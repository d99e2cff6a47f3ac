#pragma once
// Typed reads of 8-, 16- and 32-bit and writes of 8- and 32-bit unsigned values over a
// storage, in a chosen byte order. Typed reads do not test the storage: after a short
// read the value is 0-filled where bytes are missing and carries no meaning, so callers
// test the storage's state.

#include <cstdint>

#include "gp/src/common/storage/IStorage.h"

namespace HA::GP {

class Stream {
public:
    // 1: values are stored least significant byte first, as the processor holds them;
    // any other value: most significant byte first.
    enum eByteOrder : std::int32_t { LittleEndian = 1, BigEndian = 2 };

    // The storage is not owned.
    explicit Stream(IStorage* storage = nullptr) : mStorage(storage) {}
    virtual ~Stream() = default;
    Stream(const Stream&) = delete;
    Stream& operator=(const Stream&) = delete;

    std::uint8_t readU8();
    std::uint16_t readU16();
    std::uint32_t readU32();
    void writeU8(std::uint8_t value);
    void writeU32(std::uint32_t value);

    void setByteOrder(std::int32_t byteOrder) { mByteOrder = byteOrder; }
    std::int32_t getByteOrder() const { return mByteOrder; }
    IStorage* getStorage() const { return mStorage; }

protected:
    void setStorage(IStorage* storage) { mStorage = storage; }

private:
    bool swaps() const { return mByteOrder != LittleEndian; }

    IStorage* mStorage;
    std::int32_t mByteOrder = LittleEndian;
};

}  // namespace HA::GP
