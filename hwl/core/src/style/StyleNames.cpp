#include "hwl/core/src/style/StyleNames.h"

#include <map>
#include <mutex>
#include <utility>

#include "gp/src/common/text/FormatString.h"

namespace HA::HWL {

namespace StyleNames {
#define HA_HWL_DEFINE_NAME(id, text) const ha::symbol id{std::string(text)};
HA_HWL_STYLE_NAMES(HA_HWL_DEFINE_NAME)
#undef HA_HWL_DEFINE_NAME
const ha::symbol empty{};
}  // namespace StyleNames

const std::array<tColorProperty, kColorSlotCount> colorProperties = {{
    {StyleNames::backgroundColor, StyleNames::backgroundColorPalette, 0},
    {StyleNames::selectionBackgroundColor, StyleNames::selectionBackgroundColorPalette, 1},
    {StyleNames::foregroundColor, StyleNames::foregroundColorPalette, 2},
    {StyleNames::selectionForegroundColor, StyleNames::selectionForegroundColorPalette, 3},
    {StyleNames::dyeColor, StyleNames::dyeColorPalette, 4},
    {StyleNames::backgroundBorderColor, StyleNames::backgroundBorderColorPalette, 5},
    {StyleNames::foregroundBorderColor, StyleNames::foregroundBorderColorPalette, 6},
}};

ha::symbol paletteColorName(int palette, int colour)
{
    static std::mutex mutex;
    static std::map<std::pair<int, int>, ha::symbol> names;
    std::lock_guard<std::mutex> lock(mutex);
    auto found = names.find({palette, colour});
    if (found != names.end())
        return found->second;
    std::string text = GP::formatString("palette%d-color%d", palette, colour);
    if (text.size() > 50)
        text.resize(50);
    ha::symbol name(text);
    names.emplace(std::make_pair(palette, colour), name);
    return name;
}

}  // namespace HA::HWL
