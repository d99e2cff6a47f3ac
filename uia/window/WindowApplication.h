#pragma once
// What windows ask of the process application. Each call does nothing (false, null) while
// there is no application. User-interface thread only.

#include <cstdint>

namespace HA::UIA {

class HMenuBar;
class StandaloneWindow;
class Window;

namespace DETAIL {

// The process application's side of the calls below, which the application registers when
// it is made (windows sit below the application and do not include it). Each call finds
// the process application anew and does nothing while there is none.
class IWindowApplication {
public:
    virtual ~IWindowApplication() = default;
    virtual bool sendToApplication(int code, void* data) = 0;
    virtual bool dispatchToApplication(int code, void* data, Window* source) = 0;
    virtual void setApplicationMainWindow(StandaloneWindow* window) = 0;
    virtual void mainWindowDestroyed(StandaloneWindow* window) = 0;
    virtual const HMenuBar* getApplicationMenuBar() = 0;
    virtual int findApplicationAccelerator(std::uint32_t key) = 0;
    virtual bool isApplicationDpiAware() = 0;
    virtual void applicationSuspending() = 0;
    virtual void applicationResuming() = 0;
};
// Any thread; the object lives as long as the process.
void setWindowApplication(IWindowApplication* application);

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
