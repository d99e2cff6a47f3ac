#include "hwl/core/src/window/Window.h"

#include <gtest/gtest.h>

#include <memory>
#include <vector>

#include "hwl/core/src/window/App.h"
#include "hwl/tests/WindowGlueTestSupport.h"
#include "uia/app/AppModule.h"
#include "uia/app/Application.h"

namespace HA::HWL {
namespace {

using namespace Testing;
using UIA::TEST::windowShows;

using WindowGlue = GlueWindowTest;

TEST_F(WindowGlue, CreationPaintsEverythingAndStartsTheTimer)
{
    GlueWindow window;
    build(window);
    paints.clear();
    ASSERT_TRUE(window.create(glueDescriptor()));
    // The creation event and the platform's first size event each repaint the whole pane.

    ASSERT_NE(window.getEventTimer(), nullptr);
    EXPECT_EQ(timers.timerCount(), 1);
    EXPECT_EQ(window.getEventTimer()->interval, UIA::EventTimerManager::kDefaultTick);
    EXPECT_EQ(window.getEventTimer()->priority, -10);
    EXPECT_EQ(window.getEventTimer()->target, static_cast<UIA::EventTarget*>(&window));
    EXPECT_EQ(window.getWidth(), kWindowWidth);
    EXPECT_EQ(window.getHeight(), kWindowHeight);
    EXPECT_EQ(root->getSize().width, kWindowWidth);
    EXPECT_EQ(root->getSize().height, kWindowHeight);
    EXPECT_EQ(window.getCanvas().getScale(), window.getScaleFactor());
    EXPECT_EQ(paintCount("root"), 2);
    EXPECT_EQ(paintCount("panel"), 2);
    EXPECT_EQ(paintCount("other"), 2);
    for (const auto& parts : paints["root"])
        EXPECT_EQ(parts, (std::vector<GP::Rect>{{0, 0, kWindowWidth, kWindowHeight}}));
    EXPECT_TRUE(window.getDirtyRegion().isEmpty());
    EXPECT_TRUE(bufferShows(window.getCanvas().getBuffer(), picture(), "glue-created"));
    EXPECT_EQ(window.getWindow(), static_cast<UIA::Window*>(&window));
    EXPECT_EQ(window.getHostWindow(), static_cast<UIA::Window*>(&window));
}

TEST_F(WindowGlue, TheFirstFrameShowsTheCanvas)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor()));
    window.setVisible(true);
    OS::pumpMessages();
    EXPECT_TRUE(windowShows(hwndOf(window), expectedFrom(window.getCanvas().getBuffer()), "glue-first-frame"));
    EXPECT_TRUE(windowShows(hwndOf(window), picture(), "glue-first-frame-picture"));
}

TEST_F(WindowGlue, ShowingRepaintsTheWholePane)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor()));
    paints.clear();
    window.setVisible(true);
    EXPECT_EQ(paintCount("root"), 1);
    EXPECT_EQ(paintCount("panel"), 1);
    EXPECT_EQ(paintCount("other"), 1);
}

TEST_F(WindowGlue, IdleTicksPaintAndInvalidateNothing)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor()));
    window.setVisible(true);
    OS::pumpMessages();
    paints.clear();
    ASSERT_EQ(updateRect(window), GP::Rect{});

    tick(10);
    EXPECT_TRUE(paints.empty());
    EXPECT_EQ(updateRect(window), GP::Rect{});
    EXPECT_TRUE(window.getDirtyRegion().isEmpty());
}

TEST_F(WindowGlue, TicksComeFromTheThreadTimerOnTheClock)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor()));
    window.setVisible(true);
    OS::pumpMessages();
    paints.clear();
    int ticks = 0;
    // Widget timers are one-shot: each tick re-arms it.
    panel->timerHook = [&] {
        ++ticks;
        panel->setTimer(1);
    };
    panel->setTimer(1);
    for (int i = 0; i < 3; ++i) {
        OS::Clock::advance(UIA::EventTimerManager::kDefaultTick);
        OS::pumpMessages();
    }
    EXPECT_EQ(ticks, 3);
}

