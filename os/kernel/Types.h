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

// The platform's GUID record.
struct GUID {
    DWORD Data1;
    WORD Data2;
    WORD Data3;
    BYTE Data4[8];
};
inline bool operator==(const GUID& a, const GUID& b)
{
    if (a.Data1 != b.Data1 || a.Data2 != b.Data2 || a.Data3 != b.Data3)
        return false;
    for (int i = 0; i < 8; ++i)
        if (a.Data4[i] != b.Data4[i])
            return false;
    return true;
}
inline bool operator!=(const GUID& a, const GUID& b) { return !(a == b); }

}  // namespace HA::OS
