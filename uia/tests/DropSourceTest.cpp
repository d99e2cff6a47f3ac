// The drag-start detector: when a left press becomes a drag.

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "os/kernel/Clock.h"
#include "uia/transfer/DropSource.h"

namespace HA::UIA {
namespace {

class AcceptingSource : public DropSource {
public:
    bool acceptsDrag(const MouseEventData*) override { return accepts; }
    bool accepts = true;
};

// One event to the detector, the virtual time before it, and the expected answer.
struct tEvent {
    int code;
    int x;
    int y;
    int button;
    int kind;
    int advanceMs;
    int expected;
};

struct tDetectCase {
    const char* name;
    int holdTime;
    bool accepts;
    std::vector<tEvent> events;
};

constexpr int kButton = kEventMouseButton;
constexpr int kDrag = kEventMouseDrag;
constexpr int kMove = kEventMouseMove;
constexpr int kLeave = kEventMouseLeave;

class DropSourceDetect : public ::testing::TestWithParam<tDetectCase> {};

TEST_P(DropSourceDetect, Answers)
{
    const tDetectCase& c = GetParam();
    OS::ManualClockScope clock(1000);
    AcceptingSource source;
    source.accepts = c.accepts;
    source.setHoldTime(c.holdTime);
    for (std::size_t i = 0; i < c.events.size(); ++i) {
        const tEvent& e = c.events[i];
        OS::Clock::advance(e.advanceMs);
        MouseEventData data{e.x, e.y, 0, e.button, e.kind};
        EXPECT_EQ(source.detectDragStart(e.code, &data), e.expected) << "event " << i;
    }
}

INSTANTIATE_TEST_SUITE_P(
    Cases, DropSourceDetect,
    ::testing::Values(
        tDetectCase{"SmallMoveWaitsLargerMoveStarts", 0, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kDrag, 12, 11, 0, 0, 0, 1}, {kDrag, 13, 10, 0, 0, 0, 2},
                     {kDrag, 30, 30, 0, 0, 0, 0}}},
        // The two squares on either side of the limit: 5 waits, 8 (no sum of two squares lies
        // between) starts; backwards and upwards alike.
        tDetectCase{"DistanceSquaredFiveWaits", 0, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kDrag, 12, 11, 0, 0, 0, 1}, {kDrag, 8, 9, 0, 0, 0, 1},
                     {kDrag, 11, 8, 0, 0, 0, 1}}},
        tDetectCase{"DistanceSquaredEightStarts", 0, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kDrag, 12, 12, 0, 0, 0, 2}}},
        tDetectCase{"DistanceSquaredEightUpwardsStarts", 0, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kMove, 8, 8, 0, 0, 0, 2}}},
        tDetectCase{"HoldTimeMustPass", 200, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kMove, 20, 10, 0, 0, 100, 1}, {kMove, 20, 10, 0, 0, 100, 2}}},
        tDetectCase{"RightPressCancels", 0, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kButton, 10, 10, 2, 1, 0, 0}, {kDrag, 40, 40, 0, 0, 0, 0}}},
        tDetectCase{"DoubleClickCancels", 0, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kButton, 10, 10, 1, 3, 0, 0}, {kDrag, 40, 40, 0, 0, 0, 0}}},
        tDetectCase{"LeavingCancels", 0, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kLeave, 0, 0, 0, 0, 0, 0}, {kDrag, 40, 40, 0, 0, 0, 0}}},
        tDetectCase{"ReleaseCancels", 0, true,
                    {{kButton, 10, 10, 1, 1, 0, 1}, {kButton, 10, 10, 1, 2, 0, 0}, {kDrag, 40, 40, 0, 0, 0, 0}}},
        tDetectCase{"RefusedPress", 0, false, {{kButton, 10, 10, 1, 1, 0, 0}, {kDrag, 40, 40, 0, 0, 0, 0}}},
        tDetectCase{"OtherCodes", 0, true, {{kButton, 10, 10, 1, 1, 0, 1}, {1003, 40, 40, 0, 0, 0, 0}, {kDrag, 40, 40, 0, 0, 0, 2}}}),
    [](const ::testing::TestParamInfo<tDetectCase>& info) { return std::string(info.param.name); });

TEST(DropSource, TheBaseAcceptsNoDrag)
{
    DropSource source;
    MouseEventData press{1, 1, 0, kMouseButtonLeft, kMousePress};
    EXPECT_EQ(source.detectDragStart(kEventMouseButton, &press), DropSource::eNoDrag);
    EXPECT_FALSE(source.isPressPending());
}

}  // namespace
}  // namespace HA::UIA

namespace HA::UIA {
namespace {

// A press at time 0 of a fresh clock is still a pending press.
TEST(DropSource, APressAtClockZeroIsPending)
{
    OS::ManualClockScope clock(0);
    AcceptingSource source;
    source.setHoldTime(50);
    MouseEventData press{10, 10, 0, kMouseButtonLeft, kMousePress};
    EXPECT_EQ(source.detectDragStart(kEventMouseButton, &press), 1);
    EXPECT_TRUE(source.isPressPending());
    MouseEventData far{13, 10, 0, 0, 0};
    EXPECT_EQ(source.detectDragStart(kEventMouseDrag, &far), 1);
    OS::Clock::advance(50);
    EXPECT_EQ(source.detectDragStart(kEventMouseDrag, &far), 2);
}

}  // namespace
}  // namespace HA::UIA
