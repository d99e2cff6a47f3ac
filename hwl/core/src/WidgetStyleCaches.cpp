#include "hwl/core/src/WidgetStyleCaches.h"

namespace HA::HWL::DETAIL {

// FIXME: the style caches come with the cascade and the library's start-up; until then there
// is nothing to forget.
void forgetStyleMatches(const Widget*) {}

void forgetStyleData(const Widget*) {}

}  // namespace HA::HWL::DETAIL
