#pragma once
// The records of a parsed sheet that the rest of the library keeps: a rule with its
// selectors and its declarations in source order.

#include <vector>

#include "gp/src/common/text/Symbol.h"
#include "hwl/core/src/style/Selector.h"
#include "hwl/core/src/style/StyleValue.h"

namespace HA::HWL {

// One declaration of a rule, the form that sheets keep.
struct tStyleDeclaration {
    tStyleValue value;
    ha::symbol name;
    Property::eUnit unit = Property::Number;
};

// One rule: its selectors and declarations in source order.
struct tStyleRule {
    std::vector<Selector> selectors;
    std::vector<tStyleDeclaration> declarations;
    int startLine = 0;
};

}  // namespace HA::HWL
