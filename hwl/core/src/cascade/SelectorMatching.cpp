// Selector matching and the match cache of a sheet.

#include <string>

#include "hwl/core/src/cascade/SelectorAttributes.h"
#include "hwl/core/src/cascade/StyleSheets.h"
#include "hwl/core/src/library/Init.h"
#include "hwl/core/src/resources/ManagerContainer.h"
#include "hwl/core/src/style/StyleSheet.h"
#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL {

namespace {

bool isEmpty(ha::symbol name)
{
    return name == StyleNames::empty || name.str().empty();
}

// A type without template argument also matches every class of that name followed by one:
// "tree" matches "tree<Bar>", "tree<Bar>" only itself.
bool typeMatches(ha::symbol type, const Widget& widget)
{
    const ha::symbol widgetClass = widget.getClass();
    if (type == widgetClass)
        return true;
    const std::string& text = widgetClass.str();
    const std::string& wanted = type.str();
    const std::size_t bracket = text.find('<');
    return bracket != std::string::npos && bracket == wanted.size() && text.compare(0, bracket, wanted) == 0;
}

AttibuteSelector::tValue attributeOf(const Widget& widget, ha::symbol name)
{
    const Widget::tAttributes& attributes = widget.getAttributes();
    auto found = attributes.find(name);
    if (found != attributes.end())
        return found->second;
    for (const tAttributeGetter& getter : attributeGetters)
        if (getter.name == name)
            return getter.get(widget);
    return AttibuteSelector::tDoesntExist{};
}

bool attributesMatch(const AttibuteSelector::tTests& tests, const Widget& widget)
{
    for (const auto& [name, byRule] : tests) {
        const AttibuteSelector::tValue value = attributeOf(widget, name);
        for (const auto& [rule, text] : byRule)
            if (!AttibuteSelector::compare(value, rule, text))
                return false;
    }
    return true;
}

bool partMatches(ha::symbol type, ha::symbol styleClass, ha::symbol id, const AttibuteSelector::tTests& attributes,
                 const Widget& widget, bool withAttributes)
{
    if (!isEmpty(id) && id != widget.getId())
        return false;
    if (!isEmpty(styleClass) && styleClass != widget.getStyle())
        return false;
    if (!isEmpty(type) && !typeMatches(type, widget))
        return false;
    return !withAttributes || attributesMatch(attributes, widget);
}

bool partMatches(const SimpleSelector& part, const Widget& widget, bool withAttributes)
{
    return partMatches(part.type, part.styleClass, part.id, part.attributes, widget, withAttributes);
}

// Whether ancestor parts `index` onwards can be placed above `below`, which the part on their
// right matched. Every ancestor a part's relation allows is tried, so a part that matches too
// early does not hide a placement further up.
bool ancestorsMatch(const std::vector<SimpleSelector>& parts, std::size_t index, const Widget& below,
                    bool withAttributes)
{
    if (index == parts.size())
        return true;
    const SimpleSelector& part = parts[index];
    for (const Widget* candidate = below.getParent(); candidate; candidate = candidate->getParent()) {
        if (partMatches(part, *candidate, withAttributes) &&
            ancestorsMatch(parts, index + 1, *candidate, withAttributes))
            return true;
        if (part.relation == SimpleSelector::Child)
            return false;
    }
    return false;
}

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

bool StateCondition::holds(const Widget& widget) const
{
    for (std::size_t i = 0; i < states.size(); ++i) {
        if (states[i] == Any)
            continue;
        if (stateGetters[i].test(widget) != (states[i] == RequiredTrue))
            return false;
    }
    return true;
}

bool Selector::matches(const Widget& widget, bool withAttributes) const
{
    if (!partMatches(type, styleClass, id, attributes, widget, withAttributes))
        return false;
    return ancestorsMatch(ancestors, 0, widget, withAttributes);
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

const std::vector<const StyleSheet::tSelectorValue*>& StyleSheet::candidateRules(const Widget& widget,
                                                                                 ha::symbol property)
{
    tCandidates& candidates = mMatchCache[&widget];
    auto found = candidates.find(property);
    if (found != candidates.end())
        return found->second;
    std::vector<const tSelectorValue*>& list = candidates[property];
    auto rules = mRules.find(property);
    if (rules != mRules.end())
        for (const tSelectorValue& entry : rules->second)
            if (entry.selector.matches(widget, false))
                list.push_back(&entry);
    return list;
}

StyleSheet* StyleSheet::sheetFor(const Widget& widget)
{
    ManagerContainer* manager = getManager();
    if (manager)
        return manager->getStyleSheets().getSheetFor(widget);
    // Before the start-up only a pane's own sheet can style a widget.
    const Pane* pane = widget.getPane();
    return pane ? pane->getStyleSheet() : nullptr;
}

std::vector<const StyleSheet::tSelectorValue*> StyleSheet::matchingRules(const Widget& widget, ha::symbol property)
{
    std::vector<const tSelectorValue*> result;
    StyleSheet* sheet = sheetFor(widget);
    if (!sheet)
        return result;
    for (const tSelectorValue* entry : sheet->candidateRules(widget, property))
        if (!entry->selector.hasAttributeTests() || entry->selector.matches(widget, true))
            result.push_back(entry);
    return result;
}

void StyleSheet::forgetWidget(const Widget* widget)
{
    mMatchCache.erase(widget);
}

const StyleParser2::tDeclaration* Widget::findStyleValue(ha::symbol property) const
{
    StyleSheet* sheet = StyleSheet::sheetFor(*this);
    if (!sheet)
        return nullptr;
    for (const StyleSheet::tSelectorValue* entry : sheet->candidateRules(*this, property)) {
        const Selector& selector = entry->selector;
        if (selector.hasAttributeTests() && !selector.matches(*this, true))
            continue;
        if (selector.states.holds(*this))
            return &entry->declaration;
    }
    return nullptr;
}

}  // namespace HA::HWL
