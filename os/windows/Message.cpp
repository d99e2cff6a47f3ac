#include "os/windows/Message.h"

#include <algorithm>
#include <array>

#include "os/kernel/Kernel.h"
#include "os/windows/DisplayHooks.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

namespace {

constexpr size_t kPostedLimit = 10000;

// Key state of the calling thread, as of the last input message it took.
thread_local std::array<BYTE, 256> tKeyState{};

void threadEnded(const std::shared_ptr<ThreadQueue>& q)
{
    auto lock = kernelLock();
    WindowSystem& s = windowSystem();
    q->gone = true;
    for (auto& m : q->sent)
        m->done = true;
    q->sent.clear();
    std::vector<std::shared_ptr<WindowRec>> windows;
    for (auto& [handle, w] : s.windows)
        if (w->thread == q->thread)
            windows.push_back(w);
    for (auto& w : windows)
        forgetWindowLocked(*w);
    s.timers.erase(std::remove_if(s.timers.begin(), s.timers.end(),
                                  [&](const TimerRec& t) { return t.thread == q->thread; }),
                   s.timers.end());
    s.queues.erase(q->thread);
    Clock::notifyAll();
}

struct QueueHolder {
    std::shared_ptr<ThreadQueue> queue;
    ~QueueHolder()
    {
        if (queue)
            threadEnded(queue);
    }
};
thread_local QueueHolder tQueue;

bool inRange(UINT message, UINT first, UINT last)
{
    return (first == 0 && last == 0) || (message >= first && message <= last);
}

bool matchesWindow(HWND hwnd, HWND filter)
{
    if (!filter)
        return true;
    if (filter == HWND_THREAD_MESSAGES)
        return hwnd == nullptr;
    return hwnd == filter;
}

void noteKeyState(const MSG& m)
{
    auto press = [](int vk) {
        BYTE& k = tKeyState[static_cast<size_t>(vk) & 0xFF];
        if (!(k & 0x80))
            k ^= 0x01;
        k |= 0x80;
    };
    auto release = [](int vk) { tKeyState[static_cast<size_t>(vk) & 0xFF] &= static_cast<BYTE>(~0x80); };
    auto generic = [](int vk) {
        switch (vk) {
        case VK_LSHIFT:
        case VK_RSHIFT:
            return VK_SHIFT;
        case VK_LCONTROL:
        case VK_RCONTROL:
            return VK_CONTROL;
        case VK_LMENU:
        case VK_RMENU:
            return VK_MENU;
        default:
            return vk;
        }
    };
    int vk = static_cast<int>(m.wParam & 0xFF);
    switch (m.message) {
    case WM_KEYDOWN:
    case WM_SYSKEYDOWN:
        press(vk);
        press(generic(vk));
        break;
    case WM_KEYUP:
    case WM_SYSKEYUP:
        release(vk);
        release(generic(vk));
        break;
    case WM_LBUTTONDOWN:
        press(VK_LBUTTON);
        break;
    case WM_LBUTTONUP:
        release(VK_LBUTTON);
        break;
    case WM_RBUTTONDOWN:
        press(VK_RBUTTON);
        break;
    case WM_RBUTTONUP:
        release(VK_RBUTTON);
        break;
    case WM_MBUTTONDOWN:
        press(VK_MBUTTON);
        break;
    case WM_MBUTTONUP:
        release(VK_MBUTTON);
        break;
    default:
        break;
    }
}

bool takeFromLocked(std::deque<MSG>& list, HWND filter, UINT first, UINT last, bool remove, MSG& out)
{
    for (auto it = list.begin(); it != list.end(); ++it) {
        if (matchesWindow(it->hwnd, filter) && inRange(it->message, first, last)) {
            out = *it;
            if (remove)
                list.erase(it);
            return true;
        }
    }
    return false;
}

constexpr TimeMs kNoTimers = INT64_MIN;

// A presenter's wait for display events replaces the clock's wait when it serves the
// thread. Releases the lock while it runs; true when it waited.
bool displayWaitLocked(std::unique_lock<std::mutex>& lock, TimeMs deadline)
{
    const DisplayHooks* hooks = displayHooks();
    if (!hooks || !hooks->idleWait)
        return false;
    lock.unlock();
    bool waited = hooks->idleWait(deadline);
    lock.lock();
    return waited;
}

// The next message for the filter, in delivery order. Sent messages are not taken here.
// `now` kNoTimers leaves timers out (the wait's readiness test; timers end a wait by its
// deadline instead).
bool findMessageLocked(ThreadQueue& q, HWND filter, UINT first, UINT last, bool remove, TimeMs now, MSG& out)
{
    if (takeFromLocked(q.posted, filter, first, last, remove, out))
        return true;
    if (takeFromLocked(q.input, filter, first, last, remove, out)) {
        if (remove)
            noteKeyState(out);
        return true;
    }
    if (inRange(WM_PAINT, first, last) && filter != HWND_THREAD_MESSAGES) {
        for (auto& [handle, w] : windowSystem().windows) {
            if (w->thread == q.thread && w->hasUpdate && matchesWindow(w->hwnd, filter) && visibleChainLocked(*w)) {
                out = MSG{w->hwnd, WM_PAINT, 0, 0, 0, POINT{0, 0}};
                return true;
            }
        }
    }
    if (now != kNoTimers && takeTimerMessageLocked(q.thread, filter, first, last, now, remove, out))
        return true;
    if (q.quit && inRange(WM_QUIT, first, last) && (!filter || filter == HWND_THREAD_MESSAGES)) {
        out = MSG{nullptr, WM_QUIT, static_cast<WPARAM>(q.exitCode), 0, 0, POINT{0, 0}};
        if (remove)
            q.quit = false;
        return true;
    }
    return false;
}

// The readiness test of a wait for messages: timers end a wait by its deadline instead.
bool somethingWaitsLocked(ThreadQueue& q, HWND filter, UINT first, UINT last)
{
    MSG probe;
    return !q.sent.empty() || findMessageLocked(q, filter, first, last, false, kNoTimers, probe);
}

// Delivers one message sent from another thread (or by the system). Releases the lock
// while the procedure runs.
void deliverSentLocked(std::unique_lock<std::mutex>& lock, const std::shared_ptr<SentMessage>& m)
{
    auto w = findWindowLocked(m->hwnd);
    WNDPROC proc = w ? w->proc : nullptr;
    LRESULT result = 0;
    if (proc) {
        lock.unlock();
        result = proc(m->hwnd, m->message, m->wParam, m->lParam);
        lock.lock();
    }
    m->result = result;
    m->done = true;
    m->payload.reset();
    Clock::notifyAll();
}

bool deliverOneSentLocked(std::unique_lock<std::mutex>& lock, ThreadQueue& q)
{
    if (q.sent.empty())
        return false;
    auto m = q.sent.front();
    q.sent.pop_front();
    deliverSentLocked(lock, m);
    return true;
}

bool validFilter(HWND filter)
{
    if (!filter || filter == HWND_THREAD_MESSAGES)
        return true;
    auto lock = kernelLock();
    auto w = findWindowLocked(filter);
    return w && w->thread == currentThreadId();
}

bool postToLocked(ThreadQueue& q, const MSG& m, bool input)
{
    auto& list = input ? q.input : q.posted;
    if (list.size() >= kPostedLimit) {
        setLastError(ERROR_NOT_ENOUGH_QUOTA);
        return false;
    }
    list.push_back(m);
    Clock::notifyAll();
    return true;
}

}  // namespace

