#include "os/Window.h"

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <utility>

#include "os/Kernel.h"
#include "os/Message.h"
#include "os/Text.h"
#include "os/WindowFaults.h"
#include "os/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

constexpr SIZE kScreen{1920, 1080};
constexpr RECT kWorkArea{0, 0, 1920, 1040};
constexpr int kCaptionHeight = 23;
constexpr int kMenuHeight = 20;
constexpr POINT kDefaultPosition{100, 100};
constexpr SIZE kDefaultSize{960, 640};
constexpr POINT kIconicPosition{-32000, -32000};
constexpr SIZE kIconicSize{160, 28};

WString classKey(const WString& name)
{
    WString key = name;
    for (WChar& c : key)
        c = charUpper(c);
    return key;
}

LRESULT staticWindowProc(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return defWindowProc(hwnd, message, wParam, lParam);
}

bool isTopLevel(const WindowRec& w) { return !(w.style & WS_CHILD) && !w.messageOnly; }

RECT frameInsets(DWORD style, DWORD exStyle, bool hasMenu)
{
    int border = 0;
    if (style & WS_THICKFRAME)
        border = 8;
    else if ((style & WS_DLGFRAME) || (exStyle & WS_EX_DLGMODALFRAME))
        border = 3;
    else if (style & WS_BORDER)
        border = 1;
    if (exStyle & WS_EX_CLIENTEDGE)
        border += 2;
    int top = border;
    if ((style & WS_CAPTION) == WS_CAPTION)
        top += kCaptionHeight;
    if (hasMenu && !(style & WS_CHILD))
        top += kMenuHeight;
    return RECT{border, top, border, border};
}

void shrinkByFrame(RECT& r, const WindowRec& w)
{
    RECT f = frameInsets(w.style, w.exStyle, w.menu != nullptr);
    r.left += f.left;
    r.top += f.top;
    r.right = std::max(r.left, r.right - f.right);
    r.bottom = std::max(r.top, r.bottom - f.bottom);
}

// Screen offset of a window's coordinate space (its parent's client origin).
POINT originOfLocked(const WindowRec& w)
{
    POINT o{0, 0};
    HWND p = w.parent;
    while (p) {
        auto parent = findWindowLocked(p);
        if (!parent)
            break;
        o.x += parent->client.left;
        o.y += parent->client.top;
        p = parent->parent;
    }
    return o;
}

void invalidateAllLocked(WindowRec& w, bool erase)
{
    w.hasUpdate = true;
    w.eraseUpdate = w.eraseUpdate || erase;
    w.update = RECT{0, 0, w.client.right - w.client.left, w.client.bottom - w.client.top};
    Clock::notifyAll();
}

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

bool matches(const WindowRec& w, const WString& classUpper, const WString& title, bool anyClass, bool anyTitle)
{
    return (anyClass || w.cls->key == classUpper) && (anyTitle || w.text == title);
}

LRESULT send(HWND hwnd, UINT message, WPARAM wParam, const void* record)
{
    return sendMessage(hwnd, message, wParam, reinterpret_cast<LPARAM>(record));
}

void sendSizeAndMove(HWND hwnd, bool sized, bool moved)
{
    RECT client{};
    POINT origin{};
    bool minimized = false, maximized = false;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return;
        client = w->client;
        origin = POINT{client.left, client.top};
        minimized = w->minimized;
        maximized = w->maximized;
    }
    if (sized) {
        WPARAM kind = minimized ? SIZE_MINIMIZED : maximized ? SIZE_MAXIMIZED : SIZE_RESTORED;
        LPARAM size = minimized ? 0 : makeLParam(client.right - client.left, client.bottom - client.top);
        sendMessage(hwnd, WM_SIZE, kind, size);
    }
    if (moved)
        sendMessage(hwnd, WM_MOVE, 0, makeLParam(origin.x, origin.y));
}

