#pragma once
// The library's process-wide message listeners: style-sheet errors, layout contradictions and
// missing resources are sent to them as text. User-interface thread only.

#include <functional>
#include <string>
#include <vector>

namespace HA::HWL {

using tErrorListener = std::function<void(const std::string&)>;

// The registered listeners, called in this order.
std::vector<tErrorListener>& errorListeners();

// Calls every listener in order, each with its own copy of the text. An empty function in the
// list throws std::bad_function_call (the listeners after it are not called).
void notifyErrorListeners(const std::string& text);

}  // namespace HA::HWL
