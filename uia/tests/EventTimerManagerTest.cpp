#include "uia/events/EventTimerManager.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <vector>

#include "os/kernel/Clock.h"
#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/timers/MessagePump.h"
#include "uia/events/EventTarget.h"
#include "uia/platform/events/EventTimerManagerWinBridge.h"

using namespace HA;
using namespace HA::UIA;

namespace {

// Logs its name and the clock time of each timer event; `onTick` may act on it.
class TimerTarget : public EventTarget {
public:
    TimerTarget(std::vector<std::string>& log, std::string name) : mLog(log), mName(std::move(name)) {}

    bool onEvent(int code, void* data) override
    {
        if (code != kEventTimerTick)
            return false;
        ++events;
        times.push_back(OS::Clock::now());
        mLog.push_back(mName);
        if (onTick)
            onTick(*static_cast<TimerEventData*>(data));
        return true;
    }

    int events = 0;
    std::vector<OS::TimeMs> times;
    std::function<void(TimerEventData&)> onTick;

private:
    std::vector<std::string>& mLog;
    std::string mName;
};

class EventTimers : public ::testing::Test {
protected:
    void TearDown() override { drainQueue(); }

    static void drainQueue()
    {
        OS::MSG msg;
        while (OS::peekMessage(msg, nullptr, 0, 0, OS::PM_REMOVE)) {
        }
    }

    EventTimerManagerWinBridge& bridge() { return *static_cast<EventTimerManagerWinBridge*>(mManager.bridge()); }

    OS::ManualClockScope mClock;
    EventTimerManager mManager;
    std::vector<std::string> mLog;
};

}  // namespace

TEST_F(EventTimers, IntervalsRoundToTheTickWithTiesDown)
{
    struct Case {
        int tick;
        int interval;
        int expected;
    };
    const std::vector<Case> cases = {
        {40, 0, 40},   {40, -5, 40},  {40, 40, 40},  {40, 60, 40},  {40, 61, 80},  {40, 99, 80},
        {40, 100, 80}, {40, 101, 120}, {25, 0, 25},  {25, 37, 25},  {25, 38, 50},  {25, 62, 50},
        {25, 63, 75},
    };
    for (const Case& c : cases) {
        EventTimerManager manager;
        ASSERT_TRUE(manager.setTick(c.tick));
        TimerTarget target(mLog, "t");
        EventTimerHandle timer = EventTimerManager::addTimer(&target, c.interval, 0);
        ASSERT_NE(timer, nullptr);
        EXPECT_EQ(timer->interval, c.expected) << "tick " << c.tick << " interval " << c.interval;
        EXPECT_EQ(timer->remaining, c.expected) << "tick " << c.tick << " interval " << c.interval;
        EventTimerManager::removeTimerOf(&target, timer);
    }
}

TEST_F(EventTimers, TimersFireEveryIntervalOnTheThreadTimer)
{
    TimerTarget fast(mLog, "fast");
    TimerTarget slow(mLog, "slow");
    EventTimerManager::addTimer(&fast, 0, 0);
    EventTimerManager::addTimer(&slow, 61, 0);
    OS::pumpMessagesFor(240);
    EXPECT_EQ(fast.times, (std::vector<OS::TimeMs>{40, 80, 120, 160, 200, 240}));
    EXPECT_EQ(slow.times, (std::vector<OS::TimeMs>{80, 160, 240}));
}

TEST_F(EventTimers, HigherPrioritiesRunFirstEqualOnesInCreationOrder)
{
    struct Case {
        std::vector<int> priorities;  // in creation order
        std::string order;            // names (creation index) in visit order
    };
    const std::vector<Case> cases = {
        {{-10, 5, -10}, "102"},
        {{0, 5, 0, 10, -1}, "31024"},
        {{3, 3, 3}, "012"},
        {{-1, -2, -3}, "012"},
        {{-3, -2, -1}, "210"},
    };
    for (const Case& c : cases) {
        std::vector<std::string> log;
        std::vector<std::unique_ptr<TimerTarget>> targets;
        std::vector<EventTimerHandle> timers;
        for (size_t i = 0; i < c.priorities.size(); ++i) {
            targets.push_back(std::make_unique<TimerTarget>(log, std::to_string(i)));
            timers.push_back(EventTimerManager::addTimer(targets.back().get(), 40, c.priorities[i]));
        }
        mManager.tick();
        std::string order;
        for (const std::string& name : log)
            order += name;
        EXPECT_EQ(order, c.order);
        for (size_t i = 0; i < timers.size(); ++i)
            EventTimerManager::removeTimerOf(targets[i].get(), timers[i]);
    }
}

