#pragma once
// The attributes every widget answers without setting them, and the seven states that rules
// test when a value is read. User-interface thread only.

#include <array>

#include "gp/src/common/text/Symbol.h"
#include "hwl/core/src/style/Selector.h"

namespace HA::HWL {

class Widget;

struct tAttributeGetter {
    ha::symbol name;
    AttibuteSelector::tValue (*get)(const Widget& widget);
};

// "getClass", "getStyle", "getId", "isHorizontal", searched in this order after the widget's
// own attributes.
extern const std::array<tAttributeGetter, 4> attributeGetters;

struct tStateGetter {
    ha::symbol name;
    bool (*test)(const Widget& widget);
};

// "enabled", "selected", "down", "over", "focus", "input", "dormant": the order of
// StateCondition.
extern const std::array<tStateGetter, StateCondition::kStateCount> stateGetters;

}  // namespace HA::HWL
