#pragma once
// A widget as the style language and the cascade read it: what selectors test, the sheet
// that styles it and what a resolved style asks of its pane. The widget tree's Widget
// implements it, so that matching and resolving sit below the tree. User-interface thread
// only.

#include "gp/src/common/text/Symbol.h"
#include "hwl/core/src/style/Selector.h"

namespace HA::HWL {

class StyleSheet;
struct tStyleDeclaration;

class IStyledWidget {
public:
    virtual ~IStyledWidget() = default;

    // The type name ("Bar", "Button<Label>", ...), the style class and the id.
    virtual ha::symbol getClass() const = 0;
    virtual ha::symbol getStyle() const = 0;
    virtual ha::symbol getId() const = 0;
    // The attribute as a selector tests it: the widget's own, else one every widget answers
    // without setting it; tDoesntExist when there is neither.
    virtual AttibuteSelector::tValue getSelectorAttribute(ha::symbol name) const = 0;
    // The state at `index` in StateCondition's order, now.
    virtual bool getSelectorState(int index) const = 0;
    // Null at the root.
    virtual const IStyledWidget* getStyledParent() const = 0;

    // Whether the widget is in a pane; without one it has no style values.
    virtual bool isInPane() const = 0;
    // The pane's own sheet; null without a pane or when the pane has none.
    virtual StyleSheet* getPaneStyleSheet() const = 0;
    // The sheet that styles the widget: the pane's own sheet, else the global sheet; before
    // the library's start-up only a pane's own sheet. Null without a pane.
    virtual StyleSheet* getStylingSheet() const = 0;
    // The root of the widget's pane; null without a pane.
    virtual const IStyledWidget* getPaneRoot() const = 0;
    // The pane's scale; 1 without a pane.
    virtual float getScale() const = 0;
    // The declaration of the best rule for the property that matches the widget and whose
    // states hold now; null when none.
    virtual const tStyleDeclaration* findStyleValue(ha::symbol property) const = 0;
};

}  // namespace HA::HWL
