#pragma once
// The value of one style property, as parsed or as derived by a sheet.

#include <string>
#include <variant>

#include "gp/src/common/geometry/Geometry.h"
#include "hwl/core/src/style/LazyPicture.h"
#include "hwl/core/src/style/Property.h"
#include "uia/graphics/text/FontDesc.h"

namespace HA::UIA {
class Font;
}

namespace HA::HWL {

using UIA::FontDesc;

// Empty, or one of the members in this order. Reading a member the variant does not hold
// throws std::bad_variant_access.
using tStyleValue = std::variant<std::monostate, float, unsigned, int, bool, std::string,
                                 const UIA::Font*, GP::Point, LazyPicture>;

}  // namespace HA::HWL
