#include "os/windows/Message.h"

#include <algorithm>

#include "os/kernel/Kernel.h"
#include "os/windows/drawing/Drawing.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

using namespace DETAIL;

bool invalidateRect(HWND hwnd, const RECT* rect, bool erase)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    RECT all{0, 0, w->client.right - w->client.left, w->client.bottom - w->client.top};
    RECT r = rect ? *rect : all;
    r.left = std::max(r.left, all.left);
    r.top = std::max(r.top, all.top);
    r.right = std::min(r.right, all.right);
    r.bottom = std::min(r.bottom, all.bottom);
    if (r.left >= r.right || r.top >= r.bottom)
        return true;
    if (w->hasUpdate) {
        w->update = RECT{std::min(w->update.left, r.left), std::min(w->update.top, r.top),
                         std::max(w->update.right, r.right), std::max(w->update.bottom, r.bottom)};
    } else {
        w->update = r;
        w->hasUpdate = true;
    }
    w->eraseUpdate = w->eraseUpdate || erase;
    Clock::notifyAll();
    return true;
}

bool validateRect(HWND hwnd, const RECT* rect)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    if (!w)
        return false;
    const RECT& u = w->update;
    if (!rect || (rect->left <= u.left && rect->top <= u.top && rect->right >= u.right && rect->bottom >= u.bottom)) {
        w->hasUpdate = false;
        w->eraseUpdate = false;
        w->update = RECT{};
    }
    return true;
}

bool getUpdateRect(HWND hwnd, RECT& rect)
{
    auto lock = kernelLock();
    auto w = windowOrFail(hwnd);
    rect = (w && w->hasUpdate) ? w->update : RECT{};
    return w && w->hasUpdate;
}

bool updateWindow(HWND hwnd)
{
    bool paint;
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w)
            return false;
        paint = w->hasUpdate && visibleChainLocked(*w);
    }
    if (paint)
        sendMessage(hwnd, WM_PAINT, 0, 0);
    return true;
}

HDC beginPaint(HWND hwnd, PAINTSTRUCT& paint)
{
    paint = PAINTSTRUCT{};
    bool erase;
    {
        auto lock = kernelLock();
        auto w = windowOrFail(hwnd);
        if (!w || !checkWindowThread(*w, "beginPaint"))
            return nullptr;
        paint.rcPaint = w->hasUpdate ? w->update : RECT{};
        erase = w->eraseUpdate;
        w->hasUpdate = false;
        w->eraseUpdate = false;
        w->update = RECT{};
        // Drawing through the paint context reaches only the area being painted.
        paint.hdc = makePaintContextLocked(hwnd, paint.rcPaint);
    }
    paint.fErase = erase ? (sendMessage(hwnd, WM_ERASEBKGND, reinterpret_cast<WPARAM>(paint.hdc), 0) == 0) : 0;
    return paint.hdc;
}

bool endPaint(HWND hwnd, const PAINTSTRUCT& paint)
{
    auto lock = kernelLock();
    dropPaintContextLocked(paint.hdc);
    return findWindowLocked(hwnd) != nullptr;
}

}  // namespace HA::OS