TEST_F(EventTimers, AHandlerRemovingItsOwnTimerLetsTheNextOneRunInTheSameTick)
{
    TimerTarget first(mLog, "first");
    TimerTarget second(mLog, "second");
    EventTimerHandle own = EventTimerManager::addTimer(&first, 40, 1);
    EventTimerManager::addTimer(&second, 40, 0);
    first.onTick = [&](TimerEventData& data) {
        EXPECT_EQ(data.timer, own);
        EXPECT_EQ(data.interval, 40);
        EventTimerManager::removeTimerOf(&first, own);
        EventTimerManager::removeTimerOf(&first, own);  // a second removal changes nothing
        EXPECT_EQ(mManager.timerCount(), 2);            // freed only after the visit
    };
    mManager.tick();
    EXPECT_EQ(mLog, (std::vector<std::string>{"first", "second"}));
    EXPECT_EQ(mManager.timerCount(), 1);
    mManager.tick();
    EXPECT_EQ(mLog, (std::vector<std::string>{"first", "second", "second"}));
}

TEST_F(EventTimers, AHandlerRemovingAnotherTimer)
{
    struct Case {
        const char* name;
        int victimPriority;  // the remover has priority 0
        std::vector<std::string> firstTick;
    };
    const std::vector<Case> cases = {
        {"later timer is not visited", -1, {"remover"}},
        {"earlier timer was visited", 1, {"victim", "remover"}},
    };
    for (const Case& c : cases) {
        EventTimerManager manager;
        std::vector<std::string> log;
        TimerTarget remover(log, "remover");
        TimerTarget victim(log, "victim");
        EventTimerManager::addTimer(&remover, 40, 0);
        EventTimerHandle victimTimer = EventTimerManager::addTimer(&victim, 40, c.victimPriority);
        remover.onTick = [&](TimerEventData&) {
            EventTimerManager::removeTimerOf(&remover, victimTimer);  // not its timer: nothing
            EXPECT_EQ(manager.timerCount(), 2) << c.name;
            EventTimerManager::removeTimerOf(&victim, victimTimer);
            EXPECT_EQ(manager.timerCount(), 1) << c.name;  // not busy: freed at once
        };
        manager.tick();
        EXPECT_EQ(log, c.firstTick) << c.name;
        remover.onTick = nullptr;
        manager.tick();
        EXPECT_EQ(log.back(), "remover") << c.name;
        EXPECT_EQ(victim.events, c.victimPriority > 0 ? 1 : 0) << c.name;
    }
}

TEST_F(EventTimers, NullStaleAndForeignHandlesAreIgnored)
{
    TimerTarget a(mLog, "a");
    TimerTarget b(mLog, "b");
    EventTimerHandle timerA = EventTimerManager::addTimer(&a, 40, 0);
    EventTimerManager::removeTimerOf(&a, nullptr);
    EventTimerManager::removeTimerOf(&b, timerA);
    EXPECT_EQ(mManager.timerCount(), 1);
    EventTimerManager::removeTimerOf(&a, timerA);
    EXPECT_EQ(mManager.timerCount(), 0);
    EventTimerManager::removeTimerOf(&a, timerA);  // stale: freed already
    EXPECT_EQ(mManager.timerCount(), 0);
}

// A handler that pumps messages (a modal loop) lets further ticks run inside its event.
TEST_F(EventTimers, RemovalInsideANestedPumpStopsEventsAndFreesAfterTheOuterVisit)
{
    struct Case {
        const char* name;
        bool removeItselfBeforePumping;  // else the other timer removes it in a nested tick
    };
    for (const Case c : {Case{"removes itself, then pumps", true}, Case{"removed by a nested tick", false}}) {
        EventTimerManager manager;
        std::vector<std::string> log;
        TimerTarget modal(log, "modal");
        TimerTarget other(log, "other");
        EventTimerHandle modalTimer = EventTimerManager::addTimer(&modal, 40, 1);
        EventTimerManager::addTimer(&other, 40, 0);
        modal.onTick = [&](TimerEventData&) {
            if (modal.events > 1)
                return;
            if (c.removeItselfBeforePumping)
                EventTimerManager::removeTimerOf(&modal, modalTimer);
            OS::pumpMessagesFor(200);
            EXPECT_EQ(manager.timerCount(), 2) << c.name;  // still linked while busy
        };
        other.onTick = [&](TimerEventData&) {
            if (!c.removeItselfBeforePumping && other.events == 1)
                EventTimerManager::removeTimerOf(&modal, modalTimer);
        };
        OS::pumpMessagesFor(40);
        const int modalEvents = modal.events;
        EXPECT_EQ(modalEvents, c.removeItselfBeforePumping ? 1 : 2) << c.name;
        EXPECT_EQ(manager.timerCount(), 1) << c.name;
        EXPECT_EQ(other.events, 6) << c.name;  // five nested ticks and the outer visit
        OS::pumpMessagesFor(80);
        EXPECT_EQ(modal.events, modalEvents) << c.name;
        EXPECT_EQ(other.events, 8) << c.name;
    }
}

