#include "gp/src/common/process/PlatformServices.h"

#include <limits>

#include "os/kernel/Clock.h"
#include "os/shell/Shell.h"

namespace HA::GP {

bool openWithShell(const char* fileOrAddress)
{
    if (fileOrAddress == nullptr)
        return false;
    return OS::shellExecuteA("open", fileOrAddress, nullptr, nullptr, OS::SW_SHOWNORMAL) > 32;
}

std::int64_t performanceCounter() { return OS::Clock::performanceCounter(); }

std::uint64_t ticksToMilliseconds(std::int64_t ticks)
{
    static const std::int64_t frequency = OS::Clock::performanceFrequency();
    return DETAIL::ticksToMilliseconds(ticks, frequency);
}

namespace DETAIL {

std::uint64_t ticksToMilliseconds(std::int64_t ticks, std::int64_t frequency)
{
    if (ticks <= 0 || frequency <= 0)
        return 0;
    // 128-bit product, so that ticks x 1000 cannot overflow.
    const unsigned __int128 ms = static_cast<unsigned __int128>(ticks) * 1000u / static_cast<std::uint64_t>(frequency);
    const std::uint64_t max = std::numeric_limits<std::uint64_t>::max();
    return ms > max ? max : static_cast<std::uint64_t>(ms);
}

}  // namespace DETAIL

}  // namespace HA::GP
