#include "uia/platform/window/WindowImplWin32.h"

#include "os/windows/menus/Menu.h"
#include "os/windows/Message.h"
#include "uia/app/AppModule.h"
#include "uia/events/Events.h"
#include "uia/window/Menu.h"
#include "uia/window/WindowApplication.h"

namespace HA::UIA::DETAIL {

namespace {

constexpr int kCommandZoom = 30301;
constexpr std::uint32_t kFunctionKeyBit = 0x10000;
constexpr std::uint32_t kControlBit = 0x20000000;

}  // namespace

bool WindowImplWin32::runAccelerator(int key)
{
    const auto bits = static_cast<std::uint32_t>(key);
    const bool control = (bits & kControlBit) || OS::getKeyState(OS::VK_CONTROL) < 0;
    if (!(bits & kFunctionKeyBit) && !control)
        return false;
    const int command = findApplicationAccelerator(bits);
    if (command == kCommandZoom) {
        zoom();
        return false;
    }
    if (command < 1)
        return false;
    CommandEventData data;
    data.id = command;
    return sendEvent(kEventCommand, &data, true);
}

std::optional<OS::LRESULT> WindowImplWin32::acceleratorLookUp(int& pendingKey)
{
    if (getHostKind() != 1 || !runAccelerator(pendingKey))
        return std::nullopt;
    pendingKey = 0;
    return 0;
}

std::optional<OS::LRESULT> WindowImplWin32::onMenuPopup(OS::HMENU popup)
{
    HMenu wrapper(popup);
    MenuEventData whole;
    whole.id = -1;
    whole.menu = &wrapper;
    if (sendEvent(kEventMenuPopupShowing, &whole, true))
        return 0;

    const int count = OS::getMenuItemCount(popup);
    bool anyPlain = false, lastHandled = false, lastZoom = false;
    for (int position = 0; position < count; ++position) {
        if (OS::getSubMenu(popup, position) || (OS::getMenuItemFlags(popup, position) & OS::MF_SEPARATOR))
            continue;
        const int id = static_cast<int>(OS::getMenuItemID(popup, position));
        MenuEventData item;
        item.id = id;
        item.menu = &wrapper;
        anyPlain = true;
        lastHandled = sendEvent(kEventMenuItemShowing, &item, true);
        lastZoom = id == kCommandZoom;
        if (lastHandled || !lastZoom)
            continue;
        const OS::UINT state = isNormal() ? OS::MF_ENABLED : OS::MF_GRAYED;
        if (OS::enableMenuItem(popup, kCommandZoom, OS::MF_BYCOMMAND | state) == OS::MF_ENABLED) {
            HMenu holder;
            int at = -1;
            if (wrapper.findItem(kCommandZoom, &holder, &at))
                OS::enableMenuItem(holder.getHandle(), static_cast<OS::UINT>(at), OS::MF_BYPOSITION | state);
        }
    }
    if (count <= 0 || !anyPlain || lastHandled || lastZoom)
        return 0;
    return std::nullopt;
}

std::optional<OS::LRESULT> WindowImplWin32::dispatchMenuMessage(OS::UINT message, OS::WPARAM wParam, OS::LPARAM)
{
    switch (message) {
    case OS::WM_SYSCOMMAND: {
        const int command = OS::loWord(wParam);
        if (command == kCommandZoom) {
            if (isNormal())
                zoom();
            return 0;
        }
        if (command == kCommandShowToolbar) {
            CommandEventData data;
            data.id = kCommandShowToolbar;
            sendEvent(kEventCommand, &data, false);
            return 0;
        }
        return std::nullopt;
    }
    case OS::WM_INITMENUPOPUP:
        return onMenuPopup(reinterpret_cast<OS::HMENU>(wParam));
    default:
        return std::nullopt;
    }
}

}  // namespace HA::UIA::DETAIL