namespace DETAIL {

std::shared_ptr<ThreadQueue> currentQueue()
{
    if (!tQueue.queue) {
        auto q = std::make_shared<ThreadQueue>();
        q->thread = currentThreadId();
        auto lock = kernelLock();
        windowSystem().queues[q->thread] = q;
        tQueue.queue = q;
    }
    return tQueue.queue;
}

std::shared_ptr<ThreadQueue> queueOfLocked(DWORD thread)
{
    auto& queues = windowSystem().queues;
    auto it = queues.find(thread);
    return it == queues.end() ? nullptr : it->second;
}

void queueSystemSentLocked(const WindowRec& window, UINT message, WPARAM wParam, LPARAM lParam,
                           std::shared_ptr<void> payload)
{
    auto q = queueOfLocked(window.thread);
    if (!q || q->gone)
        return;
    auto m = std::make_shared<SentMessage>();
    m->hwnd = window.hwnd;
    m->message = message;
    m->wParam = wParam;
    m->lParam = lParam;
    m->payload = std::move(payload);
    q->sent.push_back(std::move(m));
    Clock::notifyAll();
}

}  // namespace DETAIL

namespace {

// The calling thread's wait for its next message for the filter, delivering what other
// threads send meanwhile: the message is taken (eTake::Remove) or left in the queue, and
// copied to `out`. False when the deadline passes first (kForever: it never does). The
// presenter's wait for display events stands in for the clock's when it serves the thread.
enum class eTake { Remove, Leave };
bool nextMessageUntil(TimeMs deadline, HWND filter, UINT first, UINT last, eTake take, MSG& out)
{
    auto q = currentQueue();
    for (;;) {
        TimeMs now = Clock::now();
        auto lock = kernelLock();
        if (deliverOneSentLocked(lock, *q))
            continue;
        if (findMessageLocked(*q, filter, first, last, take == eTake::Remove, now, out))
            return true;
        if (now >= deadline)
            return false;
        TimeMs until = std::min(deadline, nextTimerDueLocked(q->thread, filter, first, last));
        if (displayWaitLocked(lock, until))
            continue;
        Clock::waitUntil(lock, until, [&] { return somethingWaitsLocked(*q, filter, first, last); });
    }
}

}  // namespace

