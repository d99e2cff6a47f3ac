#include "os/files/File.h"

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <map>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"

namespace HA::OS {

namespace {

constexpr ULONGLONG kMaxOffset = ~ULONGLONG(0);
// A lock that the host holds for another process is asked for again after this long.
constexpr DWORD kForeignLockPollMs = 50;
// Host transfers go in pieces, so that the host checks no more of a buffer than it fills.
constexpr DWORD kMaxTransfer = 1u << 20;

class FileObject;

struct FileKey {
    dev_t device;
    ino_t inode;
    bool operator<(const FileKey& o) const
    {
        return device != o.device ? device < o.device : inode < o.inode;
    }
};

struct RangeLock {
    const FileObject* owner;
    ULONGLONG offset;
    ULONGLONG length;
    bool exclusive;
};

// Every open file and every lock of the process, by file. Guarded by the kernel lock,
// so that a waiting lock can wait through the clock.
struct FileTable {
    std::multimap<FileKey, FileObject*> open;
    std::multimap<FileKey, RangeLock> locks;
};

FileTable& files()
{
    static FileTable* t = new FileTable;  // handles may be closed during static destruction
    return *t;
}

ULONGLONG rangeEnd(ULONGLONG offset, ULONGLONG length)
{
    return length > kMaxOffset - offset ? kMaxOffset : offset + length;
}

bool overlaps(ULONGLONG offsetA, ULONGLONG lengthA, ULONGLONG offsetB, ULONGLONG lengthB)
{
    if (lengthA == 0 || lengthB == 0)
        return false;
    return offsetA < rangeEnd(offsetB, lengthB) && offsetB < rangeEnd(offsetA, lengthA);
}

class FileObject : public KernelObject {
public:
    FileObject(int fd, FileKey key, DWORD access, DWORD share) : mFd(fd), mKey(key), mAccess(access), mShare(share) {}
    ~FileObject() override
    {
        if (mFd >= 0)
            ::close(mFd);
    }
    void onClose() override
    {
        {
            std::lock_guard<std::mutex> lock(Clock::kernelMutex());
            FileTable& t = files();
            auto range = t.locks.equal_range(mKey);
            for (auto it = range.first; it != range.second;)
                it = it->second.owner == this ? t.locks.erase(it) : std::next(it);
            auto open = t.open.equal_range(mKey);
            for (auto it = open.first; it != open.second; ++it) {
                if (it->second == this) {
                    t.open.erase(it);
                    break;
                }
            }
            Clock::notifyAll();
        }
        // Closing the descriptor drops its host locks too.
        ::close(mFd);
        mFd = -1;
    }

    int fd() const { return mFd; }
    const FileKey& key() const { return mKey; }
    DWORD access() const { return mAccess; }
    DWORD share() const { return mShare; }

private:
    int mFd;
    FileKey mKey;
    DWORD mAccess;
    DWORD mShare;
};

std::shared_ptr<FileObject> fileFor(HANDLE file)
{
    auto object = lookupHandleAs<FileObject>(file);
    if (!object)
        setLastError(ERROR_INVALID_HANDLE);
    return object;
}

bool sharingConflicts(const FileKey& key, DWORD access, DWORD share)
{
    auto range = files().open.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        const FileObject& other = *it->second;
        if (((access & GENERIC_READ) && !(other.share() & FILE_SHARE_READ)) ||
            ((access & GENERIC_WRITE) && !(other.share() & FILE_SHARE_WRITE)) ||
            ((other.access() & GENERIC_READ) && !(share & FILE_SHARE_READ)) ||
            ((other.access() & GENERIC_WRITE) && !(share & FILE_SHARE_WRITE)))
            return true;
    }
    return false;
}

// Whether another handle's lock forbids this handle the range (mandatory locking).
bool accessBlocked(const FileObject& file, ULONGLONG offset, ULONGLONG length, bool writing)
{
    auto range = files().locks.equal_range(file.key());
    for (auto it = range.first; it != range.second; ++it) {
        const RangeLock& l = it->second;
        if (l.owner != &file && (writing || l.exclusive) && overlaps(offset, length, l.offset, l.length))
            return true;
    }
    return false;
}

bool lockConflicts(const FileKey& key, ULONGLONG offset, ULONGLONG length, bool exclusive)
{
    auto range = files().locks.equal_range(key);
    for (auto it = range.first; it != range.second; ++it) {
        const RangeLock& l = it->second;
        if ((exclusive || l.exclusive) && overlaps(offset, length, l.offset, l.length))
            return true;
    }
    return false;
}

// The host lock for another process's sake. Returns false only when another process
// holds a conflicting one; file systems without such locks are not an error.
bool hostLock(int fd, short type, ULONGLONG offset, ULONGLONG length)
{
    if (length == 0 || offset > ULONGLONG(INT64_MAX))
        return true;
    struct flock fl {};
    fl.l_type = type;
    fl.l_whence = SEEK_SET;
    fl.l_start = static_cast<off_t>(offset);
    ULONGLONG end = rangeEnd(offset, length);
    fl.l_len = end > ULONGLONG(INT64_MAX) ? 0 : static_cast<off_t>(end - offset);  // 0: to the end and beyond
    if (::fcntl(fd, F_OFD_SETLK, &fl) == 0)
        return true;
    return errno != EAGAIN && errno != EACCES;
}

DWORD currentPosition(int fd, ULONGLONG* position)
{
    off_t p = ::lseek(fd, 0, SEEK_CUR);
    if (p < 0)
        return DETAIL::errorFromErrno(errno);
    *position = static_cast<ULONGLONG>(p);
    return ERROR_SUCCESS;
}

bool fail(DWORD code)
{
    setLastError(code);
    return false;
}

// The platform takes '\\' and '/' alike as separators; the host only '/'.
std::string hostPath(const WString& path)
{
    std::string name = utf16ToUtf8(path);
    std::replace(name.begin(), name.end(), '\\', '/');
    return name;
}

DWORD missingPathError(const std::string& path)
{
    // The platform tells a missing file from a missing folder on its way.
    std::string::size_type slash = path.find_last_of('/');
    if (slash == std::string::npos || slash == 0)
        return ERROR_FILE_NOT_FOUND;
    struct stat st {};
    if (::stat(path.substr(0, slash).c_str(), &st) != 0 || !S_ISDIR(st.st_mode))
        return ERROR_PATH_NOT_FOUND;
    return ERROR_FILE_NOT_FOUND;
}

}  // namespace

