#pragma once
// The style names the library knows by heart: property, attribute, state and keyword symbols,
// interned once at static initialisation so that sheets and widgets compare them by pointer.
// Other names are interned by sheets and widgets on first use.

#include <array>
#include <cstdint>

#include "gp/src/common/text/Symbol.h"

namespace HA::HWL {

// X(identifier, text) for every fixed name.
#define HA_HWL_STYLE_NAMES(X)                                                                    \
    /* colour properties and their palettes */                                                   \
    X(backgroundColor, "background-color")                                                       \
    X(selectionBackgroundColor, "selection-background-color")                                   \
    X(foregroundColor, "foreground-color")                                                       \
    X(selectionForegroundColor, "selection-foreground-color")                                   \
    X(dyeColor, "dye-color")                                                                     \
    X(backgroundBorderColor, "background-border-color")                                         \
    X(foregroundBorderColor, "foreground-border-color")                                         \
    X(backgroundColorPalette, "background-color-palette")                                       \
    X(selectionBackgroundColorPalette, "selection-background-color-palette")                    \
    X(foregroundColorPalette, "foreground-color-palette")                                       \
    X(selectionForegroundColorPalette, "selection-foreground-color-palette")                    \
    X(dyeColorPalette, "dye-color-palette")                                                      \
    X(backgroundBorderColorPalette, "background-border-color-palette")                          \
    X(foregroundBorderColorPalette, "foreground-border-color-palette")                          \
    /* geometry and layout */                                                                    \
    X(margin, "margin")                                                                          \
    X(marginLeft, "margin-left")                                                                 \
    X(marginRight, "margin-right")                                                               \
    X(marginTop, "margin-top")                                                                   \
    X(marginBottom, "margin-bottom")                                                             \
    X(outerMargin, "outer-margin")                                                               \
    X(outerMarginLeft, "outer-margin-left")                                                      \
    X(outerMarginRight, "outer-margin-right")                                                    \
    X(outerMarginTop, "outer-margin-top")                                                        \
    X(outerMarginBottom, "outer-margin-bottom")                                                  \
    X(width, "width")                                                                            \
    X(height, "height")                                                                          \
    X(minWidth, "min-width")                                                                     \
    X(minHeight, "min-height")                                                                   \
    X(maxWidth, "max-width")                                                                     \
    X(maxHeight, "max-height")                                                                   \
    X(x, "x")                                                                                    \
    X(y, "y")                                                                                    \
    X(zIndex, "z-index")                                                                         \
    X(spacing, "spacing")                                                                        \
    X(lineSpacing, "line-spacing")                                                               \
    X(drawForeground, "draw_foreground")                                                         \
    X(horizontalAlignment, "horizontal-alignment")                                               \
    X(verticalAlignment, "vertical-alignment")                                                   \
    /* pictures and text */                                                                      \
    X(font, "font")                                                                              \
    X(picture, "picture")                                                                        \
    X(dyeMaskPicture, "dye-mask-picture")                                                        \
    X(animationIndex, "animation-index")                                                         \
    X(dyeMaskAnimationIndex, "dye-mask-animation-index")                                         \
    X(pictureIncludesMargin, "picture-includes-margin")                                          \
    X(pictureDisplacement, "picture-displacement")                                               \
    X(textDisplacement, "text-displacement")                                                     \
    /* read only when a sheet derives values */                                                  \
    X(fontSize, "font-size")                                                                     \
    X(fontHinting, "font-hinting")                                                               \
    X(fontStyle, "font-style")                                                                   \
    X(fontResid, "font-resid")                                                                   \
    X(fontName, "font-name")                                                                     \
    X(fontFamily, "font-family")                                                                 \
    X(image, "image")                                                                            \
    X(dyeMask, "dye-mask")                                                                       \
    X(animations, "animations")                                                                  \
    X(dyeMaskAnimations, "dye-mask-animations")                                                  \
    X(fixed, "fixed")                                                                            \
    X(fixedTop, "fixed-top")                                                                     \
    X(fixedBottom, "fixed-bottom")                                                               \
    X(fixedLeft, "fixed-left")                                                                   \
    X(fixedRight, "fixed-right")                                                                 \
    X(relativeLeft, "relative-left")                                                             \
    X(relativeTop, "relative-top")                                                               \
    X(foregroundRelativeLeft, "foreground-relative-left")                                        \
    X(foregroundRelativeTop, "foreground-relative-top")                                          \
    /* keywords */                                                                               \
    X(no, "no")                                                                                  \
    X(yes, "yes")                                                                                \
    X(trueWord, "true")                                                                          \
    X(falseWord, "false")                                                                        \
    X(left, "left")                                                                              \
    X(right, "right")                                                                            \
    X(center, "center")                                                                          \
    X(top, "top")                                                                                \
    X(bottom, "bottom")                                                                          \
    X(bold, "bold")                                                                              \
    X(italic, "italic")                                                                          \
    X(underline, "underline")                                                                    \
    /* attribute getters */                                                                      \
    X(getClass, "getClass")                                                                      \
    X(getStyle, "getStyle")                                                                      \
    X(getId, "getId")                                                                            \
    X(isHorizontal, "isHorizontal")                                                              \
    /* states */                                                                                 \
    X(enabled, "enabled")                                                                        \
    X(selected, "selected")                                                                      \
    X(down, "down")                                                                              \
    X(over, "over")                                                                              \
    X(focus, "focus")                                                                            \
    X(input, "input")                                                                            \
    X(dormant, "dormant")                                                                        \
    /* names of widget kinds this program does not have */                                       \
    X(animationsForRange, "animations_for_range")                                               \
    X(autoWord, "auto")                                                                          \
    X(betweenRows, "between_rows")                                                               \
    X(cancelable, "cancelable")                                                                  \
    X(checkstate, "checkstate")                                                                  \
    X(color, "color")                                                                            \
    X(column, "column")                                                                          \
    X(row, "row")                                                                                \
    X(cursorWidth, "cursor-width")                                                               \
    X(direction, "direction")                                                                    \
    X(layout, "layout")                                                                          \
    X(horizontalContentAlignment, "horizontal-content-alignment")                               \
    X(verticalContentAlignment, "vertical-content-alignment")                                   \
    X(hasFocusName, "HasFocus")                                                                  \
    X(hasMinimumSize, "HasMinimumSize")                                                          \
    X(hasTitle, "has_title")                                                                     \
    X(hasValue, "has_value")                                                                     \
    X(isActive, "isActive")                                                                      \
    X(isChecked, "isChecked")                                                                    \
    X(isInput, "isInput")                                                                        \
    X(isSeparator, "isSeparator")                                                                \
    X(isSubMenu, "isSubMenu")                                                                    \
    X(menuOffsetX, "menu-offset-x")                                                              \
    X(menuOffsetY, "menu-offset-y")                                                              \
    X(moveBorder, "move-border")                                                                 \
    X(moveBorderLeft, "move-border-left")                                                        \
    X(moveBorderRight, "move-border-right")                                                      \
    X(moveBorderTop, "move-border-top")                                                          \
    X(moveBorderBottom, "move-border-bottom")                                                    \
    X(state, "state")                                                                            \
    X(submenuDelay, "submenu-delay")

namespace StyleNames {
#define HA_HWL_DECLARE_NAME(id, text) extern const ha::symbol id;
HA_HWL_STYLE_NAMES(HA_HWL_DECLARE_NAME)
#undef HA_HWL_DECLARE_NAME
// The empty symbol: no type ("*"), no style class, no id.
extern const ha::symbol empty;
}  // namespace StyleNames

// Number of colour slots; the slot orders a widget's colour lists.
constexpr int kColorSlotCount = 7;

struct tColorProperty {
    ha::symbol property;  // e.g. "background-color"
    ha::symbol palette;   // its "-palette" twin
    int slot;
};

// The seven colour properties with their palettes, by slot.
extern const std::array<tColorProperty, kColorSlotCount> colorProperties;

// The symbol of "palette<palette>-color<colour>", made once per pair and kept for the process.
ha::symbol paletteColorName(int palette, int colour);

// Orders symbols by their text, so that maps keyed by names iterate the same way every run.
struct SymbolLess {
    bool operator()(ha::symbol a, ha::symbol b) const { return a != b && a.str() < b.str(); }
};

}  // namespace HA::HWL