// Moves, sizes, reorders, shows or hides a window with WM_WINDOWPOSCHANGING,
// WM_NCCALCSIZE (on a size change) and WM_WINDOWPOSCHANGED around the change.
bool applyWindowPos(HWND hwnd, HWND insertAfter, RECT target, UINT flags)
{
    WINDOWPOS pos{};
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w)
            return false;
        if (flags & SWP_NOMOVE) {
            target.right = w->rect.left + (target.right - target.left);
            target.bottom = w->rect.top + (target.bottom - target.top);
            target.left = w->rect.left;
            target.top = w->rect.top;
        }
        if (flags & SWP_NOSIZE) {
            target.right = target.left + (w->rect.right - w->rect.left);
            target.bottom = target.top + (w->rect.bottom - w->rect.top);
        }
        pos = WINDOWPOS{hwnd, insertAfter, target.left, target.top, target.right - target.left,
                        target.bottom - target.top, flags};
    }
    send(hwnd, WM_WINDOWPOSCHANGING, 0, &pos);

    NCCALCSIZE_PARAMS calc{};
    bool sized = false, moved = false;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return false;
        RECT next{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
        sized = (next.right - next.left) != (w->rect.right - w->rect.left) ||
                (next.bottom - next.top) != (w->rect.bottom - w->rect.top);
        moved = next.left != w->rect.left || next.top != w->rect.top;
        calc.rgrc[0] = next;
        calc.rgrc[1] = w->rect;
        calc.rgrc[2] = w->client;
        calc.lppos = &pos;
    }
    if (sized || moved || (flags & SWP_FRAMECHANGED))
        send(hwnd, WM_NCCALCSIZE, 1, &calc);
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return false;
        if (sized || moved || (flags & SWP_FRAMECHANGED)) {
            w->rect = RECT{pos.x, pos.y, pos.x + std::max(0, pos.cx), pos.y + std::max(0, pos.cy)};
            RECT c = calc.rgrc[0];
            c.right = std::max(c.left, c.right);
            c.bottom = std::max(c.top, c.bottom);
            w->client = c;
        }
        if (!(pos.flags & SWP_NOZORDER)) {
            if (auto* list = siblingsLocked(*w)) {
                removeFromList(*list, hwnd);
                auto at = list->begin();
                if (pos.hwndInsertAfter == HWND_BOTTOM)
                    at = list->end();
                else if (pos.hwndInsertAfter != HWND_TOP) {
                    auto it = std::find(list->begin(), list->end(), pos.hwndInsertAfter);
                    at = it == list->end() ? list->begin() : it + 1;
                }
                list->insert(at, hwnd);
            }
        }
        bool wasVisible = (w->style & WS_VISIBLE) != 0;
        if (pos.flags & SWP_SHOWWINDOW)
            w->style |= WS_VISIBLE;
        if (pos.flags & SWP_HIDEWINDOW)
            w->style &= ~WS_VISIBLE;
        bool nowVisible = (w->style & WS_VISIBLE) != 0;
        if ((nowVisible && !wasVisible) || (sized && !(pos.flags & SWP_NOREDRAW)))
            invalidateAllLocked(*w, true);
        if (!sized)
            pos.flags |= SWP_NOSIZE;
        if (!moved)
            pos.flags |= SWP_NOMOVE;
    }
    send(hwnd, WM_WINDOWPOSCHANGED, 0, &pos);
    return true;
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
        auto cls = std::make_shared<ClassRec>();
        cls->name = u"Static";
        cls->key = classKey(cls->name);
        cls->atom = ws->nextAtom++;
        cls->proc = &staticWindowProc;
        ws->classes.emplace(cls->key, cls);
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
    if (s.foreground == w.hwnd)
        s.foreground = nullptr;
    s.windows.erase(reinterpret_cast<std::uintptr_t>(w.hwnd));
    Clock::notifyAll();
}

}  // namespace DETAIL