namespace DETAIL {

DWORD errorFromErrno(int error)
{
    switch (error) {
    case 0:
        return ERROR_SUCCESS;
    case ENOENT:
        return ERROR_FILE_NOT_FOUND;
    case ENOTDIR:
        return ERROR_PATH_NOT_FOUND;
    case EACCES:
    case EPERM:
    case EISDIR:
    case EROFS:
        return ERROR_ACCESS_DENIED;
    case EEXIST:
        return ERROR_FILE_EXISTS;
    case EBADF:
        return ERROR_INVALID_HANDLE;
    case ENOMEM:
        return ERROR_NOT_ENOUGH_MEMORY;
    case ENOSPC:
        return ERROR_DISK_FULL;
    case EFBIG:
        return ERROR_HANDLE_DISK_FULL;
    case ENAMETOOLONG:
        return ERROR_INVALID_NAME;
    case EINVAL:
        return ERROR_INVALID_PARAMETER;
    default:
        return ERROR_GEN_FAILURE;
    }
}

int fileDescriptor(HANDLE file, DWORD* access)
{
    auto object = fileFor(file);
    if (!object)
        return -1;
    if (access)
        *access = object->access();
    return object->fd();
}

}  // namespace DETAIL

HANDLE createFile(const WString& path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition)
{
    std::string name = hostPath(path);
    if (name.empty() || creationDisposition < CREATE_NEW || creationDisposition > TRUNCATE_EXISTING) {
        setLastError(name.empty() ? ERROR_PATH_NOT_FOUND : ERROR_INVALID_PARAMETER);
        return INVALID_HANDLE_VALUE;
    }
    // Not blocking: opening a pipe would otherwise wait for its other end. A regular file
    // ignores the flag.
    int flags = O_CLOEXEC | O_NONBLOCK | O_NOCTTY;
    if ((desiredAccess & GENERIC_READ) && (desiredAccess & GENERIC_WRITE))
        flags |= O_RDWR;
    else if (desiredAccess & GENERIC_WRITE)
        flags |= O_WRONLY;
    else
        flags |= O_RDONLY;
    if (creationDisposition == CREATE_NEW)
        flags |= O_CREAT | O_EXCL;
    else if (creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS)
        flags |= O_CREAT;
    bool existed = creationDisposition != CREATE_NEW && ::access(name.c_str(), F_OK) == 0;
    // Truncation waits until the sharing test has passed: a refused open changes nothing.
    int fd = ::open(name.c_str(), flags, 0666);
    if (fd < 0) {
        int error = errno;
        // ENXIO: a pipe without a reader, a socket, a device without its driver.
        setLastError(error == ENOENT  ? missingPathError(name)
                     : error == ENXIO ? ERROR_ACCESS_DENIED
                                      : DETAIL::errorFromErrno(error));
        return INVALID_HANDLE_VALUE;
    }
    struct stat st {};
    if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {
        ::close(fd);
        setLastError(ERROR_ACCESS_DENIED);
        return INVALID_HANDLE_VALUE;
    }
    FileKey key{st.st_dev, st.st_ino};
    std::shared_ptr<FileObject> object;
    {
        std::lock_guard<std::mutex> lock(Clock::kernelMutex());
        if (sharingConflicts(key, desiredAccess, shareMode)) {
            ::close(fd);
            setLastError(ERROR_SHARING_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        bool truncate = creationDisposition == CREATE_ALWAYS || creationDisposition == TRUNCATE_EXISTING;
        if (truncate && lockConflicts(key, 0, kMaxOffset, true)) {
            ::close(fd);
            setLastError(ERROR_LOCK_VIOLATION);
            return INVALID_HANDLE_VALUE;
        }
        if (truncate && ::ftruncate(fd, 0) != 0) {
            int error = errno;
            ::close(fd);
            setLastError(DETAIL::errorFromErrno(error));
            return INVALID_HANDLE_VALUE;
        }
        object = std::make_shared<FileObject>(fd, key, desiredAccess, shareMode);
        files().open.emplace(key, object.get());
    }
    bool reportsExisting = creationDisposition == CREATE_ALWAYS || creationDisposition == OPEN_ALWAYS;
    setLastError(reportsExisting && existed ? ERROR_ALREADY_EXISTS : ERROR_SUCCESS);
    return registerHandle(std::move(object));
}

namespace {

enum class eTransfer { Read, Write };

// One read or write through the host: access, mandatory locks, pieces, interruptions.
bool transfer(HANDLE file, eTransfer kind, void* buffer, DWORD count, DWORD* moved)
{
    bool writing = kind == eTransfer::Write;
    if (moved)
        *moved = 0;
    auto object = fileFor(file);
    if (!object)
        return false;
    if (!(object->access() & (writing ? GENERIC_WRITE : GENERIC_READ)))
        return fail(ERROR_ACCESS_DENIED);
    if (buffer == nullptr && count != 0)
        return fail(ERROR_NOACCESS);
    ULONGLONG position = 0;
    if (DWORD error = currentPosition(object->fd(), &position))
        return fail(error);
    {
        std::lock_guard<std::mutex> lock(Clock::kernelMutex());
        if (accessBlocked(*object, position, count, writing))
            return fail(ERROR_LOCK_VIOLATION);
    }
    DWORD done = 0;
    auto* bytes = static_cast<char*>(buffer);
    DWORD error = ERROR_SUCCESS;
    while (done < count) {
        DWORD piece = std::min<DWORD>(count - done, kMaxTransfer);
        ssize_t n = writing ? ::write(object->fd(), bytes + done, piece) : ::read(object->fd(), bytes + done, piece);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0)
            error = DETAIL::errorFromErrno(errno);
        else if (n == 0 && writing)
            error = ERROR_DISK_FULL;
        if (n <= 0)
            break;  // a read that returns nothing is the end of the file
        done += static_cast<DWORD>(n);
    }
    if (moved)
        *moved = done;
    setLastError(error);
    return error == ERROR_SUCCESS;
}

}  // namespace

bool readFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead)
{
    return transfer(file, eTransfer::Read, buffer, count, bytesRead);
}

