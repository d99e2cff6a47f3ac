#include "uia/platform/window/WindowImplWin32.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "gp/src/common/storage/ModuleResources.h"
#include "os/kernel/Text.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/menus/Menu.h"
#include "os/windows/Message.h"
#include "uia/events/Events.h"
#include "uia/platform/transfer/DropTargetImplWin32.h"
#include "uia/platform/window/WindowClasses.h"
#include "uia/window/Monitor.h"
#include "uia/window/Window.h"
#include "uia/window/WindowApplication.h"
#include "uia/window/WindowDescriptor.h"

namespace HA::UIA::DETAIL {

namespace {

constexpr int kPlatformDefault = static_cast<int>(0x80000000u);
constexpr OS::DWORD kOverlappedWindowStyle = 0x00CF0000;
constexpr OS::DWORD kToolWindowExStyle = 0x40;
constexpr OS::UINT kCommandZoomWindow = 30301;
constexpr OS::UINT kCommandShowToolbar = 30311;

}  // namespace

WindowImplWin32::WindowImplWin32(WindowBase* owner) : WindowImplBaseWin32(owner) {}

WindowImplWin32::~WindowImplWin32()
{
    if (sCreating == this)
        sCreating = nullptr;
    if (mHwnd && OS::isWindow(mHwnd)) {
        // The window outlives this implementation: it must not name it any more.
        OS::HWND hwnd = std::exchange(mHwnd, nullptr);
        if (OS::getWindowUserData(hwnd) == reinterpret_cast<OS::LONG_PTR>(this))
            OS::setWindowUserData(hwnd, 0);
        OS::destroyWindow(hwnd);
    }
    releaseDropTarget();
    mDc.reset();
    if (mBrush)
        OS::deleteObject(mBrush);
}

void WindowImplWin32::ownerDeleted()
{
    mOwner = nullptr;
    mDeleteOnDestroy = false;
    if (mBusy == 0) {
        delete this;
        return;
    }
    // A window procedure call of this window is still running: the window goes now, the
    // implementation when the outermost call returns.
    if (mHwnd)
        OS::destroyWindow(mHwnd);
}

bool WindowImplWin32::create(const WindowDescriptor& d, int type, OS::DWORD style, OS::DWORD exStyle)
{
    if (sCreating)
        return false;
    auto* window = dynamic_cast<Window*>(mOwner);
    if (d.styleFlags & WindowDescriptor::kLayered) {
        exStyle |= OS::WS_EX_LAYERED;
        if (window)
            window->setLayered(true);
    }
    mDeferErase = (d.styleFlags & WindowDescriptor::kDeferErase) != 0;
    mDeleteOnDestroy = window && window->getDeleteOnDestroy();
    if (d.contentFlags & WindowDescriptor::kBackgroundGiven) {
        const OS::COLORREF colour = d.background & 0x00FFFFFFu;
        mBrush = OS::createSolidBrush(colour ? colour : OS::getSysColor(OS::COLOR_WINDOW));
    }
    OS::HWND parent = nullptr;
    if (d.contentFlags & WindowDescriptor::kParentGiven) {
        if (window)
            window->setParentWindow(d.parent);
        if (d.parent && d.parent->getImpl())
            parent = d.parent->getImpl()->getHwnd();
        if (!OS::isWindow(parent))
            return false;
    }
    int x = kPlatformDefault, y = kPlatformDefault, width = kPlatformDefault, height = kPlatformDefault;
    if (d.contentFlags & WindowDescriptor::kSizeGiven) {
        const float scale = (isApplicationDpiAware() && parent) ? getMonitorScale(parent) : 1.0f;
        width = static_cast<int>(std::lroundf(static_cast<float>(d.right - d.left) * scale));
        height = static_cast<int>(std::lroundf(static_cast<float>(d.bottom - d.top) * scale));
        if (d.contentFlags & WindowDescriptor::kClientSize) {
            OS::RECT r{50, 50, 50 + width, 50 + height};
            const bool tool = (exStyle & kToolWindowExStyle) != 0;
            OS::adjustWindowRectEx(r, tool ? kOverlappedWindowStyle : style, false, tool ? 0 : exStyle);
            width = r.right - r.left;
            height = r.bottom - r.top;
        }
    }
    if (d.contentFlags & WindowDescriptor::kPositionGiven) {
        x = d.left;
        y = d.top;
        if (d.contentFlags & WindowDescriptor::kClientPosition) {
            OS::RECT r{x, y, x + 50, y + 50};
            OS::adjustWindowRectEx(r, style, false, exStyle);
            x = r.left;
            y = r.top;
        }
        if (!(style & OS::WS_CHILD)) {
            const OS::RECT work = OS::getWorkArea();
            x = std::clamp<int>(x, work.left, work.right);
            y = std::clamp<int>(y, work.top, work.bottom);
        }
    }
    OS::WString title;
    if (d.contentFlags & WindowDescriptor::kTitleGiven) {
        mTitle = d.title;
        title = OS::utf8ToUtf16(d.title);
    }
    mDefaultProc = &OS::defWindowProc;
    sCreating = this;
    // Held busy: a window that dies during its creation leaves this implementation to the
    // caller, which gets false.
    ++mBusy;
    OS::HWND hwnd = OS::createWindow(exStyle, windowClassName(type), title, style, x, y, width, height, parent,
                                     nullptr, GP::getModuleHandle(), nullptr);
    --mBusy;
    if (!hwnd || mHwnd != hwnd) {
        mDestroyed = false;
        if (sCreating == this)
            sCreating = nullptr;
        return false;
    }
    if (d.styleFlags & (WindowDescriptor::kZoomMenuItem | WindowDescriptor::kToolbarMenuItem)) {
        if (OS::HMENU menu = OS::getSystemMenu(hwnd, false)) {
            OS::appendMenu(menu, OS::MF_SEPARATOR, 0);
            if (d.styleFlags & WindowDescriptor::kToolbarMenuItem)
                OS::appendMenu(menu, OS::MF_STRING, kCommandShowToolbar, u"Show &Toolbar");
            if (d.styleFlags & WindowDescriptor::kZoomMenuItem)
                OS::appendMenu(menu, OS::MF_STRING, kCommandZoomWindow, u"&Zoom Window");
        }
    }
    if (d.styleFlags & WindowDescriptor::kAcceptDrops)
        createDropTarget();
    return true;
}

void WindowImplWin32::attach(OS::HWND hwnd)
{
    if (hwnd != mHwnd) {
        if (!hwnd)
            releaseDropTarget();
        mDc.reset();
        if (hwnd)
            mDc = std::make_unique<DeviceContext>();
    }
    WindowImplBaseWin32::attach(hwnd);
}

OS::LRESULT WindowImplWin32::defaultProc(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    return OS::callWindowProc(mDefaultProc ? mDefaultProc : &OS::defWindowProc, mHwnd, message, wParam, lParam);
}

OS::LRESULT WindowImplWin32::windowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    auto* impl = reinterpret_cast<WindowImplWin32*>(OS::getWindowUserData(hwnd));
    if (!impl && sCreating) {
        impl = std::exchange(sCreating, nullptr);
        impl->attach(hwnd);
        OS::setWindowUserData(hwnd, reinterpret_cast<OS::LONG_PTR>(impl));
    }
    if (!impl || impl->mHwnd != hwnd)
        return OS::defWindowProc(hwnd, message, wParam, lParam);

