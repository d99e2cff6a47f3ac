#pragma once
// The framework's event codes with their data records, the modifier bits and the key codes
// that input events carry. Widget-level codes (100001 and up) belong to the widget library.
//
// Routing: window events (kFirstWindowEvent and up) and mouse events never bubble to the
// application; key, command and menu events do, except kCommandShowToolbar from the system
// menu.

#include <cstdint>
#include <string>
#include <vector>

namespace HA::GP {
class FilePath;
}

namespace HA::UIA {

class EventTarget;
class DeviceContext;
class HMenu;
struct EventTimerNode;

// A timer of the event-timer manager (uia/events/EventTimerManager.h).
using EventTimerHandle = EventTimerNode*;

// Event codes.
constexpr int kEventTimerTick = 2;             // TimerEventData, to the timer's target only
constexpr int kEventMouseButton = 1000;        // MouseEventData
constexpr int kEventMouseDrag = 1001;          // MotionEventData: moved with a button held
constexpr int kEventMouseMove = 1002;          // MotionEventData: moved, no button held
constexpr int kEventMouseWheel = 1003;         // WheelEventData
constexpr int kEventMouseEnter = 1004;         // MotionEventData
constexpr int kEventMouseLeave = 1005;         // MotionEventData
constexpr int kEventRawMouseMotion = 1006;     // RawMotionEventData
constexpr int kEventKeyDown = 1100;            // KeyEventData
constexpr int kEventKeyUp = 1101;              // KeyUpEventData
constexpr int kEventChar = 1102;               // TextEventData, characters above 31
constexpr int kEventModifiersChanged = 1103;   // ModifierEventData
constexpr int kEventDeadChar = 1104;           // TextEventData
constexpr int kEventCommand = 1200;            // CommandEventData
constexpr int kEventMenuItemShowing = 1201;    // MenuEventData, once per plain item
constexpr int kEventMenuPopupShowing = 1202;   // MenuEventData with id -1
constexpr int kEventDragOver = 1300;           // DragEventData: entered or moved over
constexpr int kEventDrop = 1301;               // DragEventData
constexpr int kEventDragLeave = 1303;          // DragEventData: left or ended
constexpr int kEventDragFinished = 1304;       // int*: the drop effect, to the drag's source
constexpr int kEventAppActivated = 10000;      // no record
constexpr int kEventAppDeactivated = 10001;    // no record
constexpr int kEventQuitRequest = 10002;       // VetoEventData
constexpr int kEventOpenPath = 10003;          // PathEventData: from a second instance
constexpr int kEventDisplayChanged = 10005;    // std::uint32_t*: width low 16, height high 16
constexpr int kEventWindowCreated = 1000000;   // no record
constexpr int kEventWindowDestroyed = 1000001; // no record
constexpr int kEventPaint = 1000002;           // PaintEventData
constexpr int kEventSizeState = 1000003;       // SizeStateEventData
constexpr int kEventWindowRaised = 1000004;    // no record
constexpr int kEventWindowActivated = 1000005; // no record
constexpr int kEventWindowDeactivated = 1000006;
constexpr int kEventCaptureLost = 1000007;
constexpr int kEventFocusGained = 1000008;
constexpr int kEventFocusLost = 1000009;
constexpr int kEventSizeLimits = 1000010;      // SizeLimitsEventData
constexpr int kEventZoomSize = 1000011;        // ZoomSizeEventData
constexpr int kEventCloseRequest = 1000012;    // VetoEventData
constexpr int kEventWindowShowing = 1000013;   // no record: about to be shown
constexpr int kEventScaleChanged = 1000015;    // ScaleEventData

// The first code of the window events (never bubbled).
constexpr int kFirstWindowEvent = 1000000;

// Command ids with a meaning of their own.
constexpr int kCommandQuit = 30002;
constexpr int kCommandShowToolbar = 30311;  // system-menu item, not bubbled

// Modifier bits.
constexpr std::uint32_t kModifierShift = 0x10000000;
constexpr std::uint32_t kModifierControl = 0x20000000;
constexpr std::uint32_t kModifierAlt = 0x40000000;
constexpr std::uint32_t kModifierCapsLock = 0x02000000;
// Reported only together with at least one of the four bits above.
constexpr std::uint32_t kModifierWindowsKey = 0x01000000;

// Key codes (without modifier bits). Other values below 0x10000 are the upper-case
// character the key produces; 4, 6 and 7 are not used.
constexpr int kKeyEscape = 1;
constexpr int kKeyBackspace = 2;
constexpr int kKeyTab = 3;
constexpr int kKeyEnter = 5;
constexpr int kKeyInsert = 8;
constexpr int kKeyDelete = 9;
constexpr int kKeyHome = 10;
constexpr int kKeyEnd = 11;
constexpr int kKeyPageUp = 12;
constexpr int kKeyPageDown = 13;
constexpr int kKeyUp = 14;
constexpr int kKeyDown = 15;
constexpr int kKeyLeft = 16;
constexpr int kKeyRight = 17;
constexpr int kKeyNumLock = 18;
constexpr int kKeyF1 = 0x10001;
constexpr int kKeyF12 = 0x1000C;
constexpr int keyF(int n) { return kKeyF1 + n - 1; }  // F1 to F12
// Added for keys of the numeric keypad.
constexpr int kKeyNumpad = 0x800000;

// Mouse buttons and kinds of button events.
constexpr int kMouseButtonLeft = 1;
constexpr int kMouseButtonRight = 2;
constexpr int kMouseButtonMiddle = 4;
constexpr int kMousePress = 1;
constexpr int kMouseRelease = 2;
constexpr int kMouseDoubleClick = 3;

// Size states.
constexpr int kSizeStateNormal = 0;
constexpr int kSizeStateMaximised = 1;
constexpr int kSizeStateMinimised = 2;

// Size-limit flags.
constexpr int kSizeLimitMinimum = 0x1;
constexpr int kSizeLimitMaximum = 0x2;

// Records. x and y are logical pixels of the window's client area unless stated.
struct MouseEventData {
    int x = 0;
    int y = 0;
    std::uint32_t modifiers = 0;
    int button = 0;  // kMouseButton...
    int kind = 0;    // kMousePress, kMouseRelease, kMouseDoubleClick
};

// Motion events carry x, y and the modifiers; button and kind stay 0.
using MotionEventData = MouseEventData;

// x and y are client coordinates not divided by the display scale.
struct WheelEventData {
    int x = 0;
    int y = 0;
    std::uint32_t modifiers = 0;
    int delta = 0;     // signed, 120 per notch
    int vertical = 0;  // 1 when Shift is not held
};

struct RawMotionEventData {
    int x = 0;  // the last client position
    int y = 0;
    std::uint32_t modifiers = 0;
    double dx = 0;
    double dy = 0;
};

struct KeyEventData {
    int keyCode = 0;         // key code with the modifier bits ORed in
    int scanKey = -1;        // key code of the physical key, -1 when it has none
    bool firstPress = true;  // false for auto-repeat
};

struct KeyUpEventData {
    int keyCode = 0;
    int scanKey = -1;
};

struct TextEventData {
    std::string text;  // UTF-8
};

struct ModifierEventData {
    std::uint32_t modifiers = 0;
    int reserved = 0;
};

struct CommandEventData {
    int id = 0;
};

struct MenuEventData {
    int id = 0;  // -1 for the popup event
    HMenu* menu = nullptr;
};

struct TimerEventData {
    EventTimerHandle timer = nullptr;
    int interval = 0;  // ms
};

// A handler sets allowed to false to refuse.
struct VetoEventData {
    bool allowed = true;
};

struct SizeStateEventData {
    int state = kSizeStateNormal;
};

// Client sizes in logical pixels.
struct SizeLimitsEventData {
    int flags = 0;  // kSizeLimitMinimum, kSizeLimitMaximum
    int minWidth = 0;
    int minHeight = 0;
    int maxWidth = 0;
    int maxHeight = 0;
};

struct ZoomSizeEventData {
    int width = 0;
    int height = 0;
};

struct PaintEventData {
    DeviceContext* dc = nullptr;
};

struct ScaleEventData {
    float scale = 1.0f;
};

struct PathEventData {
    const GP::FilePath* path = nullptr;
};

// x and y are client coordinates; modifiers hold Shift, Control and Alt only.
struct DragEventData {
    int x = 0;
    int y = 0;
    std::uint32_t modifiers = 0;
    void* data = nullptr;    // the data-object holder of the drag
    int effect = 0;          // out: the drop effect accepted (bit 31 the scroll effect)
    int allowed = 0;         // in: the effects the source offers
    std::vector<EventTarget*> targets;  // filled by the handlers
    EventTarget* acceptor = nullptr;     // set by the handlers
    std::uint8_t reserved[16] = {};
};

// The data of events without a record: a byte that carries nothing.
void* noEventData();

}  // namespace HA::UIA
