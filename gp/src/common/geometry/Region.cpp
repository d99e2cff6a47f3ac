#include "gp/src/common/geometry/Region.h"

#include <algorithm>
#include <utility>

namespace HA::GP {

namespace {

using tNode = PooledList::tNode;

bool sameBand(const tNode* a, const tNode* b)
{
    return a->rect.top == b->rect.top && a->rect.bottom == b->rect.bottom;
}

// The first node after the band that starts at `first`.
template <class N>
N* bandEnd(N* first)
{
    N* n = first->next;
    while (n && sameBand(n, first))
        n = n->next;
    return n;
}

tNode* bandStart(tNode* last)
{
    while (last->prev && sameBand(last->prev, last))
        last = last->prev;
    return last;
}

bool sameSpans(const tNode* a, const tNode* aEnd, const tNode* b, const tNode* bEnd)
{
    for (; a != aEnd && b != bEnd; a = a->next, b = b->next)
        if (a->rect.left != b->rect.left || a->rect.right != b->rect.right)
            return false;
    return a == aEnd && b == bEnd;
}

}  // namespace

// The band-by-band operation of banded regions: walks the bands of both operands from the
// top, copies the parts covered by one operand only (union) and combines the spans of the
// parts covered by both; each finished band is joined with the one above when they touch
// and have the same spans.
struct Region::BandOp {
    enum class eKind { Union, Intersection };

    // An operand in single-rectangle form walks one node made from its bounds.
    struct tOperand {
        tNode single{nullptr, nullptr, Rect{}};
        const tNode* head = nullptr;

        explicit tOperand(const Region& r) : head(r.m_nodes.head())
        {
            if (!head && !r.m_bounds.isEmpty()) {
                single.rect = r.m_bounds;
                head = &single;
            }
        }
    };

    PooledList out;
    std::int32_t count = 0;
    tNode* prevBand = nullptr;  // first node of the last finished band
    tNode* curBand = nullptr;   // first node of the band being built

