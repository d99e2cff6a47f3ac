#pragma once
// Parsed style-sheet records.

#include <string>
#include <vector>

#include "gp/src/common/Symbol.h"
#include "hwl/core/src/Selector.h"
#include "hwl/core/src/StyleValue.h"

namespace HA::HWL {

class StyleParser2 {
public:
    // One parsed value; a fresh one is empty with unit 0.
    struct tPropertyValue {
        tStyleValue value;
        Property::eUnit unit = Property::Number;
    };
    // One declaration of a rule, the form that sheets keep.
    struct tDeclaration {
        tStyleValue value;
        ha::symbol name;
        Property::eUnit unit = Property::Number;
    };
    // One rule: its selectors and declarations in source order.
    struct tRule {
        std::vector<Selector> selectors;
        std::vector<tDeclaration> declarations;
        int startLine = 0;
    };
};

}  // namespace HA::HWL
