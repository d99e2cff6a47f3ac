#include "uia/transfer/DropSource.h"

#include "gp/src/common/process/PlatformServices.h"

namespace HA::UIA {

namespace {

// A press must move more than this (squared distance) before it can become a drag.
constexpr int kDragDistanceSquared = 7;

long long nowMs() { return static_cast<long long>(GP::ticksToMilliseconds(GP::performanceCounter())); }

}  // namespace

DropSource::~DropSource() = default;

bool DropSource::acceptsDrag(const MouseEventData*) { return false; }

void DropSource::setHoldTime(int ms) { mHoldTime = ms; }

int DropSource::detectDragStart(int code, const MouseEventData* data)
{
    switch (code) {
    case kEventMouseButton:
        if (mEnabled && data && data->button == kMouseButtonLeft && data->kind != kMouseRelease &&
            data->kind != kMouseDoubleClick && acceptsDrag(data)) {
            mPressPending = true;
            mPressTime = nowMs();
            mPressX = data->x;
            mPressY = data->y;
            return eDragWaiting;
        }
        mPressPending = false;
        return eNoDrag;
    case kEventMouseLeave:
        mPressPending = false;
        return eNoDrag;
    case kEventMouseDrag:
    case kEventMouseMove: {
        if (!mPressPending || !data)
            return eNoDrag;
        const long long dx = static_cast<long long>(data->x) - mPressX;
        const long long dy = static_cast<long long>(data->y) - mPressY;
        if (dx * dx + dy * dy <= kDragDistanceSquared)
            return eDragWaiting;
        if (nowMs() - mPressTime < mHoldTime)
            return eDragWaiting;
        mPressPending = false;
        return eDragStarts;
    }
    default:
        return eNoDrag;
    }
}

}  // namespace HA::UIA
