#include "os/windows/input/Input.h"

#include <algorithm>
#include <array>
#include <cstdlib>
#include <cstring>
#include <map>
#include <mutex>
#include <utility>
#include <vector>

#include "os/kernel/Kernel.h"
#include "os/windows/icons/Icon.h"
#include "os/windows/input/Keyboard.h"
#include "os/windows/Message.h"
#include "os/windows/Monitors.h"
#include "os/windows/input/MouseTracking.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

constexpr std::size_t kRawPacketsKept = 256;

// The injector's state; its own lock, never held while a message is sent or queued.
struct InputState {
    std::mutex mutex;
    std::array<BYTE, 256> async{};  // bit 7 down, bit 0 toggled, bit 1 pressed since the last query
    POINT pointer{0, 0};
    HCURSOR cursor = nullptr;
    bool cursorSet = false;  // until set, the current cursor is the arrow
    HWND under = nullptr;    // the window whose client area had the pointer last
    // The last press, for double clicks.
    HWND pressWindow = nullptr;
    int pressButton = 0;
    bool pressClient = false;
    DWORD pressTime = 0;
    POINT pressAt{0, 0};
    int mouseSpeed = 10;
    bool rawRegistered = false;
    HWND rawTarget = nullptr;
    DWORD rawThread = 0;
    std::map<std::uintptr_t, RAWINPUT> packets;
    std::uintptr_t nextPacket = 0x7A000001;
};

InputState& state()
{
    static auto* s = new InputState;
    return *s;
}

bool asyncDownLocked(const InputState& s, int vk) { return (s.async[static_cast<std::size_t>(vk) & 0xFF] & 0x80) != 0; }

void pressLocked(InputState& s, int vk, bool down)
{
    BYTE& k = s.async[static_cast<std::size_t>(vk) & 0xFF];
    if (down) {
        if (!(k & 0x80))
            k ^= 0x01;
        k |= 0x80 | 0x02;
    } else {
        k &= static_cast<BYTE>(~0x80);
    }
}

RECT virtualScreen()
{
    const int x = getSystemMetrics(SM_XVIRTUALSCREEN);
    const int y = getSystemMetrics(SM_YVIRTUALSCREEN);
    return RECT{x, y, x + getSystemMetrics(SM_CXVIRTUALSCREEN), y + getSystemMetrics(SM_CYVIRTUALSCREEN)};
}

POINT clampToScreen(int x, int y)
{
    const RECT v = virtualScreen();
    return POINT{std::clamp(x, static_cast<int>(v.left), static_cast<int>(v.right) - 1),
                 std::clamp(y, static_cast<int>(v.top), static_cast<int>(v.bottom) - 1)};
}

bool contains(const RECT& r, POINT p) { return p.x >= r.left && p.x < r.right && p.y >= r.top && p.y < r.bottom; }

// Where a screen point falls: the window, its hit code and the client origin on the screen.
struct Hit {
    HWND hwnd = nullptr;
    LRESULT code = HTNOWHERE;
    POINT origin{0, 0};
    UINT classStyle = 0;
};

bool showsLocked(const WindowRec& w) { return (w.style & WS_VISIBLE) && !w.minimized; }

// `p` in the coordinates the window's rectangles use; `offset` turns them into screen ones.
Hit hitInLocked(const std::shared_ptr<WindowRec>& w, POINT p, POINT offset)
{
    Hit hit;
    hit.hwnd = w->hwnd;
    hit.classStyle = w->cls ? w->cls->style : 0;
    hit.origin = POINT{offset.x + w->client.left, offset.y + w->client.top};
    if (!contains(w->client, p)) {
        // The caption is the band above the client area; the rest of the frame is border.
        const bool caption = (w->style & WS_CAPTION) == WS_CAPTION && p.y < w->client.top;
        hit.code = caption ? HTCAPTION : HTBORDER;
        return hit;
    }
    hit.code = HTCLIENT;
    const POINT inner{p.x - w->client.left, p.y - w->client.top};
    for (HWND c : w->children) {
        auto child = findWindowLocked(c);
        if (child && showsLocked(*child) && contains(child->rect, inner))
            return hitInLocked(child, inner, hit.origin);
    }
    return hit;
}

