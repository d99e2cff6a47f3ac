#include "os/files/CurrentDirectory.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>
#include <vector>

#include "os/files/File.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"

namespace HA::OS {

DWORD getCurrentDirectory(DWORD size, WChar* buffer)
{
    std::vector<char> path(4096);
    if (!::getcwd(path.data(), path.size())) {
        setLastError(DETAIL::errorFromErrno(errno));
        return 0;
    }
    const WString text = utf8ToUtf16(path.data());
    if (!buffer || text.size() + 1 > size)
        return static_cast<DWORD>(text.size() + 1);
    std::copy(text.begin(), text.end(), buffer);
    buffer[text.size()] = u'\0';
    return static_cast<DWORD>(text.size());
}

}  // namespace HA::OS
