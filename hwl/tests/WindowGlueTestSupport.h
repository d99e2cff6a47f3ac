#pragma once
// Widget windows for tests: the stand-in's window classes around each test on the manual
// clock, an event-timer manager whose ticks the test runs, and a small tree whose widgets
// record what they paint.

#include <gtest/gtest.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "hwl/core/src/window/Window.h"
#include "hwl/tests/CanvasTestSupport.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "uia/tests/WindowPixelsSupport.h"
#include "uia/tests/WindowTestSupport.h"

namespace HA::HWL::Testing {

using GlueWindow = Window<UIA::StandaloneWindow>;

constexpr std::uint32_t kGrey = 0xFF808080u;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr std::uint32_t kBlue = 0xFF0000FFu;
constexpr std::uint32_t kGreen = 0xFF00FF00u;
constexpr int kWindowWidth = 628;
constexpr int kWindowHeight = 336;

// A frameless window with that client size.
inline UIA::WindowDescriptor glueDescriptor(int width = kWindowWidth, int height = kWindowHeight,
                                            std::uint32_t styleFlags = UIA::WindowDescriptor::kFrameless)
{
    UIA::WindowDescriptor d = UIA::TEST::mainDescriptor();
    d.styleFlags = styleFlags;
    d.right = width;
    d.bottom = height;
    return d;
}

// What each widget painted: its dirty rectangles (widget coordinates), one entry a paint.
using tPaintLog = std::map<std::string, std::vector<std::vector<GP::Rect>>>;

// Fills the dirty parts with the colour that `colour` points at, and logs them.
inline std::function<void(ScriptedWidget&, PaintContext&)> loggingFiller(tPaintLog& log, const std::string& name,
                                                                         const std::uint32_t* colour)
{
    return [&log, name, colour](ScriptedWidget& w, PaintContext& context) {
        std::vector<GP::Rect> parts;
        const GP::Rect whole{0, 0, w.getSize().width, w.getSize().height};
        const GP::Point o = context.canvas.getOrigin();
        context.forEachDirtyRect(whole, [&](const GP::Rect& d) {
            context.canvas.fillRect(d, *colour);
            parts.push_back(d.offsetBy(-o.x, -o.y));
        });
        log[name].push_back(parts);
    };
}

class GlueWindowTest : public UIA::TEST::FrameworkWindowTest {
protected:
    // A grey root holding a red panel at (20, 30), 100 x 50, and a blue one at (300, 100),
    // 60 x 40.
    void build(GlueWindow& window)
    {
        root->painter = loggingFiller(paints, "root", &rootColour);
        panel->painter = loggingFiller(paints, "panel", &panelColour);
        other->painter = loggingFiller(paints, "other", &otherColour);
        root->addChild(panel, "panel");
        root->addChild(other, "other");
        panel->setSize(100, 50);
        panel->setPosition({20, 30});
        other->setSize(60, 40);
        other->setPosition({300, 100});
        window.setRoot(root, "root");
    }

    ExpectedPixels picture(int width = kWindowWidth, int height = kWindowHeight) const
    {
        ExpectedPixels e(width, height, rootColour);
        const GP::Rect whole{0, 0, width, height};
        fillExpected(e, GP::Rect::intersect({20, 30, 120, 80}, whole), panelColour);
        fillExpected(e, GP::Rect::intersect({300, 100, 360, 140}, whole), otherColour);
        return e;
    }

    int paintCount(const std::string& name) const
    {
        auto it = paints.find(name);
        return it == paints.end() ? 0 : static_cast<int>(it->second.size());
    }

    static OS::HWND hwndOf(GlueWindow& window) { return window.getImpl() ? window.getImpl()->getHwnd() : nullptr; }

    // The window's pending update area; empty when nothing is invalid.
    static GP::Rect updateRect(GlueWindow& window)
    {
        OS::RECT r{};
        if (!OS::getUpdateRect(hwndOf(window), r))
            return GP::Rect{};
        return GP::Rect{r.left, r.top, r.right, r.bottom};
    }

    void tick(int count = 1)
    {
        for (int i = 0; i < count; ++i)
            timers.tick();
    }

    UIA::EventTimerManager timers;
    tJournal journal;
    tPaintLog paints;
    std::uint32_t rootColour = kGrey;
    std::uint32_t panelColour = kRed;
    std::uint32_t otherColour = kBlue;
    std::shared_ptr<ScriptedWidget> root = makeScripted(&journal);
    std::shared_ptr<ScriptedWidget> panel = makeScripted(&journal);
    std::shared_ptr<ScriptedWidget> other = makeScripted(&journal);
};

}  // namespace HA::HWL::Testing
