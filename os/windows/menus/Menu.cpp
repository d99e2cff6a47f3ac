#include "os/windows/menus/Menu.h"

#include <map>
#include <vector>

#include "os/kernel/Kernel.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

constexpr UINT_PTR kSubmenuId = static_cast<UINT_PTR>(-1);

struct Item {
    UINT flags = 0;
    UINT_PTR id = 0;
    HMENU submenu = nullptr;
    WString text;
};

struct MenuRec {
    bool popup = false;
    std::vector<Item> items;
};

// Guarded by the kernel lock, like the windows that show them.
struct Menus {
    std::map<HMENU, MenuRec> menus;
    std::uintptr_t next = 0x50010;
};

Menus& menus()
{
    static Menus* m = new Menus;  // never destroyed: windows may outlive static destruction
    return *m;
}

MenuRec* menuLocked(HMENU menu)
{
    auto& all = menus().menus;
    auto it = all.find(menu);
    if (it == all.end()) {
        setLastError(ERROR_INVALID_MENU_HANDLE);
        return nullptr;
    }
    return &it->second;
}

HMENU makeMenuLocked(bool popup)
{
    Menus& m = menus();
    HMENU h = reinterpret_cast<HMENU>(m.next);
    m.next += 4;
    m.menus[h].popup = popup;
    return h;
}

void destroyMenuLocked(HMENU menu)
{
    auto& all = menus().menus;
    auto it = all.find(menu);
    if (it == all.end())
        return;
    std::vector<HMENU> submenus;
    for (const Item& item : it->second.items)
        if (item.submenu)
            submenus.push_back(item.submenu);
    all.erase(it);
    for (HMENU sub : submenus)
        destroyMenuLocked(sub);
}

const Item* itemLocked(HMENU menu, int position)
{
    MenuRec* m = menuLocked(menu);
    if (!m)
        return nullptr;
    if (position < 0 || static_cast<size_t>(position) >= m->items.size()) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return &m->items[static_cast<size_t>(position)];
}

void appendLocked(HMENU menu, UINT flags, UINT_PTR id, const WString& text)
{
    Item item;
    item.flags = flags;
    item.id = id;
    item.text = text;
    menus().menus[menu].items.push_back(item);
}

}  // namespace

namespace DETAIL {

void destroyWindowMenusLocked(WindowRec& window)
{
    if (window.menu && !(window.style & WS_CHILD))
        destroyMenuLocked(window.menu);
    if (window.systemMenu)
        destroyMenuLocked(window.systemMenu);
    window.menu = nullptr;
    window.systemMenu = nullptr;
}

}  // namespace DETAIL

HMENU createMenu()
{
    auto lock = kernelLock();
    return makeMenuLocked(false);
}

HMENU createPopupMenu()
{
    auto lock = kernelLock();
    return makeMenuLocked(true);
}

bool appendMenu(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, const WString& text)
{
    auto lock = kernelLock();
    MenuRec* m = menuLocked(menu);
    if (!m)
        return false;
    Item item;
    item.flags = flags & ~MF_BYPOSITION;
    item.text = (flags & MF_SEPARATOR) ? WString() : text;
    if (flags & MF_POPUP) {
        HMENU sub = reinterpret_cast<HMENU>(idOrSubmenu);
        if (sub == menu || !menuLocked(sub))
            return false;
        item.submenu = sub;
        item.id = kSubmenuId;
    } else if (!(flags & MF_SEPARATOR)) {
        item.id = idOrSubmenu;
    }
    m->items.push_back(item);
    return true;
}

bool destroyMenu(HMENU menu)
{
    auto lock = kernelLock();
    if (!menuLocked(menu))
        return false;
    destroyMenuLocked(menu);
    return true;
}

bool isMenu(HMENU menu)
{
    auto lock = kernelLock();
    return menus().menus.count(menu) != 0;
}

int getMenuItemCount(HMENU menu)
{
    auto lock = kernelLock();
    MenuRec* m = menuLocked(menu);
    return m ? static_cast<int>(m->items.size()) : -1;
}

