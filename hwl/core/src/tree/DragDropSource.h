#pragma once
// The widget as a possible drag source: the drag-start detector with a filter that says
// which left-button presses may start a drag, and the callback run when a drag starts.
// User-interface thread only.

#include <functional>

#include "uia/events/Events.h"
#include "uia/transfer/DropSource.h"

namespace HA::HWL {

class DragDropSource : public UIA::DropSource {
public:
    using tDragStart = std::function<void(const UIA::MouseEventData*)>;
    using tDragFilter = std::function<bool(const UIA::MouseEventData*)>;

    DragDropSource() = default;
    ~DragDropSource() override;

    // The filter's answer; false without a filter, so no press starts a drag.
    bool acceptsDrag(const UIA::MouseEventData* data) override;

    void setDragFilter(tDragFilter filter) { mDragFilter = std::move(filter); }
    void setDragStart(tDragStart start) { mDragStart = std::move(start); }
    const tDragStart& getDragStart() const { return mDragStart; }

private:
    tDragStart mDragStart;
    tDragFilter mDragFilter;
};

}  // namespace HA::HWL