bool writeFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten)
{
    return transfer(file, eTransfer::Write, const_cast<void*>(buffer), count, bytesWritten);
}

bool setFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD moveMethod)
{
    auto object = fileFor(file);
    if (!object)
        return false;
    LONGLONG base = 0;
    if (moveMethod == FILE_CURRENT) {
        base = ::lseek(object->fd(), 0, SEEK_CUR);
    } else if (moveMethod == FILE_END) {
        struct stat st {};
        base = ::fstat(object->fd(), &st) == 0 ? st.st_size : -1;
    } else if (moveMethod != FILE_BEGIN) {
        return fail(ERROR_INVALID_PARAMETER);
    }
    if (base < 0)
        return fail(DETAIL::errorFromErrno(errno));
    // Computed here so that a target before the start gives the platform's error.
    if ((distance < 0 && base + distance < 0) || (distance > 0 && base > INT64_MAX - distance))
        return fail(distance < 0 ? ERROR_NEGATIVE_SEEK : ERROR_INVALID_PARAMETER);
    off_t target = ::lseek(object->fd(), static_cast<off_t>(base + distance), SEEK_SET);
    if (target < 0)
        return fail(DETAIL::errorFromErrno(errno));
    if (newPosition)
        *newPosition = target;
    setLastError(ERROR_SUCCESS);
    return true;
}

bool getFileSizeEx(HANDLE file, LONGLONG* size)
{
    auto object = fileFor(file);
    if (!object)
        return false;
    struct stat st {};
    if (::fstat(object->fd(), &st) != 0)
        return fail(DETAIL::errorFromErrno(errno));
    if (size)
        *size = st.st_size;
    return true;
}