Hit windowAtLocked(POINT screen)
{
    for (HWND h : windowSystem().topLevel) {
        auto w = findWindowLocked(h);
        if (w && w->life == eLife::Alive && showsLocked(*w) && contains(w->rect, screen))
            return hitInLocked(w, screen, POINT{0, 0});
    }
    return Hit{};
}

HWND captureLocked()
{
    for (auto& [thread, q] : windowSystem().queues)
        if (q && !q->gone && q->capture && findWindowLocked(q->capture))
            return q->capture;
    return nullptr;
}

// The client origin of a window on the screen.
POINT originLocked(HWND hwnd)
{
    POINT origin{0, 0};
    for (auto w = findWindowLocked(hwnd); w; w = w->parent ? findWindowLocked(w->parent) : nullptr) {
        origin.x += w->client.left;
        origin.y += w->client.top;
        if (!w->parent)
            break;
    }
    return origin;
}

WPARAM mouseKeysLocked(const InputState& s)
{
    WPARAM keys = 0;
    if (asyncDownLocked(s, VK_LBUTTON))
        keys |= MK_LBUTTON;
    if (asyncDownLocked(s, VK_RBUTTON))
        keys |= MK_RBUTTON;
    if (asyncDownLocked(s, VK_MBUTTON))
        keys |= MK_MBUTTON;
    if (asyncDownLocked(s, VK_SHIFT))
        keys |= MK_SHIFT;
    if (asyncDownLocked(s, VK_CONTROL))
        keys |= MK_CONTROL;
    return keys;
}

// What one pointer event delivers, decided under the locks and carried out after.
struct PointerPlan {
    HWND setCursorTo = nullptr;
    LPARAM setCursorParam = 0;
    HWND leave = nullptr;
    // The ancestors told of a press on a child window: window, point in its client area.
    std::vector<std::pair<HWND, POINT>> notify;
    HWND target = nullptr;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;
};

// `clientMessage` is the client-area message; `ncMessage` the non-client one (0: none).
PointerPlan planPointer(POINT at, UINT clientMessage, UINT ncMessage, int pressButton, bool press)
{
    InputState& s = state();
    PointerPlan plan;
    const DWORD now = Clock::tickCount();  // takes the kernel lock itself
    auto kernel = kernelLock();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.pointer = at;
    const HWND capture = captureLocked();
    const Hit under = windowAtLocked(at);
    const HWND clientUnder = under.code == HTCLIENT ? under.hwnd : nullptr;
    if (s.under != clientUnder && s.under != capture) {
        plan.leave = s.under;
        s.under = clientUnder;
    } else if (!s.under) {
        s.under = clientUnder;
    }
    Hit hit = under;
    if (capture) {
        auto w = findWindowLocked(capture);
        hit = Hit{capture, HTCLIENT, originLocked(capture), w && w->cls ? w->cls->style : 0};
    } else if (under.hwnd) {
        plan.setCursorTo = under.hwnd;
        plan.setCursorParam = makeLParam(static_cast<int>(under.code), static_cast<int>(clientMessage));
    }
    if (!hit.hwnd)
        return plan;
    // A disabled window (an owner under a modal box) takes no pointer input.
    if (auto w = findWindowLocked(hit.hwnd); w && !enabledChainLocked(*w))
        return plan;
    const bool client = hit.code == HTCLIENT;
    if (!client && !ncMessage)
        return plan;
    UINT message = client ? clientMessage : ncMessage;
    if (pressButton && press) {
        const bool twice = s.pressWindow == hit.hwnd && s.pressButton == pressButton && s.pressClient == client &&
                           isDoubleClick(now - s.pressTime, s.pressAt, at) &&
                           (!client || (hit.classStyle & CS_DBLCLKS));
        if (twice) {
            message += 2;  // the double-click message follows press and release
            s.pressWindow = nullptr;
        } else {
            s.pressWindow = hit.hwnd;
            s.pressButton = pressButton;
            s.pressClient = client;
            s.pressTime = now;
            s.pressAt = at;
        }
    }
    if (pressButton && press && client) {
        for (auto w = findWindowLocked(hit.hwnd); w && (w->style & WS_CHILD) && !(w->exStyle & WS_EX_NOPARENTNOTIFY);
             w = findWindowLocked(w->parent)) {
            if (!w->parent)
                break;
            const POINT origin = originLocked(w->parent);
            plan.notify.emplace_back(w->parent, POINT{at.x - origin.x, at.y - origin.y});
        }
    }
    plan.target = hit.hwnd;
    plan.message = message;
    if (client) {
        plan.wParam = mouseKeysLocked(s);
        plan.lParam = makeLParam(at.x - hit.origin.x, at.y - hit.origin.y);
    } else {
        plan.wParam = static_cast<WPARAM>(hit.code);
        plan.lParam = makeLParam(at.x, at.y);
    }
    return plan;
}

