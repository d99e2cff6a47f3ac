#pragma once
// A storage over a whole file mapped into memory, for reading (1) or reading and
// writing (3). It cannot grow the file: reads and writes stop at the view's end.

#include <cstdint>

#include "gp/src/common/storage/IStorage.h"
#include "os/kernel/Types.h"

namespace HA::GP {

class MemoryMappedStorage : public IStorage {
public:
    MemoryMappedStorage() = default;
    ~MemoryMappedStorage() override;
    MemoryMappedStorage(const MemoryMappedStorage&) = delete;
    MemoryMappedStorage& operator=(const MemoryMappedStorage&) = delete;

    // False with state 3 when the file is missing, empty or cannot be mapped; false
    // (state untouched) for another mode.
    bool open(const OS::WString& path, std::int32_t mode);
    // Writes the view back, unmaps it and closes both handles.
    void close();

    // Open while a non-empty file is mapped.
    bool isOpen() const override { return mFileSize != 0; }
    std::uint32_t read(void* destination, std::uint32_t count) override;
    // A write beyond the view writes what fits, sets state 3 and returns 0.
    std::uint32_t write(const void* source, std::uint32_t count) override;
    std::int64_t tell() override;
    // SeekEnd counts back from the view's end; targets outside [0, view length] set 3.
    void seek(std::int64_t offset, std::int32_t whence) override;

private:
    std::uint8_t* at() const { return static_cast<std::uint8_t*>(mView) + mViewOffset + mPosition; }

    OS::HANDLE mFile = nullptr;
    OS::HANDLE mMapping = nullptr;
    void* mView = nullptr;
    std::uint64_t mPosition = 0;
    std::uint64_t mFileSize = 0;
    std::uint64_t mViewLength = 0;
    // Where the data begins inside the view.
    std::uint32_t mViewOffset = 0;
    bool mWritable = false;
};

}  // namespace HA::GP
