#pragma once
// Icons of the stand-in: icons loaded from a module's icon resources, the system's stock
// icon and arrow cursor that window classes name, and the icons a window keeps.
//
// A group-icon resource (type RT_GROUP_ICON) lists its images: per image a 14-byte entry
// {width, height, colours, reserved, planes, bit count, bytes, image id} behind a 6-byte
// header {0, 1, count}; each image is an RT_ICON resource holding a PNG. A width or
// height byte of 0 means 256.
//
// WM_SETICON (ICON_BIG or ICON_SMALL, the icon in lParam) stores a window's icon in the
// default processing and answers the previous one; WM_GETICON answers it.

#include <cstdint>
#include <vector>

#include "os/kernel/Module.h"
#include "os/windows/Window.h"

namespace HA::OS {

constexpr WORD RT_ICON = 3;
constexpr WORD RT_GROUP_ICON = 14;

constexpr UINT IMAGE_ICON = 1;
constexpr UINT LR_DEFAULTCOLOR = 0x0000;
constexpr UINT LR_DEFAULTSIZE = 0x0040;

constexpr WPARAM ICON_SMALL = 0;
constexpr WPARAM ICON_BIG = 1;

// The sizes the platform uses for window icons.
constexpr int kIconSize = 32;
constexpr int kSmallIconSize = 16;

// Stock resources of the system (module null).
constexpr WORD IDI_APPLICATION = 32512;
constexpr WORD IDC_ARROW = 32512;
// The other system cursors (module null): shared handles, the same each time.
constexpr WORD IDC_IBEAM = 32513;
constexpr WORD IDC_WAIT = 32514;
constexpr WORD IDC_CROSS = 32515;
constexpr WORD IDC_UPARROW = 32516;
constexpr WORD IDC_SIZENWSE = 32642;
constexpr WORD IDC_SIZENESW = 32643;
constexpr WORD IDC_SIZEWE = 32644;
constexpr WORD IDC_SIZENS = 32645;
constexpr WORD IDC_SIZEALL = 32646;
constexpr WORD IDC_NO = 32648;
constexpr WORD IDC_HAND = 32649;
// The stand-in's: the system cursor's id, 0 for any other handle.
WORD systemCursorId(HCURSOR cursor);

// Loads the icon image of group `id` that fits cx x cy best (exact size, else the smallest
// larger one, else the largest), scaled to that size by the nearest pixel. With
// LR_DEFAULTSIZE a size of 0 means kIconSize. Null with ERROR_RESOURCE_TYPE_NOT_FOUND or
// ERROR_RESOURCE_NAME_NOT_FOUND when the group or its chosen image is missing, and with
// ERROR_INVALID_DATA for a group or image that cannot be read.
HICON loadIconImage(HMODULE module, WORD id, int cx, int cy, UINT flags);
// Only IDI_APPLICATION of the system (module null); the same handle each time.
HICON loadIcon(HMODULE module, WORD id);
// The system cursors (module null; ids above), a shared handle each.
HCURSOR loadCursor(HMODULE module, WORD id);
// False for stock icons and unknown handles.
bool destroyIcon(HICON icon);

// The stand-in's: an icon's pixels, 0xAARRGGBB words with straight alpha, rows top first.
struct IconPixels {
    int width = 0;
    int height = 0;
    std::vector<std::uint32_t> pixels;
};
bool readIconPixels(HICON icon, IconPixels& out);
// A window's icon of that kind (ICON_BIG or ICON_SMALL), null when none was set.
HICON getWindowIcon(HWND hwnd, WPARAM kind);

}  // namespace HA::OS
