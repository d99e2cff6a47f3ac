#pragma once
// What the display's input events become on the platform side: the messages a window's
// thread queue receives, with the platform's parameters bit by bit. No display is needed:
// the function reads the event record and the facts about the target window given to it.

#include <SDL_events.h>

#include <cstdint>
#include <vector>

#include "os/windows/Message.h"
#include "os/windows/input/Input.h"

namespace HA::OS {

// What the translation needs to know about the window and the moment.
struct InputContext {
    POINT clientOrigin{0, 0};     // the client area's top-left in the stand-in's screen coordinates
    bool doubleClicks = false;    // the window's class has CS_DBLCLKS
    bool leaveTracked = false;    // the window asked for a leave report
    std::uint16_t modifiers = 0;  // the display's modifier state (KMOD_ bits) at the event
};

// What the translation keeps between events of one window.
struct InputState {
    WPARAM buttons = 0;  // MK_ button bits held
    POINT last{0, 0};    // last pointer position, client coordinates
    // The last press, for the double-click rule (isDoubleClick).
    UINT lastPressMessage = 0;
    std::uint32_t lastPressTime = 0;
    POINT lastPress{0, 0};
};

struct InputAction {
    enum class eKind {
        QueueInput,        // queueInputMessage(window, message, wParam, lParam)
        Post,              // postMessage(window, message, wParam, lParam)
        Foreground,        // the window becomes the foreground window
        OtherApplication,  // another program takes the foreground
        Invalidate,        // the client area is invalidated (and shown again)
        LeaveTaken,        // the leave report was given: tracking ends
        Minimized,         // the display minimised the window (its window manager did)
        Restored,          // ... restored it
    };
    eKind kind;
    UINT message = 0;
    WPARAM wParam = 0;
    LPARAM lParam = 0;

    bool operator==(const InputAction& o) const
    {
        return kind == o.kind && message == o.message && wParam == o.wParam && lParam == o.lParam;
    }
};

std::vector<InputAction> translateInputEvent(const SDL_Event& event, const InputContext& context, InputState& state);

// A key of the display's keyboard as the platform names it: virtual key, set-1 scan code
// and the extended bit. Keypad keys follow Num Lock. Virtual key 0 for keys it has none for.
struct PlatformKey {
    int virtualKey = 0;
    int scanCode = 0;
    bool extended = false;
};
PlatformKey platformKeyOf(SDL_Scancode scancode, bool numLock);

}  // namespace HA::OS
