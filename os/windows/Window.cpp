#include "os/windows/Window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "os/kernel/Kernel.h"
#include "os/kernel/Text.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/Message.h"
#include "os/windows/detail/WindowState.h"
#include "os/windows/faults/WindowFaults.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

constexpr POINT kDefaultPosition{100, 100};
constexpr SIZE kDefaultSize{960, 640};

}  // namespace

namespace DETAIL {

void removeFromList(std::vector<HWND>& list, HWND hwnd)
{
    list.erase(std::remove(list.begin(), list.end(), hwnd), list.end());
}

std::vector<HWND>* siblingsLocked(WindowRec& w)
{
    WindowSystem& s = windowSystem();
    if (w.messageOnly)
        return &s.messageOnly;
    if (w.parent) {
        auto parent = findWindowLocked(w.parent);
        return parent ? &parent->children : nullptr;
    }
    return &s.topLevel;
}

}  // namespace DETAIL

namespace {

bool matches(const WindowRec& w, const WString& classUpper, const WString& title, bool anyClass, bool anyTitle)
{
    return (anyClass || w.cls->key == classUpper) && (anyTitle || w.text == title);
}

#ifndef NDEBUG
void failLoudly(const char* operation, HWND hwnd, DWORD owner)
{
    std::fprintf(stderr, "os: %s on window %p of thread %u called from thread %u\n", operation,
                 static_cast<void*>(hwnd), static_cast<unsigned>(owner), static_cast<unsigned>(currentThreadId()));
    std::fflush(stderr);
    std::abort();
}
#endif

}  // namespace

namespace DETAIL {

WindowSystem& windowSystem()
{
    static WindowSystem* s = [] {
        auto* ws = new WindowSystem;  // never destroyed: threads may outlive static destruction
        addSystemClassesLocked(*ws);
        return ws;
    }();
    return *s;
}

std::shared_ptr<WindowRec> findWindowLocked(HWND hwnd)
{
    WindowSystem& s = windowSystem();
    auto it = s.windows.find(reinterpret_cast<std::uintptr_t>(hwnd));
    return it == s.windows.end() ? nullptr : it->second;
}

// The window for an operation, or null with ERROR_INVALID_WINDOW_HANDLE.
std::shared_ptr<WindowRec> windowOrFail(HWND hwnd)
{
    auto rec = findWindowLocked(hwnd);
    if (!rec)
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return rec;
}

bool visibleChainLocked(const WindowRec& w)
{
    const WindowRec* cur = &w;
    std::shared_ptr<WindowRec> hold;
    for (;;) {
        if (!(cur->style & WS_VISIBLE))
            return false;
        if (!cur->parent)
            return true;
        hold = findWindowLocked(cur->parent);
        if (!hold)
            return false;
        cur = hold.get();
    }
}

HWND rootOfLocked(std::shared_ptr<WindowRec> w)
{
    while (w && w->parent) {
        auto p = findWindowLocked(w->parent);
        if (!p)
            break;
        w = p;
    }
    return w ? w->hwnd : nullptr;
}

bool checkWindowThread(const WindowRec& window, const char* operation)
{
    if (window.thread == currentThreadId())
        return true;
#ifndef NDEBUG
    failLoudly(operation, window.hwnd, window.thread);
#else
    (void)operation;
#endif
    setLastError(ERROR_ACCESS_DENIED);
    return false;
}

void forgetWindowLocked(WindowRec& w)
{
    WindowSystem& s = windowSystem();
    if (auto* list = siblingsLocked(w))
        removeFromList(*list, w.hwnd);
    for (HWND child : w.children)
        if (auto c = findWindowLocked(child))
            c->parent = nullptr;
    w.children.clear();
    if (w.cls)
        --w.cls->windows;
    killWindowTimersLocked(w.hwnd);
    dropDeviceNotificationsLocked(w.hwnd);
    destroyWindowMenusLocked(w);
    endInstanceMarkersLocked(w.hwnd);
    if (auto q = queueOfLocked(w.thread)) {
        auto stale = [&](const MSG& m) { return m.hwnd == w.hwnd; };
        q->posted.erase(std::remove_if(q->posted.begin(), q->posted.end(), stale), q->posted.end());
        q->input.erase(std::remove_if(q->input.begin(), q->input.end(), stale), q->input.end());
        for (auto it = q->sent.begin(); it != q->sent.end();) {
            if ((*it)->hwnd == w.hwnd) {
                (*it)->done = true;
                it = q->sent.erase(it);
            } else {
                ++it;
            }
        }
    }
    forgetInputStateLocked(w);
    if (isTopLevel(w))
        noteWindowChange(w.hwnd, eWindowChange::Destroyed);
    s.windows.erase(reinterpret_cast<std::uintptr_t>(w.hwnd));
    Clock::notifyAll();
}

}  // namespace DETAIL

