#include "os/shell/Ole.h"

#include <algorithm>
#include <cstring>

namespace HA::OS {

UINT dragQueryFileW(HDROP drop, UINT index, WChar* buffer, UINT size)
{
    const std::size_t bytes = globalSize(drop);
    const BYTE* p = static_cast<const BYTE*>(globalLock(drop));
    if (!p || bytes < 20)
        return 0;
    DWORD offset = 0, wide = 0;
    std::memcpy(&offset, p, 4);
    std::memcpy(&wide, p + 16, 4);
    const std::size_t unit = wide ? 2 : 1;
    std::size_t at = offset;
    UINT count = 0;
    UINT result = 0;
    while (offset >= 20 && at + unit <= bytes) {
        WString name;
        bool whole = false;
        while (at + unit <= bytes) {
            WChar c = wide ? static_cast<WChar>(p[at] | p[at + 1] << 8) : static_cast<WChar>(p[at]);
            at += unit;
            if (c == 0) {
                whole = true;
                break;
            }
            name.push_back(c);
        }
        if (!whole || name.empty())
            break;
        if (count == index) {
            result = static_cast<UINT>(name.size());
            if (buffer && size > 0) {
                std::size_t n = std::min<std::size_t>(name.size(), size - 1);
                std::memcpy(buffer, name.data(), n * 2);
                buffer[n] = 0;
                result = static_cast<UINT>(n);
            }
        }
        ++count;
    }
    globalUnlock(drop);
    return index == 0xFFFFFFFFu ? count : result;
}

}  // namespace HA::OS
