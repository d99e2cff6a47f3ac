#include "os/files/FileMapping.h"

#include <cerrno>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include "os/kernel/Kernel.h"

namespace HA::OS {

namespace {

class MappingObject : public KernelObject {
public:
    MappingObject(int fd, ULONGLONG size, bool writable) : mFd(fd), mSize(size), mWritable(writable) {}
    ~MappingObject() override { ::close(mFd); }

    int fd() const { return mFd; }
    ULONGLONG size() const { return mSize; }
    bool writable() const { return mWritable; }

private:
    int mFd;
    ULONGLONG mSize;
    bool mWritable;
};

struct Views {
    std::mutex mutex;
    std::map<std::uintptr_t, std::size_t> lengths;  // base -> mapped length
};

Views& views()
{
    static Views* v = new Views;
    return *v;
}

void* failNull(DWORD code)
{
    setLastError(code);
    return nullptr;
}

}  // namespace

HANDLE createFileMapping(HANDLE file, DWORD protect, ULONGLONG maximumSize)
{
    DWORD access = 0;
    int fd = DETAIL::fileDescriptor(file, &access);
    if (fd < 0)
        return nullptr;
    bool writable = protect == PAGE_READWRITE;
    if (!writable && protect != PAGE_READONLY)
        return failNull(ERROR_INVALID_PARAMETER);
    if (!(access & GENERIC_READ) || (writable && !(access & GENERIC_WRITE)))
        return failNull(ERROR_ACCESS_DENIED);
    struct stat st {};
    if (::fstat(fd, &st) != 0)
        return failNull(DETAIL::errorFromErrno(errno));
    ULONGLONG fileSize = static_cast<ULONGLONG>(st.st_size);
    ULONGLONG size = maximumSize == 0 ? fileSize : maximumSize;
    if (size == 0)
        return failNull(ERROR_FILE_INVALID);
    if (size > fileSize) {
        if (!writable)
            return failNull(ERROR_NOT_ENOUGH_MEMORY);
        if (size > ULONGLONG(INT64_MAX) || ::ftruncate(fd, static_cast<off_t>(size)) != 0)
            return failNull(ERROR_DISK_FULL);
    }
    int own = ::fcntl(fd, F_DUPFD_CLOEXEC, 0);
    if (own < 0)
        return failNull(DETAIL::errorFromErrno(errno));
    setLastError(ERROR_SUCCESS);
    return registerHandle(std::make_shared<MappingObject>(own, size, writable));
}

void* mapViewOfFile(HANDLE mapping, DWORD desiredAccess, ULONGLONG offset, std::size_t bytes)
{
    auto object = lookupHandleAs<MappingObject>(mapping);
    if (!object)
        return failNull(ERROR_INVALID_HANDLE);
    bool write = (desiredAccess & FILE_MAP_WRITE) != 0;
    if (write && !object->writable())
        return failNull(ERROR_ACCESS_DENIED);
    if (offset % ALLOCATION_GRANULARITY != 0)
        return failNull(ERROR_MAPPED_ALIGNMENT);
    if (offset >= object->size())
        return failNull(ERROR_ACCESS_DENIED);
    ULONGLONG rest = object->size() - offset;
    if (bytes == 0)
        bytes = static_cast<std::size_t>(rest);
    else if (bytes > rest)
        return failNull(ERROR_ACCESS_DENIED);
    int prot = PROT_READ | (write ? PROT_WRITE : 0);
    void* base = ::mmap(nullptr, bytes, prot, MAP_SHARED, object->fd(), static_cast<off_t>(offset));
    if (base == MAP_FAILED)
        return failNull(errno == ENOMEM ? ERROR_NOT_ENOUGH_MEMORY : DETAIL::errorFromErrno(errno));
    Views& v = views();
    std::lock_guard<std::mutex> lock(v.mutex);
    v.lengths[reinterpret_cast<std::uintptr_t>(base)] = bytes;
    setLastError(ERROR_SUCCESS);
    return base;
}

bool unmapViewOfFile(const void* base)
{
    Views& v = views();
    std::lock_guard<std::mutex> lock(v.mutex);
    auto it = v.lengths.find(reinterpret_cast<std::uintptr_t>(base));
    if (it == v.lengths.end()) {
        setLastError(ERROR_INVALID_ADDRESS);
        return false;
    }
    ::munmap(const_cast<void*>(base), it->second);
    v.lengths.erase(it);
    return true;
}

bool flushViewOfFile(const void* base, std::size_t bytes)
{
    auto address = reinterpret_cast<std::uintptr_t>(base);
    Views& v = views();
    std::lock_guard<std::mutex> lock(v.mutex);
    auto it = v.lengths.upper_bound(address);
    if (it == v.lengths.begin()) {
        setLastError(ERROR_INVALID_ADDRESS);
        return false;
    }
    --it;
    std::uintptr_t viewEnd = it->first + it->second;
    if (address >= viewEnd) {
        setLastError(ERROR_INVALID_ADDRESS);
        return false;
    }
    if (bytes == 0 || bytes > viewEnd - address)
        bytes = viewEnd - address;
    std::uintptr_t page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    std::uintptr_t start = address - (address - it->first) % page;
    if (::msync(reinterpret_cast<void*>(start), address + bytes - start, MS_SYNC) != 0) {
        setLastError(DETAIL::errorFromErrno(errno));
        return false;
    }
    return true;
}

}  // namespace HA::OS
