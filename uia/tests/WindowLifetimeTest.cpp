#include <gtest/gtest.h>

#include "uia/tests/WindowTestSupport.h"

using namespace HA;
using namespace HA::UIA;
using namespace HA::UIA::TEST;

namespace {

class WindowLifetime : public FrameworkWindowTest {};

constexpr OS::UINT kDestroyCommand = 700;  // handlers below destroy the window on this command

// How a window's platform window goes away.
enum class eRoad { Outside, OwnProcedure, Nested, CloseMessage };

TEST_F(WindowLifetime, TheOutermostCallDeletesTheImplementationAndTheObjectWhenAsked)
{
    struct Case {
        const char* name;
        eRoad road;
        bool deleteOnDestroy;
    };
    const Case cases[] = {
        {"outside, kept", eRoad::Outside, false},
        {"outside, deleted", eRoad::Outside, true},
        {"own procedure, kept", eRoad::OwnProcedure, false},
        {"own procedure, deleted", eRoad::OwnProcedure, true},
        {"nested, kept", eRoad::Nested, false},
        {"nested, deleted", eRoad::Nested, true},
        {"close, deleted", eRoad::CloseMessage, true},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        bool deleted = false;
        auto* window = new RecordingWindow(&deleted);
        window->setDeleteOnDestroy(c.deleteOnDestroy);
        ASSERT_TRUE(window->create(mainDescriptor()));
        const OS::HWND hwnd = window->hwnd();
        bool aliveAfterNested = false;
        window->handler = [&](RecordingWindow& self, int code, void* data) -> std::optional<bool> {
            if (code != kEventCommand || static_cast<CommandEventData*>(data)->id != int(kDestroyCommand))
                return std::nullopt;
            if (c.road == eRoad::Nested) {
                // The final message arrives inside this handler; the object must outlive it.
                OS::sendMessage(hwnd, OS::WM_CLOSE, 0, 0);
                aliveAfterNested = !deleted;
                self.events.push_back(-1);  // touches the object after the nested destruction
            } else {
                OS::destroyWindow(hwnd);
            }
            return true;
        };
        switch (c.road) {
        case eRoad::Outside:
            OS::destroyWindow(hwnd);
            break;
        case eRoad::OwnProcedure:
        case eRoad::Nested:
            OS::sendMessage(hwnd, OS::WM_COMMAND, kDestroyCommand, 0);
            break;
        case eRoad::CloseMessage:
            OS::sendMessage(hwnd, OS::WM_CLOSE, 0, 0);
            break;
        }
        EXPECT_FALSE(OS::isWindow(hwnd));
        EXPECT_EQ(deleted, c.deleteOnDestroy);
        if (c.road == eRoad::Nested) {
            EXPECT_TRUE(aliveAfterNested);
        }
        if (!c.deleteOnDestroy) {
            EXPECT_EQ(window->getImpl(), nullptr);
            EXPECT_EQ(window->count(kEventWindowDestroyed), 1);
            EXPECT_FALSE(window->isVisible());
            EXPECT_EQ(window->getSize(true), Size{});
            delete window;
        }
    }
}

TEST_F(WindowLifetime, DeletingTheObjectFirstDestroysItsWindowQuietly)
{
    bool deleted = false;
    auto* window = new RecordingWindow(&deleted);
    window->setDeleteOnDestroy(true);
    ASSERT_TRUE(window->create(mainDescriptor()));
    const OS::HWND hwnd = window->hwnd();
    delete window;
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(OS::isWindow(hwnd));
}

TEST_F(WindowLifetime, AnObjectDeletedInsideItsOwnHandlerIsNotHeardFromAgain)
{
    bool deleted = false;
    auto* window = new RecordingWindow(&deleted);
    ASSERT_TRUE(window->create(mainDescriptor()));
    const OS::HWND hwnd = window->hwnd();
    window->handler = [&](RecordingWindow& self, int code, void*) -> std::optional<bool> {
        if (code == kEventCommand) {
            delete &self;
            return true;
        }
        return std::nullopt;
    };
    // The implementation runs below the handler: it and the window go when the call returns.
    OS::sendMessage(hwnd, OS::WM_COMMAND, 1, 0);
    EXPECT_TRUE(deleted);
    EXPECT_FALSE(OS::isWindow(hwnd));
}

TEST_F(WindowLifetime, AClosedWindowWhoseCloseIsVetoedStaysOpen)
{
    RecordingWindow window;
    ASSERT_TRUE(window.create(mainDescriptor()));
    window.handler = [](RecordingWindow&, int code, void* data) -> std::optional<bool> {
        if (code != kEventCloseRequest)
            return std::nullopt;
        static_cast<VetoEventData*>(data)->allowed = false;
        return true;
    };
    EXPECT_EQ(OS::sendMessage(window.hwnd(), OS::WM_CLOSE, 0, 0), 0);
    EXPECT_TRUE(OS::isWindow(window.hwnd()));
    EXPECT_EQ(window.count(kEventCloseRequest), 1);
    EXPECT_EQ(window.count(kEventWindowDestroyed), 0);
    window.handler = nullptr;
    OS::sendMessage(window.hwnd(), OS::WM_CLOSE, 0, 0);
    EXPECT_EQ(window.getImpl(), nullptr);
    EXPECT_EQ(window.count(kEventWindowDestroyed), 1);
}

}  // namespace

namespace {

TEST_F(WindowLifetime, AWindowDestroyedByItsOwnCreationEventLeavesNothing)
{
    bool deleted = false;
    RecordingWindow* window = new RecordingWindow(&deleted);
    window->setDeleteOnDestroy(true);
    window->handler = [](RecordingWindow& self, int code, void*) -> std::optional<bool> {
        if (code == kEventWindowCreated)
            OS::destroyWindow(self.hwnd());
        return std::nullopt;
    };
    EXPECT_FALSE(window->create(mainDescriptor()));
    EXPECT_FALSE(deleted);  // the caller still holds it
    EXPECT_EQ(window->getImpl(), nullptr);
    EXPECT_TRUE(OS::getTopLevelWindows().empty());
    delete window;
}

}  // namespace
