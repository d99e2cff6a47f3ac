#pragma once
// The cross-thread event window: a message-only window on the user-interface thread that
// other threads post WM_COMMAND to (wParam the event code, lParam the key of a registered
// target). The framework registers no target, so it answers every command without effect.
// Create and destroy it on the user-interface thread; post to it from any thread.

#include <cstdint>

#include "os/windows/Window.h"

namespace HA::UIA {

class EventTarget;

// With skip true, true and nothing done. Otherwise registers the window class
// "HAAsyncEventTargetWndClass" + an address (at most 256 units) and creates the window
// "AsyncEventTargetWindow" on the calling thread; true whatever the platform answers.
bool createAsyncEventWindow(bool skip);
// Destroys the window and unregisters its class when the window exists.
void destroyAsyncEventWindow();

// WM_COMMAND: under the registry's lock, the target registered under lParam (if any) gets
// handleEvent(wParam, no record); answered 1 either way. Other messages: default.
OS::LRESULT asyncEventWindowProc(OS::HWND hwnd, OS::UINT message, OS::WPARAM wParam, OS::LPARAM lParam);

namespace DETAIL {

// The registry of async targets, under its lock (any thread).
void registerAsyncEventTarget(std::uint32_t key, EventTarget* target);
void unregisterAsyncEventTarget(std::uint32_t key);

OS::HWND asyncEventWindow();
OS::DWORD asyncEventWindowThread();
OS::WString asyncEventWindowClassName();

}  // namespace DETAIL

}  // namespace HA::UIA
