#pragma once
// Everything in the framework that reacts to input, window changes, commands or time is an
// event target: windows, the application, the widgets. An event is an integer code with a
// pointer to a code-specific record (uia/events/Events.h); the pointer is never null and must not
// be kept beyond the call. User-interface thread only.

namespace HA::UIA {

class EventTarget {
public:
    EventTarget() = default;
    EventTarget(const EventTarget&) = default;
    EventTarget& operator=(const EventTarget&) = default;
    virtual ~EventTarget();

    // The entry point for an event; true when it was handled (the sender stops offering it
    // and, for events that stand for a platform message, skips the default processing).
    // The default asks onEvent.
    virtual bool handleEvent(int code, void* data);
    // The entry point for a notification (no result); the default calls onNotify.
    virtual void notifyEvent(int code, void* data);
    // The handler to override; the default handles nothing.
    virtual bool onEvent(int code, void* data);
    // The notification handler to override; the default does nothing.
    virtual void onNotify(int code, void* data);
};

}  // namespace HA::UIA
