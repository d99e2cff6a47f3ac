// The signal template: order, handles, and changes made during an emission.

#include <gtest/gtest.h>

#include <atomic>
#include <memory>
#include <string>
#include <thread>
#include <vector>

#include "hwl/core/src/tree/Signal.h"

namespace HA::HWL {
namespace {

TEST(Signal, CallsSlotsInConnectionOrderWithTheArguments)
{
    Signal<void(int, const std::string&)> signal;
    std::vector<std::string> calls;
    signal.connect([&](int n, const std::string& s) { calls.push_back("1:" + std::to_string(n) + s); });
    signal.connect([&](int n, const std::string& s) { calls.push_back("2:" + std::to_string(n) + s); });
    signal.emit(4, "x");
    EXPECT_EQ(calls, (std::vector<std::string>{"1:4x", "2:4x"}));
}

TEST(Signal, DroppingTheHandleKeepsTheSlotAndDisconnectRemovesIt)
{
    Signal<void()> signal;
    int a = 0;
    int b = 0;
    { auto dropped = signal.connect([&] { ++a; }); }
    auto handle = signal.connect([&] { ++b; });
    signal.emit();
    EXPECT_TRUE(handle.isConnected());
    handle.disconnect();
    handle.disconnect();
    EXPECT_FALSE(handle.isConnected());
    signal.emit();
    EXPECT_EQ(a, 2);
    EXPECT_EQ(b, 1);
    EXPECT_EQ(signal.slotCount(), 1u);
}

TEST(Signal, ChangesDuringAnEmissionCountFromTheNextOne)
{
    Signal<void()> signal;
    std::vector<std::string> calls;
    Signal<void()>::Connection second;
    Signal<void()>::Connection added;
    bool first = true;
    signal.connect([&] {
        calls.push_back("first");
        if (first) {
            first = false;
            second.disconnect();
            added = signal.connect([&] { calls.push_back("added"); });
        }
    });
    second = signal.connect([&] { calls.push_back("second"); });
    signal.emit();
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "second"}));
    calls.clear();
    signal.emit();
    EXPECT_EQ(calls, (std::vector<std::string>{"first", "added"}));
}

TEST(Signal, ASlotMayDestroyItsSignal)
{
    auto signal = std::make_unique<Signal<void()>>();
    int later = 0;
    signal->connect([&] { signal.reset(); });
    signal->connect([&] { ++later; });
    signal->emit();
    EXPECT_EQ(signal, nullptr);
    EXPECT_EQ(later, 1);
}

TEST(Signal, HandlesOutliveTheSignal)
{
    Signal<void()>::Connection handle;
    {
        Signal<void()> signal;
        handle = signal.connect([] {});
        EXPECT_TRUE(handle.isConnected());
    }
    EXPECT_FALSE(handle.isConnected());
    handle.disconnect();
}

TEST(Signal, AnEmptySlotIsNotAdded)
{
    Signal<void(bool)> signal;
    auto handle = signal.connect(nullptr);
    EXPECT_FALSE(handle.isConnected());
    EXPECT_EQ(signal.slotCount(), 0u);
    signal.emit(true);
}

TEST(SignalThreaded, ConnectsDisconnectsAndEmitsFromSeveralThreads)
{
    Signal<void(int)> signal;
    std::atomic<long> sum{0};
    auto steady = signal.connect([&](int n) { sum += n; });
    std::atomic<bool> stop{false};
    std::thread churn([&] {
        while (!stop) {
            auto h = signal.connect([&](int) {});
            h.disconnect();
        }
    });
    std::vector<std::thread> emitters;
    for (int t = 0; t < 2; ++t)
        emitters.emplace_back([&] {
            for (int i = 0; i < 2000; ++i)
                signal.emit(1);
        });
    for (auto& e : emitters)
        e.join();
    stop = true;
    churn.join();
    EXPECT_EQ(sum.load(), 4000);
    EXPECT_EQ(signal.slotCount(), 1u);
}

}  // namespace
}  // namespace HA::HWL
