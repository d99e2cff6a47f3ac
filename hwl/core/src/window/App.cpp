#include "hwl/core/src/window/App.h"

namespace HA::HWL {

App::App() = default;

App::~App() = default;

}  // namespace HA::HWL
