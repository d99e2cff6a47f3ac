#include <gtest/gtest.h>

#include <ostream>
#include <string>
#include <vector>

#include "os/display/InputTranslation.h"
#include "os/windows/input/Keyboard.h"

namespace HA::OS {

void PrintTo(const InputAction& a, std::ostream* os)
{
    *os << "{kind " << static_cast<int>(a.kind) << ", message 0x" << std::hex << a.message << ", wParam 0x"
        << a.wParam << ", lParam 0x" << static_cast<std::uintptr_t>(a.lParam) << std::dec << "}";
}

namespace {

using K = InputAction::eKind;

SDL_Event key(Uint32 type, SDL_Scancode scancode, Uint16 mod = KMOD_NONE, Uint8 repeat = 0)
{
    SDL_Event e{};
    e.key.type = type;
    e.key.state = type == SDL_KEYDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.key.repeat = repeat;
    e.key.keysym.scancode = scancode;
    e.key.keysym.mod = mod;
    return e;
}
SDL_Event down(SDL_Scancode scancode, Uint16 mod = KMOD_NONE, Uint8 repeat = 0)
{
    return key(SDL_KEYDOWN, scancode, mod, repeat);
}
SDL_Event up(SDL_Scancode scancode, Uint16 mod = KMOD_NONE)
{
    return key(SDL_KEYUP, scancode, mod);
}

SDL_Event motion(int x, int y, Uint32 state = 0)
{
    SDL_Event e{};
    e.motion.type = SDL_MOUSEMOTION;
    e.motion.x = x;
    e.motion.y = y;
    e.motion.state = state;
    return e;
}

SDL_Event button(Uint32 type, Uint8 which, int x, int y, Uint32 time)
{
    SDL_Event e{};
    e.button.type = type;
    e.button.timestamp = time;
    e.button.button = which;
    e.button.state = type == SDL_MOUSEBUTTONDOWN ? SDL_PRESSED : SDL_RELEASED;
    e.button.x = x;
    e.button.y = y;
    return e;
}
SDL_Event press(Uint8 which, int x, int y, Uint32 time)
{
    return button(SDL_MOUSEBUTTONDOWN, which, x, y, time);
}
SDL_Event release(Uint8 which, int x, int y, Uint32 time)
{
    return button(SDL_MOUSEBUTTONUP, which, x, y, time);
}

SDL_Event wheel(int x, int y, int mouseX, int mouseY, Uint32 direction = SDL_MOUSEWHEEL_NORMAL)
{
    SDL_Event e{};
    e.wheel.type = SDL_MOUSEWHEEL;
    e.wheel.x = x;
    e.wheel.y = y;
    e.wheel.direction = direction;
    e.wheel.mouseX = mouseX;
    e.wheel.mouseY = mouseY;
    return e;
}

SDL_Event windowEvent(Uint8 what)
{
    SDL_Event e{};
    e.window.type = SDL_WINDOWEVENT;
    e.window.event = what;
    return e;
}

InputAction queued(UINT message, WPARAM wParam, LPARAM lParam)
{
    return InputAction{K::QueueInput, message, wParam, lParam};
}

InputContext context(UINT classStyle = CS_DBLCLKS, std::uint16_t modifiers = KMOD_NONE, bool leaveTracked = false)
{
    InputContext c;
    c.clientOrigin = POINT{108, 131};
    c.doubleClicks = (classStyle & CS_DBLCLKS) != 0;
    c.modifiers = modifiers;
    c.leaveTracked = leaveTracked;
    return c;
}

struct Row {
    std::string name;
    std::vector<SDL_Event> before;  // translated first, their messages not checked
    SDL_Event event;
    InputContext context;
    std::vector<InputAction> expected;
};

std::vector<Row> rows()
{
    const int kF4 = VK_F1 + 3;
    return {
        // Keys: virtual key, and lParam = repeat 1 | scan << 16 | extended << 24 | Alt << 29
        // | previous state << 30 | released << 31.
        {"LetterDown", {}, down(SDL_SCANCODE_A), context(), {queued(WM_KEYDOWN, 'A', 0x001E0001)}},
        {"LetterUp", {}, up(SDL_SCANCODE_A), context(), {queued(WM_KEYUP, 'A', 0xC01E0001)}},
        {"LetterRepeat", {}, down(SDL_SCANCODE_A, KMOD_NONE, 1), context(), {queued(WM_KEYDOWN, 'A', 0x401E0001)}},
        {"DigitOfTheMainBlock", {}, down(SDL_SCANCODE_1), context(), {queued(WM_KEYDOWN, '1', 0x00020001)}},
        {"ShiftIsGeneric", {}, down(SDL_SCANCODE_RSHIFT, KMOD_RSHIFT), context(),
         {queued(WM_KEYDOWN, VK_SHIFT, 0x00360001)}},
        {"AltAloneDown", {}, down(SDL_SCANCODE_LALT, KMOD_LALT), context(),
         {queued(WM_SYSKEYDOWN, VK_MENU, 0x20380001)}},
        {"AltAloneUp", {}, up(SDL_SCANCODE_LALT), context(), {queued(WM_SYSKEYUP, VK_MENU, 0xC0380001)}},
        {"AltF4", {}, down(SDL_SCANCODE_F4, KMOD_LALT), context(), {queued(WM_SYSKEYDOWN, kF4, 0x203E0001)}},
        {"AltLetterUp", {}, up(SDL_SCANCODE_A, KMOD_LALT), context(), {queued(WM_SYSKEYUP, 'A', 0xE01E0001)}},
        {"AltGrIsNoSystemKey", {}, down(SDL_SCANCODE_A, KMOD_RALT | KMOD_LCTRL), context(),
         {queued(WM_KEYDOWN, 'A', 0x001E0001)}},
        {"F10IsASystemKeyWithoutAlt", {}, down(SDL_SCANCODE_F10), context(),
         {queued(WM_SYSKEYDOWN, VK_F10, 0x00440001)}},
        {"F10Up", {}, up(SDL_SCANCODE_F10), context(), {queued(WM_SYSKEYUP, VK_F10, 0xC0440001)}},
        {"F9IsNot", {}, down(SDL_SCANCODE_F9), context(), {queued(WM_KEYDOWN, VK_F1 + 8, 0x00430001)}},
        {"MainEnter", {}, down(SDL_SCANCODE_RETURN), context(), {queued(WM_KEYDOWN, VK_RETURN, 0x001C0001)}},
        {"KeypadEnterIsExtended", {}, down(SDL_SCANCODE_KP_ENTER), context(),
         {queued(WM_KEYDOWN, VK_RETURN, 0x011C0001)}},
        {"KeypadDivideIsExtended", {}, down(SDL_SCANCODE_KP_DIVIDE), context(),
         {queued(WM_KEYDOWN, VK_DIVIDE, 0x01350001)}},
        {"LeftCtrl", {}, down(SDL_SCANCODE_LCTRL, KMOD_LCTRL), context(), {queued(WM_KEYDOWN, VK_CONTROL, 0x001D0001)}},
        {"RightCtrlIsExtended", {}, down(SDL_SCANCODE_RCTRL, KMOD_RCTRL), context(),
         {queued(WM_KEYDOWN, VK_CONTROL, 0x011D0001)}},
        {"RightAltIsExtended", {}, down(SDL_SCANCODE_RALT, KMOD_RALT), context(),
         {queued(WM_SYSKEYDOWN, VK_MENU, 0x21380001)}},
        {"ArrowIsExtended", {}, down(SDL_SCANCODE_UP), context(), {queued(WM_KEYDOWN, VK_UP, 0x01480001)}},
        {"NavigationDeleteIsExtended", {}, down(SDL_SCANCODE_DELETE), context(),
         {queued(WM_KEYDOWN, VK_DELETE, 0x01530001)}},
        {"KeypadWithNumLock", {}, down(SDL_SCANCODE_KP_8, KMOD_NUM), context(),
         {queued(WM_KEYDOWN, VK_NUMPAD0 + 8, 0x00480001)}},
        {"KeypadWithoutNumLock", {}, down(SDL_SCANCODE_KP_8), context(), {queued(WM_KEYDOWN, VK_UP, 0x00480001)}},
        {"KeypadDecimalWithoutNumLock", {}, down(SDL_SCANCODE_KP_PERIOD), context(),
         {queued(WM_KEYDOWN, VK_DELETE, 0x00530001)}},
        {"NumLockIsExtended", {}, down(SDL_SCANCODE_NUMLOCKCLEAR, KMOD_NUM), context(),
         {queued(WM_KEYDOWN, VK_NUMLOCK, 0x01450001)}},
        {"KeyWithoutVirtualKey", {}, down(SDL_SCANCODE_AUDIOPLAY), context(), {}},

        // Mouse: client coordinates, MK_ bits of the buttons held and of Shift and Ctrl.
        {"Move", {}, motion(10, 20), context(), {queued(WM_MOUSEMOVE, 0, makeLParam(10, 20))}},
        {"MoveWithButtonsAndShift", {}, motion(10, 20, SDL_BUTTON_LMASK | SDL_BUTTON_MMASK), context(CS_DBLCLKS, KMOD_LSHIFT),
         {queued(WM_MOUSEMOVE, MK_LBUTTON | MK_MBUTTON | MK_SHIFT, makeLParam(10, 20))}},
        {"MoveOutsideWhileCaptured", {}, motion(-5, -7, SDL_BUTTON_LMASK), context(),
         {queued(WM_MOUSEMOVE, MK_LBUTTON, static_cast<LPARAM>(0xFFF9FFFBu))}},
        {"LeftPress", {}, press(SDL_BUTTON_LEFT, 3, 4, 1000), context(),
         {queued(WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(3, 4))}},
        {"LeftRelease", {press(SDL_BUTTON_LEFT, 3, 4, 1000)}, release(SDL_BUTTON_LEFT, 3, 4, 1050), context(),
         {queued(WM_LBUTTONUP, 0, makeLParam(3, 4))}},
        {"RightPressWithCtrl", {}, press(SDL_BUTTON_RIGHT, 3, 4, 1000), context(CS_DBLCLKS, KMOD_RCTRL),
         {queued(WM_RBUTTONDOWN, MK_RBUTTON | MK_CONTROL, makeLParam(3, 4))}},
        {"MiddlePressWhileLeftHeld", {press(SDL_BUTTON_LEFT, 3, 4, 1000)}, press(SDL_BUTTON_MIDDLE, 3, 4, 1010),
         context(), {queued(WM_MBUTTONDOWN, MK_LBUTTON | MK_MBUTTON, makeLParam(3, 4))}},
        {"ExtraButtonGivesNothing", {}, press(SDL_BUTTON_X1, 3, 4, 1000), context(), {}},
        {"DoubleClick", {press(SDL_BUTTON_LEFT, 3, 4, 1000), release(SDL_BUTTON_LEFT, 3, 4, 1050)},
         press(SDL_BUTTON_LEFT, 5, 6, 1499), context(),
         {queued(WM_LBUTTONDBLCLK, MK_LBUTTON, makeLParam(5, 6))}},
        {"RightDoubleClick", {press(SDL_BUTTON_RIGHT, 3, 4, 1000), release(SDL_BUTTON_RIGHT, 3, 4, 1050)},
         press(SDL_BUTTON_RIGHT, 3, 4, 1100), context(),
         {queued(WM_RBUTTONDBLCLK, MK_RBUTTON, makeLParam(3, 4))}},
        {"NoDoubleClickWithoutTheClassStyle",
         {press(SDL_BUTTON_LEFT, 3, 4, 1000), release(SDL_BUTTON_LEFT, 3, 4, 1050)},
         press(SDL_BUTTON_LEFT, 3, 4, 1100), context(0), {queued(WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(3, 4))}},
        {"NoDoubleClickAfterTheTime", {press(SDL_BUTTON_LEFT, 3, 4, 1000), release(SDL_BUTTON_LEFT, 3, 4, 1050)},
         press(SDL_BUTTON_LEFT, 3, 4, 1500), context(), {queued(WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(3, 4))}},
        {"NoDoubleClickOutsideTheBox", {press(SDL_BUTTON_LEFT, 3, 4, 1000), release(SDL_BUTTON_LEFT, 3, 4, 1050)},
         press(SDL_BUTTON_LEFT, 6, 4, 1100), context(), {queued(WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(6, 4))}},
        {"NoDoubleClickOfAnotherButton", {press(SDL_BUTTON_LEFT, 3, 4, 1000), release(SDL_BUTTON_LEFT, 3, 4, 1050)},
         press(SDL_BUTTON_RIGHT, 3, 4, 1100), context(), {queued(WM_RBUTTONDOWN, MK_RBUTTON, makeLParam(3, 4))}},
        {"ThirdPressStartsOver",
         {press(SDL_BUTTON_LEFT, 3, 4, 1000), release(SDL_BUTTON_LEFT, 3, 4, 1050), press(SDL_BUTTON_LEFT, 3, 4, 1100),
          release(SDL_BUTTON_LEFT, 3, 4, 1150)},
         press(SDL_BUTTON_LEFT, 3, 4, 1200), context(), {queued(WM_LBUTTONDOWN, MK_LBUTTON, makeLParam(3, 4))}},

        // Wheel: 120 a notch in wParam's high word, the position in screen coordinates.
        {"WheelAway", {}, wheel(0, 1, 10, 20), context(),
         {queued(WM_MOUSEWHEEL, makeWParam(0, 120), makeLParam(118, 151))}},
        {"WheelTowardsTwoNotchesWithCtrl", {}, wheel(0, -2, 10, 20), context(CS_DBLCLKS, KMOD_LCTRL),
         {queued(WM_MOUSEWHEEL, makeWParam(MK_CONTROL, -240), makeLParam(118, 151))}},
        {"WheelFlipped", {}, wheel(0, 1, 0, 0, SDL_MOUSEWHEEL_FLIPPED), context(),
         {queued(WM_MOUSEWHEEL, makeWParam(0, -120), makeLParam(108, 131))}},
        {"WheelWithButtonHeld", {press(SDL_BUTTON_LEFT, 3, 4, 1000)}, wheel(0, 1, 3, 4), context(),
         {queued(WM_MOUSEWHEEL, makeWParam(MK_LBUTTON, 120), makeLParam(111, 135))}},
        {"SidewaysWheelGivesNothing", {}, wheel(1, 0, 3, 4), context(), {}},

        // Leave only when tracked; the report ends the tracking.
        {"LeaveTracked", {}, windowEvent(SDL_WINDOWEVENT_LEAVE), context(CS_DBLCLKS, KMOD_NONE, true),
         {queued(WM_MOUSELEAVE, 0, 0), InputAction{K::LeaveTaken}}},
        {"LeaveNotTracked", {}, windowEvent(SDL_WINDOWEVENT_LEAVE), context(), {}},
        {"EnterGivesNothing", {}, windowEvent(SDL_WINDOWEVENT_ENTER), context(), {}},
        {"FocusGained", {}, windowEvent(SDL_WINDOWEVENT_FOCUS_GAINED), context(), {InputAction{K::Foreground}}},
        {"FocusLost", {}, windowEvent(SDL_WINDOWEVENT_FOCUS_LOST), context(), {InputAction{K::OtherApplication}}},
        {"Close", {}, windowEvent(SDL_WINDOWEVENT_CLOSE), context(), {InputAction{K::Post, WM_SYSCOMMAND, SC_CLOSE, 0}}},
        {"Expose", {}, windowEvent(SDL_WINDOWEVENT_EXPOSED), context(), {InputAction{K::Invalidate}}},
        {"MinimisedByTheWindowManager", {}, windowEvent(SDL_WINDOWEVENT_MINIMIZED), context(),
         {InputAction{K::Minimized}}},
        {"RestoredByTheWindowManager", {}, windowEvent(SDL_WINDOWEVENT_RESTORED), context(), {InputAction{K::Restored}}},
    };
}

class InputTranslation : public ::testing::TestWithParam<Row> {};

TEST_P(InputTranslation, QueuesThePlatformsMessages)
{
    const Row& row = GetParam();
    InputState state;
    for (const SDL_Event& e : row.before)
        translateInputEvent(e, row.context, state);
    EXPECT_EQ(translateInputEvent(row.event, row.context, state), row.expected);
}

INSTANTIATE_TEST_SUITE_P(Events, InputTranslation, ::testing::ValuesIn(rows()),
                         [](const ::testing::TestParamInfo<Row>& info) { return info.param.name; });

// The virtual key of a display key is the active layout's for its scan code, as the
// injector's is: on the German layout the key right of T is Z.
TEST(DisplayKeys, FollowTheActiveLayout)
{
    struct Case {
        HKL layout;
        SDL_Scancode key;
        int virtualKey;
    };
    const Case cases[] = {
        {HKL_US, SDL_SCANCODE_Y, 'Y'},
        {HKL_GERMAN, SDL_SCANCODE_Y, 'Z'},
        {HKL_GERMAN, SDL_SCANCODE_Z, 'Y'},
        {HKL_GERMAN, SDL_SCANCODE_MINUS, VK_OEM_4},
    };
    for (const Case& c : cases) {
        activateKeyboardLayout(c.layout);
        const PlatformKey key = platformKeyOf(c.key, false);
        EXPECT_EQ(key.virtualKey, c.virtualKey) << "scancode " << static_cast<int>(c.key);
        EXPECT_EQ(key.virtualKey, virtualKeyOfScan(key.scanCode, key.extended, false));
    }
    activateKeyboardLayout(HKL_US);
}

}  // namespace
}  // namespace HA::OS
