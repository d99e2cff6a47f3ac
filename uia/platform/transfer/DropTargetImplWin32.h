#pragma once
// A window's drop target: it turns the platform's drag callbacks into the framework's drag
// events (kEventDragOver, kEventDrop, kEventDragLeave) for the window and the drag listeners,
// and tells the drag-image service. Its window owns it; its reference count never deletes it.
// User-interface thread only.

#include <cstdint>

#include "os/shell/Ole.h"

namespace HA::UIA {

class EventTarget;

namespace DETAIL {

class WindowImplWin32;

class DropTargetImplWin32 final : public OS::IDropTarget {
public:
    explicit DropTargetImplWin32(WindowImplWin32* window);
    // Revokes the registration and releases the service and any kept data object.
    ~DropTargetImplWin32();
    DropTargetImplWin32(const DropTargetImplWin32&) = delete;
    DropTargetImplWin32& operator=(const DropTargetImplWin32&) = delete;

    // Registers the window for drops; false when the platform refused.
    bool registerWindow();
    // Hides or shows the drag image (while the window paints).
    void showDragImage(bool show);

    OS::HRESULT QueryInterface(const OS::GUID& iid, void** object) override;
    OS::ULONG AddRef() override { return 2; }
    OS::ULONG Release() override { return 1; }
    OS::HRESULT DragEnter(OS::IDataObject* data, OS::DWORD keyState, OS::POINTL point, OS::DWORD* effect) override;
    OS::HRESULT DragOver(OS::DWORD keyState, OS::POINTL point, OS::DWORD* effect) override;
    OS::HRESULT DragLeave() override;
    OS::HRESULT Drop(OS::IDataObject* data, OS::DWORD keyState, OS::POINTL point, OS::DWORD* effect) override;

private:
    // The offer of the kept data object at a screen point; the effect for the platform.
    int offerDrag(OS::DWORD keyState, OS::POINTL point, OS::DWORD allowed);

    WindowImplWin32* mWindow;
    OS::HWND mRegistered = nullptr;
    OS::IDropTargetHelper* mHelper = nullptr;
    OS::IDataObject* mData = nullptr;
};

// Framework modifiers of a drag key state.
std::uint32_t dragModifiers(OS::DWORD keyState);

}  // namespace DETAIL
}  // namespace HA::UIA
