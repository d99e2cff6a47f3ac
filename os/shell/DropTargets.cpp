#include "os/shell/Ole.h"

#include <map>
#include <mutex>

#include "os/windows/Window.h"

namespace HA::OS {

namespace {

// The registered targets, each holding a reference.
struct TargetTable {
    std::mutex mutex;
    std::map<HWND, IDropTarget*> targets;
};

TargetTable& state()
{
    static auto* s = new TargetTable;
    return *s;
}

}  // namespace

HRESULT registerDragDrop(HWND hwnd, IDropTarget* target)
{
    if (!isWindow(hwnd))
        return DRAGDROP_E_INVALIDHWND;
    if (!target)
        return E_INVALIDARG;
    TargetTable& s = state();
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        if (s.targets.count(hwnd))
            return DRAGDROP_E_ALREADYREGISTERED;
        s.targets[hwnd] = target;
    }
    target->AddRef();
    return S_OK;
}

HRESULT revokeDragDrop(HWND hwnd)
{
    TargetTable& s = state();
    IDropTarget* target = nullptr;
    {
        std::lock_guard<std::mutex> lock(s.mutex);
        auto it = s.targets.find(hwnd);
        if (it == s.targets.end())
            return DRAGDROP_E_NOTREGISTERED;
        target = it->second;
        s.targets.erase(it);
    }
    target->Release();
    return S_OK;
}

IDropTarget* registeredDropTarget(HWND hwnd)
{
    TargetTable& s = state();
    std::lock_guard<std::mutex> lock(s.mutex);
    auto it = s.targets.find(hwnd);
    return it == s.targets.end() ? nullptr : it->second;
}

IncomingDrag::IncomingDrag(HWND hwnd, IDataObject* data, DWORD allowed) : mHwnd(hwnd), mData(data), mAllowed(allowed)
{
    if (mData)
        mData->AddRef();
}

IncomingDrag::~IncomingDrag()
{
    if (mInside)
        leave();
    if (mData)
        mData->Release();
}

DWORD IncomingDrag::enter(POINT screen, DWORD keyState)
{
    IDropTarget* target = registeredDropTarget(mHwnd);
    if (!target)
        return DROPEFFECT_NONE;
    DWORD e = mAllowed;
    mInside = true;
    return target->DragEnter(mData, keyState, {screen.x, screen.y}, &e) == S_OK ? e : DROPEFFECT_NONE;
}

DWORD IncomingDrag::over(POINT screen, DWORD keyState)
{
    IDropTarget* target = registeredDropTarget(mHwnd);
    if (!target || !mInside)
        return DROPEFFECT_NONE;
    DWORD e = mAllowed;
    return target->DragOver(keyState, {screen.x, screen.y}, &e) == S_OK ? e : DROPEFFECT_NONE;
}

void IncomingDrag::leave()
{
    IDropTarget* target = registeredDropTarget(mHwnd);
    if (target && mInside)
        target->DragLeave();
    mInside = false;
}

DWORD IncomingDrag::drop(POINT screen, DWORD keyState)
{
    IDropTarget* target = registeredDropTarget(mHwnd);
    if (!target || !mInside)
        return DROPEFFECT_NONE;
    mInside = false;
    DWORD e = mAllowed;
    return target->Drop(mData, keyState, {screen.x, screen.y}, &e) == S_OK ? e : DROPEFFECT_NONE;
}

}  // namespace HA::OS
