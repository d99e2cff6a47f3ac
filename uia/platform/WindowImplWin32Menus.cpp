#include "uia/platform/WindowImplWin32.h"

// FIXME: system commands and the menu-initialisation messages arrive with the menu work;
// until then they get default processing.

namespace HA::UIA::DETAIL {

std::optional<OS::LRESULT> WindowImplWin32::dispatchMenuMessage(OS::UINT, OS::WPARAM, OS::LPARAM)
{
    return std::nullopt;
}

}  // namespace HA::UIA::DETAIL