    void add(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
    {
        tNode* n = out.pushBack(Rect{left, top, right, bottom});
        if (!curBand)
            curBand = n;
        ++count;
    }

    // Adds a span in left order, joining it with the previous span when they meet.
    void addJoined(std::int32_t left, std::int32_t top, std::int32_t right, std::int32_t bottom)
    {
        if (curBand && out.tail()->rect.right >= left)
            out.tail()->rect.right = std::max(out.tail()->rect.right, right);
        else
            add(left, top, right, bottom);
    }

    void endBand()
    {
        if (!curBand)
            return;
        if (prevBand && prevBand->rect.bottom == curBand->rect.top &&
            sameSpans(prevBand, curBand, curBand, nullptr)) {
            for (tNode* n = prevBand; n != curBand; n = n->next)
                n->rect.bottom = curBand->rect.bottom;
            for (tNode* n = curBand; n;) {
                n = out.remove(n);
                --count;
            }
        } else {
            prevBand = curBand;
        }
        curBand = nullptr;
    }

    void copyBand(const tNode* n, const tNode* end, std::int32_t top, std::int32_t bottom)
    {
        for (; n != end; n = n->next)
            add(n->rect.left, top, n->rect.right, bottom);
        endBand();
    }

    void uniteBands(const tNode* a, const tNode* aEnd, const tNode* b, const tNode* bEnd,
                    std::int32_t top, std::int32_t bottom)
    {
        while (a != aEnd || b != bEnd) {
            const tNode*& n = (b == bEnd || (a != aEnd && a->rect.left <= b->rect.left)) ? a : b;
            addJoined(n->rect.left, top, n->rect.right, bottom);
            n = n->next;
        }
        endBand();
    }

    void intersectBands(const tNode* a, const tNode* aEnd, const tNode* b, const tNode* bEnd,
                        std::int32_t top, std::int32_t bottom)
    {
        while (a != aEnd && b != bEnd) {
            const std::int32_t left = std::max(a->rect.left, b->rect.left);
            const std::int32_t right = std::min(a->rect.right, b->rect.right);
            if (left < right)
                add(left, top, right, bottom);
            const std::int32_t ar = a->rect.right, br = b->rect.right;
            if (ar <= br)
                a = a->next;
            if (br <= ar)
                b = b->next;
        }
        endBand();
    }

    // Computes into a list of its own, so the result may be an operand.
    static void into(Region& result, const Region& a, const Region& b, eKind kind)
    {
        BandOp op;
        op.run(a, b, kind);
        result.takeNodes(op.out);
    }

    void run(const Region& ra, const Region& rb, eKind kind)
    {
        const tOperand opA(ra), opB(rb);
        const bool keepSingle = kind == eKind::Union;
        const tNode* a = opA.head;
        const tNode* b = opB.head;
        std::int32_t ybot = std::min(a->rect.top, b->rect.top);
        while (a && b) {
            const tNode* aEnd = bandEnd(a);
            const tNode* bEnd = bandEnd(b);
            std::int32_t ytop;
            if (a->rect.top < b->rect.top) {
                const std::int32_t top = std::max(a->rect.top, ybot);
                const std::int32_t bot = std::min(a->rect.bottom, b->rect.top);
                if (top != bot && keepSingle)
                    copyBand(a, aEnd, top, bot);
                ytop = b->rect.top;
            } else if (b->rect.top < a->rect.top) {
                const std::int32_t top = std::max(b->rect.top, ybot);
                const std::int32_t bot = std::min(b->rect.bottom, a->rect.top);
                if (top != bot && keepSingle)
                    copyBand(b, bEnd, top, bot);
                ytop = a->rect.top;
            } else {
                ytop = a->rect.top;
            }
            ybot = std::min(a->rect.bottom, b->rect.bottom);
            if (ybot > ytop) {
                if (kind == eKind::Union)
                    uniteBands(a, aEnd, b, bEnd, ytop, ybot);
                else
                    intersectBands(a, aEnd, b, bEnd, ytop, ybot);
            }
            if (a->rect.bottom == ybot)
                a = aEnd;
            if (b->rect.bottom == ybot)
                b = bEnd;
        }
        if (!keepSingle)
            return;
        for (const tNode* rest : {a, b}) {
            while (rest) {
                const tNode* end = bandEnd(rest);
                copyBand(rest, end, std::max(rest->rect.top, ybot), rest->rect.bottom);
                rest = end;
            }
        }
    }
};

Region::Region(Region&& other) noexcept
    : m_nodes(std::move(other.m_nodes)), m_count(other.m_count), m_bounds(other.m_bounds)
{
    other.m_count = 0;
    other.m_bounds = Rect{};
}

Region& Region::operator=(Region&& other) noexcept
{
    if (this != &other) {
        m_nodes = std::move(other.m_nodes);
        m_count = other.m_count;
        m_bounds = other.m_bounds;
        other.m_count = 0;
        other.m_bounds = Rect{};
    }
    return *this;
}

void Region::setRect(const Rect& rect)
{
    const Rect r = rect;  // `rect` may be one of our own nodes' rectangles
    m_nodes.clear();
    m_count = 0;
    m_bounds = r.isEmpty() ? Rect{} : r;
}

void Region::clear()
{
    m_nodes.clear();
    m_count = 0;
    m_bounds = Rect{};
}

void Region::unionRect(const Rect& rect)
{
    const Rect r = rect;
    if (r.isEmpty())
        return;
    if (isEmpty()) {
        setRect(r);
        return;
    }
    if (isOneRect()) {
        if (m_bounds.contains(r))
            return;
        if (r.contains(m_bounds)) {
            setRect(r);
            return;
        }
    }
    if (m_nodes.isEmpty()) {
        m_nodes.pushBack(m_bounds);
        m_count = 1;
    }
    m_bounds = Rect{std::min(m_bounds.left, r.left), std::min(m_bounds.top, r.top),
                    std::max(m_bounds.right, r.right), std::max(m_bounds.bottom, r.bottom)};

    const std::int32_t left = r.left, right = r.right, bottom = r.bottom;
    std::int32_t top = r.top;  // what remains of r starts here
    tNode* node = m_nodes.head();
    while (node && top < bottom) {
        tNode* end = bandEnd(node);
        const std::int32_t bandTop = node->rect.top, bandBottom = node->rect.bottom;
        if (bandBottom <= top) {
            node = end;
            continue;
        }
        if (top < bandTop) {
            // The part of r above this band.
            const std::int32_t partBottom = std::min(bottom, bandTop);
            const bool sameSingleSpan =
                node->next == end && node->rect.left == left && node->rect.right == right;
            if (sameSingleSpan && partBottom == bandTop) {
                node->rect.top = top;
                tNode* above = node->prev;
                if (above && above->rect.bottom == top && above->rect.left == left &&
                    above->rect.right == right && (!above->prev || !sameBand(above->prev, above))) {
                    node->rect.top = above->rect.top;
                    m_nodes.remove(above);
                    --m_count;
                }
                top = bandBottom;
                node = end;
                continue;
            }
            m_nodes.insertBefore(node, Rect{left, top, right, partBottom});
            ++m_count;
            top = partBottom;
            if (top >= bottom)
                break;
        }

        // r overlaps this band from `top` down.
        bool covered = false;
        for (tNode* n = node; n != end && !covered; n = n->next)
            covered = n->rect.left <= left && n->rect.right >= right;
        if (covered) {
            top = bandBottom;
            node = end;
            continue;
        }
        tNode* last = end ? end->prev : m_nodes.tail();
        if (top > bandTop) {
            for (tNode* n = node;; n = n->next) {
                m_nodes.insertBefore(node, Rect{n->rect.left, bandTop, n->rect.right, top});
                ++m_count;
                n->rect.top = top;
                if (n == last)
                    break;
            }
        }
        std::int32_t partBottom = bandBottom;
        if (bottom < bandBottom) {
            tNode* lower = nullptr;
            for (tNode* n = node;; n = n->next) {
                tNode* copy =
                    m_nodes.insertBefore(end, Rect{n->rect.left, bottom, n->rect.right, bandBottom});
                if (!lower)
                    lower = copy;
                ++m_count;
                n->rect.bottom = bottom;
                if (n == last)
                    break;
            }
            end = lower;
            partBottom = bottom;
        }

        // Merge [left, right) into the band's spans.
        tNode* first = node;
        tNode* n = node;
        while (n != end && n->rect.right < left)
            n = n->next;
        if (n == end || n->rect.left > right) {
            tNode* added = m_nodes.insertBefore(n, Rect{left, top, right, partBottom});
            ++m_count;
            if (n == first)
                first = added;
        } else {
            n->rect.left = std::min(n->rect.left, left);
            n->rect.right = std::max(n->rect.right, right);
            for (tNode* m = n->next; m != end && m->rect.left <= n->rect.right;) {
                n->rect.right = std::max(n->rect.right, m->rect.right);
                m = m_nodes.remove(m);
                --m_count;
            }
        }

        // Join with the band above when it ends here and has the same spans.
        if (tNode* above = first->prev; above && above->rect.bottom == first->rect.top) {
            tNode* aboveStart = bandStart(above);
            if (sameSpans(aboveStart, first, first, end)) {
                for (tNode* a = aboveStart; a != first; a = a->next)
                    a->rect.bottom = partBottom;
                for (tNode* m = first; m != end;) {
                    m = m_nodes.remove(m);
                    --m_count;
                }
            }
        }
        top = partBottom;
        node = end;
    }
    if (top < bottom) {
        m_nodes.pushBack(Rect{left, top, right, bottom});
        ++m_count;
    }
}

// `outer` is one rectangle that holds all of `inner`.
bool Region::coversWhole(const Region& outer, const Region& inner)
{
    return outer.isOneRect() && outer.m_bounds.contains(inner.m_bounds);
}

void Region::unite(Region& result, const Region& a, const Region& b)
{
    if (&a == &b || a.isEmpty()) {
        b.copyTo(result);
        return;
    }
    if (b.isEmpty()) {
        a.copyTo(result);
        return;
    }
    if (coversWhole(a, b))
        a.copyTo(result);
    else if (coversWhole(b, a))
        b.copyTo(result);
    else
        BandOp::into(result, a, b, BandOp::eKind::Union);
}

void Region::intersect(Region& result, const Region& a, const Region& b)
{
    if (a.isEmpty() || b.isEmpty() || !a.m_bounds.overlaps(b.m_bounds)) {
        result.clear();
        return;
    }
    if (&a == &b) {
        a.copyTo(result);
        return;
    }
    if (a.isOneRect() && b.isOneRect()) {
        result.setRect(Rect::intersect(a.m_bounds, b.m_bounds));
        return;
    }
    if (coversWhole(a, b))
        b.copyTo(result);
    else if (coversWhole(b, a))
        a.copyTo(result);
    else
        BandOp::into(result, a, b, BandOp::eKind::Intersection);
}

void Region::takeNodes(PooledList& nodes)
{
    m_nodes.clear();
    m_nodes.swap(nodes);
    m_count = 0;
    for (const tNode* n = m_nodes.head(); n; n = n->next)
        ++m_count;
    recomputeBounds();
}

void Region::recomputeBounds()
{
    const tNode* n = m_nodes.head();
    if (!n) {
        m_bounds = Rect{};
        return;
    }
    m_bounds = Rect{n->rect.left, n->rect.top, n->rect.right, m_nodes.tail()->rect.bottom};
    for (; n; n = n->next) {
        m_bounds.left = std::min(m_bounds.left, n->rect.left);
        m_bounds.right = std::max(m_bounds.right, n->rect.right);
    }
}

void Region::copyTo(Region& target) const
{
    if (&target == this)
        return;
    if (m_nodes.head() == m_nodes.tail()) {
        target.setRect(m_bounds);
        return;
    }
    tNode* t = target.m_nodes.head();
    for (const tNode* s = m_nodes.head(); s; s = s->next) {
        if (t) {
            t->rect = s->rect;
            t = t->next;
        } else {
            target.m_nodes.pushBack(s->rect);
        }
    }
    while (t)
        t = target.m_nodes.remove(t);
    target.m_count = m_count;
    target.m_bounds = m_bounds;
}

void Region::offset(std::int32_t dx, std::int32_t dy)
{
    if (isEmpty())
        return;
    m_bounds = m_bounds.offsetBy(dx, dy);
    for (tNode* n = m_nodes.head(); n; n = n->next)
        n->rect = n->rect.offsetBy(dx, dy);
}

Region::eContainment Region::containsRect(const Rect& r) const
{
    if (m_bounds.isEmpty() || r.isEmpty() || !r.overlaps(m_bounds))
        return eOutside;
    if (isOneRect())
        return m_bounds.contains(r) ? eInside : ePartlyInside;

    bool partIn = false, partOut = false;
    std::int32_t ry = r.top;
    for (const tNode* n = m_nodes.head(); n; n = n->next) {
        const Rect& b = n->rect;
        if (b.bottom <= ry)
            continue;
        if (b.top > ry) {
            partOut = true;
            if (partIn || b.top >= r.bottom)
                break;
            ry = b.top;
        }
        if (b.right <= r.left)
            continue;
        if (b.left > r.left) {
            partOut = true;
            if (partIn)
                break;
        }
        if (b.left < r.right) {
            partIn = true;
            if (partOut)
                break;
        }
        if (b.right >= r.right) {
            ry = b.bottom;
            if (ry >= r.bottom)
                break;
        } else {
            break;  // spans are maximal: part of r in this band is uncovered
        }
    }
    if (!partIn)
        return eOutside;
    return ry < r.bottom ? ePartlyInside : eInside;
}

const Region::tNode* Region::nextRect(const tNode* after, const Rect& r) const
{
    for (const tNode* n = after ? after->next : m_nodes.head(); n; n = n->next) {
        if (n->rect.bottom <= r.top)
            continue;
        if (n->rect.top >= r.bottom)
            return nullptr;
        if (n->rect.right > r.left && n->rect.left < r.right)
            return n;
        if (n->rect.left >= r.right && n->rect.bottom >= r.bottom)
            return nullptr;
    }
    return nullptr;
}

Region::RectIterator Region::beginRects(const Rect& target, Point origin) const
{
    RectIterator it;
    it.region = this;
    it.single = isOneRect();
    it.state = 1;
    it.target = target;
    it.origin = origin;
    if (target.isEmpty() || m_bounds.isEmpty() || !target.overlaps(m_bounds)) {
        it.state = 2;
    } else if (it.single) {
        // one rectangle: the bounds
    } else if (target.contains(m_bounds)) {
        it.state = 0;
        it.node = m_nodes.head();
    } else {
        it.node = nextRect(nullptr, target);
        if (!it.node)
            it.state = 2;
    }
    return it;
}

bool Region::RectIterator::next(Rect& out)
{
    if (state == 2)
        return false;
    const Rect& source = single ? region->m_bounds : node->rect;
    out = Rect::intersect(target, source).offsetBy(-origin.x, -origin.y);
    if (single)
        state = 2;
    else if (state == 0)
        node = node->next;
    else
        node = region->nextRect(node, target);
    if (!node)
        state = 2;
    return true;
}

}  // namespace HA::GP
