#include "os/display/InputTranslation.h"

#include <cstdlib>

namespace HA::OS {

namespace {

// Virtual keys that only the display's keyboard needs.
constexpr int VK_CLEAR = 0x0C;
constexpr int VK_OEM_1 = 0xBA;       // ;:
constexpr int VK_OEM_PLUS = 0xBB;    // =+
constexpr int VK_OEM_COMMA = 0xBC;   // ,<
constexpr int VK_OEM_MINUS = 0xBD;   // -_
constexpr int VK_OEM_PERIOD = 0xBE;  // .>
constexpr int VK_OEM_2 = 0xBF;       // /?
constexpr int VK_OEM_3 = 0xC0;       // `~
constexpr int VK_OEM_4 = 0xDB;       // [{
constexpr int VK_OEM_5 = 0xDC;       // \|
constexpr int VK_OEM_6 = 0xDD;       // ]}
constexpr int VK_OEM_7 = 0xDE;       // '"

struct KeyRow {
    SDL_Scancode scancode;
    int virtualKey;
    int scanCode;
    bool extended;
    int virtualKeyNumLockOff;  // keypad keys: the navigation key without Num Lock (0: the same)
};

// The physical keys of a US keyboard with their set-1 scan codes.
const KeyRow kKeys[] = {
    {SDL_SCANCODE_ESCAPE, VK_ESCAPE, 0x01, false, 0},
    {SDL_SCANCODE_1, '1', 0x02, false, 0},
    {SDL_SCANCODE_2, '2', 0x03, false, 0},
    {SDL_SCANCODE_3, '3', 0x04, false, 0},
    {SDL_SCANCODE_4, '4', 0x05, false, 0},
    {SDL_SCANCODE_5, '5', 0x06, false, 0},
    {SDL_SCANCODE_6, '6', 0x07, false, 0},
    {SDL_SCANCODE_7, '7', 0x08, false, 0},
    {SDL_SCANCODE_8, '8', 0x09, false, 0},
    {SDL_SCANCODE_9, '9', 0x0A, false, 0},
    {SDL_SCANCODE_0, '0', 0x0B, false, 0},
    {SDL_SCANCODE_MINUS, VK_OEM_MINUS, 0x0C, false, 0},
    {SDL_SCANCODE_EQUALS, VK_OEM_PLUS, 0x0D, false, 0},
    {SDL_SCANCODE_BACKSPACE, VK_BACK, 0x0E, false, 0},
    {SDL_SCANCODE_TAB, VK_TAB, 0x0F, false, 0},
    {SDL_SCANCODE_Q, 'Q', 0x10, false, 0},
    {SDL_SCANCODE_W, 'W', 0x11, false, 0},
    {SDL_SCANCODE_E, 'E', 0x12, false, 0},
    {SDL_SCANCODE_R, 'R', 0x13, false, 0},
    {SDL_SCANCODE_T, 'T', 0x14, false, 0},
    {SDL_SCANCODE_Y, 'Y', 0x15, false, 0},
    {SDL_SCANCODE_U, 'U', 0x16, false, 0},
    {SDL_SCANCODE_I, 'I', 0x17, false, 0},
    {SDL_SCANCODE_O, 'O', 0x18, false, 0},
    {SDL_SCANCODE_P, 'P', 0x19, false, 0},
    {SDL_SCANCODE_LEFTBRACKET, VK_OEM_4, 0x1A, false, 0},
    {SDL_SCANCODE_RIGHTBRACKET, VK_OEM_6, 0x1B, false, 0},
    {SDL_SCANCODE_RETURN, VK_RETURN, 0x1C, false, 0},
    {SDL_SCANCODE_LCTRL, VK_CONTROL, 0x1D, false, 0},
    {SDL_SCANCODE_A, 'A', 0x1E, false, 0},
    {SDL_SCANCODE_S, 'S', 0x1F, false, 0},
    {SDL_SCANCODE_D, 'D', 0x20, false, 0},
    {SDL_SCANCODE_F, 'F', 0x21, false, 0},
    {SDL_SCANCODE_G, 'G', 0x22, false, 0},
    {SDL_SCANCODE_H, 'H', 0x23, false, 0},
    {SDL_SCANCODE_J, 'J', 0x24, false, 0},
    {SDL_SCANCODE_K, 'K', 0x25, false, 0},
    {SDL_SCANCODE_L, 'L', 0x26, false, 0},
    {SDL_SCANCODE_SEMICOLON, VK_OEM_1, 0x27, false, 0},
    {SDL_SCANCODE_APOSTROPHE, VK_OEM_7, 0x28, false, 0},
    {SDL_SCANCODE_GRAVE, VK_OEM_3, 0x29, false, 0},
    {SDL_SCANCODE_LSHIFT, VK_SHIFT, 0x2A, false, 0},
    {SDL_SCANCODE_BACKSLASH, VK_OEM_5, 0x2B, false, 0},
    {SDL_SCANCODE_Z, 'Z', 0x2C, false, 0},
    {SDL_SCANCODE_X, 'X', 0x2D, false, 0},
    {SDL_SCANCODE_C, 'C', 0x2E, false, 0},
    {SDL_SCANCODE_V, 'V', 0x2F, false, 0},
    {SDL_SCANCODE_B, 'B', 0x30, false, 0},
    {SDL_SCANCODE_N, 'N', 0x31, false, 0},
    {SDL_SCANCODE_M, 'M', 0x32, false, 0},
    {SDL_SCANCODE_COMMA, VK_OEM_COMMA, 0x33, false, 0},
    {SDL_SCANCODE_PERIOD, VK_OEM_PERIOD, 0x34, false, 0},
    {SDL_SCANCODE_SLASH, VK_OEM_2, 0x35, false, 0},
    {SDL_SCANCODE_RSHIFT, VK_SHIFT, 0x36, false, 0},
    {SDL_SCANCODE_KP_MULTIPLY, VK_MULTIPLY, 0x37, false, 0},
    {SDL_SCANCODE_LALT, VK_MENU, 0x38, false, 0},
    {SDL_SCANCODE_SPACE, VK_SPACE, 0x39, false, 0},
    {SDL_SCANCODE_CAPSLOCK, VK_CAPITAL, 0x3A, false, 0},
    {SDL_SCANCODE_F1, VK_F1, 0x3B, false, 0},
    {SDL_SCANCODE_F2, VK_F1 + 1, 0x3C, false, 0},
    {SDL_SCANCODE_F3, VK_F1 + 2, 0x3D, false, 0},
    {SDL_SCANCODE_F4, VK_F1 + 3, 0x3E, false, 0},
    {SDL_SCANCODE_F5, VK_F1 + 4, 0x3F, false, 0},
    {SDL_SCANCODE_F6, VK_F1 + 5, 0x40, false, 0},
    {SDL_SCANCODE_F7, VK_F1 + 6, 0x41, false, 0},
    {SDL_SCANCODE_F8, VK_F1 + 7, 0x42, false, 0},
    {SDL_SCANCODE_F9, VK_F1 + 8, 0x43, false, 0},
    {SDL_SCANCODE_F10, VK_F10, 0x44, false, 0},
    {SDL_SCANCODE_NUMLOCKCLEAR, VK_NUMLOCK, 0x45, true, 0},
    {SDL_SCANCODE_KP_7, VK_NUMPAD0 + 7, 0x47, false, VK_HOME},
    {SDL_SCANCODE_KP_8, VK_NUMPAD0 + 8, 0x48, false, VK_UP},
    {SDL_SCANCODE_KP_9, VK_NUMPAD0 + 9, 0x49, false, VK_PRIOR},
    {SDL_SCANCODE_KP_MINUS, VK_SUBTRACT, 0x4A, false, 0},
    {SDL_SCANCODE_KP_4, VK_NUMPAD0 + 4, 0x4B, false, VK_LEFT},
    {SDL_SCANCODE_KP_5, VK_NUMPAD0 + 5, 0x4C, false, VK_CLEAR},
    {SDL_SCANCODE_KP_6, VK_NUMPAD0 + 6, 0x4D, false, VK_RIGHT},
    {SDL_SCANCODE_KP_PLUS, VK_ADD, 0x4E, false, 0},
    {SDL_SCANCODE_KP_1, VK_NUMPAD0 + 1, 0x4F, false, VK_END},
    {SDL_SCANCODE_KP_2, VK_NUMPAD0 + 2, 0x50, false, VK_DOWN},
    {SDL_SCANCODE_KP_3, VK_NUMPAD0 + 3, 0x51, false, VK_NEXT},
    {SDL_SCANCODE_KP_0, VK_NUMPAD0, 0x52, false, VK_INSERT},
    {SDL_SCANCODE_KP_PERIOD, VK_DECIMAL, 0x53, false, VK_DELETE},
    {SDL_SCANCODE_F11, VK_F1 + 10, 0x57, false, 0},
    {SDL_SCANCODE_F12, VK_F12, 0x58, false, 0},
    // The extended keys: the keypad's Enter and divide, right Ctrl and Alt, the navigation
    // block, the arrows and the Windows keys.
    {SDL_SCANCODE_KP_ENTER, VK_RETURN, 0x1C, true, 0},
    {SDL_SCANCODE_RCTRL, VK_CONTROL, 0x1D, true, 0},
    {SDL_SCANCODE_KP_DIVIDE, VK_DIVIDE, 0x35, true, 0},
    {SDL_SCANCODE_RALT, VK_MENU, 0x38, true, 0},
    {SDL_SCANCODE_HOME, VK_HOME, 0x47, true, 0},
    {SDL_SCANCODE_UP, VK_UP, 0x48, true, 0},
    {SDL_SCANCODE_PAGEUP, VK_PRIOR, 0x49, true, 0},
    {SDL_SCANCODE_LEFT, VK_LEFT, 0x4B, true, 0},
    {SDL_SCANCODE_RIGHT, VK_RIGHT, 0x4D, true, 0},
    {SDL_SCANCODE_END, VK_END, 0x4F, true, 0},
    {SDL_SCANCODE_DOWN, VK_DOWN, 0x50, true, 0},
    {SDL_SCANCODE_PAGEDOWN, VK_NEXT, 0x51, true, 0},
    {SDL_SCANCODE_INSERT, VK_INSERT, 0x52, true, 0},
    {SDL_SCANCODE_DELETE, VK_DELETE, 0x53, true, 0},
    {SDL_SCANCODE_LGUI, VK_LWIN, 0x5B, true, 0},
    {SDL_SCANCODE_RGUI, VK_RWIN, 0x5C, true, 0},
};

WPARAM keyBitsOf(std::uint16_t modifiers)
{
    WPARAM bits = 0;
    if (modifiers & KMOD_SHIFT)
        bits |= MK_SHIFT;
    if (modifiers & KMOD_CTRL)
        bits |= MK_CONTROL;
    return bits;
}

WPARAM buttonBitsOf(std::uint32_t sdlMask)
{
    WPARAM bits = 0;
    if (sdlMask & SDL_BUTTON_LMASK)
        bits |= MK_LBUTTON;
    if (sdlMask & SDL_BUTTON_RMASK)
        bits |= MK_RBUTTON;
    if (sdlMask & SDL_BUTTON_MMASK)
        bits |= MK_MBUTTON;
    return bits;
}

struct ButtonMessages {
    WPARAM bit;
    UINT down, up, doubleClick;
};

const ButtonMessages* buttonOf(std::uint8_t sdlButton)
{
    static const ButtonMessages left{MK_LBUTTON, WM_LBUTTONDOWN, WM_LBUTTONUP, WM_LBUTTONDBLCLK};
    static const ButtonMessages middle{MK_MBUTTON, WM_MBUTTONDOWN, WM_MBUTTONUP, WM_MBUTTONDBLCLK};
    static const ButtonMessages right{MK_RBUTTON, WM_RBUTTONDOWN, WM_RBUTTONUP, WM_RBUTTONDBLCLK};
    switch (sdlButton) {
    case SDL_BUTTON_LEFT:
        return &left;
    case SDL_BUTTON_MIDDLE:
        return &middle;
    case SDL_BUTTON_RIGHT:
        return &right;
    default:
        return nullptr;  // the extra buttons give nothing
    }
}

InputAction queued(UINT message, WPARAM wParam, LPARAM lParam)
{
    return InputAction{InputAction::eKind::QueueInput, message, wParam, lParam};
}

void translateButton(const SDL_MouseButtonEvent& e, const InputContext& context, InputState& state,
                     std::vector<InputAction>& out)
{
    const ButtonMessages* b = buttonOf(e.button);
    if (!b)
        return;
    state.last = POINT{e.x, e.y};
    LPARAM at = makeLParam(e.x, e.y);
    if (e.type == SDL_MOUSEBUTTONUP) {
        state.buttons &= ~b->bit;
        out.push_back(queued(b->up, state.buttons | keyBitsOf(context.modifiers), at));
        return;
    }
    state.buttons |= b->bit;
    bool doubleClick = context.doubleClicks && state.lastPressMessage == b->down &&
                       e.timestamp - state.lastPressTime < kDoubleClickTimeMs &&
                       std::abs(e.x - state.lastPress.x) <= kDoubleClickWidth / 2 &&
                       std::abs(e.y - state.lastPress.y) <= kDoubleClickHeight / 2;
    if (doubleClick) {
        // A third press starts over.
        state.lastPressMessage = 0;
    } else {
        state.lastPressMessage = b->down;
        state.lastPressTime = e.timestamp;
        state.lastPress = POINT{e.x, e.y};
    }
    out.push_back(queued(doubleClick ? b->doubleClick : b->down, state.buttons | keyBitsOf(context.modifiers), at));
}

void translateKey(const SDL_KeyboardEvent& e, std::vector<InputAction>& out)
{
    std::uint16_t mod = e.keysym.mod;
    PlatformKey key = platformKeyOf(e.keysym.scancode, (mod & KMOD_NUM) != 0);
    if (!key.virtualKey)
        return;
    bool up = e.type == SDL_KEYUP;
    bool alt = (mod & KMOD_ALT) != 0;
    bool control = (mod & KMOD_CTRL) != 0;
    // Alt (without Ctrl: that is AltGr) makes system keys, and F10 alone is one too.
    bool system = !control && (alt || key.virtualKey == VK_MENU || key.virtualKey == VK_F10);
    DWORD bits = 1;  // repeat count
    bits |= static_cast<DWORD>(key.scanCode & 0xFF) << 16;
    if (key.extended)
        bits |= 1u << 24;
    if (system && alt)
        bits |= 1u << 29;  // context: Alt is down
    if (up || e.repeat)
        bits |= 1u << 30;  // the key was down before
    if (up)
        bits |= 1u << 31;  // transition: released
    UINT message = system ? (up ? WM_SYSKEYUP : WM_SYSKEYDOWN) : (up ? WM_KEYUP : WM_KEYDOWN);
    out.push_back(queued(message, static_cast<WPARAM>(key.virtualKey), static_cast<LPARAM>(bits)));
}

void translateWindowEvent(const SDL_WindowEvent& e, const InputContext& context, std::vector<InputAction>& out)
{
    switch (e.event) {
    case SDL_WINDOWEVENT_LEAVE:
        if (context.leaveTracked) {
            out.push_back(queued(WM_MOUSELEAVE, 0, 0));
            out.push_back(InputAction{InputAction::eKind::LeaveTaken});
        }
        break;
    case SDL_WINDOWEVENT_FOCUS_GAINED:
        out.push_back(InputAction{InputAction::eKind::Foreground});
        break;
    case SDL_WINDOWEVENT_FOCUS_LOST:
        out.push_back(InputAction{InputAction::eKind::OtherApplication});
        break;
    case SDL_WINDOWEVENT_CLOSE:
        out.push_back(InputAction{InputAction::eKind::Post, WM_SYSCOMMAND, SC_CLOSE, 0});
        break;
    case SDL_WINDOWEVENT_EXPOSED:
        out.push_back(InputAction{InputAction::eKind::Invalidate});
        break;
    case SDL_WINDOWEVENT_MINIMIZED:
        out.push_back(InputAction{InputAction::eKind::Minimized});
        break;
    case SDL_WINDOWEVENT_RESTORED:
        out.push_back(InputAction{InputAction::eKind::Restored});
        break;
    default:
        break;
    }
}

}  // namespace

PlatformKey platformKeyOf(SDL_Scancode scancode, bool numLock)
{
    for (const KeyRow& row : kKeys) {
        if (row.scancode != scancode)
            continue;
        int vk = (!numLock && row.virtualKeyNumLockOff) ? row.virtualKeyNumLockOff : row.virtualKey;
        return PlatformKey{vk, row.scanCode, row.extended};
    }
    return PlatformKey{};
}

std::vector<InputAction> translateInputEvent(const SDL_Event& event, const InputContext& context, InputState& state)
{
    std::vector<InputAction> out;
    switch (event.type) {
    case SDL_MOUSEMOTION: {
        const SDL_MouseMotionEvent& e = event.motion;
        state.last = POINT{e.x, e.y};
        state.buttons = buttonBitsOf(e.state);
        out.push_back(queued(WM_MOUSEMOVE, state.buttons | keyBitsOf(context.modifiers), makeLParam(e.x, e.y)));
        break;
    }
    case SDL_MOUSEBUTTONDOWN:
    case SDL_MOUSEBUTTONUP:
        translateButton(event.button, context, state, out);
        break;
    case SDL_MOUSEWHEEL: {
        const SDL_MouseWheelEvent& e = event.wheel;
        int notches = e.direction == SDL_MOUSEWHEEL_FLIPPED ? -e.y : e.y;
        if (notches == 0)
            break;
        state.last = POINT{e.mouseX, e.mouseY};
        WPARAM keys = state.buttons | keyBitsOf(context.modifiers);
        // The wheel's position is in screen coordinates, unlike the other mouse messages.
        out.push_back(queued(WM_MOUSEWHEEL, makeWParam(static_cast<int>(keys), notches * 120),
                             makeLParam(context.clientOrigin.x + e.mouseX, context.clientOrigin.y + e.mouseY)));
        break;
    }
    case SDL_KEYDOWN:
    case SDL_KEYUP:
        translateKey(event.key, out);
        break;
    case SDL_WINDOWEVENT:
        translateWindowEvent(event.window, context, out);
        break;
    default:
        break;
    }
    return out;
}

}  // namespace HA::OS