bool setEndOfFile(HANDLE file)
{
    auto object = fileFor(file);
    if (!object)
        return false;
    if (!(object->access() & GENERIC_WRITE))
        return fail(ERROR_ACCESS_DENIED);
    ULONGLONG position = 0;
    if (DWORD error = currentPosition(object->fd(), &position))
        return fail(error);
    {
        std::lock_guard<std::mutex> lock(Clock::kernelMutex());
        if (accessBlocked(*object, position, kMaxOffset - position, true))
            return fail(ERROR_LOCK_VIOLATION);
    }
    if (::ftruncate(object->fd(), static_cast<off_t>(position)) != 0)
        return fail(DETAIL::errorFromErrno(errno));
    return true;
}

bool flushFileBuffers(HANDLE file)
{
    auto object = fileFor(file);
    if (!object)
        return false;
    if (!(object->access() & GENERIC_WRITE))
        return fail(ERROR_ACCESS_DENIED);
    if (::fsync(object->fd()) != 0 && errno != EINVAL)
        return fail(DETAIL::errorFromErrno(errno));
    return true;
}

bool lockFileEx(HANDLE file, DWORD flags, ULONGLONG offset, ULONGLONG length)
{
    auto object = fileFor(file);
    if (!object)
        return false;
    bool exclusive = (flags & LOCKFILE_EXCLUSIVE_LOCK) != 0;
    bool waits = (flags & LOCKFILE_FAIL_IMMEDIATELY) == 0;
    short hostType = exclusive ? F_WRLCK : F_RDLCK;
    std::unique_lock<std::mutex> lock(Clock::kernelMutex());
    bool foreign = false;
    auto tryTake = [&] {
        foreign = false;
        if (lockConflicts(object->key(), offset, length, exclusive))
            return false;
        if (!hostLock(object->fd(), hostType, offset, length)) {
            foreign = true;
            return false;
        }
        files().locks.emplace(object->key(), RangeLock{object.get(), offset, length, exclusive});
        return true;
    };
    if (tryTake())
        return true;
    if (!waits) {
        lock.unlock();
        return fail(ERROR_LOCK_VIOLATION);
    }
    // A lock of this process wakes us when it goes; one of another process is asked
    // for again now and then.
    for (;;) {
        if (!foreign) {
            if (Clock::waitUntil(lock, kForever, [&] { return tryTake() || foreign; }) && !foreign)
                return true;
            continue;
        }
        lock.unlock();
        TimeMs deadline = Clock::deadlineAfter(kForeignLockPollMs);
        lock.lock();
        if (Clock::waitUntil(lock, deadline, tryTake))
            return true;
    }
}

bool unlockFileEx(HANDLE file, ULONGLONG offset, ULONGLONG length)
{
    auto object = fileFor(file);
    if (!object)
        return false;
    std::lock_guard<std::mutex> lock(Clock::kernelMutex());
    FileTable& t = files();
    auto range = t.locks.equal_range(object->key());
    for (auto it = range.first; it != range.second; ++it) {
        const RangeLock& l = it->second;
        if (l.owner == object.get() && l.offset == offset && l.length == length) {
            t.locks.erase(it);
            hostLock(object->fd(), F_UNLCK, offset, length);
            Clock::notifyAll();
            return true;
        }
    }
    return fail(ERROR_NOT_LOCKED);
}

DWORD getFileAttributes(const WString& path)
{
    std::string name = hostPath(path);
    struct stat st {};
    if (name.empty() || ::stat(name.c_str(), &st) != 0) {
        int error = name.empty() ? ENOENT : errno;
        setLastError(error == ENOENT ? missingPathError(name) : DETAIL::errorFromErrno(error));
        return INVALID_FILE_ATTRIBUTES;
    }
    if (S_ISDIR(st.st_mode))
        return FILE_ATTRIBUTE_DIRECTORY;
    if (!S_ISREG(st.st_mode))
        return FILE_ATTRIBUTE_DEVICE;
    DWORD attributes = FILE_ATTRIBUTE_NORMAL;
    if (::access(name.c_str(), W_OK) != 0)
        attributes |= FILE_ATTRIBUTE_READONLY;
    return attributes;
}

WString getFinalPathName(const WString& path)
{
    std::string name = hostPath(path);
    if (name.empty()) {
        setLastError(ERROR_PATH_NOT_FOUND);
        return WString();
    }
    std::unique_ptr<char, decltype(&std::free)> resolved(::realpath(name.c_str(), nullptr), &std::free);
    if (!resolved) {
        int error = errno;
        setLastError(error == ENOENT ? missingPathError(name) : DETAIL::errorFromErrno(error));
        return WString();
    }
    const std::string host(resolved.get());
    WString wide = utf8ToUtf16(host);
    if (utf16ToUtf8(wide) != host) {
        setLastError(ERROR_INVALID_NAME);
        return WString();
    }
    return wide;
}

}  // namespace HA::OS
