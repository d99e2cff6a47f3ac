#pragma once
// The busy wheel of the wizard's status panel: while spinning, every second call of onTimer
// moves it one of its twelve steps on, through its attribute "step" ("S0" to "S11"), from
// which the style sheet picks the picture's frame. Its owner calls onTimer once per tick.

#include <cstdint>

#include "hwl/core/src/widgets/Bar.h"

namespace HA {

class SpinningProgressWheel : public HWL::Bar {
public:
    static constexpr std::uint32_t kSteps = 12;

    SpinningProgressWheel();
    ~SpinningProgressWheel() override;

    void onTimer() override;

    bool isSpinning() const { return mSpinning; }
    // Starting puts ticks and step back to 0; the attribute keeps its last value until the
    // first step.
    void setSpinning(bool spinning);
    std::uint32_t getTicks() const { return mTicks; }
    std::uint32_t getStep() const { return mStep; }

private:
    bool mSpinning = false;
    std::uint32_t mTicks = 0;
    std::uint32_t mStep = 0;
};

}  // namespace HA
