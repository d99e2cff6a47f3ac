#pragma once
// A storage over a file, opened by its UTF-16 path for reading (1), writing (2, the file
// is created or emptied) or both (3, the file must exist), optionally with an exclusive
// lock on the whole file that fails at once (1) or waits (2) while another handle holds
// one. Reads go through a small read-ahead; a write or seek drops it, so reads and
// writes may follow each other freely.

#include <cstdint>
#include <memory>

#include "gp/src/common/files/FilePath.h"
#include "gp/src/common/storage/IStorage.h"
#include "os/kernel/Types.h"

namespace HA::GP {

class FileStorage : public IStorage {
public:
    enum eLock : std::int32_t { LockNone = 0, LockExclusive = 1, LockExclusiveWait = 2 };

    FileStorage() = default;
    ~FileStorage() override;
    FileStorage(const FileStorage&) = delete;
    FileStorage& operator=(const FileStorage&) = delete;

    // Closes an open file first. False for a folder, pipe, socket or device, or a link to
    // one (state stays 0, and nothing waits for a pipe's other end), or an unknown mode
    // (state untouched); false with state 3 when the file cannot be opened or locked.
    bool open(const OS::WString& path, std::int32_t mode, std::int32_t lockKind = LockNone);
    // Releases the lock and closes the file; back to state 0.
    void close();

    // A complete read ends in state 2 at the end of the file, else 1; a short one sets 3.
    std::uint32_t read(void* destination, std::uint32_t count) override;
    // A complete write sets state 1 and returns the count; a short one sets 3, returns 0.
    std::uint32_t write(const void* source, std::uint32_t count) override;
    std::int64_t tell() override;
    // A successful seek turns state 0 or 3 into 1 and keeps 1 and 2; a failed one sets 3.
    void seek(std::int64_t offset, std::int32_t whence) override;

    const OS::WString& getPath() const { return mPath; }
    const FilePath& getFilePath() const { return mParsedPath; }
    // The size of the file when it was opened.
    std::int64_t getSize() const { return mSize; }

private:
    bool dropReadAhead();
    std::uint32_t fillReadAhead();

    static constexpr std::uint32_t kReadAhead = 4096;

    OS::HANDLE mFile = nullptr;
    OS::WString mPath;
    FilePath mParsedPath;
    std::int64_t mSize = 0;
    // The end of the file as this storage knows it: the size, moved on by its writes.
    std::int64_t mEnd = 0;
    std::int64_t mPosition = 0;
    bool mLocked = false;
    std::unique_ptr<std::uint8_t[]> mBuffer;
    std::uint32_t mBufferPos = 0;
    std::uint32_t mBufferEnd = 0;
};

}  // namespace HA::GP
