#include "uia/events/EventTarget.h"

#include <gtest/gtest.h>

#include <vector>

#include "uia/events/Events.h"

using namespace HA::UIA;

namespace {

// Overrides only the handlers, so the entry points' defaults are what is tested.
class Handlers : public EventTarget {
public:
    bool onEvent(int code, void* data) override
    {
        events.push_back(code);
        lastData = data;
        return code == handledCode;
    }
    void onNotify(int code, void* data) override
    {
        notices.push_back(code);
        lastData = data;
    }
    int handledCode = 0;
    std::vector<int> events;
    std::vector<int> notices;
    void* lastData = nullptr;
};

}  // namespace

TEST(EventTargetDefaults, EntryPointsForwardToTheHandlers)
{
    Handlers target;
    target.handledCode = kEventCommand;
    CommandEventData command{kCommandQuit};
    EXPECT_TRUE(target.handleEvent(kEventCommand, &command));
    EXPECT_EQ(target.lastData, &command);
    EXPECT_FALSE(target.handleEvent(kEventKeyDown, noEventData()));
    target.notifyEvent(kEventDragOver, noEventData());
    EXPECT_EQ(target.events, (std::vector<int>{kEventCommand, kEventKeyDown}));
    EXPECT_EQ(target.notices, (std::vector<int>{kEventDragOver}));
    EXPECT_EQ(target.lastData, noEventData());
}

TEST(EventTargetDefaults, ThePlainTargetHandlesNothing)
{
    EventTarget target;
    for (int code : {kEventTimerTick, kEventMouseButton, kEventQuitRequest, kEventWindowDestroyed})
        EXPECT_FALSE(target.handleEvent(code, noEventData())) << code;
    target.notifyEvent(kEventDragLeave, noEventData());
}

