#include "hwl/core/src/tree/DragDropSource.h"

namespace HA::HWL {

DragDropSource::~DragDropSource() = default;

bool DragDropSource::acceptsDrag(const UIA::MouseEventData* data)
{
    return mDragFilter ? mDragFilter(data) : false;
}

}  // namespace HA::HWL
