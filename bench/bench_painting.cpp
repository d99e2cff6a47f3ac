// One tick's dirty collection and paint of a wizard-shaped widget tree (628 x 336, nine-patch
// panels): a 22 x 22 widget that changed, and the whole pane; beside memcpy of the pane's
// pixels, the least a repaint of the whole pane could cost.

#include <benchmark/benchmark.h>

#include <cstring>
#include <memory>
#include <vector>

#include "gp/src/common/memory/SmallPool.h"
#include "hwl/core/src/canvas/Canvas.h"
#include "hwl/core/src/canvas/PaintContext.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

namespace {

using namespace HA;
using HWL::Widget;

struct PoolScope {
    PoolScope() { GP::acquireSmallPool(); }
    ~PoolScope() { GP::releaseSmallPool(); }
};

// A 12 x 12 nine-patch frame: a dark border of 4 pixels round a light centre.
std::shared_ptr<UIA::Picture> ninePatch(std::uint32_t border, std::uint32_t centre)
{
    auto picture = std::make_shared<UIA::Picture>();
    picture->setSize(12, 12, UIA::Picture::eBlock::Discard);
    picture->fill(border);
    for (int y = 4; y < 8; ++y)
        for (int x = 4; x < 8; ++x)
            picture->getPixels()[y * 12 + x] = centre;
    picture->setHasAlpha(true);
    picture->setVerticalMarginsEnabled(true);
    picture->setHorizontalMarginsEnabled(true);
    picture->setTopMargin(4);
    picture->setBottomMargin(4);
    picture->setLeftMargin(4);
    picture->setRightMargin(4);
    return picture;
}

// A panel that draws its nine-patch over its dirty parts, as styled bars do.
class Panel : public Widget {
public:
    explicit Panel(std::shared_ptr<UIA::Picture> picture) : mPicture(std::move(picture)) {}
    ha::symbol getClass() const override { return ha::symbol(std::string("Bar")); }
    void paint(HWL::PaintContext& context) override
    {
        const GP::Rect rect{0, 0, getSize().width, getSize().height};
        context.forEachDirtyRect(rect, [&](const GP::Rect& d) {
            context.canvas.setClip(d);
            context.canvas.drawNinePatch(rect, *mPicture, 0, std::nullopt, false);
            context.canvas.resetClip();
        });
    }

private:
    std::shared_ptr<UIA::Picture> mPicture;
};

struct Wizard {
    Wizard()
    {
        pane.setSize(628, 336);
        auto dark = ninePatch(0xFF202020u, 0xFF303030u);
        auto light = ninePatch(0xFF808080u, 0xFFC0C0C0u);
        auto root = std::make_shared<Panel>(dark);
        auto add = [&](const std::shared_ptr<Widget>& parent, std::shared_ptr<UIA::Picture> picture, int x, int y,
                       int w, int h) {
            auto panel = std::make_shared<Panel>(std::move(picture));
            parent->addChild(panel);
            panel->setSize(w, h);
            panel->setPosition({x, y});
            return std::shared_ptr<Widget>(panel);
        };
        auto header = add(root, light, 0, 0, 628, 60);
        for (int i = 0; i < 4; ++i)
            add(header, dark, 10 + i * 150, 10, 140, 40);
        auto body = add(root, light, 0, 60, 628, 230);
        for (int row = 0; row < 6; ++row) {
            auto line = add(body, dark, 10, 10 + row * 36, 608, 30);
            for (int i = 0; i < 5; ++i)
                add(line, light, 4 + i * 120, 4, 110, 22);
        }
        auto footer = add(root, light, 0, 290, 628, 46);
        wheel = add(footer, dark, 20, 12, 22, 22);
        for (int i = 0; i < 3; ++i)
            add(footer, dark, 330 + i * 98, 8, 90, 30);
        pane.setRoot(root, "root");
        canvas.resize(628, 336);
        tick();
    }

    void tick()
    {
        dirty.clear();
        pane.collectDirtyRegion(dirty);
        pane.paint(canvas, dirty, HWL::Pane::kPaintAll);
    }

    PoolScope pool;
    HWL::Pane pane;
    HWL::BackgroundDrawingCanvas canvas;
    GP::Region dirty;
    std::shared_ptr<Widget> wheel;
};

void BM_TickOfA22x22Widget(benchmark::State& state)
{
    Wizard wizard;
    for (auto _ : state) {
        wizard.wheel->invalidate();
        wizard.tick();
        benchmark::DoNotOptimize(wizard.canvas.getPixels());
    }
}
BENCHMARK(BM_TickOfA22x22Widget);

void BM_TickOfTheWholePane(benchmark::State& state)
{
    Wizard wizard;
    for (auto _ : state) {
        wizard.pane.invalidateRoot();
        wizard.tick();
        benchmark::DoNotOptimize(wizard.canvas.getPixels());
    }
}
BENCHMARK(BM_TickOfTheWholePane);

// The peer: copying the whole pane's pixels once.
void BM_MemcpyOfThePane(benchmark::State& state)
{
    std::vector<std::uint32_t> from(628 * 336, 0xFF808080u), to(628 * 336);
    for (auto _ : state) {
        std::memcpy(to.data(), from.data(), from.size() * sizeof(std::uint32_t));
        benchmark::DoNotOptimize(to.data());
    }
}
BENCHMARK(BM_MemcpyOfThePane);

}  // namespace

BENCHMARK_MAIN();
