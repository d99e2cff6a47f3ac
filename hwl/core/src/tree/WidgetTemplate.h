#pragma once
// A widget with a replaceable painter and a replaceable adjust-size step, both called with the
// concrete widget type T. Empty hooks do nothing.

#include <functional>
#include <utility>

#include "hwl/core/src/canvas/PaintContext.h"
#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL {

template <class T>
class WidgetTemplate : public Widget {
public:
    using tPainter = std::function<void(const T&, PaintContext&)>;
    using tAdjustHook = std::function<void(T&)>;

    // Stores the painter and invalidates the widget.
    void setPainter(tPainter painter)
    {
        mPainter = std::move(painter);
        invalidate();
    }
    // Stores the adjust-size hook and requests layout.
    void setAdjustHook(tAdjustHook hook)
    {
        mAdjustHook = std::move(hook);
        requestLayout();
    }

    void paint(PaintContext& context) override
    {
        if (mPainter)
            mPainter(static_cast<const T&>(*this), context);
    }
    void adjustSize() override
    {
        if (mAdjustHook)
            mAdjustHook(static_cast<T&>(*this));
    }

private:
    tPainter mPainter;
    tAdjustHook mAdjustHook;
};

}  // namespace HA::HWL
