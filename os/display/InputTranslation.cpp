#include "os/display/InputTranslation.h"

#include "os/windows/input/Keyboard.h"

namespace HA::OS {

namespace {

// The physical keys of the display's keyboard by their set-1 scan codes; the virtual key is
// the active layout's for that scan code (virtualKeyOfScan), as on the platform.
struct KeyRow {
    SDL_Scancode scancode;
    int scanCode;
    bool extended;
};
const KeyRow kKeys[] = {
    {SDL_SCANCODE_ESCAPE, 0x01, false},
    {SDL_SCANCODE_1, 0x02, false},
    {SDL_SCANCODE_2, 0x03, false},
    {SDL_SCANCODE_3, 0x04, false},
    {SDL_SCANCODE_4, 0x05, false},
    {SDL_SCANCODE_5, 0x06, false},
    {SDL_SCANCODE_6, 0x07, false},
    {SDL_SCANCODE_7, 0x08, false},
    {SDL_SCANCODE_8, 0x09, false},
    {SDL_SCANCODE_9, 0x0A, false},
    {SDL_SCANCODE_0, 0x0B, false},
    {SDL_SCANCODE_MINUS, 0x0C, false},
    {SDL_SCANCODE_EQUALS, 0x0D, false},
    {SDL_SCANCODE_BACKSPACE, 0x0E, false},
    {SDL_SCANCODE_TAB, 0x0F, false},
    {SDL_SCANCODE_Q, 0x10, false},
    {SDL_SCANCODE_W, 0x11, false},
    {SDL_SCANCODE_E, 0x12, false},
    {SDL_SCANCODE_R, 0x13, false},
    {SDL_SCANCODE_T, 0x14, false},
    {SDL_SCANCODE_Y, 0x15, false},
    {SDL_SCANCODE_U, 0x16, false},
    {SDL_SCANCODE_I, 0x17, false},
    {SDL_SCANCODE_O, 0x18, false},
    {SDL_SCANCODE_P, 0x19, false},
    {SDL_SCANCODE_LEFTBRACKET, 0x1A, false},
    {SDL_SCANCODE_RIGHTBRACKET, 0x1B, false},
    {SDL_SCANCODE_RETURN, 0x1C, false},
    {SDL_SCANCODE_LCTRL, 0x1D, false},
    {SDL_SCANCODE_A, 0x1E, false},
    {SDL_SCANCODE_S, 0x1F, false},
    {SDL_SCANCODE_D, 0x20, false},
    {SDL_SCANCODE_F, 0x21, false},
    {SDL_SCANCODE_G, 0x22, false},
    {SDL_SCANCODE_H, 0x23, false},
    {SDL_SCANCODE_J, 0x24, false},
    {SDL_SCANCODE_K, 0x25, false},
    {SDL_SCANCODE_L, 0x26, false},
    {SDL_SCANCODE_SEMICOLON, 0x27, false},
    {SDL_SCANCODE_APOSTROPHE, 0x28, false},
    {SDL_SCANCODE_GRAVE, 0x29, false},
    {SDL_SCANCODE_LSHIFT, 0x2A, false},
    {SDL_SCANCODE_BACKSLASH, 0x2B, false},
    {SDL_SCANCODE_Z, 0x2C, false},
    {SDL_SCANCODE_X, 0x2D, false},
    {SDL_SCANCODE_C, 0x2E, false},
    {SDL_SCANCODE_V, 0x2F, false},
    {SDL_SCANCODE_B, 0x30, false},
    {SDL_SCANCODE_N, 0x31, false},
    {SDL_SCANCODE_M, 0x32, false},
    {SDL_SCANCODE_COMMA, 0x33, false},
    {SDL_SCANCODE_PERIOD, 0x34, false},
    {SDL_SCANCODE_SLASH, 0x35, false},
    {SDL_SCANCODE_RSHIFT, 0x36, false},
    {SDL_SCANCODE_KP_MULTIPLY, 0x37, false},
    {SDL_SCANCODE_LALT, 0x38, false},
    {SDL_SCANCODE_SPACE, 0x39, false},
    {SDL_SCANCODE_CAPSLOCK, 0x3A, false},
    {SDL_SCANCODE_F1, 0x3B, false},
    {SDL_SCANCODE_F2, 0x3C, false},
    {SDL_SCANCODE_F3, 0x3D, false},
    {SDL_SCANCODE_F4, 0x3E, false},
    {SDL_SCANCODE_F5, 0x3F, false},
    {SDL_SCANCODE_F6, 0x40, false},
    {SDL_SCANCODE_F7, 0x41, false},
    {SDL_SCANCODE_F8, 0x42, false},
    {SDL_SCANCODE_F9, 0x43, false},
    {SDL_SCANCODE_F10, 0x44, false},
    {SDL_SCANCODE_NUMLOCKCLEAR, 0x45, true},  // Num Lock comes with the extended flag
    {SDL_SCANCODE_KP_7, 0x47, false},
    {SDL_SCANCODE_KP_8, 0x48, false},
    {SDL_SCANCODE_KP_9, 0x49, false},
    {SDL_SCANCODE_KP_MINUS, 0x4A, false},
    {SDL_SCANCODE_KP_4, 0x4B, false},
    {SDL_SCANCODE_KP_5, 0x4C, false},
    {SDL_SCANCODE_KP_6, 0x4D, false},
    {SDL_SCANCODE_KP_PLUS, 0x4E, false},
    {SDL_SCANCODE_KP_1, 0x4F, false},
    {SDL_SCANCODE_KP_2, 0x50, false},
    {SDL_SCANCODE_KP_3, 0x51, false},
    {SDL_SCANCODE_KP_0, 0x52, false},
    {SDL_SCANCODE_KP_PERIOD, 0x53, false},
    {SDL_SCANCODE_F11, 0x57, false},
    {SDL_SCANCODE_F12, 0x58, false},
    // The extended keys: the keypad's Enter and divide, right Ctrl and Alt, the navigation
    // block, the arrows and the Windows keys.
    {SDL_SCANCODE_KP_ENTER, 0x1C, true},
    {SDL_SCANCODE_RCTRL, 0x1D, true},
    {SDL_SCANCODE_KP_DIVIDE, 0x35, true},
    {SDL_SCANCODE_RALT, 0x38, true},
    {SDL_SCANCODE_HOME, 0x47, true},
    {SDL_SCANCODE_UP, 0x48, true},
    {SDL_SCANCODE_PAGEUP, 0x49, true},
    {SDL_SCANCODE_LEFT, 0x4B, true},
    {SDL_SCANCODE_RIGHT, 0x4D, true},
    {SDL_SCANCODE_END, 0x4F, true},
    {SDL_SCANCODE_DOWN, 0x50, true},
    {SDL_SCANCODE_PAGEDOWN, 0x51, true},
    {SDL_SCANCODE_INSERT, 0x52, true},
    {SDL_SCANCODE_DELETE, 0x53, true},
    {SDL_SCANCODE_LGUI, 0x5B, true},
    {SDL_SCANCODE_RGUI, 0x5C, true},
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
                       isDoubleClick(e.timestamp - state.lastPressTime, state.lastPress, POINT{e.x, e.y});
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
    KeyStroke stroke;
    stroke.virtualKey = key.virtualKey;
    stroke.scanCode = key.scanCode;
    stroke.extended = key.extended;
    stroke.down = e.type == SDL_KEYDOWN;
    stroke.wasDown = e.repeat != 0;
    stroke.alt = (mod & KMOD_ALT) != 0;
    stroke.control = (mod & KMOD_CTRL) != 0;
    const KeyMessage m = keyMessageOf(stroke);
    out.push_back(queued(m.message, m.wParam, m.lParam));
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
        const int vk = virtualKeyOfScan(row.scanCode, row.extended, numLock);
        return vk ? PlatformKey{vk, row.scanCode, row.extended} : PlatformKey{};
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
