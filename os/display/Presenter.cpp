#include "os/display/Presenter.h"

#include <SDL.h>
#include <SDL_syswm.h>
#include <X11/Xatom.h>
#include <X11/Xlib.h>
#include <X11/Xutil.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <unistd.h>
#include <wayland-client.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <set>
#include <string>
#include <vector>

#include "os/display/InputTranslation.h"
#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/Message.h"
#include "os/windows/input/MouseTracking.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/icons/Icon.h"

namespace HA::OS {

namespace {

// A top-level window on the display (presenter's thread only).
struct Shown {
    SDL_Window* window = nullptr;
    Uint32 id = 0;
    int width = 0;
    int height = 0;
    bool hidden = true;
    bool minimized = false;
    std::string title;
    HICON icon = nullptr;
    InputState input;
};

struct Presenter {
    std::atomic<bool> running{false};
    DWORD thread = 0;
    Uint32 wakeEvent = 0;
    std::atomic<bool> wakePending{false};
    std::atomic<std::uint64_t> presents{0};
    // Readable after a wake-up: the display thread's wait on X watches it beside the X
    // connection.
    int wakeFd = -1;

    // Notes from any thread.
    std::mutex notesMutex;
    std::set<HWND> changed;
    std::map<HWND, RECT> dirty;
    std::set<HWND> raise;

