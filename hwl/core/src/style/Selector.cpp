#include "hwl/core/src/style/Selector.h"

#include <string>

#include "hwl/core/src/style/StyledWidget.h"

namespace HA::HWL {

int StateCondition::determinateCount() const
{
    int count = 0;
    for (eRequirement r : states)
        count += r != Any;
    return count;
}

namespace {

bool endsWith(const std::string& text, const std::string& end)
{
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

}  // namespace

bool AttibuteSelector::compare(const tValue& value, eRule rule, const std::string& text)
{
    if (const bool* flag = std::get_if<bool>(&value))
        return (text == "true" || text == "yes") == *flag;
    const std::string* string = std::get_if<std::string>(&value);
    if (!string)
        return false;
    switch (rule) {
    case Equals:
        return *string == text;
    case BeginsWith:
        return string->size() >= text.size() && string->compare(0, text.size(), text) == 0;
    case EndsWith:
        return endsWith(*string, text);
    case Contains:
        return string->find(text) != std::string::npos;
    case NotEquals:
        return *string != text;
    }
    return false;
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

bool Selector::hasAttributeTests() const
{
    if (!attributes.empty())
        return true;
    for (const SimpleSelector& part : ancestors)
        if (!part.attributes.empty())
            return true;
    return false;
}

namespace {

bool isEmpty(ha::symbol name)
{
    return name == StyleNames::empty || name.str().empty();
}

// A type without template argument also matches every class of that name followed by one:
// "tree" matches "tree<Bar>", "tree<Bar>" only itself.
bool typeMatches(ha::symbol type, const IStyledWidget& widget)
{
    const ha::symbol widgetClass = widget.getClass();
    if (type == widgetClass)
        return true;
    const std::string& text = widgetClass.str();
    const std::string& wanted = type.str();
    const std::size_t bracket = text.find('<');
    return bracket != std::string::npos && bracket == wanted.size() && text.compare(0, bracket, wanted) == 0;
}

bool attributesMatch(const AttibuteSelector::tTests& tests, const IStyledWidget& widget)
{
    for (const auto& [name, byRule] : tests) {
        const AttibuteSelector::tValue value = widget.getSelectorAttribute(name);
        for (const auto& [rule, text] : byRule)
            if (!AttibuteSelector::compare(value, rule, text))
                return false;
    }
    return true;
}

bool partMatches(ha::symbol type, ha::symbol styleClass, ha::symbol id, const AttibuteSelector::tTests& attributes,
                 const IStyledWidget& widget, bool withAttributes)
{
    if (!isEmpty(id) && id != widget.getId())
        return false;
    if (!isEmpty(styleClass) && styleClass != widget.getStyle())
        return false;
    if (!isEmpty(type) && !typeMatches(type, widget))
        return false;
    return !withAttributes || attributesMatch(attributes, widget);
}

bool partMatches(const SimpleSelector& part, const IStyledWidget& widget, bool withAttributes)
{
    return partMatches(part.type, part.styleClass, part.id, part.attributes, widget, withAttributes);
}

// Whether ancestor parts `index` onwards can be placed above `below`, which the part on their
// right matched. Every ancestor a part's relation allows is tried, so a part that matches too
// early does not hide a placement further up.
bool ancestorsMatch(const std::vector<SimpleSelector>& parts, std::size_t index, const IStyledWidget& below,
                    bool withAttributes)
{
    if (index == parts.size())
        return true;
    const SimpleSelector& part = parts[index];
    for (const IStyledWidget* candidate = below.getStyledParent(); candidate;
         candidate = candidate->getStyledParent()) {
        if (partMatches(part, *candidate, withAttributes) &&
            ancestorsMatch(parts, index + 1, *candidate, withAttributes))
            return true;
        if (part.relation == SimpleSelector::Child)
            return false;
    }
    return false;
}

}  // namespace

bool StateCondition::holds(const IStyledWidget& widget) const
{
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (states[i] == Any)
            continue;
        if (widget.getSelectorState(int(i)) != (states[i] == RequiredTrue))
            return false;
    }
    return true;
}

bool Selector::matches(const IStyledWidget& widget, bool withAttributes) const
{
    if (!partMatches(type, styleClass, id, attributes, widget, withAttributes))
        return false;
    return ancestorsMatch(ancestors, 0, widget, withAttributes);
}

}  // namespace HA::HWL