HWND createWindow(DWORD exStyle, const WString& className, const WString& title, DWORD style, int x, int y,
                  int width, int height, HWND parent, HMENU menu, HINSTANCE instance, void* param)
{
    if (DWORD fault = takeWindowFault(eWindowFault::CreateWindow, className)) {
        setLastError(fault);
        return nullptr;
    }
    subscribeToDeviceBroadcasts();
    currentQueue();
    HWND hwnd = nullptr;
    WString classNameCopy;
    bool topLevel = false;
    {
        auto lock = kernelLock();
        WindowSystem& s = windowSystem();
        auto cls = s.classes.find(foldCase(className));
        if (cls == s.classes.end()) {
            setLastError(ERROR_CANNOT_FIND_WND_CLASS);
            return nullptr;
        }
        bool messageOnly = parent == HWND_MESSAGE;
        std::shared_ptr<WindowRec> parentRec;
        if (parent && !messageOnly) {
            parentRec = findWindowLocked(parent);
            if (!parentRec) {
                setLastError(ERROR_INVALID_WINDOW_HANDLE);
                return nullptr;
            }
        }
        if ((style & WS_CHILD) && !parentRec) {
            setLastError(ERROR_TLW_WITH_WSCHILD);
            return nullptr;
        }
        auto w = std::make_shared<WindowRec>();
        w->hwnd = reinterpret_cast<HWND>(s.nextHandle);
        s.nextHandle += 2;
        w->cls = cls->second;
        w->thread = currentThreadId();
        w->proc = cls->second->proc;
        w->extra.assign(static_cast<size_t>(cls->second->windowExtraBytes), 0);
        // Overlapped top-level windows always get a caption, as on the platform.
        if (!(style & (WS_CHILD | WS_POPUP)) && !messageOnly)
            style |= WS_CAPTION | WS_CLIPSIBLINGS;
        w->style = style & ~WS_VISIBLE;
        w->exStyle = exStyle;
        w->messageOnly = messageOnly;
        w->instance = instance;
        if (style & WS_CHILD) {
            w->parent = parent;
            w->id = reinterpret_cast<UINT_PTR>(menu);
        } else {
            w->owner = messageOnly ? nullptr : parent;
            w->menu = menu;
        }
        bool defaults = !(style & (WS_CHILD | WS_POPUP)) && !messageOnly;
        if (x == CW_USEDEFAULT) {
            x = defaults ? kDefaultPosition.x : 0;
            y = defaults ? kDefaultPosition.y : 0;
        }
        if (width == CW_USEDEFAULT) {
            width = defaults ? kDefaultSize.cx : 0;
            height = defaults ? kDefaultSize.cy : 0;
        }
        w->rect = RECT{x, y, x + std::max(0, width), y + std::max(0, height)};
        w->client = w->rect;
        cls->second->windows++;
        s.windows.emplace(reinterpret_cast<std::uintptr_t>(w->hwnd), w);
        if (messageOnly)
            s.messageOnly.insert(s.messageOnly.begin(), w->hwnd);
        else if (style & WS_CHILD)
            parentRec->children.insert(parentRec->children.begin(), w->hwnd);
        else
            s.topLevel.insert(s.topLevel.begin(), w->hwnd);
        hwnd = w->hwnd;
        classNameCopy = cls->second->name;
        topLevel = isTopLevel(*w);
    }

    CREATESTRUCTW cs{param, instance, menu, parent, height, width, y, x, static_cast<LONG>(style),
                     title.c_str(), classNameCopy.c_str(), exStyle};
    if (topLevel) {
        MINMAXINFO mmi{};
        {
            auto lock = kernelLock();
            if (auto w = findWindowLocked(hwnd))
                mmi = defaultMinMaxInfoLocked(*w);
        }
        sendRecord(hwnd, WM_GETMINMAXINFO, 0, &mmi);
    }
    auto undo = [hwnd] {
        if (isWindow(hwnd))
            destroyWindow(hwnd);
        setLastError(ERROR_CANCELLED);
        return nullptr;
    };
    if (!isWindow(hwnd))
        return undo();
    if (sendRecord(hwnd, WM_NCCREATE, 0, &cs) == 0) {
        // The platform sends only WM_NCDESTROY when WM_NCCREATE refuses.
        sendMessage(hwnd, WM_NCDESTROY, 0, 0);
        auto lock = kernelLock();
        if (auto w = findWindowLocked(hwnd))
            forgetWindowLocked(*w);
        setLastError(ERROR_CANCELLED);
        return nullptr;
    }
    RECT calc{};
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return undo();
        calc = w->rect;
    }
    sendRecord(hwnd, WM_NCCALCSIZE, 0, &calc);
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return undo();
        calc.right = std::max(calc.left, calc.right);
        calc.bottom = std::max(calc.top, calc.bottom);
        w->client = calc;
    }
    if (sendRecord(hwnd, WM_CREATE, 0, &cs) == -1 || !isWindow(hwnd))
        return undo();
    {
        auto lock = kernelLock();
        if (auto w = findWindowLocked(hwnd))
            w->life = eLife::Alive;
    }
    sendSizeAndMove(hwnd, true, true);
    if ((style & WS_CHILD) && !(exStyle & WS_EX_NOPARENTNOTIFY) && isWindow(parent))
        sendMessage(parent, WM_PARENTNOTIFY, makeWParam(WM_CREATE, static_cast<int>(reinterpret_cast<UINT_PTR>(menu))),
                    reinterpret_cast<LPARAM>(hwnd));
    if ((style & WS_VISIBLE) && isWindow(hwnd)) {
        int command = (style & WS_MAXIMIZE) ? SW_SHOWMAXIMIZED : (style & WS_MINIMIZE) ? SW_SHOWMINIMIZED : SW_SHOW;
        showWindow(hwnd, command);
    }
    if (!isWindow(hwnd))
        return undo();
    return hwnd;
}

