#include "uia/platform/app/AsyncEventWindow.h"

#include <cstdio>
#include <map>
#include <mutex>

#include "os/kernel/Kernel.h"
#include "os/windows/MessageIds.h"
#include "uia/events/EventTarget.h"
#include "uia/events/Events.h"

namespace HA::UIA {

namespace {

constexpr std::size_t kMaxClassName = 256;

// The window's handle; its address also makes the class name unique to this copy.
OS::HWND gWindow = nullptr;
OS::WString gClassName;
OS::DWORD gThread = 0;

// Recursive: a target's handler may register or unregister targets.
std::recursive_mutex gRegistryMutex;
std::map<std::uint32_t, EventTarget*> gRegistry;

OS::WString makeClassName()
{
    char text[kMaxClassName];
    std::snprintf(text, sizeof(text), "HAAsyncEventTargetWndClass%0*llX", int(2 * sizeof(void*)),
                  static_cast<unsigned long long>(reinterpret_cast<std::uintptr_t>(&gWindow)));
    OS::WString name;
    for (const char* p = text; *p && name.size() < kMaxClassName; ++p)
        name += static_cast<OS::WChar>(*p);
    return name;
}

}  // namespace

bool createAsyncEventWindow(bool skip)
{
    if (skip || gWindow)
        return true;
    gClassName = makeClassName();
    OS::WNDCLASSEXW wc;
    wc.lpfnWndProc = &asyncEventWindowProc;
    wc.lpszClassName = gClassName;
    OS::registerClass(wc);
    gWindow = OS::createWindow(0, gClassName, u"AsyncEventTargetWindow", 0, 0, 0, 1, 1, OS::HWND_MESSAGE, nullptr,
                               nullptr, nullptr);
    gThread = OS::currentThreadId();
    return true;
}

void destroyAsyncEventWindow()
{
    if (!gWindow)
        return;
    OS::destroyWindow(gWindow);
    OS::unregisterClass(gClassName);
    gWindow = nullptr;
    gClassName.clear();
    gThread = 0;
}

OS::LRESULT asyncEventWindowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam)
{
    if (message != OS::WM_COMMAND)
        return OS::defWindowProc(hwnd, message, wParam, lParam);
    std::lock_guard<std::recursive_mutex> lock(gRegistryMutex);
    auto it = gRegistry.find(static_cast<std::uint32_t>(lParam));
    if (it != gRegistry.end() && it->second)
        it->second->handleEvent(static_cast<int>(wParam), noEventData());
    return 1;
}

namespace DETAIL {

void registerAsyncEventTarget(std::uint32_t key, EventTarget* target)
{
    std::lock_guard<std::recursive_mutex> lock(gRegistryMutex);
    gRegistry[key] = target;
}

void unregisterAsyncEventTarget(std::uint32_t key)
{
    std::lock_guard<std::recursive_mutex> lock(gRegistryMutex);
    gRegistry.erase(key);
}

OS::HWND asyncEventWindow() { return gWindow; }

OS::DWORD asyncEventWindowThread() { return gThread; }

OS::WString asyncEventWindowClassName() { return gClassName; }

}  // namespace DETAIL

}  // namespace HA::UIA
