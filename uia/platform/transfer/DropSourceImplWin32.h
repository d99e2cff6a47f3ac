#pragma once
// The drop source of an outgoing drag: it ends the drag on Escape or when no mouse button is
// held, and gives the drag image to the platform's drag-image service. It lives for one drag
// and its reference count never deletes it. User-interface thread only.

#include <memory>

#include "os/shell/Ole.h"

namespace HA::UIA {

struct DragImage;

namespace DETAIL {

class DropSourceImplWin32 final : public OS::IDropSource {
public:
    DropSourceImplWin32(OS::IDataObject* data, const std::shared_ptr<DragImage>& image);
    ~DropSourceImplWin32();
    DropSourceImplWin32(const DropSourceImplWin32&) = delete;
    DropSourceImplWin32& operator=(const DropSourceImplWin32&) = delete;

    OS::HRESULT QueryInterface(const OS::GUID& iid, void** object) override;
    OS::ULONG AddRef() override { return 2; }
    OS::ULONG Release() override { return 1; }
    OS::HRESULT QueryContinueDrag(OS::BOOL escapePressed, OS::DWORD keyState) override;
    OS::HRESULT GiveFeedback(OS::DWORD effect) override;

    bool cancelled() const { return mCancelled; }

private:
    OS::IDragSourceHelper* mHelper = nullptr;
    bool mCancelled = false;
};

}  // namespace DETAIL
}  // namespace HA::UIA
