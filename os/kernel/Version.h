#pragma once
// Version information of a module's file, read from the module's linked version resource
// (type 16, id 1), as the platform's version API does. Only files of modules loaded in this
// process are known; for any other file there is no version information.

#include "os/kernel/Types.h"

namespace HA::OS {

constexpr WORD RT_VERSION = 16;
constexpr DWORD VS_FFI_SIGNATURE = 0xFEEF04BD;

// The fixed part of a version block (the value of "\").
struct VS_FIXEDFILEINFO {
    DWORD dwSignature;
    DWORD dwStrucVersion;
    DWORD dwFileVersionMS;
    DWORD dwFileVersionLS;
    DWORD dwProductVersionMS;
    DWORD dwProductVersionLS;
    DWORD dwFileFlagsMask;
    DWORD dwFileFlags;
    DWORD dwFileOS;
    DWORD dwFileType;
    DWORD dwFileSubtype;
    DWORD dwFileDateMS;
    DWORD dwFileDateLS;
};

// Bytes of the file's version information; 0 with ERROR_RESOURCE_TYPE_NOT_FOUND (or
// ERROR_RESOURCE_DATA_NOT_FOUND for a malformed block, ERROR_FILE_NOT_FOUND for a file that
// is no module of this process). `handle` is set to 0 when given.
DWORD getFileVersionInfoSize(const WString& fileName, DWORD* handle);
// Copies the version information into `data`; false with ERROR_INSUFFICIENT_BUFFER when
// `length` is below the size, or as getFileVersionInfoSize.
bool getFileVersionInfo(const WString& fileName, DWORD handle, DWORD length, void* data);
// Looks a value up in a block that getFileVersionInfo filled: "\" is the fixed record,
// "\StringFileInfo\<language and code page>\<name>" a text (its length in characters,
// the NUL included), "\VarFileInfo\Translation" the language words (length in bytes).
// Keys match without regard to case. False when the path names no value.
bool verQueryValue(const void* block, const WString& subBlock, const void** buffer, UINT* length);

}  // namespace HA::OS
