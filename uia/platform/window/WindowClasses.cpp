#include "uia/platform/window/WindowClasses.h"

#include <cstdio>

#include "gp/src/common/storage/ModuleResources.h"
#include "os/kernel/Text.h"
#include "os/windows/icons/Icon.h"
#include "os/windows/Message.h"
#include "uia/platform/window/WindowImplWin32.h"

namespace HA::UIA {

namespace {

constexpr int kClassCount = 5;
constexpr const char* kClassFormats[kClassCount] = {"HANormalWindow%p", "HAFramelessWindow%p", "HAChildWindow%p",
                                                    "HAVSTChildWindow%p", "HAOverlayWindow%p"};

bool gRegistered = false;

// The whole window is client area: no frame is calculated or painted.
OS::LRESULT framelessWindowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_NCCALCSIZE)
        return wParam ? (OS::WVR_VALIDRECTS | OS::WVR_REDRAW) : 0;
    if (message == OS::WM_NCPAINT)
        return 0;
    return windowProc(hwnd, message, wParam, lParam);
}

// Clicks do not activate overlays.
OS::LRESULT overlayWindowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message == OS::WM_MOUSEACTIVATE)
        return OS::MA_NOACTIVATE;
    return windowProc(hwnd, message, wParam, lParam);
}

OS::WNDPROC classProc(int type)
{
    switch (type) {
    case DETAIL::kFramelessWindowClass:
        return &framelessWindowProc;
    case DETAIL::kOverlayWindowClass:
        return &overlayWindowProc;
    default:
        return &windowProc;
    }
}

}  // namespace

namespace DETAIL {

OS::WString windowClassName(int type)
{
    if (type < 0 || type >= kClassCount)
        type = kNormalWindowClass;
    char name[256];
    std::snprintf(name, sizeof name, kClassFormats[type], static_cast<void*>(GP::getModuleHandle()));
    return OS::utf8ToUtf16(name);
}

}  // namespace DETAIL

bool registerWindowClasses()
{
    if (gRegistered)
        return true;
    for (int type = 0; type < kClassCount; ++type) {
        OS::WNDCLASSEXW wc;
        wc.style = OS::CS_DBLCLKS | (type == DETAIL::kOwnDcChildWindowClass ? OS::CS_OWNDC : 0);
        wc.lpfnWndProc = classProc(type);
        wc.hInstance = GP::getModuleHandle();
        wc.hIcon = OS::loadIcon(nullptr, OS::IDI_APPLICATION);
        wc.hCursor = OS::loadCursor(nullptr, OS::IDC_ARROW);
        wc.lpszClassName = DETAIL::windowClassName(type);
        if (!OS::registerClass(wc)) {
            for (int earlier = 0; earlier < type; ++earlier)
                OS::unregisterClass(DETAIL::windowClassName(earlier), GP::getModuleHandle());
            return false;
        }
    }
    gRegistered = true;
    return true;
}

void unregisterWindowClasses()
{
    if (!gRegistered)
        return;
    for (int type = 0; type < kClassCount; ++type)
        OS::unregisterClass(DETAIL::windowClassName(type), GP::getModuleHandle());
    gRegistered = false;
}

bool areWindowClassesRegistered()
{
    return gRegistered;
}

OS::LRESULT windowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    return DETAIL::WindowImplWin32::windowProc(hwnd, message, wParam, lParam);
}

}  // namespace HA::UIA