TEST_F(WindowGlue, AChangeRepaintsOnlyThatWidgetsBox)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor()));
    window.setVisible(true);
    OS::pumpMessages();
    paints.clear();

    panelColour = kGreen;
    panel->setEnabled(false);
    EXPECT_TRUE(paints.empty()) << "changes wait for the tick";
    tick();

    EXPECT_EQ(paintCount("panel"), 1);
    EXPECT_EQ(paintCount("other"), 0);
    ASSERT_EQ(paintCount("root"), 1);
    EXPECT_EQ(paints["root"][0], (std::vector<GP::Rect>{{20, 30, 120, 80}}));
    EXPECT_EQ(updateRect(window), (GP::Rect{20, 30, 120, 80}));
    EXPECT_TRUE(window.getDirtyRegion().isEmpty());
    EXPECT_TRUE(bufferShows(window.getCanvas().getBuffer(), picture(), "glue-change-canvas"));

    OS::pumpMessages();
    EXPECT_EQ(updateRect(window), GP::Rect{});
    EXPECT_TRUE(windowShows(hwndOf(window), picture(), "glue-change-window"));
}

TEST_F(WindowGlue, ASizeEventResizesPaneRootAndCanvasAtOnce)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor()));
    window.setVisible(true);
    OS::pumpMessages();
    paints.clear();

    struct Row {
        int width;
        int height;
    };
    for (const Row& row : std::vector<Row>{{400, 200}, {700, 380}, {1, 1}}) {
        paints.clear();
        OS::setWindowPos(hwndOf(window), nullptr, 0, 0, row.width, row.height,
                         OS::SWP_NOMOVE | OS::SWP_NOZORDER | OS::SWP_NOACTIVATE);
        // No message pumped: the size event did it all.
        EXPECT_EQ(window.getWidth(), row.width);
        EXPECT_EQ(window.getHeight(), row.height);
        EXPECT_EQ(root->getSize().width, row.width);
        EXPECT_EQ(root->getSize().height, row.height);
        EXPECT_EQ(window.getCanvas().getBuffer().getWidth(), row.width);
        EXPECT_EQ(window.getCanvas().getBuffer().getHeight(), row.height);
        ASSERT_EQ(paintCount("root"), 1) << row.width;
        EXPECT_EQ(paints["root"][0], (std::vector<GP::Rect>{{0, 0, row.width, row.height}}));
        EXPECT_TRUE(bufferShows(window.getCanvas().getBuffer(), picture(row.width, row.height),
                                "glue-resized-" + std::to_string(row.width)));
        OS::pumpMessages();
        EXPECT_TRUE(windowShows(hwndOf(window), picture(row.width, row.height),
                                "glue-resized-window-" + std::to_string(row.width)));
    }
}

TEST_F(WindowGlue, AnEmptyClientAreaPaintsNothing)
{
    GlueWindow window;
    build(window);
    paints.clear();
    ASSERT_TRUE(window.create(glueDescriptor(0, 0)));
    EXPECT_NE(window.getEventTimer(), nullptr);
    EXPECT_EQ(window.getWidth(), 0);
    EXPECT_EQ(window.getHeight(), 0);
    window.setVisible(true);
    panel->invalidate();
    tick(3);
    OS::pumpMessages();
    EXPECT_TRUE(paints.empty());
    EXPECT_EQ(window.getCanvas().getBuffer().getPixels(), nullptr);
    EXPECT_EQ(updateRect(window), GP::Rect{});

    // The area coming back paints everything.
    OS::setWindowPos(hwndOf(window), nullptr, 0, 0, 50, 40, OS::SWP_NOMOVE | OS::SWP_NOZORDER);
    EXPECT_EQ(paintCount("root"), 1);
}

TEST_F(WindowGlue, AWindowWithoutARootPaintsNothingAndTicksQuietly)
{
    GlueWindow window;
    ASSERT_TRUE(window.create(glueDescriptor(40, 30)));
    window.setVisible(true);
    tick(2);
    OS::pumpMessages();
    EXPECT_EQ(window.getWidth(), 40);
    EXPECT_TRUE(windowShows(hwndOf(window), ExpectedPixels(40, 30, 0xFF000000u), "glue-no-root"));
}

TEST_F(WindowGlue, AScaleEventRescalesTheCanvas)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor()));
    UIA::ScaleEventData scale{2.0f};
    window.handleEvent(UIA::kEventScaleChanged, &scale);
    EXPECT_EQ(window.getCanvas().getScale(), 2.0f);
}

