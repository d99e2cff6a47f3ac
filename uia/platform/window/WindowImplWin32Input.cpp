#include <cmath>
#include <cstring>
#include <string>
#include <utility>
#include <vector>

#include "os/kernel/Text.h"
#include "os/windows/input/Input.h"
#include "os/windows/Message.h"
#include "os/windows/Monitors.h"
#include "os/windows/input/MouseTracking.h"
#include "uia/app/AppModule.h"
#include "uia/events/Events.h"
#include "uia/events/Input.h"
#include "uia/platform/window/WindowImplWin32.h"
#include "uia/window/Window.h"

namespace HA::UIA::DETAIL {

namespace {

constexpr int kHostKindApplication = 1;
constexpr std::uint32_t kKeyContextAlt = 0x20000000u;
constexpr std::uint32_t kKeyPreviouslyDown = 0x40000000u;

std::string utf8Of(char32_t c)
{
    std::string out;
    OS::appendUtf8(out, c);
    return out;
}

bool isHighSurrogate(char16_t c) { return c >= 0xD800 && c <= 0xDBFF; }
bool isLowSurrogate(char16_t c) { return c >= 0xDC00 && c <= 0xDFFF; }

int scaled(int v, float scale) { return static_cast<int>(std::lroundf(static_cast<float>(v) / scale)); }

bool keyboardBlocked(WindowBase* owner) { return owner && owner->isKeyboardBlocked(); }

}  // namespace

void WindowImplWin32::checkModifiers()
{
    const std::uint32_t bits = getModifierBits();
    if (bits == mLastModifiers)
        return;
    mLastModifiers = bits;
    ModifierEventData data;
    data.modifiers = bits;
    sendEvent(kEventModifiersChanged, &data, true);
}

bool WindowImplWin32::sendKeyDown(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    KeyEventData data;
    data.keyCode = translateKey(static_cast<int>(wParam), static_cast<std::uint32_t>(lParam), &data.scanKey, false);
    data.firstPress = (static_cast<std::uint32_t>(lParam) & kKeyPreviouslyDown) == 0;
    mPendingAccelKey = 0;
    if (sendEvent(kEventKeyDown, &data, true))
        return true;
    // The accelerator look-up of the character that follows takes this key.
    if (getHostKind() == kHostKindApplication && data.firstPress &&
        (message == OS::WM_KEYDOWN || message == OS::WM_SYSKEYDOWN))
        mPendingAccelKey = data.keyCode;
    return false;
}

OS::LRESULT WindowImplWin32::onChar(OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    // The key whose character this is, when its key down was left to the accelerators.
    int pendingKey = std::exchange(mPendingAccelKey, 0);
    if (message != OS::WM_SYSCHAR) {
        const auto unit = static_cast<char16_t>(wParam & 0xFFFF);
        const char16_t high = std::exchange(mHighSurrogate, 0);
        // A character beyond the basic plane comes in two messages: it is sent once whole;
        // a half without its other half is dropped.
        if (isHighSurrogate(unit)) {
            mHighSurrogate = unit;
        } else if (isLowSurrogate(unit)) {
            if (high) {
                TextEventData text;
                text.text = utf8Of(0x10000 + ((static_cast<char32_t>(high) - 0xD800) << 10) + (unit - 0xDC00));
                if (sendEvent(kEventChar, &text, true))
                    return 0;
            }
        } else if (unit > 31) {
            TextEventData text;
            text.text = utf8Of(unit);
            if (sendEvent(kEventChar, &text, true))
                return 0;
        }
    }
    if (message != OS::WM_SYSCHAR || mSysCharAccelerators)
        if (const auto answer = acceleratorLookUp(pendingKey))
            return *answer;
    return defaultProc(message, wParam, lParam);
}

OS::LRESULT WindowImplWin32::onMouseMove(OS::LPARAM lParam)
{
    const float scale = getScaleFactor();
    mLastX = scaled(OS::xOfLParam(lParam), scale);
    mLastY = scaled(OS::yOfLParam(lParam), scale);
    MotionEventData motion;
    motion.x = mLastX + mWrapX;
    motion.y = mLastY + mWrapY;
    motion.modifiers = getModifierBits();
    if (mCaptured && !OS::getCursor()) {
        // The hidden pointer of an infinite drag must not stop at the screen's edge: near it,
        // the pointer goes back to the centre and the offsets keep the positions growing.
        OS::POINT p{0, 0};
        OS::getCursorPos(p);
        const int vx = OS::getSystemMetrics(OS::SM_XVIRTUALSCREEN);
        const int vy = OS::getSystemMetrics(OS::SM_YVIRTUALSCREEN);
        const int vw = OS::getSystemMetrics(OS::SM_CXVIRTUALSCREEN);
        const int vh = OS::getSystemMetrics(OS::SM_CYVIRTUALSCREEN);
        if (p.x - vx < 2 || p.y - vy < 2 || vx + vw - p.x < 2 || vy + vh - p.y < 2) {
            const int cx = OS::getSystemMetrics(OS::SM_CXSCREEN) / 2;
            const int cy = OS::getSystemMetrics(OS::SM_CYSCREEN) / 2;
            mWrapX += p.x - cx;
            mWrapY += p.y - cy;
            OS::setCursorPos(cx, cy);
        }
    }
    if (!mMouseInside) {
        mMouseInside = true;
        MotionEventData enter = motion;
        sendEvent(kEventMouseEnter, &enter, false);
        if (!mHwnd)
            return 0;
        OS::TRACKMOUSEEVENT track{sizeof(OS::TRACKMOUSEEVENT), OS::TME_LEAVE, mHwnd, 0};
        OS::trackMouseEvent(track);
    }
    if (sendEvent(mCaptured ? kEventMouseDrag : kEventMouseMove, &motion, false))
        return 0;
    return defaultProc(OS::WM_MOUSEMOVE, 0, lParam);
}

OS::LRESULT WindowImplWin32::onMouseButton(OS::UINT message, OS::LPARAM lParam, int button, int kind)
{
    if (button == kMouseButtonRight && kind == kMousePress && mRaiseOnRightClick)
        raise();
    if (kind == kMouseRelease) {
        if (mCaptured) {
            mCaptured = false;
            if (OS::getCapture() == mHwnd)
                OS::releaseCapture();
            mWrapX = 0;
            mWrapY = 0;
        }
    } else {
        mWrapX = 0;
        mWrapY = 0;
        if (OS::getCapture() != mHwnd)
            OS::setCapture(mHwnd);
        mCaptured = true;
    }
    const float scale = getScaleFactor();
    MouseEventData data;
    data.x = scaled(OS::xOfLParam(lParam), scale);
    data.y = scaled(OS::yOfLParam(lParam), scale);
    data.modifiers = getModifierBits();
    data.button = button;
    data.kind = kind;
    if (sendEvent(kEventMouseButton, &data, false))
        return 0;
    return mHwnd ? defaultProc(message, 0, lParam) : 0;
}

OS::LRESULT WindowImplWin32::onRawInput(OS::WPARAM wParam, OS::LPARAM lParam)
{
    auto handle = reinterpret_cast<OS::HRAWINPUT>(lParam);
    OS::UINT size = 0;
    if (OS::getRawInputData(handle, OS::RID_INPUT, nullptr, &size, sizeof(OS::RAWINPUTHEADER)) != 0 ||
        size < sizeof(OS::RAWINPUTHEADER))
        return defaultProc(OS::WM_INPUT, wParam, lParam);
    std::vector<unsigned char> bytes(size);
    if (OS::getRawInputData(handle, OS::RID_INPUT, bytes.data(), &size, sizeof(OS::RAWINPUTHEADER)) != bytes.size())
        return defaultProc(OS::WM_INPUT, wParam, lParam);
    OS::RAWINPUT packet{};
    std::memcpy(&packet, bytes.data(), std::min(bytes.size(), sizeof(packet)));
    if (bytes.size() < sizeof(OS::RAWINPUTHEADER) + sizeof(OS::RAWMOUSE) || packet.header.dwType != OS::RIM_TYPEMOUSE ||
        (packet.data.mouse.usFlags & OS::MOUSE_MOVE_ABSOLUTE))
        return defaultProc(OS::WM_INPUT, wParam, lParam);
    int speed = 10;
    OS::systemParametersInfo(OS::SPI_GETMOUSESPEED, 0, &speed, 0);
    const double factor = std::pow(static_cast<double>(speed), 1.747) * 0.019;
    RawMotionEventData data;
    data.x = mLastX;
    data.y = mLastY;
    data.modifiers = getModifierBits();
    data.dx = packet.data.mouse.lLastX * factor;
    data.dy = packet.data.mouse.lLastY * factor;
    if (sendEvent(kEventRawMouseMotion, &data, false))
        return 0;
    return defaultProc(OS::WM_INPUT, wParam, lParam);
}

std::optional<OS::LRESULT> WindowImplWin32::dispatchInputMessage(OS::UINT message, OS::WPARAM wParam,
                                                                 OS::LPARAM lParam)
{
    const auto flags = static_cast<std::uint32_t>(lParam);
    switch (message) {
    case OS::WM_KEYDOWN:
    case OS::WM_IME_KEYDOWN:
        if (keyboardBlocked(mOwner))
            return defaultProc(message, wParam, lParam);
        checkModifiers();
        if (sendKeyDown(message, wParam, lParam))
            return 0;
        return acceleratorLookUp(mPendingAccelKey);
    case OS::WM_KEYUP:
    case OS::WM_IME_KEYUP: {
        if (keyboardBlocked(mOwner))
            return defaultProc(message, wParam, lParam);
        KeyUpEventData data;
        data.keyCode = translateKey(static_cast<int>(wParam), flags, &data.scanKey, true);
        const bool handled = sendEvent(kEventKeyUp, &data, true);
        checkModifiers();
        if (handled)
            return 0;
        return std::nullopt;
    }
    case OS::WM_SYSKEYDOWN:
        if (keyboardBlocked(mOwner))
            return defaultProc(message, wParam, lParam);
        checkModifiers();
        if ((((flags & kKeyContextAlt) && wParam != static_cast<OS::WPARAM>(OS::VK_MENU)) ||
             wParam == static_cast<OS::WPARAM>(OS::VK_F10)) &&
            sendKeyDown(message, wParam, lParam))
            return 0;
        return std::nullopt;
    case OS::WM_SYSKEYUP:
        if (keyboardBlocked(mOwner))
            return defaultProc(message, wParam, lParam);
        if (((flags & kKeyContextAlt) && wParam != static_cast<OS::WPARAM>(OS::VK_MENU)) ||
            wParam == static_cast<OS::WPARAM>(OS::VK_F10)) {
            KeyUpEventData data;
            data.keyCode = translateKey(static_cast<int>(wParam), flags, &data.scanKey, true);
            if (sendEvent(kEventKeyUp, &data, true)) {
                checkModifiers();
                return 0;
            }
        }
        checkModifiers();
        return std::nullopt;
    case OS::WM_CHAR:
    case OS::WM_SYSCHAR:
    case OS::WM_IME_CHAR:
        if (keyboardBlocked(mOwner))
            return defaultProc(message, wParam, lParam);
        return onChar(message, wParam, lParam);
    case OS::WM_DEADCHAR:
        if (keyboardBlocked(mOwner))
            return defaultProc(message, wParam, lParam);
        if (const auto unit = static_cast<char16_t>(wParam & 0xFFFF)) {
            TextEventData text;
            text.text = utf8Of(unit);
            sendEvent(kEventDeadChar, &text, true);
        }
        return std::nullopt;
    case OS::WM_INPUTLANGCHANGE:
        refreshKeyTable();
        return std::nullopt;
    case OS::WM_MOUSEMOVE:
        return onMouseMove(lParam);
    case OS::WM_LBUTTONDOWN:
        return onMouseButton(message, lParam, kMouseButtonLeft, kMousePress);
    case OS::WM_LBUTTONUP:
        return onMouseButton(message, lParam, kMouseButtonLeft, kMouseRelease);
    case OS::WM_LBUTTONDBLCLK:
        return onMouseButton(message, lParam, kMouseButtonLeft, kMouseDoubleClick);
    case OS::WM_RBUTTONDOWN:
        return onMouseButton(message, lParam, kMouseButtonRight, kMousePress);
    case OS::WM_RBUTTONUP:
        return onMouseButton(message, lParam, kMouseButtonRight, kMouseRelease);
    case OS::WM_RBUTTONDBLCLK:
        return onMouseButton(message, lParam, kMouseButtonRight, kMouseDoubleClick);
    case OS::WM_MBUTTONDOWN:
        return onMouseButton(message, lParam, kMouseButtonMiddle, kMousePress);
    case OS::WM_MBUTTONUP:
        return onMouseButton(message, lParam, kMouseButtonMiddle, kMouseRelease);
    case OS::WM_MBUTTONDBLCLK:
        return onMouseButton(message, lParam, kMouseButtonMiddle, kMouseDoubleClick);
    case OS::WM_MOUSEWHEEL: {
        OS::POINT p{OS::xOfLParam(lParam), OS::yOfLParam(lParam)};
        OS::screenToClient(mHwnd, p);
        WheelEventData data;
        data.x = p.x;
        data.y = p.y;
        data.modifiers = getModifierBits();
        data.delta = static_cast<std::int16_t>(OS::hiWord(wParam));
        data.vertical = OS::getKeyState(OS::VK_SHIFT) < 0 ? 0 : 1;
        if (sendEvent(kEventMouseWheel, &data, false))
            return 0;
        return std::nullopt;
    }
    case OS::WM_MOUSELEAVE: {
        mMouseInside = false;
        // The platform gives no real position with this message.
        const float scale = getScaleFactor();
        MotionEventData data;
        data.x = scaled(OS::xOfLParam(lParam), scale);
        data.y = scaled(OS::yOfLParam(lParam), scale);
        data.modifiers = getModifierBits();
        if (sendEvent(kEventMouseLeave, &data, false))
            return 0;
        return std::nullopt;
    }
    case OS::WM_SETCURSOR:
        if (mCursor) {
            OS::setCursor(mCursor);
            return 1;
        }
        return std::nullopt;
    case OS::WM_INPUT:
        return onRawInput(wParam, lParam);
    case OS::WM_NCLBUTTONDOWN:
    case OS::WM_NCLBUTTONUP:
    case OS::WM_NCRBUTTONDOWN:
    case OS::WM_NCRBUTTONUP:
    case OS::WM_NCMBUTTONDOWN:
    case OS::WM_NCMBUTTONUP: {
        if (!mReportNonClientClicks)
            return std::nullopt;
        OS::POINT p{OS::xOfLParam(lParam), OS::yOfLParam(lParam)};
        OS::screenToClient(mHwnd, p);
        MouseEventData data;
        data.x = p.x;
        data.y = p.y;
        data.modifiers = getModifierBits();
        data.button = message <= OS::WM_NCLBUTTONUP   ? kMouseButtonLeft
                      : message <= OS::WM_NCRBUTTONUP ? kMouseButtonRight
                                                      : kMouseButtonMiddle;
        data.kind = (message == OS::WM_NCLBUTTONDOWN || message == OS::WM_NCRBUTTONDOWN ||
                     message == OS::WM_NCMBUTTONDOWN)
                        ? kMousePress
                        : kMouseRelease;
        sendEvent(kEventMouseButton, &data, false);
        return std::nullopt;
    }
    case OS::WM_PARENTNOTIFY: {
        const OS::UINT event = OS::loWord(wParam);
        if (!mReportNonClientClicks ||
            (event != OS::WM_LBUTTONDOWN && event != OS::WM_RBUTTONDOWN && event != OS::WM_MBUTTONDOWN))
            return std::nullopt;
        MouseEventData data;
        data.x = -1;
        data.y = -1;
        data.modifiers = getModifierBits();
        data.button = event == OS::WM_LBUTTONDOWN   ? kMouseButtonLeft
                      : event == OS::WM_RBUTTONDOWN ? kMouseButtonRight
                                                    : kMouseButtonMiddle;
        data.kind = kMousePress;
        sendEvent(kEventMouseButton, &data, false);
        return std::nullopt;
    }
    default:
        return std::nullopt;
    }
}

void WindowImplWin32::setCursor(OS::HANDLE cursor)
{
    mCursor = cursor;
    OS::setCursor(cursor);
}

void WindowImplWin32::resetCursor()
{
    if (!mCursor)
        return;
    mCursor = nullptr;
    OS::setCursor(getStandardCursor(kCursorArrow));
}

void WindowImplWin32::beginInfiniteDrag()
{
    const OS::RAWINPUTDEVICE mouse{1, 2, 0, nullptr};
    OS::registerRawInputDevices(&mouse, 1, sizeof(mouse));
    if (OS::getCapture() != mHwnd)
        OS::setCapture(mHwnd);
    mCaptured = true;
}

void WindowImplWin32::endInfiniteDrag()
{
    const OS::RAWINPUTDEVICE mouse{1, 2, OS::RIDEV_REMOVE, nullptr};
    OS::registerRawInputDevices(&mouse, 1, sizeof(mouse));
    mCaptured = false;
    if (OS::getCapture() == mHwnd)
        OS::releaseCapture();
}

}  // namespace HA::UIA::DETAIL
