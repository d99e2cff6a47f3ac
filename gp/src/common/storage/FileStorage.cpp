#include "gp/src/common/storage/FileStorage.h"

#include <algorithm>
#include <cstring>

#include "os/files/File.h"
#include "os/kernel/Kernel.h"

namespace HA::GP {

namespace {

constexpr OS::ULONGLONG kWholeFile = ~OS::ULONGLONG(0);

}  // namespace

FileStorage::~FileStorage()
{
    close();
}

bool FileStorage::open(const OS::WString& path, std::int32_t mode, std::int32_t lockKind)
{
    close();
    OS::DWORD attributes = OS::getFileAttributes(path);
    // Only a regular file: a pipe or a device would block the open or never end.
    const OS::DWORD notAFile = OS::FILE_ATTRIBUTE_DIRECTORY | OS::FILE_ATTRIBUTE_DEVICE;
    if (attributes != OS::INVALID_FILE_ATTRIBUTES && (attributes & notAFile))
        return false;
    if (attributes == OS::INVALID_FILE_ATTRIBUTES) {
        OS::DWORD error = OS::getLastError();
        if (error != OS::ERROR_FILE_NOT_FOUND && error != OS::ERROR_PATH_NOT_FOUND) {
            mState = StateFailed;
            return false;
        }
    }
    bool locks = lockKind == LockExclusive || lockKind == LockExclusiveWait;
    OS::DWORD access = 0;
    OS::DWORD disposition = 0;
    switch (mode) {
    case ModeRead:
        access = OS::GENERIC_READ;
        disposition = OS::OPEN_EXISTING;
        break;
    case ModeWrite:
        access = OS::GENERIC_WRITE;
        // A locked file is emptied only once the lock is ours, so that opening a file
        // another handle holds destroys nothing.
        disposition = locks ? OS::OPEN_ALWAYS : OS::CREATE_ALWAYS;
        break;
    case ModeReadWrite:
        access = OS::GENERIC_READ | OS::GENERIC_WRITE;
        disposition = OS::OPEN_EXISTING;
        break;
    default:
        return false;
    }
    OS::HANDLE file = OS::createFile(path, access, OS::FILE_SHARE_READ | OS::FILE_SHARE_WRITE, disposition);
    if (file == OS::INVALID_HANDLE_VALUE) {
        mState = StateFailed;
        return false;
    }
    OS::LONGLONG size = 0;
    bool ok = true;
    if (locks) {
        OS::DWORD flags = OS::LOCKFILE_EXCLUSIVE_LOCK | (lockKind == LockExclusive ? OS::LOCKFILE_FAIL_IMMEDIATELY : 0);
        ok = OS::lockFileEx(file, flags, 0, kWholeFile);
        if (ok && mode == ModeWrite)
            ok = OS::setEndOfFile(file);
    }
    ok = ok && OS::getFileSizeEx(file, &size);
    if (!ok) {
        OS::closeHandle(file);
        mState = StateFailed;
        return false;
    }
    mFile = file;
    mMode = mode;
    mState = StateGood;
    mLocked = locks;
    mPath = path;
    mParsedPath = FilePath(path);
    mSize = size;
    mEnd = size;
    mPosition = 0;
    return true;
}

void FileStorage::close()
{
    if (mFile != nullptr) {
        if (mLocked)
            OS::unlockFileEx(mFile, 0, kWholeFile);
        OS::closeHandle(mFile);
    }
    mFile = nullptr;
    mMode = ModeNone;
    mState = StateClosed;
    mSize = 0;
    mEnd = 0;
    mPosition = 0;
    mPath.clear();
    mParsedPath.clear();
    mLocked = false;
    mBuffer.reset();
    mBufferPos = mBufferEnd = 0;
}

// Puts the file position back to the storage's position and forgets the read-ahead.
bool FileStorage::dropReadAhead()
{
    bool ok = true;
    if (mBufferPos != mBufferEnd)
        ok = OS::setFilePointerEx(mFile, mPosition, nullptr, OS::FILE_BEGIN);
    mBufferPos = mBufferEnd = 0;
    return ok;
}

std::uint32_t FileStorage::fillReadAhead()
{
    if (!mBuffer)
        mBuffer.reset(new std::uint8_t[kReadAhead]);
    OS::DWORD got = 0;
    if (!OS::readFile(mFile, mBuffer.get(), kReadAhead, &got))
        got = 0;
    mBufferPos = 0;
    mBufferEnd = got;
    return got;
}

std::uint32_t FileStorage::read(void* destination, std::uint32_t count)
{
    if (!isGoodOrAtEnd())
        return 0;
    if (mFile == nullptr || (destination == nullptr && count != 0)) {
        mState = StateFailed;
        return 0;
    }
    auto* out = static_cast<std::uint8_t*>(destination);
    std::uint32_t done = 0;
    while (done < count) {
        std::uint32_t rest = count - done;
        if (mBufferPos == mBufferEnd) {
            if (rest >= kReadAhead) {
                OS::DWORD got = 0;
                OS::readFile(mFile, out + done, rest, &got);
                done += got;
                break;
            }
            if (fillReadAhead() == 0)
                break;
        }
        std::uint32_t take = std::min(rest, mBufferEnd - mBufferPos);
        std::memcpy(out + done, mBuffer.get() + mBufferPos, take);
        mBufferPos += take;
        done += take;
    }
    mPosition += done;
    if (done < count)
        mState = StateFailed;
    else
        mState = mPosition >= mEnd ? StateEnd : StateGood;
    return done;
}

std::uint32_t FileStorage::write(const void* source, std::uint32_t count)
{
    if (!isGoodOrAtEnd())
        return 0;
    if (mFile == nullptr || (source == nullptr && count != 0) || !dropReadAhead()) {
        mState = StateFailed;
        return 0;
    }
    OS::DWORD done = 0;
    bool ok = OS::writeFile(mFile, source, count, &done);
    mPosition += done;
    mEnd = std::max(mEnd, mPosition);
    if (!ok || done < count) {
        mState = StateFailed;
        return 0;
    }
    mState = StateGood;
    return count;
}

std::int64_t FileStorage::tell()
{
    if (!isOpen())
        return -1;
    if (mFile == nullptr) {
        mState = StateFailed;
        return -1;
    }
    return mPosition;
}

void FileStorage::seek(std::int64_t offset, std::int32_t whence)
{
    if (mFile == nullptr || (whence == SeekCurrent && !isGoodOrAtEnd()))
        return;
    if (whence != SeekBegin && whence != SeekCurrent && whence != SeekEnd)
        return;
    OS::LONGLONG target = 0;
    bool ok = dropReadAhead();
    if (ok && whence == SeekCurrent)
        ok = !__builtin_add_overflow(mPosition, offset, &target) &&
             OS::setFilePointerEx(mFile, target, &target, OS::FILE_BEGIN);
    else if (ok)
        ok = OS::setFilePointerEx(mFile, offset, &target, whence == SeekBegin ? OS::FILE_BEGIN : OS::FILE_END);
    if (!ok) {
        mState = StateFailed;
        return;
    }
    mPosition = target;
    if (!isGoodOrAtEnd())
        mState = StateGood;
}

}  // namespace HA::GP
