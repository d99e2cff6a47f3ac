#pragma once
// What a widget painter gets: the canvas, the region to repaint (pane coordinates), the
// widget's bounds, the scale and the phase (1 before the children, 2 after them).

#include "gp/src/common/geometry/Geometry.h"
#include "gp/src/common/geometry/Region.h"
#include "hwl/core/src/canvas/Canvas.h"

namespace HA::HWL {

class PaintContext {
public:
    static constexpr int kPhaseBeforeChildren = 1;
    static constexpr int kPhaseAfterChildren = 2;

    PaintContext(Canvas& canvas, const GP::Region& dirty, const GP::Rect& bounds, float scale, int phase)
        : canvas(canvas), dirty(dirty), bounds(bounds), scale(scale), phase(phase)
    {
    }

    // Calls action(const GP::Rect&) with each part of the dirty region inside rect (widget
    // coordinates, limited to the widget's bounds), in widget coordinates. Allocates nothing.
    template <class tAction>
    void forEachDirtyRect(const GP::Rect& rect, tAction&& action) const
    {
        const GP::Point o = canvas.getOrigin();
        const GP::Rect target = GP::Rect::intersect(rect.offsetBy(o.x, o.y), bounds);
        GP::Region::RectIterator walk = dirty.beginRects(target, o);
        GP::Rect part;
        while (walk.next(part))
            action(part);
    }

    Canvas& canvas;
    const GP::Region& dirty;
    const GP::Rect& bounds;
    float scale;
    int phase;
};

}  // namespace HA::HWL
