#include "gp/src/common/geometry/Region.h"

#include <gtest/gtest.h>

#include <array>
#include <bitset>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "gp/src/common/memory/SmallPool.h"

namespace HA::GP {
namespace {

class RegionTest : public ::testing::Test {
protected:
    void SetUp() override { acquireSmallPool(); }
    void TearDown() override { releaseSmallPool(); }
};

std::string str(const Rect& r)
{
    std::ostringstream s;
    s << '{' << r.left << ',' << r.top << ',' << r.right << ',' << r.bottom << '}';
    return s.str();
}

std::string dump(const Region& region)
{
    std::string s = "bounds " + str(region.getBounds()) + " nodes";
    for (const Region::tNode* n = region.head(); n; n = n->next)
        s += " " + str(n->rect);
    return s;
}

// Pixels of a small plane, coordinates kMin .. kMin + kSize - 1 on both axes.
constexpr int kMin = -8;
constexpr int kSize = 40;

struct Bitmap {
    std::bitset<kSize * kSize> px;

    static std::size_t at(int x, int y) { return std::size_t(y - kMin) * kSize + std::size_t(x - kMin); }
    bool get(int x, int y) const { return px[at(x, y)]; }
    void fill(const Rect& r, bool on = true)
    {
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                px[at(x, y)] = on;
    }
    static Bitmap of(const Rect& r)
    {
        Bitmap b;
        b.fill(r);
        return b;
    }
    Bitmap shifted(int dx, int dy) const
    {
        Bitmap b;
        for (int y = kMin; y < kMin + kSize; ++y)
            for (int x = kMin; x < kMin + kSize; ++x)
                if (get(x, y))
                    b.px[at(x + dx, y + dy)] = true;
        return b;
    }
    // The bounding box of the set pixels; empty when none.
    Rect box() const
    {
        Rect r{kMin + kSize, kMin + kSize, kMin, kMin};
        for (int y = kMin; y < kMin + kSize; ++y)
            for (int x = kMin; x < kMin + kSize; ++x)
                if (get(x, y))
                    r = Rect{std::min(r.left, x), std::min(r.top, y), std::max(r.right, x + 1),
                             std::max(r.bottom, y + 1)};
        return r.isEmpty() ? Rect{} : r;
    }
};

Bitmap pixelsOf(const Region& region)
{
    Bitmap b;
    if (!region.head())
        b.fill(region.getBounds());
    for (const Region::tNode* n = region.head(); n; n = n->next)
        b.fill(n->rect);
    return b;
}

// The representation rules. `merged`: equal touching bands must have been joined.
std::string checkForm(const Region& region, bool merged)
{
    const Rect& bounds = region.getBounds();
    const Region::tNode* head = region.head();
    if (!head)
        return region.getCount() == 0 ? "" : "count without nodes";
    int count = 0;
    Rect box = head->rect;
    for (const Region::tNode* n = head; n; n = n->next) {
        ++count;
        const Rect& r = n->rect;
        if (r.isEmpty())
            return "empty node " + str(r);
        if (n->next && n->next->prev != n)
            return "broken links";
        box = Rect{std::min(box.left, r.left), std::min(box.top, r.top),
                   std::max(box.right, r.right), std::max(box.bottom, r.bottom)};
        const Region::tNode* p = n->prev;
        if (p && p->rect.top == r.top && p->rect.bottom == r.bottom) {
            if (p->rect.right >= r.left)
                return "spans overlap, touch or are out of order at " + str(r);
            continue;
        }
        // n starts a band
        if (p && p->rect.bottom > r.top)
            return "bands overlap or are out of order at " + str(r);
    }
    if (count != region.getCount())
        return "count " + std::to_string(region.getCount()) + " for " + std::to_string(count) + " nodes";
    if (box != bounds)
        return "bounds are not exact";
    if (merged) {
        // Compare every band with the next one.
        for (const Region::tNode* a = head; a;) {
            const Region::tNode* aEnd = a->next;
            while (aEnd && aEnd->rect.top == a->rect.top && aEnd->rect.bottom == a->rect.bottom)
                aEnd = aEnd->next;
            const Region::tNode* b = aEnd;
            if (b && b->rect.top == a->rect.bottom) {
                const Region::tNode *x = a, *y = b;
                while (x != aEnd && y && y->rect.top == b->rect.top &&
                       x->rect.left == y->rect.left && x->rect.right == y->rect.right) {
                    x = x->next;
                    y = y->next;
                }
                const bool yAtEnd =
                    !y || y->rect.top != b->rect.top || y->rect.bottom != b->rect.bottom;
                if (x == aEnd && yAtEnd)
                    return "equal touching bands not merged at " + str(b->rect);
            }
            a = aEnd;
        }
    }
    return "";
}

// Region against model: coverage, bounds, form, and the single form for a rectangle.
void expectMatches(const Region& region, const Bitmap& model, bool merged, const std::string& what)
{
    SCOPED_TRACE(what + ": " + dump(region));
    ASSERT_EQ(checkForm(region, merged), "");
    ASSERT_TRUE(pixelsOf(region).px == model.px) << "pixels differ";
    const Rect box = model.box();
    ASSERT_EQ(region.getBounds(), box);
    ASSERT_EQ(region.isEmpty(), box.isEmpty());
    if (merged && !box.isEmpty() && Bitmap::of(box).px == model.px) {
        ASSERT_TRUE(region.isOneRect()) << "a rectangle in more than one node";
    }
}

void expectQueries(const Region& region, const Bitmap& model, std::mt19937& rng)
{
    std::uniform_int_distribution<int> coord(-4, 20), shift(-3, 3);
    for (int i = 0; i < 4; ++i) {
        const Rect r{coord(rng), coord(rng), coord(rng), coord(rng)};
        SCOPED_TRACE("query " + str(r) + " on " + dump(region));

        int in = 0, out = 0;
        for (int y = r.top; y < r.bottom; ++y)
            for (int x = r.left; x < r.right; ++x)
                (model.get(x, y) ? in : out)++;
        const int expected = in == 0 ? Region::eOutside : out == 0 ? Region::eInside : Region::ePartlyInside;
        ASSERT_EQ(int(region.containsRect(r)), expected);

        const Point origin{shift(rng), shift(rng)};
        Bitmap walked, inTarget;
        std::vector<Rect> rects;
        Rect got;
        for (auto it = region.beginRects(r, origin); it.next(got);) {
            const Rect back = got.offsetBy(origin.x, origin.y);
            ASSERT_FALSE(back.isEmpty());
            ASSERT_TRUE(r.contains(back)) << str(back);
            for (const Rect& earlier : rects) {
                ASSERT_FALSE(earlier.overlaps(back)) << str(back);
                ASSERT_TRUE(earlier.bottom <= back.top ||
                            (earlier.top == back.top && earlier.right < back.left))
                    << "out of list order: " << str(earlier) << " then " << str(back);
            }
            rects.push_back(back);
            walked.fill(back);
        }
        inTarget.fill(r);
        inTarget.px &= model.px;
        ASSERT_TRUE(walked.px == inTarget.px) << "walk covers other pixels";
    }
}

TEST_F(RegionTest, KnownCases)
{
    struct tCase {
        const char* name;
        std::vector<Rect> a, b;  // each built with unionRect
        enum { Unite, Intersect, UnionRects } op;
        std::vector<Rect> expectedNodes;  // empty: single form or empty region
        Rect expectedBounds;
    };
    const tCase cases[] = {
        {"touching spans merge", {{0, 0, 10, 10}}, {{10, 0, 20, 10}}, tCase::Unite, {{0, 0, 20, 10}}, {0, 0, 20, 10}},
        {"touching bands coalesce", {{0, 0, 10, 10}}, {{0, 10, 10, 20}}, tCase::Unite, {{0, 0, 10, 20}}, {0, 0, 10, 20}},
        {"disjoint intersection is empty", {{0, 0, 10, 10}, {20, 20, 30, 30}}, {{12, 0, 18, 40}}, tCase::Intersect, {}, {}},
        {"union of a rectangle it contains", {{0, 0, 10, 10}}, {{2, 2, 4, 4}}, tCase::UnionRects, {}, {0, 0, 10, 10}},
        {"union with a rectangle containing it", {{2, 2, 4, 4}}, {{0, 0, 10, 10}}, tCase::UnionRects, {}, {0, 0, 10, 10}},
        {"touching span joins the band", {{0, 0, 10, 10}}, {{10, 0, 20, 10}}, tCase::UnionRects, {{0, 0, 20, 10}}, {0, 0, 20, 10}},
        {"gap between equal bands closes into one", {{0, 0, 10, 5}, {0, 10, 10, 15}}, {{0, 5, 10, 10}}, tCase::UnionRects,
         {{0, 0, 10, 15}}, {0, 0, 10, 15}},
        {"lengthening upward joins only a one-rectangle band above",
         {{0, 0, 2, 5}, {4, 0, 10, 5}, {4, 10, 10, 15}}, {{4, 5, 10, 10}}, tCase::UnionRects,
         {{0, 0, 2, 5}, {4, 0, 10, 5}, {4, 5, 10, 15}}, {0, 0, 10, 15}},
        {"band split around the new span", {{0, 0, 10, 10}}, {{20, 4, 30, 6}}, tCase::UnionRects,
         {{0, 0, 10, 4}, {0, 4, 10, 6}, {20, 4, 30, 6}, {0, 6, 10, 10}}, {0, 0, 30, 10}},
    };
    for (const tCase& c : cases) {
        SCOPED_TRACE(c.name);
        Region a, b, result;
        for (const Rect& r : c.a)
            a.unionRect(r);
        for (const Rect& r : c.b)
            b.unionRect(r);
        if (c.op == tCase::Unite)
            Region::unite(result, a, b);
        else if (c.op == tCase::Intersect)
            Region::intersect(result, a, b);
        else {
            for (const std::vector<Rect>* rects : {&c.a, &c.b})
                for (const Rect& r : *rects)
                    result.unionRect(r);
        }
        std::vector<Rect> nodes;
        for (const Region::tNode* n = result.head(); n; n = n->next)
            nodes.push_back(n->rect);
        EXPECT_EQ(result.getBounds(), c.expectedBounds);
        ASSERT_EQ(nodes.size(), c.expectedNodes.size()) << dump(result);
        for (std::size_t i = 0; i < nodes.size(); ++i)
            EXPECT_EQ(nodes[i], c.expectedNodes[i]) << i;
    }
}

TEST_F(RegionTest, ContainsRect)
{
    Region r;
    r.setRect({0, 0, 10, 10});
    EXPECT_EQ(r.containsRect({2, 2, 4, 4}), Region::eInside);
    EXPECT_EQ(r.containsRect({5, 5, 15, 15}), Region::ePartlyInside);
    EXPECT_EQ(r.containsRect({20, 20, 30, 30}), Region::eOutside);
    EXPECT_EQ(r.containsRect({4, 4, 4, 8}), Region::eOutside);  // empty
}

TEST_F(RegionTest, WalkOfOneRectangleClipsAndMovesIt)
{
    Region r;
    r.setRect({0, 0, 100, 100});
    std::vector<Rect> got;
    Rect out;
    for (auto it = r.beginRects(Rect{10, 20, 40, 60}, Point{10, 20}); it.next(out);)
        got.push_back(out);
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0], (Rect{0, 0, 30, 40}));
}

