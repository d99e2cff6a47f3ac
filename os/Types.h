#pragma once
// Basic types of the platform stand-in: the platform's integer widths, UTF-16 text and handles.

#include <cstdint>
#include <string>

namespace HA::OS {

using BYTE = std::uint8_t;
using WORD = std::uint16_t;
using DWORD = std::uint32_t;
using LONG = std::int32_t;
using UINT = std::uint32_t;
using BOOL = std::int32_t;

// The platform speaks UTF-16; wchar_t is 32 bits here, so UTF-16 text is char16_t.
using WString = std::u16string;
using WChar = char16_t;

// An opaque kernel handle. Values are never reused while the process runs.
using HANDLE = void*;
inline HANDLE const INVALID_HANDLE_VALUE = reinterpret_cast<HANDLE>(~std::uintptr_t(0));

constexpr DWORD INFINITE = 0xFFFFFFFFu;

}  // namespace HA::OS
