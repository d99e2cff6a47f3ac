#include "uia/platform/transfer/DropTargetImplWin32.h"

#include "uia/events/EventTarget.h"
#include "uia/platform/transfer/DirectDataObject.h"
#include "uia/platform/window/WindowImplWin32.h"
#include "uia/transfer/ClipBoardFormat.h"
#include "uia/transfer/DragDrop.h"
#include "uia/window/Window.h"

namespace HA::UIA::DETAIL {

namespace {

constexpr int kEffectScroll = static_cast<int>(0x80000000u);

// Tells a target that stops being current, and the listeners.
void sendLeave(EventTarget* target, const std::vector<EventTarget*>& listeners, DragEventData& record)
{
    if (target)
        target->handleEvent(kEventDragLeave, &record);
    for (EventTarget* listener : listeners)
        listener->notifyEvent(kEventDragLeave, &record);
}

// An in-process object that another process put into the data: its words mean nothing here.
bool carriesForeignObject(const DataObjectHolder& holder)
{
    InternalClipBoardFormat format;
    if (!holder.hasFormat(format.getFormatId()))
        return false;
    return !holder.readFormat(format) || format.source != InternalClipBoardFormat::processSourceWord();
}

}  // namespace

std::uint32_t dragModifiers(OS::DWORD keyState)
{
    std::uint32_t modifiers = 0;
    if (keyState & OS::MK_SHIFT)
        modifiers |= kModifierShift;
    if (keyState & OS::MK_CONTROL)
        modifiers |= kModifierControl;
    if (keyState & OS::MK_ALT)
        modifiers |= kModifierAlt;
    return modifiers;
}

DropTargetImplWin32::DropTargetImplWin32(WindowImplWin32* window) : mWindow(window)
{
    OS::oleInitialize();
    void* helper = nullptr;
    if (OS::coCreateInstance(OS::CLSID_DragDropHelper, nullptr, OS::CLSCTX_INPROC_SERVER, OS::IID_IDropTargetHelper,
                             &helper) == OS::S_OK)
        mHelper = static_cast<OS::IDropTargetHelper*>(helper);
}

DropTargetImplWin32::~DropTargetImplWin32()
{
    if (mRegistered)
        OS::revokeDragDrop(mRegistered);
    if (mHelper)
        mHelper->Release();
    if (mData)
        mData->Release();
    OS::oleUninitialize();
}

bool DropTargetImplWin32::registerWindow()
{
    OS::HWND hwnd = mWindow->getHwnd();
    if (OS::registerDragDrop(hwnd, this) != OS::S_OK)
        return false;
    mRegistered = hwnd;
    return true;
}

void DropTargetImplWin32::showDragImage(bool show)
{
    if (mHelper)
        mHelper->Show(show);
}

OS::HRESULT DropTargetImplWin32::QueryInterface(const OS::GUID& iid, void** object)
{
    if (!object)
        return OS::E_POINTER;
    if (iid == OS::IID_IUnknown || iid == OS::IID_IDropTarget) {
        *object = static_cast<OS::IDropTarget*>(this);
        return OS::S_OK;
    }
    *object = nullptr;
    return OS::E_NOINTERFACE;
}

OS::HRESULT DropTargetImplWin32::DragEnter(OS::IDataObject* data, OS::DWORD keyState, OS::POINTL point,
                                           OS::DWORD* effect)
{
    if (!effect)
        return OS::E_INVALIDARG;
    OS::POINT p{point.x, point.y};
    if (mHelper)
        mHelper->DragEnter(mWindow->getHwnd(), data, &p, *effect);
    if (data)
        data->AddRef();
    if (mData)
        mData->Release();
    mData = data;
    *effect = static_cast<OS::DWORD>(offerDrag(keyState, point, *effect));
    return OS::S_OK;
}

OS::HRESULT DropTargetImplWin32::DragOver(OS::DWORD keyState, OS::POINTL point, OS::DWORD* effect)
{
    if (!effect)
        return OS::E_INVALIDARG;
    OS::POINT p{point.x, point.y};
    if (mHelper)
        mHelper->DragOver(&p, *effect);
    *effect = static_cast<OS::DWORD>(offerDrag(keyState, point, *effect));
    return OS::S_OK;
}

int DropTargetImplWin32::offerDrag(OS::DWORD keyState, OS::POINTL point, OS::DWORD allowed)
{
    DragState& s = dragState();
    OS::POINT client{point.x, point.y};
    OS::screenToClient(mWindow->getHwnd(), client);
    DataObjectHolder holder(mData);
    DragEventData record;
    record.x = client.x;
    record.y = client.y;
    record.modifiers = dragModifiers(keyState);
    record.data = &holder;
    record.allowed = static_cast<int>(allowed);

    EventTarget* previous = s.currentTarget;
    s.currentTarget = nullptr;
    s.currentEffect = 0;
    std::vector<EventTarget*> listeners = s.listeners;

    bool taken = false;
    if (!carriesForeignObject(holder)) {
        EventTarget* window = mWindow->getOwner();
        taken = window && window->handleEvent(kEventDragOver, &record);
        for (EventTarget* listener : listeners)
            listener->notifyEvent(kEventDragOver, &record);
        if (taken) {
            if (record.acceptor) {
                s.currentTarget = record.acceptor;
                s.currentEffect = record.effect & ~kEffectScroll;
            } else if (record.effect == kEffectScroll && !record.targets.empty()) {
                s.currentTarget = record.targets.front();
                s.currentEffect = 0;
            }
        }
    }
    // A target that stops being current hears it on every road, refusals included.
    if (previous && previous != s.currentTarget)
        previous->handleEvent(kEventDragLeave, &record);
    s.listeners = record.targets;
    return taken ? record.effect : 0;
}

OS::HRESULT DropTargetImplWin32::DragLeave()
{
    if (mHelper)
        mHelper->DragLeave();
    if (mData) {
        mData->Release();
        mData = nullptr;
    }
    DragState& s = dragState();
    EventTarget* previous = s.currentTarget;
    std::vector<EventTarget*> listeners;
    listeners.swap(s.listeners);
    s.currentTarget = nullptr;
    s.currentEffect = 0;
    DragEventData record;
    sendLeave(previous, listeners, record);
    return OS::S_OK;
}

OS::HRESULT DropTargetImplWin32::Drop(OS::IDataObject* data, OS::DWORD keyState, OS::POINTL point, OS::DWORD* effect)
{
    if (!effect)
        return OS::E_INVALIDARG;
    OS::POINT p{point.x, point.y};
    if (mHelper)
        mHelper->Drop(data, &p, *effect);
    if (mData) {
        mData->Release();
        mData = nullptr;
    }
    OS::POINT client = p;
    OS::screenToClient(mWindow->getHwnd(), client);
    DataObjectHolder holder(data);
    DragEventData record;
    record.x = client.x;
    record.y = client.y;
    record.modifiers = dragModifiers(keyState);
    record.data = &holder;
    record.allowed = static_cast<int>(*effect);

    DragState& s = dragState();
    EventTarget* target = s.currentTarget;
    const int accepted = target ? s.currentEffect : 0;
    std::vector<EventTarget*> listeners;
    listeners.swap(s.listeners);
    s.currentTarget = nullptr;
    s.currentEffect = 0;
    if (target && accepted != 0) {
        target->handleEvent(kEventDrop, &record);
        for (EventTarget* listener : listeners)
            listener->notifyEvent(kEventDrop, &record);
    }
    // The listeners hear the end even when nothing was current: their leave actions undo what
    // the offers showed, and no later notice would reach them.
    sendLeave(target, listeners, record);
    *effect = static_cast<OS::DWORD>(accepted);
    return OS::S_OK;
}

}  // namespace HA::UIA::DETAIL