bool DETAIL::waitForMessageUntil(TimeMs deadline, HWND filter, UINT first, UINT last)
{
    MSG m;
    return nextMessageUntil(deadline, filter, first, last, eTake::Leave, m);
}

int getMessage(MSG& msg, HWND filter, UINT first, UINT last)
{
    if (!validFilter(filter)) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return -1;
    }
    nextMessageUntil(kForever, filter, first, last, eTake::Remove, msg);
    return msg.message == WM_QUIT ? 0 : 1;
}

bool peekMessage(MSG& msg, HWND filter, UINT first, UINT last, UINT remove)
{
    if (!validFilter(filter)) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    auto q = currentQueue();
    TimeMs now = Clock::now();
    auto lock = kernelLock();
    while (deliverOneSentLocked(lock, *q)) {
    }
    return findMessageLocked(*q, filter, first, last, (remove & PM_REMOVE) != 0, now, msg);
}

namespace {

bool postToWindow(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam, bool input)
{
    DWORD time = Clock::tickCount();
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    auto q = queueOfLocked(w->thread);
    if (!q || q->gone) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return false;
    }
    return postToLocked(*q, MSG{hwnd, message, wParam, lParam, time, POINT{0, 0}}, input);
}

}  // namespace

bool postMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    if (!hwnd)
        return postThreadMessage(currentQueue()->thread, message, wParam, lParam);
    return postToWindow(hwnd, message, wParam, lParam, false);
}

bool postThreadMessage(DWORD threadId, UINT message, WPARAM wParam, LPARAM lParam)
{
    DWORD time = Clock::tickCount();
    auto lock = kernelLock();
    auto q = queueOfLocked(threadId);
    if (!q || q->gone) {
        setLastError(ERROR_INVALID_THREAD_ID);
        return false;
    }
    return postToLocked(*q, MSG{nullptr, message, wParam, lParam, time, POINT{0, 0}}, false);
}

bool queueInputMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    return postToWindow(hwnd, message, wParam, lParam, true);
}

LRESULT sendMessage(HWND hwnd, UINT message, WPARAM wParam, LPARAM lParam)
{
    auto me = currentQueue();
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return 0;
    if (w->thread == me->thread) {
        WNDPROC proc = w->proc;
        lock.unlock();
        return proc ? proc(hwnd, message, wParam, lParam) : 0;
    }
    auto target = queueOfLocked(w->thread);
    if (!target || target->gone) {
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
        return 0;
    }
    auto m = std::make_shared<SentMessage>();
    m->hwnd = hwnd;
    m->message = message;
    m->wParam = wParam;
    m->lParam = lParam;
    target->sent.push_back(m);
    Clock::notifyAll();
    // Messages sent to this thread meanwhile are delivered, so two threads that send to
    // each other do not deadlock.
    for (;;) {
        Clock::waitUntil(lock, kForever, [&] { return m->done || !me->sent.empty(); });
        if (m->done)
            break;
        deliverOneSentLocked(lock, *me);
    }
    if (!findWindowLocked(hwnd) && m->result == 0)
        setLastError(ERROR_INVALID_WINDOW_HANDLE);
    return m->result;
}

void postQuitMessage(int exitCode)
{
    auto q = currentQueue();
    auto lock = kernelLock();
    q->quit = true;
    q->exitCode = exitCode;
    Clock::notifyAll();
}

namespace DETAIL {

void resetThreadKeyState() { tKeyState.fill(0); }

}  // namespace DETAIL

bool getKeyboardState(BYTE* state)
{
    if (!state) {
        setLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::copy(tKeyState.begin(), tKeyState.end(), state);
    return true;
}

LRESULT dispatchMessage(const MSG& msg)
{
    if (msg.message == WM_TIMER && msg.lParam) {
        auto proc = reinterpret_cast<TIMERPROC>(msg.lParam);
        bool exists;
        {
            auto lock = kernelLock();
            exists = timerExistsLocked(currentThreadId(), msg.hwnd, msg.wParam, proc);
        }
        if (exists)
            proc(msg.hwnd, WM_TIMER, msg.wParam, msg.time);
        return 0;
    }
    if (!msg.hwnd)
        return 0;
    WNDPROC proc;
    {
        auto lock = kernelLock();
        auto w = windowOrFail(msg.hwnd);
        if (!w || !checkWindowThread(*w, "dispatchMessage"))
            return 0;
        proc = w->proc;
    }
    return proc ? proc(msg.hwnd, msg.message, msg.wParam, msg.lParam) : 0;
}

std::int16_t getKeyState(int virtualKey)
{
    BYTE k = tKeyState[static_cast<size_t>(virtualKey) & 0xFF];
    return static_cast<std::int16_t>(((k & 0x80) ? 0x8000 : 0) | (k & 0x01));
}

LRESULT sendCopyData(HWND to, HWND from, const COPYDATASTRUCT& data)
{
    return sendMessage(to, WM_COPYDATA, reinterpret_cast<WPARAM>(from), reinterpret_cast<LPARAM>(&data));
}

}  // namespace HA::OS
