#pragma once
// Input tests of framework windows: a shown, focused window whose key and mouse events are
// recorded with their records, fed by the stand-in's injector.

#include <gtest/gtest.h>

#include <memory>
#include <string>
#include <vector>

#include "os/windows/input/Input.h"
#include "os/windows/input/Keyboard.h"
#include "uia/events/Events.h"
#include "uia/events/Input.h"
#include "uia/tests/WindowTestSupport.h"

namespace HA::UIA::TEST {

// One recorded event; the fields that its record has.
struct Recorded {
    int code = 0;
    long long a = 0;  // keyCode, modifiers, or x
    long long b = 0;  // scanKey, or y
    bool first = false;
    std::string text;
    MouseEventData mouse;
    WheelEventData wheel;
    RawMotionEventData raw;
};

inline void recordInto(std::vector<Recorded>& out, int code, void* data)
{
    Recorded r;
    r.code = code;
    switch (code) {
    case kEventKeyDown: {
        const auto* k = static_cast<KeyEventData*>(data);
        r.a = k->keyCode;
        r.b = k->scanKey;
        r.first = k->firstPress;
        break;
    }
    case kEventKeyUp: {
        const auto* k = static_cast<KeyUpEventData*>(data);
        r.a = k->keyCode;
        r.b = k->scanKey;
        break;
    }
    case kEventModifiersChanged:
        r.a = static_cast<ModifierEventData*>(data)->modifiers;
        break;
    case kEventChar:
    case kEventDeadChar:
        r.text = static_cast<TextEventData*>(data)->text;
        break;
    case kEventMouseButton:
    case kEventMouseDrag:
    case kEventMouseMove:
    case kEventMouseEnter:
    case kEventMouseLeave:
        r.mouse = *static_cast<MouseEventData*>(data);
        r.a = r.mouse.x;
        r.b = r.mouse.y;
        break;
    case kEventMouseWheel:
        r.wheel = *static_cast<WheelEventData*>(data);
        break;
    case kEventRawMouseMotion:
        r.raw = *static_cast<RawMotionEventData*>(data);
        break;
    case kEventCaptureLost:
        break;
    default:
        return;  // not an input event
    }
    out.push_back(r);
}

class InputWindowTest : public FrameworkWindowTest {
protected:
    void SetUp() override
    {
        FrameworkWindowTest::SetUp();
        OS::INPUT::reset();
        initKeyTables();
        refreshKeyTable();
        ASSERT_TRUE(loadCursorTable());
    }
    void TearDown() override
    {
        windows.clear();
        OS::INPUT::reset();
        refreshKeyTable();
        FrameworkWindowTest::TearDown();
    }

    // A shown, focused main window at (x, y) that records its input events.
    RecordingWindow& open(int x = 100, int y = 100)
    {
        windows.push_back(std::make_unique<RecordingWindow>());
        RecordingWindow& w = *windows.back();
        EXPECT_TRUE(w.create(mainDescriptor()));
        OS::setWindowPos(w.hwnd(), nullptr, x, y, 0, 0, OS::SWP_NOSIZE | OS::SWP_NOZORDER);
        OS::showWindow(w.hwnd(), OS::SW_SHOW);
        OS::setFocus(w.hwnd());
        OS::pumpMessages();
        w.handler = [this](RecordingWindow&, int code, void* data) -> std::optional<bool> {
            recordInto(recorded, code, data);
            return std::nullopt;
        };
        recorded.clear();
        return w;
    }

    // The client area's top-left on the screen.
    static OS::POINT origin(const RecordingWindow& w)
    {
        OS::POINT p{0, 0};
        OS::clientToScreen(w.hwnd(), p);
        return p;
    }

    std::vector<Recorded> take()
    {
        OS::pumpMessages();
        return std::exchange(recorded, {});
    }

    std::vector<std::unique_ptr<RecordingWindow>> windows;
    std::vector<Recorded> recorded;
};

}  // namespace HA::UIA::TEST