namespace {

void sendDestroyTree(HWND hwnd)
{
    std::vector<HWND> children;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return;
        w->life = eLife::Destroying;
        w->style &= ~WS_VISIBLE;
        children = w->children;
    }
    sendMessage(hwnd, WM_DESTROY, 0, 0);
    for (HWND child : children)
        sendDestroyTree(child);
}

void sendNcDestroyTree(HWND hwnd)
{
    std::vector<HWND> children;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return;
        children = w->children;
    }
    for (HWND child : children)
        sendNcDestroyTree(child);
    sendMessage(hwnd, WM_NCDESTROY, 0, 0);
    auto lock = kernelLock();
    if (auto w = findWindowLocked(hwnd))
        forgetWindowLocked(*w);
}

}  // namespace

bool destroyWindow(HWND hwnd)
{
    std::vector<HWND> owned;
    HWND parent = nullptr;
    UINT_PTR id = 0;
    bool notify = false;
    bool topLevel = false;
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w)
            return false;
        if (!checkWindowThread(*w, "destroyWindow"))
            return false;
        if (w->life == eLife::Destroying)
            return true;
        w->life = eLife::Destroying;
        topLevel = isTopLevel(*w);
        for (HWND top : windowSystem().topLevel)
            if (auto o = findWindowLocked(top); o && o->owner == hwnd)
                owned.push_back(top);
        parent = w->parent;
        id = w->id;
        notify = (w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOPARENTNOTIFY);
    }
    for (HWND o : owned)
        if (isWindow(o))
            destroyWindow(o);
    if (notify && isWindow(parent))
        sendMessage(parent, WM_PARENTNOTIFY, makeWParam(WM_DESTROY, static_cast<int>(id)),
                    reinterpret_cast<LPARAM>(hwnd));
    sendDestroyTree(hwnd);
    sendNcDestroyTree(hwnd);
    if (topLevel)
        noteWindowGone(hwnd);
    return true;
}