ATOM registerClass(const WNDCLASSEXW& wc)
{
    if (wc.lpszClassName.empty() || !wc.lpfnWndProc || wc.cbClsExtra < 0 || wc.cbWndExtra < 0 ||
        wc.cbWndExtra > 40000 || wc.cbClsExtra > 40000) {
        setLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (DWORD fault = takeWindowFault(eWindowFault::RegisterClass, wc.lpszClassName)) {
        setLastError(fault);
        return 0;
    }
    auto lock = kernelLock();
    WindowSystem& s = windowSystem();
    WString key = classKey(wc.lpszClassName);
    if (s.classes.count(key)) {
        setLastError(ERROR_CLASS_ALREADY_EXISTS);
        return 0;
    }
    auto cls = std::make_shared<ClassRec>();
    cls->name = wc.lpszClassName;
    cls->key = key;
    cls->atom = s.nextAtom++;
    if (s.nextAtom == 0)
        s.nextAtom = 0xC000;
    cls->style = wc.style;
    cls->proc = wc.lpfnWndProc;
    cls->classExtraBytes = wc.cbClsExtra;
    cls->windowExtraBytes = wc.cbWndExtra;
    cls->instance = wc.hInstance;
    cls->icon = wc.hIcon;
    cls->smallIcon = wc.hIconSm;
    cls->cursor = wc.hCursor;
    cls->background = wc.hbrBackground;
    s.classes.emplace(key, cls);
    return cls->atom;
}

bool unregisterClass(const WString& className, HINSTANCE)
{
    auto lock = kernelLock();
    WindowSystem& s = windowSystem();
    auto it = s.classes.find(classKey(className));
    if (it == s.classes.end()) {
        setLastError(ERROR_CLASS_DOES_NOT_EXIST);
        return false;
    }
    if (it->second->windows > 0) {
        setLastError(ERROR_CLASS_HAS_WINDOWS);
        return false;
    }
    s.classes.erase(it);
    return true;
}

UINT getClassStyle(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->cls->style : 0;
}

WString getClassName(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    return w ? w->cls->name : WString();
}

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
        auto cls = s.classes.find(classKey(className));
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
        mmi.ptMaxSize = POINT{kWorkArea.right - kWorkArea.left, kWorkArea.bottom - kWorkArea.top};
        mmi.ptMaxPosition = POINT{kWorkArea.left, kWorkArea.top};
        mmi.ptMaxTrackSize = POINT{kScreen.cx, kScreen.cy};
        send(hwnd, WM_GETMINMAXINFO, 0, &mmi);
    }
    auto undo = [hwnd] {
        if (isWindow(hwnd))
            destroyWindow(hwnd);
        setLastError(ERROR_CANCELLED);
        return nullptr;
    };
    if (!isWindow(hwnd))
        return undo();
    if (send(hwnd, WM_NCCREATE, 0, &cs) == 0) {
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
    send(hwnd, WM_NCCALCSIZE, 0, &calc);
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return undo();
        calc.right = std::max(calc.left, calc.right);
        calc.bottom = std::max(calc.top, calc.bottom);
        w->client = calc;
    }
    if (send(hwnd, WM_CREATE, 0, &cs) == -1 || !isWindow(hwnd))
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
    case WM_WINDOWPOSCHANGED: {
        const auto* pos = reinterpret_cast<const WINDOWPOS*>(lParam);
        if (pos)
            sendSizeAndMove(hwnd, !(pos->flags & SWP_NOSIZE), !(pos->flags & SWP_NOMOVE));
        return 0;
    }
    case WM_MOUSEACTIVATE:
        return MA_ACTIVATE;
    case WM_NCHITTEST:
        return HTCLIENT;
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
    auto w = windowOrFail(hwnd);
    while (w && w->parent) {
        auto p = findWindowLocked(w->parent);
        if (!p)
            break;
        w = p;
    }
    return w ? w->hwnd : nullptr;
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
    WString key = classKey(className);
    for (; it != list->end(); ++it) {
        auto w = findWindowLocked(*it);
        if (w && matches(*w, key, title, className.empty(), title.empty()))
            return w->hwnd;
    }
    return nullptr;
}

