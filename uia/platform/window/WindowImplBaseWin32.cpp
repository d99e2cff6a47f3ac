#include "uia/platform/window/WindowImplBaseWin32.h"

#include <cmath>

#include "gp/src/common/storage/ModuleResources.h"
#include "os/kernel/Text.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/icons/Icon.h"
#include "os/windows/menus/Menu.h"
#include "os/windows/Message.h"
#include "uia/graphics/picture/Picture.h"
#include "uia/window/Menu.h"
#include "uia/window/Monitor.h"
#include "uia/window/Window.h"
#include "uia/window/WindowApplication.h"

namespace HA::UIA::DETAIL {

WindowImplBaseWin32::WindowImplBaseWin32(WindowBase* owner) : WindowImpl(owner) {}

WindowImplBaseWin32::~WindowImplBaseWin32()
{
    if (mBigIcon)
        OS::destroyIcon(mBigIcon);
    if (mSmallIcon)
        OS::destroyIcon(mSmallIcon);
}

bool WindowImplBaseWin32::updateLayered(const Picture& picture)
{
    const std::uint32_t* source = picture.getPixels();
    const int width = picture.getWidth(), height = picture.getHeight();
    if (!source || width <= 0 || height <= 0)
        return true;
    OS::BITMAPINFO info{};
    info.bmiHeader.biSize = sizeof(OS::BITMAPINFOHEADER);
    info.bmiHeader.biWidth = width;
    info.bmiHeader.biHeight = height;  // bottom-up rows
    info.bmiHeader.biPlanes = 1;
    info.bmiHeader.biBitCount = 32;
    info.bmiHeader.biCompression = OS::BI_RGB;
    OS::HDC hdc = OS::createCompatibleDC(nullptr);
    void* bits = nullptr;
    OS::HBITMAP section = hdc ? OS::createDIBSection(hdc, &info, OS::DIB_RGB_COLORS, &bits, nullptr, 0) : nullptr;
    if (!section || !bits) {
        if (section)
            OS::deleteObject(section);
        if (hdc)
            OS::deleteDC(hdc);
        return false;
    }
    OS::HGDIOBJ previous = OS::selectObject(hdc, section);
    auto* target = static_cast<std::uint32_t*>(bits);
    for (int y = 0; y < height; ++y) {
        const std::uint32_t* from = source + static_cast<size_t>(y) * static_cast<size_t>(width);
        std::uint32_t* to = target + static_cast<size_t>(height - 1 - y) * static_cast<size_t>(width);
        for (int x = 0; x < width; ++x) {
            // The platform takes premultiplied colour.
            const std::uint32_t p = from[x], a = p >> 24;
            const std::uint32_t r = (p >> 16 & 0xFF) * a / 255, g = (p >> 8 & 0xFF) * a / 255, b = (p & 0xFF) * a / 255;
            to[x] = a << 24 | r << 16 | g << 8 | b;
        }
    }
    OS::RECT window{};
    OS::getWindowRect(mHwnd, window);
    OS::POINT position{window.left, window.top}, origin{0, 0};
    OS::SIZE size{width, height};
    OS::BLENDFUNCTION blend{OS::AC_SRC_OVER, 0, 255, OS::AC_SRC_ALPHA};
    OS::updateLayeredWindow(mHwnd, nullptr, &position, &size, hdc, &origin, 0, &blend, OS::ULW_ALPHA);
    OS::selectObject(hdc, previous);
    OS::deleteObject(section);
    OS::deleteDC(hdc);
    return true;
}

bool WindowImplBaseWin32::isVisible() const
{
    return OS::isWindowVisible(mHwnd);
}

void WindowImplBaseWin32::showTitle()
{
    OS::setWindowText(mHwnd, OS::utf8ToUtf16(mModified ? mTitle + "*" : mTitle));
}

void WindowImplBaseWin32::setTitle(const char* title)
{
    mTitle = title ? title : "";
    showTitle();
}

void WindowImplBaseWin32::setModified(bool modified)
{
    if (modified == mModified)
        return;
    if (mTitle.empty())
        mTitle = OS::utf16ToUtf8(OS::getWindowText(mHwnd));
    mModified = modified;
    showTitle();
}

void WindowImplBaseWin32::setMenuBar(const HMenuBar& menuBar)
{
    if (!mHwnd || (OS::getWindowStyle(mHwnd) & OS::WS_CHILD))
        return;
    OS::RECT client{};
    OS::getClientRect(mHwnd, client);
    OS::HMENU previous = mMenu;
    mMenu = menuBar.getHandle();
    OS::setMenu(mHwnd, mMenu);
    OS::drawMenuBar(mHwnd);
    if (previous) {
        if (previous != mMenu)
            OS::destroyMenu(previous);
        return;
    }
    // The first menu bar takes its room from the client area: give it back.
    OS::RECT outer{0, 0, client.right, client.bottom};
    OS::adjustWindowRectEx(outer, OS::getWindowStyle(mHwnd), mMenu != nullptr, OS::getWindowExStyle(mHwnd));
    OS::setWindowPos(mHwnd, nullptr, 0, 0, outer.right - outer.left, outer.bottom - outer.top,
                     OS::SWP_NOMOVE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE);
}

void WindowImplBaseWin32::setIcon(OS::HMODULE, int resourceId)
{
    if (!mHwnd || resourceId < 0 || resourceId > 0xFFFF)
        return;
    // The icons are the program's own resources, whatever module a caller names: the one
    // module that the window classes are registered with.
    const OS::HMODULE module = GP::getModuleHandle();
    const auto id = static_cast<OS::WORD>(resourceId);
    OS::HICON big = OS::loadIconImage(module, id, 0, 0, OS::LR_DEFAULTSIZE);
    if (!big)
        return;
    OS::HICON small = OS::loadIconImage(module, id, OS::kSmallIconSize, OS::kSmallIconSize, OS::LR_DEFAULTCOLOR);
    OS::sendMessage(mHwnd, OS::WM_SETICON, OS::ICON_BIG, reinterpret_cast<OS::LPARAM>(big));
    OS::sendMessage(mHwnd, OS::WM_SETICON, OS::ICON_SMALL, reinterpret_cast<OS::LPARAM>(small ? small : big));
    if (mBigIcon)
        OS::destroyIcon(mBigIcon);
    if (mSmallIcon)
        OS::destroyIcon(mSmallIcon);
    mBigIcon = big;
    mSmallIcon = small;
}

void WindowImplBaseWin32::setCursor(OS::HANDLE cursor)
{
    mCursor = cursor;
}

void WindowImplBaseWin32::resetCursor()
{
    mCursor = nullptr;
}

void WindowImplBaseWin32::show(bool visible)
{
    OS::showWindow(mHwnd, visible ? OS::SW_SHOWNA : OS::SW_HIDE);
}

void WindowImplBaseWin32::raise()
{
    OS::setWindowPos(mHwnd, OS::HWND_TOP, 0, 0, 0, 0,
                     OS::SWP_NOMOVE | OS::SWP_NOSIZE | OS::SWP_NOOWNERZORDER | (mDeferErase ? OS::SWP_DEFERERASE : 0));
}

void WindowImplBaseWin32::destroy()
{
    if (mHwnd)
        OS::destroyWindow(mHwnd);
}

void WindowImplBaseWin32::maximize()
{
    OS::showWindow(mHwnd, OS::SW_MAXIMIZE);
}

void WindowImplBaseWin32::minimize()
{
    OS::showWindow(mHwnd, OS::SW_MINIMIZE);
}

void WindowImplBaseWin32::restore()
{
    OS::showWindow(mHwnd, OS::SW_RESTORE);
}

bool WindowImplBaseWin32::isZoomed() const
{
    return OS::isZoomed(mHwnd);
}

bool WindowImplBaseWin32::isIconic() const
{
    return OS::isIconic(mHwnd);
}

void WindowImplBaseWin32::invalidate()
{
    OS::invalidateRect(mHwnd, nullptr, false);
}

void WindowImplBaseWin32::invalidateRect(const GP::Rect& rect)
{
    const float scale = getScaleFactor();
    auto device = [scale](std::int32_t v) { return static_cast<OS::LONG>(std::lroundf(static_cast<float>(v) * scale)); };
    OS::RECT r{device(rect.left), device(rect.top), device(rect.right), device(rect.bottom)};
    OS::invalidateRect(mHwnd, &r, false);
}

void WindowImplBaseWin32::update()
{
    OS::updateWindow(mHwnd);
}

void WindowImplBaseWin32::setParent(Window* parent)
{
    OS::HWND parentHwnd = nullptr;
    if (parent && parent->getImpl())
        parentHwnd = parent->getImpl()->getHwnd();
    OS::setParent(mHwnd, parentHwnd);
}

float WindowImplBaseWin32::getScaleFactor() const
{
    return std::ceil(getDisplayScale(mHwnd));
}

void WindowImplBaseWin32::clientToScreen(GP::Point* point)
{
    OS::POINT p{point->x, point->y};
    OS::clientToScreen(mHwnd, p);
    *point = GP::Point{p.x, p.y};
}

void WindowImplBaseWin32::screenToClient(GP::Point* point)
{
    OS::POINT p{point->x, point->y};
    OS::screenToClient(mHwnd, p);
    *point = GP::Point{p.x, p.y};
}

void WindowImplBaseWin32::setFocus()
{
    OS::setFocus(mHwnd);
}

bool WindowImplBaseWin32::focusRoot()
{
    OS::setFocus(OS::getRootWindow(mHwnd));
    return true;
}

}  // namespace HA::UIA::DETAIL