bool carryOut(const PointerPlan& plan)
{
    if (plan.leave && takeMouseLeaveTracking(plan.leave))
        queueInputMessage(plan.leave, WM_MOUSELEAVE, 0, 0);
    if (plan.setCursorTo)
        sendMessage(plan.setCursorTo, WM_SETCURSOR, reinterpret_cast<WPARAM>(plan.setCursorTo), plan.setCursorParam);
    if (!plan.target)
        return false;
    for (const auto& [parent, p] : plan.notify)
        sendMessage(parent, WM_PARENTNOTIFY, makeWParam(static_cast<int>(plan.message), 0), makeLParam(p.x, p.y));
    return queueInputMessage(plan.target, plan.message, plan.wParam, plan.lParam);
}

// The window that takes raw packets now, or null.
HWND rawTargetLocked(const InputState& s)
{
    if (!s.rawRegistered)
        return nullptr;
    if (s.rawTarget)
        return findWindowLocked(s.rawTarget) ? s.rawTarget : nullptr;
    auto q = queueOfLocked(s.rawThread);
    if (!q || q->gone)
        return nullptr;
    return q->focus ? q->focus : q->capture;
}

bool queueRaw(RAWINPUT packet)
{
    InputState& s = state();
    HWND target;
    std::uintptr_t id;
    {
        auto kernel = kernelLock();
        std::lock_guard<std::mutex> lock(s.mutex);
        target = rawTargetLocked(s);
        if (!target)
            return false;
        id = s.nextPacket++;
        packet.header.dwSize = sizeof(RAWINPUT);
        s.packets[id] = packet;
        while (s.packets.size() > kRawPacketsKept)
            s.packets.erase(s.packets.begin());
    }
    return queueInputMessage(target, WM_INPUT, RIM_INPUT, static_cast<LPARAM>(id));
}

}  // namespace

std::int16_t getAsyncKeyState(int virtualKey)
{
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    BYTE& k = s.async[static_cast<std::size_t>(virtualKey) & 0xFF];
    const std::int16_t result = static_cast<std::int16_t>(((k & 0x80) ? 0x8000 : 0) | ((k & 0x02) ? 1 : 0));
    k &= static_cast<BYTE>(~0x02);
    return result;
}

HCURSOR setCursor(HCURSOR cursor)
{
    InputState& s = state();
    HCURSOR arrow = loadCursor(nullptr, IDC_ARROW);
    std::lock_guard<std::mutex> lock(s.mutex);
    HCURSOR previous = s.cursorSet ? s.cursor : arrow;
    s.cursor = cursor;
    s.cursorSet = true;
    return previous;
}

HCURSOR getCursor()
{
    InputState& s = state();
    HCURSOR arrow = loadCursor(nullptr, IDC_ARROW);
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.cursorSet ? s.cursor : arrow;
}

bool getCursorPos(POINT& point)
{
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    point = s.pointer;
    return true;
}

bool setCursorPos(int x, int y)
{
    const POINT p = clampToScreen(x, y);
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.pointer = p;
    return true;
}

