#include "uia/WindowApplication.h"

// FIXME: the application arrives with the application issue; until then no window has one.

namespace HA::UIA::DETAIL {

bool sendToApplication(int, void*) { return false; }
bool dispatchToApplication(int, void*, Window*) { return false; }
void setApplicationMainWindow(StandaloneWindow*) {}
void mainWindowDestroyed(StandaloneWindow*) {}
const HMenuBar* getApplicationMenuBar() { return nullptr; }
bool isApplicationDpiAware() { return false; }
void applicationSuspending() {}
void applicationResuming() {}

}  // namespace HA::UIA::DETAIL