// Random operations on four regions against a bitmap model; operands alias freely.
TEST_F(RegionTest, RandomOperationsMatchBitmapModel)
{
    std::mt19937 rng(20261210);
    std::uniform_int_distribution<int> coord(0, 16), pick(0, 3), opKind(0, 99);
    auto randomRect = [&] {
        int l = coord(rng), t = coord(rng);
        if (opKind(rng) < 5)
            return Rect{l, t, l, t + 3};  // empty
        return Rect{l, t, l + 1 + coord(rng) / 3, t + 1 + coord(rng) / 3};
    };

    std::array<Region, 4> regions;
    std::array<Bitmap, 4> models;
    std::array<bool, 4> merged{true, true, true, true};

    for (int step = 0; step < 6000; ++step) {
        const int kind = opKind(rng);
        const int d = pick(rng), a = pick(rng), b = pick(rng);
        std::string what = "step " + std::to_string(step);
        if (kind < 35) {
            const Rect r = randomRect();
            regions[d].unionRect(r);
            if (!r.isEmpty())
                models[d].fill(r);
            merged[d] = false;  // the insertion does not join every pair of equal bands
            what += " unionRect " + str(r);
        } else if (kind < 55) {
            // The band operation joins every pair of equal bands; its fast paths copy.
            const Region &ra = regions[a], &rb = regions[b];
            const bool m = (a == b || ra.isEmpty()) ? merged[b] : rb.isEmpty() ? merged[a] : true;
            Region::unite(regions[d], ra, rb);
            Bitmap model = models[a];
            model.px |= models[b].px;
            models[d] = model;
            merged[d] = m;
            what += " unite";
        } else if (kind < 75) {
            const Region &ra = regions[a], &rb = regions[b];
            bool m = true;
            if (ra.isEmpty() || rb.isEmpty() || !ra.getBounds().overlaps(rb.getBounds()))
                m = true;
            else if (a == b)
                m = merged[a];
            else if (ra.isOneRect() && ra.getBounds().contains(rb.getBounds()))
                m = merged[b];
            else if (rb.isOneRect() && rb.getBounds().contains(ra.getBounds()))
                m = merged[a];
            Region::intersect(regions[d], ra, rb);
            Bitmap model = models[a];
            model.px &= models[b].px;
            models[d] = model;
            merged[d] = m;
            what += " intersect";
        } else if (kind < 83) {
            regions[a].copyTo(regions[d]);
            models[d] = models[a];
            merged[d] = merged[a];
            what += " copyTo";
        } else if (kind < 88) {
            const Rect r = randomRect();
            regions[d].setRect(r);
            models[d] = r.isEmpty() ? Bitmap{} : Bitmap::of(r);
            merged[d] = true;
            what += " setRect " + str(r);
        } else if (kind < 96) {
            const int dx = coord(rng) / 2 - 4, dy = coord(rng) / 2 - 4;
            const Rect moved = regions[d].getBounds().offsetBy(dx, dy);
            if (!regions[d].isEmpty() && (moved.left < -8 || moved.top < -8 || moved.right > 24 || moved.bottom > 24))
                continue;
            regions[d].offset(dx, dy);
            models[d] = models[d].shifted(dx, dy);
            what += " offset";
        } else {
            regions[d].clear();
            models[d] = Bitmap{};
            merged[d] = true;
            what += " clear";
        }
        for (int i = 0; i < 4; ++i)
            expectMatches(regions[i], models[i], merged[i], what + ", region " + std::to_string(i));
        expectQueries(regions[d], models[d], rng);
        if (HasFatalFailure())
            return;
    }
}

}  // namespace
}  // namespace HA::GP
