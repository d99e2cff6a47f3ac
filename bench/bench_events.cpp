// One base tick of the event timers over 1, 10 and 100 timers whose handlers do nothing,
// beside a bare loop that makes the same virtual calls.

#include <benchmark/benchmark.h>

#include <memory>
#include <vector>

#include "uia/events/EventTarget.h"
#include "uia/events/EventTimerManager.h"

using namespace HA::UIA;

namespace {

class Idle : public EventTarget {
public:
    bool onEvent(int, void*) override { return true; }
};

void BM_EventTimerTick(benchmark::State& state)
{
    EventTimerManager manager;
    std::vector<Idle> targets(static_cast<size_t>(state.range(0)));
    for (Idle& target : targets)
        EventTimerManager::addTimer(&target, 0, 0);
    for (auto _ : state)
        manager.tick();
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_EventTimerTick)->Arg(1)->Arg(10)->Arg(100);

// The ceiling: the handler calls alone, over the same targets.
void BM_BareHandlerLoop(benchmark::State& state)
{
    std::vector<std::unique_ptr<EventTarget>> targets;
    for (int i = 0; i < state.range(0); ++i)
        targets.push_back(std::make_unique<Idle>());
    TimerEventData data{nullptr, 40};
    for (auto _ : state)
        for (auto& target : targets)
            benchmark::DoNotOptimize(target->handleEvent(kEventTimerTick, &data));
    state.SetItemsProcessed(state.iterations() * state.range(0));
}
BENCHMARK(BM_BareHandlerLoop)->Arg(1)->Arg(10)->Arg(100);

}  // namespace

BENCHMARK_MAIN();
