#pragma once
// File mappings of the stand-in, with the platform's protections, access flags, errors
// and allocation granularity. Failures return null and set the last error.

#include <cstddef>

#include "os/files/File.h"

namespace HA::OS {

constexpr DWORD PAGE_READONLY = 0x02;
constexpr DWORD PAGE_READWRITE = 0x04;
constexpr DWORD FILE_MAP_WRITE = 0x2;
constexpr DWORD FILE_MAP_READ = 0x4;

// View offsets are multiples of this.
constexpr DWORD ALLOCATION_GRANULARITY = 65536;

constexpr DWORD ERROR_INVALID_ADDRESS = 487;
constexpr DWORD ERROR_FILE_INVALID = 1006;
constexpr DWORD ERROR_MAPPED_ALIGNMENT = 1132;

// A mapping of `maximumSize` bytes of the file (0: its size). An empty file cannot be
// mapped (ERROR_FILE_INVALID); a read-write mapping larger than the file extends it.
// The mapping keeps the file open after its handle is closed; close it with closeHandle.
HANDLE createFileMapping(HANDLE file, DWORD protect, ULONGLONG maximumSize);
// Maps `bytes` (0: to the end of the mapping) from `offset`, a multiple of
// ALLOCATION_GRANULARITY. FILE_MAP_WRITE needs a PAGE_READWRITE mapping.
void* mapViewOfFile(HANDLE mapping, DWORD desiredAccess, ULONGLONG offset, std::size_t bytes);
bool unmapViewOfFile(const void* base);
// Writes `bytes` (0: the whole view) of the view from `base` back to the file.
bool flushViewOfFile(const void* base, std::size_t bytes);

}  // namespace HA::OS