    ++impl->mBusy;
    const OS::LRESULT result = impl->dispatchMessage(message, wParam, lParam);
    --impl->mBusy;

    if (message == OS::WM_NCDESTROY) {
        OS::setWindowUserData(hwnd, 0);
        impl->attach(nullptr);
        if (impl->mBrush)
            OS::deleteObject(std::exchange(impl->mBrush, nullptr));
        if (impl->mOwner && impl->mOwner->getImpl() == impl)
            impl->mOwner->setImpl(nullptr);
        impl->mDestroyed = true;
    }
    if (impl->mDestroyed && !impl->mHwnd && impl->mBusy == 0) {
        // The outermost call for this window: nothing of it runs below any more.
        impl->mDestroyed = false;
        if (impl->mDeleteOnDestroy && impl->mOwner)
            delete std::exchange(impl->mOwner, nullptr);
        delete impl;
    }
    return result;
}

OS::LRESULT WindowImplWin32::dispatchMessage(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (auto answer = dispatchWindowMessage(message, wParam, lParam))
        return *answer;
    if (auto answer = dispatchInputMessage(message, wParam, lParam))
        return *answer;
    if (auto answer = dispatchMenuMessage(message, wParam, lParam))
        return *answer;
    return defaultProc(message, wParam, lParam);
}

