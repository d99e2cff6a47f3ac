#pragma once
// Private to os/: the state of the window system (classes, windows, thread queues, timers),
// shared by the window system's files and DeviceNotification.cpp, and the clean-ups that the
// parts above the window objects do for a window that goes. Everything here is guarded by
// Clock::kernelMutex(); window procedures are always called without it.

#include <deque>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <vector>

#include "os/windows/Message.h"
#include "os/windows/Window.h"

namespace HA::OS::DETAIL {

struct ClassRec {
    WString name;
    WString key;  // upper case: class names are matched without regard to case
    ATOM atom = 0;
    UINT style = 0;
    WNDPROC proc = nullptr;
    int classExtraBytes = 0;
    int windowExtraBytes = 0;
    HINSTANCE instance = nullptr;
    HICON icon = nullptr;
    HICON smallIcon = nullptr;
    HCURSOR cursor = nullptr;
    HBRUSH background = nullptr;
    int windows = 0;  // live windows of the class
};

enum class eLife { Creating, Alive, Destroying };

struct WindowRec {
    HWND hwnd = nullptr;
    std::shared_ptr<ClassRec> cls;
    DWORD thread = 0;
    eLife life = eLife::Creating;
    WNDPROC proc = nullptr;
    LONG_PTR userData = 0;
    std::vector<BYTE> extra;
    WString text;
    DWORD style = 0;
    DWORD exStyle = 0;
    HWND parent = nullptr;  // child windows: the parent; others: null
    HWND owner = nullptr;   // top-level windows: the owner, if any
    bool messageOnly = false;
    UINT_PTR id = 0;  // child windows: the control id
    HMENU menu = nullptr;
    HINSTANCE instance = nullptr;
    RECT rect{};    // outer rectangle, in the parent's client coordinates (screen for others)
    RECT client{};  // client rectangle, same coordinates
    bool minimized = false;
    bool maximized = false;
    RECT normalRect{};  // restore rectangle while minimised or maximised
    std::optional<POINT> minPosition;  // given by setWindowPlacement
    bool hasUpdate = false;
    bool eraseUpdate = false;
    RECT update{};  // bounding box of the invalid area, client coordinates
    std::vector<HWND> children;  // z-order, top first
    // What the window shows (Drawing.cpp): the client surface, made at the first drawing
    // and kept at the client size; the last layered picture once there was one.
    std::vector<std::uint32_t> surface;
    int surfaceWidth = 0;
    int surfaceHeight = 0;
    bool layered = false;
    std::vector<std::uint32_t> layeredPixels;
    int layeredWidth = 0;
    int layeredHeight = 0;
    // Menus (Menu.cpp) and icons (Icon.cpp).
    HMENU systemMenu = nullptr;
    int menuBarRedraws = 0;
    HICON bigIcon = nullptr;
    HICON smallIcon = nullptr;
};

struct SentMessage {
    HWND hwnd = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
    LRESULT result = 0;
    bool done = false;
    // Storage that lParam points into, for messages the system sends without a waiting
    // sender (device broadcasts); freed after delivery.
    std::shared_ptr<void> payload;
};

struct ThreadQueue {
    DWORD thread = 0;
    std::deque<std::shared_ptr<SentMessage>> sent;
    std::deque<MSG> posted;
    std::deque<MSG> input;
    bool quit = false;
    int exitCode = 0;
    bool gone = false;  // the thread has ended
    // Input state of the thread's windows.
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
};

struct TimerRec {
    HWND hwnd = nullptr;  // null: a thread timer
    UINT_PTR id = 0;
    DWORD thread = 0;
    UINT requested = 0;
    UINT elapse = 0;
    TIMERPROC proc = nullptr;
    TimeMs due = 0;
    std::uint64_t order = 0;  // equal due times come in the order the timers were set
};

struct WindowSystem {
    std::map<WString, std::shared_ptr<ClassRec>> classes;
    ATOM nextAtom = 0xC000;
    std::map<std::uintptr_t, std::shared_ptr<WindowRec>> windows;
    std::uintptr_t nextHandle = 0x10010;
    std::vector<HWND> topLevel;  // z-order, top first; message-only windows are not in it
    std::vector<HWND> messageOnly;
    std::map<DWORD, std::shared_ptr<ThreadQueue>> queues;
    std::vector<TimerRec> timers;
    std::uint64_t timerOrder = 0;
    UINT_PTR nextThreadTimerId = 1;
    HWND foreground = nullptr;
    bool applicationActive = false;  // some window of this process is the foreground window
};

// The one instance; call with the kernel lock held.
WindowSystem& windowSystem();
inline std::unique_lock<std::mutex> kernelLock()
{
    return std::unique_lock<std::mutex>(Clock::kernelMutex());
}
// The window record of a handle, or null when it is no window (any life state).
std::shared_ptr<WindowRec> findWindowLocked(HWND hwnd);
// The same, setting ERROR_INVALID_WINDOW_HANDLE when there is none.
std::shared_ptr<WindowRec> windowOrFail(HWND hwnd);
// The top-level window above a child window (the window itself for others), or null.
HWND rootOfLocked(std::shared_ptr<WindowRec> w);
// The window and all its ancestors are visible.
bool visibleChainLocked(const WindowRec& w);
// The calling thread's queue, made on first use (takes the kernel lock itself).
std::shared_ptr<ThreadQueue> currentQueue();
// The queue of a thread, or null when it has none.
std::shared_ptr<ThreadQueue> queueOfLocked(DWORD thread);

inline bool isTopLevel(const WindowRec& w) { return !(w.style & WS_CHILD) && !w.messageOnly; }

void addSystemClassesLocked(WindowSystem& s);

// The z-ordered list that holds the window (kernel lock held).
std::vector<HWND>* siblingsLocked(WindowRec& w);
void removeFromList(std::vector<HWND>& list, HWND hwnd);

// Geometry shared by creation and default processing.
void shrinkByFrame(RECT& r, const WindowRec& w);
MINMAXINFO defaultMinMaxInfoLocked(const WindowRec& w);
// Default processing of WM_WINDOWPOSCHANGING: asks WM_GETMINMAXINFO and holds a
// resizable top-level window to its tracking sizes.
void constrainToMinMax(HWND hwnd, WINDOWPOS& pos);
// Sends WM_SIZE and WM_MOVE for the window's current client area.
void sendSizeAndMove(HWND hwnd, bool sized, bool moved);
LRESULT sendRecord(HWND hwnd, UINT message, WPARAM wParam, const void* record);

// Activates a top-level window of the calling thread: WM_ACTIVATEAPP when the process
// becomes active, WM_NCACTIVATE and WM_ACTIVATE to the old and the new window.
void activateWindow(HWND hwnd);
// Neither the window nor a parent of it is disabled (kernel lock held).
bool enabledChainLocked(const WindowRec& w);
// A window that goes away loses focus, activation and capture (kernel lock held).
void forgetInputStateLocked(WindowRec& window);

// Takes a window out of every table without sending anything: its queued messages, sent
// messages waiting for it, timers and device registrations go too (kernel lock held).
void forgetWindowLocked(WindowRec& window);
// Removes the timers of a window (kernel lock held).
void killWindowTimersLocked(HWND hwnd);
// The earliest due time among the thread's timers that match the filter, or kForever.
TimeMs nextTimerDueLocked(DWORD thread, HWND filter, UINT first, UINT last);
// Takes a due timer's message (PM_REMOVE moves the timer to its next period).
bool takeTimerMessageLocked(DWORD thread, HWND filter, UINT first, UINT last, TimeMs now, bool remove,
                            MSG& out);
// True when a timer of the thread with that window, id and procedure still exists.
bool timerExistsLocked(DWORD thread, HWND hwnd, UINT_PTR id, TIMERPROC proc);

// Queues a message that the system sends without waiting for its result; it is delivered
// like a message sent from another thread. Kernel lock held.
void queueSystemSentLocked(const WindowRec& window, UINT message, WPARAM wParam, LPARAM lParam,
                           std::shared_ptr<void> payload);

// Drops a destroyed window's device-notification registrations (kernel lock held).
void dropDeviceNotificationsLocked(HWND hwnd);
// Default processing of WM_SETCURSOR (Input.cpp): a child asks its parent first; in the
// client area the class cursor becomes the current one. True when the answer is TRUE.
bool defaultSetCursor(HWND hwnd, LPARAM lParam);
// The window's single-instance claims end (kernel lock held).
void endInstanceMarkersLocked(HWND hwnd);
// Subscribes the window system to the device registry's broadcasts, once.
void subscribeToDeviceBroadcasts();

// Waits until the calling thread's queue holds something for the filter, or until the
// deadline. Sent messages that arrive meanwhile are delivered. True when something waits.
bool waitForMessageUntil(TimeMs deadline, HWND filter, UINT first, UINT last);

// The window's client surface at its client size, keeping the overlap (kernel lock held).
void fitSurfaceLocked(WindowRec& window);
// A context that draws into the window's client area within `clip` (client coordinates),
// for beginPaint; endPaint drops it. Kernel lock held.
HDC makePaintContextLocked(HWND hwnd, const RECT& clip);
void dropPaintContextLocked(HDC hdc);
// Menus that belong to a window go with it: its menu bar and its system menu (kernel lock held).
void destroyWindowMenusLocked(WindowRec& window);

// Thread check of window operations: a call from another thread than the window's own
// stops a debug build with a message; a release build fails with ERROR_ACCESS_DENIED.
bool checkWindowThread(const WindowRec& window, const char* operation);

}  // namespace HA::OS::DETAIL
