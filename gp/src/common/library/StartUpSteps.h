#pragma once
// The shape of a library's start-up: steps in order, any of which may fail by returning
// false or by throwing; a failed start-up undoes what its steps did. Tests make a chosen
// step throw through the start-up's fault. User-interface thread only.

#include <optional>
#include <stdexcept>

namespace HA::GP {

// Runs `steps`; when they return false or throw, runs `undo` (which must be safe after any
// partial start-up) and returns false.
template <class TSteps, class TUndo>
bool runStartUpSteps(TSteps&& steps, TUndo&& undo)
{
    bool started = false;
    try {
        started = steps();
    } catch (...) {
        started = false;
    }
    if (!started)
        undo();
    return started;
}

// The one step of a start-up that a test has set to fail; TStep is the start-up's
// enumeration of its steps.
template <class TStep>
class StartUpFault {
public:
    // Throws when `step` is the step set to fail.
    void check(TStep step) const
    {
        if (mStep == step)
            throw std::runtime_error("injected start-up fault");
    }
    void set(TStep step) { mStep = step; }
    void clear() { mStep.reset(); }

private:
    std::optional<TStep> mStep;
};

}  // namespace HA::GP