TEST_F(EventTimers, TheThreadTimerRunsExactlyWhileTimersExist)
{
    TimerTarget target(mLog, "t");
    EXPECT_EQ(bridge().timerId(), 0u);
    EXPECT_EQ(EventTimerManagerWinBridge::registeredTimers(), 0u);

    EventTimerHandle timer = EventTimerManager::addTimer(&target, 40, 0);
    const OS::UINT_PTR firstId = bridge().timerId();
    ASSERT_NE(firstId, 0u);
    auto info = OS::findTimer(nullptr, firstId);
    ASSERT_TRUE(info);
    EXPECT_EQ(info->elapseMs, 40u);
    EXPECT_EQ(EventTimerManagerWinBridge::registeredTimers(), 1u);

    EventTimerHandle second = EventTimerManager::addTimer(&target, 80, 0);
    EXPECT_EQ(bridge().timerId(), firstId);
    EventTimerManager::removeTimerOf(&target, second);
    EXPECT_EQ(bridge().timerId(), firstId);

    EventTimerManager::removeTimerOf(&target, timer);
    EXPECT_EQ(bridge().timerId(), 0u);
    EXPECT_FALSE(OS::findTimer(nullptr, firstId));
    EXPECT_EQ(EventTimerManagerWinBridge::registeredTimers(), 0u);

    // A timer removed by its own handler stops the thread timer after the tick.
    timer = EventTimerManager::addTimer(&target, 40, 0);
    ASSERT_NE(bridge().timerId(), 0u);
    EXPECT_TRUE(OS::findTimer(nullptr, bridge().timerId()));
    target.onTick = [&](TimerEventData& data) { EventTimerManager::removeTimerOf(&target, data.timer); };
    OS::pumpMessagesFor(40);
    EXPECT_EQ(target.events, 1);
    EXPECT_EQ(bridge().timerId(), 0u);
    EXPECT_EQ(EventTimerManagerWinBridge::registeredTimers(), 0u);
    OS::pumpMessagesFor(200);
    EXPECT_EQ(target.events, 1);
}

TEST_F(EventTimers, DestroyingTheManagerKillsItsThreadTimerAndFreesItsTimers)
{
    TimerTarget target(mLog, "t");
    OS::UINT_PTR id = 0;
    {
        EventTimerManager inner;
        EXPECT_EQ(EventTimerManager::instance(), &inner);
        EventTimerManager::addTimer(&target, 40, 0);
        EventTimerManager::addTimer(&target, 80, 0);
        id = static_cast<EventTimerManagerWinBridge*>(inner.bridge())->timerId();
        ASSERT_NE(id, 0u);
    }
    EXPECT_EQ(EventTimerManager::instance(), nullptr);
    EXPECT_FALSE(OS::findTimer(nullptr, id));
    EXPECT_EQ(EventTimerManagerWinBridge::registeredTimers(), 0u);
    EXPECT_EQ(EventTimerManager::addTimer(&target, 40, 0), nullptr);
}

TEST_F(EventTimers, TheTimerProcedureIgnoresIdZeroAndUnknownIds)
{
    TimerTarget target(mLog, "t");
    EventTimerManager::addTimer(&target, 40, 0);
    for (OS::UINT_PTR id : {OS::UINT_PTR(0), bridge().timerId() + 1000})
        EventTimerManagerWinBridge::timerProc(nullptr, OS::WM_TIMER, id, 0);
    EXPECT_EQ(target.events, 0);
    EventTimerManagerWinBridge::timerProc(nullptr, OS::WM_TIMER, bridge().timerId(), 0);
    EXPECT_EQ(target.events, 1);
}

