#include "updater/app/SpinningProgressWheel.h"

#include "gp/src/common/text/FormatString.h"

namespace HA {

SpinningProgressWheel::SpinningProgressWheel() = default;

SpinningProgressWheel::~SpinningProgressWheel() = default;

void SpinningProgressWheel::setSpinning(bool spinning)
{
    mSpinning = spinning;
    if (spinning)
        mTicks = mStep = 0;
}

void SpinningProgressWheel::onTimer()
{
    if (!mSpinning)
        return;
    // One step every second tick: 80 ms on the window's 40 ms tick, a turn in twelve steps.
    if (mTicks++ & 1) {
        mStep = (mStep + 1) % kSteps;
        setAttribute("step", GP::formatString("S%u", mStep));
    }
}

}  // namespace HA
