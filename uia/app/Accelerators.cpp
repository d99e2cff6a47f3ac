#include "uia/app/Accelerators.h"

namespace HA::UIA {

namespace {

// The numpad flag and the bits next to it.
constexpr std::uint32_t kKeypadBits = 0x00FE0000;

}  // namespace

int AcceleratorManagerImplMap::find(std::uint32_t key) const
{
    auto it = mMap.find(key);
    if (it == mMap.end())
        it = mMap.find(key & ~kKeypadBits);
    return it == mMap.end() ? 0 : it->second;
}

}  // namespace HA::UIA