TEST_F(EventTimers, TheTickChangesOnlyWhenNotZeroAndNoTimerRuns)
{
    TimerTarget target(mLog, "t");
    EXPECT_EQ(mManager.getTick(), 40);
    EXPECT_FALSE(mManager.setTick(0));
    EXPECT_FALSE(mManager.setTick(-10));
    EXPECT_EQ(mManager.getTick(), 40);
    EventTimerHandle timer = EventTimerManager::addTimer(&target, 40, 0);
    EXPECT_FALSE(mManager.setTick(20));
    EXPECT_EQ(mManager.getTick(), 40);
    EventTimerManager::removeTimerOf(&target, timer);
    EXPECT_TRUE(mManager.setTick(20));
    EXPECT_EQ(mManager.getTick(), 20);
    EventTimerManager::addTimer(&target, 0, 0);
    OS::pumpMessagesFor(60);
    EXPECT_EQ(target.times, (std::vector<OS::TimeMs>{20, 40, 60}));
}

TEST_F(EventTimers, ALateTimerSkipsItsEventAndCarriesTheLateness)
{
    TimerTarget target(mLog, "t");
    EventTimerHandle timer = EventTimerManager::addTimer(&target, 80, 0);
    struct Step {
        int amount;
        int remainingAfter;
        int events;
    };
    const std::vector<Step> steps = {
        {40, 40, 0},   // not due yet
        {60, 80, 1},   // 20 late, not more than half of 60: event, restarted
        {200, -40, 1}, // 120 late, more than half of 200: skipped, -120 + 80 carried
        {40, 80, 1},   // -80 + 80 is 0: skipped and restarted
    };
    for (const Step& s : steps) {
        mManager.advanceTimer(timer, s.amount);
        EXPECT_EQ(timer->remaining, s.remainingAfter) << s.amount;
        EXPECT_EQ(target.events, s.events) << s.amount;
    }
}

namespace {

// One turn of a message loop: the catch-up only for program-defined messages.
bool runLoopTurn(OS::MSG& msg)
{
    if (OS::getMessage(msg) == 0)
        return false;
    if (msg.message >= 0x0400 && msg.message <= 0x7FFF)
        EventTimerManager::catchUp();
    OS::translateMessage(msg);
    OS::dispatchMessage(msg);
    return true;
}

}  // namespace

TEST_F(EventTimers, CatchUpKeepsTicksFlowingUnderAFloodOfPostedMessages)
{
    struct Case {
        OS::TimeMs flood;  // ms of posted messages, one every 10 ms
        std::vector<OS::TimeMs> ticks;
    };
    const std::vector<Case> cases = {
        {100, {0, 90}},
        {300, {0, 90, 180, 270}},
    };
    for (const Case& c : cases) {
        EventTimerManager manager;  // never ticked: the first catch-up ticks at once
        std::vector<std::string> log;
        TimerTarget target(log, "t");
        const OS::TimeMs start = OS::Clock::now();
        EventTimerManager::addTimer(&target, 40, 0);
        OS::postThreadMessage(OS::currentThreadId(), OS::WM_USER, 0, 0);
        OS::MSG msg;
        int messages = 0;
        while (OS::Clock::now() - start <= c.flood && runLoopTurn(msg)) {
            ASSERT_EQ(msg.message, OS::WM_USER);  // the thread timer's message never comes
            ++messages;
            OS::Clock::advance(10);
            OS::postThreadMessage(OS::currentThreadId(), OS::WM_USER, 0, 0);
        }
        std::vector<OS::TimeMs> relative;
        for (OS::TimeMs t : target.times)
            relative.push_back(t - start);
        EXPECT_EQ(relative, c.ticks) << "flood " << c.flood;
        EXPECT_LE(target.times.size(), static_cast<size_t>(messages));
        drainQueue();
    }
}

TEST_F(EventTimers, TimerMessagesAloneNeverRunTheCatchUp)
{
    TimerTarget target(mLog, "t");
    EventTimerManager::addTimer(&target, 40, 0);
    mManager.tick();  // the last tick at 0
    OS::Clock::advance(200);
    OS::MSG msg;
    while (OS::Clock::now() < 320 && runLoopTurn(msg))
        EXPECT_EQ(msg.message, OS::WM_TIMER);
    // Missed periods collapse into one timer message at 200; no extra tick beside it.
    EXPECT_EQ(target.times, (std::vector<OS::TimeMs>{0, 200, 240, 280, 320}));
}