UINT getMenuItemID(HMENU menu, int position)
{
    auto lock = kernelLock();
    const Item* item = itemLocked(menu, position);
    return item ? static_cast<UINT>(item->id) : static_cast<UINT>(-1);
}

HMENU getSubMenu(HMENU menu, int position)
{
    auto lock = kernelLock();
    const Item* item = itemLocked(menu, position);
    return item ? item->submenu : nullptr;
}

WString getMenuString(HMENU menu, int position)
{
    auto lock = kernelLock();
    const Item* item = itemLocked(menu, position);
    return item ? item->text : WString();
}

UINT getMenuItemFlags(HMENU menu, int position)
{
    auto lock = kernelLock();
    const Item* item = itemLocked(menu, position);
    return item ? item->flags : 0;
}

namespace {

Item* itemByCommandLocked(HMENU menu, UINT id)
{
    auto& all = menus().menus;
    auto it = all.find(menu);
    if (it == all.end())
        return nullptr;
    for (Item& item : it->second.items) {
        if (item.submenu) {
            if (Item* found = itemByCommandLocked(item.submenu, id))
                return found;
        } else if (!(item.flags & MF_SEPARATOR) && item.id == id) {
            return &item;
        }
    }
    return nullptr;
}

}  // namespace

UINT enableMenuItem(HMENU menu, UINT item, UINT flags)
{
    auto lock = kernelLock();
    if (!menuLocked(menu))
        return static_cast<UINT>(-1);
    Item* target = nullptr;
    if (flags & MF_BYPOSITION)
        target = const_cast<Item*>(itemLocked(menu, static_cast<int>(item)));
    else
        target = itemByCommandLocked(menu, item);
    if (!target)
        return static_cast<UINT>(-1);
    constexpr UINT kState = MF_GRAYED | MF_DISABLED;
    const UINT previous = target->flags & kState;
    target->flags = (target->flags & ~kState) | (flags & kState);
    return previous;
}

HMENU getSystemMenu(HWND hwnd, bool revert)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return nullptr;
    if (revert) {
        if (w->systemMenu)
            destroyMenuLocked(w->systemMenu);
        w->systemMenu = nullptr;
        return nullptr;
    }
    if (!(w->style & WS_SYSMENU))
        return nullptr;
    if (!w->systemMenu) {
        HMENU m = makeMenuLocked(true);
        appendLocked(m, MF_STRING, SC_RESTORE, u"&Restore");
        appendLocked(m, MF_STRING, SC_MOVE, u"&Move");
        appendLocked(m, MF_STRING, SC_SIZE, u"&Size");
        appendLocked(m, MF_STRING, SC_MINIMIZE, u"Mi&nimize");
        appendLocked(m, MF_STRING, SC_MAXIMIZE, u"Ma&ximize");
        appendLocked(m, MF_SEPARATOR, 0, WString());
        appendLocked(m, MF_STRING, SC_CLOSE, u"&Close\tAlt+F4");
        w->systemMenu = m;
    }
    return w->systemMenu;
}

bool setMenu(HWND hwnd, HMENU menu)
{
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w || !checkWindowThread(*w, "setMenu"))
            return false;
        if (w->style & WS_CHILD) {
            setLastError(ERROR_CHILD_WINDOW_MENU);
            return false;
        }
        if (menu && !menuLocked(menu))
            return false;
        w->menu = menu;
    }
    // The frame changes; the outer rectangle stays and the client area follows.
    return setWindowPos(hwnd, nullptr, 0, 0, 0, 0,
                        SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE | SWP_FRAMECHANGED);
}

HMENU getMenu(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return (w && !(w->style & WS_CHILD)) ? w->menu : nullptr;
}

bool drawMenuBar(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    ++w->menuBarRedraws;
    return true;
}

int getMenuBarRedrawCount(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->menuBarRedraws : 0;
}

}  // namespace HA::OS
