#pragma once
// What windows ask of the process application. Each call does nothing (false, null) while
// there is no application. User-interface thread only.

#include <cstdint>

namespace HA::UIA {

class HMenuBar;
class StandaloneWindow;
class Window;

namespace DETAIL {

// The application's handleEvent.
bool sendToApplication(int code, void* data);
// The application's dispatchEvent with the window as the source.
bool dispatchToApplication(int code, void* data, Window* source);
// The main window registers itself when it is created.
void setApplicationMainWindow(StandaloneWindow* window);
// The main window's platform window is gone (kEventWindowDestroyed).
void mainWindowDestroyed(StandaloneWindow* window);
// The application's menu bar, installed into the main window when it holds a menu.
const HMenuBar* getApplicationMenuBar();
// The command of the key in the application's accelerator table; 0 for none.
int findApplicationAccelerator(std::uint32_t key);
bool isApplicationDpiAware();
void applicationSuspending();
void applicationResuming();

}  // namespace DETAIL
}  // namespace HA::UIA
