#include <gtest/gtest.h>

#include <cmath>
#include <memory>
#include <vector>

#include "hwl/tests/CanvasTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::bufferShows;
using Testing::ExpectedPixels;
using Testing::fillExpected;
using Testing::filler;
using Testing::makeScripted;
using Testing::ScriptedWidget;

constexpr std::uint32_t kGrey = 0xFF808080u;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;

// A 60 x 40 pane: a grey root with a red panel at (10, 10) 30 x 20 holding a blue item at
// (5, 5) 10 x 10 (absolute (15, 15)).
class PaintFixture {
public:
    explicit PaintFixture(float scale = 1.0f)
    {
        pane.setSize(60, 40);
        root->painter = filler(kGrey);
        panel->painter = filler(kRed);
        item->painter = filler(kBlue);
        root->addChild(panel, "panel");
        panel->addChild(item, "item");
        panel->setSize(30, 20);
        panel->setPosition({10, 10});
        item->setSize(10, 10);
        item->setPosition({5, 5});
        pane.setRoot(root, "root");
        canvas.setScale(scale);
        canvas.resize(60, 40);
        collect();
    }

    void collect()
    {
        dirty.clear();
        pane.collectDirtyRegion(dirty);
    }

    ExpectedPixels picture(std::uint32_t panelColour = kRed) const
    {
        ExpectedPixels e(60, 40, kGrey);
        fillExpected(e, {10, 10, 40, 30}, panelColour);
        fillExpected(e, {15, 15, 25, 25}, kBlue);
        return e;
    }

    Pane pane;
    std::shared_ptr<ScriptedWidget> root = makeScripted();
    std::shared_ptr<ScriptedWidget> panel = makeScripted();
    std::shared_ptr<ScriptedWidget> item = makeScripted();
    BackgroundDrawingCanvas canvas;
    GP::Region dirty;
};

TEST(Painting, ParentsPaintBeforeTheirChildren)
{
    PaintFixture f;
    f.pane.paint(f.canvas, f.dirty, Pane::kPaintAll);
    EXPECT_TRUE(bufferShows(f.canvas.getBuffer(), f.picture(), "paint-tree"));
}

TEST(Painting, AnEmptyRegionPaintsTheWholeRoot)
{
    PaintFixture f;
    f.pane.paint(f.canvas, GP::Region(), Pane::kPaintAll);
    EXPECT_TRUE(bufferShows(f.canvas.getBuffer(), f.picture(), "paint-empty-region"));
}

TEST(Painting, DrawForegroundPaintsAfterTheChildrenAndCoversThem)
{
    PaintFixture f;
    f.panel->changeFlags(Widget::ePaintAfterChildren, Widget::ePaintBeforeChildren);
    int phase = 0;
    f.panel->painter = [&](ScriptedWidget& w, PaintContext& context) {
        phase = context.phase;
        filler(kRed)(w, context);
    };
    f.pane.paint(f.canvas, f.dirty, Pane::kPaintAll);
    EXPECT_EQ(phase, PaintContext::kPhaseAfterChildren);
    ExpectedPixels e(60, 40, kGrey);
    fillExpected(e, {10, 10, 40, 30}, kRed);
    EXPECT_TRUE(bufferShows(f.canvas.getBuffer(), e, "paint-draw-foreground"));
}

