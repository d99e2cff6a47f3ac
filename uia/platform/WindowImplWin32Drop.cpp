#include "uia/platform/DropTargetImplWin32.h"
#include "uia/platform/WindowImplWin32.h"

// FIXME: drop targets and the drag-image service arrive with the drag-and-drop work; until
// then a window that accepts drops registers nothing.

namespace HA::UIA::DETAIL {

void WindowImplWin32::createDropTarget() {}

void WindowImplWin32::releaseDropTarget()
{
    mDropTarget.reset();
}

void WindowImplWin32::showDragImage(bool) {}

}  // namespace HA::UIA::DETAIL
