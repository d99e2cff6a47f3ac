#pragma once
// The drag-start detector, a base of every widget: it watches a widget's mouse events and
// decides when a left-button press becomes a drag. User-interface thread only.

#include "uia/events/Events.h"

namespace HA::UIA {

class DropSource {
public:
    // Answers of detectDragStart.
    enum eDragStart : int { eNoDrag = 0, eDragWaiting = 1, eDragStarts = 2 };

    DropSource() = default;
    virtual ~DropSource();

    // Whether a left-button press may start a drag; the widget side answers. False here.
    virtual bool acceptsDrag(const MouseEventData* data);
    // The minimum time in milliseconds a press is held before a move starts a drag.
    virtual void setHoldTime(int ms);

    // Feeds one event (kEventMouseButton, kEventMouseDrag, kEventMouseMove or kEventMouseLeave
    // with its mouse record) to the detector:
    // eDragWaiting while a pending press is taken or waits for enough distance or time,
    // eDragStarts when the pointer moved far enough after the hold time, else eNoDrag.
    int detectDragStart(int code, const MouseEventData* data);

    bool isPressPending() const { return mPressPending; }

private:
    int mPressX = 0;
    int mPressY = 0;
    // A pending press is kept apart from its time, which may be 0 on a fresh clock.
    bool mPressPending = false;
    long long mPressTime = 0;
    int mHoldTime = 0;
    bool mEnabled = true;
};

}  // namespace HA::UIA