TEST(Painting, AOneRectangleRepaintEqualsAFullOne)
{
    for (float scale : {1.0f, 1.5f, 2.0f}) {
        PaintFixture f(scale);
        f.pane.paint(f.canvas, f.dirty, Pane::kPaintAll);
        // The panel turns green; only a 22 x 22 rectangle is repainted.
        f.panel->painter = filler(0xFF00FF00u);
        GP::Region part;
        part.setRect({12, 12, 34, 34});
        f.pane.paint(f.canvas, part, Pane::kPaintAll);

        PaintFixture full(scale);
        full.panel->painter = filler(0xFF00FF00u);
        full.pane.paint(full.canvas, full.dirty, Pane::kPaintAll);
        // Outside the rectangle the old picture stays; inside it equals a full repaint.
        ExpectedPixels e = Testing::expectedFrom(full.canvas.getBuffer());
        const UIA::Picture& old = f.canvas.getBuffer();
        auto s = [scale](int v) { return int(std::lroundf(float(v) * scale)); };
        for (int y = 0; y < e.height; ++y)
            for (int x = 0; x < e.width; ++x)
                if (!(x >= s(12) && x < s(34) && y >= s(12) && y < s(34)) &&
                    ((x >= s(10) && x < s(40) && y >= s(10) && y < s(30)) &&
                     !(x >= s(15) && x < s(25) && y >= s(15) && y < s(25))))
                    e.at(x, y) = kRed;
        EXPECT_TRUE(bufferShows(old, e, "paint-one-rectangle-" + std::to_string(int(scale * 10))));
    }
}

TEST(Painting, ModesChooseTheRootTheOverlaysOrBoth)
{
    PaintFixture f;
    auto overlay = makeScripted();
    overlay->painter = filler(0xFF00FF00u);
    overlay->setSize(10, 10);
    f.pane.addOverlay(overlay);
    overlay->setPane(&f.pane);
    Testing::place(*overlay, 0, 0, 10, 10);
    f.collect();
    f.canvas.fill(0xFFFFFFFFu);
    GP::Region all;
    all.setRect({0, 0, 60, 40});
    f.pane.paintRegion(Pane::kPaintOverlays, all, f.canvas);
    ExpectedPixels overlaysOnly(60, 40, 0xFFFFFFFFu);
    fillExpected(overlaysOnly, {0, 0, 10, 10}, 0xFF00FF00u);
    EXPECT_TRUE(bufferShows(f.canvas.getBuffer(), overlaysOnly, "paint-mode-overlays"));
    f.pane.paintRegion(Pane::kPaintRoot, all, f.canvas);
    EXPECT_TRUE(bufferShows(f.canvas.getBuffer(), f.picture(), "paint-mode-root"));
    f.pane.paint(f.canvas, all, Pane::kPaintAll);
    ExpectedPixels both = f.picture();
    fillExpected(both, {0, 0, 10, 10}, 0xFF00FF00u);
    EXPECT_TRUE(bufferShows(f.canvas.getBuffer(), both, "paint-mode-all"));
}

TEST(Painting, OnlyTheDirtyAreaIsClearedAndHiddenWidgetsDoNotPaint)
{
    PaintFixture f;
    f.root->painter = nullptr;
    f.panel->painter = nullptr;
    f.item->setVisible(false);
    f.collect();
    f.canvas.fill(0xFFFFFFFFu);
    f.pane.paint(f.canvas, f.dirty, Pane::kPaintAll);
    // Hiding the item dirtied the panel: its box is cleared to transparent, nothing paints
    // over it, and the rest of the canvas is left alone.
    ExpectedPixels e(60, 40, 0xFFFFFFFFu);
    fillExpected(e, {10, 10, 40, 30}, 0);
    EXPECT_TRUE(bufferShows(f.canvas.getBuffer(), e, "paint-hidden"));
}

class NoticedWidget : public ScriptedWidget {
public:
    using ScriptedWidget::ScriptedWidget;
    void onGeometryChanged() override { ++notices; }
    int notices = 0;
};

TEST(Painting, GeometryNoticesAfterThePaintForWidgetsThatMoved)
{
    PaintFixture f;
    auto noticed = std::make_shared<NoticedWidget>();
    noticed->changeFlags(Widget::eWantsGeometryNotice, 0);
    f.panel->addChild(noticed, "noticed");
    f.collect();
    f.pane.paint(f.canvas, f.dirty, Pane::kPaintAll);
    EXPECT_EQ(noticed->notices, 1);
    EXPECT_FALSE(noticed->hasFlag(Widget::eGeometryChanged));
    f.pane.paint(f.canvas, f.dirty, Pane::kPaintAll);
    EXPECT_EQ(noticed->notices, 1);
}

}  // namespace
}  // namespace HA::HWL
