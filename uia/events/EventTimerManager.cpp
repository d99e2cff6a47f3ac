#include "uia/events/EventTimerManager.h"

#include "uia/events/EventTarget.h"
#include "uia/platform/events/EventTimerManagerWinBridge.h"

namespace HA::UIA {

namespace {

EventTimerManager* gProcessManager = nullptr;

// Keeps a node marked busy for the length of one delivery, also when a handler throws.
class BusyScope {
public:
    explicit BusyScope(EventTimerNode* node) : mNode(node) { ++mNode->busy; }
    ~BusyScope() { --mNode->busy; }
    BusyScope(const BusyScope&) = delete;
    BusyScope& operator=(const BusyScope&) = delete;

private:
    EventTimerNode* mNode;
};

// Ties round down: with a tick of 40, 60 gives 40 and 61 gives 80.
int roundToTick(int interval, int tick)
{
    if (interval <= tick)
        return tick;
    int rounded = (interval / tick) * tick;
    if (rounded + tick / 2 < interval)
        rounded += tick;
    return rounded;
}

}  // namespace

EventTimerManager::EventTimerManager() : mBridge(std::make_unique<EventTimerManagerWinBridge>(this))
{
    gProcessManager = this;
}

EventTimerManager::~EventTimerManager()
{
    if (mHead)
        mBridge->stop();
    if (gProcessManager == this)
        gProcessManager = nullptr;
    for (EventTimerNode* node = mHead; node;) {
        EventTimerNode* next = node->next;
        delete node;
        node = next;
    }
    mHead = mTail = nullptr;
}

EventTimerManager* EventTimerManager::instance() { return gProcessManager; }

EventTimerHandle EventTimerManager::addTimer(EventTarget* target, int intervalMs, int priority)
{
    return gProcessManager ? gProcessManager->add(target, intervalMs, priority) : nullptr;
}

void EventTimerManager::removeTimerOf(EventTarget* target, EventTimerHandle timer)
{
    // The handle is looked up before it is touched: a stale one may point at freed memory.
    if (!gProcessManager || !timer || !gProcessManager->contains(timer))
        return;
    if (timer->target != target || timer->removed)
        return;
    gProcessManager->removeTimer(timer);
}

void EventTimerManager::catchUp()
{
    EventTimerManager* manager = gProcessManager;
    if (!manager)
        return;
    const OS::TimeMs elapsed = OS::Clock::now() - manager->mLastTick;
    if (!manager->mTicked || elapsed > 2 * static_cast<OS::TimeMs>(manager->mTick))
        manager->tick();
}

void EventTimerManager::tick()
{
    mTicked = true;
    mLastTick = OS::Clock::now();
    for (EventTimerNode* node = mHead; node;) {
        advanceTimer(node, mTick);
        // Taken after the delivery: the handler may have removed the timers after this one.
        EventTimerNode* next = node->next;
        // A node removed while a nested tick (a handler pumping messages) delivered to it
        // waits for the outermost delivery to end.
        if (node->removed && node->busy == 0)
            unlinkAndFree(node);
        node = next;
    }
}

void EventTimerManager::advanceTimer(EventTimerNode* node, int amount)
{
    if (node->removed)
        return;
    BusyScope busy(node);
    node->remaining -= amount;
    if (node->remaining > 0)
        return;
    if (-2 * node->remaining > amount) {
        // More than half a tick late: skip this period and carry the lateness.
        node->remaining += node->interval;
        if (node->remaining == 0)
            node->remaining = node->interval;
        return;
    }
    node->remaining = node->interval;
    TimerEventData data{node, node->interval};
    node->target->handleEvent(kEventTimerTick, &data);
}

bool EventTimerManager::setTick(int ms)
{
    // A tick of 0 or less would make every interval round to nothing.
    if (ms <= 0 || mHead)
        return false;
    mTick = ms;
    return true;
}

int EventTimerManager::timerCount() const
{
    int count = 0;
    for (const EventTimerNode* node = mHead; node; node = node->next)
        ++count;
    return count;
}

EventTimerHandle EventTimerManager::add(EventTarget* target, int intervalMs, int priority)
{
    auto* node = new EventTimerNode;
    node->interval = node->remaining = roundToTick(intervalMs, mTick);
    node->priority = priority;
    node->target = target;

    const bool wasEmpty = mHead == nullptr;
    EventTimerNode* before = mHead;
    while (before && before->priority >= priority)
        before = before->next;
    if (before) {
        node->next = before;
        node->prev = before->prev;
        if (before->prev)
            before->prev->next = node;
        else
            mHead = node;
        before->prev = node;
    } else {
        node->prev = mTail;
        if (mTail)
            mTail->next = node;
        else
            mHead = node;
        mTail = node;
    }
    if (wasEmpty)
        mBridge->start(mTick);
    return node;
}

bool EventTimerManager::contains(const EventTimerNode* node) const
{
    for (const EventTimerNode* n = mHead; n; n = n->next)
        if (n == node)
            return true;
    return false;
}

void EventTimerManager::removeTimer(EventTimerNode* node)
{
    if (node->busy > 0) {
        node->removed = true;
        return;
    }
    unlinkAndFree(node);
}

void EventTimerManager::unlinkAndFree(EventTimerNode* node)
{
    if (node->prev)
        node->prev->next = node->next;
    else
        mHead = node->next;
    if (node->next)
        node->next->prev = node->prev;
    else
        mTail = node->prev;
    delete node;
    if (!mHead)
        mBridge->stop();
}

}  // namespace HA::UIA
