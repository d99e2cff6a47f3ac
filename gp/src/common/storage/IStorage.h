#pragma once
// A byte container with a read/write position: a file, a memory block, a window onto
// another storage or a resource of a module. Failures never throw: they show in the
// state (3) and in a short count, 0 or -1, so a caller can read a whole record and test
// the state once. A storage is used by one thread at a time.

#include <cstdint>

namespace HA::GP {

class IStorage {
public:
    enum eMode : std::int32_t { ModeNone = 0, ModeRead = 1, ModeWrite = 2, ModeReadWrite = 3 };
    enum eState : std::int32_t { StateClosed = 0, StateGood = 1, StateEnd = 2, StateFailed = 3 };
    enum eSeek : std::int32_t { SeekBegin = 0, SeekCurrent = 1, SeekEnd = 2 };

    virtual ~IStorage() = default;

    // True while the state is not closed.
    virtual bool isOpen() const { return mState != StateClosed; }
    // Reads and writes are refused (0, state unchanged) unless the state is good or at end.
    virtual std::uint32_t read(void* destination, std::uint32_t count) = 0;
    virtual std::uint32_t write(const void* source, std::uint32_t count) = 0;
    virtual std::int32_t tell32() { return static_cast<std::int32_t>(tell()); }
    // The position, or -1 on failure.
    virtual std::int64_t tell() = 0;
    virtual void seek32(std::int32_t offset, std::int32_t whence) { seek(static_cast<std::int64_t>(offset), whence); }
    // Whence: SeekBegin, SeekCurrent or SeekEnd. The outcome shows in the state.
    virtual void seek(std::int64_t offset, std::int32_t whence) = 0;

    std::int32_t getMode() const { return mMode; }
    std::int32_t getState() const { return mState; }
    bool isGoodOrAtEnd() const { return mState == StateGood || mState == StateEnd; }

protected:
    std::int32_t mMode = ModeNone;
    std::int32_t mState = StateClosed;
};

// The bytes from the position to the end, the position kept; -1 when the storage cannot
// tell (no position, no end it can reach, an end before the position, or no way back). A
// loader asks before it allocates for what a header promises.
std::int64_t remainingBytes(IStorage& storage);

}  // namespace HA::GP