bool isWindow(HWND hwnd)
{
    auto lock = kernelLock();
    return findWindowLocked(hwnd) != nullptr;
}

DWORD getWindowThreadId(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->thread : 0;
}

LRESULT defWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    switch (message) {
    case WM_NCCREATE: {
        const CREATESTRUCTW* cs = createStructOf(lParam);
        if (cs && cs->lpszName) {
            auto lock = kernelLock();
            if (auto w = findWindowLocked(hwnd))
                w->text = cs->lpszName;
        }
        return 1;
    }
    case WM_NCCALCSIZE: {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w || !lParam)
            return 0;
        RECT* r = wParam ? &reinterpret_cast<NCCALCSIZE_PARAMS*>(lParam)->rgrc[0] : reinterpret_cast<RECT*>(lParam);
        shrinkByFrame(*r, *w);
        return 0;
    }
    case WM_SETTEXT: {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return 0;
        const auto* text = reinterpret_cast<const WChar*>(lParam);
        w->text = text ? WString(text) : WString();
        if (isTopLevel(*w))
            noteWindowChange(hwnd, eWindowChange::Retitled);
        return 1;
    }
    case WM_GETTEXT: {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        auto* buffer = reinterpret_cast<WChar*>(lParam);
        if (!w || !buffer || wParam == 0)
            return 0;
        size_t n = std::min<size_t>(w->text.size(), wParam - 1);
        std::memcpy(buffer, w->text.data(), n * sizeof(WChar));
        buffer[n] = 0;
        return static_cast<LRESULT>(n);
    }
    case WM_GETTEXTLENGTH: {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        return w ? static_cast<LRESULT>(w->text.size()) : 0;
    }
    case WM_CLOSE:
        destroyWindow(hwnd);
        return 0;
    case WM_SYSKEYDOWN:
        // Alt+F4 (the context bit 29 says Alt is down) closes the window, as the system
        // menu's Close does.
        if (wParam == WPARAM(VK_F4) && (lParam & (LPARAM(1) << 29)))
            sendMessage(hwnd, WM_SYSCOMMAND, SC_CLOSE, 0);
        return 0;
    case WM_SYSCOMMAND:
        switch (wParam & 0xFFF0) {
        case SC_CLOSE:
            sendMessage(hwnd, WM_CLOSE, 0, 0);
            break;
        case SC_MINIMIZE:
            showWindow(hwnd, SW_MINIMIZE);
            break;
        case SC_MAXIMIZE:
            showWindow(hwnd, SW_MAXIMIZE);
            break;
        case SC_RESTORE:
            showWindow(hwnd, SW_RESTORE);
            break;
        default:
            break;
        }
        return 0;
    case WM_PAINT: {
        PAINTSTRUCT ps{};
        if (beginPaint(hwnd, ps))
            endPaint(hwnd, ps);
        return 0;
    }
    case WM_ERASEBKGND: {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        return w && w->cls->background ? 1 : 0;
    }
    case WM_WINDOWPOSCHANGING:
        if (auto* pos = reinterpret_cast<WINDOWPOS*>(lParam))
            constrainToMinMax(hwnd, *pos);
        return 0;
    case WM_ACTIVATE:
        if (loWord(wParam) != WA_INACTIVE && !isIconic(hwnd))
            setFocus(hwnd);
        return 0;
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (pos)
            sendSizeAndMove(hwnd, !(pos->flags & SWP_NOSIZE), !(pos->flags & SWP_NOMOVE));
        return 0;
    }
    case WM_SETICON:
    case WM_GETICON: {
        // wParam ICON_SMALL (0) or ICON_BIG (1); setting answers the previous icon.
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return 0;
        HICON& slot = wParam ? w->bigIcon : w->smallIcon;
        HICON previous = slot;
        if (message == WM_SETICON) {
            slot = reinterpret_cast<HICON>(lParam);
            if (isTopLevel(*w))
                noteWindowChange(hwnd, eWindowChange::IconChanged);
        }
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_NCHITTEST:
        return HTCLIENT;
    case WM_SETCURSOR:
        return DETAIL::defaultSetCursor(hwnd, lParam) ? 1 : 0;
    case WM_DEVICECHANGE:
        return 1;
    default:
        return 0;
    }
}

