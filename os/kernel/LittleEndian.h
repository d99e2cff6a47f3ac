#pragma once
// Little-endian fields of wire records: USB and DFU requests and descriptors, the firmware
// image header. The one reader and writer of such fields, for the stand-in and the host alike.

#include <vector>

#include "os/kernel/Types.h"

namespace HA::OS {

inline WORD getLe16(const BYTE* p)
{
    return static_cast<WORD>(p[0] | (p[1] << 8));
}

// bwPollTimeout of the DFU status reply is three bytes wide.
inline DWORD getLe24(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16);
}

inline DWORD getLe32(const BYTE* p)
{
    return static_cast<DWORD>(p[0]) | (static_cast<DWORD>(p[1]) << 8) | (static_cast<DWORD>(p[2]) << 16) |
           (static_cast<DWORD>(p[3]) << 24);
}

inline void putLe16(BYTE* p, WORD v)
{
    p[0] = static_cast<BYTE>(v);
    p[1] = static_cast<BYTE>(v >> 8);
}

inline void putLe32(BYTE* p, DWORD v)
{
    for (int i = 0; i < 4; ++i)
        p[i] = static_cast<BYTE>(v >> (8 * i));
}

inline void appendLe16(std::vector<BYTE>& v, WORD x)
{
    v.push_back(static_cast<BYTE>(x));
    v.push_back(static_cast<BYTE>(x >> 8));
}

}  // namespace HA::OS