    // Presenter's thread only.
    std::map<HWND, Shown> shown;
    // The display library runs its Wayland driver (else its X11 one).
    bool wayland = false;
    // On Wayland: display windows of gone windows, hidden, destroyed with the display.
    std::vector<SDL_Window*> retired;
};

Presenter& presenter()
{
    static auto* p = new Presenter;  // never destroyed: hooks may run during exit
    return *p;
}

thread_local bool tPresenterThread = false;
// Set while a display event is taken: what it changes in the stand-in the display did itself.
thread_local bool tTakingEvent = false;

RECT unite(const RECT& a, const RECT& b)
{
    return RECT{std::min(a.left, b.left), std::min(a.top, b.top), std::max(a.right, b.right),
                std::max(a.bottom, b.bottom)};
}

void noteDirty(Presenter& p, HWND hwnd, const RECT& rect)
{
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    auto it = p.dirty.find(hwnd);
    if (it == p.dirty.end())
        p.dirty.emplace(hwnd, rect);
    else
        it->second = unite(it->second, rect);
}

constexpr RECT kEverything{0, 0, INT_MAX / 2, INT_MAX / 2};

void markAllDirty(Presenter& p, HWND hwnd)
{
    std::lock_guard<std::mutex> lock(p.notesMutex);
    noteDirty(p, hwnd, kEverything);
}

// Hooks: any thread, often with the kernel lock held; they only take note.
void onWindowChanged(HWND hwnd, eWindowChange change)
{
    Presenter& p = presenter();
    // The display's own focus change makes the window the foreground one: nothing to raise.
    if (change == eWindowChange::Raised && tTakingEvent)
        return;
    std::lock_guard<std::mutex> lock(p.notesMutex);
    p.changed.insert(hwnd);
    if (change == eWindowChange::Raised)
        p.raise.insert(hwnd);
}

void onPixelsChanged(HWND hwnd, const RECT& rect)
{
    Presenter& p = presenter();
    std::lock_guard<std::mutex> lock(p.notesMutex);
    noteDirty(p, hwnd, rect);
}

// A change from another thread wakes the display's event wait; one wake-up event at most
// waits in the display's queue.
void wake()
{
    if (tPresenterThread)
        return;
    Presenter& p = presenter();
    if (p.wakePending.exchange(true))
        return;
    SDL_Event e{};
    e.type = p.wakeEvent;
    SDL_PushEvent(&e);
    if (p.wakeFd >= 0) {
        const std::uint64_t one = 1;
        [[maybe_unused]] ssize_t written = ::write(p.wakeFd, &one, sizeof one);
    }
}

bool idleWait(TimeMs deadline);
bool showsWindows();

void onWindowGone(HWND hwnd);

const DisplayHooks kHooks{onWindowChanged, onPixelsChanged, idleWait, showsWindows, onWindowGone};

// The display's own title setting gives up on texts its locale cannot convert (under the C
// locale anything beyond Latin-1); on X the UTF-8 title is set directly.
void setTitle(SDL_Window* window, const std::string& title)
{
    SDL_SetWindowTitle(window, title.c_str());
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11)
        return;
    Display* display = wm.info.x11.display;
    Atom name = XInternAtom(display, "_NET_WM_NAME", False);
    Atom utf8 = XInternAtom(display, "UTF8_STRING", False);
    XChangeProperty(display, wm.info.x11.window, name, utf8, 8, PropModeReplace,
                    reinterpret_cast<const unsigned char*>(title.data()), static_cast<int>(title.size()));
    XFlush(display);
}

// Whether the platform would give the window no maximise box: none asked for, a frame that
// does not size, or a dialog frame. The display window is then neither maximised nor resized
// by the window manager either.
bool fixedOnTheDisplay(HWND hwnd)
{
    const DWORD style = getWindowStyle(hwnd);
    return !(style & WS_MAXIMIZEBOX) || !(style & WS_THICKFRAME) || (getWindowExStyle(hwnd) & WS_EX_DLGMODALFRAME);
}

// The Motif window-manager hints: the functions and decorations a window offers, named one by
// one (window managers differ in how they read the "all but" form).
constexpr long kMotifFunctions = 1, kMotifDecorations = 2;
constexpr long kMotifFunctionMove = 4, kMotifFunctionMinimize = 8, kMotifFunctionClose = 32;
constexpr long kMotifDecorationBorder = 2, kMotifDecorationTitle = 8, kMotifDecorationMenu = 16,
               kMotifDecorationMinimize = 32;

// Tells the window manager that a fixed window keeps its size: the size hints hold it at
// `width` x `height`, and neither a maximise nor a resize is offered; a minimise only with a
// minimise box, a close with a system menu. X only; the display library writes no such
// hints of its own.
void keepSize(HWND hwnd, SDL_Window* window, int width, int height)
{
    if (!fixedOnTheDisplay(hwnd))
        return;
    const DWORD style = getWindowStyle(hwnd);
    const bool minimize = (style & WS_MINIMIZEBOX) && !(getWindowExStyle(hwnd) & WS_EX_DLGMODALFRAME);
    const bool close = (style & WS_SYSMENU) != 0;
    SDL_SysWMinfo wm;
    SDL_VERSION(&wm.version);
    if (!SDL_GetWindowWMInfo(window, &wm) || wm.subsystem != SDL_SYSWM_X11)
        return;
    Display* display = wm.info.x11.display;
    const Window xwindow = wm.info.x11.window;
    if (XSizeHints* hints = XAllocSizeHints()) {
        long supplied = 0;
        XGetWMNormalHints(display, xwindow, hints, &supplied);
        hints->flags |= PMinSize | PMaxSize;
        hints->min_width = hints->max_width = width;
        hints->min_height = hints->max_height = height;
        XSetWMNormalHints(display, xwindow, hints);
        XFree(hints);
    }
    const Atom motif = XInternAtom(display, "_MOTIF_WM_HINTS", False);
    long motifHints[5] = {
        kMotifFunctions | kMotifDecorations,
        kMotifFunctionMove | (minimize ? kMotifFunctionMinimize : 0) | (close ? kMotifFunctionClose : 0),
        kMotifDecorationBorder | kMotifDecorationTitle | (close ? kMotifDecorationMenu : 0) |
            (minimize ? kMotifDecorationMinimize : 0),
        0, 0};
    XChangeProperty(display, xwindow, motif, motif, 32, PropModeReplace, reinterpret_cast<unsigned char*>(motifHints),
                    5);
    XFlush(display);
}

// Takes a display window off the display. On Wayland the title bar the display library draws
// may still hand it an event the compositor sent before (a click on its close box activates
// the window as well), and a destroyed window's record there is read after it was freed: the
// window is hidden, which ends what it shows and takes, and destroyed with the display.
void destroyShown(Presenter& p, Shown& s)
{
    if (s.window && p.wayland) {
        SDL_HideWindow(s.window);
        p.retired.push_back(s.window);
    } else if (s.window) {
        SDL_DestroyWindow(s.window);
    }
    s.window = nullptr;
}

void syncIcon(HWND hwnd, Shown& s)
{
    HICON icon = getWindowIcon(hwnd, ICON_BIG);
    if (!icon)
        icon = getWindowIcon(hwnd, ICON_SMALL);
    if (icon == s.icon)
        return;
    s.icon = icon;
    IconPixels pixels;
    if (!icon || !readIconPixels(icon, pixels) || pixels.width <= 0 || pixels.height <= 0)
        return;
    SDL_Surface* surface = SDL_CreateRGBSurfaceWithFormatFrom(pixels.pixels.data(), pixels.width, pixels.height, 32,
                                                              pixels.width * 4, SDL_PIXELFORMAT_ARGB8888);
    if (surface) {
        SDL_SetWindowIcon(s.window, surface);
        SDL_FreeSurface(surface);
    }
}

// The shown window that a new window belongs over: its owner, or for a window without one
// (a task-modal box) a shown window that it disabled; null for none.
HWND anchorOf(Presenter& p, HWND hwnd)
{
    if (HWND owner = getParent(hwnd); owner && p.shown.count(owner))
        return owner;
    if (getWindowExStyle(hwnd) & WS_EX_DLGMODALFRAME)
        for (auto& [other, s] : p.shown)
            if (!s.hidden && !isWindowEnabled(other))
                return other;
    return nullptr;
}

// A window with an anchor (a message box) stays above it: the display's window manager is
// told it is modal for it. An owned one keeps its place relative to its owner, as in the
// stand-in; one without an owner stays centred on the display, like every window there.
void keepOverAnchor(Presenter& p, HWND hwnd, SDL_Window* window)
{
    HWND anchor = anchorOf(p, hwnd);
    if (!anchor)
        return;
    SDL_Window* under = p.shown[anchor].window;
    if (anchor == getParent(hwnd)) {
        POINT mine{0, 0}, theirs{0, 0};
        clientToScreen(hwnd, mine);
        clientToScreen(anchor, theirs);
        int x = 0, y = 0;
        SDL_GetWindowPosition(under, &x, &y);
        SDL_SetWindowPosition(window, x + (mine.x - theirs.x), y + (mine.y - theirs.y));
    }
    SDL_SetWindowModalFor(window, under);
}

// Shows the display window restored. The display library keeps its own record of a window's
// state and learns of changes from the display's events; its restore on X maps the window
// and takes the map's event itself, so the record still says hidden and minimised. Then
// its raise does nothing and the next minimise by the window manager is never reported.
// Showing the window as well sets the record right (it maps nothing that is mapped).
void bringUp(SDL_Window* window)
{
    if (SDL_GetWindowFlags(window) & SDL_WINDOW_MINIMIZED)
        SDL_RestoreWindow(window);
    if (!(SDL_GetWindowFlags(window) & SDL_WINDOW_SHOWN))
        SDL_ShowWindow(window);
}

// Brings the display window in line with the window (presenter's thread).
void syncWindow(Presenter& p, HWND hwnd)
{
    auto it = p.shown.find(hwnd);
    bool ours = isWindow(hwnd) && getWindowThreadId(hwnd) == p.thread && getRootWindow(hwnd) == hwnd;
    if (!ours) {
        if (it != p.shown.end()) {
            destroyShown(p, it->second);
            p.shown.erase(it);
        }
        return;
    }
    if (!isWindowVisible(hwnd)) {
        if (it != p.shown.end() && !it->second.hidden) {
            SDL_HideWindow(it->second.window);
            it->second.hidden = true;
        }
        return;
    }
    bool minimized = isIconic(hwnd);
    RECT client{};
    getClientRect(hwnd, client);
    std::string title = utf16ToUtf8(getWindowText(hwnd));
    if (it == p.shown.end()) {
        if (minimized)
            return;  // made when it is restored
        Shown s;
        s.width = std::max<int>(1, client.right);
        s.height = std::max<int>(1, client.bottom);
        // A dialog frame (a message box) is a dialog to the window manager too: a close box
        // only, no minimise or maximise.
        const bool dialog = (getWindowExStyle(hwnd) & WS_EX_DLGMODALFRAME) != 0;
        SDL_SetHint(SDL_HINT_X11_WINDOW_TYPE, dialog ? "_NET_WM_WINDOW_TYPE_DIALOG" : "_NET_WM_WINDOW_TYPE_NORMAL");
        s.window = SDL_CreateWindow(title.c_str(), SDL_WINDOWPOS_CENTERED, SDL_WINDOWPOS_CENTERED, s.width,
                                    s.height, SDL_WINDOW_HIDDEN);
        if (!s.window) {
            std::fprintf(stderr, "os: presenter: no display window (%s)\n", SDL_GetError());
            return;
        }
        s.id = SDL_GetWindowID(s.window);
        keepSize(hwnd, s.window, s.width, s.height);
        setTitle(s.window, title);
        s.title = title;
        keepOverAnchor(p, hwnd, s.window);
        it = p.shown.emplace(hwnd, std::move(s)).first;
    }
    Shown& s = it->second;
    if (s.title != title) {
        setTitle(s.window, title);
        s.title = title;
    }
    syncIcon(hwnd, s);
    if (minimized) {
        if (!s.minimized)
            SDL_MinimizeWindow(s.window);
        s.minimized = true;
        return;
    }
    int width = std::max<int>(1, client.right), height = std::max<int>(1, client.bottom);
    if (width != s.width || height != s.height) {
        SDL_SetWindowSize(s.window, width, height);
        keepSize(hwnd, s.window, width, height);
        s.width = width;
        s.height = height;
        markAllDirty(p, hwnd);
    }
    if (s.hidden || s.minimized) {
        bringUp(s.window);
        s.hidden = false;
        s.minimized = false;
        markAllDirty(p, hwnd);
    }
}

// Puts a rectangle of the window's pixels on its display window.
void presentWindow(Presenter& p, HWND hwnd, Shown& s, RECT rect)
{
    WindowPixels pixels;
    if (!readWindowPixels(hwnd, pixels))
        return;
    SDL_Surface* surface = SDL_GetWindowSurface(s.window);
    if (!surface)
        return;
    rect.left = std::max<LONG>(rect.left, 0);
    rect.top = std::max<LONG>(rect.top, 0);
    rect.right = std::min<LONG>({rect.right, pixels.width, surface->w});
    rect.bottom = std::min<LONG>({rect.bottom, pixels.height, surface->h});
    if (rect.left >= rect.right || rect.top >= rect.bottom)
        return;
    int width = rect.right - rect.left, height = rect.bottom - rect.top;
    const std::uint32_t* from = pixels.pixels.data() + static_cast<size_t>(rect.top) * pixels.width + rect.left;
    if (SDL_MUSTLOCK(surface) && SDL_LockSurface(surface) != 0)
        return;
    auto* to = static_cast<Uint8*>(surface->pixels) + static_cast<size_t>(rect.top) * surface->pitch + rect.left * 4;
    Uint32 format = surface->format->format;
    if (format == SDL_PIXELFORMAT_ARGB8888 || format == SDL_PIXELFORMAT_RGB888) {
        for (int y = 0; y < height; ++y)
            std::memcpy(to + static_cast<size_t>(y) * surface->pitch, from + static_cast<size_t>(y) * pixels.width,
                        static_cast<size_t>(width) * 4);
    } else {
        to = static_cast<Uint8*>(surface->pixels) + static_cast<size_t>(rect.top) * surface->pitch +
             rect.left * surface->format->BytesPerPixel;
        SDL_ConvertPixels(width, height, SDL_PIXELFORMAT_ARGB8888, from, pixels.width * 4, format, to, surface->pitch);
    }
    if (SDL_MUSTLOCK(surface))
        SDL_UnlockSurface(surface);
    SDL_Rect r{rect.left, rect.top, width, height};
    SDL_UpdateWindowSurfaceRects(s.window, &r, 1);
    p.presents.fetch_add(1, std::memory_order_relaxed);
}

// Takes a destroyed window off the display at once, on the presenter's thread.
void onWindowGone(HWND hwnd)
{
    Presenter& p = presenter();
    if (!tPresenterThread || !p.running.load())
        return;
    {
        std::lock_guard<std::mutex> lock(p.notesMutex);
        p.changed.erase(hwnd);
        p.dirty.erase(hwnd);
    }
    syncWindow(p, hwnd);  // no longer a window: its display window goes
}

// Shows what changed since the last turn (presenter's thread).
void present(Presenter& p)
{
    std::set<HWND> changed, raise;
    {
        std::lock_guard<std::mutex> lock(p.notesMutex);
        changed.swap(p.changed);
        raise.swap(p.raise);
    }
    // Not under notesMutex: syncing reads the stand-in, which takes the kernel lock.
    for (HWND hwnd : changed)
        syncWindow(p, hwnd);
    // After the sync, which has restored a window that is no longer minimised. A window
    // manager's minimise that is not taken yet is older than the raise: the window comes up,
    // and the notice, taken later, no longer matches the display window and is dropped.
    for (HWND hwnd : raise) {
        auto it = p.shown.find(hwnd);
        if (it != p.shown.end() && !it->second.hidden && !it->second.minimized) {
            bringUp(it->second.window);
            SDL_RaiseWindow(it->second.window);
        }
    }
    std::map<HWND, RECT> dirty;
    {
        std::lock_guard<std::mutex> lock(p.notesMutex);
        dirty.swap(p.dirty);
    }
    for (auto& [hwnd, rect] : dirty) {
        auto it = p.shown.find(hwnd);
        if (it != p.shown.end() && !it->second.hidden && !it->second.minimized)
            presentWindow(p, hwnd, it->second, rect);
    }
}

HWND windowOfDisplay(Presenter& p, Uint32 id)
{
    for (auto& [hwnd, s] : p.shown)
        if (s.id == id)
            return hwnd;
    return nullptr;
}

Uint32 displayWindowIdOf(const SDL_Event& e)
{
    switch (e.type) {
    case SDL_WINDOWEVENT:
        return e.window.windowID;
    case SDL_MOUSEMOTION:
        return e.motion.windowID;
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        return e.button.windowID;
    case SDL_MOUSEWHEEL:
        return e.wheel.windowID;
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        return e.key.windowID;
    default:
        return 0;
    }
}

bool isKeyEvent(const SDL_Event& e)
{
    return e.type == SDL_KEYDOWN || e.type == SDL_KEYUP;
}

bool isExposeEvent(const SDL_Event& e)
{
    return e.type == SDL_WINDOWEVENT &&
           (e.window.event == SDL_WINDOWEVENT_EXPOSED || e.window.event == SDL_WINDOWEVENT_SHOWN ||
            e.window.event == SDL_WINDOWEVENT_MINIMIZED || e.window.event == SDL_WINDOWEVENT_RESTORED);
}

// Raises the shown windows that take input above a disabled one, and activates them.
void raiseEnabled(Presenter& p, HWND disabled)
{
    for (auto& [hwnd, s] : p.shown)
        if (hwnd != disabled && !s.hidden && isWindowEnabled(hwnd)) {
            SDL_RaiseWindow(s.window);
            setForegroundWindow(hwnd);
        }
}

// Takes one display event into the thread's queue; true when it queued or posted a message.
bool takeEvent(Presenter& p, const SDL_Event& e)
{
    if (e.type == p.wakeEvent) {
        p.wakePending.store(false);
        return false;
    }
    HWND hwnd = windowOfDisplay(p, displayWindowIdOf(e));
    if (!hwnd)
        return false;
    if (!isWindowEnabled(hwnd) && !isExposeEvent(e)) {
        // A window under a modal box takes no input: keys go to the focus window (the box),
        // as they do on the platform; a click on it brings the box up.
        HWND focus = getFocus();
        HWND focusRoot = focus ? getRootWindow(focus) : nullptr;
        if (isKeyEvent(e) && focusRoot && isWindowEnabled(focus) && p.shown.count(focusRoot)) {
            hwnd = focusRoot;
        } else {
            if (e.type == SDL_MOUSEBUTTONDOWN ||
                (e.type == SDL_WINDOWEVENT && e.window.event == SDL_WINDOWEVENT_FOCUS_GAINED))
                raiseEnabled(p, hwnd);
            return false;
        }
    }
    Shown& s = p.shown[hwnd];
    // Mouse input goes to the window holding the capture, keys to the focus window.
    HWND target = hwnd;
    if (isKeyEvent(e)) {
        HWND focus = getFocus();
        if (focus && getRootWindow(focus) == hwnd)
            target = focus;
    } else if (HWND capture = getCapture(); capture && getRootWindow(capture) == hwnd) {
        target = capture;
    }
    InputContext context;
    POINT origin{0, 0};
    clientToScreen(hwnd, origin);
    context.clientOrigin = origin;
    context.doubleClicks = (getClassStyle(target) & CS_DBLCLKS) != 0;
    context.leaveTracked = isMouseLeaveTracked(hwnd);
    context.modifiers = static_cast<std::uint16_t>(SDL_GetModState());
    bool queued = false;
    tTakingEvent = true;
    for (const InputAction& a : translateInputEvent(e, context, s.input)) {
        switch (a.kind) {
        case InputAction::eKind::QueueInput:
            queued = queueInputMessage(a.message == WM_MOUSELEAVE ? hwnd : target, a.message, a.wParam, a.lParam) ||
                     queued;
            break;
        case InputAction::eKind::Post:
            queued = postMessage(hwnd, a.message, a.wParam, a.lParam) || queued;
            break;
        case InputAction::eKind::Foreground:
            setForegroundWindow(hwnd);
            break;
        case InputAction::eKind::OtherApplication:
            activateOtherApplication();
            break;
        case InputAction::eKind::Invalidate: {
            invalidateRect(hwnd, nullptr, true);
            markAllDirty(p, hwnd);
            break;
        }
        case InputAction::eKind::LeaveTaken:
            takeMouseLeaveTracking(hwnd);
            break;
        // The window manager minimised or restored it: the window learns it at once, as from
        // its system menu, so that no later sync undoes it. What the presenter did itself is
        // known already, and a notice that the display window's state has since left behind
        // (a raise came after it) is dropped.
        case InputAction::eKind::Minimized:
            if (!s.minimized && (SDL_GetWindowFlags(s.window) & SDL_WINDOW_MINIMIZED)) {
                s.minimized = true;
                sendMessage(hwnd, WM_SYSCOMMAND, SC_MINIMIZE, 0);
                queued = true;
            }
            break;
        case InputAction::eKind::Restored:
            if (s.minimized && !(SDL_GetWindowFlags(s.window) & SDL_WINDOW_MINIMIZED)) {
                s.minimized = false;
                markAllDirty(p, hwnd);
                sendMessage(hwnd, WM_SYSCOMMAND, SC_RESTORE, 0);
                queued = true;
            }
            break;
        }
    }
    tTakingEvent = false;
    return queued;
}

// The X connection the display windows use; null when there is none (no window yet, or
// another display system).
Display* xDisplayOf(Presenter& p)
{
    for (auto& [hwnd, s] : p.shown) {
        SDL_SysWMinfo wm;
        SDL_VERSION(&wm.version);
        if (s.window && SDL_GetWindowWMInfo(s.window, &wm))
            return wm.subsystem == SDL_SYSWM_X11 ? wm.info.x11.display : nullptr;
    }
    return nullptr;
}

// The display's wait on X, on its connection and the wake-up's descriptor. The display
// library's own wait would have a wake-up from another thread send an X event to one of the
// display windows, which this thread may destroy before the server takes that event: the
// error would end the process. This wait has no wake-up target on the display at all.
void waitOnX(Presenter& p, Display* display, int timeout)
{
    XFlush(display);
    if (XPending(display) > 0)
        return;
    pollfd fds[2] = {{ConnectionNumber(display), POLLIN, 0}, {p.wakeFd, POLLIN, 0}};
    if (::poll(fds, 2, timeout) > 0 && (fds[1].revents & POLLIN)) {
        std::uint64_t count = 0;
        [[maybe_unused]] ssize_t taken = ::read(p.wakeFd, &count, sizeof count);
    }
}

// One idle turn: present, take the display's events, run the clock's due callbacks, and,
// with `wait`, sleep in the display's event wait until the deadline or the next callback.
void turn(Presenter& p, TimeMs deadline, bool wait)
{
    present(p);
    bool progress = false;
    SDL_Event e;
    while (SDL_PollEvent(&e))
        progress = takeEvent(p, e) || progress;
    // The simulated device's delays run here while the thread waits for the display.
    progress = Clock::runDue() > 0 || progress;
    if (!wait || progress)
        return;
    TimeMs now = Clock::now();
    TimeMs until = deadline;
    if (auto due = Clock::nextDue())
        until = std::min(until, *due);
    int timeout = -1;
    if (until != kForever)
        timeout = static_cast<int>(std::clamp<TimeMs>(until - now, 0, INT_MAX));
    if (timeout == 0)
        return;
    // What comes is taken on the next turn.
    if (Display* display = xDisplayOf(p); display && p.wakeFd >= 0)
        return waitOnX(p, display, timeout);
    if (SDL_WaitEventTimeout(&e, timeout))
        takeEvent(p, e);
}

bool idleWait(TimeMs deadline)
{
    Presenter& p = presenter();
    if (!tPresenterThread || !p.running.load() || Clock::isManual())
        return false;
    turn(p, deadline, true);
    return true;
}

bool showsWindows()
{
    return tPresenterThread && presenter().running.load();
}

void headless(const char* why)
{
    std::fprintf(stderr, "os: %s; the windows stay headless\n", why);
    std::fflush(stderr);
}

// Xlib ends the process on any error it is not told to expect. A window of the display can be
// gone by the time a request naming it arrives (an event sent to it by another connection of
// the display library, the wake-up's among them): that says nothing about this run and is
// dropped. Every other error goes to the handler there was before.
XErrorHandler gPreviousXErrorHandler = nullptr;

int onXError(Display* display, XErrorEvent* error)
{
    if (error->error_code == BadWindow)
        return 0;
    return gPreviousXErrorHandler ? gPreviousXErrorHandler(display, error) : 0;
}

// Before the display library opens its connections, so that it keeps this one beneath its
// own and puts it back when it closes them.
void handleXErrors()
{
    static std::once_flag once;
    std::call_once(once, [] { gPreviousXErrorHandler = XSetErrorHandler(&onXError); });
}

// Why the run stays headless without trying a display; null when it asks for one.
const char* headlessReason()
{
    if (Clock::isManual())
        return "no display under the manual clock";
    const char* setting = std::getenv("HA_OS_PRESENTER");
    if (setting && std::strcmp(setting, "0") == 0)
        return "HA_OS_PRESENTER is 0";
    const char* x = std::getenv("DISPLAY");
    const char* wayland = std::getenv("WAYLAND_DISPLAY");
    if ((!x || !*x) && (!wayland || !*wayland))
        return "no display (neither DISPLAY nor WAYLAND_DISPLAY is set)";
    return nullptr;
}

// Why the X server that DISPLAY names does not open: the display library's own reason is
// only that its X11 part is not available, so Xlib is asked.
std::string whyNoXServer(const std::string& libraryReason)
{
    errno = 0;
    if (Display* display = XOpenDisplay(nullptr)) {
        XCloseDisplay(display);
        return "its X server answers, but the display library does not open it: " + libraryReason;
    }
    return errno ? std::string("no connection to its X server: ") + std::strerror(errno)
                 : std::string("Xlib cannot read it as a display name");
}

// Why the compositor that WAYLAND_DISPLAY names cannot be used; empty when it can. Without a
// seat the display library's own start ends the process, so the compositor is asked first.
std::string whyNoCompositor()
{
    errno = 0;
    wl_display* display = wl_display_connect(nullptr);
    if (!display)
        return std::string("no connection to its compositor: ") + std::strerror(errno ? errno : ENOENT);
    bool seat = false;
    static const wl_registry_listener listener{
        [](void* data, wl_registry*, std::uint32_t, const char* interface, std::uint32_t) {
            if (std::strcmp(interface, wl_seat_interface.name) == 0)
                *static_cast<bool*>(data) = true;
        },
        [](void*, wl_registry*, std::uint32_t) {}};
    wl_registry* registry = wl_display_get_registry(display);
    wl_registry_add_listener(registry, &listener, &seat);
    const bool answered = wl_display_roundtrip(display) >= 0;
    wl_registry_destroy(registry);
    wl_display_disconnect(display);
    if (!answered)
        return "its compositor does not answer";
    if (!seat)
        return "its compositor offers no seat (no pointer, no keyboard), without which the display library cannot run";
    return std::string();
}

struct Candidate {
    const char* driver;
    const char* variable;
};
constexpr Candidate kX11{"x11", "DISPLAY"};
constexpr Candidate kWayland{"wayland", "WAYLAND_DISPLAY"};

// The drivers in the order they are tried. X comes first: a desktop that names both runs an
// X server for X programs, on which everything the presenter does is tested and works, while
// on Wayland a second start cannot raise the first window and a compositor without a seat
// would end the process inside the display library. SDL_VIDEODRIVER=wayland puts Wayland first.
std::vector<Candidate> driverOrder()
{
    const char* chosen = std::getenv("SDL_VIDEODRIVER");
    if (chosen && std::strcmp(chosen, kWayland.driver) == 0)
        return {kWayland, kX11};
    return {kX11, kWayland};
}

// Opens the display the environment names, in driverOrder; only a display a person sees
// counts, never the library's off-screen or console fallbacks. False with one text naming
// the display and every reason.
bool openDisplay(std::string& failure)
{
    std::vector<std::string> named;
    std::string reasons;
    for (const Candidate& c : driverOrder()) {
        const char* value = std::getenv(c.variable);
        if (!value || !*value)
            continue;
        const bool isWayland = std::strcmp(c.driver, kWayland.driver) == 0;
        std::string why = isWayland ? whyNoCompositor() : std::string();
        if (why.empty()) {
            SDL_SetHintWithPriority(SDL_HINT_VIDEODRIVER, c.driver, SDL_HINT_OVERRIDE);
            // On X the window's pixels go straight to the server, as they are; a Wayland
            // surface gets them only through the library's GL renderer.
            SDL_SetHint(SDL_HINT_FRAMEBUFFER_ACCELERATION, isWayland ? "1" : "0");
            if (SDL_Init(SDL_INIT_VIDEO) == 0) {
                presenter().wayland = isWayland;
                return true;
            }
            const std::string library = SDL_GetError();
            why = isWayland ? library : whyNoXServer(library);
        }
        named.push_back(std::string(c.variable) + "=\"" + value + "\"");
        reasons += std::string(reasons.empty() ? "" : "; ") + c.driver + ": " + why;
    }
    failure = named.size() == 1 ? "the display " + named[0] + " does not open"
                                : "neither display " + named[0] + " nor " + named[1] + " opens";
    failure += " (" + reasons + ")";
    return false;
}

}  // namespace