std::optional<OS::LRESULT> WindowImplWin32::dispatchWindowMessage(OS::UINT message, OS::WPARAM wParam,
                                                                   OS::LPARAM lParam)
{
    switch (message) {
    case OS::WM_CREATE:
        sendEvent(kEventWindowCreated, noEventData(), false);
        return std::nullopt;
    case OS::WM_DESTROY:
        sendEvent(kEventWindowDestroyed, noEventData(), false);
        return std::nullopt;
    case OS::WM_CLOSE:
        return onClose();
    case OS::WM_PAINT:
        return onPaint();
    case OS::WM_ERASEBKGND:
        return onEraseBackground(reinterpret_cast<OS::HDC>(wParam));
    case OS::WM_GETMINMAXINFO:
        return onSizeLimits(reinterpret_cast<OS::MINMAXINFO*>(lParam));
    case OS::WM_SIZE: {
        SizeStateEventData state;
        state.state = wParam == OS::SIZE_MAXIMIZED   ? kSizeStateMaximised
                      : wParam == OS::SIZE_MINIMIZED ? kSizeStateMinimised
                                                     : kSizeStateNormal;
        if (sendEvent(kEventSizeState, &state, false))
            return 0;
        return std::nullopt;
    }
    case OS::WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const OS::WINDOWPOS*>(lParam);
        const bool toTop = pos && !(pos->flags & OS::SWP_NOZORDER) && pos->hwndInsertAfter == OS::HWND_TOP;
        const OS::LRESULT result = defaultProc(message, wParam, lParam);
        if (toTop)
            sendEvent(kEventWindowRaised, noEventData(), false);
        return result;
    }
    case OS::WM_ACTIVATE:
        sendEvent(OS::loWord(wParam) != OS::WA_INACTIVE ? kEventWindowActivated : kEventWindowDeactivated,
                  noEventData(), false);
        return std::nullopt;
    case OS::WM_CHILDACTIVATE:
        sendEvent(kEventWindowActivated, noEventData(), false);
        return std::nullopt;
    case OS::WM_CANCELMODE:
        mCaptured = false;
        sendEvent(kEventCaptureLost, noEventData(), false);
        sendEvent(kEventFocusLost, noEventData(), false);
        return std::nullopt;
    case OS::WM_CAPTURECHANGED:
        // Null: released, by this window's own release among others; only another window
        // taking the capture ends a drag here.
        if (lParam && reinterpret_cast<OS::HWND>(lParam) != mHwnd) {
            mCaptured = false;
            sendEvent(kEventCaptureLost, noEventData(), false);
        }
        return std::nullopt;
    case OS::WM_SETFOCUS:
        sendEvent(kEventFocusGained, noEventData(), false);
        return std::nullopt;
    case OS::WM_KILLFOCUS:
        sendEvent(kEventFocusLost, noEventData(), false);
        return std::nullopt;
    case OS::WM_COMMAND: {
        CommandEventData command;
        command.id = OS::loWord(wParam);
        if (sendEvent(kEventCommand, &command, true))
            return 0;
        return std::nullopt;
    }
    case OS::WM_DRAWITEM:
    case OS::WM_MEASUREITEM:
    case OS::WM_DELETEITEM:
    case OS::WM_COMPAREITEM: {
        OS::HWND child = nullptr;
        for (OS::HWND c : OS::getChildWindows(mHwnd))
            if (OS::getWindowId(c) == wParam)
                child = c;
        return toChildControl(child, message, wParam, lParam);
    }
    case OS::WM_VKEYTOITEM:
    case OS::WM_CHARTOITEM:
        // These two name the control by its handle; wParam carries the key.
        return toChildControl(reinterpret_cast<OS::HWND>(lParam), message, wParam, lParam);
    case OS::WM_GETDLGCODE:
        return OS::DLGC_WANTALLKEYS;
    case OS::WM_POWERBROADCAST:
        if (wParam == OS::PBT_APMSUSPEND) {
            applicationSuspending();
            return 0;
        }
        if (wParam == OS::PBT_APMRESUMESUSPEND) {
            applicationResuming();
            return 0;
        }
        return std::nullopt;
    case OS::WM_DISPLAYCHANGE:
        if (onDisplayChange(lParam))
            return 1;
        return std::nullopt;
    case OS::WM_DPICHANGED: {
        if (!isApplicationDpiAware())
            return std::nullopt;
        if (const auto* suggested = reinterpret_cast<const OS::RECT*>(lParam))
            OS::setWindowPos(mHwnd, nullptr, suggested->left, suggested->top, suggested->right - suggested->left,
                             suggested->bottom - suggested->top, OS::SWP_NOZORDER | OS::SWP_NOACTIVATE);
        ScaleEventData scale;
        scale.scale = std::ceil(static_cast<float>(OS::hiWord(wParam)) * 0.010416667f);
        sendEvent(kEventScaleChanged, &scale, false);
        return 0;
    }
    case OS::WM_ACTIVATEAPP:
        sendToApplication(wParam ? kEventAppActivated : kEventAppDeactivated, noEventData());
        return std::nullopt;
    default:
        return std::nullopt;
    }
}