bool registerRawInputDevices(const RAWINPUTDEVICE* devices, UINT count, UINT size)
{
    if (!devices || size != sizeof(RAWINPUTDEVICE)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    for (UINT i = 0; i < count; ++i) {
        const RAWINPUTDEVICE& d = devices[i];
        if (d.usUsagePage != 1 || d.usUsage != 2 || ((d.dwFlags & RIDEV_REMOVE) && d.hwndTarget)) {
            setLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
    }
    const DWORD thread = currentThreadId();
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    for (UINT i = 0; i < count; ++i) {
        const RAWINPUTDEVICE& d = devices[i];
        s.rawRegistered = !(d.dwFlags & RIDEV_REMOVE);
        s.rawTarget = s.rawRegistered ? d.hwndTarget : nullptr;
        s.rawThread = thread;
    }
    return true;
}

bool isRawMouseRegistered()
{
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    return s.rawRegistered;
}

UINT getRawInputData(HRAWINPUT input, UINT command, void* data, UINT* size, UINT headerSize)
{
    constexpr UINT kFailed = static_cast<UINT>(-1);
    if (command != RID_INPUT || !size || headerSize != sizeof(RAWINPUTHEADER)) {
        setLastError(ERROR_INVALID_PARAMETER);
        return kFailed;
    }
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.packets.find(reinterpret_cast<std::uintptr_t>(input));
    if (it == s.packets.end()) {
        setLastError(ERROR_INVALID_HANDLE);
        return kFailed;
    }
    if (!data) {
        *size = sizeof(RAWINPUT);
        return 0;
    }
    if (*size < sizeof(RAWINPUT)) {
        setLastError(ERROR_INSUFFICIENT_BUFFER);
        return kFailed;
    }
    std::memcpy(data, &it->second, sizeof(RAWINPUT));
    return sizeof(RAWINPUT);
}

bool systemParametersInfo(UINT action, UINT, void* pvParam, UINT)
{
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    if (action == SPI_GETMOUSESPEED && pvParam) {
        *static_cast<int*>(pvParam) = s.mouseSpeed;
        return true;
    }
    if (action == SPI_SETMOUSESPEED) {
        const auto speed = reinterpret_cast<std::intptr_t>(pvParam);
        if (speed >= 1 && speed <= 20) {
            s.mouseSpeed = static_cast<int>(speed);
            return true;
        }
    }
    setLastError(ERROR_INVALID_PARAMETER);
    return false;
}

bool isDoubleClick(DWORD elapsedMs, POINT first, POINT second)
{
    return elapsedMs < kDoubleClickTimeMs && std::abs(second.x - first.x) <= kDoubleClickWidth / 2 &&
           std::abs(second.y - first.y) <= kDoubleClickHeight / 2;
}

namespace DETAIL {

bool defaultSetCursor(HWND hwnd, LPARAM lParam)
{
    HWND parent = nullptr;
    HCURSOR classCursor = nullptr;
    {
        auto lock = kernelLock();
        auto w = findWindowLocked(hwnd);
        if (!w)
            return false;
        parent = w->parent;
        classCursor = w->cls ? w->cls->cursor : nullptr;
    }
    if (parent && sendMessage(parent, WM_SETCURSOR, reinterpret_cast<WPARAM>(hwnd), lParam))
        return true;
    const WORD hit = loWord(static_cast<std::uintptr_t>(lParam));
    if (hit == HTCLIENT) {
        if (classCursor)
            setCursor(classCursor);
    } else {
        setCursor(loadCursor(nullptr, IDC_ARROW));
    }
    return false;
}

}  // namespace DETAIL

namespace INPUT {

bool key(int scanCode, bool down, bool extended)
{
    InputState& s = state();
    auto mine = currentQueue();
    HWND target = nullptr;
    UINT message = 0;
    LPARAM lParam = 0;
    int vk = 0;
    {
        auto kernel = kernelLock();
        std::lock_guard<std::mutex> lock(s.mutex);
        vk = virtualKeyOfScan(scanCode & 0xFF, extended, (s.async[VK_NUMLOCK] & 0x01) != 0);
        if (!vk) {
            setLastError(ERROR_INVALID_PARAMETER);
            return false;
        }
        std::shared_ptr<ThreadQueue> q = mine;
        if (HWND fg = windowSystem().foreground) {
            if (auto w = findWindowLocked(fg))
                if (auto other = queueOfLocked(w->thread))
                    q = other;
        }
        target = q->focus ? q->focus : q->active;
        if (!target) {
            setLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;
        }
        KeyStroke stroke;
        stroke.virtualKey = vk;
        stroke.scanCode = scanCode;
        stroke.extended = extended;
        stroke.down = down;
        stroke.wasDown = asyncDownLocked(s, vk);
        pressLocked(s, vk, down);
        stroke.alt = asyncDownLocked(s, VK_MENU);
        stroke.control = asyncDownLocked(s, VK_CONTROL);
        const KeyMessage m = keyMessageOf(stroke);
        message = m.message;
        lParam = m.lParam;
        if (auto w = findWindowLocked(target); w && !enabledChainLocked(*w)) {
            setLastError(ERROR_INVALID_WINDOW_HANDLE);
            return false;  // the key is down, but a disabled window takes no keys
        }
    }
    return queueInputMessage(target, message, static_cast<WPARAM>(vk), lParam);
}

bool tap(int scanCode, bool extended)
{
    return key(scanCode, true, extended) && key(scanCode, false, extended);
}

bool moveTo(int x, int y)
{
    return carryOut(planPointer(clampToScreen(x, y), WM_MOUSEMOVE, WM_NCMOUSEMOVE, 0, false));
}

bool button(int which, bool down, int x, int y)
{
    UINT client, nonClient;
    int vk;
    switch (which) {
    case 1:
        client = down ? WM_LBUTTONDOWN : WM_LBUTTONUP;
        nonClient = down ? WM_NCLBUTTONDOWN : WM_NCLBUTTONUP;
        vk = VK_LBUTTON;
        break;
    case 2:
        client = down ? WM_RBUTTONDOWN : WM_RBUTTONUP;
        nonClient = down ? WM_NCRBUTTONDOWN : WM_NCRBUTTONUP;
        vk = VK_RBUTTON;
        break;
    case 4:
        client = down ? WM_MBUTTONDOWN : WM_MBUTTONUP;
        nonClient = down ? WM_NCMBUTTONDOWN : WM_NCMBUTTONUP;
        vk = VK_MBUTTON;
        break;
    default:
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    const POINT at = clampToScreen(x, y);
    {
        InputState& s = state();
        std::lock_guard<std::mutex> lock(s.mutex);
        pressLocked(s, vk, down);
    }
    // The pointer gets there first.
    POINT now;
    getCursorPos(now);
    if (now.x != at.x || now.y != at.y)
        moveTo(at.x, at.y);
    return carryOut(planPointer(at, client, nonClient, which, down));
}

bool wheel(int delta, int x, int y)
{
    const POINT at = clampToScreen(x, y);
    PointerPlan plan = planPointer(at, WM_MOUSEWHEEL, 0, 0, false);
    // The wheel has no cursor query and carries the screen position.
    plan.setCursorTo = nullptr;
    if (plan.target) {
        plan.wParam = makeWParam(static_cast<int>(plan.wParam & 0xFFFF), delta);
        plan.lParam = makeLParam(at.x, at.y);
    }
    return carryOut(plan);
}

bool rawMotion(int dx, int dy, std::uint16_t flags)
{
    RAWINPUT packet{};
    packet.header.dwType = RIM_TYPEMOUSE;
    packet.data.mouse.usFlags = flags;
    packet.data.mouse.lLastX = dx;
    packet.data.mouse.lLastY = dy;
    return queueRaw(packet);
}

bool rawKey(int scanCode, int virtualKey)
{
    RAWINPUT packet{};
    packet.header.dwType = RIM_TYPEKEYBOARD;
    packet.data.keyboard.MakeCode = static_cast<std::uint16_t>(scanCode);
    packet.data.keyboard.VKey = static_cast<std::uint16_t>(virtualKey);
    packet.data.keyboard.Message = WM_KEYDOWN;
    return queueRaw(packet);
}

void reset()
{
    activateKeyboardLayout(HKL_US);
    resetThreadKeyState();
    InputState& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    s.async.fill(0);
    s.pointer = POINT{0, 0};
    s.cursor = nullptr;
    s.cursorSet = false;
    s.under = nullptr;
    s.pressWindow = nullptr;
    s.mouseSpeed = 10;
    s.rawRegistered = false;
    s.rawTarget = nullptr;
    s.packets.clear();
}

}  // namespace INPUT

}  // namespace HA::OS
