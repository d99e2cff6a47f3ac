#pragma once
// Windows of the stand-in: classes, top-level, child and message-only windows, window
// procedures with their user data and replacement, default processing, text, look-up,
// the list of top-level windows, show state and the basic geometry.
//
// Windows live in memory and belong to the thread that created them. Operations that
// change a window or run its procedure directly must be called on that thread (a debug
// build stops loudly otherwise; a release build fails with ERROR_ACCESS_DENIED); sending,
// posting, invalidating and the read-only queries may be called from any thread.
// Failures return null, false or 0 and set the thread's last error.

#include <cstdint>
#include <vector>

#include "os/kernel/Errors.h"
#include "os/kernel/Types.h"

namespace HA::OS {

struct HWND__;
using HWND = HWND__*;
using HINSTANCE = HANDLE;
using HMODULE = HINSTANCE;
using HICON = HANDLE;
using HCURSOR = HANDLE;
using HBRUSH = HANDLE;
using HMENU = HANDLE;
using HDC = HANDLE;
using ATOM = WORD;

using WPARAM = std::uintptr_t;
using LPARAM = std::intptr_t;
using LRESULT = std::intptr_t;
using LONG_PTR = std::intptr_t;
using UINT_PTR = std::uintptr_t;

using WNDPROC = LRESULT (*)(HWND, UINT, WPARAM, LPARAM);

struct POINT {
    LONG x;
    LONG y;
};
struct SIZE {
    LONG cx;
    LONG cy;
};
struct RECT {
    LONG left;
    LONG top;
    LONG right;
    LONG bottom;
};
inline bool operator==(const RECT& a, const RECT& b)
{
    return a.left == b.left && a.top == b.top && a.right == b.right && a.bottom == b.bottom;
}
inline bool operator!=(const RECT& a, const RECT& b) { return !(a == b); }

// Parent of message-only windows.
inline HWND const HWND_MESSAGE = reinterpret_cast<HWND>(std::intptr_t(-3));
// Insert-after values of setWindowPos.
inline HWND const HWND_TOP = nullptr;
inline HWND const HWND_BOTTOM = reinterpret_cast<HWND>(std::intptr_t(1));

constexpr int CW_USEDEFAULT = static_cast<int>(0x80000000u);

// Class styles.
constexpr UINT CS_VREDRAW = 0x0001;
constexpr UINT CS_HREDRAW = 0x0002;
constexpr UINT CS_DBLCLKS = 0x0008;
constexpr UINT CS_OWNDC = 0x0020;
constexpr UINT CS_NOCLOSE = 0x0200;

// Window styles.
constexpr DWORD WS_OVERLAPPED = 0x00000000;
constexpr DWORD WS_POPUP = 0x80000000;
constexpr DWORD WS_CHILD = 0x40000000;
constexpr DWORD WS_MINIMIZE = 0x20000000;
constexpr DWORD WS_VISIBLE = 0x10000000;
constexpr DWORD WS_DISABLED = 0x08000000;
constexpr DWORD WS_CLIPSIBLINGS = 0x04000000;
constexpr DWORD WS_CLIPCHILDREN = 0x02000000;
constexpr DWORD WS_MAXIMIZE = 0x01000000;
constexpr DWORD WS_CAPTION = 0x00C00000;
constexpr DWORD WS_BORDER = 0x00800000;
constexpr DWORD WS_DLGFRAME = 0x00400000;
constexpr DWORD WS_VSCROLL = 0x00200000;
constexpr DWORD WS_HSCROLL = 0x00100000;
constexpr DWORD WS_SYSMENU = 0x00080000;
constexpr DWORD WS_THICKFRAME = 0x00040000;
constexpr DWORD WS_MINIMIZEBOX = 0x00020000;
constexpr DWORD WS_MAXIMIZEBOX = 0x00010000;
constexpr DWORD WS_OVERLAPPEDWINDOW =
    WS_OVERLAPPED | WS_CAPTION | WS_SYSMENU | WS_THICKFRAME | WS_MINIMIZEBOX | WS_MAXIMIZEBOX;

// Extended window styles.
constexpr DWORD WS_EX_DLGMODALFRAME = 0x00000001;
constexpr DWORD WS_EX_NOPARENTNOTIFY = 0x00000004;
constexpr DWORD WS_EX_TOPMOST = 0x00000008;
constexpr DWORD WS_EX_ACCEPTFILES = 0x00000010;
constexpr DWORD WS_EX_TRANSPARENT = 0x00000020;
constexpr DWORD WS_EX_TOOLWINDOW = 0x00000080;
constexpr DWORD WS_EX_WINDOWEDGE = 0x00000100;
constexpr DWORD WS_EX_CLIENTEDGE = 0x00000200;
constexpr DWORD WS_EX_APPWINDOW = 0x00040000;
constexpr DWORD WS_EX_LAYERED = 0x00080000;
constexpr DWORD WS_EX_NOACTIVATE = 0x08000000;

// Show commands.
constexpr int SW_HIDE = 0;
constexpr int SW_SHOWNORMAL = 1;
constexpr int SW_SHOWMINIMIZED = 2;
constexpr int SW_SHOWMAXIMIZED = 3;
constexpr int SW_MAXIMIZE = 3;
constexpr int SW_SHOWNOACTIVATE = 4;
constexpr int SW_SHOW = 5;
constexpr int SW_MINIMIZE = 6;
constexpr int SW_SHOWMINNOACTIVE = 7;
constexpr int SW_SHOWNA = 8;
constexpr int SW_RESTORE = 9;
constexpr int SW_SHOWDEFAULT = 10;

// setWindowPos flags.
constexpr UINT SWP_NOSIZE = 0x0001;
constexpr UINT SWP_NOMOVE = 0x0002;
constexpr UINT SWP_NOZORDER = 0x0004;
constexpr UINT SWP_NOREDRAW = 0x0008;
constexpr UINT SWP_NOACTIVATE = 0x0010;
constexpr UINT SWP_FRAMECHANGED = 0x0020;
constexpr UINT SWP_SHOWWINDOW = 0x0040;
constexpr UINT SWP_HIDEWINDOW = 0x0080;
constexpr UINT SWP_NOOWNERZORDER = 0x0200;
constexpr UINT SWP_DEFERERASE = 0x2000;

// WM_SIZE kinds.
constexpr WPARAM SIZE_RESTORED = 0;
constexpr WPARAM SIZE_MINIMIZED = 1;
constexpr WPARAM SIZE_MAXIMIZED = 2;

// WM_SYSCOMMAND commands.
constexpr WPARAM SC_SIZE = 0xF000;
constexpr WPARAM SC_MOVE = 0xF010;
constexpr WPARAM SC_MINIMIZE = 0xF020;
constexpr WPARAM SC_MAXIMIZE = 0xF030;
constexpr WPARAM SC_CLOSE = 0xF060;
constexpr WPARAM SC_RESTORE = 0xF120;

// The class record of registerClass. Texts are copied at registration.
struct WNDCLASSEXW {
    UINT style = 0;
    WNDPROC lpfnWndProc = nullptr;
    int cbClsExtra = 0;
    int cbWndExtra = 0;
    HINSTANCE hInstance = nullptr;
    HICON hIcon = nullptr;
    HCURSOR hCursor = nullptr;
    HBRUSH hbrBackground = nullptr;
    WString lpszMenuName;
    WString lpszClassName;
    HICON hIconSm = nullptr;
};

// What WM_NCCREATE and WM_CREATE carry (lParam points to it).
struct CREATESTRUCTW {
    void* lpCreateParams;
    HINSTANCE hInstance;
    HMENU hMenu;
    HWND hwndParent;
    int cy;
    int cx;
    int y;
    int x;
    LONG style;
    const WChar* lpszName;
    const WChar* lpszClass;
    DWORD dwExStyle;
};

// What WM_GETMINMAXINFO carries.
struct MINMAXINFO {
    POINT ptReserved;
    POINT ptMaxSize;
    POINT ptMaxPosition;
    POINT ptMinTrackSize;
    POINT ptMaxTrackSize;
};

// What WM_WINDOWPOSCHANGING and WM_WINDOWPOSCHANGED carry.
struct WINDOWPOS {
    HWND hwnd;
    HWND hwndInsertAfter;
    int x;
    int y;
    int cx;
    int cy;
    UINT flags;
};

// What WM_NCCALCSIZE carries when its wParam is TRUE.
struct NCCALCSIZE_PARAMS {
    RECT rgrc[3];
    WINDOWPOS* lppos;
};

// Classes. The system class "STATIC" exists from the start. Names match without regard
// to case. registerClass returns the class atom, 0 on failure (ERROR_CLASS_ALREADY_EXISTS,
// ERROR_INVALID_PARAMETER for a missing name or procedure, or an injected fault).
ATOM registerClass(const WNDCLASSEXW& wc);
// False with ERROR_CLASS_DOES_NOT_EXIST, or ERROR_CLASS_HAS_WINDOWS while windows of the
// class exist. The module handle is not compared.
bool unregisterClass(const WString& className, HINSTANCE instance = nullptr);
// The style of a window's class (0 for an invalid window).
UINT getClassStyle(HWND hwnd);
WString getClassName(HWND hwnd);

// Creates a window on the calling thread. The creation messages are sent synchronously in
// the platform's order: WM_GETMINMAXINFO (top-level windows), WM_NCCREATE, WM_NCCALCSIZE,
// WM_CREATE, WM_SIZE, WM_MOVE, WM_PARENTNOTIFY to the parent (child windows), and
// WM_SHOWWINDOW when WS_VISIBLE is given. The default processing of WM_NCCREATE sets the
// window text from the title, as on the platform; a procedure that answers it without
// default processing leaves the text empty. WM_NCCREATE answered 0 or WM_CREATE answered
// -1 destroy the window and the result is null. `parent` HWND_MESSAGE makes a message-only
// window (no broadcasts, not in the top-level list, found only by findWindowEx with
// HWND_MESSAGE). For WS_CHILD windows `menu` is the child id.
HWND createWindow(DWORD exStyle, const WString& className, const WString& title, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param);
// Destroys a window, its owned windows and its children. Messages: WM_PARENTNOTIFY to the
// parent, WM_DESTROY to the window then to its children (parent first), WM_NCDESTROY to
// the children then to the window (children first). Afterwards the handle is invalid, and
// the window's queued messages and timers are gone. Calling it again for a window that is
// being destroyed does nothing and returns true.
bool destroyWindow(HWND hwnd);
// True while the handle names a window (also during its destroy messages).
bool isWindow(HWND hwnd);
// The thread that owns the window, 0 for an invalid one.
DWORD getWindowThreadId(HWND hwnd);

// The default window procedure: WM_NCCREATE stores the title and answers 1,
// WM_NCCALCSIZE takes the frame of the style off the rectangle, WM_CLOSE destroys the
// window, WM_SETTEXT / WM_GETTEXT / WM_GETTEXTLENGTH keep the text, WM_PAINT validates,
// WM_ERASEBKGND answers 1 when the class has a brush, WM_WINDOWPOSCHANGING holds
// resizable top-level windows to the WM_GETMINMAXINFO sizes, WM_WINDOWPOSCHANGED sends
// WM_SIZE and WM_MOVE, WM_ACTIVATE gives the focus, WM_SYSCOMMAND closes, minimises,
// maximises and restores; WM_MOUSEACTIVATE answers MA_ACTIVATE, WM_NCHITTEST HTCLIENT,
// WM_SETCURSOR shows the class cursor in the client area (os/windows/input/Input.h),
// WM_DEVICECHANGE 1; everything else 0.
LRESULT defWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Calls a window procedure (the old one kept by a procedure replacement).
LRESULT callWindowProc(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Replaces the window's procedure; returns the previous one (null on failure).
WNDPROC setWindowProc(HWND hwnd, WNDPROC proc);
WNDPROC getWindowProc(HWND hwnd);
// User data word of the window; set returns the previous value (0 on failure too, with the
// last error set only on failure).
LONG_PTR setWindowUserData(HWND hwnd, LONG_PTR value);
LONG_PTR getWindowUserData(HWND hwnd);
// The class's extra window bytes, addressed as pointer-sized words at a byte offset.
// An offset outside the extra bytes fails with ERROR_INVALID_INDEX.
LONG_PTR setWindowExtra(HWND hwnd, int offset, LONG_PTR value);
LONG_PTR getWindowExtra(HWND hwnd, int offset);
DWORD getWindowStyle(HWND hwnd);
// Replaces the style, all but WS_VISIBLE; the frame follows with a SWP_FRAMECHANGED move.
// Returns the previous style, 0 on failure.
DWORD setWindowStyle(HWND hwnd, DWORD style);
DWORD getWindowExStyle(HWND hwnd);
// Child id of a child window.
UINT_PTR getWindowId(HWND hwnd);

// Window text: setWindowText sends WM_SETTEXT (default processing stores it);
// getWindowText reads the stored text from any thread.
bool setWindowText(HWND hwnd, const WString& text);
WString getWindowText(HWND hwnd);

// Relations. getParent: the parent of a child window, else the owner.
HWND getParent(HWND hwnd);
// The root: the top-level window above a child window (the window itself for others).
HWND getRootWindow(HWND hwnd);
// A child window moves under another parent (not null); any other window gets `parent`
// as its owner. Returns the previous parent or owner, null on failure.
HWND setParent(HWND hwnd, HWND parent);
// Top-level windows (not message-only ones), top of the z-order first.
std::vector<HWND> getTopLevelWindows();
// Children of a window, top of the z-order first.
std::vector<HWND> getChildWindows(HWND parent);
// First top-level window whose class and title match (an empty class or title matches
// any; class names without regard to case, titles exactly), or null.
HWND findWindow(const WString& className, const WString& title);
// Like findWindow among the children of `parent` (HWND_MESSAGE: among the message-only
// windows; null: among the top-level windows), starting after `childAfter`.
HWND findWindowEx(HWND parent, HWND childAfter, const WString& className, const WString& title);

// Show state. showWindow returns whether the window was visible before.
bool showWindow(HWND hwnd, int command);
// The window and all its ancestors are visible.
bool isWindowVisible(HWND hwnd);
bool isIconic(HWND hwnd);
bool isZoomed(HWND hwnd);

// Enabling. A disabled window (WS_DISABLED, or inside a disabled window) takes no mouse or
// keyboard input; disabling the window that holds the focus or the capture (or an ancestor
// of it) takes them away. WM_ENABLE tells the window of a change. enableWindow returns
// whether the window was disabled before (false on failure, with the last error set).
bool enableWindow(HWND hwnd, bool enable);
bool isWindowEnabled(HWND hwnd);

// Activation, focus and capture. Each thread has its own active, focus and capture window
// (windows of the calling thread only). Showing a top-level window with an activating
// command activates it: WM_ACTIVATEAPP (when the process was not active) to the thread's
// top-level windows, WM_NCACTIVATE and WM_ACTIVATE to the old window, then to the new
// one, whose default processing of WM_ACTIVATE gives it the focus (WM_KILLFOCUS to the
// old focus window, WM_SETFOCUS to the new one). These return the previous window.
HWND setActiveWindow(HWND hwnd);
HWND getActiveWindow();
// Focus to a window activates its top-level window first. Null removes the focus.
HWND setFocus(HWND hwnd);
HWND getFocus();
// WM_CAPTURECHANGED goes to the window that loses the capture.
HWND setCapture(HWND hwnd);
bool releaseCapture();
HWND getCapture();
// Activates the window's top-level window (on the calling thread's windows; for another
// thread's window only the foreground record changes).
bool setForegroundWindow(HWND hwnd);
HWND getForegroundWindow();
// The stand-in's: another program takes the foreground. The calling thread's active
// window is deactivated, its focus window loses the focus and its top-level windows get
// WM_ACTIVATEAPP with FALSE.
void activateOtherApplication();

// What getWindowPlacement and setWindowPlacement exchange: the show state, the restore
// rectangle and the minimised position. A minimised position given to setWindowPlacement
// with WPF_SETMINPOSITION is kept as given and reported from then on (minimised windows
// still park off-screen); without one, the parking place while minimised, else -1, -1.
// For top-level windows other than tool windows, positions are in work-area coordinates:
// screen coordinates less the offset of the work area inside the monitor nearest to the
// rectangle's top-left corner (a taskbar at the left of 40 pixels makes screen x 40
// placement x 0). A window is maximised over its monitor's work area.
struct WINDOWPLACEMENT {
    UINT length;
    UINT flags;
    UINT showCmd;
    POINT ptMinPosition;
    POINT ptMaxPosition;
    RECT rcNormalPosition;
};
constexpr UINT WPF_SETMINPOSITION = 0x0001;
bool getWindowPlacement(HWND hwnd, WINDOWPLACEMENT& placement);
// Fails with ERROR_INVALID_PARAMETER unless length is sizeof(WINDOWPLACEMENT).
bool setWindowPlacement(HWND hwnd, const WINDOWPLACEMENT& placement);

// Geometry. Top-level windows are placed on the primary monitor of the monitor layout
// (os/windows/Monitors.h; by default 1920 x 1080 with the work area (0, 0, 1920, 1040)).
bool getWindowRect(HWND hwnd, RECT& rect);  // screen coordinates
bool getClientRect(HWND hwnd, RECT& rect);  // (0, 0, width, height)
// A child window placed without SWP_NOACTIVATE or SWP_HIDEWINDOW gets WM_CHILDACTIVATE after
// WM_WINDOWPOSCHANGED.
bool setWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags);
bool moveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint = true);
bool clientToScreen(HWND hwnd, POINT& point);
bool screenToClient(HWND hwnd, POINT& point);
// Enlarges a client rectangle by the frame that the styles give.
bool adjustWindowRectEx(RECT& rect, DWORD style, bool hasMenu, DWORD exStyle);
RECT getWorkArea();
SIZE getScreenSize();

// Helpers for the message parameters.
constexpr LPARAM makeLParam(int low, int high)
{
    return static_cast<LPARAM>(static_cast<DWORD>((static_cast<DWORD>(low) & 0xFFFF) |
                                                  ((static_cast<DWORD>(high) & 0xFFFF) << 16)));
}
constexpr WPARAM makeWParam(int low, int high) { return static_cast<WPARAM>(makeLParam(low, high)); }
constexpr WORD loWord(std::uintptr_t value) { return static_cast<WORD>(value & 0xFFFF); }
constexpr WORD hiWord(std::uintptr_t value) { return static_cast<WORD>((value >> 16) & 0xFFFF); }
// Signed coordinates packed into an lParam.
constexpr int xOfLParam(LPARAM l) { return static_cast<std::int16_t>(loWord(static_cast<std::uintptr_t>(l))); }
constexpr int yOfLParam(LPARAM l) { return static_cast<std::int16_t>(hiWord(static_cast<std::uintptr_t>(l))); }

// The record behind the lParam of WM_NCCREATE and WM_CREATE.
inline const CREATESTRUCTW* createStructOf(LPARAM lParam) { return reinterpret_cast<const CREATESTRUCTW*>(lParam); }

}  // namespace HA::OS
