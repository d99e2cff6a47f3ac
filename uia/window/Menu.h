#pragma once
// Wrappers of platform menus. A wrapper does not own its menu: the platform destroys a
// menu with the window that shows it, and a window destroys a menu bar it replaces.

#include "os/windows/Window.h"

namespace HA::UIA {

class HMenu {
public:
    explicit HMenu(OS::HMENU handle = nullptr) : mHandle(handle) {}
    virtual ~HMenu() = default;
    HMenu(const HMenu&) = default;
    HMenu& operator=(const HMenu&) = default;

    OS::HMENU getHandle() const { return mHandle; }
    void setHandle(OS::HMENU handle) { mHandle = handle; }

    // Depth first in item order, separators skipped: the first plain item with the id. On
    // success the menu holding it and its position are stored (either output may be null);
    // otherwise false and the outputs are left alone.
    bool findItem(int id, HMenu* outMenu, int* outPosition) const;

private:
    OS::HMENU mHandle;
};

// The application's menu bar; empty (a null handle) until the application fills it.
class HMenuBar : public HMenu {
public:
    using HMenu::HMenu;
};

}  // namespace HA::UIA
