#pragma once
// A window's drop target: what the window registers for drops and the drag-image service it
// uses. FIXME: made by the clipboard and drag-and-drop work; windows create none yet.

namespace HA::UIA::DETAIL {

class DropTargetImplWin32 {
public:
    virtual ~DropTargetImplWin32() = default;
};

}  // namespace HA::UIA::DETAIL
