#pragma once
// Logical drives: the drive strings, the type of each root and the media check on a
// drive's device. A real run sees one fixed drive C: (the root file system); tests put
// in a table of drives with a DriveTableScope and may change it between calls.

#include <memory>
#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS {

constexpr UINT DRIVE_UNKNOWN = 0;
constexpr UINT DRIVE_NO_ROOT_DIR = 1;
constexpr UINT DRIVE_REMOVABLE = 2;
constexpr UINT DRIVE_FIXED = 3;
constexpr UINT DRIVE_REMOTE = 4;
constexpr UINT DRIVE_CDROM = 5;
constexpr UINT DRIVE_RAMDISK = 6;

constexpr DWORD IOCTL_STORAGE_CHECK_VERIFY = 0x2D4800;

struct DriveEntry {
    char letter;              // 'A' to 'Z' (a lower-case letter shows as given in the drive strings)
    UINT type;                // what getDriveType reports for its root
    bool deviceOpens = true;  // whether \\.\X: can be opened
    bool hasMedium = true;    // what the media check finds
};

// GetLogicalDriveStringsW: the roots "X:\" each followed by a NUL, then one more NUL.
// Returns the length written without the final NUL; when `length` (units) is too small,
// writes nothing and returns the length needed including it.
DWORD getLogicalDriveStrings(DWORD length, WChar* buffer);
// GetDriveTypeW of a root "X:\"; DRIVE_NO_ROOT_DIR for a drive that does not exist.
UINT getDriveType(const WString& root);

// Opens the device of a drive, "\\.\X:", for reading, sharing read and write, existing
// only (as CreateFileW would with those arguments). INVALID_HANDLE_VALUE with
// ERROR_FILE_NOT_FOUND or ERROR_ACCESS_DENIED on failure. Close it with closeHandle.
// FIXME: goes through the generic file and device-request calls once they exist.
HANDLE openDriveDevice(const WString& path);
// DeviceIoControl on a drive device without buffers; only IOCTL_STORAGE_CHECK_VERIFY is
// known (false with ERROR_NOT_READY when no medium is in the drive).
bool driveIoControl(HANDLE device, DWORD ioControlCode);
// Drive devices opened and not yet closed.
int openDriveDeviceCount();

// Replaces the drive table for its life; set() changes it while the scope lives.
class DriveTableScope {
public:
    explicit DriveTableScope(std::vector<DriveEntry> drives);
    ~DriveTableScope();
    DriveTableScope(const DriveTableScope&) = delete;
    DriveTableScope& operator=(const DriveTableScope&) = delete;

    void set(std::vector<DriveEntry> drives);

private:
    std::vector<DriveEntry> mPrevious;
};

}  // namespace HA::OS