bool displayWanted() { return headlessReason() == nullptr; }

bool startPresenter(std::string* failureOut)
{
    Presenter& p = presenter();
    if (p.running.load())
        return true;
    if (const char* why = headlessReason()) {
        headless(why);
        return false;
    }
    // The process keeps its own signal handling; pixels go through the window surface.
    SDL_SetHint(SDL_HINT_NO_SIGNAL_HANDLERS, "1");
    SDL_SetHint(SDL_HINT_MOUSE_FOCUS_CLICKTHROUGH, "1");
    handleXErrors();
    std::string failure;
    if (!openDisplay(failure)) {
        if (failureOut)
            *failureOut = failure;
        else
            headless(failure.c_str());
        return false;
    }
    // Characters come from translateMessage, not from the display's text input.
    SDL_StopTextInput();
    p.wakeEvent = SDL_RegisterEvents(1);
    p.wakeFd = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    p.wakePending.store(false);
    p.thread = currentThreadId();
    tPresenterThread = true;
    // The windows already there. The stand-in's lock comes before notesMutex, never inside it.
    std::vector<HWND> windows;
    for (HWND hwnd : getTopLevelWindows())
        if (getWindowThreadId(hwnd) == p.thread)
            windows.push_back(hwnd);
    {
        std::lock_guard<std::mutex> lock(p.notesMutex);
        for (HWND hwnd : windows) {
            p.changed.insert(hwnd);
            noteDirty(p, hwnd, kEverything);
        }
    }
    p.running.store(true);
    setDisplayHooks(&kHooks);
    Clock::setWakeHook(&wake);
    return true;
}