LRESULT callWindowProc(WNDPROC proc, HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!proc)
        return 0;
    return proc(hwnd, message, wParam, lParam);
}

WNDPROC setWindowProc(HWND hwnd, WNDPROC proc)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w || !checkWindowThread(*w, "setWindowProc"))
        return nullptr;
    if (!proc) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    return std::exchange(w->proc, proc);
}

WNDPROC getWindowProc(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->proc : nullptr;
}

LONG_PTR setWindowUserData(HWND hwnd, LONG_PTR value)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? std::exchange(w->userData, value) : 0;
}

LONG_PTR getWindowUserData(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->userData : 0;
}

namespace {

// Reads the extra word at `offset` and, with `value`, replaces it; returns the old word.
LONG_PTR exchangeExtra(HWND hwnd, int offset, const LONG_PTR* value)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return 0;
    if (offset < 0 || static_cast<size_t>(offset) + sizeof(LONG_PTR) > w->extra.size()) {
        setLastError(ERROR_INVALID_INDEX);
        return 0;
    }
    LONG_PTR old;
    std::memcpy(&old, w->extra.data() + offset, sizeof old);
    if (value)
        std::memcpy(w->extra.data() + offset, value, sizeof *value);
    return old;
}

}  // namespace

LONG_PTR setWindowExtra(HWND hwnd, int offset, LONG_PTR value)
{
    return exchangeExtra(hwnd, offset, &value);
}

LONG_PTR getWindowExtra(HWND hwnd, int offset)
{
    return exchangeExtra(hwnd, offset, nullptr);
}

DWORD getWindowStyle(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->style : 0;
}

DWORD getWindowExStyle(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->exStyle : 0;
}

UINT_PTR getWindowId(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->id : 0;
}

bool setWindowText(HWND hwnd, const WString& text)
{
    if (!isWindow(hwnd)) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return sendMessage(hwnd, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text.c_str())) != 0;
}

WString getWindowText(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->text : WString();
}

HWND getParent(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return nullptr;
    return w->parent ? w->parent : w->owner;
}

HWND getRootWindow(HWND hwnd)
{
    auto lock = kernelLock();
    return rootOfLocked(windowOrFail(hwnd));
}

std::vector<HWND> getTopLevelWindows()
{
    auto lock = kernelLock();
    return windowSystem().topLevel;
}

std::vector<HWND> getChildWindows(HWND parent)
{
    auto lock = kernelLock();
    auto w = windowOrFail(parent);
    return w ? w->children : std::vector<HWND>();
}

HWND findWindow(const WString& className, const WString& title)
{
    return findWindowEx(nullptr, nullptr, className, title);
}

HWND findWindowEx(HWND parent, HWND childAfter, const WString& className, const WString& title)
{
    auto lock = kernelLock();
    WindowSystem& s = windowSystem();
    const std::vector<HWND>* list = &s.topLevel;
    if (parent == HWND_MESSAGE) {
        list = &s.messageOnly;
    } else if (parent) {
        auto p = windowOrFail(parent);
        if (!p)
            return nullptr;
        list = &p->children;
    }
    auto it = list->begin();
    if (childAfter) {
        it = std::find(list->begin(), list->end(), childAfter);
        if (it == list->end())
            return nullptr;
        ++it;
    }
    WString key = foldCase(className);
    for (; it != list->end(); ++it) {
        auto w = findWindowLocked(*it);
        if (w && matches(*w, key, title, className.empty(), title.empty()))
            return w->hwnd;
    }
    return nullptr;
}

}  // namespace HA::OS
