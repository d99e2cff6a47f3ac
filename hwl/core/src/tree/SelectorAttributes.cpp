#include "hwl/core/src/tree/SelectorAttributes.h"

#include <optional>
#include <string>

#include "hwl/core/src/tree/Pane.h"
#include "hwl/core/src/tree/Widget.h"

namespace HA::HWL {

namespace {

// Made here rather than taken from the style-name globals: this table is built during static
// initialisation too, and the order between files is not fixed.
ha::symbol name(const char* text)
{
    return ha::symbol(std::string(text));
}

AttibuteSelector::tValue getClass(const Widget& widget)
{
    return widget.getClass().str();
}

AttibuteSelector::tValue getStyle(const Widget& widget)
{
    return widget.getStyle().str();
}

AttibuteSelector::tValue getId(const Widget& widget)
{
    return widget.getId().str();
}

// Only a bar has a direction: left-to-right (1) and right-to-left (0x1000) are horizontal.
AttibuteSelector::tValue isHorizontal(const Widget& widget)
{
    if (const std::optional<bool> horizontal = widget.getHorizontalAttribute())
        return *horizontal;
    return AttibuteSelector::tDoesntExist{};
}

bool isEnabled(const Widget& widget)
{
    return widget.isEffectivelyEnabled();
}

bool isSelected(const Widget& widget)
{
    return widget.hasFlag(Widget::eSelected);
}

bool isDown(const Widget& widget)
{
    const Pane* pane = widget.getPane();
    return pane && pane->getPressed() == &widget && pane->isButtonHeld(1);
}

bool isOver(const Widget& widget)
{
    const Pane* pane = widget.getPane();
    return pane && pane->getHovered() == &widget;
}

bool hasFocus(const Widget& widget)
{
    const Pane* pane = widget.getPane();
    return pane && pane->getFocusWidget() == &widget;
}

bool isInput(const Widget& widget)
{
    const Pane* pane = widget.getPane();
    return pane && pane->getInputWidget() == &widget;
}

bool isDormant(const Widget& widget)
{
    return widget.isDormant();
}

}  // namespace

const std::array<tAttributeGetter, 4> attributeGetters = {{
    {name("getClass"), getClass},
    {name("getStyle"), getStyle},
    {name("getId"), getId},
    {name("isHorizontal"), isHorizontal},
}};

const std::array<tStateGetter, StateCondition::kStateCount> stateGetters = {{
    {name("enabled"), isEnabled},
    {name("selected"), isSelected},
    {name("down"), isDown},
    {name("over"), isOver},
    {name("focus"), hasFocus},
    {name("input"), isInput},
    {name("dormant"), isDormant},
}};

}  // namespace HA::HWL