bool showWindow(HWND hwnd, int command)
{
    bool wasVisible = false, wasMinimized = false, wasMaximized = false, topLevel = false;
    RECT normal{};
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w || !checkWindowThread(*w, "showWindow"))
            return false;
        wasVisible = (w->style & WS_VISIBLE) != 0;
        wasMinimized = w->minimized;
        wasMaximized = w->maximized;
        topLevel = isTopLevel(*w);
        normal = (wasMinimized || wasMaximized) ? w->normalRect : w->rect;
    }
    if (command == SW_HIDE) {
        if (!wasVisible)
            return false;
        sendMessage(hwnd, WM_SHOWWINDOW, 0, 0);
        applyWindowPos(hwnd, nullptr, RECT{}, SWP_HIDEWINDOW | SWP_NOMOVE | SWP_NOSIZE | SWP_NOZORDER | SWP_NOACTIVATE);
        return true;
    }
    if (!wasVisible)
        sendMessage(hwnd, WM_SHOWWINDOW, 1, 0);
    enum class eTarget { Keep, Normal, Minimized, Maximized } target = eTarget::Keep;
    switch (command) {
    case SW_SHOWNORMAL:
    case SW_RESTORE:
    case SW_SHOWDEFAULT:
        target = (wasMinimized || wasMaximized) ? eTarget::Normal : eTarget::Keep;
        break;
    case SW_SHOWMINIMIZED:
    case SW_MINIMIZE:
    case SW_SHOWMINNOACTIVE:
        target = eTarget::Minimized;
        break;
    case SW_SHOWMAXIMIZED:
        target = eTarget::Maximized;
        break;
    default:
        break;
    }
    RECT rect{};
    UINT flags = SWP_SHOWWINDOW | SWP_NOZORDER | SWP_NOACTIVATE;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return wasVisible;
        switch (target) {
        case eTarget::Keep:
            flags |= SWP_NOMOVE | SWP_NOSIZE;
            break;
        case eTarget::Normal:
            w->minimized = w->maximized = false;
            rect = normal;
            break;
        case eTarget::Minimized:
            if (!wasMinimized && !wasMaximized)
                w->normalRect = w->rect;
            w->minimized = true;
            w->maximized = false;
            rect = RECT{kIconicPosition.x, kIconicPosition.y, kIconicPosition.x + kIconicSize.cx,
                        kIconicPosition.y + kIconicSize.cy};
            break;
        case eTarget::Maximized: {
            if (!wasMinimized && !wasMaximized)
                w->normalRect = w->rect;
            w->minimized = false;
            w->maximized = true;
            RECT f = frameInsets(w->style, w->exStyle, w->menu != nullptr);
            rect = RECT{kWorkArea.left - f.left, kWorkArea.top - f.left, kWorkArea.right + f.right,
                        kWorkArea.bottom + f.bottom};
            break;
        }
        }
    }
    applyWindowPos(hwnd, nullptr, rect, flags);
    bool activate = command != SW_SHOWNA && command != SW_SHOWNOACTIVATE && command != SW_SHOWMINNOACTIVE &&
                    command != SW_MINIMIZE;
    if (topLevel && activate) {
        auto lock = kernelLock();
        if (findWindowLocked(hwnd))
            windowSystem().foreground = hwnd;
    }
    return wasVisible;
}

bool isWindowVisible(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    return w && visibleChainLocked(*w);
}

bool isIconic(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    return w && w->minimized;
}

bool isZoomed(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = findWindowLocked(hwnd);
    return w && w->maximized;
}

bool setForegroundWindow(HWND hwnd)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    while (w->parent) {
        auto p = findWindowLocked(w->parent);
        if (!p)
            break;
        w = p;
    }
    windowSystem().foreground = w->hwnd;
    return true;
}

HWND getForegroundWindow()
{
    auto lock = kernelLock();
    return windowSystem().foreground;
}

bool getWindowRect(HWND hwnd, RECT& rect)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    POINT o = originOfLocked(*w);
    rect = RECT{w->rect.left + o.x, w->rect.top + o.y, w->rect.right + o.x, w->rect.bottom + o.y};
    return true;
}

bool getClientRect(HWND hwnd, RECT& rect)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    rect = RECT{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    return true;
}

bool setWindowPos(HWND hwnd, HWND insertAfter, int x, int y, int width, int height, UINT flags)
{
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w || !checkWindowThread(*w, "setWindowPos"))
            return false;
    }
    return applyWindowPos(hwnd, insertAfter, RECT{x, y, x + width, y + height}, flags);
}

bool moveWindow(HWND hwnd, int x, int y, int width, int height, bool repaint)
{
    return setWindowPos(hwnd, nullptr, x, y, width, height,
                        SWP_NOZORDER | SWP_NOACTIVATE | (repaint ? 0u : SWP_NOREDRAW));
}

bool clientToScreen(HWND hwnd, POINT& point)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    POINT o = originOfLocked(*w);
    point.x += w->client.left + o.x;
    point.y += w->client.top + o.y;
    return true;
}

bool screenToClient(HWND hwnd, POINT& point)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    POINT o = originOfLocked(*w);
    point.x -= w->client.left + o.x;
    point.y -= w->client.top + o.y;
    return true;
}

bool adjustWindowRectEx(RECT& rect, DWORD style, bool hasMenu, DWORD exStyle)
{
    RECT f = frameInsets(style, exStyle, hasMenu);
    rect.left -= f.left;
    rect.top -= f.top;
    rect.right += f.right;
    rect.bottom += f.bottom;
    return true;
}

RECT getWorkArea()
{
    return kWorkArea;
}

SIZE getScreenSize()
{
    return kScreen;
}

}  // namespace HA::OS
