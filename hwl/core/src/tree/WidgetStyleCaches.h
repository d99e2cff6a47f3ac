#pragma once
// What the widget tree tells the style caches when a widget changes or goes away. Before the
// library's start-up and after its shut-down there are no caches and these do nothing.
// User-interface thread only.

namespace HA::HWL {

class Widget;

namespace DETAIL {

// Every style sheet forgets its cached selector matches for the widget.
void forgetStyleMatches(const Widget* widget);
// The widget leaves the resolved-style cache and every sheet's match cache.
void forgetStyleData(const Widget* widget);

}  // namespace DETAIL

}  // namespace HA::HWL
