#pragma once
// Files of the stand-in: open with access and share modes, read, write, seek and size,
// and byte-range locks, with the platform's flags and error codes. Failures return
// false or INVALID_HANDLE_VALUE and set the last error. Paths are host paths in which
// '\' separates like '/', as on the platform.
//
// Emptying a file (CREATE_ALWAYS, TRUNCATE_EXISTING, setEndOfFile) fails with
// ERROR_LOCK_VIOLATION while another handle holds a lock on the bytes it would drop.
// Locks behave as the platform's: they belong to the open file (the handle), not to the
// process, so two handles of one process conflict; they are mandatory (another handle
// cannot read a range locked exclusively, nor write a locked range); a lock that waits
// waits through the process clock. Locks are also taken as open-file-description locks
// of the host, so that other processes see them.

#include <cstdint>

#include "os/files/FileAccess.h"
#include "os/kernel/Errors.h"
#include "os/kernel/Types.h"

namespace HA::OS {

using LONGLONG = std::int64_t;
using ULONGLONG = std::uint64_t;

constexpr DWORD FILE_SHARE_DELETE = 0x4;

// Creation dispositions.
constexpr DWORD CREATE_NEW = 1;
constexpr DWORD CREATE_ALWAYS = 2;
constexpr DWORD OPEN_ALWAYS = 4;
constexpr DWORD TRUNCATE_EXISTING = 5;

// Move methods of setFilePointerEx.
constexpr DWORD FILE_BEGIN = 0;
constexpr DWORD FILE_CURRENT = 1;
constexpr DWORD FILE_END = 2;

constexpr DWORD LOCKFILE_FAIL_IMMEDIATELY = 0x1;
constexpr DWORD LOCKFILE_EXCLUSIVE_LOCK = 0x2;

constexpr DWORD FILE_ATTRIBUTE_READONLY = 0x1;
constexpr DWORD FILE_ATTRIBUTE_DIRECTORY = 0x10;
constexpr DWORD FILE_ATTRIBUTE_DEVICE = 0x40;
constexpr DWORD INVALID_FILE_ATTRIBUTES = 0xFFFFFFFFu;

constexpr DWORD ERROR_HANDLE_DISK_FULL = 39;
constexpr DWORD ERROR_DISK_FULL = 112;
constexpr DWORD ERROR_NEGATIVE_SEEK = 131;
constexpr DWORD ERROR_NOT_LOCKED = 158;

// Opens files only: a folder, pipe, socket or device (or a link to one) is refused with
// ERROR_ACCESS_DENIED, at once and without a change to it.
HANDLE createFile(const WString& path, DWORD desiredAccess, DWORD shareMode, DWORD creationDisposition);
// Reads up to `count` bytes at the file position; fewer only at the end of the file.
bool readFile(HANDLE file, void* buffer, DWORD count, DWORD* bytesRead);
bool writeFile(HANDLE file, const void* buffer, DWORD count, DWORD* bytesWritten);
// A target before the start fails with ERROR_NEGATIVE_SEEK; beyond the end is allowed.
// `newPosition` may be null.
bool setFilePointerEx(HANDLE file, LONGLONG distance, LONGLONG* newPosition, DWORD moveMethod);
bool getFileSizeEx(HANDLE file, LONGLONG* size);
// Ends the file at the file position: cuts it or extends it with zeros.
bool setEndOfFile(HANDLE file);
bool flushFileBuffers(HANDLE file);

// Locks [offset, offset + length) for this handle: shared, or exclusive with
// LOCKFILE_EXCLUSIVE_LOCK. A conflicting lock of any handle makes it fail with
// ERROR_LOCK_VIOLATION when LOCKFILE_FAIL_IMMEDIATELY is set, else wait until granted.
bool lockFileEx(HANDLE file, DWORD flags, ULONGLONG offset, ULONGLONG length);
// Releases a lock this handle holds over exactly that range; else ERROR_NOT_LOCKED.
bool unlockFileEx(HANDLE file, ULONGLONG offset, ULONGLONG length);

// FILE_ATTRIBUTE_DIRECTORY, FILE_ATTRIBUTE_DEVICE (a pipe, socket or device of the host),
// or FILE_ATTRIBUTE_NORMAL (with FILE_ATTRIBUTE_READONLY when the file cannot be written),
// or INVALID_FILE_ATTRIBUTES with ERROR_FILE_NOT_FOUND, ERROR_PATH_NOT_FOUND,
// ERROR_ACCESS_DENIED, ... Links are followed.
DWORD getFileAttributes(const WString& path);

// The path of the file or folder that path names, with every symbolic link and every "." and
// ".." step resolved: what the platform reports for a handle of it (GetFinalPathNameByHandle),
// here an absolute host path. Empty, with the last error set, when nothing of that path exists
// or when the resolved path is not UTF-8 (no UTF-16 path could name it).
WString getFinalPathName(const WString& path);

namespace DETAIL {
// The host descriptor behind a file handle, or -1; for the stand-in's own file mappings.
int fileDescriptor(HANDLE file, DWORD* access);
// The platform's error code for a host errno.
DWORD errorFromErrno(int error);
}  // namespace DETAIL

}  // namespace HA::OS
