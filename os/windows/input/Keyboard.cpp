#include "os/windows/input/Keyboard.h"

#include <atomic>

#include "os/kernel/Kernel.h"
#include "os/windows/Message.h"
#include "os/windows/detail/WindowState.h"

namespace HA::OS {

namespace {

// A key that gives characters. Dead entries give their spacing character as a dead key.
struct CharKey {
    BYTE scan;
    BYTE vk;
    WChar plain;
    WChar shifted;
    bool deadPlain;
    bool deadShifted;
    bool letter;  // Caps Lock gives the shifted character
};

struct Layout {
    HKL handle;
    const CharKey* keys;
    std::size_t count;
};

#define L(scan, vk) {scan, vk, (vk) - 'A' + 'a', vk, false, false, true}
#define D(scan, ch, shifted) {scan, ch, ch, shifted, false, false, false}

const CharKey kUsKeys[] = {
    D(0x02, '1', '!'), D(0x03, '2', '@'), D(0x04, '3', '#'), D(0x05, '4', '$'), D(0x06, '5', '%'),
    D(0x07, '6', '^'), D(0x08, '7', '&'), D(0x09, '8', '*'), D(0x0A, '9', '('), D(0x0B, '0', ')'),
    {0x0C, VK_OEM_MINUS, u'-', u'_', false, false, false}, {0x0D, VK_OEM_PLUS, u'=', u'+', false, false, false},
    L(0x10, 'Q'), L(0x11, 'W'), L(0x12, 'E'), L(0x13, 'R'), L(0x14, 'T'), L(0x15, 'Y'), L(0x16, 'U'),
    L(0x17, 'I'), L(0x18, 'O'), L(0x19, 'P'),
    {0x1A, VK_OEM_4, u'[', u'{', false, false, false}, {0x1B, VK_OEM_6, u']', u'}', false, false, false},
    L(0x1E, 'A'), L(0x1F, 'S'), L(0x20, 'D'), L(0x21, 'F'), L(0x22, 'G'), L(0x23, 'H'), L(0x24, 'J'),
    L(0x25, 'K'), L(0x26, 'L'),
    {0x27, VK_OEM_1, u';', u':', false, false, false}, {0x28, VK_OEM_7, u'\'', u'"', false, false, false},
    {0x29, VK_OEM_3, u'`', u'~', false, false, false}, {0x2B, VK_OEM_5, u'\\', u'|', false, false, false},
    L(0x2C, 'Z'), L(0x2D, 'X'), L(0x2E, 'C'), L(0x2F, 'V'), L(0x30, 'B'), L(0x31, 'N'), L(0x32, 'M'),
    {0x33, VK_OEM_COMMA, u',', u'<', false, false, false}, {0x34, VK_OEM_PERIOD, u'.', u'>', false, false, false},
    {0x35, VK_OEM_2, u'/', u'?', false, false, false}, {0x56, VK_OEM_102, u'\\', u'|', false, false, false},
};

const CharKey kGermanKeys[] = {
    D(0x02, '1', '!'), D(0x03, '2', '"'), D(0x04, '3', u'\u00A7'), D(0x05, '4', '$'), D(0x06, '5', '%'),
    D(0x07, '6', '&'), D(0x08, '7', '/'), D(0x09, '8', '('), D(0x0A, '9', ')'), D(0x0B, '0', '='),
    {0x0C, VK_OEM_4, u'\u00DF', u'?', false, false, false},
    {0x0D, VK_OEM_6, u'\u00B4', u'`', true, true, false},
    L(0x10, 'Q'), L(0x11, 'W'), L(0x12, 'E'), L(0x13, 'R'), L(0x14, 'T'), L(0x15, 'Z'), L(0x16, 'U'),
    L(0x17, 'I'), L(0x18, 'O'), L(0x19, 'P'),
    {0x1A, VK_OEM_1, u'\u00FC', u'\u00DC', false, false, true}, {0x1B, VK_OEM_PLUS, u'+', u'*', false, false, false},
    L(0x1E, 'A'), L(0x1F, 'S'), L(0x20, 'D'), L(0x21, 'F'), L(0x22, 'G'), L(0x23, 'H'), L(0x24, 'J'),
    L(0x25, 'K'), L(0x26, 'L'),
    {0x27, VK_OEM_3, u'\u00F6', u'\u00D6', false, false, true}, {0x28, VK_OEM_7, u'\u00E4', u'\u00C4', false, false, true},
    {0x29, VK_OEM_5, u'^', u'\u00B0', true, false, false}, {0x2B, VK_OEM_2, u'#', u'\'', false, false, false},
    L(0x2C, 'Y'), L(0x2D, 'X'), L(0x2E, 'C'), L(0x2F, 'V'), L(0x30, 'B'), L(0x31, 'N'), L(0x32, 'M'),
    {0x33, VK_OEM_COMMA, u',', u';', false, false, false}, {0x34, VK_OEM_PERIOD, u'.', u':', false, false, false},
    {0x35, VK_OEM_MINUS, u'-', u'_', false, false, false}, {0x56, VK_OEM_102, u'<', u'>', false, false, false},
};

#undef L
#undef D

const Layout kLayouts[] = {
    {HKL_US, kUsKeys, std::size(kUsKeys)},
    {HKL_GERMAN, kGermanKeys, std::size(kGermanKeys)},
};

std::atomic<const Layout*> gActive{&kLayouts[0]};

// Keys that are the same on every layout: scan code (main block, not extended) and key.
struct FixedKey {
    BYTE scan;
    BYTE vk;
    WChar ch;  // the character it types, 0 for none
};
const FixedKey kFixedKeys[] = {
    {0x01, VK_ESCAPE, 0x1B}, {0x0E, VK_BACK, 0x08}, {0x0F, VK_TAB, u'\t'}, {0x1C, VK_RETURN, u'\r'},
    {0x1D, VK_CONTROL, 0},   {0x2A, VK_SHIFT, 0},   {0x36, VK_SHIFT, 0},   {0x38, VK_MENU, 0},
    {0x39, VK_SPACE, u' '},  {0x3A, VK_CAPITAL, 0}, {0x45, VK_NUMLOCK, 0}, {0x46, VK_SCROLL, 0},
    {0x37, VK_MULTIPLY, u'*'}, {0x4A, VK_SUBTRACT, u'-'}, {0x4E, VK_ADD, u'+'},
    {0x57, VK_F11, 0},       {0x58, VK_F12, 0},
};

// The keypad block (scan 0x47 to 0x53 without the extended flag): navigation key, digit key.
struct PadKey {
    BYTE scan;
    BYTE navigation;
    BYTE digit;
};
const PadKey kPadKeys[] = {
    {0x47, VK_HOME, VK_NUMPAD0 + 7}, {0x48, VK_UP, VK_NUMPAD0 + 8},    {0x49, VK_PRIOR, VK_NUMPAD0 + 9},
    {0x4B, VK_LEFT, VK_NUMPAD0 + 4}, {0x4C, VK_CLEAR, VK_NUMPAD0 + 5}, {0x4D, VK_RIGHT, VK_NUMPAD0 + 6},
    {0x4F, VK_END, VK_NUMPAD0 + 1},  {0x50, VK_DOWN, VK_NUMPAD0 + 2},  {0x51, VK_NEXT, VK_NUMPAD0 + 3},
    {0x52, VK_INSERT, VK_NUMPAD0},   {0x53, VK_DELETE, VK_DECIMAL},
};

// Extended keys: scan code with the extended flag.
struct ExtendedKey {
    BYTE scan;
    BYTE vk;
};
const ExtendedKey kExtendedKeys[] = {
    {0x1C, VK_RETURN}, {0x1D, VK_CONTROL}, {0x35, VK_DIVIDE}, {0x38, VK_MENU},   {0x47, VK_HOME},
    {0x48, VK_UP},     {0x49, VK_PRIOR},   {0x4B, VK_LEFT},   {0x4D, VK_RIGHT},  {0x4F, VK_END},
    {0x50, VK_DOWN},   {0x51, VK_NEXT},    {0x52, VK_INSERT}, {0x53, VK_DELETE}, {0x5B, VK_LWIN},
    {0x5C, VK_RWIN},   {0x5D, VK_APPS},    {0x37, VK_SNAPSHOT}, {0x45, VK_NUMLOCK},
};

const CharKey* charKeyOf(const Layout& layout, UINT vk)
{
    for (std::size_t i = 0; i < layout.count; ++i)
        if (layout.keys[i].vk == vk)
            return &layout.keys[i];
    return nullptr;
}

// The composed character of a dead key and a base character, or 0.
WChar compose(WChar dead, WChar base)
{
    struct Row {
        WChar dead;
        const char16_t* bases;
        const char16_t* results;
    };
    static const Row rows[] = {
        {u'^', u"aeiouAEIOU", u"\u00E2\u00EA\u00EE\u00F4\u00FB\u00C2\u00CA\u00CE\u00D4\u00DB"},
        {u'\u00B4', u"aeiouyAEIOUY", u"\u00E1\u00E9\u00ED\u00F3\u00FA\u00FD\u00C1\u00C9\u00CD\u00D3\u00DA\u00DD"},
        {u'`', u"aeiouAEIOU", u"\u00E0\u00E8\u00EC\u00F2\u00F9\u00C0\u00C8\u00CC\u00D2\u00D9"},
    };
    for (const Row& r : rows) {
        if (r.dead != dead)
            continue;
        for (int i = 0; r.bases[i]; ++i)
            if (r.bases[i] == base)
                return r.results[i];
    }
    return 0;
}

// The character the key types with the state (no dead-key handling); dead set for dead keys.
WChar plainCharacter(const Layout& layout, UINT vk, const BYTE* state, bool& dead)
{
    dead = false;
    auto down = [state](int k) { return state && (state[k & 0xFF] & 0x80) != 0; };
    const bool shift = down(VK_SHIFT);
    const bool control = down(VK_CONTROL);
    const bool alt = down(VK_MENU);
    const bool caps = state && (state[VK_CAPITAL] & 0x01) != 0;
    if (control && alt)
        return 0;
    if (const CharKey* k = charKeyOf(layout, vk)) {
        if (control)
            return (vk >= 'A' && vk <= 'Z') ? static_cast<WChar>(vk - 'A' + 1) : 0;
        const bool upper = k->letter ? (shift != caps) : shift;
        dead = upper ? k->deadShifted : k->deadPlain;
        return upper ? k->shifted : k->plain;
    }
    if (vk >= VK_NUMPAD0 && vk <= VK_NUMPAD0 + 9)
        return control ? 0 : static_cast<WChar>('0' + vk - VK_NUMPAD0);
    if (vk == VK_DECIMAL)
        return control ? 0 : (layout.handle == HKL_GERMAN ? u',' : u'.');
    if (vk == VK_DIVIDE)
        return control ? 0 : u'/';
    for (const FixedKey& f : kFixedKeys) {
        if (f.vk != vk || !f.ch)
            continue;
        if (control)
            return vk == VK_RETURN ? WChar(0x0A) : vk == VK_BACK ? WChar(0x7F) : vk == VK_ESCAPE ? WChar(0x1B) : 0;
        return f.ch;
    }
    return 0;
}

}  // namespace

namespace DETAIL {

WChar& deadKeyState()
{
    thread_local WChar dead = 0;
    return dead;
}

}  // namespace DETAIL

HKL getKeyboardLayout(DWORD) { return gActive.load()->handle; }

HKL activateKeyboardLayout(HKL layout, UINT)
{
    const Layout* next = nullptr;
    for (const Layout& l : kLayouts)
        if (l.handle == layout)
            next = &l;
    if (!next) {
        setLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const Layout* previous = gActive.exchange(next);
    DETAIL::deadKeyState() = 0;
    if (previous != next) {
        HWND target = getFocus();
        if (!target)
            target = getActiveWindow();
        if (target)
            sendMessage(target, WM_INPUTLANGCHANGE, 0, reinterpret_cast<LPARAM>(layout));
    }
    return previous->handle;
}

UINT mapVirtualKey(UINT code, UINT mapType)
{
    const Layout& layout = *gActive.load();
    if (mapType == MAPVK_VK_TO_VSC) {
        for (std::size_t i = 0; i < layout.count; ++i)
            if (layout.keys[i].vk == code)
                return layout.keys[i].scan;
        for (const FixedKey& f : kFixedKeys)
            if (f.vk == code)
                return f.scan;
        for (const PadKey& p : kPadKeys)
            if (p.navigation == code || p.digit == code)
                return p.scan;
        for (const ExtendedKey& e : kExtendedKeys)
            if (e.vk == code)
                return e.scan;
        if (code >= VK_F1 && code <= VK_F10)
            return 0x3B + (code - VK_F1);
        switch (code) {
        case VK_LSHIFT:
            return 0x2A;
        case VK_RSHIFT:
            return 0x36;
        case VK_LCONTROL:
        case VK_RCONTROL:
            return 0x1D;
        case VK_LMENU:
        case VK_RMENU:
            return 0x38;
        default:
            return 0;
        }
    }
    if (mapType == MAPVK_VSC_TO_VK)
        return static_cast<UINT>(virtualKeyOfScan(static_cast<int>(code), false, false));
    return 0;
}

int virtualKeyOfScan(int scanCode, bool extended, bool numLock)
{
    if (extended) {
        for (const ExtendedKey& e : kExtendedKeys)
            if (e.scan == scanCode)
                return e.vk;
        return 0;
    }
    const Layout& layout = *gActive.load();
    for (std::size_t i = 0; i < layout.count; ++i)
        if (layout.keys[i].scan == scanCode)
            return layout.keys[i].vk;
    for (const FixedKey& f : kFixedKeys)
        if (f.scan == scanCode)
            return f.vk;
    for (const PadKey& p : kPadKeys)
        if (p.scan == scanCode)
            return numLock ? p.digit : p.navigation;
    if (scanCode >= 0x3B && scanCode <= 0x44)
        return VK_F1 + (scanCode - 0x3B);
    return 0;
}

KeyMessage keyMessageOf(const KeyStroke& key)
{
    const bool system = !key.control && (key.alt || key.virtualKey == VK_MENU || key.virtualKey == VK_F10);
    DWORD bits = 1u | (static_cast<DWORD>(key.scanCode & 0xFF) << 16);
    if (key.extended)
        bits |= 1u << 24;
    if (key.alt && !key.control)
        bits |= 1u << 29;
    if (key.wasDown || !key.down)
        bits |= 1u << 30;
    if (!key.down)
        bits |= 1u << 31;
    KeyMessage m;
    m.message = key.down ? (system ? WM_SYSKEYDOWN : WM_KEYDOWN) : (system ? WM_SYSKEYUP : WM_KEYUP);
    m.wParam = static_cast<WPARAM>(key.virtualKey);
    m.lParam = static_cast<LPARAM>(bits);
    return m;
}

int toUnicode(UINT virtualKey, UINT scanCode, const BYTE* keyState, WChar* buffer, int capacity, UINT)
{
    if ((scanCode & 0x8000) || !buffer || capacity <= 0)
        return 0;
    bool dead = false;
    const WChar c = plainCharacter(*gActive.load(), virtualKey, keyState, dead);
    if (!c)
        return 0;
    WChar& pending = DETAIL::deadKeyState();
    if (!pending) {
        buffer[0] = c;
        if (dead) {
            pending = c;
            return -1;
        }
        return 1;
    }
    const WChar first = pending;
    pending = 0;
    if (c == u' ') {
        buffer[0] = first;
        return 1;
    }
    if (!dead) {
        if (WChar composed = compose(first, c)) {
            buffer[0] = composed;
            return 1;
        }
    }
    buffer[0] = first;
    if (capacity < 2)
        return 1;
    buffer[1] = c;
    return 2;
}

// Part of the message queue's interface (os/windows/Message.h); here, because what a key
// types is the layout's.
bool translateMessage(const MSG& msg)
{
    if (msg.message != WM_KEYDOWN && msg.message != WM_SYSKEYDOWN)
        return false;
    const bool system = msg.message == WM_SYSKEYDOWN;
    BYTE state[256];
    getKeyboardState(state);
    // A system key is typed with Alt held; the character is the one without it.
    if (system)
        state[VK_MENU] &= static_cast<BYTE>(~0x80);
    WChar text[10];
    const int n = toUnicode(static_cast<UINT>(msg.wParam & 0xFF), static_cast<UINT>((msg.lParam >> 16) & 0xFF), state,
                            text, 10, 0);
    if (n == 0)
        return false;
    auto q = DETAIL::currentQueue();
    auto lock = DETAIL::kernelLock();
    if (n < 0) {
        q->posted.push_front(MSG{msg.hwnd, system ? WM_SYSDEADCHAR : WM_DEADCHAR, text[0], msg.lParam, msg.time, msg.pt});
    } else {
        // In front of what is posted, in their order.
        for (int i = n - 1; i >= 0; --i)
            q->posted.push_front(MSG{msg.hwnd, system ? WM_SYSCHAR : WM_CHAR, text[i], msg.lParam, msg.time, msg.pt});
    }
    Clock::notifyAll();
    return true;
}

}  // namespace HA::OS