OS::LRESULT WindowImplWin32::onClose()
{
    VetoEventData request;
    sendEvent(kEventCloseRequest, &request, false);
    if (!request.allowed || !mHwnd)
        return 0;
    return defaultProc(OS::WM_CLOSE, 0, 0);
}

Size WindowImplWin32::outerSizeFor(int clientWidth, int clientHeight) const
{
    OS::RECT r{0, 0, clientWidth, clientHeight};
    OS::adjustWindowRectEx(r, OS::getWindowStyle(mHwnd), mMenu != nullptr, OS::getWindowExStyle(mHwnd));
    return Size{r.right - r.left, r.bottom - r.top};
}

OS::LRESULT WindowImplWin32::onSizeLimits(OS::MINMAXINFO* info)
{
    if (!info)
        return defaultProc(OS::WM_GETMINMAXINFO, 0, 0);
    const float scale = getScaleFactor();
    auto scaled = [scale](int v) { return static_cast<OS::LONG>(std::lroundf(static_cast<float>(v) * scale)); };
    if (mFixedWidth > 0 && mFixedHeight > 0) {
        const OS::POINT fixed{scaled(mFixedWidth), scaled(mFixedHeight)};
        info->ptMaxSize = fixed;
        info->ptMinTrackSize = fixed;
        info->ptMaxTrackSize = fixed;
    } else {
        SizeLimitsEventData limits;
        sendEvent(kEventSizeLimits, &limits, false);
        if (limits.flags & kSizeLimitMaximum) {
            Size outer = outerSizeFor(scaled(limits.maxWidth), scaled(limits.maxHeight));
            info->ptMaxTrackSize.x = std::min<OS::LONG>(info->ptMaxTrackSize.x, outer.width);
            info->ptMaxTrackSize.y = std::min<OS::LONG>(info->ptMaxTrackSize.y, outer.height);
        }
        if (limits.flags & kSizeLimitMinimum) {
            Size outer = outerSizeFor(scaled(limits.minWidth), scaled(limits.minHeight));
            info->ptMinTrackSize.x = std::max<OS::LONG>(info->ptMinTrackSize.x, outer.width);
            info->ptMinTrackSize.y = std::max<OS::LONG>(info->ptMinTrackSize.y, outer.height);
        }
    }
    return defaultProc(OS::WM_GETMINMAXINFO, 0, reinterpret_cast<OS::LPARAM>(info));
}

OS::LRESULT WindowImplWin32::toChildControl(OS::HWND child, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (child && OS::isWindow(child) && OS::getParent(child) == mHwnd)
        OS::sendMessage(child, message, wParam, lParam);
    return defaultProc(message, wParam, lParam);
}

}  // namespace HA::UIA::DETAIL
