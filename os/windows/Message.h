#pragma once
// Per-thread message queues of the stand-in, with the platform's delivery order:
// messages sent from other threads first (delivered inside getMessage and peekMessage,
// never returned), then posted messages, then input, then WM_PAINT, then WM_TIMER, and
// WM_QUIT last. WM_PAINT and WM_TIMER are made only when nothing else waits for the
// filter; there is at most one WM_PAINT per window (until its invalid area is validated)
// and one WM_TIMER per timer and period. Blocking waits go through Clock::waitUntil, so
// under the manual clock an idle getMessage moves time to the next timer.

#include "os/windows/MessageIds.h"
#include "os/windows/Window.h"

namespace HA::OS {

struct MSG {
    HWND hwnd;
    UINT message;
    WPARAM wParam;
    LPARAM lParam;
    DWORD time;
    POINT pt;
};

// peekMessage removal flags.
constexpr UINT PM_NOREMOVE = 0x0000;
constexpr UINT PM_REMOVE = 0x0001;
constexpr UINT PM_NOYIELD = 0x0002;

// Filter windows: null takes messages of every window of the thread and thread messages;
// this value takes only thread messages (hwnd null).
inline HWND const HWND_THREAD_MESSAGES = reinterpret_cast<HWND>(std::intptr_t(-1));

// Waits for the next message of the calling thread that matches the filter (message
// range `first`..`last`; 0, 0 takes all). Returns 0 for WM_QUIT, -1 for an invalid
// filter window (ERROR_INVALID_WINDOW_HANDLE), 1 otherwise.
int getMessage(MSG& msg, HWND filter = nullptr, UINT first = 0, UINT last = 0);
// Like getMessage without waiting; false when nothing matches. With PM_NOREMOVE the
// message stays queued. WM_PAINT stays until the window's invalid area is validated.
bool peekMessage(MSG& msg, HWND filter, UINT first, UINT last, UINT remove);

// Any thread. Null hwnd posts a thread message to the calling thread. Fails with
// ERROR_INVALID_WINDOW_HANDLE, or ERROR_NOT_ENOUGH_QUOTA when 10,000 posted messages wait.
bool postMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Fails with ERROR_INVALID_THREAD_ID for a thread that has no queue.
bool postThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam);
// Any thread. On the window's thread it calls the procedure at once (re-entrant); from
// another thread it waits until the window's thread takes the message in getMessage,
// peekMessage or its own sendMessage, and delivers messages sent to the caller meanwhile.
// 0 with ERROR_INVALID_WINDOW_HANDLE for an invalid window, or when the window goes away
// before taking the message.
LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// Sets the calling thread's quit flag: WM_QUIT with the code comes when nothing else waits.
void postQuitMessage(int exitCode);

// Key-down messages of keys that type something queue, in front of the posted messages,
// what the active keyboard layout gives (os/windows/input/Keyboard.h): WM_CHAR per UTF-16 unit,
// or WM_DEADCHAR for a dead key (WM_SYSCHAR and WM_SYSDEADCHAR for system keys); true
// when something was queued.
bool translateMessage(const MSG& msg);
// A timer's procedure (os/windows/timers/WindowTimer.h), which dispatchMessage calls.
using TIMERPROC = void (*)(HWND, UINT, UINT_PTR, DWORD);
// Calls the window procedure of msg.hwnd (must be the calling thread's), or for WM_TIMER
// with a timer procedure in lParam that procedure, if its timer still exists.
LRESULT dispatchMessage(const MSG& msg);

// Input of the stand-in (tests and a presenter): queues a keyboard or mouse message for a
// window behind the posted messages, and keeps the key state that getKeyState reports as
// the messages are taken.
bool queueInputMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam);
// State of a virtual key as of the last input message the calling thread took: bit 15
// down, bit 0 toggled.
std::int16_t getKeyState(int virtualKey);
// The calling thread's whole key state (256 bytes, as getKeyState's bits 7 and 0).
bool getKeyboardState(BYTE* state);

// The record that WM_COPYDATA's lParam points to.
struct COPYDATASTRUCT {
    std::uintptr_t dwData;
    DWORD cbData;
    const void* lpData;
};
// Sends WM_COPYDATA with the record to `to`; `from` is the sender's window.
LRESULT sendCopyData(HWND to, HWND from, const COPYDATASTRUCT& data);
inline const COPYDATASTRUCT* copyDataOf(LPARAM lParam) { return reinterpret_cast<const COPYDATASTRUCT*>(lParam); }

// Painting. The invalid area is kept as its bounding rectangle in client coordinates.
struct PAINTSTRUCT {
    HDC hdc;
    BOOL fErase;
    RECT rcPaint;
    BOOL fRestore;
    BOOL fIncUpdate;
    BYTE rgbReserved[32];
};
// Null rect: the whole client area. Any thread.
bool invalidateRect(HWND hwnd, const RECT* rect, bool erase);
bool validateRect(HWND hwnd, const RECT* rect);
// The invalid area's bounding rectangle; false (and an empty rect) when nothing is invalid.
bool getUpdateRect(HWND hwnd, RECT& rect);
// Sends WM_PAINT now when the window has an invalid area.
bool updateWindow(HWND hwnd);
// Sends WM_ERASEBKGND when the invalid area asked for erasing, fills the record with the
// invalid rectangle and validates it. Returns a device-context handle (never null for a
// valid window of the calling thread).
HDC beginPaint(HWND hwnd, PAINTSTRUCT& paint);
bool endPaint(HWND hwnd, const PAINTSTRUCT& paint);

}  // namespace HA::OS