void stopPresenter()
{
    Presenter& p = presenter();
    if (!p.running.load() || !tPresenterThread)
        return;
    Clock::setWakeHook(nullptr);
    setDisplayHooks(nullptr);
    p.running.store(false);
    for (auto& [hwnd, s] : p.shown)
        destroyShown(p, s);
    p.shown.clear();
    for (SDL_Window* window : p.retired)
        SDL_DestroyWindow(window);
    p.retired.clear();
    {
        std::lock_guard<std::mutex> lock(p.notesMutex);
        p.changed.clear();
        p.dirty.clear();
    }
    SDL_Quit();
    if (p.wakeFd >= 0)
        ::close(p.wakeFd);
    p.wakeFd = -1;
    tPresenterThread = false;
}

bool presenterRunning()
{
    return presenter().running.load();
}

void presentNow()
{
    Presenter& p = presenter();
    if (tPresenterThread && p.running.load())
        turn(p, kForever, false);
}

SDL_Window* presentedWindowOf(HWND hwnd)
{
    Presenter& p = presenter();
    if (!tPresenterThread)
        return nullptr;
    auto it = p.shown.find(hwnd);
    return it == p.shown.end() ? nullptr : it->second.window;
}

std::uint64_t presentCount()
{
    return presenter().presents.load(std::memory_order_relaxed);
}

}  // namespace HA::OS
