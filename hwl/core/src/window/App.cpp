#include "hwl/core/src/App.h"

namespace HA::HWL {

App::App() = default;

App::~App() = default;

}  // namespace HA::HWL
