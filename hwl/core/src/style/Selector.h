#pragma once
// Selector records: what a rule of a style sheet applies to.

#include <array>
#include <cstdint>
#include <map>
#include <string>
#include <variant>
#include <vector>

#include "gp/src/common/text/Symbol.h"
#include "hwl/core/src/style/StyleNames.h"

namespace HA::HWL {

class IStyledWidget;

struct AttibuteSelector {
    // Attribute tests as written in a sheet; 0 and 1 are never written.
    enum eRule : int32_t {
        Equals = 2,      // "="
        BeginsWith = 3,  // "^="
        EndsWith = 4,    // "$="
        Contains = 5,    // "*="
        NotEquals = 6    // "!="
    };
    // The widget has no such attribute.
    struct tDoesntExist {
        friend bool operator==(tDoesntExist, tDoesntExist) { return true; }
    };
    // An attribute as a widget answers it.
    using tValue = std::variant<tDoesntExist, bool, std::string>;
    // Per attribute name, one test per rule.
    using tTests = std::map<ha::symbol, std::map<eRule, std::string>, SymbolLess>;

    // A missing value never matches; a bool matches when the text's truth ("true" or "yes")
    // equals it, whatever the rule; a string by the rule ("!=": present and different).
    static bool compare(const tValue& value, eRule rule, const std::string& text);
};

// One compound part of a selector.
struct SimpleSelector {
    enum eRelation : int32_t {
        Descendant = 0,  // written as blank: any ancestor
        Child = 1        // written as "::": the direct parent
    };

    ha::symbol type;        // with "<argument>" when written; empty for "*"
    ha::symbol styleClass;  // empty when absent
    ha::symbol id;          // empty when absent
    AttibuteSelector::tTests attributes;
    eRelation relation = Descendant;  // only meaningful in an ancestor chain
};

// Seven tri-state requirements, one per state, in the order of the state getters.
struct StateCondition {
    enum eRequirement : int32_t { RequiredFalse = 0, RequiredTrue = 1, Any = 2 };
    static constexpr int kStateCount = 7;

    std::array<eRequirement, kStateCount> states{Any, Any, Any, Any, Any, Any, Any};

    // Number of states that are not Any.
    int determinateCount() const;
    // Whether every determinate requirement equals the widget's state now.
    bool holds(const IStyledWidget& widget) const;
    friend bool operator==(const StateCondition& a, const StateCondition& b) { return a.states == b.states; }
};

// One selector of a rule: the subject part, its ancestors and its state requirements.
struct Selector {
    ha::symbol type;
    ha::symbol styleClass;
    ha::symbol id;
    AttibuteSelector::tTests attributes;
    // From the part next to the subject outwards, each with the relation written after it.
    std::vector<SimpleSelector> ancestors;
    StateCondition states;
    ha::symbol source;  // name of the text the selector came from
    int startLine = 0;  // start line of its rule

    // 256 per determinate state, and per part 2^24 for an id, 2^16 for a style class, 16 per
    // attribute name and 1 for a type; wraps modulo 2^32.
    uint32_t specificity() const;
    // Whether the widget matches: the subject part, then each ancestor part at some ancestor
    // its relation allows (every placement is tried). States are not tested here; attribute
    // tests only when asked.
    bool matches(const IStyledWidget& widget, bool withAttributes) const;
    // Whether any part tests attributes.
    bool hasAttributeTests() const;
};

}  // namespace HA::HWL
