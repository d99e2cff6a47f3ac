#pragma once
// Menus of the stand-in: menu bars and pop-up menus with items, separators and submenus, a
// window's system menu, and the menu bar of a top-level window. Menus do not open on
// screen here; tests read their items.
//
// A menu set on a window, and the window's system menu, are destroyed with the window;
// destroying a menu destroys its submenus. Failures return null or false and set the
// thread's last error (ERROR_INVALID_MENU_HANDLE for a menu that does not exist).

#include "os/windows/Window.h"

namespace HA::OS {

// appendMenu flags.
constexpr UINT MF_STRING = 0x0000;
constexpr UINT MF_ENABLED = 0x0000;
constexpr UINT MF_BYCOMMAND = 0x0000;
constexpr UINT MF_GRAYED = 0x0001;
constexpr UINT MF_DISABLED = 0x0002;
constexpr UINT MF_CHECKED = 0x0008;
constexpr UINT MF_POPUP = 0x0010;
constexpr UINT MF_BYPOSITION = 0x0400;
constexpr UINT MF_SEPARATOR = 0x0800;

constexpr DWORD ERROR_INVALID_MENU_HANDLE = 1401;

HMENU createMenu();
HMENU createPopupMenu();
// Appends an item: a command (id), a separator, or with MF_POPUP the submenu given as id.
bool appendMenu(HMENU menu, UINT flags, UINT_PTR idOrSubmenu, const WString& text = WString());
bool destroyMenu(HMENU menu);
bool isMenu(HMENU menu);

// Item queries: -1 for an invalid menu; the id of a separator is 0 and of a submenu item -1.
int getMenuItemCount(HMENU menu);
UINT getMenuItemID(HMENU menu, int position);
HMENU getSubMenu(HMENU menu, int position);
// The item's text (empty for separators); the flags it was appended with.
WString getMenuString(HMENU menu, int position);
UINT getMenuItemFlags(HMENU menu, int position);
// Enables (MF_ENABLED), greys (MF_GRAYED) or disables an item found by id (MF_BYCOMMAND, in
// the menu and its submenus) or position (MF_BYPOSITION). Returns the item's previous state
// (MF_ENABLED, MF_GRAYED, MF_DISABLED bits), or (UINT)-1 when there is no such item.
UINT enableMenuItem(HMENU menu, UINT item, UINT flags);

// The window's system menu: made on first use with the platform's items (Restore, Move,
// Size, Minimize, Maximize, a separator, Close); null for a window without WS_SYSMENU.
// With revert true the window's copy is thrown away and null is returned.
HMENU getSystemMenu(HWND hwnd, bool revert);

// Sets (or with null removes) the menu bar of a top-level window. The frame changes at
// once: WM_NCCALCSIZE, and WM_SIZE for the smaller (larger) client area; the outer
// rectangle stays. Child windows fail with ERROR_CHILD_WINDOW_MENU. The previous menu is
// not destroyed.
bool setMenu(HWND hwnd, HMENU menu);
HMENU getMenu(HWND hwnd);
// Redraws the menu bar; the stand-in counts the redraws (getMenuBarRedrawCount).
bool drawMenuBar(HWND hwnd);
int getMenuBarRedrawCount(HWND hwnd);

constexpr DWORD ERROR_CHILD_WINDOW_MENU = 1436;

}  // namespace HA::OS
