#pragma once
// Pointer, cursors, raw input and the input injector of the stand-in.
//
// The injector is how input reaches windows here (tests, and a presenter that shows the
// windows): keys by scan code, the pointer at screen positions. It keeps the asynchronous
// key state and the pointer position at once and queues the platform's messages with
// queueInputMessage, whose taking keeps each thread's key state (os/windows/Message.h).
// Keys go to the focus window (else the active window) of the foreground window's thread,
// or of the calling thread when nothing is in the foreground. The pointer's messages go to
// the capture window, else to the visible window under the pointer.

#include <cstdint>

#include "os/windows/MessageIds.h"
#include "os/windows/Window.h"

namespace HA::OS {

// Messages and answers of the pointer that MessageIds.h does not have.
constexpr UINT WM_NCMOUSEMOVE = 0x00A0;
constexpr UINT WM_NCLBUTTONUP = 0x00A2;
constexpr UINT WM_NCLBUTTONDBLCLK = 0x00A3;
constexpr UINT WM_NCRBUTTONDOWN = 0x00A4;
constexpr UINT WM_NCRBUTTONUP = 0x00A5;
constexpr UINT WM_NCRBUTTONDBLCLK = 0x00A6;
constexpr UINT WM_NCMBUTTONDOWN = 0x00A7;
constexpr UINT WM_NCMBUTTONUP = 0x00A8;
constexpr UINT WM_NCMBUTTONDBLCLK = 0x00A9;
constexpr UINT WM_IME_CHAR = 0x0286;
constexpr LRESULT HTNOWHERE = 0;
constexpr LRESULT HTCAPTION = 2;
constexpr LRESULT HTBORDER = 18;
constexpr int WHEEL_DELTA = 120;

// The double-click rule: a second press of the same button less than the double-click time
// after the first and inside a box of the double-click size centred on it.
constexpr DWORD kDoubleClickTimeMs = 500;
constexpr int kDoubleClickWidth = 4;
constexpr int kDoubleClickHeight = 4;
bool isDoubleClick(DWORD elapsedMs, POINT first, POINT second);

// Keys.
// Bit 15 down now, bit 0 pressed since the last call (cleared by the call), as the platform.
std::int16_t getAsyncKeyState(int virtualKey);

// Cursors: the system cursors and their ids are in os/windows/icons/Icon.h.

// The current cursor of the process; null hides the pointer. setCursor returns the previous.
HCURSOR setCursor(HCURSOR cursor);
HCURSOR getCursor();

// The pointer, in screen coordinates, held inside the virtual screen. setCursorPos queues
// no message (the next injected input is reported at the new position).
bool getCursorPos(POINT& point);
bool setCursorPos(int x, int y);

// Raw input: relative (or absolute) mouse packets while the mouse (usage page 1, usage 2)
// is registered. Packets without a target window go to the focus window of the thread
// that registered, else to its capture window, as WM_INPUT {RIM_INPUT, the packet handle}.
struct HRAWINPUT__;
using HRAWINPUT = HRAWINPUT__*;
constexpr DWORD RIDEV_REMOVE = 0x00000001;
constexpr UINT RID_INPUT = 0x10000003;
constexpr DWORD RIM_TYPEMOUSE = 0;
constexpr DWORD RIM_TYPEKEYBOARD = 1;
constexpr WPARAM RIM_INPUT = 0;
constexpr std::uint16_t MOUSE_MOVE_RELATIVE = 0x00;
constexpr std::uint16_t MOUSE_MOVE_ABSOLUTE = 0x01;

struct RAWINPUTDEVICE {
    std::uint16_t usUsagePage;
    std::uint16_t usUsage;
    DWORD dwFlags;
    HWND hwndTarget;
};
struct RAWINPUTHEADER {
    DWORD dwType;
    DWORD dwSize;
    HANDLE hDevice;
    WPARAM wParam;
};
struct RAWMOUSE {
    std::uint16_t usFlags;
    std::uint32_t ulButtons;
    std::uint32_t ulRawButtons;
    std::int32_t lLastX;
    std::int32_t lLastY;
    std::uint32_t ulExtraInformation;
};
struct RAWKEYBOARD {
    std::uint16_t MakeCode;
    std::uint16_t Flags;
    std::uint16_t Reserved;
    std::uint16_t VKey;
    UINT Message;
    std::uint32_t ExtraInformation;
};
struct RAWINPUT {
    RAWINPUTHEADER header;
    union {
        RAWMOUSE mouse;
        RAWKEYBOARD keyboard;
    } data;
};
// Only the mouse (page 1, usage 2) is known; RIDEV_REMOVE with a null target removes it.
// False with ERROR_INVALID_PARAMETER for a wrong record size, another device, or a remove
// with a target.
bool registerRawInputDevices(const RAWINPUTDEVICE* devices, UINT count, UINT size);
// The stand-in's: whether the mouse is registered.
bool isRawMouseRegistered();
// RID_INPUT only. With data null: *size = the packet's size, 0. Otherwise copies the packet
// and returns its size; (UINT)-1 with ERROR_INSUFFICIENT_BUFFER when *size is too small,
// ERROR_INVALID_HANDLE for an unknown packet (the last 256 are kept), ERROR_INVALID_PARAMETER
// for another command or header size.
UINT getRawInputData(HRAWINPUT input, UINT command, void* data, UINT* size, UINT headerSize);

// The mouse-speed setting (1 to 20, 10 at start): SPI_GETMOUSESPEED writes it to the int
// that pvParam points to; SPI_SETMOUSESPEED takes it from pvParam itself.
constexpr UINT SPI_GETMOUSESPEED = 0x0070;
constexpr UINT SPI_SETMOUSESPEED = 0x0071;
bool systemParametersInfo(UINT action, UINT uiParam, void* pvParam, UINT winIni);

// The injector.
namespace INPUT {

// A key by its set-1 scan code: the virtual key comes from the active layout (keypad keys
// follow Num Lock). WM_KEYDOWN / WM_KEYUP, or WM_SYSKEYDOWN / WM_SYSKEYUP for Alt, keys with
// Alt held (without Control; the context bit is set) and F10; lParam has the repeat count 1,
// the scan code, the extended bit, the previous-state bit and the transition bit. False
// when the layout has no key there or no window takes keys.
bool key(int scanCode, bool down, bool extended = false);
// Press and release.
bool tap(int scanCode, bool extended = false);

// The pointer moves to a screen position (held inside the virtual screen). The window under
// it gets WM_SETCURSOR first (not while a window holds the capture); a window whose leave is
// tracked gets WM_MOUSELEAVE when the pointer leaves its client area (not while it holds
// the capture). Client messages carry client coordinates, non-client ones the screen
// position and the hit code.
bool moveTo(int x, int y);
// Button 1 left, 2 right, 4 middle, at a screen position. A second press of the same button
// on the same window and part of it that isDoubleClick accepts is a double click when the
// window's class has CS_DBLCLKS (always in the non-client area).
bool button(int button, bool down, int x, int y);
// Wheel delta (WHEEL_DELTA a notch) at a screen position; lParam is the screen position.
bool wheel(int delta, int x, int y);
// A raw mouse packet (counts; absolute with MOUSE_MOVE_ABSOLUTE). False when the mouse is not
// registered or no window takes it.
bool rawMotion(int dx, int dy, std::uint16_t flags = MOUSE_MOVE_RELATIVE);
// A raw keyboard packet (for code that must ignore one). Same rules.
bool rawKey(int scanCode, int virtualKey);

// Back to the start: keys up and untoggled (the calling thread's key state too), pointer at (0, 0), no double-click history, the
// arrow cursor, mouse speed 10, no raw registration, the US layout (tests).
void reset();

}  // namespace INPUT

namespace DETAIL {
// The calling thread's key state all up (Message.cpp).
void resetThreadKeyState();
}  // namespace DETAIL

}  // namespace HA::OS
