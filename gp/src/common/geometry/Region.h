#pragma once
// A set of pixels made of rectangles: dirty, opaque and clip areas.
//
// Forms:
// - empty: no nodes, empty bounds;
// - single rectangle: no nodes, the region is exactly its non-empty bounds;
// - banded: nodes in list order form bands (maximal runs of equal top and bottom), ordered
//   by top and not overlapping; within a band the rectangles are ordered by left and
//   neither overlap nor touch. The bounds are the bounding box of the nodes.
// Nodes come from the small pool (gp/src/common/memory/SmallPool.h), which must be acquired around
// every region operation. Operations may throw std::bad_alloc when the pool cannot grow.
// A region is not locked and belongs to one thread.

#include <cstdint>

#include "gp/src/common/geometry/Geometry.h"
#include "gp/src/common/geometry/PooledList.h"

namespace HA::GP {

class Region {
public:
    using tNode = PooledList::tNode;

    enum eContainment : int { eInside = 0, eOutside = 1, ePartlyInside = 2 };

    // The walk over a region's rectangles limited to a target, each moved by -origin.
    // Rectangles come in list order (bands top to bottom, left to right within a band),
    // never overlap and are never empty. The region must not change during the walk.
    class RectIterator {
    public:
        // Hands out the next rectangle; false when the walk is finished.
        bool next(Rect& out);

    private:
        friend class Region;
        const Region* region = nullptr;
        bool single = false;
        const tNode* node = nullptr;
        int state = 2;  // 0 every node in list order, 1 nodes overlapping the target, 2 done
        Rect target;
        Point origin;
    };

    Region() = default;
    Region(const Region&) = delete;
    Region& operator=(const Region&) = delete;
    Region(Region&& other) noexcept;
    Region& operator=(Region&& other) noexcept;
    ~Region() = default;

    // The region becomes exactly `rect` (empty when `rect` is empty).
    void setRect(const Rect& rect);
    void unionRect(const Rect& rect);
    // result = a ∪ b and result = a ∩ b; any of the three may be the same region.
    static void unite(Region& result, const Region& a, const Region& b);
    static void intersect(Region& result, const Region& a, const Region& b);
    // Copies this region into `target`, reusing its nodes.
    void copyTo(Region& target) const;
    void offset(std::int32_t dx, std::int32_t dy);
    eContainment containsRect(const Rect& rect) const;
    // The first node after `after` (or from the head when null) that overlaps `rect`; null
    // when none does. A region in single-rectangle form has no nodes: use its bounds.
    const tNode* nextRect(const tNode* after, const Rect& rect) const;
    RectIterator beginRects(const Rect& target, Point origin) const;
    void clear();

    const Rect& getBounds() const { return m_bounds; }
    std::int32_t getCount() const { return m_count; }
    const tNode* head() const { return m_nodes.head(); }
    const tNode* tail() const { return m_nodes.tail(); }
    bool isEmpty() const { return m_bounds.isEmpty(); }
    // Non-empty with at most one node: the region is exactly its bounds.
    bool isOneRect() const { return !m_bounds.isEmpty() && m_nodes.head() == m_nodes.tail(); }

private:
    struct BandOp;

    static bool coversWhole(const Region& outer, const Region& inner);
    void takeNodes(PooledList& nodes);
    void recomputeBounds();

    PooledList m_nodes;
    std::int32_t m_count = 0;
    Rect m_bounds;
};

}  // namespace HA::GP
