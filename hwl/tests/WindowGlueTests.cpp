#include "hwl/core/src/Window.h"

#include <gtest/gtest.h>

#include <memory>

#include "hwl/core/src/App.h"
#include "hwl/tests/CanvasTestSupport.h"
#include "os/windows/MessagePump.h"
#include "uia/tests/WindowTestSupport.h"

namespace HA::HWL {
namespace {

using Testing::ExpectedPixels;
using Testing::fillExpected;
using Testing::filler;
using Testing::makeScripted;
using Testing::ScriptedWidget;
using UIA::TEST::windowShows;

using GlueWindow = Window<UIA::StandaloneWindow>;

constexpr std::uint32_t kGrey = 0xFF808080u;
constexpr std::uint32_t kRed = 0xFFFF0000u;
constexpr int kWidth = 628;
constexpr int kHeight = 336;

UIA::WindowDescriptor descriptor(int width = kWidth, int height = kHeight)
{
    UIA::WindowDescriptor d = UIA::TEST::mainDescriptor();
    d.right = width;
    d.bottom = height;
    return d;
}

class WindowGlue : public UIA::TEST::FrameworkWindowTest {
protected:
    // A grey root holding a red panel at (20, 30), 100 x 50.
    void build(GlueWindow& window)
    {
        root->painter = filler(kGrey);
        panel->painter = filler(kRed);
        root->addChild(panel, "panel");
        panel->setSize(100, 50);
        panel->setPosition({20, 30});
        window.setRoot(root, "root");
    }

    ExpectedPixels picture() const
    {
        ExpectedPixels e(kWidth, kHeight, kGrey);
        fillExpected(e, {20, 30, 120, 80}, kRed);
        return e;
    }

    UIA::EventTimerManager timers;
    std::shared_ptr<ScriptedWidget> root = makeScripted();
    std::shared_ptr<ScriptedWidget> panel = makeScripted();
};

TEST_F(WindowGlue, CreationSizesPaintsAndStartsTheTimer)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(descriptor()));
    EXPECT_NE(window.getEventTimer(), nullptr);
    EXPECT_EQ(timers.timerCount(), 1);
    EXPECT_EQ(window.getWidth(), kWidth);
    EXPECT_EQ(window.getHeight(), kHeight);
    EXPECT_EQ(root->getSize().width, kWidth);
    EXPECT_EQ(window.getCanvas().getBuffer().getWidth(), kWidth);
    EXPECT_TRUE(Testing::bufferShows(window.getCanvas().getBuffer(), picture(), "glue-created"));
    window.setVisible(true);
    OS::pumpMessages();
    EXPECT_TRUE(windowShows(window.getImpl()->getHwnd(), picture(), "glue-first-frame"));
    EXPECT_EQ(window.getWindow(), &window);
}

}  // namespace
}  // namespace HA::HWL