TEST_F(WindowGlue, SizeLimitQueriesKeepTheBasesAnswer)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor()));
    UIA::SizeLimitsEventData limits;
    EXPECT_FALSE(window.handleEvent(UIA::kEventSizeLimits, &limits));
    UIA::ZoomSizeEventData zoom;
    EXPECT_FALSE(window.handleEvent(UIA::kEventZoomSize, &zoom));
}

TEST_F(WindowGlue, ALayeredWindowIsPushedNotPainted)
{
    GlueWindow window;
    build(window);
    ASSERT_TRUE(window.create(glueDescriptor(kWindowWidth, kWindowHeight,
                                             UIA::WindowDescriptor::kFrameless | UIA::WindowDescriptor::kLayered)));
    ASSERT_TRUE(window.isLayered());
    // Created hidden: the forced repaint pushed the canvas already.
    EXPECT_TRUE(windowShows(hwndOf(window), picture(), "glue-layered-created"));
    window.setVisible(true);
    OS::pumpMessages();

    panelColour = kGreen;
    panel->invalidate();
    tick();
    EXPECT_TRUE(windowShows(hwndOf(window), picture(), "glue-layered-tick"));
}

// An application attached to a module for the window's quit protocol.
class GlueModule : public UIA::AppModule {
public:
    bool initialize() override { return attachApplication(new App); }
    void deinitialize(bool) override { detachApplication(); }
};

TEST_F(WindowGlue, DestructionStopsTheTimerBeforeTheApplicationQuits)
{
    GlueModule module;
    ASSERT_TRUE(module.initialize());
    auto* app = UIA::Application::instance();
    ASSERT_NE(app, nullptr);
    ASSERT_FALSE(app->isQuitting());
    UIA::EventTimerManager& manager = app->getEventTimerManager();
    ASSERT_EQ(UIA::EventTimerManager::instance(), &manager);

    {
        GlueWindow window;
        build(window);
        ASSERT_TRUE(window.create(glueDescriptor()));
        EXPECT_EQ(app->getMainWindow(), &window);
        EXPECT_EQ(manager.timerCount(), 1);
        OS::destroyWindow(hwndOf(window));
        EXPECT_EQ(manager.timerCount(), 0);
        EXPECT_EQ(window.getEventTimer(), nullptr);
        EXPECT_TRUE(app->isQuitting());
        EXPECT_EQ(app->getMainWindow(), nullptr);
        manager.tick();
    }
    EXPECT_EQ(manager.timerCount(), 0);
    module.deinitialize(true);
}

TEST_F(WindowGlue, AWidgetTimerThatDestroysASelfDeletingWindowEndsTheTick)
{
    for (bool duringLayout : {false, true}) {
        auto* window = new GlueWindow;
        build(*window);
        window->setDeleteOnDestroy(true);
        ASSERT_TRUE(window->create(glueDescriptor()));
        const OS::HWND hwnd = hwndOf(*window);
        if (duringLayout) {
            // The update pass of the tick runs the hook.
            panel->layoutHook = [&](ScriptedWidget&) {
                panel->layoutHook = nullptr;
                OS::destroyWindow(hwnd);
            };
            panel->requestLayout();
        } else {
            panel->timerHook = [&] { OS::destroyWindow(hwnd); };
            panel->setTimer(1);
        }
        tick();
        EXPECT_FALSE(OS::isWindow(hwnd));
        EXPECT_EQ(timers.timerCount(), 0);
        EXPECT_EQ(root->getPane(), nullptr) << "the window object is gone";
        panel->timerHook = nullptr;
        tick();
    }
}

TEST_F(WindowGlue, DeletingAWindowStopsItsTimerAndClearsThePaneValue)
{
    auto window = std::make_unique<GlueWindow>();
    build(*window);
    ASSERT_TRUE(window->create(glueDescriptor()));
    window->setWindowValue(7);
    EXPECT_EQ(window->getUserValue(), 7);
    const OS::HWND hwnd = hwndOf(*window);
    window.reset();
    EXPECT_EQ(timers.timerCount(), 0);
    EXPECT_FALSE(OS::isWindow(hwnd));
    EXPECT_EQ(root->getPane(), nullptr);
    tick(2);
}

}  // namespace
}  // namespace HA::HWL
