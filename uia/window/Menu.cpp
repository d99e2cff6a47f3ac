#include "uia/window/Menu.h"

#include "os/windows/menus/Menu.h"

namespace HA::UIA {

bool HMenu::findItem(int id, HMenu* outMenu, int* outPosition) const
{
    const int count = OS::getMenuItemCount(mHandle);
    for (int position = 0; position < count; ++position) {
        if (OS::HMENU sub = OS::getSubMenu(mHandle, position)) {
            HMenu submenu(sub);
            if (submenu.findItem(id, outMenu, outPosition))
                return true;
            continue;
        }
        if (OS::getMenuItemFlags(mHandle, position) & OS::MF_SEPARATOR)
            continue;
        if (static_cast<int>(OS::getMenuItemID(mHandle, position)) == id) {
            if (outMenu)
                outMenu->setHandle(mHandle);
            if (outPosition)
                *outPosition = position;
            return true;
        }
    }
    return false;
}

}  // namespace HA::UIA
