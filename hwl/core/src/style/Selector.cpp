#include "hwl/core/src/style/Selector.h"

namespace HA::HWL {

int StateCondition::determinateCount() const
{
    int count = 0;
    for (eRequirement r : states)
        count += r != Any;
    return count;
}

namespace {

uint32_t partSpecificity(ha::symbol type, ha::symbol styleClass, ha::symbol id,
                         const AttibuteSelector::tTests& attributes)
{
    uint32_t value = 0;
    if (id != StyleNames::empty)
        value += 1u << 24;
    if (styleClass != StyleNames::empty)
        value += 1u << 16;
    value += 16u * static_cast<uint32_t>(attributes.size());
    if (type != StyleNames::empty)
        value += 1;
    return value;
}

}  // namespace

uint32_t Selector::specificity() const
{
    uint32_t value = 256u * static_cast<uint32_t>(states.determinateCount());
    value += partSpecificity(type, styleClass, id, attributes);
    for (const SimpleSelector& part : ancestors)
        value += partSpecificity(part.type, part.styleClass, part.id, part.attributes);
    return value;
}

}  // namespace HA::HWL
